// 2D overlay drawing: orientation, flipping, blending modes, tints, texel
// rectangles, solid rectangles, quad batches, state restoration and the
// logical screen scaling.
#include <vector>

#include "gl_test_context.h"
#include "renderer/OGL_blitter.h"
#include "renderer/OGL_texture.h"
#include "renderer/OGL_window.h"

// GL rows count from the bottom; the blitter's from the top.
static int gl_y(int screen_y) { return GLTEST_HEIGHT - 1 - screen_y; }
static gltest_rgba at(int x, int screen_y) { return gltest_pixel(x, gl_y(screen_y)); }
// A screen rectangle (top-left origin) checked in GL terms.
static ::testing::AssertionResult screen_region_is(int x, int y, int w, int h, gltest_rgba c, int tol = 2)
{
    return gltest_region_is(x, GLTEST_HEIGHT - (y + h), w, h, c, tol);
}

static const gltest_rgba RED{255, 0, 0, 255}, GREEN{0, 255, 0, 255}, BLUE{0, 0, 255, 255}, WHITE{255, 255, 255, 255},
    BLACK{0, 0, 0, 255};

class BlitterTest : public GLTest {
  protected:
    void TearDown() override
    {
        for (OGL_texture *t : made) OGL_texture_free(t);
    }
    // w x h picture, rows bottom-first: red bottom-left, green bottom-right,
    // blue top-left, white top-right; alpha a.
    OGL_texture *quadrants(uint32_t w, uint32_t h, uint8_t a = 255, uint32_t flags = 0)
    {
        std::vector<uint8_t> px(size_t(w) * h * 4);
        for (uint32_t y = 0; y < h; y++)
            for (uint32_t x = 0; x < w; x++) {
                bool right = x >= w / 2, top = y >= h / 2;
                gltest_rgba c = !top ? (right ? GREEN : RED) : (right ? WHITE : BLUE);
                uint8_t *p = &px[(size_t(y) * w + x) * 4];
                p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = a;
            }
        return flat_image(w, h, px, flags);
    }
    OGL_texture *flat(uint32_t w, uint32_t h, gltest_rgba c)
    {
        std::vector<uint8_t> px(size_t(w) * h * 4);
        for (size_t i = 0; i < px.size(); i += 4) px[i] = c.r, px[i + 1] = c.g, px[i + 2] = c.b, px[i + 3] = c.a;
        return flat_image(w, h, px, 0);
    }
    OGL_texture *flat_image(uint32_t w, uint32_t h, const std::vector<uint8_t> &px, uint32_t flags)
    {
        OGL_texture_input_data id = {flags, 0, "blit.tga", w, h, 32, px.data()};
        OGL_texture *t = OGL_texture_create(&id);
        made.push_back(t);
        return t;
    }
    void clear_to(float r, float g, float b)
    {
        glClearColor(r, g, b, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    std::vector<OGL_texture *> made;
};

TEST_F(BlitterTest, PicturesAppearUprightAndFlipSwapsTopAndBottom)
{
    OGL_texture *t = quadrants(64, 64);
    OGL_blit_texture(t, 100, 100, 200, 200, 0);
    EXPECT_TRUE(screen_region_is(104, 104, 92, 92, BLUE)); // top-left on screen
    EXPECT_TRUE(screen_region_is(204, 104, 92, 92, WHITE));
    EXPECT_TRUE(screen_region_is(104, 204, 92, 92, RED));
    EXPECT_TRUE(screen_region_is(204, 204, 92, 92, GREEN));
    // nothing outside the rectangle
    EXPECT_EQ(at(99, 150), BLACK);
    EXPECT_EQ(at(150, 301), BLACK);

    OGL_blit_texture(t, 400, 100, 200, 200, OGL_BLIT_FLIP_V);
    EXPECT_TRUE(screen_region_is(404, 104, 92, 92, RED));
    EXPECT_TRUE(screen_region_is(404, 204, 92, 92, BLUE));
    EXPECT_TRUE(screen_region_is(504, 104, 92, 92, GREEN));
}

TEST_F(BlitterTest, BlendingModesFromTheFlags)
{
    OGL_texture *half = flat(8, 8, {0, 200, 0, 128});
    clear_to(100.0f / 255, 0, 0);
    OGL_blit_texture(half, 0, 0, 100, 100, 0); // opaque: alpha ignored
    EXPECT_TRUE(gltest_colour_near(at(50, 50), {0, 200, 0, 255}));
    OGL_blit_texture(half, 100, 0, 100, 100, OGL_BLIT_ALPHA);
    EXPECT_TRUE(gltest_colour_near(at(150, 50), {50, 100, 0, 255}, 3));
    OGL_blit_texture(half, 200, 0, 100, 100, OGL_BLIT_ALPHA | OGL_BLIT_ADD); // additive wins
    EXPECT_TRUE(gltest_colour_near(at(250, 50), {100, 200, 0, 255}, 2));
    OGL_blit_texture(half, 300, 0, 100, 100, OGL_BLIT_ADD_ALPHA | OGL_BLIT_ALPHA); // additive alpha wins
    EXPECT_TRUE(gltest_colour_near(at(350, 50), {100, 100, 0, 255}, 3));
    OGL_blit_texture(half, 400, 0, 100, 100, OGL_BLIT_ADD | OGL_BLIT_ADD_ALPHA);
    EXPECT_TRUE(gltest_colour_near(at(450, 50), {100, 200, 0, 255}, 2));
}

TEST_F(BlitterTest, ColourTintsTheTexture)
{
    OGL_texture *w = flat(4, 4, WHITE);
    const float tint[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    OGL_blit_texture_color(w, tint, 10, 10, 50, 50, 0);
    EXPECT_TRUE(gltest_colour_near(at(30, 30), {255, 128, 0, 255}, 2));
}

TEST_F(BlitterTest, TexelRectanglesUsePictureCoordinates)
{
    OGL_texture *t = quadrants(64, 64);
    // the top-right quarter of the picture, texels 32..63 across, 0..31 down
    OGL_blit_texture_texels(t, 32, 0, 32, 32, 10, 10, 100, 100, 0);
    EXPECT_TRUE(screen_region_is(14, 14, 92, 92, WHITE));
    OGL_blit_texture_texels(t, 0, 32, 32, 32, 200, 10, 100, 100, 0);
    EXPECT_TRUE(screen_region_is(204, 14, 92, 92, RED));
    const float half[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    OGL_blit_texture_texels_color(t, half, 0, 0, 32, 32, 400, 10, 100, 100, 0);
    EXPECT_TRUE(screen_region_is(404, 14, 92, 92, {0, 0, 128, 255}, 2));
}

TEST_F(BlitterTest, PaddedAndRectangleTexturesShowTheirWholePicture)
{
    OGL_texture *padded = quadrants(100, 60);
    ASSERT_EQ(padded->texture_xsize, 128u);
    OGL_blit_texture(padded, 0, 0, 200, 200, 0);
    EXPECT_TRUE(screen_region_is(4, 4, 92, 92, BLUE));
    EXPECT_TRUE(screen_region_is(104, 104, 92, 92, GREEN));

    OGL_texture *rect = quadrants(100, 60, 255, OGL_TEXTURE_INPUT_RECTANGLE_WANTED);
    ASSERT_EQ(rect->target, GLenum(GL_TEXTURE_RECTANGLE_ARB));
    OGL_blit_texture(rect, 300, 0, 200, 200, 0);
    EXPECT_TRUE(screen_region_is(304, 4, 92, 92, BLUE));
    EXPECT_TRUE(screen_region_is(404, 104, 92, 92, GREEN));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_RECTANGLE_ARB));
}

TEST_F(BlitterTest, SolidRectanglesAndCorners)
{
    const float red[4] = {1, 0, 0, 1}, blue_half[4] = {0, 0, 1, 0.5f};
    OGL_blit_rect(red, 10, 20, 30, 40, 0);
    EXPECT_TRUE(screen_region_is(10, 20, 30, 40, RED, 0));
    EXPECT_EQ(at(9, 30), BLACK);
    EXPECT_EQ(at(40, 30), BLACK);
    EXPECT_EQ(at(20, 60), BLACK);
    OGL_blit_rect(blue_half, 10, 20, 30, 40, OGL_BLIT_ALPHA);
    EXPECT_TRUE(gltest_colour_near(at(25, 40), {127, 0, 128, 255}, 2));
    OGL_blit_rect_corners(red, 100, 100, 110, 105, 0);
    EXPECT_TRUE(screen_region_is(100, 100, 10, 5, RED, 0));
    OGL_blit_rect_corners_f(red, 200.9f, 100.2f, 210.7f, 105.9f, 0); // truncated
    EXPECT_TRUE(screen_region_is(200, 100, 10, 5, RED, 0));
    EXPECT_EQ(at(210, 102), BLACK);
}

TEST_F(BlitterTest, QuadBatchDrawsEveryQuadWithItsColours)
{
    OGL_texture *t = quadrants(64, 64);
    // two quads: the bottom-left quarter of the texture (texels 0..31, 0..31), tinted
    const float pos[] = {10, 10, 60, 10, 60, 60, 10, 60, 100, 10, 150, 10, 150, 60, 100, 60};
    const float tc[] = {0, 0, 31, 0, 31, 31, 0, 31, 0, 0, 31, 0, 31, 31, 0, 31};
    float col[32];
    for (int i = 0; i < 4; i++) col[i * 4] = 1, col[i * 4 + 1] = 1, col[i * 4 + 2] = 1, col[i * 4 + 3] = 1;
    for (int i = 4; i < 8; i++) col[i * 4] = 0.5f, col[i * 4 + 1] = 0.5f, col[i * 4 + 2] = 0.5f, col[i * 4 + 3] = 1;
    OGL_blit_quads(t, pos, tc, col, 8, 0);
    EXPECT_TRUE(screen_region_is(14, 14, 42, 42, RED));
    EXPECT_TRUE(screen_region_is(104, 14, 42, 42, {128, 0, 0, 255}, 2));
    EXPECT_EQ(at(80, 30), BLACK);
    // untextured, alpha blended
    const float solid[] = {200, 10, 250, 10, 250, 60, 200, 60};
    const float green[] = {0, 1, 0, 0.5f, 0, 1, 0, 0.5f, 0, 1, 0, 0.5f, 0, 1, 0, 0.5f};
    OGL_blit_quads(nullptr, solid, nullptr, green, 4, OGL_BLIT_ALPHA);
    EXPECT_TRUE(gltest_colour_near(at(225, 30), {0, 128, 0, 255}, 2));
}

TEST_F(BlitterTest, EveryCallRestoresTheState)
{
    OGL_texture *t = quadrants(8, 8);
    GLint proj_depth = 0, mv_depth = 0, vp[4];
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &proj_depth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &mv_depth);
    glViewport(10, 20, 300, 200);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(2, 2, 2);
    glMatrixMode(GL_MODELVIEW);
    const float red[4] = {1, 0, 0, 1};
    for (int i = 0; i < 100; i++) {
        OGL_blit_texture(t, 0, 0, 8, 8, 0);
        OGL_blit_rect(red, 0, 0, 8, 8, 0);
        OGL_blit_quads(t, nullptr, nullptr, nullptr, 0, 0); // a batch of nothing
    }
    GLint v = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &v);
    EXPECT_EQ(v, proj_depth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &v);
    EXPECT_EQ(v, mv_depth);
    GLfloat p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    EXPECT_EQ(p[0], 2.0f);
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[0], 10);
    EXPECT_EQ(vp[3], 200);
    glGetIntegerv(GL_MATRIX_MODE, &v);
    EXPECT_EQ(v, GL_MODELVIEW);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &v);
    EXPECT_EQ(v, GL_TEXTURE0_ARB);
    glMatrixMode(GL_TEXTURE);
    glGetFloatv(GL_TEXTURE_MATRIX, p);
    EXPECT_EQ(p[0], 1.0f);
    glMatrixMode(GL_MODELVIEW);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(BlitterTest, OverlayStateSwitchesTheThreeDStateOff)
{
    glEnable(GL_LIGHTING);
    glEnable(GL_FOG);
    glEnable(GL_CULL_FACE);
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    if (GLEW_ARB_fragment_program) glEnable(GL_FRAGMENT_PROGRAM_ARB);
    OGL_blitter_begin_2d(800, 600);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    if (GLEW_ARB_fragment_program) {
        EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
    }
    glActiveTextureARB(GL_TEXTURE1_ARB);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_REPLACE);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    OGL_blitter_end_2d();
}

TEST_F(BlitterTest, SmallerLogicalScreenScalesUpToTheWindow)
{
    // a 400 x 300 logical screen on the 800 x 600 window: every logical pixel is 2 x 2
    OGL_window_set_size(400, 300);
    const float green[4] = {0, 1, 0, 1};
    OGL_blit_rect(green, 0, 0, 200, 150, 0);
    OGL_window_set_size(GLTEST_WIDTH, GLTEST_HEIGHT);
    EXPECT_TRUE(screen_region_is(0, 0, 400, 300, GREEN, 0));
    EXPECT_EQ(at(400, 100), BLACK);
    EXPECT_EQ(at(100, 300), BLACK);
}
