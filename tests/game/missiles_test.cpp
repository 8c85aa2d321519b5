// Homing missiles on the default scene: start speed from the launcher,
// acceleration to the type's top speed, hits, lost targets and lifetime.

#include "game_world_fixture.h"

namespace {

class Missiles : public GameWorld {
  protected:
    void SetUp() override
    {
        start_default_world();
        if (IsSkipped()) return;
        silence_sentinels();
        target = actors_of("asteroid_d")[0];
        launch(target, {0, 800, 0}, {1, 800, 0}, 0.0f);
    }
    const vorn_missile_t *first() { return vorn_missile_get(0); }
    game_actor *target = nullptr;
};

} // namespace

TEST_F(Missiles, LaunchedAtSpeed6ItStartsAt49AndAcceleratesTo50)
{
    fighter_state()->speed = 6.0f;
    vorn_missile_launch({0, 800, -300}, fighter(), target, 0);
    ASSERT_EQ(vorn_missiles_active_no(), 1u);
    EXPECT_FLOAT_EQ(first()->speed, 49.0f);
    EXPECT_FLOAT_EQ(first()->power, 4.0f);
    EXPECT_FLOAT_EQ(first()->max_speed, 50.0f);
    step(0.05f, false);
    EXPECT_FLOAT_EQ(first()->speed, 49.5f);
    step(0.05f, false);
    EXPECT_FLOAT_EQ(first()->speed, 50.0f);
    step(0.05f, false);
    EXPECT_FLOAT_EQ(first()->speed, 50.0f) << "no faster than the type's top speed";
}

TEST_F(Missiles, ItHomesOntoTheTargetAndDealsItsPower)
{
    fighter_state()->speed = 6.0f;
    vorn_missile_launch({-50, 830, -200}, fighter(), target, 0);
    for (int i = 0; i < 200 && vorn_missiles_active_no(); i++) step(0.05f, false);
    EXPECT_EQ(vorn_missiles_active_no(), 0u);
    EXPECT_FLOAT_EQ(life_of(target), 13.0f);
    ASSERT_EQ(fighter_state()->shot_victims->size(), 1u);
    EXPECT_EQ((*fighter_state()->shot_victims)[0], target);
}

TEST_F(Missiles, AMissileWhoseTargetDiesDisappearsAtOnce)
{
    fighter_state()->speed = 6.0f;
    vorn_missile_launch({0, 800, -300}, fighter(), target, 1);
    step(0.05f, false);
    sps *smoke = first()->missile;
    sps *glow = first()->glow;
    ASSERT_NE(glow, nullptr);
    game_actor_event(target, GA_EVENT_DEACTIVATE, nullptr);
    step(0.05f, false);
    EXPECT_EQ(vorn_missiles_active_no(), 0u);
    EXPECT_FALSE(sps_is_active(glow));
    for (int i = 0; i < 80; i++) step(0.05f, false);
    EXPECT_FALSE(sps_is_active(smoke)) << "the smoke fades and goes back to its pool";
}

TEST_F(Missiles, AStillLauncherGivesNoStartSpeedAndATooFastTargetOutlivesTheMissile)
{
    fighter_state()->speed = -3.0f;
    game_actor_event(target, GA_EVENT_DEACTIVATE, nullptr);
    launch(target, {0, 800, 0}, {0, 800, 1000}, 80.0f);
    vorn_missile_launch({0, 800, -100}, fighter(), target, 2);
    EXPECT_FLOAT_EQ(first()->speed, 0.0f);
    step(0.5f, false);
    EXPECT_FLOAT_EQ(first()->speed, 5.0f);
    float t = 0.5f;
    while (vorn_missiles_active_no() && t < 30.0f) {
        step(0.25f, false);
        t += 0.25f;
    }
    EXPECT_EQ(vorn_missiles_active_no(), 0u);
    EXPECT_NEAR(t, 20.0f, 0.26f);
    EXPECT_FLOAT_EQ(life_of(target), 17.0f);
}

TEST_F(Missiles, ThePoolIsReusedAndAnUnknownTypeIsAFaultReport)
{
    fighter_state()->speed = 6.0f;
    for (int round = 0; round < 4; round++) {
        for (int i = 0; i < 3; i++) vorn_missile_launch({float(i) * 10, 800, -100}, fighter(), target, 0);
        game_actor_event(target, GA_EVENT_DEACTIVATE, nullptr);
        for (int i = 0; i < 80; i++) step(0.05f, false);
        launch(target, {0, 800, 0}, {1, 800, 0}, 0.0f);
    }
    EXPECT_EQ(vorn_missiles_pool_size(), 3u);
    EXPECT_EXIT(vorn_missile_launch({0, 0, 0}, fighter(), target, 3), testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "vorn_missile_launch");
}
