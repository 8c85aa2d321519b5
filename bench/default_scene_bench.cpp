// The default scene as the title cinematic shows it: "vorn.quox2" loaded and
// prepared as the game does, drawn through "cinema_Camera01" at 800 x 600,
// against a minimal program that draws the same meshes of the same visible
// instances with one state.
//
// Prints frames per second (from the median frame), the engine's own CPU time
// per frame split into scene update, visibility and queue drawing (main
// thread; llvmpipe rasterises on threads of its own, which are not counted),
// batches and state-group applications per frame, and the frame-time ratio to
// the minimal program.
//
// Usage: default_scene_bench [resource folder] [frames]   (run under xvfb-run)
// With VORN_BENCH_CULLING set in the environment the renderer's frustum
// culling option is switched on (the game starts with it off); with
// VORN_BENCH_GROUPS set, a table of each render state group's fill (batches
// and samples that passed the depth test) follows the figures; with
// VORN_BENCH_RECORD=DIR, a frame of every second of the cinematic is written
// into DIR as title_01.bmp, title_02.bmp ...
// The folder defaults to the data built beside this program (../data/).

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <GL/glew.h>

#include "bench/bench_minimal.h"
#include "bench/bench_util.h"
#include "corelib/drand.h"
#include "corelib/files.h"
#include "corelib/gfxloader.h"
#include "corelib/parser.h"
#include "corelib/view.h"
#include "renderer/OGL_frame_stats.h"
#include "renderer/OGL_group_costs.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_mesh_instance.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_scene.h"
#include "renderer/OGL_settings.h"
#include "renderer/OGL_window.h"
#include "renderer/engine.h"
#include "scene/camera.h"
#include "scene/motion.h"
#include "scene/object_instance.h"
#include "scene/oi_fk_mixer.h"
#include "scene/quox2_loader.h"
#include "scene/scene.h"

#define RECORD_SECONDS 16

struct frame_cpu {
    double update, visibility, drawing;
};

int main(int argc, char **argv)
{
    std::string folder = argc > 1 ? argv[1] : file_executable_dir() + "../data/";
    if (folder.back() != '/') folder += '/';
    int frames = argc > 2 ? std::max(10, atoi(argv[2])) : 150;
    std::string scene_path = folder + "vorn.quox2";
    if (!file_exists(scene_path.c_str())) {
        std::fprintf(stderr, "default_scene_bench: %s not found (build the 'data' target)\n", scene_path.c_str());
        return 1;
    }
    bool culling = getenv("VORN_BENCH_CULLING") != nullptr;
    const engine_window window = {"default scene bench", 800, 600, false};
    if (!engine_startup(ENGINE_ALL, &window)) return 1;
    if (culling) OGL_render_options_set(OGL_RENDER_OPTION_FRUSTUM_CULLING);

    scene *sc = scene_init();
    if (!sc || !quox2_load_file(scene_path.c_str(), sc) || !scene_copy_resources_folder_path(sc, folder.c_str()) ||
        !scene_prepare(sc)) {
        std::fprintf(stderr, "default_scene_bench: the scene does not load or prepare\n");
        return 1;
    }
    camera *cam = scene_get_camera(sc, "cinema_Camera01");
    object_instance *root = scene_get_oi_by_name(sc, "cinema_BOL_ROOT");
    motion *flight = scene_get_motion(sc, "cinema_BOL_ROOT", nullptr);
    if (!cam || !root || !flight) {
        std::fprintf(stderr, "default_scene_bench: the title cinematic is missing\n");
        return 1;
    }
    OI_set_desc(root, "invisible", "false");
    motion_instance *mi = motion_instance_create(root, flight);
    motion_instance_play(mi, MOTION_PLAY_LOOP, 0.0f, false);
    view *v = view_create();
    const float dt = 1.0f / 25.0f;

    // Engine frames: the camera-and-scene pass of the game.
    // `grab`: the last frame's pixels are read before it is shown (bottom row
    // first, as the picture writer takes them).
    auto run_engine = [&](int n, frame_cpu *cpu, std::vector<double> *times, std::vector<uint8_t> *grab = nullptr) {
        for (int f = 0; f < n; f++) {
            auto w0 = bench_clock::now();
            OGL_clear();
            double t0 = bench_thread_cpu_seconds();
            scene_update(sc, view_get_position(v), dt);
            camera_setup_view(cam, v);
            view_set_viewport(v, 800, 600);
            view_set_fov(v, camera_get_fov(cam));
            view_compute_projection(v);
            double t1 = bench_thread_cpu_seconds();
            scene_update_visibility(sc, v);
            double t2 = bench_thread_cpu_seconds();
            OGL_render_frame(v);
            double t3 = bench_thread_cpu_seconds();
            if (grab && f == n - 1) {
                grab->resize(size_t(800) * 600 * 3);
                glPixelStorei(GL_PACK_ALIGNMENT, 1);
                glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, grab->data());
            }
            OGL_swap_buffers();
            if (cpu) {
                cpu->update += t1 - t0;
                cpu->visibility += t2 - t1;
                cpu->drawing += t3 - t2;
            }
            if (times) times->push_back(bench_seconds_since(w0));
        }
        glFinish();
    };
    run_engine(10, nullptr, nullptr);
    OGL_frame_stats_clear_frame_counters();
    OGL_frame_stats_reset();
    motion_instance_set_current_time(mi, 0.0f);
    frame_cpu cpu = {0, 0, 0};
    std::vector<double> engine_times;
    run_engine(frames, &cpu, &engine_times);
    const OGL_frame_statistics *st = OGL_frame_stats_get();
    double batches = double(st->batches) / frames, states = double(st->state_applications) / frames;
    double triangles = double(st->triangles) / frames;

    // The minimal program: every instance drawn in the last engine frame, its
    // mesh drawn once with one fixed state and no textures.
    std::vector<OGL_mesh_instance *> drawn = bench_minimal_collect(sc);
    bench_minimal_run(drawn, v, 10, nullptr);
    std::vector<double> minimal_times;
    bench_minimal_run(drawn, v, frames, &minimal_times);

    double engine_s = bench_median(engine_times), minimal_s = bench_median(minimal_times);
    double own = (cpu.update + cpu.visibility + cpu.drawing) * 1000.0 / frames;
    std::printf("default_scene_bench: %s, %u instances, %d frames at 800 x 600 (%s), frustum culling %s\n",
                scene_path.c_str(), scene_get_ois_no(sc), frames,
                reinterpret_cast<const char *>(glGetString(GL_RENDERER)), culling ? "on" : "off");
    std::printf("  frames per second             %8.1f (from the median frame)\n", 1.0 / engine_s);
    std::printf("  frame time (median)           %8.2f ms\n", engine_s * 1000.0);
    std::printf("  engine CPU time per frame     %8.2f ms (main thread)\n", own);
    std::printf("    scene update and animation  %8.2f ms\n", cpu.update * 1000.0 / frames);
    std::printf("    visibility                  %8.2f ms\n", cpu.visibility * 1000.0 / frames);
    std::printf("    queue drawing calls         %8.2f ms (GL calls included)\n", cpu.drawing * 1000.0 / frames);
    std::printf("  batches per frame             %8.1f\n", batches);
    std::printf("  state applications per frame  %8.1f\n", states);
    std::printf("  triangles per frame           %8.0f\n", triangles);
    std::printf("  minimal program frame time    %8.2f ms (median; one state, %zu batches)\n", minimal_s * 1000.0,
                drawn.size());
    std::printf("  ratio engine / minimal        %8.2f\n", engine_s / minimal_s);

    // With VORN_BENCH_GROUPS set: the fill of each render state group,
    // over a few more frames.
    if (getenv("VORN_BENCH_GROUPS")) {
        const int GROUP_FRAMES = 20;
        if (OGL_group_costs_enable(true)) {
            OGL_group_costs_reset();
            run_engine(GROUP_FRAMES, nullptr, nullptr);
            OGL_group_costs_enable(false);
            std::printf("  fill by render state group per frame (%d more frames):\n", GROUP_FRAMES);
            OGL_group_costs_print(stdout, GROUP_FRAMES, 800, 600);
        } else {
            std::printf("  fill by render state group: the board has no occlusion queries\n");
        }
    }

    // With VORN_BENCH_RECORD=DIR: one frame a second of the cinematic from
    // its start, at the same fixed step, as DIR/title_NN.bmp (to compare
    // pictures before and after a change to the data or the renderer).
    if (const char *dir = getenv("VORN_BENCH_RECORD")) {
        motion_instance_set_current_time(mi, 0.0f);
        std::vector<uint8_t> px;
        for (int second = 0; second < RECORD_SECONDS; second++) {
            run_engine(25, nullptr, nullptr, &px);
            char name[32];
            std::snprintf(name, sizeof name, "/title_%02d.bmp", second + 1);
            std::string path = std::string(dir) + name;
            if (!gfxloader_save(path.c_str(), 800, 600, 24, px.data())) {
                std::fprintf(stderr, "default_scene_bench: cannot write %s\n", path.c_str());
                return 1;
            }
        }
        std::printf("  recorded %d frames into %s\n", RECORD_SECONDS, dir);
    }

    view_free(v);
    scene_deinit(sc);
    engine_shutdown();
    return 0;
}
