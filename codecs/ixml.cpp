// iXML: the test of well-formedness, and the rewriting of the fields that
// depend on the file's rate and word length. One scanner serves both: it
// walks the document as XML defines it and notes every element that holds
// text alone (the iXML fields), with where that text stands.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/meta.h"

namespace {

// An element without child elements: its name and the span of its text.
struct Field {
    std::string_view name;
    std::size_t begin;
    std::size_t end;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Control characters other than tab, CR and LF have no place in XML text.
bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 && !IsSpace(c); }

bool IsNameStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || u >= 0x80;
}

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

class Scanner {
  public:
    explicit Scanner(std::string_view text) : t_(text) {}

    // The whole document: prolog, one root element, what may follow it.
    bool Document(std::vector<Field>* fields) {
        if (t_.substr(0, 3) == "\xEF\xBB\xBF") p_ = 3;  // UTF-8 byte order mark
        if (!Misc(true)) return false;
        if (!Element(fields)) return false;
        return Misc(false) && p_ == t_.size();
    }

  private:
    bool At(std::string_view s) const { return t_.substr(p_, s.size()) == s; }
    void SkipSpace() {
        while (p_ < t_.size() && IsSpace(t_[p_]))
            ++p_;
    }
    // Moves past the next `end`; false when there is none.
    bool SkipPast(std::string_view end) {
        const std::size_t found = t_.find(end, p_);
        if (found == std::string_view::npos) return false;
        p_ = found + end.size();
        return true;
    }

    bool Name(std::string_view* name) {
        const std::size_t start = p_;
        if (p_ >= t_.size() || !IsNameStart(t_[p_])) return false;
        while (p_ < t_.size() && IsNameChar(t_[p_]))
            ++p_;
        *name = t_.substr(start, p_ - start);
        return true;
    }

    // "&name;", "&#digits;" or "&#xhex;" at p_.
    bool Reference() {
        ++p_;  // '&'
        if (At("#x")) {
            p_ += 2;
            const std::size_t start = p_;
            while (p_ < t_.size() && std::isxdigit(static_cast<unsigned char>(t_[p_])))
                ++p_;
            if (p_ == start) return false;
        } else if (At("#")) {
            ++p_;
            const std::size_t start = p_;
            while (p_ < t_.size() && t_[p_] >= '0' && t_[p_] <= '9')
                ++p_;
            if (p_ == start) return false;
        } else {
            std::string_view name;
            if (!Name(&name)) return false;
        }
        if (!At(";")) return false;
        ++p_;
        return true;
    }

    // A comment, a processing instruction or (in the prolog) the document
    // type declaration at p_; false when none stands there or it is broken.
    bool Markup(bool prolog, bool* found) {
        *found = true;
        if (At("<!--")) {
            const std::size_t end = t_.find("--", p_ + 4);
            if (end == std::string_view::npos || t_.substr(end, 3) != "-->") return false;
            p_ = end + 3;
            return true;
        }
        if (At("<?")) return SkipPast("?>");
        if (prolog && At("<!DOCTYPE")) {
            // An internal subset in brackets may hold '>' of its own.
            const std::size_t bracket = t_.find('[', p_);
            const std::size_t close = t_.find('>', p_);
            if (bracket != std::string_view::npos && bracket < close) {
                p_ = bracket;
                if (!SkipPast("]")) return false;
            }
            return SkipPast(">");
        }
        *found = false;
        return true;
    }

    bool Misc(bool prolog) {
        for (;;) {
            SkipSpace();
            bool found = false;
            if (!Markup(prolog, &found)) return false;
            if (!found) return true;
        }
    }

    bool Attributes(bool* empty) {
        for (;;) {
            const bool spaced = p_ < t_.size() && IsSpace(t_[p_]);
            SkipSpace();
            if (At("/>")) {
                p_ += 2;
                *empty = true;
                return true;
            }
            if (At(">")) {
                ++p_;
                *empty = false;
                return true;
            }
            std::string_view name;
            if (!spaced || !Name(&name)) return false;
            SkipSpace();
            if (!At("=")) return false;
            ++p_;
            SkipSpace();
            if (p_ >= t_.size() || (t_[p_] != '"' && t_[p_] != '\'')) return false;
            const char quote = t_[p_++];
            while (p_ < t_.size() && t_[p_] != quote) {
                if (t_[p_] == '<' || IsControl(t_[p_])) return false;
                if (t_[p_] == '&') {
                    if (!Reference()) return false;
                } else {
                    ++p_;
                }
            }
            if (p_ >= t_.size()) return false;
            ++p_;
        }
    }

    // One element and everything in it, without recursion: open elements
    // stand on a stack with whether they hold another element.
    bool Element(std::vector<Field>* fields) {
        struct Open {
            std::string_view name;
            std::size_t content;
            bool has_child;
        };
        std::vector<Open> open;
        do {
            if (!At("<")) return false;
            ++p_;
            std::string_view name;
            if (!Name(&name)) return false;
            bool empty = false;
            if (!Attributes(&empty)) return false;
            if (!open.empty()) open.back().has_child = true;
            if (!empty) open.push_back({name, p_, false});
            // Content up to the next start tag, or the end tags that close
            // elements on the way.
            while (!open.empty()) {
                if (p_ >= t_.size()) return false;
                const char c = t_[p_];
                if (c == '&') {
                    if (!Reference()) return false;
                } else if (At("<![CDATA[")) {
                    if (!SkipPast("]]>")) return false;
                } else if (At("</")) {
                    const std::size_t text_end = p_;
                    p_ += 2;
                    std::string_view end_name;
                    if (!Name(&end_name) || end_name != open.back().name) return false;
                    SkipSpace();
                    if (!At(">")) return false;
                    ++p_;
                    if (!open.back().has_child) {
                        fields->push_back({end_name, open.back().content, text_end});
                    }
                    open.pop_back();
                } else if (c == '<') {
                    bool found = false;
                    if (!Markup(false, &found)) return false;
                    if (!found) break;  // a child element
                } else {
                    if (IsControl(c)) return false;
                    ++p_;
                }
            }
        } while (!open.empty());
        return true;
    }

    std::string_view t_;
    std::size_t p_ = 0;
};

std::string_view WithoutTrailingZeros(std::string_view text) {
    while (!text.empty() && text.back() == '\0')
        text.remove_suffix(1);
    return text;
}

// The number a field holds (spaces around it allowed); false when it holds
// anything else.
bool FieldNumber(std::string_view text, const Field& f, std::uint64_t* value) {
    std::string_view digits = text.substr(f.begin, f.end - f.begin);
    while (!digits.empty() && IsSpace(digits.front()))
        digits.remove_prefix(1);
    while (!digits.empty() && IsSpace(digits.back()))
        digits.remove_suffix(1);
    if (digits.empty() || digits.size() > 20) return false;
    std::uint64_t v = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    *value = v;
    return true;
}

struct Edit {
    std::size_t begin;
    std::size_t end;
    std::string text;
};

// Rescales every HI/LO pair of one name from `from_rate`: the pair is the
// 64-bit count HI x 2^32 + LO (a missing half counts as 0, and only the
// halves present are written back).
void RescalePair(std::string_view text, const std::vector<Field>& fields, std::string_view base,
                 std::int64_t from_rate, std::int64_t to_rate, std::vector<Edit>* edits) {
    const std::string hi_name = std::string(base) + "_HI";
    const std::string lo_name = std::string(base) + "_LO";
    const Field* hi = nullptr;
    const Field* lo = nullptr;
    for (const Field& f : fields) {
        if (f.name == hi_name && hi == nullptr) hi = &f;
        if (f.name == lo_name && lo == nullptr) lo = &f;
    }
    if (hi == nullptr && lo == nullptr) return;
    std::uint64_t high = 0, low = 0;
    if (hi != nullptr && !FieldNumber(text, *hi, &high)) return;
    if (lo != nullptr && !FieldNumber(text, *lo, &low)) return;
    const std::uint64_t count = (high & 0xFFFFFFFFu) << 32 | (low & 0xFFFFFFFFu);
    const std::uint64_t scaled = meta_rescale(count, from_rate, to_rate);
    if (hi != nullptr) edits->push_back({hi->begin, hi->end, std::to_string(scaled >> 32)});
    if (lo != nullptr) edits->push_back({lo->begin, lo->end, std::to_string(scaled & 0xFFFFFFFFu)});
}

}  // namespace

bool ixml_well_formed(std::string_view text) {
    std::vector<Field> fields;
    return Scanner(WithoutTrailingZeros(text)).Document(&fields);
}

std::string ixml_rewrite(std::string_view text, const WstmMetaTarget& target) {
    text = WithoutTrailingZeros(text);
    std::vector<Field> fields;
    if (!Scanner(text).Document(&fields)) return std::string(text);

    std::int64_t timestamp_rate = target.input_rate;
    for (const Field& f : fields) {
        std::uint64_t rate = 0;
        if (f.name == "TIMESTAMP_SAMPLE_RATE" && FieldNumber(text, f, &rate) && rate > 0 &&
            rate <= 0x7FFFFFFF) {
            timestamp_rate = static_cast<std::int64_t>(rate);
            break;
        }
    }
    std::vector<Edit> edits;
    const std::string rate = std::to_string(target.output_rate);
    for (const Field& f : fields) {
        if (f.name == "FILE_SAMPLE_RATE" || f.name == "TIMESTAMP_SAMPLE_RATE") {
            edits.push_back({f.begin, f.end, rate});
        } else if (f.name == "BIT_DEPTH") {
            edits.push_back({f.begin, f.end, std::to_string(target.output_bits)});
        }
    }
    RescalePair(text, fields, "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT", timestamp_rate,
                target.output_rate, &edits);
    RescalePair(text, fields, "BWF_TIME_REFERENCE", target.input_rate, target.output_rate, &edits);

    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.begin > b.begin; });
    std::string out(text);
    for (const Edit& e : edits)
        out.replace(e.begin, e.end - e.begin, e.text);
    return out;
}
