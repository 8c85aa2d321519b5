// quox2 view run as a process under the test display: a small terrain scene
// flown for a few frames and recorded; the frames show the ground, and the
// renderer's terrain mode line is printed.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "corelib/files.h"
#include "corelib/gfxloader.h"
#include "corelib/mem.h"
#include "gl_test_context.h"
#include "scene/quox2_writer.h"
#include "scene/scene.h"
#include "scene/terrain.h"
#include "test_support.h"

namespace fs = std::filesystem;

class Quox2View : public TempDirTest {};

TEST_F(Quox2View, RecordsTheFramesOfAScriptedFlight)
{
    std::string tool = std::string(VORN_BINARY_DIR) + "/bin/quox2";
    if (!file_exists(tool.c_str())) GTEST_SKIP() << "quox2 not built";
    ASSERT_TRUE(gltest_open()); // the image module comes with it
    // A rolling terrain and its texture set 1, all mid-grey.
    fs::create_directories(path("bolid/terrain1"));
    std::vector<uint8_t> px(8 * 8 * 4, 128);
    for (const char *name : {"Layer0", "Layer1", "Layer2", "blend_map", "detail", "single_map"})
        ASSERT_TRUE(gfxloader_save(path(std::string("bolid/terrain1/") + name + ".tga").c_str(), 8, 8, 32, px.data()));
    std::vector<float> h(65 * 65);
    for (int j = 0; j <= 64; j++)
        for (int i = 0; i <= 64; i++) h[j * 65 + i] = 8.0f * std::sin(i * 0.2f) * std::cos(j * 0.15f);
    terrain *t = terrain_make(h.data(), 64, 8, 4.0f, {0, 0, 0}, nullptr);
    ASSERT_NE(t, nullptr);
    scene *sc = scene_init();
    scene_set_terrain(sc, t);
    ASSERT_TRUE(quox2_save_scene(path("ground.quox2").c_str(), sc));
    scene_deinit(sc);

    // The whole program is checked for memory errors but not leaks: the GL
    // driver is unloaded at its end (see the smoke test).
    const char *asan = getenv("ASAN_OPTIONS");
    std::string no_leaks =
        "ASAN_OPTIONS='" + std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0' ";
    test_run_result r =
        test_run(no_leaks + tool + " view " + path("ground.quox2") + " --frames 3 --record " + path("frames"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("terrain_create_profile: vp&fp supported; switching to full mode"), std::string::npos)
        << r.err;
    for (const char *name : {"0000.bmp", "0001.bmp", "0002.bmp"}) {
        int w = 0, hh = 0, bpp = 0;
        uint8_t *frame = nullptr;
        ASSERT_TRUE(gfxloader_load_smart(path(std::string("frames/") + name).c_str(), &w, &hh, &bpp, &frame)) << name;
        EXPECT_EQ(w, 800);
        EXPECT_EQ(hh, 600);
        // The lower half looks at the lit grey ground.
        int lit = 0;
        for (int y = 0; y < 300; y += 10)
            for (int x = 0; x < 800; x += 10) lit += frame[(size_t(y) * 800 + x) * 3] > 30;
        EXPECT_GT(lit, 30 * 80 / 2) << name;
        mem_free(frame);
    }
    EXPECT_FALSE(fs::exists(path("frames/0003.bmp")));
}
