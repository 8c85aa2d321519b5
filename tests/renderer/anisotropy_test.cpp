// Anisotropic filtering: which boards are trusted with it, how the render
// setting overrides the choice, and that a board whose filtering is not
// trusted draws a textured floor seen at a grazing angle without it.
#include <cstring>
#include <vector>

#include "corelib/log.h"
#include "gl_test_context.h"
#include "renderer/OGL_features.h"
#include "renderer/OGL_settings.h"
#include "renderer/OGL_texture.h"

TEST(AnisotropyChoice, SoftwareRenderersAreNotTrusted)
{
    EXPECT_FALSE(OGL_features_anisotropy_trusted_on("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_FALSE(OGL_features_anisotropy_trusted_on("Gallium 0.4 on llvmpipe (LLVM 3.4, 128 bits)"));
    EXPECT_FALSE(OGL_features_anisotropy_trusted_on("Gallium 0.4 on softpipe"));
    EXPECT_FALSE(OGL_features_anisotropy_trusted_on(nullptr));
    EXPECT_TRUE(OGL_features_anisotropy_trusted_on("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
    EXPECT_TRUE(OGL_features_anisotropy_trusted_on("AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49)"));
    EXPECT_TRUE(OGL_features_anisotropy_trusted_on("NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2"));
}

TEST(AnisotropyChoice, TheSettingForcesEitherWayButNeverWithoutTheExtension)
{
    const struct {
        bool extension, trusted;
        int mode;
        bool used;
    } cases[] = {
        {true, true, OGL_RS_ANISOTROPY_AUTO, true}, {true, false, OGL_RS_ANISOTROPY_AUTO, false},
        {true, false, OGL_RS_ANISOTROPY_ON, true},  {true, true, OGL_RS_ANISOTROPY_OFF, false},
        {false, true, OGL_RS_ANISOTROPY_ON, false}, {false, true, OGL_RS_ANISOTROPY_AUTO, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(OGL_features_choose_anisotropic_filtering(c.extension, c.trusted, c.mode), c.used)
            << c.extension << c.trusted << c.mode;
}

TEST(AnisotropyChoice, SettingIsAutoUnlessSet)
{
    OGL_render_settings_reset();
    EXPECT_EQ(OGL_render_settings_get_anisotropic_filtering(), OGL_RS_ANISOTROPY_AUTO);
    OGL_render_settings_set_anisotropic_filtering(OGL_RS_ANISOTROPY_OFF);
    EXPECT_TRUE(OGL_render_settings_get()->flags & OGL_RS_ANISOTROPIC_FILTERING);
    EXPECT_EQ(OGL_render_settings_get_anisotropic_filtering(), OGL_RS_ANISOTROPY_OFF);
    OGL_render_settings_reset();
    EXPECT_EQ(OGL_render_settings_get_anisotropic_filtering(), OGL_RS_ANISOTROPY_AUTO);
    EXPECT_EXIT(OGL_render_settings_set_anisotropic_filtering(7), ::testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "BUG");
}

class AnisotropyTest : public GLTest {
  protected:
    void TearDown() override
    {
        if (tex) OGL_texture_free(tex);
    }
    // A mipmapped 256 x 256 checker board as the scene makes it: created,
    // then given the configured filter quality (4, the engine's default).
    OGL_texture *checker_as_the_scene_makes_it()
    {
        std::vector<uint8_t> px(256 * 256 * 3);
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 256; x++) std::memset(&px[(size_t(y) * 256 + x) * 3], ((x ^ y) & 8) ? 255 : 40, 3);
        OGL_texture_input_data id = {OGL_TEXTURE_INPUT_MIPMAPS | OGL_TEXTURE_INPUT_REPEAT_S |
                                         OGL_TEXTURE_INPUT_REPEAT_T,
                                     0,
                                     "checker.tga",
                                     256,
                                     256,
                                     24,
                                     px.data()};
        OGL_texture *t = OGL_texture_create(&id);
        if (t) OGL_texture_update_texture_filter(t, OGL_render_settings_get_texture_filter_quality());
        return t;
    }
    float anisotropy() const { return gltest_tex_param_f(GL_TEXTURE_2D, tex->gl_name, GL_TEXTURE_MAX_ANISOTROPY_EXT); }
    OGL_texture *tex = nullptr;
};

TEST_F(AnisotropyTest, TheBoardIsJudgedByItsRendererString)
{
    const char *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    ASSERT_NE(renderer, nullptr);
    gltest_anisotropy_scope automatic(OGL_RS_ANISOTROPY_AUTO);
    EXPECT_EQ(OGL_features_get()->anisotropy_trusted, OGL_features_anisotropy_trusted_on(renderer));
    EXPECT_EQ(OGL_features_anisotropic_filtering_in_use(),
              GLEW_EXT_texture_filter_anisotropic && OGL_features_anisotropy_trusted_on(renderer));
}

// The floor of the fault: a textured plane seen almost edge-on covers
// thousands of texels under one pixel near the horizon. A board that filters
// it by visiting all of them must draw it without anisotropy.
TEST_F(AnisotropyTest, GrazingFloorOnAnUntrustedBoardDrawsIsotropically)
{
    if (!GLEW_EXT_texture_filter_anisotropic) GTEST_SKIP() << "the board has no anisotropic filtering";
    if (OGL_features_get()->anisotropy_trusted) GTEST_SKIP() << "the board is trusted with anisotropic filtering";
    gltest_anisotropy_scope automatic(OGL_RS_ANISOTROPY_AUTO);
    EXPECT_FALSE(OGL_features_anisotropic_filtering_in_use());
    tex = checker_as_the_scene_makes_it();
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(anisotropy(), 1.0f) << "the texture asks the board for anisotropic filtering";

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.1, 0.1, -0.075, 0.075, 0.1, 5000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    OGL_texture_bind(tex);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-50.0f, -1.0f, -0.2f);
    glTexCoord2f(50.0f, 0.0f);
    glVertex3f(50.0f, -1.0f, -0.2f);
    glTexCoord2f(50.0f, 4000.0f);
    glVertex3f(50.0f, -1.0f, -4000.0f);
    glTexCoord2f(0.0f, 4000.0f);
    glVertex3f(-50.0f, -1.0f, -4000.0f);
    glEnd();
    glFinish();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    // The floor fills the lower half of the window.
    EXPECT_EQ(gltest_count_pixels(0, 0, GLTEST_WIDTH, GLTEST_HEIGHT / 4, {0, 0, 0, 255}, 0), 0);
    glDisable(GL_TEXTURE_2D);
}

TEST_F(AnisotropyTest, TheSettingForcesItOnAndOffAtTheNextUse)
{
    if (!GLEW_EXT_texture_filter_anisotropic) GTEST_SKIP() << "the board has no anisotropic filtering";
    ASSERT_GE(OGL_features_get()->max_anisotropy, 8.0f);
    {
        gltest_anisotropy_scope on(OGL_RS_ANISOTROPY_ON);
        tex = checker_as_the_scene_makes_it();
        ASSERT_NE(tex, nullptr);
        EXPECT_EQ(anisotropy(), 8.0f);
    }
    gltest_anisotropy_scope off(OGL_RS_ANISOTROPY_OFF);
    // A filter update puts a texture made with anisotropy back to isotropic.
    OGL_texture_update_texture_filter(tex, 4);
    EXPECT_EQ(anisotropy(), 1.0f);
    EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, tex->gl_name, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    OGL_texture_free(tex);
    tex = checker_as_the_scene_makes_it();
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(anisotropy(), 1.0f);
}
