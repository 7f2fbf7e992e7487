#include <gtest/gtest.h>

#include "app/report.h"
#include "console_capture.h"

using namespace tolmek;
using platform::ConsoleLanguage;

namespace {

ResampleJob SampleJob() {
    ResampleJob job;
    job.input_path = "/snd/take1.wav";
    job.output_path = "/snd/_take1.wav";
    job.input_sampling_rate = 44100;
    job.output_sampling_rate = 48000;
    job.input_num_channels = 2;
    job.output_num_channels = 1;
    job.input_num_bits = 16;
    job.output_num_bits = 24;
    job.input_num_samples = 100000;
    job.output_num_samples = 108844;
    job.volume_db = 6.0206;
    return job;
}

}  // namespace

TEST(VolumeFormat, ThreeDecimalsTruncatedTowardZero) {
    EXPECT_EQ(FormatVolume(6.0206), "6.020");
    EXPECT_EQ(FormatVolume(-3.25), "-3.250");
    EXPECT_EQ(FormatVolume(-0.5), "-0.500");
    EXPECT_EQ(FormatVolume(0.0), "0.000");
    EXPECT_EQ(FormatVolume(-0.0), "0.000");
    EXPECT_EQ(FormatVolume(-1.0), "-1.000");
    EXPECT_EQ(FormatVolume(-999.0), "-999.000");
    EXPECT_EQ(FormatVolume(999.9999), "999.999");
    EXPECT_EQ(FormatVolume(-0.0004), "-0.000");
}

TEST(FormatName, AifAndAiffInAnyCaseAreAiffEverythingElseWav) {
    EXPECT_STREQ(FormatNameOf("/a/x.aiff"), "AIFF");
    EXPECT_STREQ(FormatNameOf("/a/y.AIF"), "AIFF");
    EXPECT_STREQ(FormatNameOf("/a/z.aifc"), "WAV");
    EXPECT_STREQ(FormatNameOf("/a/z"), "WAV");
    EXPECT_STREQ(FormatNameOf("/a.aif/z"), "WAV");
}

TEST(ParameterReport, EnglishReportListsBothSides) {
    ConsoleCapture capture;
    PrintParameterReport(SampleJob());
    EXPECT_EQ(capture.out,
              "<< Parameters >>\n"
              " file format                : WAV -> WAV\n"
              " sampling frequency         : 44100(Hz) -> 48000(Hz)\n"
              " number of channels         : 2(ch) -> 1(ch)\n"
              " number of quantization bit : 16(bit) -> 24(bit)\n"
              " number of samples          : 100000 -> 108844\n"
              " volume control             : 6.020(dB)\n"
              " conversion mode            : QUALITY\n\n");
}

TEST(ParameterReport, ModesAndTheSameParametersWarning) {
    ResampleJob job = SampleJob();
    job.input_path = "/snd/a.WAV";
    job.output_path = "/snd/b.wav";
    job.output_sampling_rate = 44100;
    job.output_num_channels = 2;
    job.output_num_bits = 16;
    job.output_num_samples = 100000;
    job.volume_db = 0.0;
    job.quality = 3;
    {
        ConsoleCapture capture;
        PrintParameterReport(job);
        EXPECT_NE(capture.out.find(" conversion mode            : SPEED\n\n"
                                   " Warning : The parameters of both files are same.\n\n"),
                  std::string::npos);
    }
    job.output_path = "/snd/b.aif";
    job.quality = 7;
    {
        ConsoleCapture capture;
        PrintParameterReport(job);
        EXPECT_NE(capture.out.find(" file format                : WAV -> AIFF\n"),
                  std::string::npos);
        EXPECT_NE(capture.out.find(" conversion mode            : CUSTOM (7)\n\n"),
                  std::string::npos);
        EXPECT_EQ(capture.out.find("Warning"), std::string::npos);
    }
    job.output_path = "/snd/b.wav";
    job.volume_db = -0.0;  // equal to 0.0: still the same
    {
        ConsoleCapture capture;
        PrintParameterReport(job);
        EXPECT_NE(capture.out.find("Warning"), std::string::npos);
    }
    job.input_path = "/snd/a";
    job.output_path = "/snd/b";  // both without extension
    job.volume_db = 0.5;
    {
        ConsoleCapture capture;
        PrintParameterReport(job);
        EXPECT_EQ(capture.out.find("Warning"), std::string::npos);
    }
}

TEST(ParameterReport, JapaneseReportInUtf8) {
    ResampleJob job = SampleJob();
    job.volume_db = -0.5;
    job.quality = 5;
    ConsoleCapture capture(ConsoleLanguage::kJapaneseUtf8);
    PrintParameterReport(job);
    EXPECT_EQ(capture.out,
              "【変換パラメータ】\n"
              "　ファイル形式　　　：WAV → WAV\n"
              "　サンプリング周波数：44100(Hz) → 48000(Hz)\n"
              "　チャンネル数　　　：2(ch) → 1(ch)\n"
              "　量子化ビット数　　：16(bit) → 24(bit)\n"
              "　総サンプル数　　　：100000 → 108844\n"
              "　ボリューム変更　　：-0.500(dB)\n"
              "　変換方式　　　　　：カスタム（5）\n\n");
}

TEST(ParameterReport, FloatSamplesAreNamedOnEitherSideInBothLanguages) {
    ResampleJob job = SampleJob();
    job.input_num_bits = 32;
    job.output_num_bits = 32;
    job.input_float = true;
    {
        ConsoleCapture capture;
        PrintParameterReport(job);
        EXPECT_NE(capture.out.find(" : 32(bit float) -> 32(bit)\n"), std::string::npos)
            << capture.out;
    }
    job.input_float = false;
    job.output_float = true;
    ConsoleCapture capture(ConsoleLanguage::kJapaneseUtf8);
    PrintParameterReport(job);
    EXPECT_NE(capture.out.find("：32(bit) → 32(bit float)\n"), std::string::npos) << capture.out;
}

TEST(FileNamesBlock, PrintsTheFileNamePartsLiterally) {
    ResampleJob job;
    job.input_path = "/snd/100%s.wav";
    job.output_path = "/snd/_100%d.wav";
    {
        ConsoleCapture capture;
        PrintFileNames(job);
        EXPECT_EQ(capture.out, "<< Files >>\n input  : 100%s.wav\n output : _100%d.wav\n\n");
    }
    {
        ConsoleCapture capture(ConsoleLanguage::kJapaneseShiftJis);
        PrintFileNames(job);
        EXPECT_EQ(capture.out,
                  "\x81y\x93\xFC\x8Fo\x97\xCD\x83t\x83@\x83"
                  "C\x83\x8B\x81z\n"
                  "\x81@\x93\xFC\x97\xCD\x83t\x83@\x83"
                  "C\x83\x8B : 100%s.wav\n"
                  "\x81@\x8Fo\x97\xCD\x83t\x83@\x83"
                  "C\x83\x8B : _100%d.wav\n"
                  "\n");
    }
}
