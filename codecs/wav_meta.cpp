// The metadata chunks of a WAV output: 'bext' before 'fmt ', iXML and
// LIST/INFO before 'data', and LIST/'adtl' with the labels after the data.
// Each chunk is a head and its body, with a zero pad byte after a body of
// odd length.

#include <cstdint>
#include <cstring>

#include "codecs/chunk_walk.h"
#include "codecs/meta.h"

namespace {

std::int32_t ChunkBytes(std::size_t body) {
    return static_cast<std::int32_t>(8 + body + (body & 1));
}

// Appends `v` in little-endian order.
void AppendLe32(std::string* out, std::uint32_t v) {
    unsigned char bytes[4];
    PutU32LE(bytes, v);
    out->append(reinterpret_cast<const char*>(bytes), 4);
}

// One LIST item: identifier, size, bytes, pad.
void AppendItem(std::string* list, const char id[4], const std::string& body) {
    list->append(id, 4);
    AppendLe32(list, static_cast<std::uint32_t>(body.size()));
    *list += body;
    if (body.size() & 1) list->push_back('\0');
}

std::string InfoList(const WstmMeta& meta) {
    if (meta.texts.empty()) return {};
    std::string list = "INFO";
    for (const WstmMetaText& text : meta.texts)
        AppendItem(&list, text.id, text.value);
    return list;
}

std::string LabelList(const WstmMeta& meta) {
    if (meta.labels.empty()) return {};
    std::string list = "adtl";
    for (const WstmMetaLabel& label : meta.labels) {
        std::string body;
        AppendLe32(&body, static_cast<std::uint32_t>(label.cue_id));
        body += label.body;
        AppendItem(&list, label.kind, body);
    }
    return list;
}

std::int32_t WriteChunk(FstmStream* s, const char* id, const std::string& body) {
    if (body.empty()) return 0;
    FSTM_Write(s, id, 4);
    FSTM_WriteU32LE(s, static_cast<std::uint32_t>(body.size()));
    FSTM_Write(s, body.data(), static_cast<std::int32_t>(body.size()));
    if (body.size() & 1) FSTM_WriteU8(s, 0);
    return ChunkBytes(body.size());
}

}  // namespace

std::int32_t wav_meta_head_bytes(const WstmHandle* handle) {
    const WstmMeta* meta = handle->meta;
    if (meta == nullptr) return 0;
    std::int32_t bytes = 0;
    for (const std::string& body : {meta->bext, meta->ixml, InfoList(*meta)}) {
        if (!body.empty()) bytes += ChunkBytes(body.size());
    }
    return bytes;
}

std::int32_t wav_meta_write_bext(WstmHandle* handle) {
    if (handle->meta == nullptr) return 0;
    return WriteChunk(handle->stream, "bext", handle->meta->bext);
}

std::int32_t wav_meta_write_texts(WstmHandle* handle) {
    if (handle->meta == nullptr) return 0;
    const std::int32_t ixml = WriteChunk(handle->stream, "iXML", handle->meta->ixml);
    return ixml + WriteChunk(handle->stream, "LIST", InfoList(*handle->meta));
}

void wav_meta_write_labels(WstmHandle* handle) {
    if (handle->meta == nullptr) return;
    const std::string list = LabelList(*handle->meta);
    if (list.empty()) return;
    FstmStream* s = handle->stream;
    const auto size = static_cast<std::int32_t>(list.size());  // even: every item is padded
    // An RF64 file has 64-bit sizes; a classic one stays below 2 GB.
    const std::int64_t largest = handle->rf64 ? INT64_MAX : kWstmMaxFileSize;
    if (!chunk_begin_trailer(s, "LIST", size, kWstmLittleEndian, largest)) return;
    FSTM_Write(s, list.data(), size);
    chunk_finish_trailer(s, kWstmLittleEndian);
}
