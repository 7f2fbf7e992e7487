// NuvSamplingRateConverter: the one implementation of the converter interface.
//
// Every operation but Destroy runs under the object's own lock; calls on one
// converter are serialised, different converters run on different threads.
// The coefficient table is shared read-only with clones. Blocks of a Convert
// call that lie wholly inside the caller's input go, in runs of consecutive
// blocks, to the library's pool of worker threads; every such job is finished
// before Convert returns.
#pragma once

#include <atomic>
#include <cstdint>

#include "resampler/design.h"
#include "resampler/filter.h"
#include "resampler/kernel.h"
#include "resampler/nuv_src.h"
#include "platform/thread_annotations.h"
#include "runtime/nuv_cs.h"
#include "runtime/nuv_delegate.h"

namespace nuvsrc {

inline constexpr int32_t kPoolSize = 8;

// Pool worker i shared by all converters (slot i of a converter's job table
// pairs with it), or null outside NUVSRC_Initialize ... NUVSRC_Finalize.
NuvDelegate* PoolWorker(int32_t i);

// The process allocator once the library is initialised, else null.
NuvAllocatorHandle* LibraryAllocator();

// Processors that run this process's threads (1 ... kPoolSize): how many
// threads, the caller's included, one piece of work is worth spreading over.
int32_t Processors();

// Threads now in the direct phase of a Convert, each counted while a
// Converting object lives on it, and the threads marked as converting
// (NUVSRC_BeginConvertingThread), each counted once whatever it does.
int32_t ConvertingThreads();
class Converting {
  public:
    Converting();
    ~Converting();
    Converting(const Converting&) = delete;
    Converting& operator=(const Converting&) = delete;

  private:
    bool counted_;  // false on a marked thread, which is counted already
};

}  // namespace nuvsrc

class NuvSamplingRateConverter final : public INuvSamplingRateConverter {
  public:
    // Steps shared by NUVSRC_Create and Clone: a default converter with its
    // lock, or null (its own message reported, *err set).
    static NuvSamplingRateConverter* Make(int32_t* err);

    INuvSamplingRateConverter* Clone(int32_t* err) override;
    void Destroy(int32_t* err) override;
    void SetFilterMemorySize(int64_t size, int32_t* err) override;
    int64_t GetFilterMemorySize(int32_t* err) override;
    void SetSamplingRates(int32_t input_rate, int32_t output_rate, int32_t* err) override;
    void GetSamplingRates(int32_t* input_rate, int32_t* output_rate, int32_t* err) override;
    void SetQuality(int32_t quality, int32_t* err) override;
    int32_t GetQuality(int32_t* err) override;
    void Reset(int32_t* err) override;
    void Convert(const double* input, int32_t count, const double** output, int32_t* output_count,
                 int32_t* err) override;
    void Flush(const double** output, int32_t* output_count, int32_t* err) override;

  private:
    friend class ConverterTestPeer;  // tests and benchmarks: resampler/converter_testing.h
    class Call;                      // the calling protocol of every locked operation

    // The blocks of one direct phase, taken a run of blocks_per_job_ at a
    // time by the caller and the pool jobs it posted until none is left: a
    // worker that finishes a run takes the next one at once, instead of
    // waiting for the caller to finish its own and hand it one.
    struct RunShare {
        const double* source = nullptr;  // input of the phase's first block
        double* destination = nullptr;   // output of the phase's first block
        int64_t blocks = 0;
        std::atomic<int64_t> next{0};  // first block of the next run to take
    };

    // The argument record of the job posted to pool worker i.
    struct Job {
        const NuvSamplingRateConverter* converter;
        double* scratch;
    };

    NuvSamplingRateConverter() = default;
    ~NuvSamplingRateConverter() override = default;

    void Fail(int32_t code) TOLMEK_REQUIRES(lock_);
    void Report(int32_t level, const char* text);

    // Internal steps, run inside an operation's call scope.
    void ClearStream() TOLMEK_REQUIRES(lock_);
    void Redesign(const nuvsrc::Design& next) TOLMEK_REQUIRES(lock_);
    int64_t PlanRuns();
    void PlanLanes();
    void FollowCalibration() TOLMEK_REQUIRES(lock_);
    void SizeBuffers() TOLMEK_REQUIRES(lock_);
    void CopyInto(NuvSamplingRateConverter* c) const TOLMEK_REQUIRES(lock_);
    void FreeBuffers();
    nuvsrc::KernelGeometry Geometry() const;
    bool Ready() const;
    void RunBlocksHere(const double* src, int32_t blocks, double* dst, double* scratch) const;
    void PostRuns(int64_t runs) TOLMEK_REQUIRES(lock_);
    void TakeRuns(double* scratch) const;
    void WaitForJobs() TOLMEK_REQUIRES(lock_);
    static void PoolJob(void* argument);
    // The three phases of Convert.
    bool HistoryPhase(const double* input, int64_t n, int64_t* s, int64_t* produced)
        TOLMEK_REQUIRES(lock_);
    int64_t DirectRest(int64_t n, int64_t s) const;
    int64_t DirectPhase(const double* input, int64_t n, int64_t s, int64_t produced)
        TOLMEK_REQUIRES(lock_);
    void KeepTail(const double* input, int64_t n, int64_t s) TOLMEK_REQUIRES(lock_);

    // Guarded by lock_. Pool jobs read the design while the posting Convert
    // holds the lock, and each writes only its own range of output_buffer_.
    NuvCsObj* lock_ = nullptr;
    NuvAllocatorHandle* allocator_ = nullptr;  // the table's blocks
    int32_t pending_error_ TOLMEK_GUARDED_BY(lock_) = 0;
    int32_t job_ids_[nuvsrc::kPoolSize] TOLMEK_GUARDED_BY(lock_) = {};
    Job jobs_[nuvsrc::kPoolSize] = {};
    mutable RunShare share_;  // the current direct phase's runs

    // The design, and the table made from it (shared with clones).
    nuvsrc::Design design_;
    nuvsrc::CoefficientTable table_;

    // Stream state.
    int32_t history_fill_ TOLMEK_GUARDED_BY(lock_) = 0;
    // The output buffer and the history hold zeros only: nothing was written
    // to them since they were allocated or cleared, so a clear can skip them.
    bool buffers_zero_ TOLMEK_GUARDED_BY(lock_) = false;
    int32_t primed_ TOLMEK_GUARDED_BY(lock_) = 0;
    int32_t flushed_ TOLMEK_GUARDED_BY(lock_) = 0;

    // Buffers sized from the design, and how the kernel runs over them.
    double* output_buffer_ = nullptr;
    double* history_ = nullptr;
    int32_t output_capacity_ = 0;
    int32_t history_capacity_ = 0;
    int32_t* plan_ = nullptr;                      // p_k for k < L, then j_k for k < L
    double* scratch_[nuvsrc::kPoolSize + 1] = {};  // one per pool slot, the last for the caller
    nuvsrc::KernelVariant lanes_ = nuvsrc::KernelVariant::kReference;
    bool lanes_fixed_ = false;  // set by tests: lanes_ does not follow the calibration
    int64_t work_ TOLMEK_GUARDED_BY(lock_) = 0;  // multiply-adds run, up to kCalibrateAfter
    bool lanes_fit_ = false;                     // the lane scratch fits for this design
    int32_t blocks_per_job_ = 1;
    bool use_pool_ = true;
};
