#include "scene/scene_dump.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "corelib/json_writer.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/motion.h"
#include "scene/motionset.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/scene.h"

namespace {

// Vectors and quaternions (w first) as arrays of numbers.
void __t3(json_writer *j, tacka3 v)
{
    float a[3] = {v.x, v.y, v.z};
    json_numbers(j, a, 3);
}
void __quat(json_writer *j, quaternion q)
{
    float a[4] = {q.w, q.x, q.y, q.z};
    json_numbers(j, a, 4);
}

void __object(json_writer &j, const object *o)
{
    json_begin_object(&j);
    json_field_string(&j, "name", object_has_name(o) ? o->name : nullptr);
    json_field_integer(&j, "type", o->type);
    json_field_integer(&j, "vertices", object_has_vertexs(o) ? o->vertexsno : 0);
    json_field_integer(&j, "faces", object_has_triangle_list(o) ? o->facesno : 0);
    json_field_integer(&j, "index_bits",
                       object_has_triangle_list_ints(o) ? 32 : (object_has_triangle_list_shorts(o) ? 16 : 0));
    json_key(&j, "strips");
    if (object_has_triangle_strips(o)) {
        json_begin_object(&j);
        json_field_integer(&j, "count", o->strips_count);
        json_field_integer(&j, "words", o->strips_words);
        json_field_integer(&j, "triangles", o->strips_triangles);
        json_end_object(&j);
    } else {
        json_null(&j);
    }
    json_key(&j, "uv_channels");
    json_begin_array(&j);
    for (uint32_t c = 0; c < o->tvertexs_chns_no; c++) json_integer(&j, o->tvertexs_counts[c]);
    json_end_array(&j);
    json_field_bool(&j, "has_normals", object_has_vertex_normals(o));
    json_field_bool(&j, "has_tangent_space", object_has_tangent_space(o));
    json_key(&j, "weights");
    json_begin_array(&j);
    for (uint32_t i = 0; object_has_weights(o) && i < o->weightsno; i++) {
        json_begin_array(&j);
        json_integer(&j, o->weights[i].vertex);
        json_integer(&j, o->weights[i].bone);
        json_number(&j, o->weights[i].weight);
        json_end_array(&j);
    }
    json_end_array(&j);
    json_key(&j, "bones");
    json_begin_array(&j);
    for (uint32_t i = 0; object_has_bones(o) && i < o->bonesno; i++) json_string(&j, o->bones[i].name);
    json_end_array(&j);
    json_key(&j, "streams");
    json_begin_array(&j);
    for (uint32_t i = 0; i < object_get_generic_data_streams_no(o); i++) {
        const generic_data_stream *s = object_get_generic_data_stream(o, i);
        json_begin_object(&j);
        json_field_integer(&j, "kind", s->kind);
        json_field_integer(&j, "type", s->type);
        json_field_integer(&j, "a", s->a);
        json_field_integer(&j, "b", s->b);
        json_end_object(&j);
    }
    json_end_array(&j);
    json_end_object(&j);
}

void __instance(json_writer &j, const object_instance *oi)
{
    json_begin_object(&j);
    json_field_string(&j, "name", OI_has_name(oi) ? oi->name : nullptr);
    json_field_string(&j, "object", OI_has_instance_name(oi) ? oi->instance_name : nullptr);
    json_field_string(&j, "parent", OI_has_parent_name(oi) ? oi->parent_name : nullptr);
    json_field_string(&j, "material", OI_has_material_name(oi) ? oi->material_name : nullptr);
    json_field_integer(&j, "type", oi->type);
    json_key(&j, "position");
    __t3(&j, oi->init_pos_ws);
    json_key(&j, "rotation");
    __quat(&j, oi->init_rot_ws);
    json_key(&j, "scale");
    __t3(&j, oi->init_scale_ws);
    json_field_string(&j, "properties", OI_has_user_defined_properties(oi) ? oi->user_properties : nullptr);
    json_end_object(&j);
}

void __material(json_writer &j, const material *m)
{
    json_begin_object(&j);
    json_field_string(&j, "name", material_has_name(m) ? m->name : nullptr);
    json_field_integer(&j, "kind", m->material_kind);
    json_key(&j, "id");
    if (material_has_id(m))
        json_integer(&j, m->id);
    else
        json_null(&j);
    json_key(&j, "textures");
    json_begin_object(&j);
    for (int s : MATERIAL_SLOT_LOAD_ORDER)
        if (material_has_texture_file_name(m, s)) {
            json_key(&j, material_slot_name(s));
            json_string(&j, m->slots[s].file_name);
        }
    json_end_object(&j);
    json_key(&j, "uv_channels");
    json_begin_object(&j);
    for (int s : MATERIAL_SLOT_LOAD_ORDER)
        if (material_has_texture_file_name(m, s)) {
            json_key(&j, material_slot_name(s));
            json_integer(&j, m->slots[s].uv_channel);
        }
    json_end_object(&j);
    json_key(&j, "colors");
    json_begin_array(&j);
    for (const tacka4 &c : m->colors) {
        float a[4] = {c.x, c.y, c.z, c.w};
        json_numbers(&j, a, 4);
    }
    json_end_array(&j);
    json_field_numbers(&j, "values", m->values, 2);
    json_field_integer(&j, "flag", m->render_flag);
    json_key(&j, "submaterials");
    json_begin_array(&j);
    if (m->material_kind == MATERIAL_KIND_COMPOSITE) {
        for (uint32_t i = 0; i < m->submat_no; i++) json_string(&j, m->submat_names[i]);
    } else if (m->material_kind == MATERIAL_KIND_NESTED) {
        for (const material *sub : {m->submat1, m->submat2}) {
            if (sub)
                __material(j, sub);
            else
                json_null(&j);
        }
    }
    json_end_array(&j);
    json_end_object(&j);
}

void __light(json_writer &j, const light *l)
{
    json_begin_object(&j);
    json_field_string(&j, "name", light_has_name(l) ? l->name : nullptr);
    json_key(&j, "type");
    if (light_has_type(l))
        json_integer(&j, l->type);
    else
        json_null(&j);
    json_key(&j, "color");
    float c[4] = {l->color.x, l->color.y, l->color.z, l->color.w};
    json_numbers(&j, c, 4);
    json_key(&j, "range");
    float r[2] = {l->range1, l->range2};
    json_numbers(&j, r, 2);
    json_field_string(&j, "target", light_has_target_name(l) ? l->target_name : nullptr);
    json_field_number(&j, "spot", l->spot);
    json_field_string(&j, "projector", light_has_bitmap_filename(l) ? l->bitmap_filename : nullptr);
    json_end_object(&j);
}

void __camera(json_writer &j, const camera *c)
{
    json_begin_object(&j);
    json_field_string(&j, "name", camera_has_name(c) ? c->name : nullptr);
    json_field_integer(&j, "type", c->type);
    json_field_number(&j, "fov", c->fov);
    json_field_bool(&j, "manual_clipping", camera_has_manual_clipping(c));
    json_key(&j, "near");
    if (camera_has_manual_clipping(c))
        json_number(&j, c->near_clip_range);
    else
        json_null(&j);
    json_key(&j, "far");
    if (camera_has_manual_clipping(c))
        json_number(&j, c->far_clip_range);
    else
        json_null(&j);
    json_field_string(&j, "target", camera_has_target_name(c) ? c->target_name : nullptr);
    json_end_object(&j);
}

void __motion(json_writer &j, const motion *m)
{
    json_begin_object(&j);
    json_field_string(&j, "name", motion_has_name(m) ? m->name : nullptr);
    json_field_string(&j, "motionset", m->parent && motionset_has_name(m->parent) ? m->parent->name : nullptr);
    json_key(&j, "initial_pose");
    if (motion_has_initial_pose(m)) {
        json_begin_object(&j);
        json_key(&j, "position");
        __t3(&j, m->init_pos);
        json_key(&j, "rotation");
        __quat(&j, m->init_rot);
        json_key(&j, "scale");
        __t3(&j, m->init_scale);
        json_end_object(&j);
    } else {
        json_null(&j);
    }
    json_key(&j, "position_keys");
    json_begin_object(&j);
    uint32_t n = motion_get_position_keys_no(m);
    bool linear = motion_get_position_interpolation(m) == MOTION_INTERP_LINEAR;
    json_key(&j, "kind");
    if (n)
        json_string(&j, linear ? "linear" : "bezier");
    else
        json_null(&j);
    json_key(&j, "keys");
    json_begin_array(&j);
    for (uint32_t i = 0; i < n; i++) {
        float t;
        tacka3 p;
        if (linear) {
            t = motion_get_linear_position_key(m, i)->time;
            p = motion_get_linear_position_key(m, i)->position;
        } else {
            t = motion_get_bezier_position_key(m, i)->time;
            p = motion_get_bezier_position_key(m, i)->position;
        }
        float a[4] = {t, p.x, p.y, p.z};
        json_numbers(&j, a, 4);
    }
    json_end_array(&j);
    json_end_object(&j);
    json_key(&j, "rotation_keys");
    json_begin_array(&j);
    for (uint32_t i = 0; i < motion_get_rotation_keys_no(m); i++) {
        const tcb_rotation_keyframe *k = motion_get_rotation_key(m, i);
        float a[5] = {k->time, k->rotation.w, k->rotation.x, k->rotation.y, k->rotation.z};
        json_numbers(&j, a, 5);
    }
    json_end_array(&j);
    json_key(&j, "scale_keys");
    json_begin_array(&j);
    for (uint32_t i = 0; i < motion_get_scale_keys_no(m); i++) {
        const bezier_scale_keyframe *k = motion_get_scale_key(m, i);
        float a[4] = {k->time, k->scale.x, k->scale.y, k->scale.z};
        json_numbers(&j, a, 4);
    }
    json_end_array(&j);
    json_end_object(&j);
}

} // namespace

std::string scene_dump_json(const scene *sc, bool loaded, bool had_terrain)
{
    json_writer j;
    json_begin_object(&j);
    json_field_bool(&j, "loaded", loaded);
    json_key(&j, "objects");
    json_begin_array(&j);
    dlist_for_each(n, &sc->objects) __object(j, scene_object_of(n));
    json_end_array(&j);
    json_key(&j, "instances");
    json_begin_array(&j);
    dlist_for_each(n, &sc->ois) __instance(j, scene_oi_of(n));
    json_end_array(&j);
    json_key(&j, "materials");
    json_begin_array(&j);
    dlist_for_each(n, &sc->materials) __material(j, scene_material_of(n));
    json_end_array(&j);
    json_key(&j, "lights");
    json_begin_array(&j);
    for (const light *l : sc->lights)
        if (l) __light(j, l);
    json_end_array(&j);
    json_key(&j, "cameras");
    json_begin_array(&j);
    dlist_for_each(n, &sc->cameras) __camera(j, scene_camera_of(n));
    json_end_array(&j);
    json_key(&j, "motions");
    json_begin_array(&j);
    dlist_for_each(n, &sc->motions) __motion(j, scene_motion_of(n));
    json_end_array(&j);
    json_key(&j, "motionsets");
    json_begin_array(&j);
    dlist_for_each(n, &sc->motionsets)
    {
        const motionset *ms = scene_motionset_of(n);
        json_begin_object(&j);
        json_field_string(&j, "name", ms->name);
        json_field_number(&j, "length", ms->length);
        json_key(&j, "motions");
        json_begin_array(&j);
        dlist_for_each(k, &ms->motions)
        {
            const motion *m = SCENE_ENTRY(k, motion, set_link);
            json_string(&j, motion_has_name(m) ? m->name : nullptr);
        }
        json_end_array(&j);
        json_end_object(&j);
    }
    json_end_array(&j);
    json_field_bool(&j, "terrain", had_terrain || sc->terr != nullptr);
    json_end_object(&j);
    j.out += '\n';
    return j.out;
}

namespace {
std::string __fmt(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string __fmt(const char *format, ...)
{
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    return buf;
}
const char *__s(const char *s) { return s ? s : "-"; }
} // namespace

std::string scene_dump_text(const scene *sc, bool loaded, bool had_terrain)
{
    std::string o = __fmt("scene: %s\n", loaded ? "loaded" : "NOT loaded (partial)");
    o += __fmt("objects: %u\n", sc->objectsno);
    dlist_for_each(n, &sc->objects)
    {
        const object *ob = scene_object_of(n);
        o += __fmt("  object \"%s\" type %d: %u vertices, %u faces", __s(ob->name), ob->type,
                   object_has_vertexs(ob) ? ob->vertexsno : 0, object_has_triangle_list(ob) ? ob->facesno : 0);
        if (object_has_triangle_list(ob)) o += object_has_triangle_list_ints(ob) ? " (32-bit)" : " (16-bit)";
        if (object_has_triangle_strips(ob))
            o +=
                __fmt(", %u strips (%u words, %u triangles)", ob->strips_count, ob->strips_words, ob->strips_triangles);
        o += __fmt(", %u UV channels", ob->tvertexs_chns_no);
        if (object_has_vertex_normals(ob)) o += ", normals";
        if (object_has_tangent_space(ob)) o += ", tangent space";
        if (object_has_weights(ob)) o += __fmt(", %u weights", ob->weightsno);
        if (object_has_bones(ob)) o += __fmt(", %u bones", ob->bonesno);
        if (object_get_generic_data_streams_no(ob)) o += __fmt(", %u streams", object_get_generic_data_streams_no(ob));
        o += "\n";
        for (uint32_t i = 0; object_has_bones(ob) && i < ob->bonesno; i++)
            o += __fmt("    bone \"%s\"\n", ob->bones[i].name);
    }
    o += __fmt("instances: %u\n", sc->oisno);
    dlist_for_each(n, &sc->ois)
    {
        const object_instance *oi = scene_oi_of(n);
        o += __fmt("  instance \"%s\" type %d: object %s, parent %s, material %s\n", __s(oi->name), oi->type,
                   __s(oi->instance_name), __s(oi->parent_name), __s(oi->material_name));
        o += __fmt("    position (%g, %g, %g) rotation (%g, %g, %g, %g) scale (%g, %g, %g)\n", oi->init_pos_ws.x,
                   oi->init_pos_ws.y, oi->init_pos_ws.z, oi->init_rot_ws.w, oi->init_rot_ws.x, oi->init_rot_ws.y,
                   oi->init_rot_ws.z, oi->init_scale_ws.x, oi->init_scale_ws.y, oi->init_scale_ws.z);
        if (oi->user_properties) {
            o += "    properties:\n";
            std::string p = oi->user_properties;
            size_t at = 0;
            while (at < p.size()) {
                size_t e = p.find('\n', at);
                std::string line = p.substr(at, e == std::string::npos ? std::string::npos : e - at);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                o += "      " + line + "\n";
                if (e == std::string::npos) break;
                at = e + 1;
            }
        }
    }
    o += __fmt("materials: %u\n", sc->materialsno);
    dlist_for_each(n, &sc->materials)
    {
        const material *m = scene_material_of(n);
        o += __fmt("  material \"%s\" kind %d id %u\n", __s(m->name), m->material_kind, m->id);
        for (int s : MATERIAL_SLOT_LOAD_ORDER)
            if (material_has_texture_file_name(m, s))
                o += __fmt("    %s: %s (UV channel %d)\n", material_slot_name(s), m->slots[s].file_name,
                           m->slots[s].uv_channel);
        for (uint32_t i = 0; i < m->submat_no; i++) o += __fmt("    sub-material %u: %s\n", i, __s(m->submat_names[i]));
        if (m->submat1) o += __fmt("    nested 1: \"%s\"\n", __s(m->submat1->name));
        if (m->submat2) o += __fmt("    nested 2: \"%s\"\n", __s(m->submat2->name));
    }
    o += __fmt("lights: %u\n", sc->lightsno);
    for (const light *l : sc->lights)
        if (l)
            o += __fmt("  light \"%s\" type %d color (%g, %g, %g) range %g %g target %s projector %s\n", __s(l->name),
                       l->type, l->color.x, l->color.y, l->color.z, l->range1, l->range2, __s(l->target_name),
                       __s(l->bitmap_filename));
    o += __fmt("cameras: %u\n", sc->camerasno);
    dlist_for_each(n, &sc->cameras)
    {
        const camera *c = scene_camera_of(n);
        o += __fmt("  camera \"%s\" type %d fov %g target %s", __s(c->name), c->type, c->fov, __s(c->target_name));
        if (camera_has_manual_clipping(c)) o += __fmt(" clipping %g..%g", c->near_clip_range, c->far_clip_range);
        o += "\n";
    }
    o += __fmt("motions: %u\n", sc->motionsno);
    dlist_for_each(n, &sc->motions)
    {
        const motion *m = scene_motion_of(n);
        o += __fmt("  motion \"%s\" set %s: %u position keys (%s), %u rotation keys, %u scale keys, length %g\n",
                   __s(m->name), m->parent ? __s(m->parent->name) : "-", m->pos.keysno,
                   m->pos.interpolation == MOTION_INTERP_LINEAR ? "linear" : "bezier", m->rot.keysno, m->scale.keysno,
                   motion_get_length(m));
    }
    o += __fmt("motion sets: %u\n", sc->motionsetsno);
    dlist_for_each(n, &sc->motionsets)
    {
        const motionset *ms = scene_motionset_of(n);
        o += __fmt("  motion set \"%s\" length %g, %u motions\n", __s(ms->name), ms->length, ms->motionsno);
    }
    o += __fmt("terrain: %s\n", (had_terrain || sc->terr) ? "yes" : "no");
    return o;
}
