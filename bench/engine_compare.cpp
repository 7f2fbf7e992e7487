// The whole engine against peer converters, side by side in one run: one
// mono stream fed in one-second pieces, outputs per second of wall time.
// The engine uses its pool; the peers run on the calling thread.
//
//   engine_compare --benchmark_filter=44100to48000
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "resampler/converter.h"
#include "resampler/converter_testing.h"
#include "resampler/nuv_src.h"

#if TOLMEK_HAVE_SPEEXDSP
#include <speex/speex_resampler.h>
#endif
#if TOLMEK_HAVE_SAMPLERATE
#include <samplerate.h>
#endif
#if TOLMEK_HAVE_SOXR
#include <soxr.h>
#endif

namespace {

struct LibraryOnce {
    LibraryOnce() { NUVSRC_Initialize(nullptr); }
    ~LibraryOnce() { NUVSRC_Finalize(nullptr); }
};

std::vector<double> OneSecond(int32_t rate) {
    std::vector<double> v(static_cast<size_t>(rate));
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-0.5, 0.5);
    for (double& x : v)
        x = u(rng);
    return v;
}

[[maybe_unused]] std::vector<float> ToFloat(const std::vector<double>& v) {
    return {v.begin(), v.end()};
}

void Report(benchmark::State& state, double outputs) {
    state.counters["outputs/s"] = benchmark::Counter(outputs, benchmark::Counter::kIsRate);
}

// mode: 0 the engine as built (fast kernel, pool), 1 the reference kernel on
// the calling thread, 2 the fast kernel on the calling thread.
void Engine(benchmark::State& state, int32_t in, int32_t out, int32_t quality, int mode) {
    static LibraryOnce library;
    INuvSamplingRateConverter* c = NUVSRC_Create(nullptr);
    c->SetQuality(quality, nullptr);
    c->SetSamplingRates(in, out, nullptr);
    if (mode == 1) ConverterTestPeer::UseKernel(c, nuvsrc::KernelVariant::kReference);
    if (mode != 0) ConverterTestPeer::UsePool(c, false);
    const auto input = OneSecond(in);
    double outputs = 0;
    for (auto _ : state) {
        const double* y = nullptr;
        int32_t count = 0;
        c->Convert(input.data(), in, &y, &count, nullptr);
        benchmark::DoNotOptimize(y);
        outputs += count;
    }
    Report(state, outputs);
    c->Destroy(nullptr);
}

#if TOLMEK_HAVE_SPEEXDSP
void Speex(benchmark::State& state, int32_t in, int32_t out, int32_t quality) {
    int err = 0;
    SpeexResamplerState* s = speex_resampler_init(1, in, out, quality, &err);
    const auto input = ToFloat(OneSecond(in));
    std::vector<float> output(static_cast<size_t>(out) * 2);
    double outputs = 0;
    for (auto _ : state) {
        spx_uint32_t in_len = static_cast<spx_uint32_t>(in);
        spx_uint32_t out_len = static_cast<spx_uint32_t>(output.size());
        speex_resampler_process_float(s, 0, input.data(), &in_len, output.data(), &out_len);
        benchmark::DoNotOptimize(output.data());
        outputs += out_len;
    }
    Report(state, outputs);
    speex_resampler_destroy(s);
}
#endif

#if TOLMEK_HAVE_SAMPLERATE
void SampleRate(benchmark::State& state, int32_t in, int32_t out) {
    int err = 0;
    SRC_STATE* s = src_new(SRC_SINC_BEST_QUALITY, 1, &err);
    const auto input = ToFloat(OneSecond(in));
    std::vector<float> output(static_cast<size_t>(out) * 2);
    double outputs = 0;
    for (auto _ : state) {
        SRC_DATA data{};
        data.data_in = input.data();
        data.input_frames = in;
        data.data_out = output.data();
        data.output_frames = static_cast<long>(output.size());
        data.src_ratio = static_cast<double>(out) / in;
        src_process(s, &data);
        benchmark::DoNotOptimize(output.data());
        outputs += static_cast<double>(data.output_frames_gen);
    }
    Report(state, outputs);
    src_delete(s);
}
#endif

#if TOLMEK_HAVE_SOXR
void Soxr(benchmark::State& state, int32_t in, int32_t out, unsigned long recipe) {
    soxr_error_t err = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t q = soxr_quality_spec(recipe, 0);
    soxr_t s = soxr_create(in, out, 1, &err, &io, &q, nullptr);
    const auto input = OneSecond(in);
    std::vector<double> output(static_cast<size_t>(out) * 2);
    double outputs = 0;
    for (auto _ : state) {
        size_t done_in = 0, done_out = 0;
        soxr_process(s, input.data(), static_cast<size_t>(in), &done_in, output.data(),
                     output.size(), &done_out);
        benchmark::DoNotOptimize(output.data());
        outputs += static_cast<double>(done_out);
    }
    Report(state, outputs);
    soxr_delete(s);
}
#endif

void Register() {
    struct Point {
        int32_t in, out;
    };
    for (const Point p : {Point{44100, 48000}, Point{48000, 44100}}) {
        std::string at = "/";
        at.append(std::to_string(p.in)).append("to").append(std::to_string(p.out));
        auto reg = [&](std::string name, auto fn, auto... args) {
            name.append(at);
            benchmark::RegisterBenchmark(name.c_str(), fn, p.in, p.out, args...)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        };
        for (int32_t q : {10, 3}) {
            const std::string qs = std::string("/q").append(std::to_string(q));
            reg(std::string("Engine/pool").append(qs), Engine, q, 0);
            reg(std::string("Engine/one-thread").append(qs), Engine, q, 2);
            reg(std::string("Engine/reference").append(qs), Engine, q, 1);
        }
#if TOLMEK_HAVE_SPEEXDSP
        reg("Speexdsp/q10", Speex, 10);
        reg("Speexdsp/q3", Speex, 3);
#endif
#if TOLMEK_HAVE_SAMPLERATE
        reg("Libsamplerate/best", SampleRate);
#endif
#if TOLMEK_HAVE_SOXR
        reg("Soxr/very-high", Soxr, static_cast<unsigned long>(SOXR_VHQ));
        reg("Soxr/quick", Soxr, static_cast<unsigned long>(SOXR_QQ));
#endif
    }
}

}  // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
