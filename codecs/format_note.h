#pragma once
// The sample format of an input refused for it, named as the file states it
// ("IMA ADPCM (format tag 0x0011)", "AIFF-C compression type 'ima4'"), so
// that the program can say more than the refusal's message. The codec that
// refuses a format notes it; opening a file does not clear it.

#include <cstdint>

// Notes the format of a WAV 'fmt ' chunk that is not read: its format tag
// (the sub-format's for an extensible chunk) and bits per sample.
void codec_note_wav_format(std::uint32_t tag, std::uint32_t bits);

// Notes an AIFF-C compression type that is not read, with the name the file
// gives it (a Pascal string's characters; empty when there is none).
void codec_note_aifc_type(const unsigned char type[4], const char* name);

// The last format noted, or "" when none was since the last clear.
const char* codec_refused_format();
void codec_clear_refused_format();
