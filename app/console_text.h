// Console output of the front end: the output sink, message formatting,
// the two text sets (English and Japanese) and the fixed lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/locale.h"
#include "wavestream/fstm/wstm_meta.h"

namespace tolmek {

constexpr int kNumHelpPages = 13;
// The kinds of metadata the report names, and the warnings about metadata
// (one per WstmMetaWarning bit, in bit order).
constexpr int kNumMetaKinds = 4;
constexpr int kNumMetaWarnings = kWstmMetaNumWarnings;

// Every console text of one language. The report lines follow the order in
// which PrintParameterReport prints them.
template <typename S>
struct BasicTexts {
    S banner;                     // three lines, no final newline
    S usage;                      // the usage page
    S help_pages[kNumHelpPages];  // indexed like the subcommand table
    S file_names;                 // "%s" input name, "%s" output name
    S progress_header;
    S report_header;         // up to the input format name
    S report_input_format;   // "%s" input format name
    S report_output_format;  // "%s" output format name
    S report_values;         // rate, channels, bits, samples: input and output each
    S report_volume;         // "%s" the gain in dB, three decimals
    S mode_quality;
    S mode_speed;
    S mode_custom;                      // "%d" the quality
    S report_meta;                      // "%s" the kinds of metadata kept (-meta=keep)
    S meta_kinds[kNumMetaKinds];        // 'bext', iXML, text tags, marker labels
    S meta_separator;                   // between two kinds
    S meta_none;                        // when there was none to keep
    S meta_warnings[kNumMetaWarnings];  // on standard error
    S same_warning;
    S clip_warning;     // "%lld" the sample values clipped
    S error_fallback;   // message for a code without an entry
    S subcommand_hint;  // "%s" a subcommand name with its switch character
};

using TextSet = BasicTexts<const char*>;       // as stored, UTF-8
using ConsoleTexts = BasicTexts<std::string>;  // as written to the console

extern const TextSet kEnglishTexts;
extern const TextSet kJapaneseTexts;

// Chooses the text set for the rest of the run: English, or the Japanese
// texts written as Shift_JIS or UTF-8 bytes.
void SelectConsoleTexts(platform::ConsoleLanguage language);
const ConsoleTexts& CurrentTexts();

// Re-encodes UTF-8 text for the console of `language` (unchanged unless
// it is Japanese in Shift_JIS), or of the selected language.
std::string ForConsole(std::string_view utf8, platform::ConsoleLanguage language);
std::string ForConsole(std::string_view utf8);

// Where console output goes. Tests install their own sink; a null sink
// restores the process's standard output and standard error.
struct ConsoleSink {
    virtual ~ConsoleSink() = default;
    virtual void Out(std::string_view bytes) = 0;
    virtual void Err(std::string_view bytes) = 0;
};
void SetConsoleSink(ConsoleSink* sink);

void WriteOut(std::string_view bytes);
void WriteErr(std::string_view bytes);

// Formats into a buffer of 1024 characters (longer results are cut) and
// writes the result to standard output as is.
void PrintMessage(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Stands in for a message box: one line "caption: text" on standard error.
void ShowMessageBox(const char* text, const char* caption);

void PrintBanner();
void PrintUsage();
// Prints the help page of a subcommand index (0..11); false when out of range.
bool PrintHelpPage(int index);
// Prints the progress header and resets the progress dots.
void PrintProgressHeader();
// The line on standard error that counts the sample values a completed
// conversion clipped; printed before the outcome banner.
void PrintClipWarning(std::int64_t count);
// The lines on standard error for the WstmMetaWarning bits of `warnings`.
void PrintMetaWarnings(std::uint32_t warnings);
void PrintCompleted();
void PrintInterrupted();
// The two fixed progress lines that open and close a conversion.
void PrintProgressStart();
void PrintProgressEnd();

// Progress meter. Lines are throttled to `rate` per second and written to
// standard error; the dots grow by one with every line actually printed.
constexpr int kProgressPrinted = 0;
constexpr int kProgressSkipped = 11;
// Sets the time of the last print and the rate (refused when 0 or below).
bool InitProgress(unsigned int now_ms, int rate);
int ShowProgressAt(int done, int total, unsigned int now_ms);
int ShowProgress(int done, int total);

}  // namespace tolmek
