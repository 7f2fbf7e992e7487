#include <gtest/gtest.h>

#include "tests/unit/app/tokenize_helper.h"

using namespace tolmek;

TEST(Tokenizer, SwitchNamesMatchInAnyCaseWithDashOrKnownSlashName) {
    for (const char* text : {"-freq=44100", "-FREQ=44100", "/freq=44100", "/Freq=44100"}) {
        ArgumentToken token = Tokenize(text);
        EXPECT_EQ(token.index, kSubFreq) << text;
        EXPECT_EQ(token.value, "44100") << text;
        EXPECT_EQ(token.name.substr(1), std::string(text).substr(1, 4));
    }
    EXPECT_EQ(Tokenize("/HELP").index, kSubHelp);
    EXPECT_EQ(Tokenize("/help").value, "");
}

TEST(Tokenizer, SwitchWithoutEqualsHasAnEmptyValue) {
    ArgumentToken token = Tokenize("-freq");
    EXPECT_EQ(token.index, kSubFreq);
    EXPECT_EQ(token.value, "");
}

TEST(Tokenizer, ValueIsEverythingAfterTheFirstEquals) {
    ArgumentToken token = Tokenize("-out=a=b c.wav");
    EXPECT_EQ(token.index, kSubOut);
    EXPECT_EQ(token.value, "a=b c.wav");
    EXPECT_EQ(Tokenize("-in=\xE9\x9F\xB3.wav").value, "\xE9\x9F\xB3.wav");  // bytes above 0x7F pass
}

TEST(Tokenizer, UnknownSwitchNamesAndBareArgumentsHaveNoIndex) {
    ArgumentToken unknown = Tokenize("-xyz=out.wav");
    EXPECT_EQ(unknown.index, -1);
    EXPECT_EQ(unknown.value, "out.wav");
    ArgumentToken bare = Tokenize("take1.wav");
    EXPECT_EQ(bare.index, -1);
    EXPECT_EQ(bare.value, "take1.wav");
    EXPECT_EQ(bare.name, "");
}

TEST(Tokenizer, MalformedArgumentsFailWithTheirCodes) {
    struct Case {
        const char* text;
        int result;
        int code;
    };
    const Case cases[] = {
        {"", kTokenEmpty, kErrNoArgument},
        {"-", kTokenNoName, kErrNoSubcommand},
        {"/", kTokenNoName, kErrNoSubcommand},
        {"-freq=", kTokenNoValue, kErrNoParameter},
        {"-fr_eq=1", kTokenBadName, kErrBadSubcommand},
        {"-fr eq", kTokenBadName, kErrBadSubcommand},
        {"-freq=44\t100", kTokenBadValue, kErrBadParameter},
        {"take\n1.wav", kTokenBadValue, kErrBadParameter},
    };
    for (const Case& c : cases) {
        Tokenize(c.text, c.result);
        EXPECT_EQ(MapTokenizerResult(c.result), c.code) << c.text;
    }
    EXPECT_EQ(MapTokenizerResult(-1), kErrTokenizer);
    EXPECT_EQ(MapTokenizerResult(-7), kErrTokenizer);
}

TEST(Tokenizer, FindSubcommandKnowsTheTableInOrder) {
    const char* names[] = {"help", "in",  "out",  "freq", "ch",     "bit",
                           "smpl", "vol", "mode", "sub",  "prio", "dither", "meta"};
    for (int i = 0; i < kNumSubcommands; ++i)
        EXPECT_EQ(FindSubcommand(names[i]), i);
    EXPECT_EQ(FindSubcommand("PrIo"), kSubPrio);
    EXPECT_EQ(FindSubcommand("DITHER"), kSubDither);
    EXPECT_EQ(FindSubcommand(""), kErrInvalidSubcommand);
    EXPECT_EQ(FindSubcommand("fre"), kErrInvalidSubcommand);
    EXPECT_EQ(FindSubcommand("-freq"), kErrInvalidSubcommand);
}

TEST(NumberTest, AcceptsOptionalMinusDigitsAndOneDot) {
    for (const char* yes : {"0", "44100", "-6", "44100.9", "-0.5", ".5", "5.", "-.5", "007"}) {
        EXPECT_TRUE(IsNumber(yes)) << yes;
    }
    for (const char* no :
         {"", "-", ".", "-.", "+44100", "4e4", " 1", "1 ", "1.2.3", "--1", "0x10", "1-"}) {
        EXPECT_FALSE(IsNumber(no)) << no;
    }
}

TEST(NumberTest, IntegerPartSaturatesInsteadOfOverflowing) {
    EXPECT_EQ(ParseIntSaturated("44100.9"), 44100);
    EXPECT_EQ(ParseIntSaturated("-7.9"), -7);
    EXPECT_EQ(ParseIntSaturated(".5"), 0);
    EXPECT_EQ(ParseIntSaturated("2147483647"), 2147483647);
    EXPECT_EQ(ParseIntSaturated("99999999999"), 2147483647);
    EXPECT_EQ(ParseIntSaturated("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseIntSaturated("-99999999999999999999999"), -2147483647 - 1);
}

TEST(DoubleDash, DropsOneDashOnlyBeforeASubcommandName) {
    EXPECT_EQ(DropDoubleDash("--help"), "-help");
    EXPECT_EQ(DropDoubleDash("--help=freq"), "-help=freq");
    EXPECT_EQ(DropDoubleDash("--FREQ=48000"), "-FREQ=48000");
    EXPECT_EQ(DropDoubleDash("--in=--out=x.wav"), "-in=--out=x.wav");
    EXPECT_EQ(DropDoubleDash("--out="), "-out=");  // the tokenizer then refuses the empty value
    for (const char* kept :
         {"--", "---", "--=1", "--xyz", "--xyz=out.wav", "---freq=1", "--fr_eq=1", "--version",
          "-freq=1", "-", "/freq=1", "take1.wav", "--freqx=1"}) {
        EXPECT_EQ(DropDoubleDash(kept), kept);
    }
}

TEST(DoubleDash, OnlyTheExactLongVersionIsAVersionRequest) {
    EXPECT_TRUE(IsVersionRequest("--version"));
    for (const char* other :
         {"-version", "--VERSION", "--version=1", "--versio", "version", "/version"}) {
        EXPECT_FALSE(IsVersionRequest(other)) << other;
    }
}
