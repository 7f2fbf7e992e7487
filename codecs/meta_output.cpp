// Turning an input's metadata into the output's: the rate-dependent counts
// rescaled exactly, the coding history extended, labels renumbered for the
// copied markers, and what the output's container has no place for left out.

#include <cstring>
#include <limits>

#include "codecs/meta.h"

namespace {

// 'bext': the time reference (samples since midnight) is two 32-bit halves,
// low first.
constexpr std::size_t kBextTimeReferenceLow = 338;
constexpr std::size_t kBextTimeReferenceHigh = 342;

bool SameId(const char a[4], const char* b) { return std::memcmp(a, b, 4) == 0; }

std::string OutputBext(const std::string& in, const WstmMetaTarget& target) {
    std::string bext = in.substr(0, kWstmBextFixedBytes);
    const std::uint64_t high = GetU32LE(meta_bytes(in, kBextTimeReferenceHigh));
    const std::uint64_t reference = high << 32 | GetU32LE(meta_bytes(in, kBextTimeReferenceLow));
    const std::uint64_t scaled = meta_rescale(reference, target.input_rate, target.output_rate);
    PutU32LE(meta_bytes(&bext, kBextTimeReferenceLow), static_cast<std::uint32_t>(scaled));
    PutU32LE(meta_bytes(&bext, kBextTimeReferenceHigh), static_cast<std::uint32_t>(scaled >> 32));
    // The history as written, without the zeros that pad it; its last line
    // is closed before the new one.
    std::string history = in.substr(kWstmBextFixedBytes);
    while (!history.empty() && history.back() == '\0')
        history.pop_back();
    if (!history.empty() && history.back() != '\n') history += "\r\n";
    return bext + history + meta_coding_history_line(target);
}

// The text tags an AIFF file has a chunk for.
bool HasAiffHome(const WstmMetaText& text) {
    for (const char* id : {"INAM", "IART", "ICOP", "ICMT"}) {
        if (SameId(text.id, id)) return true;
    }
    return false;
}

// The labels of the markers as they are copied: output marker i is input
// marker i and takes the labels of its identifier (a marker whose
// identifier an earlier marker already has takes none). An AIFF output
// keeps one name per marker.
void OutputLabels(const WstmMeta& in, const WstmHandle* input, const WstmMetaTarget& target,
                  WstmMeta* out) {
    const bool aiff = target.output_format == kWstmFormatAiff;
    std::int32_t markers = input->num_markers;
    if (markers > kWstmMaxMarkers) markers = kWstmMaxMarkers;
    for (std::int32_t i = 0; i < markers; ++i) {
        const std::int32_t id = input->marker_id[i];
        bool repeated = false;
        for (std::int32_t j = 0; j < i && !repeated; ++j)
            repeated = input->marker_id[j] == id;
        if (repeated) continue;
        bool named = false;
        for (const WstmMetaLabel& label : in.labels) {
            if (label.cue_id != id) continue;
            if (aiff && (named || !SameId(label.kind, "labl"))) continue;
            WstmMetaLabel copy = label;
            copy.cue_id = i;
            if (SameId(copy.kind, "ltxt")) {
                const std::uint32_t length = GetU32LE(meta_bytes(copy.body, 0));
                const std::uint64_t scaled =
                    meta_rescale(length, target.input_rate, target.output_rate);
                PutU32LE(meta_bytes(&copy.body, 0),
                         scaled > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(scaled));
            }
            named = true;
            out->labels.push_back(std::move(copy));
        }
    }
}

}  // namespace

std::uint64_t meta_rescale(std::uint64_t count, std::int64_t from_rate, std::int64_t to_rate) {
    if (from_rate <= 0 || to_rate <= 0) return count;
    const auto from = static_cast<std::uint64_t>(from_rate);
    const auto to = static_cast<std::uint64_t>(to_rate);
    // count = q x from + r: q x to is exact, and r x to / from is rounded
    // on its own (both rates stay below 2^31, so 2 x r x to fits).
    const std::uint64_t q = count / from;
    const std::uint64_t r = count % from;
    const std::uint64_t rest = (2 * r * to + from) / (2 * from);
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    if (q > (kMax - rest) / to) return kMax;
    return q * to + rest;
}

std::string meta_coding_history_line(const WstmMetaTarget& target) {
    const char* mode = target.output_channels == 1   ? "mono"
                       : target.output_channels == 2 ? "stereo"
                                                     : "multichannel";
    std::string line = "A=PCM,F=" + std::to_string(target.output_rate) +
                       ",W=" + std::to_string(target.output_bits) + ",M=" + mode +
                       ",T=" + target.software;
    if (target.output_float) line += " float";
    return line + "\r\n";
}

void meta_for_output(const WstmMeta& in, const WstmHandle* input, const WstmMetaTarget& target,
                     WstmMeta* out) {
    *out = WstmMeta{};
    out->warnings = in.warnings;
    if (target.output_format == kWstmFormatWav) {
        if (!in.bext.empty()) out->bext = OutputBext(in.bext, target);
        if (!in.ixml.empty()) out->ixml = ixml_rewrite(in.ixml, target);
        out->texts = in.texts;
    } else {
        if (!in.bext.empty() || !in.ixml.empty()) out->warnings |= kWstmMetaNoAiffHome;
        for (const WstmMetaText& text : in.texts) {
            if (HasAiffHome(text)) out->texts.push_back(text);
        }
    }
    OutputLabels(in, input, target, out);
}
