#pragma once
// The wave stream handle: an open audio file and its decoded header model.
// The identification fills it when a file is opened, the codecs decode into
// it and encode from it, and the sample hooks they install move one sample
// frame at a time as left-justified signed 32-bit values.

#include <cstdint>

#include "wavestream/fstm/fstm.h"

struct WstmHandle;
struct WstmMeta;

// Reads the next sample frame: values[c] for each channel c below
// min(count, num_channels); the stream moves past the whole frame. Gives
// block_size.
using WstmReadSampleHook = std::int32_t (*)(WstmHandle* handle, std::int32_t* values,
                                            std::int32_t count);
// Writes one sample frame from the top num_bits bits of values[c] for each
// channel c below min(count, num_channels), silence for the rest. Gives
// block_size.
using WstmWriteSampleHook = std::int32_t (*)(WstmHandle* handle, const std::int32_t* values,
                                             std::int32_t count);

// Reads `frames` frames of a float file as doubles, full scale +-2^31 and
// not clipped: frame f at values + f * stride, min(stride, num_channels)
// channels of it. Gives the frames read.
using WstmReadFloatRun = std::int32_t (*)(WstmHandle* handle, double* values, std::int32_t stride,
                                          std::int32_t frames);

inline constexpr std::int32_t kWstmMaxMarkers = 256;
inline constexpr std::int32_t kWstmMaxLoops = 256;

// Offsets and sizes are 64-bit. The largest classic file: a new WAV file of
// this size or less is a plain RIFF file, a larger one is written as RF64;
// an AIFF file, read or written, never exceeds it (its sizes are signed
// 32-bit fields).
inline constexpr std::int64_t kWstmMaxFileSize = 2147483647;  // 2^31 - 1
// Frame counts, markers and loops are signed 32-bit: a file of more frames
// is refused.
inline constexpr std::int64_t kWstmMaxFrames = 2147483647;
// The body of the 'ds64' chunk as written here: the 64-bit RIFF size, 'data'
// size and frame count, and a table of no further sizes.
inline constexpr std::uint32_t kWstmDs64BodySize = 28;

// Codes of file_identifier, endian_type and file_format.
inline constexpr std::int32_t kWstmRiff = 1;
inline constexpr std::int32_t kWstmForm = 2;
inline constexpr std::int32_t kWstmLittleEndian = 1;
inline constexpr std::int32_t kWstmBigEndian = 2;
inline constexpr std::int32_t kWstmFormatWav = 1;
inline constexpr std::int32_t kWstmFormatAiff = 2;

// The format_tag of a file of IEEE float samples, WAV or AIFF.
inline constexpr std::uint16_t kWstmFloatTag = 3;

// Access modes.
inline constexpr std::int32_t kWstmNoFile = 0;
inline constexpr std::int32_t kWstmReading = 1;
inline constexpr std::int32_t kWstmWriting = 2;

struct WstmHandle {
    FstmStream* stream;            // null once the file is closed
    std::int32_t access_mode;      // kWstmNoFile, kWstmReading or kWstmWriting
    std::int64_t file_size;        // reading: reconciled size; writing: planned size
    std::int32_t file_identifier;  // 1 RIFF, 2 FORM
    std::int32_t endian_type;      // 1 little, 2 big (reading only)
    std::int32_t file_format;      // 1 WAV, 2 AIFF
    bool aifc;                     // reading: a FORM of type AIFC (AIFF-C)
    std::uint16_t format_tag;      // reading: the sample format as a WAV format tag (1, 3,
                                   // 6 or 7), AIFF-C types included; any file:
                                   // kWstmFloatTag for IEEE float samples
    std::int32_t sampling_rate;
    std::int32_t num_channels;
    std::int32_t num_bits;
    std::uint32_t num_samples;  // sample frames
    std::int32_t block_size;    // bytes per sample frame
    std::int64_t data_offset;   // byte offset of the first sample frame
    std::int64_t data_size;     // reading: bytes of sample data the header declares
    // An RF64 (or BW64) file: its 32-bit RIFF and 'data' sizes are
    // placeholders and the real ones are in the 'ds64' chunk after the head.
    // Reading: the file's head says so; writing: the file reaches past
    // kWstmMaxFileSize and is written that way.
    bool rf64;
    std::int64_t ds64_data_size;  // reading an RF64 file: the 'data' size of 'ds64'
    // Reading a file written to a pipe: its sample data runs to the end of the
    // file, whatever the size fields say (see WstmCodec::written_to_pipe).
    bool data_to_end;
    std::int32_t num_markers;
    std::int32_t marker_id[kWstmMaxMarkers];
    std::int32_t marker_position[kWstmMaxMarkers];
    std::int32_t num_loops;
    std::int32_t loop_start[kWstmMaxLoops];
    std::int32_t loop_end[kWstmMaxLoops];           // exclusive
    std::int32_t loop_begin_marker[kWstmMaxLoops];  // AIFF decode only
    std::int32_t loop_end_marker[kWstmMaxLoops];    // AIFF decode only
    // Decoding/encoding: where the next chunk goes; afterwards: the byte offset
    // of the next sample frame.
    std::int64_t current_position;
    WstmReadSampleHook read_sample;
    WstmWriteSampleHook write_sample;
    // Reading a file of IEEE float samples: their values with the headroom
    // beyond +-1.0 kept (read_sample clips them); null for every other file.
    WstmReadFloatRun read_float;
    // Writing: byte offset one past the furthest sample frame written so far
    // (data_offset before the first). Frames between it and the declared end
    // are filled with silence when the file is finished.
    std::int64_t written_end;
    // Set by the codec that installs the sample hooks: container bytes (1..4)
    // plus 8 times the channels for mono and stereo frames that hold their
    // samples and nothing else, which the hooks move without looking at the
    // format again; 0 for every other layout, which takes the general path.
    std::int32_t frame_layout;
    // The frame index last computed by WSTM_Tell and the position it was
    // computed for (both 0 on a fresh handle).
    std::int64_t tell_position;
    std::int32_t tell_frame;
    // Writing: the metadata the file gets (-meta=keep), or null; not owned,
    // and kept alive by the caller until the file is closed.
    const WstmMeta* meta;
};
