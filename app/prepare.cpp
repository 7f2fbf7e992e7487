#include "app/prepare.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "app/console_text.h"
#include "app/error_table.h"
#include "app/status.h"
#include "platform/disk.h"
#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/signals.h"
#include "runtime/nuverr.h"
#include "wavestream/wstm/wstm.h"

namespace tolmek {

namespace {

constexpr std::int64_t kMaxDataBytes = 2147483647;

// Settles the gain: normalization by the peak pass, or the requested dB.
int SettleGain(ResampleJob* job) {
    if (job->normalize != 0) {
        double peak = 0.0;
        int status = FindPeak(job, &peak);
        if (status < 0) return status;
        if (peak > 0.0) {
            job->volume_factor = 2147483647.0 / peak;
            job->volume_db = DbFromFactor(job->volume_factor);
        } else {
            job->volume_factor = 1.0;
            job->volume_db = 0.0;
        }
    } else if (job->volume_db != 0.0) {
        job->volume_factor = FactorFromDb(job->volume_db);
    }
    return kStatusOk;
}

// The output's own name chooses the format, whatever name it is written under.
WstmHandle* CreateAt(const ResampleJob& job, const std::string& path) {
    const auto frames = static_cast<std::uint32_t>(job.output_num_samples);
    const std::int32_t format = WSTM_FormatOfName(job.output_path.c_str());
    if (job.keep_meta) {
        return WSTM_CreateWithMeta(path.c_str(), job.output_sampling_rate, job.output_num_channels,
                                   job.output_num_bits, frames, format, job.output_float,
                                   &job.output_meta);
    }
    if (job.output_float) {
        return WSTM_CreateFloat(path.c_str(), job.output_sampling_rate, job.output_num_channels,
                                frames, format);
    }
    return WSTM_CreateAs(path.c_str(), job.output_sampling_rate, job.output_num_channels,
                         job.output_num_bits, frames, format);
}

// Creates the file the run writes. A new output, or one that replaces a
// regular file, is written under a temporary name in the target's folder
// (".NAME.tolmek-PID.tmp") and takes the target's name once complete
// (CommitOutput), so that a failure or an interruption leaves an existing
// file as it was. A device or a FIFO is written in place, and so is an
// existing file in a folder that takes no new file.
WstmHandle* CreateOutput(ResampleJob* job) {
    const std::string& target = job->output_target;
    const bool exists = platform::GetPathInfo(target).kind != platform::PathKind::kMissing;
    const bool regular = exists && platform::IsRegularFile(target);
    job->write_in_place = true;
    job->write_path = job->output_path;
    if (exists && !regular) return CreateAt(*job, job->output_path);
    if (regular) {
        // A file that could not be overwritten is not replaced either.
        const int error_number = platform::FileProbeWrite(target.c_str());
        if (error_number != 0) {
            NUVERR_Report("E2006110109 : Can not create file.");
            platform::NoteFileError(job->output_path.c_str(), error_number);
            return nullptr;
        }
    }

    const std::string::size_type name_at = platform::FileNameOffset(target);
    const std::string temporary = target.substr(0, name_at) + "." + target.substr(name_at) +
                                  ".tolmek-" + std::to_string(platform::CurrentProcessId()) +
                                  ".tmp";
    // One left by a killed run that had the same process number.
    (void)platform::DeleteFileAt(temporary);
    WstmHandle* output = CreateAt(*job, temporary);
    if (output != nullptr) {
        job->write_in_place = false;
        job->write_path = temporary;
        // The replacement keeps the permissions of the file it replaces;
        // set before any sample is written.
        if (regular) (void)platform::FileCopyMode(target.c_str(), temporary.c_str());
        return output;
    }
    if (!regular) {
        // The folder takes no new file: the reason is the output's.
        std::string path;
        int error_number = 0;
        if (platform::FirstFileError(&path, &error_number)) {
            platform::ClearFileError();
            platform::NoteFileError(job->output_path.c_str(), error_number);
        }
        return nullptr;
    }
    // Its failure is no longer the run's.
    platform::ClearFileError();
    ClearModuleError();
    return CreateAt(*job, job->output_path);
}

// The checks and steps before the output exists; the input handle is
// returned in *input even on failure so that the caller can close it.
int PrepareInput(ResampleJob* job, WstmHandle** input) {
    // A link named as the output is kept; the file it leads to is replaced,
    // so that file's drive and space are the ones that count.
    job->output_target = platform::FollowLinks(job->output_path);
    int status = CheckOutputDrive(job->output_target);
    if (status < 0) return status;

    platform::PathInfo info = platform::GetPathInfo(job->input_path);
    if (info.kind == platform::PathKind::kMissing) return kErrInvalidInputName;
    if (info.kind == platform::PathKind::kDirectory) return kErrInputIsDirectory;
    if (info.size == 0) return kErrNoData;
    // Another spelling, a link or a hard link of the input: writing the
    // output would destroy the input.
    if (platform::SameFile(job->input_path, job->output_path) == 1) return kErrWrongOutputName;

    *input = WSTM_Open(job->input_path.c_str());
    if (*input == nullptr) return kErrOpenInput;
    job->input_stream = *input;
    if (job->keep_meta) (void)WSTM_ReadMeta(*input, &job->input_meta);

    job->input_sampling_rate = WSTM_GetSamplingRate(*input);
    job->input_num_channels = WSTM_GetNumChannels(*input);
    job->input_num_bits = WSTM_GetNumBits(*input);
    job->input_float = WSTM_IsFloat(*input) == 1;
    std::uint32_t frames = WSTM_GetNumSamples(*input);
    job->input_num_samples = frames > 0x7FFFFFFFu ? -1 : static_cast<int>(frames);
    if (job->input_num_channels > kMaxChannels) return kErrUnsupportedChannels;
    if (job->input_sampling_rate <= 0 || job->input_num_channels <= 0) return kErrOpenInput;
    if (job->input_num_samples < 0) return kErrNoSampleData;

    status = SettleGain(job);
    if (status < 0) return status;

    if (job->output_sampling_rate == 0) job->output_sampling_rate = job->input_sampling_rate;
    if (job->output_num_channels == 0) job->output_num_channels = job->input_num_channels;
    if (job->output_num_bits == 0) {
        // The input's format: a float file gives float.
        job->output_num_bits = job->input_num_bits;
        job->output_float = job->input_float;
    }

    if (job->input_num_channels > 2 && job->output_num_channels != job->input_num_channels) {
        return kErrMultichannelChange;
    }
    if (job->keep_meta) {
        const WstmMetaTarget target = {
            job->input_sampling_rate, job->output_sampling_rate,
            job->output_num_bits,     job->output_num_channels,
            job->output_float,        WSTM_FormatOfName(job->output_path.c_str()),
            "tolmek " TOLMEK_VERSION};
        WSTM_MetaForOutput(*input, job->input_meta, target, &job->output_meta);
    }
    if (job->output_num_samples < 0) {
        status = DeriveOutputSampleCount(job->input_sampling_rate, job->output_sampling_rate,
                                         job->input_num_samples, &job->output_num_samples);
        if (status < 0) return status;
    }

    std::int64_t bytes = 0;
    status = ComputeOutputDataSize(*job, &bytes);
    if (status < 0) return status;
    // Asked while a file being replaced still exists: the new one is written
    // beside it, so its space is not counted on.
    status = CheckDiskSpace(job->output_target, bytes);
    if (status < 0) return status;

    if (platform::GetPathInfo(job->output_path).kind == platform::PathKind::kDirectory) {
        return kErrOutputIsDirectory;
    }
    return kStatusOk;
}

}  // namespace

int PrepareJob(ResampleJob* job) {
    if (!platform::InstallInterruptHandler(&interrupt_requested)) ShowMessageBox("Failed", "Error");

    WstmHandle* input = nullptr;
    int status = PrepareInput(job, &input);
    if (status < 0) {
        if (input != nullptr) (void)WSTM_Close(input);
        job->input_stream = nullptr;
        return status;
    }

    WstmHandle* output = CreateOutput(job);
    if (output == nullptr) {
        (void)WSTM_Close(input);
        job->input_stream = nullptr;
        return kErrOpenOutput;
    }
    job->input_stream = input;
    job->output_stream = output;
    output_created = 1;
    return kStatusOk;
}

int CloseJobStreams(ResampleJob* job) {
    int status = kStatusOk;
    if (job->input_stream != nullptr) {
        if (WSTM_Close(job->input_stream) < 0) status = kErrReadInput;
        job->input_stream = nullptr;
    }
    if (job->output_stream != nullptr) {
        if (WSTM_Close(job->output_stream) < 0) status = kErrWriteOutput;
        job->output_stream = nullptr;
    }
    return status;
}

int CheckOutputDrive(const std::string& path) {
    platform::VolumeInfo volume;
    int error_number = platform::QueryVolume(path, &volume);
    if (error_number != 0) return MapSystemError(error_number);
    switch (volume.kind) {
        case platform::VolumeKind::kOpticalMedium: return kErrCdromOutput;
        case platform::VolumeKind::kReadOnly: return kErrWriteProtected;
        case platform::VolumeKind::kNoSuchDrive: return kErrInvalidDrive;
        case platform::VolumeKind::kWritable: break;
    }
    return kStatusOk;
}

int ComputeOutputDataSize(const ResampleJob& job, std::int64_t* bytes) {
    const std::int64_t size = static_cast<std::int64_t>(job.output_num_bits / 8) *
                              job.output_num_samples * job.output_num_channels;
    // A WAV output of any size is written (as RF64 from 2 GB on); AIFF
    // keeps its sizes in signed 32-bit fields.
    if (size > kMaxDataBytes && IsAiffOutput(job)) return kErrOver2GB;
    *bytes = size;
    return kStatusOk;
}

bool IsAiffOutput(const ResampleJob& job) {
    return WSTM_FormatOfName(job.output_path.c_str()) == kWstmFormatAiff;
}

int CheckDiskSpace(const std::string& path, std::int64_t bytes) {
    platform::VolumeInfo volume;
    int error_number = platform::QueryVolume(path, &volume);
    if (error_number != 0) return MapSystemError(error_number);
    return CheckSpaceOn(volume, bytes);
}

int CheckSpaceOn(const platform::VolumeInfo& volume, std::int64_t bytes) {
    std::uint64_t needed = bytes > 0 ? static_cast<std::uint64_t>(bytes) : 0;
    if (volume.cluster_size > 0 && needed % volume.cluster_size != 0) {
        needed += volume.cluster_size - needed % volume.cluster_size;
    }
    return needed > volume.free_bytes ? kErrDiskFull : kStatusOk;
}

int MapSystemError(int error_number) {
    switch (platform::ClassifySystemError(error_number)) {
        case platform::SystemFault::kBadName: return kErrInvalidFileName;
        case platform::SystemFault::kBadHandle: return kErrInvalidHandle;
        case platform::SystemFault::kNoMedium: return kErrNoDisc;
        case platform::SystemFault::kWriteProtected: return kErrWriteProtected;
        case platform::SystemFault::kNotReady: return kErrDriveNotReady;
        case platform::SystemFault::kInUse: return kErrFileInUse;
        case platform::SystemFault::kOther: break;
    }
    WriteErr("System error code: " + std::to_string(error_number) + "\n");
    return kErrUnknownSystem;
}

int DeriveOutputSampleCount(int in_rate, int out_rate, int in_samples, int* count) {
    const double derived =
        std::trunc(static_cast<double>(out_rate) / static_cast<double>(in_rate) * in_samples + 0.5);
    if (!(derived <= 2147483647.0)) return kErrOver2GB;
    *count = static_cast<int>(derived);
    return kStatusOk;
}

int FindPeak(ResampleJob* job, double* peak) {
    WstmHandle* input = job->input_stream;
    const int channels = job->input_num_channels;
    const bool stereo_to_mono = channels == 2 && job->output_num_channels == 1;
    double frame[kMaxChannels] = {};
    double largest = 0.0;
    for (int i = 0; i < job->input_num_samples; ++i) {
        if (interrupt_requested.load(std::memory_order_relaxed) == 1) return kStatusInterrupted;
        // A float file's peak may lie beyond full scale. Its infinities,
        // read as the largest float, have no level to normalize to: they
        // are left out, and clip at the output.
        if (job->input_float) {
            if (WSTM_ReadFloatFrames(input, frame, channels, 1) < 0) return kErrReadInput;
            constexpr double kLargest = std::numeric_limits<float>::max() * 2147483648.0;
            for (int c = 0; c < channels; ++c) {
                if (std::fabs(frame[c]) >= kLargest) frame[c] = 0.0;
            }
        } else {
            std::int32_t ints[kMaxChannels] = {};
            if (WSTM_ReadSample(input, ints, channels) < 0) return kErrReadInput;
            for (int c = 0; c < channels; ++c)
                frame[c] = ints[c];
        }
        if (stereo_to_mono) {
            double v = std::fabs(frame[0]) + std::fabs(frame[1]) + 0.5;
            if (v > largest) largest = v;
        } else {
            for (int c = 0; c < channels; ++c) {
                double v = std::fabs(frame[c]);
                if (v > largest) largest = v;
            }
        }
    }
    if (WSTM_GetTransferError(input) < 0) return kErrReadInput;
    if (WSTM_Seek(input, 0, 0) < 0) return kErrReadInput;
    *peak = largest;
    return kStatusOk;
}

double DbFromFactor(double factor) {
    if (factor <= 0.0) return 0.0;
    return 20.0 * std::log10(factor);
}

double FactorFromDb(double db) { return std::pow(10.0, db / 20.0); }

}  // namespace tolmek
