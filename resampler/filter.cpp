#include "resampler/filter.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/sync.h"
#include "resampler/converter.h"
#include "resampler/ratio.h"

namespace nuvsrc {

double FilterTap(const FilterShape& f, int64_t i) {
    if (i == f.center) return 2.0 * f.cutoff * f.up;
    const double d = static_cast<double>(i - f.center);
    const double w =
        (1.0 - std::cos(kTwoPi * static_cast<double>(i) / static_cast<double>(f.length - 1))) * 0.5;
    return std::sin(f.cutoff_angle * d) / (d * kPi) * w * f.up;
}

void ComputePhaseRow(const FilterShape& f, int32_t p, double* row) {
    for (int32_t t = 0; t < f.taps; ++t) {
        row[t] = FilterTap(f, p + static_cast<int64_t>(t) * f.up);
    }
}

namespace {

// A block of count * size bytes from the table's allocator, its contents
// undefined.
void* Allocate(NuvAllocatorHandle* allocator, size_t count, size_t size) {
    const size_t bytes = count * size;
    if (allocator->table == nullptr || allocator->table->Allocate == nullptr ||
        bytes > 0x7FFFFFFF) {
        return nullptr;
    }
    return allocator->table->Allocate(allocator, static_cast<int32_t>(bytes), "CoefficientTable",
                                      8);
}

// The same, zero-filled.
void* AllocateZeroed(NuvAllocatorHandle* allocator, size_t count, size_t size) {
    void* block = Allocate(allocator, count, size);
    if (block != nullptr) std::memset(block, 0, count * size);
    return block;
}

void Free(NuvAllocatorHandle* allocator, void* block) {
    if (block != nullptr && allocator != nullptr && allocator->table != nullptr &&
        allocator->table->Free != nullptr) {
        allocator->table->Free(allocator, block);
    }
}

void FreeRows(CoefficientTable* table) {
    NuvAllocatorHandle* allocator = table->allocator;
    if (table->rows != nullptr) {
        for (int32_t p = 0; p < table->row_count; ++p)
            Free(allocator, table->rows[p]);
        Free(allocator, table->rows);
    }
    Free(allocator, table->refs);
    *table = CoefficientTable{};
}

// Coefficient i of the filter goes to row i mod L, tap i div L; a tap past
// the filter's N coefficients is zero. Every cell is written here, so the
// rows are allocated without clearing: their pages are first touched by the
// threads that fill them, side by side.
void FillRows(const FilterShape& f, double** rows, int32_t first, int32_t last) {
    for (int32_t p = first; p < last; ++p) {
        double* row = rows[p];
        for (int32_t t = 0; t < f.taps; ++t) {
            const int64_t i = p + static_cast<int64_t>(t) * f.up;
            row[t] = i < f.length ? FilterTap(f, i) : 0.0;
        }
    }
}

}  // namespace

// The rows of one table, filled by several threads that take a few rows at
// a time until none is left: a thread that starts late takes fewer. Pool
// workers start on it when the table is made; whoever needs the rows joins
// in and then waits for the rows others still fill.
struct TableFill {
    FilterShape shape;
    double** rows = nullptr;
    int32_t rows_per_take = 1;
    std::atomic<int32_t> next{0};
    std::atomic<int32_t> filled{0};  // rows written
    int32_t ids[kPoolSize] = {};     // the workers' jobs, by worker
};

namespace {

void FillTaken(void* argument) {
    auto* fill = static_cast<TableFill*>(argument);
    const int32_t count = fill->shape.up;
    for (;;) {
        const int32_t first = fill->next.fetch_add(fill->rows_per_take, std::memory_order_relaxed);
        if (first >= count) return;
        const int32_t last =
            count - first < fill->rows_per_take ? count : first + fill->rows_per_take;
        FillRows(fill->shape, fill->rows, first, last);
        if (fill->filled.fetch_add(last - first, std::memory_order_release) + (last - first) ==
            count) {
            platform::WakeAll(&fill->filled);
        }
    }
}

// Fills the rows of `fill` with this thread and waits until every row is
// written. Each coefficient is the same FilterTap value whichever thread
// computes it.
void FinishFill(TableFill* fill) {
    FillTaken(fill);
    const int32_t count = fill->shape.up;
    for (int32_t done = fill->filled.load(std::memory_order_acquire); done < count;
         done = fill->filled.load(std::memory_order_acquire)) {
        platform::WaitWhileEqual(&fill->filled, done);
    }
}

// Starts free pool workers, one per processor, on the rows of `fill`; false
// when none took the job.
bool StartFill(TableFill* fill) {
    if (fill->shape.up <= fill->rows_per_take) return false;
    bool started = false;
    int32_t discard = 0;
    for (int32_t i = 0; i < Processors(); ++i) {
        NuvDelegate* worker = PoolWorker(i);
        if (worker != nullptr) fill->ids[i] = worker->Request(&FillTaken, fill, &discard);
        started = started || fill->ids[i] > 0;
    }
    return started;
}

// Waits until the pool workers have left `fill`, so that it can be freed.
void EndFill(TableFill* fill) {
    int32_t discard = 0;
    for (int32_t i = 0; i < kPoolSize; ++i) {
        NuvDelegate* worker = PoolWorker(i);
        if (fill->ids[i] > 0 && worker != nullptr) worker->Wait(fill->ids[i], &discard);
    }
}

}  // namespace

TableBuildResult StartTable(const FilterShape& f, CoefficientTable* table,
                            NuvAllocatorHandle* allocator) {
    *table = CoefficientTable{};
    table->allocator = allocator != nullptr ? allocator : NUVALLOC_ProcessAllocator();
    NuvAllocatorHandle* from = table->allocator;
    table->rows =
        static_cast<double**>(AllocateZeroed(from, static_cast<size_t>(f.up), sizeof(double*)));
    if (table->rows == nullptr) return {NUVSRC_ERR_MEMORY, "E2006102413:Can not allocate memory."};
    table->row_count = f.up;
    for (int32_t p = 0; p < f.up; ++p) {
        table->rows[p] =
            static_cast<double*>(Allocate(from, static_cast<size_t>(f.taps), sizeof(double)));
        if (table->rows[p] == nullptr) {
            FreeRows(table);
            return {NUVSRC_ERR_MEMORY, "E2006102414:Can not allocate memory."};
        }
    }
    table->refs = static_cast<int32_t*>(AllocateZeroed(from, 1, sizeof(int32_t)));
    if (table->refs == nullptr) {
        FreeRows(table);
        return {NUVSRC_ERR_MEMORY, "E2006103102:Can not allocate memory."};
    }
    *table->refs = 1;
    auto* fill = new (std::nothrow) TableFill;
    TableFill local;
    TableFill* used = fill != nullptr ? fill : &local;
    used->shape = f;
    used->rows = table->rows;
    // Some two thousand coefficients per take: few takes, fine shares.
    used->rows_per_take = f.taps >= 2048 ? 1 : 2048 / f.taps;
    if (fill != nullptr && StartFill(fill)) {
        table->fill = fill;
    } else {
        // No worker free (or no room for the fill's record): the rows are
        // filled here and now.
        FinishFill(used);
        delete fill;
    }
    return {};
}

TableBuildResult BuildTable(const FilterShape& f, CoefficientTable* table,
                            NuvAllocatorHandle* allocator) {
    const TableBuildResult result = StartTable(f, table, allocator);
    CompleteTable(*table);
    return result;
}

void CompleteTable(const CoefficientTable& table) {
    TableFill* fill = table.fill;
    if (fill != nullptr && fill->filled.load(std::memory_order_acquire) < fill->shape.up)
        FinishFill(fill);
}

void ShareTable(const CoefficientTable& table) {
    if (table.refs != nullptr) std::atomic_ref<int32_t>(*table.refs).fetch_add(1);
}

void ReleaseTable(CoefficientTable* table) {
    if (table->refs != nullptr) {
        // Holders may live on different threads: the count changes atomically.
        if (std::atomic_ref<int32_t>(*table->refs).fetch_sub(1) - 1 > 0) {
            *table = CoefficientTable{};
            return;
        }
    }
    if (table->fill != nullptr) {
        FinishFill(table->fill);
        EndFill(table->fill);
        delete table->fill;
        table->fill = nullptr;
    }
    if (table->rows == nullptr) return;
    FreeRows(table);
}

}  // namespace nuvsrc
