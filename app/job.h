// The job record of one run and the run sequence: parse, report, prepare,
// convert, copy markers and loops, close, print the outcome, exit code.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/nuvdlg.h"
#include "wavestream/fstm/wstm_meta.h"

struct WstmHandle;
class INuvSamplingRateConverter;

namespace tolmek {

constexpr int kMaxChannels = 32;  // per-channel arrays of the job
constexpr std::size_t kMaxPathLength = 1023;
constexpr int kWorkerAreaSize = NUVDLG_WORK_AREA_SIZE;  // bytes a worker service needs

// Everything a run knows. Created with the defaults below; the parser
// (cmdline.h) fills the paths and requested output parameters, the
// preparation the input parameters, streams and derived values.
struct ResampleJob {
    std::string input_path;              // full path, at most kMaxPathLength bytes
    WstmHandle* input_stream = nullptr;  // owned; closed by RunJob
    int input_sampling_rate = 0;         // Hz
    int input_num_channels = 0;
    int input_num_bits = 0;
    int input_num_samples = 0;  // sample frames
    bool input_float = false;   // IEEE float samples, read with their headroom

    std::string output_path;              // full path, at most kMaxPathLength bytes
    WstmHandle* output_stream = nullptr;  // owned; closed by RunJob
    int output_sampling_rate = 0;         // 0 = same as the input
    int output_num_channels = 0;          // 0 = same as the input
    int output_num_bits = 0;              // 0 = same as the input
    bool output_float = false;            // 32-bit IEEE float (-bit=float)
    int output_num_samples = -1;          // -1 = derived from the input
    // The file the output name leads to (links followed), and the file being
    // written: a temporary one beside the target, which takes the target's
    // name once complete, or the target itself when written in place.
    std::string output_target;
    std::string write_path;
    bool write_in_place = false;

    int quality = 10;                  // 3..10; 10 QUALITY, 3 SPEED
    bool dither = false;               // -dither=tpdf: TPDF dither before the rounding
    bool keep_meta = false;            // -meta=keep: metadata travels to the output
    WstmMeta input_meta;               // read from the input with -meta=keep
    WstmMeta output_meta;              // what the output gets; lives until it is closed
    int normalize = 0;                 // 1 when -vol=normalize was given
    double volume_db = 0.0;            // requested, then applied gain
    double volume_factor = 1.0;        // linear gain; 1.0 = no scaling
    std::int64_t clipped_samples = 0;  // sample values the conversion clipped to full scale

    NuvDlgService* channel_workers[kMaxChannels] = {};
    alignas(8) unsigned char worker_areas[kMaxChannels][kWorkerAreaSize] = {};
    INuvSamplingRateConverter* channel_converters[kMaxChannels] = {};
    double* channel_buffers[kMaxChannels] = {};  // input slots of the blocks in flight
};

// Set by the interrupt handler, polled between blocks of work. Never reset
// during a run.
extern std::atomic<int> interrupt_requested;
// 1 once the file being written exists; it is then deleted on failure.
extern int output_created;

// Whole program: language, banner, usage page or the job. Returns the exit
// code (0 done or help shown, 1 interrupted, 2 error).
int TolmekMain(int argc, char** argv);

// Parses and runs one job; returns the exit code.
int ExecuteJob(int argc, char** argv);

// Resets `job` to its defaults and parses the settings into it.
[[nodiscard]] int InitJob(ResampleJob* job, int argc, char** argv);

// File names, preparation, report, conversion, markers and loops, close.
[[nodiscard]] int RunJob(ResampleJob* job);

// When the input was refused for its sample format, the line on standard
// error that names the format and says how to convert it; nothing otherwise.
void PrintFormatAdvice(const ResampleJob& job);
// After a run refused with `status`: when an AIFF output was refused for
// reaching 2 GB, one line on standard error that suggests a .wav output.
void PrintSizeAdvice(const ResampleJob& job, int status);

// Gives the complete temporary file the target's name (nothing to do for an
// output written in place): kStatusOk, or kErrWriteOutput.
[[nodiscard]] int CommitOutput(ResampleJob* job);

// Deletes the file being written when the run created it.
void DeletePartialOutput(const ResampleJob& job);

// The line naming the file of the run's first failed system call and the
// system's reason, on standard error; nothing when there was none.
void PrintFileErrorReason(const ResampleJob& job);

}  // namespace tolmek
