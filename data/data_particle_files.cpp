#include "data_particle_files.h"

#include <cstring>

static void __put_u32(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++) out[at + i] = uint8_t(v >> (8 * i));
}

static void __put_f32(std::vector<uint8_t> &out, size_t at, float v)
{
    uint32_t u;
    std::memcpy(&u, &v, 4);
    __put_u32(out, at, u);
}

static std::vector<uint8_t> __file(const char magic[3])
{
    std::vector<uint8_t> out(PARTICLE_FILE_HEADER, 0);
    std::memcpy(out.data(), magic, 3);
    return out;
}

static void __chunk(std::vector<uint8_t> &out, const char id[6], const std::vector<uint8_t> &payload)
{
    size_t at = out.size();
    out.resize(at + PARTICLE_CHUNK_HEADER, 0);
    std::memcpy(&out[at], id, 5);
    __put_u32(out, at + 8, uint32_t(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
}

static std::vector<uint8_t> __text(const std::string &s)
{
    std::vector<uint8_t> v(s.begin(), s.end());
    v.push_back(0);
    return v;
}

static std::vector<uint8_t> __params(const particle_params &p)
{
    std::vector<uint8_t> d(PARTICLE_DATA_SIZE, 0);
    __put_f32(d, 0, p.duration);
    __put_f32(d, 4, p.population);
    for (int i = 0; i < 3; i++) __put_f32(d, 8 + 4 * i, p.position[i]), __put_f32(d, 20 + 4 * i, p.velocity[i]);
    __put_u32(d, 32, uint32_t(p.kind));
    __put_u32(d, 36, uint32_t(p.unbound));
    __put_u32(d, 40, uint32_t(p.coverage));
    d[44] = p.follow;
    __put_f32(d, 48, p.life_min);
    __put_f32(d, 52, p.life_max);
    d[56] = p.random_angle;
    d[57] = p.align;
    __put_f32(d, 60, p.size_spread[0]);
    __put_f32(d, 64, p.size_spread[1]);
    for (int i = 0; i < 3; i++) __put_f32(d, 68 + 4 * i, p.velocity_spread[i]);
    __put_f32(d, 80, p.spin_spread_deg);
    __put_f32(d, 84, p.burst);
    __put_f32(d, 88, p.time_scale);
    __put_u32(d, 92, uint32_t(p.blend[0]));
    __put_u32(d, 96, uint32_t(p.blend[1]));
    return d;
}

static std::vector<uint8_t> __keyframe(const particle_keyframe &k)
{
    std::vector<uint8_t> d(PARTICLE_KEYFRAME_SIZE, 0);
    __put_f32(d, 4, k.time);
    for (int i = 0; i < 3; i++) __put_f32(d, 8 + 4 * i, k.velocity[i]);
    __put_f32(d, 20, k.size[0]);
    __put_f32(d, 24, k.size[1]);
    __put_f32(d, 28, k.spin_deg);
    for (int i = 0; i < 4; i++) __put_f32(d, 32 + 4 * i, k.colour[i]);
    return d;
}

std::vector<uint8_t> particle_system_file_bytes(const particle_system_file &sys)
{
    std::vector<uint8_t> out = __file("SPS");
    __chunk(out, "#NAME", __text(sys.name));
    __chunk(out, "#TEXT", __text(sys.texture));
    __chunk(out, "#OBJE", __text(sys.instance));
    __chunk(out, "#DATA", __params(sys.params));
    for (const auto &k : sys.keyframes) __chunk(out, "#KEYF", __keyframe(k));
    return out;
}

std::vector<uint8_t> particle_composer_file_bytes(const std::string &name, const std::vector<std::string> &systems)
{
    std::vector<uint8_t> out = __file("SPC");
    __chunk(out, "#NAME", __text(name));
    for (const auto &s : systems) __chunk(out, "#SYST", __text(s));
    return out;
}
