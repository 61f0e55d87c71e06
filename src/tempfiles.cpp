// The files plovo creates and must not leave behind, whichever way it ends.
#include "tempfiles.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "text.h"

namespace {
// Fixed buffers rather than std::strings, so that a signal handler may read them. Enough for
// the temporary files of a log and a compared one with the longest list of chart types (32,
// the time and the distance each: 68) and the outputs' siblings.
constexpr int kRegistrySize = 96;
char registry[kRegistrySize][PATH_MAX];

int EntryOf(const std::string& path) {
    for (int i = 0; i < kRegistrySize; ++i)
        if (registry[i][0] != '\0' && path == registry[i]) return i;
    return -1;
}

void Forget(int entry) {
    if (entry >= 0) registry[entry][0] = '\0';
}

void Remove(int entry) {
    if (entry < 0) return;
    unlink(registry[entry]);
    Forget(entry);
}
}  // namespace

bool CreateRegisteredFile(const std::string& pattern, int suffixLength, int* fd,
                          std::string* path) {
    if (pattern.size() >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return false;
    }
    char candidate[PATH_MAX];
    std::memcpy(candidate, pattern.c_str(), pattern.size() + 1);
    int entry = 0;
    while (entry < kRegistrySize && registry[entry][0] != '\0') ++entry;
    if (entry == kRegistrySize) {
        errno = EMFILE;  // plovo's own limit of files, not the disk's: no ENOSPC
        return false;
    }
    // Every signal held for the moment between the file's creation and its entry.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    // mkstemps opens with O_CREAT | O_EXCL and mode 0600: no clobbering, no link following.
    *fd = mkstemps(candidate, suffixLength);
    int saved = errno;
    if (*fd >= 0) std::memcpy(registry[entry], candidate, PATH_MAX);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = saved;
    if (*fd < 0) return false;
    *path = candidate;
    return true;
}

void ForgetFile(const std::string& path) {
    Forget(EntryOf(path));
}

void RemoveRegisteredFile(const std::string& path) {
    Remove(EntryOf(path));
}

bool CreatePrivateFile(const std::string& suffix, int* fd, std::string* path, std::string* err) {
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr || *dir == '\0') dir = "/tmp";
    if (CreateRegisteredFile(std::string(dir) + "/plovo-XXXXXX" + suffix,
                             static_cast<int>(suffix.size()), fd, path))
        return true;
    *err =
        "plovo: cannot create temporary file in '" + Printable(dir) + "': " + std::strerror(errno);
    return false;
}

void RemoveTempFile() {
    for (int i = 0; i < kRegistrySize; ++i)
        if (registry[i][0] != '\0') {
            unlink(registry[i]);
            registry[i][0] = '\0';
        }
}
