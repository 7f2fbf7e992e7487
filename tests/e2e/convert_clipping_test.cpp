// The clipping warning: one line on standard error, before the outcome
// banner, exactly when a completed conversion clipped sample values; its
// count; both languages; never on standard output.
#include <cmath>
#include <cstdlib>

#include "convert_fixture.h"
#include "tests/support/system.h"

namespace {

std::string EnglishLine(const std::string& count) {
    return " Warning : " + count + " samples were clipped.\n";
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

}  // namespace

class ConvertClipping : public ConvertTest {
  protected:
    testsupport::ChildResult RunIn(const std::vector<std::string>& args, const std::string& lang) {
        return testsupport::RunTolmek(args, dir.path(), {lang});
    }
};

TEST_F(ConvertClipping, StereoSumsThatClipAreCountedOnStandardErrorOnly) {
    Write("in.wav", conv::LoudPairs());
    testsupport::ChildResult r = RunIn({"in.wav", "-out=out.wav", "-ch=1"}, "LANG=C");
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    // The last thing on standard error, after the progress lines; the
    // banner follows on standard output.
    const std::string line = EnglishLine("4");
    ASSERT_GE(r.err.size(), line.size());
    EXPECT_EQ(r.err.substr(r.err.size() - line.size()), line);
    EXPECT_EQ(Occurrences(r.err, "Warning"), 1u);
    EXPECT_EQ(r.out.find("clipped"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("||||||||||  Completed  ||||||||||\n"), std::string::npos);
    // The samples themselves are the clipped sums, as without the count.
    conv::WavFile out = Read("out.wav");
    EXPECT_EQ(out.samples, (std::vector<std::int32_t>{3000, 32767, 32767, -32768, -29000, -32768}));
}

TEST_F(ConvertClipping, GainCountsEveryClippedValueOfEveryChannel) {
    // +6 dB doubles (x 1.995): magnitudes up to 16000 stay inside, from
    // 17000 on they clip; none lies in between.
    std::size_t loud = 0;
    conv::WavFile in = conv::MakeWav(8000, 2, 3000, [&loud](std::size_t k, int c) {
        const int v = static_cast<int>((k * 37 + static_cast<std::size_t>(c) * 11) % 32768);
        const int magnitude = v > 16000 && v < 17000 ? v - 1000 : v;
        if (magnitude >= 17000) ++loud;
        return k % 2 == 0 ? magnitude : -magnitude - 1;
    });
    ASSERT_GT(loud, 1000u);
    Write("in.wav", in);
    testsupport::ChildResult r = RunIn({"in.wav", "-out=out.wav", "-vol=6"}, "LANG=C");
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_NE(r.err.find(EnglishLine(std::to_string(loud))), std::string::npos) << r.err;
}

TEST_F(ConvertClipping, NothingClippedPrintsNoWarning) {
    conv::WavFile in = conv::LoudPairs();
    Write("in.wav", in);
    // The same file kept in stereo, and resampled at a gain that keeps
    // every value inside the range.
    testsupport::ChildResult r = RunIn({"in.wav", "-out=out.wav"}, "LANG=C");
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(r.err.find("Warning"), std::string::npos) << r.err;
    r = RunIn({"in.wav", "-out=out2.wav", "-freq=44100", "-vol=-12", "-ch=1"}, "LANG=C");
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(r.err.find("Warning"), std::string::npos) << r.err;
}

TEST_F(ConvertClipping, JapaneseLineInUtf8AndShiftJis) {
    if (!testsupport::IsPosix())
        GTEST_SKIP() << "the language comes from locale variables on POSIX only";
    Write("in.wav", conv::LoudPairs());
    testsupport::ChildResult r = RunIn({"in.wav", "-out=out.wav", "-ch=1"}, "LANG=ja_JP.UTF-8");
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    const std::string utf8 =
        "\xE3\x80\x80Warning : 4 "
        "\xE5\x80\x8B\xE3\x81\xAE\xE3\x82\xB5\xE3\x83\xB3\xE3\x83\x97\xE3\x83\xAB\xE3\x81\x8C"
        "\xE3\x82\xAF\xE3\x83\xAA\xE3\x83\x83\xE3\x83\x97\xE3\x81\x95\xE3\x82\x8C\xE3\x81\xBE"
        "\xE3\x81\x97\xE3\x81\x9F\n";
    EXPECT_EQ(Occurrences(r.err, utf8), 1u) << r.err;
    EXPECT_EQ(r.out.find("Warning : 4"), std::string::npos);

    r = RunIn({"in.wav", "-out=out_sjis.wav", "-ch=1"}, "LANG=ja_JP.SJIS");
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    // Code page 932 bytes, written independently of the program's table.
    const std::string sjis =
        "\x81\x40Warning : 4 \x8C\xC2\x82\xCC\x83T\x83\x93\x83v\x83\x8B\x82\xAA\x83N\x83\x8A\x83"
        "b"
        "\x83v\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD\n";
    EXPECT_EQ(Occurrences(r.err, sjis), 1u) << r.err;
    EXPECT_EQ(r.out.find("Warning : 4"), std::string::npos);
}
