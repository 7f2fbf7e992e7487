#include "app/console_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "app/console_encoding.h"
#include "platform/clock.h"
#include "platform/console.h"

namespace tolmek {
namespace {

struct ConsoleState {
    platform::ConsoleLanguage language = platform::ConsoleLanguage::kEnglish;
    ConsoleTexts texts;
    ConsoleSink* sink = nullptr;
    // Progress meter: dot phase 0..3, tick of the last print, prints per second.
    int phase = 0;
    unsigned int last_print_ms = 0;
    int rate = 2;
};

ConsoleState& State() {
    static ConsoleState state;
    return state;
}

template <typename Convert>
ConsoleTexts ConvertTexts(const TextSet& in, Convert convert) {
    ConsoleTexts out;
    out.banner = convert(in.banner);
    out.usage = convert(in.usage);
    for (int i = 0; i < kNumHelpPages; ++i)
        out.help_pages[i] = convert(in.help_pages[i]);
    out.file_names = convert(in.file_names);
    out.progress_header = convert(in.progress_header);
    out.report_header = convert(in.report_header);
    out.report_input_format = convert(in.report_input_format);
    out.report_output_format = convert(in.report_output_format);
    out.report_values = convert(in.report_values);
    out.report_volume = convert(in.report_volume);
    out.mode_quality = convert(in.mode_quality);
    out.mode_speed = convert(in.mode_speed);
    out.mode_custom = convert(in.mode_custom);
    out.report_meta = convert(in.report_meta);
    for (int i = 0; i < kNumMetaKinds; ++i)
        out.meta_kinds[i] = convert(in.meta_kinds[i]);
    out.meta_separator = convert(in.meta_separator);
    out.meta_none = convert(in.meta_none);
    for (int i = 0; i < kNumMetaWarnings; ++i)
        out.meta_warnings[i] = convert(in.meta_warnings[i]);
    out.same_warning = convert(in.same_warning);
    out.clip_warning = convert(in.clip_warning);
    out.error_fallback = convert(in.error_fallback);
    out.subcommand_hint = convert(in.subcommand_hint);
    return out;
}

}  // namespace

void SelectConsoleTexts(platform::ConsoleLanguage language) {
    ConsoleState& state = State();
    state.language = language;
    const TextSet& source =
        language == platform::ConsoleLanguage::kEnglish ? kEnglishTexts : kJapaneseTexts;
    state.texts =
        ConvertTexts(source, [language](const char* text) { return ForConsole(text, language); });
}

const ConsoleTexts& CurrentTexts() {
    ConsoleState& state = State();
    if (state.texts.banner.empty()) SelectConsoleTexts(state.language);
    return state.texts;
}

std::string ForConsole(std::string_view utf8, platform::ConsoleLanguage language) {
    if (language == platform::ConsoleLanguage::kJapaneseShiftJis) return Utf8ToShiftJis(utf8);
    return std::string(utf8);
}

std::string ForConsole(std::string_view utf8) { return ForConsole(utf8, State().language); }

void SetConsoleSink(ConsoleSink* sink) { State().sink = sink; }

void WriteOut(std::string_view bytes) {
    if (ConsoleSink* sink = State().sink) {
        sink->Out(bytes);
    } else {
        platform::ConsoleWriteOut(bytes.data(), bytes.size());
    }
}

void WriteErr(std::string_view bytes) {
    if (ConsoleSink* sink = State().sink) {
        sink->Err(bytes);
    } else {
        platform::ConsoleWriteErr(bytes.data(), bytes.size());
    }
}

void PrintMessage(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (n < 0) return;
    std::size_t length = static_cast<std::size_t>(n) < sizeof(buffer) ? static_cast<std::size_t>(n)
                                                                      : sizeof(buffer) - 1;
    WriteOut(std::string_view(buffer, length));
}

void ShowMessageBox(const char* text, const char* caption) {
    std::string line = std::string(caption) + ": " + text + "\n";
    WriteErr(line);
}

void PrintBanner() {
    WriteOut(CurrentTexts().banner);
    WriteOut("\n");
}

void PrintUsage() { WriteOut(CurrentTexts().usage); }

bool PrintHelpPage(int index) {
    if (index < 0 || index >= kNumHelpPages) return false;
    WriteOut(CurrentTexts().help_pages[index]);
    return true;
}

void PrintProgressHeader() {
    State().phase = 0;
    WriteOut(CurrentTexts().progress_header);
}

void PrintClipWarning(std::int64_t count) {
    char buffer[128];
    const int n = std::snprintf(buffer, sizeof(buffer), CurrentTexts().clip_warning.c_str(),
                                static_cast<long long>(count));
    if (n > 0)
        WriteErr(
            std::string_view(buffer, std::min(static_cast<std::size_t>(n), sizeof(buffer) - 1)));
}

void PrintMetaWarnings(std::uint32_t warnings) {
    for (int i = 0; i < kNumMetaWarnings; ++i) {
        if (warnings & (1u << i)) WriteErr(CurrentTexts().meta_warnings[i]);
    }
}

void PrintCompleted() { WriteOut("\n\n||||||||||  Completed  ||||||||||\n"); }
void PrintInterrupted() { WriteOut("\n\n||||||||||  Interrupted  ||||||||||\n"); }
void PrintProgressStart() { WriteOut("\t( 0 / 100 )    \r"); }
void PrintProgressEnd() { WriteOut("\t( 100 / 100 )    \r"); }

bool InitProgress(unsigned int now_ms, int rate) {
    if (rate <= 0) return false;
    ConsoleState& state = State();
    state.last_print_ms = now_ms;
    state.rate = rate;
    return true;
}

int ShowProgressAt(int done, int total, unsigned int now_ms) {
    static const char* const kFormats[4] = {
        "\t( %d / %d )    \r",
        "\t( %d / %d ).   \r",
        "\t( %d / %d )..  \r",
        "\t( %d / %d )... \r",
    };
    ConsoleState& state = State();
    unsigned int interval = 1000u / static_cast<unsigned int>(state.rate);
    // Unsigned arithmetic: a tick count that wrapped around below the last
    // print counts as "long ago" and prints at once.
    if (now_ms >= state.last_print_ms && now_ms - state.last_print_ms < interval)
        return kProgressSkipped;
    state.last_print_ms = now_ms;
    char buffer[64];
    int n = std::snprintf(buffer, sizeof(buffer), kFormats[state.phase], done, total);
    if (n > 0) WriteErr(std::string_view(buffer, static_cast<std::size_t>(n)));
    state.phase = (state.phase + 1) % 4;
    return kProgressPrinted;
}

int ShowProgress(int done, int total) {
    return ShowProgressAt(done, total, platform::TickCountMs());
}

}  // namespace tolmek
