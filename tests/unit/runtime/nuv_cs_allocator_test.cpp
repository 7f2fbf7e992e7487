#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "runtime/nuv_allocator.h"
#include "runtime/nuv_cs.h"
#include "tests/unit/runtime/capture.h"
#include "tests/unit/runtime/recording_allocator.h"

namespace {

using rttest::HookCapture;
using rttest::Lines;
using rttest::RecordingAllocator;

TEST(OwnerTaggedAllocation, BlockIsZeroButForTheTagBehindTheObject) {
  RecordingAllocator allocator;
  constexpr std::size_t kObjectSize = 24;
  void* block = NuvAllocator::AllocateTagged(kObjectSize, allocator.handle(), "Thing", 4);
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(allocator.sizes().size(), 1u);
  EXPECT_EQ(allocator.sizes()[0], static_cast<std::int32_t>(kObjectSize + sizeof(void*)));
  EXPECT_EQ(allocator.names()[0], "Thing");
  EXPECT_EQ(allocator.alignments()[0], 4);
  const auto* bytes = static_cast<const unsigned char*>(block);
  for (std::size_t i = 0; i < kObjectSize; ++i) EXPECT_EQ(bytes[i], 0) << i;
  NuvAllocatorHandle* tag = nullptr;
  std::memcpy(&tag, bytes + kObjectSize, sizeof tag);
  EXPECT_EQ(tag, allocator.handle());
  EXPECT_EQ(NuvAllocator::OwnerOf(block, kObjectSize), allocator.handle());
  EXPECT_EQ(NuvAllocator::FreeTagged(block, kObjectSize), 0);
  EXPECT_EQ(allocator.frees(), 1);
}

TEST(OwnerTaggedAllocation, ObjectsAreFreedThroughTheHandleThatMadeThem) {
  RecordingAllocator first;
  RecordingAllocator second;
  std::int32_t err = 1;
  NuvCsWin* a = NUVCS_Create(first.handle(), &err);
  NuvCsWin* b = NUVCS_Create(second.handle(), &err);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(first.names(), std::vector<std::string>{"NuvCsWin"});
  EXPECT_EQ(first.alignments(), std::vector<std::int32_t>{4});
  NuvCsObj* as_base = a;  // freed through the base class's slots
  as_base->Destroy(&err);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(first.frees(), 1);
  EXPECT_EQ(second.frees(), 0);
  b->Destroy(&err);
  EXPECT_EQ(second.frees(), 1);
}

TEST(OwnerTaggedAllocation, MissingEntriesAreReported) {
  HookCapture capture;
  RecordingAllocator no_allocate;
  no_allocate.DropAllocateEntry();
  EXPECT_EQ(NuvAllocator::AllocateTagged(16, no_allocate.handle(), "X", 4), nullptr);
  EXPECT_EQ(NuvAllocator::AllocateTagged(16, nullptr, "X", 4), nullptr);

  RecordingAllocator no_free;
  void* block = NuvAllocator::AllocateTagged(16, no_free.handle(), "X", 4);
  no_free.DropFreeEntry();
  EXPECT_EQ(NuvAllocator::FreeTagged(block, 16), 0);
  EXPECT_EQ(capture.Lines(), (Lines{"E05063002H", "E05063002H", "E05063005H"}));
  std::free(block);
}

TEST(OwnerTaggedAllocation, ProcessAllocatorServesEveryAllocationEntry) {
  NuvAllocatorHandle* heap = NUVALLOC_ProcessAllocator();
  for (NuvAllocateEntry entry :
       {heap->table->Allocate, heap->table->AllocateAux1, heap->table->AllocateAux2}) {
    void* block = entry(heap, 100, "Any", 16);
    ASSERT_NE(block, nullptr);
    std::memset(block, 1, 100);
    EXPECT_EQ(heap->table->Free(heap, block), 0);
  }
  EXPECT_EQ(heap->table->Free(heap, nullptr), 0);
}

TEST(CriticalSectionCreate, EmptyAllocationEntryReportsBothLevelsAndAnswersMinus3) {
  HookCapture capture;
  RecordingAllocator allocator;
  allocator.DropAllocateEntry();
  std::int32_t err = 0;
  EXPECT_EQ(NUVCS_Create(allocator.handle(), &err), nullptr);
  EXPECT_EQ(err, -3);
  EXPECT_EQ(capture.Lines(), (Lines{"E05063002H", "E2006081801:Can not allocate memory."}));
}

TEST(CriticalSectionCreate, RefusedMemoryAnswersMinus3) {
  HookCapture capture;
  RecordingAllocator allocator;
  allocator.FailAllocation(1);
  std::int32_t err = 0;
  EXPECT_EQ(NUVCS_Create(allocator.handle(), &err), nullptr);
  EXPECT_EQ(err, -3);
  EXPECT_EQ(capture.Lines(), Lines{"E2006081801:Can not allocate memory."});
}

class CriticalSection : public ::testing::Test {
 protected:
  void SetUp() override {
    section_ = NUVCS_Create(NUVALLOC_ProcessAllocator(), &err_);
    ASSERT_NE(section_, nullptr);
    ASSERT_EQ(err_, 0);
  }
  void TearDown() override {
    if (section_ != nullptr) section_->Destroy(&err_);
  }
  NuvCsWin* section_ = nullptr;
  std::int32_t err_ = 0;
};

TEST_F(CriticalSection, OwnerMayEnterAgainAndLeavesOncePerEnter) {
  HookCapture capture;
  section_->Enter(&err_);
  EXPECT_EQ(err_, 0);
  section_->Enter(&err_);
  EXPECT_EQ(err_, 0);
  section_->Leave(&err_);
  EXPECT_EQ(err_, 0);
  section_->Leave(&err_);
  EXPECT_EQ(err_, 0);
  section_->Leave(&err_);  // one Leave too many
  EXPECT_EQ(err_, -1);
  EXPECT_EQ(capture.Lines(), Lines{"E2006081805:LeaveCriticalSection function has failed."});
}

TEST_F(CriticalSection, LeaveFromAThreadThatDoesNotHoldItFails) {
  HookCapture capture;
  section_->Enter(&err_);
  std::int32_t other_err = 0;
  std::thread([&] { section_->Leave(&other_err); }).join();
  EXPECT_EQ(other_err, -1);
  section_->Leave(&err_);
  EXPECT_EQ(err_, 0);
  EXPECT_EQ(capture.Lines(), Lines{"E2006081805:LeaveCriticalSection function has failed."});
}

TEST_F(CriticalSection, NullErrorWordIsAccepted) {
  section_->Enter(nullptr);
  section_->Leave(nullptr);
  section_->Destroy(nullptr);
  section_ = nullptr;
}

TEST_F(CriticalSection, ExcludesOtherThreadsAcrossNestedEntries) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 3000;
  long counter = 0;  // guarded by section_
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      std::int32_t err = 0;
      for (int i = 0; i < kRounds; ++i) {
        section_->Enter(&err);
        section_->Enter(&err);
        const long seen = counter;
        section_->Leave(&err);
        counter = seen + 1;
        section_->Leave(&err);
        ASSERT_EQ(err, 0);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, long{kThreads} * kRounds);
}

}  // namespace
