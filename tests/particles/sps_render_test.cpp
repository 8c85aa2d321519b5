// Particles drawn by the renderer: additive and alpha-blended quads that face
// the camera from any side. Needs a display (run under xvfb-run in CI); skips
// without one.

#include <GL/glew.h>

#include <cmath>
#include <optional>

#include "corelib/gfxloader.h"
#include "corelib/view.h"
#include "gl_test_context.h"
#include "particles/sps_render.h"
#include "particles_test_util.h"
#include "renderer/OGL_particles.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_texture.h"
#include "scene/scene_renderer.h"
#include "scene/unitexture.h"
#include "test_support.h"

namespace {

// Camera at distance 10 from the origin, 90 degrees vertical field of view on
// the 800 x 600 window: one unit at the origin is 30 pixels.
view *camera_at(tacka3 position, tacka3 up)
{
    view *v = view_create();
    v->position = position;
    v->target = {0, 0, 0};
    v->up = up;
    v->fov = float(M_PI) / 2.0f;
    view_compute_view_matrix(v);
    return v;
}

int px(float x) { return int(std::lround(400.0f + 30.0f * x)); }
int py(float y) { return int(std::lround(300.0f + 30.0f * y)); }

void draw(view *camera)
{
    glClearColor(64 / 255.0f, 64 / 255.0f, 64 / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    OGL_render_frame(camera);
    glFinish();
}

class SpsRenderTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (!gltest_open()) GTEST_SKIP() << "no display";
        gltest_reset_state();
        particles_test_seed();
        drawing.emplace(OGL_particles_hooks());
        sc = scene_init();
        mgr = sps_manager_init();
    }
    void TearDown() override
    {
        if (!gltest_is_open()) return;
        sps_manager_deinit(mgr);
        scene_deinit(sc);
        drawing.reset();
    }
    // One particle of half size 1 at p, with the colour, standing still.
    sps *one_particle(tacka3 p, uint8_t r, uint8_t g, uint8_t b, uint8_t a, bool additive)
    {
        sps *s = particles_test_system(sc, 4, 1.0f, 100.0f, 100.0f, additive ? "add" : "alpha");
        EXPECT_NE(s->render, nullptr);
        if (additive)
            sps_set_additive(s);
        else
            sps_set_alpha_blending(s);
        sps_set_color(s, r, g, b, a);
        sps_set_position(s, p);
        sps_set_position(s, p);
        sps_manager_add(mgr, s);
        sps_activate(s, false);
        sps_start_burst(s);
        sps_update(s, 0.0f);
        sps_stop_burst(s);
        return s;
    }
    scene *sc = nullptr;
    sps_manager *mgr = nullptr;
    std::optional<sps_render_hooks_scope> drawing;
};

} // namespace

TEST_F(SpsRenderTest, AdditiveAndAlphaBlendedQuadsFaceTheCamera)
{
    one_particle({-3, 0, 0}, 100, 0, 0, 128, false); // half over the grey
    one_particle({3, 0, 0}, 100, 0, 0, 255, true);   // added to the grey

    view *front = camera_at({0, 0, 10}, {0, 1, 0});
    sps_manager_update(mgr, 0.0f, front);
    draw(front);
    EXPECT_TRUE(gltest_region_is(px(-3) - 25, py(0) - 25, 50, 50, {82, 32, 32, 255}, 3));
    EXPECT_TRUE(gltest_region_is(px(3) - 25, py(0) - 25, 50, 50, {164, 64, 64, 255}, 3));
    EXPECT_TRUE(gltest_region_is(px(0) - 30, py(0) - 30, 60, 60, {64, 64, 64, 255}, 2)); // between them
    EXPECT_TRUE(gltest_region_is(px(3) + 35, py(0) - 5, 10, 10, {64, 64, 64, 255}, 2));  // beside the quad

    // From the side (looking along -x) the quads turn to the camera: a
    // fixed quad would be edge-on and invisible. The additive particle, 7
    // units away, shows 30 * 10 / 7 = 42.9 pixels either side of the centre;
    // the alpha one, 13 units away, 23 pixels, over the middle of it.
    view *side = camera_at({10, 0, 0}, {0, 1, 0});
    sps_manager_update(mgr, 0.0f, side);
    draw(side);
    EXPECT_TRUE(gltest_region_is(400 + 27, 300 - 38, 12, 76, {164, 64, 64, 255}, 3)); // additive alone
    EXPECT_TRUE(gltest_region_is(400 - 39, 300 - 38, 12, 76, {164, 64, 64, 255}, 3));
    EXPECT_TRUE(gltest_region_is(400 + 46, 300 - 10, 10, 20, {64, 64, 64, 255}, 2)); // beyond it
    gltest_rgba centre = gltest_pixel(400, 300);
    EXPECT_GT(centre.r, 100) << centre; // both particles
    EXPECT_FALSE(gltest_colour_near(centre, {164, 64, 64, 255}, 3)) << centre;

    // Deactivated systems are not drawn.
    dlist_for_each(n, &mgr->systems) sps_deactivate(dlist_entry<sps>(n));
    draw(front);
    EXPECT_TRUE(gltest_region_is(px(3) - 25, py(0) - 25, 50, 50, {64, 64, 64, 255}, 2));
    view_free(front);
    view_free(side);
}

// The renderer's texture for a scene texture (what the renderer's scene
// hand-over does for every shared texture).
static bool make_texture(unitexture *u)
{
    int w, h, bpp;
    const uint8_t *px = unitexture_get_data(u, &w, &h, &bpp);
    if (!px) return false;
    OGL_texture_input_data id{};
    id.xsize = uint32_t(w);
    id.ysize = uint32_t(h);
    id.bpp = uint32_t(bpp);
    id.pixels = px;
    id.flags = OGL_TEXTURE_INPUT_NEAREST;
    OGL_texture *t = OGL_texture_create(&id);
    unitexture_set_ogl_texture(u, t);
    return t != nullptr;
}
static void free_texture(unitexture *u)
{
    if (OGL_texture *t = unitexture_get_ogl_texture(u)) OGL_texture_free(t);
    unitexture_set_ogl_texture(u, nullptr);
}

// Told of a texture reload, the manager hands every system to the renderer
// afresh: the next frame draws the new texture even before any system is
// updated (the game draws pooled systems that no update has touched since).
TEST_F(SpsRenderTest, ToldOfATextureReloadEverySystemDrawsTheNewTexture)
{
    std::string dir = test_make_temp_dir();
    auto picture = [&](uint8_t r, uint8_t g, uint8_t b) {
        std::vector<uint8_t> px(8 * 8 * 4);
        for (size_t i = 0; i < px.size(); i += 4) px[i] = r, px[i + 1] = g, px[i + 2] = b, px[i + 3] = 255;
        ASSERT_TRUE(gfxloader_save((dir + "/fx.tga").c_str(), 8, 8, 32, px.data()));
    };
    picture(255, 0, 255);
    scene_renderer_hooks hooks{};
    hooks.texture_create = make_texture;
    hooks.texture_destroy = free_texture;
    scene_renderer_hooks_scope installed(hooks);
    scene_copy_resources_folder_path(sc, (dir + "/").c_str());
    sps *s = one_particle({0, 0, 0}, 100, 100, 100, 255, true);
    ASSERT_TRUE(sps_set_texture(s, "fx.tga"));
    ASSERT_TRUE(scene_prepare(sc));
    view *front = camera_at({0, 0, 10}, {0, 1, 0});
    sps_manager_update(mgr, 0.0f, front);
    draw(front);
    ASSERT_TRUE(gltest_region_is(px(0) - 20, py(0) - 20, 40, 40, {164, 64, 164, 255}, 3));

    picture(0, 255, 255);
    scene_textures_reload(sc, 2);
    sps_manager_textures_reloaded(mgr);
    draw(front);
    EXPECT_TRUE(gltest_region_is(px(0) - 20, py(0) - 20, 40, 40, {64, 164, 164, 255}, 3));

    view_free(front);
    sps_manager_deinit(mgr);
    mgr = sps_manager_init();
    scene_deinit(sc);
    sc = scene_init();
    test_remove_tree(dir);
}

TEST_F(SpsRenderTest, TextureOfTheSceneModulatesTheParticleColour)
{
    std::string dir = test_make_temp_dir();
    std::vector<uint8_t> magenta(8 * 8 * 4);
    for (size_t i = 0; i < magenta.size(); i += 4) magenta[i] = 255, magenta[i + 2] = 255, magenta[i + 3] = 255;
    ASSERT_TRUE(gfxloader_save((dir + "/magenta.tga").c_str(), 8, 8, 32, magenta.data()));
    scene_renderer_hooks hooks{};
    hooks.texture_create = make_texture;
    hooks.texture_destroy = free_texture;
    scene_renderer_hooks_scope installed(hooks);
    scene_copy_resources_folder_path(sc, (dir + "/").c_str());

    sps *s = one_particle({0, 0, 0}, 100, 100, 100, 255, true);
    ASSERT_TRUE(sps_set_texture(s, "magenta.tga"));
    view *front = camera_at({0, 0, 10}, {0, 1, 0});
    sps_manager_update(mgr, 0.0f, front);
    draw(front);
    EXPECT_TRUE(gltest_region_is(px(0) - 20, py(0) - 20, 40, 40, {164, 164, 164, 255}, 3)); // not loaded yet

    ASSERT_TRUE(scene_prepare(sc)); // the scene loads its textures; the system picks its one up
    sps_manager_update(mgr, 0.0f, front);
    draw(front);
    EXPECT_TRUE(gltest_region_is(px(0) - 20, py(0) - 20, 40, 40, {164, 64, 164, 255}, 3));

    // A texture reload (a changed quality setting) replaces the renderer's
    // texture; the system draws the new one, not a freed one.
    std::vector<uint8_t> cyan(magenta.size());
    for (size_t i = 0; i < cyan.size(); i += 4) cyan[i + 1] = 255, cyan[i + 2] = 255, cyan[i + 3] = 255;
    ASSERT_TRUE(gfxloader_save((dir + "/magenta.tga").c_str(), 8, 8, 32, cyan.data()));
    scene_textures_reload(sc, 2);
    sps_manager_update(mgr, 0.0f, front);
    draw(front);
    EXPECT_TRUE(gltest_region_is(px(0) - 20, py(0) - 20, 40, 40, {64, 164, 164, 255}, 3));

    view_free(front);
    sps_manager_deinit(mgr); // before the hooks go: the textures are released through them
    mgr = sps_manager_init();
    scene_deinit(sc);
    sc = scene_init();
    test_remove_tree(dir);
}
