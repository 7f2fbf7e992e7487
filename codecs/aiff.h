#pragma once
// AIFF header codec: FORM/AIFF files, every integer big-endian, the sampling
// rate as an 80-bit extended number.
//
// Decodes the header of an existing file into a WstmHandle, writes the
// 54-byte header of a new file, rewrites the sizes and appends the marker
// ('MARK') and loop ('INST') chunks at close, and supplies the sample hooks.
// Files of float samples are written as AIFF-C (form type AIFC, compression
// type 'fl32'); AIFF-C input is read in the compression types listed in
// aiff_decode.cpp. Every failure is reported through
// NUVERR_Report and gives -1.

#include <cstdint>

#include "wavestream/fstm/wstm_handle.h"

// Byte offset of the first sample frame in a file written here: AIFF, and
// AIFF-C of 32-bit float samples ('FVER', and 'COMM' with its compression
// type and name).
inline constexpr std::int32_t kAiffHeaderSize = 54;
inline constexpr std::int32_t kAiffFloatHeaderSize = 92;

// The sizes writers leave when they cannot seek back: ffmpeg writes 0 in
// the FORM, the frame count and 'SSND'; sox writes as frame count the whole
// frames of `block` bytes in 0x7F000000 bytes, and 'SSND' sized for them.
inline constexpr std::uint32_t kAiffPipeDataBytes = 0x7F000000;
constexpr bool aiff_pipe_sizes(std::uint32_t frames, std::uint32_t ssnd_size, std::uint32_t block) {
    return block > 0 && frames == kAiffPipeDataBytes / block && ssnd_size == frames * block + 8;
}

// See WstmCodec::written_to_pipe: 'SSND' of size 0, or of the sizes of
// aiff_pipe_sizes, the last chunk of the file.
bool aiff_written_to_pipe(WstmHandle* handle, bool sizes_settled);

// Walks the chunks from current_position 0 (after the identification found
// "FORM"), validates the header, resolves the loops through the markers,
// installs the sample hooks of its encoding and leaves current_position at
// data_offset.
[[nodiscard]] std::int32_t aiff_decode_header(WstmHandle* handle);

// The parameter checks of a new file, first failure reported: file_format,
// sampling rate, channels, bits and number of samples. Makes no file access,
// so it can run before the file is created.
[[nodiscard]] std::int32_t aiff_check_new_header(const WstmHandle* handle);

// Writes the 54-byte header of a new file at offset 0 for num_samples frames
// (block_size, data_offset 54 and file_size planned by the caller), or the
// 92-byte AIFF-C one when format_tag is kWstmFloatTag (the samples are then
// the bits of 32-bit floats), installs aiff_write_sample and leaves
// current_position at data_offset.
[[nodiscard]] std::int32_t aiff_encode_header(WstmHandle* handle);

// Rewrites the FORM size, the frame count of 'COMM' and the 'SSND' size for
// `frames` frames, then seeks back to current_position. Gives 0.
std::int32_t aiff_update_sizes(WstmHandle* handle, std::uint32_t frames);

// Appends 'MARK' (names "M0000", "M0001", ...) and 'INST' (sustain loop from
// loop 0, release loop from loop 1) at the end of the file, after one zero
// pad byte when the file length is odd, and rewrites the FORM size. Every
// loop point gets a marker; a loop whose points do not all fit into the
// marker table is written with play mode 0. A chunk that would carry the file
// past 2^31 - 1 bytes is left out. Gives 0.
std::int32_t aiff_write_trailer_chunks(WstmHandle* handle);

// The sample hooks (see WstmReadSampleHook / WstmWriteSampleHook). Samples
// are big-endian and signed in every width, 8 bits included.
std::int32_t aiff_read_sample(WstmHandle* handle, std::int32_t* values, std::int32_t count);
std::int32_t aiff_write_sample(WstmHandle* handle, const std::int32_t* values, std::int32_t count);
