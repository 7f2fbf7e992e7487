// WAV sample hooks: one frame per call between little-endian PCM containers
// and left-justified signed 32-bit values, and the runs of many frames that
// move the same bytes (see PcmReadRun). 1 to 8 bits are unsigned bytes with
// 128 as zero; 9 bits and more are signed.
//
// Mono and stereo frames of the usual layout (frame_layout set at open) move
// with one stream call of a fixed size and a branch-free conversion, and in
// runs a buffer of them per stream call. Other frames of up to kFrameBytes
// bytes move with one stream call; wider frames go one sample at a time.
// Nothing here allocates.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codecs/pcm.h"
#include "codecs/wav.h"

namespace {

constexpr std::int32_t kFrameBytes = 256;

// A container as a piece of a frame word: the value left-justified, and back.
template <int Bytes>
inline std::int32_t FromContainer(std::uint32_t c) {
    if constexpr (Bytes == 1) return static_cast<std::int32_t>(((c & 0xFFu) - 128u) << 24);
    return static_cast<std::int32_t>(c << (32 - 8 * Bytes));
}

template <int Bytes>
inline std::uint64_t ToContainer(std::int32_t v, std::uint32_t mask) {
    const auto u = static_cast<std::uint32_t>(v);
    if constexpr (Bytes == 1) return ((u >> 24) + 128u) & mask;
    return (u >> (32 - 8 * Bytes)) & mask;
}

// The conversions of the WAV containers (see PcmFixedFrames).
struct Wav {
    static std::int32_t DecodeSample(const unsigned char* p, std::int32_t bytes) {
        switch (bytes) {
            case 1:
                return static_cast<std::int32_t>((static_cast<std::uint32_t>(p[0]) - 128u) << 24);
            case 2:
                return static_cast<std::int32_t>((static_cast<std::uint32_t>(p[0]) << 16) |
                                                 (static_cast<std::uint32_t>(p[1]) << 24));
            case 3:
                return static_cast<std::int32_t>((static_cast<std::uint32_t>(p[0]) << 8) |
                                                 (static_cast<std::uint32_t>(p[1]) << 16) |
                                                 (static_cast<std::uint32_t>(p[2]) << 24));
            default:
                return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) |
                                                 (static_cast<std::uint32_t>(p[1]) << 8) |
                                                 (static_cast<std::uint32_t>(p[2]) << 16) |
                                                 (static_cast<std::uint32_t>(p[3]) << 24));
        }
    }

    // Writes the container of value v, keeping only the bits in mask (which is
    // the container-aligned sample_mask[num_bits]).
    static void EncodeSample(unsigned char* p, std::int32_t bytes, std::int32_t v,
                             std::uint32_t mask) {
        const auto u = static_cast<std::uint32_t>(v);
        switch (bytes) {
            case 1: p[0] = static_cast<unsigned char>(((u >> 24) + 128u) & mask); break;
            case 2: {
                const std::uint32_t c = (u >> 16) & mask;
                p[0] = static_cast<unsigned char>(c);
                p[1] = static_cast<unsigned char>(c >> 8);
                break;
            }
            case 3: {
                const std::uint32_t c = (u >> 8) & mask;
                p[0] = static_cast<unsigned char>(c);
                p[1] = static_cast<unsigned char>(c >> 8);
                p[2] = static_cast<unsigned char>(c >> 16);
                break;
            }
            default: {
                const std::uint32_t c = u & mask;
                p[0] = static_cast<unsigned char>(c);
                p[1] = static_cast<unsigned char>(c >> 8);
                p[2] = static_cast<unsigned char>(c >> 16);
                p[3] = static_cast<unsigned char>(c >> 24);
                break;
            }
        }
    }

    template <int Bytes, int Channels>
    static void DecodeWord(std::uint64_t word, std::int32_t* values) {
        for (int c = 0; c < Channels; ++c) {
            values[c] = FromContainer<Bytes>(static_cast<std::uint32_t>(word >> (8 * Bytes * c)));
        }
    }

    template <int Bytes, int Channels>
    static std::uint64_t EncodeWord(const std::int32_t* values, std::uint32_t mask) {
        std::uint64_t word = 0;
        for (int c = 0; c < Channels; ++c)
            word |= ToContainer<Bytes>(values[c], mask) << (8 * Bytes * c);
        return word;
    }
};

using WavFrames = PcmFixedFrames<Wav>;

// The silent container: 0x80 for the unsigned bytes, zero otherwise.
inline void EncodeSilence(unsigned char* p, std::int32_t bytes) {
    p[0] = bytes == 1 ? 0x80 : 0;
    for (std::int32_t i = 1; i < bytes; ++i)
        p[i] = 0;
}

// Stereo, the usual frame, is spelled out so that it needs no loop.
template <int Bytes>
inline void DecodeFrame(const unsigned char* frame, std::int32_t* values, std::int32_t n) {
    if (n == 2) {
        values[0] = Wav::DecodeSample(frame, Bytes);
        values[1] = Wav::DecodeSample(frame + Bytes, Bytes);
        return;
    }
    for (std::int32_t c = 0; c < n; ++c)
        values[c] = Wav::DecodeSample(frame + c * Bytes, Bytes);
}

template <int Bytes>
inline void EncodeFrame(unsigned char* frame, const std::int32_t* values, std::int32_t n,
                        std::uint32_t mask) {
    if (n == 2) {
        Wav::EncodeSample(frame, Bytes, values[0], mask);
        Wav::EncodeSample(frame + Bytes, Bytes, values[1], mask);
        return;
    }
    for (std::int32_t c = 0; c < n; ++c)
        Wav::EncodeSample(frame + c * Bytes, Bytes, values[c], mask);
}

[[gnu::noinline]] void ReadGeneral(WstmHandle* handle, std::int32_t* values, std::int32_t count) {
    const std::int32_t block = handle->block_size;
    const std::int32_t bytes = PcmContainerOf(handle);
    std::int32_t n = PcmChannelsToMove(handle, count);
    unsigned char frame[kFrameBytes];
    if (block <= kFrameBytes) {
        (void)FSTM_Read(handle->stream, frame, block);
        if (n * bytes > block) n = block / bytes;
        switch (bytes) {
            case 1: DecodeFrame<1>(frame, values, n); break;
            case 2: DecodeFrame<2>(frame, values, n); break;
            case 3: DecodeFrame<3>(frame, values, n); break;
            default: DecodeFrame<4>(frame, values, n); break;
        }
    } else {
        // Wide frame: sample by sample, then the rest of the frame unread but
        // skipped, so that the stream stays on the frame grid.
        std::int32_t done = 0;
        for (std::int32_t c = 0; c < n && done + bytes <= block; ++c, done += bytes) {
            (void)FSTM_Read(handle->stream, frame, bytes);
            values[c] = Wav::DecodeSample(frame, bytes);
        }
        while (done < block) {
            const std::int32_t piece = block - done < kFrameBytes ? block - done : kFrameBytes;
            (void)FSTM_Read(handle->stream, frame, piece);
            done += piece;
        }
    }
}

[[gnu::noinline]] void WriteGeneral(WstmHandle* handle, const std::int32_t* values,
                                    std::int32_t count) {
    const std::int32_t block = handle->block_size;
    const std::int32_t bytes = PcmContainerOf(handle);
    std::int32_t n = PcmChannelsToMove(handle, count);
    const std::int32_t bits = handle->num_bits;
    const std::uint32_t mask =
        kPcmSampleMask[static_cast<std::size_t>(bits < 0 ? 0 : (bits > 32 ? 32 : bits))];
    const std::int32_t channels = handle->num_channels;
    unsigned char frame[kFrameBytes];
    if (block <= kFrameBytes) {
        if (n * bytes > block) n = block / bytes;
        switch (bytes) {
            case 1: EncodeFrame<1>(frame, values, n, mask); break;
            case 2: EncodeFrame<2>(frame, values, n, mask); break;
            case 3: EncodeFrame<3>(frame, values, n, mask); break;
            default: EncodeFrame<4>(frame, values, n, mask); break;
        }
        if (n * bytes < block) {  // missing channels are silent
            std::int32_t c = n;
            for (; c < channels && (c + 1) * bytes <= block; ++c)
                EncodeSilence(frame + c * bytes, bytes);
            for (std::int32_t i = c * bytes; i < block; ++i)
                frame[i] = 0;
        }
        FSTM_Write(handle->stream, frame, block);
    } else {
        std::int32_t done = 0;
        for (std::int32_t c = 0; c < channels && done + bytes <= block; ++c, done += bytes) {
            if (c < n) {
                Wav::EncodeSample(frame, bytes, values[c], mask);
            } else {
                EncodeSilence(frame, bytes);
            }
            FSTM_Write(handle->stream, frame, bytes);
        }
        for (std::int32_t i = 0; i < kFrameBytes; ++i)
            frame[i] = 0;
        while (done < block) {
            const std::int32_t piece = block - done < kFrameBytes ? block - done : kFrameBytes;
            FSTM_Write(handle->stream, frame, piece);
            done += piece;
        }
    }
}

}  // namespace

std::int32_t wav_read_sample(WstmHandle* handle, std::int32_t* values, std::int32_t count) {
    return WavFrames::Frame(handle, values, count, ReadGeneral);
}

std::int32_t wav_write_sample(WstmHandle* handle, const std::int32_t* values, std::int32_t count) {
    return WavFrames::Frame(handle, values, count, WriteGeneral);
}

PcmReadRun wav_read_run_for(WstmReadSampleHook hook) {
    return hook == wav_read_sample ? WavFrames::Run<wav_read_sample, std::int32_t> : nullptr;
}
PcmWriteRun wav_write_run_for(WstmWriteSampleHook hook) {
    return hook == wav_write_sample ? WavFrames::Run<wav_write_sample, const std::int32_t>
                                    : nullptr;
}
