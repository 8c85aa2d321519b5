// The two particle compositions the game loads at start-up: the asteroid
// explosion (a fiery burst, sparks and smoke) and the asteroid hitting the
// station (a bright flash with sparks), written with the particle module's
// file writer. Each composer names its system files, which lie beside it.
// The systems are unbound: the game places them.

#include <vector>

#include "corelib/log.h"
#include "data_build.h"
#include "particles/simple_particles.h"
#include "particles/sps_file.h"

// One system as the generator describes it.
struct effect_system {
    const char *name, *texture;
    spsquox2_data data;
    std::vector<spsquox2_keyframe> keys;
};

static spsquox2_data __data(float duration, float population, float burst, float life_min, float life_max)
{
    spsquox2_data d = {};
    d.duration = duration;
    d.population = population;
    d.burst = burst;
    d.life_min = life_min;
    d.life_max = life_max;
    d.unbound = 1;
    d.random_angle = 1;
    d.time_scale = 1;
    d.blend[0] = SPS_BLEND_SRC_ALPHA; // additive unless a system says otherwise
    d.blend[1] = SPS_BLEND_ONE;
    return d;
}

static void __spread(spsquox2_data &d, float size, float speed, float spin_deg)
{
    d.size_spread = {size, size};
    d.velocity_spread = {speed, speed, speed};
    d.spin_spread = spin_deg;
}

static spsquox2_keyframe __key(float time, float size, float spin_deg, float r, float g, float b, float a,
                               float rise = 0)
{
    return {0, time, {0, rise, 0}, {size, size}, spin_deg, {r, g, b, a}};
}

static effect_system __fire()
{
    effect_system s = {"explosion fire", "1-pp-explod-star_256 copy.tga", __data(0.35f, 60, 160, 0.5f, 1.1f), {}};
    __spread(s.data, 1.5f, 7, 90);
    s.keys = {__key(0, 3, 40, 1, 0.95f, 0.75f, 1), __key(0.25f, 6, 30, 1, 0.6f, 0.2f, 0.95f),
              __key(0.6f, 8, 20, 0.8f, 0.25f, 0.08f, 0.5f), __key(1, 9, 10, 0.3f, 0.08f, 0.03f, 0)};
    return s;
}

// Fast streaks: quads turned along their motion.
static effect_system __sparks(const char *name, const char *texture, float population, float speed, float size,
                              float life)
{
    effect_system s = {name, texture, __data(0.2f, population, population / 0.2f, life * 0.5f, life), {}};
    __spread(s.data, size * 0.3f, speed, 0);
    s.data.align = 1;
    s.keys = {__key(0, size, 0, 1, 1, 0.85f, 1), __key(0.4f, size * 0.8f, 0, 1, 0.75f, 0.3f, 0.9f),
              __key(1, size * 0.3f, 0, 1, 0.35f, 0.1f, 0)};
    return s;
}

// Slow, rising smoke, blended over the scene rather than added to it.
static effect_system __smoke()
{
    effect_system s = {"explosion smoke", "fractal_4.tga", __data(0.6f, 40, 65, 1.6f, 3.2f), {}};
    __spread(s.data, 2, 3, 40);
    s.data.blend[1] = SPS_BLEND_ONE_MINUS_SRC_ALPHA;
    s.keys = {__key(0, 3, 20, 0.35f, 0.3f, 0.28f, 0), __key(0.1f, 4.5f, 15, 0.3f, 0.27f, 0.25f, 0.7f),
              __key(0.5f, 8, 10, 0.22f, 0.21f, 0.2f, 0.45f, 0.6f), __key(1, 11, 5, 0.15f, 0.15f, 0.15f, 0, 1)};
    return s;
}

static effect_system __flash()
{
    effect_system s = {"station hit flash", "glow.tga", __data(0.1f, 4, 40, 0.25f, 0.4f), {}};
    s.keys = {__key(0, 8, 0, 1, 1, 1, 1), __key(0.3f, 16, 0, 0.7f, 0.85f, 1, 0.8f), __key(1, 22, 0, 0.3f, 0.5f, 1, 0)};
    return s;
}

static bool __write_system(data_ctx &ctx, const std::string &name, const effect_system &e)
{
    spsquox2 *rec = spsquox2_init();
    bool ok = rec && spsquox2_copy_name(rec, e.name) && spsquox2_copy_texture(rec, e.texture) &&
              spsquox2_copy_object(rec, "");
    if (ok) {
        spsquox2_set_data(rec, &e.data);
        for (const auto &k : e.keys) ok = ok && spsquox2_add_keyframe(rec, &k);
    }
    ok = ok && spsquox2_save_system_to_file(data_path(ctx, name).c_str(), rec) && data_note_written(ctx, name);
    if (rec) spsquox2_deinit(rec);
    return ok;
}

// Writes the systems into the composer's folder and the composer naming them.
static bool __composition(data_ctx &ctx, const std::string &name, const std::vector<effect_system> &systems)
{
    std::string folder = "particles\\" + name + "\\";
    spcquox2 *composer = spcquox2_init();
    bool ok = composer && spcquox2_copy_name(composer, name.c_str());
    for (const auto &s : systems) {
        std::string file = std::string(s.name) + ".spsquox2";
        ok = ok && __write_system(ctx, folder + file, s) && spcquox2_add_system(composer, file.c_str());
    }
    std::string file = folder + name + ".spcquox2";
    ok = ok && spcquox2_save_composer_to_file(data_path(ctx, file).c_str(), composer) && data_note_written(ctx, file);
    if (composer) spcquox2_deinit(composer);
    if (!ok) do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "data: cannot write the particle composition %s", name.c_str());
    return ok;
}

bool data_gen_particles(data_ctx &ctx)
{
    return __composition(ctx, "asteroid explosion",
                         {__fire(), __sparks("explosion sparks", "glow.tga", 60, 22, 0.6f, 1.4f), __smoke()}) &&
           __composition(
               ctx, "asteroid hit station",
               {__flash(), __sparks("station hit sparks", "1-pp-explod-star_256 copy.tga", 30, 14, 1.2f, 0.8f)});
}
