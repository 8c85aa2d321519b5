#pragma once
// Shared set-up of the particle suites: a seeded random table, an empty scene
// and a ready-to-run system.

#include <gtest/gtest.h>

#include "corelib/drand.h"
#include "particles/simple_particles.h"
#include "scene/scene.h"

inline void particles_test_seed(unsigned seed = 1234)
{
    static bool inited = drand_init();
    ASSERT_TRUE(inited);
    drand_seed(seed);
    drand_set_cursor(0);
}

// A point system at the origin: no spread, constant size 1 x 1, the given
// rate and life span, no tracks besides size.
inline sps *particles_test_system(scene *sc, uint32_t population, float burst, float life_min, float life_max,
                                  const char *name = "test")
{
    sps *s = sps_init(name, sc, population);
    if (!s || !sps_create_oi(s)) return s;
    sps_set_burst_factor(s, burst);
    sps_set_particle_life_span(s, life_min, life_max);
    sps_set_velocity_spread(s, tacka3{0, 0, 0});
    sps_set_size_spread(s, tacka2{0, 0});
    sps_set_constant_size(s, tacka2{1, 1});
    sps_set_position(s, tacka3{0, 0, 0});
    sps_set_type_point(s);
    return s;
}

class ParticlesTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        particles_test_seed();
        sc = scene_init();
        ASSERT_NE(sc, nullptr);
        mgr = sps_manager_init();
        ASSERT_NE(mgr, nullptr);
    }
    void TearDown() override
    {
        sps_manager_deinit(mgr); // systems before their scene
        scene_deinit(sc);
    }
    // A system added to the manager, activated, its burst started.
    sps *running(uint32_t population, float burst, float life_min, float life_max, const char *name = "test")
    {
        sps *s = particles_test_system(sc, population, burst, life_min, life_max, name);
        EXPECT_NE(s, nullptr);
        sps_manager_add(mgr, s);
        sps_activate(s, false);
        sps_start_burst(s);
        return s;
    }
    uint32_t alive_count(const sps *s)
    {
        uint32_t n = 0;
        for (uint32_t i = 0; i < s->population; i++) n += s->particles[i].alive ? 1 : 0;
        return n;
    }
    scene *sc = nullptr;
    sps_manager *mgr = nullptr;
};
