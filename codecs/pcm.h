#pragma once
// PCM sample containers shared by the codecs: the container width of a bit
// depth and the mask that keeps the top bits of a container.

#include <array>
#include <bit>
#include <cstddef>
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
        using Word = std::conditional_t<
            N == 1, std::uint8_t,
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
    // A layout's channels are layout / 8 (0 for none).
    if (count >= 1 && count >= layout / 8) {
        switch (layout) {
            case PcmLayout(1, 1): return fixed.template operator()<1, 1>();
            case PcmLayout(2, 1): return fixed.template operator()<2, 1>();
            case PcmLayout(3, 1): return fixed.template operator()<3, 1>();
            case PcmLayout(4, 1): return fixed.template operator()<4, 1>();
            case PcmLayout(1, 2): return fixed.template operator()<1, 2>();
            case PcmLayout(2, 2): return fixed.template operator()<2, 2>();
            case PcmLayout(3, 2): return fixed.template operator()<3, 2>();
            case PcmLayout(4, 2): return fixed.template operator()<4, 2>();
            default: break;
        }
    }
    return general();
}

// Frame runs: many frames of one call, as that many calls of the per-frame
// hook would move them, frame f at values + f * stride with min(stride,
// num_channels) channels moved. The fixed layouts go through a buffer of up
// to kPcmRunBytes bytes, one stream transfer per buffer instead of one per
// frame; every other layout calls the per-frame hook frame by frame.
using PcmReadRun = std::int32_t (*)(WstmHandle* handle, std::int32_t* values, std::int32_t stride,
                                    std::int32_t frames);
using PcmWriteRun = std::int32_t (*)(WstmHandle* handle, const std::int32_t* values,
                                     std::int32_t stride, std::int32_t frames);

// The run that moves the same bytes as `hook`, when `hook` is the codec's
// own integer PCM hook; null for any other hook. Each codec's sample file
// defines its pair.
PcmReadRun wav_read_run_for(WstmReadSampleHook hook);
PcmWriteRun wav_write_run_for(WstmWriteSampleHook hook);
PcmReadRun aiff_read_run_for(WstmReadSampleHook hook);
PcmWriteRun aiff_write_run_for(WstmWriteSampleHook hook);

inline constexpr std::int32_t kPcmRunBytes = 4096;

// In a run, a frame of up to 8 bytes moves as one 8-byte word: the run's
// buffer has kPcmRunPad bytes beyond its frames, so a load may read past
// the frame (those bytes are masked off) and a store may write past it (the
// next frame overwrites them, or they fall in the pad). Little-endian words.
inline constexpr std::int32_t kPcmRunPad = 8;

template <int N>
inline std::uint64_t PcmLoadRunWord(const unsigned char* frame) {
    static_assert(N >= 1 && N <= 8);
    std::uint64_t word;
    std::memcpy(&word, frame, sizeof word);
    if constexpr (N < 8) word &= (std::uint64_t{1} << (8 * N)) - 1;
    return word;
}

inline void PcmStoreRunWord(unsigned char* frame, std::uint64_t word) {
    std::memcpy(frame, &word, sizeof word);
}

// Reads `frames` frames of the fixed layout <Bytes, Channels>;
// decode(frame bytes, values) is the codec's conversion of one frame.
template <int Bytes, int Channels, class Decode>
inline std::int32_t PcmReadFixedRun(WstmHandle* handle, std::int32_t* values, std::int32_t stride,
                                    std::int32_t frames, Decode decode) {
    constexpr std::int32_t kBlock = Bytes * Channels;
    constexpr std::int32_t kPieceFrames = kPcmRunBytes / kBlock;
    unsigned char piece[kPieceFrames * kBlock + kPcmRunPad];
    for (std::int32_t done = 0; done < frames;) {
        const std::int32_t n = frames - done < kPieceFrames ? frames - done : kPieceFrames;
        // A transfer that delivers nothing leaves zeros, as a frame read alone would.
        if (FSTM_Read(handle->stream, piece, n * kBlock) != n * kBlock) {
            std::memset(piece, 0, static_cast<std::size_t>(n * kBlock));
        }
        std::memset(piece + n * kBlock, 0, kPcmRunPad);  // what the last frame's word reads past it
        std::int32_t* to = values + static_cast<std::ptrdiff_t>(done) * stride;
        for (std::int32_t f = 0; f < n; ++f)
            decode(piece + f * kBlock, to + static_cast<std::ptrdiff_t>(f) * stride);
        done += n;
    }
    handle->current_position += frames * kBlock;
    return frames;
}

// Writes `frames` frames of the fixed layout <Bytes, Channels>;
// encode(values, frame bytes) is the codec's conversion of one frame.
template <int Bytes, int Channels, class Encode>
inline std::int32_t PcmWriteFixedRun(WstmHandle* handle, const std::int32_t* values,
                                     std::int32_t stride, std::int32_t frames, Encode encode) {
    constexpr std::int32_t kBlock = Bytes * Channels;
    constexpr std::int32_t kPieceFrames = kPcmRunBytes / kBlock;
    unsigned char piece[kPieceFrames * kBlock + kPcmRunPad];
    for (std::int32_t done = 0; done < frames;) {
        const std::int32_t n = frames - done < kPieceFrames ? frames - done : kPieceFrames;
        const std::int32_t* from = values + static_cast<std::ptrdiff_t>(done) * stride;
        for (std::int32_t f = 0; f < n; ++f)
            encode(from + static_cast<std::ptrdiff_t>(f) * stride, piece + f * kBlock);
        FSTM_Write(handle->stream, piece, n * kBlock);
        done += n;
    }
    handle->current_position += frames * kBlock;
    return frames;
}

// A run of the handle's layout: the fixed one when PcmDispatchFrame would
// take it for `stride` values, else `one` (the per-frame hook) per frame.
template <class Fixed, class One>
inline std::int32_t PcmDispatchRun(const WstmHandle* handle, std::int32_t stride,
                                   std::int32_t frames, Fixed&& fixed, One&& one) {
    return PcmDispatchFrame(handle->frame_layout, stride, fixed, [&]() {
        for (std::int32_t f = 0; f < frames; ++f)
            one(f);
        return frames;
    });
}

// The fixed layouts of a codec's sample hooks, frame by frame and in runs,
// built on the codec's own conversions. Codec supplies, as static members:
//   DecodeSample(p, bytes) and EncodeSample(p, bytes, value, mask), one
//   container in the file's byte order;
//   DecodeWord<Bytes, Channels>(word, values) and
//   EncodeWord<Bytes, Channels>(values, mask), a whole frame of up to 8
//   bytes as one little-endian integer, split or assembled in registers.
// On a little-endian host the frame moves with a single load or store; on
// any other, container by container.
inline constexpr bool kPcmLittleEndianHost = std::endian::native == std::endian::little;

template <class Codec>
struct PcmFixedFrames {
    template <int Bytes, int Channels>
    static void DecodeFixed(const unsigned char* frame, std::int32_t* values) {
        if constexpr (kPcmLittleEndianHost) {
            Codec::template DecodeWord<Bytes, Channels>(PcmLoadFrameWord<Bytes * Channels>(frame),
                                                        values);
        } else {
            for (int c = 0; c < Channels; ++c)
                values[c] = Codec::DecodeSample(frame + c * Bytes, Bytes);
        }
    }

    template <int Bytes, int Channels>
    static void EncodeFixed(const std::int32_t* values, std::uint32_t mask, unsigned char* frame) {
        if constexpr (kPcmLittleEndianHost) {
            const std::uint64_t word = Codec::template EncodeWord<Bytes, Channels>(values, mask);
            std::memcpy(frame, &word, Bytes * Channels);
        } else {
            for (int c = 0; c < Channels; ++c)
                Codec::EncodeSample(frame + c * Bytes, Bytes, values[c], mask);
        }
    }

    // The same in a run, whose buffer lets a frame move as a whole word.
    template <int Bytes, int Channels>
    static void DecodeRunFrame(const unsigned char* frame, std::int32_t* values) {
        if constexpr (kPcmLittleEndianHost) {
            Codec::template DecodeWord<Bytes, Channels>(PcmLoadRunWord<Bytes * Channels>(frame),
                                                        values);
        } else {
            DecodeFixed<Bytes, Channels>(frame, values);
        }
    }

    template <int Bytes, int Channels>
    static void EncodeRunFrame(const std::int32_t* values, std::uint32_t mask,
                               unsigned char* frame) {
        if constexpr (kPcmLittleEndianHost) {
            PcmStoreRunWord(frame, Codec::template EncodeWord<Bytes, Channels>(values, mask));
        } else {
            EncodeFixed<Bytes, Channels>(values, mask, frame);
        }
    }

    // One frame of the fixed layout <Bytes, Channels>: read into values, or
    // written from them when they are const.
    template <int Bytes, int Channels>
    static std::int32_t MoveFixed(WstmHandle* handle, std::int32_t* values) {
        constexpr std::int32_t kBlock = Bytes * Channels;
        unsigned char frame[kBlock] = {};
        (void)FSTM_Read(handle->stream, frame, kBlock);
        DecodeFixed<Bytes, Channels>(frame, values);
        handle->current_position += kBlock;
        return kBlock;
    }

    template <int Bytes, int Channels>
    static std::int32_t MoveFixed(WstmHandle* handle, const std::int32_t* values) {
        constexpr std::int32_t kBlock = Bytes * Channels;
        const std::uint32_t mask = kPcmSampleMask[static_cast<std::size_t>(handle->num_bits)];
        unsigned char frame[kBlock];
        EncodeFixed<Bytes, Channels>(values, mask, frame);
        FSTM_Write(handle->stream, frame, kBlock);
        handle->current_position += kBlock;
        return kBlock;
    }

    // A run of the fixed layout, read or written the same way.
    template <int Bytes, int Channels>
    static std::int32_t MoveFixedRun(WstmHandle* handle, std::int32_t* values, std::int32_t stride,
                                     std::int32_t frames) {
        return PcmReadFixedRun<Bytes, Channels>(handle, values, stride, frames,
                                                [](const unsigned char* frame, std::int32_t* v) {
                                                    DecodeRunFrame<Bytes, Channels>(frame, v);
                                                });
    }

    template <int Bytes, int Channels>
    static std::int32_t MoveFixedRun(WstmHandle* handle, const std::int32_t* values,
                                     std::int32_t stride, std::int32_t frames) {
        const std::uint32_t mask = kPcmSampleMask[static_cast<std::size_t>(handle->num_bits)];
        return PcmWriteFixedRun<Bytes, Channels>(
            handle, values, stride, frames, [mask](const std::int32_t* v, unsigned char* frame) {
                EncodeRunFrame<Bytes, Channels>(v, mask, frame);
            });
    }

    // Any other layout: general(handle, values, count) moves one frame, the
    // cursor then steps by the block.
    template <class Values, class Move>
    static std::int32_t MoveOther(WstmHandle* handle, Values* values, std::int32_t count,
                                  Move general) {
        const std::int32_t block = handle->block_size;
        general(handle, values, count);
        handle->current_position += block;
        return block;
    }

    // The per-frame hook, reading or writing as the constness of values says:
    // the fixed layout when the handle has one and the caller offers its
    // channels, else MoveOther.
    template <class Values, class Move>
    static std::int32_t Frame(WstmHandle* handle, Values* values, std::int32_t count,
                              Move general) {
        return PcmDispatchFrame(
            handle->frame_layout, count,
            [&]<int Bytes, int Channels>() { return MoveFixed<Bytes, Channels>(handle, values); },
            [&]() { return MoveOther(handle, values, count, general); });
    }

    // The run (see PcmReadRun and PcmWriteRun) of the codec whose per-frame
    // hook is One.
    template <auto One, class Values>
    static std::int32_t Run(WstmHandle* handle, Values* values, std::int32_t stride,
                            std::int32_t frames) {
        return PcmDispatchRun(
            handle, stride, frames,
            [&]<int Bytes, int Channels>() {
                return MoveFixedRun<Bytes, Channels>(handle, values, stride, frames);
            },
            [&](std::int32_t f) {
                One(handle, values + static_cast<std::ptrdiff_t>(f) * stride, stride);
            });
    }
};
