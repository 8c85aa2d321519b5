#include "scene/scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "corelib/hw_timer.h"
#include "corelib/log.h"
#include "corelib/matrix.h"
#include "corelib/mem.h"
#include "corelib/view.h"
#include "scene/camera.h"
#include "scene/collisions.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/motion.h"
#include "scene/motionset.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/oi_fk_mixer.h"
#include "scene/scene_renderer.h"
#include "scene/terrain.h"
#include "scene/unitexture.h"

scene *scene_init()
{
    scene *s = mem_new_zeroed<scene>();
    if (!s) {
        do_log(LOG_DEBUG, LOG_TO_MSGBOX | LOG_TO_FILE, "scene_init(): malloc() FAILED!\n");
        return nullptr;
    }
    dlist_init(&s->materials);
    dlist_init(&s->objects);
    dlist_init(&s->ois);
    dlist_init(&s->collidable_ois);
    dlist_init(&s->light_ois);
    dlist_init(&s->cameras);
    dlist_init(&s->motions);
    dlist_init(&s->textures);
    dlist_init(&s->motionsets);
    return s;
}

void scene_deinit(scene *s)
{
    if (!s) return;
    array_free(s->collision_meshes);
    if (s->flags & SCENE_ATTACHED) scene_detach_from_renderer(s);
    mem_free(s->name);
    mem_free(s->resources_folder);
    while (!dlist_is_empty(&s->ois)) {
        object_instance *oi = scene_oi_of(s->ois.next);
        scene_remove_oi(s, oi);
        OI_deinit(oi);
    }
    while (!dlist_is_empty(&s->objects)) {
        object *o = scene_object_of(s->objects.next);
        scene_remove_object(s, o);
        object_deinit(o);
    }
    while (!dlist_is_empty(&s->materials)) {
        material *m = scene_material_of(s->materials.next);
        scene_remove_material(s, m);
        material_deinit(m);
    }
    // What remains is held by lights (projector textures): release it.
    while (!dlist_is_empty(&s->textures)) {
        unitexture *u = scene_unitexture_of(s->textures.next);
        while (unitexture_get_lock_count(u) > 1) unitexture_unlock(u);
        unitexture_unlock(u);
    }
    ASSERT(s->texturesno == 0);
    for (light *&l : s->lights) {
        light_deinit(l);
        l = nullptr;
    }
    while (!dlist_is_empty(&s->light_ois)) {
        light_oi *loi = dlist_entry<light_oi>(s->light_ois.next);
        dlist_unlink(&loi->link);
        light_oi_deinit(loi);
    }
    while (!dlist_is_empty(&s->cameras)) {
        camera *c = scene_camera_of(s->cameras.next);
        dlist_unlink(&c->link);
        camera_deinit(c);
    }
    while (!dlist_is_empty(&s->motionsets)) {
        motionset *ms = scene_motionset_of(s->motionsets.next);
        scene_remove_motionset(s, ms);
        motionset_deinit(ms);
    }
    while (!dlist_is_empty(&s->motions)) {
        motion *m = scene_motion_of(s->motions.next);
        dlist_unlink(&m->link);
        motion_deinit(m);
    }
    terrain_free(s->terr);
    mem_free(s);
}

bool scene_copy_name(scene *s, const char *name)
{
    char *c = mem_strdup(name);
    if (!c) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s(): _strdup() FAILED!", "scene_copy_name");
        return false;
    }
    mem_free(s->name);
    s->name = c;
    s->flags |= SCENE_NAME;
    return true;
}
bool scene_has_name(const scene *s) { return (s->flags & SCENE_NAME) != 0; }
const char *scene_get_name(const scene *s)
{
    if (!scene_has_name(s)) BUG();
    return s->name;
}
bool scene_copy_resources_folder_path(scene *sc, const char *path)
{
    ASSERT(!scene_has_resources_folder_path(sc));
    if (!(sc->resources_folder = mem_strdup(path))) return false;
    sc->flags |= SCENE_RESOURCES_PATH;
    return true;
}
bool scene_has_resources_folder_path(const scene *s) { return (s->flags & SCENE_RESOURCES_PATH) != 0; }
const char *scene_get_resources_folder_path(const scene *sc)
{
    ASSERT(scene_has_resources_folder_path(sc));
    return sc->resources_folder;
}
void scene_set_hide_all(scene *s) { s->flags |= SCENE_HIDE_ALL; }
void scene_clear_hide_all(scene *s) { s->flags &= ~SCENE_HIDE_ALL; }
bool scene_is_hide_all(const scene *s) { return (s->flags & SCENE_HIDE_ALL) != 0; }
bool scene_is_attached(const scene *s) { return (s->flags & SCENE_ATTACHED) != 0; }

void scene_set_progress_callback(scene *s, scene_progress_fn fn, void *user)
{
    s->progress = fn;
    s->progress_user = fn ? user : nullptr;
}

void scene_report_progress(scene *s, float done)
{
    if (!s->progress) return;
    if (!(done >= 0.0f)) done = 0.0f;
    if (done > 1.0f) done = 1.0f;
    s->progress(s->progress_user, done);
}

// ---- list nodes ----

object *scene_object_of(dlist *node) { return SCENE_ENTRY(node, object, link); }
object_instance *scene_oi_of(dlist *node) { return SCENE_ENTRY(node, object_instance, link); }
object_instance *scene_collidable_oi_of(dlist *node) { return SCENE_ENTRY(node, object_instance, collidable_link); }
material *scene_material_of(dlist *node) { return SCENE_ENTRY(node, material, link); }
camera *scene_camera_of(dlist *node) { return SCENE_ENTRY(node, camera, link); }
motion *scene_motion_of(dlist *node) { return SCENE_ENTRY(node, motion, link); }
motionset *scene_motionset_of(dlist *node) { return SCENE_ENTRY(node, motionset, link); }
unitexture *scene_unitexture_of(dlist *node) { return SCENE_ENTRY(node, unitexture, link); }

// ---- insertion ----

void scene_add_object(scene *s, object *o)
{
    dlist_insert_back(&o->link, &s->objects);
    s->objectsno++;
}
void scene_remove_object(scene *s, object *o)
{
    dlist_unlink(&o->link);
    s->objectsno--;
}
void scene_add_oi(scene *s, object_instance *oi)
{
    dlist_insert_back(&oi->link, &s->ois);
    s->oisno++;
    oi->sc = s;
    if (oi->desc.collidable && !(oi->flags & OI_IN_COLLIDABLE_LIST)) scene_collidable_ois_add_to_list(s, oi);
}
void scene_remove_oi(scene *s, object_instance *oi)
{
    if (oi->flags & OI_IN_COLLIDABLE_LIST) scene_collidable_ois_remove_from_list(s, oi);
    dlist_unlink(&oi->link);
    s->oisno--;
    oi->sc = nullptr;
}
void scene_add_material(scene *s, material *m)
{
    dlist_insert_back(&m->link, &s->materials);
    s->materialsno++;
}
void scene_remove_material(scene *s, material *m)
{
    dlist_unlink(&m->link);
    s->materialsno--;
}
void scene_add_camera(scene *s, camera *c)
{
    dlist_insert_back(&c->link, &s->cameras);
    s->camerasno++;
}
void scene_add_motion(scene *s, motion *m)
{
    dlist_insert_back(&m->link, &s->motions);
    s->motionsno++;
}
void scene_add_motionset(scene *s, motionset *ms)
{
    dlist_insert_back(&ms->link, &s->motionsets);
    s->motionsetsno++;
}
void scene_remove_motionset(scene *s, motionset *ms)
{
    dlist_unlink(&ms->link);
    s->motionsetsno--;
}
void scene_add_unitexture(scene *s, unitexture *u)
{
    unitexture_insert_into_scene(u, s);
    dlist_insert_back(&u->link, &s->textures);
    s->texturesno++;
}
void scene_remove_unitexture(scene *s, unitexture *u)
{
    dlist_unlink(&u->link);
    s->texturesno--;
    u->flags &= ~UNITEX_IN_SCENE;
    u->sc = nullptr;
}
bool scene_add_light(scene *s, light *l)
{
    if (s->lightsno >= SCENE_MAX_LIGHTS) return false;
    for (light *&slot : s->lights)
        if (!slot) {
            slot = l;
            s->lightsno++;
            return true;
        }
    return false;
}
void scene_set_terrain(scene *s, terrain *t) { s->terr = t; }
terrain *scene_get_terrain(const scene *s) { return s->terr; }

// ---- lookups ----

static bool __eq(const char *a, const char *b) { return a && b && !strcmp(a, b); }

object *scene_get_object(const scene *s, const char *name)
{
    dlist_for_each(n, &s->objects) if (__eq(scene_object_of(n)->name, name)) return scene_object_of(n);
    return nullptr;
}
object_instance *scene_get_oi_by_name(const scene *s, const char *name)
{
    dlist_for_each(n, &s->ois) if (__eq(scene_oi_of(n)->name, name)) return scene_oi_of(n);
    return nullptr;
}
object_instance *scene_get_oi_by_parent_name(const scene *s, const char *name)
{
    dlist_for_each(n, &s->ois) if (__eq(scene_oi_of(n)->parent_name, name)) return scene_oi_of(n);
    return nullptr;
}
material *scene_get_material(const scene *s, const char *name)
{
    dlist_for_each(n, &s->materials) if (__eq(scene_material_of(n)->name, name)) return scene_material_of(n);
    return nullptr;
}
camera *scene_get_camera(const scene *s, const char *name)
{
    dlist_for_each(n, &s->cameras) if (__eq(scene_camera_of(n)->name, name)) return scene_camera_of(n);
    return nullptr;
}
motionset *scene_get_motionset(const scene *s, const char *name)
{
    dlist_for_each(n, &s->motionsets) if (__eq(scene_motionset_of(n)->name, name)) return scene_motionset_of(n);
    return nullptr;
}
unitexture *scene_get_unitexture(const scene *s, const char *name)
{
    dlist_for_each(n, &s->textures) if (__eq(scene_unitexture_of(n)->name, name)) return scene_unitexture_of(n);
    return nullptr;
}
motion *scene_get_motion(const scene *s, const char *name, const motionset *set)
{
    dlist_for_each(n, &s->motions)
    {
        motion *m = scene_motion_of(n);
        if (!__eq(m->name, name)) continue;
        if (m->parent && m->parent != set) continue;
        return m;
    }
    return nullptr;
}
object_instance *scene_get_oi(const scene *s, uint32_t i)
{
    if (i > s->oisno) BUG();
    if (i == s->oisno) return nullptr;
    dlist *n = s->ois.next;
    while (i--) n = n->next;
    return scene_oi_of(n);
}
uint32_t scene_get_ois_no(const scene *s) { return s->oisno; }
light *scene_get_light(const scene *s, uint32_t i)
{
    return i < s->lightsno && i < SCENE_MAX_LIGHTS ? s->lights[i] : nullptr;
}
uint32_t scene_get_lights_no(const scene *s) { return s->lightsno; }

void scene_collidable_ois_add_to_list(scene *s, object_instance *oi)
{
    if (oi->flags & OI_IN_COLLIDABLE_LIST) return;
    dlist_insert_back(&oi->collidable_link, &s->collidable_ois);
    s->collidable_oisno++;
    oi->flags |= OI_IN_COLLIDABLE_LIST;
}
void scene_collidable_ois_remove_from_list(scene *s, object_instance *oi)
{
    ASSERT(s->collidable_oisno > 0);
    if (!(oi->flags & OI_IN_COLLIDABLE_LIST)) return;
    dlist_unlink(&oi->collidable_link);
    s->collidable_oisno--;
    oi->flags &= ~OI_IN_COLLIDABLE_LIST;
}

bool scene_body_dynamics_init(scene *s)
{
    (void)s;
    return false;
}

// ---- preparation ----

#define FOR_OIS(s, oi) \
    for (dlist *__n = (s)->ois.next; __n != &(s)->ois; __n = __n->next) \
        if (object_instance *oi = scene_oi_of(__n); true)

// Whether `anc` is `oi` or one of its ancestors.
static bool __is_ancestor_or_self(const object_instance *anc, const object_instance *oi)
{
    for (; oi; oi = oi->parent)
        if (oi == anc) return true;
    return false;
}

// Progress of the preparation: the passes 1 to 10 below share the range
// 0..1 equally; each reports after each of its elements.
#define __PREPARE_PASSES 10

struct __prepare_progress {
    scene *s;
    uint32_t pass; // 0-based
    uint32_t count, done;
};

static void __pass_begin(__prepare_progress *p, uint32_t pass, uint32_t count)
{
    p->pass = pass;
    p->count = count;
    p->done = 0;
}

static void __step(__prepare_progress *p)
{
    if (!p) return;
    p->done++;
    float share = p->count ? float(std::min(p->done, p->count)) / float(p->count) : 1.0f;
    scene_report_progress(p->s, (float(p->pass) + share) / float(__PREPARE_PASSES));
}

static bool __load_textures(scene *s, const char *folder, __prepare_progress *pp);

bool scene_prepare(scene *s) { return scene_prepare_ex(s, 0); }

bool scene_prepare_ex(scene *s, uint32_t options)
{
    const bool check = options & SCENE_PREPARE_CHECK;
    const scene_renderer_hooks *hk = scene_renderer_get_hooks();
    __prepare_progress pp = {s, 0, 0, 0};
    bool ok = true;
#define FAIL_OR_CONTINUE() \
    do { \
        ok = false; \
        if (!check) return false; \
    } while (0)

    // 1. Cameras.
    __pass_begin(&pp, 0, s->camerasno);
    dlist_for_each(n, &s->cameras)
    {
        camera *c = scene_camera_of(n);
        object_instance *oi = camera_has_name(c) ? scene_get_oi_by_name(s, c->name) : nullptr;
        if (!oi) {
            do_log(LOG_WARNING, LOG_TO_ALL, "* camera \"%s\" has no object instance in scene",
                   log_quote(camera_has_name(c) ? c->name : "").text);
            FAIL_OR_CONTINUE();
        } else {
            camera_set_source_oi(c, oi);
        }
        __step(&pp);
    }

    // 2. User properties.
    __pass_begin(&pp, 1, s->oisno);
    FOR_OIS(s, oi)
    {
        if (!OI_parse_user_defined_properties(oi)) BUG();
        __step(&pp);
    }

    // 3. Derived geometry of ordinary meshes.
    __pass_begin(&pp, 2, s->objectsno);
    dlist_for_each(n, &s->objects)
    {
        object *o = scene_object_of(n);
        if (o->type != OBJECT_TYPE_MESH) continue;
        if (object_has_vertexs(o) &&
            (object_has_triangle_list(o) || (object_has_triangle_strips(o) && o->strips_count == 1))) {
            if (!object_calc_face_normals(o)) return false;
            if (!object_has_vertex_normals(o) && object_has_triangle_list(o) && !object_calc_vertex_normals(o))
                return false;
        }
        if (object_has_vertexs(o)) {
            object_calc_center(o);
            object_calc_bounding_sphere_radius(o);
        }
        scene_object_build_collision_bvh(o);
        __step(&pp);
    }

    // 4. Instances to objects.
    __pass_begin(&pp, 3, s->oisno);
    FOR_OIS(s, oi)
    {
        if (!OI_has_instance_name(oi)) continue;
        if (OI_has_object(oi)) {
            do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_FILE, "*insane: instance already has object %s\n",
                   log_quote(object_get_name(oi->obj)).text);
            BUG();
        }
        object *o = scene_get_object(s, oi->instance_name);
        if (!o) {
            do_log(LOG_WARNING, LOG_TO_ALL, "* object instance \"%s\" points to nonexisting object \"%s\" in scene",
                   log_quote(OI_has_name(oi) ? oi->name : "").text, log_quote(oi->instance_name).text);
            FAIL_OR_CONTINUE();
            continue;
        }
        OI_set_object(oi, o);
        OI_calc_bounding_volumes(oi);
        __step(&pp);
    }

    // 5. Hierarchy and default motions.
    __pass_begin(&pp, 4, s->oisno);
    FOR_OIS(s, oi)
    {
        if (OI_has_parent_name(oi)) {
            object_instance *p = scene_get_oi_by_name(s, oi->parent_name);
            if (!p || __is_ancestor_or_self(oi, p)) {
                // A parent that is the instance itself or one of its
                // descendants would make a cycle: treated as missing.
                do_log(LOG_WARNING, LOG_TO_ALL,
                       "\t*W A R N I N G : parent object instance \"%s\" not found for object instance \"%s\"",
                       log_quote(oi->parent_name).text, log_quote(OI_has_name(oi) ? oi->name : "").text);
            } else {
                OI_attach_child(p, oi);
            }
        }
        // The playback switches of the instance's properties: "en_fk_do_not_play"
        // leaves the motion to the game (recoils, cinematics), "en_fk_play_once"
        // plays it a single time instead of looping.
        const oi_desc *desc = OI_get_desc(oi);
        bool do_not_play = desc && desc->en_fk_do_not_play;
        if (!OI_has_game_actor(oi) && OI_has_name(oi) && !do_not_play) {
            motion *m = scene_get_motion(s, oi->name, nullptr);
            if (m && !m->parent) {
                motion_instance *mi = motion_instance_create(oi, m);
                if (!mi) BUG();
                bool once = desc && desc->en_fk_play_once;
                motion_instance_play(mi, once ? MOTION_PLAY_ONCE : MOTION_PLAY_LOOP, 0.2f, false);
            }
        }
        __step(&pp);
    }

    // 6. Materials.
    __pass_begin(&pp, 5, s->oisno);
    FOR_OIS(s, oi)
    {
        // A check also looks at the material of an instance whose object was missing.
        if (!OI_has_object(oi) && !(check && OI_has_instance_name(oi))) continue;
        if (!OI_has_material_name(oi)) {
            do_log(LOG_WARNING, LOG_TO_DEBUGGER, "Object instance %s has no material defined!",
                   log_quote(OI_has_name(oi) ? oi->name : "").text);
            continue;
        }
        material *m = scene_get_material(s, oi->material_name);
        if (!m) {
            do_log(LOG_WARNING, LOG_TO_ALL,
                   "%s(): Object instance \"%s\" material \"%s\" not found in scene, it might not be displayed!",
                   "scene_prepare", log_quote(OI_has_name(oi) ? oi->name : "").text, log_quote(oi->material_name).text);
            continue;
        }
        if (oi->desc.not_mipmapped) m->no_mipmap = 1;
        if (m->material_kind == MATERIAL_KIND_STANDARD) {
            OI_set_material(oi, m);
        } else if (m->material_kind == MATERIAL_KIND_COMPOSITE) {
            for (uint32_t i = 0; i < m->submat_no; i++) {
                const char *sn = m->submat_names[i];
                if (!sn) continue;
                material *sub = scene_get_material(s, sn);
                if (!sub) {
                    do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_DEBUGGER, "[submatname: %s] material not found",
                           log_quote(sn).text);
                    FAIL_OR_CONTINUE();
                    continue;
                }
                material_set_submat(m, i, sub);
            }
            OI_set_material(oi, m);
        }
        __step(&pp);
    }

    // 7. Transforms.
    __pass_begin(&pp, 6, s->oisno);
    FOR_OIS(s, oi)
    {
        OI_calc_world_transform(oi);
        __step(&pp);
    }

    // 8. Lights.
    __pass_begin(&pp, 7, s->lightsno);
    for (uint32_t i = 0; i < SCENE_MAX_LIGHTS && s->lights[i]; i++) {
        light *l = s->lights[i];
        if (!light_has_name(l)) {
            do_log(LOG_WARNING, LOG_TO_ALL, "* light in slot %u has no name", i);
            FAIL_OR_CONTINUE();
            continue;
        }
        object_instance *oi = scene_get_oi_by_name(s, l->name);
        if (!oi) continue;
        object_instance *target = nullptr;
        if (l->type == LIGHT_TARGET_SPOT) {
            target = light_has_target_name(l) ? scene_get_oi_by_name(s, l->target_name) : nullptr;
            if (!target) {
                do_log(LOG_WARNING, LOG_TO_ALL,
                       "* target object instance \"%s\" of spot light \"%s\" not found in scene",
                       log_quote(light_has_target_name(l) ? l->target_name : "").text, log_quote(l->name).text);
                FAIL_OR_CONTINUE();
                continue;
            }
        }
        matrix_copy(l->matrix, OI_get_matrix_ws(oi));
        l->ambient = tacka4{oi->desc.ambient[0], oi->desc.ambient[1], oi->desc.ambient[2], oi->desc.ambient[3]};
        l->oi = oi;
        oi->lig = l;
        light_oi *loi = light_oi_init(l, oi);
        if (!loi || !OI_attach_light_oi(oi, loi)) BUG();
        if (target) {
            loi->target = target;
            if (!OI_attach_light_oi(target, loi)) BUG();
        }
        dlist_insert_back(&loi->link, &s->light_ois);
        s->light_oisno++;
        __step(&pp);
    }

    // 9. Skinning.
    __pass_begin(&pp, 8, s->oisno);
    FOR_OIS(s, oi)
    {
        if (!OI_has_object(oi) || !object_has_weights(oi->obj)) continue;
        if (!OI_soft_skinning_prepare(oi)) {
            FAIL_OR_CONTINUE();
            continue;
        }
        OI_soft_skinning_calc_vertexs(oi);
        __step(&pp);
    }

    // 10. Textures.
    __pass_begin(&pp, 9, s->materialsno);
    ASSERT(scene_has_resources_folder_path(s));
    if (!__load_textures(s, s->resources_folder, &pp)) {
        do_log(LOG_WARNING, LOG_TO_MSGBOX | LOG_TO_DEBUGGER,
               "levelviewer_init(): scene_materials_load_textures() FAILED!");
        FAIL_OR_CONTINUE();
    }

    // 11. Projector textures.
    for (uint32_t i = 0; i < SCENE_MAX_LIGHTS && s->lights[i]; i++) {
        light *l = s->lights[i];
        if (!light_has_bitmap_filename(l) || l->projector) continue;
        size_t len = strlen(s->resources_folder) + strlen(l->bitmap_filename) + 1;
        char *full = static_cast<char *>(mem_alloc(len));
        if (!full) BUG();
        snprintf(full, len, "%s%s", s->resources_folder, l->bitmap_filename);
        unitexture *u = unitexture_build(full, l->bitmap_filename,
                                         UNITEX_OPT_BASE1 | UNITEX_OPT_BASE2 | (3u << UNITEX_OPT_LOD_SHIFT));
        if (!u) {
            do_log(LOG_WARNING, LOG_TO_MSGBOX | LOG_TO_DEBUGGER,
                   "\tunitexture_build, projective texture: (\"%s\") FAILED!", log_quote(full).text);
            mem_free(full);
            FAIL_OR_CONTINUE();
            continue;
        }
        do_log(LOG_INFO, LOG_TO_DEBUGGER, "\t* projective texture loaded: %s", log_quote(full).text);
        mem_free(full);
        light_insert_projector_bitmap(l, u);
        scene_add_unitexture(s, u);
    }

    if (!ok) return false;
    if (options & SCENE_PREPARE_NO_RENDERER) {
        scene_report_progress(s, 1.0f);
        return true;
    }

    // 12. Per-pixel lighting data, connectivity, renderer.
    FOR_OIS(s, oi)
    {
        if (!OI_has_object(oi) || !oi->mat || !material_has_texture_file_name(oi->mat, MAT_SLOT_BUMP)) continue;
        if (object_has_tangent_space(oi->obj) && !object_tangent_space_light_array_init(oi->obj)) return false;
    }
    scene_calculate_connectivity(s);
    scene_attach_to_renderer(s);

    // 13. Final per-instance set-up.
    FOR_OIS(s, oi)
    {
        if (OI_has_object(oi) && hk->oi_final_setup) hk->oi_final_setup(oi);
    }
    scene_report_progress(s, 1.0f);
    return true;
#undef FAIL_OR_CONTINUE
}

void scene_calculate_connectivity(scene *s)
{
    do_log(LOG_INFO, LOG_TO_FILE, "starting connectivity computation.");
    hw_timer *t = hw_timer_init();
    FOR_OIS(s, oi)
    {
        if (!OI_has_object(oi) || !oi->desc.cast_shadow || object_has_connectivity(oi->obj)) continue;
        if (!object_set_connectivity(oi->obj)) {
            do_log(LOG_CRITICAL, LOG_TO_FILE, "\tcould not compute connectivity for object: %s .. aborting.",
                   log_quote(object_has_name(oi->obj) ? oi->obj->name : "").text);
            BUG();
        }
    }
    double secs = t ? hw_timer_get(t, 0) : 0.0;
    hw_timer_free(t);
    do_log(LOG_INFO, LOG_TO_FILE, "connectivity computation completed in %f seconds", secs);
}

void scene_attach_to_renderer(scene *s)
{
    if (s->flags & SCENE_ATTACHED) BUG();
    FOR_OIS(s, oi)
    {
        if (OI_insert_into_renderer(oi) != SCENE_RENDERER_TAKEN) continue;
        OI_update_lights_to_mesh_instance(oi);
        OI_insert_into_profile(oi);
    }
    const scene_renderer_hooks *hk = scene_renderer_get_hooks();
    if (s->terr && hk->terrain_insert) s->terrain_in_renderer = hk->terrain_insert(s, s->terr);
    s->flags |= SCENE_ATTACHED;
}

void scene_detach_from_renderer(scene *s)
{
    if (!(s->flags & SCENE_ATTACHED)) BUG();
    FOR_OIS(s, oi) { OI_remove_from_renderer(oi); }
    const scene_renderer_hooks *hk = scene_renderer_get_hooks();
    if (s->terr && s->terrain_in_renderer && hk->terrain_remove) hk->terrain_remove(s->terr);
    s->terrain_in_renderer = false;
    s->flags &= ~SCENE_ATTACHED;
}

bool scene_materials_load_textures(scene *s, const char *folder) { return __load_textures(s, folder, nullptr); }

static bool __load_textures(scene *s, const char *folder, __prepare_progress *pp)
{
    dlist_for_each(n, &s->materials)
    {
        if (!material_prepare_textures(scene_material_of(n), s, folder)) return false;
        __step(pp);
    }
    bool ok = true;
    dlist_for_each(n, &s->textures)
    {
        unitexture *u = scene_unitexture_of(n);
        if (!unitexture_load(u)) ok = false;
    }
    // A texture that cannot be loaded leaves the scene unprepared: the
    // caller fails the scene (reported above by the load step).
    return ok;
}

void scene_textures_reload(scene *s, int quality)
{
    int level = quality <= 0 ? 3 : (quality == 1 ? 2 : 1);
    dlist_for_each(n, &s->textures) __unitexture_unload(scene_unitexture_of(n));
    dlist_for_each(n, &s->textures)
    {
        unitexture *u = scene_unitexture_of(n);
        unitexture_set_lod(u, level);
        if (!unitexture_load(u)) {
            do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_FILE, "scene_textures_reload: texture : %s reload failed",
                   log_quote(u->path).text);
            // A file gone since the scene was loaded: the white placeholder stands in.
            unitexture_set_lod(u, 0);
            if (!unitexture_load(u)) BUG();
        }
    }
    // The instances' passes held the old renderer textures.
    FOR_OIS(s, oi) { OI_insert_into_profile(oi); }
}

// ---- per frame ----

static bool __material_has_lod_maps(const material *m)
{
    return m &&
           (material_has_texture_file_name(m, MAT_SLOT_BUMP) || material_has_texture_file_name(m, MAT_SLOT_DETAIL) ||
            material_has_texture_file_name(m, MAT_SLOT_REFLECTION));
}

// The surface level of detail for distance d with step `step`: the first k
// with d below step * (2^(k+1) - 1), else 0.
static int __surface_lod(float d, float step)
{
    for (int k = 0; k <= 4; k++)
        if (d < step * float((2 << k) - 1)) return k;
    return 0;
}

void scene_update(scene *s, tacka3 viewer_position, float dt)
{
    const scene_renderer_hooks *hk = scene_renderer_get_hooks();
    const scene_render_options opt = scene_renderer_get_options();
    dlist_for_each(n, &s->textures) unitexture_update(scene_unitexture_of(n), dt);

    FOR_OIS(s, oi)
    {
        if (oi->mixer) oi_fk_mixer_update(oi->mixer, dt);
        if (oi->desc.billboarded) {
            tacka3 d = tacka3_sub(viewer_position, OI_get_position_ws(oi));
            if (!tacka3_is_zero(d)) OI_rotate_axis_to_vector(oi, d, 1);
        }
        OI_calc_world_transform(oi);
    }
    // Skinned instances after every bone has moved this frame.
    FOR_OIS(s, oi)
    {
        if (!(oi->flags & OI_SKINNING_FPU)) continue;
        OI_soft_skinning_calc_vertexs(oi);
        OI_calc_bounding_volumes(oi);
    }

    // Renderer hand-over.
    FOR_OIS(s, oi)
    {
        if (!(oi->flags & OI_IN_RENDERER)) continue;
        if (hk->oi_update) hk->oi_update(oi);
        bool changed = (oi->flags & OI_SKINNING_FPU) != 0;
        if (oi->desc.visible && !oi->desc.invisible && __material_has_lod_maps(oi->mat)) {
            float D = opt.surface_lod_distance_override > 0.0f ? opt.surface_lod_distance_override
                                                               : oi->desc.surface_lod_distance;
            if (D != 0.0f) {
                int lod = __surface_lod(tacka3_distance(viewer_position, oi->bound_center), D * oi->bound_radius);
                if (opt.surface_lod_min || opt.surface_lod_max) {
                    if (lod < opt.surface_lod_min) lod = opt.surface_lod_min;
                    if (lod > opt.surface_lod_max) lod = opt.surface_lod_max;
                }
                if (lod != oi->desc.surface_lod) {
                    oi->desc.surface_lod = lod;
                    changed = true;
                }
            }
        }
        if (changed && hk->oi_flush) hk->oi_flush(oi);
    }
}

// Frustum planes (a, b, c, d) with a point inside when a x + b y + c z + d >= 0,
// from the combined matrix M = view . projection (row vectors: clip = p . M).
static void __frustum_planes(const float *m, float planes[6][4])
{
    auto col = [m](int c, int r) { return m[r * 4 + c]; };
    for (int r = 0; r < 4; r++) {
        planes[0][r] = col(3, r) + col(0, r);
        planes[1][r] = col(3, r) - col(0, r);
        planes[2][r] = col(3, r) + col(1, r);
        planes[3][r] = col(3, r) - col(1, r);
        planes[4][r] = col(3, r) + col(2, r);
        planes[5][r] = col(3, r) - col(2, r);
    }
}

static bool __sphere_in_frustum(float planes[6][4], tacka3 c, float r)
{
    for (int i = 0; i < 6; i++) {
        const float *p = planes[i];
        float len = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        if (!(len > 0.0f)) continue;
        if (p[0] * c.x + p[1] * c.y + p[2] * c.z + p[3] < -r * len) return false;
    }
    return true;
}

void scene_update_visibility(scene *s, const view *v)
{
    const scene_renderer_hooks *hk = scene_renderer_get_hooks();
    const bool culling = scene_renderer_get_options().frustum_culling;
    float planes[6][4];
    if (culling) {
        float m[16];
        matrix_mul(m, view_get_view_matrix(v), view_get_projection_matrix(v));
        __frustum_planes(m, planes);
    }
    const bool hide_all = scene_is_hide_all(s);
    FOR_OIS(s, oi)
    {
        if (!OI_has_object(oi)) continue;
        bool visible;
        if (hide_all || oi->desc.invisible)
            visible = false;
        else if (!culling || oi->desc.do_not_frustum_cull)
            visible = true;
        else if (oi->obj->type != OBJECT_TYPE_MESH)
            visible = oi->desc.visible != 0; // left to the terrain
        else
            visible = OI_has_bounds(oi) && __sphere_in_frustum(planes, oi->bound_center, oi->bound_radius);
        bool before = oi->desc.visible != 0;
        oi->desc.visible = visible;
        if (before != visible && (oi->flags & OI_IN_RENDERER) && hk->oi_set_visible)
            hk->oi_set_visible(oi, visible && !oi->desc.invisible);
    }
    if (s->terr) {
        terrain_select(s->terr, v);
        if (hide_all) s->terr->sel.indicesno = s->terr->sel.near_indicesno = s->terr->sel.picksno = 0;
        if (s->terrain_in_renderer && hk->terrain_update) hk->terrain_update(s->terr, v);
    }
}
