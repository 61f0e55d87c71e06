// The viewer's pictures as files: its first frame (--snapshot) and the whole log (--overview),
// written as PNG with cairo, or as BMP, TGA or PCX with the graphics library.
#pragma once

#include <cstdint>
#include <string>

#include "figures.h"
#include "output.h"
#include "viewer.h"

// Replaces `path` with `picture` (a 16-bit memory bitmap) in the format its name gives, whatever
// the name of the file a link leads to, as an Output. A PNG holds the colours the graphics
// library gives each pixel (getr16 and its kin). False with one line in err.
bool WritePicture(BITMAP* picture, const std::string& path, std::string* err);

// Draws the frame the viewer shows after its first pass and saves it as `path`; the viewer's
// canvases go with it. False with one line in err.
bool SaveSnapshot(Viewer& viewer, const std::string& path, std::string* err);
// Draws the overview of the records, the window that opens at record `first` marked, and saves
// it as `path`. False with one line in err.
bool SaveOverview(const std::string& path, std::int64_t first, const SampleRange& range,
                  std::string* err);
