#pragma once
// The terrain: a height field drawn as a quadtree of square patches with
// continuous, distance-dependent level of detail.
//
// The scene file carries the terrain in five payloads (docs/terrain-format.md):
// "#DESC" the grid description, "#VBUF" the height samples, "#IBUF" the index
// template of one patch, "#NBUF" the quadtree nodes with their bounds and
// "#LBUF" the texture layer records. terrain_add_chunk() checks each payload's
// structure as it arrives; terrain_initialize_system() checks that they agree
// and builds the drawable data: every node gets a block of (P+1)^2 vertices
// holding the fine height and the height of the next coarser level at the same
// spot, so that a vertex program can morph between the two levels; every
// patch gets 16 index variants that drop the odd edge vertices on the sides
// where the neighbour is one level coarser.
//
// Each frame terrain_select() walks the quadtree from the view: a node is
// split while it is nearer than the range of the level below it, nodes
// outside the view frustum or past the horizon are skipped, and the index
// list of the chosen patches is assembled. Neighbouring patches never differ
// by more than one level, and a vertex's morph factor grows linearly with its
// distance, reaching 1 where its patch meets a coarser one, so neither cracks
// nor popping show.

#include <cstdint>

#include "corelib/geometry.h"
#include "corelib/tacka.h"
#include "scene/scene_types.h"

struct view;

enum : uint32_t {
    TERRAIN_DESC = 1u << 0,
    TERRAIN_VBUF = 1u << 1,
    TERRAIN_IBUF = 1u << 2,
    TERRAIN_NBUF = 1u << 3,
    TERRAIN_LBUF = 1u << 4,
    TERRAIN_BUILT = 1u << 8,
};

#define TERRAIN_MAX_RECORDS 1000000u
#define TERRAIN_MAGIC 0x314E5254u // "TRN1"
#define TERRAIN_MAX_LEVELS 8
#define TERRAIN_MAX_PATCH 64
#define TERRAIN_NO_NODE 0xFFFFFFFFu

// Words of the "#DESC" payload.
enum {
    TERRAIN_DESC_MAGIC = 0,
    TERRAIN_DESC_CELLS = 1,      // cells per side of the whole grid (N)
    TERRAIN_DESC_PATCH = 2,      // cells per side of one patch (P)
    TERRAIN_DESC_LEVELS = 3,     // quadtree levels (N = P * 2^(levels-1))
    TERRAIN_DESC_CELL_SIZE = 4,  // float, metres
    TERRAIN_DESC_ORIGIN_X = 5,   // float
    TERRAIN_DESC_ORIGIN_Z = 6,   // float
    TERRAIN_DESC_MIN_HEIGHT = 7, // float
    TERRAIN_DESC_MAX_HEIGHT = 8, // float
    TERRAIN_DESC_NODES = 9,      // node count
};

// Patch sides, as bits of a stitch mask: the neighbour on that side is coarser.
enum : uint32_t {
    TERRAIN_SIDE_NZ = 1u << 0, // row 0
    TERRAIN_SIDE_PX = 1u << 1, // column P
    TERRAIN_SIDE_PZ = 1u << 2, // row P
    TERRAIN_SIDE_NX = 1u << 3, // column 0
};

struct terrain_node {
    uint32_t x0, z0, size; // in grid cells
    uint32_t lod;          // 0 finest
    uint32_t parent;       // TERRAIN_NO_NODE for the root
    uint32_t children[4];  // TERRAIN_NO_NODE for a leaf; order -x-z, +x-z, -x+z, +x+z
    uint32_t layer;        // "#LBUF" record, TERRAIN_NO_NODE for none
    aabox box;
};

// The texture layer of one "#LBUF" cell.
struct terrain_layer {
    uint32_t texture_set; // 0..3
    float layer_tiling, detail_tiling;
    tacka4 color;
    float light_scale;
};

// A chosen patch.
struct terrain_pick {
    uint32_t node;
    uint32_t stitch; // TERRAIN_SIDE_* bits
};

struct terrain_selection {
    uint32_t picksno, picks_max;
    terrain_pick *picks;
    uint32_t indicesno, indices_max; // the assembled triangle list
    uint32_t near_indicesno;         // the first ones: patches nearer than the finest range
    uint32_t *indices;
    uint32_t culled; // nodes skipped by the frustum or the horizon
    double seconds;  // time the last selection took
};

struct terrain {
    uint32_t flags;
    const char *error; // why the last payload or the build was refused
    uint32_t desc[12];
    uint32_t vertexsno;
    tacka3 *vertexs;
    uint32_t indicesno;
    uint32_t *indices;
    uint32_t nodesno;
    uint8_t *nodes; // the "#NBUF" payload after its count
    uint32_t nodes_size;
    aabox *node_bounds; // one per node, from its two corner points
    uint32_t leavesno;
    uint8_t *leaves; // the "#LBUF" payload after its count
    uint32_t leaves_size;

    // Built by terrain_initialize_system.
    uint32_t cells, patch, levels;
    float cell_size;
    tacka3 origin;
    terrain_node *node;  // nodesno entries; node 0 is the root
    uint32_t *lod_first; // first node of each level in the per-level tables
    uint32_t *lod_side;  // nodes per side on each level
    uint32_t *lod_table; // node index of each (level, column, row)
    uint8_t *lod_state;  // per frame: 0 unseen, 1 drawn, 2 split, 3 culled
    terrain_layer layer; // the texture layer the renderer uses
    // Drawable vertices: one block of (patch+1)^2 per node.
    uint32_t dvertexsno;
    tacka4 *dpos;     // x, fine height, z, coarse height
    tacka3 *dnormal;  // fine normal
    tacka3 *dcnormal; // coarse normal
    tacka4 *dtex;     // u, v over the whole terrain, level, 0
    uint32_t stitch_count[16];
    uint32_t *stitch[16];               // local index lists per stitch mask
    float max_diag[TERRAIN_MAX_LEVELS]; // largest node diagonal per level
    float range[TERRAIN_MAX_LEVELS];    // split distance of each level
    float morph_start[TERRAIN_MAX_LEVELS], morph_end[TERRAIN_MAX_LEVELS];
    float horizon; // "terra_horizon", 0..1
    float visible_distance;
    terrain_selection sel;
    void *renderer; // the renderer's record
};

terrain *terrain_create();
void terrain_free(terrain *t);
// Takes one sub-chunk (id of 5 characters, whole payload); false when the
// payload is malformed, given twice, or a count is out of range (the reason
// is in t->error).
bool terrain_add_chunk(terrain *t, const char *id, const uint8_t *data, uint32_t size);
// Checks that the payloads agree and builds the drawable data; false (logged
// with the reason, also kept in t->error) when it cannot.
bool terrain_initialize_system(terrain *t, scene *sc);
// Which terrain technique the renderer uses (from the renderer hand-over).
bool terrain_uses_fixed_function();

// The view distance factor (0..1, the "terra_horizon" setting); sets the
// level ranges and the horizon used by the next selection.
void terrain_set_horizon(terrain *t, float horizon);
// Chooses the patches for the view and assembles their indices into t->sel.
void terrain_select(terrain *t, const view *v);
// The morph factor of a drawn vertex at distance d on its level, and the
// position a vertex of block vertex index `vi` takes for a camera at `eye`
// (what the terrain vertex programs compute).
float terrain_morph_factor(const terrain *t, uint32_t lod, float d);
tacka3 terrain_morphed_position(const terrain *t, uint32_t vi, tacka3 eye);
// Height of the ground under (x, z) (bilinear over the finest grid; the edge
// height outside; 0 before the terrain is built).
float terrain_height_at(const terrain *t, float x, float z);

// Building a terrain from a height field (the data tool and tests): `heights`
// holds (cells+1)^2 samples row by row (z), x along a row. Fills all five
// payloads; null when the sizes do not fit (cells = patch * 2^(levels-1)).
terrain *terrain_make(const float *heights, uint32_t cells, uint32_t patch, float cell_size, tacka3 origin,
                      const terrain_layer *layer);
