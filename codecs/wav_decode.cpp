// Decoding of a WAV header: the shared chunk walk (chunk_walk.h) over the
// table of known WAV chunk identifiers, little-endian; the handlers here
// decode only their chunk's body.

#include <cstdint>
#include <cstring>
#include <iterator>

#include "codecs/chunk_walk.h"
#include "codecs/format_note.h"
#include "codecs/pcm.h"
#include "codecs/wav.h"
#include "codecs/wav_formats.h"

namespace {

std::int32_t DecodeRiff(WstmHandle* handle, std::int64_t size);
std::int32_t DecodeFmt(WstmHandle* handle, std::int64_t size);
std::int32_t DecodeCue(WstmHandle* handle, std::int64_t size);
std::int32_t DecodeSmpl(WstmHandle* handle, std::int64_t size);
std::int32_t DecodeData(WstmHandle* handle, std::int64_t size);

// wav_chunk_ids: the known identifiers in search order.
constexpr ChunkHandler kWavChunkIds[] = {
    {"RIFF", nullptr, kChunkHead, DecodeRiff, "E2006110716 : Can not get 'RIFF' string.",
     "E2006110717 : 'RIFF' string can not be confirmed.", nullptr},
    // The heads of RF64 and BW64 files, whose sizes are in 'ds64'.
    {"RF64", nullptr, kChunkHead, DecodeRiff, "E2006110716 : Can not get 'RIFF' string.",
     "E2006110717 : 'RIFF' string can not be confirmed.", nullptr},
    {"BW64", nullptr, kChunkHead, DecodeRiff, "E2006110716 : Can not get 'RIFF' string.",
     "E2006110717 : 'RIFF' string can not be confirmed.", nullptr},
    // Read by the identification; skipped here.
    {"ds64", nullptr, 24, nullptr, "E2006110715 : Can not get chunk name.",
     "E2006110715 : Can not get chunk name.",
     "E2006110604 : Can not find the 'ds64' chunk of an RF64 file."},
    {"PAD ", "pad ", 0, nullptr, "E2006110721 : Can not get 'pad ' string.",
     "E2006110722 : 'pad ' string can not be confirmed.",
     "E2006110723 : The size written in 'pad ' chunk is wrong."},
    {"fmt ", nullptr, 16, DecodeFmt, "E2006110724 : Can not get 'fmt ' string.",
     "E2006110725 : 'fmt ' string can not be confirmed.",
     "E2006110726 : The size written in 'fmt ' chunk is wrong."},
    {"fact", nullptr, 4, nullptr, "E2006110729 : Can not get 'fact' string.",
     "E2006110730 : 'fact' string can not be confirmed.",
     "E2006110731 : The size written in 'fact' chunk is wrong."},
    {"cue ", nullptr, 4, DecodeCue, "E2006110732 : Can not get 'cue ' string.",
     "E2006110733 : 'cue ' string can not be confirmed.",
     "E2006110734 : The size written in 'cue ' chunk is wrong."},
    {"plst", nullptr, 4, nullptr, "E2006110736 : Can not get 'plst' string.",
     "E2006110737 : 'plst' string can not be confirmed.",
     "E2006110738 : The size written in 'plst' chunk is wrong."},
    {"adtl", nullptr, 0, nullptr, "E2006110739 : Can not get 'adtl' string.",
     "E2006110740 : 'adtl' string can not be confirmed.",
     "E2006110741 : The size written in 'adtl' chunk is wrong."},
    {"smpl", nullptr, 36, DecodeSmpl, "E2006110742 : Can not get 'smpl' string.",
     "E2006110743 : 'smpl' string can not be confirmed.",
     "E2006110744 : The size written in 'smpl' chunk is wrong."},
    {"tlst", nullptr, 4, nullptr, "E2006110745 : Can not get 'tlst' string.",
     "E2006110746 : 'tlst' string can not be confirmed.",
     "E2006110747 : The size written in 'tlst' chunk is wrong."},
    {"inst", nullptr, 7, nullptr, "E2006110748 : Can not get 'inst' string.",
     "E2006110749 : 'inst' string can not be confirmed.",
     "E2006110750 : The size written in 'inst' chunk is wrong."},
    {"labl", nullptr, 4, nullptr, "E2006110751 : Can not get 'labl' string.",
     "E2006110752 : 'labl' string can not be confirmed.",
     "E2006110753 : The size written in 'labl' chunk is wrong."},
    {"note", nullptr, 4, nullptr, "E2006110754 : Can not get 'note' string.",
     "E2006110755 : 'note' string can not be confirmed.",
     "E2006110756 : The size written in 'note' chunk is wrong."},
    {"ltxt", nullptr, 20, nullptr, "E2006110757 : Can not get 'ltxt' string.",
     "E2006110758 : 'ltxt' string can not be confirmed.",
     "E2006110759 : The size written in 'ltxt' chunk is wrong."},
    {"file", nullptr, 8, nullptr, "E2006110760 : Can not get 'file' string.",
     "E2006110761 : 'file' string can not be confirmed.",
     "E2006110762 : The size written in 'file' chunk is wrong."},
    {"data", nullptr, 0, DecodeData, "E2006110763 : Can not get 'data' string.",
     "E2006110764 : 'data' string can not be confirmed.",
     "E2006110765 : The size written in 'data' chunk is wrong."},
};

constexpr ChunkWalk kWavWalk = {kWstmLittleEndian,
                                kWavChunkIds,
                                static_cast<std::int32_t>(std::size(kWavChunkIds)),
                                "E2006110715 : Can not get chunk name.",
                                "E2006110767 : The size written in chunk is wrong.",
                                "data"};

constexpr HeaderFieldMessages kDecodedFieldMessages = {
    "E2006110771 : Sampling frequency is wrong.",
    "E2006110772 : This sampling frequency is not available.",
    "E2006110773 : The number of channels is wrong.",
    "E2006110774 : Quantization bits is wrong.",
    "E2006110775) : This quantization bits is not available.",
    "E2006110776 : The number of samples is wrong.",
};

bool ReadId(FstmStream* stream, unsigned char* id) { return FSTM_Read(stream, id, 4) == 4; }

std::int32_t ReadS32(FstmStream* stream) {
    return static_cast<std::int32_t>(FSTM_ReadU32LE(stream));
}

std::int32_t DecodeRiff(WstmHandle* handle, std::int64_t /*size*/) {
    unsigned char form[4];
    if (!ReadId(handle->stream, form))
        return chunk_fail("E2006110719 : Can not get 'WAVE' string.");
    if (std::memcmp(form, "WAVE", 4) != 0) {
        return chunk_fail("E2006110720 : 'WAVE' string can not be confirmed.");
    }
    handle->current_position += 12;
    handle->file_format = kWstmFormatWav;
    return 0;
}

// The format tag is resolved before any field is tested: a format that is
// not read is refused as such, whatever else the chunk holds.
std::int32_t DecodeFmt(WstmHandle* handle, std::int64_t size) {
    FstmStream* s = handle->stream;
    const std::uint32_t format_tag = FSTM_ReadU16LE(s) & 0xFFFF;   // +8
    const std::uint32_t channels = FSTM_ReadU16LE(s) & 0xFFFF;     // +10
    const std::uint32_t rate = FSTM_ReadU32LE(s);                  // +12
    const std::uint32_t byte_rate = FSTM_ReadU32LE(s);             // +16
    const std::uint32_t block_align = FSTM_ReadU16LE(s) & 0xFFFF;  // +20
    const std::uint32_t bits = FSTM_ReadU16LE(s) & 0xFFFF;         // +22
    unsigned char guid[16];
    const unsigned char* sub_format = nullptr;
    if (format_tag == kWavTagExtensible && size >= kWavExtensibleFmtSize) {
        (void)FSTM_ReadU32LE(s);                              // +24 extension size, valid bits
        (void)FSTM_ReadU32LE(s);                              // +28 channel mask
        if (FSTM_Read(s, guid, 16) == 16) sub_format = guid;  // +32 sub-format
    }
    WavSampleFormat format;
    if (!wav_resolve_format(format_tag, bits, sub_format, &format)) {
        codec_note_wav_format(
            sub_format != nullptr ? (sub_format[0] | (sub_format[1] << 8u)) : format_tag, bits);
        return chunk_fail("E2006110786 : This sample format is not supported.");
    }
    if (byte_rate != rate * block_align) return chunk_fail("E2006110727 : Wrong byte rate.");
    // One container per channel: for integer PCM (bits + 7) / 8 bytes, the
    // relation the sample hooks and every writer of this program use; for
    // whole bytes it is the usual channels * bits / 8.
    if (block_align != static_cast<std::uint32_t>(format.container_bytes) * channels) {
        return chunk_fail(
            "E2006110728 : The relations among the block size, the quantization bit and the number "
            "of channels are not correct.");
    }
    handle->num_channels = static_cast<std::int32_t>(channels);
    handle->block_size = static_cast<std::int32_t>(block_align);
    handle->sampling_rate = static_cast<std::int32_t>(rate);
    handle->num_bits = format.reported_bits;
    handle->format_tag = static_cast<std::uint16_t>(format.tag);
    return 0;
}

// Clamps a record count read from a chunk: negative counts as 0, at most
// `limit` table entries and no more records than the chunk's body holds.
std::int32_t ClampCount(std::int32_t count, std::int64_t size, std::int32_t head,
                        std::int32_t limit) {
    if (count < 0) return 0;
    if (count > limit) count = limit;
    const std::int64_t room = (size - head) / 24;
    return count < room ? count : static_cast<std::int32_t>(room);
}

std::int32_t DecodeCue(WstmHandle* handle, std::int64_t size) {
    FstmStream* s = handle->stream;
    const std::int32_t count = ClampCount(ReadS32(s), size, 4, kWstmMaxMarkers);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t id = ReadS32(s);        // +0
        const std::int32_t position = ReadS32(s);  // +4
        unsigned char chunk_id[4];                 // +8, value ignored
        if (!ReadId(s, chunk_id)) {
            return chunk_fail("E2006110735 : Can not get the chunk name of a marker.");
        }
        (void)FSTM_ReadU32LE(s);                        // +12 chunk start
        (void)FSTM_ReadU32LE(s);                        // +16 block start
        const std::int32_t sample_offset = ReadS32(s);  // +20
        handle->marker_id[i] = id;
        handle->marker_position[i] = sample_offset != position ? sample_offset : position;
    }
    handle->num_markers = count;
    return 0;
}

std::int32_t DecodeSmpl(WstmHandle* handle, std::int64_t size) {
    FstmStream* s = handle->stream;
    for (int i = 0; i < 7; ++i)
        (void)FSTM_ReadU32LE(s);  // +0..+27: manufacturer .. SMPTE offset
    const std::int32_t count = ClampCount(ReadS32(s), size, 36, kWstmMaxLoops);  // +28
    (void)FSTM_ReadU32LE(s);                                                     // +32 sampler data
    for (std::int32_t i = 0; i < count; ++i) {
        (void)FSTM_ReadU32LE(s);                        // +0 identifier
        (void)FSTM_ReadU32LE(s);                        // +4 type: every loop is a plain loop
        const std::uint32_t start = FSTM_ReadU32LE(s);  // +8
        const std::uint32_t end = FSTM_ReadU32LE(s);    // +12, inclusive
        (void)FSTM_ReadU32LE(s);                        // +16 fraction
        (void)FSTM_ReadU32LE(s);                        // +20 play count
        handle->loop_start[i] = static_cast<std::int32_t>(start);
        handle->loop_end[i] = static_cast<std::int32_t>(end + 1u);
    }
    handle->num_loops = count;
    return 0;
}

// The first 'data' chunk holds the samples; a later one is skipped. The
// frame's size test leaves the chunk head out, so the sample data may end up
// to 8 bytes past the end of the file; those bytes read as zeros.
std::int32_t DecodeData(WstmHandle* handle, std::int64_t size) {
    if (handle->data_offset != 0) return 0;
    if (handle->block_size == 0) return chunk_fail("E2006110766 : Unknown block size.");
    // Frame counts are signed 32-bit throughout: a longer file is refused
    // rather than cut short.
    const std::int64_t frames = size / handle->block_size;
    if (frames > kWstmMaxFrames)
        return chunk_fail("E2006110602 : The file holds more than 2147483647 sample frames.");
    handle->data_offset = handle->current_position + 8;
    handle->data_size = size;
    handle->num_samples = static_cast<std::uint32_t>(frames);
    return 0;
}

// wav_check_decoded_header: first failure wins.
std::int32_t CheckDecodedHeader(const WstmHandle* h) {
    if (h->file_identifier != kWstmRiff) {
        return chunk_fail("E2006110768 : Can not find 'RIFF' chunk.");
    }
    if (h->endian_type != kWstmLittleEndian) return chunk_fail("E2006110769 : Wrong endian type.");
    if (h->file_format != kWstmFormatWav)
        return chunk_fail("E2006110770 : File format is not WAVE.");
    return chunk_check_header_fields(h, kDecodedFieldMessages);
}

// What the scan of a file written to a pipe has seen: the block size of
// 'fmt ', and whether 'data' holds a size such a writer leaves.
struct PipeScan {
    std::int64_t file_size;
    bool sizes_settled;
    std::uint32_t block_align = 0;
    bool written_to_pipe = false;
};

bool VisitPipeChunk(void* context, FstmStream* s, const unsigned char id[4], std::int64_t body,
                    std::uint32_t size) {
    auto* scan = static_cast<PipeScan*>(context);
    if (std::memcmp(id, "fmt ", 4) == 0 && size >= 16) {
        (void)FSTM_Seek(s, body + 12, 0);
        scan->block_align = FSTM_ReadU16LE(s) & 0xFFFF;  // body + 12
        return true;
    }
    if (std::memcmp(id, "data", 4) != 0) return true;
    if (size == 0) {
        scan->written_to_pipe = !scan->sizes_settled;
    } else {
        scan->written_to_pipe = wav_pipe_data_size(size, scan->block_align) &&
                                body + std::int64_t{size} > scan->file_size;
    }
    return false;
}

}  // namespace

bool wav_written_to_pipe(WstmHandle* handle, bool sizes_settled) {
    PipeScan scan{handle->file_size, sizes_settled};
    chunk_scan(handle, kWstmLittleEndian, VisitPipeChunk, &scan);
    return scan.written_to_pipe;
}

std::int32_t wav_decode_header(WstmHandle* handle) {
    if (chunk_walk(handle, kWavWalk) < 0) return -1;
    if (CheckDecodedHeader(handle) < 0) return -1;
    // Without 'data' there is nothing to convert: such a file is refused
    // rather than read as an empty one.
    if (handle->data_offset == 0) return chunk_fail("E2006110787 : Can not find 'data' chunk.");
    handle->read_sample = wav_reader_for(handle);
    handle->read_float = wav_float_reader_for(handle);
    // The fixed-size frame paths are those of integer PCM.
    handle->frame_layout = handle->format_tag == kWavTagPcm ? PcmFrameLayout(handle) : 0;
    handle->current_position = handle->data_offset;
    return 0;
}
