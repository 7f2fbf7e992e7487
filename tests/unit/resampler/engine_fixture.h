// Shared helpers of the converter tests: library scope, configured
// converters, whole-stream runs and message capture.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "resampler/converter.h"
#include "resampler/converter_testing.h"
#include "resampler/ratio.h"
#include "resampler/nuv_src.h"
#include "runtime/nuv_base.h"

namespace enginetest {

// NUVSRC_Initialize for the life of a test, NUVSRC_Finalize at its end.
class Library {
  public:
    Library() {
        int32_t err = 1;
        NUVSRC_Initialize(&err);
        EXPECT_EQ(err, 0);
    }
    ~Library() {
        int32_t err = 1;
        NUVSRC_Finalize(&err);
        EXPECT_EQ(err, 0);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

// Collects the messages of the base error hook while alive.
class Messages {
  public:
    Messages() {
        std::lock_guard<std::mutex> guard(Mutex());
        Lines().clear();
        NUVBASE_SetCallback(&Collect);
    }
    ~Messages() { NUVBASE_SetCallback(nullptr); }
    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> guard(Mutex());
        std::vector<std::string> out;
        out.swap(Lines());
        return out;
    }

  private:
    static std::mutex& Mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::string>& Lines() {
        static std::vector<std::string> lines;
        return lines;
    }
    static int32_t Collect(const char* text, int32_t, int32_t, int32_t) {
        std::lock_guard<std::mutex> guard(Mutex());
        Lines().emplace_back(text);
        return 0;
    }
};

// Owns a converter and destroys it.
struct Converter {
    INuvSamplingRateConverter* p = nullptr;
    explicit Converter(INuvSamplingRateConverter* c) : p(c) {}
    Converter(int32_t in, int32_t out, int32_t quality,
              int64_t memory = nuvsrc::kDefaultFilterMemorySize) {
        int32_t err = 1;
        p = NUVSRC_Create(&err);
        EXPECT_EQ(err, 0);
        if (p == nullptr) return;
        p->SetFilterMemorySize(memory, &err);
        EXPECT_EQ(err, 0);
        p->SetQuality(quality, &err);
        EXPECT_EQ(err, 0);
        p->SetSamplingRates(in, out, &err);
        EXPECT_EQ(err, 0);
    }
    ~Converter() {
        if (p != nullptr) p->Destroy(nullptr);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    INuvSamplingRateConverter* operator->() const { return p; }
};

// Feeds `input` in the given piece sizes (cycled), then flushes; returns every
// output in order.
inline std::vector<double> Stream(INuvSamplingRateConverter* c, const std::vector<double>& input,
                                  const std::vector<int32_t>& pieces, bool flush = true) {
    std::vector<double> out;
    size_t pos = 0;
    size_t i = 0;
    while (pos < input.size()) {
        const size_t want = static_cast<size_t>(pieces[i++ % pieces.size()]);
        const size_t n = std::min(want, input.size() - pos);
        const double* y = nullptr;
        int32_t count = -1;
        int32_t err = 1;
        c->Convert(input.data() + pos, static_cast<int32_t>(n), &y, &count, &err);
        EXPECT_EQ(err, 0);
        if (count > 0) out.insert(out.end(), y, y + count);
        pos += n;
    }
    if (flush) {
        const double* y = nullptr;
        int32_t count = -1;
        int32_t err = 1;
        c->Flush(&y, &count, &err);
        EXPECT_EQ(err, 0);
        if (count > 0) out.insert(out.end(), y, y + count);
    }
    return out;
}

inline std::vector<double> Noise(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> v(n);
    for (double& x : v)
        x = u(rng);
    return v;
}

inline bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

}  // namespace enginetest
