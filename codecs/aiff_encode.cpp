// Writing an AIFF file: the 54-byte header of a new file (92 bytes for the
// AIFF-C header of float samples), the size fields at close, and the marker
// and loop chunks appended after the sample data.

#include <cstdint>

#include "codecs/aiff.h"
#include "codecs/aiff_extended.h"
#include "codecs/chunk_walk.h"
#include "codecs/meta.h"
#include "codecs/pcm.h"

namespace {

constexpr std::int32_t kInstBodySize = 20;

// AIFF-C: the format version of 'FVER', and the compression type of 32-bit
// float samples with its name as a Pascal string (count byte and 21
// characters: an even length, so no pad byte).
constexpr std::uint32_t kAifcVersion1 = 0xA2805140;
constexpr char kFloatName[] = "32-bit floating point";
constexpr std::int32_t kFloatNameBytes = 1 + sizeof kFloatName - 1;
static_assert(kFloatNameBytes % 2 == 0);
// 'COMM' of AIFF-C: the 18 bytes of AIFF, compression type and name.
constexpr std::int32_t kFloatCommSize = 18 + 4 + kFloatNameBytes;

constexpr HeaderFieldMessages kNewFieldMessages = {
    "E2006110873 : Sampling frequency is wrong.",
    "E2006110874 : This sampling frequency is not available.",
    "E2006110875 : The number of channels is wrong.",
    "E2006110876 : Quantization bits is wrong.",
    "E2006110877) : This quantization bits is not available.",
    "E2006110878 : The number of samples is wrong.",
};

void WriteId(FstmStream* stream, const char* id) { FSTM_Write(stream, id, 4); }

std::int32_t FirstMarkerAt(const WstmHandle* handle, std::int32_t markers, std::int32_t position) {
    for (std::int32_t i = 0; i < markers; ++i) {
        if (handle->marker_position[i] == position) return i;
    }
    return -1;
}

std::int32_t Clamp(std::int32_t count, std::int32_t limit) {
    return count < 0 ? 0 : (count > limit ? limit : count);
}

// Gives every loop point a marker, reusing the first marker that stands at
// the point. A loop whose missing points do not all fit into the table gets
// none; its 'INST' entry is then written with play mode 0.
void AddLoopMarkers(WstmHandle* handle) {
    std::int32_t markers = Clamp(handle->num_markers, kWstmMaxMarkers);
    const std::int32_t loops = Clamp(handle->num_loops, kWstmMaxLoops);
    for (std::int32_t i = 0; i < loops; ++i) {
        const std::int32_t start = handle->loop_start[i];
        const std::int32_t end = handle->loop_end[i];
        const bool need_start = FirstMarkerAt(handle, markers, start) < 0;
        const bool need_end = end != start && FirstMarkerAt(handle, markers, end) < 0;
        if (markers + need_start + need_end > kWstmMaxMarkers) continue;
        if (need_start) {
            handle->marker_id[markers] = markers;
            handle->marker_position[markers++] = start;
        }
        if (need_end) {
            handle->marker_id[markers] = markers;
            handle->marker_position[markers++] = end;
        }
    }
    handle->num_markers = markers;
}

// The name of marker i: the one kept with it (-meta=keep), else "M%04X".
std::string_view MarkerName(const WstmHandle* handle, std::int32_t i, char (&fallback)[5]) {
    const std::string_view kept = aiff_meta_marker_name(handle, i);
    if (!kept.empty()) return kept;
    static constexpr char kHex[] = "0123456789ABCDEF";
    fallback[0] = 'M';
    for (int k = 1; k < 5; ++k)
        fallback[k] = kHex[(i >> (4 * (4 - k))) & 15];
    return {fallback, 5};
}

// Count byte and characters padded to an even length.
std::int32_t NameBytes(std::string_view name) {
    return static_cast<std::int32_t>((name.size() + 2) & ~std::size_t{1});
}

void WriteMark(WstmHandle* handle) {
    FstmStream* s = handle->stream;
    const std::int32_t markers = handle->num_markers;
    std::int32_t body_size = 2;
    for (std::int32_t i = 0; i < markers; ++i) {
        char fallback[5];
        body_size += 6 + NameBytes(MarkerName(handle, i, fallback));
    }
    if (!chunk_begin_trailer(s, "MARK", body_size, kWstmBigEndian)) return;
    FSTM_WriteU16BE(s, static_cast<std::uint32_t>(markers));
    for (std::int32_t i = 0; i < markers; ++i) {
        // The identifier is the marker's index, whatever marker_id holds.
        char fallback[5];
        const std::string_view name = MarkerName(handle, i, fallback);
        FSTM_WriteU16BE(s, static_cast<std::uint32_t>(i));                           // record + 0
        FSTM_WriteU32BE(s, static_cast<std::uint32_t>(handle->marker_position[i]));  // record + 2
        FSTM_WriteU8(s, static_cast<std::uint32_t>(name.size()));                    // record + 6
        FSTM_Write(s, name.data(), static_cast<std::int32_t>(name.size()));          // record + 7
        if (name.size() % 2 == 0) FSTM_WriteU8(s, 0);
    }
    chunk_finish_trailer(s, kWstmBigEndian);
}

// One loop of 'INST': play mode 1 with the indexes of the first markers at
// its points, or 0, 0, 0 when there is no such loop or marker.
void WriteInstLoop(WstmHandle* handle, std::int32_t loop) {
    FstmStream* s = handle->stream;
    std::int32_t mode = 0, begin = 0, end = 0;
    if (loop < Clamp(handle->num_loops, kWstmMaxLoops)) {
        const std::int32_t b = FirstMarkerAt(handle, handle->num_markers, handle->loop_start[loop]);
        const std::int32_t e = FirstMarkerAt(handle, handle->num_markers, handle->loop_end[loop]);
        if (b >= 0 && e >= 0) {
            mode = 1;
            begin = b;
            end = e;
        }
    }
    FSTM_WriteU16BE(s, static_cast<std::uint32_t>(mode));
    FSTM_WriteU16BE(s, static_cast<std::uint32_t>(begin));
    FSTM_WriteU16BE(s, static_cast<std::uint32_t>(end));
}

void WriteInst(WstmHandle* handle) {
    FstmStream* s = handle->stream;
    if (!chunk_begin_trailer(s, "INST", kInstBodySize, kWstmBigEndian)) return;
    const unsigned char notes[6] = {60, 0, 0, 127, 0, 127};  // base note .. high velocity
    FSTM_Write(s, notes, 6);                                 // body + 0
    FSTM_WriteU16BE(s, 0);                                   // body + 6: gain
    WriteInstLoop(handle, 0);                                // body + 8: sustain loop
    WriteInstLoop(handle, 1);                                // body + 14: release loop
    chunk_finish_trailer(s, kWstmBigEndian);
}

}  // namespace

std::int32_t aiff_check_new_header(const WstmHandle* handle) {
    if (handle->file_format != kWstmFormatAiff) {
        return chunk_fail("E2006110872 : File format is not AIFF.");
    }
    return chunk_check_header_fields(handle, kNewFieldMessages);
}

std::int32_t aiff_encode_header(WstmHandle* handle) {
    if (aiff_check_new_header(handle) < 0) return -1;
    handle->file_identifier = kWstmForm;
    handle->write_sample = aiff_write_sample;
    handle->frame_layout = PcmFrameLayout(handle);
    FstmStream* s = handle->stream;

    const bool is_float = handle->format_tag == kWstmFloatTag;
    WriteId(s, "FORM");  // 0
    if (handle->file_size - 8 <= 0) return chunk_fail("E2006110879 : Wrong chunk size.");
    FSTM_WriteU32BE(s, static_cast<std::uint32_t>(handle->file_size - 8));  // 4
    WriteId(s, is_float ? "AIFC" : "AIFF");                                 // 8
    handle->current_position += 12;
    if (is_float) {
        WriteId(s, "FVER");                 // 12
        FSTM_WriteU32BE(s, 4);              // 16
        FSTM_WriteU32BE(s, kAifcVersion1);  // 20
        handle->current_position += 12;
    }

    // Offsets below for AIFF; AIFF-C's are 12 further.
    std::uint8_t rate[kExtendedBytes];
    double_to_extended(handle->sampling_rate, rate);
    WriteId(s, "COMM");                                                    // 12
    FSTM_WriteU32BE(s, is_float ? kFloatCommSize : 18);                    // 16
    FSTM_WriteU16BE(s, static_cast<std::uint32_t>(handle->num_channels));  // 20
    FSTM_WriteU32BE(s, handle->num_samples);                               // 22
    FSTM_WriteU16BE(s, static_cast<std::uint32_t>(handle->num_bits));      // 26
    FSTM_Write(s, rate, kExtendedBytes);                                   // 28
    handle->current_position += 26;
    if (is_float) {
        WriteId(s, "fl32");                                                 // 38 compression type
        FSTM_WriteU8(s, static_cast<std::uint8_t>(sizeof kFloatName - 1));  // 42 its name
        FSTM_Write(s, kFloatName, sizeof kFloatName - 1);
        handle->current_position += 4 + kFloatNameBytes;
    }
    handle->current_position += aiff_meta_write_texts(handle);

    const auto data_size = static_cast<std::int32_t>(handle->file_size - handle->data_offset);
    WriteId(s, "SSND");                                             // 38
    FSTM_WriteU32BE(s, static_cast<std::uint32_t>(data_size + 8));  // 42
    FSTM_WriteU32BE(s, 0);                                          // 46: offset
    FSTM_WriteU32BE(s, 0);                                          // 50: block size
    const std::int64_t end = std::int64_t{handle->current_position} + data_size + 16;
    if (end != handle->file_size) return chunk_fail("E2006110880 : Failed to encode 'SSND' chunk.");
    handle->current_position = handle->data_offset;
    return 0;
}

std::int32_t aiff_update_sizes(WstmHandle* handle, std::uint32_t frames) {
    FstmStream* s = handle->stream;
    const std::uint32_t data_size = frames * static_cast<std::uint32_t>(handle->block_size);
    const auto data_offset = static_cast<std::uint32_t>(handle->data_offset);
    FSTM_Seek(s, 4, 0);
    FSTM_WriteU32BE(s, data_size + data_offset - 8);                 // FORM size
    FSTM_Seek(s, handle->format_tag == kWstmFloatTag ? 34 : 22, 0);  // after 'FVER' in AIFF-C
    FSTM_WriteU32BE(s, frames);                                      // 'COMM' frame count
    FSTM_Seek(s, handle->data_offset - 12, 0);
    FSTM_WriteU32BE(s, data_size + 8);  // 'SSND' size
    FSTM_Seek(s, handle->current_position, 0);
    return 0;
}

std::int32_t aiff_write_trailer_chunks(WstmHandle* handle) {
    AddLoopMarkers(handle);
    if (handle->num_markers > 0) WriteMark(handle);
    if (handle->num_loops > 0) WriteInst(handle);
    return 0;
}
