// libFuzzer target: any byte string as "game_config.ini". Loading must never
// crash or read out of bounds; the values the game applies from the record
// (made sane) must be finite and in range whatever the file holds, and the
// writer must turn the record back into the bytes it was read from.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "frontend/configuration.h"
#include "fuzz_util.h"
#include "renderer/OGL_settings.h"

static void check_unit(float v)
{
    if (!std::isfinite(v) || v < 0.0f || v > 1.0f) abort();
}

static void check_applied(const game_config *c)
{
    check_unit(config_sane(c->tex_quality, CONFIG_DEFAULT_TEX_QUALITY));
    check_unit(config_get_sps_quantity());
    check_unit(config_get_terra_horizon());
    check_unit(config_get_volume());
    int size_level = config_texture_size_level(c->tex_size);
    if (size_level < 0 || size_level > OGL_RS_MAX_TEXTURE_SIZE_REDUCTION) abort();
    int quality_level = config_texture_quality_level(c->tex_quality);
    if (quality_level < 0 || quality_level > OGL_RS_MAX_TEXTURE_FILTER_QUALITY) abort();
    int material_level = config_material_texture_level(c->tex_size);
    if (material_level < 1 || material_level > 3) abort();
}

// Saving syncs the file to disk: in memory when the system has a tmpfs, so
// that a run is not spent waiting on the disk.
static std::string file_path;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    file_path = fuzz_temp_path("game_config.ini");
    return 0;
}

// Two records the same as the file stores them, bit for bit (NaN payloads too).
static bool __same_bytes(const game_config *a, const game_config *b)
{
    uint8_t x[CONFIG_FILE_SIZE], y[CONFIG_FILE_SIZE];
    config_encode(a, x);
    config_encode(b, y);
    return memcmp(x, y, CONFIG_FILE_SIZE) == 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{

    // The record straight from the bytes (short inputs padded with zeros).
    uint8_t in[CONFIG_FILE_SIZE] = {};
    memcpy(in, data, size < sizeof in ? size : sizeof in);
    game_config decoded;
    config_decode(&decoded, in);
    uint8_t out[CONFIG_FILE_SIZE];
    config_encode(&decoded, out);
    if (memcmp(in, out, sizeof in) != 0) abort();
    *config_get() = decoded;
    check_applied(config_get());

    // The file as the game loads and applies it at start.
    if (!fuzz_write(file_path, data, size)) abort();
    config_set_file(file_path.c_str());
    config_set_defaults();
    bool loaded = config_load();
    if (loaded != (size >= CONFIG_FILE_SIZE)) abort();
    // Bit for bit, NaN payloads included: the record is compared as stored.
    if (loaded && !__same_bytes(config_get(), &decoded)) abort();
    config_load_and_apply();
    check_applied(config_get());
    if (OGL_render_settings_get_texture_size_reduction() != config_texture_size_level(config_get()->tex_size)) abort();
    if (OGL_render_settings_get_texture_filter_quality() != config_texture_quality_level(config_get()->tex_quality))
        abort();
    float volume = OGL_render_settings_get_volume();
    if (!std::isfinite(volume) || volume < 0.0f || volume > 1.0f) abort();

    // What the writer saves reads back the same.
    game_config saved = *config_get();
    if (!config_save()) abort();
    config_set_defaults();
    if (!config_load() || !__same_bytes(config_get(), &saved)) abort();
    return 0;
}
