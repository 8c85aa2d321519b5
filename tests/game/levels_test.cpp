// The game state machine on the default data, stepped without a window:
// transitions, level time, pause, statistics, game over, the letterbox and
// the camera shake.

#include <cmath>

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

class Levels : public GameHarness {
  protected:
    // Keeps station and fighter whole so that only the level clock decides.
    static void keep_alive()
    {
        game_actor_event(station(), GA_EVENT_START, nullptr);
        game_actor_event(fighter(), GA_EVENT_NEXT_LEVEL, nullptr);
    }
};

TEST_F(Levels, EscapeLeadsFromTheTitleToLevelOneAndFromTheLevelToTheHiScores)
{
    vorn_game_deinit();
    vorn_new_game();
    vorn_game_set_state(VORN_GAME_INTRO);
    ASSERT_TRUE(step(0.04f));
    EXPECT_EQ(vorn_game_get_state(), VORN_GAME_TITLE) << "without a window the intro hands over at once";
    ASSERT_TRUE(steps(5, 0.04f));
    EXPECT_EQ(vorn_game_get_state(), VORN_GAME_TITLE);
    EXPECT_TRUE(vorn_get_passes()->scene);

    tap_key(OGL_KEY_ESC);
    ASSERT_TRUE(step(0.04f));
    EXPECT_EQ(vorn_game_get_state(), VORN_GAME_LEVEL);
    ASSERT_TRUE(steps(10, 0.04f)) << "the Escape that skipped the title must not end the level";
    EXPECT_EQ(vorn_game_get_state(), VORN_GAME_LEVEL);
    EXPECT_EQ(vorn_get_current_level(), 1);
    EXPECT_TRUE(vorn_get_passes()->hud);

    tap_key(OGL_KEY_ESC);
    ASSERT_TRUE(step(0.04f));
    EXPECT_EQ(vorn_game_get_state(), VORN_GAME_HISCORE);
}

TEST_F(Levels, A180SecondLevelIsWonOnItsNineHundredthStepOfAFifth)
{
    new_level();
    for (int i = 1; i < 900; i++) {
        keep_alive();
        ASSERT_TRUE(step(0.2f));
        ASSERT_EQ(vorn_game_get_state(), VORN_GAME_LEVEL) << "step " << i;
    }
    EXPECT_EQ(vorn_get_remaining_seconds(), 0);
    keep_alive();
    ASSERT_TRUE(step(0.2f));
    EXPECT_EQ(vorn_game_get_state(), VORN_GAME_STATISTICS);
    EXPECT_FLOAT_EQ(vorn_get_level_time(), 180.0f);

    // Statistics: Space leads to level 2, freshly prepared.
    ASSERT_TRUE(step(0.2f));
    tap_key(OGL_KEY_SPACE);
    ASSERT_TRUE(step(0.2f));
    EXPECT_EQ(vorn_game_get_state(), VORN_GAME_LEVEL);
    EXPECT_EQ(vorn_get_current_level(), 2);
    EXPECT_FLOAT_EQ(vorn_get_level_time(), 0.0f);
}

TEST_F(Levels, SpaceAfterLevelTwoEndsTheGameAtTheHiScores)
{
    new_level();
    vorn_prepare_level(2);
    for (int i = 0; i < 900 && vorn_game_get_state() == VORN_GAME_LEVEL; i++) {
        keep_alive();
        ASSERT_TRUE(step(0.2f));
    }
    ASSERT_EQ(vorn_game_get_state(), VORN_GAME_STATISTICS);
    ASSERT_TRUE(step(0.2f));
    tap_key(OGL_KEY_SPACE);
    ASSERT_TRUE(step(0.2f));
    EXPECT_EQ(vorn_game_get_state(), VORN_GAME_HISCORE) << "there is no level 3";
}

TEST_F(Levels, EscapeOnTheStatisticsScreenGoesToTheHiScores)
{
    vorn_game_set_state(VORN_GAME_STATISTICS);
    ASSERT_TRUE(step(0.04f));
    tap_key(OGL_KEY_ESC);
    ASSERT_TRUE(step(0.04f));
    EXPECT_EQ(vorn_game_get_state(), VORN_GAME_HISCORE);
}

TEST_F(Levels, PFreezesTheLevelAndPAgainResumesIt)
{
    new_level();
    ASSERT_TRUE(steps(10, 0.1f));
    float before = vorn_get_level_time();
    tap_key('P');
    ASSERT_TRUE(step(0.1f));
    EXPECT_TRUE(vorn_game_is_paused());
    hold_key('W', true);
    ASSERT_TRUE(steps(20, 0.1f));
    EXPECT_FLOAT_EQ(vorn_get_level_time(), before) << "level time stands while paused";
    EXPECT_FLOAT_EQ(fighter_query_float(GA_QUERY_SPEED), 0.0f) << "so does the fighter";
    tap_key('P');
    ASSERT_TRUE(step(0.1f));
    EXPECT_FALSE(vorn_game_is_paused());
    EXPECT_GT(vorn_get_level_time(), before);
    hold_key('W', false);
}

TEST_F(Levels, ADestroyedFighterOrStationEndsTheGame)
{
    for (game_actor *victim : {fighter(), station()}) {
        new_level();
        ga_damage d = {1000.0f, 0, {0, 0, 0}};
        game_actor_event(victim, GA_EVENT_DAMAGE, &d);
        float life = 1.0f;
        game_actor_query(victim, GA_QUERY_LIFE, &life);
        if (life > 0.0f) GTEST_SKIP() << "this build's station takes no damage yet";
        ASSERT_TRUE(step(0.04f));
        EXPECT_EQ(vorn_game_get_state(), VORN_GAME_HISCORE) << game_actor_get_name(victim);
    }
}

TEST_F(Levels, ANewGameRestoresTheFighterAndStartsLevelOne)
{
    new_level();
    vorn_prepare_level(2);
    ga_damage d = {12.0f, 0, {0, 0, 0}};
    game_actor_event(fighter(), GA_EVENT_DAMAGE, &d);
    int32_t points = 500;
    game_actor_event(fighter(), GA_EVENT_ADD_SCORE, &points);
    vorn_new_game();
    int32_t score = -1;
    game_actor_query(fighter(), GA_FIGHTER_Q_SCORE, &score);
    EXPECT_EQ(score, 0);
    EXPECT_FLOAT_EQ(fighter_query_float(GA_FIGHTER_Q_LIFE), GA_FIGHTER_MAX_LIFE);
    EXPECT_EQ(vorn_get_current_level(), 1);
    EXPECT_FLOAT_EQ(vorn_get_level_time(), 0.0f);
}

TEST_F(Levels, LetterboxBarsGrowAndShrinkFiftyPixelsASecond)
{
    vorn_game_deinit();
    vorn_letterbox_extend();
    vorn_letterbox_update(1.0f);
    EXPECT_FLOAT_EQ(vorn_letterbox_get_height(), 50.0f);
    EXPECT_EQ(vorn_letterbox_get_state(), VORN_LETTERBOX_EXTENDING);
    vorn_letterbox_update(1.5f);
    EXPECT_FLOAT_EQ(vorn_letterbox_get_height(), 100.0f);
    EXPECT_EQ(vorn_letterbox_get_state(), VORN_LETTERBOX_SHOWN);
    vorn_letterbox_extend();
    EXPECT_EQ(vorn_letterbox_get_state(), VORN_LETTERBOX_SHOWN) << "extending shown bars changes nothing";
    vorn_letterbox_retract();
    vorn_letterbox_update(0.5f);
    EXPECT_FLOAT_EQ(vorn_letterbox_get_height(), 75.0f);
    vorn_letterbox_update(10.0f);
    EXPECT_FLOAT_EQ(vorn_letterbox_get_height(), 0.0f);
    EXPECT_EQ(vorn_letterbox_get_state(), VORN_LETTERBOX_HIDDEN);
}

TEST_F(Levels, TheShakeMovesTheViewWithinAShrinkingAmplitudeAndStops)
{
    new_level();
    object_instance *cam = scene_get_oi_by_name(vorn_get_scene(), "Camera_bolid01");
    ASSERT_NE(cam, nullptr);
    const float duration = 1.0f, amplitude = 2.0f, dt = 0.02f;
    vorn_start_shake(duration, amplitude);
    float elapsed = 0.0f, largest = 0.0f;
    bool zero_seen = false;
    for (int i = 0; i < 80; i++) {
        vorn_camera_and_scene_pass(dt);
        tacka3 off = tacka3_sub(view_get_position(vorn_get_view_camera()), OI_get_position_ws(cam));
        for (float c : {off.x, off.y, off.z}) {
            EXPECT_GE(c, -1e-3f);
            EXPECT_LE(c, amplitude + 1e-3f);
        }
        float len = tacka3_length(off);
        largest = std::max(largest, len);
        if (elapsed > 0.2f && elapsed < duration && len < 1e-5f) zero_seen = true;
        // Late in the shake the amplitude has shrunk.
        if (elapsed > 0.9f * duration + 0.1f) {
            EXPECT_LT(len, 0.5f * amplitude * std::sqrt(3.0f)) << elapsed;
        }
        elapsed += dt;
    }
    EXPECT_GT(largest, 0.1f) << "the view shook";
    EXPECT_TRUE(zero_seen) << "each new sub-step starts from no offset";
    tacka3 off = tacka3_sub(view_get_position(vorn_get_view_camera()), OI_get_position_ws(cam));
    EXPECT_LT(tacka3_length(off), 1e-5f) << "the shake has ended";
}

TEST_F(Levels, ChanceTablesOfBothLevelsAndAnUnknownLevelIsAFault)
{
    vorn_level_insert_chances(1);
    EXPECT_EQ(vorn_get_chances()[GA_KIND_JUNK_D].low, 21);
    EXPECT_EQ(vorn_get_chances()[GA_KIND_JUNK_A].high, 0);
    vorn_level_insert_chances(2);
    EXPECT_EQ(vorn_get_chances()[GA_KIND_JUNK_A].low, 91);
    EXPECT_EQ(vorn_get_chances()[GA_KIND_ASTEROID_D].high, 90);
    EXPECT_EXIT(vorn_level_insert_chances(3), testing::ExitedWithCode(3), "vorn_level_insert_chances");
}

} // namespace
