// Particle system timings: 100 active systems of 200 live particles each
// (20000 particles), every one with the four tracks a compiled system has,
// random start angles and spin. Each frame updates every system and rebuilds
// its camera-facing quads. One iteration is one frame: the cost per frame and
// per particle (goal: at most 100 ns for update and rebuild together), and the
// update and rebuild parts apart.
//
//   particles_bench [Google Benchmark options, e.g. --benchmark_format=json]

#include <cstdio>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "corelib/drand.h"
#include "corelib/view.h"
#include "particles/simple_particles.h"
#include "scene/scene.h"

namespace {

const int SYSTEMS = 100;
const uint32_t POPULATION = 200;
const float DT = 1.0f / 60.0f;

sps *make_system(scene *sc, int n)
{
    char name[32];
    snprintf(name, sizeof(name), "bench%d", n);
    sps *s = sps_init(name, sc, POPULATION);
    if (!s || !sps_create_oi(s)) return nullptr;
    sps_set_additive(s);
    sps_set_burst_factor(s, 2000.0f); // refills any slot at once
    sps_set_particle_life_span(s, 50.0f, 100.0f);
    sps_set_velocity_spread(s, tacka3{0.5f, 0.5f, 0.5f});
    sps_set_size_spread(s, tacka2{0.3f, 0.3f});
    sps_set_spin_spread(s, 0.17f);
    sps_set_random_start_angle(s, true);
    sps_set_align(s, n % 4 == 0);
    const int column = n % 10, row = n / 10;
    sps_set_position(s, tacka3{float(column) * 10.0f, float(row) * 10.0f, 0});
    sps_set_type_point(s);
    sps_enable_velocity_keyframes(s);
    sps_enable_rotation_keyframes(s);
    sps_enable_size_keyframes(s);
    sps_enable_color_keyframes(s);
    const float times[5] = {0.0f, 0.5f, 0.6f, 0.8f, 1.0f};
    const uint8_t colours[5][4] = {
        {255, 232, 200, 255}, {232, 100, 80, 230}, {50, 50, 50, 100}, {0, 0, 0, 30}, {0, 0, 0, 0}};
    for (int k = 0; k < 5; k++) {
        sps_add_velocity_keyframe(s, tacka3{0, 0.5f * float(k), 0}, times[k]);
        sps_add_rotation_keyframe(s, 0.2f, times[k]);
        sps_add_size_keyframe(s, tacka2{0.6f + 0.2f * float(k), 0.6f + 0.2f * float(k)}, times[k]);
        sps_add_color_keyframe(s, colours[k][0], colours[k][1], colours[k][2], colours[k][3], times[k]);
    }
    return s;
}

// The systems, made and filled once for every benchmark.
struct bench_field {
    scene *sc;
    sps_manager *mgr;
    std::vector<sps *> systems;
    view *camera;
};
bench_field field;

bool field_make()
{
    if (!drand_init()) return false;
    drand_seed(42);
    field.sc = scene_init();
    field.mgr = sps_manager_init();
    for (int i = 0; i < SYSTEMS; i++) {
        sps *s = make_system(field.sc, i);
        if (!s) {
            fprintf(stderr, "particles_bench: cannot make system %d\n", i);
            return false;
        }
        sps_manager_add(field.mgr, s);
        sps_activate(s, false);
        sps_start_burst(s);
        field.systems.push_back(s);
    }
    field.camera = view_create();
    view_set_position(field.camera, tacka3{45, 45, -80});
    view_set_target(field.camera, tacka3{45, 45, 0});
    view_set_up(field.camera, tacka3{0, 1, 0});
    view_compute_view_matrix(field.camera);

    sps_manager_update(field.mgr, 0.5f, field.camera); // fill every pool
    uint32_t live = 0;
    for (sps *s : field.systems) live += sps_get_num_active_particles(s);
    if (live != uint32_t(SYSTEMS) * POPULATION) {
        fprintf(stderr, "particles_bench: %u live particles, expected %u\n", live, SYSTEMS * POPULATION);
        return false;
    }
    return true;
}

void field_free()
{
    view_free(field.camera);
    sps_manager_deinit(field.mgr);
    scene_deinit(field.sc);
    drand_deinit();
}

// Time per particle, in the console as seconds with an SI prefix ("85ns").
void set_per_particle(benchmark::State &state)
{
    state.counters["per_particle"] = benchmark::Counter(
        double(SYSTEMS) * POPULATION, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ParticlesUpdateAndRebuild(benchmark::State &state)
{
    for (auto _ : state) sps_manager_update(field.mgr, DT, field.camera);
    set_per_particle(state);
    state.SetLabel("goal: per_particle <= 100ns");
}
BENCHMARK(BM_ParticlesUpdateAndRebuild)->Unit(benchmark::kMillisecond);

void BM_ParticlesUpdate(benchmark::State &state)
{
    for (auto _ : state)
        for (sps *s : field.systems) sps_update(s, DT);
    set_per_particle(state);
}
BENCHMARK(BM_ParticlesUpdate)->Unit(benchmark::kMillisecond);

void BM_ParticlesRebuild(benchmark::State &state)
{
    for (auto _ : state)
        for (sps *s : field.systems) sps_update_oi(s, field.camera);
    set_per_particle(state);
}
BENCHMARK(BM_ParticlesRebuild)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    if (!field_make()) return 1;
    benchmark::AddCustomContext("particles", std::to_string(SYSTEMS) + " systems x " + std::to_string(POPULATION));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    field_free();
    return 0;
}
