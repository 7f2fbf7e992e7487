#include "app/block_ring.h"

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

void RaiseCount(std::atomic<std::int32_t>& count, std::int32_t value) {
    count.store(value, std::memory_order_release);
    platform::WakeAll(&count);
}

BlockRing::~BlockRing() {
    for (ChannelLane& lane : lanes) {
        for (double* samples : lane.output)
            std::free(samples);
    }
}

void BlockRing::Attach(int channels, INuvSamplingRateConverter* const* converters,
                       double* const* buffers, int block_frames) {
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

}  // namespace

int RunChannel(void* argument) {
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
        // The slot is free once the block it held before has been written out.
        if (!WaitForCount(ring.consumed, block + 1 - kOutputSlots)) return 0;
        if (error == 0 && !StageOutput(lane, slot, samples, count)) error = NUVSRC_ERR_MEMORY;
        lane.error[slot] = error;
        RaiseCount(lane.done, block + 1);
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
    RaiseCount(ring.produced, kStopped);
    RaiseCount(ring.consumed, kStopped);
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
