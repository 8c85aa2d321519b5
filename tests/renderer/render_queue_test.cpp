// Render queues: grouping by state, activation, drawing order of the queues,
// the alpha test of blended passes, depth, culling, fog, lights and the
// program parameter sources.
#include <GL/glew.h>

#include <cstring>

#include "renderer/OGL_frame_stats.h"
#include "renderer/OGL_group_costs.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_window.h"
#include "rq_helpers.h"

using RenderQueueTest = GLTest;

namespace {

OGL_render_profile *solid() { return OGL_render_profiles_get(OGL_RENDER_PROFILE_SOLID); }
OGL_render_profile *single() { return OGL_render_profiles_get(OGL_RENDER_PROFILE_SINGLE_TEXTURE); }

void prepare_solid(rq_quad *q, tacka4 colour, bool lit = false, bool two_sided = false)
{
    OGL_solid_data d{};
    d.diffuse = colour;
    d.lit = lit;
    d.two_sided = two_sided;
    ASSERT_TRUE(OGL_render_profile_prepare(solid(), q->mi, "quad", &d));
}

// A blended, unlit single-texture material of one RGBA colour in a layer.
void prepare_blended(rq_quad *q, OGL_texture *t, int layer, bool no_alpha_test_wanted = false)
{
    OGL_single_texture_data d = rq_st_material(t, false);
    d.blended = true;
    d.layer = layer;
    if (no_alpha_test_wanted) {
        d.custom_blend = true;
        d.blend_src = GL_SRC_ALPHA;
        d.blend_dst = GL_ONE_MINUS_SRC_ALPHA;
    }
    ASSERT_TRUE(OGL_render_profile_prepare(single(), q->mi, "blended", &d));
}

gltest_rgba at(float x, float y) { return gltest_pixel(rq_px(x), rq_py(y)); }

} // namespace

TEST_F(RenderQueueTest, InstancesOfOneMaterialShareAGroupAndOneStateApplication)
{
    view *cam = rq_camera();
    rq_quad *a = rq_quad_make(-3, 0, 0, 1), *b = rq_quad_make(3, 0, 0, 1);
    OGL_render_queue *opaque = OGL_render_queue_get(OGL_RQ_OPAQUE);
    uint32_t groups_before = OGL_render_queue_groups_no(opaque);
    prepare_solid(a, {1, 0, 0, 1});
    prepare_solid(b, {1, 0, 0, 1});
    EXPECT_EQ(OGL_render_queue_groups_no(opaque), groups_before + 1);
    OGL_mesh_instance_activate(a->mi, true);
    OGL_mesh_instance_activate(b->mi, true);
    OGL_frame_stats_clear_frame_counters();
    rq_draw(cam);
    const OGL_frame_statistics *st = OGL_frame_stats_get();
    EXPECT_EQ(st->frame_state_applications, 1u);
    EXPECT_EQ(st->frame_batches, 2u);
    EXPECT_EQ(st->frame_triangles, 4u);
    EXPECT_TRUE(gltest_colour_near(at(-3, 0), {255, 0, 0, 255}));
    EXPECT_TRUE(gltest_colour_near(at(3, 0), {255, 0, 0, 255}));
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {0, 0, 0, 255}));

    // Removing one instance keeps the group; removing both frees it.
    rq_release(a);
    EXPECT_EQ(OGL_render_queue_groups_no(opaque), groups_before + 1);
    rq_release(b);
    EXPECT_EQ(OGL_render_queue_groups_no(opaque), groups_before);
    view_free(cam);
}

TEST_F(RenderQueueTest, InactiveSetsAreNotDrawnUntilActivated)
{
    view *cam = rq_camera();
    rq_quad *q = rq_quad_make(0, 0, 0, 1);
    prepare_solid(q, {0, 1, 0, 1});
    OGL_frame_stats_clear_frame_counters();
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {0, 0, 0, 255}));
    EXPECT_EQ(OGL_frame_stats_get()->frame_state_applications, 0u);
    OGL_mesh_instance_activate(q->mi, true);
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {0, 255, 0, 255}));
    OGL_mesh_instance_activate(q->mi, false);
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {0, 0, 0, 255}));
    rq_release(q);
    view_free(cam);
}

TEST_F(RenderQueueTest, LayersDrawFromSevenToZeroAfterTheOpaqueQueue)
{
    view *cam = rq_camera();
    OGL_texture *green = rq_texture(0, 255, 0, 128, 32), *blue = rq_texture(0, 0, 255, 128, 32);
    // Prepared in the "wrong" order: layer 0 first, then layer 7, then the opaque quad.
    rq_quad *l0 = rq_quad_make(0, 0, 2, 1), *l7 = rq_quad_make(0, 0, 1, 1), *op = rq_quad_make(0, 0, 0, 1);
    prepare_blended(l0, blue, 0);
    prepare_blended(l7, green, 7);
    prepare_solid(op, {1, 0, 0, 1});
    for (rq_quad *q : {l0, l7, op}) OGL_mesh_instance_activate(q->mi, true);
    rq_draw(cam);
    // red, then green at one half, then blue at one half
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {64, 64, 128, 255}, 4));
    for (rq_quad *q : {l0, l7, op}) rq_release(q);
    OGL_texture_free(green);
    OGL_texture_free(blue);
    view_free(cam);
}

TEST_F(RenderQueueTest, BlendedPassesSkipTransparentTexelsThroughTheAlphaTest)
{
    view *cam = rq_camera();
    OGL_texture *clear = rq_texture(255, 255, 255, 0, 32);
    rq_quad *front = rq_quad_make(0, 0, 1, 1), *back = rq_quad_make(0, 0, 0, 1);
    prepare_blended(front, clear, 0);
    prepare_solid(back, {0, 0, 1, 1});
    OGL_mesh_instance_activate(front->mi, true);
    OGL_mesh_instance_activate(back->mi, true);
    // Draw the layer before the opaque queue: with the alpha test the
    // transparent front quad writes no depth and the back quad still shows.
    OGL_clear();
    OGL_set_viewport_and_projection(800, 600, 90.0f);
    glLoadMatrixf(cam->view_matrix);
    OGL_render_queue_draw(OGL_render_queue_get_layer(0), cam);
    OGL_render_queue_draw(OGL_render_queue_get(OGL_RQ_OPAQUE), cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {0, 0, 255, 255}));

    // The same state without the alpha test lets the invisible quad hide the back one.
    OGL_render_pass_data_set *s = dlist_entry<OGL_render_pass_data_set>(front->mi->pass_data_sets.next);
    OGL_render_pass_state ps = *s->passes[0]->ps;
    ASSERT_TRUE(ps.blending);
    ASSERT_FALSE(ps.no_alpha_test);
    ps.no_alpha_test = true;
    OGL_render_queue_remove_render_pass_data_set(s);
    s->passes[0]->ps = OGL_render_pass_state_share(&ps);
    OGL_render_queue_add_render_pass_data_set(OGL_render_queue_get_layer(0), s);
    OGL_clear();
    glLoadMatrixf(cam->view_matrix);
    OGL_render_queue_draw(OGL_render_queue_get_layer(0), cam);
    OGL_render_queue_draw(OGL_render_queue_get(OGL_RQ_OPAQUE), cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {0, 0, 0, 255}));
    rq_release(front);
    rq_release(back);
    OGL_texture_free(clear);
    view_free(cam);
}

TEST_F(RenderQueueTest, DepthOrderAndBackFaceCulling)
{
    view *cam = rq_camera();
    rq_quad *near_q = rq_quad_make(0.5f, 0, 1, 1), *far_q = rq_quad_make(-0.5f, 0, 0, 1);
    rq_quad *away = rq_quad_make(4, 0, 0, 1, true), *away2 = rq_quad_make(-4, 0, 0, 1, true);
    prepare_solid(near_q, {0, 1, 0, 1});
    prepare_solid(far_q, {1, 0, 0, 1});
    prepare_solid(away, {1, 1, 1, 1});
    prepare_solid(away2, {1, 1, 0, 1}, false, true);
    for (rq_quad *q : {near_q, far_q, away, away2}) OGL_mesh_instance_activate(q->mi, true);
    rq_draw(cam);
    // The nearer quad wins where they overlap whatever the drawing order.
    EXPECT_TRUE(gltest_colour_near(at(0.1f, 0), {0, 255, 0, 255}));
    EXPECT_TRUE(gltest_colour_near(at(-1.3f, 0), {255, 0, 0, 255}));
    // A quad facing away is culled unless its material is two-sided.
    EXPECT_TRUE(gltest_colour_near(at(4, 0), {0, 0, 0, 255}));
    EXPECT_TRUE(gltest_colour_near(at(-4, 0), {255, 255, 0, 255}));
    for (rq_quad *q : {near_q, far_q, away, away2}) rq_release(q);
    view_free(cam);
}

TEST_F(RenderQueueTest, FogAndLocalLights)
{
    view *cam = rq_camera();
    rq_quad *q = rq_quad_make(0, 0, 0, 2);
    prepare_solid(q, {1, 1, 1, 1}, true);
    OGL_mesh_instance_activate(q->mi, true);
    // Lit without lights: black (the ambient comes from elsewhere).
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {0, 0, 0, 255}, 3));
    // A red point light straight in front, lit per vertex: every corner of
    // the quad sees it at N.L = 5 / sqrt(33) = 0.87.
    rq_light_add(q, {0, 0, 5}, {1, 0, 0});
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {222, 0, 0, 255}, 3));
    // Seven lights: only six GL lights are used besides the global one.
    for (int i = 0; i < 6; i++) rq_light_add(q, {0, 0, 5}, {0, 0.1f, 0});
    rq_draw(cam);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT6));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT7));
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {222, 111, 0, 255}, 4)); // 5 of the green ones
    rq_release(q);

    // A spot light lights only what its cone holds.
    q = rq_quad_make(0, 0, 0, 2);
    prepare_solid(q, {1, 1, 1, 1}, true);
    OGL_mesh_instance_activate(q->mi, true);
    OGL_mesh_light *spot = rq_light_add(q, {0, 0, 5}, {0, 0, 1});
    spot->type = 2;
    spot->cutoff = 30;
    spot->spot_dir = {0, 0, 1}; // away from the quad
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {0, 0, 0, 255}, 3));
    spot->spot_dir = {0, 0, -1};
    rq_draw(cam);
    EXPECT_GT(at(0, 0).b, 20);
    rq_release(q);

    // Linear fog from 5 to 15: the quad at distance 10 is half fogged.
    rq_quad *f = rq_quad_make(0, 0, 0, 2);
    prepare_solid(f, {1, 0, 0, 1});
    OGL_mesh_instance_activate(f->mi, true);
    const float blue[4] = {0, 0, 1, 1};
    OGL_fog_set(blue, OGL_FOG_LINEAR, 5, 15, 0);
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {128, 0, 128, 255}, 3));
    OGL_fog_reset();
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {255, 0, 0, 255}, 2));
    rq_release(f);
    view_free(cam);
}

TEST_F(RenderQueueTest, InstanceColouredQueueTakesTheInstanceColour)
{
    view *cam = rq_camera();
    OGL_texture *white = rq_texture(255, 255, 255);
    rq_quad *q = rq_quad_make(0, 0, 0, 1);
    OGL_single_texture_data d = rq_st_material(white, false);
    ASSERT_TRUE(OGL_render_profile_prepare(single(), q->mi, "coloured", &d));
    OGL_mesh_instance_activate(q->mi, true, OGL_RPDS_KIND_DIFFUSE_ONLY);
    OGL_mesh_instance_set_color(q->mi, {0.5f, 1, 0});
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {128, 255, 0, 255}, 2));
    OGL_mesh_instance_set_color(q->mi, {0, 0, 1});
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {0, 0, 255, 255}, 2));
    rq_release(q);
    OGL_texture_free(white);
    view_free(cam);
}

TEST_F(RenderQueueTest, DumpNamesEveryGroup)
{
    rq_quad *q = rq_quad_make(0, 0, 0, 1);
    prepare_solid(q, {1, 1, 1, 1});
    testing::internal::CaptureStderr();
    OGL_render_queue_dump(OGL_render_queue_get(OGL_RQ_OPAQUE));
    std::string out = testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("queue_pass_check(): opaque: state \"solid\", 0 active, 1 inactive"), std::string::npos) << out;
    rq_release(q);
}

TEST_F(RenderQueueTest, UnknownParameterSourceStops)
{
    view *cam = rq_camera();
    rq_quad *q = rq_quad_make(0, 0, 0, 1);
    OGL_render_pass_data_set *s = OGL_render_pass_data_set_create(q->mi, OGL_RPDS_KIND_MAIN);
    OGL_render_pass_state ps;
    OGL_render_pass_state_clear(&ps);
    ps.vertex_array_enabled = true;
    ps.use_vp = true;
    ps.vertex_program_id = 1; // never reached: the parameter is checked first
    ps.vp_params_no = 1;
    ps.vp_param_src[0] = 17;
    OGL_render_pass_data *pd = OGL_render_pass_data_set_add_pass(s, OGL_render_pass_state_share(&ps));
    OGL_render_pass_data_fill_arrays(pd);
    OGL_render_queue_add_render_pass_data_set(OGL_render_queue_get(OGL_RQ_LAST), s);
    OGL_render_pass_data_set_activate(s, true);
    EXPECT_DEATH(rq_draw(cam), "shader_init: unknown or unsupported parameter");
    EXPECT_DEATH(OGL_render_queue_add_render_pass_data_set(OGL_render_queue_get(OGL_RQ_LAST),
                                                           OGL_render_pass_data_set_create(q->mi, 1)),
                 "rpds->passesno > 0");
    rq_release(q);
    view_free(cam);
}

TEST_F(RenderQueueTest, AliasedArraysAreRefused)
{
    view *cam = rq_camera();
    rq_quad *q = rq_quad_make(0, 0, 0, 1);
    OGL_render_pass_data_set *s = OGL_render_pass_data_set_create(q->mi, OGL_RPDS_KIND_MAIN);
    OGL_render_pass_state ps;
    OGL_render_pass_state_clear(&ps);
    ps.vnormals_array_enabled = true;
    ps.vp_vertex_attrib_array_enabled[2] = true;
    OGL_render_pass_data_set_add_pass(s, OGL_render_pass_state_share(&ps));
    OGL_render_queue_add_render_pass_data_set(OGL_render_queue_get(OGL_RQ_LAST), s);
    OGL_render_pass_data_set_activate(s, true);
    EXPECT_DEATH(rq_draw(cam), "vnormals_array_enabled");
    rq_release(q);
    view_free(cam);
}

// The fill measure counts each group's batches and the samples that passed the
// depth test (a quad of half-size 1 covers 60 x 60 pixels; a hidden one none),
// only while it is switched on.
TEST_F(RenderQueueTest, FillByGroupCountsBatchesAndVisibleSamples)
{
    view *cam = rq_camera();
    OGL_texture *glass = rq_texture(0, 0, 255, 128, 32);
    rq_quad *a = rq_quad_make(-3, 0, 0, 1), *b = rq_quad_make(3, 0, 0, 1);
    rq_quad *hidden = rq_quad_make(3, 0, -2, 0.5f), *pane = rq_quad_make(0, 3, 0, 1);
    prepare_solid(a, {1, 0, 0, 1});
    prepare_solid(b, {1, 0, 0, 1});
    prepare_solid(hidden, {0, 1, 0, 1});
    prepare_blended(pane, glass, 2);
    // A group draws its latest activated pass first: the far quad, activated
    // first, comes last, behind b, so that none of it passes.
    for (rq_quad *q : {hidden, a, b, pane}) OGL_mesh_instance_activate(q->mi, true);
    rq_draw(cam);
    ASSERT_TRUE(OGL_group_costs_enable(true));
    OGL_group_costs_reset();
    rq_draw(cam);
    rq_draw(cam);
    ASSERT_TRUE(OGL_group_costs_enable(false));
    rq_draw(cam); // not counted
    uint64_t opaque_batches = 0, opaque_samples = 0, layer_batches = 0, layer_samples = 0;
    for (uint32_t i = 0; i < OGL_group_costs_no(); i++) {
        const OGL_group_cost *c = OGL_group_costs_get(i);
        ASSERT_NE(c, nullptr);
        if (c->queue == OGL_RQ_OPAQUE) {
            opaque_batches += c->batches;
            opaque_samples += c->samples;
        } else if (c->queue == OGL_RQ_LAYER0 - 2) {
            layer_batches += c->batches;
            layer_samples += c->samples;
        } else {
            ADD_FAILURE() << "a group in queue " << c->queue;
        }
    }
    EXPECT_EQ(opaque_batches, 6u);
    EXPECT_EQ(layer_batches, 2u);
    // Two visible quads in two frames; the hidden one adds nothing. The
    // rasteriser's edge rule may take or leave a row or column.
    EXPECT_NEAR(double(opaque_samples), 4 * 3600.0, 4 * 130.0);
    EXPECT_NEAR(double(layer_samples), 2 * 3600.0, 2 * 130.0);
    EXPECT_EQ(OGL_group_costs_get(OGL_group_costs_no()), nullptr);
    OGL_group_costs_deinit();
    EXPECT_EQ(OGL_group_costs_no(), 0u);
    for (rq_quad *q : {a, b, hidden, pane}) rq_release(q);
    OGL_texture_free(glass);
    view_free(cam);
}
