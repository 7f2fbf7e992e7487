// The calling protocol of the converter's locked operations:
//   1. enter the lock; a failure is reported and kept as the call's code, and
//      the operation runs all the same;
//   2. the operation stores its first failure in pending_error;
//   3. on leaving scope the result is taken, pending_error goes to the
//      caller's code and is cleared;
//   4. the lock is left; a failure there is kept in pending_error and
//      returned by the next call.
#pragma once

#include "resampler/converter.h"
#include "runtime/nuv_base.h"

class TOLMEK_SCOPED_CAPABILITY NuvSamplingRateConverter::Call {
  public:
    Call(NuvSamplingRateConverter* c, int32_t* err) TOLMEK_ACQUIRE(c->lock_) : c_(c), err_(err) {
        int32_t code = 0;
        c_->lock_->Enter(&code);
        if (code != 0) {
            NUVBASE_ReportError(NUVBASE_LEVEL_ERROR,
                                "2006080301:Failed to enter critical section.");
            c_->Fail(code);
        }
    }
    ~Call() TOLMEK_RELEASE() {
        if (err_ != nullptr) *err_ = c_->pending_error_;
        c_->pending_error_ = 0;
        int32_t code = 0;
        c_->lock_->Leave(&code);
        if (code != 0) {
            NUVBASE_ReportError(NUVBASE_LEVEL_ERROR,
                                "2006080302:Failed to leave critical section.");
            c_->Fail(code);
        }
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

  private:
    NuvSamplingRateConverter* c_;
    int32_t* err_;
};
