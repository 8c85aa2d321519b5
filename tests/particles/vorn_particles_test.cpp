// The game's effect pools, starters, compositions and sky box.

#include <cmath>
#include <string>
#include <sys/stat.h>

#include "game/the_vorn_particles.h"
#include "particles/sps_file.h"
#include "particles_test_util.h"
#include "scene/material.h"
#include "scene/object_instance.h"
#include "test_support.h"

namespace {

void write_system(const std::string &path, const char *name, float duration)
{
    spsquox2 *d = spsquox2_init();
    spsquox2_copy_name(d, name);
    spsquox2_copy_texture(d, "fire.tga");
    spsquox2_data p{};
    p.duration = duration;
    p.population = 50;
    p.unbound = 1;
    p.life_min = 0.2f;
    p.life_max = 0.4f;
    p.burst = 50;
    p.time_scale = 1;
    p.velocity_spread = {3, 3, 3};
    p.size_spread = {0.2f, 0.2f};
    spsquox2_set_data(d, &p);
    spsquox2_keyframe k{};
    k.size = {1, 1};
    k.color[0] = k.color[3] = 1;
    spsquox2_add_keyframe(d, &k);
    k.time = 1;
    spsquox2_add_keyframe(d, &k);
    ASSERT_TRUE(spsquox2_save_system_to_file(path.c_str(), d));
    spsquox2_deinit(d);
}

// A composition of two systems in the resource folder, as the default data lays it out.
void write_composition(const std::string &root, const char *folder, const char *name)
{
    std::string dir = root + "/particles/" + folder;
    mkdir((root + "/particles").c_str(), 0755);
    mkdir(dir.c_str(), 0755);
    write_system(dir + "/fire.spsquox2", "fire", 0.3f);
    write_system(dir + "/smoke.spsquox2", "smoke", 0.5f);
    spcquox2 *c = spcquox2_init();
    spcquox2_copy_name(c, name);
    spcquox2_add_system(c, (std::string("particles\\") + folder + "\\fire.spsquox2").c_str());
    spcquox2_add_system(c, (std::string("particles\\") + folder + "\\smoke.spsquox2").c_str());
    ASSERT_TRUE(spcquox2_save_composer_to_file((dir + "/" + name + ".spcquox2").c_str(), c));
    spcquox2_deinit(c);
}

class VornParticlesTest : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        particles_test_seed();
        write_composition(dir, "asteroid explosion", "asteroid explosion");
        write_composition(dir, "asteroid hit station", "asteroid hit station");
        sc = scene_init();
        vorn_particles_set_quantity(1.0f);
        ASSERT_TRUE(vorn_init_particles(sc, dir.c_str()));
    }
    void TearDown() override
    {
        vorn_deinit_particles();
        scene_deinit(sc);
        TempDirTest::TearDown();
    }
    void run(float seconds)
    {
        for (float t = 0; t < seconds; t += 0.1f) vorn_update_particles(0.1f, nullptr);
    }
    scene *sc = nullptr;
};

} // namespace

TEST_F(VornParticlesTest, PoolsFollowTheirTemplates)
{
    uint32_t n;
    const vorn_sps_template *t = vorn_particles_get_templates(&n);
    ASSERT_EQ(n, 8u);
    uint32_t systems = 0;
    for (uint32_t i = 0; i < n; i++) systems += t[i].systems;
    EXPECT_EQ(systems, 341u);
    // Two systems per composition copy, ten explosions and five station hits.
    EXPECT_EQ(sps_manager_get_systems_no(vorn_get_particle_manager()), 341u + 2 * 10 + 2 * 5);

    sps_manager *mgr = vorn_get_particle_manager();
    sps *mi9 = sps_manager_find(mgr, "mi9", false);
    ASSERT_NE(mi9, nullptr);
    EXPECT_EQ(sps_manager_find(mgr, "mi10", false), nullptr);
    EXPECT_EQ(mi9->population, 100u);
    EXPECT_FLOAT_EQ(mi9->burst_factor, 40.0f);
    EXPECT_EQ(mi9->blend_dst, SPS_BLEND_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(mi9->display_priority, 8);
    EXPECT_NEAR(mi9->spin_spread, 10.0f * float(M_PI) / 180.0f, 1e-6);
    EXPECT_NEAR(mi9->base_spin, 10.0f * float(M_PI) / 180.0f, 1e-6);
    ASSERT_EQ(mi9->color_keys->get_size(), 5u);
    EXPECT_EQ((*mi9->color_keys)[2].r, 50);
    EXPECT_FLOAT_EQ((*mi9->color_keys)[3].time, 0.8f);
    EXPECT_STREQ(material_get_diffuse_texture_file_name(mi9->mat), "fractal_4.tga");

    sps *je = sps_manager_find(mgr, "je0", false);
    ASSERT_NE(je, nullptr);
    EXPECT_EQ(je->population, 200u);
    EXPECT_FLOAT_EQ(je->duration, 1200000.0f);
    EXPECT_EQ(je->blend_dst, SPS_BLEND_ONE);
    EXPECT_FLOAT_EQ(je->size_spread.x, -0.2f);
    sps *gl = sps_manager_find(mgr, "gl3", false);
    EXPECT_EQ(gl->population, 1u);
    EXPECT_FLOAT_EQ(gl->duration, 12000.0f);
    EXPECT_TRUE(sps_manager_find(mgr, "de0", false)->align);
    EXPECT_TRUE(sps_manager_find(mgr, "tr49", false)->random_start_angle);
}

TEST_F(VornParticlesTest, StartersPlaceAndStartPooledSystems)
{
    sps *tr = vorn_create_trail({1, 2, 3}, {0, 0, 5});
    EXPECT_STREQ(sps_get_name(tr), "tr0");
    EXPECT_TRUE(sps_is_active(tr));
    EXPECT_TRUE(tr->burst_on);
    EXPECT_FLOAT_EQ(tr->system_velocity.z, -5.0f);
    EXPECT_FLOAT_EQ(tr->duration, 1000.0f);
    EXPECT_FLOAT_EQ(tr->position.y, 2.0f);
    // Reused far away, it does not smear particles along the way.
    EXPECT_FLOAT_EQ(tr->prev_position.x, 1.0f);
    EXPECT_STREQ(sps_get_name(vorn_create_trail({0, 0, 0}, {1, 0, 0})), "tr1");

    sps *pu = vorn_create_pulse({0, 0, 0}, {0, 9, 0});
    EXPECT_FLOAT_EQ(pu->system_velocity.y, 9.0f);
    EXPECT_FLOAT_EQ(pu->velocity_spread.x, 0.0f);

    sps *mi = vorn_create_missile({5, 0, 0});
    sps *gl = vorn_create_glow(mi);
    EXPECT_EQ(gl->linked, mi->oi);
    run(0.3f);
    ASSERT_GT(gl->num_active_particles, 0u);
    EXPECT_FLOAT_EQ(gl->particles[0].birth_position.x, 5.0f); // on the missile's instance

    sps *je = vorn_create_jet({0, 0, 0});
    vorn_update_jet(je, {0, -3, 0});
    EXPECT_FLOAT_EQ(je->system_velocity.y, -3.0f);

    sps *hi = vorn_create_hit({0, 0, 7});
    EXPECT_FLOAT_EQ(hi->life_span_min, 0.2f);
    EXPECT_FLOAT_EQ(hi->life_span_max, 0.8f);
    EXPECT_FLOAT_EQ(hi->velocity_spread.y, 5.0f);
    EXPECT_FLOAT_EQ(hi->duration, 0.7f);
    EXPECT_FLOAT_EQ(hi->burst_factor, 60.0f);
    EXPECT_FLOAT_EQ(hi->size_spread.y, 1.75f);
    EXPECT_FLOAT_EQ(hi->constant_size.x, 1.7f);
    EXPECT_TRUE(hi->align);
    sps *bs = sps_manager_find(vorn_get_particle_manager(), "bs0", true);
    ASSERT_NE(bs, nullptr); // the hit's debris trail
    EXPECT_FLOAT_EQ(bs->duration, 0.15f);
    EXPECT_NEAR(tacka3_length(bs->system_velocity), 1.0f, 1e-5);
    EXPECT_FLOAT_EQ(bs->position.z, 7.0f);

    sps *de = vorn_create_debris({0, 0, 0});
    ASSERT_NE(de, nullptr);
    EXPECT_FLOAT_EQ(de->duration, 0.8f);
    // Short effects end by themselves and their systems are free again.
    run(6.0f);
    EXPECT_FALSE(sps_is_active(de));
    EXPECT_FALSE(sps_is_active(hi));
    EXPECT_EQ(vorn_get_free_sps(VORN_SPS_DEBRIS), de);
    EXPECT_TRUE(sps_is_active(tr)); // 1000 s
}

TEST_F(VornParticlesTest, PoolExhaustion)
{
    for (int i = 0; i < 10; i++) EXPECT_NE(vorn_create_missile({0, 0, 0}), nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(vorn_get_free_sps(VORN_SPS_MISSILE), nullptr);
    EXPECT_EQ(vorn_get_free_sps("nothing"), nullptr); // a missing name ends the search
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("vorn_get_free_sps: no free slots available"), std::string::npos) << log;
    EXPECT_EXIT(vorn_create_missile({0, 0, 0}), ::testing::ExitedWithCode(3), "particle pool \"mi\" exhausted");
    EXPECT_EXIT(vorn_update_jet(nullptr, {0, 0, 0}), ::testing::ExitedWithCode(3), "BUG");
}

TEST_F(VornParticlesTest, QuantityZeroHidesDebrisAndCompositionsOnly)
{
    vorn_particles_set_quantity(0.0f);
    EXPECT_FLOAT_EQ(vorn_particles_get_quantity(), 0.0f);
    EXPECT_FLOAT_EQ(sps_manager_get_quantity(vorn_get_particle_manager()), 0.2f);
    EXPECT_EQ(vorn_create_debris({0, 0, 0}), nullptr);
    EXPECT_EQ(vorn_create_explosion({0, 0, 0}), nullptr);
    EXPECT_EQ(vorn_create_station_hit({0, 0, 0}), nullptr);
    EXPECT_NE(vorn_create_trail({0, 0, 0}, {1, 0, 0}), nullptr);
    EXPECT_NE(vorn_create_pulse({0, 0, 0}, {1, 0, 0}), nullptr);
    sps *mi = vorn_create_missile({0, 0, 0});
    EXPECT_NE(mi, nullptr);
    EXPECT_NE(vorn_create_glow(mi), nullptr);
    sps *je = vorn_create_jet({0, 0, 0});
    ASSERT_NE(je, nullptr);
    run(1.0f);
    EXPECT_GT(je->num_active_particles, 0u);
    EXPECT_LE(je->num_active_particles, 40u); // a fifth of the 200 slots

    vorn_particles_set_quantity(0.6f);
    EXPECT_FLOAT_EQ(sps_manager_get_quantity(vorn_get_particle_manager()), 0.6f);
    EXPECT_NE(vorn_create_debris({0, 0, 0}), nullptr);
}

TEST_F(VornParticlesTest, CompositionsRunInTurns)
{
    spcquox2 *a = vorn_create_explosion({10, 0, 0});
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(spcquox2_is_active(a));
    for (spcquox2_element &e : *a->elements) EXPECT_FLOAT_EQ(e.sys->position.x, 10.0f);
    spcquox2 *b = vorn_create_explosion({20, 0, 0});
    EXPECT_NE(b, a);
    spcquox2 *h = vorn_create_station_hit({0, 5, 0});
    ASSERT_NE(h, nullptr);
    run(0.2f);
    EXPECT_GT((*a->elements)[0].sys->num_active_particles, 0u);
    run(1.5f); // 0.5 s of emission, 0.4 s of life
    EXPECT_FALSE(spcquox2_is_active(a));
    EXPECT_FALSE(spcquox2_is_active(h));
    EXPECT_EQ(vorn_create_explosion({0, 0, 0}), a); // the first one free again
    for (int i = 1; i < VORN_PARTICLES_EXPLOSIONS; i++) EXPECT_NE(vorn_create_explosion({0, 0, 0}), nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(vorn_create_explosion({0, 0, 0}), nullptr);
    ::testing::internal::GetCapturedStderr();
}

TEST_F(VornParticlesTest, SkyBoxFollowsTheCamera)
{
    const char *names[6] = {"left", "right", "back", "front", "bottom", "top"};
    object_instance *ois[6];
    for (int i = 0; i < 6; i++) {
        ois[i] = OI_init();
        OI_copy_name(ois[i], names[i]);
        scene_add_oi(sc, ois[i]);
    }
    vorn_skysphere_init(sc, {1, 2, 3});
    for (object_instance *oi : ois) {
        EXPECT_TRUE(OI_get_desc(oi)->disable_z_writes);
        EXPECT_FLOAT_EQ(OI_get_position_ws(oi).z, 3.0f);
    }
    vorn_skysphere_follow({-4, 0, 9});
    for (object_instance *oi : ois) EXPECT_FLOAT_EQ(OI_get_position_ws(oi).x, -4.0f);

    scene *bare = scene_init();
    EXPECT_EXIT(vorn_skysphere_init(bare, {0, 0, 0}), ::testing::ExitedWithCode(3), "left != NULL");
    scene_deinit(bare);
}

TEST(VornParticlesInit, MissingCompositionFails)
{
    particles_test_seed();
    std::string d = test_make_temp_dir();
    scene *sc = scene_init();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(vorn_init_particles(sc, d.c_str()));
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("asteroid explosion.spcquox2"), std::string::npos) << log;
    EXPECT_EQ(vorn_get_particle_manager(), nullptr);
    scene_deinit(sc);
    test_remove_tree(d);
}
