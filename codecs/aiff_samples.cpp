// The AIFF sample hooks: one frame per call between big-endian PCM containers
// of 1 to 4 bytes, signed in every width (8 bits included), and
// left-justified signed 32-bit values.
//
// Mono and stereo frames (frame_layout set at open) move with one stream call
// of a fixed size and a branch-free conversion, and in runs (see PcmReadRun)
// a buffer of them per stream call. Other frames move in pieces
// of up to kFrameBytes bytes (one stream call for frames up to that size).
// Nothing here allocates.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

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

inline std::uint32_t MaskOf(const WstmHandle* h) {
  const std::int32_t bits = h->num_bits;
  return kPcmSampleMask[static_cast<std::size_t>(bits < 0 ? 0 : (bits > 32 ? 32 : bits))];
}

// Frames of a known layout: Bytes per container, Channels per frame, every
// channel asked for. On a little-endian host the frame is one integer of up
// to 8 bytes, moved with a single load or store; byte-swapping the bytes of
// one container gives its value left-justified, and back.
constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

template <int Bytes>
constexpr std::uint32_t kContainerBits =
    Bytes == 4 ? 0xFFFFFFFFu : (std::uint32_t{1} << (8 * Bytes)) - 1;

// On a little-endian host a frame of up to 8 bytes is one integer, split
// into values or assembled from them in registers.
template <int Bytes, int Channels>
inline void DecodeWord(std::uint64_t word, std::int32_t* values) {
  for (int c = 0; c < Channels; ++c) {
    const auto bytes = static_cast<std::uint32_t>(word >> (8 * Bytes * c)) & kContainerBits<Bytes>;
    values[c] = static_cast<std::int32_t>(__builtin_bswap32(bytes));
  }
}

template <int Bytes, int Channels>
inline std::uint64_t EncodeWord(const std::int32_t* values, std::uint32_t mask) {
  const std::uint32_t keep = mask << (32 - 8 * Bytes);  // the sample's bits, left-justified
  std::uint64_t word = 0;
  for (int c = 0; c < Channels; ++c) {
    const std::uint32_t v = static_cast<std::uint32_t>(values[c]) & keep;
    word |= static_cast<std::uint64_t>(__builtin_bswap32(v)) << (8 * Bytes * c);
  }
  return word;
}

template <int Bytes, int Channels>
inline void DecodeFixed(const unsigned char* frame, std::int32_t* values) {
  if constexpr (kLittleEndianHost) {
    DecodeWord<Bytes, Channels>(PcmLoadFrameWord<Bytes * Channels>(frame), values);
  } else {
    for (int c = 0; c < Channels; ++c) values[c] = DecodeSample(frame + c * Bytes, Bytes);
  }
}

template <int Bytes, int Channels>
inline void EncodeFixed(const std::int32_t* values, std::uint32_t mask, unsigned char* frame) {
  if constexpr (kLittleEndianHost) {
    const std::uint64_t word = EncodeWord<Bytes, Channels>(values, mask);
    std::memcpy(frame, &word, Bytes * Channels);
  } else {
    for (int c = 0; c < Channels; ++c) EncodeSample(frame + c * Bytes, Bytes, static_cast<std::uint32_t>(values[c]), mask);
  }
}

// The same in a run, whose buffer lets a frame move as a whole word.
template <int Bytes, int Channels>
inline void DecodeRunFrame(const unsigned char* frame, std::int32_t* values) {
  if constexpr (kLittleEndianHost) {
    DecodeWord<Bytes, Channels>(PcmLoadRunWord<Bytes * Channels>(frame), values);
  } else {
    DecodeFixed<Bytes, Channels>(frame, values);
  }
}

template <int Bytes, int Channels>
inline void EncodeRunFrame(const std::int32_t* values, std::uint32_t mask, unsigned char* frame) {
  if constexpr (kLittleEndianHost) {
    PcmStoreRunWord(frame, EncodeWord<Bytes, Channels>(values, mask));
  } else {
    EncodeFixed<Bytes, Channels>(values, mask, frame);
  }
}

template <int Bytes, int Channels>
inline std::int32_t ReadFixed(WstmHandle* handle, std::int32_t* values) {
  constexpr std::int32_t kBlock = Bytes * Channels;
  unsigned char frame[kBlock] = {};
  (void)FSTM_Read(handle->stream, frame, kBlock);
  DecodeFixed<Bytes, Channels>(frame, values);
  handle->current_position += kBlock;
  return kBlock;
}

template <int Bytes, int Channels>
inline std::int32_t WriteFixed(WstmHandle* handle, const std::int32_t* values) {
  constexpr std::int32_t kBlock = Bytes * Channels;
  const std::uint32_t mask = kPcmSampleMask[static_cast<std::size_t>(handle->num_bits)];
  unsigned char frame[kBlock];
  EncodeFixed<Bytes, Channels>(values, mask, frame);
  FSTM_Write(handle->stream, frame, kBlock);
  handle->current_position += kBlock;
  return kBlock;
}

[[gnu::noinline]] std::int32_t ReadGeneral(WstmHandle* handle, std::int32_t* values,
                                           std::int32_t count) {
  const std::int32_t block = handle->block_size;
  const std::int32_t bytes = PcmContainerOf(handle);
  const std::int32_t n = PcmChannelsToMove(handle, count);
  const std::int32_t piece_limit = (kFrameBytes / bytes) * bytes;  // whole containers
  unsigned char piece[kFrameBytes];
  // The frame moves in pieces of whole containers; the channels not asked
  // for are read past, so that the stream stays on the frame grid.
  std::int32_t c = 0;
  for (std::int32_t done = 0; done < block;) {
    const std::int32_t size = block - done < piece_limit ? block - done : piece_limit;
    (void)FSTM_Read(handle->stream, piece, size);
    for (std::int32_t at = 0; at + bytes <= size && c < n; at += bytes, ++c) {
      values[c] = DecodeSample(piece + at, bytes);
    }
    done += size;
  }
  handle->current_position += block;
  return block;
}

[[gnu::noinline]] std::int32_t WriteGeneral(WstmHandle* handle, const std::int32_t* values,
                                            std::int32_t count) {
  const std::int32_t block = handle->block_size;
  const std::int32_t bytes = PcmContainerOf(handle);
  const std::int32_t n = PcmChannelsToMove(handle, count);
  const std::uint32_t mask = MaskOf(handle);
  const std::int32_t piece_limit = (kFrameBytes / bytes) * bytes;
  unsigned char piece[kFrameBytes];
  std::int32_t c = 0;
  for (std::int32_t done = 0; done < block;) {
    const std::int32_t size = block - done < piece_limit ? block - done : piece_limit;
    std::int32_t at = 0;
    for (; at + bytes <= size && c < n; at += bytes, ++c) {
      EncodeSample(piece + at, bytes, static_cast<std::uint32_t>(values[c]), mask);
    }
    // Channels beyond the values given: zero containers, which are silence.
    for (; at < size; ++at) piece[at] = 0;
    FSTM_Write(handle->stream, piece, size);
    done += size;
  }
  handle->current_position += block;
  return block;
}

}  // namespace

std::int32_t aiff_read_sample(WstmHandle* handle, std::int32_t* values, std::int32_t count) {
  return PcmDispatchFrame(
      handle->frame_layout, count,
      [&]<int Bytes, int Channels>() { return ReadFixed<Bytes, Channels>(handle, values); },
      [&]() { return ReadGeneral(handle, values, count); });
}

std::int32_t aiff_write_sample(WstmHandle* handle, const std::int32_t* values,
                               std::int32_t count) {
  return PcmDispatchFrame(
      handle->frame_layout, count,
      [&]<int Bytes, int Channels>() { return WriteFixed<Bytes, Channels>(handle, values); },
      [&]() { return WriteGeneral(handle, values, count); });
}

namespace {

std::int32_t ReadRun(WstmHandle* handle, std::int32_t* values, std::int32_t stride, std::int32_t frames) {
  return PcmDispatchRun(
      handle, stride, frames,
      [&]<int Bytes, int Channels>() {
        return PcmReadFixedRun<Bytes, Channels>(
            handle, values, stride, frames,
            [](const unsigned char* frame, std::int32_t* v) { DecodeRunFrame<Bytes, Channels>(frame, v); });
      },
      [&](std::int32_t f) { aiff_read_sample(handle, values + static_cast<std::ptrdiff_t>(f) * stride, stride); });
}

std::int32_t WriteRun(WstmHandle* handle, const std::int32_t* values, std::int32_t stride,
                      std::int32_t frames) {
  return PcmDispatchRun(
      handle, stride, frames,
      [&]<int Bytes, int Channels>() {
        const std::uint32_t mask = kPcmSampleMask[static_cast<std::size_t>(handle->num_bits)];
        return PcmWriteFixedRun<Bytes, Channels>(
            handle, values, stride, frames,
            [mask](const std::int32_t* v, unsigned char* frame) { EncodeRunFrame<Bytes, Channels>(v, mask, frame); });
      },
      [&](std::int32_t f) { aiff_write_sample(handle, values + static_cast<std::ptrdiff_t>(f) * stride, stride); });
}

}  // namespace

PcmReadRun aiff_read_run_for(WstmReadSampleHook hook) { return hook == aiff_read_sample ? ReadRun : nullptr; }
PcmWriteRun aiff_write_run_for(WstmWriteSampleHook hook) { return hook == aiff_write_sample ? WriteRun : nullptr; }
