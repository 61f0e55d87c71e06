// Picture files: the formats plovo writes, outputs that never overwrite what the run reads, and
// a file replaced only by a complete, checked picture.
#include "picture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform.h"

namespace {
// Why writing to `path` fails. Picture libraries report a failed write without the system's
// reason (the graphics library as EFAULT), so one more block is written to find it (a full
// disk, a size limit).
std::string WriteFailureReason(const char* path) {
    int fd = open(path, O_WRONLY | O_APPEND | O_CLOEXEC);
    static const char block[65536] = {};
    bool written = fd >= 0 && write(fd, block, sizeof block) == static_cast<ssize_t>(sizeof block);
    std::string reason = written ? "the picture could not be written" : std::strerror(errno);
    if (fd >= 0) close(fd);
    return reason;
}

// What a path is on disk: the file it names (symbolic links followed), or, while there is none,
// the directory it would be created in and its name there.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;  // empty for an existing file
    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && name == other.name;
    }
};

// The file a path leads to through its symbolic links, at most 40 of them: writing through a
// link replaces what it points to, as an editor's save does, not the link. A relative target
// counts from the link's directory.
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

FileIdentity IdentityOf(std::string path) {
    path = ThroughLinks(path);
    struct stat status;
    if (stat(path.c_str(), &status) == 0) return {status.st_dev, status.st_ino, ""};
    PathParts parts = SplitPath(path);
    if (stat(parts.dir.c_str(), &status) != 0) return {0, 0, path};  // told apart by the path
    return {status.st_dev, status.st_ino, parts.name};
}
}  // namespace

bool PictureFormatKnown(const std::string& path) {
    std::string::size_type dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string extension;
    for (char c : path.substr(dot + 1)) extension += static_cast<char>(std::tolower(c));
    return extension == "png" || extension == "bmp" || extension == "tga" || extension == "pcx";
}

std::string UnwritableError(const std::vector<std::string>& outputs) {
    for (const std::string& output : outputs) {
        std::string dir = SplitPath(ThroughLinks(output)).dir;
        if (access(dir.c_str(), W_OK | X_OK) != 0)
            return "plovo: cannot write '" + Printable(output) + "': " + std::strerror(errno);
    }
    return "";
}

std::string SameFileError(const std::vector<std::string>& inputs,
                          const std::vector<std::string>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        FileIdentity output = IdentityOf(outputs[i]);
        auto clash = [&](const std::string& other, const char* what) {
            if (!(IdentityOf(other) == output)) return std::string();
            return "plovo: cannot write '" + Printable(outputs[i]) +
                   "': it is the same file as the " + what + " '" + Printable(other) + "'";
        };
        for (const std::string& input : inputs)
            if (std::string error = clash(input, "input"); !error.empty()) return error;
        for (std::size_t j = 0; j < i; ++j)
            if (std::string error = clash(outputs[j], "output"); !error.empty()) return error;
    }
    return "";
}

bool ReplaceFile(const std::string& output, const FileStep& write, std::string& error,
                 const FileStep& verify) {
    const std::string path = ThroughLinks(output);
    std::string sibling = CreateSiblingFile(path, error);
    if (sibling.empty()) return false;
    error.clear();
    if (!write(sibling, error) || (verify && !verify(sibling, error))) {
        if (error.empty())
            error = "plovo: cannot write '" + Printable(output) +
                    "': " + WriteFailureReason(sibling.c_str());
        RemoveSiblingFile();
        return false;
    }
    bool replaced = ReplaceWithSibling(path, error);
    if (!replaced) RemoveSiblingFile();
    return replaced;
}

bool WritePicture(BITMAP* picture, const std::string& path, std::string& error) {
    auto save = [picture](const std::string& sibling, std::string&) {
        return save_bitmap(sibling.c_str(), picture, nullptr) == 0;
    };
    // A PNG writer that meets a full disk still reports success, but what it left cannot be
    // read back.
    auto readBack = [picture](const std::string& sibling, std::string&) {
        BITMAP* written = load_bitmap(sibling.c_str(), nullptr);
        bool whole = written != nullptr && written->w == picture->w && written->h == picture->h;
        if (written != nullptr) destroy_bitmap(written);
        return whole;
    };
    return ReplaceFile(path, save, error, readBack);
}
