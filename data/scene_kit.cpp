// The scene builder's kit: poses, meshes under construction, and the
// conversion into scene objects and instances.

#include "scene_kit.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "scene/camera.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/scene.h"

scene_pose pose_at(tacka3 pos, quaternion rot, float scale)
{
    scene_pose p;
    p.pos = pos;
    p.rot = rot;
    p.scale = {scale, scale, scale};
    return p;
}

tacka3 pose_point(const scene_pose &p, tacka3 v)
{
    return tacka3_add(quaternion_rotate(p.rot, tacka3_mul(v, p.scale)), p.pos);
}

tacka3 pose_normal(const scene_pose &p, tacka3 n)
{
    tacka3 s = {n.x / p.scale.x, n.y / p.scale.y, n.z / p.scale.z};
    tacka3 r = quaternion_rotate(p.rot, s);
    float l = tacka3_length(r);
    return l > 0 ? tacka3_scale(r, 1.0f / l) : tacka3{0, 1, 0};
}

scene_pose pose_compose(const scene_pose &parent, const scene_pose &local)
{
    scene_pose w;
    w.scale = tacka3_mul(parent.scale, local.scale);
    w.rot = quaternion_mul(local.rot, parent.rot);
    quaternion_normalize(&w.rot);
    w.pos = pose_point(parent, local.pos);
    return w;
}

scene_pose pose_relative(const scene_pose &parent, const scene_pose &world)
{
    scene_pose l;
    tacka3 d = quaternion_rotate(quaternion_conjugate(parent.rot), tacka3_sub(world.pos, parent.pos));
    l.pos = {d.x / parent.scale.x, d.y / parent.scale.y, d.z / parent.scale.z};
    l.rot = quaternion_mul(world.rot, quaternion_conjugate(parent.rot));
    quaternion_normalize(&l.rot);
    l.scale = {world.scale.x / parent.scale.x, world.scale.y / parent.scale.y, world.scale.z / parent.scale.z};
    return l;
}

// Rows of the rotation matrix are the images of the local axes (p' = p . M).
static quaternion __quat_from_rows(tacka3 r0, tacka3 r1, tacka3 r2)
{
    float m[3][3] = {{r0.x, r0.y, r0.z}, {r1.x, r1.y, r1.z}, {r2.x, r2.y, r2.z}};
    // Find q with quaternion_to_matrix(q) == m by testing both conventions'
    // candidates against the engine's own conversion.
    float tr = m[0][0] + m[1][1] + m[2][2];
    quaternion cand[2];
    for (int t = 0; t < 2; t++) {
        float a[3][3];
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++) a[i][j] = t ? m[j][i] : m[i][j];
        quaternion q;
        if (tr > 0) {
            float s = std::sqrt(tr + 1.0f) * 2;
            q = {0.25f * s, (a[2][1] - a[1][2]) / s, (a[0][2] - a[2][0]) / s, (a[1][0] - a[0][1]) / s};
        } else if (a[0][0] > a[1][1] && a[0][0] > a[2][2]) {
            float s = std::sqrt(1.0f + a[0][0] - a[1][1] - a[2][2]) * 2;
            q = {(a[2][1] - a[1][2]) / s, 0.25f * s, (a[0][1] + a[1][0]) / s, (a[0][2] + a[2][0]) / s};
        } else if (a[1][1] > a[2][2]) {
            float s = std::sqrt(1.0f + a[1][1] - a[0][0] - a[2][2]) * 2;
            q = {(a[0][2] - a[2][0]) / s, (a[0][1] + a[1][0]) / s, 0.25f * s, (a[1][2] + a[2][1]) / s};
        } else {
            float s = std::sqrt(1.0f + a[2][2] - a[0][0] - a[1][1]) * 2;
            q = {(a[1][0] - a[0][1]) / s, (a[0][2] + a[2][0]) / s, (a[1][2] + a[2][1]) / s, 0.25f * s};
        }
        quaternion_normalize(&q);
        cand[t] = q;
    }
    float best = 1e30f;
    quaternion out = cand[0];
    for (const quaternion &q : cand) {
        float k[16];
        quaternion_to_matrix(q, k);
        float err = 0;
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++) err += std::fabs(k[i * 4 + j] - m[i][j]);
        if (err < best) best = err, out = q;
    }
    return out;
}

quaternion quat_from_axes(tacka3 x, tacka3 y_hint)
{
    x = tacka3_normalize(x);
    tacka3 z = tacka3_cross(x, y_hint);
    if (tacka3_length2(z) < 1e-10f) z = tacka3_cross(x, std::fabs(x.y) < 0.9f ? tacka3{0, 1, 0} : tacka3{1, 0, 0});
    z = tacka3_normalize(z);
    tacka3 y = tacka3_cross(z, x);
    return __quat_from_rows(x, y, z);
}

quaternion quat_look(tacka3 dir, tacka3 up)
{
    tacka3 z = tacka3_normalize(tacka3_neg(dir));
    tacka3 x = tacka3_cross(up, z);
    if (tacka3_length2(x) < 1e-10f) x = tacka3_cross(tacka3{1, 0, 0}, z);
    x = tacka3_normalize(x);
    tacka3 y = tacka3_cross(z, x);
    return __quat_from_rows(x, y, z);
}

quaternion quat_axis_angle(tacka3 axis, float radians)
{
    return quaternion_from_axis_angle(tacka3_normalize(axis), radians);
}

uint32_t mesh_vertex(scene_mesh &m, tacka3 p, tacka3 n, tacka2 uv)
{
    m.pos.push_back(p);
    m.nrm.push_back(n);
    m.uv.push_back(uv);
    return uint32_t(m.pos.size() - 1);
}

void mesh_tri(scene_mesh &m, uint32_t a, uint32_t b, uint32_t c)
{
    m.tri.push_back(a);
    m.tri.push_back(b);
    m.tri.push_back(c);
}

void mesh_append(scene_mesh &dst, const scene_mesh &src, const scene_pose &place)
{
    uint32_t base = uint32_t(dst.pos.size());
    for (size_t i = 0; i < src.pos.size(); i++) {
        dst.pos.push_back(pose_point(place, src.pos[i]));
        dst.nrm.push_back(pose_normal(place, src.nrm[i]));
        dst.uv.push_back(src.uv[i]);
    }
    bool mirrored = place.scale.x * place.scale.y * place.scale.z < 0;
    for (size_t i = 0; i < src.tri.size(); i += 3) {
        dst.tri.push_back(base + src.tri[i]);
        dst.tri.push_back(base + src.tri[i + (mirrored ? 2 : 1)]);
        dst.tri.push_back(base + src.tri[i + (mirrored ? 1 : 2)]);
    }
}

scene_mesh mesh_faceted(const scene_mesh &m)
{
    scene_mesh out;
    for (size_t i = 0; i + 2 < m.tri.size(); i += 3) {
        tacka3 a = m.pos[m.tri[i]], b = m.pos[m.tri[i + 1]], c = m.pos[m.tri[i + 2]];
        tacka3 n = tacka3_cross(tacka3_sub(b, a), tacka3_sub(c, a));
        float l = tacka3_length(n);
        n = l > 0 ? tacka3_scale(n, 1.0f / l) : tacka3{0, 1, 0};
        uint32_t v0 = mesh_vertex(out, a, n, m.uv[m.tri[i]]);
        uint32_t v1 = mesh_vertex(out, b, n, m.uv[m.tri[i + 1]]);
        uint32_t v2 = mesh_vertex(out, c, n, m.uv[m.tri[i + 2]]);
        mesh_tri(out, v0, v1, v2);
    }
    return out;
}

void mesh_smooth_normals(scene_mesh &m)
{
    std::vector<tacka3> acc(m.pos.size(), tacka3{0, 0, 0});
    for (size_t i = 0; i + 2 < m.tri.size(); i += 3) {
        tacka3 a = m.pos[m.tri[i]], b = m.pos[m.tri[i + 1]], c = m.pos[m.tri[i + 2]];
        tacka3 n = tacka3_cross(tacka3_sub(b, a), tacka3_sub(c, a));
        for (int j = 0; j < 3; j++) acc[m.tri[i + j]] = tacka3_add(acc[m.tri[i + j]], n);
    }
    for (size_t i = 0; i < acc.size(); i++) {
        float l = tacka3_length(acc[i]);
        m.nrm[i] = l > 0 ? tacka3_scale(acc[i], 1.0f / l) : tacka3{0, 1, 0};
    }
}

void mesh_scale_uv(scene_mesh &m, float su, float sv)
{
    for (auto &t : m.uv) t = {t.x * su, t.y * sv};
}

float mesh_radius(const scene_mesh &m)
{
    float r = 0;
    for (const auto &p : m.pos) r = std::max(r, tacka3_length(p));
    return r;
}

scene_rng scene_rng_make(uint64_t seed) { return scene_rng{seed * 0x9E3779B97F4A7C15ull + 0x1234567ull}; }

double scene_rng::next01()
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return double(z >> 11) * (1.0 / 9007199254740992.0);
}

tacka3 scene_rng::unit()
{
    float z = range(-1, 1), a = range(0, 6.2831853f);
    float r = std::sqrt(std::max(0.0f, 1 - z * z));
    return {r * std::cos(a), r * std::sin(a), z};
}

template <typename T> static T *__copy_out(const std::vector<T> &v)
{
    T *p = static_cast<T *>(mem_alloc(sizeof(T) * std::max<size_t>(1, v.size())));
    if (p && !v.empty()) std::memcpy(p, v.data(), sizeof(T) * v.size());
    return p;
}

// Per-vertex tangent (along +u) and binormal (along +v), orthonormalised
// against the normal.
static void __tangent_space(const scene_mesh &m, std::vector<tacka3> &tan, std::vector<tacka3> &bin)
{
    size_t n = m.pos.size();
    std::vector<tacka3> t(n, tacka3{0, 0, 0}), b(n, tacka3{0, 0, 0});
    for (size_t i = 0; i + 2 < m.tri.size(); i += 3) {
        uint32_t i0 = m.tri[i], i1 = m.tri[i + 1], i2 = m.tri[i + 2];
        tacka3 e1 = tacka3_sub(m.pos[i1], m.pos[i0]), e2 = tacka3_sub(m.pos[i2], m.pos[i0]);
        float du1 = m.uv[i1].x - m.uv[i0].x, dv1 = m.uv[i1].y - m.uv[i0].y;
        float du2 = m.uv[i2].x - m.uv[i0].x, dv2 = m.uv[i2].y - m.uv[i0].y;
        float det = du1 * dv2 - du2 * dv1;
        if (std::fabs(det) < 1e-12f) continue;
        float r = 1.0f / det;
        tacka3 sd = tacka3_scale(tacka3_sub(tacka3_scale(e1, dv2), tacka3_scale(e2, dv1)), r);
        tacka3 td = tacka3_scale(tacka3_sub(tacka3_scale(e2, du1), tacka3_scale(e1, du2)), r);
        for (uint32_t k : {i0, i1, i2}) t[k] = tacka3_add(t[k], sd), b[k] = tacka3_add(b[k], td);
    }
    tan.resize(n);
    bin.resize(n);
    for (size_t i = 0; i < n; i++) {
        tacka3 nn = m.nrm[i];
        tacka3 tt = tacka3_sub(t[i], tacka3_scale(nn, tacka3_dot(nn, t[i])));
        if (tacka3_length2(tt) < 1e-12f) {
            tacka3 a = std::fabs(nn.x) < 0.9f ? tacka3{1, 0, 0} : tacka3{0, 1, 0};
            tt = tacka3_cross(a, nn);
        }
        tt = tacka3_normalize(tt);
        tacka3 bb = tacka3_cross(nn, tt);
        if (tacka3_dot(bb, b[i]) < 0) bb = tacka3_neg(bb);
        tan[i] = tt;
        bin[i] = bb;
    }
}

bool kit_object(scene_kit &k, const std::string &name, const scene_mesh &m, float detail_tiling)
{
    ASSERT(!m.pos.empty() && m.pos.size() == m.nrm.size() && m.pos.size() == m.uv.size() && m.tri.size() % 3 == 0);
    object *o = object_init();
    if (!o) return false;
    if (!object_copy_name(o, name.c_str())) {
        object_deinit(o);
        return false;
    }
    object_set_type(o, OBJECT_TYPE_MESH);
    uint32_t nv = uint32_t(m.pos.size()), nf = uint32_t(m.tri.size() / 3);
    object_insert_vertexs(o, __copy_out(m.pos), nv);
    if (nv <= 65535) {
        std::vector<uint16_t> s(m.tri.begin(), m.tri.end());
        object_insert_triangle_list_shorts(o, __copy_out(s), nf);
    } else {
        object_insert_triangle_list_ints(o, __copy_out(m.tri), nf);
    }
    object_insert_vertex_normals(o, __copy_out(m.nrm), nv);
    std::vector<tacka2> detail(m.uv);
    for (auto &t : detail) t = {t.x * detail_tiling, t.y * detail_tiling};
    bool ok =
        object_append_tvertexs_chn(o, __copy_out(m.uv), nv) && object_append_tvertexs_chn(o, __copy_out(detail), nv);
    std::vector<tacka3> tan, bin;
    __tangent_space(m, tan, bin);
    object_insert_tangent_space_tangents(o, __copy_out(tan), nv);
    object_insert_tangent_space_binormals(o, __copy_out(bin), nv);
    object_insert_tangent_space_normals(o, __copy_out(m.nrm), nv);
    object_calc_center(o);
    object_calc_bounding_sphere_radius(o);
    scene_add_object(k.sc, o);
    k.meshes[name] = m;
    return ok;
}

object_instance *kit_oi(scene_kit &k, const std::string &name, const std::string &object_name,
                        const std::string &material, const std::string &parent, const scene_pose &local,
                        const std::string &props)
{
    object_instance *oi = OI_init();
    if (!oi) return nullptr;
    bool ok = OI_copy_name(oi, name.c_str());
    if (ok && !object_name.empty()) ok = OI_copy_instance_name(oi, object_name.c_str());
    if (ok && !material.empty()) ok = OI_copy_material_name(oi, material.c_str());
    if (ok && !parent.empty()) ok = OI_copy_parent_name(oi, parent.c_str());
    if (ok && !props.empty()) {
        // Property lines end in a carriage return and a line feed, as the
        // exporter writes them and the line parser reads them.
        std::string crlf;
        for (char c : props) {
            if (c == '\n' && (crlf.empty() || crlf.back() != '\r')) crlf += '\r';
            crlf += c;
        }
        ok = OI_copy_user_defined_properties(oi, crlf.c_str());
    }
    if (!ok) {
        OI_deinit(oi);
        return nullptr;
    }
    scene_pose w = parent.empty() ? local : pose_compose(kit_world(k, parent), local);
    OI_set_initial_PRS_ws(oi, w.pos, w.rot, w.scale);
    OI_set_position(oi, w.pos);
    OI_set_rotation(oi, w.rot);
    OI_set_scale(oi, w.scale);
    scene_add_oi(k.sc, oi);
    k.world[name] = w;
    if (!object_name.empty()) k.shows[name] = object_name;
    return oi;
}

const scene_pose &kit_world(const scene_kit &k, const std::string &name)
{
    auto it = k.world.find(name);
    if (it == k.world.end()) {
        do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "scene data: instance %s used before it was made", name.c_str());
        BUG();
    }
    return it->second;
}

std::string kit_actor(const char *type, const std::string &name)
{
    // Text values stand in double quotes, as the settings line parser reads them.
    return std::string("game_actor_type = \"") + type + "\"\ngame_actor_name = \"" + name + "\"\n";
}

bool kit_camera(scene_kit &k, const char *name, const char *target, float fov)
{
    camera *c = camera_init();
    if (!c || !camera_copy_name(c, name) || (target && !camera_copy_target_name(c, target))) {
        if (c) camera_deinit(c);
        return false;
    }
    camera_set_type(c, target ? CAMERA_TARGET : CAMERA_FREE);
    camera_set_fov(c, fov);
    camera_set_manual_clipping_planes(c, 0.5f, 20000.0f);
    scene_add_camera(k.sc, c);
    return true;
}
