#include "scene/oi_fk_mixer.h"

#include <algorithm>
#include <cmath>

#include "corelib/geometry.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "scene/motion.h"
#include "scene/object_instance.h"

oi_fk_mixer *oi_fk_mixer_init(object_instance *oi)
{
    oi_fk_mixer *m = mem_new_zeroed<oi_fk_mixer>();
    if (!m) return nullptr;
    m->oi = oi;
    dlist_init(&m->instances);
    return m;
}

void oi_fk_mixer_deinit(oi_fk_mixer *mixer)
{
    if (!mixer) return;
    while (!dlist_is_empty(&mixer->instances)) {
        motion_instance *mi = dlist_entry<motion_instance>(mixer->instances.next);
        dlist_unlink(&mi->link);
        mem_free(mi);
    }
    if (mixer->oi && mixer->oi->mixer == mixer) mixer->oi->mixer = nullptr;
    mem_free(mixer->sorted);
    mem_free(mixer);
}

// The playing length: the rotation track's, or the longest track when the
// motion has no rotation keys (so that such motions still advance).
static float __length(const motion *m)
{
    if (m->rot.keysno) return m->rot.length;
    return std::max(m->pos.keysno ? m->pos.length : 0.0f, m->scale.keysno ? m->scale.length : 0.0f);
}

motion_instance *motion_instance_create(object_instance *oi, motion *m)
{
    oi_fk_mixer *mixer = OI_get_fk_mixer(oi);
    if (!mixer) {
        if (!(mixer = oi_fk_mixer_init(oi))) return nullptr;
        OI_set_fk_mixer(oi, mixer);
    }
    motion_instance *mi = mem_new_zeroed<motion_instance>();
    if (!mi) return nullptr;
    mi->mot = m;
    mi->oi = oi;
    mi->length = __length(m);
    mi->speed = 1.0f;
    mi->weight = 1.0f;
    mi->last_scale = tacka3{1, 1, 1};
    mi->last_rot = quaternion_identity();
    dlist_insert_back(&mi->link, &mixer->instances);
    mixer->count++;
    mixer->dirty = true;
    return mi;
}

void motion_instance_free(motion_instance *mi)
{
    if (!mi) return;
    oi_fk_mixer *mixer = OI_get_fk_mixer(mi->oi);
    dlist_unlink(&mi->link);
    if (mixer) {
        mixer->count--;
        mixer->dirty = true;
    }
    mem_free(mi);
}

static void __update_eff_weight(motion_instance *mi) { mi->eff_weight = mi->weight * mi->fade_factor; }

void motion_instance_play(motion_instance *mi, int mode, float fade_in, bool keep_time)
{
    ASSERT(fade_in >= 0.0);
    ASSERT(!mi->is_playing || (mi->is_playing && mi->is_paused));
    if (!keep_time && !mi->is_paused) {
        mi->current_time = 0.0f;
        mi->loop_counter = 0;
    }
    mi->is_fading_out = false;
    if (fade_in > 0.0f) {
        mi->is_fading_in = true;
        mi->fade_in_time = fade_in;
        mi->fade_factor = 0.0f;
    } else {
        mi->is_fading_in = false;
        mi->fade_factor = 1.0f;
    }
    mi->play_mode = mode;
    mi->is_playing = true;
    mi->is_paused = false;
    __update_eff_weight(mi);
}

void motion_instance_pause(motion_instance *mi)
{
    ASSERT(mi->is_playing);
    mi->is_paused = true;
}

void motion_instance_stop(motion_instance *mi, float fade_out)
{
    ASSERT(fade_out >= 0.0f);
    mi->is_fading_in = false;
    if (fade_out > 0.0f) {
        mi->is_fading_out = true;
        mi->fade_out_time = fade_out;
    } else {
        mi->is_fading_out = false;
        mi->fade_factor = 0.0f;
    }
    mi->is_playing = false;
    mi->is_paused = false;
    __update_eff_weight(mi);
}

void motion_instance_set_speed(motion_instance *mi, float speed) { mi->speed = speed; }
float motion_instance_get_speed(const motion_instance *mi) { return mi->speed; }
void motion_instance_set_weight(motion_instance *mi, float weight)
{
    mi->weight = weight;
    __update_eff_weight(mi);
}
float motion_instance_get_weight(const motion_instance *mi) { return mi->weight; }
float motion_instance_get_effective_weight(const motion_instance *mi) { return mi->eff_weight; }
void motion_instance_set_priority(motion_instance *mi, int32_t priority)
{
    mi->priority = priority;
    oi_fk_mixer *mixer = OI_get_fk_mixer(mi->oi);
    if (mixer) mixer->dirty = true;
}
int32_t motion_instance_get_priority(const motion_instance *mi) { return mi->priority; }
void motion_instance_set_play_mode(motion_instance *mi, int mode) { mi->play_mode = mode; }
int motion_instance_get_play_mode(const motion_instance *mi) { return mi->play_mode; }
void motion_instance_set_current_time(motion_instance *mi, float time) { mi->current_time = time < 0.0f ? 0.0f : time; }
float motion_instance_get_current_time(const motion_instance *mi) { return mi->current_time; }
void motion_instance_set_additive(motion_instance *mi, bool additive) { mi->additive = additive; }
bool motion_instance_is_additive(const motion_instance *mi) { return mi->additive; }
bool motion_instance_is_playing(const motion_instance *mi) { return mi->is_playing; }
uint32_t motion_instance_get_loop_counter(const motion_instance *mi) { return mi->loop_counter; }

void __advance_time(motion_instance *mi, float dt)
{
    if (!mi->is_paused) mi->current_time += dt * mi->speed;
    if (!(mi->current_time >= 0.0f)) mi->current_time = 0.0f; // never negative (nor not-a-number)
    switch (mi->play_mode) {
    case MOTION_PLAY_LOOP:
        if (mi->length > 0.0f) {
            double n = std::floor(double(mi->current_time) / double(mi->length));
            mi->current_time = std::fmod(mi->current_time, mi->length);
            if (!(mi->current_time >= 0.0f) || mi->current_time >= mi->length) mi->current_time = 0.0f;
            // The counter saturates (a huge step must not overflow it).
            double room = double(UINT32_MAX - mi->loop_counter);
            mi->loop_counter += n >= room ? uint32_t(room) : uint32_t(n);
        } else {
            mi->current_time = 0.0f;
        }
        break;
    case MOTION_PLAY_HOLD:
        if (mi->current_time > mi->length) mi->current_time = mi->length;
        break;
    default:
        if (mi->current_time >= mi->length && mi->is_playing) {
            mi->is_playing = false;
            mi->is_fading_in = mi->is_fading_out = false;
            mi->current_time = mi->length;
            __update_eff_weight(mi);
        }
        break;
    }
    if (mi->is_fading_in) {
        mi->fade_factor += dt / mi->fade_in_time;
        if (mi->fade_factor >= 1.0f) {
            mi->fade_factor = 1.0f;
            mi->is_fading_in = false;
        }
    } else if (mi->is_fading_out) {
        mi->fade_factor -= dt / mi->fade_out_time;
        if (mi->fade_factor <= 0.0f) {
            mi->fade_factor = 0.0f;
            mi->is_fading_out = false;
            if (mi->play_mode != MOTION_PLAY_HOLD) mi->is_playing = false;
        }
    }
    __update_eff_weight(mi);
}

static void __rebuild_sorted(oi_fk_mixer *mixer)
{
    if (mixer->count > mixer->sorted_capacity) {
        motion_instance **s =
            static_cast<motion_instance **>(mem_realloc(mixer->sorted, mixer->count * sizeof(motion_instance *)));
        ASSERT(s != nullptr);
        mixer->sorted = s;
        mixer->sorted_capacity = mixer->count;
    }
    uint32_t i = 0;
    dlist_for_each(n, &mixer->instances) mixer->sorted[i++] = dlist_entry<motion_instance>(n);
    std::stable_sort(mixer->sorted, mixer->sorted + i,
                     [](const motion_instance *a, const motion_instance *b) { return a->priority < b->priority; });
    mixer->dirty = false;
}

static float __clamp01(float w) { return w < 0.0f ? 0.0f : (w > 1.0f ? 1.0f : w); }

static tacka3 __lerp(tacka3 a, tacka3 b, float t)
{
    tacka3 out;
    linear_interpolation(&out, a, b, __clamp01(t));
    return out;
}

void oi_fk_mixer_update(oi_fk_mixer *mixer, float dt)
{
    if (mixer->dirty) __rebuild_sorted(mixer);
    object_instance *oi = mixer->oi;
    tacka3 cur_pos = OI_get_position(oi), cur_scale = OI_get_scale(oi);
    quaternion cur_rot = OI_get_rotation(oi);

    // Advance and sample. An instance that was playing at the start of the frame
    // takes part in this frame's mix even when it stops on the way: a play-once
    // motion that reaches its end this frame gives its final pose (which then
    // stays, as nothing moves the instance any more).
    for (uint32_t i = 0; i < mixer->count; i++) {
        motion_instance *mi = mixer->sorted[i];
        mi->sampled = mi->is_playing || mi->is_fading_out;
        if (!mi->sampled) continue;
        __advance_time(mi, dt);
        const motion *m = mi->mot;
        tacka3 p, s;
        quaternion r;
        motion_get_position(m, &p, mi->current_time);
        motion_get_rotation(m, &r, mi->current_time);
        motion_get_scale(m, &s, mi->current_time);
        if (m->position_mask & 1) p.x = 0.0f;
        if (m->position_mask & 2) p.y = 0.0f;
        if (m->position_mask & 4) p.z = 0.0f;
        if (!mi->additive) {
            s = tacka3_mul(s, m->init_scale);
            p = tacka3_add(p, m->init_pos);
            r = quaternion_mul(r, m->init_rot);
        }
        mi->last_pos = p;
        mi->last_scale = s;
        mi->last_rot = r;
    }

    // Base pose from the non-additive instances.
    tacka3 bp = cur_pos, bs = cur_scale;
    quaternion br = cur_rot;
    int contributors = 0;
    float single_weight = 1.0f;
    for (uint32_t i = 0; i < mixer->count; i++) {
        motion_instance *mi = mixer->sorted[i];
        if (mi->additive || !mi->sampled || mi->eff_weight < MOTION_MIN_WEIGHT) continue;
        if (contributors == 0) {
            bp = mi->last_pos;
            bs = mi->last_scale;
            br = mi->last_rot;
            single_weight = mi->eff_weight;
        } else {
            float w = __clamp01(mi->eff_weight);
            bp = __lerp(bp, mi->last_pos, w);
            bs = __lerp(bs, mi->last_scale, w);
            br = quaternion_slerp(br, mi->last_rot, w);
        }
        contributors++;
    }
    if (contributors == 1 && single_weight < 1.0f) {
        float w = __clamp01(single_weight);
        bp = __lerp(cur_pos, bp, w);
        bs = __lerp(cur_scale, bs, w);
        br = quaternion_slerp(cur_rot, br, w);
    }

    // Additive instances on top. A scale sample is a factor around 1, so
    // its difference from 1 is what adds (a motion without scale keys adds nothing).
    int additives = 0;
    for (uint32_t i = 0; i < mixer->count; i++) {
        motion_instance *mi = mixer->sorted[i];
        if (!mi->additive || !mi->sampled || mi->eff_weight < MOTION_MIN_WEIGHT) continue;
        bp = tacka3_add(bp, mi->last_pos);
        bs = tacka3_add(bs, tacka3_sub(mi->last_scale, tacka3{1, 1, 1}));
        additives++;
        br = quaternion_slerp(br, quaternion_mul(br, mi->last_rot), __clamp01(mi->eff_weight));
    }

    float l2 = br.w * br.w + br.x * br.x + br.y * br.y + br.z * br.z;
    if (l2 > 0.0f && std::isfinite(l2))
        quaternion_normalize(&br);
    else
        br = quaternion_identity();
    if (contributors == 0 && additives == 0) return; // nothing plays: the pose and world cache stay
    oi->pos = bp;
    oi->scale = bs;
    oi->rot = br;
    OI_invalidate_world_transform(oi);
}
