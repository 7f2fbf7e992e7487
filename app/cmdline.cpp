#include "app/cmdline.h"
#include "platform/ascii.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/console_text.h"
#include "app/error_table.h"
#include "app/status.h"
#include "platform/cli.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/profile.h"

namespace tolmek {

const char* const kSubcommandNames[kNumSubcommands] = {
    "help", "in",   "out", "freq", "ch",     "bit",  "smpl",
    "vol",  "mode", "sub", "prio", "dither", "meta",
};

namespace {

using platform::EqualsNoCase;

constexpr std::size_t kMaxArgumentLength = 1023;
constexpr std::size_t kMaxSettingsKeys = 1024;
constexpr const char* kSettingsSection = "TOLMEK";
constexpr const char* kInitializationFileName = "tolmek.ini";

struct PriorityKeyword {
    const char* keyword;
    platform::ProcessPriority priority;
};

constexpr PriorityKeyword kPriorities[] = {
    {"realtime", platform::ProcessPriority::kRealtime},
    {"high", platform::ProcessPriority::kHigh},
    {"abovenormal", platform::ProcessPriority::kAboveNormal},
    {"normal", platform::ProcessPriority::kNormal},
    {"belownormal", platform::ProcessPriority::kBelowNormal},
    {"low", platform::ProcessPriority::kLow},
};

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool Exists(const std::string& path) {
    return platform::GetPathInfo(path).kind != platform::PathKind::kMissing;
}

// Full path of a file name given by the user; refused when empty or longer
// than a path may be.
int MakeFullPath(const std::string& name, std::string* out) {
    std::string full;
    if (!platform::FullPath(name, &full) || full.size() > kMaxPathLength)
        return kErrInvalidFileName;
    *out = std::move(full);
    return kStatusOk;
}

// A number above 0 for the integer subcommands.
int ApplyPositive(const std::string& value, int error, int* field) {
    if (!IsNumber(value)) return error;
    int number = ParseIntSaturated(value);
    if (number <= 0) return error;
    *field = number;
    return kStatusOk;
}

int ApplySamples(const std::string& value, ResampleJob* job) {
    if (!IsNumber(value)) return kErrInvalidSamples;
    double count = std::strtod(value.c_str(), nullptr);
    if (count < 0) return kErrInvalidSamples;
    if (count > 2147483647.0) return kErrOver2GB;
    job->output_num_samples = static_cast<int>(count);
    return kStatusOk;
}

// A bit count, or "float" (any case) for 32-bit IEEE float.
int ApplyBits(const std::string& value, ResampleJob* job) {
    if (EqualsNoCase(value, "float")) {
        job->output_num_bits = 32;
        job->output_float = true;
        return kStatusOk;
    }
    const int status = ApplyPositive(value, kErrInvalidBits, &job->output_num_bits);
    if (status == kStatusOk) job->output_float = false;
    return status;
}

int ApplyVolume(const std::string& value, ResampleJob* job) {
    if (EqualsNoCase(value, "normalize")) {
        job->normalize = 1;
        job->volume_db = 0.0;
        return kStatusOk;
    }
    if (!IsNumber(value)) return kErrInvalidVolume;
    job->volume_db = std::strtod(value.c_str(), nullptr);
    return kStatusOk;
}

int ApplyMode(const std::string& value, ResampleJob* job) {
    if (EqualsNoCase(value, "quality")) {
        job->quality = 10;
    } else if (EqualsNoCase(value, "speed")) {
        job->quality = 3;
    } else {
        int quality = IsNumber(value) ? ParseIntSaturated(value) : 0;
        if (quality < 3 || quality > 10) return kErrWrongMode;
        job->quality = quality;
    }
    return kStatusOk;
}

// `on` or `off` (in any case) sets or clears `*flag`.
int ApplySwitch(const std::string& value, const char* on, const char* off, bool* flag) {
    if (EqualsNoCase(value, on)) {
        *flag = true;
    } else if (EqualsNoCase(value, off)) {
        *flag = false;
    } else {
        return kErrInvalidParameter;
    }
    return kStatusOk;
}

int ApplyPriority(const std::string& value) {
    for (const PriorityKeyword& priority : kPriorities) {
        if (EqualsNoCase(value, priority.keyword)) {
            // As on every platform this runs on, a refused change is not an error.
            (void)platform::SetProcessPriority(priority.priority);
            return kStatusOk;
        }
    }
    return kErrInvalidParameter;
}

int ApplySubcommandFile(const std::string& value, ResampleJob* job) {
    if (value.empty()) return kErrSubFileInvalid;
    std::string path;
    int status = MakeFullPath(value, &path);
    if (status < 0) return status;
    platform::PathInfo info = platform::GetPathInfo(path);
    if (info.kind == platform::PathKind::kMissing) return kErrSubFileInvalid;
    if (info.kind == platform::PathKind::kDirectory) return kErrSubFileDirectory;
    if (!platform::CanOpenForReading(path)) return kErrSubFileInUse;
    return ReadSettingsFile(path, job);
}

// Bare arguments (and, where unknown switches are not refused, their
// values): the first is remembered, the second makes the pair input and
// output, any further one is ignored here and counted for ResolveFileNames.
int ApplyBareName(const std::string& value, ResampleJob* job) {
    ParserState& state = CurrentParserState();
    if (value.empty()) return kStatusOk;
    ++state.bare_names;
    if (state.bare_file_name.empty()) {
        state.bare_file_name = value;
        return kStatusOk;
    }
    if (job->input_path.empty() && job->output_path.empty()) {
        std::string input, output;
        int status = MakeFullPath(state.bare_file_name, &input);
        if (status == kStatusOk) status = MakeFullPath(value, &output);
        if (status < 0) return status;
        job->input_path = std::move(input);
        job->output_path = std::move(output);
    }
    return kStatusOk;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view start) {
    return text.size() >= start.size() && EqualsNoCase(text.substr(0, start.size()), start);
}

// The fewest letters added, dropped or changed, or neighbours swapped, that
// turn one text into the other, letters compared in any case.
std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = LowerAscii(a[i - 1]) == LowerAscii(b[j - 1]);
            row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && LowerAscii(a[i - 1]) == LowerAscii(b[j - 2]) &&
                LowerAscii(a[i - 2]) == LowerAscii(b[j - 1])) {
                row[j] = std::min(row[j], before[j - 2] + 1);
            }
        }
        std::swap(before, previous);
        std::swap(previous, row);
    }
    return previous[b.size()];
}

// Refuses a switch whose name is no subcommand; the error line is then
// followed by the subcommand it most likely meant, when there is one.
int RefuseUnknownSwitch(std::string_view text) {
    std::string_view name = text.substr(std::min(text.find_first_not_of('-'), text.size()));
    name = name.substr(0, name.find('='));
    const int index = SuggestSubcommand(name);
    if (index >= 0) {
        const std::string subcommand = std::string("-") + kSubcommandNames[index];
        char line[128];
        const int n = std::snprintf(line, sizeof(line), CurrentTexts().subcommand_hint.c_str(),
                                    subcommand.c_str());
        if (n > 0 && static_cast<std::size_t>(n) < sizeof(line)) SetErrorHint(line);
    }
    return kErrBadSubcommand;
}

}  // namespace

ParserState& CurrentParserState() {
    static ParserState state;
    return state;
}

void ResetParserState() { CurrentParserState() = ParserState{}; }

bool IsNumber(std::string_view text) {
    std::size_t pos = 0;
    if (pos < text.size() && text[pos] == '-') ++pos;
    bool digit = false;
    bool dot = false;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !dot) {
            dot = true;
        } else {
            return false;
        }
    }
    return digit;
}

int ParseIntSaturated(std::string_view text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long long value = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > limit) {
            value = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

std::string_view FileNamePart(std::string_view path) {
    std::size_t pos = path.size();
    while (pos > 0 && !IsSeparator(path[pos - 1]))
        --pos;
    return path.substr(pos);
}

bool GetExtension(std::string_view path, std::string_view* extension) {
    std::string_view name = FileNamePart(path);
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    if (extension != nullptr) *extension = name.substr(dot + 1);
    return true;
}

int FindSubcommand(std::string_view name) {
    for (int i = 0; i < kNumSubcommands; ++i) {
        if (EqualsNoCase(name, kSubcommandNames[i])) return i;
    }
    return kErrInvalidSubcommand;
}

int SuggestSubcommand(std::string_view name) {
    if (name.empty()) return -1;
    int abbreviated = -1;
    int abbreviations = 0;
    for (int i = 0; i < kNumSubcommands; ++i) {
        const std::string_view subcommand = kSubcommandNames[i];
        if (name.size() < subcommand.size() && StartsWithNoCase(subcommand, name)) {
            abbreviated = i;
            ++abbreviations;
        }
    }
    if (abbreviations == 1) return abbreviated;

    int closest = -1;
    std::size_t closest_distance = 0;
    bool tied = false;
    for (int i = 0; i < kNumSubcommands; ++i) {
        const std::string_view subcommand = kSubcommandNames[i];
        const std::size_t distance = EditDistance(name, subcommand);
        if (distance > (subcommand.size() >= 4 ? 2u : 1u)) continue;
        if (closest < 0 || distance < closest_distance) {
            closest = i;
            closest_distance = distance;
            tied = false;
        } else if (distance == closest_distance) {
            tied = true;
        }
    }
    if (closest >= 0 && !tied) return closest;

    for (int i = 0; i < kNumSubcommands; ++i) {
        const std::string_view subcommand = kSubcommandNames[i];
        if (name.size() > subcommand.size() && StartsWithNoCase(name, subcommand)) return i;
    }
    return -1;
}

int TokenizeArgument(std::string_view text, ArgumentToken* token) {
    *token = ArgumentToken{};
    if (text.empty()) return kTokenEmpty;

    bool is_switch = text[0] == '-' || (text[0] == '/' && platform::SlashAlwaysStartsSwitch());
    if (text[0] == '/' && !is_switch) {
        // A "/" that does not introduce a known name is an absolute path.
        std::size_t equals = text.find('=');
        std::string_view name =
            text.substr(1, equals == std::string_view::npos ? equals : equals - 1);
        is_switch = text.size() == 1 || FindSubcommand(name) >= 0;
    }

    std::string_view value = text;
    if (is_switch) {
        token->name = text[0];
        if (text.size() == 1) return kTokenNoName;
        value = {};
        for (std::size_t pos = 1; pos < text.size(); ++pos) {
            char c = text[pos];
            if (c == '=') {
                value = text.substr(pos + 1);
                if (value.empty()) return kTokenNoValue;
                break;
            }
            if (!IsAsciiAlnum(c)) return kTokenBadName;
            token->name += c;
        }
    }
    for (char c : value) {
        if (static_cast<unsigned char>(c) < 0x20) return kTokenBadValue;
    }
    token->value = std::string(value);
    if (is_switch) {
        int index = FindSubcommand(std::string_view(token->name).substr(1));
        token->index = index >= 0 ? index : -1;
    }
    return 0;
}

std::string_view DropDoubleDash(std::string_view text) {
    if (text.size() < 3 || text.substr(0, 2) != "--") return text;
    std::string_view name = text.substr(2);
    name = name.substr(0, name.find('='));
    return FindSubcommand(name) >= 0 ? text.substr(1) : text;
}

bool IsVersionRequest(std::string_view text) { return text == "--version"; }

int MapTokenizerResult(int result) {
    switch (result) {
        case kTokenEmpty: return kErrNoArgument;
        case kTokenNoName: return kErrNoSubcommand;
        case kTokenNoValue: return kErrNoParameter;
        case kTokenBadName: return kErrBadSubcommand;
        case kTokenBadValue: return kErrBadParameter;
        default: return kErrTokenizer;
    }
}

int ApplySubcommand(int index, const std::string& value, ResampleJob* job) {
    ParserState& state = CurrentParserState();
    if (index == kSubHelp) {
        if (state.help_state != 2) {
            state.help_state = 1;
            state.help_topic = value;
        }
        return kStatusOk;
    }

    int status = kStatusOk;
    switch (index) {
        case kSubIn: status = MakeFullPath(value, &job->input_path); break;
        case kSubOut: status = MakeFullPath(value, &job->output_path); break;
        case kSubFreq:
            status = ApplyPositive(value, kErrInvalidFrequency, &job->output_sampling_rate);
            break;
        case kSubCh:
            status = ApplyPositive(value, kErrInvalidChannels, &job->output_num_channels);
            break;
        case kSubBit: status = ApplyBits(value, job); break;
        case kSubSmpl: status = ApplySamples(value, job); break;
        case kSubVol: status = ApplyVolume(value, job); break;
        case kSubMode: status = ApplyMode(value, job); break;
        case kSubSub: status = ApplySubcommandFile(value, job); break;
        case kSubPrio: status = ApplyPriority(value); break;
        case kSubDither: status = ApplySwitch(value, "tpdf", "off", &job->dither); break;
        case kSubMeta: status = ApplySwitch(value, "keep", "drop", &job->keep_meta); break;
        default: status = ApplyBareName(value, job); break;
    }
    if (status < 0) return status;
    state.help_state = 2;
    if (index == kSubIn) state.input_named = true;
    if (index == kSubOut) state.output_named = true;
    return kStatusOk;
}

int ReadSettingsFile(const std::string& path, ResampleJob* job) {
    std::vector<platform::ProfileEntry> entries;
    if (!platform::ReadProfileSection(path, kSettingsSection, &entries)) return kStatusOk;
    std::size_t count = 0;
    for (const platform::ProfileEntry& entry : entries) {
        if (++count > kMaxSettingsKeys) break;
        // The first character of a key is the switch character, whatever it is.
        int index = FindSubcommand(std::string_view(entry.key).substr(1));
        if (index < 0) return index;
        if (index == kSubSub) return kErrSubFileSub;
        if (index == kSubHelp) return kErrSubFileHelp;
        if (entry.value.size() > kMaxArgumentLength) return kErrBadParameter;
        int status = ApplySubcommand(index, entry.value, job);
        if (status < 0) return status;
    }
    return kStatusOk;
}

int ReadInitializationFileFrom(const std::string& first, const std::string& second,
                               ResampleJob* job) {
    const std::string* candidate = nullptr;
    if (Exists(first)) {
        candidate = &first;
    } else if (Exists(second)) {
        candidate = &second;
    }
    if (candidate != nullptr) {
        if (!platform::CanOpenForReading(*candidate)) return kErrSubFileInUse;
        int status = ReadSettingsFile(*candidate, job);
        if (status == kErrSubFileSub) return kErrIniSub;
        if (status == kErrSubFileHelp) return kErrIniHelp;
        // Any other failure only ends the reading of the file: the keys
        // applied so far stay, the rest is skipped.
    }
    if (!job->input_path.empty()) return kErrIniInputFile;
    if (!job->output_path.empty()) return kErrIniOutputFile;
    return kStatusOk;
}

int ReadInitializationFile(ResampleJob* job) {
    std::string directory, program;
    if (!platform::GetCurrentDir(&directory) || !platform::GetProgramPath(&program)) return -1;
    std::string first = platform::JoinPath(directory, kInitializationFileName);
    std::string second = program.substr(0, program.size() - FileNamePart(program).size());
    second += kInitializationFileName;
    return ReadInitializationFileFrom(first, second, job);
}

int ShowRequestedHelp() {
    const ParserState& state = CurrentParserState();
    if (state.help_state != 1) return kStatusOk;
    if (state.help_topic.empty()) {
        PrintUsage();
    } else {
        int index = FindSubcommand(state.help_topic);
        if (index < 0) return kErrInvalidParameter;
        PrintHelpPage(index);
    }
    return kStatusHelpShown;
}

int ResolveFileNames(ResampleJob* job) {
    const ParserState& state = CurrentParserState();
    // A shell expands "t*.wav" into every matching name: a name that has no
    // place would otherwise be silently ignored, and the second one
    // overwritten as the output.
    const int room = 2 - (state.input_named ? 1 : 0) - (state.output_named ? 1 : 0);
    if (platform::RefusesUnknownArguments() && state.bare_names > room) {
        return kErrTooManyFileNames;
    }
    if (!state.bare_file_name.empty()) {
        std::string* target = job->input_path.empty()    ? &job->input_path
                              : job->output_path.empty() ? &job->output_path
                                                         : nullptr;
        if (target != nullptr) {
            int status = MakeFullPath(state.bare_file_name, target);
            if (status < 0) return status;
        }
    }
    if (job->input_path.empty()) return kErrTooFewParameters;

    if (job->output_path.empty()) {
        std::string_view name = FileNamePart(job->input_path);
        std::string output = job->input_path.substr(0, job->input_path.size() - name.size());
        output += '_';
        output += name;
        if (output.size() > kMaxPathLength) return kErrInvalidFileName;
        job->output_path = std::move(output);
    }

    if (!GetExtension(job->input_path, nullptr)) {
        bool found = false;
        for (const char* extension : {"wav", "aif", "aiff"}) {
            std::string candidate = job->input_path + "." + extension;
            if (candidate.size() <= kMaxPathLength && Exists(candidate)) {
                job->input_path = std::move(candidate);
                found = true;
                break;
            }
        }
        if (!found && !Exists(job->input_path)) return kErrInvalidInputName;
    }

    std::string_view input_extension;
    if (!GetExtension(job->output_path, nullptr) && !Exists(job->output_path) &&
        GetExtension(job->input_path, &input_extension)) {
        std::string output = job->output_path + "." + std::string(input_extension);
        if (output.size() > kMaxPathLength) return kErrInvalidFileName;
        job->output_path = std::move(output);
    }

    if (EqualsNoCase(job->input_path, job->output_path)) return kErrWrongOutputName;
    return kStatusOk;
}

int ValidateJob(const ResampleJob& job) {
    if (job.output_sampling_rate != 0 &&
        (job.output_sampling_rate < 10 || job.output_sampling_rate > 192000)) {
        return kErrInvalidFrequency;
    }
    if (job.output_num_channels != 0 &&
        (job.output_num_channels < 1 || job.output_num_channels > 2)) {
        return kErrInvalidChannels;
    }
    if (job.output_num_bits != 0 && (job.output_num_bits < 1 || job.output_num_bits > 32)) {
        return kErrInvalidBits;
    }
    if (!(job.volume_db >= -999.0 && job.volume_db <= 999.0)) return kErrInvalidVolume;
    if (job.quality < 3 || job.quality > 10) return kErrWrongMode;
    return kStatusOk;
}

int ParseArguments(int argc, char** argv, ResampleJob* job) {
    if (argc < 2) return kErrTooFewParameters;
    if (argc > 11) return kErrTooManyParameters;
    const bool double_dash = platform::TakesDoubleDashOptions();
    const bool strict = platform::RefusesUnknownArguments();
    // The banner, printed before the parse, is all that "--version" shows.
    if (double_dash && argc == 2 && IsVersionRequest(argv[1])) return kStatusHelpShown;
    ResetParserState();
    SetErrorHint({});

    int status = ReadInitializationFile(job);
    if (status < 0) return status;

    for (int i = 1; i < argc; ++i) {
        std::string_view text = argv[i];
        if (text.size() > kMaxArgumentLength) return kErrBadParameter;
        if (double_dash) text = DropDoubleDash(text);
        ArgumentToken token;
        int result = TokenizeArgument(text, &token);
        if (strict && result == kTokenBadName) return RefuseUnknownSwitch(text);
        if (result != 0) return MapTokenizerResult(result);
        // An unknown name after "-" is refused, not taken as a file name.
        if (strict && token.index < 0 && !token.name.empty()) return RefuseUnknownSwitch(text);
        status = ApplySubcommand(token.index, token.value, job);
        if (status < 0) return status;
    }

    status = ShowRequestedHelp();
    if (status != kStatusOk) return status;
    status = ResolveFileNames(job);
    if (status < 0) return status;
    return ValidateJob(*job);
}

}  // namespace tolmek
