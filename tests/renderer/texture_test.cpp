// Textures: reduction, targets and padding, formats, mipmap chains, region
// updates, double buffering, filter levels, refused images, read back from GL.
#include <cstdlib>
#include <string>
#include <vector>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "gl_test_context.h"
#include "renderer/OGL_features.h"
#include "renderer/OGL_settings.h"
#include "renderer/OGL_texture.h"
#include "test_support.h"

using ::testing::ExitedWithCode;

// An image of w x h with bpp bits where pixel (x, y) (y = 0 the bottom row)
// has the colour fn(x, y).
template <typename F> static std::vector<uint8_t> image(uint32_t w, uint32_t h, uint32_t bpp, F fn)
{
    const uint32_t c = bpp / 8;
    std::vector<uint8_t> px(size_t(w) * h * c);
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++) {
            gltest_rgba col = fn(x, y);
            uint8_t *p = &px[(size_t(y) * w + x) * c];
            const uint8_t v[4] = {col.r, col.g, col.b, col.a};
            for (uint32_t k = 0; k < c; k++) p[k] = v[k];
        }
    return px;
}

// Quadrants: red bottom-left, green bottom-right, blue top-left, white top-right.
static gltest_rgba quadrant(uint32_t x, uint32_t y, uint32_t w, uint32_t h)
{
    bool right = x >= w / 2, top = y >= h / 2;
    if (!right && !top) return {255, 0, 0, 255};
    if (right && !top) return {0, 255, 0, 255};
    if (!right && top) return {0, 0, 255, 255};
    return {255, 255, 255, 255};
}

static OGL_texture *make(uint32_t flags, uint32_t w, uint32_t h, uint32_t bpp, const std::vector<uint8_t> &px,
                         const char *name = "test.tga")
{
    OGL_texture_input_data id = {flags, 0, name, w, h, bpp, px.empty() ? nullptr : px.data()};
    return OGL_texture_create(&id);
}

static gltest_rgba texel(const std::vector<uint8_t> &rgba, int w, int x, int y)
{
    const uint8_t *p = &rgba[(size_t(y) * w + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

static int level_width(const OGL_texture *t, int level)
{
    int w = 0, h = 0;
    gltest_read_texture(t->target, t->gl_name, level, &w, &h);
    return w;
}

class TextureTest : public GLTest {
  protected:
    void SetUp() override
    {
        GLTest::SetUp();
        count_before = OGL_texture_count();
    }
    void TearDown() override
    {
        for (OGL_texture *t : made) OGL_texture_free(t);
        EXPECT_EQ(OGL_texture_count(), count_before);
    }
    OGL_texture *keep(OGL_texture *t)
    {
        if (t) made.push_back(t);
        return t;
    }
    std::vector<OGL_texture *> made;
    int count_before = 0;
};

// ---------------------------------------------------------------------------
// reduction

TEST(TextureReduction, FlagsFollowTheSizeAndDepthRules)
{
    const uint32_t once = OGL_TEXTURE_INPUT_HALVE_ONCE, twice = OGL_TEXTURE_INPUT_HALVE_TWICE;
    EXPECT_EQ(OGL_texture_correct_reduction_flags(twice, 256, 256, 24), twice);
    EXPECT_EQ(OGL_texture_correct_reduction_flags(once, 256, 128, 32), once);
    // a 128 x 128 image is halved at most once
    EXPECT_EQ(OGL_texture_correct_reduction_flags(twice, 128, 128, 24), once);
    EXPECT_EQ(OGL_texture_correct_reduction_flags(twice, 128, 256, 24), twice);
    // small images are never reduced
    EXPECT_EQ(OGL_texture_correct_reduction_flags(twice, 64, 64, 24), 0u);
    EXPECT_EQ(OGL_texture_correct_reduction_flags(once, 64, 32, 24), 0u);
    EXPECT_EQ(OGL_texture_correct_reduction_flags(once, 128, 32, 24), once);
    // only 24 and 32-bit images
    EXPECT_EQ(OGL_texture_correct_reduction_flags(twice, 256, 256, 8), 0u);
    EXPECT_EQ(OGL_texture_correct_reduction_flags(once, 256, 256, 16), 0u);
    // sizes that do not halve evenly
    EXPECT_EQ(OGL_texture_correct_reduction_flags(twice, 258, 256, 24), 0u);
    EXPECT_EQ(OGL_texture_correct_reduction_flags(once | twice, 258, 256, 24), once & 0u);
    // non-power-of-two images are kept whole (the halving works on powers of two)
    EXPECT_EQ(OGL_texture_correct_reduction_flags(once, 300, 200, 24), 0u);
    // other bits pass through
    EXPECT_EQ(OGL_texture_correct_reduction_flags(OGL_TEXTURE_INPUT_MIPMAPS | twice, 64, 64, 24),
              OGL_TEXTURE_INPUT_MIPMAPS);
}

TEST(TextureReduction, HalvingAveragesBlocksAndWeightsTheRightAlpha)
{
    // 2 x 2 block: first row (bottom) a0, a1; second row.
    const uint8_t px[4 * 4] = {10, 20, 30, 0,   11, 21, 31, 100, //
                               12, 22, 32, 200, 14, 24, 34, 255};
    uint8_t *out = OGL_texture_downsample(2, 2, 32, px);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out[0], (10 + 11 + 12 + 14 + 2) >> 2);
    EXPECT_EQ(out[1], (20 + 21 + 22 + 24 + 2) >> 2);
    EXPECT_EQ(out[2], (30 + 31 + 32 + 34 + 2) >> 2);
    EXPECT_EQ(out[3], (0 + 3 * 100 + 2) >> 2);
    mem_free(out);

    const uint8_t rgb[2 * 2 * 3] = {255, 0, 1, 255, 0, 1, 255, 0, 1, 255, 0, 2};
    out = OGL_texture_downsample(2, 2, 24, rgb);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[2], 1); // (1 + 1 + 1 + 2 + 2) >> 2
    mem_free(out);
}

TEST_F(TextureTest, ReducedSizesFollowTheRules)
{
    auto grey = [](uint32_t, uint32_t) { return gltest_rgba{90, 90, 90, 255}; };
    struct {
        uint32_t flags, w, h, bpp, want_w, want_h;
    } cases[] = {
        {OGL_TEXTURE_INPUT_HALVE_TWICE, 256, 256, 24, 64, 64},
        {OGL_TEXTURE_INPUT_HALVE_TWICE, 128, 128, 24, 64, 64},
        {OGL_TEXTURE_INPUT_HALVE_TWICE, 64, 64, 24, 64, 64},
        {OGL_TEXTURE_INPUT_HALVE_ONCE, 256, 128, 32, 128, 64},
        {OGL_TEXTURE_INPUT_HALVE_TWICE | OGL_TEXTURE_INPUT_SINGLE_CHANNEL, 256, 256, 8, 256, 256},
        {OGL_TEXTURE_INPUT_HALVE_ONCE, 300, 200, 24, 300, 200},
    };
    for (const auto &c : cases) {
        OGL_texture *t = keep(make(c.flags, c.w, c.h, c.bpp, image(c.w, c.h, c.bpp, grey)));
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->xsize, c.want_w) << c.w << " x " << c.h;
        EXPECT_EQ(t->ysize, c.want_h);
        if (t->target == GL_TEXTURE_2D && t->texture_xsize == t->xsize) {
            EXPECT_EQ(level_width(t, 0), int(c.want_w));
        }
    }
}

TEST_F(TextureTest, ReducedTextureHoldsTheAveragedImage)
{
    // 4-pixel stripes: halving twice gives flat colours per 4 x 4 block
    auto stripes = [](uint32_t x, uint32_t y) {
        return ((x / 4 + y / 4) & 1) ? gltest_rgba{200, 100, 50, 255} : gltest_rgba{0, 40, 80, 255};
    };
    std::vector<uint8_t> px = image(256, 256, 24, stripes);
    OGL_texture *t = keep(make(OGL_TEXTURE_INPUT_HALVE_TWICE, 256, 256, 24, px));
    int w, h;
    std::vector<uint8_t> back = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    ASSERT_EQ(w, 64);
    EXPECT_EQ(texel(back, w, 0, 0), (gltest_rgba{0, 40, 80, 255}));
    EXPECT_EQ(texel(back, w, 1, 0), (gltest_rgba{200, 100, 50, 255}));
    EXPECT_EQ(texel(back, w, 1, 1), (gltest_rgba{0, 40, 80, 255}));
}

// ---------------------------------------------------------------------------
// targets

TEST_F(TextureTest, PaddedTextureScalesItsCoordinatesOntoTheImage)
{
    auto q = [](uint32_t x, uint32_t y) { return quadrant(x, y, 300, 200); };
    OGL_texture *t = keep(make(0, 300, 200, 24, image(300, 200, 24, q)));
    ASSERT_NE(t, nullptr);
    if (t->target != GL_TEXTURE_2D) GTEST_SKIP() << "board makes rectangles unasked";
    EXPECT_EQ(t->texture_xsize, 512u);
    EXPECT_EQ(t->texture_ysize, 256u);
    EXPECT_EQ(t->xsize, 300u);
    int w, h;
    std::vector<uint8_t> back = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    EXPECT_EQ(w, 512);
    EXPECT_EQ(h, 256);
    EXPECT_EQ(texel(back, w, 0, 0), (gltest_rgba{255, 0, 0, 255}));
    EXPECT_EQ(texel(back, w, 299, 199), (gltest_rgba{255, 255, 255, 255}));

    glActiveTextureARB(GL_TEXTURE0_ARB);
    OGL_texture_bind(t);
    GLfloat m[16];
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    EXPECT_FLOAT_EQ(m[0], 300.0f / 512.0f);
    EXPECT_FLOAT_EQ(m[5], 200.0f / 256.0f);
    EXPECT_FLOAT_EQ(m[15], 1.0f);

    // Drawn with coordinates 0..1 the whole image shows, and nothing else.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 800, 0, 600, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(100, 100);
    glTexCoord2f(1, 0), glVertex2f(400, 100);
    glTexCoord2f(1, 1), glVertex2f(400, 300);
    glTexCoord2f(0, 1), glVertex2f(100, 300);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    EXPECT_TRUE(gltest_region_is(102, 102, 140, 90, {255, 0, 0, 255}, 2));
    EXPECT_TRUE(gltest_region_is(258, 102, 140, 90, {0, 255, 0, 255}, 2));
    EXPECT_TRUE(gltest_region_is(102, 208, 140, 90, {0, 0, 255, 255}, 2));
    EXPECT_TRUE(gltest_region_is(258, 208, 140, 90, {255, 255, 255, 255}, 2));
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(TextureTest, RectangleTextureWhenWantedOrAcceptable)
{
    auto q = [](uint32_t x, uint32_t y) { return quadrant(x, y, 300, 200); };
    std::vector<uint8_t> px = image(300, 200, 32, q);
    ASSERT_TRUE(GLEW_ARB_texture_rectangle || GLEW_EXT_texture_rectangle);
    OGL_texture *t = keep(make(OGL_TEXTURE_INPUT_RECTANGLE_WANTED | OGL_TEXTURE_INPUT_REPEAT_S, 300, 200, 32, px));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->target, GLenum(GL_TEXTURE_RECTANGLE_ARB));
    EXPECT_EQ(t->texture_xsize, 300u);
    EXPECT_EQ(t->texture_ysize, 200u);
    // rectangles cannot repeat
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_RECTANGLE_ARB, t->gl_name, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    int w, h;
    std::vector<uint8_t> back = gltest_read_texture(GL_TEXTURE_RECTANGLE_ARB, t->gl_name, 0, &w, &h);
    EXPECT_EQ(w, 300);
    EXPECT_EQ(texel(back, w, 299, 0), (gltest_rgba{0, 255, 0, 255}));

    OGL_texture_bind(t);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_RECTANGLE_ARB));
    GLfloat m[16];
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    EXPECT_FLOAT_EQ(m[0], 300.0f);
    EXPECT_FLOAT_EQ(m[5], 200.0f);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);

    if (GLEW_NV_texture_rectangle) {
        OGL_texture *a = keep(make(OGL_TEXTURE_INPUT_RECTANGLE_ACCEPTABLE, 300, 200, 32, px));
        EXPECT_EQ(a->target, GLenum(GL_TEXTURE_RECTANGLE_ARB));
    }
    // power-of-two images stay 2D whatever the flags
    std::vector<uint8_t> sq = image(64, 32, 24, [](uint32_t, uint32_t) { return gltest_rgba{1, 2, 3, 255}; });
    OGL_texture *p = keep(make(OGL_TEXTURE_INPUT_RECTANGLE_WANTED, 64, 32, 24, sq));
    EXPECT_EQ(p->target, GLenum(GL_TEXTURE_2D));
}

TEST(TextureChild, DISABLED_OnlyArbRectangles)
{
    ASSERT_TRUE(gltest_open());
    ASSERT_FALSE(GLEW_NV_texture_rectangle);
    std::vector<uint8_t> px(size_t(300) * 200 * 3, 7);
    OGL_texture *a = make(OGL_TEXTURE_INPUT_RECTANGLE_ACCEPTABLE, 300, 200, 24, px);
    OGL_texture *w = make(OGL_TEXTURE_INPUT_RECTANGLE_WANTED, 300, 200, 24, px);
    // "acceptable" needs the NV extension; "wanted" takes the ARB one
    EXPECT_EQ(a->target, GLenum(GL_TEXTURE_2D));
    EXPECT_EQ(a->texture_xsize, 512u);
    EXPECT_EQ(w->target, GLenum(GL_TEXTURE_RECTANGLE_ARB));
    OGL_texture_free(a);
    OGL_texture_free(w);
}

TEST(Texture, RectangleRulesWithoutTheNvExtension)
{
    EXPECT_TRUE(gltest_child_passed(gltest_run_child("TextureChild.DISABLED_OnlyArbRectangles",
                                                     {{GLTEST_MISSING_EXTENSIONS_VAR, "GL_NV_texture_rectangle"}})));
}

TEST_F(TextureTest, MipmapsOnARectangleAreAFault)
{
    std::vector<uint8_t> px(size_t(300) * 200 * 3, 7);
    EXPECT_EXIT(make(OGL_TEXTURE_INPUT_MIPMAPS | OGL_TEXTURE_INPUT_RECTANGLE_ACCEPTABLE, 300, 200, 24, px),
                ExitedWithCode(LOG_FAULT_EXIT_STATUS), "BUG");
}

TEST_F(TextureTest, PaddedTextureAskedForMipmapsIsCompleteWithoutThem)
{
    auto q = [](uint32_t x, uint32_t y) { return quadrant(x, y, 100, 60); };
    OGL_texture *t = keep(make(OGL_TEXTURE_INPUT_MIPMAPS, 100, 60, 24, image(100, 60, 24, q)));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->texture_xsize, 128u);
    EXPECT_FALSE(t->flags & OGL_TEXTURE_MIPMAPPED);
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
}

// ---------------------------------------------------------------------------
// formats

TEST_F(TextureTest, SixteenBitImagesUpload565)
{
    const uint16_t px[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t *>(px), reinterpret_cast<const uint8_t *>(px) + 8);
    OGL_texture *t = keep(make(0, 2, 2, 16, bytes));
    ASSERT_NE(t, nullptr);
    GLint internal = 0;
    glBindTexture(GL_TEXTURE_2D, t->gl_name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
    EXPECT_TRUE(internal == GL_RGB || internal == GL_RGB8 || internal == GL_RGB5) << internal;
    int w, h;
    std::vector<uint8_t> back = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    EXPECT_EQ(texel(back, 2, 0, 0), (gltest_rgba{255, 0, 0, 255}));
    EXPECT_EQ(texel(back, 2, 1, 0), (gltest_rgba{0, 255, 0, 255}));
    EXPECT_EQ(texel(back, 2, 0, 1), (gltest_rgba{0, 0, 255, 255}));
    EXPECT_EQ(texel(back, 2, 1, 1), (gltest_rgba{255, 255, 255, 255}));

    // BGR order: the top five bits are blue
    OGL_texture *b = keep(make(OGL_TEXTURE_INPUT_BGR, 2, 2, 16, bytes));
    back = gltest_read_texture(GL_TEXTURE_2D, b->gl_name, 0, &w, &h);
    EXPECT_EQ(texel(back, 2, 0, 0), (gltest_rgba{0, 0, 255, 255}));
    EXPECT_EQ(texel(back, 2, 0, 1), (gltest_rgba{255, 0, 0, 255}));
}

TEST_F(TextureTest, ChannelOrdersAndAlpha)
{
    const std::vector<uint8_t> bgr = {10, 20, 30, 40, 50, 60};
    OGL_texture *t = keep(make(OGL_TEXTURE_INPUT_BGR, 2, 1, 24, bgr));
    int w, h;
    std::vector<uint8_t> back = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    EXPECT_EQ(texel(back, 2, 0, 0), (gltest_rgba{30, 20, 10, 255}));
    const std::vector<uint8_t> bgra = {10, 20, 30, 77, 40, 50, 60, 88};
    t = keep(make(OGL_TEXTURE_INPUT_BGR, 2, 1, 32, bgra));
    back = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    EXPECT_EQ(texel(back, 2, 1, 0), (gltest_rgba{60, 50, 40, 88}));
    t = keep(make(0, 2, 1, 32, bgra));
    back = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    EXPECT_EQ(texel(back, 2, 0, 0), (gltest_rgba{10, 20, 30, 77}));
}

TEST_F(TextureTest, SingleChannelImagesBecomeAlphaTextures)
{
    const std::vector<uint8_t> a8 = {0, 64, 128, 255};
    OGL_texture *t = keep(make(OGL_TEXTURE_INPUT_SINGLE_CHANNEL, 2, 2, 8, a8));
    int w, h;
    std::vector<uint8_t> back = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    EXPECT_EQ(back[3], 0);
    EXPECT_EQ(back[7], 64);
    EXPECT_EQ(back[15], 255);
    GLint internal = 0;
    glBindTexture(GL_TEXTURE_2D, t->gl_name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &internal);
    EXPECT_GT(internal, 0);

    // 24 bits: (R + G + B) / 3
    const std::vector<uint8_t> rgb = {30, 60, 91, 255, 255, 255};
    t = keep(make(OGL_TEXTURE_INPUT_SINGLE_CHANNEL, 2, 1, 24, rgb));
    back = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    EXPECT_EQ(back[3], (30 + 60 + 91) / 3);
    EXPECT_EQ(back[7], 255);

    // 1 bit: bits most significant first, set bits opaque
    const std::vector<uint8_t> bits = {0xA0, 0x40}; // rows: 1010 0000 / 0100 0000
    t = keep(make(OGL_TEXTURE_INPUT_SINGLE_CHANNEL, 4, 2, 1, bits));
    ASSERT_NE(t, nullptr);
    back = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    const uint8_t want[8] = {255, 0, 255, 0, 0, 255, 0, 0};
    for (int i = 0; i < 8; i++) EXPECT_EQ(back[i * 4 + 3], want[i]) << i;
}

TEST_F(TextureTest, WrapAndFilterFlags)
{
    gltest_anisotropy_scope aniso_on(OGL_RS_ANISOTROPY_ON);
    std::vector<uint8_t> px(16 * 16 * 3, 100);
    OGL_texture *t = keep(make(OGL_TEXTURE_INPUT_REPEAT_S, 16, 16, 24, px));
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_FLOAT_EQ(gltest_tex_param_f(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MAX_ANISOTROPY_EXT),
                    OGL_features_get()->max_anisotropy);
    EXPECT_FALSE(t->flags & OGL_TEXTURE_MIPMAPPED);

    t = keep(make(OGL_TEXTURE_INPUT_NEAREST | OGL_TEXTURE_INPUT_MIPMAPS | OGL_TEXTURE_INPUT_REPEAT_T, 16, 16, 24, px));
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_FALSE(t->flags & OGL_TEXTURE_MIPMAPPED);
}

// ---------------------------------------------------------------------------
// mipmaps

TEST_F(TextureTest, MipmapsAreGeneratedByTheBoard)
{
    auto checker = [](uint32_t x, uint32_t y) {
        return ((x + y) & 1) ? gltest_rgba{255, 255, 255, 255} : gltest_rgba{0, 0, 0, 255};
    };
    OGL_texture *t = keep(make(OGL_TEXTURE_INPUT_MIPMAPS, 8, 8, 24, image(8, 8, 24, checker)));
    EXPECT_TRUE(t->flags & OGL_TEXTURE_MIPMAPPED);
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    ASSERT_TRUE(GLEW_SGIS_generate_mipmap);
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_GENERATE_MIPMAP_SGIS), GL_TRUE);
    int w, h;
    std::vector<uint8_t> l3 = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 3, &w, &h);
    ASSERT_EQ(w, 1);
    EXPECT_NEAR(l3[0], 128, 2);
}

TEST(TextureChild, DISABLED_MipmapsThroughGlu)
{
    ASSERT_TRUE(gltest_open());
    ASSERT_FALSE(GLEW_SGIS_generate_mipmap);
    auto checker = [](uint32_t x, uint32_t y) {
        return ((x + y) & 1) ? gltest_rgba{255, 255, 255, 255} : gltest_rgba{0, 0, 0, 255};
    };
    OGL_texture *t = make(OGL_TEXTURE_INPUT_MIPMAPS, 8, 8, 24, image(8, 8, 24, checker));
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_GENERATE_MIPMAP_SGIS), GL_FALSE);
    int w, h;
    std::vector<uint8_t> l3 = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 3, &w, &h);
    ASSERT_EQ(w, 1);
    EXPECT_NEAR(l3[0], 128, 2);
    OGL_texture_free(t);
}

TEST(Texture, MipmapsWithoutHardwareGenerationComeFromGlu)
{
    EXPECT_TRUE(gltest_child_passed(gltest_run_child("TextureChild.DISABLED_MipmapsThroughGlu",
                                                     {{GLTEST_MISSING_EXTENSIONS_VAR, "GL_SGIS_generate_mipmap"}})));
}

TEST(NormalMapChain, AgreeingNormalsStayOpaqueAndOpposedOnesFade)
{
    // all straight up: (128, 128, 255)
    OGL_rgba_color_uc up[4] = {{128, 128, 255, 255}, {128, 128, 255, 255}, {128, 128, 255, 255}, {128, 128, 255, 255}};
    OGL_rgba_color_uc out = {};
    OGL_texture_normal_map_next_level(up, 2, 2, &out);
    EXPECT_EQ(out.r, 128);
    EXPECT_EQ(out.g, 128);
    EXPECT_EQ(out.b, 254);
    EXPECT_EQ(out.a, 255);

    // two pointing +x, two -x: they cancel, alpha records the disagreement
    OGL_rgba_color_uc opposed[4] = {{255, 128, 128, 255}, {0, 128, 128, 255}, {255, 128, 128, 255}, {0, 128, 128, 255}};
    OGL_texture_normal_map_next_level(opposed, 2, 2, &out);
    EXPECT_LT(out.a, 10);

    // zero weights: the sum is zero, the normal defaults to +z
    OGL_rgba_color_uc none[4] = {{255, 0, 0, 0}, {255, 0, 0, 0}, {255, 0, 0, 0}, {255, 0, 0, 0}};
    OGL_texture_normal_map_next_level(none, 2, 2, &out);
    EXPECT_EQ(out.r, 128);
    EXPECT_EQ(out.b, 255);
    EXPECT_EQ(out.a, 0);

    // a 3-wide row wraps around: texel 2 pairs with texel 0
    OGL_rgba_color_uc row[3] = {{128, 128, 255, 255}, {128, 128, 255, 255}, {255, 128, 128, 255}};
    OGL_rgba_color_uc half[1];
    OGL_texture_normal_map_next_level(row, 3, 1, half);
    EXPECT_EQ(half[0].b, 254);
}

TEST_F(TextureTest, NormalMapChainGoesDownToOneTexel)
{
    auto tilt = [](uint32_t x, uint32_t y) {
        return gltest_rgba{uint8_t(100 + 40 * x), uint8_t(110 + 50 * y), 230, 255};
    };
    std::vector<uint8_t> px = image(4, 2, 24, tilt);
    OGL_texture *t = keep(make(OGL_TEXTURE_INPUT_NORMAL_MAP, 4, 2, 24, px));
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->flags & OGL_TEXTURE_MIPMAPPED);
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    int w, h;
    std::vector<uint8_t> l0 = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 2);
    std::vector<uint8_t> l1 = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 1, &w, &h);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 1);
    std::vector<uint8_t> l2 = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 2, &w, &h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 3, &w, &h);
    EXPECT_EQ(w, 0); // no level beyond 1 x 1

    // Each level is the rule applied to the level above.
    std::vector<OGL_rgba_color_uc> src(8), want1(2), want2(1);
    for (int i = 0; i < 8; i++) src[i] = {l0[i * 4], l0[i * 4 + 1], l0[i * 4 + 2], l0[i * 4 + 3]};
    EXPECT_EQ(src[0].a, 255);
    EXPECT_EQ(src[5].r, 140);
    OGL_texture_normal_map_next_level(src.data(), 4, 2, want1.data());
    OGL_texture_normal_map_next_level(want1.data(), 2, 1, want2.data());
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(l1[i * 4], want1[i].r);
        EXPECT_EQ(l1[i * 4 + 1], want1[i].g);
        EXPECT_EQ(l1[i * 4 + 2], want1[i].b);
        EXPECT_EQ(l1[i * 4 + 3], want1[i].a);
    }
    EXPECT_EQ(l2[0], want2[0].r);
    EXPECT_EQ(l2[3], want2[0].a);

    // A 32-bit or BGR normal map takes the same chain (its own alpha is replaced).
    std::vector<uint8_t> bgra = image(4, 2, 32, [&](uint32_t x, uint32_t y) {
        gltest_rgba c = tilt(x, y);
        return gltest_rgba{c.b, c.g, c.r, 7};
    });
    OGL_texture *b = keep(make(OGL_TEXTURE_INPUT_NORMAL_MAP | OGL_TEXTURE_INPUT_BGR, 4, 2, 32, bgra));
    std::vector<uint8_t> b1 = gltest_read_texture(GL_TEXTURE_2D, b->gl_name, 1, &w, &h);
    EXPECT_EQ(b1, l1);
}

// ---------------------------------------------------------------------------
// filter levels

TEST_F(TextureTest, FilterLevelsOnABoardWithHighAnisotropy)
{
    gltest_anisotropy_scope aniso_on(OGL_RS_ANISOTROPY_ON);
    ASSERT_GE(OGL_features_get()->max_anisotropy, 8.0f) << "the rules below assume 8x or more";
    std::vector<uint8_t> px(32 * 32 * 3, 50);
    OGL_texture *t = keep(make(OGL_TEXTURE_INPUT_MIPMAPS, 32, 32, 24, px));
    auto aniso = [&] { return gltest_tex_param_f(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MAX_ANISOTROPY_EXT); };
    auto mag = [&] { return gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MAG_FILTER); };
    auto min = [&] { return gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MIN_FILTER); };

    OGL_texture_update_texture_filter(t, 0);
    EXPECT_EQ(aniso(), 1.0f);
    EXPECT_EQ(mag(), GL_NEAREST);
    EXPECT_EQ(min(), GL_NEAREST_MIPMAP_NEAREST);
    // levels 2 to 4 change only the anisotropy
    OGL_texture_update_texture_filter(t, 2);
    EXPECT_EQ(aniso(), 2.0f);
    EXPECT_EQ(mag(), GL_NEAREST);
    OGL_texture_update_texture_filter(t, 1);
    EXPECT_EQ(aniso(), 1.0f);
    EXPECT_EQ(mag(), GL_LINEAR);
    EXPECT_EQ(min(), GL_LINEAR_MIPMAP_LINEAR);
    OGL_texture_update_texture_filter(t, 3);
    EXPECT_EQ(aniso(), 4.0f);
    OGL_texture_update_texture_filter(t, 4);
    EXPECT_EQ(aniso(), 8.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // textures without mipmaps and double-buffered ones keep their filters
    OGL_texture *plain = keep(make(0, 32, 32, 24, px));
    OGL_texture_update_texture_filter(plain, 0);
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, plain->gl_name, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    OGL_texture *dbl = keep(make(OGL_TEXTURE_INPUT_MIPMAPS | OGL_TEXTURE_INPUT_DOUBLE_BUFFERED, 32, 32, 24, px));
    OGL_texture_update_texture_filter(dbl, 0);
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, dbl->gl_name, GL_TEXTURE_MAG_FILTER), GL_LINEAR);

    EXPECT_EXIT(OGL_texture_update_texture_filter(t, 5), ExitedWithCode(LOG_FAULT_EXIT_STATUS), "BUG");
}

// ---------------------------------------------------------------------------
// updates

TEST_F(TextureTest, RegionUpdateReplacesOnlyItsRectangle)
{
    std::vector<uint8_t> px(16 * 16 * 3, 0);
    OGL_texture *t = keep(make(0, 16, 16, 24, px));
    // the source rows are 6 pixels long; the update takes 4 x 2 of them
    std::vector<uint8_t> src = image(6, 2, 24, [](uint32_t x, uint32_t y) {
        return gltest_rgba{uint8_t(10 * x + 1), uint8_t(100 + y), 0, 255};
    });
    OGL_texture_input_data id = {0, 6, "update", 4, 2, 24, src.data()};
    ASSERT_TRUE(OGL_texture_region_update(t, 5, 3, &id));
    int w, h;
    std::vector<uint8_t> back = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    EXPECT_EQ(texel(back, w, 5, 3), (gltest_rgba{1, 100, 0, 255}));
    EXPECT_EQ(texel(back, w, 8, 4), (gltest_rgba{31, 101, 0, 255}));
    EXPECT_EQ(texel(back, w, 9, 3), (gltest_rgba{0, 0, 0, 255}));
    EXPECT_EQ(texel(back, w, 4, 3), (gltest_rgba{0, 0, 0, 255}));
    EXPECT_EQ(texel(back, w, 5, 5), (gltest_rgba{0, 0, 0, 255}));
    // unpack state is back to its defaults
    GLint v = -1;
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &v);
    EXPECT_EQ(v, 0);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &v);
    EXPECT_EQ(v, 4);

    // a whole update; then rectangles that do not fit are refused
    std::vector<uint8_t> full(16 * 16 * 3, 9);
    OGL_texture_input_data all = {0, 0, "update", 16, 16, 24, full.data()};
    EXPECT_TRUE(OGL_texture_update(t, &all));
    EXPECT_FALSE(OGL_texture_region_update(t, 1, 0, &all));
    OGL_texture_input_data far = {0, 0, "update", 1, 1, 24, full.data()};
    EXPECT_FALSE(OGL_texture_region_update(t, 0x7fffffff, 0, &far));
    OGL_texture_input_data odd = {0, 0, "update", 2, 2, 12, full.data()};
    EXPECT_FALSE(OGL_texture_region_update(t, 0, 0, &odd));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureTest, DoubleBufferedUpdatesSwapFrontAndBack)
{
    std::vector<uint8_t> px(8 * 8 * 3, 0);
    OGL_texture *t = keep(make(OGL_TEXTURE_INPUT_DOUBLE_BUFFERED, 8, 8, 24, px));
    ASSERT_TRUE(t->flags & OGL_TEXTURE_DOUBLE_BUFFERED);
    ASSERT_NE(t->gl_name2, 0u);
    ASSERT_NE(t->gl_name, t->gl_name2);
    GLuint front = t->gl_name, back_name = t->gl_name2;

    std::vector<uint8_t> red = image(8, 8, 24, [](uint32_t, uint32_t) { return gltest_rgba{255, 0, 0, 255}; });
    OGL_texture_input_data id = {0, 0, "frame", 8, 8, 24, red.data()};
    ASSERT_TRUE(OGL_texture_update(t, &id));
    // the update went to the back texture, which is now the front one
    EXPECT_EQ(t->gl_name, back_name);
    EXPECT_EQ(t->gl_name2, front);
    int w, h;
    EXPECT_EQ(texel(gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h), 8, 3, 3), (gltest_rgba{255, 0, 0, 255}));
    EXPECT_EQ(texel(gltest_read_texture(GL_TEXTURE_2D, t->gl_name2, 0, &w, &h), 8, 3, 3), (gltest_rgba{0, 0, 0, 255}));
    EXPECT_EQ(OGL_texture_memory_size(t), 2u * 8 * 8 * 3);
}

TEST_F(TextureTest, SingleChannelRegionUpdates)
{
    OGL_texture *t = keep(make(OGL_TEXTURE_INPUT_SINGLE_CHANNEL, 16, 8, 8, {}));
    ASSERT_NE(t, nullptr);
    const uint8_t bits[2] = {0xF0, 0x0F};
    OGL_texture_input_data id = {OGL_TEXTURE_INPUT_SINGLE_CHANNEL, 0, "glyph", 8, 2, 1, bits};
    ASSERT_TRUE(OGL_texture_region_update(t, 8, 0, &id));
    int w, h;
    std::vector<uint8_t> back = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    EXPECT_EQ(texel(back, w, 8, 0).a, 255);
    EXPECT_EQ(texel(back, w, 12, 0).a, 0);
    EXPECT_EQ(texel(back, w, 8, 1).a, 0);
    EXPECT_EQ(texel(back, w, 15, 1).a, 255);
    const uint8_t bytes[2] = {33, 44};
    OGL_texture_input_data a8 = {OGL_TEXTURE_INPUT_SINGLE_CHANNEL, 0, "glyph", 2, 1, 8, bytes};
    ASSERT_TRUE(OGL_texture_region_update(t, 0, 7, &a8));
    back = gltest_read_texture(GL_TEXTURE_2D, t->gl_name, 0, &w, &h);
    EXPECT_EQ(texel(back, w, 1, 7).a, 44);

    OGL_texture_input_data bad = {OGL_TEXTURE_INPUT_SINGLE_CHANNEL, 0, "glyph", 2, 1, 24, bytes};
    EXPECT_EXIT(OGL_texture_region_update(t, 0, 0, &bad), ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "id->bpp == 8 \\|\\| id->bpp == 1");
}

// ---------------------------------------------------------------------------
// refused images and bookkeeping

class TextureRefusalTest : public TextureTest {
  protected:
    void SetUp() override
    {
        TextureTest::SetUp();
        dir = test_make_temp_dir();
        log_file_set((dir + "/log.txt").c_str());
        log_file_truncate();
    }
    void TearDown() override
    {
        TextureTest::TearDown();
        test_remove_tree(dir);
    }
    std::string log() { return test_read_file(dir + "/log.txt"); }
    std::string dir;
};

TEST_F(TextureRefusalTest, UnsupportedImagesAreRefusedNamingTheFile)
{
    std::vector<uint8_t> px(64 * 64 * 4, 1);
    EXPECT_EQ(make(0, 8, 8, 12, px, "maps\\odd.tga"), nullptr);
    EXPECT_NE(log().find("[CRITICAL]: \"maps\\odd.tga\": 12bpp not supported for RGB textures"), std::string::npos)
        << log();
    EXPECT_EQ(make(0, 8, 8, 8, px, "grey.tga"), nullptr); // 8 bits need the single-channel flag
    EXPECT_NE(log().find("\"grey.tga\": 8bpp not supported for RGB textures"), std::string::npos);
    EXPECT_EQ(make(OGL_TEXTURE_INPUT_SINGLE_CHANNEL, 8, 8, 16, px, "a16.tga"), nullptr);
    EXPECT_NE(log().find("\"a16.tga\": 16bpp not supported for alpha textures"), std::string::npos);
    EXPECT_EQ(make(0, 0, 8, 24, px, "empty.tga"), nullptr);
    EXPECT_NE(log().find("\"empty.tga\": texture size 0 x 8 not supported"), std::string::npos);
    EXPECT_EQ(make(0, 40000, 1, 24, {}, "wide.tga"), nullptr);
    const int max = OGL_features_get()->max_texture_size;
    EXPECT_EQ(make(0, uint32_t(max) + 1, 2, 24, {}, "big.tga"), nullptr);
    EXPECT_NE(log().find("\"big.tga\": texture size"), std::string::npos);
    EXPECT_EQ(OGL_texture_count(), count_before);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureTest, CountsNamesAndMemorySizes)
{
    std::vector<uint8_t> px(64 * 64 * 4, 1);
    OGL_texture *t = keep(make(0, 64, 64, 24, px, "skin.tga"));
    EXPECT_EQ(OGL_texture_count(), count_before + 1);
    EXPECT_STREQ(t->filename, "skin.tga");
    EXPECT_EQ(t->bpp, 24u);
    EXPECT_EQ(OGL_texture_memory_size(t), 64u * 64 * 3);
    OGL_texture *m = keep(make(OGL_TEXTURE_INPUT_MIPMAPS, 64, 64, 32, px, nullptr));
    EXPECT_EQ(m->filename, nullptr);
    // levels 64 .. 2, the 1 x 1 level not counted
    EXPECT_EQ(OGL_texture_memory_size(m), 4u * (4096 + 1024 + 256 + 64 + 16 + 4));
    OGL_texture_free(nullptr);
}
