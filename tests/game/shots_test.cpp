// Laser shots on the default scene: range, what they hit and pass through,
// the score events to the shooter, the level statistics and the pool.

#include "game_world_fixture.h"
#include "scene/collisions.h"

namespace {

class Shots : public GameWorld {
  protected:
    void SetUp() override
    {
        start_default_world();
        if (IsSkipped()) return;
        silence_sentinels();
        big = actors_of("asteroid_d")[0];
    }
    // Puts the asteroid at rest at `at`.
    void place(game_actor *ga, tacka3 at) { launch(ga, at, tacka3_add(at, {1, 0, 0}), 0.0f); }
    // Steps until no shot flies (at most `seconds`).
    void fly(float dt, float seconds = 5.0f)
    {
        for (float t = 0; t < seconds && vorn_shots_active_no(); t += dt) step(dt, false);
    }
    // Distance from `from` along +x to the surface of the actor's main instance.
    float surface_distance(game_actor *ga, tacka3 from)
    {
        object_instance *oi = nullptr;
        game_actor_query(ga, GA_QUERY_MAIN_OI, &oi);
        array<collision_record> *hits = array_new<collision_record>();
        intersect_ray_and_scene(hits, sc, from, {1, 0, 0});
        float d = -1.0f;
        for (const collision_record &r : *hits)
            if (collision_record_oi(&r) == oi) d = r.distance;
        array_free(hits);
        return d;
    }
    game_actor *big = nullptr;
};

} // namespace

TEST_F(Shots, AShotReachesAtMost396Units)
{
    place(big, {0, 800, 0});
    float s = surface_distance(big, {-500, 800, 0});
    ASSERT_GT(s, 0.0f);
    // The surface 394 units ahead: hit (255 steps of 99/64 units fly 394.45).
    vorn_shot_launch({-500 + s - 394.0f, 800, 0}, {1, 0, 0}, nullptr, 1.0f, fighter());
    fly(1.0f / 64.0f);
    EXPECT_EQ(fighter_state()->shot_victims->size(), 1u);
    EXPECT_FLOAT_EQ(life_of(big), 16.0f);

    // 397 units ahead: the shot dies after 4 seconds without reaching it.
    vorn_shot_launch({-500 + s - 397.0f, 800, 0}, {1, 0, 0}, nullptr, 1.0f, fighter());
    float flown = 0.0f;
    while (vorn_shots_active_no() && flown < 10.0f) {
        step(1.0f / 64.0f, false);
        flown += 1.0f / 64.0f;
    }
    EXPECT_EQ(fighter_state()->shot_victims->size(), 1u);
    EXPECT_NEAR(flown, 4.0f, 1.0f / 64.0f + 1e-4f);

    // A long frame flies no further.
    vorn_shot_launch({-500 + s - 397.0f, 800, 0}, {1, 0, 0}, nullptr, 1.0f, fighter());
    for (int i = 0; i < 40; i++) step(0.2f, false);
    EXPECT_EQ(fighter_state()->shot_victims->size(), 1u);
}

TEST_F(Shots, ASentinelShotPassesThroughTheStationAndAFighterShotHitsIt)
{
    place(big, {0, -150, 0});
    game_actor *sentinel = actor("sentinel_01", "sentinel");
    vorn_shot_launch({0, 150, 0}, {0, -1, 0}, nullptr, 1.0f, sentinel);
    fly(0.05f);
    EXPECT_FLOAT_EQ(life_of(station()), 50.0f);
    EXPECT_FLOAT_EQ(life_of(big), 16.0f);
    EXPECT_EQ(fighter_state()->score, 1) << "a sentinel's hit on an attacker is worth 1";
    const vorn_level_statistics *st = vorn_get_level_statistics();
    EXPECT_EQ(st->sentinel_shots, 1);
    EXPECT_EQ(st->sentinel_hits, 1);
    EXPECT_EQ(st->player_shots, 0);

    vorn_shot_launch({0, 150, 0}, {0, -1, 0}, nullptr, 2.0f, fighter());
    fly(0.05f);
    EXPECT_FLOAT_EQ(life_of(station()), 48.0f) << "the shot's power is the damage";
    EXPECT_FLOAT_EQ(life_of(big), 16.0f);
    ASSERT_EQ(fighter_state()->shot_victims->size(), 1u);
    EXPECT_EQ((*fighter_state()->shot_victims)[0], station());
    EXPECT_EQ(fighter_state()->score, 1 - 300 - 1000);
    EXPECT_EQ(st->player_shots, 1);
    EXPECT_EQ(st->player_hits, 1);
}

TEST_F(Shots, StatisticsCountShotsAndHitsOfEachShooter)
{
    place(big, {0, 800, 0});
    for (int i = 0; i < 10; i++) {
        tacka3 dir = i < 4 ? tacka3{1, 0, 0} : tacka3{0, 1, 0};
        vorn_shot_launch({-40, 800, 0}, dir, nullptr, 1.0f, fighter());
    }
    game_actor *sentinel = actor("sentinel_02", "sentinel");
    for (int i = 0; i < 3; i++) vorn_shot_launch({-40, 800, float(i) * 20}, {1, 0, 0}, nullptr, 1.0f, sentinel);
    fly(0.05f);
    const vorn_level_statistics *st = vorn_get_level_statistics();
    EXPECT_EQ(st->player_shots, 10);
    EXPECT_EQ(st->player_hits, 4);
    EXPECT_EQ(st->sentinel_shots, 3);
    EXPECT_EQ(st->sentinel_hits, 1) << "only the shot along the asteroid's line hits";
    EXPECT_FLOAT_EQ(life_of(big), 12.0f);
}

TEST_F(Shots, AShotNeverHitsItsOwnShooter)
{
    object_instance *bolid = fighter_state()->bolid;
    OI_set_position_ws(bolid, {0, 700, 0});
    OI_calc_bounding_volumes(bolid);
    place(big, {60, 700, 0});
    vorn_shot_launch({0, 700, 0}, {1, 0, 0}, nullptr, 1.0f, fighter());
    fly(0.05f);
    ASSERT_EQ(fighter_state()->shot_victims->size(), 1u);
    EXPECT_EQ((*fighter_state()->shot_victims)[0], big);
}

TEST_F(Shots, DeadActorsAndDormantAttackersLetShotsThrough)
{
    place(big, {0, 800, 0});
    game_actor *small = actors_of("asteroid_a")[0];
    place(small, {-20, 800, 0});
    game_actor_event(small, GA_EVENT_DEACTIVATE, nullptr);
    vorn_shot_launch({-60, 800, 0}, {1, 0, 0}, nullptr, 1.0f, fighter());
    fly(0.05f);
    ASSERT_EQ(fighter_state()->shot_victims->size(), 1u);
    EXPECT_EQ((*fighter_state()->shot_victims)[0], big);
}

TEST_F(Shots, ThePoolReusesItsRecordsAndANewGameEndsEveryShot)
{
    for (int i = 0; i < 40; i++) vorn_shot_launch({0, 900, float(i)}, {0, 1, 0}, nullptr, 1.0f, fighter());
    EXPECT_EQ(vorn_shots_active_no(), 40u);
    EXPECT_EQ(vorn_shots_pool_size(), 40u);
    for (int i = 0; i < 60; i++) step(0.1f, false);
    EXPECT_EQ(vorn_shots_active_no(), 0u);
    for (int round = 0; round < 5; round++) {
        for (int i = 0; i < 40; i++) vorn_shot_launch({0, 900, float(i)}, {0, 1, 0}, nullptr, 1.0f, fighter());
        step(0.1f, false);
        EXPECT_EQ(vorn_shots_pool_size(), 40u) << "round " << round;
        vorn_shots_deactivate_all();
        EXPECT_EQ(vorn_shots_active_no(), 0u);
        // The pulses fade and go back to their pool.
        for (int i = 0; i < 30; i++) step(0.1f, false);
    }
    uint32_t pulses = 0;
    dlist_for_each(n, &vorn_get_particle_manager()->systems)
    {
        sps *s = dlist_entry<sps>(n);
        if (sps_is_active(s) && std::string(sps_get_name(s)).rfind("pu", 0) == 0) pulses++;
    }
    EXPECT_EQ(pulses, 0u);
}
