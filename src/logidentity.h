// What plovo knows of a followed log's file, to tell the run it reads growing from a new run
// written over it.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The file (device and inode, and whether it is a regular file, whose size tells what is new),
// how much of it was read, its ctime when last read on, and pieces of what was read: its first
// kHeadSize bytes, kProbeSize bytes at each power of two from kFirstProbe on, and its last
// kTailSize bytes. A new run written over the log in place is told by any of them changing; one
// that keeps all of them, and is at least as long, is taken for the old run growing.
class LogIdentity {
  public:
    static constexpr std::size_t kHeadSize = 4096;     // bytes: the header and about 15 lines
    static constexpr std::size_t kTailSize = 4096;     // bytes: about 15 lines
    static constexpr std::int64_t kFirstProbe = 8192;  // bytes
    static constexpr std::size_t kProbeSize = 64;      // bytes

    // Starts on the file open on `fd`, to be read from its first byte.
    void Open(int fd);
    // Starts again from the file's first byte, the same file.
    void Restart();
    // Takes the next bytes read from the file.
    void Read(const char* bytes, std::size_t size);

    std::int64_t offset() const { return offset_; }
    bool regular() const { return regular_; }
    // Whether `named` (stat of the log's path) is the file this identity describes.
    bool IsFile(const struct stat& named) const;
    // Whether `named` is that file, neither written nor cut since the last NoteChange: the same
    // size as read, the same ctime (every write and truncation sets it).
    bool Unchanged(const struct stat& named) const;
    void NoteChange(const struct stat& named);
    // Whether the file open on `fd` still holds every piece kept: false when it was cut shorter
    // or written over since they were read. A failed read counts as written over, as taking the
    // log again is safe.
    bool StillHolds(int fd) const;

  private:
    struct Piece {
        std::int64_t at = 0;  // offset in the file
        std::string bytes;    // as read, up to its size
        std::size_t size = 0;
    };
    static void Fill(Piece& piece, const char* bytes, std::size_t size, std::int64_t from);

    dev_t device = 0;
    ino_t inode = 0;
    bool regular_ = true;
    std::int64_t offset_ = 0;
    timespec changed = {};
    Piece head;
    std::vector<Piece> probes;
    std::string tail;  // the last bytes read, up to kTailSize, ending at offset_
};
