// Picture files: the formats plovo writes, and a file replaced only by a complete picture.
#pragma once

#include <allegro.h>

#include <string>

// True for a picture path ending in .png, .bmp, .tga or .pcx, in any case.
bool PictureFormatKnown(const std::string& path);

// Writes `picture` to `path` in the format its extension names: beside it first, checked by
// reading it back, then renamed over it, so that an existing file is replaced only by a complete
// picture. False with one line in error; RemoveTempFile then removes what was left.
bool WritePicture(BITMAP* picture, const std::string& path, std::string& error);
