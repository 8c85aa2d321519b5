#pragma once
// The terrain object as the scene file carries it. It keeps the checked
// payloads of the terrain chunks; building the renderable terrain is the
// terrain renderer's, which this build does not have yet.

#include <cstdint>

#include "corelib/geometry.h"
#include "corelib/tacka.h"
#include "scene/scene_types.h"

enum : uint32_t {
    TERRAIN_DESC = 1u << 0,
    TERRAIN_VBUF = 1u << 1,
    TERRAIN_IBUF = 1u << 2,
    TERRAIN_NBUF = 1u << 3,
    TERRAIN_LBUF = 1u << 4,
};

#define TERRAIN_MAX_RECORDS 1000000u

struct terrain {
    uint32_t flags;
    uint32_t desc[12];
    uint32_t vertexsno;
    tacka3 *vertexs;
    uint32_t indicesno;
    uint32_t *indices;
    uint32_t nodesno;
    uint8_t *nodes;  // the "#NBUF" payload after its count
    uint32_t nodes_size;
    aabox *node_bounds;  // one per node, from its two corner points
    uint32_t leavesno;
    uint8_t *leaves;  // the "#LBUF" payload after its count
    uint32_t leaves_size;
};

terrain *terrain_create();
void terrain_free(terrain *t);
// Takes one sub-chunk (id of 5 characters, whole payload); false when the
// payload is malformed, given twice, or a count is out of range.
bool terrain_add_chunk(terrain *t, const char *id, const uint8_t *data, uint32_t size);
// Builds the renderable terrain; false in this build (no terrain renderer).
bool terrain_initialize_system(terrain *t, scene *sc);
// Which terrain technique the renderer uses (from the renderer hand-over).
bool terrain_uses_fixed_function();
