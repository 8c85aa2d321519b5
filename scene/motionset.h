#pragma once
// motionset: a named group of motions (for example the moves of one actor),
// and motionset_instance, which plays a whole set on an instance.

#include <cstdint>

#include "scene/scene_types.h"

struct motionset {
    dlist link; // the scene's motion set list
    char *name;
    float length; // the file's value, kept as is
    uint32_t motionsno;
    dlist motions; // motion::set_link
};

motionset *motionset_init();
// Frees the set; its motions are the scene's (only unlinked here).
void motionset_deinit(motionset *s);
bool motionset_has_name(const motionset *s);
bool motionset_copy_name(motionset *s, const char *name);
const char *motionset_get_name(const motionset *s);
void motionset_free_name(motionset *s);
void motionset_set_length(motionset *s, float length);
float motionset_get_length(const motionset *s);
// Appends the motion and makes the set its parent.
void motionset_add_motion(motionset *s, motion *m);
motion *motionset_get_motion(const motionset *s, const char *name);

// Playing a whole set on an instance: one motion instance per motion of the
// set, started, paused and stopped together.
struct motionset_instance {
    motionset *set;
    object_instance *oi;
    uint32_t count;
    motion_instance **members;
};

motionset_instance *motionset_instance_attach(motionset *s, object_instance *oi);
void motionset_instance_detach(motionset_instance *msi);
void motionset_instance_play(motionset_instance *msi, int mode, float fade_in, bool keep_time);
void motionset_instance_stop(motionset_instance *msi, float fade_out);
// The fade-in time of the first playing member (0 when none plays).
float motionset_instance_get_first_cur_fade_in_time(const motionset_instance *msi);
