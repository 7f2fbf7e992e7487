#include <gtest/gtest.h>

#include <thread>

#include "runtime/nuv_allocator.h"
#include "runtime/nuv_cs.h"
#include "tests/unit/runtime/runtime_test_util.h"

namespace {

using rttest::Captured;
using rttest::CaptureLines;
using rttest::Lines;
using rttest::RecordingAllocator;

TEST(OwnerTaggedAllocation, BlockIsZeroButForTheOwnerBehindTheObject) {
    RecordingAllocator allocator;
    void* block = NuvAllocator::AllocateTagged(24, &allocator.handle, "Thing", 4);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(allocator.sizes[0], static_cast<std::int32_t>(24 + sizeof(void*)));
    EXPECT_EQ(allocator.names[0], "Thing");
    EXPECT_EQ(allocator.alignments[0], 4);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(static_cast<unsigned char*>(block)[i], 0);
    EXPECT_EQ(NuvAllocator::OwnerOf(block, 24), &allocator.handle);
    EXPECT_EQ(NuvAllocator::FreeTagged(block, 24), 0);
    EXPECT_EQ(allocator.frees, 1);
}

TEST(OwnerTaggedAllocation, ObjectsGoBackToTheHandleThatMadeThem) {
    RecordingAllocator first, second;
    std::int32_t err = 1;
    NuvCsObj* a = NUVCS_Create(&first.handle, &err);
    NuvCsObj* b = NUVCS_Create(&second.handle, &err);
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(first.names, Lines{"NuvCsWin"});
    a->Destroy(&err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(first.frees, 1);
    EXPECT_EQ(second.frees, 0);
    b->Destroy(&err);
    EXPECT_EQ(second.frees, 1);
}

TEST(OwnerTaggedAllocation, MissingEntriesAreReported) {
    CaptureLines capture;
    RecordingAllocator allocator;
    void* block = NuvAllocator::AllocateTagged(16, &allocator.handle, "X", 4);
    allocator.table.Allocate = nullptr;
    allocator.table.Free = nullptr;
    EXPECT_EQ(NuvAllocator::AllocateTagged(16, &allocator.handle, "X", 4), nullptr);
    EXPECT_EQ(NuvAllocator::FreeTagged(block, 16), 0);
    EXPECT_EQ(Captured(), (Lines{"E05063002H", "E05063005H"}));
    std::free(block);
}

TEST(CriticalSectionCreate, ReportsMissingMemoryWithMinus3) {
    CaptureLines capture;
    RecordingAllocator empty_entry, refusing;
    empty_entry.table.Allocate = nullptr;
    refusing.fail_at = 1;
    std::int32_t err = 0;
    EXPECT_EQ(NUVCS_Create(&empty_entry.handle, &err), nullptr);
    EXPECT_EQ(err, -3);
    EXPECT_EQ(NUVCS_Create(&refusing.handle, &err), nullptr);
    EXPECT_EQ(err, -3);
    EXPECT_EQ(Captured(), (Lines{"E05063002H", "E2006081801:Can not allocate memory.",
                                 "E2006081801:Can not allocate memory."}));
}

TEST(CriticalSection, OwnerNestsAndOnlyItLeaves) {
    CaptureLines capture;
    std::int32_t err = 1;
    NuvCsWin* section = NUVCS_Create(NUVALLOC_ProcessAllocator(), &err);
    ASSERT_EQ(err, 0);
    section->Enter(&err);
    section->Enter(&err);
    std::int32_t other_err = 0;
    std::thread([&] { section->Leave(&other_err); }).join();
    EXPECT_EQ(other_err, -1);
    section->Leave(&err);
    section->Leave(&err);
    EXPECT_EQ(err, 0);
    section->Leave(nullptr);  // one too many; a null code is accepted
    section->Destroy(&err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(Captured(), Lines(2, "E2006081805:LeaveCriticalSection function has failed."));
}

}  // namespace
