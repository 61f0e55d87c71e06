// Output files: never an input, refused before anything is read when they cannot be written,
// replaced only by a complete new file, and a device or a FIFO written into, never replaced.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Refuses the first output that is the same file (device and inode, symbolic links followed) as
// an input or as another output, with one line in err. An output that does not exist yet is
// told by its directory and name. Call it before anything is read, so that an output can never
// replace the log it was made from.
bool CheckOutputsAreNotInputs(const std::vector<std::string>& inputs,
                              const std::vector<std::string>& outputs, std::string* err);

// Refuses the first output whose directory the process may not write in (or that does not
// exist), or that is a directory, or a device or a FIFO the process may not write, with one
// line in err. Call it before anything is read, so that a long extraction does
// not end in that refusal.
bool CheckOutputsWritable(const std::vector<std::string>& outputs, std::string* err);

// Whether `output` is the file standard output writes into (a link to /dev/stdout, a pipe
// reached through /proc/self/fd/1), a regular file only when `regularFileOnly`.
bool IsStandardOutput(const std::string& output, bool regularFileOnly);
// Whether one of `outputs` is, so that no message goes where the output goes.
bool WritesStandardOutput(const std::vector<std::string>& outputs);

// A file being written for an output: a hidden file beside it (.plovo-XXXXXX with the extension
// of the file replaced) that Commit renames over it, which then keeps the old file's mode, and
// its owner and group where the process may set them; or, for an existing file that is neither
// a regular file nor a directory (a device, a FIFO, a pipe), that file itself, written into and
// never replaced. A directory is refused. Where the output is a symbolic link, the file it leads
// to is replaced and the link stays. A hidden file not committed is removed with the object, or
// by RemoveTempFile on any way out.
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the hidden file of `output`, empty, or takes the device or FIFO. False with one
    // line in err.
    bool Create(const std::string& output, std::string* err);
    // The path to write.
    const std::string& path() const { return path_; }
    // Makes the hidden file ready to take the output's place: the old file's attributes, on
    // disk; refused when the output has become a folder. False with one line in err, nothing
    // replaced; so several outputs can all be made ready before any is replaced.
    bool Prepare(std::string* err);
    // Prepares the hidden file, when not done, and renames it over the output. False with one
    // line in err.
    bool Commit(std::string* err);

  private:
    void Remove();
    std::string target;     // the output through its links
    std::string path_;      // to write
    std::string sibling;    // the hidden file's, "" when there is none
    int dir = -1;           // the output's directory, open while there is a hidden file
    bool prepared = false;  // the hidden file is on disk with the old file's attributes
};

// Writes the file at `path` (created empty, or a device or a FIFO); false when it could not,
// with the reason in err (one line such as "No space left on device").
using FileStep = std::function<bool(const std::string& path, std::string* err)>;

// Replaces `path` with what `write` puts into its OutputFile: an existing file is replaced only
// by a complete one; a device or a FIFO is written into. On failure a replaced `path` is
// untouched, the hidden file is removed, and err holds one line.
bool ReplaceFile(const std::string& path, const FileStep& write, std::string* err);
