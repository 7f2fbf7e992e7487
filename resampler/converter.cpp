// Converter lifecycle: creation, clone, destroy, the setters and getters, and
// the design steps they trigger (ratio, filter, buffer sizing).
#include "resampler/converter.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "resampler/converter_call.h"
#include "resampler/ratio.h"
#include "runtime/nuv_base.h"

namespace {

// Work (multiply-adds) one pool job should carry so that it outweighs the
// hand-off to a worker thread.
constexpr int64_t kWorkPerJob = int64_t{1} << 19;

// Largest interleaved input (doubles) one lane group may need; designs with
// longer blocks run the multi-output kernel only.
constexpr int64_t kLaneScratchLimit = int64_t{1} << 17;

constexpr int64_t kMaxCount = 0x7FFFFFFF;
// The lanes' scratch starts on a cache line. Aligned new rather than
// aligned_alloc, which the Windows C library does not have.
constexpr std::align_val_t kScratchAlignment{64};

// Doubles in one scratch area, rounded up to whole 64-byte lines.
int64_t RoundToLine(int64_t doubles) { return (doubles + 7) / 8 * 8; }

}  // namespace

NuvSamplingRateConverter* NuvSamplingRateConverter::Make(int32_t* err) {
    auto* c = new (std::nothrow) NuvSamplingRateConverter();
    if (c == nullptr) {
        NUVBASE_ReportError(NUVBASE_LEVEL_ERROR, "E2006102401:Can not allocate memory.");
        *err = NUVSRC_ERR_MEMORY;
        return nullptr;
    }
    NuvAllocatorHandle* allocator = nuvsrc::LibraryAllocator();
    int32_t code = 0;
    c->lock_ = allocator != nullptr ? NUVCS_Create(allocator, &code) : nullptr;
    if (c->lock_ == nullptr) {
        NUVBASE_ReportError(NUVBASE_LEVEL_ERROR,
                            "E2006102403:Can not create critical section object.");
        *err = NUVSRC_ERR_ILLEGAL_ARGUMENT;
        c->Destroy(nullptr);
        return nullptr;
    }
    c->allocator_ = allocator;
    c->lanes_ = nuvsrc::CurrentKernel();
    return c;
}

void NuvSamplingRateConverter::Fail(int32_t code) {
    if (pending_error_ == 0) pending_error_ = code;
}

void NuvSamplingRateConverter::Report(int32_t level, const char* text) {
    NUVBASE_ReportError(level, text);
}

// Gives a converter just made by Clone, which no other thread can see yet,
// this converter's design, table and stream. Its own lock is not needed for
// that, and the analysis cannot know the object is not shared, so the body
// is not checked.
void NuvSamplingRateConverter::CopyInto(NuvSamplingRateConverter* c) const
    TOLMEK_NO_THREAD_SAFETY_ANALYSIS {
    c->design_ = design_;
    c->table_ = table_;
    nuvsrc::ShareTable(table_);
    c->allocator_ = allocator_;
    c->primed_ = primed_;
    c->flushed_ = flushed_;
    c->lanes_ = lanes_;
    c->lanes_fixed_ = lanes_fixed_;
    c->use_pool_ = use_pool_;

    // The clone's own buffers; a failure stays with the clone and is returned
    // by its next call. The clone then continues the source's stream: it
    // takes the held input history[0 .. F-1]. The rest of the history and
    // the output buffer are written by each call before they are read, so
    // they are not copied (a fresh converter's megabyte of untouched pages
    // stays untouched).
    c->SizeBuffers();
    c->history_fill_ = history_fill_;
    if (c->history_ != nullptr && history_ != nullptr && history_fill_ > 0) {
        int32_t n =
            c->history_capacity_ < history_capacity_ ? c->history_capacity_ : history_capacity_;
        if (history_fill_ < n) n = history_fill_;
        std::memcpy(c->history_, history_, sizeof(double) * static_cast<size_t>(n));
        c->buffers_zero_ = false;
    }
}

INuvSamplingRateConverter* NuvSamplingRateConverter::Clone(int32_t* err) {
    Call call(this, err);
    int32_t code = 0;
    NuvSamplingRateConverter* c = Make(&code);
    if (c == nullptr) {
        Report(NUVBASE_LEVEL_ERROR, "E2006103101:Can not create NuvSamplingRateConverter object.");
        Fail(NUVSRC_ERR_ILLEGAL_ARGUMENT);
        return nullptr;
    }
    CopyInto(c);
    return c;
}

void NuvSamplingRateConverter::Destroy(int32_t* err) {
    if (err != nullptr) *err = 0;
    nuvsrc::ReleaseTable(&table_);
    FreeBuffers();
    if (lock_ != nullptr) {
        int32_t discard = 0;
        lock_->Destroy(&discard);
        lock_ = nullptr;
    }
    delete this;
}

void NuvSamplingRateConverter::SetFilterMemorySize(int64_t size, int32_t* err) {
    Call call(this, err);
    if (size < 0) {
        Report(NUVBASE_LEVEL_ERROR, "E2007100901:Illegal filter memory size.");
        Fail(NUVSRC_ERR_ILLEGAL_ARGUMENT);
        return;
    }
    ClearStream();
    Redesign(nuvsrc::MakeDesign(design_.input_rate, design_.output_rate, design_.quality, size));
}

int64_t NuvSamplingRateConverter::GetFilterMemorySize(int32_t* err) {
    Call call(this, err);
    return design_.memory_limit;
}

void NuvSamplingRateConverter::SetSamplingRates(int32_t input_rate, int32_t output_rate,
                                                int32_t* err) {
    Call call(this, err);
    if (input_rate <= 0 || output_rate <= 0) {
        Report(NUVBASE_LEVEL_ERROR, "E2006102404:Illegal rate is passed.");
        Fail(NUVSRC_ERR_ILLEGAL_ARGUMENT);
        return;
    }
    ClearStream();
    if (input_rate == design_.input_rate && output_rate == design_.output_rate) return;
    Redesign(nuvsrc::MakeDesign(input_rate, output_rate, design_.quality, design_.memory_limit));
    SizeBuffers();
}

void NuvSamplingRateConverter::GetSamplingRates(int32_t* input_rate, int32_t* output_rate,
                                                int32_t* err) {
    Call call(this, err);
    if (input_rate != nullptr) *input_rate = design_.input_rate;
    if (output_rate != nullptr) *output_rate = design_.output_rate;
}

void NuvSamplingRateConverter::SetQuality(int32_t quality, int32_t* err) {
    Call call(this, err);
    if (quality < nuvsrc::kMinQuality || quality > nuvsrc::kMaxQuality) {
        Report(NUVBASE_LEVEL_ERROR, "E2006102406:Illegal quality value is passed.");
        Fail(NUVSRC_ERR_ILLEGAL_ARGUMENT);
        return;
    }
    ClearStream();
    if (quality == design_.quality) return;
    Redesign(
        nuvsrc::MakeDesign(design_.input_rate, design_.output_rate, quality, design_.memory_limit));
    SizeBuffers();
}

int32_t NuvSamplingRateConverter::GetQuality(int32_t* err) {
    Call call(this, err);
    return design_.quality;
}

void NuvSamplingRateConverter::Redesign(const nuvsrc::Design& next) {
    design_ = next;
    if (design_.down <= 0 || design_.up() <= 0) {
        Report(NUVBASE_LEVEL_ERROR, "E2006102411:Illegal conversion rate is passed.");
        Fail(NUVSRC_ERR_ILLEGAL_ARGUMENT);
        return;
    }
    if (design_.quality < nuvsrc::kMinQuality || design_.quality > nuvsrc::kMaxQuality) {
        Report(NUVBASE_LEVEL_ERROR, "E2006102412:Illegal quality value is passed.");
        Fail(NUVSRC_ERR_ILLEGAL_ARGUMENT);
        return;
    }
    nuvsrc::ReleaseTable(&table_);
    if (design_.keeps_table) {
        // A table that cannot be completed is released by StartTable; the
        // converter then computes its coefficients on demand. The rows are
        // filled on the pool meanwhile; the first call that runs the kernel
        // completes them.
        const nuvsrc::TableBuildResult built =
            nuvsrc::StartTable(design_.filter, &table_, allocator_);
        if (built.code != 0) {
            Report(NUVBASE_LEVEL_ERROR, built.message);
            Fail(built.code);
        }
    }
}

void NuvSamplingRateConverter::FreeBuffers() {
    std::free(output_buffer_);
    std::free(history_);
    std::free(plan_);
    ::operator delete(scratch_[0], kScratchAlignment);
    output_buffer_ = nullptr;
    history_ = nullptr;
    plan_ = nullptr;
    for (double*& s : scratch_)
        s = nullptr;
    output_capacity_ = 0;
    history_capacity_ = 0;
}

namespace {

// Whether the lane scratch of variant `v` fits for blocks of `block_length`.
bool LanesFit(nuvsrc::KernelVariant v, int64_t block_length) {
    const int32_t lanes = nuvsrc::KernelLanes(v);
    return lanes > 1 && block_length * lanes <= kLaneScratchLimit;
}

}  // namespace

// How the kernel runs over blocks of this design with the current lane
// variant: whether its scratch fits and how many consecutive blocks one
// pool job takes.
void NuvSamplingRateConverter::PlanLanes() {
    const int32_t lanes = nuvsrc::KernelLanes(lanes_);
    lanes_fit_ = LanesFit(lanes_, design_.block_length);
    const int64_t block_work = static_cast<int64_t>(design_.up()) * design_.filter.taps;
    int64_t per_job = (kWorkPerJob + block_work - 1) / block_work;
    if (lanes_fit_) per_job = (per_job + lanes - 1) / lanes * lanes;
    blocks_per_job_ =
        static_cast<int32_t>(per_job < 1 ? 1 : (per_job > kMaxCount ? kMaxCount : per_job));
}

// PlanLanes, and the doubles of one scratch area: enough for every lane
// variant the converter may take, so that it can follow the calibration
// between two calls. Only the part a variant uses is ever touched.
int64_t NuvSamplingRateConverter::PlanRuns() {
    PlanLanes();
    const nuvsrc::KernelGeometry g = Geometry();
    int64_t scratch_doubles =
        static_cast<int64_t>(nuvsrc::KernelScratchDoubles(nuvsrc::KernelVariant::kMultiOutput, g));
    for (nuvsrc::KernelVariant v : nuvsrc::kAllKernelVariants) {
        if (!nuvsrc::KernelSupported(v) || !LanesFit(v, design_.block_length)) continue;
        const auto lane_doubles = static_cast<int64_t>(nuvsrc::KernelScratchDoubles(v, g));
        if (lane_doubles > scratch_doubles) scratch_doubles = lane_doubles;
    }
    return RoundToLine(scratch_doubles);
}

void NuvSamplingRateConverter::SizeBuffers() {
    FreeBuffers();
    int64_t output_capacity = design_.output_rate;
    int64_t history_capacity = 0;
    int64_t scratch_doubles = 0;
    lanes_fit_ = false;
    if (!design_.equal_rates()) {
        output_capacity = 2 * static_cast<int64_t>(design_.output_rate);
        // Room for the history-phase blocks of one call side by side: the
        // held samples (fewer than D) plus the input their last block reads,
        // up to a whole call's input when they take the direct phase's rest
        // too, and at least 2 D for the blocks Flush owes.
        const int64_t d = design_.block_length;
        history_capacity = (design_.input_rate > d ? design_.input_rate : d) + d;
        scratch_doubles = PlanRuns();
    }
    bool ok = output_capacity <= kMaxCount && history_capacity <= kMaxCount;
    if (ok) {
        output_buffer_ =
            static_cast<double*>(std::calloc(static_cast<size_t>(output_capacity), sizeof(double)));
        ok = output_buffer_ != nullptr;
    }
    if (ok && history_capacity > 0) {
        history_ = static_cast<double*>(
            std::calloc(static_cast<size_t>(history_capacity), sizeof(double)));
        plan_ = static_cast<int32_t*>(
            std::malloc(sizeof(int32_t) * 2 * static_cast<size_t>(design_.up())));
        const size_t scratch_bytes =
            sizeof(double) * static_cast<size_t>(scratch_doubles) * (nuvsrc::kPoolSize + 1);
        scratch_[0] =
            static_cast<double*>(::operator new(scratch_bytes, kScratchAlignment, std::nothrow));
        ok = history_ != nullptr && plan_ != nullptr && scratch_[0] != nullptr;
    }
    if (!ok) {
        FreeBuffers();
        Report(NUVBASE_LEVEL_ERROR, "E2007062801:Can not allocate memory.");
        Fail(NUVSRC_ERR_MEMORY);
        return;
    }
    output_capacity_ = static_cast<int32_t>(output_capacity);
    history_capacity_ = static_cast<int32_t>(history_capacity);
    if (plan_ != nullptr) {
        for (int32_t i = 1; i <= nuvsrc::kPoolSize; ++i)
            scratch_[i] = scratch_[i - 1] + scratch_doubles;
        nuvsrc::BlockPlan(design_.up(), design_.down, design_.filter.center, plan_,
                          plan_ + design_.up());
    }
    // Set also after an earlier failure of the call (a table that could not be
    // built): the converter then works with coefficients computed on demand.
    history_fill_ = design_.history_start;
    buffers_zero_ = true;  // freshly allocated with calloc
}

nuvsrc::KernelGeometry NuvSamplingRateConverter::Geometry() const {
    nuvsrc::KernelGeometry g;
    g.design = &design_;
    g.phase = plan_;
    g.offset = plan_ != nullptr ? plan_ + design_.up() : nullptr;
    g.rows = table_.rows;
    return g;
}
