// The scene "vorn.quox2" as the game reads it: it loads and prepares without
// a warning, holds every instance, camera and motion the game looks up by
// name with the actor keys and switches the game relies on, uses every
// material path, and is laid out for the game's distances. The generator is
// deterministic.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "corelib/array.h"
#include "corelib/gfxloader.h"
#include "corelib/parser.h"
#include "data/data_build.h"
#include "data/scene_parts.h"
#include "game/gameplay_core.h"
#include "scene/camera.h"
#include "scene/collisions.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/motion.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/quox2_loader.h"
#include "scene/scene.h"
#include "scene/unitexture.h"
#include "test_support.h"

namespace fs = std::filesystem;

static const std::string DATA_DIR = VORN_BINARY_DIR "/data/";
static const std::string SCENE_FILE = DATA_DIR + "vorn.quox2";

// An instance's user properties read through the project's own line parser,
// against the instance key table and the game actor key table: every line
// must be one of theirs and parse, or the game would refuse the scene.
static std::map<std::string, std::string> __props(const object_instance *oi)
{
    std::map<std::string, std::string> out;
    if (!OI_has_user_defined_properties(oi)) return out;
    uint32_t oi_keys_no, actor_keys_no;
    const parser_key *oi_keys = OI_get_property_key_table(&oi_keys_no);
    const parser_key *actor_keys = game_actor_property_key_table(&actor_keys_no);
    const char *text = OI_get_user_defined_properties(oi);
    uint32_t start, end;
    for (uint32_t at = 0; parser_next_line(text, at, &start, &end); at = end) {
        std::string line(text + start, end - start);
        parser_line *rec = parser_line_new();
        int r = parser_process_line(rec, actor_keys, actor_keys_no, line.c_str());
        if (r == PARSER_LINE_UNKNOWN) {
            parser_line_free(rec);
            rec = parser_line_new();
            r = parser_process_line(rec, oi_keys, oi_keys_no, line.c_str());
        }
        EXPECT_EQ(r, PARSER_LINE_PARSED) << OI_get_name(oi) << ": \"" << line << "\"";
        if (r == PARSER_LINE_PARSED) out[rec->key] = rec->value1 ? rec->value1 : "";
        parser_line_free(rec);
    }
    return out;
}

static tacka3 __axis(object_instance *oi, int row)
{
    const float *m = OI_get_matrix_ws(oi);
    return tacka3_normalize({m[row * 4], m[row * 4 + 1], m[row * 4 + 2]});
}

class VornScene : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(fs::exists(SCENE_FILE)) << "build the data first";
        parser_init();
        ASSERT_TRUE(gfxloader_init());
        sc = scene_init();
        testing::internal::CaptureStderr();
        bool loaded = quox2_load_file(SCENE_FILE.c_str(), sc);
        prepared = false;
        if (loaded) {
            scene_copy_resources_folder_path(sc, DATA_DIR.c_str());
            prepared = scene_prepare_ex(sc, SCENE_PREPARE_CHECK | SCENE_PREPARE_NO_RENDERER);
        }
        log_text = testing::internal::GetCapturedStderr();
    }
    static void TearDownTestSuite()
    {
        scene_deinit(sc);
        gfxloader_deinit();
        parser_deinit();
    }
    static object_instance *oi(const std::string &name) { return scene_get_oi_by_name(sc, name.c_str()); }
    static scene *sc;
    static bool prepared;
    static std::string log_text;
};
scene *VornScene::sc = nullptr;
bool VornScene::prepared = false;
std::string VornScene::log_text;

TEST_F(VornScene, LoadsAndPreparesWithoutAWarning)
{
    ASSERT_TRUE(prepared) << log_text;
    EXPECT_EQ(log_text.find("[WARNING]"), std::string::npos) << log_text;
    EXPECT_EQ(log_text.find("[CRITICAL]"), std::string::npos) << log_text;
    // Every instance that shows an object has its object and material.
    dlist_for_each(n, &sc->ois)
    {
        object_instance *o = scene_oi_of(n);
        if (!OI_has_instance_name(o)) continue;
        EXPECT_TRUE(OI_has_object(o)) << OI_get_name(o);
        EXPECT_TRUE(OI_has_material(o)) << OI_get_name(o);
    }
}

TEST_F(VornScene, TheQuox2ToolChecksItWithoutAWarning)
{
    std::string tool = VORN_BINARY_DIR "/bin/quox2";
    if (!fs::exists(tool)) GTEST_SKIP() << "quox2 not built";
    std::string cmd = tool + " check '" + SCENE_FILE + "' --resources '" + DATA_DIR + "' 2>&1";
    FILE *p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << out;
    EXPECT_NE(out.find("the scene prepares"), std::string::npos) << out;
    EXPECT_EQ(out.find("WARNING"), std::string::npos) << out;
    EXPECT_EQ(out.find("W A R N"), std::string::npos) << out;
}

TEST_F(VornScene, FighterRigAndCameras)
{
    const char *rig[] = {"bolid",    "bolid_rot", "bolid_left_gun", "bolid_right_gun", "bolid_torpedo_launcher",
                         "dummy_jet"};
    for (const char *n : rig) {
        ASSERT_NE(oi(n), nullptr) << n;
        auto p = __props(oi(n));
        EXPECT_EQ(p["game_actor_type"], "fighter") << n;
        EXPECT_EQ(p["game_actor_name"], "fighter") << n;
    }
    for (const char *n : {"Camera_bolid", "Camera_bolid.Target", "Camera_bolid01", "Camera_bolid01.Target"})
        ASSERT_NE(oi(n), nullptr) << n;
    camera *rig_cam = scene_get_camera(sc, "Camera_bolid01");
    ASSERT_NE(rig_cam, nullptr);
    EXPECT_EQ(camera_get_source_oi(rig_cam), oi("Camera_bolid01"));
    // The fighter moves and collides but is not solid: attackers meet it as a
    // non-solid contact, and only its body collides.
    object_instance *body = oi("bolid");
    EXPECT_TRUE(OI_is_collidable(body));
    EXPECT_FALSE(OI_is_solid(body));
    EXPECT_TRUE(OI_has_object(body));
    EXPECT_TRUE(OI_get_desc(body)->not_renderable);
    EXPECT_TRUE(OI_has_object(oi("bolid_rot")));
    EXPECT_EQ(OI_get_parent(oi("bolid_rot")), body);
    // Nose (-x) towards the launch pad; the chase camera behind, looking ahead.
    tacka3 fwd = tacka3_neg(__axis(body, 0));
    tacka3 pos = OI_get_position_ws(body);
    tacka3 to_pad = tacka3_normalize(tacka3_sub(OI_get_position_ws(oi("launch_pad")), pos));
    EXPECT_GT(tacka3_dot(fwd, to_pad), 0.8f);
    object_instance *cam = oi("Camera_bolid");
    EXPECT_LT(tacka3_dot(tacka3_sub(OI_get_position_ws(cam), pos), fwd), -3.0f);
    tacka3 look = tacka3_neg(__axis(cam, 2));
    EXPECT_GT(tacka3_dot(look, fwd), 0.95f);
    EXPECT_GT(tacka3_dot(tacka3_sub(OI_get_position_ws(oi("Camera_bolid.Target")), pos), fwd), 5.0f);
    EXPECT_LT(tacka3_distance(OI_get_position_ws(oi("Camera_bolid01")), OI_get_position_ws(cam)), 1e-3f);
    // The jet comes out behind.
    EXPECT_LT(tacka3_dot(tacka3_sub(OI_get_position_ws(oi("dummy_jet")), pos), fwd), -2.0f);
}

TEST_F(VornScene, FighterShotsStartClearOfTheFighter)
{
    object_instance *body = oi("bolid");
    tacka3 fwd = tacka3_neg(__axis(body, 0));
    for (const char *gun : {"bolid_left_gun", "bolid_right_gun", "bolid_torpedo_launcher"}) {
        array<collision_record> *hits = array_new<collision_record>();
        intersect_ray_and_scene_in_range(hits, sc, OI_get_position_ws(oi(gun)), fwd, 60.0f);
        for (uint32_t i = 0; i < hits->get_size(); i++) {
            const char *n = OI_get_name(collision_record_oi(&hits->data[i]));
            EXPECT_NE(std::strncmp(n, "bolid", 5), 0) << gun << " hits " << n;
        }
        array_free(hits);
    }
}

TEST_F(VornScene, StationWithItsElevenInstances)
{
    const char *names[] = {"g_station",  "station_01", "station_02", "station_03", "station_04", "station_05",
                           "station_06", "station_07", "station_10", "station_11", "station"};
    for (const char *n : names) ASSERT_NE(oi(n), nullptr) << n;
    for (const char *n : {"station", "g_station"}) {
        auto p = __props(oi(n));
        EXPECT_EQ(p["game_actor_type"], "station") << n;
        EXPECT_EQ(p["game_actor_name"], "station") << n;
        EXPECT_TRUE(OI_is_collidable(oi(n)) && OI_is_solid(oi(n))) << n;
    }
    // The attackers aim at the hull's vertices: they lie round the station.
    uint32_t nv = 0;
    object_get_vertices(OI_get_object(oi("station")), &nv);
    EXPECT_GE(nv, 100u);
    EXPECT_LT(tacka3_length(OI_get_position_ws(oi("station"))), 1.0f);
}

TEST_F(VornScene, EightSentinelsOfFiveInstancesWithRecoils)
{
    for (int s = 1; s <= 8; s++) {
        char n[5][40];
        std::snprintf(n[0], 40, "sentinel_%02d", s);
        std::snprintf(n[1], 40, "sentinel_cd_%02d", s);
        std::snprintf(n[2], 40, "sentinel_body_%02d", s);
        std::snprintf(n[3], 40, "sentinel_gunbody_%02d", s);
        std::snprintf(n[4], 40, "sentinel_gunbody2_%02d", s);
        for (const char *name : n) {
            ASSERT_NE(oi(name), nullptr) << name;
            auto p = __props(oi(name));
            EXPECT_EQ(p["game_actor_type"], "sentinel") << name;
            EXPECT_EQ(p["game_actor_name"], n[0]) << name;
        }
        // Only the mount collides.
        EXPECT_TRUE(OI_is_collidable(oi(n[1])));
        for (int i : {0, 2, 3, 4}) EXPECT_FALSE(OI_is_collidable(oi(n[i]))) << n[i];
        // Recoil motions by the housing's and the barrels' names, not in a set.
        for (int i : {2, 4}) {
            motion *m = scene_get_motion(sc, n[i], nullptr);
            ASSERT_NE(m, nullptr) << n[i];
            EXPECT_GT(motion_get_length(m), 0.2f);
            EXPECT_LT(motion_get_length(m), 1.0f);
            EXPECT_TRUE(OI_get_desc(oi(n[i]))->en_fk_do_not_play) << n[i];
        }
        // In sentinel range (150) of the station, and its line of sight
        // outwards is not blocked by its own mount.
        tacka3 root = OI_get_position_ws(oi(n[0]));
        EXPECT_LT(tacka3_length(root), 120.0f);
        tacka3 up = __axis(oi(n[0]), 1);
        for (int d = 0; d < 64; d++) {
            float z = -0.6f + 1.6f * (d / 64.0f), a = d * 2.399963f;
            float r = std::sqrt(std::fmax(0.0f, 1 - z * z));
            tacka3 dir = {r * std::cos(a), z, r * std::sin(a)};
            if (tacka3_dot(dir, up) < -0.6f) continue;
            array<collision_record> *hits = array_new<collision_record>();
            intersect_ray_and_scene_in_range(hits, sc, root, dir, 8.0f);
            for (uint32_t i = 0; i < hits->get_size(); i++)
                EXPECT_NE(collision_record_oi(&hits->data[i]), oi(n[1])) << n[0] << " blocked towards " << d;
            array_free(hits);
        }
    }
}

TEST_F(VornScene, AttackerPoolsOfEveryKind)
{
    const char *kinds[8] = {"asteroid_a", "asteroid_b", "asteroid_c", "asteroid_d",
                            "junk_a",     "junk_b",     "junk_c",     "junk_d"};
    std::map<std::string, std::set<std::string>> actors; // kind -> actor names
    std::map<std::string, int> ois_of;                   // actor name -> instances
    dlist_for_each(n, &sc->ois)
    {
        object_instance *o = scene_oi_of(n);
        auto p = __props(o);
        std::string type = p["game_actor_type"];
        for (int k = 0; k < 8; k++) {
            if (type != kinds[k]) continue;
            actors[type].insert(p["game_actor_name"]);
            ois_of[p["game_actor_name"]]++;
            EXPECT_NE(std::strstr(OI_get_name(o), k < 4 ? "aster" : "debris"), nullptr) << OI_get_name(o);
            EXPECT_TRUE(OI_is_collidable(o) && OI_is_solid(o)) << OI_get_name(o);
            EXPECT_TRUE(OI_get_desc(o)->invisible) << OI_get_name(o);
            EXPECT_TRUE(OI_has_object(o)) << OI_get_name(o);
        }
    }
    for (const char *k : kinds) EXPECT_GE(actors[k].size(), 8u) << k;
    for (const auto &[name, count] : ois_of) EXPECT_EQ(count, 1) << name;
}

TEST_F(VornScene, EveryCollidableInstanceBelongsToAnActor)
{
    // Collisions with an instance of no actor stop the game.
    dlist_for_each(n, &sc->collidable_ois)
    {
        object_instance *o = scene_collidable_oi_of(n);
        auto p = __props(o);
        EXPECT_FALSE(p["game_actor_type"].empty() || p["game_actor_name"].empty()) << OI_get_name(o);
    }
    EXPECT_GT(sc->collidable_oisno, 90u);
}

TEST_F(VornScene, LaunchPadPointsLieWhereTheAttackersShouldStart)
{
    object_instance *pad = oi("launch_pad");
    ASSERT_NE(pad, nullptr);
    EXPECT_FALSE(OI_is_collidable(pad));
    uint32_t nv = 0;
    tacka3 *v = object_get_vertices(OI_get_object(pad), &nv);
    EXPECT_GE(nv, 200u);
    const float *m = OI_get_matrix_ws(pad);
    float lo = 1e9f, hi = 0;
    std::set<long> spread;
    for (uint32_t i = 0; i < nv; i++) {
        tacka3 p = {v[i].x * m[0] + v[i].y * m[4] + v[i].z * m[8] + m[12],
                    v[i].x * m[1] + v[i].y * m[5] + v[i].z * m[9] + m[13],
                    v[i].x * m[2] + v[i].y * m[6] + v[i].z * m[10] + m[14]};
        float d = tacka3_length(p);
        lo = std::fmin(lo, d), hi = std::fmax(hi, d);
        spread.insert(std::lround(p.y / 10) * 1000 + std::lround(p.z / 10));
    }
    // Beyond the sentinels' reach of the station, within the power field and
    // a shot's range (396) of the station's rim; at 5.5 to 6.8 units per
    // second an attacker takes about a minute.
    EXPECT_GT(lo, 150.0f + LAYOUT_SENTINEL_RING);
    EXPECT_LT(hi, 500.0f);
    EXPECT_GT(spread.size(), 40u); // varied start points
}

TEST_F(VornScene, SkyBoxOfSixFaces)
{
    std::set<std::string> textures;
    for (const char *n : {"left", "right", "back", "front", "bottom", "top"}) {
        object_instance *o = oi(n);
        ASSERT_NE(o, nullptr) << n;
        ASSERT_TRUE(OI_has_material(o)) << n;
        textures.insert(material_get_diffuse_texture_file_name(OI_get_material(o)));
        EXPECT_TRUE(OI_get_desc(o)->not_hw_lit) << n;
        // Faces far out, inside the cameras' far plane.
        float r = object_get_bounding_sphere_radius(OI_get_object(o));
        EXPECT_GT(r, 1000.0f);
        EXPECT_LT(r * 1.8f, 20000.0f);
    }
    EXPECT_EQ(textures.size(), 6u);
}

TEST_F(VornScene, TitleCinematicFliesPastTheStationAndTheField)
{
    object_instance *root = oi("cinema_BOL_ROOT");
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(OI_has_object(root));
    EXPECT_TRUE(OI_get_desc(root)->invisible);
    object_instance *cam = oi("cinema_Camera01");
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(OI_get_parent(cam), root);
    camera *c = scene_get_camera(sc, "cinema_Camera01");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(camera_get_source_oi(c), cam);
    motion *m = scene_get_motion(sc, "cinema_BOL_ROOT", nullptr);
    ASSERT_NE(m, nullptr);
    float len = motion_get_length(m);
    EXPECT_GE(len, 12.0f);
    EXPECT_LE(len, 20.0f);
    tacka3 pad = OI_get_position_ws(oi("launch_pad"));
    float near_station = 1e9f, near_pad = 1e9f, top_speed = 0;
    tacka3 prev;
    motion_get_position(m, &prev, 0);
    for (float t = 0.1f; t <= len; t += 0.1f) {
        tacka3 p;
        motion_get_position(m, &p, t);
        near_station = std::fmin(near_station, tacka3_length(p));
        near_pad = std::fmin(near_pad, tacka3_distance(p, pad));
        top_speed = std::fmax(top_speed, tacka3_distance(p, prev) / 0.1f);
        prev = p;
        // The fighter's nose leads: local -x along the flight.
        quaternion q;
        motion_get_rotation(m, &q, t);
        tacka3 nose = quaternion_rotate(q, {-1, 0, 0});
        tacka3 ahead;
        motion_get_position(m, &ahead, std::fmin(len, t + 0.2f));
        tacka3 d = tacka3_sub(ahead, p);
        if (tacka3_length(d) > 1) {
            EXPECT_GT(tacka3_dot(nose, tacka3_normalize(d)), 0.7f) << "at " << t;
        }
    }
    EXPECT_LT(near_station, 110.0f);
    // Neither the fighter nor the camera it carries passes through anything
    // drawn (the pad's ring is flown through, clear of its girders).
    tacka3 cam_local = quaternion_rotate(quaternion_conjugate(OI_get_rotation_ws(root)),
                                         tacka3_sub(OI_get_position_ws(cam), OI_get_position_ws(root)));
    std::vector<std::pair<tacka3, float>> spheres;
    dlist_for_each(n, &sc->ois)
    {
        object_instance *o = scene_oi_of(n);
        const char *name = OI_get_name(o);
        if (!OI_has_object(o) || o == root || OI_get_desc(o)->invisible || OI_get_desc(o)->not_hw_lit ||
            !std::strcmp(name, "launch_pad"))
            continue;
        OI_calc_bounding_volumes(o);
        tacka3 c;
        float r;
        OI_get_bounding_sphere(o, &c, &r);
        spheres.push_back({c, r});
    }
    ASSERT_GT(spheres.size(), 150u);
    for (float t = 0; t <= len; t += 0.05f) {
        tacka3 p;
        quaternion q;
        motion_get_position(m, &p, t);
        motion_get_rotation(m, &q, t);
        tacka3 eye = tacka3_add(p, quaternion_rotate(q, cam_local));
        for (const auto &[c, r] : spheres) {
            ASSERT_GT(tacka3_distance(p, c), r + 3.0f) << "the fighter at " << t << " s";
            ASSERT_GT(tacka3_distance(eye, c), r + 1.0f) << "the camera at " << t << " s";
        }
    }
    // Coordinated turns: in a turn the fighter's top leans towards the turn's
    // centre (its up axis has a positive share of the sideways acceleration).
    int banked = 0, turns = 0;
    for (float t = 1.0f; t + 1.0f <= len; t += 0.25f) {
        tacka3 a, b, c;
        motion_get_position(m, &a, t - 0.5f);
        motion_get_position(m, &b, t);
        motion_get_position(m, &c, t + 0.5f);
        tacka3 v = tacka3_normalize(tacka3_sub(c, a));
        tacka3 acc = tacka3_sub(tacka3_add(a, c), tacka3_scale(b, 2));
        acc = tacka3_sub(acc, tacka3_scale(v, tacka3_dot(acc, v)));
        acc.y = 0;
        if (tacka3_length(acc) < 0.4f) continue; // nearly straight
        quaternion q;
        motion_get_rotation(m, &q, t);
        turns++;
        if (tacka3_dot(quaternion_rotate(q, {0, 1, 0}), tacka3_normalize(acc)) > 0.05f) banked++;
    }
    EXPECT_GT(turns, 5);
    EXPECT_GE(banked, turns * 8 / 10) << banked << " of " << turns << " turns banked the right way";
    // Through the pad's ring: within a third of its radius of its centre.
    EXPECT_LT(near_pad, LAYOUT_PAD_RADIUS / 3);
    EXPECT_LT(top_speed, 90.0f);
    // Collision-free: it must not fly through the station's hull.
    EXPECT_GT(near_station, 55.0f);
}

TEST_F(VornScene, MaterialsUseEveryRenderingPath)
{
    bool diffuse_only = false, bump24_spec = false, bump32 = false, bump_no_spec = false, gloss = false,
         selfillum = false, detail = false, reflection = false, solid = false, composite = false;
    dlist_for_each(n, &sc->materials)
    {
        material *m = scene_material_of(n);
        if (m->material_kind == MATERIAL_KIND_COMPOSITE) {
            composite = m->submat_no >= 2;
            for (uint32_t i = 0; i < m->submat_no; i++) {
                material *s = material_get_submat(m, i);
                ASSERT_NE(s, nullptr);
                EXPECT_TRUE(material_has_texture_file_name(s, MAT_SLOT_OPACITY)) << material_get_name(s);
            }
            continue;
        }
        bool any = false;
        for (int s = 0; s < MAT_SLOTS; s++) any = any || material_has_texture_file_name(m, s);
        if (!any) {
            solid = true;
            continue;
        }
        bool has[MAT_SLOTS];
        for (int s = 0; s < MAT_SLOTS; s++) has[s] = material_has_texture_file_name(m, s);
        if (has[MAT_SLOT_BUMP]) {
            // Loaded without a renderer: the decoded normal map is at hand.
            int w, h, bpp = 0;
            ASSERT_TRUE(material_has_texture(m, MAT_SLOT_BUMP));
            unitexture_get_data(material_get_texture(m, MAT_SLOT_BUMP), &w, &h, &bpp);
            float spec = m->colors[2].x + m->colors[2].y + m->colors[2].z;
            if (spec < 1.0f)
                bump_no_spec = true;
            else if (bpp == 24)
                bump24_spec = true;
            else if (bpp == 32)
                bump32 = true;
        }
        int maps = 0;
        for (int s = 0; s < MAT_SLOTS; s++) maps += has[s];
        diffuse_only = diffuse_only || (has[MAT_SLOT_DIFFUSE] && maps == 1);
        gloss = gloss || has[MAT_SLOT_SPECULAR];
        selfillum = selfillum || has[MAT_SLOT_SELFILLUMINATION];
        detail = detail || has[MAT_SLOT_DETAIL];
        reflection = reflection || has[MAT_SLOT_REFLECTION];
        // Every texture a material names is a power of two on each side.
        for (int s = 0; s < MAT_SLOTS; s++) {
            if (!has[s]) continue;
            int w = 0, h = 0, bpp = 0;
            ASSERT_TRUE(material_has_texture(m, s)) << material_get_name(m);
            unitexture_get_data(material_get_texture(m, s), &w, &h, &bpp);
            EXPECT_TRUE(w >= 2 && (w & (w - 1)) == 0 && h >= 2 && (h & (h - 1)) == 0) << material_get_name(m);
        }
    }
    EXPECT_TRUE(diffuse_only);
    EXPECT_TRUE(bump24_spec);
    EXPECT_TRUE(bump32);
    EXPECT_TRUE(bump_no_spec);
    EXPECT_TRUE(gloss);
    EXPECT_TRUE(selfillum);
    EXPECT_TRUE(detail);
    EXPECT_TRUE(reflection);
    EXPECT_TRUE(solid);
    EXPECT_TRUE(composite);
    // Bump-mapped objects carry their tangent space; detail maps their second channel.
    dlist_for_each(n, &sc->ois)
    {
        object_instance *o = scene_oi_of(n);
        if (!OI_has_object(o) || !OI_has_material(o)) continue;
        material *m = OI_get_material(o);
        if (m->material_kind != MATERIAL_KIND_STANDARD) continue;
        if (material_has_texture_file_name(m, MAT_SLOT_BUMP)) {
            EXPECT_TRUE(object_has_tangent_space(OI_get_object(o)));
        }
        for (int s = 0; s < MAT_SLOTS; s++) {
            if (!material_has_texture_file_name(m, s)) continue;
            EXPECT_LT(uint32_t(material_get_texture_uv_channel_no(m, s)), object_get_tvertexs_chns_no(OI_get_object(o)))
                << OI_get_name(o);
        }
    }
}

TEST_F(VornScene, AFewLightsCarriedByInstances)
{
    uint32_t n = scene_get_lights_no(sc);
    EXPECT_GE(n, 2u);
    EXPECT_LE(n, 4u);
    for (uint32_t i = 0; i < n; i++) {
        light *l = scene_get_light(sc, i);
        ASSERT_NE(l, nullptr);
        EXPECT_NE(oi(light_get_name(l)), nullptr) << light_get_name(l);
    }
}

// Two builds give the same bytes, quickly.
class VornSceneBuild : public TempDirTest {};

TEST_F(VornSceneBuild, TwoBuildsWriteTheSameBytes)
{
    std::string bytes[2];
    for (int run = 0; run < 2; run++) {
        data_ctx ctx;
        ctx.out_dir = dir + "/run" + std::to_string(run) + "/";
        ctx.quiet = true;
        fs::create_directories(ctx.out_dir);
        auto t0 = std::chrono::steady_clock::now();
        ASSERT_TRUE(data_gen_scene(ctx));
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 10.0);
        bytes[run] = test_read_file(ctx.out_dir + "vorn.quox2");
        EXPECT_EQ(ctx.files, 1);
        EXPECT_TRUE(ctx.sheets.empty()); // no preview folder, no pictures
    }
    EXPECT_GT(bytes[0].size(), 100000u);
    EXPECT_TRUE(bytes[0] == bytes[1]);
}
