#include "app/pipeline.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/console_text.h"
#include "app/status.h"
#include "platform/memory.h"
#include "platform/sync.h"
#include "resampler/nuv_src.h"
#include "runtime/nuvdlg.h"
#include "wavestream/wstm/wstm.h"

namespace tolmek {

namespace {

constexpr std::uint64_t kMemoryReserve = 0x4000000;  // 64 MiB left to everything else

// Blocks in flight between this thread and the channels' workers. While a
// worker converts block i, this thread writes out finished blocks and reads
// input ahead, up to InputSlots blocks beyond the last one written; a worker
// may finish up to kOutputSlots blocks before they are written. Neither side
// then waits for the other's hand-off, only for the other's throughput.
constexpr int kOutputSlots = 3;
constexpr int kMaxInputSlots = 6;

// Input read ahead: deeper for the common one or two channels, where it
// costs a few megabytes, shallower for more.
int InputSlots(int channels)
{
    return channels <= 2 ? kMaxInputSlots : kOutputSlots;
}

// A block whose input length is kFlushBlock asks the converters for the
// samples they still owe (Flush) instead of converting input.
constexpr std::int32_t kFlushBlock = -1;

// Counts that only grow; the waiting side sleeps until one reaches a target.
// A stop raises every count to kStopped, so no waiter can sleep through it.
constexpr std::int32_t kStopped = 0x7FFFFFFF;

bool WaitForCount(const std::atomic<std::int32_t>& count, std::int32_t target)
{
    std::int32_t seen = count.load(std::memory_order_acquire);
    while (seen < target) {
        platform::WaitWhileEqual(&count, seen);
        seen = count.load(std::memory_order_acquire);
    }
    return seen != kStopped;
}

void RaiseCount(std::atomic<std::int32_t>& count, std::int32_t value)
{
    count.store(value, std::memory_order_release);
    platform::WakeAll(&count);
}

struct BlockRing;

// One channel's share of the ring: its converter, input slots (in the job's
// channel buffer) and the converted samples of each slot.
struct ChannelLane {
    BlockRing* ring = nullptr;
    INuvSamplingRateConverter* converter = nullptr;
    double* input[kMaxInputSlots] = {};
    double* output[kOutputSlots] = {};
    std::int32_t capacity[kOutputSlots] = {};
    std::int32_t count[kOutputSlots] = {};
    std::int32_t error[kOutputSlots] = {};  // converter error of each output slot
    std::int32_t request = 0;  // number of the posted job, 0 if none
    std::atomic<std::int32_t> done{0};  // blocks converted and staged
};

struct BlockRing {
    int input_slots = kOutputSlots;
    std::int32_t length[kMaxInputSlots] = {};  // input frames of each input slot, or kFlushBlock
    std::atomic<std::int32_t> produced{0};  // blocks whose input is ready
    std::atomic<std::int32_t> consumed{0};  // blocks written out
    ChannelLane lanes[kMaxChannels];

    BlockRing() = default;
    BlockRing(const BlockRing&) = delete;
    BlockRing& operator=(const BlockRing&) = delete;
    ~BlockRing()
    {
        for (ChannelLane& lane : lanes) {
            for (double* samples : lane.output) std::free(samples);
        }
    }
};

// Copies the converter's output into the lane's slot, growing it if needed.
bool StageOutput(ChannelLane& lane, int slot, const double* samples, std::int32_t count)
{
    if (count > lane.capacity[slot]) {
        std::free(lane.output[slot]);
        lane.output[slot] = static_cast<double*>(std::malloc(static_cast<std::size_t>(count) * sizeof(double)));
        lane.capacity[slot] = lane.output[slot] != nullptr ? count : 0;
        if (lane.output[slot] == nullptr) return false;
    }
    if (count > 0) std::memcpy(lane.output[slot], samples, static_cast<std::size_t>(count) * sizeof(double));
    lane.count[slot] = count;
    return true;
}

// The job each channel's worker runs for the whole conversion: convert the
// blocks in order as their input arrives, stage the samples once the slot
// has been written out, and end after the flush, a failure or a stop.
int RunChannel(void* argument)
{
    ChannelLane& lane = *static_cast<ChannelLane*>(argument);
    BlockRing& ring = *lane.ring;
    for (std::int32_t block = 0;; ++block) {
        const int in_slot = block % ring.input_slots;
        const int slot = block % kOutputSlots;
        if (!WaitForCount(ring.produced, block + 1)) return 0;
        const std::int32_t length = ring.length[in_slot];
        const double* samples = nullptr;
        std::int32_t count = 0;
        std::int32_t error = 0;
        if (length == kFlushBlock) {
            lane.converter->Flush(&samples, &count, &error);
        } else {
            lane.converter->Convert(lane.input[in_slot], length, &samples, &count, &error);
        }
        // The slot is free once its previous block has been written out.
        if (!WaitForCount(ring.consumed, block + 1 - kOutputSlots)) return 0;
        if (error == 0 && !StageOutput(lane, slot, samples, count)) error = NUVSRC_ERR_MEMORY;
        lane.error[slot] = error;
        RaiseCount(lane.done, block + 1);
        if (error != 0 || length == kFlushBlock) return 0;
    }
}

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

// Half away from zero: x + 0.5 (or x - 0.5) converted toward zero, after
// clipping to the 32-bit range; not a number gives 0. Inside the clip limits
// the sum always fits 32 bits, so the conversion itself does the truncation.
// Written without branches so that a block of values rounds as vectors.
inline std::int32_t QuantizeValue(double x)
{
    const double clipped = std::min(std::max(x, -2147483648.0), 2147483647.0);
    const double half = clipped >= 0.0 ? 0.5 : -0.5;
    return x == x ? static_cast<std::int32_t>(clipped + half) : 0;
}

// Frames the reading and writing loops take at a time.
constexpr std::int32_t kChunkFrames = 256;

// Gain, channels, rounding and writing of the frames the converters staged
// in `slot`. Failed writes are found through the stream's transfer state.
void EmitFrames(ResampleJob* job, const BlockRing& ring, int slot)
{
    const int in_channels = job->input_num_channels;
    const int out_channels = job->output_num_channels;
    const std::int32_t count = ring.lanes[0].count[slot];
    const double* samples[kMaxChannels] = {};
    for (int c = 0; c < in_channels; ++c) samples[c] = ring.lanes[c].output[slot];
    const double factor = job->volume_factor;
    WstmHandle* const output = job->output_stream;
    std::int32_t ints[kChunkFrames * kMaxChannels];
    for (std::int32_t k0 = 0; k0 < count; k0 += kChunkFrames) {
        const std::int32_t n = std::min(kChunkFrames, count - k0);
        if (in_channels == out_channels) {
            // Channel by channel; a factor of 1 changes no value.
            for (int c = 0; c < in_channels; ++c) {
                const double* s = samples[c] + k0;
                for (std::int32_t k = 0; k < n; ++k) ints[k * out_channels + c] = QuantizeValue(s[k] * factor);
            }
        } else {
            double frame[kMaxChannels] = {};
            for (std::int32_t k = 0; k < n; ++k) {
                for (int c = 0; c < in_channels; ++c) frame[c] = samples[c][k0 + k];
                ScaleFrame(factor, in_channels, frame);
                AdaptFrame(in_channels, out_channels, frame);
                for (int c = 0; c < out_channels; ++c) ints[k * out_channels + c] = QuantizeValue(frame[c]);
            }
        }
        for (std::int32_t k = 0; k < n; ++k) (void)WSTM_WriteSample(output, ints + k * out_channels, out_channels);
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
        // Input slots of the blocks in flight (see RunBlockLoop).
        job->channel_buffers[c] = static_cast<double*>(
            std::calloc(static_cast<std::size_t>(InputSlots(channels)) *
                            static_cast<std::size_t>(job->input_sampling_rate),
                        sizeof(double)));
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

// Reads `length` frames into the channels' input slots of `slot`, a chunk
// of frames at a time, then spreads each chunk channel by channel.
int ReadBlock(ResampleJob* job, const BlockRing& ring, int slot, int length)
{
    const int channels = job->input_num_channels;
    std::int32_t ints[kChunkFrames * kMaxChannels];
    for (int k0 = 0; k0 < length; k0 += kChunkFrames) {
        const int n = std::min(kChunkFrames, length - k0);
        for (int k = 0; k < n; ++k) {
            if (WSTM_ReadSample(job->input_stream, ints + k * channels, channels) < 0) return kErrReadInput;
        }
        for (int c = 0; c < channels; ++c) {
            double* to = ring.lanes[c].input[slot] + k0;
            for (int k = 0; k < n; ++k) to[k] = ints[k * channels + c];
        }
    }
    return kStatusOk;
}

bool Interrupted()
{
    return interrupt_requested.load(std::memory_order_relaxed) == 1;
}

// Ends the workers' jobs: a stop raises every count they may wait on, then
// each posted job is waited for. Gives `status` back.
int StopChannels(BlockRing& ring, ResampleJob* job, int status)
{
    RaiseCount(ring.produced, kStopped);
    RaiseCount(ring.consumed, kStopped);
    for (int c = 0; c < job->input_num_channels; ++c) {
        if (ring.lanes[c].request >= 1) NUVDLG_Wait(job->channel_workers[c], ring.lanes[c].request);
        ring.lanes[c].request = 0;
    }
    return status;
}

// The outcome of block `slot` on every channel: 0, or a converter failure.
int BlockStatus(const BlockRing& ring, int channels, int slot)
{
    int status = kStatusOk;
    for (int c = 0; c < channels; ++c) {
        if (ring.lanes[c].error[slot] == NUVSRC_ERR_MEMORY) return kErrMemory;
        if (ring.lanes[c].error[slot] != 0) status = kErrInternal;
        // Every channel is fed the same counts and so produces as many
        // samples; anything else is a fault of the converter.
        if (ring.lanes[c].count[slot] != ring.lanes[0].count[slot]) status = kErrInternal;
    }
    return status;
}

}  // namespace

// One second of input at a time, then the flush. The channels' workers
// convert the blocks in order while this thread reads ahead and writes out
// what they finished.
int RunBlockLoop(ResampleJob* job)
{
    const int total = job->output_num_samples;
    const int in_rate = job->input_sampling_rate;
    const int out_rate = job->output_sampling_rate;
    const int channels = job->input_num_channels;
    const int consumed = InputFramesToConsume(*job);
    const int full_blocks = consumed / in_rate;
    const int rest = consumed % in_rate;
    // The blocks of input, then the flush as one more block.
    const std::int32_t blocks = full_blocks + (rest > 0 ? 1 : 0) + 1;
    auto length_of = [&](std::int32_t block) {
        if (block == blocks - 1) return kFlushBlock;
        return block < full_blocks ? in_rate : rest;
    };

    BlockRing ring;
    ring.input_slots = InputSlots(channels);
    for (int c = 0; c < channels; ++c) {
        ChannelLane& lane = ring.lanes[c];
        lane.ring = &ring;
        lane.converter = job->channel_converters[c];
        for (int slot = 0; slot < ring.input_slots; ++slot) {
            lane.input[slot] = job->channel_buffers[c] + static_cast<std::size_t>(slot) * in_rate;
        }
    }
    // Puts block `block` into its slot and hands it to the workers.
    auto produce = [&](std::int32_t block) {
        const int slot = block % ring.input_slots;
        const std::int32_t length = length_of(block);
        if (length > 0) {
            const int status = ReadBlock(job, ring, slot, length);
            if (status < 0) return status;
        }
        ring.length[slot] = length;
        RaiseCount(ring.produced, block + 1);
        return static_cast<int>(kStatusOk);
    };

    if (Interrupted()) return kStatusInterrupted;
    for (int c = 0; c < channels; ++c) {
        ring.lanes[c].request = NUVDLG_Request(job->channel_workers[c], &RunChannel, &ring.lanes[c]);
        if (ring.lanes[c].request < 1) return StopChannels(ring, job, kErrInternal);
    }
    for (std::int32_t block = 0; block < ring.input_slots && block < blocks; ++block) {
        if (const int status = produce(block); status < 0) return StopChannels(ring, job, status);
    }

    std::int64_t written = 0;
    for (std::int32_t block = 0; block < blocks; ++block) {
        if (Interrupted()) return StopChannels(ring, job, kStatusInterrupted);
        const int slot = block % kOutputSlots;
        for (int c = 0; c < channels; ++c) (void)WaitForCount(ring.lanes[c].done, block + 1);
        if (const int status = BlockStatus(ring, channels, slot); status < 0) {
            return StopChannels(ring, job, status);
        }
        // Every channel is done with this block's input slot: refill it
        // first, so the workers never run dry while this thread writes.
        if (block + ring.input_slots < blocks) {
            if (const int status = produce(block + ring.input_slots); status < 0) {
                return StopChannels(ring, job, status);
            }
        }
        EmitFrames(job, ring, slot);
        written += ring.lanes[0].count[slot];
        RaiseCount(ring.consumed, block + 1);
        if (const int status = TransferStatus(*job); status < 0) return StopChannels(ring, job, status);
        if (block < blocks - 1) ShowShare(written, total);
    }
    (void)StopChannels(ring, job, kStatusOk);

    const std::int32_t silence[kMaxChannels] = {};
    for (; written < total; ++written) {
        if (written % out_rate == 0) {
            if (Interrupted()) return kStatusInterrupted;
            const int status = TransferStatus(*job);
            if (status < 0) return status;
            ShowShare(written, total);
        }
        (void)WSTM_WriteSample(job->output_stream, silence, job->output_num_channels);
    }
    if (const int status = TransferStatus(*job); status < 0) return status;
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
