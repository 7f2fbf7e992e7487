// The chunk walk both containers share, over a small table of its own, in
// both byte orders: what it visits, where it stops and which message each
// failure gives. The codecs' own tests cover the real tables.
#include "codecs/chunk_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/file_fixtures.h"

namespace {

using namespace filetest;

// What the body decoders saw, in order: identifier letter, position, size.
std::vector<std::string> g_visits;

std::int32_t Visit(char letter, const WstmHandle* h, std::int64_t size) {
    g_visits.push_back(std::string(1, letter) + "@" + std::to_string(h->current_position) + ":" +
                       std::to_string(size));
    return 0;
}

std::int32_t DecodeHead(WstmHandle* h, std::int64_t size) {
    Visit('H', h, size);
    h->current_position += 12;
    return 0;
}
std::int32_t DecodeA(WstmHandle* h, std::int64_t size) { return Visit('A', h, size); }
std::int32_t FailB(WstmHandle*, std::int64_t) { return chunk_fail("body of BBBB failed"); }

constexpr ChunkHandler kHandlers[] = {
    {"HEAD", nullptr, kChunkHead, DecodeHead, "get HEAD", "confirm HEAD", nullptr},
    {"AAAA", nullptr, 4, DecodeA, "get AAAA", "confirm AAAA", "size AAAA"},
    {"BBBB", nullptr, 0, FailB, "get BBBB", "confirm BBBB", "size BBBB"},
    {"SKIP", nullptr, 0, nullptr, "get SKIP", "confirm SKIP", "size SKIP"},
};

class ChunkWalkTest : public ::testing::TestWithParam<std::int32_t> {
  protected:
    bool big() const { return GetParam() == kWstmBigEndian; }

    // A chunk head with the size in the parameter's byte order, then the body
    // and its pad byte.
    void Add(ByteBuilder& b, const char* id, std::uint32_t size, const Bytes& body) {
        b.Str(id);
        if (big())
            b.U32BE(size);
        else
            b.U32LE(size);
        b.Append(body);
        if (body.size() % 2 != 0) b.U8(0);
    }
    Bytes Image(const std::vector<std::pair<const char*, Bytes>>& chunks) {
        ByteBuilder b;
        Add(b, "HEAD", 0, Bytes{'F', 'O', 'R', 'M'});
        for (const auto& [id, body] : chunks)
            Add(b, id, static_cast<std::uint32_t>(body.size()), body);
        return b.bytes();
    }

    // Walks the image with file_size = its size (or `file_size` when given).
    std::int32_t Walk(const Bytes& image, std::int32_t file_size = -1) {
        g_visits.clear();
        const std::string path = dir_.Path("walk.bin");
        filetest::WriteFile(path, image);
        WstmHandle h{};
        h.stream = FSTM_OpenRead(path.c_str());
        h.file_size = file_size >= 0 ? file_size : static_cast<std::int32_t>(image.size());
        const ChunkWalk walk = {GetParam(), kHandlers, 4, "get name", "size unknown", nullptr};
        const std::int32_t result = chunk_walk(&h, walk);
        end_ = h.current_position;
        FSTM_Close(h.stream);
        return result;
    }

    ScratchDir dir_;
    ErrorCapture errors_;
    std::int32_t end_ = 0;
};

TEST_P(ChunkWalkTest, VisitsKnownChunksSkipsUnknownOnesAndStopsAtANonPrintableId) {
    Bytes image = Image({{"JUNK", Bytes(3, 'j')}, {"AAAA", Bytes(5, 1)}, {"SKIP", Bytes(2, 0)}});
    const std::int32_t chunks_end = static_cast<std::int32_t>(image.size());
    image.insert(image.end(), {0x7F, 'X', 'Y', 'Z', 0, 0, 0, 0});  // 0x7F: not printable
    ASSERT_EQ(Walk(image), 0) << testing::PrintToString(errors_.lines());
    // The head moves itself on by 12; JUNK (3 bytes) is padded to 12 + 12.
    EXPECT_EQ(g_visits, (std::vector<std::string>{"H@0:0", "A@24:5"}));
    EXPECT_EQ(end_, chunks_end);
}

TEST_P(ChunkWalkTest, SizeTestsReportTheChunksOwnMessage) {
    ByteBuilder b;
    Add(b, "HEAD", 0, Bytes{'F', 'O', 'R', 'M'});
    Add(b, "AAAA", 3, Bytes(4, 0));  // below the minimum of 4
    EXPECT_EQ(Walk(b.bytes()), -1);
    EXPECT_EQ(errors_.lines(), Lines{"size AAAA"});
    errors_.clear();

    // A size that reaches exactly to file_size (the 8 head bytes not counted)
    // is accepted, one more is not.
    for (const std::uint32_t size : {12u, 13u}) {
        ByteBuilder reach;
        Add(reach, "HEAD", 0, Bytes{'F', 'O', 'R', 'M'});
        Add(reach, "AAAA", size, Bytes(4, 0));
        EXPECT_EQ(Walk(reach.bytes()), size == 12u ? 0 : -1) << size;
    }
    EXPECT_EQ(errors_.lines(), Lines{"size AAAA"});
    errors_.clear();

    ByteBuilder unknown;
    Add(unknown, "HEAD", 0, Bytes{'F', 'O', 'R', 'M'});
    Add(unknown, "JUNK", 100, Bytes(4, 0));
    EXPECT_EQ(Walk(unknown.bytes()), -1);
    EXPECT_EQ(errors_.lines(), Lines{"size unknown"});
}

TEST_P(ChunkWalkTest, AFailingBodyEndsTheWalkAndZerosPastTheEndStopIt) {
    EXPECT_EQ(Walk(Image({{"BBBB", Bytes(2, 0)}, {"AAAA", Bytes(4, 0)}})), -1);
    EXPECT_EQ(errors_.lines(), Lines{"body of BBBB failed"});
    EXPECT_TRUE(g_visits.size() == 1u);  // the head only
    errors_.clear();

    // file_size says there is more than the file holds: the file layer reads
    // zero bytes past the end, which are not printable and end the walk there.
    const Bytes image = Image({{"SKIP", Bytes(2, 0)}});
    EXPECT_EQ(Walk(image, static_cast<std::int32_t>(image.size()) + 20), 0);
    EXPECT_EQ(end_, static_cast<std::int32_t>(image.size()));
    EXPECT_TRUE(errors_.lines().empty());
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, ChunkWalkTest,
                         ::testing::Values(kWstmLittleEndian, kWstmBigEndian));

TEST(ChunkIdPrintable, TheRangeIsSpaceToTilde) {
    const unsigned char edges[] = {' ', '~', 'A', '('};
    EXPECT_TRUE(chunk_id_printable(edges));
    for (unsigned char outside : {0x00, 0x1F, 0x7F, 0x80, 0xFF}) {
        const unsigned char id[4] = {'A', 'B', outside, 'D'};
        EXPECT_FALSE(chunk_id_printable(id)) << int{outside};
    }
}

TEST(ChunkCheckHeaderFields, FirstFailingFieldGivesItsMessage) {
    const HeaderFieldMessages m = {"rate", "rate range", "channels",
                                   "bits", "bits range", "samples"};
    const WstmHandle good = [] {
        WstmHandle h{};
        h.sampling_rate = 44100;
        h.num_channels = 2;
        h.num_bits = 16;
        h.num_samples = 0x7FFFFFFFu;
        return h;
    }();
    struct Case {
        void (*spoil)(WstmHandle&);
        const char* message;
    };
    const Case cases[] = {
        {[](WstmHandle& h) {
             h.sampling_rate = 0;
             h.num_channels = 0;
         },
         "rate"},
        {[](WstmHandle& h) { h.sampling_rate = 9; }, "rate range"},
        {[](WstmHandle& h) { h.sampling_rate = 384001; }, "rate range"},
        {[](WstmHandle& h) {
             h.num_channels = -1;
             h.num_bits = 0;
         },
         "channels"},
        {[](WstmHandle& h) { h.num_bits = 0; }, "bits"},
        {[](WstmHandle& h) {
             h.num_bits = 33;
             h.num_samples = 0x80000000u;
         },
         "bits range"},
        {[](WstmHandle& h) { h.num_samples = 0x80000000u; }, "samples"},
    };
    ErrorCapture errors;
    EXPECT_EQ(chunk_check_header_fields(&good, m), 0);
    for (const Case& c : cases) {
        errors.clear();
        WstmHandle h = good;
        c.spoil(h);
        EXPECT_EQ(chunk_check_header_fields(&h, m), -1) << c.message;
        EXPECT_EQ(errors.lines(), Lines{c.message});
    }
}

TEST(ChunkTrailer, PadsAnOddFileAndRewritesTheContainerSizeInItsByteOrder) {
    ScratchDir dir;
    for (const std::int32_t endian : {kWstmLittleEndian, kWstmBigEndian}) {
        const std::string path = dir.Path("trailer.bin");
        FstmStream* s = FSTM_Create(path.c_str());
        ASSERT_NE(s, nullptr);
        FSTM_Write(s, "RIFF\0\0\0\0WAVEx", 13);
        ASSERT_TRUE(chunk_start_trailer(s, 4));
        FSTM_Write(s, "TAIL\4\0\0\0abcd", 12);
        chunk_finish_trailer(s, endian);
        // A body that would carry the file past 2^31 - 1 bytes is refused.
        EXPECT_FALSE(chunk_start_trailer(s, 2147483647 - 26 - 8 + 1));
        FSTM_Close(s);
        const Bytes b = filetest::ReadFile(path);
        ASSERT_EQ(b.size(), 26u);
        EXPECT_EQ(b[13], 0);  // the pad byte
        const Bytes size(b.begin() + 4, b.begin() + 8);
        EXPECT_EQ(size, endian == kWstmBigEndian ? (Bytes{0, 0, 0, 18}) : (Bytes{18, 0, 0, 0}));
    }
}

}  // namespace
