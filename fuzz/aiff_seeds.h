#pragma once
// Hand-built FORM files for the fuzz corpus: the layouts other writers
// produce and the wave stream never writes itself (chunks in other orders,
// every skipped chunk type, sound data at an offset, named markers of odd and
// even length, several 'INST' chunks, play modes 0 and 2, a fractional
// rate), plus files the decoder refuses (AIFC, no 'SSND').

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace aiffseeds {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}

inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v >> 16);
    Put16(b, v);
}

inline void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

// A chunk with its pad byte after an odd body.
inline Bytes Chunk(const char* id, const Bytes& body) {
    Bytes b;
    PutId(b, id);
    Put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) b.push_back(0);
    return b;
}

inline Bytes Form(const std::vector<Bytes>& chunks, const char* type = "AIFF") {
    Bytes inner;
    PutId(inner, type);
    for (const Bytes& c : chunks)
        inner.insert(inner.end(), c.begin(), c.end());
    Bytes b;
    PutId(b, "FORM");
    Put32(b, static_cast<std::uint32_t>(inner.size()));
    b.insert(b.end(), inner.begin(), inner.end());
    return b;
}

// 'COMM' with a rate given as its 10 extended-precision bytes.
inline Bytes Comm(std::uint32_t channels, std::uint32_t frames, std::uint32_t bits,
                  const Bytes& rate) {
    Bytes b;
    Put16(b, channels);
    Put32(b, frames);
    Put16(b, bits);
    b.insert(b.end(), rate.begin(), rate.end());
    return Chunk("COMM", b);
}

inline Bytes Ssnd(std::uint32_t offset, std::uint32_t data_bytes, std::uint32_t seed) {
    Bytes b;
    Put32(b, offset);
    Put32(b, 0);
    for (std::uint32_t i = 0; i < offset + data_bytes; ++i) {
        b.push_back(static_cast<std::uint8_t>((i + seed) * 2654435761u >> 24));
    }
    return Chunk("SSND", b);
}

inline Bytes Mark(const std::vector<std::pair<std::uint32_t, std::string>>& markers) {
    Bytes b;
    Put16(b, static_cast<std::uint32_t>(markers.size()));
    std::uint32_t id = 1;
    for (const auto& [position, name] : markers) {
        Put16(b, id++);
        Put32(b, position);
        b.push_back(static_cast<std::uint8_t>(name.size()));
        b.insert(b.end(), name.begin(), name.end());
        if (name.size() % 2 == 0) b.push_back(0);
    }
    return Chunk("MARK", b);
}

inline Bytes Inst(std::uint32_t sustain_mode, std::uint32_t begin, std::uint32_t end,
                  std::uint32_t release_mode) {
    Bytes b = {60, 0, 0, 127, 0, 127};
    Put16(b, 0);
    Put16(b, sustain_mode);
    Put16(b, begin);
    Put16(b, end);
    Put16(b, release_mode);
    Put16(b, end);
    Put16(b, begin);
    return Chunk("INST", b);
}

inline bool Save(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Writes the seeds into dir; gives how many were written.
inline int WriteAiffSeeds(const std::string& dir) {
    const Bytes r44100 = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
    const Bytes r8000 = {0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0};
    const Bytes r22254 = {0x40, 0x0D, 0xAD, 0xDD, 0x17, 0x45, 0xD1, 0x74, 0x58, 0x00};
    const Bytes text = {'t', 'o', 'l', 'm', 'e', 'k'};
    const Bytes odd_text = {'x', 'y', 'z'};
    const Bytes aesd(24, 0);
    const std::vector<std::pair<std::uint32_t, std::string>> marks = {
        {2, "Verse"}, {9, "Loop"}, {5, ""}, {12, "end marker"}};

    std::vector<std::pair<std::string, Bytes>> seeds;
    // The other writers' layout: every skipped chunk type around the data.
    seeds.emplace_back(
        "form_all_chunks.aiff",
        Form({Chunk("FVER", {0xA2, 0x80, 0x51, 0x40}), Comm(2, 12, 16, r44100), Chunk("NAME", text),
              Chunk("AUTH", odd_text), Chunk("(c) ", text), Chunk("ANNO", odd_text),
              Chunk("COMT", {0, 0}), Chunk("APPL", {'t', 'e', 's', 't', 1}), Chunk("MIDI", {0x90}),
              Chunk("AESD", aesd), Chunk("ID3 ", odd_text), Mark(marks), Inst(1, 1, 2, 2),
              Ssnd(0, 12 * 4, 1)}));
    // Data first, an offset before the first frame, loops before markers.
    seeds.emplace_back("form_data_first.aiff", Form({Ssnd(8, 16 * 3, 2), Inst(2, 2, 4, 0),
                                                     Comm(1, 16, 24, r8000), Mark(marks)}));
    // Several 'INST' chunks, one loop naming a marker that is missing.
    seeds.emplace_back("form_many_inst.aiff",
                       Form({Comm(1, 9, 8, r22254), Mark(marks), Inst(1, 1, 2, 1), Inst(0, 3, 4, 1),
                             Inst(1, 7, 1, 0), Ssnd(0, 9, 3), Chunk("ANNO", text)}));
    // Odd-length data followed by trailer chunks after the pad byte.
    seeds.emplace_back("form_odd_data.aiff", Form({Comm(3, 5, 4, r44100), Ssnd(0, 15, 4),
                                                   Mark(marks), Inst(1, 2, 4, 0)}));
    // Refused files: AIFF-C, and 'COMM' without 'SSND'.
    seeds.emplace_back("form_aifc.aiff", Form({Comm(1, 4, 16, r44100), Ssnd(0, 8, 5)}, "AIFC"));
    seeds.emplace_back("form_no_ssnd.aiff", Form({Comm(2, 4, 32, r44100), Mark(marks)}));

    int written = 0;
    for (const auto& [name, bytes] : seeds)
        written += Save(dir + "/" + name, bytes) ? 1 : 0;
    return written;
}

}  // namespace aiffseeds
