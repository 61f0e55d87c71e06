// Files: path names (the settings file's place, a path's folder and file name, links followed),
// and reads and writes that go on after an interruption.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

// argv[0] up to and including its last '/', then "plovo.ini"; just "plovo.ini" without a '/'.
std::string IniPathFor(const std::string& argv0);

// The file name of `path` without its folder: what follows its last '/'.
std::string FileName(const std::string& path);

// A path's directory ("." for a bare name, "/" at the root) and the name in it after the last
// '/' (empty when the path ends in one).
struct PathParts {
    std::string dir, name;
};
PathParts SplitPath(const std::string& path);

// The file a path leads to through its symbolic links, at most 40 of them: writing through a
// link replaces what it points to, as an editor's save does, not the link. A relative target
// counts from the link's directory.
std::string ThroughLinks(std::string path);

// Writes all `size` bytes of `data` to `fd`, again after an interruption or a partial write;
// `*written` counts the bytes written. False with errno set (EIO for a write of nothing).
bool WriteAll(int fd, const void* data, std::size_t size, std::size_t* written);
// Writes all `size` bytes of `data` to `fd` at `offset`, again after an interruption or a partial
// write. False with errno set.
bool WriteAllAt(int fd, const void* data, std::size_t size, off_t offset);
// Reads up to `size` bytes once, again after an interruption: the bytes read, 0 at the end, -1
// with errno set.
ssize_t ReadSome(int fd, void* data, std::size_t size);
