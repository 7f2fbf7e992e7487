// The AIFF sample hooks: one frame per call between big-endian PCM containers
// of 1 to 4 bytes, signed in every width (8 bits included), and
// left-justified signed 32-bit values.
//
// Mono and stereo frames (frame_layout set at open) move with one stream call
// of a fixed size and a branch-free conversion, and in runs (see PcmReadRun)
// a buffer of them per stream call. Other frames move in pieces
// of up to kFrameBytes bytes (one stream call for frames up to that size).
// Nothing here allocates.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codecs/aiff.h"
#include "codecs/pcm.h"

namespace {

constexpr std::int32_t kFrameBytes = 256;

inline std::uint32_t MaskOf(const WstmHandle* h) {
    const std::int32_t bits = h->num_bits;
    return kPcmSampleMask[static_cast<std::size_t>(bits < 0 ? 0 : (bits > 32 ? 32 : bits))];
}

template <int Bytes>
constexpr std::uint32_t kContainerBits = Bytes == 4 ? 0xFFFFFFFFu
                                                    : (std::uint32_t{1} << (8 * Bytes)) - 1;

// The conversions of the AIFF containers (see PcmFixedFrames). As a frame
// word, byte-swapping the bytes of one container gives its value
// left-justified, and back.
struct Aiff {
    static std::int32_t DecodeSample(const unsigned char* p, std::int32_t bytes) {
        std::uint32_t v = 0;
        for (std::int32_t i = 0; i < bytes; ++i)
            v |= static_cast<std::uint32_t>(p[i]) << (24 - 8 * i);
        return static_cast<std::int32_t>(v);
    }

    // The container of value v: its top bytes, keeping only the bits in mask
    // (sample_mask[num_bits], aligned to the container). Zero is silence.
    static void EncodeSample(unsigned char* p, std::int32_t bytes, std::int32_t v,
                             std::uint32_t mask) {
        const std::uint32_t c = (static_cast<std::uint32_t>(v) >> (32 - 8 * bytes)) & mask;
        for (std::int32_t i = 0; i < bytes; ++i) {
            p[i] = static_cast<unsigned char>(c >> (8 * (bytes - 1 - i)));
        }
    }

    template <int Bytes, int Channels>
    static void DecodeWord(std::uint64_t word, std::int32_t* values) {
        for (int c = 0; c < Channels; ++c) {
            const auto bytes =
                static_cast<std::uint32_t>(word >> (8 * Bytes * c)) & kContainerBits<Bytes>;
            values[c] = static_cast<std::int32_t>(__builtin_bswap32(bytes));
        }
    }

    template <int Bytes, int Channels>
    static std::uint64_t EncodeWord(const std::int32_t* values, std::uint32_t mask) {
        const std::uint32_t keep = mask << (32 - 8 * Bytes);  // the sample's bits, left-justified
        std::uint64_t word = 0;
        for (int c = 0; c < Channels; ++c) {
            const std::uint32_t v = static_cast<std::uint32_t>(values[c]) & keep;
            word |= static_cast<std::uint64_t>(__builtin_bswap32(v)) << (8 * Bytes * c);
        }
        return word;
    }
};

using AiffFrames = PcmFixedFrames<Aiff>;

[[gnu::noinline]] void ReadGeneral(WstmHandle* handle, std::int32_t* values, std::int32_t count) {
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
            values[c] = Aiff::DecodeSample(piece + at, bytes);
        }
        done += size;
    }
}

[[gnu::noinline]] void WriteGeneral(WstmHandle* handle, const std::int32_t* values,
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
            Aiff::EncodeSample(piece + at, bytes, values[c], mask);
        }
        // Channels beyond the values given: zero containers, which are silence.
        for (; at < size; ++at)
            piece[at] = 0;
        FSTM_Write(handle->stream, piece, size);
        done += size;
    }
}

}  // namespace

PcmReadRun aiff_read_run_for(WstmReadSampleHook hook) {
    return hook == aiff_read_sample ? AiffFrames::Run<aiff_read_sample, std::int32_t> : nullptr;
}
PcmWriteRun aiff_write_run_for(WstmWriteSampleHook hook) {
    return hook == aiff_write_sample ? AiffFrames::Run<aiff_write_sample, const std::int32_t>
                                     : nullptr;
}

std::int32_t aiff_read_sample(WstmHandle* handle, std::int32_t* values, std::int32_t count) {
    return AiffFrames::Frame(handle, values, count, ReadGeneral);
}

std::int32_t aiff_write_sample(WstmHandle* handle, const std::int32_t* values, std::int32_t count) {
    return AiffFrames::Frame(handle, values, count, WriteGeneral);
}
