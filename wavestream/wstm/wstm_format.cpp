#include "wavestream/wstm/wstm_format.h"

#include <cstring>

#include "codecs/chunk_walk.h"
#include "codecs/codec.h"
#include "runtime/nuverr.h"

namespace {

std::int32_t Fail(const char* message) {
    NUVERR_Report(message);
    return -1;
}

std::int32_t CheckDecoded(const WstmHandle* h) {
    if (h->stream == nullptr) return Fail("E2006110885 : File pointer is NULL.");
    if (h->file_identifier != kWstmRiff && h->file_identifier != kWstmForm) {
        return Fail("E2006110889 : Can not confirm the file identifier.");
    }
    if (h->endian_type != kWstmLittleEndian && h->endian_type != kWstmBigEndian) {
        return Fail("E2006110886 : Can not confirm endian type.");
    }
    if (h->file_format != kWstmFormatWav && h->file_format != kWstmFormatAiff) {
        return Fail("E2006110887 : Can not confirm the file format.");
    }
    if (h->read_sample == nullptr && h->write_sample == nullptr) {
        return Fail("E2006110888 : Can not mount file I/O interface.");
    }
    return 0;
}

}  // namespace

std::int64_t wstm_measure_chunks(FstmStream* stream, std::int32_t endian_type,
                                 std::int64_t ds64_data_size) {
    // Far beyond any real file, and far enough from the int64 limit that no
    // step of the walk overflows.
    constexpr std::int64_t kWalkLimit = std::int64_t{1} << 62;
    std::int64_t position = 12;
    std::int64_t pad = 0;
    (void)FSTM_Seek(stream, 12, 0);
    unsigned char id[4];
    if (FSTM_Read(stream, id, 4) < 4) return position;
    for (;;) {
        if (!chunk_id_printable(id)) return position;
        const std::int64_t size =
            chunk_size_of(id, chunk_read_size(stream, endian_type), endian_type, ds64_data_size);
        const std::int64_t next = position + size + pad + 8;
        if (next <= position) return position;  // no progress: the walk would not end
        position = next;
        pad = position & 1;
        if (position + pad > kWalkLimit) return position;
        if (FSTM_Seek(stream, position + pad, 0) < 0) return position;
        if (FSTM_Read(stream, id, 4) < 4) return position;
    }
}

std::int64_t wstm_reconcile_sizes(std::int64_t real, std::int64_t stated, std::int64_t measured) {
    std::int64_t settled;
    if (real == measured) {
        settled = real;
    } else if (stated == measured) {
        settled = stated;
    } else {
        const std::int64_t diff = stated > measured ? stated - measured : measured - stated;
        if (diff > 1) return -1;
        settled = stated < measured ? stated : measured;
    }
    // Never beyond the real size: a file cut short then fails at the chunk
    // that reaches past its end instead of being read on as silence.
    return settled < real ? settled : real;
}

namespace {

// The largest plain WAV file: 8 bytes of head and 2^32 - 1 bytes it counts.
constexpr std::int64_t kWavPlainLargest = 0xFFFFFFFFLL + 8;

// The 'ds64' chunk that follows the head of an RF64 or BW64 file at offset
// 12: its 64-bit RIFF size (everything after the 8-byte head) and 'data'
// size. Gives the RIFF size, or -1 after reporting.
std::int64_t ReadDs64(WstmHandle* handle) {
    FstmStream* stream = handle->stream;
    unsigned char id[4];
    (void)FSTM_Seek(stream, 12, 0);
    const bool found = FSTM_Read(stream, id, 4) == 4 && std::memcmp(id, "ds64", 4) == 0;
    if (!found || FSTM_ReadU32LE(stream) < kWstmDs64BodySize) {
        return Fail("E2006110604 : Can not find the 'ds64' chunk of an RF64 file.");
    }
    const std::uint64_t riff_size = FSTM_ReadU64LE(stream);
    const std::uint64_t data_size = FSTM_ReadU64LE(stream);
    // Sizes beyond 2^62 bytes belong to no file: read as damaged.
    constexpr std::uint64_t kLargest = std::uint64_t{1} << 62;
    if (riff_size > kLargest || data_size > kLargest) {
        return Fail("E2006110801 : The size written in header is not same as actual file size.");
    }
    handle->ds64_data_size = static_cast<std::int64_t>(data_size);
    return static_cast<std::int64_t>(riff_size);
}

}  // namespace

std::int32_t wstm_decode_header(WstmHandle* handle) {
    FstmStream* stream = handle->stream;
    unsigned char id[4];
    if (FSTM_Read(stream, id, 4) < 4) return Fail("E2006110882 : Can not get the file identifier.");
    std::int32_t identifier;
    if (std::memcmp(id, "RIFF", 4) == 0) {
        identifier = kWstmRiff;
    } else if (std::memcmp(id, "RF64", 4) == 0 || std::memcmp(id, "BW64", 4) == 0) {
        identifier = kWstmRiff;
        handle->rf64 = true;
    } else if (std::memcmp(id, "FORM", 4) == 0) {
        identifier = kWstmForm;
    } else {
        return Fail("E2006110883 : Can not confirm the file identifier.");
    }
    handle->file_identifier = identifier;
    handle->endian_type = identifier;  // RIFF little-endian, FORM big-endian
    // AIFF keeps its sizes in signed 32-bit fields: a larger file cannot be
    // one, whatever its fields say.
    if (identifier == kWstmForm && handle->file_size > kWstmMaxFileSize) {
        return Fail("E2006110603 : An AIFF file can not be 2GB or larger.");
    }
    const std::uint32_t size_field = chunk_read_size(stream, handle->endian_type);
    std::int64_t stated = static_cast<std::int64_t>(size_field) + 8;
    handle->ds64_data_size = -1;
    if (handle->rf64) {
        const std::int64_t riff_size = ReadDs64(handle);
        if (riff_size < 0) return -1;
        if (size_field == 0xFFFFFFFFu) stated = riff_size + 8;
    }
    const WstmCodec* codec = CODEC_ForIdentifier(identifier);
    if (codec == nullptr) return Fail("E2006110883 : Can not confirm the file identifier.");
    if (stated != handle->file_size) {
        const std::int64_t measured =
            wstm_measure_chunks(stream, handle->endian_type, handle->ds64_data_size);
        std::int64_t size = wstm_reconcile_sizes(handle->file_size, stated, measured);
        // A file written to a pipe is read to its end; every other mismatch
        // is a file cut short or damaged.
        if (codec->written_to_pipe(handle, size >= 0)) {
            handle->data_to_end = true;
            size = handle->file_size;
        }
        if (size < 0) {
            return Fail(
                "E2006110801 : The size written in header is not same as actual file size.");
        }
        // The 32-bit sizes of a plain WAV file reach 4 GB: a larger one has
        // wrapped sizes that would silently cut it short, unless its samples
        // run to the end (written to a pipe).
        if (identifier == kWstmRiff && !handle->rf64 && !handle->data_to_end &&
            handle->file_size > kWavPlainLargest) {
            return Fail("E2006110605 : A WAV file past 4GB is read only as RF64 or BW64.");
        }
        handle->file_size = size;
    }
    (void)FSTM_Seek(stream, 0, 0);
    handle->current_position = 0;
    if (codec->decode_header(handle) < 0) return -1;
    return CheckDecoded(handle);
}

std::int32_t wstm_plan_new_file(WstmHandle* handle) {
    const WstmCodec* codec = CODEC_ForFormat(handle->file_format);
    if (codec == nullptr) return Fail("E2006110892 : Illegal file format.");
    handle->data_offset =
        handle->format_tag == kWstmFloatTag ? codec->float_data_offset : codec->data_offset;
    if (handle->meta != nullptr) handle->data_offset += codec->meta_head_bytes(handle);
    handle->block_size = (handle->num_bits + 7) / 8 * handle->num_channels;
    std::int64_t planned =
        static_cast<std::int64_t>(static_cast<std::int32_t>(handle->num_samples)) *
            handle->block_size +
        handle->data_offset;
    handle->rf64 = false;
    if (planned > kWstmMaxFileSize) {
        // Past the classic limit a WAV file becomes RF64, whose 'ds64'
        // chunk after the head carries the 64-bit sizes; AIFF has no such
        // form.
        if (codec->ds64_chunk_size == 0) return Fail("E2006110601 : File size becomes over 2GB.");
        handle->rf64 = true;
        handle->data_offset += codec->ds64_chunk_size;
        planned += codec->ds64_chunk_size;
    }
    handle->file_size = planned;
    return codec->check_new_header(handle);
}

std::int32_t wstm_encode_header(WstmHandle* handle) {
    if (handle->stream == nullptr) return Fail("E2006110891 : File pointer is NULL.");
    const WstmCodec* codec = CODEC_ForFormat(handle->file_format);
    if (codec == nullptr) return Fail("E2006110892 : Illegal file format.");
    handle->current_position = 0;
    const std::int32_t result = codec->encode_header(handle);
    handle->written_end = handle->data_offset;
    return result < 0 ? -1 : 0;
}

void wstm_finish_file(WstmHandle* handle) {
    if (handle->access_mode != kWstmWriting || handle->stream == nullptr) return;
    const WstmCodec* codec = CODEC_ForFormat(handle->file_format);
    if (codec == nullptr) return;
    // Silence for the frames never written, so that the file holds exactly the
    // frames its header declares. Written in large pieces: after an
    // interrupted run this can be most of the file.
    const std::int64_t data_end =
        handle->data_offset + static_cast<std::int64_t>(handle->num_samples) * handle->block_size;
    if (handle->written_end < data_end) {
        unsigned char silence[1 << 16];
        std::memset(silence, codec->silence_byte(handle), sizeof silence);
        (void)FSTM_Seek(handle->stream, handle->written_end, 0);
        std::int64_t left = data_end - handle->written_end;
        while (left > 0) {
            const std::int32_t piece = left < static_cast<std::int64_t>(sizeof silence)
                                           ? static_cast<std::int32_t>(left)
                                           : static_cast<std::int32_t>(sizeof silence);
            FSTM_Write(handle->stream, silence, piece);
            left -= piece;
        }
        handle->written_end = data_end;
        (void)FSTM_Seek(handle->stream, handle->current_position, 0);
    }
    (void)codec->update_sizes(handle, handle->num_samples);
    if (handle->num_markers > 0 || handle->num_loops > 0) (void)codec->write_trailer_chunks(handle);
}

std::int32_t wstm_format_from_path(const char* path) {
    const std::size_t length = std::strlen(path);
    for (std::size_t i = length; i-- > 0;) {
        const char c = path[i];
        if (c == '\\' || c == '/') return kWstmFormatWav;
        if (c != '.') continue;
        const char* extension = path + i + 1;
        if (std::strlen(extension) < 3) return kWstmFormatWav;
        const char* want = "AIF";
        for (int k = 0; k < 3; ++k) {
            char e = extension[k];
            if (e >= 'a' && e <= 'z') e = static_cast<char>(e - 'a' + 'A');
            if (e != want[k]) return kWstmFormatWav;
        }
        return kWstmFormatAiff;
    }
    return kWstmFormatWav;
}
