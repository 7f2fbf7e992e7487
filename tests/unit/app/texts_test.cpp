#include <gtest/gtest.h>

#include <set>

#include "app/console_encoding.h"
#include "app/console_text.h"
#include "app/error_table.h"
#include "app/status.h"
#include "console_capture.h"
#include "runtime/nuverr.h"

using namespace tolmek;
using platform::ConsoleLanguage;

namespace {

// Code page 932 bytes, written independently of the program's own table.
const char kJapaneseFreqPageSjis[] =
    "\x83T\x83u\x83R\x83}\x83\x93\x83h\x81"
    "Ffreq\n"
    "\x81y\x8F\x91\x8E\xAE\x81z-freq=num\n"
    "\x81y\x93\xFC\x97\xCD\x81znum\x81@\x81@\x81@ \x81"
    "F\x8Fo\x97\xCD\x83T\x83\x93\x83v\x83\x8A\x83\x93\x83O\x8E\xFC\x94g\x90\x94\n"
    "\x81y\x8B@\x94\x5C\x81z\x8Fo\x97\xCD\x83t\x83@\x83"
    "C\x83\x8B\x82\xCC\x83T\x83\x93\x83v\x83\x8A\x83\x93\x83O\x8E\xFC\x94g\x90\x94\x82\xF0\x8Ew\x92\xE8\x82\xB7\x82\xE9\x81"
    "B\n"
    "\x81y\x94\xCD\x88\xCD\x81z10 \x81` 192000 (Hz)\n";

const char kJapanesePrioPageSjis[] =
    "\x83T\x83u\x83R\x83}\x83\x93\x83h\x81"
    "Fprio\n"
    "\x81y\x8F\x91\x8E\xAE\x81z-prio=string\n"
    "\x81y\x93\xFC\x97\xCD\x81zstring\x81@\x81@\x81"
    "F\x83v\x83\x8D\x83Z\x83X\x82\xCC\x97"
    "D\x90\xE6\x93x\n"
    "        REALTIME    : \x83\x8A\x83"
    "A\x83\x8B\x83^\x83"
    "C\x83\x80\n"
    "        HIGH        : \x8D\x82\n"
    "        ABOVENORMAL : \x92\xCA\x8F\xED\x88\xC8\x8F\xE3\n"
    "        NORMAL      : \x92\xCA\x8F\xED\n"
    "        BELOWNORMAL : \x92\xCA\x8F\xED\x88\xC8\x89\xBA\n"
    "        LOW         : \x92\xE1\n"
    "\x81y\x8B@\x94\x5C\x81z\x83v\x83\x8D\x83Z\x83X\x82\xCC\x97"
    "D\x90\xE6\x93x\x82\xF0\x8Ew\x92\xE8\x82\xB7\x82\xE9\x81"
    "B\n"
    "\x81y\x94\xCD\x88\xCD\x81z\x8F\xE3\x8BL\x82\xCC\x82\xA2\x82\xB8\x82\xEA\x82\xA9\x82\xF0\x8Ew\x92\xE8\x82\xB7\x82\xE9\x81"
    "B\x83"
    "f\x83t\x83H\x83\x8B\x83g\x90\xDD\x92\xE8\x82\xCDNORMAL\x81"
    "B\n";

const char kInvalidFrequencySjis[] =
    "\x83T\x83\x93\x83v\x83\x8A\x83\x93\x83O\x8E\xFC\x94g\x90\x94\x82\xCC\x8Ew\x92\xE8\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";

std::vector<const char*> AllTexts(const TextSet& texts) {
    std::vector<const char*> all = {texts.banner,
                                    texts.usage,
                                    texts.file_names,
                                    texts.progress_header,
                                    texts.report_header,
                                    texts.report_input_format,
                                    texts.report_output_format,
                                    texts.report_values,
                                    texts.report_volume,
                                    texts.mode_quality,
                                    texts.mode_speed,
                                    texts.mode_custom,
                                    texts.report_meta,
                                    texts.meta_separator,
                                    texts.meta_none,
                                    texts.same_warning,
                                    texts.clip_warning,
                                    texts.error_fallback,
                                    texts.subcommand_hint};
    for (const char* page : texts.help_pages)
        all.push_back(page);
    for (const char* kind : texts.meta_kinds)
        all.push_back(kind);
    for (const char* warning : texts.meta_warnings)
        all.push_back(warning);
    return all;
}

}  // namespace

TEST(ShiftJisTexts, HelpPagesMatchCodePage932Bytes) {
    ConsoleCapture capture(ConsoleLanguage::kJapaneseShiftJis);
    ASSERT_TRUE(PrintHelpPage(3));
    ASSERT_TRUE(PrintHelpPage(10));
    EXPECT_EQ(capture.out, std::string(kJapaneseFreqPageSjis) + kJapanesePrioPageSjis);
    EXPECT_FALSE(PrintHelpPage(13));
    EXPECT_FALSE(PrintHelpPage(-1));
}

TEST(ShiftJisTexts, SpecialCharactersUseTheirCodePage932Codes) {
    EXPECT_EQ(Utf8ToShiftJis("\u3000"), "\x81\x40");  // ideographic space
    EXPECT_EQ(Utf8ToShiftJis("\uFF5E"), "\x81\x60");  // fullwidth tilde
    EXPECT_EQ(Utf8ToShiftJis("\u2192"), "\x81\xA8");  // arrow of the report
    EXPECT_EQ(Utf8ToShiftJis("plain ASCII %s\n"), "plain ASCII %s\n");
    bool complete = true;
    EXPECT_EQ(Utf8ToShiftJis("\u00E9", &complete), "?");  // not used by any text
    EXPECT_FALSE(complete);
    EXPECT_EQ(Utf8ToShiftJis("\xE3\x81", &complete), "??");  // cut sequence: one per stray byte
}

TEST(ShiftJisTexts, EveryJapaneseTextIsCoveredByTheTable) {
    for (const char* text : AllTexts(kJapaneseTexts)) {
        bool complete = false;
        Utf8ToShiftJis(text, &complete);
        EXPECT_TRUE(complete) << text;
    }
    for (std::size_t i = 0; i < kErrorTableSize; ++i) {
        bool complete = false;
        Utf8ToShiftJis(kErrorTable[i].japanese, &complete);
        EXPECT_TRUE(complete) << kErrorTable[i].japanese;
    }
}

TEST(ConsoleTexts, BannerHasThreeLinesAndTheFirstTwoAreShared) {
    std::string english = kEnglishTexts.banner;
    std::string japanese = kJapaneseTexts.banner;
    auto first_two = [](const std::string& s) {
        return s.substr(0, s.find('\n', s.find('\n') + 1));
    };
    EXPECT_EQ(first_two(english), first_two(japanese));
    EXPECT_EQ(std::count(english.begin(), english.end(), '\n'), 2);
    EXPECT_EQ(std::count(japanese.begin(), japanese.end(), '\n'), 2);
    EXPECT_EQ(english.rfind("tolmek version ", 0), 0u);
}

TEST(ConsoleTexts, UsageAndHelpPagesFitTheMessageBuffer) {
    for (const TextSet* texts : {&kEnglishTexts, &kJapaneseTexts}) {
        for (const char* text : AllTexts(*texts))
            EXPECT_LT(Utf8ToShiftJis(text).size(), 1024u) << text;
    }
}

TEST(ErrorTable, HoldsEveryCodeOnceWithBothMessages) {
    EXPECT_EQ(kErrorTableSize, 51u);
    std::set<int> codes;
    for (std::size_t i = 0; i < kErrorTableSize; ++i) {
        EXPECT_TRUE(codes.insert(kErrorTable[i].code).second) << kErrorTable[i].code;
        EXPECT_LT(kErrorTable[i].code, 0);
        EXPECT_NE(kErrorTable[i].english[0], '\0');
        EXPECT_NE(kErrorTable[i].japanese[0], '\0');
    }
    for (int later :
         {kErrUnsupportedChannels, kErrWriteOutput, kErrReadInput, kErrTooManyFileNames})
        EXPECT_EQ(codes.count(later), 1u);
    EXPECT_EQ(codes.count(kStatusHelpShown), 0u);
    EXPECT_EQ(codes.count(kStatusInterrupted), 0u);
}

TEST(ErrorLine, ShowsTheLow16BitsAndTheMessage) {
    ConsoleCapture capture;
    PrintError(kErrInvalidFrequency);
    PrintError(kErrInvalidInputName);
    PrintError(kErrNoArgument);
    PrintError(kErrUnsupportedChannels);
    PrintError(kErrWriteOutput);
    PrintError(kErrReadInput);
    PrintError(0);
    PrintError(5);
    EXPECT_EQ(capture.out,
              "Error e114 : Invalid sampling frequency.\n"
              "Error b021 : Invalid input file name.\n"
              "Error d001 : The command line argument is not specified.\n"
              "Error e202 : The number of channels of the input file is not supported.\n"
              "Error c003 : Cannot write output file.\n"
              "Error c004 : Cannot read input file.\n");
}

TEST(ErrorLine, UnknownCodeGetsTheFallbackMessage) {
    {
        ConsoleCapture capture;
        PrintError(-1);
        EXPECT_EQ(capture.out, "Error ffff : The unknown error code was returned.\n");
    }
    {
        ConsoleCapture capture(ConsoleLanguage::kJapaneseUtf8);
        PrintError(-1);
        EXPECT_EQ(capture.out, "Error ffff : 対応するエラーコードが見つかりません\n");
    }
}

TEST(ErrorLine, JapaneseMessagesInShiftJisAndUtf8) {
    {
        ConsoleCapture capture(ConsoleLanguage::kJapaneseShiftJis);
        PrintError(kErrInvalidFrequency);
        EXPECT_EQ(capture.out, std::string("Error e114 : ") + kInvalidFrequencySjis + "\n");
    }
    {
        ConsoleCapture capture(ConsoleLanguage::kJapaneseUtf8);
        PrintError(kErrInvalidFrequency);
        EXPECT_EQ(capture.out, "Error e114 : サンプリング周波数の指定が正しくありません\n");
    }
}

TEST(ErrorLine, FirstModuleErrorFollowsInParentheses) {
    ConsoleCapture capture;
    NUVERR_Report("E2006110805 : Can not create file.");
    NUVERR_Report("E2006110806 : second report is dropped.");
    PrintError(kErrOpenOutput);
    EXPECT_EQ(capture.out,
              "Error c002 : Cannot open output file.\n"
              "(E2006110805 : Can not create file.)\n");
}

TEST(ErrorLine, ModuleErrorIsKeptToAtMost1023Bytes) {
    ConsoleCapture capture;
    std::string long_text(3000, 'x');
    RecordModuleError(0, long_text.c_str());
    std::string recorded;
    ASSERT_TRUE(RecordedModuleError(&recorded));
    EXPECT_EQ(recorded.size(), 1023u);
    RecordModuleError(0, nullptr);
}

TEST(MessageOutput, FormattedResultsAreCutAt1023Bytes) {
    ConsoleCapture capture;
    std::string long_text(5000, 'y');
    PrintMessage("%s", long_text.c_str());
    EXPECT_EQ(capture.out, std::string(1023, 'y'));
}

TEST(MessageOutput, MessageBoxBecomesOneLineOnStandardError) {
    ConsoleCapture capture;
    ShowMessageBox("Failed", "Error");
    EXPECT_EQ(capture.out, "");
    EXPECT_EQ(capture.err, "Error: Failed\n");
}

TEST(MessageOutput, FixedLinesAreTheSameInBothLanguages) {
    for (ConsoleLanguage language :
         {ConsoleLanguage::kEnglish, ConsoleLanguage::kJapaneseShiftJis}) {
        ConsoleCapture capture(language);
        PrintCompleted();
        PrintInterrupted();
        PrintProgressStart();
        PrintProgressEnd();
        EXPECT_EQ(capture.out,
                  "\n\n||||||||||  Completed  ||||||||||\n"
                  "\n\n||||||||||  Interrupted  ||||||||||\n"
                  "\t( 0 / 100 )    \r"
                  "\t( 100 / 100 )    \r");
    }
}

TEST(Progress, ThrottlesToTheRateAndCyclesTheDotsOnlyWhenPrinting) {
    ConsoleCapture capture;
    ASSERT_TRUE(InitProgress(1000, 2));
    PrintProgressHeader();
    EXPECT_EQ(ShowProgressAt(1, 100, 1000), kProgressSkipped);
    EXPECT_EQ(ShowProgressAt(1, 100, 1499), kProgressSkipped);
    EXPECT_EQ(ShowProgressAt(10, 100, 1500), kProgressPrinted);
    EXPECT_EQ(ShowProgressAt(11, 100, 1700), kProgressSkipped);
    EXPECT_EQ(ShowProgressAt(20, 100, 2000), kProgressPrinted);
    EXPECT_EQ(ShowProgressAt(30, 100, 2500), kProgressPrinted);
    EXPECT_EQ(ShowProgressAt(40, 100, 3000), kProgressPrinted);
    EXPECT_EQ(ShowProgressAt(50, 100, 3500), kProgressPrinted);
    EXPECT_EQ(capture.out, "<< Progress >>\n");
    EXPECT_EQ(capture.err,
              "\t( 10 / 100 )    \r"
              "\t( 20 / 100 ).   \r"
              "\t( 30 / 100 )..  \r"
              "\t( 40 / 100 )... \r"
              "\t( 50 / 100 )    \r");
}

TEST(Progress, WrappedTickCountPrintsAtOnceAndHeaderResetsTheDots) {
    ConsoleCapture capture;
    PrintProgressHeader();
    capture.out.clear();
    ASSERT_TRUE(InitProgress(0xFFFFFF00u, 2));
    EXPECT_EQ(ShowProgressAt(1, 2, 0xFFFFFF64u), kProgressSkipped);
    EXPECT_EQ(ShowProgressAt(1, 2, 0x00000010u), kProgressPrinted);  // the count wrapped past zero
    EXPECT_EQ(ShowProgressAt(2, 2, 0x00000020u), kProgressSkipped);
    EXPECT_EQ(ShowProgressAt(2, 2, 0x00000005u), kProgressPrinted);  // earlier than the last print
    PrintProgressHeader();
    ASSERT_TRUE(InitProgress(0, 2));
    EXPECT_EQ(ShowProgressAt(2, 2, 500), kProgressPrinted);
    EXPECT_EQ(capture.err, "\t( 1 / 2 )    \r\t( 2 / 2 ).   \r\t( 2 / 2 )    \r");
}

TEST(Progress, RateOfZeroOrBelowIsRefused) {
    EXPECT_FALSE(InitProgress(0, 0));
    EXPECT_FALSE(InitProgress(0, -1));
    EXPECT_TRUE(InitProgress(0, 2));
}
