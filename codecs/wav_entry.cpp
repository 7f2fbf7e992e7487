// Dispatch entry of the WAV codec (RIFF files).

#include "codecs/codec.h"
#include "codecs/wav.h"

extern const WstmCodec g_wav_codec = {
    kWstmRiff,         kWstmFormatWav,       kWavHeaderSize,  wav_decode_header,
    wav_check_new_header, wav_encode_header, wav_update_sizes, wav_write_trailer_chunks,
};
