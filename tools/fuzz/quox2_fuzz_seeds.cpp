// Writes the seed corpus of the QUOX2 fuzz target: small files with every
// chunk kind, made with the scene file writer.
//   quox2_fuzz_seeds DIR

#include <cstdio>
#include <cstring>
#include <string>

#include "corelib/mem.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/motion.h"
#include "scene/motionset.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/quox2_writer.h"
#include "scene/scene.h"
#include "scene/terrain.h"

template <typename T> static T *copy(std::initializer_list<T> v)
{
    T *p = static_cast<T *>(mem_alloc(v.size() * sizeof(T)));
    size_t i = 0;
    for (const T &x : v) p[i++] = x;
    return p;
}

static object *quad(const char *name, bool shorts)
{
    object *o = object_init();
    object_copy_name(o, name);
    object_insert_vertexs(o, copy<tacka3>({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}), 4);
    if (shorts)
        object_insert_triangle_list_shorts(o, copy<uint16_t>({0, 1, 2, 0, 2, 3}), 2);
    else
        object_insert_triangle_list_ints(o, copy<uint32_t>({0, 1, 2, 0, 2, 3}), 2);
    object_append_tvertexs_chn(o, copy<tacka2>({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), 4);
    return o;
}

static bool save(const std::string &dir, const char *name, void (*fill)(quox2_writer *))
{
    quox2_writer *w = quox2_writer_create();
    fill(w);
    bool ok = quox2_writer_save(w, (dir + "/" + name).c_str());
    quox2_writer_free(w);
    return ok;
}

static void seed_scene(quox2_writer *w)
{
    scene *sc = scene_init();
    object *o = quad("hull", false);
    object_insert_vertex_normals(o, copy<tacka3>({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}), 4);
    object_bone_name *bones = copy<object_bone_name>({object_bone_name{}});
    strcpy(bones[0].name, "bone");
    object_insert_bones(o, bones, 1);
    object_insert_weights(o, copy<object_weight>({{0, 0, 1.0f}, {1, 0, 0.5f}}), 2);
    scene_add_object(sc, o);
    scene_add_object(sc, quad("small", true));
    material *m = material_init();
    material_copy_name(m, "paint");
    material_copy_texture_file_name(m, MAT_SLOT_DIFFUSE, "paint.tga");
    scene_add_material(sc, m);
    material *c = material_init();
    material_copy_name(c, "mix");
    c->material_kind = MATERIAL_KIND_COMPOSITE;
    material_copy_submat_name(c, "paint", 0);
    scene_add_material(sc, c);
    material *n = material_init();
    n->material_kind = MATERIAL_KIND_NESTED;
    material_set_submat1(n, material_init());
    scene_add_material(sc, n);
    const char *names[3] = {"bone", "ship", "turret"};
    for (const char *nm : names) {
        object_instance *oi = OI_init();
        OI_copy_name(oi, nm);
        OI_copy_instance_name(oi, "hull");
        OI_copy_material_name(oi, "mix");
        if (!strcmp(nm, "turret")) OI_copy_parent_name(oi, "ship");
        OI_copy_user_defined_properties(oi, "collidable = true\r\nsolid = true\r\nbillboarded = true\r\n");
        scene_add_oi(sc, oi);
    }
    light *l = light_init();
    light_copy_name(l, "ship");
    light_set_type(l, LIGHT_TARGET_SPOT);
    light_copy_target_name(l, "turret");
    scene_add_light(sc, l);
    camera *cam = camera_init();
    camera_copy_name(cam, "ship");
    camera_set_manual_clipping_planes(cam, 1, 100);
    scene_add_camera(sc, cam);
    motionset *set = motionset_init();
    motionset_copy_name(set, "set");
    motion *a = motion_init();
    motion_copy_name(a, "a");
    motion_add_bezier_position_keyframe(a, 0, {0, 0, 0}, {0, 0, 0}, {0, 0, 0});
    motion_add_bezier_position_keyframe(a, 1, {1, 0, 0}, {0, 0, 0}, {0, 0, 0});
    motionset_add_motion(set, a);
    scene_add_motion(sc, a);
    scene_add_motionset(sc, set);
    motion *ship = motion_init();
    motion_copy_name(ship, "ship");
    motion_add_linear_position_keyframe(ship, 0, {0, 0, 0});
    motion_add_rotation_keyframe(ship, 0, quaternion_identity(), nullptr);
    motion_add_rotation_keyframe(ship, 1, quaternion{0, 0, 0, 1}, nullptr);
    motion_add_scale_keyframe(ship, 0, {1, 1, 1}, {0, 0, 0}, {0, 0, 0});
    scene_add_motion(sc, ship);
    terrain *t = terrain_create();
    uint32_t vb[4] = {1, 0, 0, 0};
    terrain_add_chunk(t, "#VBUF", reinterpret_cast<uint8_t *>(vb), 16);
    scene_set_terrain(sc, t);
    quox2_write_scene(w, sc);
    scene_deinit(sc);
}

static void seed_strips(quox2_writer *w)
{
    object *o = object_init();
    object_copy_name(o, "strip");
    object_insert_vertexs(o, copy<tacka3>({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}), 4);
    object_insert_triangle_strips(o, copy<uint32_t>({2, 0, 1, 2, 3}), 1, 5, 2);
    array<uint8_t> *d = array_new<uint8_t>();
    d->set_size(8);
    generic_data_stream s{1, d, GDS_TYPE_SHORT, 2, 2, 2};
    object_add_generic_data_stream(o, &s);
    quox2_write_object(w, o);
    object_deinit(o);
}

static void seed_unknown(quox2_writer *w)
{
    quox2_writer_chunk(w, "#ZZZZ", "abc", 3);
    quox2_writer_begin_chunk(w, "#OBJE");
    quox2_writer_string_chunk(w, "#NAME", "o");
    quox2_writer_chunk(w, "#QQQQ", "x", 1);
    quox2_writer_end_chunk(w);
}

int main(int argc, char **argv)
{
    if (argc != 2 || !strcmp(argv[1], "--help")) {
        printf("usage: quox2_fuzz_seeds DIR\nWrites the seed files of the QUOX2 fuzz target into DIR.\n");
        return argc == 2 ? 0 : 2;
    }
    std::string dir = argv[1];
    bool ok = save(dir, "scene.quox2", seed_scene) && save(dir, "strips.quox2", seed_strips) &&
              save(dir, "unknown.quox2", seed_unknown) && save(dir, "empty.quox2", [](quox2_writer *) {});
    return ok ? 0 : 1;
}
