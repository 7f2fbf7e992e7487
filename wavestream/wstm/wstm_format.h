#pragma once
// Identification, layout planning and completion of wave stream files: the
// steps between the WSTM_* operations and the header codecs.

#include <cstdint>

#include "wavestream/fstm/wstm_handle.h"

// Identifies an opened file (stream at 0, file_size the real size), checks its
// size field, dispatches to the codec and checks what the codec decoded.
// 0, or -1 after reporting.
[[nodiscard]] std::int32_t wstm_decode_header(WstmHandle* handle);

// Plans a new file: checks file_format, sets data_offset and block_size,
// makes a WAV file past kWstmMaxFileSize an RF64 one (rf64 set, the 'ds64'
// chunk counted in data_offset) and refuses an AIFF file of 2 GB and more,
// then lets the codec check the parameters.
// Needs no file. 0, or -1 after reporting.
[[nodiscard]] std::int32_t wstm_plan_new_file(WstmHandle* handle);

// Writes the header of a new file (after wstm_plan_new_file and with the
// file created). 0, or -1 after reporting.
[[nodiscard]] std::int32_t wstm_encode_header(WstmHandle* handle);

// Completes a file created for writing: frames never written become silence,
// the sizes are rewritten for the declared num_samples and the marker and loop
// chunks are appended. A handle opened for reading is left alone.
void wstm_finish_file(WstmHandle* handle);

// The chunk walk from offset 12: how far a chain of well-formed chunks with
// printable identifiers reaches (the pad byte of the last chunk left out).
// A size that does not move the walk forward ends it where it stands. In an
// RF64 file the 'data' chunk's placeholder size stands for ds64_data_size
// (-1: the file has no 'ds64').
std::int64_t wstm_measure_chunks(FstmStream* stream, std::int32_t endian_type,
                                 std::int64_t ds64_data_size = -1);

// Reconciles the real size R, the stated size S and the measured size M:
// R if R = M, else S if S = M, else the smaller of S and M if they differ by
// at most 1; -1 when they cannot be reconciled. The result is never above R,
// so that the chunks of a file shorter than its header says fail their size
// tests.
std::int64_t wstm_reconcile_sizes(std::int64_t real, std::int64_t stated, std::int64_t measured);

// The file format a path asks for: 2 (AIFF) when its extension starts with
// "aif" in any case, 1 (WAV) otherwise. The extension is the text after the
// last '.' that comes after the last '\\' or '/'.
std::int32_t wstm_format_from_path(const char* path);
