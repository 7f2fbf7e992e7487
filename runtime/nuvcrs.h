// Mutual-exclusion lock placed in a work area that the caller owns.
//
// The lock sits at the start of the work area rounded up to a multiple of 4
// bytes; the area must hold at least NUVCRS_WORK_AREA_SIZE bytes and stay
// alive and unmoved until NUVCRS_Destroy. The lock is not recursive: a thread
// must not enter a lock it already holds. Every failure is reported through
// NUVERR_Report ("NUVCRS_<operation> : <text>") and never passed on.
#pragma once

#include <cstdint>

constexpr std::int32_t NUVCRS_WORK_AREA_SIZE = 28;

struct NuvCrsLock;  // opaque; lives inside the caller's work area
using NuvCrsHandle = NuvCrsLock*;

// Clears the lock's memory and initialises it. Returns the lock's address
// inside the work area, or null (null area, or size below 28).
[[nodiscard]] NuvCrsHandle NUVCRS_Create(void* work_area, std::int32_t size);

// Deletes the lock and clears its memory, also when the deletion fails
// (the lock was not initialised, or was destroyed already).
void NUVCRS_Destroy(NuvCrsHandle lock);

// Blocks until the calling thread holds the lock. 0, or -1 after a reported
// failure (null handle, lock not initialised); the caller then goes on
// without the lock.
std::int32_t NUVCRS_Enter(NuvCrsHandle lock);

// Releases the lock. 0, or -1 after a reported failure (null handle, lock
// not initialised or not held).
std::int32_t NUVCRS_Leave(NuvCrsHandle lock);
