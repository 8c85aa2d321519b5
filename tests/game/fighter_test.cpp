// The player's fighter on the default data, flown by injected input at a
// fixed step: flight figures, energy, lasers, missiles, steering, the chase
// camera and the score.

#include <cmath>
#include <vector>

#include "actors/actors.h"
#include "corelib/view.h"
#include "game/gameplay_core.h"
#include "game/the_vorn.h"
#include "game/the_vorn_game.h"
#include "game_harness.h"
#include "renderer/OGL_input.h"
#include "scene/object_instance.h"
#include "scene/scene.h"

namespace {

class Fighter : public GameHarness {
  protected:
    void SetUp() override
    {
        GameHarness::SetUp();
        if (IsSkipped()) return;
        new_level();
        bolid = scene_get_oi_by_name(vorn_get_scene(), "bolid");
        ASSERT_NE(bolid, nullptr);
    }
    // Far from the station's power field the fighter recharges by dt a second;
    // it faces away from the field, so nothing is ahead of it.
    void park_far_away()
    {
        OI_set_position_ws(bolid, {20000.0f, 0.0f, 0.0f});
        OI_set_rotation_ws(bolid, quaternion_from_axis_angle({0, 1, 0}, 3.14159265f));
        ASSERT_GT(quaternion_rotate(OI_get_rotation_ws(bolid), {-1, 0, 0}).x, 0.99f);
    }
    float engine() { return fighter_query_float(GA_FIGHTER_Q_ENGINE) * GA_FIGHTER_MAX_ENERGY; }
    float lasers() { return fighter_query_float(GA_FIGHTER_Q_LASERS) * GA_FIGHTER_MAX_ENERGY; }
    float speed() { return fighter_query_float(GA_QUERY_SPEED); }
    object_instance *bolid = nullptr;
};

TEST_F(Fighter, WHeldSpeedsUpThreePerSecondToSixAndDrainsTheEngine)
{
    park_far_away();
    tacka3 start = OI_get_position_ws(bolid);
    hold_key('W', true);
    ASSERT_TRUE(steps(25, 0.04f));
    EXPECT_NEAR(speed(), 3.0f, 1e-4f);
    ASSERT_TRUE(steps(25, 0.04f));
    EXPECT_NEAR(speed(), 6.0f, 1e-4f);
    // Per frame: +0.04 recharge (none on the first, the engine being full),
    // -0.16 for the thrust, -speed x 0.02 for the speed: 50 frames of speed
    // 0.12 k (k = 1..50) drain 3.06, the thrust 8, the recharge gives 1.96.
    EXPECT_NEAR(engine(), 40.0f - 8.0f - 3.06f + 1.96f, 1e-3f);
    ASSERT_TRUE(steps(25, 0.04f));
    EXPECT_FLOAT_EQ(speed(), 6.0f) << "speed stops at 6";
    // At speed 6 the fighter covers 36 units a second along its -x axis.
    tacka3 before = OI_get_position_ws(bolid);
    ASSERT_TRUE(steps(25, 0.04f));
    EXPECT_NEAR(tacka3_distance(before, OI_get_position_ws(bolid)), 36.0f, 0.05f);
    EXPECT_GT(tacka3_distance(start, OI_get_position_ws(bolid)), 36.0f);
    hold_key('W', false);

    // Released, the speed returns to 0 at 2 a second and stops there.
    ASSERT_TRUE(steps(25, 0.04f));
    EXPECT_NEAR(speed(), 4.0f, 1e-4f);
    ASSERT_TRUE(steps(100, 0.04f));
    EXPECT_FLOAT_EQ(speed(), 0.0f);
}

TEST_F(Fighter, BackwardStrafeAndRollEachCostEnergyAndReturnToRest)
{
    park_far_away();
    hold_key('S', true);
    ASSERT_TRUE(steps(10, 0.1f));
    EXPECT_NEAR(speed(), -3.0f, 1e-4f);
    hold_key('S', false);
    hold_key('D', true);
    hold_key('Q', true);
    float e = engine();
    ASSERT_TRUE(step(0.1f));
    // +0.1 recharge, strafe and roll 0.5 each, the speed drain 3/6 x 0.3 (taken
    // before the released backward thrust decays).
    EXPECT_NEAR(engine(), e + 0.1f - 0.5f - 0.5f - 3.0f / 6.0f * 0.1f * 3.0f, 1e-3f);
    hold_key('D', false);
    hold_key('Q', false);
    ASSERT_TRUE(steps(50, 0.1f));
    EXPECT_FLOAT_EQ(speed(), 0.0f);
}

TEST_F(Fighter, TheLaserBankGivesAShotEveryFifthOfASecondWhileItHoldsTwoUnits)
{
    park_far_away();
    OGL_input_mouse_move_event(400, 300);
    hold_button(OGL_MOUSE_BUTTON_LEFT, true);
    std::vector<int> shot_frames;
    float last = lasers();
    for (int frame = 0; frame < 300; frame++) {
        ASSERT_TRUE(step(0.1f));
        float now = lasers();
        if (now < last - 1.5f) shot_frames.push_back(frame);
        last = now;
    }
    hold_button(OGL_MOUSE_BUTTON_LEFT, false);
    ASSERT_GE(shot_frames.size(), 20u) << "a full bank fires at least 20 shots";
    for (size_t i = 1; i < shot_frames.size(); i++) EXPECT_GE(shot_frames[i] - shot_frames[i - 1], 2) << i;
    // Once the bank is spent the recharge (0.1 a frame) allows a shot every 20 frames.
    int gap_at_end = shot_frames.back() - shot_frames[shot_frames.size() - 2];
    EXPECT_GE(gap_at_end, 15);
    EXPECT_LE(lasers(), 4.0f);
}

TEST_F(Fighter, TheRightButtonWithoutATargetFiresNoMissile)
{
    park_far_away();
    ASSERT_TRUE(step(0.1f));
    game_actor *target = nullptr;
    game_actor_query(fighter(), GA_FIGHTER_Q_TARGET, &target);
    ASSERT_EQ(target, nullptr) << "nothing ahead far out in space";
    hold_button(OGL_MOUSE_BUTTON_RIGHT, true);
    ASSERT_TRUE(steps(10, 0.1f));
    hold_button(OGL_MOUSE_BUTTON_RIGHT, false);
    EXPECT_FLOAT_EQ(lasers(), GA_FIGHTER_MAX_ENERGY);
}

TEST_F(Fighter, TheMouseOffsetTurnsTheShipSmoothly)
{
    park_far_away();
    quaternion q0 = OI_get_rotation_ws(bolid);
    tacka3 x0 = quaternion_rotate(q0, {1, 0, 0});
    OGL_input_mouse_move_event(600, 300); // yaw target 1 radian a second
    std::vector<float> turned;
    for (int i = 0; i < 40; i++) {
        ASSERT_TRUE(step(0.05f));
        tacka3 x = quaternion_rotate(OI_get_rotation_ws(bolid), {1, 0, 0});
        turned.push_back(std::acos(std::clamp(tacka3_dot(x0, x), -1.0f, 1.0f)));
    }
    // The rate builds up without a jump, so the turn accelerates at first.
    EXPECT_LT(turned[0], 0.05f * 0.5f);
    EXPECT_GT(turned[10] - turned[9], turned[1] - turned[0]);
    // After 2 s the rate is close to 1 radian a second.
    EXPECT_NEAR((turned[39] - turned[38]) / 0.05f, 1.0f, 0.1f);
    // Yaw turns about the ship's own y axis: it stays put.
    tacka3 y0 = quaternion_rotate(q0, {0, 1, 0});
    tacka3 y = quaternion_rotate(OI_get_rotation_ws(bolid), {0, 1, 0});
    EXPECT_GT(tacka3_dot(y0, y), 0.999f);
}

TEST_F(Fighter, TheChaseCameraLooksPastTheShipAndTheViewFollowsIt)
{
    ASSERT_TRUE(steps(3, 0.04f));
    view *v = vorn_get_view_camera();
    tacka3 eye = view_get_position(v);
    tacka3 look = tacka3_normalize(tacka3_sub(view_get_target(v), eye));
    tacka3 ship = OI_get_position_ws(bolid);
    tacka3 nose = tacka3_neg(quaternion_rotate(OI_get_rotation_ws(bolid), {1, 0, 0}));
    EXPECT_GT(tacka3_dot(look, nose), 0.9f) << "the camera looks where the ship flies";
    EXPECT_GT(tacka3_dot(tacka3_normalize(tacka3_sub(ship, eye)), look), 0.9f) << "with the ship in front of it";
    EXPECT_LT(tacka3_distance(eye, ship), 15.0f);
}

TEST_F(Fighter, DamageIsClampedAndTheScoreAddsUp)
{
    ga_damage d = {12.5f, 0, {0, 0, 0}};
    game_actor_event(fighter(), GA_EVENT_DAMAGE, &d);
    EXPECT_FLOAT_EQ(fighter_query_float(GA_FIGHTER_Q_LIFE), 17.5f);
    EXPECT_FLOAT_EQ(fighter_query_float(GA_FIGHTER_Q_LIFE_LEVEL), 17.5f / 30.0f);
    d.amount = 100.0f;
    game_actor_event(fighter(), GA_EVENT_DAMAGE, &d);
    EXPECT_FLOAT_EQ(fighter_query_float(GA_QUERY_LIFE), 0.0f);
    d.amount = -500.0f;
    game_actor_event(fighter(), GA_EVENT_DAMAGE, &d);
    EXPECT_FLOAT_EQ(fighter_query_float(GA_QUERY_LIFE), GA_FIGHTER_MAX_LIFE) << "a repair never overfills";

    for (int32_t add : {100, 100, -1000}) game_actor_event(fighter(), GA_EVENT_ADD_SCORE, &add);
    int32_t score = 0;
    game_actor_query(fighter(), GA_FIGHTER_Q_SCORE, &score);
    EXPECT_EQ(score, -800);
    game_actor_event(fighter(), GA_EVENT_NEXT_LEVEL, nullptr);
    game_actor_query(fighter(), GA_FIGHTER_Q_SCORE, &score);
    EXPECT_EQ(score, -800) << "the next level keeps the score";
}

TEST_F(Fighter, ShotsThatHitScoreByTheVictimsKind)
{
    int32_t before = 0, after = 0;
    game_actor_query(fighter(), GA_FIGHTER_Q_SCORE, &before);
    int32_t kind = -1;
    if (!game_actor_query(station(), GA_QUERY_KIND, &kind)) GTEST_SKIP() << "this build's station answers no kind yet";
    game_actor_event(fighter(), GA_EVENT_SHOT_HIT, station());
    game_actor_query(fighter(), GA_FIGHTER_Q_SCORE, &after);
    EXPECT_EQ(after - before, -1000);
    game_actor *rock = nullptr;
    dlist_for_each(n, &vorn_get_gas()->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(n);
        if (game_actor_is_attacker(ga)) rock = ga;
    }
    ASSERT_NE(rock, nullptr);
    game_actor_event(fighter(), GA_EVENT_SHOT_HIT, rock);
    game_actor_query(fighter(), GA_FIGHTER_Q_SCORE, &before);
    EXPECT_EQ(before - after, 100);
}

} // namespace
