// Fuzz target: arbitrary bytes as an initialization-format file. Parses them
// with ParseProfileSection and checks what the reader promises (keys listed
// once each, compared without case; no blanks or tabs left around a key),
// then applies them as a settings file with ReadSettingsFile.
//
// Inputs with a "prio" key are only parsed: applying it would change the
// fuzzing process's own priority.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/cmdline.h"
#include "app/job.h"
#include "platform/profile.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

const std::string& ScratchPath() {
    static const std::string path = "/tmp/settings_fuzz_" + std::to_string(getpid()) + ".ini";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    bool has_priority = false;
    for (const char* section : {"TOLMEK", "tolmek", "", "x"}) {
        const std::vector<platform::ProfileEntry> entries =
            platform::ParseProfileSection(text, section);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::string& key = entries[i].key;
            if (!key.empty()) {
                Check(!IsBlank(key.front()) && !IsBlank(key.back()));
            }
            Check(key.find('\n') == std::string::npos);
            for (std::size_t j = 0; j < i; ++j)
                Check(!SameNoCase(entries[j].key, key));
            if (key.size() > 1 && SameNoCase(std::string_view(key).substr(1), "prio"))
                has_priority = true;
        }
    }
    if (has_priority) return 0;

    std::FILE* f = std::fopen(ScratchPath().c_str(), "wb");
    if (f == nullptr) return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) return 0;
    tolmek::ResetParserState();
    tolmek::ResampleJob job;
    (void)tolmek::ReadSettingsFile(ScratchPath(), &job);
    Check(job.input_path.size() <= tolmek::kMaxPathLength);
    Check(job.output_path.size() <= tolmek::kMaxPathLength);
    return 0;
}
