#pragma once
// Cameras: data records carried by the instance of the same name; a camera
// fills the renderer's view from its instance's world placement.

#include <cstdint>

#include "corelib/quaternion.h"
#include "corelib/tacka.h"
#include "scene/scene_types.h"

struct view;

enum : uint32_t {
    CAM_NAME = 1u << 0,
    CAM_TYPE = 1u << 1,
    CAM_SOURCE_OI = 1u << 2,
    CAM_MANUAL_CLIPPING = 1u << 3,
    CAM_TARGET_NAME = 1u << 4,
};

enum {
    CAMERA_FREE = 0,
    CAMERA_TARGET = 1,
};

#define CAMERA_DEFAULT_NEAR 0.1f
#define CAMERA_DEFAULT_FAR 100000.0f
#define CAMERA_MIN_NEAR 0.05f

struct camera {
    dlist link;
    uint32_t flags;
    int32_t type;
    float fov;
    float near_clip_range, far_clip_range;
    char *name;
    char *target_name;
    object_instance *source;
};

camera *camera_init();
void camera_deinit(camera *c);
void camera_set_type(camera *c, int32_t type);
int32_t camera_get_type(const camera *c);
bool camera_has_type(const camera *c);
bool camera_has_name(const camera *c);
bool camera_copy_name(camera *c, const char *name);
const char *camera_get_name(const camera *c);
void camera_free_name(camera *c);
bool camera_has_target_name(const camera *c);
bool camera_copy_target_name(camera *c, const char *name);
const char *camera_get_target_name(const camera *c);
void camera_free_target_name(camera *c);
void camera_set_fov(camera *c, float fov);
float camera_get_fov(const camera *c);
// Near below 0.05 (or not a number) becomes 0.05; near must stay below far.
void camera_set_manual_clipping_planes(camera *c, float near_clip, float far_clip);
bool camera_has_manual_clipping(const camera *c);
void camera_set_source_oi(camera *c, object_instance *oi);
object_instance *camera_get_source_oi(const camera *c);
void camera_set_position(camera *c, tacka3 position);
void camera_set_rotation(camera *c, quaternion rotation);
quaternion camera_get_rotation(const camera *c);
void camera_set_target_position(camera *c, tacka3 point);
// Fills the view from the source instance; false when the view matrix cannot be made.
bool camera_setup_view(const camera *c, view *v);
