// The explorer page's files, embedded in the binary at build time.
#include "webassets.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {
std::string SourceFile(const std::string& name) {
    std::ifstream in(std::string(PLOVO_SOURCE_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Bytes(const WebAsset& asset) {
    return std::string(reinterpret_cast<const char*>(asset.data), asset.size);
}
}  // namespace

// The page, its script and the vendored chart library are the files on disk byte for byte (a
// binary file with bytes above 0x7f and a NUL-free text alike), each with its Content-Type and
// a NUL after it.
TEST(WebAssets, EmbeddedBytesAreTheFilesOnDisk) {
    struct Case {
        const char* path;
        const char* file;
        const char* type;
    };
    const Case cases[] = {
        {"/assets/index.html", "web/index.html", "text/html; charset=utf-8"},
        {"/assets/app.js", "web/app.js", "text/javascript; charset=utf-8"},
        {"/assets/style.css", "web/style.css", "text/css; charset=utf-8"},
        {"/assets/uPlot.iife.min.js", "web/vendor/uplot/uPlot.iife.min.js",
         "text/javascript; charset=utf-8"},
        {"/assets/uPlot.min.css", "web/vendor/uplot/uPlot.min.css", "text/css; charset=utf-8"},
        {"/assets/uPlot-LICENSE.txt", "web/vendor/uplot/LICENSE", "text/plain; charset=utf-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const WebAsset* asset = FindWebAsset(c.path);
        ASSERT_NE(asset, nullptr);
        std::string disk = SourceFile(c.file);
        ASSERT_FALSE(disk.empty());
        EXPECT_EQ(asset->size, disk.size());
        EXPECT_TRUE(Bytes(*asset) == disk);  // not EXPECT_EQ: no 50 kB diff on failure
        EXPECT_STREQ(asset->contentType, c.type);
        EXPECT_EQ(asset->data[asset->size], 0);
    }
}

// Only the exact served paths are found: no file name of the source tree, no path that climbs
// out of /assets/ or spells a name another way.
TEST(WebAssets, OtherPathsFindNothing) {
    for (const char* path : {"", "/", "/app.js", "assets/app.js", "/assets/", "/assets/App.js",
                             "/assets//app.js", "/assets/./app.js", "/assets/../CMakeLists.txt",
                             "/assets/../web/app.js", "/assets/app.js/", "/assets/app.js?token=x",
                             "/assets/vendor/uplot/LICENSE", "web/app.js"}) {
        EXPECT_EQ(FindWebAsset(path), nullptr) << path;
    }
}
