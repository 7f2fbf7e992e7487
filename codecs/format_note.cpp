#include "codecs/format_note.h"

#include <cstdio>
#include <iterator>

namespace {

char g_note[160] = "";

struct TagName {
    std::uint32_t tag;
    const char* name;
};

// Formats met in WAV files that are not read, by the names users know them.
constexpr TagName kWavTagNames[] = {
    {0x0001, "PCM"},
    {0x0002, "Microsoft ADPCM"},
    {0x0003, "IEEE float"},
    {0x0006, "A-law"},
    {0x0007, "mu-law"},
    {0x0011, "IMA ADPCM"},
    {0x0022, "TrueSpeech"},
    {0x0031, "GSM 6.10"},
    {0x0040, "G.721 ADPCM"},
    {0x0050, "MPEG audio"},
    {0x0055, "MPEG Layer III"},
    {0x0092, "AC-3"},
    {0x0161, "Windows Media Audio"},
    {0x00FF, "AAC"},
    {0xF1AC, "FLAC"},
};

}  // namespace

void codec_note_wav_format(std::uint32_t tag, std::uint32_t bits) {
    const char* name = nullptr;
    for (const TagName& entry : kWavTagNames) {
        if (entry.tag == tag) name = entry.name;
    }
    if (name == nullptr) {
        std::snprintf(g_note, sizeof g_note, "format tag 0x%04X", tag & 0xFFFFu);
    } else if (tag == 0x0001 || tag == 0x0003 || tag == 0x0006 || tag == 0x0007) {
        // A format that is read, but not in this width.
        std::snprintf(g_note, sizeof g_note, "%u-bit %s (format tag 0x%04X)", bits, name, tag);
    } else {
        std::snprintf(g_note, sizeof g_note, "%s (format tag 0x%04X)", name, tag);
    }
}

void codec_note_aifc_type(const unsigned char type[4], const char* name) {
    char id[5];
    for (int i = 0; i < 4; ++i) {
        id[i] = type[i] >= 0x20 && type[i] <= 0x7E ? static_cast<char>(type[i]) : '?';
    }
    id[4] = '\0';
    if (name != nullptr && name[0] != '\0') {
        std::snprintf(g_note, sizeof g_note, "AIFF-C compression type '%s' (%.63s)", id, name);
    } else {
        std::snprintf(g_note, sizeof g_note, "AIFF-C compression type '%s'", id);
    }
}

const char* codec_refused_format() { return g_note; }

void codec_clear_refused_format() { g_note[0] = '\0'; }
