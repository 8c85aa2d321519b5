// The scene's hand-over to the renderer: scenes built in memory, prepared and
// attached through the renderer's hooks, drawn through the render queues and
// checked on the picture; culling, lights, surface level of detail, texture
// upload, reload and refusal, and the release of everything on detach.
//
// The camera of rq_helpers.h: at (0, 0, 10) looking down -z, one unit at z = 0
// is 30 pixels.

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "corelib/view.h"
#include "gl_test_context.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_scene.h"
#include "renderer/OGL_settings.h"
#include "renderer/OGL_texture.h"
#include "rq_helpers.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/quox2_loader.h"
#include "scene/quox2_writer.h"
#include "scene/scene.h"
#include "scene/scene_renderer.h"
#include "scene/unitexture.h"
#include "test_support.h"

namespace {

template <typename T> T *copy_of(const std::vector<T> &v)
{
    T *p = static_cast<T *>(mem_alloc(v.size() * sizeof(T)));
    std::memcpy(static_cast<void *>(p), v.data(), v.size() * sizeof(T));
    return p;
}

// A square of half-size h in the xy plane facing +z, with one UV channel.
object *quad_object(const char *name, float h)
{
    object *o = object_init();
    object_copy_name(o, name);
    object_set_type(o, OBJECT_TYPE_MESH);
    object_insert_vertexs(o, copy_of<tacka3>({{-h, -h, 0}, {h, -h, 0}, {h, h, 0}, {-h, h, 0}}), 4);
    object_insert_triangle_list_ints(o, copy_of<uint32_t>({0, 1, 2, 0, 2, 3}), 2);
    object_append_tvertexs_chn(o, copy_of<tacka2>({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), 4);
    return o;
}

int active_state(const OGL_mesh_instance *mi) // 1 all sets active, 0 none, -1 mixed or no set
{
    int on = 0, off = 0;
    dlist *head = const_cast<dlist *>(&mi->pass_data_sets);
    dlist_for_each(pos, head)(dlist_entry<OGL_render_pass_data_set>(pos)->active ? on : off)++;
    return on && !off ? 1 : (off && !on ? 0 : -1);
}

uint32_t queue_groups()
{
    uint32_t n = 0;
    for (int q = 0; q < OGL_RQ_COUNT; q++) n += OGL_render_queue_groups_no(OGL_render_queue_get(q));
    return n;
}

OGL_mesh_instance *mi_of(const object_instance *oi)
{
    return (oi->flags & OI_OGL_MESH_INSTANCE) ? oi->ogl_mesh_instance : nullptr;
}

class SceneHandover : public GLTest {
  protected:
    void SetUp() override
    {
        GLTest::SetUp();
        dir = test_make_temp_dir();
        log_file_set((dir + "/log.txt").c_str());
        log_file_truncate();
        OGL_global_light_disable();
        OGL_fog_reset();
        OGL_render_options_clear(OGL_RENDER_OPTION_FRUSTUM_CULLING);
        hooks.emplace(OGL_scene_hooks());
        textures_before = OGL_texture_count();
        meshes_before = OGL_mesh_count();
        groups_before = queue_groups();
        sc = scene_init();
        scene_copy_resources_folder_path(sc, (dir + "/").c_str());
        cam = rq_camera();
        view_set_near_far(cam, 0.1f, 1000.0f);
    }
    void TearDown() override
    {
        if (sc) scene_deinit(sc);
        view_free(cam);
        hooks.reset();
        OGL_render_options_clear(OGL_RENDER_OPTION_FRUSTUM_CULLING);
        OGL_render_settings_reset();
        unitexture_set_image_loader(nullptr);
        // Everything the scene made in the renderer is gone again.
        EXPECT_EQ(OGL_texture_count(), textures_before);
        EXPECT_EQ(OGL_mesh_count(), meshes_before);
        EXPECT_EQ(OGL_scene_meshes_no(), 0u);
        EXPECT_EQ(queue_groups(), groups_before);
        test_remove_tree(dir);
    }

    std::string log() { return test_read_file(dir + "/log.txt"); }

    void write_tga(const char *name, int w, int h, uint8_t r, uint8_t g, uint8_t b)
    {
        std::vector<uint8_t> px;
        for (int i = 0; i < w * h; i++) px.insert(px.end(), {r, g, b});
        ASSERT_TRUE(gfxloader_save((dir + "/" + name).c_str(), w, h, 24, px.data()));
    }

    // A material with a diffuse map; unlit draws the texture as it is.
    material *add_material(const char *name, const char *diffuse, bool lit = false)
    {
        material *m = material_init();
        material_copy_name(m, name);
        if (diffuse) {
            material_copy_texture_file_name(m, MAT_SLOT_DIFFUSE, diffuse);
            material_set_slot_params(m, MAT_SLOT_DIFFUSE, 0, 0, 0);
        }
        m->colors[0] = {1, 1, 1, 1};
        m->colors[1] = {1, 1, 1, 1};
        m->render_flag = lit ? 0 : 1;
        scene_add_material(sc, m);
        return m;
    }

    object_instance *add_oi(const char *name, const char *obj, const char *mat, tacka3 pos, const char *props = nullptr)
    {
        object_instance *oi = OI_init();
        OI_copy_name(oi, name);
        if (obj) OI_copy_instance_name(oi, obj);
        if (mat) OI_copy_material_name(oi, mat);
        OI_set_initial_PRS_ws(oi, pos, quaternion_identity(), tacka3{1, 1, 1});
        OI_set_position(oi, pos);
        if (props) OI_copy_user_defined_properties(oi, props);
        scene_add_oi(sc, oi);
        return oi;
    }

    light *add_omni(const char *name, tacka3 pos, tacka3 color, float range)
    {
        light *l = light_init();
        light_copy_name(l, name);
        light_set_type(l, LIGHT_OMNI);
        l->color = {color.x, color.y, color.z, 1};
        l->range1 = 1.0f;
        l->range2 = range;
        scene_add_light(sc, l);
        add_oi(name, nullptr, nullptr, pos);
        return l;
    }

    // One frame through the camera as the game draws it.
    void frame(float dt = 0.0f)
    {
        scene_update(sc, view_get_position(cam), dt);
        view_compute_view_matrix(cam);
        view_compute_projection(cam);
        scene_update_visibility(sc, cam);
        rq_draw(cam);
    }

    gltest_rgba at(float x, float y) { return gltest_pixel(rq_px(x), rq_py(y)); }

    // A lit square with a flat normal map under a red lamp: lit red on every
    // board, through the bump programs where the board has them.
    void bumped_scene_draws(bool programs)
    {
        write_tga("white.tga", 8, 8, 255, 255, 255);
        write_tga("flat_normal.tga", 8, 8, 128, 128, 255);
        object *o = quad_object("square", 1.0f);
        object_insert_tangent_space_tangents(o, copy_of<tacka3>({{1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}}), 4);
        object_insert_tangent_space_binormals(o, copy_of<tacka3>({{0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}}), 4);
        object_insert_tangent_space_normals(o, copy_of<tacka3>({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}), 4);
        scene_add_object(sc, o);
        material *m = add_material("bumped", "white.tga", true);
        material_copy_texture_file_name(m, MAT_SLOT_BUMP, "flat_normal.tga");
        material_set_slot_params(m, MAT_SLOT_BUMP, 0, 0, 0);
        m->colors[2] = {0.1f, 0.1f, 0.1f, 1}; // below 1 in sum: the bump path without specular
        object_instance *oi = add_oi("rock", "square", "bumped", {0, 0, 0});
        add_omni("lamp", {0, 0, 3}, {1, 0, 0}, 0.0f);
        ASSERT_TRUE(scene_prepare(sc)) << log();
        rq_set_info main = rq_sets(mi_of(oi), OGL_RPDS_KIND_MAIN);
        EXPECT_GE(main.passes, 1);
        EXPECT_EQ(main.any_fp, programs);
        EXPECT_EQ(scene_renderer_get_options().terrain_uses_fixed_function, !programs);
        frame();
        gltest_rgba c = at(0, 0);
        EXPECT_GT(c.r, 100) << c;
        EXPECT_LT(c.g, 60) << c;
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    std::string dir;
    scene *sc = nullptr;
    view *cam = nullptr;
    std::optional<scene_renderer_hooks_scope> hooks;
    int textures_before = 0, meshes_before = 0;
    uint32_t groups_before = 0;
};

const gltest_rgba BLACK{0, 0, 0, 255}, RED{255, 0, 0, 255}, GREEN{0, 255, 0, 255}, BLUE{0, 0, 255, 255},
    WHITE{255, 255, 255, 255};

} // namespace

TEST_F(SceneHandover, PreparedScenesDrawTheirInstancesInDepthOrder)
{
    write_tga("red.tga", 8, 8, 255, 0, 0);
    write_tga("blue.tga", 8, 8, 0, 0, 255);
    write_tga("green.tga", 8, 8, 0, 255, 0);
    scene_add_object(sc, quad_object("square", 1.0f));
    scene_add_object(sc, quad_object("small", 0.5f));
    add_material("red", "red.tga");
    add_material("blue", "blue.tga");
    add_material("green", "green.tga");
    // The nearer green square comes first in load order; depth keeps it in front.
    add_oi("front", "small", "green", {-3, 0, 1});
    object_instance *left = add_oi("left", "square", "red", {-3, 0, 0});
    object_instance *right = add_oi("right", "square", "blue", {3, 0, 0});
    add_oi("plain", "square", nullptr, {0, 4, 0}); // no material: the solid profile
    // The same square as one triangle strip, without normals of its own.
    object *strip = object_init();
    object_copy_name(strip, "strip");
    object_set_type(strip, OBJECT_TYPE_MESH);
    object_insert_vertexs(strip, copy_of<tacka3>({{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}}), 4);
    object_insert_triangle_strips(strip, copy_of<uint32_t>({2, 0, 1, 3, 2}), 1, 5, 2);
    scene_add_object(sc, strip);
    add_oi("stripped", "strip", nullptr, {0, -4, 0});
    ASSERT_TRUE(scene_prepare(sc)) << log();

    EXPECT_TRUE(scene_is_attached(sc));
    ASSERT_NE(mi_of(left), nullptr);
    ASSERT_NE(mi_of(right), nullptr);
    EXPECT_EQ(mi_of(left)->mesh, mi_of(right)->mesh); // one mesh per object
    EXPECT_EQ(OGL_scene_meshes_no(), 3u);
    EXPECT_EQ(mi_of(left)->world_matrix, left->world_matrix);
    EXPECT_EQ(active_state(mi_of(left)), 1);

    // The global light shows the lit grey of the square without a material.
    const float dir_light[4] = {0, 0, 1, 0}, none[3] = {0, 0, 0}, full[3] = {1, 1, 1};
    OGL_global_light_set(dir_light, none, full, none);
    OGL_global_light_enable();
    frame();
    OGL_global_light_disable();
    EXPECT_TRUE(gltest_colour_near(at(-3, 0), GREEN, 4));
    EXPECT_TRUE(gltest_colour_near(at(-3.7f, -0.9f), RED, 4)); // the part of the red square the green one leaves
    EXPECT_TRUE(gltest_region_is(rq_px(2.5f), rq_py(-0.5f), 30, 30, BLUE, 4));
    EXPECT_TRUE(gltest_colour_near(at(0, 0), BLACK, 2));
    EXPECT_TRUE(gltest_colour_near(at(0, 4), gltest_rgba{179, 179, 179, 255}, 8));
    EXPECT_TRUE(gltest_colour_near(at(0, -4), gltest_rgba{179, 179, 179, 255}, 8)); // facing the light as well
    EXPECT_TRUE(gltest_region_is(rq_px(-0.8f), rq_py(-4.8f), 48, 48, gltest_rgba{179, 179, 179, 255}, 8));

    // Moving an instance moves its picture on the next frame.
    OI_set_position(right, {3, -4, 0});
    frame();
    EXPECT_TRUE(gltest_colour_near(at(3, -4), BLUE, 4));
    EXPECT_TRUE(gltest_colour_near(at(3, 0), BLACK, 2));
}

TEST_F(SceneHandover, TerrainIsNotMineAndAnUndrawableMeshIsAFailure)
{
    object *ground = quad_object("ground", 1.0f);
    object_set_type(ground, OBJECT_TYPE_TERRAIN_QUAD);
    scene_add_object(sc, ground);
    object *broken = object_init();
    object_copy_name(broken, "broken");
    object_set_type(broken, OBJECT_TYPE_MESH);
    object_insert_vertexs(broken, copy_of<tacka3>({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), 3);
    object_insert_triangle_list_ints(broken, copy_of<uint32_t>({0, 1, 7}), 1);
    scene_add_object(sc, broken);
    scene_add_object(sc, quad_object("square", 1.0f));
    object_instance *terrain = add_oi("terrain", "ground", nullptr, {0, 0, 0});
    object_instance *bad = add_oi("bad", "broken", nullptr, {0, 0, 0});
    object_instance *good = add_oi("good", "square", nullptr, {0, 0, 0});
    ASSERT_TRUE(scene_prepare(sc)) << log();
    EXPECT_TRUE(good->flags & OI_IN_RENDERER);
    EXPECT_FALSE(terrain->flags & OI_IN_RENDERER);
    EXPECT_FALSE(bad->flags & OI_IN_RENDERER);
    // Asked again, the renderer tells the two apart.
    EXPECT_EQ(OI_insert_into_renderer(terrain), SCENE_RENDERER_NOT_MINE);
    EXPECT_EQ(OI_insert_into_renderer(bad), SCENE_RENDERER_FAILED);
    EXPECT_EQ(OI_insert_into_renderer(good), SCENE_RENDERER_TAKEN);
    const std::string l = log();
    EXPECT_NE(l.find("OGL_scene: instance \"bad\" (object \"broken\") cannot be drawn"), std::string::npos) << l;
    EXPECT_EQ(l.find("instance \"terrain\" (object"), std::string::npos) << l;
}

TEST_F(SceneHandover, VisibilityCullsInstancesOutsideTheFrustumAndHidesInvisibleOnes)
{
    write_tga("red.tga", 8, 8, 255, 0, 0);
    scene_add_object(sc, quad_object("square", 1.0f));
    add_material("red", "red.tga");
    object_instance *in = add_oi("in", "square", "red", {0, 0, 0});
    object_instance *out = add_oi("out", "square", "red", {100, 0, 0});
    object_instance *always = add_oi("always", "square", "red", {-100, 0, 0}, "do_not_frustum_cull = true\r\n");
    OGL_render_options_set(OGL_RENDER_OPTION_FRUSTUM_CULLING);
    ASSERT_TRUE(scene_prepare(sc)) << log();

    frame();
    EXPECT_TRUE(in->desc.visible);
    EXPECT_FALSE(out->desc.visible);
    EXPECT_TRUE(always->desc.visible);
    EXPECT_EQ(active_state(mi_of(in)), 1);
    EXPECT_EQ(active_state(mi_of(out)), 0);
    EXPECT_EQ(active_state(mi_of(always)), 1);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), RED, 4));

    // Looking at it brings it back.
    cam->position = {100, 0, 10};
    cam->target = {100, 0, 0};
    frame();
    EXPECT_TRUE(out->desc.visible);
    EXPECT_FALSE(in->desc.visible);
    EXPECT_EQ(active_state(mi_of(out)), 1);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), RED, 4));

    // "invisible" hides at once and stays hidden through the visibility pass.
    OI_set_desc(out, "invisible", "true");
    EXPECT_EQ(active_state(mi_of(out)), 0);
    frame();
    EXPECT_TRUE(gltest_colour_near(at(0, 0), BLACK, 2));
    OI_set_desc(out, "invisible", "false");
    frame();
    EXPECT_TRUE(gltest_colour_near(at(0, 0), RED, 4));

    // Without culling everything that may be seen is active (the option is
    // read at each frame); hide-all hides all.
    OGL_render_options_clear(OGL_RENDER_OPTION_FRUSTUM_CULLING);
    frame();
    EXPECT_EQ(active_state(mi_of(in)), 1);
    EXPECT_EQ(active_state(mi_of(out)), 1);
    scene_set_hide_all(sc);
    frame();
    EXPECT_EQ(active_state(mi_of(in)), 0);
    EXPECT_EQ(active_state(mi_of(out)), 0);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), BLACK, 2));
}

TEST_F(SceneHandover, LightsInRangeLightTheirInstancesAndFollowTheirLamps)
{
    write_tga("white.tga", 8, 8, 255, 255, 255);
    scene_add_object(sc, quad_object("square", 1.0f));
    add_material("lit", "white.tga", true);
    object_instance *near_oi = add_oi("near", "square", "lit", {-3, 0, 0});
    object_instance *far_oi = add_oi("far", "square", "lit", {3, 0, 0}, "ambient_b = 0.5\r\n");
    light *lamp = add_omni("lamp", {-3, 0, 2}, {1, 0, 0}, 4.0f);
    ASSERT_TRUE(scene_prepare(sc)) << log();

    OGL_mesh_instance *nm = mi_of(near_oi), *fm = mi_of(far_oi);
    ASSERT_EQ(OGL_mesh_instance_get_lights_no(nm), 1u);
    EXPECT_EQ(OGL_mesh_instance_get_lights_no(fm), 0u); // its sphere is 4.9 away, the range is 4
    OGL_mesh_light *ml = OGL_mesh_instance_get_light(nm, 0);
    EXPECT_EQ(OGL_scene_light_source(ml), lamp);
    EXPECT_EQ(ml->type, OGL_MESH_LIGHT_POINT);
    EXPECT_FLOAT_EQ(ml->far_range, 4.0f);
    EXPECT_FLOAT_EQ(ml->ls_pos.z, 2.0f);

    frame();
    gltest_rgba n = at(-3, 0), f = at(3, 0);
    EXPECT_GT(n.r, 200) << n;
    EXPECT_LT(n.g, 40) << n;
    // The far square has only its own ambient colour (blue 0.5) over the dim GL ambient.
    EXPECT_LT(f.r, 40) << f;
    EXPECT_NEAR(f.b, 128 + f.r, 20) << f;

    // The lamp moves: the instance's light follows in world and local space.
    OI_set_position(lamp->oi, {-2, 1, 2});
    frame();
    EXPECT_FLOAT_EQ(ml->ws_pos.x, -2.0f);
    EXPECT_FLOAT_EQ(ml->ls_pos.x, 1.0f);
    EXPECT_FLOAT_EQ(ml->ls_pos.y, 1.0f);
    // The instance moves: the local position follows as well.
    OI_set_position(near_oi, {-2, 0, 0});
    frame();
    EXPECT_FLOAT_EQ(ml->ls_pos.x, 0.0f);
    EXPECT_GT(at(-2, 0).r, 150);

    // A static instance keeps the lights chosen at attach; a dynamic one takes
    // the lights it reaches as it moves, and is lit by them at once.
    OI_set_position(far_oi, {-1, 3, 0});
    frame();
    EXPECT_EQ(OGL_mesh_instance_get_lights_no(fm), 0u);
    OI_set_desc(far_oi, "dynamic", "true");
    frame();
    ASSERT_EQ(OGL_mesh_instance_get_lights_no(fm), 1u);
    EXPECT_EQ(OGL_scene_light_source(OGL_mesh_instance_get_light(fm, 0)), lamp);
    EXPECT_GT(at(-1, 3).r, 100);
    OI_set_position(far_oi, {30, 0, 0});
    frame();
    EXPECT_EQ(OGL_mesh_instance_get_lights_no(fm), 0u);
}

TEST_F(SceneHandover, SurfaceLevelOfDetailDropsTheDetailMapWithDistance)
{
    write_tga("white.tga", 8, 8, 255, 255, 255);
    write_tga("detail.tga", 8, 8, 128, 128, 128);
    scene_add_object(sc, quad_object("square", 1.0f));
    material *m = add_material("detailed", "white.tga", true);
    material_copy_texture_file_name(m, MAT_SLOT_DETAIL, "detail.tga");
    material_set_slot_params(m, MAT_SLOT_DETAIL, 0, 0, 0);
    // step = 10 x radius (1.41): level 0 below 14.1, level 3 from 99 to 212
    object_instance *oi = add_oi("rock", "square", "detailed", {0, 0, 0}, "surface_lod_distance = 10\r\n");
    ASSERT_TRUE(scene_prepare(sc)) << log();

    frame();
    EXPECT_EQ(oi->desc.surface_lod, 0);
    EXPECT_EQ(rq_sets(mi_of(oi), OGL_RPDS_KIND_MAIN).units_max, 2); // diffuse and detail

    cam->position = {0, 0, 150};
    frame();
    EXPECT_EQ(oi->desc.surface_lod, 3);
    EXPECT_EQ(rq_sets(mi_of(oi), OGL_RPDS_KIND_MAIN).units_max, 1);
    EXPECT_EQ(active_state(mi_of(oi)), 1); // rebuilt sets keep the visibility

    // The renderer's clamp keeps the level in its range from the next frame on.
    OGL_render_settings_set_surface_lod_clamp(0, 1);
    frame();
    EXPECT_EQ(oi->desc.surface_lod, 1);
    // So does the override of the distance step: 150 is within 1 step of 200 x 1.41.
    OGL_render_settings_set_surface_lod_clamp(0, 4);
    OGL_render_settings_set_surface_lod_distance(200.0f);
    OGL_render_settings_set_surface_lod_override(true);
    frame();
    EXPECT_EQ(oi->desc.surface_lod, 0);
}

TEST_F(SceneHandover, TexturesUploadReloadAtLowerQualityAndFallBackToThePlaceholder)
{
    write_tga("hull.tga", 256, 256, 255, 0, 0);
    write_tga("odd.tga", 100, 60, 0, 255, 0); // not a power of two
    scene_add_object(sc, quad_object("square", 1.0f));
    add_material("hull", "hull.tga");
    add_material("odd", "odd.tga");
    add_oi("a", "square", "hull", {-3, 0, 0});
    add_oi("b", "square", "odd", {3, 0, 0});
    ASSERT_TRUE(scene_prepare(sc)) << log();

    unitexture *hull = scene_get_unitexture(sc, "hull.tga");
    unitexture *odd = scene_get_unitexture(sc, "odd.tga");
    ASSERT_TRUE(hull && odd);
    EXPECT_EQ(unitexture_get_ogl_texture(hull)->xsize, 256u);
    const OGL_texture *ot = unitexture_get_ogl_texture(odd);
    EXPECT_EQ(ot->xsize, 128u);
    EXPECT_EQ(ot->ysize, 64u);
    EXPECT_NE(log().find("\"" + dir + "/odd.tga\" resampled from 100 x 60 to 128 x 64"), std::string::npos) << log();
    EXPECT_EQ(unitexture_get_data(hull, nullptr, nullptr, nullptr), nullptr); // GL holds the image
    frame();
    EXPECT_TRUE(gltest_colour_near(at(-3, 0), RED, 4));
    EXPECT_TRUE(gltest_colour_near(at(3, 0), GREEN, 4));

    // A new frame of the image (as video textures give) lands in the resampled texture.
    std::vector<uint8_t> frame_px;
    for (int i = 0; i < 100 * 60; i++) frame_px.insert(frame_px.end(), {0, 0, 255});
    odd->pixels = copy_of(frame_px);
    odd->width = 100;
    odd->height = 60;
    odd->bpp = 24;
    scene_renderer_get_hooks()->texture_update(odd);
    unitexture_release_pixels(odd);
    frame();
    EXPECT_TRUE(gltest_colour_near(at(3, 0), BLUE, 4));

    // Lowest quality: level 1, the image halved twice; the passes use the new textures.
    scene_textures_reload(sc, 2);
    EXPECT_EQ(unitexture_get_lod(hull), 1);
    EXPECT_EQ(unitexture_get_ogl_texture(hull)->xsize, 64u);
    frame();
    EXPECT_TRUE(gltest_colour_near(at(-3, 0), RED, 4));

    // A file gone since the load: a clear message and the white placeholder.
    std::remove((dir + "/hull.tga").c_str());
    scene_textures_reload(sc, 0);
    EXPECT_NE(log().find("scene_textures_reload: texture : " + dir + "/hull.tga reload failed"), std::string::npos)
        << log();
    EXPECT_EQ(unitexture_get_ogl_texture(hull)->xsize, 2u);
    frame();
    EXPECT_TRUE(gltest_colour_near(at(-3, 0), WHITE, 4));
    EXPECT_TRUE(gltest_colour_near(at(3, 0), GREEN, 4)); // reloaded from its file
}

TEST_F(SceneHandover, ImagesTheRendererRefusesGetThePlaceholderAndMissingFilesFailNamingThem)
{
    // A 16-bit picture wider than any board takes.
    unitexture_set_image_loader([](const char *, int *w, int *h, int *bpp, uint8_t **px) {
        *w = 40000;
        *h = 2;
        *bpp = 16;
        *px = static_cast<uint8_t *>(mem_calloc(size_t(40000) * 2 * 2, 1));
        return true;
    });
    scene_add_object(sc, quad_object("square", 1.0f));
    add_material("wide", "wide.tga");
    add_oi("a", "square", "wide", {0, 0, 0});
    ASSERT_TRUE(scene_prepare(sc)) << log();
    unitexture_set_image_loader(nullptr);
    EXPECT_NE(log().find("OGL_scene: texture \"" + dir +
                         "/wide.tga\" cannot be used by the renderer, a white placeholder stands in"),
              std::string::npos)
        << log();
    EXPECT_EQ(unitexture_get_ogl_texture(scene_get_unitexture(sc, "wide.tga"))->xsize, 2u);
    frame();
    EXPECT_TRUE(gltest_colour_near(at(0, 0), WHITE, 4));
    scene_deinit(sc);

    // A material naming a file that is not there: preparation fails naming it,
    // and the half-made scene releases what it made.
    write_tga("here.tga", 8, 8, 255, 0, 0);
    sc = scene_init();
    scene_copy_resources_folder_path(sc, (dir + "/").c_str());
    scene_add_object(sc, quad_object("square", 1.0f));
    add_material("here", "here.tga");
    add_material("lost", "lost.tga");
    add_oi("a", "square", "lost", {0, 0, 0});
    EXPECT_FALSE(scene_prepare(sc));
    EXPECT_NE(log().find("failed to load texture " + dir + "/lost.tga"), std::string::npos) << log();
}

TEST_F(SceneHandover, DetachReleasesEverythingAndAttachBringsItBack)
{
    write_tga("red.tga", 8, 8, 255, 0, 0);
    scene_add_object(sc, quad_object("square", 1.0f));
    scene_add_object(sc, quad_object("big", 2.0f));
    add_material("red", "red.tga", true);
    object_instance *a = add_oi("a", "square", "red", {-3, 0, 0});
    add_oi("b", "big", "red", {3, 0, 0});
    add_oi("c", "square", "red", {0, 4, 0}, "not_renderable = true\r\n");
    add_omni("lamp", {0, 0, 3}, {1, 1, 1}, 0.0f);
    ASSERT_TRUE(scene_prepare(sc)) << log();
    EXPECT_EQ(OGL_scene_meshes_no(), 2u);
    EXPECT_EQ(OGL_mesh_count(), meshes_before + 2);
    EXPECT_GT(queue_groups(), groups_before);
    EXPECT_EQ(OGL_mesh_instance_get_lights_no(mi_of(a)), 1u); // range 0: unlimited
    EXPECT_EQ(mi_of(scene_get_oi_by_name(sc, "c")), nullptr);

    scene_detach_from_renderer(sc);
    EXPECT_FALSE(scene_is_attached(sc));
    EXPECT_EQ(OGL_scene_meshes_no(), 0u);
    EXPECT_EQ(OGL_mesh_count(), meshes_before);
    EXPECT_EQ(queue_groups(), groups_before);
    EXPECT_EQ(a->flags & (OI_IN_RENDERER | OI_OGL_MESH | OI_OGL_MESH_INSTANCE), 0u);
    frame();
    EXPECT_TRUE(gltest_colour_near(at(-3, 0), BLACK, 2));

    scene_attach_to_renderer(sc);
    EXPECT_EQ(OGL_scene_meshes_no(), 2u);
    frame();
    EXPECT_GT(at(-3, 0).r, 150);
    EXPECT_GT(at(3, 0).r, 150);
    EXPECT_TRUE(gltest_colour_near(at(0, 4), BLACK, 2)); // not renderable
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(SceneHandover, SkinnedInstancesDrawTheirOwnMeshWhereTheirBonesAre)
{
    write_tga("red.tga", 8, 8, 255, 0, 0);
    object *o = quad_object("flag", 1.0f);
    object_bone_name *bones = static_cast<object_bone_name *>(mem_calloc(1, sizeof(object_bone_name)));
    std::strcpy(bones[0].name, "bone");
    object_insert_bones(o, bones, 1);
    object_insert_weights(o, copy_of<object_weight>({{0, 0, 1}, {1, 0, 1}, {2, 0, 1}, {3, 0, 1}}), 4);
    scene_add_object(sc, o);
    add_material("red", "red.tga");
    object_instance *bone = add_oi("bone", nullptr, nullptr, {0, 0, 0});
    object_instance *skin = add_oi("skin", "flag", "red", {0, 0, 0});
    ASSERT_TRUE(scene_prepare(sc)) << log();
    ASSERT_NE(mi_of(skin), nullptr);
    EXPECT_EQ(mi_of(skin)->world_matrix, nullptr); // skinned positions are in world space
    EXPECT_TRUE(mi_of(skin)->mesh->flags & OGL_MESH_DYNAMIC_VBO || !OGL_mesh_has_vbo(mi_of(skin)->mesh));
    frame();
    EXPECT_TRUE(gltest_colour_near(at(0, 0), RED, 4));

    OI_set_position(bone, {4, 2, 0});
    frame(0.04f);
    EXPECT_TRUE(gltest_colour_near(at(4, 2), RED, 4));
    EXPECT_TRUE(gltest_colour_near(at(0, 0), BLACK, 2));
}

TEST_F(SceneHandover, BlendedInstancesDrawOverTheOpaqueOnes)
{
    write_tga("blue.tga", 8, 8, 0, 0, 255);
    std::vector<uint8_t> px;
    for (int i = 0; i < 64; i++) px.insert(px.end(), {255, 0, 0, 128});
    ASSERT_TRUE(gfxloader_save((dir + "/glass.tga").c_str(), 8, 8, 32, px.data()));
    scene_add_object(sc, quad_object("square", 1.0f));
    scene_add_object(sc, quad_object("wall", 3.0f));
    add_material("blue", "blue.tga");
    add_material("glass", "glass.tga");
    // The glass comes first in load order and still lands over the wall behind it.
    add_oi("glass", "square", "glass", {0, 0, 1}, "transparent = true\r\n");
    add_oi("wall", "wall", "blue", {0, 0, 0});
    ASSERT_TRUE(scene_prepare(sc)) << log();
    frame();
    EXPECT_TRUE(gltest_colour_near(at(0, 0), gltest_rgba{128, 0, 127, 255}, 8));
    EXPECT_TRUE(gltest_colour_near(at(2.5f, 2.5f), BLUE, 4));
}

TEST_F(SceneHandover, ScenesWrittenWithTheWriterLoadPrepareAndDraw)
{
    write_tga("green.tga", 8, 8, 0, 255, 0);
    scene_add_object(sc, quad_object("square", 1.0f));
    add_material("green", "green.tga");
    add_material("lit", "green.tga", true);
    add_oi("a", "square", "green", {-3, 0, 0});
    add_oi("b", "square", "lit", {3, 0, 0});
    add_omni("lamp", {3, 0, 3}, {1, 1, 1}, 0.0f);
    ASSERT_TRUE(quox2_save_scene((dir + "/small.quox2").c_str(), sc));
    scene_deinit(sc);

    sc = scene_init();
    ASSERT_TRUE(quox2_load_file((dir + "/small.quox2").c_str(), sc)) << log();
    scene_copy_resources_folder_path(sc, (dir + "/").c_str());
    ASSERT_TRUE(scene_prepare(sc)) << log();
    EXPECT_EQ(OGL_mesh_instance_get_lights_no(mi_of(scene_get_oi_by_name(sc, "b"))), 1u);
    frame();
    EXPECT_TRUE(gltest_colour_near(at(-3, 0), GREEN, 4)); // unlit: the texture as it is
    gltest_rgba lit = at(3, 0);
    EXPECT_GT(lit.g, 150) << lit; // lit by the lamp above it
    EXPECT_LT(lit.r, 40) << lit;
}

TEST_F(SceneHandover, CompositeMaterialsLayerTheirSubMaterialsAndEmissiveOnesShowFullBrightness)
{
    write_tga("metal.tga", 8, 8, 0, 0, 255);
    write_tga("crust.tga", 8, 8, 255, 0, 0);
    write_tga("glow.tga", 8, 8, 0, 255, 0);
    // The crust's mask: opaque on the left half, clear on the right.
    std::vector<uint8_t> mask;
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) mask.push_back(x < 4 ? 255 : 0);
    ASSERT_TRUE(gfxloader_save((dir + "/crust_mask.tga").c_str(), 8, 8, 8, mask.data()));
    scene_add_object(sc, quad_object("square", 1.0f));
    add_material("metal", "metal.tga", true);
    material *crust = add_material("crust", "crust.tga", true);
    material_copy_texture_file_name(crust, MAT_SLOT_OPACITY, "crust_mask.tga");
    material_set_slot_params(crust, MAT_SLOT_OPACITY, 0, 0, 0);
    material *ore = add_material("ore", nullptr, true);
    ore->material_kind = MATERIAL_KIND_COMPOSITE;
    material_copy_submat_name(ore, "metal", 0);
    material_copy_submat_name(ore, "crust", 1);
    material *glow = add_material("glow", "glow.tga", true);
    glow->colors[3] = {1, 1, 1, 1}; // white emission: unlit
    add_oi("silo", "square", "ore", {-3, 0, 0});
    add_oi("sign", "square", "glow", {3, 0, 0});
    ASSERT_TRUE(scene_prepare(sc)) << log();
    EXPECT_TRUE(rq_has_state_named(mi_of(scene_get_oi_by_name(sc, "silo")), "mt middle"));
    frame();
    EXPECT_TRUE(gltest_colour_near(at(-3.6f, 0), RED, 6));
    EXPECT_TRUE(gltest_colour_near(at(-2.4f, 0), BLUE, 6));
    EXPECT_TRUE(gltest_colour_near(at(3, 0), GREEN, 4)); // no light in the scene, yet full green
}

TEST_F(SceneHandover, BumpMappedInstancesAreLitByTheirLampsOnEveryBoard)
{
    bumped_scene_draws(true);
    gltest_child_result r =
        gltest_run_child("SceneHandover.DISABLED_BumpedOnABoardWithoutPrograms",
                         {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_fragment_program -GL_ARB_vertex_program"}});
    EXPECT_TRUE(gltest_child_passed(r));
    r = gltest_run_child("SceneHandover.DISABLED_BumpedOnABoardWithoutBufferObjects",
                         {{GLTEST_MISSING_EXTENSIONS_VAR, "GL_ARB_vertex_buffer_object"}});
    EXPECT_TRUE(gltest_child_passed(r));
}

TEST_F(SceneHandover, DISABLED_BumpedOnABoardWithoutPrograms)
{
    ASSERT_FALSE(GLEW_ARB_vertex_program);
    bumped_scene_draws(false);
}

TEST_F(SceneHandover, DISABLED_BumpedOnABoardWithoutBufferObjects)
{
    ASSERT_FALSE(GLEW_ARB_vertex_buffer_object);
    bumped_scene_draws(true);
}
