// quox2 view: a window on a QUOX2 scene for the level designers.
//
// The scene is loaded and prepared as the game does (textures from the
// file's folder) and drawn at 800 x 600. Without options a free camera flies
// with the keyboard (W A S D or the arrows to move, Q and E down and up,
// shift faster) and looks with the mouse; Esc closes. --camera NAME looks
// through a scene camera (its motion plays). --frames N flies a scripted
// circle over the scene and ends after N frames. --record DIR writes every
// frame as DIR/NNNN.bmp, stepping the scene a fixed 1/25 s per frame. The
// renderer's log lines go to standard error as in the game.

#include "quox2_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <GL/glew.h>

#include "corelib/files.h"
#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "corelib/view.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_window.h"
#include "renderer/engine.h"
#include "scene/camera.h"
#include "scene/object_instance.h"
#include "scene/quox2_loader.h"
#include "scene/scene.h"
#include "scene/terrain.h"

#define VIEW_W 800
#define VIEW_H 600
#define VIEW_STEP (1.0f / 25.0f)

namespace {
struct scene_extent {
    tacka3 center;
    float radius;
};
} // namespace

// Where the scene lies: the terrain's square, else the instances' spheres.
static scene_extent __extent(const scene *sc)
{
    const terrain *t = scene_get_terrain(sc);
    if (t && (t->flags & TERRAIN_BUILT)) {
        float side = t->cells * t->cell_size;
        tacka3 c = {t->origin.x + side / 2, 0, t->origin.z + side / 2};
        c.y = terrain_height_at(t, c.x, c.z);
        return {c, side / 2};
    }
    tacka3 lo = {1e30f, 1e30f, 1e30f}, hi = {-1e30f, -1e30f, -1e30f};
    for (uint32_t i = 0; i < scene_get_ois_no(sc); i++) {
        object_instance *oi = scene_get_oi(sc, i);
        if (!OI_has_bounds(oi)) continue;
        tacka3 b = oi->bound_center;
        float r = oi->bound_radius;
        lo = {std::fmin(lo.x, b.x - r), std::fmin(lo.y, b.y - r), std::fmin(lo.z, b.z - r)};
        hi = {std::fmax(hi.x, b.x + r), std::fmax(hi.y, b.y + r), std::fmax(hi.z, b.z + r)};
    }
    if (lo.x > hi.x) return {{0, 0, 0}, 100.0f};
    tacka3 c = {(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
    float dx = hi.x - lo.x, dy = hi.y - lo.y, dz = hi.z - lo.z;
    return {c, std::fmax(10.0f, 0.5f * std::sqrt(dx * dx + dy * dy + dz * dz))};
}

// Ground height under a point (the terrain's, else the scene's centre).
static float __ground(const scene *sc, const scene_extent &e, float x, float z)
{
    const terrain *t = scene_get_terrain(sc);
    return t && (t->flags & TERRAIN_BUILT) ? terrain_height_at(t, x, z) : e.center.y - e.radius * 0.5f;
}

// The scripted flight: a circle of 0.6 the scene's radius, above the ground, looking ahead and down.
static void __scripted(const scene *sc, const scene_extent &e, float time, tacka3 *eye, tacka3 *target)
{
    float r = 0.6f * e.radius, w = 40.0f / std::fmax(r, 40.0f); // about 40 m/s
    float a = time * w;
    eye->x = e.center.x + r * std::cos(a);
    eye->z = e.center.z + r * std::sin(a);
    float clearance = std::fmax(20.0f, 0.04f * e.radius);
    eye->y = std::fmax(__ground(sc, e, eye->x, eye->z), e.center.y - e.radius) + clearance;
    tacka3 ahead = {e.center.x + r * std::cos(a + 0.35f), 0, e.center.z + r * std::sin(a + 0.35f)};
    ahead.y = __ground(sc, e, ahead.x, ahead.z);
    *target = ahead;
}

static bool __save_frame(const std::string &dir, int n)
{
    // Bottom row first, as GL reads it and the picture writer takes it.
    std::vector<uint8_t> px(size_t(VIEW_W) * VIEW_H * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, VIEW_W, VIEW_H, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    char name[32];
    std::snprintf(name, sizeof name, "%04d.bmp", n);
    std::string path = dir + "/" + name;
    if (!gfxloader_save(path.c_str(), VIEW_W, VIEW_H, 24, px.data())) {
        std::fprintf(stderr, "quox2 view: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

int quox2_view(const char *file, const char *camera_name, int frames, const char *record_dir)
{
    const engine_window window = {"quox2 view", VIEW_W, VIEW_H, false};
    if (!engine_startup(ENGINE_ALL, &window)) {
        std::fprintf(stderr, "quox2 view: no window or renderer\n");
        engine_shutdown();
        return 1;
    }
    std::string native = file_native_path(file);
    size_t slash = native.rfind('/');
    std::string folder = slash == std::string::npos ? std::string("./") : native.substr(0, slash + 1);
    scene *sc = scene_init();
    int status = 0;
    if (!sc || !quox2_load_file(file, sc) || !scene_copy_resources_folder_path(sc, folder.c_str()) ||
        !scene_prepare(sc)) {
        std::fprintf(stderr, "quox2 view: %s does not load or prepare\n", file);
        scene_deinit(sc);
        engine_shutdown();
        return 1;
    }
    camera *cam = nullptr;
    if (camera_name && !(cam = scene_get_camera(sc, camera_name))) {
        std::fprintf(stderr, "quox2 view: no camera \"%s\" in %s\n", camera_name, file);
        scene_deinit(sc);
        engine_shutdown();
        return 1;
    }
    std::error_code ec;
    if (record_dir && !std::filesystem::is_directory(record_dir) &&
        !std::filesystem::create_directories(record_dir, ec)) {
        std::fprintf(stderr, "quox2 view: cannot make %s\n", record_dir);
        scene_deinit(sc);
        engine_shutdown();
        return 1;
    }
    terrain *terr = scene_get_terrain(sc);
    if (terr) terrain_set_horizon(terr, 0.75f);
    float fog[4] = {0.02f, 0.02f, 0.025f, 1.0f};
    scene_extent e = __extent(sc);
    OGL_fog_set(fog, 1, 0.0f, 4.0f * e.radius, 0.35f / std::fmax(1.0f, 2.0f * e.radius));

    view *v = view_create();
    tacka3 eye = {e.center.x - e.radius * 0.5f, e.center.y + e.radius * 0.15f, e.center.z - e.radius * 0.5f};
    float yaw = std::atan2(e.center.z - eye.z, e.center.x - eye.x), pitch = -0.25f;
    bool scripted = frames > 0 && !cam;
    bool interactive = frames <= 0 && !record_dir;
    if (interactive && !cam) OGL_input_set_cursor_visible(false, true);
    int last_mx = 0, last_my = 0;
    OGL_input_get_mouse_pos(&last_mx, &last_my);
    double elapsed = 0.0;
    for (int f = 0; frames <= 0 || f < frames; f++) {
        if (!OGL_window_is_open()) break;
        float dt = VIEW_STEP;
        elapsed += dt;
        if (OGL_input_get_key(OGL_KEY_ESC)) break;
        if (cam) {
            scene_update(sc, view_get_position(v), dt);
            camera_setup_view(cam, v);
            view_set_fov(v, camera_get_fov(cam));
        } else {
            tacka3 target;
            if (scripted) {
                __scripted(sc, e, float(elapsed), &eye, &target);
            } else {
                int mx, my;
                OGL_input_get_mouse_pos(&mx, &my);
                yaw += (mx - last_mx) * 0.004f;
                pitch = std::fmax(-1.5f, std::fmin(1.5f, pitch - (my - last_my) * 0.004f));
                last_mx = mx, last_my = my;
                tacka3 fwd = {std::cos(yaw) * std::cos(pitch), std::sin(pitch), std::sin(yaw) * std::cos(pitch)};
                tacka3 right = {-std::sin(yaw), 0, std::cos(yaw)};
                float speed = (OGL_input_get_key(OGL_KEY_LSHIFT) ? 400.0f : 60.0f) * dt;
                auto key = [](int a, int b) { return OGL_input_get_key(a) || OGL_input_get_key(b); };
                float ahead = float(key('W', OGL_KEY_UP)) - float(key('S', OGL_KEY_DOWN));
                float side = float(key('D', OGL_KEY_RIGHT)) - float(key('A', OGL_KEY_LEFT));
                float up = float(OGL_input_get_key('E') != 0) - float(OGL_input_get_key('Q') != 0);
                eye = {eye.x + (fwd.x * ahead + right.x * side) * speed, eye.y + (fwd.y * ahead + up) * speed,
                       eye.z + (fwd.z * ahead + right.z * side) * speed};
                target = {eye.x + fwd.x, eye.y + fwd.y, eye.z + fwd.z};
            }
            scene_update(sc, eye, dt);
            view_set_position(v, eye);
            view_set_target(v, target);
            view_set_up(v, {0, 1, 0});
            view_set_fov(v, 1.0f);
            view_set_near_far(v, 1.0f, std::fmax(1000.0f, 4.0f * e.radius));
            view_compute_view_matrix(v);
        }
        view_set_viewport(v, VIEW_W, VIEW_H);
        view_compute_projection(v);
        OGL_clear();
        scene_update_visibility(sc, v);
        OGL_render_frame(v);
        if (record_dir && !__save_frame(record_dir, f)) {
            status = 1;
            break;
        }
        OGL_swap_buffers();
        if (frames > 0 && (f + 1) % 50 == 0 && terr)
            std::fprintf(stderr, "quox2 view: frame %d, %u terrain triangles, selection %.3f ms\n", f + 1,
                         terr->sel.indicesno / 3, terr->sel.seconds * 1e3);
    }
    view_free(v);
    scene_deinit(sc);
    engine_shutdown();
    return status;
}
