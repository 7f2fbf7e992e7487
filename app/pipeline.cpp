#include "app/pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/console_text.h"
#include "app/status.h"
#include "platform/memory.h"
#include "resampler/nuv_src.h"
#include "runtime/nuvdlg.h"
#include "wavestream/wstm/wstm.h"

namespace tolmek {

namespace {

constexpr std::uint64_t kMemoryReserve = 0x4000000;  // 64 MiB left to everything else

// What one worker runs for one channel: a Convert of a block, or (input
// null) the Flush at the end. Each request has its own error word.
struct ChannelRequest {
    INuvSamplingRateConverter* converter = nullptr;
    const double* input = nullptr;
    std::int32_t count = 0;
    const double* output = nullptr;
    std::int32_t output_count = 0;
    std::int32_t error = 0;
};

int ConvertChannel(void* argument)
{
    auto* request = static_cast<ChannelRequest*>(argument);
    request->converter->Convert(request->input, request->count, &request->output,
                                &request->output_count, &request->error);
    return 0;
}

int FlushChannel(void* argument)
{
    auto* request = static_cast<ChannelRequest*>(argument);
    request->converter->Flush(&request->output, &request->output_count, &request->error);
    return 0;
}

// Posts one request per input channel to the channels' workers. A request
// that cannot be posted keeps number 0 and runs in WaitForChannels.
void PostToWorkers(ResampleJob* job, ChannelRequest* requests, NuvDlgJob function,
                   std::int32_t* numbers)
{
    const int channels = job->input_num_channels;
    for (int c = 0; c < channels; ++c) {
        requests[c].error = 0;
        requests[c].output = nullptr;
        requests[c].output_count = 0;
        numbers[c] = NUVDLG_Request(job->channel_workers[c], function, &requests[c]);
    }
}

// Waits for the requests PostToWorkers posted (running here those it could
// not post). Gives 0, or the code of a converter failure.
int WaitForChannels(ResampleJob* job, ChannelRequest* requests, NuvDlgJob function,
                    const std::int32_t* numbers)
{
    const int channels = job->input_num_channels;
    for (int c = 0; c < channels; ++c) {
        if (numbers[c] >= 1) {
            NUVDLG_Wait(job->channel_workers[c], numbers[c]);
        } else {
            function(&requests[c]);
        }
    }
    int status = kStatusOk;
    for (int c = 0; c < channels; ++c) {
        if (requests[c].error == -3) return kErrMemory;
        if (requests[c].error != 0) status = kErrInternal;
        // Every channel is fed the same counts and so produces as many
        // samples; anything else is a fault of the converter.
        if (requests[c].output_count != requests[0].output_count) status = kErrInternal;
    }
    return status;
}

int RunOnWorkers(ResampleJob* job, ChannelRequest* requests, NuvDlgJob function)
{
    std::int32_t numbers[kMaxChannels] = {};
    PostToWorkers(job, requests, function, numbers);
    return WaitForChannels(job, requests, function, numbers);
}

// The converted samples of one block, copied out of the converters so that
// they can be written while the converters work on the next block.
class StagedBlock {
public:
    StagedBlock() = default;
    StagedBlock(const StagedBlock&) = delete;
    StagedBlock& operator=(const StagedBlock&) = delete;
    ~StagedBlock()
    {
        for (double* samples : samples_) std::free(samples);
    }

    // Takes the outputs of the requests; false when memory runs out.
    bool Take(const ChannelRequest* requests, int channels)
    {
        const std::int32_t count = requests[0].output_count;
        if (count > capacity_) {
            for (int c = 0; c < channels; ++c) {
                std::free(samples_[c]);
                samples_[c] = static_cast<double*>(
                    std::malloc(static_cast<std::size_t>(count) * sizeof(double)));
                if (samples_[c] == nullptr) {
                    capacity_ = 0;
                    count_ = 0;
                    return false;
                }
            }
            capacity_ = count;
        }
        for (int c = 0; c < channels; ++c) {
            if (count > 0) {
                std::memcpy(samples_[c], requests[c].output, static_cast<std::size_t>(count) * sizeof(double));
            }
            staged_[c].output = samples_[c];
            staged_[c].output_count = count;
        }
        count_ = count;
        return true;
    }

    // Requests whose outputs are the staged samples, for EmitFrames.
    const ChannelRequest* Requests() const { return staged_; }
    std::int32_t Count() const { return count_; }
    void Clear()
    {
        count_ = 0;
        for (ChannelRequest& request : staged_) request.output_count = 0;
    }

private:
    double* samples_[kMaxChannels] = {};
    ChannelRequest staged_[kMaxChannels];
    std::int32_t capacity_ = 0;
    std::int32_t count_ = 0;
};

// The frame operations, inlined into the frame loop below; the exported
// ApplyVolume, AdaptChannels and QuantizeFrame forward to them.
inline void ScaleFrame(double factor, int channels, double* frame)
{
    if (factor == 1.0) return;
    for (int c = 0; c < channels; ++c) frame[c] *= factor;
}

inline void AdaptFrame(int in_channels, int out_channels, double* frame)
{
    if (in_channels == out_channels) return;
    if (in_channels == 1) {
        for (int c = 1; c < out_channels; ++c) frame[c] = frame[0];
    } else if (in_channels == 2 && out_channels == 1) {
        frame[0] = frame[0] + frame[1];
    }
}

// Half away from zero: x + 0.5 (or x - 0.5) converted toward zero. Inside
// the clip limits the converted value always fits 32 bits, so the
// conversion itself does the truncation.
inline std::int32_t QuantizeValue(double x)
{
    if (x > 2147483647.0) return 2147483647;
    if (x < -2147483648.0) return -2147483647 - 1;
    if (x >= 0.0) return static_cast<std::int32_t>(x + 0.5);
    if (x < 0.0) return static_cast<std::int32_t>(x - 0.5);
    return 0;  // not a number
}

// Gain, channels, rounding and writing of the M frames the converters just
// produced. Failed writes are found through the stream's transfer state.
void EmitFrames(ResampleJob* job, const ChannelRequest* requests)
{
    const int in_channels = job->input_num_channels;
    const int out_channels = job->output_num_channels;
    const std::int32_t count = requests[0].output_count;
    const double factor = job->volume_factor;
    WstmHandle* const output = job->output_stream;
    double frame[kMaxChannels] = {};
    std::int32_t ints[kMaxChannels] = {};
    for (std::int32_t k = 0; k < count; ++k) {
        for (int c = 0; c < in_channels; ++c) frame[c] = requests[c].output[k];
        ScaleFrame(factor, in_channels, frame);
        AdaptFrame(in_channels, out_channels, frame);
        for (int c = 0; c < out_channels; ++c) ints[c] = QuantizeValue(frame[c]);
        (void)WSTM_WriteSample(output, ints, out_channels);
    }
}

// The first failure of the file side so far: -16380 for the input, -16381
// for the output, else 0.
int TransferStatus(const ResampleJob& job)
{
    if (WSTM_GetTransferError(job.output_stream) < 0) return kErrWriteOutput;
    if (WSTM_GetTransferError(job.input_stream) < 0) return kErrReadInput;
    return kStatusOk;
}

void ShowShare(std::int64_t written, int total)
{
    if (total <= 0) return;
    const double share = std::trunc(static_cast<double>(written) * 100.0 / total + 0.5);
    ShowProgress(static_cast<int>(std::min(share, 2147483647.0)), 100);
}

// A run that ends early leaves an output that is about to be deleted:
// declaring only the frames written keeps the close from filling the rest
// of the file with silence first.
void DeclareOnlyWrittenFrames(WstmHandle* output)
{
    if (output == nullptr || output->block_size <= 0) return;
    const std::int64_t frames =
        (static_cast<std::int64_t>(output->written_end) - output->data_offset) / output->block_size;
    if (frames >= 0 && frames < static_cast<std::int64_t>(output->num_samples)) {
        output->num_samples = static_cast<std::uint32_t>(frames);
    }
}

std::int32_t ScalePosition(std::int32_t position, double ratio)
{
    const double scaled = std::trunc(position * ratio + 0.5);
    if (scaled >= 2147483647.0) return 2147483647;
    if (scaled <= -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(scaled);
}

}  // namespace

int ConvertAudio(ResampleJob* job)
{
    PrintProgressStart();
    int status = PrepareConverters(job);
    if (status == kStatusOk) status = RunBlockLoop(job);
    ReleaseConverters(job);
    if (status == kStatusOk && interrupt_requested.load(std::memory_order_relaxed) == 1) {
        status = kStatusInterrupted;
    }
    if (status != kStatusOk) {
        DeclareOnlyWrittenFrames(job->output_stream);
        return status;
    }
    PrintProgressEnd();
    return kStatusOk;
}

int PrepareConverters(ResampleJob* job)
{
    std::int32_t error = 0;
    NUVSRC_Initialize(&error);

    const int channels = job->input_num_channels;
    for (int c = 0; c < channels; ++c) {
        job->channel_workers[c] = NUVDLG_Create(job->worker_areas[c], kWorkerAreaSize);
        if (job->channel_workers[c] == nullptr) return kErrMemory;
        // Two blocks of input: one being converted, one being read.
        job->channel_buffers[c] = static_cast<double*>(
            std::calloc(2 * static_cast<std::size_t>(job->input_sampling_rate), sizeof(double)));
        if (job->channel_buffers[c] == nullptr) return kErrMemory;
    }

    error = 0;
    INuvSamplingRateConverter* first = NUVSRC_Create(&error);
    job->channel_converters[0] = first;
    if (first == nullptr || error != 0) return kErrMemory;

    const std::uint64_t available = platform::AvailablePhysicalMemory();
    const std::int64_t budget =
        available > kMemoryReserve ? static_cast<std::int64_t>(available - kMemoryReserve) : 0;
    first->SetFilterMemorySize(budget, &error);
    first->SetQuality(job->quality, &error);
    first->SetSamplingRates(job->input_sampling_rate, job->output_sampling_rate, &error);

    for (int c = 1; c < channels; ++c) {
        error = 0;
        job->channel_converters[c] = first->Clone(&error);
        if (job->channel_converters[c] == nullptr || error != 0) return kErrMemory;
    }
    return kStatusOk;
}

int InputFramesToConsume(const ResampleJob& job)
{
    const double wanted = std::trunc(static_cast<double>(job.input_sampling_rate) /
                                         static_cast<double>(job.output_sampling_rate) *
                                         job.output_num_samples +
                                     0.5);
    if (!(wanted < static_cast<double>(job.input_num_samples))) return job.input_num_samples;
    return static_cast<int>(wanted);
}

namespace {

// Reads `length` frames into half `half` of the channels' input buffers.
int ReadBlock(ResampleJob* job, int half, int length)
{
    const int channels = job->input_num_channels;
    const std::size_t base = static_cast<std::size_t>(half) * static_cast<std::size_t>(job->input_sampling_rate);
    std::int32_t frame[kMaxChannels] = {};
    for (int k = 0; k < length; ++k) {
        if (WSTM_ReadSample(job->input_stream, frame, channels) < 0) return kErrReadInput;
        for (int c = 0; c < channels; ++c) job->channel_buffers[c][base + k] = frame[c];
    }
    return kStatusOk;
}

bool Interrupted()
{
    return interrupt_requested.load(std::memory_order_relaxed) == 1;
}

}  // namespace

// One second of input at a time. While the channels' workers convert block
// i, this thread writes the converted block i - 1 and reads block i + 1, so
// the file work overlaps the conversion; the blocks still reach the
// converters and the output in order.
int RunBlockLoop(ResampleJob* job)
{
    const int total = job->output_num_samples;
    const int in_rate = job->input_sampling_rate;
    const int out_rate = job->output_sampling_rate;
    const int channels = job->input_num_channels;
    const int consumed = InputFramesToConsume(*job);
    const int full_blocks = consumed / in_rate;
    const int rest = consumed % in_rate;
    const int blocks = full_blocks + (rest > 0 ? 1 : 0);
    auto length_of = [&](int block) { return block < full_blocks ? in_rate : rest; };

    ChannelRequest requests[kMaxChannels];
    for (int c = 0; c < channels; ++c) requests[c].converter = job->channel_converters[c];
    StagedBlock staged;

    std::int64_t written = 0;
    // Writes the staged block; gives the first failure of the file side.
    auto emit_staged = [&]() {
        if (staged.Count() <= 0) return TransferStatus(*job);
        EmitFrames(job, staged.Requests());
        written += staged.Count();
        staged.Clear();
        const int status = TransferStatus(*job);
        if (status == kStatusOk) ShowShare(written, total);
        return status;
    };

    if (blocks > 0) {
        if (Interrupted()) return kStatusInterrupted;
        const int status = ReadBlock(job, 0, length_of(0));
        if (status < 0) return status;
    }
    for (int block = 0; block < blocks; ++block) {
        if (Interrupted()) return kStatusInterrupted;
        const int half = block % 2;
        for (int c = 0; c < channels; ++c) {
            requests[c].input = job->channel_buffers[c] + static_cast<std::size_t>(half) * in_rate;
            requests[c].count = length_of(block);
        }
        std::int32_t numbers[kMaxChannels] = {};
        PostToWorkers(job, requests, ConvertChannel, numbers);
        const int emit_status = emit_staged();
        int read_status = kStatusOk;
        if (emit_status == kStatusOk && block + 1 < blocks && !Interrupted()) {
            read_status = ReadBlock(job, 1 - half, length_of(block + 1));
        }
        // The workers use the requests and the input buffers: wait for them
        // before anything returns.
        const int convert_status = WaitForChannels(job, requests, ConvertChannel, numbers);
        if (emit_status < 0) return emit_status;
        if (convert_status < 0) return convert_status;
        if (read_status < 0) return read_status;
        if (!staged.Take(requests, channels)) return kErrMemory;
    }
    if (const int status = emit_staged(); status < 0) return status;

    for (int c = 0; c < channels; ++c) {
        requests[c].input = nullptr;
        requests[c].count = 0;
    }
    int status = RunOnWorkers(job, requests, FlushChannel);
    if (status < 0) return status;
    EmitFrames(job, requests);
    written += requests[0].output_count;

    const std::int32_t silence[kMaxChannels] = {};
    for (; written < total; ++written) {
        if (written % out_rate == 0) {
            if (Interrupted()) return kStatusInterrupted;
            status = TransferStatus(*job);
            if (status < 0) return status;
            ShowShare(written, total);
        }
        (void)WSTM_WriteSample(job->output_stream, silence, job->output_num_channels);
    }
    status = TransferStatus(*job);
    if (status < 0) return status;
    ShowShare(written, total);
    return kStatusOk;
}

int ReleaseConverters(ResampleJob* job)
{
    for (int c = 0; c < kMaxChannels; ++c) {
        if (job->channel_converters[c] != nullptr) {
            job->channel_converters[c]->Destroy(NUVSRC_DiscardError());
            job->channel_converters[c] = nullptr;
        }
        std::free(job->channel_buffers[c]);
        job->channel_buffers[c] = nullptr;
        if (job->channel_workers[c] != nullptr) {
            NUVDLG_Destroy(job->channel_workers[c]);
            job->channel_workers[c] = nullptr;
        }
    }
    std::int32_t error = 0;
    NUVSRC_Finalize(&error);
    return kStatusOk;
}

void ApplyVolume(const ResampleJob& job, double* frame)
{
    ScaleFrame(job.volume_factor, job.input_num_channels, frame);
}

void AdaptChannels(const ResampleJob& job, double* frame)
{
    AdaptFrame(job.input_num_channels, job.output_num_channels, frame);
}

void QuantizeFrame(const double* frame, std::int32_t* ints, int count)
{
    for (int c = 0; c < count; ++c) ints[c] = QuantizeValue(frame[c]);
}

int CopyMarkersAndLoops(ResampleJob* job)
{
    const double ratio = static_cast<double>(job->output_sampling_rate) /
                         static_cast<double>(job->input_sampling_rate);
    const std::int32_t markers = WSTM_GetNumMarkers(job->input_stream);
    if (markers > 0) {
        (void)WSTM_SetNumMarkers(job->output_stream, markers);
        for (std::int32_t i = 0; i < markers; ++i) {
            std::int32_t position = 0;
            if (WSTM_GetMarker(job->input_stream, i, &position) < 0) continue;
            (void)WSTM_SetMarker(job->output_stream, i, ScalePosition(position, ratio));
        }
    }
    const std::int32_t loops = WSTM_GetNumLoops(job->input_stream);
    if (loops > 0) {
        (void)WSTM_SetNumLoops(job->output_stream, loops);
        for (std::int32_t i = 0; i < loops; ++i) {
            std::int32_t start = 0;
            std::int32_t end = 0;
            if (WSTM_GetLoop(job->input_stream, i, &start, &end) < 0) continue;
            (void)WSTM_SetLoop(job->output_stream, i, ScalePosition(start, ratio),
                               ScalePosition(end, ratio));
        }
    }
    return kStatusOk;
}

}  // namespace tolmek
