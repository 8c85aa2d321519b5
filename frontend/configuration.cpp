#include "configuration.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

#include "corelib/files.h"
#include "corelib/log.h"
#include "renderer/OGL_settings.h"
#include "scene/scene.h"
#include "sound/auren.h"

static const game_config CONFIG_DEFAULTS = {0,
                                            0,
                                            {0, 0},
                                            CONFIG_DEFAULT_TEX_QUALITY,
                                            CONFIG_DEFAULT_TEX_SIZE,
                                            CONFIG_DEFAULT_SPS_QUANTITY,
                                            CONFIG_DEFAULT_TERRA_HORIZON,
                                            CONFIG_DEFAULT_VOLUME};
static game_config config_record = CONFIG_DEFAULTS;
static std::string config_file = CONFIG_FILE_NAME;
static uint32_t config_change_word;

game_config *config_get() { return &config_record; }

void config_set_defaults() { config_record = CONFIG_DEFAULTS; }

void config_set_file(const char *path) { config_file = path && *path ? path : CONFIG_FILE_NAME; }

const char *config_get_file() { return config_file.c_str(); }

static void __put_float(uint8_t *out, float v)
{
    uint32_t bits;
    memcpy(&bits, &v, 4);
    for (int b = 0; b < 4; b++) out[b] = uint8_t(bits >> (8 * b));
}

static float __get_float(const uint8_t *in)
{
    uint32_t bits = uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
    float v;
    memcpy(&v, &bits, 4);
    return v;
}

void config_encode(const game_config *c, uint8_t out[CONFIG_FILE_SIZE])
{
    out[0] = c->disable_ps;
    out[1] = c->no_ambient;
    out[2] = c->unused[0];
    out[3] = c->unused[1];
    __put_float(out + 4, c->tex_quality);
    __put_float(out + 8, c->tex_size);
    __put_float(out + 12, c->sps_quantity);
    __put_float(out + 16, c->terra_horizon);
    __put_float(out + 20, c->volume);
}

void config_decode(game_config *c, const uint8_t in[CONFIG_FILE_SIZE])
{
    c->disable_ps = in[0];
    c->no_ambient = in[1];
    c->unused[0] = in[2];
    c->unused[1] = in[3];
    c->tex_quality = __get_float(in + 4);
    c->tex_size = __get_float(in + 8);
    c->sps_quantity = __get_float(in + 12);
    c->terra_horizon = __get_float(in + 16);
    c->volume = __get_float(in + 20);
}

bool config_load()
{
    uint8_t bytes[CONFIG_FILE_SIZE];
    size_t size = 0;
    uint64_t total = 0;
    if (!file_read_head(config_file.c_str(), bytes, sizeof bytes, &size, &total)) {
        if (errno == ENOENT) {
            do_log(LOG_INFO, LOG_TO_FILE, "config: no config file found");
            return false;
        }
        size = 0; // unreadable: as a short file
    }
    if (size < CONFIG_FILE_SIZE) {
        do_log(LOG_WARNING, LOG_TO_FILE, "config: config file read mismatch");
        config_set_defaults();
        return false;
    }
    config_decode(&config_record, bytes);
    return true;
}

bool config_save()
{
    uint8_t bytes[CONFIG_FILE_SIZE];
    config_encode(&config_record, bytes);
    if (!file_write_atomic(config_file.c_str(), bytes, sizeof bytes, 0600)) {
        do_log(LOG_WARNING, LOG_TO_FILE, "config: could not write into the config file.");
        return false;
    }
    return true;
}

float config_sane(float value, float fallback)
{
    if (std::isnan(value)) return fallback;
    return value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

int config_texture_size_level(float tex_size)
{
    float v = config_sane(tex_size, CONFIG_DEFAULT_TEX_SIZE);
    return v <= 0.33f ? 2 : (v <= 0.66f ? 1 : 0);
}

int config_texture_quality_level(float tex_quality)
{
    int level = int(config_sane(tex_quality, CONFIG_DEFAULT_TEX_QUALITY) * 4.0f);
    return level > OGL_RS_MAX_TEXTURE_FILTER_QUALITY ? OGL_RS_MAX_TEXTURE_FILTER_QUALITY : level;
}

int config_material_texture_level(float tex_size)
{
    float v = config_sane(tex_size, CONFIG_DEFAULT_TEX_SIZE);
    return v <= 0.33f ? 1 : (v <= 0.66f ? 2 : 3);
}

bool config_particles_enabled() { return config_record.disable_ps == 0; }

bool config_ambient_enabled() { return config_record.no_ambient == 0; }

float config_get_sps_quantity() { return config_sane(config_record.sps_quantity, CONFIG_DEFAULT_SPS_QUANTITY); }

float config_get_terra_horizon() { return config_sane(config_record.terra_horizon, CONFIG_DEFAULT_TERRA_HORIZON); }

float config_get_volume() { return config_sane(config_record.volume, CONFIG_DEFAULT_VOLUME); }

static void __apply_volume()
{
    OGL_render_settings_set_volume(config_get_volume());
    if (auren_is_inited()) auren_listener_set_gain(config_get_volume());
}

static void __apply_texture_levels()
{
    OGL_render_settings_set_texture_size_reduction(config_texture_size_level(config_record.tex_size));
    OGL_render_settings_set_texture_filter_quality(config_texture_quality_level(config_record.tex_quality));
}

void config_load_and_apply()
{
    if (!config_load()) {
        config_set_defaults();
        config_save();
    }
    __apply_texture_levels();
    __apply_volume();
    do_log(LOG_INFO, LOG_TO_FILE,
           "config: texture size level %d, texture quality level %d, particles %s (quantity %.2f), volume %.2f",
           config_texture_size_level(config_record.tex_size), config_texture_quality_level(config_record.tex_quality),
           config_particles_enabled() ? "on" : "off", double(config_get_sps_quantity()), double(config_get_volume()));
}

void config_apply_changes(scene *sc)
{
    __apply_texture_levels();
    // A new size or quality takes effect only with the textures made again.
    if (sc && config_changed(CONFIG_CHANGED_TEX_SIZE | CONFIG_CHANGED_TEX_QUALITY))
        scene_textures_reload(sc, config_texture_size_level(config_record.tex_size));
    if (config_changed(CONFIG_CHANGED_VOLUME)) __apply_volume();
}

uint32_t config_compute_changes(const game_config *before, const game_config *after)
{
    uint32_t word = 0;
    bool ps_before = before->disable_ps != 0, ps_after = after->disable_ps != 0;
    if (!ps_before && ps_after) word |= CONFIG_CHANGED_PARTICLES_OFF;
    if (ps_before && !ps_after) word |= CONFIG_CHANGED_PARTICLES_ON;
    bool amb_before = before->no_ambient != 0, amb_after = after->no_ambient != 0;
    if (!amb_before && amb_after) word |= CONFIG_CHANGED_AMBIENT_OFF;
    if (amb_before && !amb_after) word |= CONFIG_CHANGED_AMBIENT_ON;
    // A value that is not a number and stays one is no change.
    auto differs = [](float a, float b) { return !(a == b) && !(std::isnan(a) && std::isnan(b)); };
    if (differs(before->sps_quantity, after->sps_quantity)) word |= CONFIG_CHANGED_SPS_QUANTITY;
    if (differs(before->terra_horizon, after->terra_horizon)) word |= CONFIG_CHANGED_TERRA_HORIZON;
    if (differs(before->tex_quality, after->tex_quality)) word |= CONFIG_CHANGED_TEX_QUALITY;
    if (differs(before->tex_size, after->tex_size)) word |= CONFIG_CHANGED_TEX_SIZE;
    if (differs(before->volume, after->volume)) word |= CONFIG_CHANGED_VOLUME;
    return word;
}

void config_set_change_word(uint32_t word) { config_change_word = word; }

uint32_t config_get_change_word() { return config_change_word; }

bool config_changed(uint32_t mask) { return (config_change_word & mask) != 0; }
