#include "wavestream/fstm/fstm.h"

#include <new>

namespace {

bool Usable(const FstmStream* stream) {
    return stream != nullptr && stream->interface != nullptr && stream->file != nullptr;
}

FstmStream* Bind(const FileIoInterface* io, void* file) {
    if (file == nullptr) return nullptr;
    BufferedFile* direct =
        io == BufferedFile_Interface() ? static_cast<BufferedFile*>(file) : nullptr;
    auto* stream = new (std::nothrow) FstmStream{io, file, direct};
    if (stream == nullptr) io->close(file);
    return stream;
}

}  // namespace

FstmStream* FSTM_OpenRead(const char* path) {
    if (path == nullptr) return nullptr;
    const FileIoInterface* io = BufferedFile_Interface();
    return Bind(io, io->open_read(path));
}

FstmStream* FSTM_Create(const char* path) {
    if (path == nullptr) return nullptr;
    const FileIoInterface* io = BufferedFile_Interface();
    return Bind(io, io->create(path));
}

std::int32_t FSTM_Close(FstmStream* stream) {
    if (!Usable(stream)) return -1;
    const std::int32_t status = stream->interface->close(stream->file);
    stream->interface = nullptr;
    stream->file = nullptr;
    stream->buffered_file = nullptr;
    delete stream;
    return status;
}

std::int64_t FSTM_Seek(FstmStream* stream, std::int64_t offset, std::int32_t origin) {
    if (!Usable(stream)) return -1;
    return stream->interface->seek(stream->file, offset, origin);
}

std::int64_t FSTM_Tell(FstmStream* stream) {
    if (!Usable(stream)) return -1;
    return stream->interface->tell(stream->file);
}

std::int64_t FSTM_GetSize(FstmStream* stream) {
    if (!Usable(stream)) return -1;
    return stream->interface->get_size(stream->file);
}

std::int32_t FSTM_GetError(FstmStream* stream) {
    if (!Usable(stream) || stream->interface->get_error == nullptr) return -1;
    return stream->interface->get_error(stream->file);
}
