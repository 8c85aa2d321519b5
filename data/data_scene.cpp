// The scene "vorn.quox2": the fighter rig, the station, the sentinels, the
// attacker pools, the launch pad, the sky box and the title cinematic.
//
// PENDING: the scene is not built yet. The plan: build it in memory with the
// scene API, save it with the QUOX2 writer (scene/quox2_writer.h:
// quox2_write_scene, quox2_writer_save) as "vorn.quox2", put a top view of it
// in ctx.layouts["scene-top"], and add "scene vorn.quox2" to
// tests/data/resource_files.txt with a check through the loader. The
// textures its materials use are named in data_textures.h, with the sky
// box's face layout.

#include <cstdio>

#include "data_build.h"

bool data_gen_scene(data_ctx &ctx)
{
    (void)ctx;
    if (!ctx.quiet) std::printf("vorn-data: scene: waiting for the QUOX2 writer, vorn.quox2 not written\n");
    return true;
}
