#pragma once
// Helpers for the scene tests: elements built in memory, files written with
// the QUOX2 writer, and stderr capture around a call.

#include <cstring>
#include <string>
#include <vector>

#include "corelib/mem.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/motion.h"
#include "scene/motionset.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/quox2_loader.h"
#include "scene/quox2_writer.h"
#include "scene/scene.h"
#include "test_support.h"

template <typename T> inline T *test_copy_array(const std::vector<T> &v)
{
    T *p = static_cast<T *>(mem_alloc(v.size() * sizeof(T) + 1));
    if (!v.empty()) memcpy(static_cast<void *>(p), v.data(), v.size() * sizeof(T));
    return p;
}

// A unit quad in the xy plane (two triangles), 32-bit indices.
inline object *test_make_quad(const char *name, float size = 1.0f)
{
    object *o = object_init();
    object_copy_name(o, name);
    object_set_type(o, OBJECT_TYPE_MESH);
    object_insert_vertexs(o, test_copy_array<tacka3>({{0, 0, 0}, {size, 0, 0}, {size, size, 0}, {0, size, 0}}), 4);
    object_insert_triangle_list_ints(o, test_copy_array<uint32_t>({0, 1, 2, 0, 2, 3}), 2);
    return o;
}

inline object_instance *test_make_oi(const char *name, const char *object_name = nullptr, tacka3 pos = {0, 0, 0})
{
    object_instance *oi = OI_init();
    OI_copy_name(oi, name);
    if (object_name) OI_copy_instance_name(oi, object_name);
    OI_set_initial_PRS_ws(oi, pos, quaternion_identity(), tacka3{1, 1, 1});
    OI_set_position(oi, pos);
    return oi;
}

inline material *test_make_material(const char *name, const char *diffuse = nullptr)
{
    material *m = material_init();
    material_copy_name(m, name);
    if (diffuse) material_copy_texture_file_name(m, MAT_SLOT_DIFFUSE, diffuse);
    return m;
}

// The file for a writer that was filled by `fill` (a header is already in it).
template <typename F> inline std::string test_quox2_bytes(F fill)
{
    quox2_writer *w = quox2_writer_create();
    fill(w);
    size_t n;
    const uint8_t *d = quox2_writer_data(w, &n);
    std::string bytes(reinterpret_cast<const char *>(d), n);
    quox2_writer_free(w);
    return bytes;
}

// Loads the file into a new scene; `ok` receives the load's result.
inline scene *test_load(const std::string &path, bool *ok)
{
    scene *sc = scene_init();
    *ok = quox2_load_file(path.c_str(), sc);
    return sc;
}

// Runs f with standard error captured; returns what was written.
template <typename F> inline std::string test_capture_stderr(F f)
{
    ::testing::internal::CaptureStderr();
    f();
    return ::testing::internal::GetCapturedStderr();
}
