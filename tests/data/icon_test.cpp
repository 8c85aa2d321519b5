// The desktop icon drawn by the scene step: the fighter at every size of the
// icon theme, filling a square over a transparent background, the same bytes
// on every build, and kept out of the game's resource folder.

#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "data/data_build.h"
#include "test_support.h"

namespace fs = std::filesystem;

static const int ICON_SIZES_EXPECTED[] = {256, 128, 64, 48, 32};

struct icon_picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    uint8_t alpha(int x, int y) const { return rgba[(size_t(y) * w + x) * 4 + 3]; }
};

static bool __read_png(const std::string &path, icon_picture *out)
{
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
    img.format = PNG_FORMAT_RGBA;
    out->w = int(img.width);
    out->h = int(img.height);
    out->rgba.resize(PNG_IMAGE_SIZE(img));
    bool ok = png_image_finish_read(&img, nullptr, out->rgba.data(), 0, nullptr) != 0;
    png_image_free(&img);
    return ok;
}

class FighterIcon : public TempDirTest {
  protected:
    // Runs the scene step with an icon folder; the icon folder's path.
    std::string build(const std::string &name)
    {
        data_ctx ctx;
        ctx.out_dir = dir + "/" + name + "/data/";
        ctx.icon_dir = dir + "/" + name + "/icons/";
        ctx.quiet = true;
        fs::create_directories(ctx.out_dir);
        EXPECT_TRUE(data_gen_scene(ctx));
        // The icons are not game data: the resource folder holds the scene only.
        EXPECT_EQ(ctx.files, 1);
        size_t entries = 0;
        for (const auto &e : fs::directory_iterator(ctx.out_dir))
            entries += e.path().filename() != "vorn.quox2" ? 1 : 0;
        EXPECT_EQ(entries, 0u);
        return ctx.icon_dir;
    }
};

TEST_F(FighterIcon, EverySizeShowsTheFighterOverTransparency)
{
    std::string icons = build("a");
    for (int size : ICON_SIZES_EXPECTED) {
        SCOPED_TRACE(size);
        icon_picture pic;
        ASSERT_TRUE(__read_png(icons + std::to_string(size) + "x" + std::to_string(size) + "/apps/vvvorn.png", &pic));
        ASSERT_EQ(pic.w, size);
        ASSERT_EQ(pic.h, size);
        // Where the fighter covers the picture: opaque enough to be seen.
        int x0 = size, y0 = size, x1 = -1, y1 = -1, covered = 0, clear = 0;
        for (int y = 0; y < size; y++)
            for (int x = 0; x < size; x++) {
                uint8_t a = pic.alpha(x, y);
                if (a == 0) clear++;
                if (a < 128) continue;
                covered++;
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
        // A background, not a filled square: the corners and most of the
        // area around the fighter stay fully transparent.
        EXPECT_EQ(pic.alpha(0, 0), 0);
        EXPECT_EQ(pic.alpha(size - 1, 0), 0);
        EXPECT_EQ(pic.alpha(0, size - 1), 0);
        EXPECT_EQ(pic.alpha(size - 1, size - 1), 0);
        EXPECT_GT(clear, size * size / 4);
        // The fighter fills the square along its longer side, clear of the
        // edges, and is a shape, not a speck.
        ASSERT_GE(x1, 0);
        EXPECT_GE(std::max(x1 - x0, y1 - y0) + 1, size * 3 / 4);
        EXPECT_GE(std::min({x0, y0, size - 1 - x1, size - 1 - y1}), 1);
        EXPECT_LE(std::max({x0, y0, size - 1 - x1, size - 1 - y1}), size / 3);
        EXPECT_GT(covered, size * size / 8);
    }
}

TEST_F(FighterIcon, TwoBuildsDrawTheSameBytes)
{
    std::string a = build("a"), b = build("b");
    for (int size : ICON_SIZES_EXPECTED) {
        std::string name = std::to_string(size) + "x" + std::to_string(size) + "/apps/vvvorn.png";
        std::string bytes = test_read_file(a + name);
        EXPECT_FALSE(bytes.empty()) << name;
        EXPECT_TRUE(bytes == test_read_file(b + name)) << name;
    }
}
