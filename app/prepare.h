// Preparation of a parsed job: the interruption handler, the checks of the
// output's file system and of the input, opening the input, the gain (with
// the normalization pass), the derived output parameters, the size and
// free-space tests, and creating the output.
#pragma once

#include <cstdint>
#include <string>

#include "app/job.h"
#include "platform/disk.h"

namespace tolmek {

// Returns kStatusOk with both streams open and output_created set, or a
// negative status; on failure no stream is left open and no file has been created.
[[nodiscard]] int PrepareJob(ResampleJob* job);

// Closes the input, then the output stream (each only if open) and clears
// the handles. Returns kStatusOk; kErrWriteOutput when the output was not
// completely written, else kErrReadInput when reading the input failed at
// some point.
int CloseJobStreams(ResampleJob* job);

// The file system that will hold `path` accepts an output: kStatusOk,
// kErrInvalidDrive for a drive that does not exist, kErrCdromOutput for
// optical media, kErrWriteProtected for a read-only file system, or the
// status of a failing query (MapSystemError).
[[nodiscard]] int CheckOutputDrive(const std::string& path);

// Bytes of sample data: (bits / 8) x samples x channels in 64 bits;
// kStatusOk and the size in *bytes, or for an AIFF output kErrOver2GB above
// 2147483647 (a WAV output of 2 GB or more is written as RF64).
[[nodiscard]] int ComputeOutputDataSize(const ResampleJob& job, std::int64_t* bytes);

// True when the output's name asks for AIFF.
bool IsAiffOutput(const ResampleJob& job);

// Enough space for `bytes` rounded up to whole clusters: kStatusOk,
// kErrDiskFull, or the status of a failing query.
[[nodiscard]] int CheckDiskSpace(const std::string& path, std::int64_t bytes);
// The decision itself, for a described file system.
[[nodiscard]] int CheckSpaceOn(const platform::VolumeInfo& volume, std::int64_t bytes);

// The status for a failing system call's error number (errno, or the Win32
// error on Windows). A number without a status of its own gives
// kErrUnknownSystem after the line "System error code: N" on standard error.
int MapSystemError(int error_number);

// trunc(out_rate / in_rate x in_samples + 0.5) in double precision;
// kStatusOk and the count in *count, or kErrOver2GB when it does not fit a
// 32-bit count.
[[nodiscard]] int DeriveOutputSampleCount(int in_rate, int out_rate, int in_samples, int* count);

// Largest sample magnitude of the whole input, read from the current
// position: per channel |v| (|-2^31| counts as 2^31), or, when the input is
// stereo and the requested output is mono, |left| + |right| + 0.5 of each
// frame. Leaves the input back at its first frame. kStatusOk,
// kStatusInterrupted when interrupt_requested is set, or kErrReadInput.
[[nodiscard]] int FindPeak(ResampleJob* job, double* peak);

// Gain conversions: 20 log10(x) (0.0 for x <= 0) and 10^(d / 20).
double DbFromFactor(double factor);
double FactorFromDb(double db);

}  // namespace tolmek
