#pragma once
// The sample formats a WAV file is read in, besides integer PCM: IEEE float
// (32 and 64 bits) and the two G.711 companded formats (8-bit mu-law and
// A-law). The 'fmt ' handler resolves the format tag (through the sub-format
// GUID of an extensible chunk) and installs the matching sample hook; every
// other format is refused. The AIFF codec reads the same formats of AIFF-C
// files through these hooks, with the matching tag set; float samples are
// then big-endian (endian_type). What a file of each format reads as:
//
//   integer PCM (tag 1)   the container as it is, left-justified
//   IEEE float (tag 3)    round(x * 2^31), halves away from zero, clipped to
//                         -2^31 .. 2^31 - 1; NaN reads as 0, +-inf clips;
//                         the header reports 32 bits
//   mu-law (7), A-law (6) the G.711 16-bit linear value (full scale +-32124
//                         and +-32256) in the top 16 bits; the header
//                         reports 16 bits

#include <cstdint>

#include "wavestream/fstm/wstm_handle.h"

inline constexpr std::uint32_t kWavTagPcm = 1;
inline constexpr std::uint32_t kWavTagFloat = 3;
inline constexpr std::uint32_t kWavTagALaw = 6;
inline constexpr std::uint32_t kWavTagMuLaw = 7;
inline constexpr std::uint32_t kWavTagExtensible = 0xFFFE;

// Body bytes an extensible 'fmt ' needs to hold its sub-format GUID (at
// offset 24, 16 bytes).
inline constexpr std::int32_t kWavExtensibleFmtSize = 40;

// How the samples of a resolved format are stored and reported.
struct WavSampleFormat {
    std::uint32_t tag;             // 1, 3, 6 or 7: the tag that counts
    std::int32_t container_bytes;  // bytes per sample in the file
    std::int32_t reported_bits;    // num_bits of the header model
};

// The format of a 'fmt ' chunk with format tag `tag` and `bits` bits per
// sample. For the extensible tag, `guid` holds the 16 bytes of the
// sub-format GUID, or is null when the chunk is shorter than 40 bytes. False
// for every format that is not read (the caller reports it).
bool wav_resolve_format(std::uint32_t tag, std::uint32_t bits, const unsigned char* guid,
                        WavSampleFormat* format);

// The sample hook of a decoded header (format_tag holds the resolved tag;
// float samples in the byte order of endian_type).
WstmReadSampleHook wav_reader_for(const WstmHandle* handle);

// The float run of a decoded header (see WstmHandle::read_float): null
// unless format_tag is IEEE float. Each sample x reads as x * 2^31, not
// clipped; NaN reads as 0, values beyond the largest float (infinities
// included) as the largest float.
WstmReadFloatRun wav_float_reader_for(const WstmHandle* handle);

// The conversions the hooks apply to one sample.
std::int32_t wav_float_to_sample(double x);
std::int16_t wav_mulaw_to_linear(std::uint8_t byte);
std::int16_t wav_alaw_to_linear(std::uint8_t byte);
