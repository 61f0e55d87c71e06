// Files: path names (the settings file's place, a path's folder and file name, links followed),
// and reads and writes that go on after an interruption.
#include "files.h"

#include <unistd.h>

#include <cerrno>
#include <climits>

std::string IniPathFor(const std::string& argv0) {
    std::string::size_type slash = argv0.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : argv0.substr(0, slash + 1);
    return dir + "plovo.ini";
}

std::string FileName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

PathParts SplitPath(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), FileName(path)};
}

std::string ThroughLinks(std::string path) {
    for (int links = 0; links < 40; ++links) {
        char target[PATH_MAX];
        ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        if (length <= 0) break;
        std::string next(target, static_cast<std::size_t>(length));
        path = next[0] == '/' ? next : SplitPath(path).dir + "/" + next;
    }
    return path;
}

bool WriteAll(int fd, const void* data, std::size_t size, std::size_t* written) {
    const char* bytes = static_cast<const char*>(data);
    *written = 0;
    while (*written < size) {
        ssize_t got = write(fd, bytes + *written, size - *written);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = EIO;
            return false;
        }
        *written += static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAllAt(int fd, const void* data, std::size_t size, off_t offset) {
    const char* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size;) {
        ssize_t got = pwrite(fd, bytes + done, size - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

ssize_t ReadSome(int fd, void* data, std::size_t size) {
    for (;;) {
        ssize_t got = read(fd, data, size);
        if (got >= 0 || errno != EINTR) return got;
    }
}
