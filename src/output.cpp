// Outputs: one writer for pictures, plots, exports and tables, with one rule for where the bytes go
// (a file replaced only once complete, a device or a FIFO written into, standard output), the
// checks made before anything is read, and the formats a file's name chooses.
#include "output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "files.h"
#include "signals.h"
#include "tempfiles.h"
#include "text.h"

namespace {
const struct KnownFormat {
    const char* extension;
    Format format;
    bool picture, plot;  // written by the viewer's pictures, by the report plots
} kFormats[] = {{"png", Format::kPng, true, true},  {"bmp", Format::kBmp, true, false},
                {"tga", Format::kTga, true, false}, {"pcx", Format::kPcx, true, false},
                {"svg", Format::kSvg, false, true}, {"pdf", Format::kPdf, false, true}};

// What a path leads to, its links followed by the system (a link of /proc/self/fd to a pipe
// too): a file to replace, or none yet, or one that is written into (a device, a FIFO, a
// socket, a pipe, standard output on a file), or a directory.
enum class Kind { kReplaced, kWrittenInto, kDirectory };

Kind KindOf(const std::string& path) {
    struct stat status;
    // Standard output on a file (a link to /dev/stdout, with > or >>): written after what the
    // shell left there, as a pipe would be, never renamed over what >> keeps.
    if (IsStandardOutput(path, true)) return Kind::kWrittenInto;
    if (stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return Kind::kReplaced;
    return S_ISDIR(status.st_mode) ? Kind::kDirectory : Kind::kWrittenInto;
}

// Whether `output` can be written; errno says why not. A file written into, or replaced, must be
// writable itself (as cp and > refuse one that is not); a file replaced or created needs a new
// entry in the directory links lead to. A path that can name no file (a loop of links, a name
// under a file) is refused for that.
bool Writable(const std::string& output) {
    struct stat status;
    bool exists = stat(output.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) return false;
    switch (KindOf(output)) {
        case Kind::kReplaced:
            if (exists && access(output.c_str(), W_OK) != 0) return false;
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
// the directory it would be created in and its name there. Standard output ("-") is the file it
// is open on, where that is a regular file; else nothing any path names.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;  // empty for an existing file
    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && name == other.name;
    }
};

FileIdentity IdentityOf(std::string path) {
    struct stat status;
    if (path == "-") {
        bool file = fstat(STDOUT_FILENO, &status) == 0 && S_ISREG(status.st_mode);
        return file ? FileIdentity{status.st_dev, status.st_ino, ""} : FileIdentity{0, 0, "-"};
    }
    path = ThroughLinks(path);
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

bool FormatOf(const std::string& path, FormatUse use, Format* format, std::string* err) {
    std::string::size_type dot = path.rfind('.');
    std::string extension;
    if (dot != std::string::npos && path.find('/', dot) == std::string::npos)
        extension = LowercaseAscii(path.substr(dot + 1));
    for (const KnownFormat& known : kFormats)
        if (extension == known.extension &&
            (use == FormatUse::kPicture ? known.picture : known.plot)) {
            *format = known.format;
            return true;
        }
    if (use == FormatUse::kPicture)
        return Refuse(err, "plovo: cannot save a picture as '" + Printable(path) +
                               "': the name must end in .png, .bmp, .tga or .pcx");
    return Refuse(err, "plovo: cannot write a plot as '" + Printable(path) +
                           "': the name must end in .png, .svg or .pdf");
}

FdOutputBuffer::FdOutputBuffer(int fd) : fd(fd) {
    struct stat status;
    pipe = fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode);
    setp(bytes, bytes + sizeof bytes);
}

// Writes out whole rows: the buffer up to its last line feed, or all of it when it holds none.
void FdOutputBuffer::WriteRows() {
    const char* end = pptr();
    const void* lf = memrchr(pbase(), '\n', static_cast<std::size_t>(end - pbase()));
    const char* cut = lf != nullptr ? static_cast<const char*>(lf) + 1 : end;
    WriteOut(pbase(), static_cast<std::size_t>(cut - pbase()));
    std::size_t rest = static_cast<std::size_t>(end - cut);
    std::memmove(bytes, cut, rest);
    setp(bytes, bytes + sizeof bytes);
    pbump(static_cast<int>(rest));
}

bool FdOutputBuffer::WriteOut(const char* data, std::size_t size) {
    // Into a pipe, each write is at most PIPE_BUF bytes ending on a row: the system makes such a
    // write whole or not at all, so that a signal that ends plovo while the reader lags leaves no
    // half row there.
    const std::size_t most = pipe ? PIPE_BUF : size;
    while (size > 0 && failure == 0) {
        std::size_t piece = std::min(most, size);
        const void* lf = piece < size ? memrchr(data, '\n', piece) : nullptr;
        if (lf != nullptr)
            piece = static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
        std::size_t written = 0;
        BeginOutputWrite();
        if (!WriteAll(fd, data, piece, &written)) failure = errno != 0 ? errno : EIO;
        EndOutputWrite();
        data += piece;
        size -= piece;
    }
    return failure == 0;  // after a failure the bytes are dropped: the failure is reported instead
}

int FdOutputBuffer::overflow(int c) {
    WriteRows();
    if (failure != 0) return traits_type::eof();
    if (c != traits_type::eof()) sputc(static_cast<char>(c));
    return traits_type::not_eof(c);
}

int FdOutputBuffer::sync() {
    bool written = WriteOut(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(bytes, bytes + sizeof bytes);
    return written ? 0 : -1;
}

FdOutputBuffer& StandardOutputBuffer() {
    // Never destroyed, so that std::cout can flush into it at exit.
    static FdOutputBuffer& buffer = *new FdOutputBuffer(STDOUT_FILENO);
    return buffer;
}

std::string OutputName(const std::string& given) {
    return given == "-" ? "standard output" : "'" + Printable(given) + "'";
}

bool CheckOutputsWritable(const std::vector<std::string>& outputs, std::string* err) {
    for (const std::string& output : outputs)
        if (output != "-" && !Writable(output))
            return Refuse(
                err, "plovo: cannot write " + OutputName(output) + ": " + std::strerror(errno));
    return true;
}

bool IsStandardOutput(const std::string& output, bool regularFileOnly) {
    struct stat out, file;
    return fstat(STDOUT_FILENO, &out) == 0 && (!regularFileOnly || S_ISREG(out.st_mode)) &&
           stat(output.c_str(), &file) == 0 && file.st_dev == out.st_dev &&
           file.st_ino == out.st_ino;
}

bool CheckOutputsAreNotInputs(const std::vector<std::string>& inputs,
                              const std::vector<std::string>& outputs, std::string* err) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        FileIdentity output = IdentityOf(outputs[i]);
        if (output.name == "-") continue;  // standard output on no file
        auto clash = [&](const std::string& other, const char* what) {
            if (!(IdentityOf(other) == output)) return false;
            *err = "plovo: cannot write " + OutputName(outputs[i]) +
                   ": it is the same file as the " + what + " " + OutputName(other);
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

// The hidden file a replaced output is written to, beside it, and renamed over it once complete.
struct Output::Sibling {
    std::string target;  // the output through its links
    std::string path;    // the hidden file's, "" once renamed
    int dir = -1;        // the output's directory, open while there is a hidden file
    bool prepared = false;

    ~Sibling() {
        if (!path.empty()) RemoveRegisteredFile(path);
        if (dir >= 0) close(dir);
    }

    // Creates the hidden file, empty; false with errno set.
    bool Create(const std::string& output) {
        target = ThroughLinks(output);
        auto [folder, name] = SplitPath(target);
        std::string::size_type dot = name.rfind('.');
        std::string extension = dot == std::string::npos ? "" : name.substr(dot);
        if (extension.size() > NAME_MAX - 13) extension.clear();  // 13: ".plovo-XXXXXX"
        // The directory stays open: the rename is made relative to it, and a path through it in
        // /proc stays short when the directory's own path leaves no room for the sibling's name.
        errno = EISDIR;  // for a target that names no file
        if (!name.empty()) dir = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0) return false;
        std::string pattern = folder + "/.plovo-XXXXXX" + extension;
        if (pattern.size() >= PATH_MAX)
            pattern = "/proc/self/fd/" + std::to_string(dir) + "/.plovo-XXXXXX" + extension;
        int fd = -1;
        if (!CreateRegisteredFile(pattern, static_cast<int>(extension.size()), &fd, &path))
            return false;
        close(fd);
        return true;
    }

    // Gives the hidden file the old file's attributes and puts it on disk, so that a crash leaves
    // the old file or the whole new one; refused when the name has become a folder meanwhile.
    // False with errno set.
    bool Prepare() {
        if (prepared) return true;
        std::string name = SplitPath(target).name;
        struct stat now;
        if (fstatat(dir, name.c_str(), &now, 0) == 0 && S_ISDIR(now.st_mode)) {
            errno = EISDIR;
            return false;
        }
        int fd = openat(dir, FileName(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return false;
        TakeOldAttributes(fd, dir, name.c_str());
        prepared = fsync(fd) == 0;
        int saved = errno;
        close(fd);
        errno = saved;
        return prepared;
    }

    bool Rename() {
        if (!Prepare()) return false;
        if (renameat(dir, FileName(path).c_str(), dir, SplitPath(target).name.c_str()) != 0)
            return false;
        ForgetFile(path);
        path.clear();
        return true;
    }
};

Output::Output() = default;

Output::~Output() {
    if (fd >= 0) close(fd);
}

bool Output::Refused(int errnum, std::string* err) const {
    return Refuse(err, "plovo: cannot write " + OutputName(given) + ": " + std::strerror(errnum));
}

bool Output::Open(const std::string& target, std::string* err) {
    given = target;
    if (target == "-" || IsStandardOutput(target, true)) {
        out.rdbuf(&StandardOutputBuffer());
        return true;
    }
    std::string path = target;
    switch (KindOf(target)) {
        case Kind::kDirectory:
            return Refused(EISDIR, err);
        case Kind::kWrittenInto:
            break;
        case Kind::kReplaced:
            sibling = std::make_unique<Sibling>();
            if (!sibling->Create(target)) {
                int saved = errno;
                sibling.reset();
                return Refused(saved, err);
            }
            path = sibling->path;
            break;
    }
    // Appending: a new sibling is empty, and a device or a FIFO has no end.
    fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return Refused(errno, err);
    buffer = std::make_unique<FdOutputBuffer>(fd);
    out.rdbuf(buffer.get());
    return true;
}

bool Output::Write(const void* data, std::size_t size) {
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return good();
}

bool Output::good() const {
    const FdOutputBuffer* bytes = buffer ? buffer.get() : &StandardOutputBuffer();
    return out.good() && bytes->failure == 0;
}

bool Output::Finish(std::string* err, const std::string& why) {
    out.flush();
    // Standard output's failure is reported once, at the end, as for every line written there.
    if (!buffer) return why.empty() || Refuse(err, "plovo: cannot write standard output: " + why);
    if (fd >= 0 && close(fd) != 0 && buffer->failure == 0) buffer->failure = errno;
    fd = -1;
    if (buffer->failure != 0) return Refused(buffer->failure, err);  // the system's reason first
    if (!why.empty()) return Refuse(err, "plovo: cannot write " + OutputName(given) + ": " + why);
    return !sibling || sibling->Prepare() || Refused(errno, err);
}

bool Output::Commit(std::string* err) {
    if (!sibling) return true;
    if (!sibling->Rename()) return Refused(errno, err);
    sibling.reset();
    return true;
}

bool WriteOutput(const std::string& target, const OutputWrite& write, std::string* err) {
    Output output;
    if (!output.Open(target, err)) return false;
    std::string why;
    bool made = write(output, &why);
    if (!made && why.empty()) why = "the output could not be made";
    return output.Finish(err, made ? "" : why) && output.Commit(err);
}
