#pragma once
// Lights: data records carried by the instance of the same name.

#include <cstdint>

#include "corelib/tacka.h"
#include "scene/scene_types.h"

enum : uint32_t {
    LIG_NAME = 1u << 0,
    LIG_TYPE = 1u << 1,
    LIG_TARGET_NAME = 1u << 2,
    LIG_PROJECTOR = 1u << 3,
};

enum {
    LIGHT_OMNI = 2,
    LIGHT_TARGET_SPOT = 3,
    LIGHT_FREE_SPOT = 4,
    LIGHT_DIRECTIONAL = 6,
};

struct light {
    uint32_t flags;
    int32_t type;
    char *name;
    tacka4 ambient;
    tacka4 color;
    tacka4 color2, color3; // set by code
    float range2_copy;
    char *target_name;
    char *bitmap_filename;
    unitexture *projector; // the lock is the scene's (released with its textures)
    float range1, range2;
    float spot;
    object_instance *oi;
    float matrix[16];
};

// Pairs a light with the instance that carries it (and a target spot's target).
struct light_oi {
    dlist link; // the scene's light-instance list
    light *lig;
    object_instance *oi;
    object_instance *target;
};

light *light_init();
void light_deinit(light *l);
bool light_copy_name(light *l, const char *name); // a second name is refused
bool light_has_name(const light *l);
const char *light_get_name(const light *l);
void light_set_type(light *l, int32_t type);
bool light_has_type(const light *l);
bool light_copy_target_name(light *l, const char *name);
bool light_has_target_name(const light *l);
const char *light_get_target_name(const light *l);
bool light_set_bitmap_filename(light *l, const char *name);
bool light_has_bitmap_filename(const light *l);
const char *light_get_bitmap_filename(const light *l);
void light_insert_projector_bitmap(light *l, unitexture *u);

light_oi *light_oi_init(light *l, object_instance *oi);
void light_oi_deinit(light_oi *loi);
