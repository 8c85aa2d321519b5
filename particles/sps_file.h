#pragma once
// Particle system files (.spsquox2, magic "SPS") and particle composer files
// (.spcquox2, magic "SPC"): reading with every check, writing, and compiling
// into live systems of a scene and a particle manager.
//
// Both files are a 12-byte header (the magic and a zero byte, then 8 bytes
// the reader does not examine) followed by chunks: a 12-byte header (a
// five-character id, three zero bytes, the payload size as a little-endian
// 32-bit number) and the payload. A system file holds "#NAME", "#TEXT",
// "#OBJE" (zero-terminated texts), "#DATA" (the parameter record) and one
// "#KEYF" per keyframe; a composer file holds "#NAME" and one "#SYST" (the
// path of a system file) per system. Unknown chunks are skipped.
//
// A file that breaks any rule is refused as a whole with a logged message
// naming it; nothing in it is trusted before it is checked.

#include <cstdint>
#include <cstdio>

#include "corelib/array.h"
#include "corelib/tacka.h"

struct scene;
struct sps;
struct sps_manager;

#define SPSQUOX2_HEADER_SIZE 12
#define SPSQUOX2_CHUNK_HEADER_SIZE 12
// Room of the parameter record; the fields in use end at SPSQUOX2_DATA_USED.
#define SPSQUOX2_DATA_SIZE 184
#define SPSQUOX2_DATA_USED 100
#define SPSQUOX2_KEYFRAME_SIZE 48
// Limits of what a reader accepts.
#define SPSQUOX2_MAX_FILE_SIZE (4u << 20)
#define SPSQUOX2_MAX_KEYFRAMES 1024u
#define SPCQUOX2_MAX_SYSTEMS 64u
// Bounds of the values a reader accepts, so that no product of them (a
// position after a life of motion, a quad corner) leaves the float range:
// positions, velocities, sizes and their spreads, spins in degrees per second.
#define SPSQUOX2_MAX_MAGNITUDE 1.0e6f
// Particle life spans in seconds.
#define SPSQUOX2_MAX_LIFE 1000.0f
// Particles per second.
#define SPSQUOX2_MIN_BURST 0.001f
#define SPSQUOX2_MAX_BURST 10000.0f
#define SPSQUOX2_MAX_TIME_SCALE 100.0f
// Slots of every compiled system.
#define SPSQUOX2_POPULATION 200u
// Display priority of compiled systems.
#define SPSQUOX2_DISPLAY_PRIORITY 7

// The "#DATA" payload (little-endian, 184 bytes).
struct spsquox2_data {
    float duration;
    float population; // at least 1; compiled systems have SPSQUOX2_POPULATION slots
    tacka3 position;
    tacka3 velocity;
    int32_t kind;     // 0 point, 1 coverage
    int32_t unbound;  // 0: bound to the "#OBJE" instance
    int32_t coverage; // kind 1: 0 from the surface, 1 within the bounds
    uint8_t follow;   // particles placed relative to the bound instance
    uint8_t pad0[3];
    float life_min, life_max;
    uint8_t random_angle;
    uint8_t align;
    uint8_t pad1[2];
    tacka2 size_spread;
    tacka3 velocity_spread;
    float spin_spread; // degrees per second
    float burst;       // particles per second
    float time_scale;
    uint32_t blend[2]; // source and destination blend factors; both 0: the system's own blending
    uint8_t reserved[SPSQUOX2_DATA_SIZE - SPSQUOX2_DATA_USED];
};

// The "#KEYF" payload (48 bytes).
struct spsquox2_keyframe {
    uint32_t unused;
    float time; // normalised age 0..1
    tacka3 velocity;
    tacka2 size;
    float spin;     // degrees per second
    float color[4]; // red, green, blue, alpha in 0..1
};

// A system file in memory.
struct spsquox2 {
    char *name;
    char *texture; // file name and extension only
    char *object;  // the instance the system is bound to
    bool has_data;
    spsquox2_data data;
    array<spsquox2_keyframe> *keyframes;
};

struct spcquox2_element {
    char *system_filename; // as stored in the file
    sps *sys;              // after compiling (the manager's)
};

// A composer file in memory.
struct spcquox2 {
    char *name;
    char *path; // the composer file's folder, ending in a separator ("" for the current one)
    sps_manager *mgr;
    array<spcquox2_element> *elements;
};

// ---- records

spsquox2 *spsquox2_init();
void spsquox2_deinit(spsquox2 *data);
bool spsquox2_copy_name(spsquox2 *data, const char *name);
// Keeps the file name and extension only.
bool spsquox2_copy_texture(spsquox2 *data, const char *path);
bool spsquox2_copy_object(spsquox2 *data, const char *name);
void spsquox2_set_data(spsquox2 *data, const spsquox2_data *d);
bool spsquox2_add_keyframe(spsquox2 *data, const spsquox2_keyframe *k);
// Whether the record may be written and compiled; *why names the first fault.
bool spsquox2_check(const spsquox2 *data, const char **why);

spcquox2 *spcquox2_init();
// The compiled systems stay in their manager.
void spcquox2_deinit(spcquox2 *composer);
bool spcquox2_copy_name(spcquox2 *composer, const char *name);
bool spcquox2_add_system(spcquox2 *composer, const char *system_filename);
uint32_t spcquox2_get_systems_no(const spcquox2 *composer);

// ---- files

// False (with the message naming the file) for a file that cannot be read or
// breaks a rule; the record keeps nothing of a refused file.
bool spsquox2_load_system_from_file(const char *path, spsquox2 *data);
bool spcquox2_load_composer_from_file(const char *path, spcquox2 *composer);
// Writes the record (refused, with the message, when spsquox2_check fails).
bool spsquox2_save_system_to_file(const char *path, const spsquox2 *data);
bool spcquox2_save_composer_to_file(const char *path, const spcquox2 *composer);

// Writes a system or composer file (told apart by its magic) as one JSON
// object: a system's "name", "texture", "object", "data" and "keyframes"
// ([time, vx, vy, vz, sx, sy, spin, r, g, b, a] each); a composer's "name"
// and "systems" (the paths as stored). The "data" values are the record's as
// stored ("bound" is the word at offset 36: 0 binds to the "#OBJE" instance;
// "follow", "random_angle" and "align" the bytes). False, with the message,
// for a file the readers refuse. For tools (quox2 dump --json).
bool sps_file_dump_json(const char *path, FILE *out);

// ---- compiling

// A live system of sc from the record, added to mgr; null (with the message)
// when it cannot be made.
sps *spsquox2_compile_system(const spsquox2 *data, scene *sc, sps_manager *mgr);
// Loads and compiles every system file of the composer (each named by the
// composer's folder and the stored file name); false when one fails (the
// systems compiled before it stay in the manager).
bool spcquox2_compile(spcquox2 *composer, scene *sc, sps_manager *mgr);
// Activates every system (not collidable) and starts its burst.
void spcquox2_start(spcquox2 *composer);
bool spcquox2_is_active(const spcquox2 *composer);
void spcquox2_set_position(spcquox2 *composer, tacka3 position);
