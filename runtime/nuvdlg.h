// Worker thread service: one background thread per service that runs one
// posted job at a time.
//
// A caller posts a job with NUVDLG_Request and later calls NUVDLG_Wait with
// the request's number. When NUVDLG_Wait returns, the job has run to its end,
// either on the worker thread or, if the worker had not taken it yet, on the
// waiting thread itself. A job never runs twice and never on two threads at
// once.
//
// The service record lives in a work area that the caller owns (at least
// NUVDLG_WORK_AREA_SIZE bytes, any address; the record starts at the next
// multiple of 4) and keeps alive and unmoved until NUVDLG_Destroy.
//
// Create, Request, Wait and Destroy each run under one process-wide lock,
// which exists between NUVDLG_Init and the matching NUVDLG_Finish. Outside
// that span those calls report the missing lock ("NUVCRS_Enter : NULL pointer
// is passed." and the Leave counterpart) and run unlocked, which is only safe
// from a single thread. Lock order: the global lock, then a service lock; the
// worker thread takes only its own service lock. A job must not call the
// worker service itself.
//
// Failures are reported through NUVERR_Report.
#pragma once

#include <cstdint>

constexpr std::int32_t NUVDLG_WORK_AREA_SIZE = 80;

// A posted job; its result is not used.
using NuvDlgJob = int (*)(void* argument);

struct NuvDlgService;  // opaque; lives inside the caller's work area
using NuvDlgHandle = NuvDlgService*;

// Takes one use of the process-wide lock, creating it on the first use.
void NUVDLG_Init();
// Gives one use back, destroying the lock when the last use goes.
void NUVDLG_Finish();

// Creates the service. Its worker thread starts with the first job, so a
// service that is never given one (the worker of a file small enough to be
// read and written at once) costs no thread. Null after a reported failure
// (null area, size below 80, no lock).
[[nodiscard]] NuvDlgHandle NUVDLG_Create(void* work_area, std::int32_t size);

// Posts job(argument), starting the worker thread first if it does not run
// yet. Returns the request number (1 .. 0x7FFFFFFE, then 1 again), or -1:
// after a reported bad handle or a thread that cannot start ("E2004112603 :
// Can not create thread."), or without a message when a job is still
// pending (wait for it first).
[[nodiscard]] std::int32_t NUVDLG_Request(NuvDlgHandle service, NuvDlgJob job, void* argument);

// Returns when the job with this request number has run to its end, running
// it on the calling thread if the worker has not taken it yet. Any number
// other than the latest, or no pending job, returns at once.
void NUVDLG_Wait(NuvDlgHandle service, std::int32_t request_number);

// Runs a pending job to its end, stops and joins the worker thread, and
// clears the record.
void NUVDLG_Destroy(NuvDlgHandle service);
