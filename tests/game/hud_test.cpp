// The HUD without a window: damage marks from life, blinking, the station
// alert's steps, the accuracies and texts of the statistics screen, and the
// values read from the actors of the default world.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "game/the_vorn_ui.h"
#include "game_world_fixture.h"

namespace {

TEST(HudMarks, CountFollowsTheLostTenths)
{
    EXPECT_EQ(vorn_ui_damage_marks(1.0f), 0);
    EXPECT_EQ(vorn_ui_damage_marks(0.95f), 1);
    EXPECT_EQ(vorn_ui_damage_marks(21.0f / 30.0f), 3); // 70 % life: marks 1 to 3
    EXPECT_EQ(vorn_ui_damage_marks(0.69f), 4);
    EXPECT_EQ(vorn_ui_damage_marks(20.0f / 50.0f), 6);
    EXPECT_EQ(vorn_ui_damage_marks(0.0f), 10);
    EXPECT_EQ(vorn_ui_damage_marks(-0.5f), 10);
    EXPECT_EQ(vorn_ui_damage_marks(1.5f), 0);
}

class HudState : public ::testing::Test {
  protected:
    void SetUp() override
    {
        vorn_ui_clear_counters();
        v.fighter_life = v.station_life = 1.0f;
        // Back to a known blink phase: run the timer past its wrap.
        vorn_ui_step(VORN_UI_BLINK_PERIOD + 0.01f, &v);
    }
    vorn_ui_values v{};
};

TEST_F(HudState, BlinkIsOnInTheMiddleOfEachPeriod)
{
    const vorn_ui_state *s = vorn_ui_get_state();
    std::string seen;
    for (int i = 0; i < 14; i++) {
        vorn_ui_step(0.1f, &v);
        seen += s->blink ? '1' : '0';
    }
    // 0.1 .. 0.6 from the wrap: on after 0.3; after 0.6 the timer wraps.
    EXPECT_EQ(seen.substr(0, 7), "0001100");
    EXPECT_LE(s->blink_timer, VORN_UI_BLINK_PERIOD);
}

TEST_F(HudState, MarksStayUntilANewGame)
{
    const vorn_ui_state *s = vorn_ui_get_state();
    v.fighter_life = 21.0f / 30.0f;
    v.station_life = 0.05f;
    vorn_ui_step(0.0f, &v);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(s->fighter_marks), VORN_UI_MARKS),
              std::string("\1\1\1\0\0\0\0\0\0\0", VORN_UI_MARKS));
    for (int i = 0; i < VORN_UI_MARKS; i++) EXPECT_EQ(s->station_marks[i], 1) << i;
    v.fighter_life = v.station_life = 1.0f; // healed for the next level
    vorn_ui_step(0.0f, &v);
    EXPECT_EQ(s->fighter_marks[2], 1);
    EXPECT_EQ(s->station_marks[9], 1);
    vorn_ui_clear_counters();
    for (int i = 0; i < VORN_UI_MARKS; i++) EXPECT_EQ(s->fighter_marks[i] + s->station_marks[i], 0) << i;
}

TEST_F(HudState, StationAlertEndsAfterItsBlinks)
{
    const vorn_ui_state *s = vorn_ui_get_state();
    vorn_ui_station_alert();
    float t = 0.0f;
    while (s->alert && t < 5.0f) {
        vorn_ui_step(0.01f, &v);
        t += 0.01f;
    }
    EXPECT_FALSE(s->alert);
    EXPECT_NEAR(t, 6 * VORN_UI_ALERT_STEP, 0.02f);
    // A long frame does not leave blinks behind.
    vorn_ui_station_alert();
    vorn_ui_step(0.2f, &v);
    EXPECT_EQ(s->alert_blinks, 1);
    EXPECT_TRUE(s->alert);
    // A hit during the alert starts it again.
    vorn_ui_station_alert();
    EXPECT_EQ(s->alert_blinks, 0);
    vorn_ui_clear_counters();
    EXPECT_FALSE(s->alert);
}

TEST(HudStatistics, Accuracy)
{
    EXPECT_EQ(vorn_ui_accuracy(0, 0), 0); // no shots: no division
    EXPECT_EQ(vorn_ui_accuracy(3, 0), 0);
    EXPECT_EQ(vorn_ui_accuracy(3, 7), 42);
    EXPECT_EQ(vorn_ui_accuracy(2, 3), 66);
    EXPECT_EQ(vorn_ui_accuracy(7, 7), 100);
    EXPECT_EQ(vorn_ui_accuracy(INT_MAX, INT_MAX), 100); // no overflow in hits x 100
    EXPECT_EQ(vorn_ui_accuracy(-1, 5), 0);
}

TEST(HudStatistics, TextsInOrderAndPlace)
{
    vorn_level_statistics st{12, 9, 0, 0};
    vorn_ui_text_line lines[VORN_UI_STATISTICS_LINES];
    vorn_ui_statistics_lines(2, &st, lines);
    const char *want[] = {"LEVEL 2 STATISTICS: ", "Player Shots: 12",       "Player Accuracy: 75%",
                          "Sentinel Shots: 0",    "Sentinels Accuracy: 0%", "PRESS <SPACE> TO CONTINUE "};
    const int32_t ys[] = {200, 225, 245, 265, 285, 315};
    for (int i = 0; i < VORN_UI_STATISTICS_LINES; i++) {
        EXPECT_STREQ(lines[i].text, want[i]);
        EXPECT_EQ(lines[i].x, 100);
        EXPECT_EQ(lines[i].y, ys[i]);
        EXPECT_EQ(lines[i].font, i == 0 || i == 5 ? VORN_UI_FONT_BIG : VORN_UI_FONT_SMALL) << i;
    }
}

class HudValues : public GameWorld {};

TEST_F(HudValues, ReadFromTheActors)
{
    start_default_world();
    if (IsSkipped()) return;
    game_actor *s3 = actor("sentinel_03", "sentinel");
    ASSERT_NE(s3, nullptr);
    ga_damage kill{5.0f, 0, {0, 0, 0}};
    game_actor_event(s3, GA_EVENT_DAMAGE, &kill);
    ga_damage hit{10.0f, 0, {0, 0, 0}};
    game_actor_event(station(), GA_EVENT_DAMAGE, &hit);
    fighter_state()->score = 4200; // (after the station's hit penalty)

    vorn_ui_values v;
    vorn_ui_gather(&v);
    EXPECT_EQ(v.score, 4200);
    EXPECT_NEAR(v.station_life, 40.0f / 50.0f, 1e-5f);
    for (int i = 0; i < VORN_UI_SENTINELS; i++) EXPECT_EQ(v.sentinel_alive[i], i == 2 ? 0 : 1) << i;
    EXPECT_EQ(v.level, vorn_get_current_level());
    EXPECT_EQ(v.remaining_seconds, vorn_get_remaining_seconds());
    EXPECT_FALSE(v.has_target); // the stand-in fighter locks nothing
}

TEST_F(HudValues, AMissingSentinelIsAFaultReport)
{
    start_default_world();
    if (IsSkipped()) return;
    game_actor *s5 = actor("sentinel_05", "sentinel");
    ASSERT_NE(s5, nullptr);
    s5->name[std::strlen(s5->name) - 1] = '9'; // the scene has no fifth sentinel now
    vorn_ui_values v;
    EXPECT_EXIT(vorn_ui_gather(&v), testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS), "vorn_get_game_actor");
    s5->name[std::strlen(s5->name) - 1] = '5';
}

} // namespace
