#pragma once
// The game world without a window: the default scene (or a scene built in the
// test), the particle pools, the actor system with the attackers, the station
// and the sentinels, and a stand-in fighter that records what it is told. The
// level step runs at a fixed time step as the game's level state runs it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "actors/actors.h"
#include "corelib/drand.h"
#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/parser.h"
#include "game/gameplay_core.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_asteroids.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_particles.h"
#include "game/the_vorn_shots.h"
#include "particles/simple_particles.h"
#include "scene/object_instance.h"
#include "scene/quox2_loader.h"
#include "scene/scene.h"
#include "sound/auren.h"
#include "test_support.h"

// The stand-in fighter: alive, kind 8, side 1; its main instance is "bolid".
struct fake_fighter_t {
    uint8_t alive;
    int32_t side, kind;
    float life;
    float speed;
    int32_t score;
    std::vector<int32_t> *events;
    std::vector<game_actor *> *shot_victims;
    std::vector<float> *damage;
    object_instance *bolid;
};

inline fake_fighter_t *fake_fighter_state(game_actor *ga)
{
    return static_cast<fake_fighter_t *>(game_actor_get_state_struct(ga));
}

inline bool fake_fighter_init(game_actor *ga)
{
    fake_fighter_t *s = new fake_fighter_t{1,
                                           GA_SIDE_DEFENDERS,
                                           GA_KIND_FIGHTER,
                                           GA_FIGHTER_MAX_LIFE,
                                           0.0f,
                                           0,
                                           new std::vector<int32_t>,
                                           new std::vector<game_actor *>,
                                           new std::vector<float>,
                                           nullptr};
    s->bolid = game_actor_find_oi(ga, "bolid");
    if (!s->bolid) s->bolid = dlist_entry<game_actor_oi>(ga->ois.next)->oi;
    game_actor_insert_state_struct(ga, s);
    return true;
}
inline void fake_fighter_deinit(game_actor *ga)
{
    fake_fighter_t *s = fake_fighter_state(ga);
    delete s->events;
    delete s->shot_victims;
    delete s->damage;
    delete s;
    game_actor_remove_state_struct(ga);
}
inline void fake_fighter_event(game_actor *ga, int32_t code, void *argument)
{
    fake_fighter_t *s = fake_fighter_state(ga);
    s->events->push_back(code);
    if (code == GA_EVENT_ADD_SCORE) s->score += *static_cast<int32_t *>(argument);
    if (code == GA_EVENT_SHOT_HIT) {
        game_actor *victim = static_cast<game_actor *>(argument);
        s->shot_victims->push_back(victim);
        int32_t kind = game_actor_kind(victim);
        s->score += (kind == GA_KIND_STATION || kind == GA_KIND_SENTINEL) ? -1000 : 100;
    }
    if (code == GA_EVENT_DAMAGE) s->damage->push_back(static_cast<ga_damage *>(argument)->amount);
}
inline bool fake_fighter_is_alive(game_actor *ga) { return fake_fighter_state(ga)->alive; }
inline bool fake_fighter_query(game_actor *ga, int32_t code, void *result)
{
    fake_fighter_t *s = fake_fighter_state(ga);
    switch (code) {
    case GA_QUERY_POSITION: *static_cast<tacka3 *>(result) = OI_get_position_ws(s->bolid); return true;
    case GA_QUERY_LIFE: *static_cast<float *>(result) = s->life; return true;
    case GA_QUERY_KIND: *static_cast<int32_t *>(result) = s->kind; return true;
    case GA_QUERY_SIDE: *static_cast<int32_t *>(result) = s->side; return true;
    case GA_QUERY_SPEED: *static_cast<float *>(result) = s->speed; return true;
    case GA_FIGHTER_Q_SCORE: *static_cast<int32_t *>(result) = s->score; return true;
    default: return false;
    }
}
inline const game_actor_interface FAKE_FIGHTER = {"fighter",          fake_fighter_init,     fake_fighter_deinit,
                                                  fake_fighter_event, fake_fighter_is_alive, nullptr,
                                                  fake_fighter_query};

// Runs f with standard error captured; returns what was written.
template <typename F> inline std::string test_capture_stderr(F f)
{
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

// The default data folder, or empty when it has not been built.
inline std::string game_world_data_folder()
{
    std::string data = std::string(VORN_BINARY_DIR) + "/data/";
    return test_file_exists(data + "vorn.quox2") ? data : std::string();
}

class GameWorld : public ::testing::Test {
  protected:
    // Starts what the world needs besides a scene (sound, parser, the data
    // folder); false (and the test skipped) without the default data.
    bool start_services()
    {
        folder = game_world_data_folder();
        if (folder.empty()) return false;
        setenv("ALSOFT_DRIVERS", "null", 0);
        if (!parser_is_inited()) {
            EXPECT_TRUE(parser_init());
        }
        EXPECT_TRUE(gfxloader_init());
        EXPECT_TRUE(drand_init());
        services = true;
        drand_seed(1234);
        resource_folder_set(folder.c_str());
        auren_init();
        return true;
    }
    // Particle pools, actors, weapons and the launcher on the scene `sc`.
    void start_world(bool with_launcher = true)
    {
        vorn_particles_set_quantity(1.0f);
        ASSERT_TRUE(vorn_init_particles(sc, folder.c_str()));
        ASSERT_TRUE(scene_prepare_ex(sc, SCENE_PREPARE_NO_RENDERER));
        for (uint32_t i = 0; i < scene_get_ois_no(sc); i++) OI_calc_bounding_volumes(scene_get_oi(sc, i));
        gas = gas_create();
        for (const game_actor_interface *iface : ga_implementations)
            ASSERT_TRUE(gas_register_interface(gas, iface->name == std::string("fighter") ? &FAKE_FIGHTER : iface));
        vorn_set_world(sc, gas);
        ASSERT_TRUE(gas_build_actors(gas, sc));
        ASSERT_TRUE(vorn_shots_init());
        ASSERT_TRUE(vorn_missiles_init());
        if (with_launcher) {
            ASSERT_TRUE(vorn_asteroids_init());
            vorn_level_insert_chances(1);
            vorn_asteroids_prepare_level(1);
        }
        *vorn_get_level_statistics() = vorn_level_statistics{};
    }
    // The default scene.
    void start_default_world()
    {
        if (!start_services()) GTEST_SKIP() << "no default data: build the 'data' target first";
        sc = scene_init();
        ASSERT_TRUE(quox2_load_file((folder + "vorn.quox2").c_str(), sc));
        ASSERT_TRUE(scene_copy_resources_folder_path(sc, folder.c_str()));
        start_world();
    }
    void TearDown() override
    {
        vorn_asteroids_deinit();
        vorn_missiles_deinit();
        vorn_shots_deinit();
        if (gas) gas_destroy(gas);
        gas = nullptr;
        if (sc) vorn_deinit_particles();
        if (sc) scene_deinit(sc);
        sc = nullptr;
        vorn_set_world(nullptr, nullptr);
        if (auren_is_inited()) auren_deinit();
        if (services) {
            drand_deinit();
            gfxloader_deinit();
        }
        services = false;
    }

    // One level frame: the launcher, the actors, shots, missiles, the scene's
    // motions and transforms, the particles.
    void step(float dt, bool launcher = true)
    {
        if (launcher) vorn_asteroids_launch_timer(dt);
        gas_update_all(gas, dt);
        vorn_shots_update(dt);
        vorn_missiles_update(dt);
        scene_update(sc, tacka3{0, 0, 0}, dt);
        vorn_update_particles(dt, nullptr);
    }

    game_actor *actor(const char *name, const char *type) { return gas_find_actor(gas, name, type); }
    game_actor *fighter() { return actor("fighter", "fighter"); }
    fake_fighter_t *fighter_state() { return fake_fighter_state(fighter()); }
    game_actor *station() { return actor("station", "station"); }
    float life_of(game_actor *ga)
    {
        float life = -1.0f;
        EXPECT_TRUE(game_actor_query(ga, GA_QUERY_LIFE, &life));
        return life;
    }
    tacka3 position_of(game_actor *ga)
    {
        tacka3 p{};
        EXPECT_TRUE(game_actor_query(ga, GA_QUERY_POSITION, &p));
        return p;
    }
    // Every actor of the type, in list order.
    std::vector<game_actor *> actors_of(const char *type)
    {
        std::vector<game_actor *> out;
        dlist_for_each(n, &gas->actors)
        {
            game_actor *ga = dlist_entry<game_actor>(n);
            if (std::string(game_actor_get_type(ga)) == type) out.push_back(ga);
        }
        return out;
    }
    int alive_attackers()
    {
        int n = 0;
        dlist_for_each(n2, &gas->actors)
        {
            game_actor *ga = dlist_entry<game_actor>(n2);
            if (game_actor_is_attacker(ga) && game_actor_is_alive(ga)) n++;
        }
        return n;
    }
    // Wakes the attacker at `start` flying towards `target` at `speed`.
    void launch(game_actor *ga, tacka3 start, tacka3 target, float speed)
    {
        ga_launch l{start, target, speed};
        game_actor_event(ga, GA_EVENT_LAUNCH, &l);
    }
    // Sends every sentinel to sleep (they would shoot at what the test sets up).
    void silence_sentinels()
    {
        for (game_actor *s : actors_of("sentinel")) game_actor_event(s, GA_EVENT_DEACTIVATE, nullptr);
    }

    std::string folder;
    bool services = false;
    scene *sc = nullptr;
    game_actor_system *gas = nullptr;
};
