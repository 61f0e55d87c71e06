// The explorer page's files (HTML, script, styles, uPlot), embedded in the binary at build time.
#pragma once

#include <cstddef>
#include <string>

struct WebAsset {
    const char* path;           // as a browser asks for it: "/assets/app.js"
    const char* contentType;    // "text/javascript; charset=utf-8"
    const unsigned char* data;  // the file's bytes, then a NUL that size does not count
    std::size_t size;           // bytes
};

// The asset served at exactly `path` ("/assets/index.html" is the page for / and /run/N), or
// null: no path is normalised, so "/assets/../x" or "/assets//app.js" finds nothing.
const WebAsset* FindWebAsset(const std::string& path);

// The table, in the source that cmake/embed_assets.cmake generates in the build folder from
// the list in CMakeLists.txt.
extern const WebAsset kWebAssets[];
extern const std::size_t kWebAssetCount;
