// Renderer start-up: feature detection and its log on full and reduced
// boards, the default GL state, fog, global light, the GL error check, the
// normalisation cube map and the settings records.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "corelib/log.h"
#include "gl_test_context.h"

#include <GLFW/glfw3.h>

#include "renderer/OGL_blitter.h"
#include "renderer/OGL_features.h"
#include "renderer/OGL_frame_stats.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_settings.h"
#include "renderer/OGL_texture.h"
#include "renderer/OGL_utils.h"
#include "renderer/OGL_window.h"
#include "test_support.h"

using ::testing::ExitedWithCode;

#define CHILD_LOG_VAR "VORN_GLTEST_LOG"

// ---------------------------------------------------------------------------
// child side: start the renderer with the log going to the parent's file

static std::string start_logged(bool expect_success = true)
{
    const char *log = std::getenv(CHILD_LOG_VAR);
    EXPECT_NE(log, nullptr);
    if (!log) return "";
    log_file_set(log);
    log_file_truncate();
    bool ok = gltest_open();
    EXPECT_EQ(ok, expect_success);
    return test_read_file(log);
}

// Each line appears, in this order.
static ::testing::AssertionResult lines_in_order(const std::string &log, const std::vector<std::string> &lines)
{
    size_t at = 0;
    for (const std::string &l : lines) {
        size_t p = log.find(l, at);
        if (p == std::string::npos)
            return ::testing::AssertionFailure() << "missing (or out of order): \"" << l << "\"\nlog:\n" << log;
        at = p + l.size();
    }
    return ::testing::AssertionSuccess();
}

static int count_of(const std::string &log, const std::string &what)
{
    int n = 0;
    for (size_t p = log.find(what); p != std::string::npos; p = log.find(what, p + 1)) n++;
    return n;
}

TEST(StartupChild, DISABLED_FullBoard)
{
    std::string log = start_logged();
    EXPECT_TRUE(lines_in_order(
        log, {"[INFO]: Executing monitor environment init\n____________________________________________\n \n",
              "[INFO]: Display device info:\n",
              "[INFO]: horizontal size = ",
              " milimeters\n",
              "[INFO]: vertical size = ",
              "[INFO]: horizontal resolution = ",
              " pixels\n",
              "[INFO]: vertical resolution = ",
              "[INFO]: horizontal dots-per-inch = ",
              " dpi\n",
              "[INFO]: vertical dots-per-inch = ",
              "[INFO]: Executing OpenGL environment init\n____________________________________________\n \n",
              "[INFO]: Vendor: ",
              "[INFO]: Renderer: ",
              "[INFO]: Version: ",
              "[INFO]: extensions supported: \n",
              "GL_ARB_multitexture",
              "[INFO]: ________________________________________________\n\n",
              "[INFO]: OGL_init(): gl_max_texture_units_arb: ",
              "[INFO]: ARB_MULTITEXTURE supported\n",
              "[INFO]: OGL_init(): GL_EXT_texture_env_combine supported!\n",
              "[INFO]: OGL_init(): GL_ARB_texture_env_combine supported!\n",
              "[INFO]: OGL_init(): GL_EXT_texture_filter_anisotropic supported\n",
              "[INFO]: OGL_init(): max_anisotropic filters: ",
              "[INFO]: OGL_init(): GL_EXT_separate_specular_color supported!\n",
              "[INFO]: OGL_init(): GL_ARB_texture_cube_map supported!\n",
              "[INFO]: OGL_init(): gl_max_texture_size: ",
              "[INFO]: GL_MAX_TEXTURE_IMAGE_UNITS_ARB : ",
              "[INFO]: GL_MAX_TEXTURE_COORDS_ARB : ",
              "[INFO]: ARB_fragment_program initialized.\n",
              "[INFO]: OGL_init(): GLSL supported!\n",
              "[INFO]: OGL_init(): GL_ARB_occlusion_query supported!\n",
              "[INFO]: OGL_init(): GL_ARB_shadow supported.\n",
              "[INFO]: OGL_init(): GL_ARB_depth_texture supported.\n",
              "[INFO]: OGL_init(): GL_ARB_texture_env_crossbar.\n"}));
    // detection on a full board warns about nothing, and no GL error is logged
    EXPECT_EQ(count_of(log, "[WARNING]: OGL_init()"), 0) << log;
    EXPECT_EQ(count_of(log, "[WARNING]: GL_"), 0) << log;
    EXPECT_EQ(count_of(log, "[WARNING]: ARB_"), 0) << log;
    EXPECT_EQ(count_of(log, " BUG "), 0) << log;
    EXPECT_EQ(count_of(log, "[CRITICAL]"), 0) << log;
    // A software renderer is not trusted with anisotropic filtering: one line says so.
    const char *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    const bool software = renderer && (strstr(renderer, "llvmpipe") || strstr(renderer, "softpipe"));
    EXPECT_EQ(count_of(log, "[INFO]: OGL_init(): anisotropic filtering not used on \""), software ? 1 : 0) << log;
    EXPECT_EQ(OGL_features_anisotropic_filtering_in_use(), !software);

    const OGL_features *f = OGL_features_get();
    EXPECT_GE(OGL_features_get_max_texture_units(), 2);
    EXPECT_GE(f->max_texture_size, 1024);
    EXPECT_GE(OGL_features_get_max_anisotropic_value(), 2.0f);
    EXPECT_GT(f->max_texture_image_units, 0);
    EXPECT_GT(f->max_texture_coords, 0);
    EXPECT_GT(f->max_elements_vertices, 0);
    EXPECT_NE(OGL_features_get_normalisation_cube_map(), 0u);
    EXPECT_TRUE(OGL_features_vertex_programs_available());
    EXPECT_TRUE(OGL_features_fragment_programs_available());
    EXPECT_TRUE(OGL_is_initialised());
    EXPECT_FLOAT_EQ(OGL_render_settings_get_volume(), 0.75f);
    EXPECT_FALSE(OGL_render_settings_get_pixel_programs_disabled());
    GLint control = 0;
    glGetIntegerv(GL_LIGHT_MODEL_COLOR_CONTROL_EXT, &control);
    EXPECT_EQ(control, GL_SEPARATE_SPECULAR_COLOR_EXT);
    GLint interval_ok = glGetError();
    EXPECT_EQ(interval_ok, GL_NO_ERROR);
}

TEST(StartupChild, DISABLED_NoPrograms)
{
    std::string log = start_logged();
    EXPECT_TRUE(lines_in_order(log, {"[INFO]: OGL_init(): GL_ARB_texture_cube_map supported!\n",
                                     "[WARNING]: ARB_fragment_program not supported. please install the newest "
                                     "drivers for your gfx board.\n"}));
    EXPECT_EQ(count_of(log, "ARB_fragment_program initialized."), 0);
    EXPECT_EQ(count_of(log, "GL_MAX_TEXTURE_IMAGE_UNITS_ARB"), 0);
    EXPECT_FALSE(OGL_features_vertex_programs_available());
    EXPECT_FALSE(OGL_features_fragment_programs_available());
    EXPECT_EQ(OGL_features_get()->max_texture_image_units, 0);
    EXPECT_NE(OGL_features_get_normalisation_cube_map(), 0u);
    EXPECT_TRUE(OGL_is_initialised());
}

TEST(StartupChild, DISABLED_NoCubeMaps)
{
    std::string log = start_logged();
    EXPECT_TRUE(lines_in_order(log, {"[WARNING]: OGL_features_detect(): simulating a board without "
                                     "GL_ARB_texture_cube_map\n",
                                     "[WARNING]: OGL_init(): GL_ARB_texture_cube_map not available.\n",
                                     "[INFO]: ARB_fragment_program initialized.\n"}));
    // programs need cube maps: every profile takes its fixed-function path
    EXPECT_EQ(OGL_features_get_normalisation_cube_map(), 0u);
    EXPECT_FALSE(OGL_features_vertex_programs_available());
    EXPECT_FALSE(OGL_features_fragment_programs_available());
    EXPECT_FALSE(GLEW_ARB_vertex_program);
    EXPECT_FALSE(GLEW_ARB_fragment_program);
    EXPECT_TRUE(OGL_is_initialised());
}

TEST(StartupChild, DISABLED_NoAnisotropicFiltering)
{
    std::string log = start_logged();
    EXPECT_TRUE(lines_in_order(
        log, {"[INFO]: OGL_init(): GL_EXT_texture_filter_anisotropic not available, switching to linear\n"}));
    EXPECT_EQ(count_of(log, "max_anisotropic filters"), 0);
    EXPECT_FLOAT_EQ(OGL_features_get()->max_anisotropy, 0.0f);

    // The filter levels fall back to the rules of boards below 2x anisotropy.
    uint8_t px[64 * 64 * 3] = {};
    OGL_texture_input_data id = {OGL_TEXTURE_INPUT_MIPMAPS, 0, "aniso.tga", 64, 64, 24, px};
    OGL_texture *t = OGL_texture_create(&id);
    ASSERT_NE(t, nullptr);
    const struct {
        int level;
        GLint mag, min;
    } want[] = {{0, GL_NEAREST, GL_NEAREST_MIPMAP_NEAREST},
                {1, GL_NEAREST, GL_LINEAR_MIPMAP_LINEAR},
                {2, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR},
                {4, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR}};
    for (const auto &w : want) {
        OGL_texture_update_texture_filter(t, w.level);
        EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MAG_FILTER), w.mag) << w.level;
        EXPECT_EQ(gltest_tex_param_i(GL_TEXTURE_2D, t->gl_name, GL_TEXTURE_MIN_FILTER), w.min) << w.level;
    }
    OGL_texture_free(t);
    EXPECT_EXIT(OGL_features_get_max_anisotropic_value(), ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "GLEW_EXT_texture_filter_anisotropic");
}

TEST(StartupChild, DISABLED_AnisotropySwitchedOff)
{
    OGL_render_settings_set_anisotropic_filtering(OGL_RS_ANISOTROPY_OFF);
    std::string log = start_logged();
    EXPECT_TRUE(lines_in_order(log, {"[INFO]: OGL_init(): GL_EXT_texture_filter_anisotropic supported\n",
                                     "[INFO]: OGL_init(): anisotropic filtering switched off by the render settings, "
                                     "using linear filtering\n"}));
    EXPECT_EQ(count_of(log, "anisotropic filtering not used"), 0) << log;
    EXPECT_FALSE(OGL_features_anisotropic_filtering_in_use());
}

TEST(StartupChild, DISABLED_AnisotropyForcedOn)
{
    OGL_render_settings_set_anisotropic_filtering(OGL_RS_ANISOTROPY_ON);
    std::string log = start_logged();
    EXPECT_EQ(count_of(log, "anisotropic filtering not used"), 0) << log;
    EXPECT_TRUE(OGL_features_anisotropic_filtering_in_use());
}

TEST(StartupChild, DISABLED_NoBufferObjects)
{
    std::string log = start_logged();
    EXPECT_FALSE(GLEW_ARB_vertex_buffer_object);
    EXPECT_TRUE(OGL_is_initialised());
    EXPECT_TRUE(lines_in_order(log, {"simulating a board without GL_ARB_vertex_buffer_object"}));
}

TEST(StartupChild, DISABLED_OnlyExtCombiners)
{
    std::string log = start_logged();
    EXPECT_TRUE(lines_in_order(log, {"[INFO]: OGL_init(): GL_EXT_texture_env_combine supported!\n",
                                     "[INFO]: OGL_init(): GL_ARB_texture_env_combine not available!\n"}));
    EXPECT_TRUE(OGL_is_initialised());
}

TEST(StartupChild, DISABLED_NoMultitexturingGivesUp)
{
    std::string log = start_logged(false);
    EXPECT_TRUE(lines_in_order(log, {"[WARNING]: OGL_init(): GL_ARB_multitexture not available, giving up! Either "
                                     "your graphics card is too old or you need to install graphic card drivers "
                                     "available from your card's manufacturer!\n"}));
    EXPECT_FALSE(OGL_is_initialised());
    EXPECT_EQ(OGL_window_get(), nullptr); // the window was closed again
}

TEST(StartupChild, DISABLED_NoCombinersGivesUp)
{
    std::string log = start_logged(false);
    EXPECT_TRUE(lines_in_order(log, {"[INFO]: OGL_init(): GL_EXT_texture_env_combine not available!\n",
                                     "[INFO]: OGL_init(): GL_ARB_texture_env_combine not available!\n",
                                     "[WARNING]: OGL_init(): Both GL_ARB_texture_env_combine and "
                                     "GL_EXT_texture_env_combine not available, giving up! Either your graphics "
                                     "card is too old or you need to install graphic card drivers available from "
                                     "your card's manufacturer!\n"}));
    EXPECT_FALSE(OGL_is_initialised());
    EXPECT_EQ(OGL_window_get(), nullptr);
}

TEST(StartupChild, DISABLED_StopAndStartAgain)
{
    start_logged();
    OGL_deinit();
    EXPECT_FALSE(OGL_is_initialised());
    EXPECT_EQ(OGL_window_get(), nullptr);
    ASSERT_TRUE(OGL_init(nullptr, 320, 240, false));
    int w = 0, h = 0;
    OGL_window_get_size(&w, &h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    EXPECT_NE(OGL_features_get_normalisation_cube_map(), 0u);
    glClearColor(0, 1, 0, 1);
    OGL_clear();
    EXPECT_TRUE(gltest_region_is(0, 0, 320, 240, {0, 255, 0, 255}, 0));
    OGL_deinit();
}

TEST(StartupChild, DISABLED_FullScreen)
{
    ASSERT_TRUE(OGL_window_library_init());
    ASSERT_TRUE(OGL_init("full screen", 800, 600, true));
    OGL_window *w = OGL_window_get();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->fullscreen);
    EXPECT_NE(glfwGetWindowMonitor(w->handle), nullptr);
    int fw = 0, fh = 0;
    glfwGetFramebufferSize(w->handle, &fw, &fh);
    const OGL_screen_map *m = OGL_window_get_map();
    EXPECT_EQ(m->fb_w, fw);
    EXPECT_EQ(m->fb_h, fh);
    // the logical screen fills the largest centred 4:3 rectangle the monitor gave
    EXPECT_TRUE(m->rect_w == fw || m->rect_h == fh);
    EXPECT_NEAR(double(m->rect_w) / m->rect_h, 4.0 / 3.0, 0.01);
    const int centred_x = (fw - m->rect_w) / 2, centred_y = (fh - m->rect_h) / 2;
    EXPECT_NEAR(m->rect_x, centred_x, 1);
    EXPECT_NEAR(m->rect_y, centred_y, 1);

    glClearColor(0, 0, 0, 1);
    OGL_clear();
    const float green[4] = {0, 1, 0, 1};
    OGL_blit_rect(green, 0, 0, 800, 600, 0);
    EXPECT_TRUE(gltest_region_is(m->rect_x + 2, m->rect_y + 2, m->rect_w - 4, m->rect_h - 4, {0, 255, 0, 255}, 0));
    if (m->rect_x > 1) {
        EXPECT_EQ(gltest_pixel(m->rect_x / 2, fh / 2), (gltest_rgba{0, 0, 0, 255}));
    }
    if (m->rect_y > 1) {
        EXPECT_EQ(gltest_pixel(fw / 2, m->rect_y / 2), (gltest_rgba{0, 0, 0, 255}));
    }
    // the 3D viewport covers the same rectangle
    OGL_set_viewport_and_projection(800, 600, 90.0f);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[0], m->rect_x);
    EXPECT_EQ(vp[1], m->rect_y);
    EXPECT_EQ(vp[2], m->rect_w);
    EXPECT_EQ(vp[3], m->rect_h);
    OGL_deinit();
}

// ---------------------------------------------------------------------------
// parent side

class StartupTest : public TempDirTest {
  protected:
    gltest_child_result run(const std::string &name, const std::vector<std::pair<std::string, std::string>> &env)
    {
        auto e = env;
        e.push_back({CHILD_LOG_VAR, path("log.txt")});
        return gltest_run_child("StartupChild.DISABLED_" + name, e);
    }
};

TEST_F(StartupTest, FullBoardLogsEveryFinding) { EXPECT_TRUE(gltest_child_passed(run("FullBoard", {}))); }

TEST_F(StartupTest, BoardWithoutProgramsStarts)
{
    EXPECT_TRUE(gltest_child_passed(
        run("NoPrograms", {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_fragment_program -GL_ARB_vertex_program"}})));
}

TEST_F(StartupTest, BoardWithoutCubeMapsLosesPrograms)
{
    EXPECT_TRUE(gltest_child_passed(run("NoCubeMaps", {{GLTEST_MISSING_EXTENSIONS_VAR, "GL_ARB_texture_cube_map"}})));
}

TEST_F(StartupTest, BoardWithoutAnisotropicFiltering)
{
    EXPECT_TRUE(gltest_child_passed(
        run("NoAnisotropicFiltering", {{"MESA_EXTENSION_OVERRIDE", "-GL_EXT_texture_filter_anisotropic"}})));
}

TEST_F(StartupTest, AnisotropicFilteringSwitchedOffBySetting)
{
    EXPECT_TRUE(gltest_child_passed(run("AnisotropySwitchedOff", {})));
}

TEST_F(StartupTest, AnisotropicFilteringForcedOnBySetting)
{
    EXPECT_TRUE(gltest_child_passed(run("AnisotropyForcedOn", {})));
}

TEST_F(StartupTest, BoardWithoutBufferObjects)
{
    EXPECT_TRUE(
        gltest_child_passed(run("NoBufferObjects", {{GLTEST_MISSING_EXTENSIONS_VAR, "GL_ARB_vertex_buffer_object"}})));
}

TEST_F(StartupTest, BoardWithOnlyExtCombinersStarts)
{
    EXPECT_TRUE(
        gltest_child_passed(run("OnlyExtCombiners", {{GLTEST_MISSING_EXTENSIONS_VAR, "GL_ARB_texture_env_combine"}})));
}

TEST_F(StartupTest, BoardsWithoutRequiredExtensionsGiveUp)
{
    EXPECT_TRUE(
        gltest_child_passed(run("NoMultitexturingGivesUp", {{GLTEST_MISSING_EXTENSIONS_VAR, "GL_ARB_multitexture"}})));
    EXPECT_TRUE(gltest_child_passed(
        run("NoCombinersGivesUp",
            {{GLTEST_MISSING_EXTENSIONS_VAR, "GL_ARB_texture_env_combine GL_EXT_texture_env_combine"}})));
}

TEST_F(StartupTest, FullScreenShowsTheLogicalScreenScaled) { EXPECT_TRUE(gltest_child_passed(run("FullScreen", {}))); }

TEST_F(StartupTest, RendererStopsAndStartsAgain) { EXPECT_TRUE(gltest_child_passed(run("StopAndStartAgain", {}))); }

TEST(Features, DotsPerInchAreTruncatedAndUnknownSizesGiveZero)
{
    EXPECT_EQ(OGL_features_compute_dpi(1280, 380), 85);
    EXPECT_EQ(OGL_features_compute_dpi(1024, 0), 0);
    EXPECT_EQ(OGL_features_compute_dpi(0, 300), 0);
}

TEST(Features, UnknownExtensionNamesAreRefused)
{
    EXPECT_FALSE(OGL_features_simulate_missing("GL_ARB_multitexture GL_FOO_bar"));
    EXPECT_TRUE(OGL_features_simulate_missing(""));
}

// ---------------------------------------------------------------------------
// with the renderer running

using StartupStateTest = GLTest;

TEST_F(StartupStateTest, DefaultStateMatchesTheEngineConventions)
{
    const float red[4] = {1, 0, 0, 1};
    OGL_fog_set(red, OGL_FOG_LINEAR, 5, 50, 0.5f);
    OGL_global_light_enable();
    OGL_set_default_state(800, 600);

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint v = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &v);
    EXPECT_EQ(v, GL_LEQUAL);
    glGetIntegerv(GL_SHADE_MODEL, &v);
    EXPECT_EQ(v, GL_SMOOTH);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &v);
    EXPECT_EQ(v, GL_NICEST);
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    glGetIntegerv(GL_CULL_FACE_MODE, &v);
    EXPECT_EQ(v, GL_BACK);
    glGetIntegerv(GL_FRONT_FACE, &v);
    EXPECT_EQ(v, GL_CCW);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 800);
    EXPECT_EQ(vp[3], 600);
    GLfloat p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    EXPECT_NEAR(p[0], 0.75f, 1e-5); // 90 degrees at 4:3
    EXPECT_NEAR(p[5], 1.0f, 1e-5);
    EXPECT_NEAR(p[10], -(100000.0f + 0.1f) / (100000.0f - 0.1f), 1e-5);
    glGetIntegerv(GL_MATRIX_MODE, &v);
    EXPECT_EQ(v, GL_MODELVIEW);
    GLfloat c[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, c);
    EXPECT_EQ(c[3], 1.0f);
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_EQ(c[0] + c[1] + c[2] + c[3], 4.0f);
    // fog back to its defaults and not in use; the global light off
    EXPECT_FALSE(OGL_fog_is_set());
    glGetIntegerv(GL_FOG_MODE, &v);
    EXPECT_EQ(v, GL_EXP);
    GLfloat f = 0;
    glGetFloatv(GL_FOG_END, &f);
    EXPECT_EQ(f, 1000.0f);
    EXPECT_FALSE(OGL_global_light_is_enabled());
    EXPECT_TRUE(gltest_region_is(0, 0, 800, 600, {0, 0, 0, 255}, 0));
}

TEST_F(StartupStateTest, ZeroHeightViewportCountsAsOne)
{
    OGL_set_viewport_and_projection(800, 0, 90.0f);
    GLfloat p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    EXPECT_TRUE(std::isfinite(p[0]));
    EXPECT_NEAR(p[0], 1.0f / 800.0f, 1e-6);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[3], 1);
}

static void draw_white_quad_at(float z)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, z);
    glVertex3f(1, -1, z);
    glVertex3f(1, 1, z);
    glVertex3f(-1, 1, z);
    glEnd();
}

TEST_F(StartupStateTest, LinearFogBlendsHalfwayBetweenStartAndEnd)
{
    OGL_set_viewport_and_projection(800, 600, 90.0f);
    const float red[4] = {1, 0, 0, 1};
    OGL_fog_set(red, OGL_FOG_LINEAR, 0.0f, 10.0f, 0.0f);
    EXPECT_TRUE(OGL_fog_is_set());
    glEnable(GL_FOG);
    draw_white_quad_at(-5.0f);
    glDisable(GL_FOG);
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(400, 300), {255, 128, 128, 255}, 3));

    // exponential: f = exp(-density * z)
    OGL_fog_set(red, OGL_FOG_EXP, 0.0f, 0.0f, 0.2f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_FOG);
    draw_white_quad_at(-5.0f);
    glDisable(GL_FOG);
    int gb = int(std::lround(std::exp(-1.0) * 255.0));
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(400, 300), {255, uint8_t(gb), uint8_t(gb), 255}, 3));

    float got[4], start, end, density;
    OGL_fog_get(got, &start, &end, &density);
    EXPECT_EQ(density, 0.2f);
    const float blue[4] = {0, 0, 1, 1};
    OGL_fog_set_color(blue);
    GLfloat gl_colour[4];
    glGetFloatv(GL_FOG_COLOR, gl_colour);
    EXPECT_EQ(gl_colour[2], 1.0f);
    OGL_fog_reset();
}

TEST_F(StartupStateTest, UnknownFogModeIsAFault)
{
    const float c[4] = {0, 0, 0, 0};
    EXPECT_EXIT(OGL_fog_set(c, 2, 0, 1, 0), ExitedWithCode(LOG_FAULT_EXIT_STATUS), "OGL_fog_apply\\(\\) BUG");
}

TEST_F(StartupStateTest, GlobalLightLightsFacingSurfaces)
{
    const float pos[4] = {0, 0, 1, 0}, amb[3] = {0, 0, 0}, dif[3] = {0, 1, 0}, spe[3] = {0, 0, 0};
    OGL_global_light_set(pos, amb, dif, spe);
    OGL_global_light_enable();
    glLoadIdentity();
    OGL_global_light_apply();
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    tacka4 p = OGL_global_light_get_position();
    EXPECT_EQ(p.z, 1.0f);
    GLfloat d[4];
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, d);
    EXPECT_EQ(d[1], 1.0f);
    EXPECT_EQ(d[3], 1.0f);

    OGL_set_viewport_and_projection(800, 600, 90.0f);
    const float white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glEnable(GL_LIGHTING);
    glNormal3f(0, 0, 1);
    draw_white_quad_at(-2.0f);
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(400, 300), {0, 255, 0, 255}, 2));

    OGL_global_light_disable();
    OGL_global_light_apply();
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_white_quad_at(-2.0f);
    EXPECT_TRUE(gltest_colour_near(gltest_pixel(400, 300), {0, 0, 0, 255}, 2));
    glDisable(GL_LIGHTING);
}

class ErrorCheckTest : public GLTest {
  protected:
    void SetUp() override
    {
        GLTest::SetUp();
        dir = test_make_temp_dir();
        log_file_set((dir + "/log.txt").c_str());
        log_file_truncate();
    }
    void TearDown() override { test_remove_tree(dir); }
    std::string log() { return test_read_file(dir + "/log.txt"); }
    std::string dir;
};

TEST_F(ErrorCheckTest, EachErrorIsNamedWithTheCaller)
{
    EXPECT_FALSE(OGL_check_for_errors("nothing", "a.cpp", 1, false));
    glEnable(0x7fff);
    EXPECT_TRUE(OGL_check_for_errors("caller", "x.cpp", 12, false));
    EXPECT_FALSE(OGL_check_for_errors("caller", "x.cpp", 13, false)); // read once
    glViewport(0, 0, -1, -1);
    EXPECT_TRUE(OGL_check_for_errors("caller", "x.cpp", 14, false));
    glEnd();
    EXPECT_TRUE(OGL_check_for_errors("caller", "x.cpp", 15, false));
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    EXPECT_TRUE(OGL_check_for_errors("caller", "x.cpp", 16, false));
    EXPECT_EQ(log(), "[WARNING]: caller() BUG at file \"x.cpp\", line 12: GL_INVALID_ENUM!\n"
                     "[WARNING]: caller() BUG at file \"x.cpp\", line 14: GL_INVALID_VALUE!\n"
                     "[WARNING]: caller() BUG at file \"x.cpp\", line 15: GL_INVALID_OPERATION!\n"
                     "[WARNING]: caller() BUG at file \"x.cpp\", line 16: GL_STACK_UNDERFLOW!\n");
}

TEST_F(ErrorCheckTest, MessageBoxFlagAlsoShowsIt)
{
    glEnable(0x7fff);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(OGL_CHECK_ERRORS(true));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("!!MESSAGE!! [WARNING]: TestBody() BUG at file"), std::string::npos) << err;
    EXPECT_NE(err.find("GL_INVALID_ENUM!"), std::string::npos);
}

// Decodes a texel of the cube map: c / 127 - 1.
static void decode(const uint8_t *c, float out[3])
{
    for (int i = 0; i < 3; i++) out[i] = c[i] / 127.0f - 1.0f;
}

TEST_F(StartupStateTest, NormalisationCubeMapHoldsItsFaceDirections)
{
    GLuint cube = OGL_features_get_normalisation_cube_map();
    ASSERT_NE(cube, 0u);
    glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, cube);
    std::vector<uint8_t> face(128 * 128 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int f = 0; f < 6; f++) {
        GLint w = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB + f, 0, GL_TEXTURE_WIDTH, &w);
        ASSERT_EQ(w, 128);
        glGetTexImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB + f, 0, GL_RGB, GL_UNSIGNED_BYTE, face.data());
        const int rows[] = {0, 17, 64, 127}, cols[] = {0, 90, 127};
        for (int row : rows)
            for (int col : cols) {
                float d[3];
                OGL_features_cube_map_direction(f, row, col, 128, d);
                const uint8_t *t = &face[(size_t(row) * 128 + col) * 3];
                for (int i = 0; i < 3; i++) EXPECT_EQ(t[i], uint8_t(int(d[i] * 127 + 127))) << f << " " << row;
            }
        // the centre of each face points along its axis
        float n[3];
        decode(&face[(size_t(64) * 128 + 64) * 3], n);
        const int axis = f / 2;
        EXPECT_NEAR(std::fabs(n[axis]), 1.0f, 0.02f);
        EXPECT_GT(n[axis] * (f % 2 == 0 ? 1 : -1), 0.0f);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, 0);
}

TEST_F(StartupStateTest, NormalisationCubeMapLookupsGiveTheUnitVector)
{
    // Draw small squares textured with constant directions through GL's own
    // cube map lookup: what comes out must be the direction, normalised.
    GLuint cube = OGL_features_get_normalisation_cube_map();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 800, 0, 600, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_CUBE_MAP_ARB);
    glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, cube);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const float dirs[][3] = {{1, 0.3f, -0.2f}, {-2, 0.5f, 0.5f}, {0.1f, 3, -0.4f}, {0.2f, -1, 0.7f},
                             {-0.3f, 0.2f, 5}, {0.4f, 0.4f, -1}, {1, 1, 1},        {-1, -1, 0.1f}};
    for (int i = 0; i < 8; i++) {
        glBegin(GL_QUADS);
        glTexCoord3fv(dirs[i]);
        float x = 20.0f + 40.0f * i;
        glVertex2f(x, 20);
        glVertex2f(x + 20, 20);
        glVertex2f(x + 20, 40);
        glVertex2f(x, 40);
        glEnd();
    }
    glDisable(GL_TEXTURE_CUBE_MAP_ARB);
    for (int i = 0; i < 8; i++) {
        gltest_rgba c = gltest_pixel(30 + 40 * i, 30);
        uint8_t bytes[3] = {c.r, c.g, c.b};
        float n[3];
        decode(bytes, n);
        float len = std::sqrt(dirs[i][0] * dirs[i][0] + dirs[i][1] * dirs[i][1] + dirs[i][2] * dirs[i][2]);
        for (int k = 0; k < 3; k++) EXPECT_NEAR(n[k], dirs[i][k] / len, 0.03f) << "direction " << i;
    }
}

TEST_F(StartupStateTest, SwapIsTimedAndFramesAreCounted)
{
    OGL_frame_stats_start();
    OGL_frame_stats_add_batch(12);
    OGL_frame_stats_add_batch(30);
    OGL_frame_stats_add_state_application();
    OGL_swap_buffers();
    OGL_frame_stats_update();
    const OGL_frame_statistics *s = OGL_frame_stats_get();
    EXPECT_EQ(s->frames, 1u);
    EXPECT_GT(s->swap_ticks, 0u);
    EXPECT_GE(s->frame_ticks, s->swap_ticks);
    EXPECT_EQ(s->triangles, 42u);
    EXPECT_EQ(s->batches, 2u);
    EXPECT_EQ(s->frame_batches, 2u);
    OGL_frame_stats_clear_frame_counters();
    EXPECT_EQ(s->frame_batches, 0u);
    EXPECT_EQ(s->frame_triangles, 0u);
    EXPECT_EQ(s->frame_state_applications, 0u);
    EXPECT_EQ(s->batches, 2u); // totals stay
    OGL_frame_stats_reset();
    EXPECT_EQ(s->frames, 0u);
    EXPECT_EQ(s->swap_ticks, 0u);
    OGL_frame_stats_end_frame(); // no frame open: nothing counted
    EXPECT_EQ(s->frames, 0u);
}

TEST(RenderSettings, DefaultsPresenceBitsAndRanges)
{
    OGL_render_settings_reset();
    EXPECT_EQ(OGL_render_settings_get_texture_size_reduction(), 0);
    EXPECT_EQ(OGL_render_settings_get_texture_filter_quality(), 4);
    EXPECT_FALSE(OGL_render_settings_get_surface_lod_override());
    EXPECT_FALSE(OGL_render_settings_has_surface_lod_clamp());
    EXPECT_FLOAT_EQ(OGL_render_settings_get_volume(), 0.75f);
    OGL_render_settings_set_texture_size_reduction(7);
    EXPECT_EQ(OGL_render_settings_get_texture_size_reduction(), 2);
    OGL_render_settings_set_texture_filter_quality(-1);
    EXPECT_EQ(OGL_render_settings_get_texture_filter_quality(), 0);
    OGL_render_settings_set_surface_lod_clamp(3, 5);
    OGL_render_settings_set_surface_lod_distance(4.0f);
    int lo = 0, hi = 0;
    OGL_render_settings_get_surface_lod_clamp(&lo, &hi);
    EXPECT_EQ(lo, 3);
    EXPECT_EQ(hi, 5);
    EXPECT_EQ(OGL_render_settings_get_surface_lod_distance(), 4.0f);
    OGL_render_settings_set_pixel_programs_disabled(true);
    EXPECT_TRUE(OGL_render_settings_get()->flags & OGL_RS_PIXEL_PROGRAMS_DISABLED);
    OGL_render_settings_set_pixel_programs_disabled(false);
    EXPECT_FALSE(OGL_render_settings_get()->flags & OGL_RS_PIXEL_PROGRAMS_DISABLED);
    OGL_render_settings_reset();
    int a, b;
    EXPECT_EXIT(OGL_render_settings_get_surface_lod_clamp(&a, &b), ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "OGL_render_settings_get_surface_lod_clamp\\(\\) BUG");
    EXPECT_EXIT(OGL_render_settings_get_surface_lod_distance(), ExitedWithCode(LOG_FAULT_EXIT_STATUS), "BUG");
}

TEST(RenderOptions, SetClearTest)
{
    EXPECT_EQ(OGL_render_options_get(), 0u);
    OGL_render_options_set(OGL_RENDER_OPTION_FRUSTUM_CULLING | OGL_RENDER_OPTION_NO_SEPARATE_SPECULAR);
    EXPECT_TRUE(OGL_render_options_test(OGL_RENDER_OPTION_FRUSTUM_CULLING));
    OGL_render_options_clear(OGL_RENDER_OPTION_NO_SEPARATE_SPECULAR);
    EXPECT_FALSE(OGL_render_options_test(OGL_RENDER_OPTION_NO_SEPARATE_SPECULAR));
    EXPECT_EQ(OGL_render_options_get(), OGL_RENDER_OPTION_FRUSTUM_CULLING);
    OGL_render_options_clear(~0u);
}
