// A file written through a stream that keeps the first error: for the picture writers (cairo's,
// the graphics library's) that report only that a write failed, never why.
#include "sink.h"

#include <cerrno>
#include <cstring>

Sink::~Sink() {
    if (file != nullptr) std::fclose(file);
}

bool Sink::Open(const std::string& path, std::string* err) {
    // Appending: a new sibling is empty, a device or a FIFO has no end, and standard output on a
    // file keeps what the shell's >> left there.
    file = std::fopen(path.c_str(), "abe");
    if (file == nullptr) *err = std::strerror(errno);
    return file != nullptr;
}

bool Sink::Write(const void* data, std::size_t length) {
    // A failed write sets errno; EIO only should a library ever leave it unset.
    if (error == 0 && std::fwrite(data, 1, length, file) != length) error = errno ? errno : EIO;
    return error == 0;
}

bool Sink::Put(unsigned char byte) {
    if (error == 0 && putc_unlocked(byte, file) == EOF) error = errno ? errno : EIO;
    return error == 0;
}

bool Sink::Close(std::string* err) {
    errno = 0;
    // Close's failure is the buffered rest's failed write.
    if (std::fclose(file) != 0 && error == 0) error = errno ? errno : EIO;
    file = nullptr;
    if (error != 0) *err = std::strerror(error);
    return error == 0;
}

cairo_status_t WriteToSink(void* sink, const unsigned char* data, unsigned int length) {
    bool written = static_cast<Sink*>(sink)->Write(data, length);
    return written ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}
