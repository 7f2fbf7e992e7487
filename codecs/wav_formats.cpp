// WAV sample formats other than integer PCM: resolution of the format tag
// and the sample hooks of IEEE float, mu-law and A-law files. The integer
// PCM hooks live in wav_samples.cpp.

#include "codecs/wav_formats.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "codecs/pcm.h"
#include "codecs/wav.h"

namespace {

// The media-subtype suffix that follows the 2-byte format tag in the
// sub-format GUID of an extensible 'fmt ' chunk:
// xxxx0000-0000-0010-8000-00AA00389B71, as stored (first fields
// little-endian).
constexpr unsigned char kGuidSuffix[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                           0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint32_t LoadLE32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint32_t LoadBE32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

// The IEEE float at p, stored little-endian (WAV) or big-endian (AIFF-C).
template <bool BigEndian>
double LoadFloat32(const unsigned char* p) {
    const std::uint32_t bits = BigEndian ? LoadBE32(p) : LoadLE32(p);
    float x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

template <bool BigEndian>
double LoadFloat64(const unsigned char* p) {
    const std::uint64_t bits =
        BigEndian ? (static_cast<std::uint64_t>(LoadBE32(p)) << 32) | LoadBE32(p + 4)
                  : LoadLE32(p) | (static_cast<std::uint64_t>(LoadLE32(p + 4)) << 32);
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

template <double (*Load)(const unsigned char*)>
std::int32_t FloatSampleAt(const unsigned char* p) {
    return wav_float_to_sample(Load(p));
}

std::int32_t MuLawAt(const unsigned char* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(wav_mulaw_to_linear(p[0])) << 16);
}

std::int32_t ALawAt(const unsigned char* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(wav_alaw_to_linear(p[0])) << 16);
}

// Frames of up to this many bytes are read with one stream call.
constexpr std::int32_t kFrameBytes = 256;

// One frame of containers of Bytes bytes each (block_size = Bytes x
// channels, as the 'fmt ' handler checked): values[c] for the channels asked
// for, the rest of the frame read past.
template <std::int32_t Bytes, std::int32_t (*Convert)(const unsigned char*)>
std::int32_t ReadFrame(WstmHandle* handle, std::int32_t* values, std::int32_t count) {
    const std::int32_t block = handle->block_size;
    const std::int32_t n = PcmChannelsToMove(handle, count);
    unsigned char frame[kFrameBytes];
    if (block <= kFrameBytes) {
        (void)FSTM_Read(handle->stream, frame, block);
        for (std::int32_t c = 0; c < n && (c + 1) * Bytes <= block; ++c) {
            values[c] = Convert(frame + c * Bytes);
        }
    } else {
        for (std::int32_t c = 0, done = 0; done + Bytes <= block; ++c, done += Bytes) {
            (void)FSTM_Read(handle->stream, frame, Bytes);
            if (c < n) values[c] = Convert(frame);
        }
    }
    handle->current_position += block;
    return block;
}

template <bool BigEndian>
std::int32_t ReadFloat32(WstmHandle* h, std::int32_t* v, std::int32_t n) {
    return ReadFrame<4, FloatSampleAt<LoadFloat32<BigEndian>>>(h, v, n);
}
template <bool BigEndian>
std::int32_t ReadFloat64(WstmHandle* h, std::int32_t* v, std::int32_t n) {
    return ReadFrame<8, FloatSampleAt<LoadFloat64<BigEndian>>>(h, v, n);
}
std::int32_t ReadMuLaw(WstmHandle* h, std::int32_t* v, std::int32_t n) {
    return ReadFrame<1, MuLawAt>(h, v, n);
}
std::int32_t ReadALaw(WstmHandle* h, std::int32_t* v, std::int32_t n) {
    return ReadFrame<1, ALawAt>(h, v, n);
}

// A float sample at full scale +-2^31 with its headroom: NaN reads as 0,
// and values beyond the largest float (infinities included) as the largest
// float, so that the converter's sums stay finite and an integer output
// clips them.
double FloatValue(double x) {
    constexpr double kLargest = std::numeric_limits<float>::max();
    if (std::isnan(x)) return 0.0;
    return std::min(std::max(x, -kLargest), kLargest) * 2147483648.0;  // exact: a power of two
}

template <double (*Load)(const unsigned char*)>
double FloatValueAt(const unsigned char* p) {
    return FloatValue(Load(p));
}

// Frames of float samples of Bytes bytes each, as many frames a stream call
// as kPcmRunBytes holds; a frame wider than that goes sample by sample.
template <std::int32_t Bytes, double (*Convert)(const unsigned char*)>
std::int32_t ReadFloatRun(WstmHandle* handle, double* values, std::int32_t stride,
                          std::int32_t frames) {
    const std::int32_t block = handle->block_size;
    const std::int32_t n = PcmChannelsToMove(handle, stride);
    unsigned char piece[kPcmRunBytes];
    if (block > kPcmRunBytes) {
        for (std::int32_t f = 0; f < frames; ++f) {
            double* to = values + static_cast<std::ptrdiff_t>(f) * stride;
            for (std::int32_t c = 0, done = 0; done + Bytes <= block; ++c, done += Bytes) {
                if (FSTM_Read(handle->stream, piece, Bytes) != Bytes) std::memset(piece, 0, Bytes);
                if (c < n) to[c] = Convert(piece);
            }
        }
    } else {
        const std::int32_t per_piece = kPcmRunBytes / block;
        for (std::int32_t done = 0; done < frames;) {
            const std::int32_t m = frames - done < per_piece ? frames - done : per_piece;
            // A transfer that delivers nothing leaves zeros, as a frame read alone would.
            if (FSTM_Read(handle->stream, piece, m * block) != m * block) {
                std::memset(piece, 0, static_cast<std::size_t>(m * block));
            }
            for (std::int32_t f = 0; f < m; ++f) {
                double* to = values + static_cast<std::ptrdiff_t>(done + f) * stride;
                for (std::int32_t c = 0; c < n; ++c)
                    to[c] = Convert(piece + f * block + c * Bytes);
            }
            done += m;
        }
    }
    handle->current_position += frames * block;
    return frames;
}

}  // namespace

bool wav_resolve_format(std::uint32_t tag, std::uint32_t bits, const unsigned char* guid,
                        WavSampleFormat* format) {
    if (tag == kWavTagExtensible) {
        if (guid == nullptr || std::memcmp(guid + 2, kGuidSuffix, sizeof kGuidSuffix) != 0) {
            return false;
        }
        tag = static_cast<std::uint32_t>(guid[0]) | (static_cast<std::uint32_t>(guid[1]) << 8);
    }
    switch (tag) {
        case kWavTagPcm:
            *format = {tag, PcmContainerBytes(static_cast<std::int32_t>(bits)),
                       static_cast<std::int32_t>(bits)};
            return true;
        case kWavTagFloat:
            if (bits != 32 && bits != 64) return false;
            *format = {tag, static_cast<std::int32_t>(bits / 8), 32};
            return true;
        case kWavTagALaw:
        case kWavTagMuLaw:
            if (bits != 8) return false;
            *format = {tag, 1, 16};
            return true;
        default: return false;
    }
}

WstmReadSampleHook wav_reader_for(const WstmHandle* handle) {
    switch (handle->format_tag) {
        case kWavTagFloat: {
            const bool wide = handle->block_size == 8 * handle->num_channels;
            if (handle->endian_type == kWstmBigEndian) {
                return wide ? ReadFloat64<true> : ReadFloat32<true>;
            }
            return wide ? ReadFloat64<false> : ReadFloat32<false>;
        }
        case kWavTagMuLaw: return ReadMuLaw;
        case kWavTagALaw: return ReadALaw;
        default: return wav_read_sample;
    }
}

WstmReadFloatRun wav_float_reader_for(const WstmHandle* handle) {
    if (handle->format_tag != kWavTagFloat) return nullptr;
    const bool wide = handle->block_size == 8 * handle->num_channels;
    if (handle->endian_type == kWstmBigEndian) {
        return wide ? ReadFloatRun<8, FloatValueAt<LoadFloat64<true>>>
                    : ReadFloatRun<4, FloatValueAt<LoadFloat32<true>>>;
    }
    return wide ? ReadFloatRun<8, FloatValueAt<LoadFloat64<false>>>
                : ReadFloatRun<4, FloatValueAt<LoadFloat32<false>>>;
}

std::int32_t wav_float_to_sample(double x) {
    const double scaled = x * 2147483648.0;  // exact: a power of two
    if (std::isnan(scaled)) return 0;
    if (scaled >= 2147483647.0) return 2147483647;
    if (scaled <= -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(std::round(scaled));  // halves away from zero
}

// G.711 mu-law: the complemented byte holds a sign, a 3-bit segment and a
// 4-bit step; the magnitude is ((step << 3) + 0x84) << segment, less the
// bias 0x84.
std::int16_t wav_mulaw_to_linear(std::uint8_t byte) {
    const std::uint32_t u = ~static_cast<std::uint32_t>(byte) & 0xFF;
    const std::int32_t segment = static_cast<std::int32_t>((u >> 4) & 7);
    const std::int32_t magnitude = ((static_cast<std::int32_t>(u & 0x0F) << 3) + 0x84) << segment;
    const std::int32_t linear = magnitude - 0x84;
    return static_cast<std::int16_t>((u & 0x80) != 0 ? -linear : linear);
}

// G.711 A-law: the byte with its even bits inverted holds a sign (set for
// positive values), a 3-bit segment and a 4-bit step.
std::int16_t wav_alaw_to_linear(std::uint8_t byte) {
    const std::uint32_t a = static_cast<std::uint32_t>(byte) ^ 0x55;
    const std::int32_t segment = static_cast<std::int32_t>((a >> 4) & 7);
    std::int32_t magnitude = (static_cast<std::int32_t>(a & 0x0F) << 4) + 8;
    if (segment != 0) magnitude = (magnitude + 0x100) << (segment - 1);
    return static_cast<std::int16_t>((a & 0x80) != 0 ? magnitude : -magnitude);
}
