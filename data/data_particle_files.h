#pragma once
// Writer of particle system files (".spsquox2", magic "SPS") and particle
// composer files (".spcquox2", magic "SPC"): a 12-byte file header, then
// top-level chunks, each a 12-byte chunk header (five-character id, a zero
// byte, two unused bytes, the 32-bit payload size) and its payload.

#include <cstdint>
#include <string>
#include <vector>

#define PARTICLE_FILE_HEADER 12
#define PARTICLE_CHUNK_HEADER 12
#define PARTICLE_DATA_SIZE 184
#define PARTICLE_KEYFRAME_SIZE 48

// The "#DATA" parameter record.
struct particle_params {
    float duration = 1;
    float population = 100;
    float position[3] = {0, 0, 0};
    float velocity[3] = {0, 0, 0};
    int32_t kind = 0;       // 0 point, 1 coverage
    int32_t unbound = 1;    // 0: bound to the "#OBJE" instance
    int32_t coverage = 0;   // for kind 1: 0 from surface, 1 within boundaries
    uint8_t follow = 0;
    float life_min = 1, life_max = 1;
    uint8_t random_angle = 1;
    uint8_t align = 0;      // quads turn to the direction of motion
    float size_spread[2] = {0, 0};
    float velocity_spread[3] = {0, 0, 0};
    float spin_spread_deg = 0;
    float burst = 10;       // particles per second
    float time_scale = 1;
    int32_t blend[2] = {0x0302, 1};  // source and destination factors (GL_SRC_ALPHA, GL_ONE)
};

// A "#KEYF" keyframe at normalised age `time`.
struct particle_keyframe {
    float time;
    float velocity[3];
    float size[2];
    float spin_deg;
    float colour[4];  // 0..1
};

struct particle_system_file {
    std::string name, texture, instance;
    particle_params params;
    std::vector<particle_keyframe> keyframes;
};

// The bytes of a system file and of a composer naming system files.
std::vector<uint8_t> particle_system_file_bytes(const particle_system_file &sys);
std::vector<uint8_t> particle_composer_file_bytes(const std::string &name, const std::vector<std::string> &systems);
