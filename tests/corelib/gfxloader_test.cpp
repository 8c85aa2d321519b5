// Image loader: layout of decoded pixels, every reader's variants, the
// writers, the "_obf" name variant, and refusal of damaged files.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "test_support.h"

namespace {

struct Image {
    int w = -1, h = -1, bpp = -1;
    std::vector<uint8_t> px; // loader layout: bottom row first, RGB(A)
};

// A deterministic picture in the loader's layout.
Image pattern(int w, int h, int bpp, unsigned seed = 1)
{
    Image img{w, h, bpp, {}};
    img.px.resize(size_t(w) * h * (bpp / 8));
    for (size_t i = 0; i < img.px.size(); i++) img.px[i] = uint8_t((i * 37 + seed * 101 + (i >> 7)) & 255);
    return img;
}

void put16(std::string &s, unsigned v)
{
    s += char(v & 255);
    s += char((v >> 8) & 255);
}
void put32(std::string &s, uint32_t v)
{
    put16(s, v & 0xffff);
    put16(s, v >> 16);
}

std::string tga_header(int type, int w, int h, int depth, int descriptor, int id_length = 0, int cmap_type = 0,
                       int cmap_first = 0, int cmap_length = 0, int cmap_bits = 0)
{
    std::string s;
    s += char(id_length);
    s += char(cmap_type);
    s += char(type);
    put16(s, cmap_first);
    put16(s, cmap_length);
    s += char(cmap_bits);
    put16(s, 0);
    put16(s, 0);
    put16(s, w);
    put16(s, h);
    s += char(depth);
    s += char(descriptor);
    return s;
}

// Stored TGA pixels of an image: BGR(A), rows in the file order asked for.
std::string tga_pixels(const Image &img, bool top_down, bool right_to_left = false)
{
    int n = img.bpp / 8;
    std::string s;
    for (int fr = 0; fr < img.h; fr++) {
        int row = top_down ? img.h - 1 - fr : fr;
        for (int fc = 0; fc < img.w; fc++) {
            int col = right_to_left ? img.w - 1 - fc : fc;
            const uint8_t *p = &img.px[(size_t(row) * img.w + col) * n];
            if (n == 1) {
                s += char(p[0]);
            } else {
                s += char(p[2]);
                s += char(p[1]);
                s += char(p[0]);
                if (n == 4) s += char(p[3]);
            }
        }
    }
    return s;
}

std::string tga_file(const Image &img, bool top_down)
{
    int type = img.bpp == 8 ? 3 : 2;
    return tga_header(type, img.w, img.h, img.bpp, (img.bpp == 32 ? 8 : 0) | (top_down ? 0x20 : 0)) +
           tga_pixels(img, top_down);
}

// A BMP: 24 or 32 bits, rows bottom-up unless top_down; the header size,
// compression and masks are the caller's (masks written after the 40 bytes).
std::string bmp_file(const Image &img, bool top_down, uint32_t header_size = 40, uint32_t compression = 0,
                     std::vector<uint32_t> masks = {}, const int *order = nullptr, int pixel_bits = 0)
{
    int n = img.bpp / 8;
    int bits = pixel_bits ? pixel_bits : img.bpp;
    static const int BGRA[4] = {2, 1, 0, 3}; // stored byte k holds channel order[k]
    if (!order) order = BGRA;
    size_t stride = ((size_t(img.w) * bits + 31) / 32) * 4;
    std::string info;
    put32(info, header_size);
    put32(info, uint32_t(img.w));
    put32(info, uint32_t(top_down ? -img.h : img.h));
    put16(info, 1);
    put16(info, unsigned(bits));
    put32(info, compression);
    put32(info, uint32_t(stride * img.h));
    put32(info, 2835);
    put32(info, 2835);
    put32(info, 0);
    put32(info, 0);
    for (uint32_t m : masks) put32(info, m);
    while (info.size() < header_size) info += char(0);
    std::string pixels;
    for (int fr = 0; fr < img.h; fr++) {
        int row = top_down ? img.h - 1 - fr : fr;
        std::string line;
        for (int x = 0; x < img.w; x++) {
            const uint8_t *p = &img.px[(size_t(row) * img.w + x) * n];
            for (int k = 0; k < bits / 8; k++) line += char(order[k] < n ? p[order[k]] : 0);
        }
        line.resize(stride, '\0');
        pixels += line;
    }
    std::string s = "BM";
    put32(s, uint32_t(14 + info.size() + pixels.size()));
    put32(s, 0);
    put32(s, uint32_t(14 + info.size()));
    return s + info + pixels;
}

// A JPEG of rows given top to bottom (as JPEG stores them).
// Four components are CMYK (libjpeg marks them as Adobe's, inks inverted).
std::string jpeg_file(int w, int h, int components, const std::vector<uint8_t> &rows, bool progressive = false)
{
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rows[size_t(c.next_scanline) * w * components]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::string out(reinterpret_cast<char *>(buffer), size);
    free(buffer);
    jpeg_destroy_compress(&c);
    return out;
}

// 32 x 16 picture: top half red, bottom half blue.
std::string red_over_blue_jpeg(bool progressive = false)
{
    std::vector<uint8_t> rows;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 32; x++) {
            rows.push_back(y < 8 ? 255 : 0);
            rows.push_back(0);
            rows.push_back(y < 8 ? 0 : 255);
        }
    return jpeg_file(32, 16, 3, rows, progressive);
}

class GfxLoader : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        log_path = path("log.txt");
        log_file_set(log_path.c_str());
        ASSERT_TRUE(gfxloader_init());
    }
    void TearDown() override
    {
        gfxloader_deinit();
        TempDirTest::TearDown();
    }

    bool load(const std::string &name, Image *img)
    {
        uint8_t *pixels = nullptr;
        if (!gfxloader_load_smart(name.c_str(), &img->w, &img->h, &img->bpp, &pixels)) return false;
        img->px.assign(pixels, pixels + size_t(img->w) * img->h * (img->bpp / 8));
        mem_free(pixels);
        return true;
    }
    bool load_bytes(const std::string &name, const std::string &bytes, Image *img)
    {
        test_write_file(path(name), bytes);
        return load(path(name), img);
    }
    bool load_memory(const std::string &bytes, Image *img)
    {
        // A heap block of exactly the file's size, so that a read past its end is caught.
        std::unique_ptr<uint8_t[]> block(new uint8_t[bytes.size()]);
        memcpy(block.get(), bytes.data(), bytes.size());
        uint8_t *pixels = nullptr;
        if (!gfxloader_load_from_memory("memory-image", block.get(), bytes.size(), &img->w, &img->h, &img->bpp,
                                        &pixels))
            return false;
        img->px.assign(pixels, pixels + size_t(img->w) * img->h * (img->bpp / 8));
        mem_free(pixels);
        return true;
    }
    std::string log() { return test_read_file(log_path); }

    std::string log_path;
};

void expect_same(const Image &got, const Image &want, const char *what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(got.w, want.w);
    EXPECT_EQ(got.h, want.h);
    EXPECT_EQ(got.bpp, want.bpp);
    EXPECT_TRUE(got.px == want.px);
}

TEST_F(GfxLoader, InitAndDeinitAreFaultsOutOfOrder)
{
    EXPECT_EXIT(gfxloader_init(), testing::ExitedWithCode(3), "assertion !gfx_loader_inited failed");
    EXPECT_EXIT(
        {
            gfxloader_deinit();
            gfxloader_deinit();
        },
        testing::ExitedWithCode(3), "assertion gfx_loader_inited failed");
}

TEST_F(GfxLoader, SavedFilesLoadBackUnchanged)
{
    struct Case {
        const char *name;
        int w, h, bpp;
        uint32_t options;
    } cases[] = {
        {"a24.tga", 7, 5, 24, 0},
        {"a32.tga", 7, 5, 32, 0},
        {"a8.tga", 9, 3, 8, 0},
        {"r24.tga", 7, 5, 24, GFXLOADER_SAVE_RLE},
        {"r32.tga", 7, 5, 32, GFXLOADER_SAVE_RLE},
        {"r8.tga", 9, 3, 8, GFXLOADER_SAVE_RLE},
        {"b24.bmp", 7, 5, 24, 0},
        {"upper.TGA", 1, 1, 24, 0},
    };
    for (const Case &c : cases) {
        Image img = pattern(c.w, c.h, c.bpp);
        ASSERT_TRUE(gfxloader_save(path(c.name).c_str(), c.w, c.h, c.bpp, img.px.data(), c.options)) << c.name;
        Image got;
        ASSERT_TRUE(load(path(c.name), &got)) << c.name;
        expect_same(got, img, c.name);
    }
    // BMP rows are padded to 4 bytes: 7 pixels take 24 bytes.
    EXPECT_EQ(test_read_file(path("b24.bmp")).size(), 54u + 24u * 5u);

    // A 32-bit picture saved as BMP keeps its colours and loses its alpha.
    Image rgba = pattern(6, 4, 32);
    ASSERT_TRUE(gfxloader_save(path("from32.bmp").c_str(), 6, 4, 32, rgba.px.data()));
    Image got;
    ASSERT_TRUE(load(path("from32.bmp"), &got));
    ASSERT_EQ(got.bpp, 24);
    for (size_t i = 0; i < 24; i++)
        for (int k = 0; k < 3; k++) ASSERT_EQ(got.px[i * 3 + k], rgba.px[i * 4 + k]);
}

TEST_F(GfxLoader, RunLengthSavingCompressesRunsAcrossPacketLimits)
{
    // Rows of 300 equal pixels need three packets each; a noisy row follows.
    Image img{300, 3, 32, std::vector<uint8_t>(300 * 3 * 4)};
    for (int x = 0; x < 300; x++)
        for (int k = 0; k < 4; k++) {
            img.px[(0 * 300 + x) * 4 + k] = uint8_t(10 + k);
            img.px[(1 * 300 + x) * 4 + k] = uint8_t((x * 7 + k * 13) & 255);
            img.px[(2 * 300 + x) * 4 + k] = uint8_t(x < 150 ? 200 : 100);
        }
    ASSERT_TRUE(gfxloader_save(path("runs.tga").c_str(), 300, 3, 32, img.px.data(), GFXLOADER_SAVE_RLE));
    EXPECT_LT(test_read_file(path("runs.tga")).size(), 18u + 300u * 4u + 300u * 4u / 2u);
    Image got;
    ASSERT_TRUE(load(path("runs.tga"), &got));
    expect_same(got, img, "runs");
}

TEST_F(GfxLoader, ImageOf256By128At32BitsFills131072Bytes)
{
    Image img = pattern(256, 128, 32);
    ASSERT_TRUE(gfxloader_save(path("big.tga").c_str(), 256, 128, 32, img.px.data()));
    int w = 0, h = 0, bpp = 0;
    uint8_t *pixels = nullptr;
    ASSERT_TRUE(gfxloader_load_smart(path("big.tga").c_str(), &w, &h, &bpp, &pixels));
    EXPECT_EQ(w * h * bpp / 8, 131072);
    EXPECT_EQ(memcmp(pixels, img.px.data(), 131072), 0); // the whole buffer is there
    mem_free(pixels);
}

TEST_F(GfxLoader, TgaRowOrdersAndDirectionsGiveTheSameBuffer)
{
    // 3 x 2: bottom row red, green, blue; top row white, black, grey.
    Image img{3, 2, 24, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 128, 128, 128}};
    Image bottom, top, mirrored;
    ASSERT_TRUE(load_bytes("bottom.tga", tga_file(img, false), &bottom));
    ASSERT_TRUE(load_bytes("top.tga", tga_file(img, true), &top));
    expect_same(bottom, img, "bottom-left origin is a plain copy");
    expect_same(top, img, "top-left origin is flipped");
    // The first bytes in memory are the bottom row, left to right, in R, G, B order.
    EXPECT_TRUE(std::vector<uint8_t>(top.px.begin(), top.px.begin() + 9) ==
                std::vector<uint8_t>({255, 0, 0, 0, 255, 0, 0, 0, 255}));

    // Right-to-left rows, an image ID and an unused colour map are handled.
    std::string file =
        tga_header(2, 3, 2, 24, 0x30, 5, 1, 0, 2, 24) + "IDENT" + std::string(6, 'm') + tga_pixels(img, true, true);
    ASSERT_TRUE(load_bytes("mirror.tga", file, &mirrored));
    expect_same(mirrored, img, "right-to-left, top-down, with ID and map");

    Image grey = pattern(5, 4, 8), got_grey;
    ASSERT_TRUE(load_bytes("grey.tga", tga_file(grey, true), &got_grey));
    expect_same(got_grey, grey, "greyscale stays 8 bpp");
}

TEST_F(GfxLoader, TgaRunLengthPacketsDecode)
{
    // 4 x 3, 24 bits, bottom-up: a repeat packet of 6 crossing the first row
    // end, a raw packet of 3, a repeat packet of 3.
    std::string body;
    body += char(0x80 | 5) + std::string("\x00\x00\xff", 3);                  // 6 x red (BGR)
    body += char(2) + std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09", 9); // raw 3
    body += char(0x80 | 2) + std::string("\xff\x00\x00", 3);                  // 3 x blue
    Image got;
    ASSERT_TRUE(load_bytes("rle.tga", tga_header(10, 4, 3, 24, 0) + body, &got));
    std::vector<uint8_t> want;
    for (int i = 0; i < 6; i++) want.insert(want.end(), {255, 0, 0});
    want.insert(want.end(), {3, 2, 1, 6, 5, 4, 9, 8, 7});
    for (int i = 0; i < 3; i++) want.insert(want.end(), {0, 0, 255});
    expect_same(got, Image{4, 3, 24, want}, "type 10");

    // The same picture top-down, one raw packet per pixel, comes out identical.
    Image top;
    Image expected{4, 3, 24, want};
    std::string px = tga_pixels(expected, true), rle;
    for (size_t i = 0; i < px.size(); i += 3) rle += char(0) + px.substr(i, 3); // one raw packet per pixel
    ASSERT_TRUE(load_bytes("rle_top.tga", tga_header(10, 4, 3, 24, 0x20) + rle, &top));
    expect_same(top, expected, "type 10, top-down, single-pixel packets");

    // Greyscale (type 11) and a 32-bit packet keeps its alpha.
    Image grey;
    ASSERT_TRUE(load_bytes("g.tga", tga_header(11, 3, 2, 8, 0) + "\x82\x10" + "\x02\x20\x30\x40", &grey));
    expect_same(grey, Image{3, 2, 8, {0x10, 0x10, 0x10, 0x20, 0x30, 0x40}}, "type 11");
    Image rgba;
    ASSERT_TRUE(load_bytes("a.tga", tga_header(10, 2, 1, 32, 8) + std::string("\x81\x01\x02\x03\x04", 5), &rgba));
    expect_same(rgba, Image{2, 1, 32, {3, 2, 1, 4, 3, 2, 1, 4}}, "type 10, 32 bits");
}

TEST_F(GfxLoader, TgaColourMapsAndSixteenBitPixels)
{
    // Map entries 2..4 (first index 2), 24 bits BGR; indices refer to entries.
    std::string map = std::string("\x00\x00\xff", 3) + std::string("\x00\xff\x00", 3) + std::string("\xff\x00\x00", 3);
    Image got;
    ASSERT_TRUE(load_bytes("m.tga", tga_header(1, 3, 1, 8, 0, 0, 1, 2, 3, 24) + map + "\x04\x02\x03", &got));
    expect_same(got, Image{3, 1, 24, {0, 0, 255, 255, 0, 0, 0, 255, 0}}, "type 1");

    // Run-length colour-mapped with a 32-bit map.
    std::string map32 = std::string("\x01\x02\x03\x80", 4) + std::string("\x04\x05\x06\xff", 4);
    ASSERT_TRUE(load_bytes(
        "m9.tga", tga_header(9, 3, 1, 8, 8, 0, 1, 0, 2, 32) + map32 + std::string("\x81\x01\x00\x00", 4), &got));
    expect_same(got, Image{3, 1, 32, {6, 5, 4, 255, 6, 5, 4, 255, 3, 2, 1, 128}}, "type 9");

    // 16 bits: 5 bits per channel expand to full range; no alpha bit -> 24 bpp.
    std::string p16;
    put16(p16, 0x7c00);
    put16(p16, 0x03e0);
    put16(p16, 0x001f);
    put16(p16, 0x8000 | 0x4210); // 16/31 each, alpha bit set
    ASSERT_TRUE(load_bytes("p16.tga", tga_header(2, 4, 1, 16, 0) + p16, &got));
    expect_same(got, Image{4, 1, 24, {255, 0, 0, 0, 255, 0, 0, 0, 255, 132, 132, 132}}, "16 bits, no alpha");
    // One attribute bit declared -> 32 bpp with alpha from the top bit.
    ASSERT_TRUE(load_bytes("p16a.tga", tga_header(2, 4, 1, 16, 1) + p16, &got));
    expect_same(got, Image{4, 1, 32, {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 132, 132, 132, 255}},
                "16 bits with alpha");
    ASSERT_TRUE(load_bytes("p15.tga", tga_header(2, 4, 1, 15, 0) + p16, &got));
    EXPECT_EQ(got.bpp, 24);
}

TEST_F(GfxLoader, BmpLayoutsAndMasks)
{
    Image rgb = pattern(5, 3, 24), a, b;
    ASSERT_TRUE(load_bytes("up.bmp", bmp_file(rgb, false), &a));
    ASSERT_TRUE(load_bytes("down.bmp", bmp_file(rgb, true), &b));
    expect_same(a, rgb, "bottom-up");
    expect_same(b, rgb, "top-down");

    // 32-bit BI_RGB: alpha kept when present, opaque when every alpha is 0.
    Image rgba = pattern(3, 2, 32), got;
    ASSERT_TRUE(load_bytes("argb.bmp", bmp_file(rgba, false), &got));
    expect_same(got, rgba, "32-bit BI_RGB");
    Image clear = rgba;
    for (size_t i = 3; i < clear.px.size(); i += 4) clear.px[i] = 0;
    ASSERT_TRUE(load_bytes("xrgb.bmp", bmp_file(clear, false), &got));
    for (size_t i = 3; i < clear.px.size(); i += 4) clear.px[i] = 255;
    expect_same(got, clear, "32-bit BI_RGB with zero alpha");

    // BI_BITFIELDS after a 40-byte header: standard masks, no alpha.
    ASSERT_TRUE(load_bytes("bf.bmp", bmp_file(rgba, true, 40, 3, {0xff0000, 0xff00, 0xff}), &got));
    expect_same(got, clear, "bitfields without alpha are opaque");
    // Version 5 header with an alpha mask; then masks in R, G, B, A byte order.
    ASSERT_TRUE(load_bytes("v5.bmp", bmp_file(rgba, false, 124, 3, {0xff0000, 0xff00, 0xff, 0xff000000}), &got));
    expect_same(got, rgba, "v5 with alpha mask");
    static const int RGBA_ORDER[4] = {0, 1, 2, 3};
    ASSERT_TRUE(
        load_bytes("abgr.bmp", bmp_file(rgba, false, 40, 6, {0xff, 0xff00, 0xff0000, 0xff000000}, RGBA_ORDER), &got));
    expect_same(got, rgba, "alpha bitfields in RGBA byte order");
}

// Red over blue, 32 x 16: memory row 1 is near the bottom of the picture
// (blue), row 14 near the top (red).
void expect_red_over_blue(const Image &got)
{
    ASSERT_EQ(got.w, 32);
    ASSERT_EQ(got.h, 16);
    ASSERT_EQ(got.bpp, 24);
    auto near = [](int v, int want) { return v >= want - 24 && v <= want + 24; };
    for (int x = 0; x < 32; x++) {
        const uint8_t *low = &got.px[(1 * 32 + x) * 3], *high = &got.px[(14 * 32 + x) * 3];
        ASSERT_TRUE(near(low[0], 0) && near(low[1], 0) && near(low[2], 255)) << x;
        ASSERT_TRUE(near(high[0], 255) && near(high[1], 0) && near(high[2], 0)) << x;
    }
}

TEST_F(GfxLoader, JpegDecodesRightSideUp)
{
    std::string jpeg = red_over_blue_jpeg();
    Image got;
    ASSERT_TRUE(load_bytes("rb.jpg", jpeg, &got));
    {
        SCOPED_TRACE("baseline");
        expect_red_over_blue(got);
    }
    Image from_memory;
    ASSERT_TRUE(load_memory(jpeg, &from_memory));
    expect_same(from_memory, got, "memory and file agree");
    Image progressive;
    ASSERT_TRUE(load_memory(red_over_blue_jpeg(true), &progressive));
    {
        SCOPED_TRACE("progressive");
        expect_red_over_blue(progressive);
    }

    // CMYK, inks stored inverted: (255, 0, 0, 255) is no cyan, full magenta
    // and yellow, no black -> red; (0, 0, 255, 255) -> blue.
    std::vector<uint8_t> cmyk;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 32; x++)
            cmyk.insert(cmyk.end(), {uint8_t(y < 8 ? 255 : 0), 0, uint8_t(y < 8 ? 0 : 255), 255});
    ASSERT_TRUE(load_memory(jpeg_file(32, 16, 4, cmyk), &got));
    {
        SCOPED_TRACE("CMYK");
        expect_red_over_blue(got);
    }

    // Greyscale JPEG: 8 bpp, a horizontal ramp.
    std::vector<uint8_t> rows;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) rows.push_back(uint8_t(x * 16));
    ASSERT_TRUE(load_memory(jpeg_file(16, 16, 1, rows), &got));
    ASSERT_EQ(got.bpp, 8);
    for (int x = 0; x < 16; x++) EXPECT_NEAR(got.px[8 * 16 + x], x * 16, 10) << x;
}

TEST_F(GfxLoader, FormatFollowsTheContentNotTheName)
{
    Image img = pattern(3, 3, 24), got;
    ASSERT_TRUE(load_bytes("really_a_jpeg.tga", red_over_blue_jpeg(), &got));
    EXPECT_EQ(got.w, 32);
    ASSERT_TRUE(load_bytes("really_a_bmp.jpg", bmp_file(img, false), &got));
    expect_same(got, img, "BMP named .jpg");
    ASSERT_TRUE(load_bytes("really_a_tga.bmp", tga_file(img, false), &got));
    expect_same(got, img, "TGA named .bmp");
}

TEST_F(GfxLoader, MissingFileIsAQuietFailure)
{
    Image got;
    EXPECT_FALSE(load(path("absent.tga"), &got));
    EXPECT_EQ(got.w, -1); // outputs untouched
    std::string text = log();
    EXPECT_NE(text.find("[DEBUG]: gfxloader_load(): gfx_loader.getInfo() FAILED: GetInfo for " + path("absent.tga") +
                        ", probably file missing or invalid/unsupported format!"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("[CRITICAL]"), std::string::npos);
    EXPECT_EQ(text.find("[WARNING]"), std::string::npos);
}

TEST_F(GfxLoader, ObfVariantIsUsedWhenThePlainFileIsMissing)
{
    Image red{1, 1, 24, {255, 0, 0}}, blue{1, 1, 24, {0, 0, 255}}, got;
    test_write_file(path("tex_obf.tga"), tga_file(red, false));
    ASSERT_TRUE(load(path("tex.tga"), &got));
    expect_same(got, red, "variant");
    test_write_file(path("tex.tga"), tga_file(blue, false));
    ASSERT_TRUE(load(path("tex.tga"), &got));
    expect_same(got, blue, "plain file preferred");

    // Data-file names with backslashes, and names without an extension.
    std::filesystem::create_directories(path("sub.d"));
    test_write_file(path("sub.d/pic_obf.bmp"), bmp_file(red, false));
    ASSERT_TRUE(load(dir + "\\sub.d\\pic.bmp", &got));
    expect_same(got, red, "backslash path");
    test_write_file(path("sub.d/raw_obf"), tga_file(blue, true));
    ASSERT_TRUE(load(path("sub.d/raw"), &got));
    expect_same(got, blue, "no extension");
    EXPECT_EQ(log().find("[CRITICAL]"), std::string::npos);
}

TEST_F(GfxLoader, SaveFailuresAreReported)
{
    Image img = pattern(4, 4, 24);
    std::string missing_dir = path("no/such/dir/shot.bmp");
    EXPECT_FALSE(gfxloader_save(missing_dir.c_str(), 4, 4, 24, img.px.data()));
    EXPECT_NE(
        log().find("gfxloader_load(): gfx_loader.SaveImage() FAILED: Error saving file image " + missing_dir + "!"),
        std::string::npos);
    EXPECT_FALSE(gfxloader_save(path("shot.png").c_str(), 4, 4, 24, img.px.data()));
    EXPECT_FALSE(gfxloader_save(path("shot16.tga").c_str(), 4, 4, 16, img.px.data()));
    EXPECT_FALSE(gfxloader_save(path("empty.tga").c_str(), 0, 4, 24, img.px.data()));
    EXPECT_FALSE(gfxloader_save(path("huge.tga").c_str(), 20000, 4, 24, img.px.data()));
    EXPECT_FALSE(gfxloader_save(path("null.tga").c_str(), 4, 4, 24, nullptr));
    EXPECT_FALSE(test_file_exists(path("shot.png")));
    EXPECT_FALSE(test_file_exists(path("shot16.tga")));
}

// Damaged and hostile files: each refused, named in the log with its reason.
TEST_F(GfxLoader, MalformedFilesAreRefusedWithTheirName)
{
    Image img = pattern(4, 2, 24);
    std::string tga = tga_file(img, false);
    std::string bmp = bmp_file(img, false);
    std::string jpeg = red_over_blue_jpeg();
    std::string map3 = std::string(9, '\x10');

    std::string bmp_offset = bmp, bmp_offset_low = bmp, bmp_height = bmp, bmp_header = bmp, bmp_intmin = bmp,
                bmp_16 = bmp, bmp_rle = bmp, bmp_width0 = bmp;
    bmp_offset.replace(10, 4, "\xa0\x86\x01\x00"); // 100000
    bmp_offset_low.replace(10, 4, std::string("\x14\x00\x00\x00", 4));
    bmp_height.replace(22, 4, std::string("\xe8\x03\x00\x00", 4)); // 1000 rows
    bmp_header.replace(14, 4, "\xff\xff\xff\x7f");
    bmp_intmin.replace(22, 4, std::string("\x00\x00\x00\x80", 4));
    bmp_16.replace(28, 2, std::string("\x10\x00", 2));
    bmp_rle.replace(30, 4, std::string("\x01\x00\x00\x00", 4));
    bmp_width0.replace(18, 4, std::string("\x00\x00\x00\x00", 4));
    Image rgba = pattern(2, 2, 32);
    std::string bmp_masks = bmp_file(rgba, false, 40, 3, {0x7c00, 0x03e0, 0x001f});
    std::string jpeg_big = jpeg;
    size_t sof = jpeg_big.find("\xff\xc0");
    ASSERT_NE(sof, std::string::npos);
    jpeg_big.replace(sof + 5, 4, "\x7f\xff\x7f\xff"); // 32767 x 32767
    // A progressive JPEG claiming 16000 x 16000 pixels would need about 800 MB
    // of coefficients before reading any data: refused by libjpeg's memory cap.
    std::string jpeg_wide = red_over_blue_jpeg(true);
    size_t sof2 = jpeg_wide.find("\xff\xc2");
    ASSERT_NE(sof2, std::string::npos);
    jpeg_wide.replace(sof2 + 5, 4, "\x3e\x80\x3e\x80");

    struct Case {
        const char *name;
        std::string bytes;
        const char *reason;
    } cases[] = {
        {"empty.tga", "", "not a TGA, BMP or JPEG image"},
        {"text.tga", "hello, this is not a picture at all", "not a TGA, BMP or JPEG image"},
        {"short.tga", tga.substr(0, 10), "not a TGA, BMP or JPEG image"},
        {"trunc.tga", tga.substr(0, tga.size() - 1), "truncated"},
        {"wide.tga", tga_header(2, 20000, 2, 24, 0) + std::string(64, 'x'), "too large"},
        {"rle_huge.tga", tga_header(10, 16384, 16384, 32, 8) + std::string(10, '\x81'), "truncated"},
        {"rle_image.tga", tga_header(10, 2, 2, 24, 0) + std::string("\x84\x01\x02\x03", 4),
         "past the end of the image"},
        {"rle_file.tga", tga_header(10, 2, 2, 24, 0) + std::string("\x03\x01\x02\x03\x04\x05\x06", 7),
         "past the end of the file"},
        {"rle_repeat.tga", tga_header(10, 2, 2, 24, 0) + std::string("\x81\x01\x02\x03\x81\x01", 6),
         "past the end of the file"},
        {"rle_cut.tga", tga_header(10, 4, 4, 24, 0) + std::string("\x81\x01\x02\x03\x81\x01\x02\x03", 8),
         "ends before"},
        {"index.tga", tga_header(1, 2, 1, 8, 0, 0, 1, 0, 3, 24) + map3 + "\x01\x07", "outside the map"},
        {"below.tga", tga_header(1, 2, 1, 8, 0, 0, 1, 2, 3, 24) + map3 + "\x02\x01", "outside the map"},
        {"map.tga", tga_header(1, 2, 1, 8, 0, 0, 1, 0, 200, 24) + map3 + "\x01\x01", "truncated"},
        {"nomap.tga", tga_header(1, 2, 1, 8, 0) + "\x01\x01", "without a colour map"},
        {"offset.bmp", bmp_offset, "offset"},
        {"offset_low.bmp", bmp_offset_low, "offset"},
        {"height.bmp", bmp_height, "truncated"},
        {"header.bmp", bmp_header, "runs past the end"},
        {"intmin.bmp", bmp_intmin, "invalid or too large"},
        {"width0.bmp", bmp_width0, "invalid or too large"},
        {"bits16.bmp", bmp_16, "not supported"},
        {"rle.bmp", bmp_rle, "compression 1"},
        {"masks.bmp", bmp_masks, "masks"},
        {"bm.bmp", "BM", "truncated"},
        {"cut.jpg", jpeg.substr(0, jpeg.size() / 2), "JPEG"},
        {"noeoi.jpg", jpeg.substr(0, jpeg.size() - 2), "Premature end"},
        {"junk.jpg", "\xff\xd8\xff" + std::string(200, 'j'), "JPEG"},
        {"big.jpg", jpeg_big, "too large"},
        {"wide.jpg", jpeg_wide, "more working memory than allowed"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        log_file_truncate();
        Image got;
        EXPECT_FALSE(load_bytes(c.name, c.bytes, &got));
        EXPECT_EQ(got.w, -1);
        std::string text = log();
        EXPECT_NE(text.find("gfx: \"" + path(c.name) + "\": "), std::string::npos) << text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        bool loader_said = text.find("GetInfo for " + path(c.name) + ",") != std::string::npos ||
                           text.find("Error decoding image " + path(c.name) + "!") != std::string::npos;
        EXPECT_TRUE(loader_said) << text;
        EXPECT_EQ(text.find("[CRITICAL]"), std::string::npos) << text;
    }
}

// Every proper prefix of a valid file is refused; single-byte damage
// anywhere either decodes to a consistent image or is refused. Run under the
// sanitizers this shows that no damage reads outside the file.
TEST_F(GfxLoader, TruncatedAndDamagedFilesNeverReadOutOfBounds)
{
    Image img = pattern(4, 3, 24), rgba = pattern(4, 3, 32);
    std::string rle_tga;
    {
        ASSERT_TRUE(gfxloader_save(path("r.tga").c_str(), 4, 3, 32, rgba.px.data(), GFXLOADER_SAVE_RLE));
        rle_tga = test_read_file(path("r.tga"));
    }
    std::string map = tga_header(1, 4, 3, 8, 0, 3, 1, 0, 4, 24) + "abc" + std::string(12, '\x40') +
                      std::string("\x00\x01\x02\x03\x00\x01\x02\x03\x00\x01\x02\x03", 12);
    const std::string files[] = {
        tga_file(img, true),
        rle_tga,
        map,
        bmp_file(img, false),
        bmp_file(rgba, true, 124, 3, {0xff0000, 0xff00, 0xff, 0xff000000}),
        red_over_blue_jpeg(),
        red_over_blue_jpeg(true),
    };
    for (size_t f = 0; f < std::size(files); f++) {
        const std::string &file = files[f];
        SCOPED_TRACE(f);
        Image whole;
        ASSERT_TRUE(load_memory(file, &whole));
        for (size_t n = 0; n < file.size(); n++) {
            Image got;
            ASSERT_FALSE(load_memory(file.substr(0, n), &got)) << "prefix of " << n << " bytes";
        }
        for (size_t i = 0; i < file.size(); i++)
            for (uint8_t value : {uint8_t(0x00), uint8_t(0xff), uint8_t(uint8_t(file[i]) ^ 0x80)}) {
                std::string damaged = file;
                damaged[i] = char(value);
                Image got;
                if (load_memory(damaged, &got)) {
                    ASSERT_TRUE(got.bpp == 8 || got.bpp == 24 || got.bpp == 32);
                    ASSERT_EQ(got.px.size(), size_t(got.w) * got.h * (got.bpp / 8));
                }
            }
    }
    log_file_truncate(); // the log of this test is large and uninteresting
}

} // namespace
