// The harness itself: what it reads back must be what GL drew.
#include <cstdlib>

#include "gl_test_context.h"

using HarnessTest = GLTest;

TEST_F(HarnessTest, ClearColourAndScissoredRegionsReadBack)
{
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(10, 20, 30, 40);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);

    EXPECT_TRUE(gltest_region_is(10, 20, 30, 40, {0, 0, 255, 255}, 0));
    EXPECT_TRUE(gltest_region_is(0, 0, 10, 10, {255, 0, 0, 255}, 0));
    EXPECT_EQ(gltest_count_pixels(0, 0, 100, 100, {0, 0, 255, 255}, 0), 30 * 40);
    // The bottom row is y = 0: the blue block starts 20 rows up.
    EXPECT_EQ(gltest_pixel(10, 19), (gltest_rgba{255, 0, 0, 255}));
    EXPECT_EQ(gltest_pixel(10, 20), (gltest_rgba{0, 0, 255, 255}));
    EXPECT_FALSE(gltest_region_is(0, 0, 50, 50, {255, 0, 0, 255}, 0));
}

TEST_F(HarnessTest, TextureReadBackGivesTheUploadedTexels)
{
    const uint8_t texels[2 * 2 * 3] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30};
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    int w = 0, h = 0;
    std::vector<uint8_t> back = gltest_read_texture(GL_TEXTURE_2D, name, 0, &w, &h);
    ASSERT_EQ(w, 2);
    ASSERT_EQ(h, 2);
    EXPECT_EQ(back[4 * 3 + 0], 10);
    EXPECT_EQ(back[4 * 3 + 2], 30);
    EXPECT_EQ(back[4 * 3 + 3], 255);
    glDeleteTextures(1, &name);
}

// Runs only as a child with an extension switched off.
TEST(HarnessChild, DISABLED_ExtensionOverrideReachesTheChild)
{
    ASSERT_NE(std::getenv("MESA_EXTENSION_OVERRIDE"), nullptr);
    ASSERT_TRUE(gltest_open());
    EXPECT_FALSE(GLEW_ARB_fragment_program);
    EXPECT_FALSE(GLEW_ARB_vertex_program);
    EXPECT_TRUE(GLEW_ARB_multitexture);
}

TEST(Harness, ChildRunsWithItsOwnEnvironment)
{
    gltest_child_result r =
        gltest_run_child("HarnessChild.DISABLED_ExtensionOverrideReachesTheChild",
                         {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_fragment_program -GL_ARB_vertex_program"}});
    EXPECT_TRUE(gltest_child_passed(r));
}
