#pragma once
// The metadata that travels from an input to an output on request
// (-meta=keep): the broadcast extension, iXML, the text tags and the labels
// of the markers. Read from the input after its header, turned into what the
// output gets (rates, word length, marker numbers), and written by the codec
// of the output: 'bext' before 'fmt ', iXML and LIST/INFO before the sample
// data, the labels after it. Without it, files are read and written exactly
// as before.
//
// Bytes are kept in std::string: bodies as they stand in the file.

#include <cstdint>
#include <string>
#include <vector>

// A metadata chunk larger than this is not read (and so not kept).
inline constexpr std::uint32_t kWstmMetaMaxChunkBytes = 1u << 20;
// What is read of one input's metadata chunks in all: the chunks past it
// are not read either, so that the output's head and its LIST chunks stay
// far within their 32-bit sizes whatever the number of chunks.
inline constexpr std::uint32_t kWstmMetaMaxTotalBytes = 16u << 20;
// The fixed part of a 'bext' body before its coding history.
inline constexpr std::uint32_t kWstmBextFixedBytes = 602;

// One text tag, as a LIST/INFO item: its identifier and its bytes with the
// terminating zero (AIFF text chunks are held under the INFO identifier they
// map to: NAME INAM, AUTH IART, "(c) " ICOP, ANNO ICMT).
struct WstmMetaText {
    char id[4];
    std::string value;
};

// One label of a marker: a LIST/'adtl' item ('labl', 'note' or 'ltxt'),
// the marker's identifier, and the item's body after that identifier
// ('ltxt': sample length, purpose, country, language, dialect, code page,
// text). AIFF marker names are held as 'labl'.
struct WstmMetaLabel {
    std::int32_t cue_id;
    char kind[4];
    std::string body;
};

// What was repaired or left out, one bit each; the front end says so.
enum WstmMetaWarning : std::uint32_t {
    kWstmMetaBextRepaired = 1u << 0,  // 'bext' shorter than its fixed part, filled with zeros
    kWstmMetaBextDropped = 1u << 1,   // 'bext' too short to hold its time reference
    kWstmMetaIxmlDropped = 1u << 2,   // iXML that is not well-formed
    kWstmMetaTextRepaired = 1u << 3,  // a text without its terminator, or cut short
    kWstmMetaTooLarge = 1u << 4,      // a chunk above kWstmMetaMaxChunkBytes, or past the total
    kWstmMetaNoAiffHome = 1u << 5,    // 'bext' or iXML on the way to an AIFF file
};
inline constexpr int kWstmMetaNumWarnings = 6;

struct WstmMeta {
    std::string bext;  // the whole body (at least kWstmBextFixedBytes), or empty
    std::string ixml;  // the document, or empty
    std::vector<WstmMetaText> texts;
    std::vector<WstmMetaLabel> labels;
    std::uint32_t warnings = 0;  // WstmMetaWarning bits
};

// What the output of a conversion is, for turning the input's metadata into
// the output's.
struct WstmMetaTarget {
    std::int32_t input_rate;
    std::int32_t output_rate;
    std::int32_t output_bits;
    std::int32_t output_channels;
    bool output_float;
    std::int32_t output_format;  // kWstmFormatWav or kWstmFormatAiff
    const char* software;        // name and version for the coding history
};
