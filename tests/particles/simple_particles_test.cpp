#include <cmath>
#include <vector>

#include "corelib/matrix.h"
#include "corelib/mem.h"
#include "corelib/view.h"
#include "particles/sps_utils.h"
#include "particles_test_util.h"
#include "scene/object.h"
#include "scene/object_instance.h"

// ---------------------------------------------------------------- emission

TEST_F(ParticlesTest, BurstCreditAndLatenessFollowTheRate)
{
    // 10 particles per second, 0.1 s of credit from the start, a 0.25 s frame:
    // three particles born 0.25, 0.15 and 0.05 s before the frame's end.
    sps *s = running(20, 10.0f, 5.0f, 5.0f);
    ASSERT_TRUE(sps_set_constant_velocity(s, tacka3{2, 0, 0}));
    EXPECT_FLOAT_EQ(s->burst_time, 0.1f);
    sps_update(s, 0.25f);
    ASSERT_EQ(s->num_active_particles, 3u);
    const float ages[3] = {0.25f, 0.15f, 0.05f};
    for (int i = 0; i < 3; i++) {
        EXPECT_TRUE(s->particles[i].alive) << i;
        EXPECT_NEAR(s->particles[i].age, ages[i], 1e-5) << i;
        // Late particles start where they would be: x = 2 * age.
        EXPECT_NEAR(s->particles[i].position.x, 2.0f * ages[i], 1e-5) << i;
    }
    for (uint32_t i = 3; i < s->population; i++) EXPECT_FALSE(s->particles[i].alive) << i;
    EXPECT_NEAR(s->burst_time, 0.05f, 1e-5);

    // The next frame starts from the 0.05 s left over: 0.3 s gives three more.
    sps_update(s, 0.3f);
    EXPECT_EQ(s->num_active_particles, 6u);
    EXPECT_NEAR(s->particles[0].age, 0.55f, 1e-5);
    EXPECT_NEAR(s->particles[3].age, 0.25f, 1e-5);
    EXPECT_NEAR(s->burst_time, 0.05f, 1e-5);
}

TEST_F(ParticlesTest, CreditDoesNotPileUpWhileThePoolIsFull)
{
    sps *s = running(4, 100.0f, 10.0f, 10.0f);
    sps_update(s, 1.0f); // 100 particles due, 4 slots
    EXPECT_EQ(s->num_active_particles, 4u);
    EXPECT_FLOAT_EQ(s->burst_time, 0.01f); // cut back to one particle's worth
    // A freed slot gets one particle, not the hundred owed.
    s->particles[2].alive = 0;
    s->num_active_particles--;
    sps_update(s, 0.0f);
    EXPECT_EQ(s->num_active_particles, 4u);
    EXPECT_TRUE(s->particles[2].alive);
    EXPECT_FLOAT_EQ(s->burst_time, 0.0f);
}

TEST_F(ParticlesTest, QuantityLimitsTheSlotsInUse)
{
    sps_manager_set_quantity(mgr, 0.5f);
    sps *s = running(200, 1000.0f, 100.0f, 100.0f);
    for (int f = 0; f < 20; f++) sps_update(s, 0.05f);
    EXPECT_EQ(s->num_active_particles, 100u);
    for (uint32_t i = 0; i < 200; i++) EXPECT_EQ(s->particles[i].alive != 0, i < 100) << "slot " << i;

    // Quantity 0: nothing is emitted at all.
    sps_manager_set_quantity(mgr, 0.0f);
    sps *t = running(50, 1000.0f, 100.0f, 100.0f, "other");
    for (int f = 0; f < 5; f++) sps_update(t, 0.05f);
    EXPECT_EQ(t->num_active_particles, 0u);

    sps_manager_set_quantity(mgr, 7.0f);
    EXPECT_FLOAT_EQ(sps_manager_get_quantity(mgr), 1.0f);
    sps_manager_set_quantity(mgr, -1.0f);
    EXPECT_FLOAT_EQ(sps_manager_get_quantity(mgr), 0.0f);
    sps_manager_set_quantity(mgr, NAN);
    EXPECT_FLOAT_EQ(sps_manager_get_quantity(mgr), 0.0f);
}

TEST_F(ParticlesTest, EqualLifeSpansAreExact)
{
    sps *s = running(100, 50.0f, 0.5f, 0.5f);
    sps_update(s, 0.3f);
    ASSERT_GT(s->num_active_particles, 10u);
    for (uint32_t i = 0; i < s->population; i++)
        if (s->particles[i].alive) {
            EXPECT_EQ(s->particles[i].life_span, 0.5f);
        }

    // One particle born exactly at a frame's end lives 0.5 s and not a moment more.
    sps *t = running(1, 1.0f, 0.5f, 0.5f, "single");
    sps_update(t, 0.0f); // the starting credit: born with no lateness
    ASSERT_TRUE(t->particles[0].alive);
    sps_stop_burst(t);
    sps_update(t, 0.25f);
    sps_update(t, 0.2499f);
    EXPECT_TRUE(t->particles[0].alive);
    sps_update(t, 0.0002f);
    EXPECT_FALSE(t->particles[0].alive);
    EXPECT_EQ(t->num_active_particles, 0u);
}

TEST_F(ParticlesTest, DifferentLifeSpansStayInTheirRange)
{
    sps *s = running(200, 400.0f, 1.0f, 3.0f);
    sps_update(s, 0.4f);
    float lo = 10, hi = 0;
    for (uint32_t i = 0; i < s->population; i++) {
        if (!s->particles[i].alive) continue;
        lo = std::fmin(lo, s->particles[i].life_span);
        hi = std::fmax(hi, s->particles[i].life_span);
    }
    EXPECT_GE(lo, 1.0f);
    EXPECT_LE(hi, 3.0f);
    EXPECT_GT(hi - lo, 1.0f); // actually spread
}

TEST_F(ParticlesTest, LateCreditBeyondTheLifeSpanEmitsNothing)
{
    // 0.5 s lifetimes, 1 per second, 3 s of credit after a 2 s frame: the
    // particles due 2 s and 1 s before the frame's end would already be dead.
    sps *s = running(10, 1.0f, 0.5f, 0.5f);
    sps_update(s, 2.0f); // credit 3.0: lateness 2.0, 1.0, 0.0
    EXPECT_EQ(s->num_active_particles, 1u);
    EXPECT_FLOAT_EQ(s->particles[0].age, 0.0f);
    EXPECT_FLOAT_EQ(s->burst_time, 0.0f);
}

// Found by fuzzing: with a burst factor of 1e9 the skip of each late
// particle by one interval was lost to float rounding and the emission never
// ended. Now the late ones are skipped at once and every step makes progress.
TEST_F(ParticlesTest, HugeBurstFactorsAndLongFramesEmitAndReturn)
{
    const float bursts[3] = {1e9f, 2.7e20f, 1e4f};
    for (float burst : bursts) {
        sps *s = running(50, burst, 0.5f, 1.0f, "huge");
        sps_update(s, 0.04f);
        EXPECT_EQ(s->num_active_particles, 50u) << burst;
        sps_update(s, 3.0f); // a frame longer than every life: the pool refills
        EXPECT_EQ(s->num_active_particles, 50u) << burst;
        for (uint32_t i = 0; i < s->population; i++) EXPECT_LT(s->particles[i].age, 1.0f) << burst;
        sps_update(s, 1e30f);
        EXPECT_LE(s->num_active_particles, 50u) << burst;
        sps_deinit(s);
    }
    // The phase of the credit survives the skip: 1 per second, 0.5 s lives,
    // 1000.25 s of credit: the particle due 0.25 s ago is the one born.
    sps *s = running(4, 1.0f, 0.5f, 0.5f, "late");
    sps_update(s, 999.25f);
    EXPECT_EQ(s->num_active_particles, 1u);
    EXPECT_NEAR(s->particles[0].age, 0.25f, 1e-3);
}

TEST_F(ParticlesTest, DurationThenSelfDeactivation)
{
    // Steps, rate and times exact in binary: 8 per second, 1/8 s frames.
    sps *s = running(50, 8.0f, 0.5f, 0.5f);
    sps_set_duration(s, 2.0f);
    uint32_t born = 0;
    float t = 0;
    std::vector<float> prev_age(50, -1);
    bool emitted_late = false;
    while (t < 5.0f && sps_is_active(s)) {
        sps_update(s, 0.125f);
        t += 0.125f;
        for (uint32_t i = 0; i < 50; i++) {
            const simple_particle &p = s->particles[i];
            bool fresh = p.alive && (prev_age[i] < 0 || p.age < prev_age[i]);
            if (fresh) {
                born++;
                if (t > 2.0f) emitted_late = true;
            }
            prev_age[i] = p.alive ? p.age : -1;
        }
        if (t >= 2.0f) {
            EXPECT_TRUE(s->emission_over);
        }
    }
    EXPECT_FALSE(emitted_late);
    EXPECT_EQ(born, 17u); // 2 s at 8 per second, plus the starting credit
    EXPECT_FALSE(sps_is_active(s));
    EXPECT_EQ(s->num_active_particles, 0u);
    EXPECT_EQ(t, 2.5f); // the last particle, born at 2 s, dies 0.5 s later
    EXPECT_TRUE(OI_get_desc(s->oi)->invisible);

    // A second activation runs the whole duration again.
    sps_activate(s, false);
    sps_start_burst(s);
    sps_update(s, 0.1f);
    EXPECT_TRUE(sps_is_active(s));
    EXPECT_GT(s->num_active_particles, 0u);
}

TEST_F(ParticlesTest, StopEmittingDropsTheCreditAndEndsTheSystem)
{
    sps *s = running(50, 100.0f, 0.3f, 0.3f);
    sps_update(s, 0.1f);
    ASSERT_GT(s->num_active_particles, 5u);
    sps_stop_emitting(s);
    uint32_t before = s->num_active_particles;
    sps_update(s, 0.1f);
    EXPECT_LE(s->num_active_particles, before);
    sps_update(s, 0.25f);
    EXPECT_FALSE(sps_is_active(s));
}

TEST_F(ParticlesTest, FrozenAndTimeScale)
{
    sps *s = running(10, 10.0f, 50.0f, 50.0f);
    sps_update(s, 0.1f);
    ASSERT_EQ(s->num_active_particles, 2u);
    float age = s->particles[0].age;
    sps_set_frozen(s, true);
    sps_update(s, 1.0f);
    EXPECT_EQ(s->particles[0].age, age);
    EXPECT_EQ(s->num_active_particles, 2u);
    sps_set_frozen(s, false);
    sps_set_time_scale(s, 2.0f);
    sps_update(s, 0.05f);
    EXPECT_NEAR(s->particles[0].age, age + 0.1f, 1e-5);
}

TEST_F(ParticlesTest, BurstOffEmitsNothing)
{
    sps *s = particles_test_system(sc, 10, 10.0f, 1.0f, 1.0f);
    sps_manager_add(mgr, s);
    sps_activate(s, false);
    sps_update(s, 1.0f);
    EXPECT_EQ(s->num_active_particles, 0u);
    EXPECT_FLOAT_EQ(s->burst_time, 0.0f);
}

// ---------------------------------------------------------------- tracks

TEST_F(ParticlesTest, ColourTrackInterpolatesBetweenKeys)
{
    sps *s = running(4, 1.0f, 2.0f, 2.0f);
    sps_enable_color_keyframes(s);
    ASSERT_TRUE(sps_add_color_keyframe(s, 255, 0, 0, 255, 0.0f));
    ASSERT_TRUE(sps_add_color_keyframe(s, 0, 0, 255, 255, 1.0f));
    sps_update(s, 0.0f);
    ASSERT_TRUE(s->particles[0].alive);
    EXPECT_EQ(s->particles[0].color[0], 255); // born with the first key
    EXPECT_EQ(s->particles[0].color[2], 0);
    sps_stop_burst(s);
    sps_update(s, 1.0f); // half its life
    const uint8_t *c = s->particles[0].color;
    EXPECT_TRUE(c[0] == 127 || c[0] == 128) << int(c[0]);
    EXPECT_EQ(c[1], 0);
    EXPECT_TRUE(c[2] == 127 || c[2] == 128) << int(c[2]);
    EXPECT_EQ(c[3], 255);
}

TEST(ParticleTracks, ValuesAlongSegmentsAndOutsideTheKeys)
{
    array<simple_particle_float_keyframe> *k = array_new<simple_particle_float_keyframe>();
    k->add({0.0f, 0.0f});
    k->add({0.4f, 4.0f});
    k->add({1.0f, 10.0f});
    EXPECT_FLOAT_EQ(__interpolate_float_key(k, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(__interpolate_float_key(k, 0.2f), 2.0f);
    EXPECT_FLOAT_EQ(__interpolate_float_key(k, 0.4f), 4.0f);
    EXPECT_FLOAT_EQ(__interpolate_float_key(k, 0.7f), 7.0f);
    EXPECT_FLOAT_EQ(__interpolate_float_key(k, 1.0f), 10.0f);
    array_free(k);

    // Before the first key's time the first key holds (the fraction stays in [0, 1]).
    array<simple_particle_color_keyframe> *c = array_new<simple_particle_color_keyframe>();
    c->add({0.5f, 100, 0, 0, 0});
    c->add({1.0f, 200, 255, 0, 0});
    uint8_t out[4];
    __interpolate_color_key(c, 0.75f, out);
    EXPECT_EQ(out[0], 150);
    __interpolate_color_key(c, 0.0f, out);
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[1], 0);
    array_free(c);

    // Keys 6.7e-44 apart: the quotient of the fraction is infinite, the value is not.
    array<simple_particle_tacka2_keyframe> *t = array_new<simple_particle_tacka2_keyframe>();
    t->add({0.0f, {1, 1}});
    t->add({6.7e-44f, {2, 4}});
    tacka2 at0 = __interpolate_tacka2_key(t, 0.0f), mid = __interpolate_tacka2_key(t, 0.5f);
    EXPECT_FLOAT_EQ(at0.x, 1.0f);
    EXPECT_FLOAT_EQ(mid.x, 2.0f);
    EXPECT_FLOAT_EQ(mid.y, 4.0f);
    array_free(t);

    // Keys at one time give a value, not a division by zero.
    array<simple_particle_tacka2_keyframe> *z = array_new<simple_particle_tacka2_keyframe>();
    z->add({0.5f, {1, 1}});
    z->add({0.5f, {3, 3}});
    tacka2 before = __interpolate_tacka2_key(z, 0.2f), after = __interpolate_tacka2_key(z, 0.9f);
    EXPECT_FLOAT_EQ(before.x, 1.0f);
    EXPECT_FLOAT_EQ(after.x, 3.0f);
    array_free(z);
}

TEST_F(ParticlesTest, TracksDriveMotionSpinAndSize)
{
    sps *s = running(2, 1.0f, 1.0f, 1.0f);
    sps_set_system_velocity(s, tacka3{0, 1, 0});
    ASSERT_TRUE(sps_set_constant_velocity(s, tacka3{1, 0, 0}));
    ASSERT_TRUE(sps_set_constant_spin(s, 2.0f));
    sps_enable_size_keyframes(s);
    sps_deinit_size_keyframes(s);
    sps_enable_size_keyframes(s);
    sps_add_size_keyframe(s, tacka2{1, 1}, 0.0f);
    sps_add_size_keyframe(s, tacka2{3, 5}, 1.0f);
    sps_update(s, 0.0f);
    sps_stop_burst(s);
    sps_update(s, 0.5f);
    const simple_particle &p = s->particles[0];
    EXPECT_NEAR(p.position.x, 0.5f, 1e-5);
    EXPECT_NEAR(p.position.y, 0.5f, 1e-5);
    EXPECT_NEAR(p.angle, 2.0f, 1e-5); // (track 2 + own spin 2, the base) x 0.5 s
    EXPECT_NEAR(p.size.x, 2.0f, 1e-5);
    EXPECT_NEAR(p.size.y, 3.0f, 1e-5);
}

TEST(ParticleTracksDeath, OneKeyTrackIsAFaultWhenRead)
{
    EXPECT_EXIT(
        {
            particles_test_seed();
            scene *sc = scene_init();
            sps *s = particles_test_system(sc, 4, 1.0f, 1.0f, 1.0f);
            sps_enable_color_keyframes(s);
            sps_add_color_keyframe(s, 1, 2, 3, 4, 0.0f);
            sps_activate(s, false);
            sps_start_burst(s);
            sps_update(s, 0.1f);
        },
        ::testing::ExitedWithCode(3), "keyframes < 2");
}

TEST(ParticleSetupDeath, MissingSetupIsAFault)
{
    EXPECT_EXIT(
        {
            particles_test_seed();
            scene *sc = scene_init();
            sps *s = sps_init("x", sc, 4);
            sps_set_additive(s);
        },
        ::testing::ExitedWithCode(3), "MUST NOT set alpha/additive before creating sps_OI");
    EXPECT_EXIT(
        {
            particles_test_seed();
            scene *sc = scene_init();
            sps *s = sps_init("x", sc, 4);
            sps_create_oi(s);
            sps_set_coverage_from_surface(s);
        },
        ::testing::ExitedWithCode(3), "Cannot set coverage from surface if system not linked to object");
    EXPECT_EXIT(
        {
            particles_test_seed();
            scene *sc = scene_init();
            sps *s = sps_init("x", sc, 4);
            sps_create_oi(s);
            sps_set_burst_factor(s, 5);
            sps_set_velocity_spread(s, {0, 0, 0});
            sps_set_size_spread(s, {0, 0});
            sps_set_position(s, {0, 0, 0});
            sps_activate(s, false);
            sps_start_burst(s);
            sps_update(s, 0.5f);
        },
        ::testing::ExitedWithCode(3), "sps_particle_life_span_is_set");
    EXPECT_EXIT(
        {
            scene *sc = scene_init();
            sps *s = sps_init("x", sc, 4);
            sps_set_position(s, {NAN, 0, 0});
        },
        ::testing::ExitedWithCode(3), "tacka3_is_finite");
    EXPECT_EXIT(
        {
            scene *sc = scene_init();
            sps *s = sps_init("x", sc, 4);
            sps_set_burst_factor(s, 0.0f);
        },
        ::testing::ExitedWithCode(3), "burst > 0.0");
}

// ---------------------------------------------------------------- birth places

TEST_F(ParticlesTest, MovingSystemSpreadsParticlesAlongItsPath)
{
    sps *s = running(200, 1000.0f, 10.0f, 10.0f);
    sps_update(s, 0.0f);
    sps_set_position(s, tacka3{10, 0, 0});
    sps_update(s, 0.1f);
    uint32_t inside = 0, n = 0;
    for (uint32_t i = 1; i < s->population; i++) {
        const simple_particle &p = s->particles[i];
        if (!p.alive) continue;
        n++;
        EXPECT_GE(p.birth_position.x, 0.0f);
        EXPECT_LE(p.birth_position.x, 10.0f);
        if (p.birth_position.x > 1.0f && p.birth_position.x < 9.0f) inside++;
    }
    ASSERT_GT(n, 50u);
    EXPECT_GT(inside, n / 2);
    // Standing still afterwards: born at the position.
    sps_update(s, 0.0f);
    for (int i = 0; i < 5; i++) s->particles[i].alive = 0;
    s->num_active_particles -= 5;
    s->burst_time = 0.05f;
    sps_update(s, 0.0f);
    EXPECT_FLOAT_EQ(s->particles[0].birth_position.x, 10.0f);
}

static object_instance *add_triangle_oi(scene *sc, tacka3 at)
{
    object *o = object_init();
    tacka3 *v = static_cast<tacka3 *>(mem_calloc(3, sizeof(tacka3)));
    v[0] = {1, 0, 0};
    v[1] = {0, 2, 0};
    v[2] = {0, 0, 3};
    object_insert_vertexs(o, v, 3);
    object_copy_name(o, "tri");
    scene_add_object(sc, o);
    object_instance *oi = OI_init();
    OI_copy_name(oi, "holder");
    OI_set_object(oi, o);
    scene_add_oi(sc, oi);
    OI_set_position_ws(oi, at);
    OI_calc_bounding_volumes(oi);
    return oi;
}

TEST_F(ParticlesTest, LinkedSystemsAreBornOnTheirInstance)
{
    object_instance *holder = add_triangle_oi(sc, tacka3{100, 0, 0});

    sps *point = running(20, 100.0f, 10.0f, 10.0f, "point");
    sps_link_to_oi(point, holder);
    sps_update(point, 0.05f);
    ASSERT_GT(point->num_active_particles, 0u);
    EXPECT_FLOAT_EQ(point->particles[0].birth_position.x, 100.0f);

    sps *surface = running(50, 1000.0f, 10.0f, 10.0f, "surface");
    sps_link_to_oi(surface, holder);
    sps_set_type_coverage(surface);
    sps_set_coverage_from_surface(surface);
    sps_update(surface, 0.05f);
    ASSERT_GT(surface->num_active_particles, 20u);
    bool seen[3] = {};
    for (uint32_t i = 0; i < surface->population; i++) {
        const simple_particle &p = surface->particles[i];
        if (!p.alive) continue;
        tacka3 b = p.birth_position;
        if (b.x == 101 && b.y == 0 && b.z == 0)
            seen[0] = true;
        else if (b.x == 100 && b.y == 2 && b.z == 0)
            seen[1] = true;
        else if (b.x == 100 && b.y == 0 && b.z == 3)
            seen[2] = true;
        else
            ADD_FAILURE() << "born off the mesh at " << b.x << ", " << b.y << ", " << b.z;
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2]);

    sps *inside = running(50, 1000.0f, 10.0f, 10.0f, "inside");
    sps_link_to_oi(inside, holder);
    sps_set_type_coverage(inside);
    sps_set_coverage_within_boundaries(inside);
    EXPECT_FALSE(inside->flags & SPS_FLAG_COVERAGE_SURFACE);
    sps_update(inside, 0.05f);
    tacka3 c;
    float r;
    OI_get_bounding_sphere(holder, &c, &r);
    for (uint32_t i = 0; i < inside->population; i++) {
        const simple_particle &p = inside->particles[i];
        if (!p.alive) continue;
        EXPECT_LE(std::fabs(p.birth_position.x - c.x), r + 1e-4f);
        EXPECT_LE(std::fabs(p.birth_position.y - c.y), r + 1e-4f);
        EXPECT_LE(std::fabs(p.birth_position.z - c.z), r + 1e-4f);
    }

    // Following: born at the origin, drawn around the instance wherever it goes.
    sps *follow = running(4, 1.0f, 10.0f, 10.0f, "follow");
    sps_link_to_oi(follow, holder);
    sps_set_particles_at_origin(follow, true);
    sps_update(follow, 0.0f);
    EXPECT_FLOAT_EQ(follow->particles[0].birth_position.x, 0.0f);
    OI_set_position_ws(holder, tacka3{-50, 5, 0});
    sps_update_oi(follow, nullptr);
    ASSERT_EQ(follow->vertexsno, 6u);
    EXPECT_FLOAT_EQ(follow->vertexs[0].x, -51.0f); // centre -50 minus the half width
    EXPECT_FLOAT_EQ(follow->vertexs[0].y, 4.0f);
    tacka3 oi_at = OI_get_position_ws(follow->oi);
    EXPECT_FLOAT_EQ(oi_at.x, -50.0f);
}

// ---------------------------------------------------------------- quads

static view *camera_looking_down_z()
{
    view *v = view_create();
    view_set_position(v, tacka3{0, 0, 10});
    view_set_target(v, tacka3{0, 0, 0});
    view_set_up(v, tacka3{0, 1, 0});
    view_compute_view_matrix(v);
    return v;
}

TEST_F(ParticlesTest, QuadsFaceTheCameraWithColourAndTexture)
{
    sps *s = running(8, 1.0f, 10.0f, 10.0f);
    sps_set_constant_size(s, tacka2{0.5f, 0.25f});
    sps_set_position(s, tacka3{1, 2, 3});
    sps_set_position(s, tacka3{1, 2, 3}); // standing there, not moving there
    sps_update(s, 0.0f);
    s->particles[0].color[0] = 10, s->particles[0].color[1] = 20, s->particles[0].color[2] = 30,
    s->particles[0].color[3] = 40;

    view *v = camera_looking_down_z();
    tacka3 R, U;
    __sps_prepare_matrices(v, &R, &U);
    // The camera's right and up, whichever way the view matrix is built.
    EXPECT_NEAR(std::fabs(R.x), 1.0f, 1e-5);
    EXPECT_NEAR(std::fabs(U.y), 1.0f, 1e-5);
    sps_update_oi(s, v);
    ASSERT_EQ(s->vertexsno, 6u);
    EXPECT_EQ(s->mesh->vertexsno, 6u);
    EXPECT_EQ(s->mesh->facesno, 2u);
    const tacka3 c{1, 2, 3};
    const tacka3 rw = tacka3_scale(R, 0.5f), uh = tacka3_scale(U, 0.25f);
    const tacka3 want[6] = {tacka3_sub(tacka3_sub(c, rw), uh), tacka3_sub(tacka3_add(c, rw), uh),
                            tacka3_add(tacka3_sub(c, rw), uh), tacka3_sub(tacka3_add(c, rw), uh),
                            tacka3_add(tacka3_add(c, rw), uh), tacka3_add(tacka3_sub(c, rw), uh)};
    for (int i = 0; i < 6; i++) {
        EXPECT_NEAR(s->vertexs[i].x, want[i].x, 1e-5) << i;
        EXPECT_NEAR(s->vertexs[i].y, want[i].y, 1e-5) << i;
        EXPECT_NEAR(s->vertexs[i].z, want[i].z, 1e-5) << i;
        EXPECT_EQ(s->colors[4 * i + 0], 10);
        EXPECT_EQ(s->colors[4 * i + 3], 40);
        EXPECT_EQ(s->triangles[i], uint32_t(i));
        EXPECT_EQ(s->tvertexs[i].x, SPS_QUAD_UVS[i].x);
        EXPECT_EQ(s->tvertexs[i].y, SPS_QUAD_UVS[i].y);
    }
    // Each triangle faces the camera: its normal is along the view axis.
    tacka3 n = tacka3_cross(tacka3_sub(s->vertexs[1], s->vertexs[0]), tacka3_sub(s->vertexs[2], s->vertexs[0]));
    EXPECT_NEAR(std::fabs(n.z), tacka3_length(n), 1e-4);

    // Bounds around the quads.
    tacka3 bc;
    float br;
    OI_get_bounding_sphere(s->oi, &bc, &br);
    EXPECT_NEAR(bc.x, 1.0f, 1e-5);
    EXPECT_GE(br, 2.0f);

    // A quarter turn swaps the axes.
    s->particles[0].angle = float(M_PI / 2);
    sps_update_oi(s, v);
    // R' = U and U' = -R: the corner c + R' w + U' h is c + U w - R h.
    EXPECT_NEAR(s->vertexs[4].x - c.x, U.x * 0.5f - R.x * 0.25f, 1e-4);
    EXPECT_NEAR(s->vertexs[4].y - c.y, U.y * 0.5f - R.y * 0.25f, 1e-4);

    // Dead particles take no room.
    s->particles[0].alive = 0;
    sps_update_oi(s, v);
    EXPECT_EQ(s->vertexsno, 0u);
    EXPECT_EQ(s->mesh->facesno, 0u);
    view_free(v);
}

TEST_F(ParticlesTest, AlignTurnsQuadsAlongTheMotion)
{
    sps *s = running(4, 1.0f, 10.0f, 10.0f);
    sps_set_constant_size(s, tacka2{0.1f, 1.0f});
    ASSERT_TRUE(sps_set_constant_velocity(s, tacka3{3, 0, 0}));
    sps_set_align(s, true);
    sps_update(s, 0.0f);
    sps_update(s, 0.1f);
    sps_update_oi(s, nullptr); // view axis z, up y
    ASSERT_EQ(s->vertexsno, 6u);
    // The long side (height 1) now runs along x.
    tacka3 up_edge = tacka3_sub(s->vertexs[2], s->vertexs[0]);
    EXPECT_NEAR(std::fabs(up_edge.x), 2.0f, 1e-4);
    EXPECT_NEAR(up_edge.y, 0.0f, 1e-4);
    // Motion along the view axis has no direction in the view plane: unchanged.
    ASSERT_TRUE(sps_set_constant_velocity(s, tacka3{0, 0, 3}));
    sps_update(s, 0.1f);
    sps_update_oi(s, nullptr);
    up_edge = tacka3_sub(s->vertexs[2], s->vertexs[0]);
    EXPECT_NEAR(up_edge.y, 2.0f, 1e-4);
}

TEST_F(ParticlesTest, FrameAnimationPicksAFrameAndEndsTheParticle)
{
    sps *s = running(2, 1.0f, 10.0f, 10.0f);
    sps_set_frame_animation(s, 4, 0.25f);
    sps_update(s, 0.0f);
    sps_stop_burst(s);
    sps_update(s, 0.6f);
    EXPECT_EQ(s->particles[0].frame, 2u);
    sps_update_oi(s, nullptr);
    EXPECT_FLOAT_EQ(s->tvertexs[0].x, 0.5f);
    EXPECT_FLOAT_EQ(s->tvertexs[1].x, 0.75f);
    sps_update(s, 0.5f); // frame 4 of 4: gone
    EXPECT_FALSE(s->particles[0].alive);
}

// ---------------------------------------------------------------- life cycle

TEST_F(ParticlesTest, ActivationDrivesTheInstanceAndTheManagerFindsByName)
{
    sps *s = particles_test_system(sc, 10, 5.0f, 1.0f, 1.0f, "Trail3");
    sps_manager_add(mgr, s);
    EXPECT_EQ(sps_manager_get_systems_no(mgr), 1u);
    EXPECT_TRUE(OI_get_desc(s->oi)->invisible);
    EXPECT_EQ(sps_manager_find(mgr, "trail3", false), s);
    EXPECT_EQ(sps_manager_find(mgr, "trail3", true), nullptr);
    sps_activate(s, true);
    EXPECT_EQ(sps_manager_find(mgr, "TRAIL3", true), s);
    EXPECT_FALSE(OI_get_desc(s->oi)->invisible);
    EXPECT_TRUE(OI_get_desc(s->oi)->collidable);
    EXPECT_TRUE(OI_get_desc(s->oi)->not_hw_lit);
    EXPECT_EQ(sc->collidable_oisno, 1u);
    sps_deactivate(s);
    EXPECT_TRUE(OI_get_desc(s->oi)->invisible);
    EXPECT_EQ(sc->collidable_oisno, 0u);

    // The manager updates active systems only.
    sps *idle = particles_test_system(sc, 10, 5.0f, 1.0f, 1.0f, "idle");
    sps_manager_add(mgr, idle);
    sps_activate(s, false);
    sps_start_burst(s);
    sps_start_burst(idle);
    sps_manager_update(mgr, 0.5f, nullptr);
    EXPECT_GT(s->num_active_particles, 0u);
    EXPECT_GT(s->vertexsno, 0u);
    EXPECT_EQ(idle->num_active_particles, 0u);

    // Freeing one system takes its instance, mesh and material out of the scene.
    ASSERT_TRUE(sps_set_texture(idle, "glow.tga"));
    uint32_t ois = sc->oisno, mats = sc->materialsno;
    sps_deinit(idle);
    EXPECT_EQ(sc->oisno, ois - 1);
    EXPECT_EQ(sc->materialsno, mats - 1);
    EXPECT_EQ(sps_manager_get_systems_no(mgr), 1u);
}

TEST_F(ParticlesTest, BlendingSetUp)
{
    sps *s = particles_test_system(sc, 4, 1.0f, 1.0f, 1.0f);
    sps_manager_add(mgr, s);
    sps_set_additive(s);
    EXPECT_EQ(s->blend_src, SPS_BLEND_SRC_ALPHA);
    EXPECT_EQ(s->blend_dst, SPS_BLEND_ONE);
    EXPECT_TRUE(OI_get_desc(s->oi)->additive);
    sps_set_alpha_blending(s);
    EXPECT_EQ(s->blend_dst, SPS_BLEND_ONE_MINUS_SRC_ALPHA);
    EXPECT_FALSE(OI_get_desc(s->oi)->additive);
    sps_set_blend_factors(s, 0x1234, 1); // not a factor: kept
    EXPECT_EQ(s->blend_dst, SPS_BLEND_ONE_MINUS_SRC_ALPHA);
    sps_set_blend_factors(s, SPS_BLEND_ONE, SPS_BLEND_ONE);
    EXPECT_EQ(s->blend_src, SPS_BLEND_ONE);
    EXPECT_TRUE(OI_get_desc(s->oi)->additive);
}
