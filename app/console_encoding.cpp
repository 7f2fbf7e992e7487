#include "app/console_encoding.h"

#include <algorithm>

namespace tolmek {
namespace {

// Decodes one UTF-8 sequence at `pos`; returns false when malformed.
bool DecodeUtf8(std::string_view text, std::size_t* pos, std::uint32_t* code_point) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(*pos);
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || *pos + length > text.size()) {
        *pos += 1;
        return false;
    }
    std::uint32_t value = lead & (0x3Fu >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) {
        unsigned char next = byte(*pos + i);
        if ((next & 0xC0) != 0x80) {
            *pos += i;
            return false;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    *pos += length;
    *code_point = value;
    return true;
}

}  // namespace

std::string Utf8ToShiftJis(std::string_view utf8, bool* complete) {
    std::string out;
    out.reserve(utf8.size());
    bool all = true;
    const SjisMapping* begin = kSjisTable;
    const SjisMapping* end = kSjisTable + kSjisTableSize;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[pos]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++pos;
            continue;
        }
        std::uint32_t code_point = 0;
        const SjisMapping* found = end;
        if (DecodeUtf8(utf8, &pos, &code_point)) {
            found = std::lower_bound(
                begin, end, code_point,
                [](const SjisMapping& m, std::uint32_t cp) { return m.code_point < cp; });
            if (found != end && found->code_point != code_point) found = end;
        }
        if (found == end) {
            out += '?';
            all = false;
        } else if (found->sjis > 0xFF) {
            out += static_cast<char>(found->sjis >> 8);
            out += static_cast<char>(found->sjis & 0xFF);
        } else {
            out += static_cast<char>(found->sjis);
        }
    }
    if (complete != nullptr) *complete = all;
    return out;
}

}  // namespace tolmek
