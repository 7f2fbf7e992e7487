#pragma once
// The peers of the interop tests: sox and python3 run as programs, and
// libsndfile loaded from its shared library at run time (no link-time
// dependency; what needs it is compiled only when <sndfile.h> is present, and
// the tests skip when the library cannot be loaded). Samples are compared as
// left-justified signed 32-bit values (full scale +-2^31 whatever the depth).

#include <cstdint>
#include <string>
#include <vector>

#if __has_include(<sndfile.h>)
#include <sndfile.h>
#define INTEROP_HAVE_SNDFILE_H 1
#endif

namespace interop {

using Samples = std::vector<std::int32_t>;

bool HaveProgram(const std::string& name);
inline bool HaveSox() { return HaveProgram("sox"); }
inline bool HavePython() { return HaveProgram("python3"); }

// Runs a shell command with its output discarded; true when it exits with 0.
bool Shell(const std::string& command);
// A path or text quoted for the shell.
std::string Quote(const std::string& text);

// What `sox --i` says about a file; numbers are -1 and texts empty when sox
// did not say.
struct SoxHeader {
    long rate = -1;
    long channels = -1;
    long frames = -1;      // the "= N samples" of the duration line
    long precision = -1;   // "Precision : N-bit"
    std::string encoding;  // e.g. "16-bit Signed Integer PCM"
};
SoxHeader SoxInfo(const std::string& path);

// Every sample as sox decodes it, as left-justified 32-bit values; empty
// when sox produced nothing. `scratch` names a file sox may write.
Samples SoxSamples(const std::string& path, const std::string& scratch);

// The value a left-justified sample keeps in a file of `bits` bits: the top
// `bits` bits, the rest cleared.
inline std::int32_t KeepTopBits(std::int32_t value, int bits) {
    const std::uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> bits);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) & mask);
}

// The value a left-justified sample becomes when the conversion writes it
// with `bits` bits: rounded to the nearest multiple of 2^(32 - bits), halves
// away from zero, and held within the range of `bits` bits.
inline std::int32_t RoundToBits(std::int32_t value, int bits) {
    if (bits >= 32) return value;
    const std::int64_t step = std::int64_t{1} << (32 - bits);
    const std::int64_t v = value;
    const std::int64_t half = step / 2;
    std::int64_t r = v >= 0 ? (v + half) / step * step : -((-v + half) / step * step);
    const std::int64_t highest = 2147483648LL - step;
    if (r > highest) r = highest;
    return static_cast<std::int32_t>(r);
}

#if INTEROP_HAVE_SNDFILE_H

// The few libsndfile calls the tests make.
class Sndfile {
  public:
    Sndfile();
    ~Sndfile();
    Sndfile(const Sndfile&) = delete;
    Sndfile& operator=(const Sndfile&) = delete;
    bool ok() const;

    decltype(&sf_open) open = nullptr;
    decltype(&sf_close) close = nullptr;
    decltype(&sf_command) command = nullptr;
    decltype(&sf_readf_int) readf_int = nullptr;
    decltype(&sf_writef_int) writef_int = nullptr;
    decltype(&sf_readf_double) readf_double = nullptr;
    decltype(&sf_writef_double) writef_double = nullptr;
    decltype(&sf_set_string) set_string = nullptr;
    decltype(&sf_seek) seek = nullptr;

  private:
    void* lib_ = nullptr;
};

struct SndfileMarker {
    int id;
    long position;
};

// A whole file as libsndfile reads it. AIFF markers come from libsndfile's
// log of the header: its cue list of an AIFF file leaves out as many leading
// markers as the loops refer to (it takes the loop markers to come first, as
// its own writer puts them), so it cannot tell what the file holds.
struct SndfileView {
    bool ok = false;
    SF_INFO info{};
    Samples samples;
    bool has_cues = false;
    SF_CUES cues{};
    bool has_instrument = false;
    SF_INSTRUMENT instrument{};
    std::vector<SndfileMarker> logged_markers;
};
SndfileView ReadWithSndfile(const Sndfile& sf, const std::string& path);

#endif  // INTEROP_HAVE_SNDFILE_H

}  // namespace interop
