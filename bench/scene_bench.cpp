// Scene benchmarks:
//  - QUOX2 loader throughput on a generated ~50 MB scene, as a ratio to
//    reading the same file into memory (goal: at least 0.5);
//  - forward-kinematics mixer cost per animated instance.
//
//   scene_bench [Google Benchmark options, e.g. --benchmark_format=json]

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

#include "corelib/files.h"
#include "corelib/mem.h"
#include "corelib/parser.h"
#include "scene/motion.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/oi_fk_mixer.h"
#include "scene/quox2_loader.h"
#include "scene/quox2_writer.h"
#include "scene/scene.h"

using clock_type = std::chrono::steady_clock;

static double seconds_since(clock_type::time_point t0)
{
    return std::chrono::duration<double>(clock_type::now() - t0).count();
}

// A grid mesh of n x n vertices with normals, one UV channel and 32-bit triangles.
static object *grid(const char *name, uint32_t n)
{
    object *o = object_init();
    object_copy_name(o, name);
    uint32_t nv = n * n, nf = (n - 1) * (n - 1) * 2;
    tacka3 *v = static_cast<tacka3 *>(mem_alloc(nv * sizeof(tacka3)));
    tacka3 *vn = static_cast<tacka3 *>(mem_alloc(nv * sizeof(tacka3)));
    tacka2 *uv = static_cast<tacka2 *>(mem_alloc(nv * sizeof(tacka2)));
    uint32_t *t = static_cast<uint32_t *>(mem_alloc(nf * 3 * sizeof(uint32_t)));
    for (uint32_t y = 0; y < n; y++)
        for (uint32_t x = 0; x < n; x++) {
            v[y * n + x] = tacka3{float(x), float(y), float((x * y) % 7)};
            vn[y * n + x] = tacka3{0, 0, 1};
            uv[y * n + x] = tacka2{float(x) / n, float(y) / n};
        }
    uint32_t k = 0;
    for (uint32_t y = 0; y + 1 < n; y++)
        for (uint32_t x = 0; x + 1 < n; x++) {
            uint32_t a = y * n + x;
            uint32_t q[6] = {a, a + 1, a + n + 1, a, a + n + 1, a + n};
            memcpy(t + k, q, sizeof q);
            k += 6;
        }
    object_insert_vertexs(o, v, nv);
    object_insert_vertex_normals(o, vn, nv);
    object_append_tvertexs_chn(o, uv, nv);
    object_insert_triangle_list_ints(o, t, nf);
    return o;
}

static std::string g_scene_file;

// The scene file the loader benchmark reads: 22 meshes of 200 x 200 vertices
// and 20000 small instance chunks.
static bool write_scene_file()
{
    g_scene_file = "/tmp/scene_bench_" + std::to_string(getpid()) + ".quox2";
    scene *sc = scene_init();
    char name[32];
    for (int i = 0; i < 22; i++) {
        snprintf(name, sizeof name, "mesh%d", i);
        scene_add_object(sc, grid(name, 200));
    }
    for (int i = 0; i < 20000; i++) {
        object_instance *oi = OI_init();
        snprintf(name, sizeof name, "inst%d", i);
        OI_copy_name(oi, name);
        snprintf(name, sizeof name, "mesh%d", i % 22);
        OI_copy_instance_name(oi, name);
        OI_copy_user_defined_properties(oi, "collidable = true\r\nsolid = true\r\n");
        scene_add_oi(sc, oi);
    }
    bool ok = quox2_save_scene(g_scene_file.c_str(), sc);
    if (!ok) fprintf(stderr, "scene_bench: cannot write %s\n", g_scene_file.c_str());
    scene_deinit(sc);
    return ok;
}

static double median_of(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Each iteration loads the file into an empty scene (making the scene and
// destroying it are not counted). Beforehand, the same file read into memory
// five times: the ratio compares the medians.
static void BM_Quox2Load(benchmark::State &state)
{
    void *block;
    size_t size = 0;
    if (load_file_to_buffer(g_scene_file.c_str(), &block, &size)) mem_free(block); // warm the page cache
    std::vector<double> reads, loads;
    for (int i = 0; i < 5; i++) {
        auto t0 = clock_type::now();
        if (load_file_to_buffer(g_scene_file.c_str(), &block, &size)) mem_free(block);
        reads.push_back(seconds_since(t0));
    }
    for (auto _ : state) {
        scene *sc = scene_init();
        auto t0 = clock_type::now();
        if (!quox2_load_file(g_scene_file.c_str(), sc)) state.SkipWithError("the scene did not load");
        double t = seconds_since(t0);
        scene_deinit(sc);
        loads.push_back(t);
        state.SetIterationTime(t);
    }
    double mb = double(size) / (1024.0 * 1024.0), t_read = median_of(reads), t_load = median_of(loads);
    state.counters["file_MB"] = mb;
    state.counters["read_MBps"] = t_read > 0 ? mb / t_read : 0;
    state.counters["load_MBps"] = t_load > 0 ? mb / t_load : 0;
    state.counters["load_to_read_ratio"] = t_load > 0 ? t_read / t_load : 0;
    state.SetLabel("goal: load_to_read_ratio >= 0.5");
}
BENCHMARK(BM_Quox2Load)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// 1000 instances with 2 motion instances each (Bezier + additive, 31 keys);
// one iteration is one frame of all of them.
static void BM_FkMixer(benchmark::State &state)
{
    const int instances = 1000;
    std::vector<object_instance *> ois;
    motion *walk = motion_init(), *sway = motion_init();
    for (int k = 0; k <= 30; k++) {
        float t = k * 0.1f;
        motion_add_bezier_position_keyframe(walk, t, {t, 0, 0}, {0, 0, 0}, {0, 0, 0});
        float a = t * 0.5f;
        motion_add_rotation_keyframe(walk, t, quaternion{std::cos(a), 0, 0, std::sin(a)}, nullptr);
        motion_add_scale_keyframe(walk, t, {1, 1, 1 + t}, {0, 0, 0}, {0, 0, 0});
        motion_add_linear_position_keyframe(sway, t, {0, 0.1f * t, 0});
        motion_add_rotation_keyframe(sway, t, quaternion{std::cos(a * 0.1f), std::sin(a * 0.1f), 0, 0}, nullptr);
    }
    for (int i = 0; i < instances; i++) {
        object_instance *oi = OI_init();
        motion_instance *a = motion_instance_create(oi, walk);
        motion_instance_play(a, MOTION_PLAY_LOOP, 0.2f, false);
        motion_instance *b = motion_instance_create(oi, sway);
        motion_instance_set_additive(b, true);
        motion_instance_play(b, MOTION_PLAY_LOOP, 0, false);
        ois.push_back(oi);
    }
    for (auto _ : state)
        for (object_instance *oi : ois) {
            oi_fk_mixer_update(OI_get_fk_mixer(oi), 0.02f);
            OI_calc_world_transform(oi);
        }
    state.counters["per_instance"] =
        benchmark::Counter(instances, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    for (object_instance *oi : ois) OI_deinit(oi);
    motion_deinit(walk);
    motion_deinit(sway);
}
BENCHMARK(BM_FkMixer)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    if (!write_scene_file()) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!getenv("SCENE_BENCH_KEEP")) unlink(g_scene_file.c_str());
    return 0;
}
