// Reading a log's data lines once, from its first byte to its end, into a line sink.
#include "logreader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "logformat.h"
#include "text.h"

namespace {
std::string Failure(const char* what, const std::string& path, int errnum) {
    return "plovo: cannot " + std::string(what) + " log '" + Printable(path) +
           "': " + std::strerror(errnum);
}

// The log open for reading, or -1 with errno set, also for a directory.
int Open(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status;
    if (fd >= 0 && fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(fd);
        fd = -1;
        errno = EISDIR;
    }
    if (fd >= 0) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return fd;
}
}  // namespace

bool LogReader::Read(const std::string& path, const std::vector<int>& columns, LineSink& sink,
                     const std::function<bool()>& goOn, std::string* err) {
    int fd = Open(path);
    if (fd < 0) {
        *err = Failure("open", path, errno);
        return false;
    }
    block.resize(kBlockSize);
    ColumnScanner scanner(columns);
    std::size_t headerLeft = kHeaderSize;  // skipped as it is read, so FIFOs work too
    ssize_t got = 0;
    while (goOn() && (got = read(fd, block.data(), block.size())) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        std::size_t skip = std::min(headerLeft, static_cast<std::size_t>(got));
        headerLeft -= skip;
        scanner.Feed(block.data() + skip, static_cast<std::size_t>(got) - skip, sink);
    }
    int readErrno = errno;
    close(fd);
    if (got < 0) {
        *err = Failure("read", path, readErrno);
        return false;
    }
    scanner.Finish(sink);
    return true;
}
