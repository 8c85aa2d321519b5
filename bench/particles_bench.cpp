// Particle system timings: 100 active systems of 200 live particles each
// (20000 particles), every one with the four tracks a compiled system has,
// random start angles and spin. Each frame updates every system and rebuilds
// its camera-facing quads. Prints the CPU cost per frame and per particle
// (median of the runs), and the update and rebuild parts apart.
//
//   particles_bench [frames]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "corelib/drand.h"
#include "corelib/hw_timer.h"
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
    sps_set_burst_factor(s, 2000.0f);  // refills any slot at once
    sps_set_particle_life_span(s, 50.0f, 100.0f);
    sps_set_velocity_spread(s, tacka3{0.5f, 0.5f, 0.5f});
    sps_set_size_spread(s, tacka2{0.3f, 0.3f});
    sps_set_spin_spread(s, 0.17f);
    sps_set_random_start_angle(s, true);
    sps_set_align(s, n % 4 == 0);
    sps_set_position(s, tacka3{float(n % 10) * 10.0f, float(n / 10) * 10.0f, 0});
    sps_set_type_point(s);
    sps_enable_velocity_keyframes(s);
    sps_enable_rotation_keyframes(s);
    sps_enable_size_keyframes(s);
    sps_enable_color_keyframes(s);
    const float times[5] = {0.0f, 0.5f, 0.6f, 0.8f, 1.0f};
    const uint8_t colours[5][4] = {{255, 232, 200, 255}, {232, 100, 80, 230}, {50, 50, 50, 100}, {0, 0, 0, 30}, {0, 0, 0, 0}};
    for (int k = 0; k < 5; k++) {
        sps_add_velocity_keyframe(s, tacka3{0, 0.5f * float(k), 0}, times[k]);
        sps_add_rotation_keyframe(s, 0.2f, times[k]);
        sps_add_size_keyframe(s, tacka2{0.6f + 0.2f * float(k), 0.6f + 0.2f * float(k)}, times[k]);
        sps_add_color_keyframe(s, colours[k][0], colours[k][1], colours[k][2], colours[k][3], times[k]);
    }
    return s;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv)
{
    int frames = argc > 1 ? atoi(argv[1]) : 300;
    if (frames < 10) frames = 10;
    if (!drand_init()) return 1;
    drand_seed(42);
    scene *sc = scene_init();
    sps_manager *mgr = sps_manager_init();
    std::vector<sps *> systems;
    for (int i = 0; i < SYSTEMS; i++) {
        sps *s = make_system(sc, i);
        if (!s) {
            fprintf(stderr, "particles_bench: cannot make system %d\n", i);
            return 1;
        }
        sps_manager_add(mgr, s);
        sps_activate(s, false);
        sps_start_burst(s);
        systems.push_back(s);
    }
    view *camera = view_create();
    view_set_position(camera, tacka3{45, 45, -80});
    view_set_target(camera, tacka3{45, 45, 0});
    view_set_up(camera, tacka3{0, 1, 0});
    view_compute_view_matrix(camera);

    sps_manager_update(mgr, 0.5f, camera);  // fill every pool
    uint32_t live = 0;
    for (sps *s : systems) live += sps_get_num_active_particles(s);
    if (live != uint32_t(SYSTEMS) * POPULATION) {
        fprintf(stderr, "particles_bench: %u live particles, expected %u\n", live, SYSTEMS * POPULATION);
        return 1;
    }

    hw_timer *t = hw_timer_init();
    std::vector<double> whole, update, rebuild;
    for (int f = 0; f < frames; f++) {
        double t0 = hw_timer_get(t, 0);
        sps_manager_update(mgr, DT, camera);
        double t1 = hw_timer_get(t, 0);
        for (sps *s : systems) sps_update(s, DT);
        double t2 = hw_timer_get(t, 0);
        for (sps *s : systems) sps_update_oi(s, camera);
        double t3 = hw_timer_get(t, 0);
        whole.push_back(t1 - t0);
        update.push_back(t2 - t1);
        rebuild.push_back(t3 - t2);
    }
    const double n = double(SYSTEMS) * POPULATION;
    const double w = median(whole), u = median(update), r = median(rebuild);
    printf("particles_bench: %d systems x %u particles, %d frames\n", SYSTEMS, POPULATION, frames);
    printf("  update + rebuild: %.3f ms per frame, %.1f ns per particle (goal <= 100)\n", w * 1e3, w * 1e9 / n);
    printf("  update alone:     %.3f ms per frame, %.1f ns per particle\n", u * 1e3, u * 1e9 / n);
    printf("  rebuild alone:    %.3f ms per frame, %.1f ns per particle\n", r * 1e3, r * 1e9 / n);
    hw_timer_free(t);
    view_free(camera);
    sps_manager_deinit(mgr);
    scene_deinit(sc);
    drand_deinit();
    return 0;
}
