#pragma once
// Internals shared by the terrain's sources.

#include "scene/terrain.h"

// Frees what terrain_initialize_system built.
void terrain_free_built(terrain *t);
// Local vertex index of column i, row j of a patch block.
inline uint32_t terrain_local_index(const terrain *t, uint32_t i, uint32_t j) { return j * (t->patch + 1) + i; }
// Sets the level ranges and morph distances from the node sizes and the horizon.
void terrain_compute_ranges(terrain *t);
