#pragma once
// Metadata kept on request (wstm_meta.h): reading it from an input of either
// container, turning it into what an output gets, and the pieces the WAV and
// AIFF writers add to their headers and trailers. None of it can fail a
// conversion: damaged metadata is repaired or left out and noted in the
// model's warnings.

#include <cstdint>
#include <string>
#include <string_view>

#include "wavestream/fstm/byte_order.h"
#include "wavestream/fstm/wstm_handle.h"
#include "wavestream/fstm/wstm_meta.h"

// The bytes of a chunk body from `at` on, for the byte-order fields.
inline const unsigned char* meta_bytes(const std::string& body, std::size_t at) {
    return reinterpret_cast<const unsigned char*>(body.data()) + at;
}
inline unsigned char* meta_bytes(std::string* body, std::size_t at) {
    return reinterpret_cast<unsigned char*>(body->data()) + at;
}

// Reads the metadata chunks of a decoded input (the chunks after its head,
// in file order) into `meta` and returns the stream to current_position.
void meta_read(WstmHandle* handle, WstmMeta* meta);

// The input's metadata as the output gets it: time references, iXML fields
// and label lengths moved to the output rate, one coding-history line added,
// labels renumbered for the markers as they are copied (output marker i is
// the input's marker i), and what the output's container cannot hold left
// out. `input` gives the markers.
void meta_for_output(const WstmMeta& in, const WstmHandle* input, const WstmMetaTarget& target,
                     WstmMeta* out);

// count x to_rate / from_rate, halves rounded away from zero, exactly;
// saturated at the largest 64-bit value.
std::uint64_t meta_rescale(std::uint64_t count, std::int64_t from_rate, std::int64_t to_rate);

// The coding-history line for an output, CR LF included:
// "A=PCM,F=48000,W=24,M=stereo,T=tolmek 1.0.0\r\n".
std::string meta_coding_history_line(const WstmMetaTarget& target);

// True when `text` is a well-formed XML document (one root element, tags
// nested and matched, attributes quoted, references and comments as XML
// allows them). Trailing zero bytes are ignored.
bool ixml_well_formed(std::string_view text);

// The iXML document with the fields that depend on the file rewritten for
// the output: FILE_SAMPLE_RATE and TIMESTAMP_SAMPLE_RATE to the output rate,
// BIT_DEPTH to its bits, the HI/LO pairs TIMESTAMP_SAMPLES_SINCE_MIDNIGHT and
// BWF_TIME_REFERENCE rescaled (the first from the document's own timestamp
// rate when it gives one). Everything else is kept byte for byte; trailing
// zero bytes are left off.
std::string ixml_rewrite(std::string_view text, const WstmMetaTarget& target);

// WAV: the bytes the metadata adds before the sample data ('bext', iXML,
// LIST/INFO with their heads and pad bytes); 0 without metadata.
std::int32_t wav_meta_head_bytes(const WstmHandle* handle);
// Writes 'bext' at the stream's position; gives the bytes written.
std::int32_t wav_meta_write_bext(WstmHandle* handle);
// Writes iXML and LIST/INFO at the stream's position; gives the bytes written.
std::int32_t wav_meta_write_texts(WstmHandle* handle);
// Appends LIST/'adtl' with the labels of the markers after the 'cue '
// chunk, like the other trailer chunks.
void wav_meta_write_labels(WstmHandle* handle);

// AIFF: the bytes of the text chunks (NAME, AUTH, "(c) ", ANNO) before the
// sample data; 0 without metadata.
std::int32_t aiff_meta_head_bytes(const WstmHandle* handle);
// Writes the text chunks at the stream's position; gives the bytes written.
std::int32_t aiff_meta_write_texts(WstmHandle* handle);
// The name kept for marker `index` of the output (at most 255 bytes), or
// empty.
std::string_view aiff_meta_marker_name(const WstmHandle* handle, std::int32_t index);
