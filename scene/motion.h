#pragma once
// motion: a keyframed animation track for one instance (position keys,
// linear or Bezier; rotation keys; Bezier scale keys) and the pose the
// instance had when the motion was authored.

#include <cstdint>

#include "corelib/quaternion.h"
#include "corelib/tacka.h"
#include "scene/scene_types.h"

enum : uint32_t {
    MOT_NAME = 1u << 0,
    MOT_INITIAL_POSE = 1u << 1,
    MOT_MOTIONSET = 1u << 2,
};

enum {
    MOTION_INTERP_LINEAR = 1,
    MOTION_INTERP_BEZIER = 2,
    MOTION_INTERP_TCB = 3,
};

struct linear_position_keyframe {
    float time;
    tacka3 position;
};
struct bezier_position_keyframe {
    float time;
    tacka3 position, in_tangent, out_tangent;
};
struct tcb_rotation_keyframe {
    float time;
    quaternion rotation;
    float tcb[5];
};
struct bezier_scale_keyframe {
    float time;
    tacka3 scale, in_tangent, out_tangent;
};

// One track: keys in insertion order plus their order by time.
struct motion_track {
    float length; // largest key time
    int32_t interpolation;
    uint32_t keysno;
    uint32_t capacity;
    void *keys;      // keysno records of the track's key type
    uint32_t *order; // key indices sorted by time
};

struct motion {
    dlist link;     // the scene's motion list
    dlist set_link; // its motion set's list
    uint32_t flags;
    char *name;
    motionset *parent;
    tacka3 init_pos, init_scale;
    quaternion init_rot;
    motion_track pos, rot, scale;
    uint32_t position_mask; // bits 1, 2, 4 clear x, y, z of sampled positions
};

motion *motion_init();
void motion_deinit(motion *m);
bool motion_has_name(const motion *m);
bool motion_copy_name(motion *m, const char *name);
const char *motion_get_name(const motion *m);
void motion_set_initial_pose(motion *m, tacka3 position, quaternion rotation, tacka3 scale);
bool motion_has_initial_pose(const motion *m);
void motion_get_initial_pose(const motion *m, tacka3 *position, quaternion *rotation, tacka3 *scale);
motionset *motion_get_parent_motionset(const motion *m);
void motion_set_parent_motionset(motion *m, motionset *set);
// The playing length: the largest rotation key time.
float motion_get_length(const motion *m);

// Key adders. False when memory runs out, when the time is not a finite
// number, when a key with the same time exists, or (positions) when the
// other kind of position key is already in the motion.
bool motion_add_linear_position_keyframe(motion *m, float time, tacka3 position);
bool motion_add_bezier_position_keyframe(motion *m, float time, tacka3 position, tacka3 in_tangent, tacka3 out_tangent);
bool motion_add_rotation_keyframe(motion *m, float time, quaternion rotation, const float tcb[5]);
bool motion_add_scale_keyframe(motion *m, float time, tacka3 scale, tacka3 in_tangent, tacka3 out_tangent);

uint32_t motion_get_position_keys_no(const motion *m);
int32_t motion_get_position_interpolation(const motion *m);
const linear_position_keyframe *motion_get_linear_position_key(const motion *m, uint32_t i); // insertion order
const bezier_position_keyframe *motion_get_bezier_position_key(const motion *m, uint32_t i);
uint32_t motion_get_rotation_keys_no(const motion *m);
const tcb_rotation_keyframe *motion_get_rotation_key(const motion *m, uint32_t i);
uint32_t motion_get_scale_keys_no(const motion *m);
const bezier_scale_keyframe *motion_get_scale_key(const motion *m, uint32_t i);

// Sampling.
void motion_get_position(const motion *m, tacka3 *out, float time);
void motion_get_rotation(const motion *m, quaternion *out, float time);
void motion_get_scale(const motion *m, tacka3 *out, float time);
void motion_get_position_and_direction_bezier(const motion *m, tacka3 *position, tacka3 *direction, float time);
