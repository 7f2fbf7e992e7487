// Markers and loops move to the output rate.
#include "convert_fixture.h"

class ConvertMarkers : public ConvertTest {};

TEST_F(ConvertMarkers, MarkersScaleFrom44100To48000) {
    conv::WavFile in = conv::MakeWav(44100, 1, 100000, [](std::size_t, int) { return 0; });
    in.markers = {0, 44100, 88200};
    Write("in.wav", in);
    conv::WavFile out =
        Convert({"in.wav", "-out=out.wav", "-freq=48000", "-mode=speed"}, "out.wav");
    EXPECT_EQ(out.markers, (std::vector<std::uint32_t>{0, 48000, 96000}));
}

TEST_F(ConvertMarkers, LoopHalvesWithTheRate) {
    conv::WavFile in = conv::MakeWav(44100, 2, 3000, [](std::size_t, int) { return 0; });
    in.loops = {{1000, 2000}};
    Write("in.wav", in);
    conv::WavFile out =
        Convert({"in.wav", "-out=out.wav", "-freq=22050", "-mode=speed"}, "out.wav");
    ASSERT_EQ(out.loops.size(), 1u);
    EXPECT_EQ(out.loops[0].start, 500u);
    EXPECT_EQ(out.loops[0].end, 1000u);
}

TEST_F(ConvertMarkers, EqualRatesKeepMarkersAndLoopsAndPositionsPastTheEndStay) {
    conv::WavFile in = conv::MakeWav(
        8000, 1, 100, [](std::size_t k, int) { return static_cast<std::int32_t>(k); });
    in.markers = {5, 99};
    in.loops = {{10, 20}, {30, 90}};
    Write("in.wav", in);
    conv::WavFile out = Convert({"in.wav", "-out=out.wav", "-smpl=50"}, "out.wav");
    EXPECT_EQ(out.frames(), 50u);
    EXPECT_EQ(out.markers, (std::vector<std::uint32_t>{5, 99}));
    ASSERT_EQ(out.loops.size(), 2u);
    EXPECT_EQ(out.loops[1].start, 30u);
    EXPECT_EQ(out.loops[1].end, 90u);
}
