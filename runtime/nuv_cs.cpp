#include "runtime/nuv_cs.h"

#include "runtime/nuv_base.h"

namespace {

constexpr std::uint32_t kLiveTag = 0x4E435357u;  // "NCSW"

void SetCode(std::int32_t* err, std::int32_t code) {
  if (err != nullptr) *err = code;
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
  SetCode(err, 0);
  if (live_ != kLiveTag) {
    NUVBASE_ReportError(NUVBASE_LEVEL_ERROR,
                        "E2006081803:DeleteCriticalSection function has failed.");
    SetCode(err, -1);
    return;
  }
  live_ = 0;
  delete this;
}

// The lock is taken only when the object is live; the analysis cannot
// follow that, so these two bodies are not checked.
void NuvCsWin::Enter(std::int32_t* err) TOLMEK_NO_THREAD_SAFETY_ANALYSIS {
  SetCode(err, 0);
  if (live_ != kLiveTag) {
    NUVBASE_ReportError(NUVBASE_LEVEL_ERROR,
                        "E2006081804:EnterCriticalSection function has failed.");
    SetCode(err, -1);
    return;
  }
  section_.Enter();
}

void NuvCsWin::Leave(std::int32_t* err) TOLMEK_NO_THREAD_SAFETY_ANALYSIS {
  SetCode(err, 0);
  if (live_ != kLiveTag || !section_.Leave()) {
    NUVBASE_ReportError(NUVBASE_LEVEL_ERROR,
                        "E2006081805:LeaveCriticalSection function has failed.");
    SetCode(err, -1);
  }
}
