#include "runtime/nuv_allocator.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "runtime/nuv_base.h"

namespace {

void* HeapAllocate(NuvAllocatorHandle* /*self*/, std::int32_t size, const char* /*name*/,
                   std::int32_t /*alignment*/) {
    if (size < 0) return nullptr;
    return std::malloc(size > 0 ? static_cast<std::size_t>(size) : 1u);
}

std::int32_t HeapFree(NuvAllocatorHandle* /*self*/, void* block) {
    std::free(block);
    return 0;
}

constexpr NuvAllocatorTable kHeapTable{&HeapAllocate, &HeapAllocate, &HeapAllocate, &HeapFree};
NuvAllocatorHandle g_process_allocator{&kHeapTable};

}  // namespace

NuvAllocatorHandle* NUVALLOC_ProcessAllocator() { return &g_process_allocator; }

void* NuvAllocator::AllocateTagged(std::size_t size, NuvAllocatorHandle* handle, const char* name,
                                   std::int32_t alignment) noexcept {
    if (handle == nullptr || handle->table == nullptr || handle->table->Allocate == nullptr) {
        NUVBASE_ReportErrorEx(NUVBASE_LEVEL_ERROR, "E05063002H", 0, 0, 0);
        return nullptr;
    }
    const std::size_t total = size + sizeof(NuvAllocatorHandle*);
    if (total > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return nullptr;
    void* block =
        handle->table->Allocate(handle, static_cast<std::int32_t>(total), name, alignment);
    if (block == nullptr) return nullptr;
    std::memset(block, 0, total);
    std::memcpy(static_cast<unsigned char*>(block) + size, &handle, sizeof handle);
    return block;
}

NuvAllocatorHandle* NuvAllocator::OwnerOf(const void* block, std::size_t size) noexcept {
    NuvAllocatorHandle* handle = nullptr;
    std::memcpy(&handle, static_cast<const unsigned char*>(block) + size, sizeof handle);
    return handle;
}

std::int32_t NuvAllocator::FreeTagged(void* block, std::size_t size) noexcept {
    if (block == nullptr) return 0;
    NuvAllocatorHandle* handle = OwnerOf(block, size);
    if (handle == nullptr || handle->table == nullptr || handle->table->Free == nullptr) {
        NUVBASE_ReportErrorEx(NUVBASE_LEVEL_ERROR, "E05063005H", 0, 0, 0);
        return 0;
    }
    return handle->table->Free(handle, block);
}

void NuvAllocator::FreeThrough(void* block, NuvAllocatorHandle* handle) noexcept {
    if (block == nullptr) return;
    if (handle == nullptr || handle->table == nullptr || handle->table->Free == nullptr) {
        NUVBASE_ReportErrorEx(NUVBASE_LEVEL_ERROR, "E05063005H", 0, 0, 0);
        return;
    }
    handle->table->Free(handle, block);
}
