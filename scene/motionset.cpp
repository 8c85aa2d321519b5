#include "scene/motionset.h"

#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "scene/motion.h"
#include "scene/oi_fk_mixer.h"

motionset *motionset_init()
{
    motionset *s = mem_new_zeroed<motionset>();
    if (s) dlist_init(&s->motions);
    return s;
}
void motionset_deinit(motionset *s)
{
    if (!s) return;
    while (!dlist_is_empty(&s->motions)) {
        motion *m = SCENE_ENTRY(s->motions.next, motion, set_link);
        dlist_unlink(&m->set_link);
        motion_set_parent_motionset(m, nullptr);
    }
    mem_free(s->name);
    mem_free(s);
}
bool motionset_has_name(const motionset *s) { return s->name != nullptr; }
bool motionset_copy_name(motionset *s, const char *name)
{
    char *c = mem_strdup(name);
    if (!c) return false;
    mem_free(s->name);
    s->name = c;
    return true;
}
const char *motionset_get_name(const motionset *s)
{
    if (!s->name) BUG();
    return s->name;
}
void motionset_free_name(motionset *s)
{
    mem_free(s->name);
    s->name = nullptr;
}
void motionset_set_length(motionset *s, float length) { s->length = length; }
float motionset_get_length(const motionset *s) { return s->length; }
void motionset_add_motion(motionset *s, motion *m)
{
    dlist_insert_back(&m->set_link, &s->motions);
    s->motionsno++;
    motion_set_parent_motionset(m, s);
}
motion *motionset_get_motion(const motionset *s, const char *name)
{
    dlist_for_each(n, &s->motions)
    {
        motion *m = SCENE_ENTRY(n, motion, set_link);
        if (motion_has_name(m) && !strcmp(m->name, name)) return m;
    }
    return nullptr;
}

motionset_instance *motionset_instance_attach(motionset *s, object_instance *oi)
{
    motionset_instance *msi = mem_new_zeroed<motionset_instance>();
    if (!msi) return nullptr;
    msi->set = s;
    msi->oi = oi;
    msi->members =
        static_cast<motion_instance **>(mem_calloc(s->motionsno ? s->motionsno : 1, sizeof(motion_instance *)));
    if (!msi->members) {
        mem_free(msi);
        return nullptr;
    }
    dlist_for_each(n, &s->motions)
    {
        motion_instance *mi = motion_instance_create(oi, SCENE_ENTRY(n, motion, set_link));
        if (!mi) {
            motionset_instance_detach(msi);
            return nullptr;
        }
        msi->members[msi->count++] = mi;
    }
    return msi;
}
void motionset_instance_detach(motionset_instance *msi)
{
    if (!msi) return;
    for (uint32_t i = 0; i < msi->count; i++) motion_instance_free(msi->members[i]);
    mem_free(msi->members);
    mem_free(msi);
}
void motionset_instance_play(motionset_instance *msi, int mode, float fade_in, bool keep_time)
{
    for (uint32_t i = 0; i < msi->count; i++) {
        motion_instance *mi = msi->members[i];
        if (mi->is_playing && !mi->is_paused) continue;
        motion_instance_play(mi, mode, fade_in, keep_time);
    }
}
void motionset_instance_stop(motionset_instance *msi, float fade_out)
{
    for (uint32_t i = 0; i < msi->count; i++)
        if (msi->members[i]->is_playing) motion_instance_stop(msi->members[i], fade_out);
}
float motionset_instance_get_first_cur_fade_in_time(const motionset_instance *msi)
{
    for (uint32_t i = 0; i < msi->count; i++)
        if (msi->members[i]->is_playing) return msi->members[i]->fade_in_time;
    return 0.0f;
}
