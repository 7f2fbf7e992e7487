// Reading the metadata chunks of an input. The header decoders skip them;
// this second pass over the chunk heads reads those that travel: WAV 'bext',
// iXML and LIST (INFO and 'adtl'); AIFF NAME, AUTH, "(c) ", ANNO and the
// marker names of 'MARK'.

#include <cstring>

#include "codecs/chunk_walk.h"
#include "codecs/meta.h"

namespace {

// The time reference ends 346 bytes into 'bext': a shorter body has nothing
// worth keeping.
constexpr std::uint32_t kBextTimeReferenceEnd = 346;

struct MetaScan {
    WstmMeta* meta;
    bool aiff;
    std::uint32_t read = 0;  // bytes of metadata chunks read so far
};

bool Is(const unsigned char id[4], const char* name) { return std::memcmp(id, name, 4) == 0; }

// The body of a chunk, as far as the file holds it; false (noted) for one
// above the size limit or past the limit of all chunks together.
bool ReadBody(FstmStream* s, std::int64_t body, std::uint32_t size, MetaScan* scan,
              std::string* out) {
    WstmMeta* meta = scan->meta;
    if (size > kWstmMetaMaxChunkBytes || size > kWstmMetaMaxTotalBytes - scan->read) {
        meta->warnings |= kWstmMetaTooLarge;
        return false;
    }
    scan->read += size;
    out->assign(size, '\0');
    if (FSTM_Seek(s, body, 0) < 0) return false;
    const std::int32_t got = FSTM_Read(s, out->data(), static_cast<std::int32_t>(size));
    out->resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return true;
}

// A text ends with its terminating zero; one without it gets it.
std::string Terminated(std::string text, WstmMeta* meta) {
    if (text.empty() || text.back() != '\0') {
        meta->warnings |= kWstmMetaTextRepaired;
        text.push_back('\0');
    }
    return text;
}

void ReadBext(std::string body, WstmMeta* meta) {
    if (body.size() < kBextTimeReferenceEnd) {
        meta->warnings |= kWstmMetaBextDropped;
        return;
    }
    if (body.size() < kWstmBextFixedBytes) {
        meta->warnings |= kWstmMetaBextRepaired;
        body.resize(kWstmBextFixedBytes, '\0');
    }
    meta->bext = std::move(body);
}

void ReadIxml(std::string body, WstmMeta* meta) {
    if (!ixml_well_formed(body)) {
        meta->warnings |= kWstmMetaIxmlDropped;
        return;
    }
    meta->ixml = std::move(body);
}

// The items of a LIST body after its type: an identifier, a size and the
// bytes, each on an even offset. An item that runs past the list is cut at
// its end (noted); an identifier that is not printable ends the list.
template <typename Visit>
void ForEachItem(const std::string& list, WstmMeta* meta, Visit visit) {
    for (std::size_t at = 4; at + 8 <= list.size();) {
        const unsigned char* id = meta_bytes(list, at);
        if (!chunk_id_printable(id)) return;
        std::size_t size = GetU32LE(meta_bytes(list, at + 4));
        if (size > list.size() - at - 8) {
            meta->warnings |= kWstmMetaTextRepaired;
            size = list.size() - at - 8;
        }
        visit(id, list.substr(at + 8, size));
        at += 8 + size + (size & 1);
    }
}

void ReadList(const std::string& list, WstmMeta* meta) {
    if (list.size() < 4) return;
    if (list.compare(0, 4, "INFO") == 0) {
        ForEachItem(list, meta, [meta](const unsigned char* id, std::string value) {
            WstmMetaText text{};
            std::memcpy(text.id, id, 4);
            text.value = Terminated(std::move(value), meta);
            meta->texts.push_back(std::move(text));
        });
    } else if (list.compare(0, 4, "adtl") == 0) {
        ForEachItem(list, meta, [meta](const unsigned char* id, std::string body) {
            const bool text = Is(id, "labl") || Is(id, "note");
            if (!(text && body.size() >= 4) && !(Is(id, "ltxt") && body.size() >= 20)) return;
            WstmMetaLabel label{};
            label.cue_id = static_cast<std::int32_t>(GetU32LE(meta_bytes(body, 0)));
            std::memcpy(label.kind, id, 4);
            label.body = body.substr(4);
            if (text) label.body = Terminated(std::move(label.body), meta);
            meta->labels.push_back(std::move(label));
        });
    }
}

// AIFF text chunks hold their characters alone; they are kept as the INFO
// items they map to.
constexpr struct {
    const char* aiff;
    const char* info;
} kAiffTexts[] = {{"NAME", "INAM"}, {"AUTH", "IART"}, {"(c) ", "ICOP"}, {"ANNO", "ICMT"}};

void ReadAiffText(const char* info_id, const std::string& body, WstmMeta* meta) {
    WstmMetaText text{};
    std::memcpy(text.id, info_id, 4);
    text.value = body.substr(0, body.find('\0'));
    text.value.push_back('\0');
    meta->texts.push_back(std::move(text));
}

// The names of 'MARK', as far as its records lie within the chunk; the
// last 'MARK' of a file gives the markers, so its names replace earlier ones.
void ReadMarkNames(const std::string& body, WstmMeta* meta) {
    meta->labels.clear();
    if (body.size() < 2) return;
    const std::uint32_t count = GetU16BE(meta_bytes(body, 0));
    std::size_t at = 2;
    for (std::uint32_t i = 0; i < count && at + 7 <= body.size(); ++i) {
        const auto id = static_cast<std::int16_t>(GetU16BE(meta_bytes(body, at)));  // record + 0
        const std::size_t length = static_cast<unsigned char>(body[at + 6]);        // record + 6
        if (at + 7 + length > body.size()) break;
        if (length > 0) {
            WstmMetaLabel label{id, {'l', 'a', 'b', 'l'}, body.substr(at + 7, length)};
            label.body.push_back('\0');
            meta->labels.push_back(std::move(label));
        }
        at += 7 + length + ((length % 2 == 0) ? 1 : 0);
    }
}

bool VisitChunk(void* context, FstmStream* s, const unsigned char id[4], std::int64_t body,
                std::uint32_t size) {
    auto* scan = static_cast<MetaScan*>(context);
    WstmMeta* meta = scan->meta;
    std::string bytes;
    if (!scan->aiff) {
        if (!Is(id, "bext") && !Is(id, "iXML") && !Is(id, "LIST")) return true;
        if (!ReadBody(s, body, size, scan, &bytes)) return true;
        if (Is(id, "bext")) ReadBext(std::move(bytes), meta);
        if (Is(id, "iXML")) ReadIxml(std::move(bytes), meta);
        if (Is(id, "LIST")) ReadList(bytes, meta);
        return true;
    }
    if (Is(id, "MARK")) {
        if (ReadBody(s, body, size, scan, &bytes)) ReadMarkNames(bytes, meta);
        return true;
    }
    for (const auto& text : kAiffTexts) {
        if (Is(id, text.aiff) && ReadBody(s, body, size, scan, &bytes)) {
            ReadAiffText(text.info, bytes, meta);
        }
    }
    return true;
}

}  // namespace

void meta_read(WstmHandle* handle, WstmMeta* meta) {
    *meta = WstmMeta{};
    MetaScan scan{meta, handle->file_identifier == kWstmForm};
    chunk_scan(handle, handle->endian_type, VisitChunk, &scan);
    (void)FSTM_Seek(handle->stream, handle->current_position, 0);
}
