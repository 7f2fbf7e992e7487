#pragma once
// The wave stream: the one way in which the rest of the program touches an
// audio file. Opens WAV and AIFF files or creates new ones, exposes the
// format, markers and loops, and moves sample frames as left-justified
// signed 32-bit values (full scale is +-2^31 whatever the file's bit depth).
//
// Every failure is reported through NUVERR_Report, innermost message first,
// and gives -1 (or null for a handle). A handle is used by one thread at a
// time.

#include <cstdint>

#include "wavestream/fstm/wstm_handle.h"
#include "wavestream/fstm/wstm_meta.h"

// Opens an existing WAV or AIFF file for reading.
WstmHandle* WSTM_Open(const char* path);
// Creates a file for writing; AIFF when the extension starts with "aif"
// (any case), WAV otherwise.
WstmHandle* WSTM_Create(const char* path, std::int32_t sampling_rate, std::int32_t num_channels,
                        std::int32_t num_bits, std::uint32_t num_samples);
// The file format WSTM_Create gives a file of this name: 2 (AIFF) when its
// extension starts with "aif" in any case, 1 (WAV) otherwise.
std::int32_t WSTM_FormatOfName(const char* path);
// As WSTM_Create with an explicit file_format (1 WAV, 2 AIFF). Every check
// that can be made without the file (format, parameters, the 2 GB limit) is
// made before the file is created, so a refused output never creates or
// truncates a file.
WstmHandle* WSTM_CreateAs(const char* path, std::int32_t sampling_rate, std::int32_t num_channels,
                          std::int32_t num_bits, std::uint32_t num_samples,
                          std::int32_t file_format);
// As WSTM_CreateAs, for a file of 32-bit IEEE float samples (full scale
// +-1.0): WAV of format tag 3, or AIFF-C of compression type 'fl32'. Its
// sample hooks take each value as the bits of a 32-bit float, stored as
// they are; silence is +0.0.
WstmHandle* WSTM_CreateFloat(const char* path, std::int32_t sampling_rate,
                             std::int32_t num_channels, std::uint32_t num_samples,
                             std::int32_t file_format);
// As WSTM_CreateAs (or WSTM_CreateFloat when is_float), with the metadata
// `meta` written into the file: 'bext', iXML and the text tags before the
// sample data, the marker labels after it. `meta` must stay alive until the
// file is closed; null writes a file exactly as WSTM_CreateAs does.
WstmHandle* WSTM_CreateWithMeta(const char* path, std::int32_t sampling_rate,
                                std::int32_t num_channels, std::int32_t num_bits,
                                std::uint32_t num_samples, std::int32_t file_format, bool is_float,
                                const WstmMeta* meta);
// Reads the metadata that can travel from a file opened for reading into
// `meta` (damaged parts repaired or left out, and noted in its warnings);
// the file's cursor stays where it was. 0, or -1 for a null argument or a
// file not open for reading.
std::int32_t WSTM_ReadMeta(WstmHandle* handle, WstmMeta* meta);
// The metadata of `input` as an output described by `target` gets it:
// counts moved to the output rate, a coding-history line added, the labels
// numbered as the markers are copied (output marker i is input marker i),
// and what the output's container cannot hold left out (noted).
void WSTM_MetaForOutput(WstmHandle* input, const WstmMeta& in, const WstmMetaTarget& target,
                        WstmMeta* out);
// Completes a written file (frames never written become silence, the sizes
// are brought up to date, marker and loop chunks are appended), closes the
// file and frees the handle. Gives 0, or -1 when the handle is null or any
// transfer of the file failed during its life, the last flush included:
// a written file is complete only when this gives 0.
std::int32_t WSTM_Close(WstmHandle* handle);
// 0 while every transfer of the handle's file succeeded so far, -1 once one
// failed (the failure has been reported) or for a null handle.
std::int32_t WSTM_GetTransferError(WstmHandle* handle);

std::int32_t WSTM_GetSamplingRate(WstmHandle* handle);
std::int32_t WSTM_GetNumChannels(WstmHandle* handle);
std::int32_t WSTM_GetNumBits(WstmHandle* handle);
std::uint32_t WSTM_GetNumSamples(WstmHandle* handle);  // 0xFFFFFFFF for null

std::int32_t WSTM_GetNumMarkers(WstmHandle* handle);
std::int32_t WSTM_GetMarker(WstmHandle* handle, std::int32_t marker_id, std::int32_t* position);
// Counts above 256 are clamped to 256 with a message.
std::int32_t WSTM_SetNumMarkers(WstmHandle* handle, std::int32_t count);
std::int32_t WSTM_SetMarker(WstmHandle* handle, std::int32_t marker_id, std::int32_t position);
std::int32_t WSTM_GetNumLoops(WstmHandle* handle);
std::int32_t WSTM_GetLoop(WstmHandle* handle, std::int32_t loop_id, std::int32_t* start,
                          std::int32_t* end);
// Counts above 256 are clamped to 256 with a message.
std::int32_t WSTM_SetNumLoops(WstmHandle* handle, std::int32_t count);
// end is exclusive (one past the last frame of the loop).
std::int32_t WSTM_SetLoop(WstmHandle* handle, std::int32_t loop_id, std::int32_t start,
                          std::int32_t end);

// Moves the sample cursor: offset in frames from origin 0 (first frame),
// 1 (current frame) or 2 (end of the declared sample data). 0 or -1.
std::int32_t WSTM_Seek(WstmHandle* handle, std::int32_t offset, std::int32_t origin);
// Index of the frame at the cursor.
std::int32_t WSTM_Tell(WstmHandle* handle);
// Reads one frame into values[0..count); gives block_size, or -1.
std::int32_t WSTM_ReadSample(WstmHandle* handle, std::int32_t* values, std::int32_t count);
// Writes one frame; gives the frame index after the write, or -1. Frames
// beyond the declared number of samples are not written (the cursor stays
// at the end of the sample data).
std::int32_t WSTM_WriteSample(WstmHandle* handle, const std::int32_t* values, std::int32_t count);

// Runs of frames: `frames` frames at once, frame f at values + f * count,
// exactly as that many WSTM_ReadSample or WSTM_WriteSample calls would move
// them (frames beyond the declared number of samples are not written), in
// far fewer stream transfers for the common layouts. ReadFrames gives the
// frames read, WriteFrames the frame index after the run; -1 for a null
// handle or values, or a handle not open for that direction.
std::int32_t WSTM_ReadFrames(WstmHandle* handle, std::int32_t* values, std::int32_t count,
                             std::int32_t frames);
std::int32_t WSTM_WriteFrames(WstmHandle* handle, const std::int32_t* values, std::int32_t count,
                              std::int32_t frames);

// The sample format of the last file WSTM_Open refused for it, named as the
// file states it (for example "IMA ADPCM (format tag 0x0011)"), or "" when
// none was refused since WSTM_ClearRefusedFormat.
const char* WSTM_RefusedFormat();
void WSTM_ClearRefusedFormat();

// 1 when the file's samples are IEEE float, 0 otherwise (-1 for null).
std::int32_t WSTM_IsFloat(WstmHandle* handle);
// Runs of frames of a float file, as WSTM_ReadFrames, but as doubles with
// full scale +-2^31 and the values beyond it kept (WSTM_ReadFrames clips
// them); NaN reads as 0, infinities as the largest float. Gives the frames
// read, or -1 for a null handle or values, or a file that is not float.
std::int32_t WSTM_ReadFloatFrames(WstmHandle* handle, double* values, std::int32_t count,
                                  std::int32_t frames);
