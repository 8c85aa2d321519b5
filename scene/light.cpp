#include "scene/light.h"

#include "corelib/log.h"
#include "corelib/matrix.h"
#include "corelib/mem.h"

light *light_init()
{
    light *l = mem_new_zeroed<light>();
    if (l) matrix_identity(l->matrix);
    return l;
}

void light_deinit(light *l)
{
    if (!l) return;
    mem_free(l->name);
    mem_free(l->target_name);
    mem_free(l->bitmap_filename);
    mem_free(l);
}

bool light_copy_name(light *l, const char *name)
{
    if (light_has_name(l)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER, "light name already set!");
        return false;
    }
    if (!(l->name = mem_strdup(name))) return false;
    l->flags |= LIG_NAME;
    return true;
}
bool light_has_name(const light *l) { return (l->flags & LIG_NAME) != 0; }
const char *light_get_name(const light *l)
{
    if (!light_has_name(l)) BUG();
    return l->name;
}
void light_set_type(light *l, int32_t type)
{
    l->type = type;
    l->flags |= LIG_TYPE;
}
bool light_has_type(const light *l) { return (l->flags & LIG_TYPE) != 0; }
bool light_copy_target_name(light *l, const char *name)
{
    char *c = mem_strdup(name);
    if (!c) return false;
    mem_free(l->target_name);
    l->target_name = c;
    l->flags |= LIG_TARGET_NAME;
    return true;
}
bool light_has_target_name(const light *l) { return (l->flags & LIG_TARGET_NAME) != 0; }
const char *light_get_target_name(const light *l)
{
    if (!light_has_target_name(l)) BUG();
    return l->target_name;
}
bool light_set_bitmap_filename(light *l, const char *name)
{
    char *c = mem_strdup(name);
    if (!c) return false;
    mem_free(l->bitmap_filename);
    l->bitmap_filename = c;
    l->flags |= LIG_PROJECTOR;
    return true;
}
bool light_has_bitmap_filename(const light *l) { return (l->flags & LIG_PROJECTOR) != 0; }
const char *light_get_bitmap_filename(const light *l)
{
    if (!light_has_bitmap_filename(l)) BUG();
    return l->bitmap_filename;
}
void light_insert_projector_bitmap(light *l, unitexture *u) { l->projector = u; }

light_oi *light_oi_init(light *l, object_instance *oi)
{
    light_oi *r = mem_new_zeroed<light_oi>();
    if (!r) return nullptr;
    r->lig = l;
    r->oi = oi;
    return r;
}
void light_oi_deinit(light_oi *loi) { mem_free(loi); }
