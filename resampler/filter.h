// Filter design: the Hann-windowed sinc of N taps, split into L phases of T
// taps, kept as a table or evaluated on demand.
#pragma once

#include <cstddef>
#include <cstdint>

#include "resampler/design.h"
#include "runtime/nuv_allocator.h"

namespace nuvsrc {

// h(i) for 0 <= i <= N: 2 fc L at the centre, elsewhere with d = i - C
// sin(wc d) / (d pi) * w(i) * L, w(i) = (1 - cos(2 pi i / (N - 1))) * 0.5.
double FilterTap(const FilterShape& f, int64_t i);

// Fills row[0 .. T-1] with phase p computed on demand: row[t] = h(p + t L).
void ComputePhaseRow(const FilterShape& f, int32_t p, double* row);

// The polyphase table: `rows` rows of T doubles; cell [p][t] holds h(p + t L);
// the last cell (index N) lies past the filter and holds 0. `refs` is the use
// count shared by the converters that hold the table; every block of the
// table comes from and goes back to `allocator`.
struct TableFill;  // the filling of a table's rows while it lasts
struct CoefficientTable {
    double** rows = nullptr;
    int32_t row_count = 0;
    int32_t* refs = nullptr;
    TableFill* fill = nullptr;  // shared by the holders; null once freed
    NuvAllocatorHandle* allocator = nullptr;
};

// Outcome of building a table: 0, or the failing step's message and code.
struct TableBuildResult {
    int32_t code = 0;
    const char* message = nullptr;
};

// Allocates, from entry 0 of `allocator` (the process allocator when null),
// the row array, the L rows and the use count (1), in this order, then
// fills every cell: index i below N with h(i), the cells past N with 0. On
// an allocation failure whatever was allocated is released and the table is
// left empty.
TableBuildResult BuildTable(const FilterShape& f, CoefficientTable* table,
                            NuvAllocatorHandle* allocator = nullptr);

// BuildTable that leaves the filling to free pool workers and returns: the
// rows may be read only after CompleteTable (by any holder, on any thread),
// which joins in the filling and waits until every row is written.
TableBuildResult StartTable(const FilterShape& f, CoefficientTable* table,
                            NuvAllocatorHandle* allocator = nullptr);
void CompleteTable(const CoefficientTable& table);

// Adds a holder (a clone) to a table that exists.
void ShareTable(const CoefficientTable& table);

// Drops one holder's share and empties `table`; the last holder completes
// the filling and frees the rows.
void ReleaseTable(CoefficientTable* table);

}  // namespace nuvsrc
