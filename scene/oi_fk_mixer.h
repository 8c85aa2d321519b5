#pragma once
// Forward-kinematics mixing: motion instances (playing copies of motions
// with their own time, speed, weight, fades and play mode) blended every
// frame into an instance's local pose.

#include <cstdint>

#include "corelib/quaternion.h"
#include "corelib/tacka.h"
#include "scene/scene_types.h"

enum {
    MOTION_PLAY_ONCE = 0, // stops at the end
    MOTION_PLAY_HOLD = 1, // holds the last pose
    MOTION_PLAY_LOOP = 2,
};

// Effective weights below this do not contribute.
#define MOTION_MIN_WEIGHT 0.001f

struct motion_instance {
    dlist link; // the mixer's list
    uint32_t flags;
    motion *mot;
    object_instance *oi;
    bool additive;
    bool is_fading_in;
    float fade_in_time;
    bool is_fading_out;
    float fade_out_time;
    float fade_factor;
    bool is_playing;
    bool is_paused;
    uint32_t loop_counter;
    float current_time;
    float length;
    float speed;
    float weight;
    float eff_weight;
    int32_t play_mode;
    int32_t priority;
    tacka3 last_pos, last_scale;
    quaternion last_rot;
    bool sampled; // the last sample is this frame's (set by the mixer update)
};

struct oi_fk_mixer {
    object_instance *oi;
    dlist instances;
    uint32_t count;
    motion_instance **sorted; // by ascending priority
    uint32_t sorted_capacity;
    bool dirty;
};

oi_fk_mixer *oi_fk_mixer_init(object_instance *oi);
void oi_fk_mixer_deinit(oi_fk_mixer *mixer); // frees its motion instances
// Advances, samples and blends into the instance's local pose.
void oi_fk_mixer_update(oi_fk_mixer *mixer, float dt);

// A new motion instance in the instance's mixer (made on first use); stopped.
motion_instance *motion_instance_create(object_instance *oi, motion *m);
void motion_instance_free(motion_instance *mi);
void motion_instance_play(motion_instance *mi, int mode, float fade_in, bool keep_time);
void motion_instance_pause(motion_instance *mi);
void motion_instance_stop(motion_instance *mi, float fade_out);
void motion_instance_set_speed(motion_instance *mi, float speed);
float motion_instance_get_speed(const motion_instance *mi);
void motion_instance_set_weight(motion_instance *mi, float weight);
float motion_instance_get_weight(const motion_instance *mi);
float motion_instance_get_effective_weight(const motion_instance *mi);
void motion_instance_set_priority(motion_instance *mi, int32_t priority);
int32_t motion_instance_get_priority(const motion_instance *mi);
void motion_instance_set_play_mode(motion_instance *mi, int mode);
int motion_instance_get_play_mode(const motion_instance *mi);
void motion_instance_set_current_time(motion_instance *mi, float time);
float motion_instance_get_current_time(const motion_instance *mi);
void motion_instance_set_additive(motion_instance *mi, bool additive);
bool motion_instance_is_additive(const motion_instance *mi);
bool motion_instance_is_playing(const motion_instance *mi);
uint32_t motion_instance_get_loop_counter(const motion_instance *mi);
// One time step (normally done by the mixer update).
void __advance_time(motion_instance *mi, float dt);
