// The terrain demo flown at 800 x 600: "terrain_demo.quox2" loaded and
// prepared as the viewer does, seen through its flying scene camera
// "terrain_camera". Prints frames per second (from the median frame), terrain
// triangles per frame and the terrain selection time per frame (median and
// worst). Then, without a window, one flight over a terrain and over one of
// the same ground four times as large (twice the side): triangles per frame
// of both and their ratio, with a far plane beyond the small terrain's edges
// and with one both terrains fill.
//
// Usage: terrain_bench [resource folder] [frames]   (run under xvfb-run)
// The folder defaults to the data built beside this program (../data/).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <GL/glew.h>

#include "bench/bench_util.h"
#include "corelib/files.h"
#include "corelib/view.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_window.h"
#include "renderer/engine.h"
#include "scene/camera.h"
#include "scene/quox2_loader.h"
#include "scene/scene.h"
#include "scene/terrain.h"

// Rolling ground with ridges, the same function at every size.
static std::vector<float> __ground(uint32_t cells, float cell)
{
    std::vector<float> h(size_t(cells + 1) * (cells + 1));
    for (uint32_t j = 0; j <= cells; j++)
        for (uint32_t i = 0; i <= cells; i++) {
            float x = i * cell, z = j * cell;
            h[size_t(j) * (cells + 1) + i] = 30.0f * std::sin(x / 310.0f) * std::cos(z / 270.0f) +
                                             12.0f * std::fabs(std::sin(x / 97.0f + z / 131.0f)) +
                                             3.0f * std::sin(x / 21.0f) * std::sin(z / 17.0f);
        }
    return h;
}

// Mean triangles per frame of a flight along the path over a terrain.
static double __flight_triangles(terrain *t, const std::vector<std::pair<tacka3, tacka3>> &path, float far,
                                 double *sel_ms)
{
    view *v = view_create();
    double tris = 0, secs = 0;
    for (const auto &[eye, target] : path) {
        view_set_position(v, eye);
        view_set_target(v, target);
        view_set_up(v, {0, 1, 0});
        view_set_near_far(v, 1.0f, far);
        view_set_fov(v, 1.0f);
        view_set_viewport(v, 800, 600);
        view_compute_view_matrix(v);
        view_compute_projection(v);
        terrain_select(t, v);
        tris += double(t->sel.indicesno) / 3.0;
        secs += t->sel.seconds;
    }
    view_free(v);
    *sel_ms = 1e3 * secs / path.size();
    return tris / path.size();
}

static void __size_comparison()
{
    const float cell = 6.0f;
    std::vector<float> h1 = __ground(512, cell), h4 = __ground(1024, cell);
    terrain *t1 = terrain_make(h1.data(), 512, 16, cell, {0, 0, 0}, nullptr);
    terrain *t4 = terrain_make(h4.data(), 1024, 16, cell, {0, 0, 0}, nullptr);
    if (!t1 || !t4 || !terrain_initialize_system(t1, nullptr) || !terrain_initialize_system(t4, nullptr)) {
        std::fprintf(stderr, "terrain_bench: the comparison terrains do not build\n");
        return;
    }
    // A loop over the small terrain's ground (which the large one also has).
    std::vector<std::pair<tacka3, tacka3>> path;
    for (int i = 0; i < 400; i++) {
        float a = 2.0f * 3.14159265f * i / 400.0f;
        float x = 1536.0f + 1000.0f * std::cos(a), z = 1536.0f + 900.0f * std::sin(a);
        float xa = 1536.0f + 1000.0f * std::cos(a + 0.3f), za = 1536.0f + 900.0f * std::sin(a + 0.3f);
        path.push_back({{x, terrain_height_at(t1, x, z) + 60.0f, z}, {xa, terrain_height_at(t1, xa, za), za}});
    }
    // A far plane of 6 km (the horizon passes the small terrain's edges) and
    // of 1.5 km (both terrains fill the horizon: the level of detail alone).
    for (float far : {6000.0f, 1500.0f}) {
        double ms1, ms4;
        double a = __flight_triangles(t1, path, far, &ms1), b = __flight_triangles(t4, path, far, &ms4);
        std::printf("terrain_bench: far plane %.0f m: %u x %u cells: %.0f triangles per frame, selection %.3f ms\n",
                    far, 512, 512, a, ms1);
        std::printf("terrain_bench: far plane %.0f m: %u x %u cells (4x the area): %.0f triangles per frame, selection "
                    "%.3f ms\n",
                    far, 1024, 1024, b, ms4);
        std::printf("terrain_bench: far plane %.0f m: triangles ratio 4x / 1x = %.3f (goal: at most 1.20)\n", far,
                    b / a);
    }
    terrain_free(t1);
    terrain_free(t4);
}

int main(int argc, char **argv)
{
    std::string folder = argc > 1 ? argv[1] : file_executable_dir() + "../data/";
    if (folder.back() != '/') folder += '/';
    int frames = argc > 2 ? std::max(10, atoi(argv[2])) : 200;
    std::string path = folder + "terrain_demo.quox2";
    if (!file_exists(path.c_str())) {
        std::fprintf(stderr, "terrain_bench: %s not found (build the 'data' target)\n", path.c_str());
        return 1;
    }
    const engine_window window = {"terrain bench", 800, 600, false};
    if (!engine_startup(ENGINE_ALL, &window)) return 1;
    scene *sc = scene_init();
    if (!sc || !quox2_load_file(path.c_str(), sc) || !scene_copy_resources_folder_path(sc, folder.c_str()) ||
        !scene_prepare(sc)) {
        std::fprintf(stderr, "terrain_bench: the demo does not load or prepare\n");
        return 1;
    }
    camera *cam = scene_get_camera(sc, "terrain_camera");
    terrain *t = scene_get_terrain(sc);
    if (!cam || !t) {
        std::fprintf(stderr, "terrain_bench: the demo has no terrain or no camera\n");
        return 1;
    }
    terrain_set_horizon(t, 0.75f);
    float fog[4] = {0.02f, 0.02f, 0.025f, 1.0f};
    OGL_fog_set(fog, 1, 0.0f, 6000.0f, 0.00023f);
    view *v = view_create();
    std::vector<double> times, sel;
    double tris = 0;
    const float dt = 1.0f / 25.0f;
    for (int f = -10; f < frames; f++) {
        auto w0 = bench_clock::now();
        OGL_clear();
        scene_update(sc, view_get_position(v), dt);
        camera_setup_view(cam, v);
        view_set_viewport(v, 800, 600);
        view_set_fov(v, camera_get_fov(cam));
        view_set_near_far(v, 1.0f, 6000.0f);
        view_compute_projection(v);
        scene_update_visibility(sc, v);
        OGL_render_frame(v);
        OGL_swap_buffers();
        glFinish();
        if (f < 0) continue; // warm-up
        times.push_back(bench_seconds_since(w0));
        sel.push_back(t->sel.seconds);
        tris += double(t->sel.indicesno) / 3.0;
    }
    double median = bench_median(times);
    std::printf("terrain_bench: demo %u x %u cells at 800 x 600, %d frames\n", t->cells, t->cells, frames);
    std::printf("terrain_bench: %.1f fps (median frame %.2f ms; goal 30 fps)\n", 1.0 / median, median * 1e3);
    std::printf("terrain_bench: %.0f terrain triangles per frame\n", tris / frames);
    std::printf("terrain_bench: selection %.3f ms median, %.3f ms worst per frame (goal under 0.5 ms)\n",
                bench_median(sel) * 1e3, *std::max_element(sel.begin(), sel.end()) * 1e3);
    view_free(v);
    scene_deinit(sc);
    engine_shutdown();
    __size_comparison();
    return 0;
}
