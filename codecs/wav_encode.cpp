// Writing of WAV headers: the canonical 44-byte PCM header of a new file (58
// bytes with the 'fact' chunk of a float file), the size fields at close and
// the 'cue ' and 'smpl' chunks after the data.

#include <cstdint>

#include "codecs/chunk_walk.h"
#include "codecs/meta.h"
#include "codecs/pcm.h"
#include "codecs/wav.h"

namespace {

constexpr HeaderFieldMessages kNewFieldMessages = {
    "E2006110778 : Sampling frequency is wrong.",
    "E2006110779 : This sampling frequency is not available.",
    "E2006110780 : The number of channels is wrong.",
    "E2006110781 : Quantization bits is wrong.",
    "E2006110782) : This quantization bits is not available.",
    "E2006110783 : The number of samples is wrong.",
};

void WriteId(FstmStream* stream, const char* id) { FSTM_Write(stream, id, 4); }

// How large the file may grow with its trailer chunks: a classic file stays
// within its signed 32-bit sizes, an RF64 file has 64-bit ones.
std::int64_t LargestFile(const WstmHandle* handle) {
    return handle->rf64 ? INT64_MAX : kWstmMaxFileSize;
}

// The RIFF size, the 'data' size and the frame count of an RF64 file's
// 'ds64' chunk, which follows the 12-byte head.
void WriteDs64Sizes(FstmStream* s, std::uint64_t riff_size, std::uint64_t data_size,
                    std::uint64_t frames) {
    (void)FSTM_Seek(s, 20, 0);
    FSTM_WriteU64LE(s, riff_size);  // +20
    FSTM_WriteU64LE(s, data_size);  // +28
    FSTM_WriteU64LE(s, frames);     // +36
}

// The head of the file: "RIFF", its size and "WAVE"; for a file past the
// classic limit "RF64" with the placeholder size, "WAVE" and the 'ds64'
// chunk that holds the real sizes (its table of further sizes is empty).
// The chunks that describe the samples follow it.
void WriteHead(WstmHandle* handle) {
    FstmStream* s = handle->stream;
    const auto riff_size = static_cast<std::uint64_t>(handle->file_size - 8);
    if (!handle->rf64) {
        WriteId(s, "RIFF");                                       // +0
        FSTM_WriteU32LE(s, static_cast<std::uint32_t>(riff_size));  // +4
        WriteId(s, "WAVE");                                       // +8
        handle->current_position += 12;
        return;
    }
    WriteId(s, "RF64");               // +0
    FSTM_WriteU32LE(s, 0xFFFFFFFFu);  // +4: in 'ds64'
    WriteId(s, "WAVE");               // +8
    WriteId(s, "ds64");               // +12
    FSTM_WriteU32LE(s, kWstmDs64BodySize);
    FSTM_WriteU64LE(s, riff_size);                                                    // +20
    FSTM_WriteU64LE(s, static_cast<std::uint64_t>(handle->file_size - handle->data_offset));  // +28
    FSTM_WriteU64LE(s, handle->num_samples);                                          // +36
    FSTM_WriteU32LE(s, 0);  // +44: table length
    handle->current_position += 12 + kWavDs64ChunkSize;
}

void WriteCue(WstmHandle* handle) {
    FstmStream* s = handle->stream;
    const std::int32_t count = handle->num_markers;
    const std::int32_t body = 4 + 24 * count;
    if (!chunk_begin_trailer(s, "cue ", body, kWstmLittleEndian, LargestFile(handle))) return;
    FSTM_WriteU32LE(s, static_cast<std::uint32_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        const auto position = static_cast<std::uint32_t>(handle->marker_position[i]);
        FSTM_WriteU32LE(s, static_cast<std::uint32_t>(i));  // +0 identifier
        FSTM_WriteU32LE(s, position);                       // +4 position
        WriteId(s, "data");                                 // +8 chunk identifier
        FSTM_WriteU32LE(s, 0);                              // +12 chunk start
        FSTM_WriteU32LE(s, 0);                              // +16 block start
        FSTM_WriteU32LE(s, position);                       // +20 sample offset
    }
    chunk_finish_trailer(s, kWstmLittleEndian);
}

void WriteSmpl(WstmHandle* handle) {
    FstmStream* s = handle->stream;
    const std::int32_t count = handle->num_loops;
    const std::int32_t body = 36 + 24 * count;
    if (!chunk_begin_trailer(s, "smpl", body, kWstmLittleEndian, LargestFile(handle))) return;
    FSTM_WriteU32LE(s, 0);  // +0 manufacturer
    FSTM_WriteU32LE(s, 0);  // +4 product
    const std::int32_t rate = handle->sampling_rate;
    FSTM_WriteU32LE(s, rate > 0 ? static_cast<std::uint32_t>(1000000000 / rate) : 0);  // +8 period
    FSTM_WriteU32LE(s, 60);                                 // +12 MIDI unity note
    FSTM_WriteU32LE(s, 0);                                  // +16 pitch fraction
    FSTM_WriteU32LE(s, 0);                                  // +20 SMPTE format
    FSTM_WriteU32LE(s, 0);                                  // +24 SMPTE offset
    FSTM_WriteU32LE(s, static_cast<std::uint32_t>(count));  // +28 loops
    FSTM_WriteU32LE(s, 0);                                  // +32 sampler data
    for (std::int32_t i = 0; i < count; ++i) {
        FSTM_WriteU32LE(s, static_cast<std::uint32_t>(i));                      // +0 identifier
        FSTM_WriteU32LE(s, 0);                                                  // +4 type: forward
        FSTM_WriteU32LE(s, static_cast<std::uint32_t>(handle->loop_start[i]));  // +8 start
        FSTM_WriteU32LE(
            s, static_cast<std::uint32_t>(handle->loop_end[i]) - 1u);  // +12 end, inclusive
        FSTM_WriteU32LE(s, 0);                                         // +16 fraction
        FSTM_WriteU32LE(s, 0);                                         // +20 play count
    }
    chunk_finish_trailer(s, kWstmLittleEndian);
}

std::int32_t Clamp(std::int32_t count, std::int32_t limit) {
    return count < 0 ? 0 : (count > limit ? limit : count);
}

}  // namespace

std::int32_t wav_check_new_header(const WstmHandle* h) {
    if (h->file_format != kWstmFormatWav)
        return chunk_fail("E2006110777 : File format is not WAVE.");
    return chunk_check_header_fields(h, kNewFieldMessages);
}

std::int32_t wav_encode_header(WstmHandle* handle) {
    if (wav_check_new_header(handle) < 0) return -1;
    handle->file_identifier = kWstmRiff;
    handle->write_sample = wav_write_sample;
    handle->frame_layout = PcmFrameLayout(handle);
    FstmStream* s = handle->stream;

    if (handle->file_size - 8 <= 0) {
        WriteId(s, handle->rf64 ? "RF64" : "RIFF");
        return chunk_fail("E2006110784 : Wrong chunk size.");
    }
    WriteHead(handle);
    // Kept metadata, from 'bext' on, moves everything below by the size of
    // its chunks. Offsets below are those of a classic file without it; an
    // RF64 file's are kWavDs64ChunkSize further on.
    handle->current_position += wav_meta_write_bext(handle);

    const bool is_float = handle->format_tag == kWstmFloatTag;
    WriteId(s, "fmt ");                                                     // +12
    FSTM_WriteU32LE(s, is_float ? 18 : 16);                                 // +16
    FSTM_WriteU16LE(s, is_float ? 3 : 1);                                   // +20 float or PCM
    FSTM_WriteU16LE(s, static_cast<std::uint32_t>(handle->num_channels));   // +22
    FSTM_WriteU32LE(s, static_cast<std::uint32_t>(handle->sampling_rate));  // +24
    FSTM_WriteU32LE(s, static_cast<std::uint32_t>(handle->sampling_rate) *
                           static_cast<std::uint32_t>(handle->block_size));  // +28 byte rate
    FSTM_WriteU16LE(s, static_cast<std::uint32_t>(handle->block_size));      // +32
    FSTM_WriteU16LE(s, static_cast<std::uint32_t>(handle->num_bits));        // +34
    // A format other than PCM: the 'fmt ' extension size, then the frame
    // count in 'fact' (rewritten at close, see wav_update_sizes).
    if (is_float) FSTM_WriteU16LE(s, 0);  // +36 extension size
    handle->current_position += is_float ? 26 : 24;
    handle->current_position += wav_meta_write_texts(handle);
    if (is_float) {
        WriteId(s, "fact");                       // +38
        FSTM_WriteU32LE(s, 4);                    // +42
        FSTM_WriteU32LE(s, handle->num_samples);  // +46 frames
        handle->current_position += 12;
    }

    const std::int64_t data_size = handle->file_size - handle->data_offset;
    WriteId(s, "data");  // +36 (+50 float)
    FSTM_WriteU32LE(s, handle->rf64 ? 0xFFFFFFFFu
                                    : static_cast<std::uint32_t>(data_size));  // +40 (+54 float)
    handle->current_position += data_size + 8;
    if (handle->current_position != handle->file_size) {
        return chunk_fail("E2006110785 : Failed to encode 'data' chunk.");
    }
    handle->current_position = handle->data_offset;
    return 0;
}

std::int32_t wav_update_sizes(WstmHandle* handle, std::uint32_t frames) {
    FstmStream* s = handle->stream;
    if (handle->rf64) {
        // The 32-bit fields keep their placeholders.
        const std::uint64_t data_size = std::uint64_t{frames} * static_cast<std::uint64_t>(handle->block_size);
        WriteDs64Sizes(s, data_size + static_cast<std::uint64_t>(handle->data_offset) - 8u,
                       data_size, frames);
    } else {
        const std::uint32_t data_size = frames * static_cast<std::uint32_t>(handle->block_size);
        (void)FSTM_Seek(s, 4, 0);
        FSTM_WriteU32LE(s, data_size + static_cast<std::uint32_t>(handle->data_offset) - 8u);
        (void)FSTM_Seek(s, handle->data_offset - 4, 0);
        FSTM_WriteU32LE(s, data_size);
    }
    if (handle->format_tag == kWstmFloatTag) {
        (void)FSTM_Seek(s, handle->data_offset - 12, 0);  // the frame count of 'fact'
        FSTM_WriteU32LE(s, frames);
    }
    (void)FSTM_Seek(s, handle->current_position, 0);
    return 0;
}

std::int32_t wav_write_trailer_chunks(WstmHandle* handle) {
    handle->num_markers = Clamp(handle->num_markers, kWstmMaxMarkers);
    handle->num_loops = Clamp(handle->num_loops, kWstmMaxLoops);
    if (handle->num_markers > 0) {
        WriteCue(handle);
        wav_meta_write_labels(handle);
    }
    if (handle->num_loops > 0) WriteSmpl(handle);
    if (handle->rf64) {
        // The trailer put its size into the 32-bit field; an RF64 file keeps
        // the placeholder there and the size in 'ds64'.
        FstmStream* s = handle->stream;
        const std::int64_t end = FSTM_Seek(s, 0, 2);
        (void)FSTM_Seek(s, 4, 0);
        FSTM_WriteU32LE(s, 0xFFFFFFFFu);
        (void)FSTM_Seek(s, 20, 0);
        FSTM_WriteU64LE(s, static_cast<std::uint64_t>(end - 8));
        (void)FSTM_Seek(s, 0, 2);
    }
    return 0;
}
