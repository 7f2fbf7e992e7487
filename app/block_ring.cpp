#include "app/block_ring.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "app/status.h"
#include "platform/sync.h"
#include "resampler/nuv_src.h"
#include "runtime/nuvdlg.h"

namespace tolmek {

int InputSlots(int channels) { return channels <= 2 ? kMaxInputSlots : kOutputSlots; }

bool WaitForCount(const std::atomic<std::int32_t>& count, std::int32_t target) {
    std::int32_t seen = count.load(std::memory_order_acquire);
    while (seen < target) {
        platform::WaitWhileEqual(&count, seen);
        seen = count.load(std::memory_order_acquire);
    }
    return seen != kStopped;
}

namespace {

void RaiseCount(std::atomic<std::int32_t>& count, std::int32_t value) {
    std::int32_t seen = count.load(std::memory_order_seq_cst);
    while (seen < value && !count.compare_exchange_weak(seen, value, std::memory_order_seq_cst)) {
    }
    platform::WakeAll(&count);
}

}  // namespace

void BlockRing::Raise(std::atomic<std::int32_t>& count, std::int32_t value) {
    RaiseCount(count, value);
    progress.fetch_add(1, std::memory_order_seq_cst);
    platform::WakeAll(&progress);
}

bool BlockRing::Stopped() const {
    return produced.load(std::memory_order_acquire) == kStopped ||
           consumed.load(std::memory_order_acquire) == kStopped;
}

BlockRing::~BlockRing() {
    for (ChannelLane& lane : lanes) {
        for (double* samples : lane.output)
            std::free(samples);
    }
}

void BlockRing::Attach(int channels, INuvSamplingRateConverter* const* converters,
                       double* const* buffers, int block_frames) {
    this->channels = channels;
    for (int c = 0; c < channels; ++c) {
        ChannelLane& lane = lanes[c];
        lane.ring = this;
        lane.converter = converters[c];
        for (int slot = 0; slot < input_slots; ++slot) {
            lane.input[slot] = buffers[c] + static_cast<std::size_t>(slot) * block_frames;
        }
    }
}

namespace {

// Copies the converter's output into the lane's slot, growing it if needed.
bool StageOutput(ChannelLane& lane, int slot, const double* samples, std::int32_t count) {
    if (count > lane.capacity[slot]) {
        std::free(lane.output[slot]);
        lane.output[slot] =
            static_cast<double*>(std::malloc(static_cast<std::size_t>(count) * sizeof(double)));
        lane.capacity[slot] = lane.output[slot] != nullptr ? count : 0;
        if (lane.output[slot] == nullptr) return false;
    }
    if (count > 0)
        std::memcpy(lane.output[slot], samples, static_cast<std::size_t>(count) * sizeof(double));
    lane.count[slot] = count;
    return true;
}

// The block the next write step writes, or -1 while that step is not
// ready: every lane must have staged it, and the first blocks of input must
// be all in (the steps read the blocks after them).
std::int32_t NextStep(const BlockRing& ring) {
    const std::int32_t block = ring.consumed.load(std::memory_order_seq_cst);
    if (block >= ring.blocks) return -1;  // all written, or stopped
    const std::int32_t first_input = std::min(ring.blocks, ring.input_slots);
    if (ring.produced.load(std::memory_order_seq_cst) < first_input) return -1;
    for (int c = 0; c < ring.channels; ++c) {
        if (ring.lanes[c].done.load(std::memory_order_seq_cst) <= block) return -1;
    }
    return block;
}

}  // namespace

void RunReadySteps(BlockRing& ring) {
    if (ring.write_step == nullptr) return;
    // Every count and the flag are sequentially consistent: a lane that
    // raised its done and then found the flag taken is seen by the holder's
    // look after letting go, so no ready step is left behind.
    while (NextStep(ring) >= 0) {
        if (ring.writing.exchange(1, std::memory_order_seq_cst) != 0) return;
        // Looked at again under the flag: the holder before may have written it.
        if (const std::int32_t block = NextStep(ring); block >= 0) {
            const int status = ring.write_step(ring.write_context, block);
            if (status < 0) {
                ring.failure.store(status, std::memory_order_seq_cst);
                ring.Raise(ring.produced, kStopped);
                ring.Raise(ring.consumed, kStopped);
            } else {
                ring.Raise(ring.consumed, block + 1);
            }
        }
        ring.writing.store(0, std::memory_order_seq_cst);
    }
}

namespace {

// Whether another lane than `lane` waits for the ring.
bool OtherLaneParked(const BlockRing& ring, const ChannelLane& lane) {
    for (int c = 0; c < ring.channels; ++c) {
        const ChannelLane& other = ring.lanes[c];
        if (&other != &lane && other.parked.load(std::memory_order_seq_cst) != 0) return true;
    }
    return false;
}

// Whether another lane has staged `block` (without a failure) and will stage
// the next block after it: it runs the ready steps then, so this lane may
// leave the step of `block` to it. The write steps so go to the lane that is
// ahead instead of always to the one that completes each block, which
// would fall further behind with every step it writes, until the other
// lane, out of free output slots, waits for it: the lanes would then
// finish that many blocks apart, one processor idle meanwhile.
// The other lane may move on meanwhile and stage the slot's next block, so
// its error is taken as that of `block` only if its done still stands at
// block + 1 after the error was read (it writes a slot's error before it
// raises done past the block before).
bool OtherLaneStagesNext(const BlockRing& ring, const ChannelLane& lane, std::int32_t block) {
    if (block + 1 >= ring.blocks) return false;
    const int slot = block % kOutputSlots;
    for (int c = 0; c < ring.channels; ++c) {
        const ChannelLane& other = ring.lanes[c];
        if (&other == &lane || other.done.load(std::memory_order_seq_cst) != block + 1) continue;
        const std::int32_t error = other.error[slot].load(std::memory_order_seq_cst);
        if (error == 0 && other.done.load(std::memory_order_seq_cst) == block + 1) return true;
    }
    return false;
}

// Sleeps until `count` reaches `target`, running the write steps that are
// ready meanwhile; false on a stop. The lane is marked parked from before it
// looks for steps until it wakes: a lane that stages a block meanwhile
// leaves the steps to it (and its raise wakes it), or finds the mark too
// late and runs them itself; either way no ready step waits.
bool WaitAsLane(BlockRing& ring, ChannelLane& lane, const std::atomic<std::int32_t>& count,
                std::int32_t target) {
    for (;;) {
        const std::int32_t seen_progress = ring.progress.load(std::memory_order_seq_cst);
        // A stop raises the counts to kStopped, past any target: the count
        // is read first, so that a stop coming after it is seen below.
        const std::int32_t seen = count.load(std::memory_order_acquire);
        if (ring.Stopped()) return false;
        if (seen >= target) return true;
        lane.parked.store(1, std::memory_order_seq_cst);
        RunReadySteps(ring);
        if (count.load(std::memory_order_acquire) < target && !ring.Stopped()) {
            platform::WaitWhileEqual(&ring.progress, seen_progress);
        }
        lane.parked.store(0, std::memory_order_seq_cst);
    }
}

}  // namespace

void ShareProcessors(BlockRing& ring, unsigned processors) {
    ring.processors_shared = processors != 0 && static_cast<unsigned>(ring.channels) > processors;
    ring.free_processors.store(ring.processors_shared ? static_cast<std::int32_t>(processors) : 0,
                               std::memory_order_seq_cst);
}

namespace {

// One of the ring's processors, held while a converter runs.
class ProcessorHold {
  public:
    explicit ProcessorHold(BlockRing& ring) : ring_(ring) {
        if (!ring_.processors_shared) return;
        std::int32_t free = ring_.free_processors.load(std::memory_order_acquire);
        for (;;) {
            if (free == 0) {
                platform::WaitWhileEqual(&ring_.free_processors, 0);
                free = ring_.free_processors.load(std::memory_order_acquire);
            } else if (ring_.free_processors.compare_exchange_weak(free, free - 1,
                                                                   std::memory_order_acq_rel)) {
                return;
            }
        }
    }
    ~ProcessorHold() {
        if (!ring_.processors_shared) return;
        ring_.free_processors.fetch_add(1, std::memory_order_acq_rel);
        platform::WakeAll(&ring_.free_processors);
    }
    ProcessorHold(const ProcessorHold&) = delete;
    ProcessorHold& operator=(const ProcessorHold&) = delete;

  private:
    BlockRing& ring_;
};

// Marks a channel's worker as converting for the whole job (see
// NUVSRC_BeginConvertingThread): with a worker for every processor, the
// converters' pool would otherwise take runs whenever one worker stages or
// writes a block, and queue them on the processors both workers use.
class ConvertingThread {
  public:
    ConvertingThread() { NUVSRC_BeginConvertingThread(); }
    ~ConvertingThread() { NUVSRC_EndConvertingThread(); }
    ConvertingThread(const ConvertingThread&) = delete;
    ConvertingThread& operator=(const ConvertingThread&) = delete;
};

}  // namespace

int RunChannel(void* argument) {
    ChannelLane& lane = *static_cast<ChannelLane*>(argument);
    BlockRing& ring = *lane.ring;
    const ConvertingThread converting;
    for (std::int32_t block = 0;; ++block) {
        const int in_slot = block % ring.input_slots;
        const int slot = block % kOutputSlots;
        if (!WaitAsLane(ring, lane, ring.produced, block + 1)) return 0;
        const std::int32_t length = ring.length[in_slot];
        const double* samples = nullptr;
        std::int32_t count = 0;
        std::int32_t error = 0;
        {
            const ProcessorHold hold(ring);
            if (length == kFlushBlock) {
                lane.converter->Flush(&samples, &count, &error);
            } else {
                lane.converter->Convert(lane.input[in_slot], length, &samples, &count, &error);
            }
        }
        // The slot is free once the block it held before has been written out.
        if (!WaitAsLane(ring, lane, ring.consumed, block + 1 - kOutputSlots)) return 0;
        if (error == 0 && !StageOutput(lane, slot, samples, count)) error = NUVSRC_ERR_MEMORY;
        lane.error[slot].store(error, std::memory_order_seq_cst);
        ring.Raise(lane.done, block + 1);
        if (!OtherLaneParked(ring, lane) && !OtherLaneStagesNext(ring, lane, block)) {
            RunReadySteps(ring);
        }
        if (error != 0 || length == kFlushBlock) return 0;
    }
}

bool StartLanes(BlockRing& ring, NuvDlgService* const* workers, int channels) {
    for (int c = 0; c < channels; ++c) {
        const std::int32_t request = NUVDLG_Request(workers[c], &RunChannel, &ring.lanes[c]);
        if (request <= kNoRequest) return false;
        ring.lanes[c].request = request;
    }
    return true;
}

void StopLanes(BlockRing& ring, NuvDlgService* const* workers, int channels) {
    ring.Raise(ring.produced, kStopped);
    ring.Raise(ring.consumed, kStopped);
    for (int c = 0; c < channels; ++c) {
        if (ring.lanes[c].request != kNoRequest) NUVDLG_Wait(workers[c], ring.lanes[c].request);
        ring.lanes[c].request = kNoRequest;
    }
}

int BlockStatus(const BlockRing& ring, int channels, int slot) {
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

}  // namespace tolmek
