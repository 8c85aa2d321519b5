// The two particle compositions the game loads at start-up: the asteroid
// explosion (a fiery burst, sparks and smoke) and the asteroid hitting the
// station (a bright flash with sparks). Each composer names its system files,
// which lie beside it. The systems are unbound: the game places them.

#include "data_build.h"
#include "data_particle_files.h"

#define GL_ONE_ 1
#define GL_SRC_ALPHA_ 0x0302
#define GL_ONE_MINUS_SRC_ALPHA_ 0x0303

static particle_keyframe __key(float time, float size, float spin_deg, float r, float g, float b, float a,
                               float rise = 0)
{
    return {time, {0, rise, 0}, {size, size}, spin_deg, {r, g, b, a}};
}

static particle_system_file __fire()
{
    particle_system_file s;
    s.name = "explosion fire";
    s.texture = "1-pp-explod-star_256 copy.tga";
    s.instance = "explosion";
    particle_params &p = s.params;
    p.duration = 0.35f;
    p.population = 60;
    p.burst = 160;
    p.life_min = 0.5f, p.life_max = 1.1f;
    p.size_spread[0] = p.size_spread[1] = 1.5f;
    p.velocity_spread[0] = p.velocity_spread[1] = p.velocity_spread[2] = 7;
    p.spin_spread_deg = 90;
    s.keyframes = {__key(0, 3, 40, 1, 0.95f, 0.75f, 1), __key(0.25f, 6, 30, 1, 0.6f, 0.2f, 0.95f),
                   __key(0.6f, 8, 20, 0.8f, 0.25f, 0.08f, 0.5f), __key(1, 9, 10, 0.3f, 0.08f, 0.03f, 0)};
    return s;
}

static particle_system_file __sparks(const char *name, const char *texture, float population, float speed,
                                     float size, float life)
{
    particle_system_file s;
    s.name = name;
    s.texture = texture;
    s.instance = "explosion";
    particle_params &p = s.params;
    p.duration = 0.2f;
    p.population = population;
    p.burst = population / p.duration;
    p.life_min = life * 0.5f, p.life_max = life;
    p.align = 1;
    p.size_spread[0] = p.size_spread[1] = size * 0.3f;
    p.velocity_spread[0] = p.velocity_spread[1] = p.velocity_spread[2] = speed;
    s.keyframes = {__key(0, size, 0, 1, 1, 0.85f, 1), __key(0.4f, size * 0.8f, 0, 1, 0.75f, 0.3f, 0.9f),
                   __key(1, size * 0.3f, 0, 1, 0.35f, 0.1f, 0)};
    return s;
}

static particle_system_file __smoke()
{
    particle_system_file s;
    s.name = "explosion smoke";
    s.texture = "fractal_4.tga";
    s.instance = "explosion";
    particle_params &p = s.params;
    p.duration = 0.6f;
    p.population = 40;
    p.burst = 65;
    p.life_min = 1.6f, p.life_max = 3.2f;
    p.size_spread[0] = p.size_spread[1] = 2;
    p.velocity_spread[0] = p.velocity_spread[1] = p.velocity_spread[2] = 3;
    p.spin_spread_deg = 40;
    p.blend[0] = GL_SRC_ALPHA_, p.blend[1] = GL_ONE_MINUS_SRC_ALPHA_;
    s.keyframes = {__key(0, 3, 20, 0.35f, 0.3f, 0.28f, 0), __key(0.1f, 4.5f, 15, 0.3f, 0.27f, 0.25f, 0.7f),
                   __key(0.5f, 8, 10, 0.22f, 0.21f, 0.2f, 0.45f, 0.6f), __key(1, 11, 5, 0.15f, 0.15f, 0.15f, 0, 1)};
    return s;
}

static particle_system_file __flash()
{
    particle_system_file s;
    s.name = "station hit flash";
    s.texture = "glow.tga";
    s.instance = "station";
    particle_params &p = s.params;
    p.duration = 0.1f;
    p.population = 4;
    p.burst = 40;
    p.life_min = 0.25f, p.life_max = 0.4f;
    s.keyframes = {__key(0, 8, 0, 1, 1, 1, 1), __key(0.3f, 16, 0, 0.7f, 0.85f, 1, 0.8f),
                   __key(1, 22, 0, 0.3f, 0.5f, 1, 0)};
    return s;
}

// Writes the systems into the composer's folder and the composer naming them.
static bool __composition(data_ctx &ctx, const std::string &name, const std::vector<particle_system_file> &systems)
{
    std::string folder = "particles\\" + name + "\\";
    std::vector<std::string> files;
    for (const auto &s : systems) {
        std::string file = s.name + ".spsquox2";
        if (!data_write_file(ctx, folder + file, particle_system_file_bytes(s))) return false;
        files.push_back(file);
    }
    return data_write_file(ctx, folder + name + ".spcquox2", particle_composer_file_bytes(name, files));
}

bool data_gen_particles(data_ctx &ctx)
{
    return __composition(ctx, "asteroid explosion",
                         {__fire(), __sparks("explosion sparks", "glow.tga", 60, 22, 0.6f, 1.4f), __smoke()}) &&
           __composition(ctx, "asteroid hit station",
                         {__flash(), __sparks("station hit sparks", "1-pp-explod-star_256 copy.tga", 30, 14, 1.2f,
                                              0.8f)});
}
