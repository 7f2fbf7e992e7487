// How many frames a conversion writes, and the report that announces them.
#include <cmath>

#include "convert_fixture.h"

namespace {

conv::WavFile Ramp(int rate, int channels, std::size_t frames) {
    return conv::MakeWav(rate, channels, frames, [](std::size_t k, int c) {
        return static_cast<std::int32_t>((k * 7 + static_cast<std::size_t>(c) * 1000) % 20000) -
               10000;
    });
}

}  // namespace

class ConvertFrameCounts : public ConvertTest {};

TEST_F(ConvertFrameCounts, OneSecondAt44100BecomesExactly48000Frames) {
    Write("in.wav", Ramp(44100, 1, 44100));
    conv::WavFile out = Convert({"in.wav", "-out=out.wav", "-freq=48000"}, "out.wav");
    EXPECT_EQ(out.rate, 48000);
    EXPECT_EQ(out.frames(), 48000u);
}

TEST_F(ConvertFrameCounts, HundredThousandFramesFillSeveralBlocksAndGive108844) {
    Write("in.wav", Ramp(44100, 2, 100000));
    conv::WavFile out =
        Convert({"in.wav", "-out=out.wav", "-freq=48000", "-mode=speed"}, "out.wav");
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.frames(), 108844u);
}

TEST_F(ConvertFrameCounts, SingleFrameHalvedInRateStaysOneFrame) {
    Write("in.wav", Ramp(44100, 1, 1));
    conv::WavFile out = Convert({"in.wav", "-out=out.wav", "-freq=22050"}, "out.wav");
    EXPECT_EQ(out.frames(), 1u);
}

TEST_F(ConvertFrameCounts, SmallerSampleCountWritesOnlyThatMany) {
    Write("in.wav", Ramp(44100, 1, 44100));
    conv::WavFile out =
        Convert({"in.wav", "-out=out.wav", "-freq=48000", "-smpl=24000"}, "out.wav");
    EXPECT_EQ(out.frames(), 24000u);
}

TEST_F(ConvertFrameCounts, LargerSampleCountPadsWithSilence) {
    conv::WavFile in = conv::MakeWav(8000, 1, 800, [](std::size_t, int) { return 1000; });
    Write("in.wav", in);
    conv::WavFile out = Convert({"in.wav", "-out=out.wav", "-smpl=2000"}, "out.wav");
    ASSERT_EQ(out.frames(), 2000u);
    // Equal rates copy the input; the rest is silence.
    for (std::size_t k = 0; k < 800; ++k)
        ASSERT_EQ(out.at(k, 0), 1000) << k;
    for (std::size_t k = 800; k < 2000; ++k)
        ASSERT_EQ(out.at(k, 0), 0) << k;
}

TEST_F(ConvertFrameCounts, ZeroSampleCountWritesAnEmptyFile) {
    Write("in.wav", Ramp(44100, 1, 1000));
    conv::WavFile out = Convert({"in.wav", "-out=out.wav", "-freq=48000", "-smpl=0"}, "out.wav");
    EXPECT_EQ(out.frames(), 0u);
}

class ConvertReport : public ConvertTest {};

TEST_F(ConvertReport, PrintsFilesParametersProgressAndCompletion) {
    Write("in.wav", Ramp(44100, 1, 44100));
    testsupport::ChildResult r = Run({"in.wav", "-out=out.wav", "-freq=48000"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(
        conv::AfterBanner(r.out),
        "<< Files >>\n input  : in.wav\n output : out.wav\n\n" +
            conv::ParameterBlock("WAV", "WAV", 44100, 48000, 1, 1, 16, 16, 44100, 48000, "0.000") +
            "<< Progress >>\n\t( 0 / 100 )    \r\t( 100 / 100 )    \r"
            "\n\n||||||||||  Completed  ||||||||||\n");
}

TEST_F(ConvertReport, ReportsTheDerivedOutputAndTheSameParameterWarning) {
    Write("in.wav", Ramp(22050, 2, 500));
    testsupport::ChildResult r = Run({"in.wav", "-out=out.wav"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.out.find(conv::ParameterBlock("WAV", "WAV", 22050, 22050, 2, 2, 16, 16, 500, 500,
                                              "0.000") +
                         " Warning : The parameters of both files are same.\n\n"),
              std::string::npos)
        << r.out;
}

TEST_F(ConvertReport, AiffOutputIsNamedInTheReportAndWritten) {
    Write("in.wav", Ramp(44100, 2, 4410));
    testsupport::ChildResult r = Run({"in.wav", "-out=out.aif", "-freq=48000", "-mode=speed"});
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find(conv::ParameterBlock("WAV", "AIFF", 44100, 48000, 2, 2, 16, 16, 4410, 4800,
                                              "0.000", "SPEED")),
              std::string::npos)
        << r.out;
    std::string bytes = dir.ReadFile("out.aif");
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(0, 4), "FORM");
    EXPECT_EQ(bytes.substr(8, 4), "AIFF");
}
