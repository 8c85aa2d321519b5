// The scene "vorn.quox2": the fighter rig, the station, the sentinels, the
// attacker pools, the launch pad, the sky box and the title cinematic.
//
// PENDING: this generator waits for the project's QUOX2 writer. When it is in
// place, build the scene here, write it as "vorn.quox2", add a top view of it
// to the "scene" contact sheet, and add "vorn.quox2" to tests/data/resource_files.txt.
// The textures it will use are named in data_textures.h.

#include <cstdio>

#include "data_build.h"

bool data_gen_scene(data_ctx &ctx)
{
    (void)ctx;
    if (!ctx.quiet) std::printf("vorn-data: scene: waiting for the QUOX2 writer, vorn.quox2 not written\n");
    return true;
}
