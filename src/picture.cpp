// Picture files: the formats plovo writes, and a file replaced only by a complete picture.
#include "picture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform.h"

namespace {
// Why writing to `path` fails. The graphics library reports every failed write as EFAULT, so
// one more block is written to find the system's own reason (a full disk, a size limit).
std::string WriteFailureReason(const char* path) {
    int fd = open(path, O_WRONLY | O_APPEND | O_CLOEXEC);
    static const char block[65536] = {};
    bool written = fd >= 0 && write(fd, block, sizeof block) == static_cast<ssize_t>(sizeof block);
    std::string reason = written ? "the picture could not be written" : std::strerror(errno);
    if (fd >= 0) close(fd);
    return reason;
}

// Saves the picture by its file name's extension, and reads it back: a PNG writer that meets a
// full disk still reports success, but what it left cannot be read.
bool SavePicture(const char* path, BITMAP* picture) {
    if (save_bitmap(path, picture, nullptr) != 0) return false;
    BITMAP* written = load_bitmap(path, nullptr);
    bool whole = written != nullptr && written->w == picture->w && written->h == picture->h;
    if (written != nullptr) destroy_bitmap(written);
    return whole;
}
}  // namespace

bool PictureFormatKnown(const std::string& path) {
    std::string::size_type dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string extension;
    for (char c : path.substr(dot + 1)) extension += static_cast<char>(std::tolower(c));
    return extension == "png" || extension == "bmp" || extension == "tga" || extension == "pcx";
}

bool WritePicture(BITMAP* picture, const std::string& path, std::string& error) {
    std::string sibling = CreateSiblingFile(path, error);
    if (sibling.empty()) return false;
    if (!SavePicture(sibling.c_str(), picture)) {
        error =
            "plovo: cannot write '" + Printable(path) + "': " + WriteFailureReason(sibling.c_str());
        return false;
    }
    return ReplaceWithSibling(path, error);
}
