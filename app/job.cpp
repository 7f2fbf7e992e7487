#include "app/job.h"

#include <string>

#include "app/cmdline.h"
#include "app/console_text.h"
#include "app/error_table.h"
#include "app/pipeline.h"
#include "app/prepare.h"
#include "app/report.h"
#include "app/status.h"
#include "platform/clock.h"
#include "platform/disk.h"
#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "wavestream/wstm/wstm.h"

namespace tolmek {

std::atomic<int> interrupt_requested{0};
int output_created = 0;

int InitJob(ResampleJob* job, int argc, char** argv) {
    *job = ResampleJob{};
    return ParseArguments(argc, argv, job);
}

int RunJob(ResampleJob* job) {
    PrintFileNames(*job);
    int status = PrepareJob(job);
    if (status < 0) return status;

    PrintParameterReport(*job);
    if (job->keep_meta) PrintMetaWarnings(job->output_meta.warnings);
    PrintProgressHeader();
    int result = ConvertAudio(job);
    if (result == kStatusOk) CopyMarkersAndLoops(job);
    int closed = CloseJobStreams(job);
    // A failure to finish the output file is still a failure of the run.
    if (result == kStatusOk && closed < 0) result = closed;
    if (result == kStatusOk) result = CommitOutput(job);
    return result;
}

namespace {

// The path as a shell word: quoted when it holds anything but letters,
// digits and . _ - / : \ characters.
std::string ShellWord(const std::string& path) {
    bool plain = !path.empty();
    for (const char c : path) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-' || c == '/' ||
                        c == ':' || c == '\\';
        plain = plain && ok;
    }
    return plain ? path : "\"" + path + "\"";
}

}  // namespace

void PrintFormatAdvice(const ResampleJob& job) {
    const std::string format = WSTM_RefusedFormat();
    if (format.empty()) return;
    const std::string& path = job.input_path;
    WriteErr("tolmek: " + path + ": " + format +
             " is not supported; convert it to PCM first, for example with sox " + ShellWord(path) +
             " -e signed -b 16 pcm.wav\n");
}

void PrintSizeAdvice(const ResampleJob& job, int status) {
    // Refused for its byte size, not its frame count (a count that does not
    // fit leaves output_num_samples unset): a WAV output takes that length.
    if (status != kErrOver2GB || job.output_num_samples < 0 || !IsAiffOutput(job)) return;
    WriteErr("tolmek: " + job.output_path +
             ": an AIFF file stays below 2 GB; name a .wav output instead, which is written as "
             "RF64 from 2 GB on\n");
}

int CommitOutput(ResampleJob* job) {
    if (job->write_in_place || output_created != 1) return kStatusOk;
    if (platform::FileReplace(job->write_path.c_str(), job->output_target.c_str()) != 0) {
        platform::NoteFileError(job->output_path.c_str(), platform::LastSystemError());
        return kErrWriteOutput;
    }
    output_created = 0;  // the file is the user's now
    return kStatusOk;
}

void DeletePartialOutput(const ResampleJob& job) {
    if (output_created != 1) return;
    // Written in place, only a regular file is ours to remove: an output
    // such as /dev/null or a FIFO stays.
    if (job.write_in_place && !platform::IsRegularFile(job.write_path)) return;
    if (!platform::DeleteFileAt(job.write_path)) {
        platform::NoteFileError(job.write_path.c_str(), platform::LastSystemError());
    }
}

void PrintFileErrorReason(const ResampleJob& job) {
    std::string path;
    int error_number = 0;
    if (!platform::FirstFileError(&path, &error_number)) return;
    // The temporary file is named by the output it stands for.
    if (!job.write_in_place && path == job.write_path) path = job.output_path;
    WriteErr("tolmek: " + path + ": " + platform::SystemErrorText(error_number) + "\n");
}

namespace {

// The input lookup that failed with b021 asked the system; its answer
// becomes the reason.
void NoteInputLookup(const ResampleJob& job, int status) {
    if (status != kErrInvalidInputName || job.input_path.empty()) return;
    const platform::PathInfo info = platform::GetPathInfo(job.input_path);
    if (info.kind == platform::PathKind::kMissing && info.error_number != 0) {
        platform::NoteFileError(job.input_path.c_str(), info.error_number);
    }
}

}  // namespace

int ExecuteJob(int argc, char** argv) {
    WSTM_ClearRefusedFormat();
    platform::ClearFileError();
    ResampleJob job;
    int status = InitJob(&job, argc, argv);
    if (status < 0) {
        if (status == kStatusHelpShown) return 0;
        PrintError(status);
        NoteInputLookup(job, status);
        PrintFileErrorReason(job);
        return 2;
    }

    status = RunJob(&job);
    if (status < 0) {
        if (status == kStatusInterrupted) {
            PrintInterrupted();
        } else {
            PrintError(status);
        }
        DeletePartialOutput(job);
        NoteInputLookup(job, status);
        PrintFileErrorReason(job);
        PrintFormatAdvice(job);
        PrintSizeAdvice(job, status);
        return status == kStatusInterrupted ? 1 : 2;
    }
    if (job.clipped_samples > 0) PrintClipWarning(job.clipped_samples);
    PrintCompleted();
    return 0;
}

int TolmekMain(int argc, char** argv) {
    InitProgress(platform::TickCountMs(), 2);
    const platform::ConsoleLanguage language = platform::DetectConsoleLanguage();
    SelectConsoleTexts(language);
    SelectErrorTable(language);
    PrintBanner();
    if (argc < 2) {
        PrintUsage();
        return 0;
    }
    return ExecuteJob(argc, argv);
}

}  // namespace tolmek
