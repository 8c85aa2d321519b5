// Per-frame work: visibility against the view frustum, surface level of
// detail, billboards, and the renderer hand-over calls.

#include <gtest/gtest.h>

#include <optional>

#include "corelib/view.h"
#include "scene/scene_renderer.h"
#include "scene/unitexture.h"
#include "scene_test_util.h"

namespace {

int g_visible_calls, g_flushes;
bool g_last_visible;
// The renderer's options as the fake renderer reports them.
scene_render_options g_options;

class SceneUpdate : public ::testing::Test {
  protected:
    void SetUp() override
    {
        g_visible_calls = g_flushes = 0;
        g_options = scene_render_options{};
        g_options.frustum_culling = true;
        scene_renderer_hooks hk{};
        hk.oi_insert = [](object_instance *) { return SCENE_RENDERER_TAKEN; };
        hk.oi_set_visible = [](object_instance *, bool v) {
            g_visible_calls++;
            g_last_visible = v;
        };
        hk.oi_flush = [](object_instance *) { g_flushes++; };
        hk.get_options = [](scene_render_options *o) { *o = g_options; };
        hooks.emplace(hk);
        sc = scene_init();
        scene_copy_resources_folder_path(sc, "./");
        scene_add_object(sc, test_make_quad("quad"));
        v = view_create();
        view_set_position(v, {0, 0, -5});
        view_set_target(v, {0, 0, 0});
        view_set_up(v, {0, 1, 0});
        view_set_near_far(v, 0.1f, 1000.0f);
        view_set_fov(v, 1.0f);
        view_compute_view_matrix(v);
        view_compute_projection(v);
    }
    void TearDown() override
    {
        view_free(v);
        scene_deinit(sc);
        hooks.reset();
    }
    object_instance *add(const char *name, tacka3 pos, const char *props = nullptr)
    {
        object_instance *oi = test_make_oi(name, "quad", pos);
        if (props) OI_copy_user_defined_properties(oi, props);
        scene_add_oi(sc, oi);
        return oi;
    }
    scene *sc;
    view *v;
    std::optional<scene_renderer_hooks_scope> hooks;
};

} // namespace

TEST_F(SceneUpdate, VisibilityFollowsTheFrustumAndTheSwitches)
{
    object_instance *front = add("front", {0, 0, 0});
    object_instance *behind = add("behind", {0, 0, -50});
    object_instance *aside = add("aside", {500, 0, 0});
    object_instance *forced = add("forced", {0, 0, -50}, "do_not_frustum_cull = true\r\n");
    object_instance *hidden = add("hidden", {0, 0, 0}, "invisible = true\r\n");
    ASSERT_TRUE(scene_prepare(sc));
    scene_update_visibility(sc, v);
    EXPECT_TRUE(front->desc.visible);
    EXPECT_FALSE(behind->desc.visible);
    EXPECT_FALSE(aside->desc.visible);
    EXPECT_TRUE(forced->desc.visible);
    EXPECT_FALSE(hidden->desc.visible);
    EXPECT_GT(g_visible_calls, 0); // changes reach the renderer at once

    scene_set_hide_all(sc);
    scene_update_visibility(sc, v);
    EXPECT_FALSE(front->desc.visible);
    EXPECT_FALSE(forced->desc.visible);
    scene_clear_hide_all(sc);

    // Without frustum culling everything not "invisible" is visible: the
    // option is asked at each pass, a change needs no new hooks.
    g_options.frustum_culling = false;
    scene_update_visibility(sc, v);
    EXPECT_TRUE(behind->desc.visible);
    EXPECT_FALSE(hidden->desc.visible);

    // "invisible" set by code hides the mesh instance at once.
    int before = g_visible_calls;
    EXPECT_TRUE(OI_set_desc(front, "invisible", "true"));
    EXPECT_EQ(g_visible_calls, before + 1);
    EXPECT_FALSE(g_last_visible);
}

TEST_F(SceneUpdate, SurfaceLevelOfDetailByDistance)
{
    material *m = test_make_material("bumpy");
    material_copy_texture_file_name(m, MAT_SLOT_BUMP, "b.tga");
    scene_add_material(sc, m);
    object_instance *oi = add("rock", {0, 0, 0}, "surface_lod_distance = 10.0\r\n");
    OI_copy_material_name(oi, "bumpy");
    static int decoded;
    decoded = 0;
    unitexture_set_image_loader([](const char *, int *w, int *h, int *bpp, uint8_t **px) {
        decoded++;
        *w = *h = 1;
        *bpp = 24;
        *px = static_cast<uint8_t *>(mem_calloc(3, 1));
        return true;
    });
    ASSERT_TRUE(scene_prepare(sc));
    unitexture_set_image_loader(nullptr);
    float r = oi->bound_radius; // sqrt(0.5)
    tacka3 c = oi->bound_center;
    float step = 10.0f * r;
    const struct {
        float d;
        int lod;
    } cases[] = {{0.5f, 0}, {1.5f, 1}, {5.0f, 2}, {10.0f, 3}, {20.0f, 4}, {40.0f, 0}};
    for (const auto &k : cases) {
        scene_update(sc, tacka3{c.x + k.d * step, c.y, c.z}, 0.0f);
        EXPECT_EQ(oi->desc.surface_lod, k.lod) << "distance " << k.d << " steps";
    }
    EXPECT_GT(g_flushes, 0);

    // A level range from the renderer clamps the choice.
    g_options.surface_lod_min = 1;
    g_options.surface_lod_max = 2;
    scene_update(sc, tacka3{c.x + 20 * step, c.y, c.z}, 0.0f);
    EXPECT_EQ(oi->desc.surface_lod, 2);
    // The renderer's distance step replaces the instance's at the next update:
    // 20 of the instance's steps are 2 of steps ten times as long.
    g_options.surface_lod_min = g_options.surface_lod_max = 0;
    g_options.surface_lod_distance_override = 100.0f;
    scene_update(sc, tacka3{c.x + 20 * step, c.y, c.z}, 0.0f);
    EXPECT_EQ(oi->desc.surface_lod, 1);
}

TEST_F(SceneUpdate, BillboardsTurnTheirYAxisToTheViewer)
{
    object_instance *oi = add("sprite", {0, 0, 0}, "billboarded = true\r\n");
    ASSERT_TRUE(scene_prepare(sc));
    scene_update(sc, tacka3{0, 0, 10}, 0.02f);
    const float *m = OI_get_matrix_ws(oi);
    EXPECT_NEAR(m[4], 0.0f, 1e-5f);
    EXPECT_NEAR(m[5], 0.0f, 1e-5f);
    EXPECT_NEAR(m[6], 1.0f, 1e-5f);
    scene_update(sc, tacka3{0, 0, 0}, 0.02f); // viewer at the instance: unchanged
    EXPECT_NEAR(OI_get_matrix_ws(oi)[6], 1.0f, 1e-5f);
}

TEST_F(SceneUpdate, NotRenderableTakesAnInstanceOutOfTheRendererAndBack)
{
    static int removed;
    removed = 0;
    scene_renderer_hooks hk = *scene_renderer_get_hooks();
    hk.oi_remove = [](object_instance *) { removed++; };
    scene_renderer_hooks_scope with_remove(hk);
    object_instance *oi = add("box", {0, 0, 0});
    ASSERT_TRUE(scene_prepare(sc));
    EXPECT_TRUE(oi->flags & OI_IN_RENDERER);
    EXPECT_TRUE(OI_set_desc(oi, "not_renderable", "true"));
    EXPECT_FALSE(oi->flags & OI_IN_RENDERER);
    EXPECT_EQ(removed, 1);
    EXPECT_TRUE(OI_set_desc(oi, "not_renderable", "false"));
    EXPECT_TRUE(oi->flags & OI_IN_RENDERER);
}
