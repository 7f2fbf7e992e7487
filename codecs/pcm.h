#pragma once
// PCM sample containers shared by the codecs: the container width of a bit
// depth and the mask that keeps the top bits of a container.

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "wavestream/fstm/wstm_handle.h"

// Bytes of the container that holds one sample of `bits` bits (1..32).
constexpr std::int32_t PcmContainerBytes(std::int32_t bits) { return (bits + 7) / 8; }

// sample_mask[b]: keeps the top b bits of the container of a b-bit sample and
// clears the rest; for a container of w bits it is (2^w - 1) - (2^(w-b) - 1).
constexpr std::array<std::uint32_t, 33> MakePcmSampleMask() {
  std::array<std::uint32_t, 33> mask{};
  for (std::int32_t b = 1; b <= 32; ++b) {
    const std::int32_t w = PcmContainerBytes(b) * 8;
    const std::uint64_t all = (std::uint64_t{1} << w) - 1;
    const std::uint64_t low = (std::uint64_t{1} << (w - b)) - 1;
    mask[static_cast<std::size_t>(b)] = static_cast<std::uint32_t>(all - low);
  }
  return mask;
}

inline constexpr std::array<std::uint32_t, 33> kPcmSampleMask = MakePcmSampleMask();

static_assert(kPcmSampleMask[0] == 0 && kPcmSampleMask[1] == 0x80 && kPcmSampleMask[8] == 0xFF);
static_assert(kPcmSampleMask[12] == 0xFFF0 && kPcmSampleMask[20] == 0xFFFFF0);
static_assert(kPcmSampleMask[24] == 0xFFFFFF && kPcmSampleMask[31] == 0xFFFFFFFE);
static_assert(kPcmSampleMask[32] == 0xFFFFFFFF);

// Channels of a frame that a sample hook moves: the count asked for, within
// 0 .. the file's channels.
inline std::int32_t PcmChannelsToMove(const WstmHandle* h, std::int32_t count) {
  if (count < 0) return 0;
  return count < h->num_channels ? count : h->num_channels;
}

// Container bytes of the handle's samples, kept within 1..4 whatever the
// header held.
inline std::int32_t PcmContainerOf(const WstmHandle* h) {
  const std::int32_t bits = h->num_bits;
  return bits <= 0 ? 1 : (bits > 32 ? 4 : PcmContainerBytes(bits));
}

// The frame_layout of a handle (see WstmHandle): container bytes + 8 x
// channels for mono and stereo frames of 1 to 32 bits whose block holds
// exactly their containers; 0 otherwise.
inline std::int32_t PcmFrameLayout(const WstmHandle* h) {
  if (h->num_bits < 1 || h->num_bits > 32) return 0;
  if (h->num_channels != 1 && h->num_channels != 2) return 0;
  const std::int32_t bytes = PcmContainerBytes(h->num_bits);
  if (h->block_size != bytes * h->num_channels) return 0;
  return bytes + 8 * h->num_channels;
}

inline constexpr std::int32_t PcmLayout(std::int32_t bytes, std::int32_t channels) {
  return bytes + 8 * channels;
}

// The bytes of a frame of up to 8 bytes as one little-endian integer, loaded
// in power-of-two pieces (6 = 4 + 2, 3 = 2 + 1). The frame was just copied
// in with such pieces; one wider load over several narrower stores would
// stall until the stores retire instead of taking their data at once.
template <int N>
inline std::uint64_t PcmLoadFrameWord(const unsigned char* frame) {
  static_assert(N >= 1 && N <= 8);
  if constexpr (N == 1 || N == 2 || N == 4 || N == 8) {
    using Word = std::conditional_t<N == 1, std::uint8_t,
                 std::conditional_t<N == 2, std::uint16_t,
                 std::conditional_t<N == 4, std::uint32_t, std::uint64_t>>>;
    Word w;
    std::memcpy(&w, frame, N);
    return w;
  } else {
    constexpr int kLow = N >= 4 ? 4 : 2;
    return PcmLoadFrameWord<kLow>(frame) |
           (PcmLoadFrameWord<N - kLow>(frame + kLow) << (8 * kLow));
  }
}

// Picks the fixed-size path of a sample hook for the layouts that have one:
// `fixed.template operator()<bytes, channels>()` when the caller offers at
// least as many values as the layout's channels, else `general()`.
template <class Fixed, class General>
inline std::int32_t PcmDispatchFrame(std::int32_t layout, std::int32_t count, Fixed&& fixed,
                                     General&& general) {
  if (count >= 2) {
    switch (layout) {
      case PcmLayout(1, 2): return fixed.template operator()<1, 2>();
      case PcmLayout(2, 2): return fixed.template operator()<2, 2>();
      case PcmLayout(3, 2): return fixed.template operator()<3, 2>();
      case PcmLayout(4, 2): return fixed.template operator()<4, 2>();
      default: break;
    }
  }
  if (count >= 1) {
    switch (layout) {
      case PcmLayout(1, 1): return fixed.template operator()<1, 1>();
      case PcmLayout(2, 1): return fixed.template operator()<2, 1>();
      case PcmLayout(3, 1): return fixed.template operator()<3, 1>();
      case PcmLayout(4, 1): return fixed.template operator()<4, 1>();
      default: break;
    }
  }
  return general();
}
