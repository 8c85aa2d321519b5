#pragma once
// Readable and JSON descriptions of a loaded (not yet prepared) scene, for
// the level designers' tool and for tests.

#include <string>

#include "scene/scene_types.h"

// One JSON document: loaded, objects, instances, materials, lights, cameras,
// motions, motionsets, terrain.
std::string scene_dump_json(const scene *sc, bool loaded, bool had_terrain);
// The same content as indented text.
std::string scene_dump_text(const scene *sc, bool loaded, bool had_terrain);
