// Allocator handles and the owner-tagged allocation of runtime objects.
//
// An allocator handle is a record whose first field points to a table of
// four entries, each receiving the handle itself first. Classes derived from
// NuvAllocator are made with
//     new (handle, "ClassName", 4) ClassName(...)
// which yields null (and constructs nothing) when the memory is not there.
// Such an object of S bytes occupies a block of S bytes plus one pointer:
// the block is zero-filled and the pointer behind the object holds the
// handle that made it, so `delete` (the deleting destructor) frees it
// through that same handle.
#pragma once

#include <cstddef>
#include <cstdint>

struct NuvAllocatorHandle;

// Entry 0 (and the further entries 1 and 2): a block of `size` bytes, or null.
using NuvAllocateEntry = void* (*)(NuvAllocatorHandle* self, std::int32_t size, const char* name,
                                   std::int32_t alignment);
// Entry 3: returns a block (null allowed); answers 0.
using NuvFreeEntry = std::int32_t (*)(NuvAllocatorHandle* self, void* block);

struct NuvAllocatorTable {
    NuvAllocateEntry Allocate;      // entry 0
    NuvAllocateEntry AllocateAux1;  // entry 1, not called by the runtime
    NuvAllocateEntry AllocateAux2;  // entry 2, not called by the runtime
    NuvFreeEntry Free;              // entry 3
};

struct NuvAllocatorHandle {
    const NuvAllocatorTable* table;
};

// The process allocator: entries 0 to 2 take `size` bytes from the standard
// heap (name and alignment ignored), entry 3 gives a block back (null
// ignored) and answers 0. Thread-safe as the heap is.
NuvAllocatorHandle* NUVALLOC_ProcessAllocator();

// Empty base giving its descendants the owner-tagged class-level allocation.
class NuvAllocator {
  public:
    // Owner-tagged allocate: a zeroed block of size + sizeof(void*) bytes from
    // the handle's entry 0 with the handle stored behind the first `size`
    // bytes. A handle (or table) without entry 0 reports "E05063002H" through
    // NUVBASE_ReportErrorEx and gives null; so does a failed entry 0, silently.
    static void* AllocateTagged(std::size_t size, NuvAllocatorHandle* handle, const char* name,
                                std::int32_t alignment) noexcept;

    // Owner-tagged free of a block whose object is `size` bytes: calls entry 3
    // of the handle stored behind the object and answers its result. A handle
    // without entry 3 reports "E05063005H" and answers 0. A null block is 0.
    static std::int32_t FreeTagged(void* block, std::size_t size) noexcept;

    // Frees through the given handle (used when a construction fails).
    static void FreeThrough(void* block, NuvAllocatorHandle* handle) noexcept;

    // The handle stored behind an object of `size` bytes.
    static NuvAllocatorHandle* OwnerOf(const void* block, std::size_t size) noexcept;

    static void* operator new(std::size_t size, NuvAllocatorHandle* handle, const char* name,
                              std::int32_t alignment) noexcept {
        return AllocateTagged(size, handle, name, alignment);
    }
    static void operator delete(void* block, std::size_t size) noexcept { FreeTagged(block, size); }
    static void operator delete(void* block, NuvAllocatorHandle* handle, const char* /*name*/,
                                std::int32_t /*alignment*/) noexcept {
        FreeThrough(block, handle);
    }
    // Objects of these classes are made only through an allocator handle.
    static void* operator new(std::size_t) = delete;
    static void* operator new[](std::size_t) = delete;

  protected:
    NuvAllocator() = default;
    ~NuvAllocator() = default;
};
