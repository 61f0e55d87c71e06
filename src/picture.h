// Picture files: the formats plovo writes the viewer's frames in.
#pragma once

#include <string>

struct BITMAP;  // the graphics library's

enum class PictureFormat { kPng, kBmp, kTga, kPcx };

// The format named by a picture path's extension (.png, .bmp, .tga or .pcx, in any case). False
// for any other name, with one line in err.
bool ParsePictureFormat(const std::string& path, PictureFormat* format, std::string* err);

// Replaces `path` with `picture` (a 16-bit memory bitmap) in the format its name gives, whatever
// the name of the file a link leads to. A PNG holds the colours the graphics library gives each
// pixel (getr16 and its kin). False with one line in err.
bool WritePicture(BITMAP* picture, const std::string& path, std::string* err);
