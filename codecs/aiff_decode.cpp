// Decoding of an AIFF header: the shared chunk walk (chunk_walk.h) over the
// table of known AIFF chunk identifiers, big-endian; the handlers here decode
// only their chunk's body.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "codecs/aiff.h"
#include "codecs/aiff_extended.h"
#include "codecs/chunk_walk.h"
#include "codecs/format_note.h"
#include "codecs/pcm.h"
#include "codecs/wav.h"
#include "codecs/wav_formats.h"

namespace {

std::int32_t DecodeForm(WstmHandle* handle, std::int64_t size);
std::int32_t DecodeComm(WstmHandle* handle, std::int64_t size);
std::int32_t DecodeMark(WstmHandle* handle, std::int64_t size);
std::int32_t DecodeInst(WstmHandle* handle, std::int64_t size);
std::int32_t DecodeSsnd(WstmHandle* handle, std::int64_t size);

// aiff_chunk_ids: the known identifiers in search order.
constexpr ChunkHandler kAiffChunkIds[] = {
    {"FORM", nullptr, kChunkHead, DecodeForm, "E2006110816 : Can not get 'FORM' string.",
     "E2006110817 : 'FORM' string can not be confirmed.", nullptr},
    {"FVER", nullptr, 4, nullptr, "E2006110821 : Can not get 'FVER' string.",
     "E2006110822 : 'FVER' string can not be confirmed.",
     "E2006110823 : The size written in 'FVER' chunk is wrong."},
    {"COMM", nullptr, 18, DecodeComm, "E2006110824 : Can not get 'COMM' string.",
     "E2006110825 : 'COMM' string can not be confirmed.",
     "E2006110826 : The size written in 'COMM' chunk is wrong."},
    {"MARK", nullptr, 2, DecodeMark, "E2006110827 : Can not get 'MARK' string.",
     "E2006110828 : 'MARK' string can not be confirmed.",
     "E2006110840 : The size written in 'MARK' chunk is wrong."},
    {"INST", nullptr, 8, DecodeInst, "E2006110842 : Can not get 'INST' string.",
     "E2006110843 : 'INST' string can not be confirmed.",
     "E2006110844 : The size written in 'INST' chunk is wrong."},
    {"MIDI", nullptr, 0, nullptr, "E2006110831 : Can not get 'MIDI' string.",
     "E2006110832 : 'MIDI' string can not be confirmed.",
     "E2006110833 : The size written in 'MIDI' chunk is wrong."},
    {"AESD", nullptr, 24, nullptr, "E2006110834 : Can not get 'AESD' string.",
     "E2006110835 : 'AESD' string can not be confirmed.",
     "E2006110836 : The size written in 'AESD' chunk is wrong."},
    {"APPL", nullptr, 4, nullptr, "E2006110837 : Can not get 'APPL' string.",
     "E2006110838 : 'APPL' string can not be confirmed.",
     "E2006110839 : The size written in 'APPL' chunk is wrong."},
    {"COMT", nullptr, 0, nullptr, "E2006110845 : Can not get 'COMT' string.",
     "E2006110846 : 'COMT' string can not be confirmed.",
     "E2006110847 : The size written in 'COMT' chunk is wrong."},
    {"NAME", nullptr, 0, nullptr, "E2006110848 : Can not get 'NAME' string.",
     "E2006110849 : 'NAME' string can not be confirmed.",
     "E2006110850 : The size written in 'NAME' chunk is wrong."},
    {"AUTH", nullptr, 0, nullptr, "E2006110851 : Can not get 'AUTH' string.",
     "E2006110852 : 'AUTH' string can not be confirmed.",
     "E2006110853 : The size written in 'AUTH' chunk is wrong."},
    // Both of the last two messages of '(c) ' carry the code ...855.
    {"(c) ", nullptr, 0, nullptr, "E2006110854 : Can not get '(c) ' string.",
     "E2006110855 : '(c) ' string can not be confirmed.",
     "E2006110855 : The size written in '(c) ' chunk is wrong."},
    {"ANNO", nullptr, 0, nullptr, "E2006110856 : Can not get 'ANNO' string.",
     "E2006110857 : 'ANNO' string can not be confirmed.",
     "E2006110858 : The size written in 'ANNO' chunk is wrong."},
    {"SSND", nullptr, 8, DecodeSsnd, "E2006110859 : Can not get 'SSND' string.",
     "E2006110860 : 'SSND' string can not be confirmed.",
     "E2006110861 : The size written in 'SSND' chunk is wrong."},
};

constexpr ChunkWalk kAiffWalk = {kWstmBigEndian,
                                 kAiffChunkIds,
                                 static_cast<std::int32_t>(std::size(kAiffChunkIds)),
                                 "E2006110815 : Can not get chunk name.",
                                 "E2006110862 : The size written in chunk is wrong.",
                                 "SSND"};

constexpr HeaderFieldMessages kDecodedFieldMessages = {
    "E2006110866 : Sampling frequency is wrong.",
    "E2006110867 : This sampling frequency is not available.",
    "E2006110868 : The number of channels is wrong.",
    "E2006110869 : Quantization bits is wrong.",
    "E2006110870) : This quantization bits is not available.",
    "E2006110871 : The number of samples is wrong.",
};

std::int16_t ReadS16(FstmStream* stream) {
    return static_cast<std::int16_t>(FSTM_ReadU16BE(stream));
}

std::int32_t ReadS32(FstmStream* stream) {
    return static_cast<std::int32_t>(FSTM_ReadU32BE(stream));
}

std::int32_t DecodeForm(WstmHandle* handle, std::int64_t /*size*/) {
    unsigned char form_type[4];
    if (FSTM_Read(handle->stream, form_type, 4) != 4) {
        return chunk_fail("E2006110819 : Can not get 'AIFF' string.");
    }
    handle->aifc = std::memcmp(form_type, "AIFC", 4) == 0;
    if (std::memcmp(form_type, "AIFF", 4) != 0 && !handle->aifc) {
        return chunk_fail("E2006110820 : 'AIFF' string can not be confirmed.");
    }
    handle->current_position += 12;
    handle->file_format = kWstmFormatAiff;
    return 0;
}

// How the samples of an AIFF-C compression type are stored.
enum class AifcSamples { kBigEndian, kLittleEndian, kFloat32, kFloat64, kMuLaw, kALaw, kOffset };

struct AifcType {
    char id[5];
    AifcSamples samples;
};

// The compression types read; every other one is refused.
constexpr AifcType kAifcTypes[] = {
    {"NONE", AifcSamples::kBigEndian},    {"twos", AifcSamples::kBigEndian},
    {"sowt", AifcSamples::kLittleEndian}, {"fl32", AifcSamples::kFloat32},
    {"FL32", AifcSamples::kFloat32},      {"fl64", AifcSamples::kFloat64},
    {"FL64", AifcSamples::kFloat64},      {"ulaw", AifcSamples::kMuLaw},
    {"ULAW", AifcSamples::kMuLaw},        {"alaw", AifcSamples::kALaw},
    {"ALAW", AifcSamples::kALaw},         {"raw ", AifcSamples::kOffset},
};

// 'COMM' of AIFF-C: the 18 bytes of AIFF, then the compression type (and
// its name, which is not needed).
constexpr std::int32_t kAifcCommSize = 22;

const AifcType* FindAifcType(const unsigned char id[4]) {
    for (const AifcType& type : kAifcTypes) {
        if (std::memcmp(id, type.id, 4) == 0) return &type;
    }
    return nullptr;
}

// Notes a type that is not read with the name the file gives it (body + 22,
// a Pascal string within the chunk).
void NoteAifcType(WstmHandle* handle, std::int32_t size, const unsigned char id[4]) {
    char name[64] = "";
    if (size > kAifcCommSize) {
        const std::int32_t length = FSTM_ReadU8(handle->stream) & 0xFF;
        const std::int32_t n = std::min(
            {length, size - kAifcCommSize - 1, static_cast<std::int32_t>(sizeof name) - 1});
        if (n > 0 && FSTM_Read(handle->stream, name, n) == n) {
            for (std::int32_t i = 0; i < n; ++i) {
                if (static_cast<unsigned char>(name[i]) < 0x20 || name[i] == 0x7F) name[i] = '?';
            }
            name[n] = '\0';
        }
    }
    codec_note_aifc_type(id, name);
}

// Installs the sample hooks of the samples' encoding: integers of the
// container width of `bits`, or the WAV codec's readers of the same formats.
void SetEncoding(WstmHandle* handle, AifcSamples samples, std::int32_t bits) {
    std::int32_t container = PcmContainerBytes(bits);
    handle->format_tag = kWavTagPcm;
    handle->read_sample = aiff_read_sample;
    switch (samples) {
        case AifcSamples::kBigEndian: break;
        case AifcSamples::kLittleEndian:
            // A byte has no order, and 8-bit samples of either kind are signed.
            if (bits > 8) handle->read_sample = wav_read_sample;
            break;
        case AifcSamples::kOffset:                  // 8 bits at most, as the caller checked
            handle->read_sample = wav_read_sample;  // unsigned bytes, 128 as zero
            break;
        case AifcSamples::kFloat32:
        case AifcSamples::kFloat64:
            container = samples == AifcSamples::kFloat64 ? 8 : 4;
            handle->format_tag = kWavTagFloat;
            bits = 32;
            break;
        case AifcSamples::kMuLaw:
        case AifcSamples::kALaw:
            container = 1;
            handle->format_tag = samples == AifcSamples::kMuLaw ? kWavTagMuLaw : kWavTagALaw;
            bits = 16;
            break;
    }
    handle->num_bits = bits;
    handle->block_size = container * handle->num_channels;
    if (handle->format_tag != kWavTagPcm) handle->read_sample = wav_reader_for(handle);
    handle->read_float = wav_float_reader_for(handle);
}

// The compression type of AIFF-C is resolved before any field is tested: a
// type that is not read is refused as such, whatever else the chunk holds.
std::int32_t DecodeComm(WstmHandle* handle, std::int64_t chunk_size) {
    const auto size = static_cast<std::int32_t>(chunk_size);  // signed 32-bit in AIFF
    FstmStream* s = handle->stream;
    // Channels and bits are signed: 0x8000 and above fail the header check.
    const std::int32_t channels = ReadS16(s);        // body + 0
    const std::uint32_t frames = FSTM_ReadU32BE(s);  // body + 2
    const std::int32_t bits = ReadS16(s);            // body + 6
    std::uint8_t rate[kExtendedBytes] = {};
    (void)FSTM_Read(s, rate, kExtendedBytes);  // body + 8
    AifcSamples samples = AifcSamples::kBigEndian;
    if (handle->aifc) {
        if (size < kAifcCommSize) {
            return chunk_fail("E2006110826 : The size written in 'COMM' chunk is wrong.");
        }
        unsigned char id[4] = {};
        (void)FSTM_Read(s, id, 4);  // body + 18: compression type
        const AifcType* type = FindAifcType(id);
        if (type == nullptr || (type->samples == AifcSamples::kOffset && bits > 8)) {
            NoteAifcType(handle, size, id);
            return chunk_fail("E2006110786 : This sample format is not supported.");
        }
        samples = type->samples;
    }
    handle->num_channels = channels;
    handle->num_samples = frames;
    handle->sampling_rate = extended_rate_to_int32(extended_to_double(rate));
    SetEncoding(handle, samples, bits);
    return 0;  // the compression type's name and bytes beyond it are skipped
}

// Records are read only as far as they lie within the chunk, whatever the
// count says, so that a wrong count cannot turn the following chunks into
// markers. A missing pad byte after the last name is tolerated.
std::int32_t DecodeMark(WstmHandle* handle, std::int64_t chunk_size) {
    const auto size = static_cast<std::int32_t>(chunk_size);  // signed 32-bit in AIFF
    FstmStream* s = handle->stream;
    const std::int64_t body_end = std::int64_t{handle->current_position} + 8 + size;
    std::int64_t pos = std::int64_t{handle->current_position} + 8;
    const std::int32_t count = std::min<std::int32_t>(FSTM_ReadU16BE(s), kWstmMaxMarkers);
    pos += 2;
    std::int32_t stored = 0;
    for (; stored < count; ++stored) {
        if (pos + 7 > body_end) break;
        const std::int32_t id = ReadS16(s);                      // record + 0
        const std::int32_t position = ReadS32(s);                // record + 2
        const std::int32_t name_length = FSTM_ReadU8(s) & 0xFF;  // record + 6
        if (pos + 7 + name_length > body_end) break;
        // Count byte and characters take an even number of bytes.
        const std::int32_t skip = name_length + ((name_length % 2 == 0) ? 1 : 0);
        unsigned char name[256];
        if (FSTM_Read(s, name, skip) != skip) {
            return chunk_fail("E2006110841 : Can not get marker name.");
        }
        handle->marker_id[stored] = id;
        handle->marker_position[stored] = position;
        pos += 7 + skip;
    }
    handle->num_markers = stored;  // a later 'MARK' replaces an earlier one
    return 0;
}

// Loops are kept as pairs of marker identifiers until the header is
// validated; they accumulate over several 'INST' chunks, and those beyond
// the table's 256 entries are ignored.
std::int32_t DecodeInst(WstmHandle* handle, std::int64_t chunk_size) {
    const auto size = static_cast<std::int32_t>(chunk_size);  // signed 32-bit in AIFF
    FstmStream* s = handle->stream;
    unsigned char fixed[8];
    (void)FSTM_Read(s, fixed, 8);  // notes, velocities, gain
    for (std::int32_t loop = 0; loop < 2; ++loop) {
        if (8 + 6 * (loop + 1) > size) break;       // a loop outside the chunk is not read
        const std::int32_t play_mode = ReadS16(s);  // body + 8 + 6 * loop
        const std::int32_t begin = ReadS16(s);
        const std::int32_t end = ReadS16(s);
        if (play_mode == 0 || handle->num_loops >= kWstmMaxLoops) continue;
        handle->loop_begin_marker[handle->num_loops] = begin;
        handle->loop_end_marker[handle->num_loops] = end;
        ++handle->num_loops;
    }
    return 0;
}

constexpr char kSsndSizeWrong[] = "E2006110861 : The size written in 'SSND' chunk is wrong.";

// The sample data starts `offset` bytes into the chunk's data; an offset
// that points beyond the chunk or the file is refused with the size message.
// The first 'SSND' chunk holds the samples; a later one is skipped. As for
// every chunk, the size test leaves the chunk head out:
// the sample data may end up to 8 bytes past the end of the file, and those
// bytes read as zeros.
std::int32_t DecodeSsnd(WstmHandle* handle, std::int64_t chunk_size) {
    const auto size = static_cast<std::int32_t>(chunk_size);  // signed 32-bit in AIFF
    if (handle->data_offset != 0) return 0;
    const std::uint32_t offset = FSTM_ReadU32BE(handle->stream);  // body + 0; block size not read
    const std::int64_t data_offset = std::int64_t{handle->current_position} + 16 + offset;
    if (offset > static_cast<std::uint32_t>(size) - 8 || data_offset > handle->file_size) {
        return chunk_fail(kSsndSizeWrong);
    }
    handle->data_offset = data_offset;
    handle->data_size = size - 8 - static_cast<std::int32_t>(offset);
    return 0;
}

std::int32_t aiff_check_decoded_header(const WstmHandle* handle) {
    if (handle->file_identifier != kWstmForm) {
        return chunk_fail("E2006110863 : Can not find 'FORM' chunk.");
    }
    if (handle->endian_type != kWstmBigEndian)
        return chunk_fail("E2006110864 : Wrong endian type.");
    if (handle->file_format != kWstmFormatAiff) {
        return chunk_fail("E2006110865 : File format is not AIFF.");
    }
    return chunk_check_header_fields(handle, kDecodedFieldMessages);
}

std::int32_t FindMarker(const WstmHandle* handle, std::int32_t id) {
    for (std::int32_t j = 0; j < handle->num_markers; ++j) {
        if (handle->marker_id[j] == id) return j;
    }
    return -1;
}

// Turns the marker identifiers of each loop into positions; a loop with a
// missing marker is dropped. The end marker's position is exclusive.
void ResolveLoops(WstmHandle* handle) {
    const std::int32_t read = handle->num_loops;
    handle->num_loops = 0;
    for (std::int32_t i = 0; i < read; ++i) {
        const std::int32_t j = FindMarker(handle, handle->loop_begin_marker[i]);
        const std::int32_t k = FindMarker(handle, handle->loop_end_marker[i]);
        if (j < 0 || k < 0) continue;
        handle->loop_start[handle->num_loops] = handle->marker_position[j];
        handle->loop_end[handle->num_loops] = handle->marker_position[k];
        ++handle->num_loops;
    }
}

struct PipeScan {
    std::int64_t file_size;
    bool sizes_settled;
    std::uint32_t frames = 0;
    std::uint32_t block = 0;
    bool written_to_pipe = false;
};

bool VisitPipeChunk(void* context, FstmStream* s, const unsigned char id[4], std::int64_t body,
                    std::uint32_t size) {
    auto* scan = static_cast<PipeScan*>(context);
    if (std::memcmp(id, "COMM", 4) == 0 && size >= 18) {
        (void)FSTM_Seek(s, body, 0);
        const std::uint32_t channels = FSTM_ReadU16BE(s) & 0xFFFF;  // body + 0
        scan->frames = FSTM_ReadU32BE(s);                           // body + 2
        const std::uint32_t bits = FSTM_ReadU16BE(s) & 0xFFFF;      // body + 6
        scan->block = channels * ((bits + 7) / 8);
        return true;
    }
    if (std::memcmp(id, "SSND", 4) != 0) return true;
    if (size == 0) {
        scan->written_to_pipe = !scan->sizes_settled;
    } else {
        scan->written_to_pipe = aiff_pipe_sizes(scan->frames, size, scan->block) &&
                                body + std::int64_t{size} > scan->file_size;
    }
    return false;
}

}  // namespace

bool aiff_written_to_pipe(WstmHandle* handle, bool sizes_settled) {
    PipeScan scan{handle->file_size, sizes_settled};
    chunk_scan(handle, kWstmBigEndian, VisitPipeChunk, &scan);
    return scan.written_to_pipe;
}

std::int32_t aiff_decode_header(WstmHandle* handle) {
    if (chunk_walk(handle, kAiffWalk) < 0) return -1;
    // Written to a pipe: the frame count is what the sample data holds, in
    // whole frames.
    if (handle->data_to_end && handle->block_size > 0 && handle->data_offset > 0) {
        handle->num_samples = static_cast<std::uint32_t>((handle->file_size - handle->data_offset) /
                                                         handle->block_size);
    }
    if (aiff_check_decoded_header(handle) < 0) return -1;
    // Without 'SSND' the reader would take the header itself for audio.
    if (handle->data_offset == 0) return chunk_fail("E2006110881 : Can not find 'SSND' chunk.");
    // The frame count comes from 'COMM'; frames beyond the sample data would
    // read the chunks after it as audio.
    if (std::int64_t{handle->num_samples} * handle->block_size > handle->data_size) {
        return chunk_fail(kSsndSizeWrong);
    }
    ResolveLoops(handle);
    // The fixed-size frame paths are those of integer samples.
    handle->frame_layout = handle->format_tag == kWavTagPcm ? PcmFrameLayout(handle) : 0;
    handle->current_position = handle->data_offset;
    return 0;
}
