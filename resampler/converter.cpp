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
        *err = -3;
        return nullptr;
    }
    NuvAllocatorHandle* allocator = nuvsrc::LibraryAllocator();
    int32_t code = 0;
    c->lock_ = allocator != nullptr ? NUVCS_Create(allocator, &code) : nullptr;
    if (c->lock_ == nullptr) {
        NUVBASE_ReportError(NUVBASE_LEVEL_ERROR,
                            "E2006102403:Can not create critical section object.");
        *err = -1;
        c->Destroy(nullptr);
        return nullptr;
    }
    c->lanes_ = nuvsrc::BestKernel();
    return c;
}

void NuvSamplingRateConverter::Fail(int32_t code) {
    if (pending_error_ == 0) pending_error_ = code;
}

void NuvSamplingRateConverter::Report(int32_t level, const char* text) {
    NUVBASE_ReportError(level, text);
}

INuvSamplingRateConverter* NuvSamplingRateConverter::Clone(int32_t* err) {
    Call call(this, err);
    int32_t code = 0;
    NuvSamplingRateConverter* c = Make(&code);
    if (c == nullptr) {
        Report(NUVBASE_LEVEL_ERROR, "E2006103101:Can not create NuvSamplingRateConverter object.");
        Fail(-1);
        return nullptr;
    }
    c->filter_memory_size_ = filter_memory_size_;
    c->history_fill_ = history_fill_;
    c->history_start_ = history_start_;
    c->input_rate_ = input_rate_;
    c->output_rate_ = output_rate_;
    c->down_factor_ = down_factor_;
    c->up_factor_ = up_factor_;
    c->cutoff_ = cutoff_;
    c->cutoff_angle_ = cutoff_angle_;
    c->block_length_ = block_length_;
    c->table_ = table_;
    nuvsrc::ShareTable(table_);
    c->filter_length_ = filter_length_;
    c->filter_center_ = filter_center_;
    c->taps_per_phase_ = taps_per_phase_;
    c->quality_ = quality_;
    c->primed_ = primed_;
    c->flushed_ = flushed_;
    c->shape_ = shape_;
    c->lanes_ = lanes_;
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
        int32_t n = c->history_capacity_ < history_capacity_ ? c->history_capacity_ : history_capacity_;
        if (history_fill_ < n) n = history_fill_;
        std::memcpy(c->history_, history_, sizeof(double) * static_cast<size_t>(n));
    }
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
        Fail(-1);
        return;
    }
    ClearStream();
    filter_memory_size_ = size;
    Redesign();
}

int64_t NuvSamplingRateConverter::GetFilterMemorySize(int32_t* err) {
    Call call(this, err);
    return filter_memory_size_;
}

void NuvSamplingRateConverter::SetSamplingRates(int32_t input_rate, int32_t output_rate,
                                                int32_t* err) {
    Call call(this, err);
    if (input_rate <= 0 || output_rate <= 0) {
        Report(NUVBASE_LEVEL_ERROR, "E2006102404:Illegal rate is passed.");
        Fail(-1);
        return;
    }
    ClearStream();
    if (input_rate == input_rate_ && output_rate == output_rate_) return;
    input_rate_ = input_rate;
    output_rate_ = output_rate;
    DeriveRatio();
    Redesign();
    SizeBuffers();
}

void NuvSamplingRateConverter::GetSamplingRates(int32_t* input_rate, int32_t* output_rate,
                                                int32_t* err) {
    Call call(this, err);
    if (input_rate != nullptr) *input_rate = input_rate_;
    if (output_rate != nullptr) *output_rate = output_rate_;
}

void NuvSamplingRateConverter::SetQuality(int32_t quality, int32_t* err) {
    Call call(this, err);
    if (quality < nuvsrc::kMinQuality || quality > nuvsrc::kMaxQuality) {
        Report(NUVBASE_LEVEL_ERROR, "E2006102406:Illegal quality value is passed.");
        Fail(-1);
        return;
    }
    ClearStream();
    if (quality == quality_) return;
    quality_ = quality;
    Redesign();
    SizeBuffers();
}

int32_t NuvSamplingRateConverter::GetQuality(int32_t* err) {
    Call call(this, err);
    return quality_;
}

void NuvSamplingRateConverter::DeriveRatio() {
    const nuvsrc::Ratio r = nuvsrc::DeriveRatio(input_rate_, output_rate_);
    down_factor_ = r.down;
    up_factor_ = r.up;
    cutoff_ = r.cutoff;
    cutoff_angle_ = r.cutoff_angle;
}

void NuvSamplingRateConverter::Redesign() {
    if (down_factor_ <= 0 || up_factor_ <= 0) {
        Report(NUVBASE_LEVEL_ERROR, "E2006102411:Illegal conversion rate is passed.");
        Fail(-1);
        return;
    }
    if (quality_ < nuvsrc::kMinQuality || quality_ > nuvsrc::kMaxQuality) {
        Report(NUVBASE_LEVEL_ERROR, "E2006102412:Illegal quality value is passed.");
        Fail(-1);
        return;
    }
    nuvsrc::ReleaseTable(&table_);
    if (down_factor_ != up_factor_) {
        taps_per_phase_ = nuvsrc::TapsPerPhase(quality_);
        filter_length_ = nuvsrc::FilterLength(up_factor_, taps_per_phase_);
        filter_center_ = nuvsrc::FilterCenter(filter_length_);
        shape_.up = up_factor_;
        shape_.taps = taps_per_phase_;
        shape_.length = filter_length_;
        shape_.center = filter_center_;
        shape_.cutoff = cutoff_;
        shape_.cutoff_angle = cutoff_angle_;
        if (nuvsrc::TableFits(filter_length_, filter_memory_size_)) {
            // A table that cannot be completed is released by StartTable; the
            // converter then computes its coefficients on demand. The rows
            // are filled on the pool meanwhile; the first call that runs the
            // kernel completes them.
            const nuvsrc::TableBuildResult built = nuvsrc::StartTable(shape_, &table_);
            if (built.code != 0) {
                Report(NUVBASE_LEVEL_ERROR, built.message);
                Fail(built.code);
            }
        }
    }
    UpdateGeometry();
}

void NuvSamplingRateConverter::FreeBuffers() {
    std::free(output_buffer_);
    std::free(history_);
    std::free(plan_);
    ::operator delete(scratch_[0], kScratchAlignment);
    output_buffer_ = nullptr;
    history_ = nullptr;
    plan_ = nullptr;
    for (double*& s : scratch_) s = nullptr;
    output_capacity_ = 0;
    history_capacity_ = 0;
}

void NuvSamplingRateConverter::SizeBuffers() {
    FreeBuffers();
    int64_t output_capacity = output_rate_;
    int64_t history_capacity = 0;
    int64_t scratch_doubles = 0;
    lanes_fit_ = false;
    if (down_factor_ != up_factor_) {
        block_length_ = nuvsrc::BlockLength(up_factor_, down_factor_, filter_length_);
        output_capacity = 2 * static_cast<int64_t>(output_rate_);
        // Room for the history-phase blocks of one call side by side: the
        // held samples plus the input their last block reads, below 2 D.
        history_capacity = input_rate_ > 2 * block_length_ ? input_rate_ : 2 * block_length_;
        UpdateGeometry();
        const int32_t lanes = nuvsrc::KernelLanes(lanes_);
        lanes_fit_ = lanes > 1 && block_length_ * lanes <= kLaneScratchLimit;
        scratch_doubles = static_cast<int64_t>(
            nuvsrc::KernelScratchDoubles(nuvsrc::KernelVariant::kMultiOutput, geometry_));
        if (lanes_fit_) {
            const auto lane_doubles = static_cast<int64_t>(nuvsrc::KernelScratchDoubles(lanes_, geometry_));
            if (lane_doubles > scratch_doubles) scratch_doubles = lane_doubles;
        }
        scratch_doubles = RoundToLine(scratch_doubles);
        const int64_t block_work = static_cast<int64_t>(up_factor_) * taps_per_phase_;
        int64_t per_job = (kWorkPerJob + block_work - 1) / block_work;
        if (lanes_fit_) per_job = (per_job + lanes - 1) / lanes * lanes;
        blocks_per_job_ = static_cast<int32_t>(per_job < 1 ? 1 : (per_job > kMaxCount ? kMaxCount : per_job));
    }
    bool ok = output_capacity <= kMaxCount && history_capacity <= kMaxCount;
    if (ok) {
        output_buffer_ = static_cast<double*>(std::calloc(static_cast<size_t>(output_capacity), sizeof(double)));
        ok = output_buffer_ != nullptr;
    }
    if (ok && history_capacity > 0) {
        history_ = static_cast<double*>(std::calloc(static_cast<size_t>(history_capacity), sizeof(double)));
        plan_ = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * 2 * static_cast<size_t>(up_factor_)));
        const size_t scratch_bytes =
            sizeof(double) * static_cast<size_t>(scratch_doubles) * (nuvsrc::kPoolSize + 1);
        scratch_[0] = static_cast<double*>(::operator new(scratch_bytes, kScratchAlignment, std::nothrow));
        ok = history_ != nullptr && plan_ != nullptr && scratch_[0] != nullptr;
    }
    if (!ok) {
        FreeBuffers();
        UpdateGeometry();
        Report(NUVBASE_LEVEL_ERROR, "E2007062801:Can not allocate memory.");
        Fail(-3);
        return;
    }
    output_capacity_ = static_cast<int32_t>(output_capacity);
    history_capacity_ = static_cast<int32_t>(history_capacity);
    if (plan_ != nullptr) {
        for (int32_t i = 1; i <= nuvsrc::kPoolSize; ++i) scratch_[i] = scratch_[i - 1] + scratch_doubles;
        nuvsrc::BlockPlan(up_factor_, down_factor_, filter_center_, plan_, plan_ + up_factor_);
    }
    // Set also after an earlier failure of the call (a table that could not be
    // built): the converter then works with coefficients computed on demand.
    history_start_ = nuvsrc::HistoryStart(taps_per_phase_);
    history_fill_ = history_start_;
    UpdateGeometry();
}

void NuvSamplingRateConverter::UpdateGeometry() {
    geometry_.up = up_factor_;
    geometry_.down = down_factor_;
    geometry_.taps = taps_per_phase_;
    geometry_.block_length = block_length_;
    geometry_.phase = plan_;
    geometry_.offset = plan_ != nullptr ? plan_ + up_factor_ : nullptr;
    geometry_.rows = table_.rows;
    geometry_.shape = &shape_;
}

NuvSamplingRateConverter::Design NuvSamplingRateConverter::Inspect() const {
    nuvsrc::CompleteTable(table_);
    Design d{};
    d.up = up_factor_;
    d.down = down_factor_;
    d.taps = taps_per_phase_;
    d.filter_length = filter_length_;
    d.filter_center = filter_center_;
    d.block_length = block_length_;
    d.history_start = history_start_;
    d.history_fill = history_fill_;
    d.cutoff = cutoff_;
    d.has_table = table_.rows != nullptr;
    d.rows = table_.rows;
    d.output_capacity = output_capacity_;
    return d;
}

const nuvsrc::KernelGeometry& NuvSamplingRateConverter::Geometry() const {
    nuvsrc::CompleteTable(table_);
    return geometry_;
}

void NuvSamplingRateConverter::UseKernel(nuvsrc::KernelVariant v) {
    Call call(this, nullptr);
    if (!nuvsrc::KernelSupported(v)) return;
    lanes_ = v;
    ClearStream();
    if (down_factor_ != up_factor_) SizeBuffers();
}

void NuvSamplingRateConverter::UsePool(bool on) {
    Call call(this, nullptr);
    use_pool_ = on;
}

void NuvSamplingRateConverter::ReplaceLock(NuvCsObj* lock) {
    int32_t discard = 0;
    if (lock_ != nullptr) lock_->Destroy(&discard);
    lock_ = lock;
}
