// The render profiles: slot analysis, level-of-detail selection, every bump
// mode drawn and compared with its formula, the texture-unit optimiser, the
// multitexture layers, the program loader, and the fallbacks of boards
// without fragment programs, without any programs and without buffer objects.
#include <GL/glew.h>

#include <cstdlib>
#include <cstring>

#include "renderer/OGL_features.h"
#include "renderer/OGL_programs.h"
#include "renderer/OGL_settings.h"
#include "renderer/load_program.h"
#include "rq_helpers.h"
#include "test_support.h"

using RenderProfileTest = GLTest;

namespace {

OGL_render_profile *single() { return OGL_render_profiles_get(OGL_RENDER_PROFILE_SINGLE_TEXTURE); }
gltest_rgba at(float x, float y) { return gltest_pixel(rq_px(x), rq_py(y)); }

// A lit quad with a diffuse map (200, 100, 50, alpha 128) and a flat normal
// map, one white light 5 units in front, the camera 10 units away.
struct bump_scene {
    rq_quad *q;
    OGL_texture *diffuse, *normal;
    OGL_single_texture_data d;

    bump_scene(uint32_t normal_bpp, float specular, float lod)
    {
        q = rq_quad_make(0, 0, 0, 1);
        diffuse = rq_texture(200, 100, 50, 128, 32);
        normal = rq_texture(128, 128, 255, 255, normal_bpp);
        rq_light_add(q, {0, 0, 5}, {1, 1, 1});
        d = rq_st_material(diffuse, true);
        d.bump_texture = normal;
        d.bump = true;
        d.mat_specular = {specular, specular, specular, 1};
        d.shininess = 0.01f; // exponent 1
        d.lod = lod;
    }
    bool prepare()
    {
        if (!OGL_render_profile_prepare(single(), q->mi, "bump quad", &d)) return false;
        OGL_mesh_instance_activate(q->mi, true, OGL_RPDS_KIND_MAIN);
        return true;
    }
    ~bump_scene()
    {
        rq_release(q);
        OGL_texture_free(diffuse);
        OGL_texture_free(normal);
    }
};

// The centre pixel of a bump scene.
gltest_rgba draw_bump(uint32_t bpp, float specular, float lod, int *mode)
{
    view *cam = rq_camera();
    bump_scene s(bpp, specular, lod);
    EXPECT_TRUE(s.prepare());
    *mode = s.d.bump_mode;
    rq_draw(cam);
    gltest_rgba c = at(0, 0);
    view_free(cam);
    return c;
}

// Colours at the quad centre by the formulas: d = N.L = 0.992 (the normal
// map's encoding; the light vector is normalised per pixel), the interpolated
// half-angle H.N = 0.978, exponent 1.
const gltest_rgba SPECULAR = {255, 199, 149, 255}; // D d + 0.4 H.N
const gltest_rgba GLOSS = {248, 149, 100, 255};    // D d + 0.4 H.N x diffuse alpha 0.5
const gltest_rgba DIFFUSE = {198, 99, 49, 255};    // D d

} // namespace

TEST_F(RenderProfileTest, EveryProgramBumpModeMatchesItsFormula)
{
    struct {
        uint32_t bpp;
        float spec, lod;
        int mode;
        gltest_rgba want;
    } cases[] = {
        {24, 0.4f, 0, OGL_BUMP_SPECULAR, SPECULAR},
        {32, 0.4f, 0, OGL_BUMP_GLOSS, GLOSS},
        {24, 0.2f, 0, OGL_BUMP_NO_SPECULAR, DIFFUSE},
        {32, 0.4f, 1, OGL_BUMP_PPL_SPECULAR, GLOSS},
        {24, 0.4f, 1, OGL_BUMP_PPL, SPECULAR},
        {24, 0.2f, 1, OGL_BUMP_NO_SPECULAR, DIFFUSE},
        {24, 0.2f, 2, OGL_BUMP_PPL, {248, 149, 100, 255}}, // D d + 0.2 H.N
    };
    for (auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "bpp " << c.bpp << " specular " << c.spec << " lod " << c.lod);
        int mode = -1;
        gltest_rgba got = draw_bump(c.bpp, c.spec, c.lod, &mode);
        EXPECT_EQ(mode, c.mode);
        EXPECT_TRUE(gltest_colour_near(got, c.want, 6));
    }
}

TEST_F(RenderProfileTest, LevelOfDetailTableAndMapSwitches)
{
    const int want32[6] = {4, 6, 6, 6, 0, 0}, want24[6] = {2, 7, 7, 0, 0, 0}, want9[6] = {9, 9, 7, 0, 0, 0};
    OGL_texture *n24 = rq_texture(128, 128, 255, 255, 24), *n32 = rq_texture(128, 128, 255, 255, 32);
    OGL_texture *detail = rq_texture(128, 128, 128), *refl = rq_texture(1, 2, 3), *self = rq_texture(4, 5, 6);
    for (int level = 0; level < 6; level++) {
        SCOPED_TRACE(level);
        OGL_single_texture_data d = rq_st_material(n24, true);
        d.bump_texture = n32;
        d.mat_specular = {0.5f, 0.5f, 0.5f, 1};
        d.detail_texture = detail;
        d.reflection_texture = refl;
        d.selfillumination_texture = self;
        d.lod = float(level) + 0.7f; // truncated
        __profile_select_lod(&d, true);
        EXPECT_EQ(d.bump_mode, want32[level]);
        EXPECT_EQ(d.lod, float(level));
        EXPECT_EQ(d.detail_mode, level >= 1 ? 2 : 1);
        EXPECT_EQ(d.reflection_mode, level >= 2 ? 2 : 1);
        EXPECT_EQ(d.selfillumination_mode, level >= 2 ? 0 : 1);
        d.bump_texture = n24;
        d.lod = float(level);
        __profile_select_lod(&d, true);
        EXPECT_EQ(d.bump_mode, want24[level]);
        d.mat_specular = {0.3f, 0.3f, 0.3f, 1};
        d.lod = float(level);
        __profile_select_lod(&d, true);
        EXPECT_EQ(d.bump_mode, want9[level]);
        // The slot analysis said no: no bump mode at all.
        d.lod = 0;
        __profile_select_lod(&d, false);
        EXPECT_EQ(d.bump_mode, 0);
    }
    // Out-of-range levels are clamped, to the configured range when there is one.
    OGL_single_texture_data d = rq_st_material(n24, true);
    d.lod = 9;
    __profile_select_lod(&d, false);
    EXPECT_EQ(d.lod, 5.0f);
    d.lod = -3;
    __profile_select_lod(&d, false);
    EXPECT_EQ(d.lod, 0.0f);
    OGL_render_settings_set_surface_lod_clamp(3, 4);
    d.lod = 0;
    __profile_select_lod(&d, false);
    EXPECT_EQ(d.lod, 3.0f);
    OGL_render_settings_reset();
    for (OGL_texture *t : {n24, n32, detail, refl, self}) OGL_texture_free(t);
}

TEST_F(RenderProfileTest, PlainLevelsDrawWithoutPrograms)
{
    for (float lod : {3.0f, 4.0f, 5.0f}) {
        SCOPED_TRACE(lod);
        view *cam = rq_camera();
        bump_scene s(24, 0.4f, lod);
        ASSERT_TRUE(s.prepare());
        EXPECT_EQ(s.d.bump_mode, 0);
        rq_set_info main = rq_sets(s.q->mi, OGL_RPDS_KIND_MAIN);
        EXPECT_FALSE(main.any_fp);
        EXPECT_FALSE(main.any_vp);
        EXPECT_EQ(main.passes, 1);
        rq_draw(cam);
        gltest_rgba c = at(0, 0);
        // Fixed-function: D x N.L (0.962 at the corners) plus the specular colour.
        EXPECT_GT(c.r, 180);
        EXPECT_GT(c.g, 90);
        view_free(cam);
    }
}

TEST_F(RenderProfileTest, PassCountsOfTheOptimiser)
{
    OGL_texture *tex = rq_texture(255, 255, 255), *n = rq_texture(128, 128, 255);
    OGL_texture *detail = rq_texture(128, 128, 128), *self = rq_texture(64, 64, 64), *refl = rq_texture(10, 20, 30);
    {
        // A lit material with only a diffuse map: one pass with one unit, and
        // the diffuse-only set.
        rq_quad *q = rq_quad_make(0, 0, 0, 1);
        OGL_single_texture_data d = rq_st_material(tex, true);
        ASSERT_TRUE(OGL_render_profile_prepare(single(), q->mi, "plain", &d));
        rq_set_info m = rq_sets(q->mi, OGL_RPDS_KIND_MAIN), o = rq_sets(q->mi, OGL_RPDS_KIND_DIFFUSE_ONLY);
        EXPECT_EQ(m.sets, 1);
        EXPECT_EQ(m.passes, 1);
        EXPECT_EQ(m.units_max, 1);
        EXPECT_EQ(o.sets, 1);
        EXPECT_EQ(o.passes, 1);
        // The instance is in its mesh's list once, and leaves it on release.
        ASSERT_EQ(q->mesh->instances->get_size(), 1u);
        OGL_render_profile_release(q->mi);
        EXPECT_EQ(q->mesh->instances->get_size(), 0u);
        EXPECT_EQ(q->mi->prof_data, nullptr);
        rq_release(q);
    }
    {
        // A bumped material on an instance with three lights: a pass per light.
        rq_quad *q = rq_quad_make(0, 0, 0, 1);
        for (int i = 0; i < 3; i++) rq_light_add(q, {float(i), 0, 5}, {1, 1, 1});
        OGL_single_texture_data d = rq_st_material(tex, true);
        d.bump_texture = n;
        d.bump = true;
        d.mat_specular = {1, 1, 1, 1};
        ASSERT_TRUE(OGL_render_profile_prepare(single(), q->mi, "bumped", &d));
        rq_set_info m = rq_sets(q->mi, OGL_RPDS_KIND_MAIN);
        EXPECT_EQ(m.passes, 3);
        EXPECT_TRUE(m.any_fp);
        OGL_render_pass_data_set *s = dlist_entry<OGL_render_pass_data_set>(q->mi->pass_data_sets.next);
        for (uint32_t i = 0; i < s->passesno; i++) {
            EXPECT_TRUE(s->passes[i]->ps->blending);
            EXPECT_EQ(s->passes[i]->ps->blend_src, GLenum(GL_ONE));
            EXPECT_EQ(s->passes[i]->light_index, i);
        }
        // With pixel programs disabled no bump pass is built.
        OGL_render_profile_release(q->mi);
        OGL_render_settings_set_pixel_programs_disabled(true);
        ASSERT_TRUE(OGL_render_profile_prepare(single(), q->mi, "bumped", &d));
        OGL_render_settings_set_pixel_programs_disabled(false);
        m = rq_sets(q->mi, OGL_RPDS_KIND_MAIN);
        EXPECT_FALSE(m.any_fp);
        EXPECT_EQ(m.passes, 1);
        rq_release(q);
    }
    {
        // Slots are walked diffuse, bump, reflection, detail, self-illumination,
        // GI: the reflection closes the diffuse pass and takes its own (mask and
        // map), detail and self-illumination share the next, GI has its own.
        rq_quad *q = rq_quad_make(0, 0, 0, 1);
        OGL_single_texture_data d = rq_st_material(tex, true);
        d.detail_texture = detail;
        d.detail = true;
        d.selfillumination_texture = self;
        d.selfillumination = true;
        d.reflection_texture = refl;
        d.reflection_mask_texture = self;
        d.reflection = true;
        d.gi_texture = refl;
        ASSERT_TRUE(OGL_render_profile_prepare(single(), q->mi, "many maps", &d));
        rq_set_info m = rq_sets(q->mi, OGL_RPDS_KIND_MAIN);
        EXPECT_EQ(m.passes, 4);
        EXPECT_EQ(m.units_max, 2);
        EXPECT_TRUE(m.any_vp); // GI
        EXPECT_TRUE(rq_has_state_named(q->mi, "detail pass"));
        rq_release(q);
    }
    {
        // Unlit and opaque: no lit set; detail and self-illumination get a set each.
        rq_quad *q = rq_quad_make(0, 0, 0, 1);
        OGL_single_texture_data d = rq_st_material(tex, false);
        d.detail_texture = detail;
        d.detail = true;
        d.selfillumination_texture = self;
        d.selfillumination = true;
        ASSERT_TRUE(OGL_render_profile_prepare(single(), q->mi, "unlit", &d));
        rq_set_info m = rq_sets(q->mi, OGL_RPDS_KIND_MAIN);
        EXPECT_EQ(m.sets, 2);
        EXPECT_EQ(m.passes, 2);
        rq_release(q);
    }
    for (OGL_texture *t : {tex, n, detail, self, refl}) OGL_texture_free(t);
}

TEST_F(RenderProfileTest, DetailAndSelfIlluminationPassesMultiplyTheFrame)
{
    view *cam = rq_camera();
    OGL_texture *white = rq_texture(255, 255, 255), *detail = rq_texture(64, 64, 64), *self = rq_texture(128, 64, 255);
    rq_quad *a = rq_quad_make(-2, 0, 0, 1), *b = rq_quad_make(2, 0, 0, 1);
    OGL_single_texture_data d = rq_st_material(white, false);
    d.detail_texture = detail;
    d.detail = true;
    ASSERT_TRUE(OGL_render_profile_prepare(single(), a->mi, "detail", &d));
    d = rq_st_material(white, false);
    d.selfillumination_texture = self;
    d.selfillumination = true;
    ASSERT_TRUE(OGL_render_profile_prepare(single(), b->mi, "self", &d));
    OGL_mesh_instance_activate(a->mi, true);
    OGL_mesh_instance_activate(b->mi, true);
    rq_draw(cam);
    // Detail: frame x 2 x 0.25; self-illumination: frame x texel.
    EXPECT_TRUE(gltest_colour_near(at(-2, 0), {128, 128, 128, 255}, 3));
    EXPECT_TRUE(gltest_colour_near(at(2, 0), {128, 64, 255, 255}, 3));
    // At level 1 the detail map is dropped.
    OGL_render_profile_release(a->mi);
    d = rq_st_material(white, false);
    d.detail_texture = detail;
    d.detail = true;
    d.lod = 1;
    ASSERT_TRUE(OGL_render_profile_prepare(single(), a->mi, "detail", &d));
    OGL_mesh_instance_activate(a->mi, true);
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(-2, 0), {255, 255, 255, 255}, 3));
    rq_release(a);
    rq_release(b);
    for (OGL_texture *t : {white, detail, self}) OGL_texture_free(t);
    view_free(cam);
}

TEST_F(RenderProfileTest, ReflectionPassAddsTheMaskedReflection)
{
    view *cam = rq_camera();
    OGL_texture *black = rq_texture(0, 0, 0), *refl = rq_texture(200, 100, 0), *mask = rq_texture(0, 0, 0, 128, 32);
    rq_quad *q = rq_quad_make(0, 0, 0, 1);
    OGL_single_texture_data d = rq_st_material(black, false);
    d.blended = true; // one unlit iteration with the reflection in the last one
    d.custom_blend = true;
    d.blend_src = GL_ONE;
    d.blend_dst = GL_ZERO;
    d.reflection_texture = refl;
    d.reflection_mask_texture = mask;
    d.reflection = true;
    ASSERT_TRUE(OGL_render_profile_prepare(single(), q->mi, "mirror", &d));
    OGL_mesh_instance_activate(q->mi, true);
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {100, 50, 0, 255}, 3));
    rq_release(q);
    for (OGL_texture *t : {black, refl, mask}) OGL_texture_free(t);
    view_free(cam);
}

TEST_F(RenderProfileTest, GlobalIlluminationPassAddsItsMap)
{
    view *cam = rq_camera();
    OGL_texture *black = rq_texture(0, 0, 0), *gi = rq_texture(0, 100, 40);
    rq_quad *q = rq_quad_make(0, 0, 0, 1);
    OGL_single_texture_data d = rq_st_material(black, true);
    d.gi_texture = gi;
    ASSERT_TRUE(OGL_render_profile_prepare(single(), q->mi, "gi", &d));
    EXPECT_TRUE(rq_sets(q->mi, OGL_RPDS_KIND_MAIN).any_vp);
    OGL_mesh_instance_activate(q->mi, true, OGL_RPDS_KIND_MAIN);
    rq_draw(cam);
    // The lit black diffuse pass adds nothing; the GI pass adds its texel.
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {0, 100, 40, 255}, 3));
    rq_release(q);
    OGL_texture_free(black);
    OGL_texture_free(gi);
    view_free(cam);
}

TEST_F(RenderProfileTest, BadUvChannelsLeaveTheMapOutAndOddTexturesStop)
{
    OGL_texture *tex = rq_texture(255, 255, 255), *detail = rq_texture(128, 128, 128);
    rq_quad *q = rq_quad_make(0, 0, 0, 1);
    OGL_single_texture_data d = rq_st_material(tex, true);
    d.detail_texture = detail;
    d.detail = true;
    d.detail_uv_channel = 3; // the mesh has one channel
    ASSERT_TRUE(OGL_render_profile_prepare(single(), q->mi, "bad uv", &d));
    EXPECT_EQ(rq_sets(q->mi, OGL_RPDS_KIND_MAIN).units_max, 1);
    OGL_render_profile_release(q->mi);
    OGL_texture_input_data id{};
    uint8_t px[6 * 4 * 3] = {};
    id.filename = "odd";
    id.xsize = 6;
    id.ysize = 4;
    id.bpp = 24;
    id.pixels = px;
    OGL_texture *odd = OGL_texture_create(&id);
    ASSERT_NE(odd, nullptr);
    d = rq_st_material(odd, true);
    EXPECT_DEATH(OGL_render_profile_prepare(single(), q->mi, "odd", &d), "allowed_3d_texture_size");
    rq_release(q);
    for (OGL_texture *t : {tex, detail, odd}) OGL_texture_free(t);
}

TEST_F(RenderProfileTest, MultitextureLayersBlendThroughTheirMasks)
{
    view *cam = rq_camera();
    OGL_texture *red = rq_texture(255, 0, 0), *green = rq_texture(0, 255, 0);
    OGL_texture *opaque = rq_texture(0, 0, 0, 255, 32), *half = rq_texture(0, 0, 0, 128, 32);
    rq_quad *q = rq_quad_make(0, 0, 0, 1);
    OGL_multitexture_data d{};
    d.diffuse = {1, 1, 1, 1};
    d.layersno = 3;
    d.layers[0] = {red, 0, opaque, 0};
    d.layers[1] = {green, 0, half, 0};
    d.layers[2] = {red, 0, half, 0};
    d.extra_a_on = true;
    d.extra_a_texture = green;
    OGL_render_profile *mt = OGL_render_profiles_get(OGL_RENDER_PROFILE_MULTITEXTURE);
    ASSERT_TRUE(OGL_render_profile_prepare(mt, q->mi, "layers", &d));
    rq_set_info m = rq_sets(q->mi, OGL_RPDS_KIND_MAIN);
    EXPECT_EQ(m.passes, 3);
    EXPECT_TRUE(rq_has_state_named(q->mi, "mt extra a"));
    OGL_render_profile_release(q->mi);
    // Without extras the last layer is a middle layer: red, then green at half, then red at half.
    d.extra_a_on = false;
    ASSERT_TRUE(OGL_render_profile_prepare(mt, q->mi, "layers", &d));
    OGL_mesh_instance_activate(q->mi, true);
    rq_draw(cam);
    EXPECT_TRUE(gltest_colour_near(at(0, 0), {191, 64, 0, 255}, 4));
    rq_release(q);
    for (OGL_texture *t : {red, green, opaque, half}) OGL_texture_free(t);
    view_free(cam);
}

TEST_F(RenderProfileTest, ProgramLoaderReportsErrorsAndReadsFiles)
{
    GLuint id = 0;
    for (const char *vp : {OGL_PROGRAM_BUMP_VP, OGL_PROGRAM_BUMP_NOSPEC_VP, OGL_PROGRAM_PPL_VP,
                           OGL_PROGRAM_SIMPLE_BUMP_VP, OGL_PROGRAM_SIMPLE_BUMP_2U_VP, OGL_PROGRAM_GI_VP}) {
        ASSERT_TRUE(__ogl_load_program(GL_VERTEX_PROGRAM_ARB, &id, vp)) << vp;
        EXPECT_NE(id, 0u);
        OGL_program_free(&id);
    }
    for (const char *fp : {OGL_PROGRAM_BUMP_FP, OGL_PROGRAM_BUMP_GLOSS_FP, OGL_PROGRAM_BUMP_NOSPEC_FP,
                           OGL_PROGRAM_PPL_FP, OGL_PROGRAM_PPL_GLOSS_FP}) {
        ASSERT_TRUE(__ogl_load_program(GL_FRAGMENT_PROGRAM_ARB, &id, fp)) << fp;
        OGL_program_free(&id);
    }
    testing::internal::CaptureStderr();
    id = 0;
    EXPECT_FALSE(__ogl_load_program(GL_VERTEX_PROGRAM_ARB, &id, "!!ARBvp1.0\nMOVE result.position, 1;\nEND\n"));
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(id, 0u);
    EXPECT_NE(log.find("Program error at position"), std::string::npos) << log;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    std::string dir = test_make_temp_dir();
    test_write_file(dir + "/good.vp", OGL_PROGRAM_PPL_VP);
    test_write_file(dir + "/bad.fp", "!!ARBfp1.0\nTEX nonsense;\nEND\n");
    EXPECT_TRUE(__load_program((dir + "/good.vp").c_str(), GL_VERTEX_PROGRAM_ARB, &id, true));
    OGL_program_free(&id);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(__load_program((dir + "/missing.vp").c_str(), GL_VERTEX_PROGRAM_ARB, &id, true));
    EXPECT_FALSE(__load_program((dir + "/bad.fp").c_str(), GL_FRAGMENT_PROGRAM_ARB, &id, true));
    log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("failed loading file"), std::string::npos) << log;
    EXPECT_NE(log.find("bad.fp"), std::string::npos) << log;
    test_remove_tree(dir);
    // A built-in text that does not compile stops the program.
    EXPECT_DEATH(__load_program("!!ARBfp1.0\nFOO r;\nEND", GL_FRAGMENT_PROGRAM_ARB, &id, false), "BUG");
}

// ---------------------------------------------------------------- older boards

TEST(RenderProfileChild, DISABLED_NoFragmentPrograms)
{
    ASSERT_TRUE(gltest_open());
    gltest_reset_state();
    ASSERT_FALSE(GLEW_ARB_fragment_program);
    ASSERT_TRUE(GLEW_ARB_vertex_program);
    int mode = -1;
    gltest_rgba c = draw_bump(24, 0.4f, 0, &mode);
    EXPECT_EQ(mode, OGL_BUMP_DOT3);
    EXPECT_TRUE(gltest_colour_near(c, DIFFUSE, 6));
    // Level 3 turns it into plain texturing.
    c = draw_bump(24, 0.4f, 3, &mode);
    EXPECT_EQ(mode, 0);
}

TEST(RenderProfileChild, DISABLED_NoPrograms)
{
    ASSERT_TRUE(gltest_open());
    gltest_reset_state();
    ASSERT_FALSE(GLEW_ARB_vertex_program);
    view *cam = rq_camera();
    {
        bump_scene s(24, 0.4f, 0);
        ASSERT_TRUE(s.prepare());
        EXPECT_EQ(s.d.bump_mode, 0);
        rq_set_info m = rq_sets(s.q->mi, OGL_RPDS_KIND_MAIN);
        EXPECT_FALSE(m.any_vp);
        EXPECT_FALSE(m.any_fp);
        OGL_mesh_instance_activate(s.q->mi, true, OGL_RPDS_KIND_DIFFUSE_ONLY);
        OGL_mesh_instance_set_color(s.q->mi, {0.25f, 0.25f, 0.25f});
        rq_draw(cam);
        gltest_rgba c = at(0, 0);
        EXPECT_GT(c.r, 200);
        EXPECT_GT(c.g, 100);
    }
    view_free(cam);
}

TEST(RenderProfileChild, DISABLED_NoBufferObjects)
{
    ASSERT_TRUE(gltest_open());
    gltest_reset_state();
    ASSERT_FALSE(GLEW_ARB_vertex_buffer_object);
    view *cam = rq_camera();
    {
        bump_scene s(24, 0.4f, 0);
        ASSERT_TRUE(s.prepare());
        EXPECT_FALSE(OGL_mesh_has_vbo(s.q->mesh));
        rq_draw(cam);
        EXPECT_TRUE(gltest_colour_near(at(0, 0), SPECULAR, 6));
    }
    view_free(cam);
}

TEST(RenderProfileFallback, BoardWithoutFragmentProgramsUsesDot3Bump)
{
    gltest_child_result r = gltest_run_child("RenderProfileChild.DISABLED_NoFragmentPrograms",
                                             {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_fragment_program"}});
    EXPECT_TRUE(gltest_child_passed(r));
    EXPECT_NE(r.output.find("fragment programs NOT supported."), std::string::npos) << r.output;
}

TEST(RenderProfileFallback, BoardWithoutProgramsDrawsFixedFunction)
{
    gltest_child_result r =
        gltest_run_child("RenderProfileChild.DISABLED_NoPrograms",
                         {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_fragment_program -GL_ARB_vertex_program"}});
    EXPECT_TRUE(gltest_child_passed(r));
    EXPECT_NE(r.output.find("continuing without VP & FP support."), std::string::npos) << r.output;
}

TEST(RenderProfileFallback, BoardWithoutBufferObjectsDrawsClientArrays)
{
    gltest_child_result r = gltest_run_child("RenderProfileChild.DISABLED_NoBufferObjects",
                                             {{GLTEST_MISSING_EXTENSIONS_VAR, "GL_ARB_vertex_buffer_object"}});
    EXPECT_TRUE(gltest_child_passed(r));
}
