#include "particles/simple_particles.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "corelib/drand.h"
#include "corelib/geometry.h"
#include "corelib/log.h"
#include "corelib/matrix.h"
#include "corelib/mem.h"
#include "particles/sps_render.h"
#include "particles/sps_utils.h"
#include "scene/material.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/scene.h"

// Six vertices per slot must fit the 32-bit counts.
#define SPS_MAX_POPULATION 1000000u
// Smallest radius of a system's bounds.
#define SPS_MIN_BOUND_RADIUS 2.0f
// Squared distance the position must move for particles to spread along the path.
#define SPS_MOVE_EPSILON2 0.001f

static const float SPS_HALF_PI = 1.57079632679489661923f;

// Instances and meshes are named after the system and this running number.
static uint32_t g_sps_serial = 0;

static inline float __uniform(float s) { return s != 0.0f ? float(drand_fx_range(-s, s)) : 0.0f; }

// ---------------------------------------------------------------- manager

sps_manager *sps_manager_init()
{
    sps_manager *mgr = mem_new_zeroed<sps_manager>();
    if (!mgr) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sps_manager_init(): out of memory!");
        return nullptr;
    }
    mgr->quantity = 1.0f;
    dlist_init(&mgr->systems);
    return mgr;
}

void sps_manager_deinit(sps_manager *mgr)
{
    if (!mgr) return;
    while (!dlist_is_empty(&mgr->systems)) sps_deinit(dlist_entry<sps>(mgr->systems.next));
    mem_free(mgr);
}

void sps_manager_add(sps_manager *mgr, sps *sys)
{
    ASSERT(mgr && sys);
    ASSERT(sys->mgr == NULL);
    dlist_insert_back(&sys->link, &mgr->systems);
    sys->mgr = mgr;
    mgr->systemsno++;
}

void sps_manager_set_quantity(sps_manager *mgr, float quantity)
{
    if (!(quantity > 0.0f)) quantity = 0.0f; // also not-a-number
    if (quantity > 1.0f) quantity = 1.0f;
    mgr->quantity = quantity;
}

float sps_manager_get_quantity(const sps_manager *mgr) { return mgr->quantity; }
uint32_t sps_manager_get_systems_no(const sps_manager *mgr) { return mgr->systemsno; }

sps *sps_manager_find(const sps_manager *mgr, const char *name, bool only_active)
{
    if (!name) return nullptr;
    dlist_for_each(n, &mgr->systems)
    {
        sps *s = dlist_entry<sps>(n);
        if (only_active && !s->active) continue;
        if (s->name && !strcasecmp(s->name, name)) return s;
    }
    return nullptr;
}

void sps_manager_update(sps_manager *mgr, float dt, const view *camera)
{
    dlist *n = mgr->systems.next;
    while (n != &mgr->systems) {
        sps *s = dlist_entry<sps>(n);
        n = n->next;
        if (!s->active) continue;
        sps_update(s, dt);
        sps_update_oi(s, camera);
    }
}

void sps_manager_textures_reloaded(sps_manager *mgr)
{
    if (!mgr) return;
    const sps_render_hooks *h = sps_render_get_hooks();
    if (!h->state_changed) return;
    dlist_for_each(n, &mgr->systems)
    {
        sps *s = dlist_entry<sps>(n);
        if (s->render) h->state_changed(s);
    }
}

// ---------------------------------------------------------------- system

sps *sps_init(const char *name, scene *sc, uint32_t population)
{
    if (population == 0 || population > SPS_MAX_POPULATION) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sps_init(): population %u of \"%s\" out of range!",
               population, log_quote(name ? name : "").text);
        return nullptr;
    }
    sps *sys = mem_new_zeroed<sps>();
    if (!sys) goto fail;
    if (name) {
        sys->name = mem_strdup(name);
        if (!sys->name) goto fail;
        sys->flags |= SPS_FLAG_NAME;
    }
    sys->particles = static_cast<simple_particle *>(mem_calloc(population, sizeof(simple_particle)));
    if (!sys->particles) goto fail;
    sys->flags |= SPS_FLAG_POOL_ALLOCATED | SPS_FLAG_POOL_MEMORY;
    sys->sc = sc;
    sys->population = population;
    sys->time_scale = 1.0f;
    sys->orientation_mode = SPS_ORIENTATION_CAMERA;
    sys->color[0] = sys->color[1] = sys->color[2] = sys->color[3] = 255;
    sys->burst_factor = sys->burst_inverse = 1.0f;
    sys->blend_src = SPS_BLEND_SRC_ALPHA;
    sys->blend_dst = SPS_BLEND_ONE_MINUS_SRC_ALPHA;
    sys->frames_no = 1;
    sys->frame_width = 1.0f;
    sys->bound_radius = SPS_MIN_BOUND_RADIUS;
    return sys;
fail:
    do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sps_init(): out of memory for \"%s\"!",
           log_quote(name ? name : "").text);
    if (sys) {
        mem_free(sys->name);
        mem_free(sys->particles);
        mem_free(sys);
    }
    return nullptr;
}

static void __free_material(sps *sys)
{
    if (!sys->mat) return;
    if (sys->sc) scene_remove_material(sys->sc, sys->mat);
    if (sys->oi) {
        OI_set_material(sys->oi, nullptr);
        OI_free_material_name(sys->oi);
    }
    material_deinit(sys->mat);
    sys->mat = nullptr;
    sys->flags &= ~SPS_FLAG_TEXTURE_MATERIAL;
}

void sps_deinit(sps *sys)
{
    if (!sys) return;
    const sps_render_hooks *h = sps_render_get_hooks();
    if (sys->render && h->destroy) h->destroy(sys);
    sys->render = nullptr;
    if (sys->mgr) {
        dlist_unlink(&sys->link);
        sys->mgr->systemsno--;
        sys->mgr = nullptr;
    }
    __free_material(sys);
    if (sys->oi) {
        if (sys->oi->sc) scene_remove_oi(sys->oi->sc, sys->oi);
        OI_set_object(sys->oi, nullptr);
        OI_deinit(sys->oi);
    }
    object_deinit(sys->mesh); // frees the vertex, triangle and texture-coordinate arrays
    mem_free(sys->colors);
    array_free(sys->color_keys);
    array_free(sys->velocity_keys);
    array_free(sys->rotation_keys);
    array_free(sys->size_keys);
    mem_free(sys->particles);
    mem_free(sys->name);
    mem_free(sys);
}

const char *sps_get_name(const sps *sys) { return sys->name ? sys->name : ""; }
bool sps_is_active(const sps *sys) { return sys->active != 0; }
uint32_t sps_get_num_active_particles(const sps *sys) { return sys->num_active_particles; }

// ---- parameters

void sps_set_time_scale(sps *sys, float scale) { sys->time_scale = scale; }
void sps_set_duration(sps *sys, float duration)
{
    sys->duration = duration;
    sys->set_flags |= SPS_SET_DURATION;
}
void sps_set_type_point(sps *sys) { sys->type = SPS_TYPE_POINT; }
void sps_set_type_coverage(sps *sys) { sys->type = SPS_TYPE_COVERAGE; }
void sps_set_system_velocity(sps *sys, tacka3 velocity) { sys->system_velocity = velocity; }
tacka3 sps_get_system_velocity(const sps *sys) { return sys->system_velocity; }

void sps_set_position(sps *sys, tacka3 position)
{
    ASSERT(tacka3_is_finite(position));
    sys->prev_position = (sys->set_flags & SPS_SET_POSITION) ? sys->position : position;
    sys->position = position;
    sys->set_flags |= SPS_SET_POSITION;
    if (sys->oi) OI_set_position_ws(sys->oi, position);
}
void sps_reset_position(sps *sys, tacka3 position)
{
    sps_set_position(sys, position);
    sys->prev_position = position;
}
void sps_get_position(const sps *sys, tacka3 *position)
{
    ASSERT(sps_position_is_set(sys));
    *position = sys->position;
}
bool sps_position_is_set(const sps *sys) { return (sys->set_flags & SPS_SET_POSITION) != 0; }

void sps_link_to_oi(sps *sys, object_instance *oi)
{
    sys->linked = oi;
    if (oi)
        sys->set_flags |= SPS_SET_LINKED;
    else
        sys->set_flags &= ~SPS_SET_LINKED;
}
object_instance *sps_get_linked_oi(const sps *sys) { return sys->linked; }
void sps_set_particles_at_origin(sps *sys, bool on)
{
    if (on)
        sys->flags |= SPS_FLAG_AT_ORIGIN;
    else
        sys->flags &= ~SPS_FLAG_AT_ORIGIN;
}
void sps_set_velocity_spread(sps *sys, tacka3 spread)
{
    sys->velocity_spread = spread;
    sys->set_flags |= SPS_SET_VELOCITY_SPREAD;
}
bool sps_velocity_spread_is_set(const sps *sys) { return (sys->set_flags & SPS_SET_VELOCITY_SPREAD) != 0; }
void sps_set_random_start_angle(sps *sys, bool on) { sys->random_start_angle = on; }
void sps_set_align(sps *sys, bool on) { sys->align = on; }
void sps_set_spin_spread(sps *sys, float spread) { sys->spin_spread = spread; }
void sps_set_size_spread(sps *sys, tacka2 spread)
{
    sys->size_spread = spread;
    sys->set_flags |= SPS_SET_SIZE;
}
bool sps_size_is_set(const sps *sys) { return (sys->set_flags & SPS_SET_SIZE) != 0; }
void sps_set_particle_life_span(sps *sys, float min, float max)
{
    sys->life_span_min = min;
    sys->life_span_max = max;
    sys->set_flags |= SPS_SET_LIFE_SPAN;
}
bool sps_particle_life_span_is_set(const sps *sys) { return (sys->set_flags & SPS_SET_LIFE_SPAN) != 0; }
void sps_set_color(sps *sys, uint8_t r, uint8_t g, uint8_t b, uint8_t a)
{
    sys->color[0] = r;
    sys->color[1] = g;
    sys->color[2] = b;
    sys->color[3] = a;
}
void sps_set_burst_factor(sps *sys, float burst)
{
    ASSERT(burst > 0.0);
    sys->burst_factor = burst;
    sys->burst_inverse = 1.0f / burst;
    sys->set_flags |= SPS_SET_BURST;
}
bool sps_burst_factor_is_set(const sps *sys) { return (sys->set_flags & SPS_SET_BURST) != 0; }
void sps_start_burst(sps *sys)
{
    sys->burst_on = 1;
    sys->burst_time = sys->burst_inverse;
}
void sps_stop_burst(sps *sys)
{
    sys->burst_on = 0;
    sys->burst_time = 0.0f;
}
void sps_stop_emitting(sps *sys) { sys->emission_over = 1; }
void sps_set_frozen(sps *sys, bool frozen) { sys->frozen = frozen; }

void sps_set_frame_animation(sps *sys, uint32_t frames, float frame_time)
{
    if (frames >= 1 && frame_time > 0.0f && std::isfinite(frame_time)) {
        sys->frames_no = frames;
        sys->frame_time = frame_time;
        sys->frame_width = 1.0f / float(frames);
        sys->flags |= SPS_FLAG_FRAME_ANIMATION;
        return;
    }
    sys->flags &= ~SPS_FLAG_FRAME_ANIMATION;
    sys->frames_no = 1;
    sys->frame_width = 1.0f;
    if (sys->tvertexs) // back to whole-texture quads
        for (uint32_t i = 0; i < 6 * sys->population; i++) sys->tvertexs[i] = SPS_QUAD_UVS[i % 6];
}

void sps_set_coverage_from_surface(sps *sys)
{
    if (!(sys->set_flags & SPS_SET_LINKED))
        log_fault_reason(__func__, __FILE__, __LINE__,
                         "\"Cannot set coverage from surface if system not linked to object.\"");
    sys->flags = (sys->flags & ~SPS_FLAG_COVERAGE_BOUNDARIES) | SPS_FLAG_COVERAGE_SURFACE;
}
void sps_set_coverage_within_boundaries(sps *sys)
{
    if (!(sys->set_flags & SPS_SET_LINKED))
        log_fault_reason(__func__, __FILE__, __LINE__,
                         "\"Cannot set coverage within boundaries if system not linked to object.\"");
    sys->flags = (sys->flags & ~SPS_FLAG_COVERAGE_SURFACE) | SPS_FLAG_COVERAGE_BOUNDARIES;
}

// ---- tracks

#define SPS_TRACK_OPS(kind, Flag, Member, Key) \
    void sps_enable_##kind##_keyframes(sps *sys) \
    { \
        if (!sys->Member) { \
            sys->Member = array_new<Key>(); \
            if (!sys->Member) { \
                do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, \
                       "sps_enable_" #kind "_keyframes(): out of memory!"); \
                return; \
            } \
            sys->Member->grow_elements = 8; \
        } \
        sys->flags |= Flag; \
    } \
    bool sps_has_##kind##_keyframes(const sps *sys) { return (sys->flags & Flag) && sys->Member; } \
    void sps_deinit_##kind##_keyframes(sps *sys) \
    { \
        ASSERT(sps_has_##kind##_keyframes(sys)); \
        array_free(sys->Member); \
        sys->Member = nullptr; \
        sys->flags &= ~Flag; \
    } \
    static bool __add_##kind##_key(sps *sys, const Key &k) \
    { \
        ASSERT(sps_has_##kind##_keyframes(sys)); \
        if (!sys->Member->add(k)) { \
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sps_add_" #kind "_keyframe(): out of memory!"); \
            return false; \
        } \
        return true; \
    }

SPS_TRACK_OPS(color, SPS_FLAG_COLOR_KEYS, color_keys, simple_particle_color_keyframe)
SPS_TRACK_OPS(velocity, SPS_FLAG_VELOCITY_KEYS, velocity_keys, simple_particle_tacka3_keyframe)
SPS_TRACK_OPS(rotation, SPS_FLAG_ROTATION_KEYS, rotation_keys, simple_particle_float_keyframe)
SPS_TRACK_OPS(size, SPS_FLAG_SIZE_KEYS, size_keys, simple_particle_tacka2_keyframe)
#undef SPS_TRACK_OPS

static float __clamp01(float t)
{
    if (!(t > 0.0f)) return 0.0f; // also not-a-number
    return t > 1.0f ? 1.0f : t;
}

bool sps_add_color_keyframe(sps *sys, uint8_t r, uint8_t g, uint8_t b, uint8_t a, float time)
{
    return __add_color_key(sys, simple_particle_color_keyframe{__clamp01(time), r, g, b, a});
}
bool sps_add_velocity_keyframe(sps *sys, tacka3 velocity, float time)
{
    return __add_velocity_key(sys, simple_particle_tacka3_keyframe{__clamp01(time), velocity});
}
bool sps_add_rotation_keyframe(sps *sys, float spin, float time)
{
    return __add_rotation_key(sys, simple_particle_float_keyframe{__clamp01(time), spin});
}
bool sps_add_size_keyframe(sps *sys, tacka2 size, float time)
{
    return __add_size_key(sys, simple_particle_tacka2_keyframe{__clamp01(time), size});
}

bool sps_set_constant_velocity(sps *sys, tacka3 velocity)
{
    if (sps_has_velocity_keyframes(sys)) sps_deinit_velocity_keyframes(sys);
    sps_enable_velocity_keyframes(sys);
    if (!sps_has_velocity_keyframes(sys)) return false;
    sys->constant_velocity = velocity;
    return sps_add_velocity_keyframe(sys, velocity, 0.0f) && sps_add_velocity_keyframe(sys, velocity, 1.0f);
}
bool sps_set_constant_spin(sps *sys, float spin)
{
    if (sps_has_rotation_keyframes(sys)) sps_deinit_rotation_keyframes(sys);
    sps_enable_rotation_keyframes(sys);
    if (!sps_has_rotation_keyframes(sys)) return false;
    sys->base_spin = spin;
    return sps_add_rotation_keyframe(sys, spin, 0.0f) && sps_add_rotation_keyframe(sys, spin, 1.0f);
}
bool sps_set_constant_size(sps *sys, tacka2 size)
{
    if (sps_has_size_keyframes(sys)) sps_deinit_size_keyframes(sys);
    sps_enable_size_keyframes(sys);
    if (!sps_has_size_keyframes(sys)) return false;
    sys->constant_size = size;
    sys->set_flags |= SPS_SET_SIZE;
    return sps_add_size_keyframe(sys, size, 0.0f) && sps_add_size_keyframe(sys, size, 1.0f);
}

// ---- rendering set-up

bool sps_blend_factor_is_valid(uint32_t f)
{
    return f == SPS_BLEND_ZERO || f == SPS_BLEND_ONE ||
           (f >= SPS_BLEND_SRC_COLOR && f <= SPS_BLEND_ONE_MINUS_DST_COLOR);
}

bool sps_create_oi(sps *sys)
{
    ASSERT(sys->sc);
    if (sys->oi) return true;
    const uint32_t nv = 6 * sys->population;
    char oi_name[256];
    snprintf(oi_name, sizeof(oi_name), "%s_sps%u", sps_get_name(sys), ++g_sps_serial);

    object *o = object_init();
    object_instance *oi = OI_init();
    tacka3 *vertexs = static_cast<tacka3 *>(mem_calloc(nv, sizeof(tacka3)));
    uint32_t *tris = static_cast<uint32_t *>(mem_calloc(nv, sizeof(uint32_t)));
    tacka2 *uvs = static_cast<tacka2 *>(mem_calloc(nv, sizeof(tacka2)));
    uint8_t *colors = static_cast<uint8_t *>(mem_calloc(nv, 4));
    if (!o || !oi || !vertexs || !tris || !uvs || !colors || !object_copy_name(o, oi_name) ||
        !OI_copy_name(oi, oi_name)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sps_create_oi(): out of memory for \"%s\"!", oi_name);
        object_deinit(o);
        OI_deinit(oi);
        mem_free(vertexs);
        mem_free(tris);
        mem_free(uvs);
        mem_free(colors);
        return false;
    }
    // The quads never share vertices: triangle t is (3t, 3t + 1, 3t + 2).
    for (uint32_t i = 0; i < nv; i++) {
        tris[i] = i;
        uvs[i] = SPS_QUAD_UVS[i % 6];
    }
    object_insert_vertexs(o, vertexs, nv);
    object_insert_triangle_list_ints(o, tris, 2 * sys->population);
    if (!object_append_tvertexs_chn(o, uvs, nv)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sps_create_oi(): out of memory for \"%s\"!", oi_name);
        mem_free(uvs);
        object_deinit(o);
        OI_deinit(oi);
        mem_free(colors);
        return false;
    }
    object_set_vertexsno(o, 0);
    object_set_triangle_list_facesno(o, 0);
    object_set_vertexs_in_world_space(o, true);
    o->center = sys->position;
    o->radius = SPS_MIN_BOUND_RADIUS;
    o->flags |= OBJ_CENTER | OBJ_RADIUS;

    // The particle hand-over draws the instance; the scene's own leaves it alone.
    oi->desc.invisible = 1;
    oi->desc.not_renderable = 1;
    oi->desc.not_hw_lit = 1;
    oi->desc.dynamic = 1;
    oi->desc.additive = sys->blend_dst == SPS_BLEND_ONE;
    oi->desc.display_priority = sys->display_priority;
    OI_set_object(oi, o);
    scene_add_oi(sys->sc, oi);
    OI_set_position_ws(oi, sys->position);

    sys->mesh = o;
    sys->oi = oi;
    sys->vertexs = vertexs;
    sys->triangles = tris;
    sys->tvertexs = uvs;
    sys->colors = colors;
    sys->vertexsno = 0;

    const sps_render_hooks *h = sps_render_get_hooks();
    if (h->create && !h->create(sys))
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sps_create_oi(): \"%s\" will not be drawn!", oi_name);
    return true;
}

static void __state_changed(sps *sys)
{
    const sps_render_hooks *h = sps_render_get_hooks();
    if (sys->render && h->state_changed) h->state_changed(sys);
}

bool sps_set_texture(sps *sys, const char *texture_file)
{
    ASSERT(sys->oi);
    __free_material(sys);
    if (!texture_file || !*texture_file) return true;
    material *m = material_init();
    if (!m || !material_copy_name(m, OI_get_name(sys->oi)) ||
        !material_copy_texture_file_name(m, MAT_SLOT_DIFFUSE, texture_file) ||
        !OI_copy_material_name(sys->oi, OI_get_name(sys->oi))) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sps_set_texture(): out of memory for \"%s\"!",
               log_quote(texture_file).text);
        material_deinit(m);
        return false;
    }
    scene_add_material(sys->sc, m);
    OI_set_material(sys->oi, m);
    sys->mat = m;
    sys->flags |= SPS_FLAG_TEXTURE_MATERIAL;
    // A scene already prepared loads the texture now; otherwise its preparation does.
    if (scene_is_attached(sys->sc) && scene_has_resources_folder_path(sys->sc) &&
        !material_prepare_textures(m, sys->sc, scene_get_resources_folder_path(sys->sc)))
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "sps_set_texture(): texture \"%s\" not loaded!",
               log_quote(texture_file).text);
    __state_changed(sys);
    return true;
}

static void __blending_needs_oi(const sps *sys)
{
    if (sys->oi) return;
    do_log(LOG_CRITICAL, LOG_TO_MSGBOX,
           "SimpleParticleSystem Violation: MUST NOT set alpha/additive before creating sps_OI!!");
    log_abort();
}

void sps_set_alpha_blending(sps *sys)
{
    __blending_needs_oi(sys);
    sys->blend_src = SPS_BLEND_SRC_ALPHA;
    sys->blend_dst = SPS_BLEND_ONE_MINUS_SRC_ALPHA;
    sys->oi->desc.additive = 0;
    sys->oi->desc.transparent = 1;
    __state_changed(sys);
}

void sps_set_additive(sps *sys)
{
    __blending_needs_oi(sys);
    sys->blend_src = SPS_BLEND_SRC_ALPHA;
    sys->blend_dst = SPS_BLEND_ONE;
    sys->oi->desc.additive = 1;
    sys->oi->desc.transparent = 0;
    __state_changed(sys);
}

void sps_set_blend_factors(sps *sys, uint32_t src, uint32_t dst)
{
    if (!sps_blend_factor_is_valid(src) || !sps_blend_factor_is_valid(dst)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "sps_set_blend_factors(): \"%s\": factors 0x%x, 0x%x are not blend factors, kept the blending",
               log_quote(sps_get_name(sys)).text, src, dst);
        return;
    }
    sys->blend_src = src;
    sys->blend_dst = dst;
    if (sys->oi) sys->oi->desc.additive = dst == SPS_BLEND_ONE;
    __state_changed(sys);
}

void sps_set_display_priority(sps *sys, int32_t priority)
{
    sys->display_priority = priority;
    if (sys->oi) sys->oi->desc.display_priority = priority;
    __state_changed(sys);
}

// ---- running

static void __set_vertex_count(sps *sys, uint32_t b)
{
    sys->vertexsno = b;
    if (!sys->mesh) return;
    object_set_vertexsno(sys->mesh, b);
    object_set_triangle_list_facesno(sys->mesh, b / 3);
    sys->mesh->changed |= OBJ_CHANGED_VERTEXS | OBJ_CHANGED_CVERTEXS | OBJ_CHANGED_TVERTEXS;
}

void sps_activate(sps *sys, bool collidable)
{
    ASSERT(sys->oi != NULL);
    if (!sys->active) ASSERT(sys->num_active_particles == 0);
    sys->emission_over = 0;
    sys->elapsed = 0.0f;
    OI_set_desc(sys->oi, "invisible", "false");
    OI_set_desc(sys->oi, "not_hw_lit", "true");
    OI_set_desc(sys->oi, "collidable", collidable ? "true" : "false");
    OI_set_desc(sys->oi, "solid", "false");
    sys->active = 1;
    const sps_render_hooks *h = sps_render_get_hooks();
    if (sys->render && h->set_visible) h->set_visible(sys, true);
}

void sps_deactivate(sps *sys)
{
    if (sys->oi) {
        OI_set_desc(sys->oi, "invisible", "true");
        OI_set_desc(sys->oi, "collidable", "false");
    }
    for (uint32_t i = 0; i < sys->population; i++) sys->particles[i].alive = 0;
    sys->num_active_particles = 0;
    sys->active = 0;
    __set_vertex_count(sys, 0);
    const sps_render_hooks *h = sps_render_get_hooks();
    if (sys->render && h->update) h->update(sys);
    if (sys->render && h->set_visible) h->set_visible(sys, false);
}

// Advances a particle by t seconds; false when it died.
static bool __sps_particle_advance(sps *sys, simple_particle *p, float t)
{
    p->age += t;
    if (p->age >= p->life_span) {
        p->alive = 0;
        return false;
    }
    float a = p->age / p->life_span;
    a = a < 0.0f ? 0.0f : (a > 1.0f ? 1.0f : a);
    if (sys->flags & SPS_FLAG_COLOR_KEYS) __interpolate_color_key(sys->color_keys, a, p->color);
    if (sys->flags & SPS_FLAG_VELOCITY_KEYS) {
        tacka3 v = __interpolate_tacka3_key(sys->velocity_keys, a);
        p->motion = tacka3_add(tacka3_add(v, sys->system_velocity), p->velocity);
        p->position = tacka3_add_scaled(p->position, p->motion, t);
    }
    if (sys->flags & SPS_FLAG_ROTATION_KEYS) p->angle += (__interpolate_float_key(sys->rotation_keys, a) + p->spin) * t;
    if (sys->flags & SPS_FLAG_SIZE_KEYS) {
        tacka2 s = __interpolate_tacka2_key(sys->size_keys, a);
        p->size = tacka2{s.x + p->size_offset.x, s.y + p->size_offset.y};
    }
    if (sys->flags & SPS_FLAG_FRAME_ANIMATION) {
        float f = std::floor(p->age / sys->frame_time);
        if (!(f < float(sys->frames_no))) {
            p->alive = 0;
            return false;
        }
        p->frame = uint32_t(f);
    }
    return true;
}

static tacka3 __birth_position(sps *sys, bool moved)
{
    if (sys->flags & SPS_FLAG_AT_ORIGIN) return tacka3{0, 0, 0};
    if (sys->linked) {
        object_instance *oi = sys->linked;
        if (sys->type == SPS_TYPE_POINT) return OI_get_position_ws(oi);
        if (sys->type == SPS_TYPE_COVERAGE && (sys->flags & SPS_FLAG_COVERAGE_SURFACE)) {
            // A vertex of the linked mesh; an instance without vertices gives its position.
            if (!OI_has_object(oi) || !object_has_vertexs(oi->obj) || oi->obj->vertexsno == 0)
                return OI_get_position_ws(oi);
            uint32_t n = oi->obj->vertexsno;
            double r = drand_fx_range(0.0, double(n));
            uint32_t i = r > 0.0 ? uint32_t(r) : 0;
            if (i >= n) i = n - 1;
            tacka3 v = oi->obj->vertexs[i];
            return object_vertexs_are_in_world_space(oi->obj) ? v : matrix_transform_point(OI_get_matrix_ws(oi), v);
        }
        if (sys->type == SPS_TYPE_COVERAGE && (sys->flags & SPS_FLAG_COVERAGE_BOUNDARIES)) {
            tacka3 c;
            float r;
            if (!OI_has_bounds(oi)) OI_calc_bounding_volumes(oi);
            if (OI_has_bounds(oi)) {
                OI_get_bounding_sphere(oi, &c, &r);
            } else {
                c = OI_get_position_ws(oi);
                r = 0.0f;
            }
            return tacka3{c.x + __uniform(r), c.y + __uniform(r), c.z + __uniform(r)};
        }
        log_fault_reason(__func__, __FILE__, __LINE__, "\"Unsupported system type.\"");
    }
    ASSERT(sps_position_is_set(sys));
    if (!moved) return sys->position;
    tacka3 out;
    linear_interpolation(&out, sys->prev_position, sys->position, float(drand_fx_range(0.0, 1.0)));
    return out;
}

// The credit after taking the next particle due: one interval less, and at
// once no more than the longest life (the particles due earlier would already
// be dead). Skipped arithmetically, never by a loop whose step could vanish in
// the float credit: a step too small for the credit's precision takes at
// least one unit of it, so every call makes progress.
static float __sps_next_lateness(float credit, float interval, float life_max)
{
    float next = credit - interval;
    if (!(next < credit)) next = std::nextafter(credit, -INFINITY);
    if (next > life_max) {
        // The latest due particle that could still live: credit - k intervals <= life_max.
        double k = std::ceil((double(next) - double(life_max)) / double(interval));
        double late = double(next) - k * double(interval);
        // An interval too long for floats (a burst factor near 0) gives
        // not-a-number here: no particle is due then.
        next = late > double(life_max) ? life_max : (late >= 0.0 ? float(late) : 0.0f);
    }
    return next;
}

// Emits into a dead slot from the burst credit; the particle is alive
// afterwards unless the credit ran out first.
static void __sps_particle_emmiter_get_next(sps *sys, simple_particle *p, bool moved)
{
    while (sys->burst_on && sys->burst_time >= sys->burst_inverse) {
        ASSERT(sps_particle_life_span_is_set(sys));
        sys->burst_time = __sps_next_lateness(sys->burst_time, sys->burst_inverse, sys->life_span_max);
        const float L = sys->burst_time; // how late in the frame this particle is born
        p->life_span = sys->life_span_min == sys->life_span_max
                           ? sys->life_span_max
                           : float(drand_fx_range(sys->life_span_min, sys->life_span_max));
        p->life_span_copy = p->life_span;
        p->age = 0.0f;
        if (L >= p->life_span) continue;

        p->position = __birth_position(sys, moved);
        p->birth_position = p->position;

        ASSERT(sps_velocity_spread_is_set(sys));
        p->velocity = tacka3{__uniform(sys->velocity_spread.x), __uniform(sys->velocity_spread.y),
                             __uniform(sys->velocity_spread.z)};
        p->motion = tacka3_add(sys->system_velocity, p->velocity);
        p->angle = sys->random_start_angle ? float(drand_fx_range(-SPS_HALF_PI, SPS_HALF_PI)) : 0.0f;
        p->spin = sys->base_spin + __uniform(sys->spin_spread);
        ASSERT(sps_size_is_set(sys));
        p->size_offset = tacka2{__uniform(sys->size_spread.x), __uniform(sys->size_spread.y)};
        p->size = tacka2{sys->constant_size.x + p->size_offset.x, sys->constant_size.y + p->size_offset.y};

        if ((sys->flags & SPS_FLAG_COLOR_KEYS) && sys->color_keys && sys->color_keys->cur_elements > 0) {
            const simple_particle_color_keyframe &k = sys->color_keys->data[0];
            p->color[0] = k.r, p->color[1] = k.g, p->color[2] = k.b, p->color[3] = k.a;
        } else {
            std::memcpy(p->color, sys->color, 4);
        }
        p->frame = 0;
        p->alive = 1;
        if (__sps_particle_advance(sys, p, L)) return;
    }
}

static void __sps_update_spring(sps *sys, float dt)
{
    ASSERT(sps_burst_factor_is_set(sys));
    if (sys->frozen) return;
    for (uint32_t i = 0; i < sys->population; i++) {
        simple_particle *p = &sys->particles[i];
        if (p->alive && !__sps_particle_advance(sys, p, dt)) sys->num_active_particles--;
    }
    if (sys->burst_on) {
        const bool moved = tacka3_length2(tacka3_sub(sys->position, sys->prev_position)) >= SPS_MOVE_EPSILON2;
        const float quantity = sys->mgr ? sys->mgr->quantity : 1.0f;
        const float limit = float(sys->population) * quantity;
        for (uint32_t i = 0; float(i) < limit && i < sys->population; i++) {
            if (sys->burst_time < sys->burst_inverse) break;
            simple_particle *p = &sys->particles[i];
            if (p->alive) continue;
            __sps_particle_emmiter_get_next(sys, p, moved);
            if (p->alive) sys->num_active_particles++;
        }
        if (sys->burst_time > sys->burst_inverse) sys->burst_time = sys->burst_inverse;
    }
}

void sps_update(sps *sys, float dt)
{
    const float step = sys->frozen ? 0.0f : dt * sys->time_scale;
    if (!sys->emission_over) {
        float credit = step;
        if (sys->set_flags & SPS_SET_DURATION) {
            float left = sys->duration - sys->elapsed;
            if (left < 0.0f) left = 0.0f;
            if (credit > left) credit = left;
            sys->elapsed += step;
            if (sys->elapsed >= sys->duration) sys->emission_over = 1;
        }
        if (sys->burst_on) sys->burst_time += credit;
    }
    __sps_update_spring(sys, step);
    // Once emission is over, credit left from the last emitting step is dropped.
    if (sys->emission_over) sys->burst_time = 0.0f;
    sys->prev_position = sys->position;
    if (sys->emission_over && sys->num_active_particles == 0) sps_deactivate(sys);
}

void sps_update_oi(sps *sys, const view *camera)
{
    if (!sys->oi) return;
    ASSERT(sys->orientation_mode == SPS_ORIENTATION_CAMERA);
    tacka3 offset{0, 0, 0};
    tacka3 anchor = sys->position;
    if (sys->linked) {
        anchor = OI_get_position_ws(sys->linked);
        if (sys->flags & SPS_FLAG_AT_ORIGIN) {
            offset = anchor;
            OI_set_rotation_ws(sys->oi, OI_get_rotation_ws(sys->linked));
        }
        OI_set_position_ws(sys->oi, anchor);
    }
    tacka3 right, up;
    __sps_prepare_matrices(camera, &right, &up);
    uint32_t b = __sps_build_quads(sys, right, up, offset);
    if (b == 0) {
        sys->bound_center = anchor;
        sys->bound_radius = SPS_MIN_BOUND_RADIUS;
    } else if (sys->bound_radius < SPS_MIN_BOUND_RADIUS) {
        sys->bound_radius = SPS_MIN_BOUND_RADIUS;
    }
    __set_vertex_count(sys, b);
    object *o = sys->mesh;
    o->center = sys->bound_center;
    o->radius = sys->bound_radius;
    object_instance *oi = sys->oi;
    oi->bound_center = sys->bound_center;
    oi->bound_radius = sys->bound_radius;
    build_box_around_sphere(&oi->bound_box, oi->bound_center, oi->bound_radius);
    oi->flags |= OI_BOUNDS;
    const sps_render_hooks *h = sps_render_get_hooks();
    if (sys->render && h->update) h->update(sys);
}
