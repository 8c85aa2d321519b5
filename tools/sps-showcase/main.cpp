// sps-showcase: cycles through every effect of the game's particle pools and
// both particle compositions of a resource folder, for artists tuning the
// particle files and textures. Each effect runs for a few seconds in front of
// a slowly turning camera, then the next one starts.
//
//   sps-showcase [--data DIR] [--seconds N] [--effect NAME] [--shots DIR] [--no-scene]
//
//   --data DIR     the resource folder (default: <executable folder>/../data)
//   --seconds N    stop after N seconds (default: run until the window closes)
//   --effect NAME  show only that effect (trail, pulse, debris, debris-trails,
//                  missile, jet, hit, explosion, station-hit)
//   --shots DIR    fixed 1/60 s steps, and one picture per effect saved as
//                  DIR/<effect>.tga while it runs
//   --no-scene     the effects alone, without the default scene "vorn.quox2"
//
// The effects play above the fighter ("bolid") of the default scene, with the
// sky box around the camera; without the scene, at the origin.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <string>
#include <vector>

#include <GL/glew.h>

#include "corelib/drand.h"
#include "corelib/files.h"
#include "corelib/gfxloader.h"
#include "corelib/hw_timer.h"
#include "corelib/log.h"
#include "corelib/view.h"
#include "game/the_vorn_particles.h"
#include "particles/simple_particles.h"
#include "particles/sps_file.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_scene.h"
#include "renderer/OGL_texture.h"
#include "renderer/OGL_window.h"
#include "renderer/engine.h"
#include "scene/object_instance.h"
#include "scene/quox2_loader.h"
#include "scene/scene.h"

namespace {

const float EFFECT_SECONDS = 3.0f;
const int SHOWCASE_W = 800, SHOWCASE_H = 600;

// Where the effects play (above the fighter of the default scene).
tacka3 g_at{0, 0, 0};

struct effect_run {
    std::vector<sps *> systems; // long-running systems the effect stops at its end
    sps *glow = nullptr;        // lives 100 s: switched off at the end
    sps *moving = nullptr;      // moved along a path each frame
    sps *jet = nullptr;
    float t = 0, next_shot = 0;
};

const char *EFFECTS[] = {"trail", "pulse", "debris",    "debris-trails", "missile",
                         "jet",   "hit",   "explosion", "station-hit"};
const int EFFECTS_NO = sizeof(EFFECTS) / sizeof(EFFECTS[0]);

// A point on the effect's path at time t.
tacka3 path_at(float t)
{
    return tacka3_add(g_at, tacka3{8.0f * std::cos(t * 1.3f), 2.0f * std::sin(t * 2.1f), 8.0f * std::sin(t * 1.3f)});
}
tacka3 path_velocity(float t)
{
    return tacka3{-8.0f * 1.3f * std::sin(t * 1.3f), 2.0f * 2.1f * std::cos(t * 2.1f),
                  8.0f * 1.3f * std::cos(t * 1.3f)};
}

void effect_start(int which, effect_run *run)
{
    *run = effect_run{};
    const tacka3 origin = g_at;
    switch (which) {
    case 0:
        run->moving = vorn_create_trail(path_at(0), path_velocity(0));
        run->systems.push_back(run->moving);
        break;
    case 1:
        run->next_shot = 0; // pulses are fired in effect_step
        break;
    case 2: vorn_create_debris(origin); break;
    case 3:
        for (int i = 0; i < 6; i++) {
            float a = float(i) * 1.047f;
            vorn_create_debris_trails(origin, tacka3{6.0f * std::cos(a), 3.0f, 6.0f * std::sin(a)}, 0.6f);
        }
        break;
    case 4: {
        run->moving = vorn_create_missile(path_at(0));
        run->systems.push_back(run->moving);
        run->glow = vorn_create_glow(run->moving);
        break;
    }
    case 5:
        run->jet = vorn_create_jet(origin);
        vorn_update_jet(run->jet, tacka3{0, 0, -4});
        run->systems.push_back(run->jet);
        break;
    case 6: vorn_create_hit(origin); break;
    case 7: vorn_create_explosion(origin); break;
    case 8: vorn_create_station_hit(origin); break;
    }
}

void effect_step(int which, effect_run *run, float dt)
{
    run->t += dt;
    if (run->moving) {
        sps_set_position(run->moving, path_at(run->t));
        if (which == 0) sps_set_system_velocity(run->moving, tacka3_scale(path_velocity(run->t), 0.3f));
    }
    if (which == 1 && run->t >= run->next_shot && run->t < EFFECT_SECONDS - 1.0f) {
        float a = run->t * 2.0f;
        run->systems.push_back(
            vorn_create_pulse(tacka3_add(g_at, tacka3{-6, std::sin(a), 0}), tacka3{12, 0, 2.0f * std::cos(a)}));
        run->next_shot += 0.25f;
    }
}

void effect_end(effect_run *run)
{
    for (sps *s : run->systems)
        if (s && sps_is_active(s)) sps_stop_emitting(s);
    if (run->glow && sps_is_active(run->glow)) sps_deactivate(run->glow);
}

// When the picture of an effect is taken: bursts early, running effects later.
float shot_time(int which) { return which == 2 || which >= 6 ? 0.45f : EFFECT_SECONDS * 0.5f; }

bool save_shot(const std::string &path)
{
    std::vector<uint8_t> px(size_t(SHOWCASE_W) * SHOWCASE_H * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, SHOWCASE_W, SHOWCASE_H, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return gfxloader_save(path.c_str(), SHOWCASE_W, SHOWCASE_H, 24, px.data());
}

} // namespace

static void __usage(FILE *out)
{
    fprintf(out, "usage: sps-showcase [--data DIR] [--seconds N] [--effect NAME] [--shots DIR] [--no-scene]\n"
                 "Cycles through every particle effect of the game over the default scene.\n"
                 "  --data DIR     the resource folder (default: <executable folder>/../data)\n"
                 "  --seconds N    stop after N seconds (default: run until the window closes)\n"
                 "  --effect NAME  show only that effect:");
    for (int i = 0; i < EFFECTS_NO; i++) fprintf(out, " %s", EFFECTS[i]);
    fprintf(out, "\n"
                 "  --shots DIR    fixed 1/60 s steps, one picture per effect saved as DIR/<effect>.tga\n"
                 "  --no-scene     the effects alone, without the default scene\n"
                 "  --help         show this text\n");
}

int main(int argc, char **argv)
{
    std::string data = file_executable_dir() + "../data";
    std::string shots, only;
    double seconds = -1;
    bool with_scene = true;
    static const option LONG_OPTIONS[] = {
        {"data", required_argument, nullptr, 'd'},
        {"seconds", required_argument, nullptr, 's'},
        {"effect", required_argument, nullptr, 'e'},
        {"shots", required_argument, nullptr, 'S'},
        {"no-scene", no_argument, nullptr, 'n'},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    int c;
    char *end = nullptr;
    // getopt_long names an unknown option or a missing value itself.
    while ((c = getopt_long(argc, argv, "h", LONG_OPTIONS, nullptr)) != -1) {
        switch (c) {
        case 'd': data = optarg; break;
        case 's':
            seconds = strtod(optarg, &end);
            if (end == optarg || *end || !std::isfinite(seconds) || seconds <= 0) {
                fprintf(stderr, "sps-showcase: --seconds takes a number above 0, not \"%s\"\n", optarg);
                return 2;
            }
            break;
        case 'S': shots = optarg; break;
        case 'e': only = optarg; break;
        case 'n': with_scene = false; break;
        case 'h': __usage(stdout); return 0;
        default: __usage(stderr); return 2;
        }
    }
    if (optind < argc) {
        fprintf(stderr, "sps-showcase: unexpected argument %s\n", argv[optind]);
        __usage(stderr);
        return 2;
    }
    int first = 0, count = EFFECTS_NO;
    if (!only.empty()) {
        first = -1;
        for (int i = 0; i < EFFECTS_NO; i++)
            if (only == EFFECTS[i]) first = i;
        if (first < 0) {
            fprintf(stderr, "sps-showcase: no effect \"%s\"\n", only.c_str());
            return 2;
        }
        count = 1;
    }
    if (!data.empty() && data.back() != '/') data += '/';

    const engine_window window = {"VVVORN particle showcase", SHOWCASE_W, SHOWCASE_H, false};
    if (!engine_startup(ENGINE_ALL, &window)) {
        fprintf(stderr, "sps-showcase: the renderer did not start\n");
        engine_shutdown();
        return 1;
    }

    // The game's order: the scene file, the particles, the scene's preparation.
    scene *sc = scene_init();
    scene_copy_resources_folder_path(sc, data.c_str());
    std::string scene_file = data + "vorn.quox2";
    if (with_scene && !quox2_load_file(scene_file.c_str(), sc)) {
        fprintf(stderr, "sps-showcase: %s did not load, the effects play alone\n", scene_file.c_str());
        scene_deinit(sc);
        sc = scene_init();
        scene_copy_resources_folder_path(sc, data.c_str());
        with_scene = false;
    }
    if (!vorn_init_particles(sc, data.c_str())) {
        fprintf(stderr, "sps-showcase: the particle files of %s did not load\n", data.c_str());
        return 1;
    }
    if (!scene_prepare(sc)) fprintf(stderr, "sps-showcase: the scene was not fully prepared\n");
    bool sky = true;
    for (const char *n : {"left", "right", "back", "front", "bottom", "top"}) sky = sky && scene_get_oi_by_name(sc, n);
    if (sky) vorn_skysphere_init(sc, tacka3{0, 0, 0});
    if (object_instance *fighter = with_scene ? scene_get_oi_by_name(sc, "bolid") : nullptr)
        g_at = tacka3_add(OI_get_position_ws(fighter), tacka3{0, 6, 0});

    view *camera = view_create();
    camera->fov = 60.0f * float(M_PI) / 180.0f;
    camera->z_near = 0.5f;
    camera->z_far = 1000.0f;
    const float clear[4] = {0.02f, 0.03f, 0.08f, 1.0f};
    OGL_set_clear_color(clear);

    hw_timer *clock = hw_timer_init();
    double total = 0;
    int current = first;
    effect_run run{};
    effect_start(current, &run);
    bool shot_taken = false;
    printf("sps-showcase: %s\n", EFFECTS[current]);
    while (OGL_window_is_open() && (seconds < 0 || total < seconds)) {
        float dt = shots.empty() ? float(std::fmin(hw_timer_get(clock, 1), 0.2)) : 1.0f / 60.0f;
        total += dt;
        if (run.t >= EFFECT_SECONDS) {
            effect_end(&run);
            current = first + (current - first + 1) % count;
            effect_start(current, &run);
            shot_taken = false;
            printf("sps-showcase: %s\n", EFFECTS[current]);
        }
        effect_step(current, &run, dt);

        float a = float(total) * 0.15f;
        camera->position = tacka3_add(g_at, tacka3{16.0f * std::sin(a), 5.0f, -16.0f * std::cos(a)});
        camera->target = g_at;
        camera->up = tacka3{0, 1, 0};
        view_compute_view_matrix(camera);
        view_compute_projection(camera);

        vorn_skysphere_follow(camera->position);
        scene_update(sc, camera->position, dt);
        scene_update_visibility(sc, camera);
        vorn_update_particles(dt, camera);
        OGL_clear();
        OGL_render_frame(camera);
        if (!shots.empty() && !shot_taken && run.t >= shot_time(current)) {
            std::string p = shots + "/" + EFFECTS[current] + ".tga";
            if (!save_shot(p)) fprintf(stderr, "sps-showcase: cannot write %s\n", p.c_str());
            shot_taken = true;
        }
        OGL_swap_buffers();
    }
    hw_timer_free(clock);
    view_free(camera);
    vorn_deinit_particles();
    scene_deinit(sc);
    engine_shutdown();
    return 0;
}
