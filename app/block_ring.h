// The hand-off of one-second blocks between the thread that reads and writes
// the files and the channels' workers that convert them.
//
// Block b lives in input slot b % input_slots and output slot b % kOutputSlots.
// Three counts carry it along, and each only grows:
//   produced   raised once the input slot and its length are filled;
//   lane.done  raised by a channel's worker once its output slot is staged;
//   consumed   raised once every lane's output slot has been written out.
// Memory ordering: a count is raised after the writes it announces and read
// with acquire (WaitForCount), so a thread that sees a count reach b + 1 also
// sees everything written for block b before it was raised. Each slot has
// one writer at a time: an input slot is refilled only after every lane's
// done has passed the block that used it, and an output slot is staged again
// only after consumed has passed its previous block.
// Stopping raises produced and consumed to kStopped: a waiting worker wakes,
// its wait returns false, and its job ends without touching a slot.
//
// Every raise goes through BlockRing::Raise, which also advances the ring's
// `progress` and wakes the workers: a waiting worker sleeps on progress, so
// any change of the ring wakes it to look again.
//
// Who writes: either the file thread (it waits for every lane's done, then
// writes the block out and reads the one that reuses its input slot), or,
// when the ring has a write step, the lanes themselves, one at a time and in
// block order. That second way is for machines with no processor to spare
// for a writing thread, where such a thread would share a processor with one
// channel and hold it back while the other waits. A lane that has to wait
// (for input or for a free output slot) runs the steps that are ready while
// it waits; a lane that has just staged a block runs them unless another
// lane waits, which then runs them instead (the raise wakes it). So the
// lane that is ahead, and would otherwise sit idle, takes the writing
// whenever it has caught up.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/job.h"
#include "app/status.h"

class INuvSamplingRateConverter;

namespace tolmek {

// Blocks a worker may finish before the writer has written them out.
constexpr int kOutputSlots = 3;
// Blocks of input the reader may have ready beyond the last one written.
constexpr int kMaxInputSlots = 6;

// Input read ahead: deeper for the common one or two channels, where it
// costs a few megabytes, shallower for more.
int InputSlots(int channels);

// Channels up to which a block holds one second of input; beyond them a
// quarter of a second, so that the blocks of each channel stay near 2.5 MB
// at 192 kHz and 32 channels fit in a few hundred megabytes less.
constexpr int kSecondBlockChannels = 6;

// Inputs shorter than this (in seconds) go in quarter-second blocks too. A
// short run is mostly its first and last block: the workers start on a
// smaller first block, the last one is written out sooner, and the slots
// touch a quarter of the fresh memory (whose page faults are a good part of
// such a run). A long run does better with fewer hand-offs.
constexpr int kShortInputSeconds = 12;

// Input frames of a full block at `rate` frames a second, for an input of
// `input_frames` frames.
constexpr int BlockFrames(int channels, int rate, std::int64_t input_frames) {
    const bool quarter =
        channels > kSecondBlockChannels || input_frames < std::int64_t{kShortInputSeconds} * rate;
    return quarter ? (rate + 3) / 4 : rate;
}

// The length of the block that asks the converters for the samples they
// still owe (Flush) instead of converting input; it is always the last.
constexpr std::int32_t kFlushBlock = -1;

// The value every count is raised to by a stop; no block number reaches it.
constexpr std::int32_t kStopped = 0x7FFFFFFF;

// A lane's request number while no job of it is posted.
constexpr std::int32_t kNoRequest = 0;

// Sleeps until `count` reaches `target`; false when it was raised by a stop.
bool WaitForCount(const std::atomic<std::int32_t>& count, std::int32_t target);

struct BlockRing;

// One channel's share of the ring: its converter, its input slots (in the
// job's channel buffer) and the converted samples of each output slot.
struct ChannelLane {
    BlockRing* ring = nullptr;
    INuvSamplingRateConverter* converter = nullptr;
    double* input[kMaxInputSlots] = {};
    double* output[kOutputSlots] = {};  // owned, grown as needed
    std::int32_t capacity[kOutputSlots] = {};
    std::int32_t count[kOutputSlots] = {};
    // Converter error of each output slot. Atomic because another lane
    // reads it while this one may already be staging the slot's next block.
    std::atomic<std::int32_t> error[kOutputSlots] = {};
    std::int32_t request = kNoRequest;    // number of the posted job
    std::atomic<std::int32_t> done{0};    // blocks converted and staged
    std::atomic<std::int32_t> parked{0};  // 1 while the worker waits for the ring
};

// Writes block `block` out and reads ahead the block that reuses its input
// slot; kStatusOk or the failure that stops the run.
using WriteStep = int (*)(void* context, std::int32_t block);

struct BlockRing {
    int channels = 0;
    int input_slots = kOutputSlots;
    std::int32_t length[kMaxInputSlots] = {};  // input frames of each input slot, or kFlushBlock
    std::atomic<std::int32_t> produced{0};     // blocks whose input is ready
    std::atomic<std::int32_t> consumed{0};     // blocks written out
    ChannelLane lanes[kMaxChannels];

    // Set when the lanes write (see above): the step, its context and the
    // blocks it runs for, 0 ... blocks - 1.
    WriteStep write_step = nullptr;
    void* write_context = nullptr;
    std::int32_t blocks = 0;
    std::atomic<std::int32_t> writing{0};   // 1 while a lane runs a step
    std::atomic<int> failure{kStatusOk};    // status of the step that failed
    std::atomic<std::int32_t> progress{0};  // advanced by every raise
    // With more channels than processors: the conversions that may run at
    // once, less those running (see ShareProcessors); 0 otherwise.
    bool processors_shared = false;
    std::atomic<std::int32_t> free_processors{0};

    BlockRing() = default;
    BlockRing(const BlockRing&) = delete;
    BlockRing& operator=(const BlockRing&) = delete;
    ~BlockRing();

    // Binds lane c to converters[c] and cuts buffers[c] into input_slots
    // slots of `block_frames` doubles each.
    void Attach(int channels, INuvSamplingRateConverter* const* converters, double* const* buffers,
                int block_frames);

    // Raises `count`, one of this ring's counts, to `value` unless it is
    // already there or beyond (a stop is never undone), wakes its waiters,
    // then advances `progress` and wakes every worker that waits on the
    // ring. Sequentially consistent, which the write steps rely on (see
    // RunReadySteps).
    void Raise(std::atomic<std::int32_t>& count, std::int32_t value);

    // Whether a stop (or a failed write step) has ended the ring.
    bool Stopped() const;
};

// Lets at most `processors` lanes convert at once when there are more
// channels than that; each lane holds one of them only while its converter
// runs, never while it waits. Set before the lanes start.
void ShareProcessors(BlockRing& ring, unsigned processors);

// Runs, one thread at a time, every write step whose block all lanes have
// staged, once the first input_slots blocks (or all, when fewer) have been
// produced; a failed step records its status in `failure` and stops the
// ring. A thread that finds another one writing leaves the steps to it,
// which looks again before it lets go. Called by waiting lanes, by a lane
// that staged a block while no other lane waits, and by the file thread
// once after producing the first blocks; a no-op without a write step.
void RunReadySteps(BlockRing& ring);

// The job each channel's worker runs for the whole conversion (`argument`
// is its ChannelLane): converts the blocks in order as their input arrives,
// stages the samples once the slot is free, runs the write steps that are
// ready when the ring has them, and ends after the flush, a failure or a
// stop.
int RunChannel(void* argument);

// Posts RunChannel for every lane on the channel's worker; false when a
// post was refused (the lanes already posted keep running until a stop).
bool StartLanes(BlockRing& ring, NuvDlgService* const* workers, int channels);

// The stop path: raises every count a worker may wait on to kStopped, then
// waits for each posted job to end.
void StopLanes(BlockRing& ring, NuvDlgService* const* workers, int channels);

// The outcome of the block in output slot `slot` on every channel:
// kStatusOk, kErrMemory or kErrInternal.
int BlockStatus(const BlockRing& ring, int channels, int slot);

}  // namespace tolmek
