// The text writer: shelf packing of the glyph atlas, layout against
// FreeType's own metrics, kerning, the glyph cache, drawn pixels, and fonts
// or text it cannot take.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <vector>

#include "frontend/fonts.h"
#include "frontend/gui_text_writer.h"
#include "gl_test_context.h"
#include "renderer/OGL_texture.h"
#include "test_support.h"

#define SANS "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"
#define MONO "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"

// ---- shelf packing (no GL) ---------------------------------------------------

TEST(GlyphAtlas, NewShelfStartsAtXZeroBelowTheTallestGlyph)
{
    gtw_shelf s;
    gtw_shelf_init(&s, 512, 512);
    gtw_rect r;
    ASSERT_TRUE(gtw_shelf_place(&s, 200, 10, &r));
    EXPECT_EQ(r.min_x, 0);
    EXPECT_EQ(r.min_y, 0);
    ASSERT_TRUE(gtw_shelf_place(&s, 200, 30, &r)); // the tallest of the shelf
    EXPECT_EQ(r.min_x, 200);
    ASSERT_TRUE(gtw_shelf_place(&s, 100, 12, &r));
    EXPECT_EQ(r.min_x, 400);
    EXPECT_EQ(r.max_x, 500);
    // 12 pixels left on the shelf: a 13-wide glyph goes to the next one
    ASSERT_TRUE(gtw_shelf_place(&s, 13, 5, &r));
    EXPECT_EQ(r.min_x, 0);
    EXPECT_EQ(r.min_y, 30);
    EXPECT_EQ(r.max_y, 35);
    ASSERT_TRUE(gtw_shelf_place(&s, 499, 20, &r));
    EXPECT_EQ(r.min_x, 13);
    EXPECT_EQ(r.min_y, 30);
}

TEST(GlyphAtlas, EmptyOversizedAndOverflowingGlyphsDoNotFit)
{
    gtw_shelf s;
    gtw_shelf_init(&s, 512, 512);
    gtw_rect r;
    EXPECT_FALSE(gtw_shelf_place(&s, 0, 10, &r));
    EXPECT_FALSE(gtw_shelf_place(&s, 10, 0, &r));
    EXPECT_FALSE(gtw_shelf_place(&s, 513, 10, &r)) << "wider than the atlas, on an empty shelf";
    EXPECT_FALSE(gtw_shelf_place(&s, 10, 513, &r));
    ASSERT_TRUE(gtw_shelf_place(&s, 300, 500, &r));
    EXPECT_FALSE(gtw_shelf_place(&s, 300, 20, &r)) << "the next shelf would pass the bottom";
    // the refused glyph closed the shelf: what is left is the 12-pixel strip below it
    EXPECT_FALSE(gtw_shelf_place(&s, 212, 500, &r));
    ASSERT_TRUE(gtw_shelf_place(&s, 512, 12, &r));
    EXPECT_EQ(r.min_x, 0);
    EXPECT_EQ(r.min_y, 500);
    EXPECT_FALSE(gtw_shelf_place(&s, 1, 1, &r)) << "full";
}

TEST(Utf8, DecodesAndReplacesWhatIsNoUtf8)
{
    array<uint32_t> *out = array_new<uint32_t>();
    EXPECT_EQ(gtw_utf8_decode("A\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", out), 4u);
    EXPECT_EQ((*out)[0], 0x41u);
    EXPECT_EQ((*out)[1], 0xE9u);
    EXPECT_EQ((*out)[2], 0x20ACu);
    EXPECT_EQ((*out)[3], 0x1F600u);
    out->cur_elements = 0;
    // a lone continuation byte, an overlong form, a cut sequence, a surrogate
    EXPECT_EQ(gtw_utf8_decode("\x80|\xc0\xaf|\xe2\x82|\xed\xa0\x80", out), 7u);
    EXPECT_EQ((*out)[0], 0xFFFDu);
    EXPECT_EQ((*out)[2], 0xFFFDu);
    EXPECT_EQ((*out)[4], 0xFFFDu);
    EXPECT_EQ((*out)[6], 0xFFFDu);
    array_free(out);
}

// ---- faces and layout (no GL) ------------------------------------------------

// FreeType's own reading of a face, opened apart from the module under test.
struct reference_face {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    reference_face(const char *file, int size)
    {
        FT_Init_FreeType(&lib);
        if (FT_New_Face(lib, file, 0, &face) == 0) FT_Set_Char_Size(face, 0, size, 96, 96);
    }
    ~reference_face()
    {
        if (face) FT_Done_Face(face);
        FT_Done_FreeType(lib);
    }
    long advance(uint32_t c)
    {
        FT_Load_Char(face, c, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP);
        return face->glyph->advance.x;
    }
    long kerning(uint32_t a, uint32_t b)
    {
        FT_Vector k = {0, 0};
        FT_Get_Kerning(face, FT_Get_Char_Index(face, a), FT_Get_Char_Index(face, b), FT_KERNING_DEFAULT, &k);
        return k.x;
    }
};

class FontsTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (!test_file_exists(SANS)) GTEST_SKIP() << "no " SANS;
        ASSERT_TRUE(fonts_init());
        ri = fonts_render_info_create();
    }
    void TearDown() override { fonts_render_info_free(ri); }
    fonts_render_info *ri = nullptr;
};

TEST_F(FontsTest, WidthIsTheSumOfFreeTypesAdvancesAndKernings)
{
    const uint32_t size = 1536; // 24 pt
    fonts_face *f = fonts_load_face(SANS, size, 96, 96);
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->kerning);
    reference_face ref(SANS, size);
    const std::u32string text = U"AVATAR To Wave, 1234";
    long pen = 37 * 64;
    for (size_t i = 0; i < text.size(); i++) {
        if (i > 0) pen += ref.kerning(text[i - 1], text[i]);
        pen += ref.advance(text[i]);
    }
    ASSERT_TRUE(
        fonts_layout(f, ri, reinterpret_cast<const uint32_t *>(text.data()), uint32_t(text.size()), 37, 100, false));
    EXPECT_EQ(ri->min_x, 37);
    EXPECT_EQ(ri->max_x, pen >> 6);
    // the box holds every glyph and the baseline
    for (uint32_t i = 0; i < ri->count; i++) {
        const fonts_ipoint p = (*ri->positions)[i], s = (*ri->sizes)[i];
        if (s.x == 0) continue;
        EXPECT_GE(p.y, ri->min_y);
        EXPECT_LE(p.y + s.y, ri->max_y);
    }
    EXPECT_LE(ri->min_y, 100);
    EXPECT_GE(ri->max_y, 100);
    fonts_free_face(f);
}

TEST_F(FontsTest, KerningOnlyBetweenNeighboursOfOneString)
{
    const uint32_t size = 3072; // 48 pt: kerning of several pixels
    fonts_face *f = fonts_load_face(SANS, size, 96, 96);
    ASSERT_NE(f, nullptr);
    reference_face ref(SANS, size);
    const long av = ref.kerning('A', 'V');
    ASSERT_LT(av, -64) << "the face kerns A and V";

    const uint32_t v[] = {'V'}, a[] = {'A'}, av_text[] = {'A', 'V'}, va_text[] = {'V', 'A'};
    // a lone glyph: no kerning before the first, whatever came in an earlier string
    ASSERT_TRUE(fonts_layout(f, ri, a, 1, 0, 100, false));
    ASSERT_TRUE(fonts_layout(f, ri, v, 1, 0, 100, false));
    const int32_t v_alone_x = (*ri->positions)[0].x, v_width = ri->max_x;
    EXPECT_EQ(v_alone_x, fonts_get_metrics(f, 'V')->left >> 6);
    EXPECT_EQ(v_width, int32_t(ref.advance('V') >> 6));

    ASSERT_TRUE(fonts_layout(f, ri, av_text, 2, 0, 100, false));
    EXPECT_EQ(ri->max_x, int32_t((ref.advance('A') + av + ref.advance('V')) >> 6));
    EXPECT_EQ((*ri->positions)[1].x, int32_t((ref.advance('A') + av + fonts_get_metrics(f, 'V')->left) >> 6));
    EXPECT_EQ((*ri->positions)[0].x, int32_t(fonts_get_metrics(f, 'A')->left >> 6)) << "nothing before the first";

    ASSERT_TRUE(fonts_layout(f, ri, va_text, 2, 0, 100, false));
    EXPECT_EQ(ri->max_x, int32_t((ref.advance('V') + ref.kerning('V', 'A') + ref.advance('A')) >> 6));
    fonts_free_face(f);
}

TEST_F(FontsTest, FaceWithoutKerningAddsNone)
{
    if (!test_file_exists(MONO)) GTEST_SKIP();
    fonts_face *f = fonts_load_face(MONO, 1536, 96, 96);
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(f->kerning);
    const uint32_t av[] = {'A', 'V'};
    ASSERT_TRUE(fonts_layout(f, ri, av, 2, 0, 0, false));
    reference_face ref(MONO, 1536);
    EXPECT_EQ(ri->max_x, int32_t((ref.advance('A') + ref.advance('V')) >> 6));
    fonts_free_face(f);
}

TEST_F(FontsTest, LineBoxWidensTheBox)
{
    fonts_face *f = fonts_load_face(SANS, 640, 96, 96);
    ASSERT_NE(f, nullptr);
    const uint32_t dots[] = {'.', '.'};
    ASSERT_TRUE(fonts_layout(f, ri, dots, 2, 10, 50, true));
    // ascender 13 px, descender -3 px at 10 pt and 96 dpi
    ASSERT_EQ(f->ascender, 832);
    ASSERT_EQ(f->descender, -192);
    // (y * 64 - a / 2 - d + 63) rounded down to whole pixels
    EXPECT_EQ(ri->line_top, (50 * 64 - 832 / 2 + 192 + 63) / 64);
    EXPECT_EQ(ri->line_bottom, ri->line_top + 13 - 1);
    EXPECT_LE(ri->min_y, ri->line_top);
    EXPECT_GE(ri->max_y, ri->line_bottom);
    fonts_free_face(f);
}

TEST_F(FontsTest, MissingOrDamagedFontFileIsLoggedByName)
{
    std::string dir = test_make_temp_dir();
    const std::string missing = dir + "/missing.ttf", damaged = dir + "/damaged.ttf", cut = dir + "/cut.ttf";
    test_write_file(damaged, std::string(3000, '\x5a'));
    // a real font cut short: its tables point past the end
    std::string whole = test_read_file(SANS);
    test_write_file(cut, whole.substr(0, 2000));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(fonts_load_face(missing.c_str(), 640, 96, 96), nullptr);
    EXPECT_EQ(fonts_load_face(damaged.c_str(), 640, 96, 96), nullptr);
    fonts_face *f = fonts_load_face(cut.c_str(), 640, 96, 96);
    if (f) {
        // FreeType may open what it can of it; glyphs then must not crash
        const uint32_t text[] = {'A', 'b', 0x4E2D};
        EXPECT_TRUE(fonts_layout(f, ri, text, 3, 0, 0, false));
        fonts_free_face(f);
    }
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(missing), std::string::npos) << err;
    EXPECT_NE(err.find(damaged), std::string::npos) << err;
    if (!f) {
        EXPECT_NE(err.find(cut), std::string::npos) << err;
    }
    test_remove_tree(dir);
}

TEST_F(FontsTest, CodePointsTheFontLacksTakeTheMissingGlyph)
{
    fonts_face *f = fonts_load_face(SANS, 1536, 96, 96);
    ASSERT_NE(f, nullptr);
    const fonts_glyph_metrics *box = fonts_get_metrics(f, 0);
    ASSERT_NE(box, nullptr);
    EXPECT_GT(box->width, 0) << "the face's missing-glyph box has pixels";
    for (uint32_t code : {0x4E2Du, 0xE000u, 0x110000u, 0xD800u, 0xFFFFFFFFu}) {
        const fonts_glyph_metrics *m = fonts_get_metrics(f, code);
        ASSERT_NE(m, nullptr) << code;
        EXPECT_EQ(m->glyph_index, 0u) << code;
        EXPECT_EQ(m->width, box->width) << code;
        EXPECT_EQ(m->advance, box->advance) << code;
    }
    fonts_free_face(f);
}

TEST_F(FontsTest, GlyphsLargerThanAnyScreenAreLeftEmpty)
{
    fonts_face *f = fonts_load_face(SANS, 5000 * 64, 96, 96); // 5000 pt: glyphs of thousands of pixels
    ASSERT_NE(f, nullptr);
    ::testing::internal::CaptureStderr();
    const fonts_glyph_metrics *m = fonts_get_metrics(f, 'W');
    std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->width, 0);
    EXPECT_EQ(m->height, 0);
    EXPECT_NE(err.find(SANS), std::string::npos) << err;
    const fonts_glyph_metrics *dot = fonts_get_metrics(f, '.');
    EXPECT_GT(dot->width, 0) << "a glyph that is not too large still renders";
    fonts_free_face(f);
}

// ---- drawing (GL) ------------------------------------------------------------

class TextWriterTest : public GLTest {
  protected:
    void SetUp() override
    {
        if (!test_file_exists(SANS)) GTEST_SKIP() << "no " SANS;
        GLTest::SetUp();
        ASSERT_TRUE(fonts_init());
    }
    // Pixels of the region (overlay coordinates) brighter than a threshold in
    // the channel (0 r, 1 g, 2 b).
    int lit(int x, int y, int w, int h, int channel = 0)
    {
        std::vector<uint8_t> px = gltest_read_rgba(x, GLTEST_HEIGHT - y - h, w, h);
        int n = 0;
        for (size_t i = 0; i < px.size(); i += 4) n += px[i + size_t(channel)] > 100;
        return n;
    }
};

TEST_F(TextWriterTest, TextDrawsInsideItsBoxInItsColour)
{
    gtw_font *font = gtw_load_font(SANS, 1536, 0);
    ASSERT_NE(font, nullptr);
    const std::u32string text = U"Hello, VVVORN";
    const uint32_t *t = reinterpret_cast<const uint32_t *>(text.c_str());
    int32_t box[4];
    const int32_t origin[2] = {100, 200};
    ASSERT_TRUE(gtw_get_text_box(font, origin, box, t, 0));
    const float red[4] = {1, 0, 0, 1};
    gtw_draw_text(font, 100, 200, t, red, 0);
    const int w = box[2] - box[0], h = box[3] - box[1];
    EXPECT_GT(lit(box[0], box[1], w, h, 0), 200) << "red letters";
    EXPECT_EQ(lit(box[0], box[1], w, h, 1), 0) << "and nothing green";
    EXPECT_EQ(lit(0, 0, 800, box[1] - 1), 0) << "nothing above the box";
    EXPECT_EQ(lit(0, box[3] + 1, 800, 600 - box[3] - 1), 0) << "nothing below";
    EXPECT_EQ(lit(box[2] + 2, 0, 800 - box[2] - 2, 600), 0) << "nothing right of it";

    gltest_reset_state();
    gtw_draw_text(font, 100, 200, t, nullptr, 0);
    EXPECT_GT(lit(box[0], box[1], w, h, 1), 200) << "no colour: white";
    gtw_free_font(font);
}

TEST_F(TextWriterTest, RightAndCentredTextEndAndCentreAtX)
{
    gtw_font *font = gtw_load_font(SANS, 1536, 0);
    ASSERT_NE(font, nullptr);
    const uint32_t text[] = {'I', 'I', 'I', 'I', 0};
    int32_t box[4];
    const int32_t origin[2] = {0, 300};
    ASSERT_TRUE(gtw_get_text_box(font, origin, box, text, 0));
    const int32_t width = box[2] - box[0];
    ASSERT_GT(width, 20);
    gtw_draw_text(font, 600, 300, text, nullptr, GTW_ALIGN_RIGHT);
    EXPECT_GT(lit(600 - width, box[1], width, box[3] - box[1]), 50);
    EXPECT_EQ(lit(600, 0, 200, 600), 0) << "nothing right of x";
    EXPECT_EQ(lit(0, 0, 600 - width - 1, 600), 0);
    gltest_reset_state();
    gtw_draw_text(font, 400, 300, text, nullptr, GTW_ALIGN_CENTRE);
    const int left = lit(400 - width / 2 - 1, box[1], width / 2 + 1, box[3] - box[1]);
    const int right = lit(400, box[1], width / 2 + 2, box[3] - box[1]);
    EXPECT_GT(left, 20);
    EXPECT_NEAR(left, right, double(left) / 4.0) << "as much ink left of x as right of it";
    gtw_free_font(font);
}

TEST_F(TextWriterTest, SameCharacterIsRenderedOnceAndSpacesAreEmpty)
{
    gtw_font *font = gtw_load_font(SANS, 640, 0);
    ASSERT_NE(font, nullptr);
    const uint32_t text[] = {'a', 'a', ' ', 'a', 0};
    gtw_draw_text(font, 10, 30, text, nullptr, 0);
    gtw_draw_text(font, 10, 60, text, nullptr, 0);
    EXPECT_EQ(font->glyphs_rendered, 1u) << "one 'a'; the space needs no picture";
    const uint32_t space[] = {' ', 0};
    const gtw_glyph *g = gtw_cache_glyph(font, ' ');
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->dx, 0);
    EXPECT_EQ(g->dy, 0);
    EXPECT_EQ(g->texture, nullptr);
    int32_t box[4];
    ASSERT_TRUE(gtw_get_text_box(font, nullptr, box, space, 0));
    EXPECT_GT(box[2], 0) << "a space moves the pen";
    gtw_free_font(font);
}

TEST_F(TextWriterTest, GlyphsFillTheAtlasShelfByShelfThenGetTexturesOfTheirOwn)
{
    // 160 pt: a handful of glyphs per shelf, the atlas full after a few dozen
    gtw_font *font = gtw_load_font(SANS, 160 * 64, 0);
    ASSERT_NE(font, nullptr);
    int prev_y = 0, prev_bottom = 0;
    int32_t shelf_tallest = 0;
    uint32_t code = 'A', first_own = 0;
    for (; code < 0x250 && !first_own; code++) {
        const fonts_glyph_metrics *m = fonts_get_metrics(font->face, code);
        if (!m || m->width == 0 || m->glyph_index == 0) continue;
        const gtw_shelf before = font->shelf;
        const gtw_glyph *g = gtw_cache_glyph(font, code);
        ASSERT_NE(g, nullptr);
        if (g->texture) {
            first_own = code;
            break;
        }
        if (g->y != prev_y) {
            EXPECT_EQ(g->x, 0) << "a new shelf starts at x 0";
            EXPECT_EQ(g->y, prev_y + shelf_tallest) << "below the tallest glyph of the shelf before";
            EXPECT_GT(before.cursor_x + g->dx, GTW_ATLAS_SIZE) << "only when the shelf is full";
            shelf_tallest = 0;
        }
        prev_y = g->y;
        prev_bottom = g->y + g->dy;
        if (g->dy > shelf_tallest) shelf_tallest = g->dy;
    }
    ASSERT_NE(first_own, 0u) << "the atlas filled up";
    EXPECT_LE(prev_bottom, GTW_ATLAS_SIZE);
    EXPECT_EQ(font->own_textures, 1u);

    // the glyph of its own still draws where it belongs
    const gtw_glyph *g = gtw_find_glyph(font, first_own);
    const uint32_t text[] = {first_own, 0};
    int32_t box[4];
    const int32_t origin[2] = {200, 400};
    ASSERT_TRUE(gtw_get_text_box(font, origin, box, text, 0));
    gtw_draw_text(font, 200, 400, text, nullptr, 0);
    EXPECT_GT(lit(box[0], box[1], box[2] - box[0], box[3] - box[1]), g->dx * g->dy / 8);
    // and a string mixing both kinds draws both
    gltest_reset_state();
    const uint32_t mixed[] = {'A', first_own, 0};
    const int32_t origin2[2] = {10, 300};
    ASSERT_TRUE(gtw_get_text_box(font, origin2, box, mixed, 0));
    gtw_draw_text(font, 10, 300, mixed, nullptr, 0);
    const int mid = (box[0] + box[2]) / 2;
    EXPECT_GT(lit(box[0], box[1], mid - box[0], box[3] - box[1]), 100);
    EXPECT_GT(lit(mid, box[1], box[2] - mid, box[3] - box[1]), 100);
    gtw_free_font(font);
}

TEST_F(TextWriterTest, MissingGlyphsDrawTheBoxAndNeverCrash)
{
    gtw_font *font = gtw_load_font(SANS, 1536, 0);
    ASSERT_NE(font, nullptr);
    const uint32_t text[] = {0x4E2D, 0x110000, 0xFFFFFFFF, 0};
    gtw_draw_text(font, 100, 100, text, nullptr, 0);
    int32_t box[4];
    const int32_t origin[2] = {100, 100};
    ASSERT_TRUE(gtw_get_text_box(font, origin, box, text, 0));
    EXPECT_GT(lit(box[0], box[1], box[2] - box[0], box[3] - box[1]), 30);
    const gtw_glyph *lacking = gtw_find_glyph(font, 0x4E2D), *invalid = gtw_find_glyph(font, 0x110000);
    ASSERT_NE(lacking, nullptr);
    ASSERT_NE(invalid, nullptr);
    EXPECT_GT(lacking->dx, 0);
    EXPECT_EQ(lacking->dx, invalid->dx) << "both are the missing-glyph box";
    EXPECT_EQ(lacking->dy, invalid->dy);
    EXPECT_EQ(gtw_find_glyph(font, 0xFFFFFFFF), invalid) << "every non-code point shares one entry";
    gtw_draw_text_utf8(font, 100, 300, "caf\xc3\xa9 \xff", nullptr, 0);
    gtw_free_font(font);
}

TEST_F(TextWriterTest, FontThatCannotBeOpenedIsNull)
{
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(gtw_load_font("/nonexistent/arial.ttf", 640, 0), nullptr);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("/nonexistent/arial.ttf"), std::string::npos) << err;
}

TEST_F(TextWriterTest, FreeingAFontReleasesEveryTexture)
{
    const int before = OGL_texture_count();
    gtw_font *font = gtw_load_font(SANS, 200 * 64, 0);
    ASSERT_NE(font, nullptr);
    for (uint32_t c = 'A'; c <= 'Z'; c++) gtw_cache_glyph(font, c);
    for (uint32_t c = 'a'; c <= 'z'; c++) gtw_cache_glyph(font, c);
    EXPECT_GT(font->own_textures, 0u);
    EXPECT_EQ(OGL_texture_count(), before + 1 + int(font->own_textures));
    gtw_free_font(font);
    EXPECT_EQ(OGL_texture_count(), before);
}

TEST_F(TextWriterTest, EveryFontOfTheDefaultDataLoadsAndDraws)
{
    const std::string data = std::string(VORN_BINARY_DIR) + "/data/";
    if (!test_file_exists(data + "arial.ttf")) GTEST_SKIP() << "no default data (build the data target)";
    // the HUD font and the six cockpit fonts, named as the game names them
    struct {
        const char *file;
        uint32_t size;
    } fonts[] = {{"arial.ttf", 640},     {"ui\\Ftr____.ttf", 1152}, {"ui\\Ftr____.ttf", 768}, {"ui\\ANDROMED.ttf", 640},
                 {"ui\\arial.ttf", 768}, {"ui\\freon.ttf", 1152},   {"ui\\freon.ttf", 640}};
    int y = 40;
    for (auto f : fonts) {
        gtw_font *font = gtw_load_font((data + f.file).c_str(), f.size, 0);
        ASSERT_NE(font, nullptr) << f.file;
        gtw_draw_text_utf8(font, 20, y, "SCORE 0012500 \xc3\x84\xc3\x96\xc3\x9c", nullptr, 0);
        EXPECT_GT(lit(20, y - 20, 400, 26), 30) << f.file;
        gtw_free_font(font);
        y += 40;
    }
}

// The drawn glyph, pixel by pixel, is FreeType's coverage bitmap: white text
// on black shows the coverage in every channel.
static void expect_drawn_as_freetype_renders(gtw_font *font, uint32_t code, int x, int y)
{
    reference_face ref(SANS, int(font->size));
    ASSERT_EQ(FT_Load_Char(ref.face, code, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP | FT_LOAD_RENDER), 0);
    const FT_Bitmap &b = ref.face->glyph->bitmap;
    const int gx = x + ref.face->glyph->bitmap_left, gy = y - ref.face->glyph->bitmap_top;
    const uint32_t text[] = {code, 0};
    gtw_draw_text(font, x, y, text, nullptr, 0);
    std::vector<uint8_t> px = gltest_read_rgba(gx, GLTEST_HEIGHT - gy - int(b.rows), int(b.width), int(b.rows));
    int bad = 0;
    for (unsigned row = 0; row < b.rows; row++)
        for (unsigned col = 0; col < b.width; col++) {
            const int want = b.buffer[row * unsigned(b.pitch) + col];
            // read-back rows run bottom-up
            const int got = px[((b.rows - 1 - row) * b.width + col) * 4];
            bad += std::abs(got - want) > 3;
        }
    EXPECT_EQ(bad, 0) << "of " << b.width * b.rows << " pixels";
}

TEST_F(TextWriterTest, GlyphsFromTheAtlasAndFromOwnTexturesAreFreeTypesBitmaps)
{
    gtw_font *font = gtw_load_font(SANS, 3072, 0);
    ASSERT_NE(font, nullptr);
    expect_drawn_as_freetype_renders(font, 'W', 100, 200);
    expect_drawn_as_freetype_renders(font, 'g', 300, 200);
    EXPECT_EQ(font->own_textures, 0u);
    font->shelf.top = GTW_ATLAS_SIZE; // as if full
    gltest_reset_state();
    expect_drawn_as_freetype_renders(font, 'R', 100, 400);
    EXPECT_EQ(font->own_textures, 1u);
    gtw_free_font(font);
}
