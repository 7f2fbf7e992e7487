// Controls of a converter for tests and benchmarks only: what the shipped
// interface does not offer (reading the design and stream state, forcing a
// kernel variant, keeping work off the pool, replacing the lock or the
// table's allocator). Not for production callers.
//
// The readers take no lock: call them only while no other call on the
// converter is in progress.
#pragma once

#include "resampler/converter.h"
#include "resampler/converter_call.h"

class ConverterTestPeer {
  public:
    // The design and the stream state, as one record.
    struct Inspection {
        nuvsrc::Design design;
        int32_t history_fill;
        bool has_table;
        const double* const* rows;
        int32_t output_capacity;
    };

    static Inspection Inspect(INuvSamplingRateConverter* converter) {
        const NuvSamplingRateConverter* c = Of(converter);
        nuvsrc::CompleteTable(c->table_);
        return Inspection{c->design_, c->history_fill_, c->table_.rows != nullptr, c->table_.rows,
                          c->output_capacity_};
    }

    // The kernel view of the current design (its table complete). Valid
    // while the converter lives and keeps its design.
    static nuvsrc::KernelGeometry Geometry(INuvSamplingRateConverter* converter) {
        const NuvSamplingRateConverter* c = Of(converter);
        nuvsrc::CompleteTable(c->table_);
        return c->Geometry();
    }

    // Forces a kernel variant for the lane runs (unsupported ones are
    // ignored); resets the stream.
    static void UseKernel(INuvSamplingRateConverter* converter, nuvsrc::KernelVariant v) {
        NuvSamplingRateConverter* c = Of(converter);
        NuvSamplingRateConverter::Call call(c, nullptr);
        if (!nuvsrc::KernelSupported(v)) return;
        c->lanes_ = v;
        c->lanes_fixed_ = true;
        c->ClearStream();
        if (!c->design_.equal_rates()) c->SizeBuffers();
    }

    // Changes the lane variant between two calls, as following the
    // calibration does: the stream goes on (unsupported ones are ignored).
    static void SwitchKernel(INuvSamplingRateConverter* converter, nuvsrc::KernelVariant v) {
        NuvSamplingRateConverter* c = Of(converter);
        NuvSamplingRateConverter::Call call(c, nullptr);
        if (!nuvsrc::KernelSupported(v)) return;
        c->lanes_ = v;
        c->lanes_fixed_ = true;
        c->PlanLanes();
    }

    // The kernel variant the lane runs use.
    static nuvsrc::KernelVariant Kernel(INuvSamplingRateConverter* converter) {
        return Of(converter)->lanes_;
    }

    // Off: the direct phase runs every block on the calling thread.
    static void UsePool(INuvSamplingRateConverter* converter, bool on) {
        NuvSamplingRateConverter* c = Of(converter);
        NuvSamplingRateConverter::Call call(c, nullptr);
        c->use_pool_ = on;
    }

    // Puts another lock object in place (destroying the current one); the
    // converter owns it from here on.
    static void ReplaceLock(INuvSamplingRateConverter* converter, NuvCsObj* lock) {
        NuvSamplingRateConverter* c = Of(converter);
        int32_t discard = 0;
        if (c->lock_ != nullptr) c->lock_->Destroy(&discard);
        c->lock_ = lock;
    }

    // The allocator of the tables the converter builds from here on.
    static void UseAllocator(INuvSamplingRateConverter* converter, NuvAllocatorHandle* allocator) {
        NuvSamplingRateConverter* c = Of(converter);
        NuvSamplingRateConverter::Call call(c, nullptr);
        c->allocator_ = allocator;
    }

  private:
    static NuvSamplingRateConverter* Of(INuvSamplingRateConverter* converter) {
        return static_cast<NuvSamplingRateConverter*>(converter);
    }
};
