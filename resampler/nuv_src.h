// Sampling-rate converter: one mono stream of doubles from an input rate to an
// output rate by an exact rational factor L/M with a windowed-sinc polyphase
// filter of 2^quality taps per phase.
//
// Every operation takes as its last argument `err`, a pointer to a 32-bit code
// that it always sets: 0 on success, NUVSRC_ERR_ILLEGAL_ARGUMENT for an
// illegal argument or a refused state, NUVSRC_ERR_MEMORY for memory
// exhaustion. A null `err` is accepted and discards the code. Messages go to
// the base error hook (NUVBASE_ReportError).
//
// Order of use: NUVSRC_Initialize; NUVSRC_Create; SetFilterMemorySize;
// SetQuality; SetSamplingRates; Clone for every further channel; Convert per
// block; Flush at the end; Destroy; NUVSRC_Finalize.
#pragma once

#include <cstdint>

// The codes of the converter's operations besides 0 (success).
constexpr int32_t NUVSRC_ERR_ILLEGAL_ARGUMENT = -1;
constexpr int32_t NUVSRC_ERR_MEMORY = -3;

class INuvSamplingRateConverter {
  public:
    // Slot 0: a new converter with the same configuration and stream state,
    // sharing the coefficient table. Null on failure.
    virtual INuvSamplingRateConverter* Clone(int32_t* err) = 0;
    // Slot 1: releases everything and deletes the object. Takes no lock: no
    // other call on the object may be in progress.
    virtual void Destroy(int32_t* err) = 0;
    // Slot 2: largest coefficient table (bytes) that may be kept in memory;
    // resets the stream and redesigns the filter. Negative sizes are refused.
    virtual void SetFilterMemorySize(int64_t size, int32_t* err) = 0;
    // Slot 3.
    virtual int64_t GetFilterMemorySize(int32_t* err) = 0;
    // Slot 4: always resets the stream; on a change redesigns the filter and
    // re-sizes the buffers. Rates must be positive.
    virtual void SetSamplingRates(int32_t input_rate, int32_t output_rate, int32_t* err) = 0;
    // Slot 5: either pointer may be null.
    virtual void GetSamplingRates(int32_t* input_rate, int32_t* output_rate, int32_t* err) = 0;
    // Slot 6: 3 (speed) ... 10 (quality); always resets the stream.
    virtual void SetQuality(int32_t quality, int32_t* err) = 0;
    // Slot 7.
    virtual int32_t GetQuality(int32_t* err) = 0;
    // Slot 8: clears the buffers and the history; the next Convert starts a
    // new stream.
    virtual void Reset(int32_t* err) = 0;
    // Slot 9: consumes `count` (0 ... input rate) samples of `input`, which
    // must stay unchanged until the call returns, and hands out the output
    // produced so far. *output points into the converter's own buffer and
    // stays valid until the next call on the converter; it may be null when
    // *output_count is 0.
    virtual void Convert(const double* input, int32_t count, const double** output,
                         int32_t* output_count, int32_t* err) = 0;
    // Slot 10: ends the stream and hands out the outputs still owed.
    virtual void Flush(const double** output, int32_t* output_count, int32_t* err) = 0;
    // Slot 11. Use Destroy, not delete.
    virtual ~INuvSamplingRateConverter() = default;
};

// Use-counted start of the library: the first call creates the pool of eight
// worker threads shared by all converters.
void NUVSRC_Initialize(int32_t* err);

// A converter for 48000 -> 48000 Hz at quality 10 with the default memory
// limit, or null. Needs a prior NUVSRC_Initialize.
[[nodiscard]] INuvSamplingRateConverter* NUVSRC_Create(int32_t* err);

// Use-counted end of the library: the last call ends the pool.
void NUVSRC_Finalize(int32_t* err);

// Marks the calling thread, until the matching End, as one that converts a
// stream for a long while (a channel's worker). It then counts as a busy
// processor between its calls too, while it stages or writes out what it
// converted: the pool takes no runs for the moment it is away, which would
// only crowd its processor when it comes back. Calls nest.
void NUVSRC_BeginConvertingThread();
void NUVSRC_EndConvertingThread();

// The calling thread's discard word, for callers that do not care about a code.
int32_t* NUVSRC_DiscardError();
