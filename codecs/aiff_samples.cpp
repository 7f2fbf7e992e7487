// The AIFF sample hooks: one frame per call, big-endian containers of 1 to 4
// bytes, signed in every width (8 bits included), values left-justified in
// 32 bits.

#include <algorithm>
#include <cstdint>

#include "codecs/aiff.h"

namespace {

// Keeps the top `bits` bits of a container of ((bits + 7) / 8) bytes.
constexpr std::uint32_t ContainerMask(std::int32_t bits) {
  if (bits <= 0) return 0;
  const std::int32_t width = ((bits + 7) / 8) * 8;
  const std::uint64_t all = (std::uint64_t{1} << width) - 1;
  const std::uint64_t low = (std::uint64_t{1} << (width - bits)) - 1;
  return static_cast<std::uint32_t>(all - low);
}

constexpr auto MakeMaskTable() {
  struct Table {
    std::uint32_t mask[33];
  } table{};
  for (std::int32_t b = 0; b <= 32; ++b) table.mask[b] = ContainerMask(b);
  return table;
}

constexpr auto kSampleMask = MakeMaskTable();
static_assert(kSampleMask.mask[1] == 0x80 && kSampleMask.mask[8] == 0xFF);
static_assert(kSampleMask.mask[12] == 0xFFF0 && kSampleMask.mask[20] == 0xFFFFF0);
static_assert(kSampleMask.mask[31] == 0xFFFFFFFE && kSampleMask.mask[32] == 0xFFFFFFFF);

std::uint32_t MaskFor(std::int32_t bits) {
  return (bits >= 0 && bits <= 32) ? kSampleMask.mask[bits] : 0;
}

}  // namespace

std::int32_t aiff_read_sample(WstmHandle* handle, std::int32_t* values, std::int32_t count) {
  FstmStream* s = handle->stream;
  const std::int32_t width = (handle->num_bits + 7) / 8;
  const std::int32_t n = std::min(handle->num_channels, count);
  for (std::int32_t c = 0; c < n; ++c) {
    std::uint32_t v;
    switch (width) {
      case 1: v = FSTM_ReadU8(s) << 24; break;
      case 2: v = FSTM_ReadU16BE(s) << 16; break;
      case 3: v = FSTM_ReadS24BE(s) << 8; break;
      default: v = FSTM_ReadU32BE(s); break;
    }
    values[c] = static_cast<std::int32_t>(v);
  }
  // Channels the caller did not ask for are passed over, so the stream stays
  // on the frame grid.
  if (n < handle->num_channels) {
    FSTM_Seek(s, (handle->num_channels - std::max(n, 0)) * width, 1);
  }
  handle->current_position += handle->block_size;
  return handle->block_size;
}

std::int32_t aiff_write_sample(WstmHandle* handle, const std::int32_t* values,
                               std::int32_t count) {
  FstmStream* s = handle->stream;
  const std::int32_t width = (handle->num_bits + 7) / 8;
  const std::uint32_t mask = MaskFor(handle->num_bits);
  const std::int32_t n = std::min(handle->num_channels, count);
  for (std::int32_t c = 0; c < handle->num_channels; ++c) {
    // A channel beyond the values given is a zero container: silence.
    const std::uint32_t v = c < n ? static_cast<std::uint32_t>(values[c]) : 0;
    switch (width) {
      case 1: FSTM_WriteU8(s, (v >> 24) & mask); break;
      case 2: FSTM_WriteU16BE(s, (v >> 16) & mask); break;
      case 3: FSTM_WriteU24BE(s, (v >> 8) & mask); break;
      default: FSTM_WriteU32BE(s, v & mask); break;
    }
  }
  handle->current_position += handle->block_size;
  return handle->block_size;
}
