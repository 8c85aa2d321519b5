// The game logic of a busy level on the default scene, without drawing: every
// attacker of every pool in flight (those that are shot down or reach the
// station are thrown again at once), the sentinels hunting them, at least 40
// laser shots and a few missiles flying, and the particle systems updated.
//
// Prints the time per frame of the game logic (launcher, actor updates with
// their sliding moves, shots and missiles with their rays) and, apart, of the
// particle update (the quads are rebuilt as for a camera), as medians and
// means of the main thread's CPU time.
//
// Usage: game_logic_bench [resource folder] [frames]
// The folder defaults to the data built beside this program (../data/).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "actors/actors.h"
#include "bench/bench_util.h"
#include "corelib/drand.h"
#include "corelib/files.h"
#include "corelib/gfxloader.h"
#include "corelib/mem.h"
#include "corelib/parser.h"
#include "game/gameplay_core.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_asteroids.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_particles.h"
#include "game/the_vorn_shots.h"
#include "scene/object_instance.h"
#include "scene/quox2_loader.h"
#include "scene/scene.h"
#include "sound/auren.h"

// A fighter that only holds its place: the shooter of the bench's shots.
namespace {
struct bench_fighter {
    uint8_t alive;
    object_instance *hull;
};
bool bf_init(game_actor *ga)
{
    bench_fighter *f = mem_new_zeroed<bench_fighter>();
    f->alive = 1;
    f->hull = game_actor_find_oi(ga, "bolid");
    game_actor_insert_state_struct(ga, f);
    return f->hull != nullptr;
}
void bf_deinit(game_actor *ga)
{
    mem_free(game_actor_get_state_struct(ga));
    game_actor_remove_state_struct(ga);
}
bool bf_is_alive(game_actor *ga) { return static_cast<bench_fighter *>(game_actor_get_state_struct(ga))->alive; }
bool bf_query(game_actor *ga, int32_t code, void *result)
{
    bench_fighter *f = static_cast<bench_fighter *>(game_actor_get_state_struct(ga));
    switch (code) {
    case GA_QUERY_POSITION: *static_cast<tacka3 *>(result) = OI_get_position_ws(f->hull); return true;
    case GA_QUERY_KIND: *static_cast<int32_t *>(result) = GA_KIND_FIGHTER; return true;
    case GA_QUERY_SIDE: *static_cast<int32_t *>(result) = GA_SIDE_DEFENDERS; return true;
    case GA_QUERY_SPEED: *static_cast<float *>(result) = 6.0f; return true;
    default: return false;
    }
}
const game_actor_interface BENCH_FIGHTER = {"fighter", bf_init, bf_deinit, nullptr, bf_is_alive, nullptr, bf_query};

float frand(float lo, float hi) { return float(drand_range(lo, hi)); }

// Throws every dormant attacker from around the pad at the station.
int relaunch_dormant(game_actor_system *gas)
{
    int n = 0;
    dlist_for_each(node, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(node);
        if (!game_actor_is_attacker(ga) || game_actor_is_alive(ga)) continue;
        // Anywhere along the lane, so that the whole field is busy.
        float along = frand(0.0f, 0.8f);
        tacka3 pad = {-330.0f + frand(-50, 50), 40.0f + frand(-50, 50), -90.0f + frand(-50, 50)};
        tacka3 start = tacka3_scale(pad, 1.0f - along);
        ga_launch l = {start, {frand(-10, 10), frand(-20, 20), frand(-10, 10)}, frand(5.5f, 6.8f)};
        game_actor_event(ga, GA_EVENT_LAUNCH, &l);
        n++;
    }
    return n;
}

game_actor *random_attacker(game_actor_system *gas)
{
    std::vector<game_actor *> flying;
    dlist_for_each(node, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(node);
        if (game_actor_is_attacker(ga) && game_actor_is_alive(ga)) flying.push_back(ga);
    }
    if (flying.empty()) return nullptr;
    return flying[size_t(frand(0.0f, float(flying.size()))) % flying.size()];
}
} // namespace

int main(int argc, char **argv)
{
    std::string folder = argc > 1 ? argv[1] : file_executable_dir() + "../data/";
    if (folder.back() != '/') folder += '/';
    int frames = argc > 2 ? std::max(10, atoi(argv[2])) : 1500;
    std::string scene_path = folder + "vorn.quox2";
    if (!file_exists(scene_path.c_str())) {
        std::fprintf(stderr, "game_logic_bench: %s not found (build the 'data' target)\n", scene_path.c_str());
        return 1;
    }
    setenv("ALSOFT_DRIVERS", "null", 0);
    if (!parser_init() || !drand_init() || !gfxloader_init()) return 1;
    drand_seed(77);
    resource_folder_set(folder.c_str());
    auren_init();

    scene *sc = scene_init();
    if (!quox2_load_file(scene_path.c_str(), sc) || !scene_copy_resources_folder_path(sc, folder.c_str()) ||
        !vorn_init_particles(sc, folder.c_str()) || !scene_prepare_ex(sc, SCENE_PREPARE_NO_RENDERER)) {
        std::fprintf(stderr, "game_logic_bench: the scene could not be prepared\n");
        return 1;
    }
    for (uint32_t i = 0; i < scene_get_ois_no(sc); i++) OI_calc_bounding_volumes(scene_get_oi(sc, i));
    game_actor_system *gas = gas_create();
    for (const game_actor_interface *iface : ga_implementations)
        gas_register_interface(gas, std::string(iface->name) == "fighter" ? &BENCH_FIGHTER : iface);
    vorn_set_world(sc, gas);
    if (!gas_build_actors(gas, sc) || !vorn_shots_init() || !vorn_missiles_init() || !vorn_asteroids_init()) {
        std::fprintf(stderr, "game_logic_bench: the actors could not be built\n");
        return 1;
    }
    vorn_level_insert_chances(2);
    vorn_asteroids_prepare_level(2);
    game_actor *fighter = vorn_get_game_actor("fighter", "fighter");
    tacka3 hull = {45, 12, -95};

    const float dt = 1.0f / 60.0f;
    std::vector<double> logic, particles;
    double shots_sum = 0, attackers_sum = 0;
    int relaunched = 0, missiles_fired = 0;
    for (int f = 0; f < frames; f++) {
        relaunched += relaunch_dormant(gas);
        while (vorn_shots_active_no() < 40) {
            game_actor *aim = random_attacker(gas);
            if (!aim) break;
            tacka3 p;
            game_actor_query(aim, GA_QUERY_POSITION, &p);
            vorn_shot_launch(hull, tacka3_sub(p, hull), nullptr, 1.0f, fighter);
        }
        if (f % 60 == 0 && vorn_missiles_active_no() < 5) {
            if (game_actor *aim = random_attacker(gas)) {
                vorn_missile_launch(hull, fighter, aim, 0);
                missiles_fired++;
            }
        }
        shots_sum += vorn_shots_active_no();
        int flying = 0;
        dlist_for_each(node, &gas->actors)
        {
            game_actor *ga = dlist_entry<game_actor>(node);
            flying += game_actor_is_attacker(ga) && game_actor_is_alive(ga);
        }
        attackers_sum += flying;

        double t0 = bench_thread_cpu_seconds();
        vorn_asteroids_launch_timer(dt);
        gas_update_all(gas, dt);
        vorn_shots_update(dt);
        vorn_missiles_update(dt);
        double t1 = bench_thread_cpu_seconds();
        scene_update(sc, hull, dt);
        vorn_update_particles(dt, nullptr);
        double t2 = bench_thread_cpu_seconds();
        logic.push_back(t1 - t0);
        particles.push_back(t2 - t1);
    }
    auto mean = [](const std::vector<double> &v) {
        double s = 0;
        for (double x : v) s += x;
        return v.empty() ? 0.0 : s / double(v.size());
    };
    const vorn_level_statistics *st = vorn_get_level_statistics();
    std::printf("game_logic_bench: %d frames of %.4f s on %s\n", frames, dt, scene_path.c_str());
    std::printf("  attackers in flight per frame: %.1f (of %u actors), shots flying: %.1f, missiles fired: %d\n",
                attackers_sum / frames, gas_get_actors_no(gas), shots_sum / frames, missiles_fired);
    std::printf("  attackers thrown again: %d, player shots %d hits %d, sentinel shots %d hits %d\n", relaunched,
                st->player_shots, st->player_hits, st->sentinel_shots, st->sentinel_hits);
    std::printf("  game logic (launcher, actors, shots, missiles): median %.3f ms, mean %.3f ms per frame\n",
                bench_median(logic) * 1e3, mean(logic) * 1e3);
    std::printf("  scene update and particles: median %.3f ms, mean %.3f ms per frame\n", bench_median(particles) * 1e3,
                mean(particles) * 1e3);

    vorn_asteroids_deinit();
    vorn_missiles_deinit();
    vorn_shots_deinit();
    gas_destroy(gas);
    vorn_deinit_particles();
    scene_deinit(sc);
    vorn_set_world(nullptr, nullptr);
    auren_deinit();
    return 0;
}
