// Output files: never an input, refused before anything is read when they cannot be written,
// replaced only by a complete new file, and a device or a FIFO written into, never replaced.
#include "outputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "paths.h"
#include "tempfiles.h"
#include "text.h"

namespace {
// What a path leads to, its links followed by the system (a link of /proc/self/fd to a pipe
// too): a file to replace, or none yet, or one that is written into (a device, a FIFO, a
// socket, a pipe), or a directory.
enum class Kind { kReplaced, kWrittenInto, kDirectory };

Kind KindOf(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return Kind::kReplaced;
    return S_ISDIR(status.st_mode) ? Kind::kDirectory : Kind::kWrittenInto;
}

// Whether `output` can be written; errno says why not. A file written into must be writable
// itself; a file replaced or created needs a new entry in the directory links lead to.
bool Writable(const std::string& output) {
    switch (KindOf(output)) {
        case Kind::kReplaced:
            return access(SplitPath(ThroughLinks(output)).dir.c_str(), W_OK | X_OK) == 0;
        case Kind::kWrittenInto:
            return access(output.c_str(), W_OK) == 0;
        case Kind::kDirectory:
            break;
    }
    errno = EISDIR;
    return false;
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

FileIdentity IdentityOf(std::string path) {
    path = ThroughLinks(path);
    struct stat status;
    if (stat(path.c_str(), &status) == 0) return {status.st_dev, status.st_ino, ""};
    PathParts parts = SplitPath(path);
    if (stat(parts.dir.c_str(), &status) != 0) return {0, 0, path};  // told apart by the path
    return {status.st_dev, status.st_ino, parts.name};
}

// The sibling file being written, and its directory, open while there is a sibling.
std::string siblingPath;
int siblingDir = -1;

void RemoveSiblingFile() {
    if (!siblingPath.empty()) RemoveRegisteredFile(siblingPath);
    siblingPath.clear();
    if (siblingDir >= 0) close(siblingDir);
    siblingDir = -1;
}

// Creates the sibling of `target` (the path links lead to), empty. False with one line in err.
bool CreateSiblingFile(const std::string& target, std::string* err) {
    RemoveSiblingFile();
    auto [dir, name] = SplitPath(target);
    std::string::size_type dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    if (extension.size() > NAME_MAX - 13) extension.clear();  // 13: ".plovo-XXXXXX"
    // The directory stays open: the rename is made relative to it, and a path through it in
    // /proc stays short when the directory's own path leaves no room for the sibling's name.
    int fd = -1;
    bool created = false;
    errno = EISDIR;  // for a target that names no file
    if (!name.empty()) siblingDir = open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (siblingDir >= 0) {
        std::string pattern = dir + "/.plovo-XXXXXX" + extension;
        if (pattern.size() >= PATH_MAX)
            pattern = "/proc/self/fd/" + std::to_string(siblingDir) + "/.plovo-XXXXXX" + extension;
        created =
            CreateRegisteredFile(pattern, static_cast<int>(extension.size()), &fd, &siblingPath);
    }
    if (!created) {
        *err = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(errno);
        RemoveSiblingFile();
        return false;
    }
    close(fd);
    return true;
}

// Gives the file `fd` the mode, owner and group of the regular file `name` in `dir` where the
// process may, or the permissions of a newly created file when there is none.
void TakeOldAttributes(int fd, int dir, const char* name) {
    struct stat old;
    if (fstatat(dir, name, &old, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(old.st_mode)) {
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        return;
    }
    // Owner and group at once (root), else the group alone (an owner in that group); the mode
    // after them, since a change of owner clears the set-user-ID and set-group-ID bits.
    if (fchown(fd, old.st_uid, old.st_gid) != 0 && fchown(fd, -1, old.st_gid) != 0)
        errno = 0;  // neither may be set: the file stays the process's own
    fchmod(fd, old.st_mode & 07777);
}

// Gives the sibling the old file's attributes, writes it to disk and renames it over `target`.
// False with one line in err; the sibling then stays for RemoveSiblingFile.
bool ReplaceWithSibling(const std::string& target, std::string* err) {
    std::string siblingName = FileName(siblingPath);
    std::string name = SplitPath(target).name;
    int fd = openat(siblingDir, siblingName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    bool replaced = fd >= 0;
    if (replaced) {
        TakeOldAttributes(fd, siblingDir, name.c_str());
        // On disk before the rename, so that a crash leaves the old file or the whole new one.
        replaced = fsync(fd) == 0;
    }
    int saved = errno;
    if (fd >= 0) close(fd);
    errno = saved;
    if (!replaced || renameat(siblingDir, siblingName.c_str(), siblingDir, name.c_str()) != 0) {
        *err = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(errno);
        return false;
    }
    ForgetFile(siblingPath);
    siblingPath.clear();
    RemoveSiblingFile();
    return true;
}
}  // namespace

bool CheckOutputsWritable(const std::vector<std::string>& outputs, std::string* err) {
    for (const std::string& output : outputs) {
        if (!Writable(output)) {
            *err = "plovo: cannot write '" + Printable(output) + "': " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool CheckOutputsAreNotInputs(const std::vector<std::string>& inputs,
                              const std::vector<std::string>& outputs, std::string* err) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        FileIdentity output = IdentityOf(outputs[i]);
        auto clash = [&](const std::string& other, const char* what) {
            if (!(IdentityOf(other) == output)) return false;
            *err = "plovo: cannot write '" + Printable(outputs[i]) +
                   "': it is the same file as the " + what + " '" + Printable(other) + "'";
            return true;
        };
        for (const std::string& input : inputs)
            if (clash(input, "input")) return false;
        for (std::size_t j = 0; j < i; ++j)
            if (clash(outputs[j], "output")) return false;
    }
    return true;
}

bool ReplaceFile(const std::string& output, const FileStep& write, std::string* err) {
    std::string reason;
    auto failed = [&](const std::string& why) {
        *err = "plovo: cannot write '" + Printable(output) + "': " + why;
        RemoveSiblingFile();
        return false;
    };
    switch (KindOf(output)) {
        case Kind::kDirectory:
            return failed(std::strerror(EISDIR));
        case Kind::kWrittenInto:
            // As cp writes into it: a file put in place of a device or a FIFO would take it
            // away from whoever uses it (a reader waiting on the FIFO).
            return write(output, &reason) || failed(reason);
        case Kind::kReplaced:
            break;
    }
    const std::string path = ThroughLinks(output);
    if (!CreateSiblingFile(path, err)) return false;
    if (!write(siblingPath, &reason)) return failed(reason);
    bool replaced = ReplaceWithSibling(path, err);
    if (!replaced) RemoveSiblingFile();
    return replaced;
}
