// Settings of a run from "tolmek.ini", the arguments and subcommand files.
#pragma once

#include <string>
#include <string_view>

#include "app/job.h"

namespace tolmek {

// The subcommands, in table order; the index also selects the help page.
enum SubcommandIndex : int {
    kSubHelp = 0,
    kSubIn,
    kSubOut,
    kSubFreq,
    kSubCh,
    kSubBit,
    kSubSmpl,
    kSubVol,
    kSubMode,
    kSubSub,
    kSubPrio,
    kSubDither,
    kSubMeta,
    kNumSubcommands,
};

extern const char* const kSubcommandNames[kNumSubcommands];

// One argument split into switch name and value.
struct ArgumentToken {
    int index = -1;     // subcommand index, or -1 for a bare argument or unknown name
    std::string name;   // switch character and name as written
    std::string value;  // text after "=", or the whole bare argument
};

// Tokenizer results besides 0.
enum TokenizerResult : int {
    kTokenEmpty = -2,     // empty argument
    kTokenNoName = -3,    // a switch character alone
    kTokenNoValue = -4,   // "=" with nothing after it
    kTokenBadName = -5,   // a name character that is not a letter or digit
    kTokenBadValue = -6,  // a control character in the value
};

// Parser state shared by the steps below; reset by ParseArguments.
struct ParserState {
    std::string bare_file_name;
    std::string help_topic;
    int help_state = 0;         // 0 nothing applied, 1 help requested, 2 something else applied
    int bare_names = 0;         // bare names applied
    bool input_named = false;   // -in applied, from an argument or a subcommand file
    bool output_named = false;  // -out applied
};
ParserState& CurrentParserState();
void ResetParserState();

// Reads "tolmek.ini", the arguments left to right (subcommand files at the
// position of their -sub), shows a requested help page, settles the file
// names and checks the ranges. Returns kStatusOk, kStatusHelpShown or an error.
[[nodiscard]] int ParseArguments(int argc, char** argv, ResampleJob* job);

// Splits one argument. "-" starts a switch; "/" starts one only when it
// stands alone or the name after it is a subcommand name (any case), since
// any other "/..." is an absolute path.
[[nodiscard]] int TokenizeArgument(std::string_view text, ArgumentToken* token);

// The error code a tokenizer result is reported with.
int MapTokenizerResult(int result);

// Index of a subcommand name (any case), or kErrInvalidSubcommand.
int FindSubcommand(std::string_view name);

// The subcommand an unknown switch name most likely meant, or -1. Letters
// match in any case. In this order: the name is the beginning of exactly
// one subcommand name (-h, -fr); else the one subcommand name closest to it
// within one edit, or two for the four-letter names, an edit being a letter
// added, dropped or changed or two neighbours swapped (-frq, -hlep, -bits);
// else the subcommand name the name begins with (-channels, -frequency).
int SuggestSubcommand(std::string_view name);

// "--name" or "--name=value" with a subcommand name as "-name..."; any other
// text as it is. Used where the platform takes "--" options.
std::string_view DropDoubleDash(std::string_view text);
// True for "--version", which, as the only argument where the platform takes
// "--" options, shows the banner alone.
bool IsVersionRequest(std::string_view text);

// Applies one setting; -1 (or any index outside the table) is a bare name.
[[nodiscard]] int ApplySubcommand(int index, const std::string& value, ResampleJob* job);

// Applies the [TOLMEK] keys of an initialization-format file.
[[nodiscard]] int ReadSettingsFile(const std::string& path, ResampleJob* job);

// Looks for "tolmek.ini" in the current directory, then beside the program.
[[nodiscard]] int ReadInitializationFile(ResampleJob* job);
// The same with the two candidate files given.
[[nodiscard]] int ReadInitializationFileFrom(const std::string& first, const std::string& second,
                                             ResampleJob* job);

[[nodiscard]] int ShowRequestedHelp();
// Where the platform refuses unknown arguments, first refuses more bare
// names than -in and -out leave room for (kErrTooManyFileNames).
[[nodiscard]] int ResolveFileNames(ResampleJob* job);
[[nodiscard]] int ValidateJob(const ResampleJob& job);

// Number test: optional leading "-", digits, at most one "."; one digit at least.
bool IsNumber(std::string_view text);
// The integer before any ".", saturated to the int range.
int ParseIntSaturated(std::string_view text);

// The file-name part of a path (after the last "/" or "\").
std::string_view FileNamePart(std::string_view path);
// True when the file-name part contains "."; `extension` gets the text after the last one.
bool GetExtension(std::string_view path, std::string_view* extension);

}  // namespace tolmek
