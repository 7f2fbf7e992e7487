// The arithmetic and the iXML handling of kept metadata.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "codecs/meta.h"

namespace {

TEST(MetaRescale, IsExactAndRoundsHalvesAwayFromZero) {
    constexpr std::uint64_t kMax = ~std::uint64_t{0};
    struct Row {
        std::uint64_t count;
        std::int64_t from, to;
        std::uint64_t expected;
    } rows[] = {
        {158760000, 44100, 48000, 172800000},  // one hour
        {1, 2, 1, 1},                          // 0.5 -> 1
        {3, 4, 2, 2},                          // 1.5 -> 2
        {5, 4, 2, 3},                          // 2.5 -> 3
        {1, 3, 1, 0},                          // 0.33 -> 0
        {2, 3, 1, 1},                          // 0.67 -> 1
        // Beyond double precision: 2^62 + 1 samples at 44100 Hz halved.
        {(std::uint64_t{1} << 62) + 1, 44100, 22050, (std::uint64_t{1} << 61) + 1},
        {kMax, 10, 192000, kMax},  // saturates
        {12345, 48000, 48000, 12345},
    };
    for (const Row& r : rows)
        EXPECT_EQ(meta_rescale(r.count, r.from, r.to), r.expected) << r.count;
}

TEST(IxmlWellFormed, AcceptsDocumentsAndRefusesBrokenOnes) {
    struct Row {
        std::string text;
        bool ok;
    } rows[] = {
        {"<BWFXML/>", true},
        {"<?xml version=\"1.0\"?>\n<!-- c --><BWFXML a='1' b=\"&amp;\"><A>x &lt; &#65;&#x41;</A>"
         "<![CDATA[<raw>]]><B/></BWFXML>\n",
         true},
        {"<!DOCTYPE BWFXML [<!ELEMENT BWFXML ANY>]><BWFXML></BWFXML>", true},
        {std::string("<A></A>\0\0", 9), true},  // padding zeros
        {std::string("<A>\0</A>", 8), false},
        {"<A><B></A></B>", false},  // crossed
        {"<A><B></B>", false},      // not closed
        {"<A></A><B></B>", false},  // two roots
        {"<A>x & y</A>", false},    // bare ampersand
        {"<A b=1></A>", false},     // unquoted attribute
        {"<A b='<'></A>", false},
        {"<A><!-- a -- b --></A>", false},
        {"text<A></A>", false},
        {"", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ixml_well_formed(r.text), r.ok) << r.text;
}

TEST(IxmlRewrite, RewritesTheFileFieldsAndKeepsTheRest) {
    const std::string in =
        "<BWFXML><SCENE>7 <X/></SCENE><SPEED>"
        "<FILE_SAMPLE_RATE>44100</FILE_SAMPLE_RATE>"
        "<TIMESTAMP_SAMPLE_RATE> 48000 </TIMESTAMP_SAMPLE_RATE>"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>96000</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO></SPEED>"
        "<BEXT><BWF_TIME_REFERENCE_HI>0</BWF_TIME_REFERENCE_HI>"
        "<BWF_TIME_REFERENCE_LO>4294967295</BWF_TIME_REFERENCE_LO></BEXT>"
        "<BIT_DEPTH>16</BIT_DEPTH><NOTE>FILE_SAMPLE_RATE</NOTE></BWFXML>";
    const WstmMetaTarget target{44100, 88200, 24, 2, false, kWstmFormatWav, "t"};
    // The timestamp counts at the document's own 48000 Hz; the time
    // reference at the file's 44100 Hz, doubled across the 32-bit halves.
    const std::string expected =
        "<BWFXML><SCENE>7 <X/></SCENE><SPEED>"
        "<FILE_SAMPLE_RATE>88200</FILE_SAMPLE_RATE>"
        "<TIMESTAMP_SAMPLE_RATE>88200</TIMESTAMP_SAMPLE_RATE>"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>176400</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO></SPEED>"
        "<BEXT><BWF_TIME_REFERENCE_HI>1</BWF_TIME_REFERENCE_HI>"
        "<BWF_TIME_REFERENCE_LO>4294967294</BWF_TIME_REFERENCE_LO></BEXT>"
        "<BIT_DEPTH>24</BIT_DEPTH><NOTE>FILE_SAMPLE_RATE</NOTE></BWFXML>";
    EXPECT_EQ(ixml_rewrite(in + std::string(3, '\0'), target), expected);
}

}  // namespace
