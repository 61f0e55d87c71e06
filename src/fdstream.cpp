// An output stream buffer onto a file descriptor that keeps why a write failed.
#include "fdstream.h"

#include <unistd.h>

#include <cerrno>

int FdOutputBuffer::overflow(int c) {
    if (sync() != 0) return traits_type::eof();
    if (c != traits_type::eof()) sputc(static_cast<char>(c));
    return traits_type::not_eof(c);
}

int FdOutputBuffer::sync() {
    for (const char* next = pbase(); next < pptr();) {
        ssize_t written = write(fd, next, pptr() - next);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (failure == 0) failure = written < 0 ? errno : EIO;
            setp(bytes, bytes + sizeof bytes);  // dropped: the failure is reported instead
            return -1;
        }
        next += written;
    }
    setp(bytes, bytes + sizeof bytes);
    return 0;
}
