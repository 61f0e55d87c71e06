// The files plovo creates and must not leave behind, whichever way it ends.
#pragma once

#include <string>

// Creates a new file from `pattern` (a path ending in XXXXXX and then `suffixLength` more
// bytes) with mode 0600, never clobbering a file or following a link, and registers it, with
// the ending signals held in between, so that a signal finds either no file or a registered one.
// False with errno set (ENAMETOOLONG for a pattern of PATH_MAX bytes or more, ENOSPC when the
// registry is full).
bool CreateRegisteredFile(const std::string& pattern, int suffixLength, int* fd, std::string* path);
// Forgets a registered file without removing it: it has become the user's (a sibling file
// renamed over its target).
void ForgetFile(const std::string& path);
// Removes a registered file now and forgets it.
void RemoveRegisteredFile(const std::string& path);

// Creates a private file named plovo-XXXXXX<suffix> in $TMPDIR, or /tmp when that is unset or
// empty, registered as above. False with one line in err.
bool CreatePrivateFile(const std::string& suffix, int* fd, std::string* path, std::string* err);

// Removes every registered file. Safe to call from a signal handler.
void RemoveTempFile();
