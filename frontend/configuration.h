#pragma once
// The player's settings: one 24-byte binary record in "game_config.ini" (in
// the working directory), read and applied at start, changed by the
// configuration screen.
//
// File layout, little-endian, no header:
//   0 byte  disable_ps     1: particle effects off          default 0
//   1 byte  no_ambient     1: no ambient sound               default 0
//   2 2 bytes              unused, 0
//   4 float tex_quality    0..1, quality level = int(v * 4)  default 1.0
//   8 float tex_size       0..1, size level 2 / 1 / 0        default 1.0
//  12 float sps_quantity   0..1, particle quantity           default 1.0
//  16 float terra_horizon  0..1, terrain view distance       default 0.75
//  20 float volume         0..1, the listener's gain         default 0.7
//
// The record keeps what the file holds; every value is made sane (clamped
// to 0..1, the default for a value that is not a number) where it is used.
// Saving replaces the file atomically; a failed save is logged and the
// settings stay in effect for the run.

#include <cstdint>

struct scene;

#define CONFIG_FILE_NAME "game_config.ini"
#define CONFIG_FILE_SIZE 24

#define CONFIG_DEFAULT_TEX_QUALITY 1.0f
#define CONFIG_DEFAULT_TEX_SIZE 1.0f
#define CONFIG_DEFAULT_SPS_QUANTITY 1.0f
#define CONFIG_DEFAULT_TERRA_HORIZON 0.75f
#define CONFIG_DEFAULT_VOLUME 0.7f

struct game_config {
    uint8_t disable_ps;
    uint8_t no_ambient;
    uint8_t unused[2];
    float tex_quality;
    float tex_size;
    float sps_quantity;
    float terra_horizon;
    float volume;
};

// Bits of the change word (what the configuration screen changed).
#define CONFIG_CHANGED_PARTICLES_OFF 0x2u
#define CONFIG_CHANGED_AMBIENT_OFF 0x4u
#define CONFIG_CHANGED_SPS_QUANTITY 0x20u
#define CONFIG_CHANGED_PARTICLES_ON 0x80u
#define CONFIG_CHANGED_AMBIENT_ON 0x100u
#define CONFIG_CHANGED_TERRA_HORIZON 0x200u
#define CONFIG_CHANGED_TEX_QUALITY 0x400u
#define CONFIG_CHANGED_TEX_SIZE 0x801u
#define CONFIG_CHANGED_VOLUME 0x1000u

// The process-wide record.
game_config *config_get();
void config_set_defaults();
// The file the record is loaded from and saved to (CONFIG_FILE_NAME unless set).
void config_set_file(const char *path);
const char *config_get_file();

// Missing file: logged, the record as it was, false. Fewer than 24 bytes
// (or unreadable): logged, the defaults, false. Else the record from the file.
bool config_load();
// Writes the record (owner read and write permission); false when it failed.
bool config_save();

// The 24 bytes of a record and back (any bytes are taken).
void config_encode(const game_config *config, uint8_t out[CONFIG_FILE_SIZE]);
void config_decode(game_config *config, const uint8_t in[CONFIG_FILE_SIZE]);

// 0..1 for any float; a value that is not a number gives the fallback.
float config_sane(float value, float fallback);
// The renderer's texture size reduction: tex_size <= 0.33 -> 2, <= 0.66 -> 1, else 0.
int config_texture_size_level(float tex_size);
// The renderer's texture filter quality: int(tex_quality * 4), 0..4.
int config_texture_quality_level(float tex_quality);
// The materials' texture level: tex_size <= 0.33 -> 1, <= 0.66 -> 2, else 3.
int config_material_texture_level(float tex_size);

// The settings in effect, made sane.
bool config_particles_enabled();
bool config_ambient_enabled();
float config_get_sps_quantity();
float config_get_terra_horizon();
float config_get_volume();

// Start-up: loads the file (on any failure the defaults, written back) and
// applies it: texture size and quality levels to the renderer settings,
// the volume to the renderer settings and, with the sound library running,
// to the listener's gain. Particles on or off and their quantity are read by
// the game through the getters above.
void config_load_and_apply();
// After the configuration screen: the texture size and quality (with a reload
// of the scene's textures when either changed; scene may be null), and with
// the change word's bits the volume. Particles are again the game's to read.
void config_apply_changes(scene *sc);

// The change word: the bits for every difference between before and after
// (0 when nothing changed); floats count as changed unless exactly equal.
uint32_t config_compute_changes(const game_config *before, const game_config *after);
void config_set_change_word(uint32_t word);
uint32_t config_get_change_word();
// Whether any bit of mask is set in the change word.
bool config_changed(uint32_t mask);
