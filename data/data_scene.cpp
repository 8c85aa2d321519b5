// The scene "vorn.quox2": the fighter rig, the station, the sentinels, the
// attacker pools, the launch pad and the asteroid field, the sky box, the
// lights and the title cinematic, built in memory part by part (scene_*.cpp)
// and written with the QUOX2 writer. Top views go on the "scene" contact
// sheet and, full size, to "scene-top-view" and "station-top-view".

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

#include "data_build.h"
#include "scene/motion.h"
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

// A camera placed by a pose: it looks along the pose's -z, y up.
static scene_view_camera __camera_of(const scene_pose &p, float fov)
{
    return {p.pos, quaternion_rotate(p.rot, {0, 0, -1}), quaternion_rotate(p.rot, {0, 1, 0}), fov};
}

static void __add_view(data_ctx &ctx, const char *name, data_image img, const char *info)
{
    int tw = DATA_PREVIEW_THUMB, th = img.h * DATA_PREVIEW_THUMB / img.w;
    ctx.sheets["scene"].push_back({name, image_resize(img, tw, th), img.w, img.h, 24, info});
    ctx.layouts[name] = std::move(img);
}

static void __preview(data_ctx &ctx, const scene_kit &k)
{
    // Left out of the top views: the parked attackers, the sky box, the
    // cinematic's fighter and the station's plain hull (inside "g_station").
    const std::vector<std::string> skip = {"aster_", "debris_", "cinema_", "front",  "back",
                                           "left",   "right",   "top",     "bottom", "station"};
    __add_view(ctx, "scene-top-view", scene_preview_top(k, {-1000, -1000, 1000, 1000}, 1024, skip, k.flight),
               "top view");
    __add_view(ctx, "station-top-view", scene_preview_top(k, {-420, -260, 180, 340}, 1024, skip, k.flight), "top view");
    // Frames of the title cinematic through "cinema_Camera01".
    const std::vector<std::string> hidden = {"aster_", "debris_", "front",  "back",    "left",
                                             "right",  "top",     "bottom", "station", "bolid"};
    motion *m = scene_get_motion(k.sc, "cinema_BOL_ROOT", nullptr);
    scene_pose cam_local = pose_relative(kit_world(k, "cinema_BOL_ROOT"), kit_world(k, "cinema_Camera01"));
    const float times[3] = {2.5f, 7.5f, 11.5f};
    const char *names[3] = {"title-cinematic-1", "title-cinematic-2", "title-cinematic-3"};
    for (int i = 0; m && i < 3; i++) {
        scene_pose root;
        motion_get_position(m, &root.pos, times[i]);
        motion_get_rotation(m, &root.rot, times[i]);
        scene_view_camera cam = __camera_of(pose_compose(root, cam_local), 0.9f);
        __add_view(ctx, names[i], scene_preview_camera(k, cam, 800, 450, hidden, {{"cinema_BOL_ROOT", root}}),
                   "cinematic");
    }
    // The player's view from the chase camera, and close looks at the
    // fighter and a sentinel.
    std::vector<std::string> rig_shown = {"aster_", "debris_", "front",   "back",  "left",   "right",
                                          "top",    "bottom",  "station", "bolid", "cinema_"};
    rig_shown.erase(rig_shown.begin() + 9); // show the fighter's parts...
    rig_shown.push_back("bolid");           // ...but not its undrawn body
    __add_view(ctx, "chase-camera",
               scene_preview_camera(k, __camera_of(kit_world(k, "Camera_bolid"), 1.0f), 800, 450, rig_shown),
               "chase camera");
    tacka3 fp = kit_world(k, "bolid").pos;
    scene_pose bolid = kit_world(k, "bolid");
    tacka3 eye = pose_point(bolid, {-5.5f, 2.2f, 4.5f});
    __add_view(ctx, "fighter",
               scene_preview_camera(k, {eye, tacka3_sub(fp, eye), {0, 1, 0}, 0.7f}, 800, 450, rig_shown), "close view");
    // One attacker of each kind, lined up away from the park for a look.
    tacka3 c = tacka3_add(LAYOUT_PARK_POS, {-300, 0, 0});
    std::map<std::string, scene_pose> lineup;
    const char *first[8] = {"aster_a_01",  "aster_b_01",  "aster_c_01",  "aster_d_01",
                            "debris_a_01", "debris_b_01", "debris_c_01", "debris_d_01"};
    for (int i = 0; i < 8; i++) {
        scene_pose p = kit_world(k, first[i]);
        p.pos = tacka3_add(c, {(i % 4 - 1.5f) * 11.0f, i < 4 ? 5.5f : -5.5f, 0});
        lineup[first[i]] = p;
    }
    // Seen from the sunny side.
    tacka3 leye = tacka3_add(c, tacka3_scale(tacka3_normalize({-0.25f, 0.3f, -0.92f}), 44));
    __add_view(ctx, "attackers",
               scene_preview_camera(k, {leye, tacka3_sub(c, leye), {0, 1, 0}, 0.75f}, 800, 450,
                                    {"front", "back", "left", "right", "top", "bottom"}, lineup),
               "asteroids a-d, junk a-d");
    tacka3 sp = kit_world(k, "sentinel_01").pos;
    tacka3 seye = tacka3_add(sp, tacka3_scale(tacka3_normalize({sp.x, 0.2f * std::fabs(sp.x), sp.z}), 9.0f));
    seye.y += 3;
    __add_view(ctx, "sentinel",
               scene_preview_camera(k, {seye, tacka3_sub(sp, seye), {0, 1, 0}, 0.8f}, 800, 450, rig_shown),
               "close view");
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
    if (ok && !ctx.icon_dir.empty()) ok = data_write_icons(ctx, k);
    scene_deinit(k.sc);
    return ok;
}
