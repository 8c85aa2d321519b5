// Whole levels of the default scene at a fixed step: attackers launched on the
// timer, sentinels and a shooting stand-in fighter bringing them down, others
// reaching the station, and everything reused between the levels.

#include <set>

#include "game_world_fixture.h"

namespace {

class LevelRun : public GameWorld {
  protected:
    void SetUp() override { start_default_world(); }

    // The nearest flying attacker to the point, or null.
    game_actor *nearest_attacker(tacka3 from)
    {
        game_actor *best = nullptr;
        float best_d2 = 0.0f;
        dlist_for_each(n, &gas->actors)
        {
            game_actor *ga = dlist_entry<game_actor>(n);
            if (!game_actor_is_attacker(ga) || !game_actor_is_alive(ga)) continue;
            float d2 = tacka3_length2(tacka3_sub(position_of(ga), from));
            if (!best || d2 < best_d2) {
                best = ga;
                best_d2 = d2;
            }
        }
        return best;
    }

    struct outcome {
        int launches = 0;
        int destroyed = 0;
        float station_life = 0.0f;
        std::set<int32_t> kinds; // kinds launched
    };

    // One level of `seconds`: the fighter fires a shot every quarter second
    // at the nearest attacker and a missile every five seconds.
    outcome play_level(int level, float seconds, float dt)
    {
        vorn_level_insert_chances(level);
        vorn_asteroids_prepare_level(level);
        *vorn_get_level_statistics() = vorn_level_statistics{};
        outcome o;
        float gun = 0.0f, missile = 0.0f;
        tacka3 hull = OI_get_position_ws(fighter_state()->bolid);
        for (float t = 0.0f; t < seconds; t += dt) {
            gun += dt;
            missile += dt;
            game_actor *aim = nearest_attacker(hull);
            if (aim && gun >= 0.25f) {
                gun = 0.0f;
                tacka3 dir = tacka3_sub(position_of(aim), hull);
                if (tacka3_length(dir) < 390.0f)
                    vorn_shot_launch(tacka3_add(hull, tacka3_scale(tacka3_normalize(dir), 4.0f)), dir, nullptr, 1.0f,
                                     fighter());
            }
            if (aim && missile >= 5.0f) {
                missile = 0.0f;
                vorn_missile_launch(tacka3_add(hull, {0, -3, 0}), fighter(), aim, 0);
            }
            // Launches and losses of this frame, counted from the alive flags.
            std::vector<game_actor *> flying;
            dlist_for_each(n, &gas->actors)
            {
                game_actor *ga = dlist_entry<game_actor>(n);
                if (game_actor_is_attacker(ga) && game_actor_is_alive(ga)) flying.push_back(ga);
            }
            step(dt);
            int lost = 0;
            for (game_actor *ga : flying) lost += !game_actor_is_alive(ga);
            o.destroyed += lost;
            o.launches += alive_attackers() - (int(flying.size()) - lost);
            dlist_for_each(n, &gas->actors)
            {
                game_actor *ga = dlist_entry<game_actor>(n);
                if (game_actor_is_attacker(ga) && game_actor_is_alive(ga)) o.kinds.insert(game_actor_kind(ga));
            }
        }
        o.station_life = life_of(station());
        return o;
    }

    // What the game does between levels: every flying attacker and shot ends,
    // the sentinels come back.
    void between_levels()
    {
        dlist_for_each(n, &gas->actors)
        {
            game_actor *ga = dlist_entry<game_actor>(n);
            if (game_actor_is_attacker(ga) && game_actor_is_alive(ga))
                game_actor_event(ga, GA_EVENT_DEACTIVATE, nullptr);
        }
        vorn_shots_deactivate_all();
        for (game_actor *s : actors_of("sentinel")) game_actor_event(s, GA_EVENT_REVIVE, nullptr);
    }
};

} // namespace

TEST_F(LevelRun, TwoWholeLevelsRunWithAttackersShotDownAndHittingTheStation)
{
    outcome one = play_level(1, 180.0f, 0.04f);
    const vorn_level_statistics st1 = *vorn_get_level_statistics();
    EXPECT_GT(one.launches, 40);
    EXPECT_GT(one.destroyed, 20);
    EXPECT_GT(st1.player_shots, 100);
    EXPECT_GT(st1.player_hits, 0);
    EXPECT_LE(st1.player_hits, st1.player_shots);
    EXPECT_GT(st1.sentinel_shots, 0);
    EXPECT_GT(st1.sentinel_hits, 0);
    EXPECT_LE(st1.sentinel_hits, st1.sentinel_shots);
    EXPECT_LT(one.station_life, 50.0f) << "some attackers reach the station";

    between_levels();
    EXPECT_EQ(alive_attackers(), 0);
    EXPECT_EQ(vorn_shots_active_no(), 0u);

    outcome two = play_level(2, 180.0f, 0.04f);
    EXPECT_GT(two.launches, 40);
    EXPECT_GT(two.destroyed, 20);
    // Level 1 never draws junk_a, junk_b or junk_c (their ranges are 0..0);
    // level 2 draws every kind.
    EXPECT_EQ(one.kinds.count(GA_KIND_JUNK_A) + one.kinds.count(GA_KIND_JUNK_B), 0u);
    EXPECT_EQ(two.kinds.size(), size_t(GA_ATTACKER_KINDS));
    EXPECT_LE(vorn_shots_pool_size(), 60u) << "the shot pool stays near the most shots flying at once";
    EXPECT_LE(vorn_missiles_pool_size(), 5u);
}
