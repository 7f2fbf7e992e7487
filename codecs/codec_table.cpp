#include "codecs/codec.h"

#include <iterator>

extern const WstmCodec g_wav_codec;
extern const WstmCodec g_aiff_codec;

namespace {

const WstmCodec* const kCodecs[] = {&g_wav_codec, &g_aiff_codec};

}  // namespace

const WstmCodec* CODEC_ForIdentifier(std::int32_t file_identifier) {
    for (const WstmCodec* codec : kCodecs) {
        if (codec->file_identifier == file_identifier) return codec;
    }
    return nullptr;
}

const WstmCodec* CODEC_ForFormat(std::int32_t file_format) {
    for (const WstmCodec* codec : kCodecs) {
        if (codec->file_format == file_format) return codec;
    }
    return nullptr;
}
