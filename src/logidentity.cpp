// What plovo knows of a followed log's file, to tell the run it reads growing from a new run
// written over it.
#include "logidentity.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {
// Whether the file open on `fd` holds `bytes` at offset `at`.
bool Holds(int fd, const std::string& bytes, std::int64_t at) {
    if (bytes.empty()) return true;
    std::string now(bytes.size(), '\0');
    ssize_t got = pread(fd, now.data(), now.size(), static_cast<off_t>(at));
    return got == static_cast<ssize_t>(bytes.size()) && now == bytes;
}
}  // namespace

void LogIdentity::Open(int fd) {
    struct stat status = {};
    fstat(fd, &status);
    device = status.st_dev;
    inode = status.st_ino;
    regular_ = S_ISREG(status.st_mode);
    Restart();
}

void LogIdentity::Restart() {
    offset_ = 0;
    head = {0, "", kHeadSize};
    probes.clear();
    tail.clear();
}

void LogIdentity::Fill(Piece& piece, const char* bytes, std::size_t size, std::int64_t from) {
    std::int64_t start = piece.at + static_cast<std::int64_t>(piece.bytes.size());
    std::int64_t end = std::min(piece.at + static_cast<std::int64_t>(piece.size),
                                from + static_cast<std::int64_t>(size));
    if (start < from || start >= end) return;
    piece.bytes.append(bytes + (start - from), static_cast<std::size_t>(end - start));
}

void LogIdentity::Read(const char* bytes, std::size_t size) {
    const std::int64_t from = offset_;
    offset_ += static_cast<std::int64_t>(size);
    Fill(head, bytes, size, from);
    // A new probe for each power of two reached, then the one being filled.
    std::int64_t next = probes.empty() ? kFirstProbe : probes.back().at * 2;
    for (; next < offset_; next *= 2) probes.push_back({next, "", kProbeSize});
    for (auto probe = probes.rbegin();
         probe != probes.rend() && probe->at + static_cast<std::int64_t>(kProbeSize) > from;
         ++probe)
        Fill(*probe, bytes, size, from);
    std::size_t keep = std::min(size, kTailSize);
    tail.append(bytes + size - keep, keep);
    if (tail.size() > kTailSize) tail.erase(0, tail.size() - kTailSize);
}

bool LogIdentity::IsFile(const struct stat& named) const {
    return named.st_dev == device && named.st_ino == inode;
}

bool LogIdentity::Unchanged(const struct stat& named) const {
    return regular_ && IsFile(named) && named.st_size == offset_ &&
           named.st_ctim.tv_sec == changed.tv_sec && named.st_ctim.tv_nsec == changed.tv_nsec;
}

void LogIdentity::NoteChange(const struct stat& named) {
    changed = named.st_ctim;
}

bool LogIdentity::StillHolds(int fd) const {
    if (!Holds(fd, tail, offset_ - static_cast<std::int64_t>(tail.size()))) return false;
    if (!Holds(fd, head.bytes, head.at)) return false;
    return std::all_of(probes.begin(), probes.end(),
                       [fd](const Piece& probe) { return Holds(fd, probe.bytes, probe.at); });
}
