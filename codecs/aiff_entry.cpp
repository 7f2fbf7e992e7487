// Dispatch entry of the AIFF codec (FORM files).

#include "codecs/aiff.h"
#include "codecs/codec.h"

extern const WstmCodec g_aiff_codec = {
    kWstmForm,             kWstmFormatAiff,    kAiffHeaderSize,   aiff_decode_header,
    aiff_check_new_header, aiff_encode_header, aiff_update_sizes, aiff_write_trailer_chunks,
};
