// Dispatch entry of the WAV codec (RIFF files).

#include "codecs/codec.h"
#include "codecs/meta.h"
#include "codecs/wav.h"

namespace {

// 1 to 8 bits are unsigned bytes with 128 as zero.
std::uint8_t WavSilenceByte(const WstmHandle* handle) { return handle->num_bits <= 8 ? 0x80 : 0; }

}  // namespace

extern const WstmCodec g_wav_codec = {
    kWstmRiff,
    kWstmFormatWav,
    kWavHeaderSize,
    kWavFloatHeaderSize,
    kWavDs64ChunkSize,
    wav_decode_header,
    wav_written_to_pipe,
    wav_check_new_header,
    wav_encode_header,
    wav_update_sizes,
    wav_write_trailer_chunks,
    WavSilenceByte,
    wav_meta_head_bytes,
};
