#pragma once
// The header codecs as the wave stream sees them: one entry per container
// format, found by the file identifier of an input file or by the file format
// of a new one. Each codec reports its own failures through NUVERR_Report and
// returns a negative value after reporting.
//
// The entries are defined by the codec files (g_wav_codec in the WAV codec,
// g_aiff_codec in the AIFF codec) and listed in codec_table.cpp.

#include <cstdint>

#include "wavestream/fstm/wstm_handle.h"

struct WstmCodec {
    std::int32_t file_identifier;    // of input files: 1 RIFF, 2 FORM
    std::int32_t file_format;        // of new files: 1 WAV, 2 AIFF
    std::int32_t data_offset;        // of the header a new file gets
    std::int32_t float_data_offset;  // of the header a new file of float samples gets
    // Bytes of the 'ds64' chunk that a new file past kWstmMaxFileSize gets
    // after its head; 0 for a format that has no such form.
    std::int32_t ds64_chunk_size;
    // Decodes the header after identification (current_position 0; file_size,
    // file_identifier and endian_type set); installs read_sample and leaves
    // current_position at data_offset.
    std::int32_t (*decode_header)(WstmHandle* handle);
    // True when an input whose container size disagrees with the file's size
    // was written to a pipe: its sample data chunk holds one of the sizes that
    // writers leave when they cannot seek back, and reaches past the end of
    // the file (file_size is the file's real size). A size of 0 counts only
    // when the chunks do not account for the file (sizes_settled false). No
    // failure is reported.
    bool (*written_to_pipe)(WstmHandle* handle, bool sizes_settled);
    // Checks the parameters of a new file (file_format, sampling_rate,
    // num_channels, num_bits, num_samples) as encode_header would; reports the
    // first failure. Called before the file is created.
    std::int32_t (*check_new_header)(const WstmHandle* handle);
    // Writes the whole header of a new file for num_samples frames (stream at
    // offset 0; block_size, data_offset and file_size set), installs
    // write_sample and leaves current_position at data_offset.
    std::int32_t (*encode_header)(WstmHandle* handle);
    // Rewrites the size fields for the given number of frames and seeks back to
    // current_position.
    std::int32_t (*update_sizes)(WstmHandle* handle, std::uint32_t frames);
    // Appends the marker and loop chunks at the end of the file and corrects the
    // outer container size.
    std::int32_t (*write_trailer_chunks)(WstmHandle* handle);
    // The byte that every byte of a silent frame holds in files of this
    // handle's format (0x80 for unsigned 8-bit containers, otherwise 0).
    std::uint8_t (*silence_byte)(const WstmHandle* handle);
    // The bytes the handle's metadata adds to the header of a new file
    // before the sample data (0 without metadata).
    std::int32_t (*meta_head_bytes)(const WstmHandle* handle);
};

// The codec of an identified input file (1 RIFF, 2 FORM), or null.
const WstmCodec* CODEC_ForIdentifier(std::int32_t file_identifier);
// The codec that writes files of this format (1 WAV, 2 AIFF), or null.
const WstmCodec* CODEC_ForFormat(std::int32_t file_format);
