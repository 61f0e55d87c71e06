// Output files: never an input, refused before anything is read when they cannot be written,
// and replaced only by a complete new file.
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
// exist), with one line in err. Call it before anything is read, so that a long extraction does
// not end in that refusal.
bool CheckOutputsWritable(const std::vector<std::string>& outputs, std::string* err);

// A new file written beside an output (the file its links lead to) under a hidden name,
// .plovo-XXXXXX with the output's extension, which tells a writer the format. Commit renames it
// over the output, which then keeps the old file's mode, and its owner and group where the
// process may set them; until then the sibling is removed with the object, or by RemoveTempFile
// on any way out.
class SiblingFile {
  public:
    SiblingFile() = default;
    ~SiblingFile();
    SiblingFile(const SiblingFile&) = delete;
    SiblingFile& operator=(const SiblingFile&) = delete;

    // Creates the sibling of `output`, empty. False with one line in err.
    bool Create(const std::string& output, std::string* err);
    // Its path, for writing it.
    const std::string& path() const { return path_; }
    // Writes it to disk and renames it over the output. False with one line in err.
    bool Commit(std::string* err);

  private:
    void Remove();
    std::string target;  // the output through its links
    std::string path_;   // the sibling's, "" when there is none
    int dir = -1;        // the output's directory, open while there is a sibling
};

// Writes or checks the file at `path` (a sibling of the output, created empty); false when it
// could not, with one line in err or, left empty, the system's reason found for it.
using FileStep = std::function<bool(const std::string& path, std::string* err)>;

// Replaces `path` with what `write` puts into a hidden file beside it (.plovo-XXXXXX with the
// output's extension, which tells a writer the format), once `verify` (when given) accepts it:
// an existing file is replaced only by a complete one, which keeps its mode, and its owner and
// group where the process may set them. Where `path` is a symbolic link, the file it leads to is
// replaced and the link stays. On failure `path` is untouched, the sibling is removed, and err
// holds one line.
bool ReplaceFile(const std::string& path, const FileStep& write, std::string* err,
                 const FileStep& verify = nullptr);
