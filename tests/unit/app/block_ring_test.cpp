// The block ring between the file thread and the channels' workers, run on
// real worker services with stand-in converters: whole runs through the
// flush, converter failures, and the stop path from each place a worker can
// wait. Runs under ThreadSanitizer in CI.
#include "app/block_ring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <tuple>
#include <vector>

#include "app/status.h"
#include "resampler/nuv_src.h"
#include "runtime/nuvdlg.h"

using namespace tolmek;

namespace {

constexpr int kBlockFrames = 8;
constexpr std::int32_t kFlushFrames = 3;  // what each stand-in owes at the end

// Doubles every input sample and adds the block's number; the flush hands
// out kFlushFrames samples of -1. Fails with `fail_error` on block `fail_at`.
class StandInConverter : public INuvSamplingRateConverter {
  public:
    INuvSamplingRateConverter* Clone(int32_t*) override { return nullptr; }
    void Destroy(int32_t*) override {}
    void SetFilterMemorySize(int64_t, int32_t*) override {}
    int64_t GetFilterMemorySize(int32_t*) override { return 0; }
    void SetSamplingRates(int32_t, int32_t, int32_t*) override {}
    void GetSamplingRates(int32_t*, int32_t*, int32_t*) override {}
    void SetQuality(int32_t, int32_t*) override {}
    int32_t GetQuality(int32_t*) override { return 0; }
    void Reset(int32_t*) override {}
    void Convert(const double* input, int32_t count, const double** output, int32_t* output_count,
                 int32_t* err) override {
        const int block = calls.fetch_add(1);
        if (delay.count() > 0) std::this_thread::sleep_for(delay);
        *err = block == fail_at ? fail_error : 0;
        out.assign(input, input + count);
        for (double& v : out)
            v = 2 * v + block;
        out.resize(static_cast<std::size_t>(count + extra_count), 0.0);
        *output = out.data();
        *output_count = static_cast<int32_t>(out.size());
    }
    void Flush(const double** output, int32_t* output_count, int32_t* err) override {
        calls.fetch_add(1);
        *err = 0;
        out.assign(kFlushFrames, -1.0);
        *output = out.data();
        *output_count = kFlushFrames;
    }

    std::atomic<int> calls{0};
    int fail_at = -1;
    std::int32_t fail_error = 0;
    std::int32_t extra_count = 0;  // makes the channel produce more than the others
    std::chrono::microseconds delay{0};  // of each block, to keep the channel behind

  private:
    std::vector<double> out;
};

class BlockRingTest : public ::testing::Test {
  protected:
    static constexpr int kChannels = 2;

    void SetUp() override {
        NUVDLG_Init();
        for (int c = 0; c < kChannels; ++c) {
            workers[c] = NUVDLG_Create(areas[c], sizeof areas[c]);
            ASSERT_NE(workers[c], nullptr);
            converters[c] = &stand_ins[c];
            buffers[c].assign(static_cast<std::size_t>(kMaxInputSlots) * kBlockFrames, 0.0);
            planes[c] = buffers[c].data();
        }
        ring.input_slots = InputSlots(kChannels);
        ring.Attach(kChannels, converters, planes, kBlockFrames);
    }
    void TearDown() override {
        for (NuvDlgService* worker : workers) {
            if (worker != nullptr) NUVDLG_Destroy(worker);
        }
        NUVDLG_Finish();
    }

    // Fills block `block` with sample values block * 100 + k (channel c
    // adds c * 1000) and hands it to the workers.
    void Produce(std::int32_t block, std::int32_t length) {
        const int slot = block % ring.input_slots;
        for (int c = 0; c < kChannels; ++c) {
            for (std::int32_t k = 0; k < length; ++k)
                ring.lanes[c].input[slot][k] = block * 100 + k + c * 1000;
        }
        ring.length[slot] = length;
        ring.Raise(ring.produced, block + 1);
    }

    void WaitForCalls(int channel, int calls) {
        while (stand_ins[channel].calls.load() < calls)
            std::this_thread::yield();
    }

    alignas(8) unsigned char areas[kChannels][NUVDLG_WORK_AREA_SIZE] = {};
    NuvDlgService* workers[kChannels] = {};
    StandInConverter stand_ins[kChannels];
    INuvSamplingRateConverter* converters[kChannels] = {};
    std::vector<double> buffers[kChannels];
    double* planes[kChannels] = {};
    BlockRing ring;
};

}  // namespace

TEST_F(BlockRingTest, BlocksArriveInOrderAndTheFlushEndsTheWorkers) {
    constexpr std::int32_t kInputBlocks = 7;  // more than the slots of either kind
    ASSERT_TRUE(StartLanes(ring, workers, kChannels));
    for (std::int32_t block = 0; block < ring.input_slots; ++block)
        Produce(block, kBlockFrames);
    for (std::int32_t block = 0; block <= kInputBlocks; ++block) {
        const int slot = block % kOutputSlots;
        for (int c = 0; c < kChannels; ++c)
            ASSERT_TRUE(WaitForCount(ring.lanes[c].done, block + 1));
        ASSERT_EQ(BlockStatus(ring, kChannels, slot), kStatusOk);
        const std::int32_t next = block + ring.input_slots;
        if (next < kInputBlocks) Produce(next, kBlockFrames);
        if (next == kInputBlocks) Produce(next, kFlushBlock);
        for (int c = 0; c < kChannels; ++c) {
            const ChannelLane& lane = ring.lanes[c];
            if (block == kInputBlocks) {
                ASSERT_EQ(lane.count[slot], kFlushFrames);
                EXPECT_EQ(lane.output[slot][0], -1.0);
                continue;
            }
            ASSERT_EQ(lane.count[slot], kBlockFrames);
            for (std::int32_t k = 0; k < kBlockFrames; ++k) {
                EXPECT_EQ(lane.output[slot][k], 2.0 * (block * 100 + k + c * 1000) + block)
                    << block;
            }
        }
        ring.Raise(ring.consumed, block + 1);
    }
    // The workers end on their own after the flush; stopping then waits for
    // nothing and converts nothing more.
    StopLanes(ring, workers, kChannels);
    for (int c = 0; c < kChannels; ++c) {
        EXPECT_EQ(stand_ins[c].calls.load(), kInputBlocks + 1);
        EXPECT_EQ(ring.lanes[c].done.load(), kInputBlocks + 1);
        EXPECT_EQ(ring.lanes[c].request, kNoRequest);
    }
}

TEST_F(BlockRingTest, StopWakesWorkersWaitingForInput) {
    ASSERT_TRUE(StartLanes(ring, workers, kChannels));
    StopLanes(ring, workers, kChannels);
    for (int c = 0; c < kChannels; ++c) {
        EXPECT_EQ(stand_ins[c].calls.load(), 0);
        EXPECT_EQ(ring.lanes[c].done.load(), 0);
    }
    EXPECT_FALSE(WaitForCount(ring.produced, 1));
    EXPECT_FALSE(WaitForCount(ring.consumed, 1));
}

TEST_F(BlockRingTest, StopWakesWorkersWaitingForAFreeOutputSlot) {
    ASSERT_TRUE(StartLanes(ring, workers, kChannels));
    // Nothing is written out: each worker stages kOutputSlots blocks, then
    // converts one more and waits for its slot.
    for (std::int32_t block = 0; block <= kOutputSlots; ++block)
        Produce(block, kBlockFrames);
    for (int c = 0; c < kChannels; ++c) {
        ASSERT_TRUE(WaitForCount(ring.lanes[c].done, kOutputSlots));
        WaitForCalls(c, kOutputSlots + 1);
    }
    StopLanes(ring, workers, kChannels);
    for (int c = 0; c < kChannels; ++c) {
        EXPECT_EQ(ring.lanes[c].done.load(), kOutputSlots);
        // The slot of block 0 still holds block 0: the stopped block was not staged.
        EXPECT_EQ(ring.lanes[c].output[0][1], 2.0 * (1 + c * 1000));
    }
}

TEST_F(BlockRingTest, StopWhileWorkersConvertEndsThemAtTheirNextWait) {
    ASSERT_TRUE(StartLanes(ring, workers, kChannels));
    for (std::int32_t block = 0; block < ring.input_slots; ++block)
        Produce(block, kBlockFrames);
    StopLanes(ring, workers, kChannels);
    for (int c = 0; c < kChannels; ++c) {
        EXPECT_LE(ring.lanes[c].done.load(), kOutputSlots);
        EXPECT_EQ(ring.lanes[c].request, kNoRequest);
    }
}

TEST_F(BlockRingTest, AConverterFailureEndsItsWorkerAndNamesTheStatus) {
    stand_ins[1].fail_at = 1;
    stand_ins[1].fail_error = NUVSRC_ERR_MEMORY;
    ASSERT_TRUE(StartLanes(ring, workers, kChannels));
    Produce(0, kBlockFrames);
    Produce(1, kBlockFrames);
    Produce(2, kBlockFrames);
    for (int c = 0; c < kChannels; ++c)
        ASSERT_TRUE(WaitForCount(ring.lanes[c].done, 2));
    EXPECT_EQ(BlockStatus(ring, kChannels, 0), kStatusOk);
    EXPECT_EQ(BlockStatus(ring, kChannels, 1), kErrMemory);
    ring.lanes[1].error[1] = -1;  // any other engine failure
    EXPECT_EQ(BlockStatus(ring, kChannels, 1), kErrInternal);
    // The failed channel converted nothing after its failure.
    StopLanes(ring, workers, kChannels);
    EXPECT_EQ(stand_ins[1].calls.load(), 2);
    EXPECT_EQ(ring.lanes[1].done.load(), 2);
}

TEST_F(BlockRingTest, ChannelsThatDisagreeOnTheCountAreAnInternalError) {
    stand_ins[1].extra_count = 1;
    ASSERT_TRUE(StartLanes(ring, workers, kChannels));
    Produce(0, kBlockFrames - 1);
    for (int c = 0; c < kChannels; ++c)
        ASSERT_TRUE(WaitForCount(ring.lanes[c].done, 1));
    EXPECT_EQ(BlockStatus(ring, kChannels, 0), kErrInternal);
    StopLanes(ring, workers, kChannels);
}

namespace {

// The lanes write: the step checks that it runs alone and in order, checks
// every lane's samples, and produces the block that reuses the input slot
// (the flush after kInputBlocks blocks). It fails on block `fail_at`.
class LanesWriteTest : public BlockRingTest {
  protected:
    static constexpr std::int32_t kInputBlocks = 9;
    static constexpr std::int32_t kBlocks = kInputBlocks + 1;

    void SetUp() override {
        BlockRingTest::SetUp();
        ring.write_step = &Step;
        ring.write_context = this;
        ring.blocks = kBlocks;
    }

    static int Step(void* context, std::int32_t block) {
        auto& self = *static_cast<LanesWriteTest*>(context);
        if (self.inside.exchange(true)) self.overlapped = true;
        if (block != self.next_block) self.out_of_order = true;
        self.next_block = block + 1;
        const int slot = block % kOutputSlots;
        int status = BlockStatus(self.ring, kChannels, slot);
        for (int c = 0; c < kChannels && status == kStatusOk && block < kInputBlocks; ++c) {
            const ChannelLane& lane = self.ring.lanes[c];
            for (std::int32_t k = 0; k < kBlockFrames; ++k) {
                if (lane.output[slot][k] != 2.0 * (block * 100 + k + c * 1000) + block) {
                    self.wrong_samples = true;
                }
            }
        }
        if (block == self.fail_at) status = kErrWriteOutput;
        const std::int32_t next = block + self.ring.input_slots;
        if (status == kStatusOk && next <= kInputBlocks) {
            self.Produce(next, next == kInputBlocks ? kFlushBlock : kBlockFrames);
        }
        self.inside = false;
        return status;
    }

    // Produces the first blocks as the file thread does, then leaves the
    // writing to the lanes.
    void Start() {
        ASSERT_TRUE(StartLanes(ring, workers, kChannels));
        for (std::int32_t block = 0; block < ring.input_slots; ++block)
            Produce(block, kBlockFrames);
        RunReadySteps(ring);
    }

    std::atomic<bool> inside{false};
    bool overlapped = false;
    bool out_of_order = false;
    bool wrong_samples = false;
    std::int32_t next_block = 0;
    std::int32_t fail_at = -1;
};

}  // namespace

TEST_F(LanesWriteTest, EveryBlockIsWrittenOnceInOrderByOneLaneAtATime) {
    Start();
    ASSERT_TRUE(WaitForCount(ring.consumed, kBlocks));
    EXPECT_EQ(ring.consumed.load(), kBlocks);
    StopLanes(ring, workers, kChannels);
    EXPECT_EQ(next_block, kBlocks);
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(out_of_order);
    EXPECT_FALSE(wrong_samples);
    EXPECT_EQ(ring.failure.load(), kStatusOk);
    for (int c = 0; c < kChannels; ++c)
        EXPECT_EQ(stand_ins[c].calls.load(), kBlocks);
}

TEST_F(LanesWriteTest, AFailedStepStopsTheRingAndNamesTheStatus) {
    fail_at = 2;
    Start();
    EXPECT_FALSE(WaitForCount(ring.consumed, kBlocks));
    StopLanes(ring, workers, kChannels);
    EXPECT_EQ(ring.failure.load(), kErrWriteOutput);
    EXPECT_EQ(next_block, 3);  // nothing was written after the failure
    EXPECT_TRUE(ring.Stopped());
}

TEST_F(LanesWriteTest, AConverterFailureReachesTheStepThatWritesItsBlock) {
    stand_ins[0].fail_at = 4;
    stand_ins[0].fail_error = NUVSRC_ERR_MEMORY;
    Start();
    EXPECT_FALSE(WaitForCount(ring.consumed, kBlocks));
    StopLanes(ring, workers, kChannels);
    EXPECT_EQ(ring.failure.load(), kErrMemory);
    EXPECT_EQ(next_block, 5);
    EXPECT_FALSE(wrong_samples);
}

TEST_F(LanesWriteTest, AStopWhileTheLanesWriteEndsThemAndIsNotUndone) {
    Start();
    StopLanes(ring, workers, kChannels);
    // A step that was running when the stop came raised consumed no lower.
    EXPECT_TRUE(ring.Stopped());
    EXPECT_EQ(ring.consumed.load(), kStopped);
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(out_of_order);
}

// One lane kept behind the other, with a converter failure on neither lane,
// either or both (a mask of lanes): the lane behind leaves the steps to the
// lane ahead, and still every block is written in order, or the failure
// reaches the step of its block.
class LaneBehindTest : public LanesWriteTest,
                       public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(LaneBehindTest, EveryStepIsRunOrTheFailureReached) {
    const auto [behind, failing] = GetParam();
    stand_ins[behind].delay = std::chrono::microseconds(500);
    for (int c = 0; c < kChannels; ++c) {
        if ((failing >> c & 1) == 0) continue;
        stand_ins[c].fail_at = 6;
        stand_ins[c].fail_error = NUVSRC_ERR_MEMORY;
    }
    Start();
    EXPECT_EQ(WaitForCount(ring.consumed, kBlocks), failing == 0);
    StopLanes(ring, workers, kChannels);
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(out_of_order);
    EXPECT_FALSE(wrong_samples);
    EXPECT_EQ(ring.failure.load(), failing == 0 ? kStatusOk : kErrMemory);
    EXPECT_EQ(next_block, failing == 0 ? kBlocks : 7);
}

INSTANTIATE_TEST_SUITE_P(SlowLanes, LaneBehindTest,
                         ::testing::Combine(::testing::Values(0, 1), ::testing::Values(0, 1, 2, 3)));

TEST(BlockRingSlots, ReadAheadIsDeeperForOneOrTwoChannels) {
    EXPECT_EQ(InputSlots(1), kMaxInputSlots);
    EXPECT_EQ(InputSlots(2), kMaxInputSlots);
    EXPECT_EQ(InputSlots(3), kOutputSlots);
    EXPECT_EQ(InputSlots(kMaxChannels), kOutputSlots);
}
