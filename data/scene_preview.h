#pragma once
// Pictures of the built scene for the contact sheets: a top view, drawn
// from the kit's meshes and world poses (no renderer needed).

#include <map>
#include <string>
#include <vector>

#include "data_image.h"
#include "scene_kit.h"

struct scene_view_box {
    float x0, z0, x1, z1; // world area shown (x right, z down the picture)
};

// Draws every shown instance from above (y up towards the viewer) into a
// size x size picture, lit by a sun from above; instances named in `skip`
// (or starting with an entry that ends in '_') are left out. `path` points (the cinematic's flight) are
// drawn as a line over it.
data_image scene_preview_top(const scene_kit &k, const scene_view_box &box, int size,
                             const std::vector<std::string> &skip, const std::vector<tacka3> &path);

// Draws the shown instances in perspective from a camera at `eye` looking
// along `dir` (vertical field of view in radians), over a starry black;
// `poses` replaces the world pose of the named instances (a moment of an
// animation). Without `starry` the background stays transparent (icons).
struct scene_view_camera {
    tacka3 eye, dir, up;
    float fov;
};
data_image scene_preview_camera(const scene_kit &k, const scene_view_camera &cam, int w, int h,
                                const std::vector<std::string> &skip,
                                const std::map<std::string, scene_pose> &poses = {}, bool starry = true);
