// Picture files: the frame's colours in every format, and the reason a write fails.
#include "picture.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "test_util.h"

namespace {
// A 256 x 256 frame of every 16-bit colour once.
BITMAP* EveryColour() {
    UseMemoryBitmaps();
    BITMAP* frame = create_bitmap(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) putpixel(frame, x, y, y << 8 | x);
    return frame;
}
}  // namespace

TEST(Picture, PngAndBmpHoldTheColoursAllegroGivesTheFrame) {
    ScratchDir dir;
    BITMAP* frame = EveryColour();
    std::string err;
    ASSERT_TRUE(WritePicture(frame, dir.File("all.png"), &err) &&
                WritePicture(frame, dir.File("all.bmp"), &err))
        << err;
    EXPECT_EQ(PngColours(dir.File("all.png")), Colours(frame));
    set_color_conversion(COLORCONV_NONE);  // the BMP's own 24 bits
    BITMAP* bmp = load_bitmap(dir.File("all.bmp").c_str(), nullptr);
    set_color_conversion(COLORCONV_TOTAL);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(Colours(bmp), PngColours(dir.File("all.png")));
    destroy_bitmap(bmp);
    destroy_bitmap(frame);
}

TEST(Picture, AFailedWriteSaysWhyInEveryFormat) {
    ScratchDir dir;
    BITMAP* frame = EveryColour();
    bool root = geteuid() == 0;  // a device of our own, always full
    ASSERT_TRUE(!root || mknod(dir.File("full").c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0);
    for (std::string name : {"f.png", "f.bmp", "f.tga", "f.pcx"}) {
        std::string err, path = dir.File(name), full = dir.File("full-" + name);
        WriteFile(path, "old");
        UnderSizeLimit(1000, [&] { EXPECT_FALSE(WritePicture(frame, path, &err)); });
        EXPECT_EQ(err, "plovo: cannot write '" + path + "': File too large");
        EXPECT_EQ(ReadFile(path), "old");
        if (!root) continue;
        std::filesystem::create_symlink("full", full);
        EXPECT_FALSE(WritePicture(frame, full, &err));
        EXPECT_EQ(err, "plovo: cannot write '" + full + "': No space left on device");
    }
    EXPECT_EQ(dir.Entries().size(), root ? 9u : 4u) << "a hidden file was left";
    EXPECT_TRUE(!root || std::filesystem::is_character_file(dir.File("full")));
    destroy_bitmap(frame);
}
