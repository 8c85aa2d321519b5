// The effects gameplay starts: trails, pulses, hits, explosions, station hits
// and missile smoke, with the particle quantity and the effects switch.

#include <map>

#include "game_world_fixture.h"

namespace {

const char *const POOLS[] = {"tr", "pu", "de", "hi", "mi", "gl", "bs", "je"};

class Effects : public GameWorld {
  protected:
    void SetUp() override
    {
        start_default_world();
        if (IsSkipped()) return;
        silence_sentinels();
    }
    void TearDown() override
    {
        vorn_particles_set_enabled(true);
        vorn_particles_set_quantity(1.0f);
        GameWorld::TearDown();
    }
    // Active systems per pool; the compositions' systems count under "".
    std::map<std::string, int> active()
    {
        std::map<std::string, int> out;
        dlist_for_each(n, &vorn_get_particle_manager()->systems)
        {
            sps *s = dlist_entry<sps>(n);
            if (!sps_is_active(s)) continue;
            std::string name = sps_get_name(s), pool;
            for (const char *p : POOLS) {
                size_t len = strlen(p);
                if (name.size() > len && name.compare(0, len, p) == 0 && isdigit((unsigned char)name[len])) pool = p;
            }
            out[pool]++;
        }
        return out;
    }
    // Shoots down a pebble resting at `at` with one fighter shot.
    void shoot_down(tacka3 at)
    {
        game_actor *pebble = nullptr;
        for (game_actor *ga : actors_of("asteroid_a"))
            if (!game_actor_is_alive(ga)) pebble = ga;
        launch(pebble, at, tacka3_add(at, {1, 0, 0}), 0.0f);
        vorn_shot_launch(tacka3_add(at, {-30, 0, 0}), {1, 0, 0}, nullptr, 1.0f, fighter());
        for (int i = 0; i < 10; i++) step(0.05f, false);
        EXPECT_FALSE(game_actor_is_alive(pebble));
    }
};

} // namespace

TEST_F(Effects, FlyingShotAndDestroyedAttackerStartTheirEffects)
{
    game_actor *rock = actors_of("asteroid_b")[0];
    launch(rock, {0, 800, 0}, {0, 800, 100}, 6.0f);
    EXPECT_EQ(active()["tr"], 1) << "the trail";
    vorn_shot_launch({0, 900, 0}, {0, 1, 0}, nullptr, 1.0f, fighter());
    EXPECT_EQ(active()["pu"], 1) << "the pulse";
    shoot_down({0, 600, 0});
    std::map<std::string, int> a = active();
    EXPECT_GE(a["hi"], 1) << "the hit";
    EXPECT_GE(a["bs"], 1) << "the hit's debris trail";
    EXPECT_GE(a[""], 1) << "the explosion";
    fighter_state()->speed = 6.0f;
    vorn_missile_launch({0, 810, -50}, fighter(), rock, 0);
    a = active();
    EXPECT_EQ(a["mi"], 1);
    EXPECT_EQ(a["gl"], 1);
}

TEST_F(Effects, AnAttackerHittingTheStationStartsTheStationHit)
{
    game_actor *rock = actors_of("asteroid_c")[0];
    launch(rock, {0, 120, 0}, {0, 0, 0}, 6.0f);
    int before = active()[""];
    for (int i = 0; i < 600 && game_actor_is_alive(rock); i++) step(0.1f, false);
    ASSERT_FALSE(game_actor_is_alive(rock));
    EXPECT_GT(active()[""], before) << "the station-hit composition runs";
}

TEST_F(Effects, QuantityZeroLeavesOutExplosionsButKeepsTrailsAndPulses)
{
    vorn_particles_set_quantity(0.0f);
    game_actor *rock = actors_of("asteroid_b")[0];
    launch(rock, {0, 800, 0}, {0, 800, 100}, 6.0f);
    shoot_down({0, 600, 0});
    std::map<std::string, int> a = active();
    EXPECT_EQ(a[""], 0) << "no explosion";
    EXPECT_EQ(a["de"], 0);
    EXPECT_EQ(a["tr"], 2) << "the flying rock's trail and the pebble's, fading";
    EXPECT_GE(a["pu"], 1) << "the pulse fades out after the hit";
}

TEST_F(Effects, EffectsSwitchedOffLeaveOutTrailsHitsAndExplosions)
{
    vorn_particles_set_enabled(false);
    game_actor *rock = actors_of("asteroid_b")[0];
    launch(rock, {0, 800, 0}, {0, 800, 100}, 6.0f);
    shoot_down({0, 600, 0});
    step(0.05f, false);
    std::map<std::string, int> a = active();
    EXPECT_EQ(a["tr"], 0);
    EXPECT_EQ(a["hi"], 0);
    EXPECT_EQ(a["bs"], 0);
    EXPECT_EQ(a[""], 0);
    EXPECT_GE(a["pu"], 1) << "shots still show";
    // The attacker flies on without its trail.
    for (int i = 0; i < 20; i++) step(0.1f, false);
    EXPECT_TRUE(game_actor_is_alive(rock));
}

TEST_F(Effects, MoreAttackersThanTrailsFlyWithoutAFaultReport)
{
    int launched = 0;
    dlist_for_each(n, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(n);
        if (!game_actor_is_attacker(ga)) continue;
        const int column = launched % 10, row = launched / 10;
        launch(ga, {float(column) * 30, 1000, float(row) * 30}, {float(column) * 30, 1001, float(row) * 30}, 1.0f);
        launched++;
    }
    EXPECT_EQ(launched, 80);
    EXPECT_EQ(active()["tr"], 50) << "every trail of the pool";
    for (int i = 0; i < 10; i++) step(0.1f, false);
    EXPECT_EQ(alive_attackers(), 80);
}
