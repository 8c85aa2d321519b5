// Instance transforms and hierarchy, cameras, motions and the mixer.

#include <gtest/gtest.h>

#include <cmath>

#include "corelib/view.h"
#include "scene/oi_fk_mixer.h"
#include "scene_test_util.h"

namespace {

const float H = 0.70710678f; // cos 45 degrees

void expect_near3(tacka3 a, tacka3 b, float eps = 1e-5f)
{
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

tacka3 axis_of(const object_instance *oi, int axis)
{
    float m[16];
    quaternion_to_matrix(OI_get_rotation(oi), m);
    return tacka3{m[axis * 4], m[axis * 4 + 1], m[axis * 4 + 2]};
}

} // namespace

TEST(SceneTransforms, ChildOfAScaledParent)
{
    object_instance *p = test_make_oi("p", nullptr, {5, 0, 0});
    OI_set_scale(p, {2, 2, 2});
    object_instance *c = test_make_oi("c");
    OI_attach_child(p, c);
    OI_set_position(c, {1, 0, 0});
    OI_set_rotation(c, quaternion_identity());
    OI_set_scale(c, {1, 1, 1});
    expect_near3(OI_get_position_ws(c), {7, 0, 0});
    expect_near3(OI_get_scale_ws(c), {2, 2, 2});
    OI_deinit(c);
    OI_deinit(p);
}

TEST(SceneTransforms, MovingAParentInvalidatesEveryDescendant)
{
    object_instance *a = test_make_oi("a"), *b = test_make_oi("b", nullptr, {1, 0, 0}),
                    *c = test_make_oi("c", nullptr, {2, 0, 0});
    OI_attach_child(a, b);
    OI_attach_child(b, c);
    expect_near3(OI_get_position_ws(c), {2, 0, 0});
    OI_set_position(a, {0, 10, 0});
    expect_near3(OI_get_position_ws(c), {2, 10, 0});
    // A quarter turn of the root about z carries the grandchild along
    // (row vectors: (1, 0, 0) goes to (0, -1, 0)).
    OI_set_rotation(a, quaternion{H, 0, 0, H});
    expect_near3(OI_get_position_ws(c), {0, 8, 0});
    expect_near3(tacka3{OI_get_matrix_ws(c)[12], OI_get_matrix_ws(c)[13], OI_get_matrix_ws(c)[14]}, {0, 8, 0});
    OI_deinit(c);
    OI_deinit(b);
    OI_deinit(a);
}

TEST(SceneTransforms, AttachingAndDetachingKeepTheWorldPlacement)
{
    object_instance *p = test_make_oi("p", nullptr, {3, -1, 2});
    OI_set_rotation(p, quaternion{H, H, 0, 0});
    OI_set_scale(p, {2, 1, 0.5f});
    object_instance *c = test_make_oi("c", nullptr, {1, 2, 3});
    OI_set_rotation(c, quaternion{0.5f, 0.5f, 0.5f, 0.5f});
    tacka3 before = OI_get_position_ws(c);
    quaternion rot_before = OI_get_rotation_ws(c);
    OI_attach_child(p, c);
    expect_near3(OI_get_position_ws(c), before);
    quaternion r = OI_get_rotation_ws(c);
    EXPECT_NEAR(std::fabs(r.w * rot_before.w + r.x * rot_before.x + r.y * rot_before.y + r.z * rot_before.z), 1.0f,
                1e-5f);
    OI_detach_child(c);
    expect_near3(OI_get_position_ws(c), before);
    EXPECT_FALSE(OI_has_parent(c));
    // A deep chain neither recurses nor slows the invalidation down.
    std::vector<object_instance *> chain;
    for (int i = 0; i < 20000; i++) {
        chain.push_back(test_make_oi("n", nullptr, {1, 0, 0}));
        if (i) OI_attach_child(chain[i - 1], chain[i]);
    }
    OI_set_position(chain[0], {0, 0, 0});
    EXPECT_NEAR(OI_get_position_ws(chain.back()).x, 0.0f, 1e-3f); // every link kept its world place (1, 0, 0)
    OI_set_position(chain[0], {0, 5, 0});
    EXPECT_NEAR(OI_get_position_ws(chain.back()).y, 5.0f, 1e-3f);
    for (size_t i = chain.size(); i-- > 0;) OI_deinit(chain[i]);
    OI_deinit(c);
    OI_deinit(p);
}

TEST(SceneTransforms, RotateAxisToVector)
{
    object_instance *oi = test_make_oi("o");
    OI_rotate_axis_to_vector(oi, {0, 1, 0}, 1); // already there: unchanged
    EXPECT_EQ(OI_get_rotation(oi).w, 1.0f);
    OI_rotate_axis_to_vector(oi, {0, 0, 5}, 1);
    expect_near3(axis_of(oi, 1), {0, 0, 1});
    OI_rotate_axis_to_vector(oi, {1, 1, 0}, 0);
    expect_near3(axis_of(oi, 0), {H, H, 0});
    OI_rotate_axis_to_vector(oi, {0, 0, 0}, 2); // no direction: unchanged
    expect_near3(axis_of(oi, 0), {H, H, 0});
    EXPECT_EXIT(OI_rotate_axis_to_vector(oi, {1, 0, 0}, 3), ::testing::ExitedWithCode(3), "BUG");
    OI_deinit(oi);
}

TEST(SceneCameras, ClippingFieldOfViewAndView)
{
    camera *c = camera_init();
    EXPECT_FLOAT_EQ(camera_get_fov(c), 45.0f);
    camera_set_manual_clipping_planes(c, 0.01f, 500.0f);
    EXPECT_FLOAT_EQ(c->near_clip_range, 0.05f);
    camera_set_manual_clipping_planes(c, NAN, 500.0f);
    EXPECT_FLOAT_EQ(c->near_clip_range, 0.05f);
    EXPECT_EXIT(camera_set_manual_clipping_planes(c, 10.0f, 5.0f), ::testing::ExitedWithCode(3), "near_clip_range");
    camera_deinit(c);

    camera *free_cam = camera_init();
    object_instance *oi = test_make_oi("cam", nullptr, {0, 0, 10});
    camera_set_source_oi(free_cam, oi);
    view *v = view_create();
    ASSERT_TRUE(camera_setup_view(free_cam, v));
    EXPECT_FLOAT_EQ(v->z_near, 0.1f);
    EXPECT_FLOAT_EQ(v->z_far, 100000.0f);
    expect_near3(view_get_target(v), {0, 0, 9}); // looks along -z
    expect_near3(view_get_up(v), {0, 1, 0});
    // Facing a point: the view then looks at it.
    camera_set_target_position(free_cam, {10, 0, 10});
    ASSERT_TRUE(camera_setup_view(free_cam, v));
    expect_near3(view_get_target(v), {1, 0, 10});
    view_free(v);
    camera_deinit(free_cam);
    OI_deinit(oi);
}

TEST(SceneMotions, LinearKeysAndSearch)
{
    motion *m = motion_init();
    ASSERT_TRUE(motion_add_linear_position_keyframe(m, 2, {10, 0, 0}));
    ASSERT_TRUE(motion_add_linear_position_keyframe(m, 0, {0, 0, 0}));
    EXPECT_FALSE(motion_add_linear_position_keyframe(m, 2, {3, 3, 3}));  // same time
    EXPECT_FALSE(motion_add_bezier_position_keyframe(m, 5, {}, {}, {})); // other kind
    EXPECT_FALSE(motion_add_linear_position_keyframe(m, NAN, {}));
    tacka3 p;
    motion_get_position(m, &p, 1);
    EXPECT_FLOAT_EQ(p.x, 5);
    motion_get_position(m, &p, -1);
    EXPECT_FLOAT_EQ(p.x, 0);
    motion_get_position(m, &p, 9);
    EXPECT_FLOAT_EQ(p.x, 10);
    motion_get_position(m, &p, 2);
    EXPECT_FLOAT_EQ(p.x, 10);
    // No scale or rotation keys: neutral samples.
    motion_get_scale(m, &p, 1);
    expect_near3(p, {1, 1, 1});
    quaternion q;
    motion_get_rotation(m, &q, 1);
    EXPECT_EQ(q.w, 1.0f);
    EXPECT_EQ(motion_get_length(m), 0.0f); // the rotation track's length
    motion_deinit(m);
}

TEST(SceneMotions, BezierAndRotationSampling)
{
    motion *m = motion_init();
    // Zero tangents: a cubic with flat ends, symmetric about the middle.
    motion_add_bezier_position_keyframe(m, 0, {0, 0, 0}, {0, 0, 0}, {0, 0, 0});
    motion_add_bezier_position_keyframe(m, 2, {8, 0, 0}, {0, 0, 0}, {0, 0, 0});
    tacka3 p, d;
    motion_get_position(m, &p, 1);
    EXPECT_NEAR(p.x, 4.0f, 1e-5f);
    motion_get_position(m, &p, 0.5f);
    EXPECT_NEAR(p.x, 8.0f * (3 * 0.0625f - 2 * 0.015625f) * 1.0f + 0.0f, 1e-4f); // 8 (3u^2 - 2u^3) at u = 1/4
    motion_get_position_and_direction_bezier(m, &p, &d, 1);
    EXPECT_GT(d.x, 0.0f);
    // Outgoing tangents are scaled by the key span times 1600.
    motion *t = motion_init();
    motion_add_bezier_position_keyframe(t, 0, {0, 0, 0}, {0, 0, 0}, {0, 1.0f / 1600, 0});
    motion_add_bezier_position_keyframe(t, 1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0});
    motion_get_position(t, &p, 0.5f);
    EXPECT_NEAR(p.y, 3 * 0.5f * 0.25f, 1e-5f); // P1 = (0, 1, 0): 3 u (1-u)^2
    motion_deinit(t);

    motion_add_rotation_keyframe(m, 0, quaternion_identity(), nullptr);
    motion_add_rotation_keyframe(m, 4, quaternion{0, 0, 0, 1}, nullptr);
    quaternion q;
    motion_get_rotation(m, &q, 2);
    EXPECT_NEAR(q.w, H, 1e-5f);
    EXPECT_NEAR(q.z, H, 1e-5f);
    EXPECT_EQ(motion_get_length(m), 4.0f);
    motion_deinit(m);
}

namespace {

struct mixer_fixture {
    object_instance *oi = test_make_oi("o");
    motion *m = motion_init();
    motion_instance *mi = nullptr;
    // Linear keys from x = 0 to x = end_x over length seconds.
    explicit mixer_fixture(float length = 2, float end_x = 20)
    {
        motion_add_linear_position_keyframe(m, 0, {0, 0, 0});
        motion_add_linear_position_keyframe(m, length, {end_x, 0, 0});
        motion_add_rotation_keyframe(m, 0, quaternion_identity(), nullptr);
        motion_add_rotation_keyframe(m, length, quaternion_identity(), nullptr);
        mi = motion_instance_create(oi, m);
    }
    ~mixer_fixture()
    {
        OI_deinit(oi);
        motion_deinit(m);
    }
};

} // namespace

TEST(SceneMixer, TimeLoopsHoldsAndStops)
{
    mixer_fixture f;
    motion_instance_play(f.mi, MOTION_PLAY_LOOP, 0, false);
    __advance_time(f.mi, 5);
    EXPECT_FLOAT_EQ(motion_instance_get_current_time(f.mi), 1);
    EXPECT_EQ(motion_instance_get_loop_counter(f.mi), 2u);

    motion_instance_pause(f.mi);
    motion_instance_play(f.mi, MOTION_PLAY_HOLD, 0, false); // a paused instance keeps its time
    EXPECT_FLOAT_EQ(motion_instance_get_current_time(f.mi), 1);
    __advance_time(f.mi, 5);
    EXPECT_FLOAT_EQ(motion_instance_get_current_time(f.mi), 2);
    EXPECT_TRUE(motion_instance_is_playing(f.mi));

    motion_instance_stop(f.mi, 0);
    motion_instance_play(f.mi, MOTION_PLAY_ONCE, 0, false);
    EXPECT_FLOAT_EQ(motion_instance_get_current_time(f.mi), 0);
    __advance_time(f.mi, 3);
    EXPECT_FALSE(motion_instance_is_playing(f.mi));
    EXPECT_FLOAT_EQ(motion_instance_get_current_time(f.mi), 2);

    // A huge step loops without overflowing the counter.
    motion_instance_stop(f.mi, 0);
    motion_instance_play(f.mi, MOTION_PLAY_LOOP, 0, false);
    __advance_time(f.mi, 3e36f);
    EXPECT_GE(motion_instance_get_current_time(f.mi), 0.0f);
    EXPECT_LT(motion_instance_get_current_time(f.mi), 2.0f);
    EXPECT_EQ(motion_instance_get_loop_counter(f.mi), UINT32_MAX);
    motion_instance_stop(f.mi, 0);

    // Playing an instance that plays and is not paused is a fault.
    motion_instance_play(f.mi, MOTION_PLAY_LOOP, 0, false);
    EXPECT_EXIT(motion_instance_play(f.mi, MOTION_PLAY_LOOP, 0, false), ::testing::ExitedWithCode(3), "is_paused");
}

TEST(SceneMixer, EachPlayModeShowsTheLastKeyAtTheEnd)
{
    // Linear keys 0 -> 10 over 2 s, stepped by 0.5 s: the pose each mode shows.
    struct {
        int mode;
        float want[6];
    } cases[] = {
        {MOTION_PLAY_ONCE, {2.5f, 5, 7.5f, 10, 10, 10}}, // stops on the final pose and keeps it
        {MOTION_PLAY_HOLD, {2.5f, 5, 7.5f, 10, 10, 10}},
        {MOTION_PLAY_LOOP, {2.5f, 5, 7.5f, 0, 2.5f, 5}}, // 2 s is the start again
    };
    for (const auto &c : cases) {
        mixer_fixture f(2, 10);
        motion_instance_play(f.mi, c.mode, 0, false);
        for (int step = 0; step < 6; step++) {
            oi_fk_mixer_update(OI_get_fk_mixer(f.oi), 0.5f);
            EXPECT_NEAR(OI_get_position(f.oi).x, c.want[step], 1e-5f) << "mode " << c.mode << " step " << step;
            EXPECT_NEAR(OI_get_position_ws(f.oi).x, c.want[step], 1e-5f);
        }
        EXPECT_EQ(motion_instance_is_playing(f.mi), c.mode != MOTION_PLAY_ONCE);
    }
}

TEST(SceneMixer, PlayOnceOvershootingTheEndShowsTheFinalPose)
{
    mixer_fixture f; // 0 -> 20 over 2 s
    motion_instance_play(f.mi, MOTION_PLAY_ONCE, 0, false);
    oi_fk_mixer_update(OI_get_fk_mixer(f.oi), 0.7f);
    EXPECT_NEAR(OI_get_position(f.oi).x, 7.0f, 1e-5f);
    oi_fk_mixer_update(OI_get_fk_mixer(f.oi), 1.9f); // to 2.6, past the end
    EXPECT_NEAR(OI_get_position(f.oi).x, 20.0f, 1e-5f);
    EXPECT_FALSE(motion_instance_is_playing(f.mi));
    // Played again, it starts over from the first key.
    motion_instance_play(f.mi, MOTION_PLAY_ONCE, 0, false);
    oi_fk_mixer_update(OI_get_fk_mixer(f.oi), 0.5f);
    EXPECT_NEAR(OI_get_position(f.oi).x, 5.0f, 1e-5f);
    // Stopped at once, it leaves the instance where it was.
    motion_instance_stop(f.mi, 0);
    oi_fk_mixer_update(OI_get_fk_mixer(f.oi), 0.5f);
    EXPECT_NEAR(OI_get_position(f.oi).x, 5.0f, 1e-5f);
}

TEST(SceneMixer, FadesAndEffectiveWeight)
{
    mixer_fixture f;
    motion_instance_play(f.mi, MOTION_PLAY_LOOP, 0.2f, false);
    EXPECT_FLOAT_EQ(motion_instance_get_effective_weight(f.mi), 0);
    __advance_time(f.mi, 0.1f);
    EXPECT_NEAR(motion_instance_get_effective_weight(f.mi), 0.5f, 1e-5f);
    __advance_time(f.mi, 0.1f);
    EXPECT_NEAR(motion_instance_get_effective_weight(f.mi), 1.0f, 1e-5f);
    motion_instance_set_weight(f.mi, 0.5f);
    EXPECT_NEAR(motion_instance_get_effective_weight(f.mi), 0.5f, 1e-6f);
    motion_instance_stop(f.mi, 0.5f);
    EXPECT_FALSE(motion_instance_is_playing(f.mi));
    __advance_time(f.mi, 0.25f);
    EXPECT_NEAR(motion_instance_get_effective_weight(f.mi), 0.25f, 1e-5f);
    __advance_time(f.mi, 0.5f);
    EXPECT_EQ(motion_instance_get_effective_weight(f.mi), 0.0f);
    EXPECT_FALSE(f.mi->is_fading_out);
}

TEST(SceneMixer, BlendingPrioritiesWeightsAndAdditives)
{
    mixer_fixture f;
    object_instance *oi = f.oi;
    motion_instance_play(f.mi, MOTION_PLAY_LOOP, 0, false);
    oi_fk_mixer_update(OI_get_fk_mixer(oi), 1.0f);
    expect_near3(OI_get_position(oi), {10, 0, 0});

    // A second non-additive instance of higher priority blends in by its weight.
    motion *other = motion_init();
    motion_add_linear_position_keyframe(other, 0, {0, 20, 0});
    motion_instance *mi2 = motion_instance_create(oi, other);
    motion_instance_set_priority(mi2, 5);
    motion_instance_set_weight(mi2, 0.25f);
    motion_instance_play(mi2, MOTION_PLAY_LOOP, 0, false);
    oi_fk_mixer_update(OI_get_fk_mixer(oi), 0.5f); // first at 1.5 -> (15, 0, 0)
    expect_near3(OI_get_position(oi), {15 * 0.75f, 5, 0});

    // Below 0.001 an instance does not count.
    motion_instance_set_weight(mi2, 0.0005f);
    oi_fk_mixer_update(OI_get_fk_mixer(oi), 0.5f); // first at 2.0 loops to 0
    expect_near3(OI_get_position(oi), {0, 0, 0});

    // An additive instance adds its raw sample.
    motion *add = motion_init();
    motion_add_linear_position_keyframe(add, 0, {0, 0, 3});
    motion_instance *mi3 = motion_instance_create(oi, add);
    motion_instance_set_additive(mi3, true);
    motion_instance_play(mi3, MOTION_PLAY_LOOP, 0, false);
    oi_fk_mixer_update(OI_get_fk_mixer(oi), 0.5f);
    expect_near3(OI_get_position(oi), {5, 0, 3});
    expect_near3(OI_get_scale(oi), {1, 1, 1}); // no scale keys: the additive scale adds nothing

    // A single contributor below full weight blends with the current pose.
    motion_instance_stop(f.mi, 0);
    motion_instance_stop(mi3, 0);
    motion_instance_set_weight(mi2, 0.5f);
    OI_set_position(oi, {0, 0, 0});
    oi_fk_mixer_update(OI_get_fk_mixer(oi), 0.1f);
    expect_near3(OI_get_position(oi), {0, 10, 0});

    // The motion's initial pose composes with non-additive samples.
    motion_set_initial_pose(other, {1, 1, 1}, quaternion_identity(), {2, 2, 2});
    motion_instance_set_weight(mi2, 1.0f);
    oi_fk_mixer_update(OI_get_fk_mixer(oi), 0.1f);
    expect_near3(OI_get_position(oi), {1, 21, 1});
    expect_near3(OI_get_scale(oi), {2, 2, 2});

    motion_instance_free(mi2);
    motion_instance_free(mi3);
    motion_deinit(other);
    motion_deinit(add);
}

TEST(SceneMixer, MotionWithoutRotationKeysStillAdvancesAndLoops)
{
    object_instance *oi = test_make_oi("o");
    motion *m = motion_init();
    motion_add_linear_position_keyframe(m, 0, {0, 0, 0});
    motion_add_linear_position_keyframe(m, 2, {2, 0, 0});
    motion_instance *mi = motion_instance_create(oi, m);
    motion_instance_play(mi, MOTION_PLAY_LOOP, 0, false);
    __advance_time(mi, 3);
    EXPECT_FLOAT_EQ(motion_instance_get_current_time(mi), 1);
    motion *empty = motion_init();
    motion_instance *me = motion_instance_create(oi, empty);
    motion_instance_play(me, MOTION_PLAY_LOOP, 0, false);
    __advance_time(me, 3); // no keys at all: time stays 0, no division by zero
    EXPECT_EQ(motion_instance_get_current_time(me), 0.0f);
    OI_deinit(oi);
    motion_deinit(m);
    motion_deinit(empty);
}

TEST(SceneMixer, MotionSetInstancePlaysItsMembersTogether)
{
    object_instance *oi = test_make_oi("o");
    motionset *s = motionset_init();
    motionset_copy_name(s, "set");
    motion *a = motion_init(), *b = motion_init();
    motion_copy_name(a, "a");
    motion_copy_name(b, "b");
    motionset_add_motion(s, a);
    motionset_add_motion(s, b);
    EXPECT_EQ(motionset_get_motion(s, "b"), b);
    EXPECT_EQ(motion_get_parent_motionset(a), s);
    motionset_instance *msi = motionset_instance_attach(s, oi);
    ASSERT_NE(msi, nullptr);
    EXPECT_EQ(OI_get_fk_mixer(oi)->count, 2u);
    motionset_instance_play(msi, MOTION_PLAY_LOOP, 0.3f, false);
    EXPECT_FLOAT_EQ(motionset_instance_get_first_cur_fade_in_time(msi), 0.3f);
    motionset_instance_stop(msi, 0);
    EXPECT_FALSE(motion_instance_is_playing(msi->members[1]));
    motionset_instance_detach(msi);
    EXPECT_EQ(OI_get_fk_mixer(oi)->count, 0u);
    motionset_deinit(s);
    EXPECT_EQ(motion_get_parent_motionset(a), nullptr);
    motion_deinit(a);
    motion_deinit(b);
    OI_deinit(oi);
}
