// Fuzz target: arbitrary bytes as a command line. The input is split at NUL
// bytes into arguments; each goes through TokenizeArgument and, when it
// splits, ApplySubcommand, as the argument parser does; the settled job then
// goes through ValidateJob.
//
// "-sub" and "-prio" are not applied: the first would read whatever file the
// input names, the second would change the fuzzing process's own priority.
// Subcommand files are covered by the settings-file target.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/cmdline.h"
#include "app/job.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    tolmek::ResetParserState();
    tolmek::ResampleJob job;
    std::size_t start = 0;
    int arguments = 0;
    while (start <= all.size() && arguments < 16) {
        std::size_t end = all.find('\0', start);
        if (end == std::string_view::npos) end = all.size();
        const std::string_view text = all.substr(start, end - start);
        start = end + 1;
        ++arguments;

        const int suggested = tolmek::SuggestSubcommand(text);
        Check(suggested >= -1 && suggested < tolmek::kNumSubcommands);

        tolmek::ArgumentToken token;
        const int result = tolmek::TokenizeArgument(text, &token);
        if (result != 0) {
            Check(result <= tolmek::kTokenEmpty && result >= tolmek::kTokenBadValue);
            Check(tolmek::MapTokenizerResult(result) < 0);
            continue;
        }
        Check(token.index >= -1 && token.index < tolmek::kNumSubcommands);
        for (char c : token.value)
            Check(static_cast<unsigned char>(c) >= 0x20);
        if (token.index >= 0) {
            // A recognised switch: its name, without the switch character, finds it again.
            Check(!token.name.empty());
            Check(tolmek::FindSubcommand(std::string_view(token.name).substr(1)) == token.index);
        } else if (token.name.empty()) {
            Check(token.value == text);  // a bare argument keeps its whole text
        }
        if (token.index == tolmek::kSubSub || token.index == tolmek::kSubPrio) continue;
        (void)tolmek::ApplySubcommand(token.index, token.value, &job);
    }
    if (tolmek::ValidateJob(job) == 0) {
        Check(job.quality >= 3 && job.quality <= 10);
        Check(job.volume_db >= -999.0 && job.volume_db <= 999.0);
    }
    Check(job.input_path.size() <= tolmek::kMaxPathLength);
    Check(job.output_path.size() <= tolmek::kMaxPathLength);
    return 0;
}
