#include "game/the_vorn_particles.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "corelib/drand.h"
#include "corelib/log.h"
#include "particles/simple_particles.h"
#include "particles/sps_file.h"
#include "particles/sps_render.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_particles.h"
#include "scene/object_instance.h"
#include "scene/scene.h"

static const float DEG_TO_RAD = 0.017453292519943295f;
static const float TEMPLATE_DURATION = 12000.0f;

#define MISSILE_KEYS \
    5, \
    { \
        {0.0f, 255, 232, 200, 255}, {0.5f, 232, 100, 80, 230}, {0.6f, 50, 50, 50, 100}, {0.8f, 0, 0, 0, 30}, \
        { \
            1.0f, 0, 0, 0, 0 \
        } \
    }

static const vorn_sps_template g_templates[] = {
    {VORN_SPS_TRAIL,
     50,
     "perlin_1_128.tga",
     true,
     10,
     1.8f,
     4.0f,
     0.6f,
     1.05f,
     0,
     0,
     0,
     7,
     100,
     TEMPLATE_DURATION,
     false,
     2,
     {{0.0f, 200, 200, 200, 150}, {1.0f, 200, 200, 200, 0}}},
    {VORN_SPS_PULSE,
     100,
     "perlin_1_128.tga",
     true,
     30,
     1.0f,
     2.0f,
     0.95f,
     0.2f,
     0,
     0,
     0,
     7,
     100,
     TEMPLATE_DURATION,
     false,
     3,
     {{0.0f, 190, 170, 230, 255}, {0.4f, 190, 170, 230, 0}, {1.0f, 190, 170, 230, 0}}},
    {VORN_SPS_DEBRIS,
     20,
     "1-pp-explod-star_256 copy.tga",
     true,
     30,
     3.0f,
     5.0f,
     0.5f,
     0.1f,
     20,
     0,
     0,
     7,
     100,
     TEMPLATE_DURATION,
     true,
     2,
     {{0.0f, 240, 100, 100, 180}, {1.0f, 240, 100, 100, 0}}},
    {VORN_SPS_HIT,
     50,
     "perlin_1_128.tga",
     true,
     30,
     3.0f,
     5.0f,
     2.5f,
     0.1f,
     10,
     0,
     0,
     7,
     100,
     TEMPLATE_DURATION,
     false,
     2,
     {{0.0f, 150, 150, 230, 200}, {1.0f, 150, 150, 230, 0}}},
    {VORN_SPS_MISSILE, 10, "fractal_4.tga", false, 40, 0.2f, 3.0f, 0.6f, 0.3f, 0.5f, 10, 10, 8, 100, TEMPLATE_DURATION,
     false, MISSILE_KEYS},
    {VORN_SPS_GLOW,
     10,
     "glow.tga",
     true,
     10,
     100.0f,
     100.0f,
     3.0f,
     0,
     0,
     0,
     0,
     6,
     1,
     TEMPLATE_DURATION,
     false,
     2,
     {{0.0f, 255, 255, 255, 255}, {1.0f, 255, 255, 255, 255}}},
    {VORN_SPS_DEBRIS_TRAIL, 100, "fractal_4.tga", false, 40, 0.2f, 3.0f, 1.6f, 0.5f, 0.5f, 10, 10, 8, 100,
     TEMPLATE_DURATION, false, MISSILE_KEYS},
    {VORN_SPS_JET,
     1,
     "fractal_jet.tga",
     true,
     60,
     0.1f,
     0.15f,
     0.16f,
     -0.2f,
     0,
     0,
     0,
     6,
     200,
     1200000.0f,
     false,
     3,
     {{0.0f, 255, 233, 128, 255}, {0.4f, 255, 100, 100, 0}, {1.0f, 255, 0, 0, 0}}},
};
#undef MISSILE_KEYS
#define TEMPLATES_NO (sizeof(g_templates) / sizeof(g_templates[0]))

namespace {
struct vorn_pool {
    const vorn_sps_template *t;
    uint32_t count;
    sps *systems[VORN_PARTICLES_MAX_POOL];
};

struct vorn_particles_state {
    scene *sc;
    sps_manager *mgr;
    float configured_quantity;
    vorn_pool pools[TEMPLATES_NO];
    spcquox2 *explosions[VORN_PARTICLES_EXPLOSIONS];
    spcquox2 *station_hits[VORN_PARTICLES_STATION_HITS];
    object_instance *sky[6];
    bool drawing_installed; // this module installed the renderer's particle hand-over
};
} // namespace

static vorn_particles_state g_vp = {nullptr, nullptr, 1.0f, {}, {}, {}, {}, false};

const vorn_sps_template *vorn_particles_get_templates(uint32_t *count)
{
    if (count) *count = TEMPLATES_NO;
    return g_templates;
}

sps_manager *vorn_get_particle_manager() { return g_vp.mgr; }

// ---------------------------------------------------------------- building

static sps *__build_system(const vorn_sps_template &t, uint32_t n)
{
    char name[64];
    snprintf(name, sizeof(name), "%s%u", t.base, n);
    sps *s = sps_init(name, g_vp.sc, t.population);
    if (!s) return nullptr;
    if (!sps_create_oi(s) || !sps_set_texture(s, t.texture)) {
        sps_deinit(s);
        return nullptr;
    }
    if (t.additive)
        sps_set_additive(s);
    else
        sps_set_alpha_blending(s);
    sps_set_display_priority(s, t.priority);
    sps_set_burst_factor(s, t.burst);
    sps_set_particle_life_span(s, t.life_min, t.life_max);
    sps_set_size_spread(s, tacka2{t.size_spread, t.size_spread});
    sps_set_velocity_spread(s, tacka3{t.velocity_spread, t.velocity_spread, t.velocity_spread});
    sps_set_spin_spread(s, t.spin_spread_degrees * DEG_TO_RAD);
    sps_set_random_start_angle(s, true);
    sps_set_align(s, t.align);
    sps_set_type_point(s);
    sps_set_system_velocity(s, tacka3{0, 0, 0});
    sps_set_duration(s, t.duration);
    bool ok = sps_set_constant_size(s, tacka2{t.size, t.size}) && sps_set_constant_velocity(s, tacka3{0, 0, 0});
    if (ok && t.spin_degrees != 0.0f) ok = sps_set_constant_spin(s, t.spin_degrees * DEG_TO_RAD);
    sps_enable_color_keyframes(s);
    ok = ok && sps_has_color_keyframes(s);
    for (uint32_t k = 0; ok && k < t.keysno; k++)
        ok = sps_add_color_keyframe(s, t.keys[k].r, t.keys[k].g, t.keys[k].b, t.keys[k].a, t.keys[k].time);
    if (!ok) {
        sps_deinit(s);
        return nullptr;
    }
    sps_reset_position(s, tacka3{0, 0, 0});
    sps_manager_add(g_vp.mgr, s);
    return s;
}

static bool __load_compositions(spcquox2 **copies, int count, const std::string &file)
{
    for (int i = 0; i < count; i++) {
        spcquox2 *c = spcquox2_init();
        if (!c) return false;
        copies[i] = c;
        if (!spcquox2_load_composer_from_file(file.c_str(), c) || !spcquox2_compile(c, g_vp.sc, g_vp.mgr)) {
            do_log(LOG_CRITICAL, LOG_TO_ALL, "vorn_init_particles(): composition \"%s\" FAILED!",
                   log_quote(file.c_str()).text);
            return false;
        }
    }
    return true;
}

bool vorn_init_particles(scene *sc, const char *resource_folder)
{
    ASSERT(sc);
    ASSERT(g_vp.mgr == NULL);
    g_vp.sc = sc;
    // With the renderer up, the systems are drawn through it.
    if (OGL_is_initialised() && !sps_render_get_hooks()->create) g_vp.drawing_installed = OGL_particles_install();
    g_vp.mgr = sps_manager_init();
    if (!g_vp.mgr) return false;
    sps_manager_set_quantity(g_vp.mgr, std::fmax(g_vp.configured_quantity, VORN_PARTICLES_MIN_QUANTITY));
    std::string folder = resource_folder ? resource_folder : "";
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
    if (!__load_compositions(g_vp.explosions, VORN_PARTICLES_EXPLOSIONS, folder + VORN_PARTICLES_EXPLOSION_FILE) ||
        !__load_compositions(g_vp.station_hits, VORN_PARTICLES_STATION_HITS,
                             folder + VORN_PARTICLES_STATION_HIT_FILE)) {
        vorn_deinit_particles();
        return false;
    }
    for (uint32_t p = 0; p < TEMPLATES_NO; p++) {
        const vorn_sps_template &t = g_templates[p];
        vorn_pool &pool = g_vp.pools[p];
        pool.t = &t;
        for (uint32_t n = 0; n < t.systems && n < VORN_PARTICLES_MAX_POOL; n++) {
            sps *s = __build_system(t, n);
            if (!s) {
                do_log(LOG_CRITICAL, LOG_TO_ALL, "vorn_init_particles(): system %s%u FAILED!", log_quote(t.base).text,
                       n);
                vorn_deinit_particles();
                return false;
            }
            pool.systems[pool.count++] = s;
        }
    }
    do_log(LOG_INFO, LOG_TO_FILE, "vorn_init_particles(): %u particle systems ready",
           sps_manager_get_systems_no(g_vp.mgr));
    return true;
}

void vorn_deinit_particles()
{
    for (spcquox2 *&c : g_vp.explosions) {
        spcquox2_deinit(c);
        c = nullptr;
    }
    for (spcquox2 *&c : g_vp.station_hits) {
        spcquox2_deinit(c);
        c = nullptr;
    }
    sps_manager_deinit(g_vp.mgr);
    g_vp.mgr = nullptr;
    g_vp.sc = nullptr;
    if (g_vp.drawing_installed) OGL_particles_uninstall();
    g_vp.drawing_installed = false;
    for (vorn_pool &p : g_vp.pools) p = vorn_pool{};
    for (object_instance *&oi : g_vp.sky) oi = nullptr;
}

void vorn_particles_set_quantity(float configured)
{
    if (!(configured > 0.0f)) configured = 0.0f;
    if (configured > 1.0f) configured = 1.0f;
    g_vp.configured_quantity = configured;
    if (g_vp.mgr) sps_manager_set_quantity(g_vp.mgr, std::fmax(configured, VORN_PARTICLES_MIN_QUANTITY));
}

float vorn_particles_get_quantity() { return g_vp.configured_quantity; }

static bool effects_enabled = true;

void vorn_particles_set_enabled(bool on) { effects_enabled = on; }

bool vorn_particles_are_enabled() { return effects_enabled; }

// ---------------------------------------------------------------- sky box

void vorn_skysphere_init(scene *sc, tacka3 centre)
{
    object_instance *left = scene_get_oi_by_name(sc, "left");
    object_instance *right = scene_get_oi_by_name(sc, "right");
    object_instance *back = scene_get_oi_by_name(sc, "back");
    object_instance *front = scene_get_oi_by_name(sc, "front");
    object_instance *bottom = scene_get_oi_by_name(sc, "bottom");
    object_instance *top = scene_get_oi_by_name(sc, "top");
    ASSERT(left != NULL);
    ASSERT(right != NULL);
    ASSERT(back != NULL);
    ASSERT(front != NULL);
    ASSERT(bottom != NULL);
    ASSERT(top != NULL);
    object_instance *all[6] = {left, right, back, front, bottom, top};
    for (int i = 0; i < 6; i++) {
        g_vp.sky[i] = all[i];
        OI_set_desc(all[i], "disable_z_writes", "true");
    }
    vorn_skysphere_follow(centre);
}

void vorn_skysphere_follow(tacka3 position)
{
    for (object_instance *oi : g_vp.sky)
        if (oi) OI_set_position_ws(oi, position);
}

// ---------------------------------------------------------------- pools

sps *vorn_get_free_sps(const char *base)
{
    ASSERT(g_vp.mgr);
    const vorn_pool *pool = nullptr;
    for (const vorn_pool &p : g_vp.pools)
        if (p.t && !strcasecmp(p.t->base, base)) pool = &p;
    for (uint32_t n = 0; n < VORN_PARTICLES_MAX_POOL; n++) {
        sps *s;
        if (pool) {
            s = n < pool->count ? pool->systems[n] : nullptr;
        } else {
            char name[64];
            snprintf(name, sizeof(name), "%s%u", base, n);
            s = sps_manager_find(g_vp.mgr, name, false);
        }
        if (!s) break; // the pool ends here
        if (!sps_is_active(s)) return s;
    }
    do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "vorn_get_free_sps: no free slots available");
    return nullptr;
}

static sps *__take(const char *base)
{
    sps *s = vorn_get_free_sps(base);
    if (!s) {
        do_log(LOG_CRITICAL, LOG_TO_ALL, "vorn: particle pool \"%s\" exhausted", log_quote(base).text);
        BUG();
    }
    return s;
}

static sps *__start(sps *s)
{
    sps_activate(s, false);
    sps_start_burst(s);
    return s;
}

sps *vorn_create_trail(tacka3 position, tacka3 direction)
{
    if (!effects_enabled) return nullptr;
    sps *s = __take(VORN_SPS_TRAIL);
    sps_reset_position(s, position);
    sps_set_system_velocity(s, tacka3_neg(direction));
    sps_set_velocity_spread(s, tacka3{0, 0, 0});
    sps_set_duration(s, 1000.0f);
    return __start(s);
}

sps *vorn_create_pulse(tacka3 position, tacka3 direction)
{
    sps *s = __take(VORN_SPS_PULSE);
    sps_reset_position(s, position);
    sps_set_system_velocity(s, direction);
    sps_set_velocity_spread(s, tacka3{0, 0, 0});
    sps_set_duration(s, 1000.0f);
    return __start(s);
}

sps *vorn_create_debris(tacka3 position)
{
    if (!effects_enabled || !(g_vp.configured_quantity > 0.0f)) return nullptr;
    sps *s = __take(VORN_SPS_DEBRIS);
    sps_reset_position(s, position);
    sps_set_duration(s, 0.8f);
    return __start(s);
}

sps *vorn_create_debris_trails(tacka3 position, tacka3 direction, float duration)
{
    if (!effects_enabled) return nullptr;
    sps *s = __take(VORN_SPS_DEBRIS_TRAIL);
    sps_reset_position(s, position);
    sps_set_system_velocity(s, direction);
    sps_set_duration(s, duration);
    return __start(s);
}

sps *vorn_create_missile(tacka3 position)
{
    sps *s = __take(VORN_SPS_MISSILE);
    sps_reset_position(s, position);
    sps_set_duration(s, 1000.0f);
    return __start(s);
}

sps *vorn_create_glow(sps *system)
{
    ASSERT(system && system->oi);
    sps *s = __take(VORN_SPS_GLOW);
    sps_link_to_oi(s, system->oi);
    sps_reset_position(s, OI_get_position_ws(system->oi));
    sps_set_duration(s, 1000.0f);
    return __start(s);
}

sps *vorn_create_jet(tacka3 position)
{
    sps *s = __take(VORN_SPS_JET);
    sps_reset_position(s, position);
    return __start(s);
}

void vorn_update_jet(sps *jet, tacka3 velocity)
{
    if (!jet) BUG();
    sps_set_system_velocity(jet, velocity);
}

// A direction uniform on the unit sphere.
static tacka3 __random_direction()
{
    for (int i = 0; i < 32; i++) {
        tacka3 d{float(drand_fx_range(-1, 1)), float(drand_fx_range(-1, 1)), float(drand_fx_range(-1, 1))};
        float l2 = tacka3_length2(d);
        if (l2 > 1e-4f && l2 <= 1.0f) return tacka3_scale(d, 1.0f / std::sqrt(l2));
    }
    return tacka3{0, 0, 1};
}

sps *vorn_create_hit(tacka3 point)
{
    if (!effects_enabled) return nullptr;
    sps *s = __take(VORN_SPS_HIT);
    sps_reset_position(s, point);
    sps_set_particle_life_span(s, 0.2f, 0.8f);
    sps_set_system_velocity(s, tacka3{0, 0, 0});
    sps_set_velocity_spread(s, tacka3{5, 5, 5});
    sps_set_duration(s, 0.7f);
    sps_set_constant_size(s, tacka2{1.7f, 1.7f});
    sps_set_size_spread(s, tacka2{0.7f, 1.75f});
    sps_set_burst_factor(s, 60.0f);
    sps_set_align(s, true);
    __start(s);
    vorn_create_debris_trails(point, __random_direction(), 0.15f);
    return s;
}

static spcquox2 *__start_composition(spcquox2 **copies, int count, tacka3 point, const char *what)
{
    if (!effects_enabled || !(g_vp.configured_quantity > 0.0f)) return nullptr;
    for (int i = 0; i < count; i++) {
        spcquox2 *c = copies[i];
        if (!c || spcquox2_is_active(c)) continue;
        for (spcquox2_element &e : *c->elements)
            if (e.sys) sps_reset_position(e.sys, point);
        spcquox2_start(c);
        return c;
    }
    do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "vorn: every %s is running, none started", what);
    return nullptr;
}

spcquox2 *vorn_create_explosion(tacka3 point)
{
    return __start_composition(g_vp.explosions, VORN_PARTICLES_EXPLOSIONS, point, "explosion");
}

spcquox2 *vorn_create_station_hit(tacka3 point)
{
    return __start_composition(g_vp.station_hits, VORN_PARTICLES_STATION_HITS, point, "station hit");
}

void vorn_update_particles(float dt, const view *camera)
{
    if (g_vp.mgr) sps_manager_update(g_vp.mgr, dt, camera);
}
