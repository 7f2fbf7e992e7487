// The AIFF sample hooks: one frame per call between big-endian PCM containers
// of 1 to 4 bytes, signed in every width (8 bits included), and
// left-justified signed 32-bit values.
//
// A frame of up to kFrameBytes bytes moves with one stream call; wider frames
// go one sample at a time. Nothing here allocates.

#include <cstdint>

#include "codecs/aiff.h"
#include "codecs/pcm.h"

namespace {

constexpr std::int32_t kFrameBytes = 256;

inline std::int32_t DecodeSample(const unsigned char* p, std::int32_t bytes) {
  std::uint32_t v = 0;
  for (std::int32_t i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(p[i]) << (24 - 8 * i);
  return static_cast<std::int32_t>(v);
}

// The container of value v: its top bytes, keeping only the bits in mask
// (sample_mask[num_bits], aligned to the container). Zero is silence.
inline void EncodeSample(unsigned char* p, std::int32_t bytes, std::uint32_t v,
                         std::uint32_t mask) {
  const std::uint32_t c = (v >> (32 - 8 * bytes)) & mask;
  for (std::int32_t i = 0; i < bytes; ++i) {
    p[i] = static_cast<unsigned char>(c >> (8 * (bytes - 1 - i)));
  }
}

inline std::int32_t ChannelsToMove(const WstmHandle* h, std::int32_t count) {
  if (count < 0) return 0;
  return count < h->num_channels ? count : h->num_channels;
}

inline std::int32_t ContainerOf(const WstmHandle* h) {
  const std::int32_t bits = h->num_bits;
  return bits <= 0 ? 1 : (bits > 32 ? 4 : PcmContainerBytes(bits));
}

inline std::uint32_t MaskOf(const WstmHandle* h) {
  const std::int32_t bits = h->num_bits;
  return kPcmSampleMask[static_cast<std::size_t>(bits < 0 ? 0 : (bits > 32 ? 32 : bits))];
}

}  // namespace

std::int32_t aiff_read_sample(WstmHandle* handle, std::int32_t* values, std::int32_t count) {
  const std::int32_t block = handle->block_size;
  const std::int32_t bytes = ContainerOf(handle);
  const std::int32_t n = ChannelsToMove(handle, count);
  unsigned char frame[kFrameBytes];
  if (block <= kFrameBytes) {
    (void)FSTM_Read(handle->stream, frame, block);
    for (std::int32_t c = 0; c < n && (c + 1) * bytes <= block; ++c) {
      values[c] = DecodeSample(frame + c * bytes, bytes);
    }
  } else {
    // Wide frame: sample by sample, then the channels not asked for are
    // read past, so that the stream stays on the frame grid.
    std::int32_t done = 0;
    for (std::int32_t c = 0; c < n && done + bytes <= block; ++c, done += bytes) {
      (void)FSTM_Read(handle->stream, frame, bytes);
      values[c] = DecodeSample(frame, bytes);
    }
    while (done < block) {
      const std::int32_t piece = block - done < kFrameBytes ? block - done : kFrameBytes;
      (void)FSTM_Read(handle->stream, frame, piece);
      done += piece;
    }
  }
  handle->current_position += block;
  return block;
}

std::int32_t aiff_write_sample(WstmHandle* handle, const std::int32_t* values,
                               std::int32_t count) {
  const std::int32_t block = handle->block_size;
  const std::int32_t bytes = ContainerOf(handle);
  const std::int32_t n = ChannelsToMove(handle, count);
  const std::uint32_t mask = MaskOf(handle);
  const std::int32_t channels = handle->num_channels;
  unsigned char frame[kFrameBytes];
  if (block <= kFrameBytes) {
    std::int32_t c = 0;
    for (; c < n && (c + 1) * bytes <= block; ++c) {
      EncodeSample(frame + c * bytes, bytes, static_cast<std::uint32_t>(values[c]), mask);
    }
    // Channels beyond the values given, and any rest of the frame: zero.
    for (std::int32_t i = c * bytes; i < block; ++i) frame[i] = 0;
    FSTM_Write(handle->stream, frame, block);
  } else {
    std::int32_t done = 0;
    for (std::int32_t c = 0; c < channels && done + bytes <= block; ++c, done += bytes) {
      EncodeSample(frame, bytes, c < n ? static_cast<std::uint32_t>(values[c]) : 0u, mask);
      FSTM_Write(handle->stream, frame, bytes);
    }
    for (std::int32_t i = 0; i < kFrameBytes; ++i) frame[i] = 0;
    while (done < block) {
      const std::int32_t piece = block - done < kFrameBytes ? block - done : kFrameBytes;
      FSTM_Write(handle->stream, frame, piece);
      done += piece;
    }
  }
  handle->current_position += block;
  return block;
}
