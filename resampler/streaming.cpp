// Block streaming: the history that carries input across calls, the seeding
// of the stream's start, the blocks cut from the stream, their dispatch to the
// pool, and the padded end of the stream in Flush.
//
// history[0 .. F-1] holds the F samples from the start of the next block up
// to the last input received (F = history_fill). A negative F means that the
// next block begins -F samples into the next call's input. Block i of a call
// begins at s_i = -F + i * M relative to the call's first input sample.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "resampler/converter.h"
#include "resampler/converter_call.h"
#include "resampler/ratio.h"
#include "runtime/nuv_base.h"

void NuvSamplingRateConverter::ClearStream() {
    // A converter is set up with several setters in a row, each of which
    // clears the stream: the buffers are zeroed only when written since.
    if (!buffers_zero_) {
        if (output_buffer_ != nullptr) {
            std::fill(output_buffer_, output_buffer_ + output_capacity_, 0.0);
        }
        if (history_ != nullptr) std::fill(history_, history_ + history_capacity_, 0.0);
        buffers_zero_ = true;
    }
    history_fill_ = design_.history_start;
    primed_ = 0;
    flushed_ = 0;
}

void NuvSamplingRateConverter::Reset(int32_t* err) {
    Call call(this, err);
    ClearStream();
}

bool NuvSamplingRateConverter::Ready() const {
    if (output_buffer_ == nullptr) return false;
    return design_.equal_rates() || (history_ != nullptr && plan_ != nullptr);
}

void NuvSamplingRateConverter::RunBlocksHere(const double* src, int32_t blocks, double* dst,
                                             double* scratch) const {
    const nuvsrc::KernelGeometry g = Geometry();
    const int32_t lanes = nuvsrc::KernelLanes(lanes_);
    if (lanes == 1) {
        nuvsrc::RunBlocks(lanes_, g, src, blocks, dst, scratch);
    } else if (lanes_fit_ && blocks >= 2) {
        // A short run takes the narrowest group that holds it.
        nuvsrc::RunBlocks(lanes_, g, src, blocks, dst, scratch);
    } else {
        nuvsrc::RunBlocks(nuvsrc::KernelVariant::kMultiOutput, g, src, blocks, dst, scratch);
    }
}

void NuvSamplingRateConverter::PoolJob(void* argument) {
    const Job* job = static_cast<const Job*>(argument);
    job->converter->TakeRuns(job->scratch);
}

void NuvSamplingRateConverter::TakeRuns(double* scratch) const {
    const int64_t per_run = blocks_per_job_;
    const int64_t blocks = share_.blocks;
    for (;;) {
        const int64_t first = share_.next.fetch_add(per_run, std::memory_order_relaxed);
        if (first >= blocks) return;
        const int64_t run = std::min(per_run, blocks - first);
        RunBlocksHere(share_.source + first * design_.down, static_cast<int32_t>(run),
                      share_.destination + first * design_.up(), scratch);
    }
}

// Posts the share to free pool workers, at most one fewer than `runs` (the
// caller takes runs too).
void NuvSamplingRateConverter::PostRuns(int64_t runs) {
    if (!use_pool_) return;
    int32_t discard = 0;
    // Workers posted: one per processor that no converting thread (this one
    // included) keeps busy. More would only queue on busy processors, each
    // touching its own scratch, and crowd out the callers' other threads,
    // while the caller's own runs get the same work done.
    const int64_t limit =
        std::min<int64_t>(runs - 1, nuvsrc::Processors() - nuvsrc::ConvertingThreads());
    int64_t posted = 0;
    for (int32_t i = 0; i < nuvsrc::kPoolSize && posted < limit; ++i) {
        NuvDelegate* worker = nuvsrc::PoolWorker(i);
        if (worker == nullptr) continue;
        jobs_[i] = Job{this, scratch_[i]};
        // A worker busy with another converter's job answers -1, which
        // leaves the slot free.
        job_ids_[i] = worker->Request(&PoolJob, &jobs_[i], &discard);
        if (job_ids_[i] > 0) ++posted;
    }
}

void NuvSamplingRateConverter::WaitForJobs() {
    int32_t discard = 0;
    for (int32_t i = 0; i < nuvsrc::kPoolSize; ++i) {
        if (job_ids_[i] > 0) {
            NuvDelegate* worker = nuvsrc::PoolWorker(i);
            if (worker != nullptr) worker->Wait(job_ids_[i], &discard);
            job_ids_[i] = 0;
        }
    }
}

// History phase: the blocks that begin in the history (s_i < 0) and end
// within this call's input, and after them the direct phase's rest, run side
// by side on the calling thread, over the history followed by the input they
// need. False when the next block cannot be completed with this call's
// input: everything from its start on is then kept and the call is over.
bool NuvSamplingRateConverter::HistoryPhase(const double* input, int64_t n, int64_t* s,
                                            int64_t* produced) {
    const int64_t d = design_.block_length;
    const int64_t m = design_.down;
    const int64_t fill = history_fill_;
    int64_t blocks = 0;
    if (fill + n >= d) blocks = std::min((fill + m - 1) / m, (fill + n - d) / m + 1);
    int64_t next = blocks * m;  // history position of the next block
    if (next >= fill) {
        // Every block that begins in the history has run; go on with the
        // blocks that begin in the input, the first of them maybe here.
        blocks += DirectRest(n, next - fill);
        next = blocks * m;
        const int64_t take = (blocks - 1) * m + d - fill;
        std::memcpy(history_ + fill, input, sizeof(double) * static_cast<size_t>(take));
        RunBlocksHere(history_, static_cast<int32_t>(blocks), output_buffer_,
                      scratch_[nuvsrc::kPoolSize]);
        *produced = blocks * design_.up();
        *s = next - fill;
        return true;
    }
    std::memcpy(history_ + fill, input, sizeof(double) * static_cast<size_t>(n));
    if (blocks > 0) {
        RunBlocksHere(history_, static_cast<int32_t>(blocks), output_buffer_,
                      scratch_[nuvsrc::kPoolSize]);
        *produced = blocks * design_.up();
        std::memmove(history_, history_ + next,
                     sizeof(double) * static_cast<size_t>(fill + n - next));
    }
    history_fill_ = static_cast<int32_t>(fill + n - next);
    return false;
}

// The blocks past whole lane groups that a direct phase from input[s] would
// end with. The history phase takes them after its own `blocks`, so that
// the direct phase runs whole groups only and these blocks share the
// history blocks' group, whose last register is often part empty. None when
// the lanes do not run. The history holds the input they read: it ends
// within this call's input, and the history has room for a call's input
// after the held samples.
int64_t NuvSamplingRateConverter::DirectRest(int64_t n, int64_t s) const {
    const int64_t d = design_.block_length;
    const int32_t lanes = nuvsrc::KernelLanes(lanes_);
    if (!lanes_fit_ || lanes <= 1 || s + d > n) return 0;
    return ((n - d - s) / design_.down + 1) % lanes;
}

// Direct phase: blocks that begin at input[s], s >= 0, read the caller's
// input in place, in runs shared with the pool. Returns the blocks run.
int64_t NuvSamplingRateConverter::DirectPhase(const double* input, int64_t n, int64_t s,
                                              int64_t produced) {
    const int64_t d = design_.block_length;
    const int64_t m = design_.down;
    if (s + d > n) return 0;
    const nuvsrc::Converting converting;
    const int64_t blocks = (n - d - s) / m + 1;
    share_.source = input + s;
    share_.destination = output_buffer_ + produced;
    share_.blocks = blocks;
    share_.next.store(0, std::memory_order_relaxed);
    PostRuns((blocks + blocks_per_job_ - 1) / blocks_per_job_);
    TakeRuns(scratch_[nuvsrc::kPoolSize]);
    return blocks;
}

// Tail: the input from the next block's start on is kept for the next call
// (none when that block begins past this call's input), then this call's
// jobs are waited for.
void NuvSamplingRateConverter::KeepTail(const double* input, int64_t n, int64_t s) {
    const int64_t tail = n - s;
    history_fill_ = static_cast<int32_t>(tail);
    if (tail > 0) std::memcpy(history_, input + s, sizeof(double) * static_cast<size_t>(tail));
    WaitForJobs();
}

// The calibration is left until a converter has done this many
// multiply-adds (some five seconds of input at quality 10): it then costs a
// few percent of the work done, and a short conversion never runs it.
constexpr int64_t kCalibrateAfter = int64_t{1} << 28;

// Runs the calibration once this converter has done enough work, and takes
// the lane variant it chose (at once, or at a later call when another
// thread runs it). A variant forced by tests stays.
void NuvSamplingRateConverter::FollowCalibration() {
    if (lanes_fixed_) return;
    if (work_ >= kCalibrateAfter) nuvsrc::CalibrateKernelOnce();
    const nuvsrc::KernelVariant current = nuvsrc::CurrentKernel();
    if (current != lanes_) {
        lanes_ = current;
        PlanLanes();
    }
}

void NuvSamplingRateConverter::Convert(const double* input, int32_t count, const double** output,
                                       int32_t* output_count, int32_t* err) {
    Call call(this, err);
    buffers_zero_ = false;
    if (input == nullptr || output == nullptr || output_count == nullptr) {
        Report(NUVBASE_LEVEL_ERROR, "E2006102407:Null pointer is passed.");
        Fail(NUVSRC_ERR_ILLEGAL_ARGUMENT);
        return;
    }
    if (count < 0) {
        Report(NUVBASE_LEVEL_ERROR, "E2006102408:The number of input samples is illegal.");
        Fail(NUVSRC_ERR_ILLEGAL_ARGUMENT);
        return;
    }
    if (flushed_ != 0) {
        Report(NUVBASE_LEVEL_WARNING,
               "W2007100902:The Convert function has been executed before the parameter is reset.");
    }
    if (count > design_.input_rate) {
        Report(
            NUVBASE_LEVEL_ERROR,
            "E2006102409:The number of input samples needs to be smaller than the input sampling "
            "frequency.");
        Fail(NUVSRC_ERR_ILLEGAL_ARGUMENT);
        return;
    }
    if (!Ready()) {
        Report(NUVBASE_LEVEL_ERROR, "E2007062801:Can not allocate memory.");
        Fail(NUVSRC_ERR_MEMORY);
        return;
    }
    if (design_.equal_rates()) {
        if (count > 0)
            std::memcpy(output_buffer_, input, sizeof(double) * static_cast<size_t>(count));
        *output = output_buffer_;
        *output_count = count;
        return;
    }
    nuvsrc::CompleteTable(table_);
    FollowCalibration();
    const int64_t n = count;
    if (primed_ == 0 && n >= 1) {
        std::fill(history_, history_ + design_.history_start, input[0]);
        primed_ = 1;
    }
    *output = nullptr;
    *output_count = 0;
    int64_t produced = 0;
    int64_t s = -static_cast<int64_t>(history_fill_);
    bool go_on = history_fill_ <= 0 || HistoryPhase(input, n, &s, &produced);
    if (go_on) {
        const int64_t blocks = DirectPhase(input, n, s, produced);
        produced += blocks * design_.up();
        if (work_ < kCalibrateAfter) work_ += blocks * design_.up() * design_.filter.taps;
        s += blocks * design_.down;
        KeepTail(input, n, s);
    }
    if (produced > 0) {
        *output = output_buffer_;
        *output_count = static_cast<int32_t>(produced);
    }
}

void NuvSamplingRateConverter::Flush(const double** output, int32_t* output_count, int32_t* err) {
    Call call(this, err);
    buffers_zero_ = false;
    if (output == nullptr || output_count == nullptr) {
        Report(NUVBASE_LEVEL_ERROR, "E2006102410:Null pointer is passed.");
        Fail(NUVSRC_ERR_ILLEGAL_ARGUMENT);
        return;
    }
    *output = nullptr;
    *output_count = 0;
    flushed_ = 1;
    if (design_.equal_rates() || history_fill_ <= 0) return;
    if (!Ready()) {
        Report(NUVBASE_LEVEL_ERROR, "E2007062801:Can not allocate memory.");
        Fail(NUVSRC_ERR_MEMORY);
        return;
    }
    nuvsrc::CompleteTable(table_);
    const double last = history_[history_fill_ - 1];
    const int64_t owed =
        nuvsrc::OwedOutputs(history_fill_, design_.history_start, design_.up(), design_.down);
    if (owed <= 0) return;
    const int64_t d = design_.block_length;
    const int64_t m = design_.down;
    const int64_t l = design_.up();
    // Very low input rates owe more than the buffer holds: it grows here to
    // whole blocks, the only place where the converter allocates on the way.
    const int64_t needed = (owed + l - 1) / l * l;
    if (needed > output_capacity_) {
        double* grown =
            needed <= 0x7FFFFFFF
                ? static_cast<double*>(std::calloc(static_cast<size_t>(needed), sizeof(double)))
                : nullptr;
        if (grown == nullptr) {
            Report(NUVBASE_LEVEL_ERROR, "E2007062801:Can not allocate memory.");
            Fail(NUVSRC_ERR_MEMORY);
            return;
        }
        std::free(output_buffer_);
        output_buffer_ = grown;
        output_capacity_ = static_cast<int32_t>(needed);
    }
    // The end of the stream is padded with the last input sample.
    const int64_t blocks = (owed + l - 1) / l;
    const int64_t span = (blocks - 1) * m + d;  // samples the owed blocks read
    if (history_fill_ < d && span <= history_capacity_) {
        // The owed blocks side by side over the history padded to their end.
        std::fill(history_ + history_fill_, history_ + span, last);
        RunBlocksHere(history_, static_cast<int32_t>(blocks), output_buffer_,
                      scratch_[nuvsrc::kPoolSize]);
        history_fill_ = static_cast<int32_t>(history_fill_ - blocks * m);
        // The window of the last block stays held, as when the blocks run one
        // at a time.
        if (blocks > 1) {
            std::memmove(history_, history_ + (blocks - 1) * m,
                         sizeof(double) * static_cast<size_t>(d));
        }
        *output = output_buffer_;
        *output_count = static_cast<int32_t>(owed);
        return;
    }
    int64_t produced = 0;
    std::fill(history_ + std::min<int64_t>(history_fill_, d), history_ + d, last);
    for (;;) {
        RunBlocksHere(history_, 1, output_buffer_ + produced, scratch_[nuvsrc::kPoolSize]);
        produced += l;
        history_fill_ = static_cast<int32_t>(history_fill_ - m);
        if (produced >= owed) break;
        if (m < d)
            std::memmove(history_, history_ + m, sizeof(double) * static_cast<size_t>(d - m));
        std::fill(history_ + std::max<int64_t>(d - m, 0), history_ + d, last);
    }
    *output = output_buffer_;
    *output_count = static_cast<int32_t>(owed);
}
