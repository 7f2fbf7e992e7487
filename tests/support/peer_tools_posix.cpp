#include "tests/support/peer_tools.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#if INTEROP_HAVE_SNDFILE_H
#include <dlfcn.h>
#endif

namespace interop {

bool HaveProgram(const std::string& name) { return Shell("command -v " + name); }

bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

namespace {

std::string Capture(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p) != nullptr)
        out += buf;
    pclose(p);
    return out;
}

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

}  // namespace

SoxHeader SoxInfo(const std::string& path) {
    SoxHeader h;
    std::istringstream in(Capture("sox --i " + Quote(path) + " 2>/dev/null"));
    std::string line;
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, colon));
        const std::string value = Trim(line.substr(colon + 1));
        if (key == "Channels") h.channels = std::atol(value.c_str());
        if (key == "Sample Rate") h.rate = std::atol(value.c_str());
        if (key == "Precision") h.precision = std::atol(value.c_str());
        if (key == "Sample Encoding") h.encoding = value;
        if (key == "Duration") {
            const auto eq = value.find('=');
            if (eq != std::string::npos) h.frames = std::atol(value.c_str() + eq + 1);
        }
    }
    return h;
}

Samples SoxSamples(const std::string& path, const std::string& scratch) {
    std::remove(scratch.c_str());
    if (!Shell("sox " + Quote(path) + " -t raw -e signed-integer -b 32 -L " + Quote(scratch)))
        return {};
    std::ifstream in(scratch, std::ios::binary);
    const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
    Samples v;
    v.reserve(b.size() / 4);
    for (std::size_t i = 0; i + 4 <= b.size(); i += 4) {
        v.push_back(static_cast<std::int32_t>(b[i] | (b[i + 1] << 8) | (b[i + 2] << 16) |
                                              (static_cast<std::uint32_t>(b[i + 3]) << 24)));
    }
    return v;
}

#if INTEROP_HAVE_SNDFILE_H

Sndfile::Sndfile() {
    lib_ = dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
    if (lib_ == nullptr) return;
    open = reinterpret_cast<decltype(open)>(dlsym(lib_, "sf_open"));
    close = reinterpret_cast<decltype(close)>(dlsym(lib_, "sf_close"));
    command = reinterpret_cast<decltype(command)>(dlsym(lib_, "sf_command"));
    readf_int = reinterpret_cast<decltype(readf_int)>(dlsym(lib_, "sf_readf_int"));
    writef_int = reinterpret_cast<decltype(writef_int)>(dlsym(lib_, "sf_writef_int"));
    readf_double = reinterpret_cast<decltype(readf_double)>(dlsym(lib_, "sf_readf_double"));
    writef_double = reinterpret_cast<decltype(writef_double)>(dlsym(lib_, "sf_writef_double"));
    set_string = reinterpret_cast<decltype(set_string)>(dlsym(lib_, "sf_set_string"));
    seek = reinterpret_cast<decltype(seek)>(dlsym(lib_, "sf_seek"));
}

Sndfile::~Sndfile() {
    if (lib_ != nullptr) dlclose(lib_);
}

bool Sndfile::ok() const {
    return open && close && command && readf_int && writef_int && readf_double && writef_double &&
           set_string && seek;
}

namespace {

std::vector<SndfileMarker> LoggedMarkers(const Sndfile& sf, SNDFILE* file) {
    std::vector<char> log(1 << 16);
    sf.command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    std::istringstream in(log.data());
    std::vector<SndfileMarker> markers;
    std::string line;
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, colon));
        const long value = std::atol(line.c_str() + colon + 1);
        if (key == "Mark ID") markers.push_back({static_cast<int>(value), -1});
        if (key == "Position" && !markers.empty()) markers.back().position = value;
    }
    return markers;
}

}  // namespace

SndfileView ReadWithSndfile(const Sndfile& sf, const std::string& path) {
    SndfileView v;
    SNDFILE* file = sf.open(path.c_str(), SFM_READ, &v.info);
    if (file == nullptr) return v;
    v.samples.resize(static_cast<std::size_t>(v.info.frames * v.info.channels));
    const sf_count_t read = sf.readf_int(file, v.samples.data(), v.info.frames);
    v.has_cues = sf.command(file, SFC_GET_CUE, &v.cues, sizeof v.cues) == SF_TRUE;
    v.has_instrument =
        sf.command(file, SFC_GET_INSTRUMENT, &v.instrument, sizeof v.instrument) == SF_TRUE;
    v.logged_markers = LoggedMarkers(sf, file);
    v.ok = sf.close(file) == 0 && read == v.info.frames;
    return v;
}

#endif  // INTEROP_HAVE_SNDFILE_H

}  // namespace interop
