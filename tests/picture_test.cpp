// Picture files: every format holds the frame's colours, in the format the name given names,
// and a failed write says why.
#include "picture.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "test_util.h"

namespace {
// A 256 x 256 frame of every 16-bit colour once.
BITMAP* EveryColour() {
    BITMAP* frame = create_bitmap(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) putpixel(frame, x, y, y << 8 | x);
    return frame;
}
}  // namespace

TEST(Picture, EveryFormatHoldsTheColoursOfTheFrame) {
    UseMemoryBitmaps();
    ScratchDir dir;
    BITMAP* frame = EveryColour();
    std::string err;
    // TGA is left out: the graphics library writes 16-bit frames as 15-bit TGA.
    for (const char* name : {"all.png", "all.bmp", "all.pcx", "ALL.PNG"}) {
        ASSERT_TRUE(WritePicture(frame, dir.File(name), &err)) << err;
        EXPECT_TRUE(ReadPicture(dir.File(name)) == PixelsOf(frame)) << name;
    }
    destroy_bitmap(frame);
}

TEST(Picture, TheNameGivenDecidesTheFormatWhereverALinkLeads) {
    UseMemoryBitmaps();
    ScratchDir dir;
    BITMAP* frame = EveryColour();
    struct Case {
        const char *link, *target;
        std::string magic;
    } cases[] = {{"out.png", "real.bmp", "\x89PNG"},
                 {"latest.png", "chart-latest", "\x89PNG"},
                 {"out.bmp", "real.png", "BM"},
                 {"out.tga", "real.pcx", std::string("\0\0\x02", 3)}};
    for (const Case& c : cases) {
        std::filesystem::create_symlink(c.target, dir.File(c.link));
        std::string err;
        EXPECT_TRUE(WritePicture(frame, dir.File(c.link), &err)) << c.link << err;
        EXPECT_EQ(ReadFile(dir.File(c.target)).substr(0, c.magic.size()), c.magic) << c.link;
        EXPECT_TRUE(std::filesystem::is_symlink(dir.File(c.link)));
    }
    destroy_bitmap(frame);
}

TEST(Picture, AFailedWriteSaysWhyInEveryFormat) {
    UseMemoryBitmaps();
    ScratchDir dir;
    BITMAP* frame = EveryColour();
    // A device that is always full, of our own (root only), and a size limit.
    bool root = geteuid() == 0;
    ASSERT_TRUE(!root || mknod(dir.File("full").c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0);
    for (std::string name : {"f.png", "f.bmp", "f.tga", "f.pcx"}) {
        std::string err, path = dir.File(name);
        WriteFile(path, "old");
        UnderSizeLimit(1000, [&] { EXPECT_FALSE(WritePicture(frame, path, &err)); });
        EXPECT_EQ(err, "plovo: cannot write '" + path + "': File too large");
        EXPECT_EQ(ReadFile(path), "old");
        if (!root) continue;
        std::filesystem::create_symlink("full", dir.File("full-" + name));
        EXPECT_FALSE(WritePicture(frame, dir.File("full-" + name), &err));
        EXPECT_EQ(
            err, "plovo: cannot write '" + dir.File("full-" + name) + "': No space left on device");
    }
    EXPECT_EQ(dir.Entries().size(), root ? 9u : 4u) << "a hidden file was left";
    destroy_bitmap(frame);
}
