// The sentinels on the default scene: target search and line of sight, the
// turn, the shots with their recoil, score for their hits, damage, revival and
// the codes they must not receive.

#include <algorithm>
#include <cmath>
#include <set>

#include "game_world_fixture.h"
#include "scene/oi_fk_mixer.h"

namespace {

class Sentinels : public GameWorld {
  protected:
    void SetUp() override
    {
        start_default_world();
        if (IsSkipped()) return;
        silence_sentinels();
        guard = actor("sentinel_01", "sentinel");
        game_actor_event(guard, GA_EVENT_REVIVE, nullptr);
        root = scene_get_oi_by_name(sc, "sentinel_01");
        tacka3 at = OI_get_position_ws(root);
        outward = tacka3_normalize({at.x, 0, at.z});
        rock = actors_of("asteroid_d")[0];
    }
    // One update of this sentinel alone.
    void tick(float dt = 0.05f) { guard->iface->update(guard, dt); }
    game_actor *target_of()
    {
        game_actor *t = nullptr;
        EXPECT_TRUE(game_actor_query(guard, GA_SENTINEL_Q_TARGET, &t));
        return t;
    }
    tacka3 out(float d, float up = 0.0f)
    {
        return tacka3_add(OI_get_position_ws(root), tacka3_add(tacka3_scale(outward, d), {0, up, 0}));
    }
    void place(game_actor *ga, tacka3 at) { launch(ga, at, tacka3_add(at, {0, 0, 1}), 0.0f); }
    tacka3 forward() { return quaternion_rotate(OI_get_rotation(root), {0, 0, 1}); }
    // Updates until the sentinel holds a target (at most n updates).
    bool acquire(int n = 40)
    {
        for (int i = 0; i < n; i++) {
            tick();
            if (target_of()) return true;
        }
        return false;
    }
    game_actor *guard = nullptr, *rock = nullptr;
    object_instance *root = nullptr;
    tacka3 outward{};
};

} // namespace

TEST_F(Sentinels, TheNearestAttackerInRangeAndInSightBecomesTheTarget)
{
    game_actor *near = actors_of("asteroid_b")[0];
    game_actor *far_away = actors_of("asteroid_c")[0];
    place(rock, out(100));
    place(near, out(60, 20));
    place(far_away, out(160));
    std::string log = test_capture_stderr([&] { EXPECT_TRUE(acquire()); });
    EXPECT_EQ(target_of(), near);
    EXPECT_NE(log.find("sentinel: targeted: aster_b_01"), std::string::npos) << log;

    // Out of range (beyond 150 units) is never chosen.
    game_actor_event(near, GA_EVENT_DEACTIVATE, nullptr);
    game_actor_event(rock, GA_EVENT_DEACTIVATE, nullptr);
    for (int i = 0; i < 50; i++) tick();
    EXPECT_EQ(target_of(), nullptr);
}

TEST_F(Sentinels, ATargetOutOfSightIsKeptUntilTheNextRealViewTest)
{
    // A second attacker moved into the line of sight blocks the view. Over the
    // six phases of the view-test counter the sentinel notices it after one to
    // six updates: it keeps the hidden target for at most five more.
    game_actor *blocker = actors_of("junk_a")[0];
    place(rock, out(100));
    std::set<int> noticed_after;
    for (int phase = 0; phase < 6; phase++) {
        ASSERT_TRUE(acquire()) << "phase " << phase;
        ASSERT_EQ(target_of(), rock);
        for (int i = 0; i < phase; i++) tick();
        ASSERT_EQ(target_of(), rock);
        place(blocker, out(50));
        int n = 0;
        while (target_of() == rock && n < 20) {
            tick();
            n++;
        }
        noticed_after.insert(n);
        game_actor_event(blocker, GA_EVENT_DEACTIVATE, nullptr);
        for (int i = 0; i < 2; i++) tick();
    }
    EXPECT_EQ(*noticed_after.begin(), 1);
    EXPECT_EQ(*noticed_after.rbegin(), 6) << "kept for five updates when the last real test has just passed";
    EXPECT_EQ(noticed_after.size(), 6u);
}

TEST_F(Sentinels, ItTurnsAtMostOneRadianPerSecondThenFiresEveryTwoSeconds)
{
    // A target straight above the turret, 90 degrees from where it looks.
    place(rock, out(0, 100));
    ASSERT_TRUE(acquire());
    tacka3 before = forward();
    tick(0.1f);
    float turned = std::acos(std::clamp(tacka3_dot(before, forward()), -1.0f, 1.0f));
    EXPECT_NEAR(turned, 0.1f, 2e-3f);
    EXPECT_EQ(vorn_get_level_statistics()->sentinel_shots, 0) << "no shot while turning";

    object_instance *body = scene_get_oi_by_name(sc, "sentinel_body_01");
    ASSERT_NE(OI_get_fk_mixer(body), nullptr);
    motion_instance *recoil = dlist_entry<motion_instance>(OI_get_fk_mixer(body)->instances.next);
    EXPECT_FALSE(motion_instance_is_playing(recoil));
    for (int i = 0; i < 40 && vorn_get_level_statistics()->sentinel_shots == 0; i++) tick(0.1f);
    ASSERT_EQ(vorn_get_level_statistics()->sentinel_shots, 1);
    EXPECT_TRUE(motion_instance_is_playing(recoil)) << "the shot kicks the housing back";
    tacka3 to_rock = tacka3_normalize(tacka3_sub(position_of(rock), OI_get_position_ws(root)));
    EXPECT_GT(tacka3_dot(forward(), to_rock), std::cos(0.1745f)) << "on target";
    int first = vorn_get_level_statistics()->sentinel_shots;
    // Ten more seconds: a shot every two seconds.
    for (int i = 0; i < 80; i++) tick(0.125f);
    EXPECT_EQ(vorn_get_level_statistics()->sentinel_shots - first, 5);
}

TEST_F(Sentinels, ItsShotsLeadTheTargetAndHitIt)
{
    for (game_actor *s : actors_of("sentinel")) game_actor_event(s, GA_EVENT_REVIVE, nullptr);
    game_actor *victim = actors_of("asteroid_d")[1];
    // Flying past the ring at 6 units per second, 60 units out.
    launch(victim, out(60, -40), out(60, 200), 6.0f);
    for (int i = 0; i < 400 && vorn_get_level_statistics()->sentinel_hits < 3; i++) step(0.05f, false);
    EXPECT_GE(vorn_get_level_statistics()->sentinel_hits, 3);
    EXPECT_LT(life_of(victim), 17.0f);
    EXPECT_EQ(fighter_state()->score, vorn_get_level_statistics()->sentinel_hits) << "one point per hit";
}

TEST_F(Sentinels, DamageDestroysItUntilItIsRevived)
{
    place(rock, out(100));
    ASSERT_TRUE(acquire());
    ga_damage d{1.0f, 0, {0, 0, 0}};
    game_actor_event(guard, GA_EVENT_DAMAGE, &d);
    EXPECT_FALSE(game_actor_is_alive(guard));
    tacka3 before = forward();
    for (int i = 0; i < 60; i++) tick(0.1f);
    EXPECT_EQ(vorn_get_level_statistics()->sentinel_shots, 0) << "a destroyed sentinel does nothing";
    EXPECT_FLOAT_EQ(tacka3_dot(before, forward()), 1.0f);

    game_actor_event(guard, GA_EVENT_REVIVE, nullptr);
    EXPECT_TRUE(game_actor_is_alive(guard));
    EXPECT_FLOAT_EQ(life_of(guard), 1.0f);
}

TEST_F(Sentinels, ItsHitsScoreForThePlayer)
{
    game_actor_event(guard, GA_EVENT_SHOT_HIT, rock);
    EXPECT_EQ(fighter_state()->score, 1);
    game_actor_event(guard, GA_EVENT_SHOT_HIT, station());
    game_actor_event(guard, GA_EVENT_SHOT_HIT, actor("sentinel_02", "sentinel"));
    EXPECT_EQ(fighter_state()->score, -1);
    // The fighter in the line of fire: no score, and no fault (the
    // autopilot's soak met it in level 2).
    game_actor_event(guard, GA_EVENT_SHOT_HIT, fighter());
    EXPECT_EQ(fighter_state()->score, -1);
    EXPECT_EXIT(game_actor_event(guard, GA_EVENT_SHOT_HIT, nullptr), testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "victim");
}

TEST_F(Sentinels, CodesASentinelMustNotReceiveAreFaultReports)
{
    EXPECT_EXIT(game_actor_event(guard, GA_EVENT_START, nullptr), testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "sentinel_event");
    ga_launch l{};
    EXPECT_EXIT(game_actor_event(guard, GA_EVENT_LAUNCH, &l), testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "sentinel_event");
    float damage;
    EXPECT_EXIT(game_actor_query(guard, GA_QUERY_IMPACT_DAMAGE, &damage),
                testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS), "sentinel_query");
    object_instance *cd = nullptr;
    EXPECT_TRUE(game_actor_query(guard, GA_QUERY_MAIN_OI, &cd));
    EXPECT_EQ(cd, scene_get_oi_by_name(sc, "sentinel_cd_01"));
}
