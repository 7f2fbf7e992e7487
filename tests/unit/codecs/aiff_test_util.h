#pragma once
// Helpers for the AIFF codec tests: chunk and FORM builders, and a codec
// driver that plays the part of the identification (decode) or of the file
// planning (encode) on a real file, without the wave stream API.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codecs/aiff.h"
#include "codecs/aiff_extended.h"
#include "tests/support/file_fixtures.h"
#include "wavestream/fstm/fstm.h"

namespace aifftest {

using filetest::ByteBuilder;
using filetest::Bytes;

// A chunk: identifier, big-endian size, body, and a pad byte after an odd body.
inline Bytes Chunk(const std::string& id, const Bytes& body) {
    ByteBuilder b;
    b.Str(id).U32BE(static_cast<std::uint32_t>(body.size())).Append(body);
    if (body.size() % 2 != 0) b.U8(0);
    return b.bytes();
}

// A chunk whose size field says `size`, whatever the body holds.
inline Bytes ChunkWithSize(const std::string& id, std::uint32_t size, const Bytes& body) {
    ByteBuilder b;
    b.Str(id).U32BE(size).Append(body);
    return b.bytes();
}

inline Bytes Form(const std::vector<Bytes>& chunks, const std::string& type = "AIFF") {
    ByteBuilder inner;
    inner.Str(type);
    for (const Bytes& c : chunks)
        inner.Append(c);
    ByteBuilder b;
    b.Str("FORM").U32BE(static_cast<std::uint32_t>(inner.size())).Append(inner.bytes());
    return b.bytes();
}

inline Bytes Extended(double rate) {
    Bytes b(kExtendedBytes);
    double_to_extended(rate, b.data());
    return b;
}

inline Bytes CommBody(std::uint32_t channels, std::uint32_t frames, std::uint32_t bits,
                      const Bytes& rate) {
    ByteBuilder b;
    b.U16BE(channels).U32BE(frames).U16BE(bits).Append(rate);
    return b.bytes();
}

inline Bytes Comm(std::uint32_t channels, std::uint32_t frames, std::uint32_t bits, double rate) {
    return Chunk("COMM", CommBody(channels, frames, bits, Extended(rate)));
}

inline Bytes Ssnd(const Bytes& data, std::uint32_t offset = 0) {
    ByteBuilder b;
    b.U32BE(offset).U32BE(0).Zeros(offset).Append(data);
    return Chunk("SSND", b.bytes());
}

struct Marker {
    std::int32_t id;
    std::int32_t position;
    std::string name;
};

// 'MARK' with names stored as count byte, characters and a pad byte when the
// count is even.
inline Bytes Mark(const std::vector<Marker>& markers, std::uint32_t count) {
    ByteBuilder b;
    b.U16BE(count);
    for (const Marker& m : markers) {
        b.U16BE(static_cast<std::uint32_t>(m.id)).U32BE(static_cast<std::uint32_t>(m.position));
        b.U8(static_cast<std::uint32_t>(m.name.size())).Str(m.name);
        if (m.name.size() % 2 == 0) b.U8(0);
    }
    return Chunk("MARK", b.bytes());
}

inline Bytes Mark(const std::vector<Marker>& markers) {
    return Mark(markers, static_cast<std::uint32_t>(markers.size()));
}

struct InstLoop {
    std::int32_t play_mode;
    std::int32_t begin;
    std::int32_t end;
};

inline Bytes Inst(InstLoop sustain, InstLoop release) {
    ByteBuilder b;
    b.U8(60).U8(0).U8(0).U8(127).U8(0).U8(127).U16BE(0);
    for (const InstLoop& l : {sustain, release}) {
        b.U16BE(static_cast<std::uint32_t>(l.play_mode));
        b.U16BE(static_cast<std::uint32_t>(l.begin));
        b.U16BE(static_cast<std::uint32_t>(l.end));
    }
    return Chunk("INST", b.bytes());
}

// A handle on a real file, closed when it goes.
struct HandleDeleter {
    void operator()(WstmHandle* h) const {
        if (h->stream != nullptr) (void)FSTM_Close(h->stream);
        delete h;
    }
};
using Handle = std::unique_ptr<WstmHandle, HandleDeleter>;

// Writes `bytes` to a file and decodes it as the identification would hand
// it over: stream at 0, file_size the file's size, FORM and big-endian.
inline Handle DecodeBytes(const filetest::ScratchDir& dir, const Bytes& bytes,
                          std::int32_t* status) {
    const std::string path = dir.Path("in.aiff");
    filetest::WriteFile(path, bytes);
    Handle h(new WstmHandle{});
    h->stream = FSTM_OpenRead(path.c_str());
    h->access_mode = kWstmReading;
    h->file_size = static_cast<std::int32_t>(bytes.size());
    h->file_identifier = kWstmForm;
    h->endian_type = kWstmBigEndian;
    *status = aiff_decode_header(h.get());
    if (*status == 0) FSTM_Seek(h->stream, h->current_position, 0);
    return h;
}

// Creates a file and writes its header as the wave stream plans it.
inline Handle EncodeNew(const std::string& path, std::int32_t rate, std::int32_t channels,
                        std::int32_t bits, std::uint32_t frames, std::int32_t* status) {
    Handle h(new WstmHandle{});
    h->stream = FSTM_Create(path.c_str());
    h->access_mode = kWstmWriting;
    h->file_format = kWstmFormatAiff;
    h->sampling_rate = rate;
    h->num_channels = channels;
    h->num_bits = bits;
    h->num_samples = frames;
    h->data_offset = kAiffHeaderSize;
    h->block_size = ((bits + 7) / 8) * channels;
    h->file_size =
        static_cast<std::int32_t>(std::int64_t{frames} * h->block_size + kAiffHeaderSize);
    *status = aiff_encode_header(h.get());
    if (*status == 0) FSTM_Seek(h->stream, h->current_position, 0);
    return h;
}

// Finishes a written file as the wave stream does at close.
inline void Finish(Handle& h) {
    (void)aiff_update_sizes(h.get(), h->num_samples);
    if (h->num_markers > 0 || h->num_loops > 0) (void)aiff_write_trailer_chunks(h.get());
    (void)FSTM_Close(h->stream);
    h->stream = nullptr;
}

inline std::uint32_t BE32(const Bytes& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
           (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

inline std::uint32_t BE16(const Bytes& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 8) | b[at + 1];
}

}  // namespace aifftest
