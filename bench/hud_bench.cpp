// Cockpit HUD benchmark: the in-game HUD of the default data drawn every
// frame at 800 x 600 with everything on (all damage marks blinking, the
// station alert, dead and attacked sentinels, the missile target, the three
// read-outs), first with its pictures in one batch from the atlas, then with
// one draw per picture for comparison; then the statistics screen.
//
// Prints per frame, from the median: the main thread's CPU time in the HUD's
// drawing and the wall time with the GL work finished (llvmpipe rasterises on
// its own threads), and the draws (batches) a frame.
//
// Usage: hud_bench [frames] [data folder]   (default build/data/; run under
// xvfb-run for CI; build the 'data' target first)

#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "corelib/gfxloader.h"
#include "corelib/view.h"
#include "frontend/fonts.h"
#include "game/resource_folder.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_ui.h"
#include "game/the_vorn_ui_pictures.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_window.h"

struct bench_result {
    double cpu_ms, wall_ms;
    int draws;
};

static vorn_ui_values frame_values(int f)
{
    vorn_ui_values v{};
    v.fighter_life = 0.0f; // every mark set
    v.station_life = 0.05f;
    v.engine = float(f % 100) / 100.0f;
    v.lasers = 1.0f - v.engine;
    v.channel_mod = 0.5f + 0.5f * float(f % 10) / 10.0f;
    v.score = 12300 + 100 * f;
    v.has_target = 1;
    v.target_position = {1.0f, 0.5f, 0.0f};
    for (int i = 0; i < VORN_UI_SENTINELS; i++) {
        v.sentinel_alive[i] = i != 3;
        v.sentinel_attacked[i] = i % 2;
    }
    v.remaining_seconds = 180 - f % 180;
    v.level = 2;
    v.mouse_x = 300 + f % 200;
    v.mouse_y = 250;
    return v;
}

static bench_result run(int frames, const view *camera, bool immediate)
{
    vorn_ui_batch_set_immediate(immediate);
    std::vector<double> cpu, wall;
    int draws = 0;
    for (int f = 0; f < frames; f++) {
        vorn_ui_values v = frame_values(f);
        vorn_ui_clear_counters();
        vorn_ui_station_alert();
        // Into the blink's lit half: marks and attacked sentinels drawn.
        vorn_ui_step(VORN_UI_BLINK_PERIOD + 0.01f, &v);
        vorn_ui_step(0.45f, &v);
        OGL_clear();
        glFinish();
        auto t0 = bench_clock::now();
        double c0 = bench_thread_cpu_seconds();
        vorn_ui_draw(&v, camera);
        cpu.push_back(bench_thread_cpu_seconds() - c0);
        glFinish();
        wall.push_back(bench_seconds_since(t0));
        draws = vorn_ui_last_batches();
        OGL_swap_buffers();
    }
    vorn_ui_batch_set_immediate(false);
    return {bench_median(cpu) * 1e3, bench_median(wall) * 1e3, draws};
}

int main(int argc, char **argv)
{
    int frames = argc > 1 ? std::atoi(argv[1]) : 300;
    if (frames < 10) frames = 10;
    std::string data = argc > 2 ? argv[2] : "build/data/";
    if (!data.empty() && data.back() != '/') data += '/';
    if (!OGL_window_library_init() || !OGL_init("hud bench", 800, 600, false)) {
        std::fprintf(stderr, "hud_bench: no window (run under xvfb-run)\n");
        return 1;
    }
    OGL_window_set_swap_interval(0);
    gfxloader_init();
    fonts_init();
    resource_folder_set(data.c_str());
    vorn_ui_init();
    if (vorn_ui_pictures_loaded() != VORN_UI_PICTURES) {
        std::fprintf(stderr, "hud_bench: %d of %d pictures in %s (build the 'data' target)\n",
                     vorn_ui_pictures_loaded(), VORN_UI_PICTURES, data.c_str());
        return 1;
    }
    view *camera = view_create();
    view_set_position(camera, {0, 0, -10});
    view_set_target(camera, {0, 0, 0});
    view_set_up(camera, {0, 1, 0});
    view_set_near_far(camera, 1.0f, 1000.0f);
    view_compute_view_matrix(camera);
    view_compute_projection(camera);

    // First frame: every glyph of the read-outs rendered into the caches.
    vorn_ui_values v = frame_values(0);
    glFinish();
    double c0 = bench_thread_cpu_seconds();
    vorn_ui_draw(&v, camera);
    glFinish();
    const double first_ms = (bench_thread_cpu_seconds() - c0) * 1e3;
    OGL_swap_buffers();

    std::printf("HUD: %d pictures, %d of them in one atlas; everything on\n", vorn_ui_pictures_loaded(),
                vorn_ui_pictures_in_atlas());
    std::printf("  first frame (glyphs rendered): %.3f ms CPU\n", first_ms);
    bench_result batched = run(frames, camera, false);
    std::printf("  batched:      %.3f ms CPU, %.3f ms with the GL work finished; %d draws a frame\n", batched.cpu_ms,
                batched.wall_ms, batched.draws);
    bench_result single = run(frames, camera, true);
    std::printf("  one per quad: %.3f ms CPU, %.3f ms with the GL work finished; %d draws a frame\n", single.cpu_ms,
                single.wall_ms, single.draws);

    *vorn_get_level_statistics() = {250, 180, 90, 31};
    std::vector<double> cpu, wall;
    for (int f = 0; f < frames; f++) {
        OGL_clear();
        glFinish();
        auto t0 = bench_clock::now();
        double cc = bench_thread_cpu_seconds();
        vorn_ui_draw_statistics(1);
        cpu.push_back(bench_thread_cpu_seconds() - cc);
        glFinish();
        wall.push_back(bench_seconds_since(t0));
        OGL_swap_buffers();
    }
    std::printf("statistics screen: %.3f ms CPU, %.3f ms with the GL work finished; 6 text batches\n",
                bench_median(cpu) * 1e3, bench_median(wall) * 1e3);

    view_free(camera);
    vorn_ui_deinit();
    fonts_deinit();
    gfxloader_deinit();
    OGL_deinit();
    return 0;
}
