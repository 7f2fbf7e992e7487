#include "runtime/nuv_cs.h"

#include "runtime/nuv_base.h"

namespace {

constexpr std::uint32_t kLiveTag = 0x4E435357u;  // "NCSW"

void SetCode(std::int32_t* err, std::int32_t code) {
    if (err != nullptr) *err = code;
}

// Sets *err to 0, or, when the call failed, reports `message` and sets it
// to -1. Gives `failed`.
bool Failed(bool failed, const char* message, std::int32_t* err) {
    SetCode(err, 0);
    if (!failed) return false;
    NUVBASE_ReportError(NUVBASE_LEVEL_ERROR, message);
    SetCode(err, -1);
    return true;
}

}  // namespace

bool NuvCsWin::Initialize() {
    section_ = platform::RecursiveLock{};
    live_ = kLiveTag;
    return true;
}

NuvCsWin* NUVCS_Create(NuvAllocatorHandle* allocator, std::int32_t* err) {
    SetCode(err, 0);
    auto* section = new (allocator, "NuvCsWin", 4) NuvCsWin();
    if (section == nullptr) {
        NUVBASE_ReportError(NUVBASE_LEVEL_ERROR, "E2006081801:Can not allocate memory.");
        SetCode(err, -3);
        return nullptr;
    }
    if (!section->Initialize()) {
        NUVBASE_ReportError(NUVBASE_LEVEL_ERROR,
                            "E2006081802:InitializeCriticalSection function has failed.");
        SetCode(err, -1);
        delete section;
        return nullptr;
    }
    return section;
}

void NuvCsWin::Destroy(std::int32_t* err) {
    if (Failed(live_ != kLiveTag, "E2006081803:DeleteCriticalSection function has failed.", err)) {
        return;
    }
    live_ = 0;
    delete this;
}

// The lock is taken only when the object is live; the analysis cannot
// follow that, so these two bodies are not checked.
void NuvCsWin::Enter(std::int32_t* err) TOLMEK_NO_THREAD_SAFETY_ANALYSIS {
    if (Failed(live_ != kLiveTag, "E2006081804:EnterCriticalSection function has failed.", err)) {
        return;
    }
    section_.Enter();
}

void NuvCsWin::Leave(std::int32_t* err) TOLMEK_NO_THREAD_SAFETY_ANALYSIS {
    const bool failed = live_ != kLiveTag || !section_.Leave();
    (void)Failed(failed, "E2006081805:LeaveCriticalSection function has failed.", err);
}
