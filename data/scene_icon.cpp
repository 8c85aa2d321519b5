// The game's desktop icon: the fighter alone, seen from ahead, above and its
// sunlit right side, on a transparent background. The fighter is drawn in its
// own frame, so the icon does not depend on where the scene parks it. Each
// size is drawn from the meshes (four samples a pixel), so small icons stay sharp.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "data_build.h"
#include "data_picture_file.h"
#include "scene_kit.h"
#include "scene_preview.h"

static const int ICON_SIZES[] = {256, 128, 64, 48, 32};
// The fighter's drawn parts; its body "bolid" is never drawn.
static const char *const ICON_PARTS[] = {"bolid_rot", "bolid_canopy", "bolid_engine"};
// Where the eye sits, in the fighter's own frame (nose along -x, left wing
// +z): on the side the previews' sun lights.
static const tacka3 ICON_EYE_DIR = {-0.62f, 0.5f, -0.6f};
// Share of the picture left free around the fighter.
#define ICON_MARGIN 0.06f

// A kit holding only the fighter's drawn parts, posed in the hull's frame.
static bool __fighter_kit(const scene_kit &k, scene_kit *out)
{
    auto hull = k.world.find(ICON_PARTS[0]);
    if (hull == k.world.end()) return false;
    for (const char *part : ICON_PARTS) {
        auto si = k.shows.find(part);
        auto wi = k.world.find(part);
        if (si == k.shows.end() || wi == k.world.end() || !k.meshes.count(si->second)) return false;
        out->shows[part] = si->second;
        out->world[part] = pose_relative(hull->second, wi->second);
        out->meshes[si->second] = k.meshes.at(si->second);
    }
    return true;
}

// A camera that frames every vertex of the kit from the given direction.
static scene_view_camera __framing_camera(const scene_kit &k, tacka3 dir_to_eye)
{
    std::vector<tacka3> pts;
    for (const auto &[inst, obj] : k.shows)
        for (const tacka3 &p : k.meshes.at(obj).pos) pts.push_back(pose_point(k.world.at(inst), p));
    tacka3 lo = pts[0], hi = pts[0];
    for (const tacka3 &p : pts) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    tacka3 centre = tacka3_scale(tacka3_add(lo, hi), 0.5f);
    float radius = 0;
    for (const tacka3 &p : pts) radius = std::max(radius, tacka3_length(tacka3_sub(p, centre)));
    tacka3 eye = tacka3_add(centre, tacka3_scale(tacka3_normalize(dir_to_eye), radius * 4));
    scene_view_camera cam = {eye, tacka3_sub(centre, eye), {0, 1, 0}, 0.5f};
    // Widest reach of the fighter off the view axis, as a tangent.
    tacka3 f = tacka3_normalize(cam.dir);
    tacka3 r = tacka3_normalize(tacka3_cross(f, cam.up));
    tacka3 u = tacka3_cross(r, f);
    float reach = 0;
    for (const tacka3 &p : pts) {
        tacka3 d = tacka3_sub(p, eye);
        float z = tacka3_dot(d, f);
        reach = std::max({reach, std::fabs(tacka3_dot(d, r)) / z, std::fabs(tacka3_dot(d, u)) / z});
    }
    cam.fov = 2 * std::atan(reach / (1 - 2 * ICON_MARGIN));
    return cam;
}

bool data_write_icons(data_ctx &ctx, const scene_kit &k)
{
    scene_kit fighter;
    if (!__fighter_kit(k, &fighter)) {
        std::fprintf(stderr, "vorn-data: icons: the scene has no fighter to draw\n");
        return false;
    }
    scene_view_camera cam = __framing_camera(fighter, ICON_EYE_DIR);
    for (int size : ICON_SIZES) {
        data_image img =
            image_resize(scene_preview_camera(fighter, cam, size * 2, size * 2, {}, {}, false), size, size);
        std::string dir_name = ctx.icon_dir + std::to_string(size) + "x" + std::to_string(size) + "/apps/";
        std::error_code ec;
        std::filesystem::create_directories(dir_name, ec);
        std::string path = dir_name + DATA_ICON_FILE;
        std::vector<uint8_t> bytes = image_to_bytes(img, 32);
        if (!picture_file_save_png(path.c_str(), img.w, img.h, bytes.data())) {
            std::fprintf(stderr, "vorn-data: cannot write %s\n", path.c_str());
            return false;
        }
        if (!ctx.quiet) std::printf("vorn-data: icon %s\n", path.c_str());
    }
    return true;
}
