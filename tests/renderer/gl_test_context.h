#pragma once
// The GL test harness of the renderer suites.
//
// gltest_open() starts the renderer (OGL_init, windowed, 800 x 600) once per
// test process (under Xvfb with Mesa's llvmpipe in CI) and keeps it until the
// process ends. The helpers read the frame buffer back as RGBA bytes, rows
// bottom-up as GL gives them (y = 0 is the bottom row), and compare regions
// and colours with a tolerance.
//
// Tests that need a differently configured driver (MESA_EXTENSION_OVERRIDE)
// must set the environment before the context exists: write the body as a
// test named DISABLED_... that calls gltest_open() itself, and run it from a
// normal test with gltest_run_child(), which re-executes this binary with the
// given environment and that one test.
//
// Mesa cannot switch off the extensions it always offers (cube maps, buffer
// objects, multitexturing: naming one in MESA_EXTENSION_OVERRIDE drops all of
// them at once). To simulate a board without one of those, name it in the
// child's GLTEST_MISSING_EXTENSIONS_VAR variable instead: gltest_open() hands
// it to OGL_features_simulate_missing() before the renderer starts.

#include <GL/glew.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#define GLTEST_MISSING_EXTENSIONS_VAR "VORN_GLTEST_MISSING_EXTENSIONS"
#define GLTEST_WIDTH 800
#define GLTEST_HEIGHT 600

struct gltest_rgba {
    uint8_t r, g, b, a;
    bool operator==(const gltest_rgba &o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};
std::ostream &operator<<(std::ostream &os, const gltest_rgba &c);

// Opens the test window and context (once per process; later calls only make
// it current again) and starts the image module. False when there is no
// display or no GL.
bool gltest_open();
// Closes the window and context (tests rarely need it; the process end does it).
void gltest_close();
bool gltest_is_open();

// Resets the GL state a test may have left behind (matrices, blending, depth,
// textures, programs, arrays), sets the viewport to the window and clears the
// buffers to black with depth 1.0.
void gltest_reset_state();

// Frame buffer read-back (the back buffer unless front is set), RGBA bytes,
// rows bottom-up.
std::vector<uint8_t> gltest_read_rgba(int x, int y, int w, int h, bool front = false);
gltest_rgba gltest_pixel(int x, int y, bool front = false);

// Every pixel of the region within tol of want (per channel, alpha ignored
// unless check_alpha). On failure names the first differing pixel and the count.
::testing::AssertionResult gltest_region_is(int x, int y, int w, int h, gltest_rgba want, int tol = 2,
                                            bool check_alpha = false);
::testing::AssertionResult gltest_colour_near(gltest_rgba got, gltest_rgba want, int tol = 2, bool check_alpha = false);
// How many pixels of the region are within tol of want (alpha ignored).
int gltest_count_pixels(int x, int y, int w, int h, gltest_rgba want, int tol = 2);

// Writes a region of the frame buffer as a 32-bit TGA (for looking at a failing picture).
bool gltest_save_tga(const std::string &path, int x, int y, int w, int h);

// The texture image of a bound texture level read back as RGBA bytes
// (glGetTexImage); w and h receive the level's size.
std::vector<uint8_t> gltest_read_texture(GLenum target, GLuint name, int level, int *w, int *h);
// A texture parameter of the named texture (integer or float).
GLint gltest_tex_param_i(GLenum target, GLuint name, GLenum pname);
GLfloat gltest_tex_param_f(GLenum target, GLuint name, GLenum pname);

// Child runs with another environment.
struct gltest_child_result {
    int exit_status;    // -1 when the child did not exit normally
    std::string output; // the child's standard output and error
};
// Re-executes this test binary running only `test_name` (a full "Suite.Name",
// disabled tests included) with the extra environment variables set.
gltest_child_result gltest_run_child(const std::string &test_name,
                                     const std::vector<std::pair<std::string, std::string>> &env);
// Asserts that the child test ran and passed, showing its output otherwise.
::testing::AssertionResult gltest_child_passed(const gltest_child_result &r);

// Sets the anisotropic filtering render setting (OGL_RS_ANISOTROPY_*) for
// the life of the scope and restores the previous one after it, also when an
// assertion leaves the test early.
class gltest_anisotropy_scope {
  public:
    explicit gltest_anisotropy_scope(int mode);
    ~gltest_anisotropy_scope();
    gltest_anisotropy_scope(const gltest_anisotropy_scope &) = delete;
    gltest_anisotropy_scope &operator=(const gltest_anisotropy_scope &) = delete;

  private:
    int before;
};

// Fixture: opens the context and resets the state before each test.
class GLTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(gltest_open()) << "no GL context (run under xvfb-run)";
        gltest_reset_state();
    }
};
