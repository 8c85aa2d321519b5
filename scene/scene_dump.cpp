#include "scene/scene_dump.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "scene/camera.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/motion.h"
#include "scene/motionset.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/scene.h"

namespace {

// A small JSON emitter: values separated by commas inside arrays and objects.
struct json {
    std::string out;
    bool need_comma = false;

    void sep()
    {
        if (need_comma) out += ',';
        need_comma = false;
    }
    void key(const char *k)
    {
        sep();
        str_raw(k);
        out += ':';
    }
    void str_raw(const char *s)
    {
        out += '"';
        for (const unsigned char *p = reinterpret_cast<const unsigned char *>(s); *p; p++) {
            switch (*p) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (*p < 0x20 || *p >= 0x7f) {
                    char b[8];
                    snprintf(b, sizeof b, "\\u%04x", *p);
                    out += b;
                } else {
                    out += char(*p);
                }
            }
        }
        out += '"';
    }
    void str(const char *s)
    {
        sep();
        if (s)
            str_raw(s);
        else
            out += "null";
        need_comma = true;
    }
    void num(double v)
    {
        sep();
        if (!std::isfinite(v)) {
            out += "null";
        } else {
            char b[40];
            snprintf(b, sizeof b, "%.9g", v);
            out += b;
        }
        need_comma = true;
    }
    void integer(long long v)
    {
        sep();
        out += std::to_string(v);
        need_comma = true;
    }
    void boolean(bool v)
    {
        sep();
        out += v ? "true" : "false";
        need_comma = true;
    }
    void null()
    {
        sep();
        out += "null";
        need_comma = true;
    }
    void begin_obj()
    {
        sep();
        out += '{';
    }
    void end_obj()
    {
        out += '}';
        need_comma = true;
    }
    void begin_arr()
    {
        sep();
        out += '[';
    }
    void end_arr()
    {
        out += ']';
        need_comma = true;
    }
    void vec(const float *v, int n)
    {
        begin_arr();
        for (int i = 0; i < n; i++) num(v[i]);
        end_arr();
    }
    void t3(tacka3 v)
    {
        float a[3] = {v.x, v.y, v.z};
        vec(a, 3);
    }
    void quat(quaternion q)
    {
        float a[4] = {q.w, q.x, q.y, q.z};
        vec(a, 4);
    }
};

void __object(json &j, const object *o)
{
    j.begin_obj();
    j.key("name");
    j.str(object_has_name(o) ? o->name : nullptr);
    j.key("type");
    j.integer(o->type);
    j.key("vertices");
    j.integer(object_has_vertexs(o) ? o->vertexsno : 0);
    j.key("faces");
    j.integer(object_has_triangle_list(o) ? o->facesno : 0);
    j.key("index_bits");
    j.integer(object_has_triangle_list_ints(o) ? 32 : (object_has_triangle_list_shorts(o) ? 16 : 0));
    j.key("strips");
    if (object_has_triangle_strips(o)) {
        j.begin_obj();
        j.key("count");
        j.integer(o->strips_count);
        j.key("words");
        j.integer(o->strips_words);
        j.key("triangles");
        j.integer(o->strips_triangles);
        j.end_obj();
    } else {
        j.null();
    }
    j.key("uv_channels");
    j.begin_arr();
    for (uint32_t c = 0; c < o->tvertexs_chns_no; c++) j.integer(o->tvertexs_counts[c]);
    j.end_arr();
    j.key("has_normals");
    j.boolean(object_has_vertex_normals(o));
    j.key("has_tangent_space");
    j.boolean(object_has_tangent_space(o));
    j.key("weights");
    j.begin_arr();
    for (uint32_t i = 0; object_has_weights(o) && i < o->weightsno; i++) {
        j.begin_arr();
        j.integer(o->weights[i].vertex);
        j.integer(o->weights[i].bone);
        j.num(o->weights[i].weight);
        j.end_arr();
    }
    j.end_arr();
    j.key("bones");
    j.begin_arr();
    for (uint32_t i = 0; object_has_bones(o) && i < o->bonesno; i++) j.str(o->bones[i].name);
    j.end_arr();
    j.key("streams");
    j.begin_arr();
    for (uint32_t i = 0; i < object_get_generic_data_streams_no(o); i++) {
        const generic_data_stream *s = object_get_generic_data_stream(o, i);
        j.begin_obj();
        j.key("kind");
        j.integer(s->kind);
        j.key("type");
        j.integer(s->type);
        j.key("a");
        j.integer(s->a);
        j.key("b");
        j.integer(s->b);
        j.end_obj();
    }
    j.end_arr();
    j.end_obj();
}

void __instance(json &j, const object_instance *oi)
{
    j.begin_obj();
    j.key("name");
    j.str(OI_has_name(oi) ? oi->name : nullptr);
    j.key("object");
    j.str(OI_has_instance_name(oi) ? oi->instance_name : nullptr);
    j.key("parent");
    j.str(OI_has_parent_name(oi) ? oi->parent_name : nullptr);
    j.key("material");
    j.str(OI_has_material_name(oi) ? oi->material_name : nullptr);
    j.key("type");
    j.integer(oi->type);
    j.key("position");
    j.t3(oi->init_pos_ws);
    j.key("rotation");
    j.quat(oi->init_rot_ws);
    j.key("scale");
    j.t3(oi->init_scale_ws);
    j.key("properties");
    j.str(OI_has_user_defined_properties(oi) ? oi->user_properties : nullptr);
    j.end_obj();
}

void __material(json &j, const material *m)
{
    j.begin_obj();
    j.key("name");
    j.str(material_has_name(m) ? m->name : nullptr);
    j.key("kind");
    j.integer(m->material_kind);
    j.key("id");
    if (material_has_id(m))
        j.integer(m->id);
    else
        j.null();
    j.key("textures");
    j.begin_obj();
    for (int s : MATERIAL_SLOT_LOAD_ORDER)
        if (material_has_texture_file_name(m, s)) {
            j.key(material_slot_name(s));
            j.str(m->slots[s].file_name);
        }
    j.end_obj();
    j.key("uv_channels");
    j.begin_obj();
    for (int s : MATERIAL_SLOT_LOAD_ORDER)
        if (material_has_texture_file_name(m, s)) {
            j.key(material_slot_name(s));
            j.integer(m->slots[s].uv_channel);
        }
    j.end_obj();
    j.key("colors");
    j.begin_arr();
    for (const tacka4 &c : m->colors) {
        float a[4] = {c.x, c.y, c.z, c.w};
        j.vec(a, 4);
    }
    j.end_arr();
    j.key("values");
    j.vec(m->values, 2);
    j.key("flag");
    j.integer(m->render_flag);
    j.key("submaterials");
    j.begin_arr();
    if (m->material_kind == MATERIAL_KIND_COMPOSITE) {
        for (uint32_t i = 0; i < m->submat_no; i++) j.str(m->submat_names[i]);
    } else if (m->material_kind == MATERIAL_KIND_NESTED) {
        for (const material *sub : {m->submat1, m->submat2}) {
            if (sub)
                __material(j, sub);
            else
                j.null();
        }
    }
    j.end_arr();
    j.end_obj();
}

void __light(json &j, const light *l)
{
    j.begin_obj();
    j.key("name");
    j.str(light_has_name(l) ? l->name : nullptr);
    j.key("type");
    if (light_has_type(l))
        j.integer(l->type);
    else
        j.null();
    j.key("color");
    float c[4] = {l->color.x, l->color.y, l->color.z, l->color.w};
    j.vec(c, 4);
    j.key("range");
    float r[2] = {l->range1, l->range2};
    j.vec(r, 2);
    j.key("target");
    j.str(light_has_target_name(l) ? l->target_name : nullptr);
    j.key("spot");
    j.num(l->spot);
    j.key("projector");
    j.str(light_has_bitmap_filename(l) ? l->bitmap_filename : nullptr);
    j.end_obj();
}

void __camera(json &j, const camera *c)
{
    j.begin_obj();
    j.key("name");
    j.str(camera_has_name(c) ? c->name : nullptr);
    j.key("type");
    j.integer(c->type);
    j.key("fov");
    j.num(c->fov);
    j.key("manual_clipping");
    j.boolean(camera_has_manual_clipping(c));
    j.key("near");
    if (camera_has_manual_clipping(c))
        j.num(c->near_clip_range);
    else
        j.null();
    j.key("far");
    if (camera_has_manual_clipping(c))
        j.num(c->far_clip_range);
    else
        j.null();
    j.key("target");
    j.str(camera_has_target_name(c) ? c->target_name : nullptr);
    j.end_obj();
}

void __motion(json &j, const motion *m)
{
    j.begin_obj();
    j.key("name");
    j.str(motion_has_name(m) ? m->name : nullptr);
    j.key("motionset");
    j.str(m->parent && motionset_has_name(m->parent) ? m->parent->name : nullptr);
    j.key("initial_pose");
    if (motion_has_initial_pose(m)) {
        j.begin_obj();
        j.key("position");
        j.t3(m->init_pos);
        j.key("rotation");
        j.quat(m->init_rot);
        j.key("scale");
        j.t3(m->init_scale);
        j.end_obj();
    } else {
        j.null();
    }
    j.key("position_keys");
    j.begin_obj();
    uint32_t n = motion_get_position_keys_no(m);
    bool linear = motion_get_position_interpolation(m) == MOTION_INTERP_LINEAR;
    j.key("kind");
    if (n)
        j.str(linear ? "linear" : "bezier");
    else
        j.null();
    j.key("keys");
    j.begin_arr();
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
        j.vec(a, 4);
    }
    j.end_arr();
    j.end_obj();
    j.key("rotation_keys");
    j.begin_arr();
    for (uint32_t i = 0; i < motion_get_rotation_keys_no(m); i++) {
        const tcb_rotation_keyframe *k = motion_get_rotation_key(m, i);
        float a[5] = {k->time, k->rotation.w, k->rotation.x, k->rotation.y, k->rotation.z};
        j.vec(a, 5);
    }
    j.end_arr();
    j.key("scale_keys");
    j.begin_arr();
    for (uint32_t i = 0; i < motion_get_scale_keys_no(m); i++) {
        const bezier_scale_keyframe *k = motion_get_scale_key(m, i);
        float a[4] = {k->time, k->scale.x, k->scale.y, k->scale.z};
        j.vec(a, 4);
    }
    j.end_arr();
    j.end_obj();
}

}  // namespace

std::string scene_dump_json(const scene *sc, bool loaded, bool had_terrain)
{
    json j;
    j.begin_obj();
    j.key("loaded");
    j.boolean(loaded);
    j.key("objects");
    j.begin_arr();
    dlist_for_each(n, &sc->objects) __object(j, scene_object_of(n));
    j.end_arr();
    j.key("instances");
    j.begin_arr();
    dlist_for_each(n, &sc->ois) __instance(j, scene_oi_of(n));
    j.end_arr();
    j.key("materials");
    j.begin_arr();
    dlist_for_each(n, &sc->materials) __material(j, scene_material_of(n));
    j.end_arr();
    j.key("lights");
    j.begin_arr();
    for (const light *l : sc->lights)
        if (l) __light(j, l);
    j.end_arr();
    j.key("cameras");
    j.begin_arr();
    dlist_for_each(n, &sc->cameras) __camera(j, scene_camera_of(n));
    j.end_arr();
    j.key("motions");
    j.begin_arr();
    dlist_for_each(n, &sc->motions) __motion(j, scene_motion_of(n));
    j.end_arr();
    j.key("motionsets");
    j.begin_arr();
    dlist_for_each(n, &sc->motionsets)
    {
        const motionset *ms = scene_motionset_of(n);
        j.begin_obj();
        j.key("name");
        j.str(ms->name);
        j.key("length");
        j.num(ms->length);
        j.key("motions");
        j.begin_arr();
        dlist_for_each(k, &ms->motions)
        {
            const motion *m = SCENE_ENTRY(k, motion, set_link);
            j.str(motion_has_name(m) ? m->name : nullptr);
        }
        j.end_arr();
        j.end_obj();
    }
    j.end_arr();
    j.key("terrain");
    j.boolean(had_terrain || sc->terr != nullptr);
    j.end_obj();
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
}  // namespace

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
            o += __fmt(", %u strips (%u words, %u triangles)", ob->strips_count, ob->strips_words, ob->strips_triangles);
        o += __fmt(", %u UV channels", ob->tvertexs_chns_no);
        if (object_has_vertex_normals(ob)) o += ", normals";
        if (object_has_tangent_space(ob)) o += ", tangent space";
        if (object_has_weights(ob)) o += __fmt(", %u weights", ob->weightsno);
        if (object_has_bones(ob)) o += __fmt(", %u bones", ob->bonesno);
        if (object_get_generic_data_streams_no(ob)) o += __fmt(", %u streams", object_get_generic_data_streams_no(ob));
        o += "\n";
        for (uint32_t i = 0; object_has_bones(ob) && i < ob->bonesno; i++) o += __fmt("    bone \"%s\"\n", ob->bones[i].name);
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
