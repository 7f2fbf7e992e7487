// Dispatch entry of the AIFF codec (FORM files).

#include "codecs/aiff.h"
#include "codecs/codec.h"
#include "codecs/meta.h"

namespace {

// Samples are signed in every width: silence is all zero.
std::uint8_t AiffSilenceByte(const WstmHandle*) { return 0; }

}  // namespace

extern const WstmCodec g_aiff_codec = {
    kWstmForm,
    kWstmFormatAiff,
    kAiffHeaderSize,
    kAiffFloatHeaderSize,
    0,
    aiff_decode_header,
    aiff_written_to_pipe,
    aiff_check_new_header,
    aiff_encode_header,
    aiff_update_sizes,
    aiff_write_trailer_chunks,
    AiffSilenceByte,
    aiff_meta_head_bytes,
};
