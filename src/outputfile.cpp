// Output files: never an input, refused before anything is read when they cannot be written,
// and replaced only by a complete new file.
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
        std::string dir = SplitPath(ThroughLinks(output)).dir;
        if (access(dir.c_str(), W_OK | X_OK) != 0) {
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

SiblingFile::~SiblingFile() {
    Remove();
}

void SiblingFile::Remove() {
    if (!path_.empty()) RemoveRegisteredFile(path_);
    path_.clear();
    if (dir >= 0) close(dir);
    dir = -1;
}

bool SiblingFile::Create(const std::string& output, std::string* err) {
    Remove();
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
        created = CreateRegisteredFile(pattern, static_cast<int>(extension.size()), &fd, &path_);
    }
    if (!created) {
        *err = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(errno);
        Remove();
        return false;
    }
    close(fd);
    return true;
}

bool SiblingFile::Commit(std::string* err) {
    std::string siblingName = FileName(path_);
    std::string name = SplitPath(target).name;
    int fd = openat(dir, siblingName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    bool replaced = fd >= 0;
    if (replaced) {
        TakeOldAttributes(fd, dir, name.c_str());
        // On disk before the rename, so that a crash leaves the old file or the whole new one.
        replaced = fsync(fd) == 0;
    }
    int saved = errno;
    if (fd >= 0) close(fd);
    errno = saved;
    if (!replaced || renameat(dir, siblingName.c_str(), dir, name.c_str()) != 0) {
        *err = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(errno);
        return false;
    }
    ForgetFile(path_);
    path_.clear();
    Remove();
    return true;
}

bool ReplaceFile(const std::string& output, const FileStep& write, std::string* err,
                 const FileStep& verify) {
    SiblingFile sibling;
    if (!sibling.Create(output, err)) return false;
    err->clear();
    if (!write(sibling.path(), err) || (verify && !verify(sibling.path(), err))) {
        if (err->empty())
            *err = "plovo: cannot write '" + Printable(output) +
                   "': " + WriteFailureReason(sibling.path().c_str());
        return false;
    }
    return sibling.Commit(err);
}
