// The attackers on the default scene: launched from the pad at the station on
// the level's timer, flying until they hit something or are shot down, and
// dormant in between, out of the game entirely.

#include <cmath>
#include <set>

#include "actors/ga_asteroids_common.h"
#include "game_world_fixture.h"
#include "scene/collisions.h"

namespace {

class Attackers : public GameWorld {
  protected:
    void SetUp() override { start_default_world(); }
    ga_attacker_t *state(game_actor *ga) { return static_cast<ga_attacker_t *>(game_actor_get_state_struct(ga)); }
    object_instance *main_oi(game_actor *ga)
    {
        object_instance *oi = nullptr;
        EXPECT_TRUE(game_actor_query(ga, GA_QUERY_MAIN_OI, &oi));
        return oi;
    }
    bool in_collidable_list(object_instance *oi)
    {
        dlist_for_each(n, &sc->collidable_ois) if (scene_collidable_oi_of(n) == oi) return true;
        return false;
    }
};

} // namespace

TEST_F(Attackers, TheFirstFrameOfALevelLaunchesFromThePadAtTheStation)
{
    ASSERT_GT(vorn_asteroids_start_points_no(), 0u);
    ASSERT_GT(vorn_asteroids_target_points_no(), 0u);
    std::string log = test_capture_stderr([&] { step(0.05f); });
    ASSERT_EQ(alive_attackers(), 1) << "the first interval of a level is 0";
    EXPECT_NE(log.find("asteroid launched: "), std::string::npos) << log;
    EXPECT_NE(log.find(", type: 0, speed: "), std::string::npos) << log;

    game_actor *flying = nullptr;
    dlist_for_each(n, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(n);
        if (game_actor_is_attacker(ga) && game_actor_is_alive(ga)) flying = ga;
    }
    ASSERT_NE(flying, nullptr);
    ga_attacker_t *ks = state(flying);
    EXPECT_GE(ks->speed, 5.5f);
    EXPECT_LT(ks->speed, 6.5f);
    EXPECT_NEAR(tacka3_length(ks->velocity), ks->speed, 1e-4f);
    // Thrown from the pad's ring towards the station at the origin.
    tacka3 at = position_of(flying);
    EXPECT_LT(tacka3_distance(at, tacka3{-330, 40, -90}), 80.0f);
    EXPECT_GT(tacka3_dot(ks->direction, tacka3_normalize(tacka3_neg(at))), 0.95f);
    EXPECT_FALSE(OI_get_desc(main_oi(flying))->invisible);
    EXPECT_TRUE(in_collidable_list(main_oi(flying)));
    EXPECT_NE(ks->trail, nullptr);

    // The next launch waits for the drawn interval of 2 to 4 seconds.
    for (int i = 0; i < 39; i++) step(0.05f);
    EXPECT_EQ(alive_attackers(), 1);
    for (int i = 0; i < 41; i++) step(0.05f);
    EXPECT_EQ(alive_attackers(), 2);
}

TEST_F(Attackers, FlightIsStraightAtTheLaunchSpeedWhileSpinning)
{
    silence_sentinels();
    game_actor *rock = actors_of("asteroid_b")[0];
    launch(rock, {0, 600, 0}, {100, 600, 0}, 6.0f);
    quaternion before = OI_get_rotation(main_oi(rock));
    for (int i = 0; i < 20; i++) step(0.1f, false);
    tacka3 at = position_of(rock);
    EXPECT_NEAR(at.x, 12.0f, 1e-3f);
    EXPECT_NEAR(at.y, 600.0f, 1e-3f);
    quaternion after = OI_get_rotation(main_oi(rock));
    float turned = 2.0f * std::acos(std::fmin(1.0f, std::fabs(before.w * after.w + before.x * after.x +
                                                              before.y * after.y + before.z * after.z)));
    // (2 x 6 / 6.5 + 1) x 10 degrees per second for two seconds.
    EXPECT_NEAR(turned, (2.0f * 6.0f / 6.5f + 1.0f) * 10.0f * 2.0f * 0.017453292f, 1e-3f);
}

TEST_F(Attackers, ADrawnKindWithEveryActorInFlightLaunchesNothing)
{
    silence_sentinels();
    std::vector<game_actor *> pebbles = actors_of("asteroid_a");
    ASSERT_FALSE(pebbles.empty());
    for (size_t i = 0; i < pebbles.size(); i++)
        launch(pebbles[i], {float(30 * i), 900, 0}, {float(30 * i), 901, 0}, 0.0f);
    EXPECT_EQ(vorn_asteroids_find_dormant(GA_KIND_ASTEROID_A), nullptr);

    int launched = 0, refused = 0;
    int before = alive_attackers();
    for (int i = 0; i < 30; i++) {
        if (vorn_asteroid_launch())
            launched++;
        else
            refused++;
    }
    // Level 1 draws pebbles for rolls 0..20 (a fifth of them): those launch nothing.
    EXPECT_GT(refused, 0);
    EXPECT_EQ(alive_attackers(), before + launched);
    for (game_actor *p : pebbles) EXPECT_TRUE(game_actor_is_alive(p));
}

TEST_F(Attackers, TheLastMatchingChanceRangeChoosesTheKind)
{
    // Level 1: junk_a, junk_b and junk_c share the range 0..0; junk_c comes last.
    EXPECT_EQ(vorn_asteroids_kind_for_roll(0.0f), GA_KIND_JUNK_C);
    EXPECT_EQ(vorn_asteroids_kind_for_roll(10.0f), GA_KIND_ASTEROID_A);
    EXPECT_EQ(vorn_asteroids_kind_for_roll(20.5f), -1) << "between two ranges nothing is drawn";
    EXPECT_EQ(vorn_asteroids_kind_for_roll(99.9f), GA_KIND_ASTEROID_D);
    vorn_level_insert_chances(2);
    EXPECT_EQ(vorn_asteroids_kind_for_roll(95.0f), GA_KIND_JUNK_A);
}

TEST_F(Attackers, AnAttackerThatReachesTheStationDealsItsDamageOnceAndDisappears)
{
    silence_sentinels();
    game_actor *rock = actors_of("asteroid_c")[0];
    launch(rock, {0, 120, 0}, {0, 0, 0}, 6.0f);
    int steps = 0;
    while (game_actor_is_alive(rock) && steps < 600) {
        step(0.1f, false);
        steps++;
    }
    ASSERT_FALSE(game_actor_is_alive(rock)) << "never reached the station";
    EXPECT_FLOAT_EQ(life_of(station()), 40.0f);
    EXPECT_EQ(fighter_state()->score, -300);
    EXPECT_TRUE(OI_get_desc(main_oi(rock))->invisible);
    EXPECT_FALSE(in_collidable_list(main_oi(rock)));
    for (int i = 0; i < 50; i++) step(0.1f, false);
    EXPECT_FLOAT_EQ(life_of(station()), 40.0f) << "the damage is dealt once";
    EXPECT_EQ(fighter_state()->score, -300);
}

TEST_F(Attackers, AnAttackerThatMeetsTheFighterDamagesItAndExplodes)
{
    silence_sentinels();
    object_instance *bolid = fighter_state()->bolid;
    OI_set_position_ws(bolid, {0, 700, 0});
    OI_calc_bounding_volumes(bolid);
    game_actor *junk = actors_of("junk_a")[0];
    launch(junk, {0, 700, 40}, {0, 700, 0}, 6.0f);
    for (int i = 0; i < 100 && game_actor_is_alive(junk); i++) step(0.1f, false);
    EXPECT_FALSE(game_actor_is_alive(junk));
    ASSERT_EQ(fighter_state()->damage->size(), 1u);
    EXPECT_FLOAT_EQ((*fighter_state()->damage)[0], 8.0f);
}

TEST_F(Attackers, AnAsteroidDSurvivesSixteenLaserHitsOfPowerOne)
{
    silence_sentinels();
    game_actor *big = actors_of("asteroid_d")[0];
    launch(big, {0, 800, 0}, {1, 800, 0}, 0.0f);
    for (int shot = 1; shot <= 17; shot++) {
        vorn_shot_launch({-60, 800, 0}, {1, 0, 0}, nullptr, 1.0f, fighter());
        for (int i = 0; i < 20 && vorn_shots_active_no(); i++) step(0.05f, false);
        ASSERT_EQ(fighter_state()->shot_victims->size(), size_t(shot));
        if (shot < 17) {
            EXPECT_TRUE(game_actor_is_alive(big)) << "after " << shot << " hits";
            EXPECT_FLOAT_EQ(life_of(big), 17.0f - float(shot));
        }
    }
    EXPECT_FALSE(game_actor_is_alive(big));
    EXPECT_EQ(fighter_state()->score, 1700);
}

TEST_F(Attackers, ADormantAttackerIsNeverHitByARayAShotOrASlidingMove)
{
    silence_sentinels();
    game_actor *parked = actors_of("asteroid_d")[1];
    object_instance *oi = main_oi(parked);
    tacka3 park = OI_get_position_ws(oi);
    EXPECT_FALSE(in_collidable_list(oi));

    array<collision_record> *hits = array_new<collision_record>();
    intersect_ray_and_scene(hits, sc, tacka3_add(park, {0, 50, 0}), {0, -1, 0});
    for (const collision_record &r : *hits) EXPECT_NE(collision_record_oi(&r), oi);
    array_free(hits);

    // A shot straight through the park.
    vorn_shot_launch(tacka3_add(park, {-50, 0, 0}), {1, 0, 0}, nullptr, 1.0f, fighter());
    for (int i = 0; i < 40; i++) step(0.05f, false);
    EXPECT_TRUE(fighter_state()->shot_victims->empty());

    // Another attacker flying through the park slides past nothing.
    game_actor *mover = actors_of("asteroid_d")[2];
    launch(mover, tacka3_add(park, {0, 30, 0}), park, 6.0f);
    for (int i = 0; i < 100; i++) step(0.1f, false);
    EXPECT_TRUE(game_actor_is_alive(mover));
    EXPECT_LT(position_of(mover).y, park.y - 20.0f) << "went straight through the park";
    EXPECT_FALSE(game_actor_is_alive(parked));

    // Deactivated in flight: hidden, off the list, back at its park.
    tacka3 mover_park = state(mover)->park;
    game_actor_event(mover, GA_EVENT_DEACTIVATE, nullptr);
    EXPECT_FALSE(game_actor_is_alive(mover));
    EXPECT_TRUE(OI_get_desc(main_oi(mover))->invisible);
    EXPECT_FALSE(in_collidable_list(main_oi(mover)));
    EXPECT_LT(tacka3_distance(OI_get_position_ws(main_oi(mover)), mover_park), 1e-3f);
}

TEST_F(Attackers, QueriesAnswerTheKindsNumbers)
{
    const float life[8] = {1, 4, 5, 17, 5, 6, 8, 1};
    const float damage[8] = {1, 3, 10, 8, 8, 5, 5, 1};
    for (int32_t kind = 0; kind < GA_ATTACKER_KINDS; kind++) {
        game_actor *ga = actors_of(game_actor_kind_name(kind))[0];
        launch(ga, {float(kind * 20), 1000, 0}, {float(kind * 20), 1001, 0}, 1.0f);
        int32_t k = -1, side = -1;
        float impact = 0;
        tacka3 v{};
        EXPECT_TRUE(game_actor_query(ga, GA_QUERY_KIND, &k));
        EXPECT_TRUE(game_actor_query(ga, GA_QUERY_SIDE, &side));
        EXPECT_TRUE(game_actor_query(ga, GA_QUERY_IMPACT_DAMAGE, &impact));
        EXPECT_TRUE(game_actor_query(ga, GA_QUERY_VELOCITY, &v));
        EXPECT_EQ(k, kind);
        EXPECT_EQ(side, GA_SIDE_ATTACKERS);
        EXPECT_FLOAT_EQ(life_of(ga), life[kind]);
        EXPECT_FLOAT_EQ(impact, damage[kind]);
        EXPECT_FLOAT_EQ(v.y, 1.0f);
        EXPECT_NE(std::string(OI_get_name(main_oi(ga))).find(kind < 4 ? "aster" : "debris"), std::string::npos);
        EXPECT_FALSE(game_actor_query(ga, GA_QUERY_SPEED, &impact));
    }
}

TEST_F(Attackers, CodesAnAttackerMustNotReceiveAreFaultReports)
{
    game_actor *rock = actors_of("asteroid_a")[0];
    EXPECT_EXIT(game_actor_event(rock, GA_EVENT_START, nullptr), testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "ga_attacker_event");
    EXPECT_EXIT(game_actor_event(rock, GA_EVENT_REVIVE, nullptr), testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "ga_attacker_event");
    launch(rock, {0, 900, 0}, {0, 901, 0}, 1.0f);
    ga_launch again{{0, 0, 0}, {1, 0, 0}, 1.0f};
    EXPECT_EXIT(game_actor_event(rock, GA_EVENT_LAUNCH, &again), testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "ga_attacker_launch");
}

TEST_F(Attackers, ALevelReusesThePoolsWithoutRunningOutOfEffects)
{
    // Two levels' worth of launches with the sentinels shooting: every pool
    // is used again and again and the trails go back to their pool.
    std::set<game_actor *> flown;
    int launches = 0;
    int was_alive = 0;
    for (int i = 0; i < 7200; i++) {
        step(0.05f);
        int now = alive_attackers();
        if (now > was_alive) launches += now - was_alive;
        was_alive = now;
        dlist_for_each(n, &gas->actors)
        {
            game_actor *ga = dlist_entry<game_actor>(n);
            if (game_actor_is_attacker(ga) && game_actor_is_alive(ga)) flown.insert(ga);
        }
    }
    EXPECT_GT(launches, 80) << "more launches than attackers: the pools are reused";
    EXPECT_LT(flown.size(), size_t(launches));
    uint32_t trails = 0;
    dlist_for_each(n, &vorn_get_particle_manager()->systems)
    {
        sps *s = dlist_entry<sps>(n);
        if (sps_is_active(s) && std::string(sps_get_name(s)).rfind("tr", 0) == 0) trails++;
    }
    EXPECT_LE(trails, uint32_t(alive_attackers()) + 10u);
}
