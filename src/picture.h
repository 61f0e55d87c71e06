// Picture files: the formats plovo writes the viewer's frames in.
#pragma once

#include <allegro.h>

#include <string>

// True for a picture path ending in .png, .bmp, .tga or .pcx, in any case.
bool PictureFormatKnown(const std::string& path);

// Replaces `path` with `picture` in the format its extension names, read back to check it.
// False with one line in err.
bool WritePicture(BITMAP* picture, const std::string& path, std::string* err);
