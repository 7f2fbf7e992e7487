// Metadata with -meta=keep: a hand-made Broadcast WAV take converted, and
// the chunks of the output read back.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "convert_fixture.h"
#include "tests/support/peer_tools.h"

namespace {

using Chunks = std::vector<std::pair<std::string, std::string>>;

std::string Le(std::uint64_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return out;
}

std::uint64_t GetLe(const std::string& b, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(b.at(at + static_cast<std::size_t>(i)));
    return v;
}

std::string Chunk(const std::string& id, const std::string& body) {
    return id + Le(body.size(), 4) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}

// The top-level chunks of a RIFF or FORM file, after checking that the
// container's size covers every one of them.
Chunks ReadChunks(const std::string& file) {
    Chunks chunks;
    const bool big = file.compare(0, 4, "FORM") == 0;
    auto size_at = [&](std::size_t at) {
        std::uint64_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const auto byte = static_cast<unsigned char>(file.at(at + (big ? i : 3 - i)));
            v = v << 8 | byte;
        }
        return static_cast<std::size_t>(v);
    };
    EXPECT_EQ(size_at(4) + 8, file.size());
    for (std::size_t at = 12; at + 8 <= file.size();) {
        const std::size_t size = size_at(at + 4);
        chunks.emplace_back(file.substr(at, 4), file.substr(at + 8, size));
        at += 8 + size + (size & 1);
    }
    return chunks;
}

std::string Ids(const Chunks& chunks) {
    std::string ids;
    for (const auto& c : chunks)
        ids += (ids.empty() ? "" : ",") + c.first;
    return ids;
}

std::string Body(const Chunks& chunks, const std::string& id, const std::string& list = "") {
    for (const auto& c : chunks) {
        if (c.first == id && c.second.compare(0, list.size(), list) == 0) return c.second;
    }
    return "(none)";
}

const std::string kHistory = "A=PCM,F=44100,W=16,M=stereo,T=recorder\r\n";

std::string Bext(std::size_t fixed_bytes, std::uint64_t time_reference) {
    std::string bext(602, '\0');
    bext.replace(0, 7, "Scene 7");
    bext.replace(338, 8, Le(time_reference, 8));
    return bext.substr(0, fixed_bytes) + (fixed_bytes == 602 ? kHistory : "");
}

const std::string kIxml =
    "<?xml version=\"1.0\"?>\n<BWFXML><SCENE>7</SCENE><SPEED>"
    "<FILE_SAMPLE_RATE>44100</FILE_SAMPLE_RATE>"
    "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>"
    "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>158760000</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>"
    "</SPEED><BIT_DEPTH>16</BIT_DEPTH></BWFXML>";
const std::string kInfo = "INFO" + Chunk("INAM", std::string("Take Seven\0", 11)) +
                          Chunk("IART", std::string("Crew\0", 5));

// One second of 44.1 kHz 16-bit stereo with a cue point at 44100 (id 7)
// labelled, noted and with a region of 4410 samples; a PEAK chunk that must
// not travel. The INFO list stands `info_copies` times.
std::string Take(const std::string& bext, const std::string& ixml, const std::string& info,
                 int info_copies = 1) {
    std::string chunks =
        Chunk("fmt ", Le(1, 2) + Le(2, 2) + Le(44100, 4) + Le(176400, 4) + Le(4, 2) + Le(16, 2));
    if (!bext.empty()) chunks = Chunk("bext", bext) + chunks;
    if (!ixml.empty()) chunks += Chunk("iXML", ixml);
    for (int i = 0; i < info_copies && !info.empty(); ++i)
        chunks += Chunk("LIST", info);
    chunks += Chunk("PEAK", std::string(24, '\0'));
    chunks += Chunk("data", std::string(44100 * 4, '\0'));
    chunks += Chunk("cue ", Le(1, 4) + Le(7, 4) + Le(44100, 4) + "data" + Le(0, 8) + Le(44100, 4));
    chunks += Chunk("LIST", "adtl" + Chunk("labl", Le(7, 4) + std::string("Clap\0", 5)) +
                                Chunk("note", Le(7, 4) + std::string("slate\0", 6)) +
                                Chunk("ltxt", Le(7, 4) + Le(4410, 4) + "rgn " + Le(0, 8)));
    return "RIFF" + Le(chunks.size() + 4, 4) + "WAVE" + chunks;
}

class ConvertMeta : public ConvertTest {
  protected:
    // Converts in.wav and gives the output's chunks.
    Chunks Keep(const std::vector<std::string>& args, const std::string& output,
                std::string* err = nullptr) {
        std::vector<std::string> all = {"in.wav", "-out=" + output, "-mode=speed"};
        all.insert(all.end(), args.begin(), args.end());
        testsupport::ChildResult r = Run(all);
        EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
        if (err != nullptr) *err = r.err;
        report = r.out;
        return ReadChunks(dir.ReadFile(output));
    }
    std::string report;
};

TEST_F(ConvertMeta, KeepMovesABroadcastTakeTo48000) {
    dir.WriteFile("in.wav", Take(Bext(602, 158760000), kIxml, kInfo));
    const Chunks out = Keep({"-freq=48000", "-meta=keep"}, "out.wav");
    EXPECT_EQ(Ids(out), "bext,fmt ,iXML,LIST,data,cue ,LIST");

    const std::string bext = Body(out, "bext");
    ASSERT_GE(bext.size(), 602u);
    EXPECT_EQ(bext.substr(0, 338), Bext(602, 0).substr(0, 338));
    EXPECT_EQ(GetLe(bext, 338, 8), 172800000u);
    EXPECT_EQ(bext.substr(602), kHistory + "A=PCM,F=48000,W=16,M=stereo,T=tolmek 1.0.0\r\n");

    std::string ixml = kIxml;
    ixml.replace(ixml.find("44100"), 5, "48000");
    ixml.replace(ixml.find("158760000"), 9, "172800000");
    EXPECT_EQ(Body(out, "iXML"), ixml);
    EXPECT_EQ(Body(out, "LIST", "INFO"), kInfo);
    EXPECT_EQ(Body(out, "data").size(), 48000u * 4);
    EXPECT_EQ(Body(out, "cue "),
              Le(1, 4) + Le(0, 4) + Le(48000, 4) + "data" + Le(0, 8) + Le(48000, 4));
    // The labels now name marker 0; the region is 4800 samples long.
    EXPECT_EQ(Body(out, "LIST", "adtl"),
              "adtl" + Chunk("labl", Le(0, 4) + std::string("Clap\0", 5)) +
                  Chunk("note", Le(0, 4) + std::string("slate\0", 6)) +
                  Chunk("ltxt", Le(0, 4) + Le(4800, 4) + "rgn " + Le(0, 8)));
    EXPECT_NE(report.find(" conversion mode            : SPEED\n"
                          " metadata                   : KEEP (bext, iXML, text tags, marker "
                          "labels)\n\n"),
              std::string::npos)
        << report;
}

TEST_F(ConvertMeta, WithoutKeepTheHeaderStaysThe44Bytes) {
    dir.WriteFile("in.wav", Take(Bext(602, 158760000), kIxml, kInfo));
    const Chunks dropped = Keep({"-meta=drop"}, "drop.wav");
    EXPECT_EQ(Ids(dropped), "fmt ,data,cue ");
    EXPECT_EQ(report.find("metadata"), std::string::npos);
    (void)Keep({}, "default.wav");
    EXPECT_EQ(dir.ReadFile("drop.wav"), dir.ReadFile("default.wav"));
}

TEST_F(ConvertMeta, DamagedMetadataIsRepairedOrDroppedAndTheSamplesStillConvert) {
    const std::string unterminated = "INFO" + Chunk("INAM", "abc");
    // A comment of 1,000,000 bytes: 16 such lists fit the limit of all
    // metadata together, the 17th does not.
    const std::string comment = "INFO" + Chunk("ICMT", std::string(999999, 'x') + '\0');
    const char* too_large = "Metadata past 1 MiB a chunk or 16 MiB in all was dropped.";
    struct Row {
        std::string bext, ixml, info;
        std::string ids;      // of the output
        std::string warning;  // on standard error
        int info_copies = 1;
        std::size_t info_size = 0;  // of the output's INFO list, where checked
    } rows[] = {
        {Bext(400, 88200), "", "", "bext,fmt ,data,cue ,LIST",
         "The 'bext' chunk is shorter than 602 bytes; it was filled with zeros."},
        {Bext(100, 88200), "", "", "fmt ,data,cue ,LIST",
         "The 'bext' chunk is too short to keep; it was dropped."},
        {"", "<BWFXML><A></BWFXML>", "", "fmt ,data,cue ,LIST",
         "The iXML chunk is not well-formed; it was dropped."},
        {"", "", "INFO" + Chunk("ICMT", std::string(1 << 20, 'x')), "fmt ,data,cue ,LIST",
         too_large},
        {"", "", comment, "fmt ,LIST,data,cue ,LIST", too_large, 17, 4 + 16 * 1000008u},
        {"", "", unterminated, "fmt ,LIST,data,cue ,LIST",
         "A text tag or label without its terminator was repaired."},
    };
    for (const Row& r : rows) {
        dir.WriteFile("in.wav", Take(r.bext, r.ixml, r.info, r.info_copies));
        std::string err;
        const Chunks out = Keep({"-freq=22050", "-meta=keep"}, "out.wav", &err);
        EXPECT_EQ(Ids(out), r.ids) << r.warning;
        EXPECT_EQ(Body(out, "data").size(), 22050u * 4) << r.warning;
        EXPECT_EQ(err, " Warning : " + r.warning + "\n");
        if (r.info_size != 0) {
            EXPECT_EQ(Body(out, "LIST", "INFO").size(), r.info_size);
        }
        if (r.ids.rfind("bext", 0) == 0) {
            EXPECT_EQ(GetLe(Body(out, "bext"), 338, 8), 44100u);
            EXPECT_EQ(Body(out, "bext").substr(602),
                      "A=PCM,F=22050,W=16,M=stereo,T=tolmek 1.0.0\r\n");
        }
    }
    EXPECT_EQ(Body(ReadChunks(dir.ReadFile("out.wav")), "LIST", "INFO"),
              "INFO" + Chunk("INAM", std::string("abc\0", 4)));
}

TEST_F(ConvertMeta, FloatAndMonoOutputsNameThemselvesInTheCodingHistory) {
    dir.WriteFile("in.wav", Take(Bext(602, 1000), kIxml, ""));
    const Chunks out = Keep({"-bit=float", "-ch=1", "-meta=keep"}, "out.wav");
    EXPECT_EQ(Ids(out), "bext,fmt ,iXML,fact,data,cue ,LIST");
    EXPECT_EQ(Body(out, "bext").substr(602),
              kHistory + "A=PCM,F=44100,W=32,M=mono,T=tolmek 1.0.0 float\r\n");
    EXPECT_EQ(GetLe(Body(out, "fact"), 0, 4), 44100u);  // the frame count, rewritten at close
    EXPECT_NE(Body(out, "iXML").find("<BIT_DEPTH>32</BIT_DEPTH>"), std::string::npos);
}

TEST_F(ConvertMeta, AiffCarriesTheTextTagsAndMarkerNamesBothWays) {
    dir.WriteFile("in.wav", Take(Bext(602, 1000), kIxml, kInfo));
    std::string err;
    const Chunks aiff = Keep({"-meta=keep"}, "out.aif", &err);
    EXPECT_EQ(Ids(aiff), "COMM,NAME,AUTH,SSND,MARK");
    EXPECT_EQ(Body(aiff, "NAME"), "Take Seven");
    EXPECT_EQ(Body(aiff, "AUTH"), "Crew");
    EXPECT_EQ(Body(aiff, "MARK"), std::string("\0\1\0\0\0\0\xAC\x44\4Clap\0", 14));
    EXPECT_EQ(err, " Warning : AIFF has no place for 'bext' and iXML; they were dropped.\n");

    dir.WriteFile("in.wav", dir.ReadFile("out.aif"));  // an AIFF file, whatever its name
    const Chunks back = Keep({"-meta=keep"}, "back.wav");
    EXPECT_EQ(Ids(back), "fmt ,LIST,data,cue ,LIST");
    EXPECT_EQ(Body(back, "LIST", "INFO"), kInfo);
    EXPECT_EQ(Body(back, "LIST", "adtl"),
              "adtl" + Chunk("labl", Le(0, 4) + std::string("Clap\0", 5)));
}

TEST_F(ConvertMeta, FfprobeReadsTheTimeReferenceAndTitle) {
    if (!interop::HaveProgram("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    dir.WriteFile("in.wav", Take(Bext(602, 158760000), kIxml, kInfo));
    (void)Keep({"-freq=48000", "-meta=keep"}, "out.wav");
    ASSERT_TRUE(interop::Shell("(ffprobe -v error -show_entries format_tags -of default=nw=1 " +
                               interop::Quote(dir.path() + "/out.wav") + " > " +
                               interop::Quote(dir.path() + "/probe.txt") + ")"));
    const std::string probe = dir.ReadFile("probe.txt");
    EXPECT_NE(probe.find("TAG:time_reference=172800000\n"), std::string::npos) << probe;
    EXPECT_NE(probe.find("TAG:title=Take Seven\n"), std::string::npos) << probe;
}

}  // namespace
