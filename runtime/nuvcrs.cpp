#include "runtime/nuvcrs.h"

#include <cstring>
#include <new>

#include "platform/sync.h"
#include "runtime/nuverr.h"
#include "runtime/work_area.h"

// Lives at a 4-byte boundary inside the caller's area. The tag tells an
// initialised lock from cleared or foreign memory, so that a use after
// NUVCRS_Destroy is reported instead of silently working.
struct NuvCrsLock {
    platform::Lock4 lock;
    std::uint32_t tag;
};

namespace {

constexpr std::uint32_t kLiveTag = 0x5343564Eu;  // "NVCS"

static_assert(sizeof(NuvCrsLock) == 8 && alignof(NuvCrsLock) == 4);
static_assert(runtime_detail::FitsWorkArea<NuvCrsLock>(NUVCRS_WORK_AREA_SIZE));

bool IsLive(const NuvCrsLock* lock) { return lock->tag == kLiveTag; }

}  // namespace

NuvCrsHandle NUVCRS_Create(void* work_area, std::int32_t size) {
    if (work_area == nullptr) {
        NUVERR_Report("NUVCRS_Create : Illegal parameter is passed.");
        return nullptr;
    }
    if (size < NUVCRS_WORK_AREA_SIZE) {
        NUVERR_Report("NUVCRS_Create : Work area size is too short.");
        return nullptr;
    }
    void* place = runtime_detail::AlignUp4(work_area);
    std::memset(place, 0, sizeof(NuvCrsLock));
    auto* lock = new (place) NuvCrsLock{};
    lock->tag = kLiveTag;
    return lock;
}

void NUVCRS_Destroy(NuvCrsHandle lock) {
    if (lock == nullptr) {
        NUVERR_Report("NUVCRS_Destroy : NULL pointer is passed.");
        return;
    }
    if (!IsLive(lock)) NUVERR_Report("NUVCRS_Destroy : DeleteCriticalSection failed.");
    std::memset(static_cast<void*>(lock), 0, sizeof(NuvCrsLock));
}

std::int32_t NUVCRS_Enter(NuvCrsHandle lock) TOLMEK_NO_THREAD_SAFETY_ANALYSIS {
    if (lock == nullptr) {
        NUVERR_Report("NUVCRS_Enter : NULL pointer is passed.");
        return -1;
    }
    if (!IsLive(lock)) {
        NUVERR_Report("NUVCRS_Enter : EnterCriticalSection failed.");
        return -1;
    }
    lock->lock.Enter();
    return 0;
}

std::int32_t NUVCRS_Leave(NuvCrsHandle lock) TOLMEK_NO_THREAD_SAFETY_ANALYSIS {
    if (lock == nullptr) {
        NUVERR_Report("NUVCRS_Leave : NULL pointer is passed.");
        return -1;
    }
    if (!IsLive(lock) || !lock->lock.IsHeld()) {
        NUVERR_Report("NUVCRS_Leave : LeaveCriticalSection failed.");
        return -1;
    }
    lock->lock.Leave();
    return 0;
}
