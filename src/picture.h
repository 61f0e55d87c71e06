// Picture files: the formats plovo writes, outputs that never overwrite what the run reads, and
// a file replaced only by a complete, checked picture.
#pragma once

#include <allegro.h>

#include <functional>
#include <string>
#include <vector>

// True for a picture path ending in .png, .bmp, .tga or .pcx, in any case.
bool PictureFormatKnown(const std::string& path);

// One line refusing the first output that is the same file (device and inode, symbolic links
// followed) as an input or as another output, or "" when every output is a file of its own.
// An output that does not exist yet is told by its directory and name. Call it before anything
// is read, so that a picture can never replace the log it was drawn from.
std::string SameFileError(const std::vector<std::string>& inputs,
                          const std::vector<std::string>& outputs);

// One line refusing the first output whose directory the process may not write in (or that
// does not exist), or "". Call it before anything is read, so that a long extraction does not
// end in that refusal.
std::string UnwritableError(const std::vector<std::string>& outputs);

// Writes or checks the file at `path` (a sibling of the output, created empty); false when it
// could not, with one line in error or, left empty, the system's reason found for it.
using FileStep = std::function<bool(const std::string& path, std::string& error)>;

// Replaces `path` with what `write` puts into a hidden file beside it, once `verify` (when
// given) accepts it: an existing file is replaced only by a complete one, which keeps its mode,
// and its owner and group where the process may set them. Where `path` is a symbolic link, the
// file it leads to is replaced and the link stays. On failure `path` is untouched, the sibling
// is removed, and error holds one line.
bool ReplaceFile(const std::string& path, const FileStep& write, std::string& error,
                 const FileStep& verify = nullptr);

// Replaces `path` with `picture` in the format its extension names, read back to check it.
bool WritePicture(BITMAP* picture, const std::string& path, std::string& error);
