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

// Writes the file at `path` (created empty, or a device or a FIFO); false when it could not,
// with the reason in err (one line such as "No space left on device").
using FileStep = std::function<bool(const std::string& path, std::string* err)>;

// Replaces `path` with what `write` puts into a hidden file beside it (.plovo-XXXXXX with the
// extension of the file replaced): an existing file is replaced only by a complete one, which
// keeps its mode, and its owner and group where the process may set them. Where `path` is a
// symbolic link, the file it leads to is replaced and the link stays. An existing file that is
// neither a regular file nor a directory (a device, a FIFO, a pipe) is written into instead,
// never replaced; a directory is refused. On failure a replaced `path` is untouched, the hidden
// file is removed, and err holds one line.
bool ReplaceFile(const std::string& path, const FileStep& write, std::string* err);
