#include "app/pipeline.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>
#include <type_traits>

#include "app/block_ring.h"
#include "app/console_text.h"
#include "app/frame_ops.h"
#include "app/status.h"
#include "platform/memory.h"
#include "resampler/nuv_src.h"
#include "runtime/nuvdlg.h"
#include "wavestream/wstm/wstm.h"

namespace tolmek {

namespace {

constexpr std::uint64_t kMemoryReserve = 0x4000000;  // 64 MiB left to everything else

// Input frames of a full block of this job: the channel buffers are sized,
// the ring attached and the blocks planned with the same length.
int JobBlockFrames(const ResampleJob& job) {
    return BlockFrames(job.input_num_channels, job.input_sampling_rate, job.input_num_samples);
}

// Gain, channels, rounding and writing of the frames the converters staged
// in `slot`, the first of which is output frame `first`; adds the values
// clipped to the job's count. Failed writes are found through the stream's
// transfer state.
void EmitFrames(ResampleJob* job, const BlockRing& ring, int slot, std::int64_t first) {
    FrameShape shape{job->input_num_channels, job->output_num_channels, job->volume_factor,
                     job->output_num_bits,    job->output_float,        job->dither};
    const std::int32_t count = ring.lanes[0].count[slot];
    WstmHandle* const output = job->output_stream;
    const double* planes[kMaxChannels] = {};
    std::int32_t ints[kChunkFrames * kMaxChannels];
    std::int64_t clipped = 0;
    for (std::int32_t k0 = 0; k0 < count; k0 += kChunkFrames) {
        const std::int32_t n = std::min(kChunkFrames, count - k0);
        for (int c = 0; c < shape.in_channels; ++c)
            planes[c] = ring.lanes[c].output[slot] + k0;
        shape.first_frame = first + k0;
        clipped += RenderFrames(shape, planes, n, ints);
        (void)WSTM_WriteFrames(output, ints, shape.out_channels, n);
    }
    job->clipped_samples += clipped;
}

// The first failure of the file side so far: kErrReadInput for the input,
// kErrWriteOutput for the output, else kStatusOk.
int TransferStatus(const ResampleJob& job) {
    if (WSTM_GetTransferError(job.output_stream) < 0) return kErrWriteOutput;
    if (WSTM_GetTransferError(job.input_stream) < 0) return kErrReadInput;
    return kStatusOk;
}

// Progress as a percentage of the requested output, rounded to the nearest.
void ShowShare(std::int64_t written, int total) {
    constexpr int kWhole = 100;
    if (total <= 0) return;
    const double share = std::trunc(static_cast<double>(written) * kWhole / total + 0.5);
    constexpr double kMaxShare = std::numeric_limits<int>::max();
    ShowProgress(static_cast<int>(std::min(share, kMaxShare)), kWhole);
}

// A run that ends early leaves an output that is about to be deleted:
// declaring only the frames written keeps the close from filling the rest
// of the file with silence first.
void DeclareOnlyWrittenFrames(WstmHandle* output) {
    if (output == nullptr || output->block_size <= 0) return;
    const std::int64_t frames =
        (static_cast<std::int64_t>(output->written_end) - output->data_offset) / output->block_size;
    if (frames >= 0 && frames < static_cast<std::int64_t>(output->num_samples)) {
        output->num_samples = static_cast<std::uint32_t>(frames);
    }
}

// trunc(position x ratio + 0.5), held to the 32-bit range.
std::int32_t ScalePosition(std::int32_t position, double ratio) {
    constexpr std::int32_t kHighest = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();
    const double scaled = std::trunc(position * ratio + 0.5);
    if (scaled >= kHighest) return kHighest;
    if (scaled <= kLowest) return kLowest;
    return static_cast<std::int32_t>(scaled);
}

}  // namespace

int ConvertAudio(ResampleJob* job) {
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

int PrepareConverters(ResampleJob* job) {
    std::int32_t error = 0;
    NUVSRC_Initialize(&error);

    const int channels = job->input_num_channels;
    for (int c = 0; c < channels; ++c) {
        job->channel_workers[c] = NUVDLG_Create(job->worker_areas[c], kWorkerAreaSize);
        if (job->channel_workers[c] == nullptr) return kErrMemory;
        // Input slots of the blocks in flight (see RunBlockLoop).
        job->channel_buffers[c] =
            static_cast<double*>(std::calloc(static_cast<std::size_t>(InputSlots(channels)) *
                                                 static_cast<std::size_t>(JobBlockFrames(*job)),
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

int InputFramesToConsume(const ResampleJob& job) {
    const double wanted =
        std::trunc(static_cast<double>(job.input_sampling_rate) /
                       static_cast<double>(job.output_sampling_rate) * job.output_num_samples +
                   0.5);
    if (!(wanted < static_cast<double>(job.input_num_samples))) return job.input_num_samples;
    return static_cast<int>(wanted);
}

namespace {

// Reads `length` frames into the channels' input slots of `slot`, a chunk
// of frames at a time, then spreads each chunk channel by channel. A float
// file's values come as doubles, with their headroom beyond full scale.
template <class Value>
int ReadBlockAs(ResampleJob* job, const BlockRing& ring, int slot, int length) {
    const int channels = job->input_num_channels;
    Value values[kChunkFrames * kMaxChannels];
    for (int k0 = 0; k0 < length; k0 += kChunkFrames) {
        const int n = std::min(kChunkFrames, length - k0);
        if constexpr (std::is_same_v<Value, double>) {
            if (WSTM_ReadFloatFrames(job->input_stream, values, channels, n) < 0)
                return kErrReadInput;
        } else {
            if (WSTM_ReadFrames(job->input_stream, values, channels, n) < 0) return kErrReadInput;
        }
        for (int c = 0; c < channels; ++c) {
            double* to = ring.lanes[c].input[slot] + k0;
            for (int k = 0; k < n; ++k)
                to[k] = values[k * channels + c];
        }
    }
    return kStatusOk;
}

int ReadBlock(ResampleJob* job, const BlockRing& ring, int slot, int length) {
    return job->input_float ? ReadBlockAs<double>(job, ring, slot, length)
                            : ReadBlockAs<std::int32_t>(job, ring, slot, length);
}

bool Interrupted() { return interrupt_requested.load(std::memory_order_relaxed) == 1; }

// Ends the workers' jobs (see StopLanes) and gives `status` back.
int StopChannels(BlockRing& ring, ResampleJob* job, int status) {
    StopLanes(ring, job->channel_workers, job->input_num_channels);
    return status;
}

// Blocks of BlockFrames input frames (one second for up to six channels and
// inputs of some length, a quarter otherwise), then the flush as one more
// block.
struct BlockPlan {
    std::int32_t full_blocks = 0;  // full blocks of input
    std::int32_t rest = 0;         // frames of the last, shorter block (0: none)
    std::int32_t block_frames = 0;
    std::int32_t flush_block = 0;
    std::int32_t blocks = 0;  // the input blocks and the flush

    explicit BlockPlan(const ResampleJob& job) : block_frames(JobBlockFrames(job)) {
        const int consumed = InputFramesToConsume(job);
        full_blocks = consumed / block_frames;
        rest = consumed % block_frames;
        flush_block = full_blocks + (rest > 0 ? 1 : 0);
        blocks = flush_block + 1;
    }
    std::int32_t LengthOf(std::int32_t block) const {
        if (block == flush_block) return kFlushBlock;
        return block < full_blocks ? block_frames : rest;
    }
};

// What writing the blocks out needs, whichever thread does it.
struct BlockWriter {
    ResampleJob* job;
    BlockRing* ring;
    BlockPlan plan;
    std::atomic<std::int64_t> written{0};  // output frames written so far
};

// Puts block `block` into its input slot and hands it to the workers.
int ProduceBlock(BlockWriter& writer, std::int32_t block) {
    BlockRing& ring = *writer.ring;
    const int slot = block % ring.input_slots;
    const std::int32_t length = writer.plan.LengthOf(block);
    if (length > 0) {
        const int status = ReadBlock(writer.job, ring, slot, length);
        if (status < 0) return status;
    }
    ring.length[slot] = length;
    ring.Raise(ring.produced, block + 1);
    return kStatusOk;
}

// The write step of block `block` (every lane has staged it): its status,
// the read of the block that reuses its input slot, its frames.
int WriteBlock(void* context, std::int32_t block) {
    BlockWriter& writer = *static_cast<BlockWriter*>(context);
    const BlockRing& ring = *writer.ring;
    const int slot = block % kOutputSlots;
    if (const int status = BlockStatus(ring, ring.channels, slot); status < 0) return status;
    // Every channel is done with this block's input slot: refill it first,
    // so the workers never run dry while the block is written.
    const std::int32_t next = block + ring.input_slots;
    if (next < writer.plan.blocks) {
        if (const int status = ProduceBlock(writer, next); status < 0) return status;
    }
    EmitFrames(writer.job, ring, slot, writer.written.load(std::memory_order_relaxed));
    writer.written.fetch_add(ring.lanes[0].count[slot], std::memory_order_relaxed);
    return TransferStatus(*writer.job);
}

// Whether the channels' workers write the blocks out themselves: when there
// is a processor for each of them and none to spare, a writing thread of its
// own would share a processor with one channel and hold that one back while
// the other waits for it.
bool LanesWrite(int channels) {
    const unsigned processors = std::thread::hardware_concurrency();
    return processors != 0 && static_cast<unsigned>(channels) >= processors;
}

// This thread writes each block once every channel has staged it.
int WriteBlocksHere(BlockWriter& writer) {
    BlockRing& ring = *writer.ring;
    ResampleJob* job = writer.job;
    for (std::int32_t block = 0; block < writer.plan.blocks; ++block) {
        if (Interrupted()) return StopChannels(ring, job, kStatusInterrupted);
        for (int c = 0; c < ring.channels; ++c)
            (void)WaitForCount(ring.lanes[c].done, block + 1);
        if (const int status = WriteBlock(&writer, block); status < 0) {
            return StopChannels(ring, job, status);
        }
        ring.Raise(ring.consumed, block + 1);
        if (block != writer.plan.flush_block) {
            ShowShare(writer.written.load(std::memory_order_relaxed), job->output_num_samples);
        }
    }
    return kStatusOk;
}

// The lanes write (RunReadySteps); this thread follows their progress,
// shows it and stops them on an interruption or a failed step.
int FollowLaneWriting(BlockWriter& writer) {
    BlockRing& ring = *writer.ring;
    ResampleJob* job = writer.job;
    std::int32_t written_blocks = 0;
    while (written_blocks < writer.plan.blocks) {
        if (Interrupted()) return StopChannels(ring, job, kStatusInterrupted);
        (void)WaitForCount(ring.consumed, written_blocks + 1);
        const std::int32_t seen = ring.consumed.load(std::memory_order_acquire);
        if (seen == kStopped) {
            const int failure = ring.failure.load(std::memory_order_seq_cst);
            return StopChannels(ring, job, failure < 0 ? failure : kErrInternal);
        }
        written_blocks = seen;
        if (written_blocks < writer.plan.blocks) {
            ShowShare(writer.written.load(std::memory_order_relaxed), job->output_num_samples);
        }
    }
    return kStatusOk;
}

// Silence up to the requested length, a chunk at a time, polled once per
// second of output.
int PadWithSilence(ResampleJob* job, std::int64_t written) {
    static constexpr std::int32_t kSilence[kChunkFrames * kMaxChannels] = {};
    const int total = job->output_num_samples;
    const int out_rate = job->output_sampling_rate;
    while (written < total) {
        const std::int64_t into_second = written % out_rate;
        if (into_second == 0) {
            if (Interrupted()) return kStatusInterrupted;
            const int status = TransferStatus(*job);
            if (status < 0) return status;
            ShowShare(written, total);
        }
        const std::int64_t n =
            std::min({total - written, out_rate - into_second, std::int64_t{kChunkFrames}});
        (void)WSTM_WriteFrames(job->output_stream, kSilence, job->output_num_channels,
                               static_cast<std::int32_t>(n));
        written += n;
    }
    if (const int status = TransferStatus(*job); status < 0) return status;
    ShowShare(written, total);
    return kStatusOk;
}

}  // namespace

// A block of input at a time, then the flush. The channels' workers
// convert the blocks in order while the input is read ahead and what they
// finished is written out, by this thread or by the workers themselves.
int RunBlockLoop(ResampleJob* job) {
    const int channels = job->input_num_channels;
    BlockRing ring;
    ring.input_slots = InputSlots(channels);
    ring.Attach(channels, job->channel_converters, job->channel_buffers, JobBlockFrames(*job));
    BlockWriter writer{job, &ring, BlockPlan(*job)};
    ShareProcessors(ring, std::thread::hardware_concurrency());
    const bool lanes_write = LanesWrite(channels);
    if (lanes_write) {
        ring.write_step = &WriteBlock;
        ring.write_context = &writer;
        ring.blocks = writer.plan.blocks;
    }

    if (Interrupted()) return kStatusInterrupted;
    if (!StartLanes(ring, job->channel_workers, channels))
        return StopChannels(ring, job, kErrInternal);
    for (std::int32_t block = 0; block < ring.input_slots && block < writer.plan.blocks; ++block) {
        if (const int status = ProduceBlock(writer, block); status < 0) {
            return StopChannels(ring, job, status);
        }
    }
    RunReadySteps(ring);  // a lane may have staged block 0 before the input was all in
    const int status = lanes_write ? FollowLaneWriting(writer) : WriteBlocksHere(writer);
    if (status < 0) return status;
    (void)StopChannels(ring, job, kStatusOk);
    return PadWithSilence(job, writer.written.load(std::memory_order_relaxed));
}

int ReleaseConverters(ResampleJob* job) {
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

int CopyMarkersAndLoops(ResampleJob* job) {
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
