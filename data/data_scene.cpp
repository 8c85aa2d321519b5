// The scene "vorn.quox2": the fighter rig, the station, the sentinels, the
// attacker pools, the launch pad and the asteroid field, the sky box, the
// lights and the title cinematic, built in memory part by part (scene_*.cpp)
// and written with the QUOX2 writer. Top views go on the "scene" contact
// sheet and, full size, to "scene-top-view" and "station-top-view".

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "data_build.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/quox2_writer.h"
#include "scene/scene.h"
#include "scene_materials.h"
#include "scene_parts.h"
#include "scene_preview.h"

// Triangles drawn: the sum over the instances that show an object.
static uint64_t __triangles(scene *sc)
{
    uint64_t n = 0;
    dlist_for_each(node, &sc->ois)
    {
        object_instance *oi = scene_oi_of(node);
        if (!OI_has_instance_name(oi)) continue;
        object *o = scene_get_object(sc, OI_get_instance_name(oi));
        if (o) n += o->facesno;
    }
    return n;
}

static void __preview(data_ctx &ctx, const scene_kit &k)
{
    // Left out: the parked attackers, the sky box, the cinematic's fighter
    // and the station's plain hull (inside "g_station").
    const std::vector<std::string> skip = {"aster_", "debris_", "cinema_", "front", "back", "left", "right",
                                           "top",    "bottom",  "station"};
    struct view {
        const char *name;
        scene_view_box box;
    } views[2] = {{"scene-top-view", {-1000, -1000, 1000, 1000}}, {"station-top-view", {-420, -260, 180, 340}}};
    for (const view &v : views) {
        data_image img = scene_preview_top(k, v.box, 1024, skip, k.flight);
        ctx.sheets["scene"].push_back({v.name, image_resize(img, DATA_PREVIEW_THUMB, DATA_PREVIEW_THUMB), img.w, img.h,
                                       24, "top view"});
        ctx.layouts[v.name] = std::move(img);
    }
}

bool data_gen_scene(data_ctx &ctx)
{
    auto t0 = std::chrono::steady_clock::now();
    scene_kit k;
    k.sc = scene_init();
    if (!k.sc) return false;
    bool ok = scene_add_materials(k) && scene_build_station(k) && scene_build_sentinels(k) && scene_build_fighter(k) &&
              scene_build_attackers(k) && scene_build_field(k) && scene_build_sky(k) && scene_build_lights(k) &&
              scene_build_cinematic(k);
    if (!ok) std::fprintf(stderr, "vorn-data: scene: building the scene failed\n");
    std::string path = data_path(ctx, "vorn.quox2");
    if (ok && !(quox2_save_scene(path.c_str(), k.sc) && data_note_written(ctx, "vorn.quox2"))) {
        std::fprintf(stderr, "vorn-data: scene: cannot write %s\n", path.c_str());
        ok = false;
    }
    if (ok && !ctx.quiet) {
        std::error_code ec;
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("vorn-data: scene: %u objects, %u instances, %llu triangles, %u materials, %u lights, "
                    "%u motions, %llu bytes, %.2f s\n",
                    k.sc->objectsno, k.sc->oisno, (unsigned long long)__triangles(k.sc), k.sc->materialsno,
                    k.sc->lightsno, k.sc->motionsno, (unsigned long long)std::filesystem::file_size(path, ec), secs);
    }
    if (ok && !ctx.preview_dir.empty()) __preview(ctx, k);
    scene_deinit(k.sc);
    return ok;
}
