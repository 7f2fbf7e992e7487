#pragma once
// WAV header codec: RIFF/WAVE files, every integer little-endian.
//
// Decodes the header of an existing file into a WstmHandle (integer PCM,
// IEEE float, mu-law and A-law samples, see wav_formats.h; unknown chunks
// skipped), writes the canonical 44-byte PCM header of a new file,
// rewrites the sizes and appends the 'cue ' and 'smpl' chunks at close, and
// supplies the sample hooks for 1 to 32 bits. Every failure is reported
// through NUVERR_Report and gives -1.

#include <cstdint>

#include "wavestream/fstm/wstm_handle.h"

// Byte offset of the first sample frame in a file written here: integer
// PCM, and IEEE float (a 'fmt ' of 18 bytes and a 'fact' chunk before 'data').
inline constexpr std::int32_t kWavHeaderSize = 44;
inline constexpr std::int32_t kWavFloatHeaderSize = 58;
// A file past the classic limit is RF64: its 'ds64' chunk (8 bytes of head
// and the body) follows the 12-byte head and moves the rest on by this much.
inline constexpr std::int32_t kWavDs64ChunkSize = 8 + static_cast<std::int32_t>(kWstmDs64BodySize);

// Walks the chunks from current_position 0 (after the identification found
// "RIFF"), validates the header, installs wav_read_sample and leaves
// current_position at data_offset.
[[nodiscard]] std::int32_t wav_decode_header(WstmHandle* handle);

// The parameter checks of a new file, first failure reported. Makes no file
// access, so it can run before the file is created.
[[nodiscard]] std::int32_t wav_check_new_header(const WstmHandle* handle);

// Writes the 44-byte header at offset 0 for num_samples frames (an RF64 file,
// handle->rf64, has the 36 bytes of 'ds64' after its head) (the 58-byte
// one of format tag 3 when format_tag is kWstmFloatTag: the samples are then
// the bits of 32-bit floats), installs wav_write_sample and leaves
// current_position at data_offset.
[[nodiscard]] std::int32_t wav_encode_header(WstmHandle* handle);

// Rewrites the RIFF and 'data' sizes (and the frame count of 'fact') for
// `frames` frames and seeks back to current_position. Gives 0.
std::int32_t wav_update_sizes(WstmHandle* handle, std::uint32_t frames);

// Appends 'cue ' (when there are markers) and 'smpl' (when there are loops)
// at the end of the file, after one zero pad byte when the file length is
// odd, and rewrites the RIFF size (in 'ds64' for an RF64 file). A chunk that
// would carry a classic file past 2^31 - 1 bytes is left out. Gives 0.
std::int32_t wav_write_trailer_chunks(WstmHandle* handle);

// The sample hooks (see WstmReadSampleHook / WstmWriteSampleHook). 1 to 8
// bits are unsigned (0x80 is silence), wider samples signed.
// The data sizes other than 0 that writers leave in 'data' when they cannot
// seek back: 0xFFFFFFFF (ffmpeg), and the largest whole number of blocks in
// 0x7FFFF000 bytes (sox).
inline constexpr std::uint32_t kWavPipeDataBytes = 0x7FFFF000;
constexpr bool wav_pipe_data_size(std::uint32_t size, std::uint32_t block_align) {
    return size == 0xFFFFFFFFu ||
           (block_align > 0 && size == kWavPipeDataBytes / block_align * block_align);
}

// See WstmCodec::written_to_pipe: 'data' of size 0, 0xFFFFFFFF or
// wav_pipe_data_size, the last chunk of the file.
bool wav_written_to_pipe(WstmHandle* handle, bool sizes_settled);

std::int32_t wav_read_sample(WstmHandle* handle, std::int32_t* values, std::int32_t count);
std::int32_t wav_write_sample(WstmHandle* handle, const std::int32_t* values, std::int32_t count);
