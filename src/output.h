// Outputs: one writer for pictures, plots, exports and tables, with one rule for where the bytes go
// (a file replaced only once complete, a device or a FIFO written into, standard output), the
// checks made before anything is read, and the formats a file's name chooses.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

// The formats of pictures and plots, chosen by a file's extension.
enum class Format { kPng, kBmp, kTga, kPcx, kSvg, kPdf };
enum class FormatUse { kPicture, kPlot };  // the viewer's frames, the report plots
// The format named by `path`'s extension (any case) among those `use` writes. False for any other
// name, with one line in err saying which names are taken.
bool FormatOf(const std::string& path, FormatUse use, Format* format, std::string* err);

// An output stream buffer onto a file descriptor that keeps why a write failed (a stream keeps
// only that it did). A full buffer is written up to its last line feed, the rest kept for the next
// write, so that a table killed by a signal ends on a row boundary; bytes without any line feed
// (a picture) go out a buffer at a time. After a failure the bytes are dropped.
class FdOutputBuffer : public std::streambuf {
  public:
    explicit FdOutputBuffer(int fd);
    int failure = 0;  // errno of the first failed write; 0 while none failed

  protected:
    int overflow(int c) override;
    int sync() override;

  private:
    bool WriteOut(const char* data, std::size_t size);
    void WriteRows();
    int fd;
    bool pipe;  // a pipe or a FIFO, whose reader sees each write as it comes
    char bytes[65536];
};

// Standard output's buffer: std::cout writes through it (GuardStandardStreams) and so does an
// Output opened on "-", so that the two never interleave bytes of their own.
FdOutputBuffer& StandardOutputBuffer();

// How a message names an output: standard output for "-", else the name given in quotes, escaped.
std::string OutputName(const std::string& given);

// Refuses the first output that is the same file (device and inode, symbolic links followed) as
// an input or as another output, with one line in err. An output that does not exist yet is told
// by its directory and name; "-" is standard output, checked where it is a regular file (a shell's
// >> onto a log). Call it before anything is read.
bool CheckOutputsAreNotInputs(const std::vector<std::string>& inputs,
                              const std::vector<std::string>& outputs, std::string* err);

// Refuses the first output that cannot be written: a folder; a file the process may not write
// (as cp and > refuse it); a new file's folder the process may not write in, or that does not
// exist. Call it before anything is read, so that a long pass does not end in that refusal.
bool CheckOutputsWritable(const std::vector<std::string>& outputs, std::string* err);

// Whether `output` is the file standard output writes into (a link to /dev/stdout, a pipe
// reached through /proc/self/fd/1), a regular file only when `regularFileOnly`.
bool IsStandardOutput(const std::string& output, bool regularFileOnly);

// One output being written, by the one open rule: "-", or a link to standard output on a file
// (/dev/stdout after >>), goes to standard output, after what the file held; a device, a FIFO or
// a pipe is written into, as cp writes into it; anything else is written to a hidden sibling
// (.plovo-XXXXXX with the output's extension), synced, and renamed over the output once complete,
// keeping the old file's mode, owner and group where the process may set them. Where the output
// is a symbolic link, the file it leads to is replaced and the link stays. A sibling not
// committed is removed with the object, or by RemoveTempFile on any way out.
class Output {
  public:
    Output();
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Opens `target` as given. False with one line in err naming it.
    bool Open(const std::string& target, std::string* err);
    // The bytes, through a stream or one by one; once a write failed nothing more is written.
    std::ostream& stream() { return out; }
    bool Write(const void* data, std::size_t size);
    bool good() const;
    // Writes out what is buffered and closes the file, which a sibling then is on disk with the
    // old file's attributes, ready to take its place. False with one line in err: the system's
    // reason for the first failed write, or `why` when the writer failed for a reason of its own.
    bool Finish(std::string* err, const std::string& why = "");
    // Renames the sibling over the output (nothing for the others). False with one line in err.
    bool Commit(std::string* err);

  private:
    bool Refused(int errnum, std::string* err) const;
    struct Sibling;
    std::string given;
    std::unique_ptr<Sibling> sibling;  // null but for a replaced file
    int fd = -1;                       // null for standard output
    std::unique_ptr<FdOutputBuffer> buffer;
    std::ostream out{nullptr};
};

// Writes one output whole: opens `target`, has `write` put the bytes into it (false, with the
// reason in its err, when it cannot make them), finishes and commits it. False with one line in
// err, the old file untouched and no sibling left.
using OutputWrite = std::function<bool(Output& out, std::string* why)>;
bool WriteOutput(const std::string& target, const OutputWrite& write, std::string* err);
