// An allocator handle that records its calls and can be told to fail.
#pragma once

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/nuv_allocator.h"

namespace rttest {

class RecordingAllocator {
 public:
  RecordingAllocator() : handle_(this) { handle_.base.table = &table_; }

  NuvAllocatorHandle* handle() { return &handle_.base; }

  // The allocation with this 1-based index (counting from now) fails.
  void FailAllocation(int index) { fail_at_ = allocations_ + index; }
  void DropAllocateEntry() { table_.Allocate = nullptr; }
  void DropFreeEntry() { table_.Free = nullptr; }

  int allocations() const { return allocations_; }
  int frees() const { return frees_; }
  const std::vector<std::string>& names() const { return names_; }
  const std::vector<std::int32_t>& sizes() const { return sizes_; }
  const std::vector<std::int32_t>& alignments() const { return alignments_; }

 private:
  struct Handle {
    NuvAllocatorHandle base;
    RecordingAllocator* owner;
    explicit Handle(RecordingAllocator* allocator) : base{nullptr}, owner(allocator) {}
  };

  static RecordingAllocator* Owner(NuvAllocatorHandle* self) {
    return reinterpret_cast<Handle*>(self)->owner;
  }
  static void* Allocate(NuvAllocatorHandle* self, std::int32_t size, const char* name,
                        std::int32_t alignment) {
    RecordingAllocator* owner = Owner(self);
    std::lock_guard<std::mutex> hold(owner->mutex_);
    ++owner->allocations_;
    owner->names_.emplace_back(name != nullptr ? name : "");
    owner->sizes_.push_back(size);
    owner->alignments_.push_back(alignment);
    if (owner->allocations_ == owner->fail_at_) return nullptr;
    void* block = std::malloc(static_cast<std::size_t>(size));
    std::memset(block, 0xCC, static_cast<std::size_t>(size));  // the caller must clear it
    return block;
  }
  static std::int32_t Free(NuvAllocatorHandle* self, void* block) {
    RecordingAllocator* owner = Owner(self);
    std::lock_guard<std::mutex> hold(owner->mutex_);
    if (block != nullptr) ++owner->frees_;
    std::free(block);
    return 0;
  }

  NuvAllocatorTable table_{&Allocate, &Allocate, &Allocate, &Free};
  Handle handle_;
  std::mutex mutex_;
  int allocations_ = 0;
  int frees_ = 0;
  int fail_at_ = -1;
  std::vector<std::string> names_;
  std::vector<std::int32_t> sizes_;
  std::vector<std::int32_t> alignments_;
};

}  // namespace rttest
