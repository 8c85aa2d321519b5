// A busy level as the player sees it: level 1 of the game, started as the game
// starts it (window, app.ini beside this program), drawn through the fighter's
// chase camera at 800 x 600 with every attacker of every pool in flight (those
// shot down or home are thrown again at once), at least 40 laser shots flying
// from the fighter at them, and the explosions' particles that follow.
//
// Prints the same figures as default_scene_bench: frames per second (from the
// median frame), the engine's CPU time per frame on the main thread (game
// logic, and the camera-and-scene pass: scene update, visibility, drawing,
// particles), batches, state-group applications and triangles per frame, and
// the frame-time ratio to the minimal program drawing the same instances with
// one state.
//
// Usage: level_bench [frames]   (run under xvfb-run, after building 'data')
// With VORN_BENCH_CULLING set in the environment the renderer's frustum
// culling option is switched on (the game starts with it off); with
// VORN_BENCH_GROUPS set, a table of each render state group's fill (batches
// and samples that passed the depth test) follows the figures.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <GL/glew.h>

#include "actors/actors.h"
#include "bench/bench_minimal.h"
#include "bench/bench_util.h"
#include "corelib/drand.h"
#include "corelib/files.h"
#include "corelib/gfxloader.h"
#include "corelib/parser.h"
#include "frontend/fonts.h"
#include "game/gameplay_core.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_shots.h"
#include "renderer/OGL_frame_stats.h"
#include "renderer/OGL_group_costs.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_settings.h"
#include "renderer/OGL_window.h"
#include "scene/scene.h"

namespace {

const uint32_t SHOTS_FLYING = 40;

float frand(float lo, float hi) { return float(drand_range(lo, hi)); }

// Throws every dormant attacker from around the pad at the station, anywhere
// along the lane.
int relaunch_dormant(game_actor_system *gas)
{
    int n = 0;
    dlist_for_each(node, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(node);
        if (!game_actor_is_attacker(ga) || game_actor_is_alive(ga)) continue;
        float along = frand(0.0f, 0.8f);
        tacka3 pad = {-330.0f + frand(-50, 50), 40.0f + frand(-50, 50), -90.0f + frand(-50, 50)};
        ga_launch l = {
            tacka3_scale(pad, 1.0f - along), {frand(-10, 10), frand(-20, 20), frand(-10, 10)}, frand(5.5f, 6.8f)};
        game_actor_event(ga, GA_EVENT_LAUNCH, &l);
        n++;
    }
    return n;
}

int attackers_flying(game_actor_system *gas, std::vector<game_actor *> *flying)
{
    flying->clear();
    dlist_for_each(node, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(node);
        if (game_actor_is_attacker(ga) && game_actor_is_alive(ga)) flying->push_back(ga);
    }
    return int(flying->size());
}

// Shots from the fighter at random attackers until SHOTS_FLYING fly.
void top_up_shots(game_actor *fighter, const std::vector<game_actor *> &flying)
{
    if (flying.empty()) return;
    tacka3 from;
    if (!game_actor_query(fighter, GA_QUERY_POSITION, &from)) return;
    while (vorn_shots_active_no() < SHOTS_FLYING) {
        game_actor *aim = flying[size_t(frand(0.0f, float(flying.size()))) % flying.size()];
        tacka3 p;
        if (!game_actor_query(aim, GA_QUERY_POSITION, &p)) break;
        tacka3 dir = tacka3_sub(p, from);
        if (is_zero(dir)) break;
        uint32_t before = vorn_shots_active_no();
        vorn_shot_launch(from, dir, nullptr, 1.0f, fighter);
        if (vorn_shots_active_no() == before) break; // the pool is full
    }
}

} // namespace

int main(int argc, char **argv)
{
    int frames = argc > 1 ? std::max(10, atoi(argv[1])) : 150;
    std::string ini = file_executable_dir() + RESOURCE_FOLDER_INI;
    if (!file_exists(ini.c_str())) {
        std::fprintf(stderr, "level_bench: %s not found (build the 'data' target)\n", ini.c_str());
        return 1;
    }
    setenv("ALSOFT_DRIVERS", "null", 0);
    if (!parser_init() || !drand_init() || !gfxloader_init() || !fonts_init()) return 1;
    vorn_set_headless(false);
    if (!vorn_init(0)) {
        std::fprintf(stderr, "level_bench: the game does not start\n");
        return 1;
    }
    bool culling = getenv("VORN_BENCH_CULLING") != nullptr;
    if (culling) OGL_render_options_set(OGL_RENDER_OPTION_FRUSTUM_CULLING);
    drand_seed(19);
    vorn_game_set_state(VORN_GAME_LEVEL);
    game_actor_system *gas = vorn_get_gas();
    game_actor *fighter = vorn_get_game_actor("fighter", "fighter");
    const float dt = 1.0f / 30.0f;
    std::vector<game_actor *> flying;

    double logic_cpu = 0, pass_cpu = 0, attackers_sum = 0, shots_sum = 0;
    int relaunched = 0;
    auto run = [&](int n, std::vector<double> *times) {
        for (int f = 0; f < n; f++) {
            relaunched += relaunch_dormant(gas);
            attackers_sum += attackers_flying(gas, &flying);
            top_up_shots(fighter, flying);
            shots_sum += vorn_shots_active_no();

            auto w0 = bench_clock::now();
            double t0 = bench_thread_cpu_seconds();
            OGL_clear();
            vorn_letterbox_update(dt);
            if (!vorn_game_loop(dt)) return false;
            double t1 = bench_thread_cpu_seconds();
            if (vorn_get_passes()->scene) vorn_camera_and_scene_pass(dt);
            double t2 = bench_thread_cpu_seconds();
            vorn_letterbox_draw();
            OGL_swap_buffers();
            if (times) {
                logic_cpu += t1 - t0;
                pass_cpu += t2 - t1;
                times->push_back(bench_seconds_since(w0));
            }
        }
        glFinish();
        return true;
    };
    if (!run(10, nullptr)) return 1;
    OGL_frame_stats_clear_frame_counters();
    OGL_frame_stats_reset();
    attackers_sum = shots_sum = 0;
    relaunched = 0;
    std::vector<double> engine_times;
    if (!run(frames, &engine_times)) {
        std::fprintf(stderr, "level_bench: the game loop ended\n");
        return 1;
    }
    const OGL_frame_statistics *st = OGL_frame_stats_get();
    double batches = double(st->batches) / frames, states = double(st->state_applications) / frames;
    double triangles = double(st->triangles) / frames;
    bool still_level = vorn_game_get_state() == VORN_GAME_LEVEL;

    view *v = vorn_get_view_camera();
    std::vector<OGL_mesh_instance *> drawn = bench_minimal_collect(vorn_get_scene());
    bench_minimal_run(drawn, v, 10, nullptr);
    std::vector<double> minimal_times;
    bench_minimal_run(drawn, v, frames, &minimal_times);

    double engine_s = bench_median(engine_times), minimal_s = bench_median(minimal_times);
    std::printf("level_bench: level %d through the fighter's chase camera, %d frames of %.4f s at 800 x 600 (%s), "
                "frustum culling %s\n",
                vorn_get_current_level(), frames, dt, reinterpret_cast<const char *>(glGetString(GL_RENDERER)),
                culling ? "on" : "off");
    std::printf("  frames per second             %8.1f (from the median frame)\n", 1.0 / engine_s);
    std::printf("  frame time (median)           %8.2f ms\n", engine_s * 1000.0);
    std::printf("  engine CPU time per frame     %8.2f ms (main thread)\n", (logic_cpu + pass_cpu) * 1000.0 / frames);
    std::printf("    game logic                  %8.2f ms\n", logic_cpu * 1000.0 / frames);
    std::printf("    camera and scene pass       %8.2f ms (update, visibility, GL calls, particles)\n",
                pass_cpu * 1000.0 / frames);
    std::printf("  batches per frame             %8.1f\n", batches);
    std::printf("  state applications per frame  %8.1f\n", states);
    std::printf("  triangles per frame           %8.0f\n", triangles);
    std::printf("  minimal program frame time    %8.2f ms (median; one state, %zu batches)\n", minimal_s * 1000.0,
                drawn.size());
    std::printf("  ratio engine / minimal        %8.2f\n", engine_s / minimal_s);
    std::printf("  attackers in flight %.1f, shots flying %.1f per frame, attackers thrown again %d%s\n",
                attackers_sum / frames, shots_sum / frames, relaunched,
                still_level ? "" : " (the level ended during the run)");

    // With VORN_BENCH_GROUPS set: the fill of each render state group,
    // over a few more frames.
    if (getenv("VORN_BENCH_GROUPS")) {
        const int GROUP_FRAMES = 20;
        if (OGL_group_costs_enable(true)) {
            OGL_group_costs_reset();
            if (!run(GROUP_FRAMES, nullptr)) return 1;
            OGL_group_costs_enable(false);
            std::printf("  fill by render state group per frame (%d more frames):\n", GROUP_FRAMES);
            OGL_group_costs_print(stdout, GROUP_FRAMES, 800, 600);
        } else {
            std::printf("  fill by render state group: the board has no occlusion queries\n");
        }
    }

    vorn_deinit();
    fonts_deinit();
    gfxloader_deinit();
    parser_deinit();
    drand_deinit();
    return 0;
}
