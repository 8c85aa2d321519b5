// The terrain data: the demo scene loads, prepares and builds its terrain
// (moon-like ground with craters, a sun, a camera flying over it), every
// texture set holds its six pictures, and two builds write the same bytes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "corelib/gfxloader.h"
#include "corelib/mem.h"
#include "corelib/parser.h"
#include "corelib/view.h"
#include "data/data_build.h"
#include "scene/camera.h"
#include "scene/motion.h"
#include "scene/quox2_loader.h"
#include "scene/scene.h"
#include "scene/terrain.h"
#include "test_support.h"

namespace fs = std::filesystem;

static const std::string TERRAIN_DATA_DIR = VORN_BINARY_DIR "/data/";

TEST(TerrainDemo, LoadsPreparesAndBuildsItsTerrain)
{
    std::string file = TERRAIN_DATA_DIR + "terrain_demo.quox2";
    ASSERT_TRUE(fs::exists(file)) << "build the data first";
    parser_init();
    scene *sc = scene_init();
    ASSERT_TRUE(quox2_load_file(file.c_str(), sc));
    scene_copy_resources_folder_path(sc, TERRAIN_DATA_DIR.c_str());
    EXPECT_TRUE(scene_prepare_ex(sc, SCENE_PREPARE_CHECK | SCENE_PREPARE_NO_RENDERER));
    terrain *t = scene_get_terrain(sc);
    ASSERT_NE(t, nullptr);
    ASSERT_TRUE(t->flags & TERRAIN_BUILT);
    float side = t->cells * t->cell_size;
    EXPECT_GE(side * side, 4e6f); // a few square kilometres
    EXPECT_LE(side * side, 2e7f);
    // Relief: craters go well below the plains, ridges above.
    float lo = INFINITY, hi = -INFINITY;
    for (uint32_t i = 0; i < t->vertexsno; i++)
        lo = std::fmin(lo, t->vertexs[i].y), hi = std::fmax(hi, t->vertexs[i].y);
    EXPECT_GT(hi - lo, 60.0f);
    EXPECT_LT(hi - lo, 600.0f);
    EXPECT_EQ(scene_get_lights_no(sc), 1u);
    camera *cam = scene_get_camera(sc, "terrain_camera");
    ASSERT_NE(cam, nullptr);
    motion *m = scene_get_motion(sc, "terrain_camera", nullptr);
    ASSERT_NE(m, nullptr);
    // The camera flies above the ground along its whole path.
    view *v = view_create();
    for (int step = 0; step < 480; step++) {
        scene_update(sc, {0, 0, 0}, 0.1f);
        if (step < 20) continue; // the motion fades in from the resting place
        ASSERT_TRUE(camera_setup_view(cam, v));
        tacka3 p = v->position;
        EXPECT_GT(p.y, terrain_height_at(t, p.x, p.z) + 10.0f) << step;
        EXPECT_GE(p.x, t->origin.x);
        EXPECT_LE(p.x, t->origin.x + side);
    }
    view_free(v);
    scene_deinit(sc);
    parser_deinit();
}

TEST(TerrainDemo, EveryTextureSetHoldsItsSixPictures)
{
    ASSERT_TRUE(gfxloader_init());
    for (int set = 1; set <= 4; set++)
        for (const char *name : {"Layer0", "Layer1", "Layer2", "blend_map", "detail", "single_map"}) {
            std::string path = TERRAIN_DATA_DIR + "bolid/terrain" + std::to_string(set) + "/" + name + ".tga";
            int w = 0, h = 0, bpp = 0;
            uint8_t *px = nullptr;
            ASSERT_TRUE(gfxloader_load_smart(path.c_str(), &w, &h, &bpp, &px)) << path;
            EXPECT_TRUE(w >= 2 && (w & (w - 1)) == 0 && h == w) << path;
            // Layer 0 and the detail map carry the detail term in their alpha, around mid-grey.
            if (!strcmp(name, "Layer0") || !strcmp(name, "detail")) {
                ASSERT_EQ(bpp, 32) << path;
                double sum = 0;
                for (int i = 0; i < w * h; i++) sum += px[i * 4 + 3];
                EXPECT_NEAR(sum / (w * h), 128.0, 25.0) << path;
            }
            mem_free(px);
        }
    gfxloader_deinit();
}

class TerrainDemoBuild : public TempDirTest {};

TEST_F(TerrainDemoBuild, TwoBuildsWriteTheSameBytes)
{
    std::string first[2];
    for (int run = 0; run < 2; run++) {
        data_ctx ctx;
        ctx.out_dir = path("run" + std::to_string(run)) + "/";
        ctx.quiet = true;
        fs::create_directories(ctx.out_dir);
        ASSERT_TRUE(data_build(ctx, {"terrain"}));
        EXPECT_EQ(ctx.files, 25);
        first[run] = test_read_file(ctx.out_dir + "terrain_demo.quox2") +
                     test_read_file(ctx.out_dir + "bolid/terrain2/single_map.tga");
    }
    EXPECT_GT(first[0].size(), 1000000u);
    EXPECT_TRUE(first[0] == first[1]);
}
