#include "wavestream/wstm/wstm.h"

#include <cstddef>
#include <cstdlib>

#include "codecs/format_note.h"
#include "codecs/meta.h"
#include "codecs/pcm.h"
#include "runtime/nuverr.h"
#include "wavestream/wstm/wstm_format.h"

namespace {

WstmHandle* Allocate(const char* create_message) {
    auto* handle = static_cast<WstmHandle*>(std::calloc(1, sizeof(WstmHandle)));
    if (handle == nullptr) {
        NUVERR_Report("E2006110101 : Can not allocate memory.");
        NUVERR_Report(create_message);
    }
    return handle;
}

// Closes the handle's stream, if any, and frees the handle. Gives what the
// stream's close gives (0 when there was none).
std::int32_t Discard(WstmHandle* handle) {
    std::int32_t status = 0;
    if (handle->stream != nullptr) status = FSTM_Close(handle->stream);
    handle->stream = nullptr;
    handle->access_mode = kWstmNoFile;
    handle->file_size = 0;
    std::free(handle);
    return status;
}

// Reports the messages, frees the handle and gives null: an open or a
// create refused.
WstmHandle* Refuse(WstmHandle* handle, const char* message, const char* then = nullptr) {
    NUVERR_Report(message);
    if (then != nullptr) NUVERR_Report(then);
    Discard(handle);
    return nullptr;
}

// The handle of an open or a create, its stream at the cursor and the
// frame count at the start of the data.
WstmHandle* Ready(WstmHandle* handle) {
    (void)FSTM_Seek(handle->stream, handle->current_position, 0);
    handle->tell_position = handle->data_offset;
    handle->tell_frame = 0;
    return handle;
}

// Reports `message` when `failed`, and gives `failed`: a check that refuses
// the call reads `if (Fails(condition, message)) return -1;`.
bool Fails(bool failed, const char* message) {
    if (failed) NUVERR_Report(message);
    return failed;
}

// An id outside 0 .. count - 1, reported.
bool BadId(std::int32_t id, std::int32_t count, const char* message) {
    return Fails(id < 0 || id >= count, message);
}

// The count within 0 .. most; one outside is reported and brought to the
// nearer end.
std::int32_t CountWithin(std::int32_t count, std::int32_t most, const char* message) {
    if (count >= 0 && count <= most) return count;
    NUVERR_Report(message);
    return count < 0 ? 0 : most;
}

// The hook that moves samples through a handle, when the handle and the
// values are given and the file is open that way; null, reported, if not.
WstmReadSampleHook ReadHookOf(WstmHandle* handle, const std::int32_t* values) {
    if (Fails(handle == nullptr || values == nullptr, "E2006110135 : NULL pointer is passed."))
        return nullptr;
    if (Fails(handle->read_sample == nullptr,
              "E2006110806 : The file is not open for reading samples.")) {
        return nullptr;
    }
    return handle->read_sample;
}

WstmWriteSampleHook WriteHookOf(WstmHandle* handle, const std::int32_t* values) {
    if (Fails(handle == nullptr || values == nullptr, "E2006110137 : NULL pointer is passed."))
        return nullptr;
    if (Fails(handle->write_sample == nullptr,
              "E2006110807 : The file is not open for writing samples.")) {
        return nullptr;
    }
    return handle->write_sample;
}

std::int64_t DataEnd(const WstmHandle* h) {
    return h->data_offset + static_cast<std::int64_t>(h->num_samples) * h->block_size;
}

// Index of the frame at the cursor. Sequential transfers move one frame at
// a time: the remembered index steps instead of a division.
inline std::int32_t FrameIndex(WstmHandle* handle) {
    const std::int64_t position = handle->current_position;
    if (position == handle->tell_position) [[unlikely]]
        return handle->tell_frame;
    const std::int32_t block = handle->block_size;
    if (block <= 0) [[unlikely]]
        return 0;
    if (handle->tell_position + block == position) [[likely]] {
        ++handle->tell_frame;
    } else {
        handle->tell_frame = static_cast<std::int32_t>((position - handle->data_offset) / block);
    }
    handle->tell_position = position;
    return handle->tell_frame;
}

}  // namespace

WstmHandle* WSTM_Open(const char* path) {
    if (path == nullptr) {
        NUVERR_Report("E2006110124 : NULL pointer is passed.");
        return nullptr;
    }
    WstmHandle* handle = Allocate("E2006110125 : Can not create WSTM handle.");
    if (handle == nullptr) return nullptr;
    FstmStream* stream = FSTM_OpenRead(path);
    if (stream == nullptr) {
        return Refuse(handle, "E2006110802 : Can not open file.",
                      "E2006110126 : Can not open file.");
    }
    const std::int64_t size = FSTM_GetSize(stream);
    if (size < 0) {
        (void)FSTM_Close(stream);
        return Refuse(handle, "E2006110802 : Can not open file.",
                      "E2006110126 : Can not open file.");
    }
    if (size <= 12) {
        (void)FSTM_Close(stream);
        return Refuse(handle, "E2006110803 : File size is too small.",
                      "E2006110126 : Can not open file.");
    }
    handle->stream = stream;
    handle->file_size = size;
    handle->access_mode = kWstmReading;
    if (wstm_decode_header(handle) < 0)
        return Refuse(handle, "E2006110127 : Can not decode file header.");
    return Ready(handle);
}

WstmHandle* WSTM_Create(const char* path, std::int32_t sampling_rate, std::int32_t num_channels,
                        std::int32_t num_bits, std::uint32_t num_samples) {
    if (path == nullptr) {
        NUVERR_Report("E2006110112 : NULL pointer is passed.");
        return nullptr;
    }
    return WSTM_CreateAs(path, sampling_rate, num_channels, num_bits, num_samples,
                         wstm_format_from_path(path));
}

std::int32_t WSTM_FormatOfName(const char* path) {
    return path != nullptr ? wstm_format_from_path(path) : 1;
}

namespace {

// WSTM_CreateAs for samples of the given format_tag (0 for integer PCM).
WstmHandle* CreateWith(const char* path, std::int32_t sampling_rate, std::int32_t num_channels,
                       std::int32_t num_bits, std::uint32_t num_samples, std::int32_t file_format,
                       std::uint16_t format_tag, const WstmMeta* meta = nullptr) {
    if (path == nullptr) {
        NUVERR_Report("E2006110116 : NULL pointer is passed.");
        return nullptr;
    }
    WstmHandle* handle = Allocate("E2006110117 : Can not create WSTM handle.");
    if (handle == nullptr) return nullptr;
    handle->format_tag = format_tag;
    handle->sampling_rate = sampling_rate;
    handle->num_channels = num_channels;
    handle->num_bits = num_bits;
    handle->num_samples = num_samples;
    handle->file_format = file_format;
    handle->meta = meta;
    // Everything that can be refused without the file is refused before the
    // file is created, so a refused output never creates or truncates a file.
    if (wstm_plan_new_file(handle) < 0)
        return Refuse(handle, "E2006110119 : Can not create file header.");
    FstmStream* stream = FSTM_Create(path);
    if (stream == nullptr) {
        return Refuse(handle, "E2006110805 : Can not create file.",
                      "E2006110118 : Can not create file.");
    }
    handle->stream = stream;
    handle->access_mode = kWstmWriting;
    if (wstm_encode_header(handle) < 0)
        return Refuse(handle, "E2006110119 : Can not create file header.");
    return Ready(handle);
}

}  // namespace

WstmHandle* WSTM_CreateAs(const char* path, std::int32_t sampling_rate, std::int32_t num_channels,
                          std::int32_t num_bits, std::uint32_t num_samples,
                          std::int32_t file_format) {
    return CreateWith(path, sampling_rate, num_channels, num_bits, num_samples, file_format, 0);
}

WstmHandle* WSTM_CreateFloat(const char* path, std::int32_t sampling_rate,
                             std::int32_t num_channels, std::uint32_t num_samples,
                             std::int32_t file_format) {
    return CreateWith(path, sampling_rate, num_channels, 32, num_samples, file_format,
                      kWstmFloatTag);
}

WstmHandle* WSTM_CreateWithMeta(const char* path, std::int32_t sampling_rate,
                                std::int32_t num_channels, std::int32_t num_bits,
                                std::uint32_t num_samples, std::int32_t file_format, bool is_float,
                                const WstmMeta* meta) {
    return CreateWith(path, sampling_rate, num_channels, is_float ? 32 : num_bits, num_samples,
                      file_format, is_float ? kWstmFloatTag : 0, meta);
}

std::int32_t WSTM_ReadMeta(WstmHandle* handle, WstmMeta* meta) {
    if (Fails(handle == nullptr || meta == nullptr, "E2006110157 : NULL pointer is passed."))
        return -1;
    if (handle->access_mode != kWstmReading || handle->stream == nullptr) return -1;
    meta_read(handle, meta);
    return 0;
}

void WSTM_MetaForOutput(WstmHandle* input, const WstmMeta& in, const WstmMetaTarget& target,
                        WstmMeta* out) {
    if (input == nullptr || out == nullptr) return;
    meta_for_output(in, input, target, out);
}

std::int32_t WSTM_Close(WstmHandle* handle) {
    if (Fails(handle == nullptr, "E2006110132 : NULL pointer is passed.")) return -1;
    wstm_finish_file(handle);
    return Discard(handle) < 0 ? -1 : 0;
}

std::int32_t WSTM_GetTransferError(WstmHandle* handle) {
    if (handle == nullptr || handle->stream == nullptr) return -1;
    return FSTM_GetError(handle->stream);
}

std::int32_t WSTM_GetSamplingRate(WstmHandle* handle) {
    if (Fails(handle == nullptr, "E2006110138 : NULL pointer is passed.")) return -1;
    return handle->sampling_rate;
}

std::int32_t WSTM_GetNumChannels(WstmHandle* handle) {
    if (Fails(handle == nullptr, "E2006110139 : NULL pointer is passed.")) return -1;
    return handle->num_channels;
}

std::int32_t WSTM_GetNumBits(WstmHandle* handle) {
    if (Fails(handle == nullptr, "E2006110140 : NULL pointer is passed.")) return -1;
    return handle->num_bits;
}

std::uint32_t WSTM_GetNumSamples(WstmHandle* handle) {
    if (handle == nullptr) {
        NUVERR_Report("E2006110141 : NULL pointer is passed.");
        return 0xFFFFFFFFu;
    }
    return handle->num_samples;
}

std::int32_t WSTM_GetNumMarkers(WstmHandle* handle) {
    if (Fails(handle == nullptr, "E2006110145 : NULL pointer is passed.")) return -1;
    return handle->num_markers;
}

std::int32_t WSTM_GetMarker(WstmHandle* handle, std::int32_t marker_id, std::int32_t* position) {
    if (Fails(handle == nullptr || position == nullptr, "E2006110146 : NULL pointer is passed."))
        return -1;
    if (BadId(marker_id, handle->num_markers, "E2006110808 : Specified marker ID is out of range."))
        return -1;
    *position = handle->marker_position[marker_id];
    return 0;
}

std::int32_t WSTM_SetNumMarkers(WstmHandle* handle, std::int32_t count) {
    if (Fails(handle == nullptr, "E2006110147 : NULL pointer is passed.")) return -1;
    count =
        CountWithin(count, kWstmMaxMarkers, "E2006110812 : The number of markers is out of range.");
    handle->num_markers = count;
    for (std::int32_t i = 0; i < count; ++i)
        handle->marker_id[i] = i;
    return 0;
}

std::int32_t WSTM_SetMarker(WstmHandle* handle, std::int32_t marker_id, std::int32_t position) {
    if (Fails(handle == nullptr, "E2006110148 : NULL pointer is passed.")) return -1;
    if (BadId(marker_id, handle->num_markers, "E2006110809 : Specified marker ID is out of range."))
        return -1;
    handle->marker_position[marker_id] = position;
    return 0;
}

std::int32_t WSTM_GetNumLoops(WstmHandle* handle) {
    if (Fails(handle == nullptr, "E2006110149 : NULL pointer is passed.")) return -1;
    return handle->num_loops;
}

std::int32_t WSTM_GetLoop(WstmHandle* handle, std::int32_t loop_id, std::int32_t* start,
                          std::int32_t* end) {
    if (Fails(handle == nullptr || start == nullptr || end == nullptr,
              "E2006110150 : NULL pointer is passed.")) {
        return -1;
    }
    if (BadId(loop_id, handle->num_loops, "E2006110810 : Specified loop ID is out of range."))
        return -1;
    *start = handle->loop_start[loop_id];
    *end = handle->loop_end[loop_id];
    return 0;
}

std::int32_t WSTM_SetNumLoops(WstmHandle* handle, std::int32_t count) {
    if (Fails(handle == nullptr, "E2006110151 : NULL pointer is passed.")) return -1;
    count = CountWithin(count, kWstmMaxLoops, "E2006110813 : The number of loops is out of range.");
    handle->num_loops = count;
    return 0;
}

std::int32_t WSTM_SetLoop(WstmHandle* handle, std::int32_t loop_id, std::int32_t start,
                          std::int32_t end) {
    if (Fails(handle == nullptr, "E2006110152 : NULL pointer is passed.")) return -1;
    if (BadId(loop_id, handle->num_loops, "E2006110811 : Specified loop ID is out of range."))
        return -1;
    handle->loop_start[loop_id] = start;
    handle->loop_end[loop_id] = end;
    return 0;
}

std::int32_t WSTM_Seek(WstmHandle* handle, std::int32_t offset, std::int32_t origin) {
    if (Fails(handle == nullptr, "E2006110153 : NULL pointer is passed.")) return -1;
    std::int64_t base;
    switch (origin) {
        case 0: base = handle->data_offset; break;
        case 1: base = handle->current_position; break;
        case 2: base = DataEnd(handle); break;
        default: return -1;
    }
    const std::int64_t target = base + static_cast<std::int64_t>(offset) * handle->block_size;
    if (target < 0) return -1;
    const std::int64_t position = FSTM_Seek(handle->stream, target, 0);
    if (position < 0) return -1;
    handle->current_position = position;
    return 0;
}

std::int32_t WSTM_Tell(WstmHandle* handle) {
    if (Fails(handle == nullptr, "E2006110154 : NULL pointer is passed.")) return -1;
    return FrameIndex(handle);
}

std::int32_t WSTM_ReadSample(WstmHandle* handle, std::int32_t* values, std::int32_t count) {
    const WstmReadSampleHook hook = ReadHookOf(handle, values);
    if (hook == nullptr) [[unlikely]]
        return -1;
    return hook(handle, values, count);
}

std::int32_t WSTM_WriteSample(WstmHandle* handle, const std::int32_t* values, std::int32_t count) {
    const WstmWriteSampleHook hook = WriteHookOf(handle, values);
    if (hook == nullptr) [[unlikely]]
        return -1;
    // Only frames inside the declared sample data are written: anything else
    // would land where the marker and loop chunks go, or in the header.
    const std::int64_t at = handle->current_position;
    if (at >= handle->data_offset && at + handle->block_size <= DataEnd(handle)) [[likely]] {
        hook(handle, values, count);
        if (handle->current_position > handle->written_end) {
            handle->written_end = handle->current_position;
        }
    }
    return FrameIndex(handle);
}

namespace {

PcmReadRun ReadRunFor(WstmReadSampleHook hook) {
    if (PcmReadRun run = wav_read_run_for(hook)) return run;
    return aiff_read_run_for(hook);
}

PcmWriteRun WriteRunFor(WstmWriteSampleHook hook) {
    if (PcmWriteRun run = wav_write_run_for(hook)) return run;
    return aiff_write_run_for(hook);
}

}  // namespace

std::int32_t WSTM_ReadFrames(WstmHandle* handle, std::int32_t* values, std::int32_t count,
                             std::int32_t frames) {
    const WstmReadSampleHook hook = ReadHookOf(handle, values);
    if (hook == nullptr) [[unlikely]]
        return -1;
    if (frames <= 0) return 0;
    if (count > 0) {
        if (const PcmReadRun run = ReadRunFor(hook)) return run(handle, values, count, frames);
    }
    for (std::int32_t f = 0; f < frames; ++f)
        hook(handle, values + static_cast<std::ptrdiff_t>(f) * count, count);
    return frames;
}

std::int32_t WSTM_WriteFrames(WstmHandle* handle, const std::int32_t* values, std::int32_t count,
                              std::int32_t frames) {
    const WstmWriteSampleHook hook = WriteHookOf(handle, values);
    if (hook == nullptr) [[unlikely]]
        return -1;
    const std::int32_t block = handle->block_size;
    if (block <= 0 || count <= 0) [[unlikely]] {
        // No frame grid to count in: frame by frame, each with its own check.
        for (std::int32_t f = 0; f < frames; ++f) {
            (void)WSTM_WriteSample(handle, values + static_cast<std::ptrdiff_t>(f) * count, count);
        }
        return FrameIndex(handle);
    }
    // The frames that fit inside the declared sample data, as WSTM_WriteSample
    // would write them one by one; the rest are dropped.
    const std::int64_t at = handle->current_position;
    std::int64_t room = at >= handle->data_offset ? (DataEnd(handle) - at) / block : 0;
    if (room > frames) room = frames;
    if (room > 0) {
        const auto n = static_cast<std::int32_t>(room);
        if (const PcmWriteRun run = WriteRunFor(hook)) {
            run(handle, values, count, n);
        } else {
            for (std::int32_t f = 0; f < n; ++f)
                hook(handle, values + static_cast<std::ptrdiff_t>(f) * count, count);
        }
        if (handle->current_position > handle->written_end)
            handle->written_end = handle->current_position;
    }
    return FrameIndex(handle);
}

const char* WSTM_RefusedFormat() { return codec_refused_format(); }

void WSTM_ClearRefusedFormat() { codec_clear_refused_format(); }

std::int32_t WSTM_IsFloat(WstmHandle* handle) {
    if (Fails(handle == nullptr, "E2006110155 : NULL pointer is passed.")) return -1;
    return handle->format_tag == kWstmFloatTag ? 1 : 0;
}

std::int32_t WSTM_ReadFloatFrames(WstmHandle* handle, double* values, std::int32_t count,
                                  std::int32_t frames) {
    if (Fails(handle == nullptr || values == nullptr, "E2006110156 : NULL pointer is passed."))
        return -1;
    if (Fails(handle->read_float == nullptr,
              "E2006110814 : The file is not open for reading float samples.")) {
        return -1;
    }
    if (frames <= 0 || count <= 0) return 0;
    return handle->read_float(handle, values, count, frames);
}
