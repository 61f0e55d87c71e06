// Output files: never an input, refused before anything is read when they cannot be written,
// replaced only by a complete new file, and a device or a FIFO written into, never replaced.
#include "outputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
    // Standard output on a file (a link to /dev/stdout, with > or >>): written after what the
    // shell left there, as a pipe would be, never renamed over what >> keeps.
    if (IsStandardOutput(path, true)) return Kind::kWrittenInto;
    if (stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return Kind::kReplaced;
    return S_ISDIR(status.st_mode) ? Kind::kDirectory : Kind::kWrittenInto;
}

// Whether `output` can be written; errno says why not. A file written into must be writable
// itself; a file replaced or created needs a new entry in the directory links lead to. A path
// that can name no file (a loop of links, a name under a file) is refused for that.
bool Writable(const std::string& output) {
    struct stat status;
    if (stat(output.c_str(), &status) != 0 && errno != ENOENT) return false;
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

bool IsStandardOutput(const std::string& output, bool regularFileOnly) {
    struct stat out, file;
    return fstat(STDOUT_FILENO, &out) == 0 && (!regularFileOnly || S_ISREG(out.st_mode)) &&
           stat(output.c_str(), &file) == 0 && file.st_dev == out.st_dev &&
           file.st_ino == out.st_ino;
}

bool WritesStandardOutput(const std::vector<std::string>& outputs) {
    return std::any_of(outputs.begin(), outputs.end(),
                       [](const std::string& output) { return IsStandardOutput(output, false); });
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
        // Two outputs may share a device such as /dev/null, which keeps nothing to lose.
        struct stat status;
        bool device = stat(outputs[i].c_str(), &status) == 0 && S_ISCHR(status.st_mode);
        for (std::size_t j = 0; j < i && !device; ++j)
            if (clash(outputs[j], "output")) return false;
    }
    return true;
}

OutputFile::~OutputFile() {
    Remove();
}

void OutputFile::Remove() {
    if (!sibling.empty()) RemoveRegisteredFile(sibling);
    sibling.clear();
    if (dir >= 0) close(dir);
    dir = -1;
}

bool OutputFile::Create(const std::string& output, std::string* err) {
    Remove();
    switch (KindOf(output)) {
        case Kind::kDirectory:
            *err = "plovo: cannot write '" + Printable(output) + "': " + std::strerror(EISDIR);
            return false;
        case Kind::kWrittenInto:
            // As cp writes into it: a file put in place of a device or a FIFO would take it
            // away from whoever uses it (a reader waiting on the FIFO).
            path_ = output;
            return true;
        case Kind::kReplaced:
            break;
    }
    target = ThroughLinks(output);
    auto [folder, name] = SplitPath(target);
    std::string::size_type dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    if (extension.size() > NAME_MAX - 13) extension.clear();  // 13: ".plovo-XXXXXX"
    // The directory stays open: the rename is made relative to it, and a path through it in
    // /proc stays short when the directory's own path leaves no room for the sibling's name.
    int fd = -1;
    bool created = false;
    errno = EISDIR;  // for a target that names no file
    if (!name.empty()) dir = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        std::string pattern = folder + "/.plovo-XXXXXX" + extension;
        if (pattern.size() >= PATH_MAX)
            pattern = "/proc/self/fd/" + std::to_string(dir) + "/.plovo-XXXXXX" + extension;
        created = CreateRegisteredFile(pattern, static_cast<int>(extension.size()), &fd, &sibling);
    }
    if (!created) {
        *err = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(errno);
        Remove();
        return false;
    }
    close(fd);
    path_ = sibling;
    return true;
}

bool OutputFile::Prepare(std::string* err) {
    if (sibling.empty() || prepared) return true;  // written into, or ready
    std::string siblingName = FileName(sibling);
    std::string name = SplitPath(target).name;
    // A name that has become a folder meanwhile could not be replaced.
    struct stat now;
    if (fstatat(dir, name.c_str(), &now, 0) == 0 && S_ISDIR(now.st_mode)) {
        *err = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(EISDIR);
        return false;
    }
    int fd = openat(dir, siblingName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    prepared = fd >= 0;
    if (prepared) {
        TakeOldAttributes(fd, dir, name.c_str());
        // On disk before the rename, so that a crash leaves the old file or the whole new one.
        prepared = fsync(fd) == 0;
    }
    int saved = errno;
    if (fd >= 0) close(fd);
    if (!prepared)
        *err = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(saved);
    return prepared;
}

bool OutputFile::Commit(std::string* err) {
    if (sibling.empty()) return true;  // written into
    if (!Prepare(err)) return false;
    std::string siblingName = FileName(sibling);
    if (renameat(dir, siblingName.c_str(), dir, SplitPath(target).name.c_str()) != 0) {
        *err = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(errno);
        return false;
    }
    ForgetFile(sibling);
    sibling.clear();
    Remove();
    return true;
}

bool ReplaceFile(const std::string& output, const FileStep& write, std::string* err) {
    OutputFile file;
    if (!file.Create(output, err)) return false;
    std::string reason;
    if (!write(file.path(), &reason)) {
        *err = "plovo: cannot write '" + Printable(output) + "': " + reason;
        return false;
    }
    return file.Commit(err);
}
