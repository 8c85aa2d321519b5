#pragma once
// Reading QUOX2 scene files (magic "QUOX"): a 16-byte header, then chunks of
// a 12-byte header (5-character id, zero, two spare bytes, 32-bit payload
// size) and their payload, little-endian throughout.

#include <cstdint>

#include "scene/scene_types.h"

#define QUOX2_HEADER_SIZE 16
#define QUOX2_CHUNK_HEADER_SIZE 12
// Nested materials deeper than this are refused.
#define QUOX2_MAX_MATERIAL_DEPTH 16

struct quox2_file {
    int fd;
    uint64_t length;
    uint8_t header[QUOX2_HEADER_SIZE];
    char *name;
    // Read buffer and the position in the file.
    uint64_t pos;
    uint8_t *buf;
    uint32_t buf_pos, buf_len;
    bool had_terrain; // a "#VTER" chunk was read
};

quox2_file *quox2_open_file(const char *file_name);
void quox2_close_file(quox2_file *f);
// Both tell the scene's progress callback (scene_set_progress_callback) the
// share of the file read before each chunk, and 1 at the end of the file.
bool quox2_load_all_to_scene(quox2_file *f, scene *sc);
bool quox2_load_file(const char *file_name, scene *sc);
// The process-wide material id counter (the next id to give).
uint32_t quox2_get_next_material_id();
