// Layout of the worker service record inside the caller's work area.
// Internal to the runtime (and its tests); callers use runtime/nuvdlg.h.
#pragma once

#include <cstdint>

#include "platform/sync.h"
#include "platform/thread.h"
#include "runtime/nuvcrs.h"
#include "runtime/nuvdlg.h"

// The service record, at a 4-byte boundary inside the caller's area. Every
// field needs at most 4-byte alignment, so pointers are kept as raw words.
struct NuvDlgService {
    std::uint32_t valid;    // 1 once fully created; read by callers only
    std::uint32_t pending;  // atomic; written under the service lock
    platform::ThreadHandle thread;
    platform::Event4 wake_event;
    unsigned char lock_area[NUVCRS_WORK_AREA_SIZE];  // the service lock
    std::uint32_t job_function[2];                   // NuvDlgJob, guarded by the service lock
    std::uint32_t job_argument[2];                   // void*, guarded by the service lock
    std::uint32_t request_number;                    // atomic; written under the service lock
    std::uint32_t started;                           // atomic; set once by the worker thread
    std::uint32_t quit;                              // atomic; set by NUVDLG_Destroy
};

// Request numbers run from 1 to 0x7FFFFFFE and then start again at 1.
constexpr std::int32_t NuvNextRequestNumber(std::int32_t last) {
    return last >= 0x7FFFFFFE || last < 0 ? 1 : last + 1;
}
