// The metadata of an AIFF output: the text chunks NAME, AUTH, "(c) " and
// ANNO after 'COMM' (from the text tags INAM, IART, ICOP and ICMT), and the
// marker names that 'MARK' writes.

#include <cstring>

#include "codecs/meta.h"

namespace {

constexpr struct {
    const char* info;
    const char* aiff;
} kTextChunks[] = {{"INAM", "NAME"}, {"IART", "AUTH"}, {"ICOP", "(c) "}, {"ICMT", "ANNO"}};

const char* AiffIdOf(const WstmMetaText& text) {
    for (const auto& chunk : kTextChunks) {
        if (std::memcmp(text.id, chunk.info, 4) == 0) return chunk.aiff;
    }
    return nullptr;
}

// The characters of a tag, up to its terminator.
std::string_view Characters(const WstmMetaText& text) {
    const std::string_view value = text.value;
    return value.substr(0, value.find('\0'));
}

std::int32_t ChunkBytes(std::size_t body) {
    return static_cast<std::int32_t>(8 + body + (body & 1));
}

}  // namespace

std::int32_t aiff_meta_head_bytes(const WstmHandle* handle) {
    if (handle->meta == nullptr) return 0;
    std::int32_t bytes = 0;
    for (const WstmMetaText& text : handle->meta->texts) {
        if (AiffIdOf(text) != nullptr) bytes += ChunkBytes(Characters(text).size());
    }
    return bytes;
}

std::int32_t aiff_meta_write_texts(WstmHandle* handle) {
    if (handle->meta == nullptr) return 0;
    FstmStream* s = handle->stream;
    std::int32_t bytes = 0;
    for (const WstmMetaText& text : handle->meta->texts) {
        const char* id = AiffIdOf(text);
        if (id == nullptr) continue;
        const std::string_view characters = Characters(text);
        FSTM_Write(s, id, 4);
        FSTM_WriteU32BE(s, static_cast<std::uint32_t>(characters.size()));
        FSTM_Write(s, characters.data(), static_cast<std::int32_t>(characters.size()));
        if (characters.size() & 1) FSTM_WriteU8(s, 0);
        bytes += ChunkBytes(characters.size());
    }
    return bytes;
}

std::string_view aiff_meta_marker_name(const WstmHandle* handle, std::int32_t index) {
    if (handle->meta == nullptr) return {};
    for (const WstmMetaLabel& label : handle->meta->labels) {
        if (label.cue_id != index || std::memcmp(label.kind, "labl", 4) != 0) continue;
        std::string_view name = label.body;
        name = name.substr(0, name.find('\0'));
        return name.substr(0, 255);
    }
    return {};
}
