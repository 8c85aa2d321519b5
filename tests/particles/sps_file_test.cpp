#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "particles/sps_file.h"
#include "particles_test_util.h"
#include "scene/material.h"
#include "scene/object_instance.h"
#include "test_support.h"

namespace {

spsquox2_keyframe key(float t, float r, float g, float b, float a, float spin = 0, tacka3 v = {0, 0, 0},
                      tacka2 size = {1, 1})
{
    spsquox2_keyframe k{};
    k.time = t;
    k.velocity = v;
    k.size = size;
    k.spin = spin;
    k.color[0] = r, k.color[1] = g, k.color[2] = b, k.color[3] = a;
    return k;
}

spsquox2_data params()
{
    spsquox2_data d{};
    d.duration = 0.8f;
    d.population = 150;
    d.position = {1, 2, 3};
    d.velocity = {0, 0.5f, 0};
    d.kind = 0;
    d.unbound = 0;
    d.coverage = 0;
    d.follow = 0;
    d.life_min = 0.5f;
    d.life_max = 1.5f;
    d.random_angle = 1;
    d.align = 1;
    d.size_spread = {0.25f, 0.5f};
    d.velocity_spread = {1, 2, 3};
    d.spin_spread = 90;
    d.burst = 40;
    d.time_scale = 1.5f;
    return d;
}

// A complete system record: three keyframes, bound to "rock".
spsquox2 *sample_system(const char *name = "flash")
{
    spsquox2 *d = spsquox2_init();
    spsquox2_copy_name(d, name);
    spsquox2_copy_texture(d, "C:\\art\\particles\\flash.tga");
    spsquox2_copy_object(d, "rock");
    spsquox2_data p = params();
    spsquox2_set_data(d, &p);
    spsquox2_keyframe k0 = key(0, 1, 0.5f, 0, 1, 180, {0, 0, 0}, {1, 1});
    spsquox2_keyframe k1 = key(0.4f, 1, 0.25f, 0, 0.5f, 90, {0, 1, 0}, {2, 2});
    spsquox2_keyframe k2 = key(1, 0.2f, 0.2f, 0.2f, 0, 0, {0, 2, 0}, {4, 3});
    spsquox2_add_keyframe(d, &k0);
    spsquox2_add_keyframe(d, &k1);
    spsquox2_add_keyframe(d, &k2);
    return d;
}

// Chunk building for hand-made files.
std::string header(const char *magic)
{
    std::string h(magic, 4);
    h.append(8, '\x7f'); // bytes the reader does not examine
    return h;
}
std::string chunk(const char *id, const std::string &payload, int64_t claimed = -1)
{
    std::string c(id, 5);
    c.append(3, '\0');
    uint32_t n = claimed < 0 ? uint32_t(payload.size()) : uint32_t(claimed);
    c.append(reinterpret_cast<const char *>(&n), 4);
    return c + payload;
}
std::string text(const char *s) { return std::string(s, strlen(s) + 1); }
std::string raw(const void *p, size_t n) { return std::string(static_cast<const char *>(p), n); }

// A valid system file assembled by hand, with the given parameter record and keyframes.
std::string system_bytes(const spsquox2_data &p, int keys = 2, const char *magic = "SPS")
{
    std::string f = header(magic) + chunk("#NAME", text("hand")) + chunk("#DATA", raw(&p, sizeof(p)));
    for (int i = 0; i < keys; i++) {
        spsquox2_keyframe k = key(float(i) / float(keys > 1 ? keys - 1 : 1), 1, 1, 1, 1);
        f += chunk("#KEYF", raw(&k, sizeof(k)));
    }
    return f;
}

class SpsFileTest : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        particles_test_seed();
    }
    // Loads the bytes as a system file; returns the log when it was refused.
    bool load_system(const std::string &bytes, std::string *log = nullptr, const char *name = "bad.spsquox2")
    {
        std::string p = path(name);
        test_write_file(p, bytes);
        spsquox2 *d = spsquox2_init();
        ::testing::internal::CaptureStderr();
        bool ok = spsquox2_load_system_from_file(p.c_str(), d);
        std::string err = ::testing::internal::GetCapturedStderr();
        if (!ok) {
            EXPECT_EQ(d->name, nullptr); // nothing kept of a refused file
            EXPECT_EQ(d->keyframes->get_size(), 0u);
            EXPECT_FALSE(d->has_data);
        }
        spsquox2_deinit(d);
        if (log) *log = err;
        return ok;
    }
};

} // namespace

// ---------------------------------------------------------------- round trips

TEST_F(SpsFileTest, SystemRoundTripKeepsEveryField)
{
    spsquox2 *d = sample_system();
    EXPECT_STREQ(d->texture, "flash.tga"); // directory and drive dropped
    std::string p = path("flash.spsquox2");
    ASSERT_TRUE(spsquox2_save_system_to_file(p.c_str(), d));
    std::string bytes = test_read_file(p);
    EXPECT_EQ(bytes.substr(0, 4), std::string("SPS\0", 4));

    spsquox2 *back = spsquox2_init();
    ASSERT_TRUE(spsquox2_load_system_from_file(p.c_str(), back));
    EXPECT_STREQ(back->name, "flash");
    EXPECT_STREQ(back->texture, "flash.tga");
    EXPECT_STREQ(back->object, "rock");
    ASSERT_TRUE(back->has_data);
    // Byte for byte: the file keeps every bit of every float.
    EXPECT_EQ(std::memcmp(&back->data, &d->data, sizeof(d->data)), 0); // NOLINT(bugprone-suspicious-memory-comparison)
    ASSERT_EQ(back->keyframes->get_size(), 3u);
    EXPECT_EQ(std::memcmp(back->keyframes->data, d->keyframes->data, // NOLINT(bugprone-suspicious-memory-comparison)
                          3 * sizeof(spsquox2_keyframe)),
              0);

    // Loading again replaces, never appends.
    ASSERT_TRUE(spsquox2_load_system_from_file(p.c_str(), back));
    EXPECT_EQ(back->keyframes->get_size(), 3u);
    spsquox2_deinit(back);
    spsquox2_deinit(d);
}

TEST_F(SpsFileTest, ReaderSkipsUnknownChunksAndTakesShortTextsAndData)
{
    spsquox2_data p = params();
    std::string f = header("SPS") + chunk("#WHAT", std::string(7, 'x')) +
                    chunk("#TEXT", std::string("D:\\a/b\\smoke.tga")) + // no terminating zero
                    chunk("#DATA", raw(&p, SPSQUOX2_DATA_USED));
    for (int i = 0; i < 2; i++) {
        spsquox2_keyframe k = key(float(i), 1, 1, 1, 1);
        f += chunk("#KEYF", raw(&k, sizeof(k)));
    }
    std::string pth = path("ok.spsquox2");
    test_write_file(pth, f);
    spsquox2 *d = spsquox2_init();
    ASSERT_TRUE(spsquox2_load_system_from_file(pth.c_str(), d));
    EXPECT_STREQ(d->texture, "smoke.tga");
    EXPECT_EQ(d->name, nullptr);
    EXPECT_FLOAT_EQ(d->data.burst, 40.0f);
    EXPECT_EQ(d->data.reserved[0], 0);
    spsquox2_deinit(d);
}

TEST_F(SpsFileTest, ComposerRoundTripCompilesAndRunsEverySystem)
{
    // Three system files beside the composer, stored with foreign folders.
    const char *names[3] = {"fire", "smoke", "sparks"};
    for (const char *n : names) {
        spsquox2 *d = sample_system(n);
        spsquox2_data p = d->data;
        if (!strcmp(n, "smoke")) {
            p.kind = 1;
            p.coverage = 1;
            p.follow = 1;
        }
        if (!strcmp(n, "sparks")) p.unbound = 1;
        spsquox2_set_data(d, &p);
        ASSERT_TRUE(spsquox2_save_system_to_file(path(std::string(n) + ".spsquox2").c_str(), d));
        spsquox2_deinit(d);
    }
    spcquox2 *c = spcquox2_init();
    spcquox2_copy_name(c, "boom");
    spcquox2_add_system(c, "particles\\boom\\fire.spsquox2");
    spcquox2_add_system(c, "C:\\elsewhere\\smoke.spsquox2");
    spcquox2_add_system(c, "sparks.spsquox2");
    std::string cp = path("boom.spcquox2");
    ASSERT_TRUE(spcquox2_save_composer_to_file(cp.c_str(), c));
    spcquox2_deinit(c);

    spcquox2 *back = spcquox2_init();
    ASSERT_TRUE(spcquox2_load_composer_from_file(cp.c_str(), back));
    EXPECT_STREQ(back->name, "boom");
    EXPECT_EQ(std::string(back->path), dir + "/");
    ASSERT_EQ(spcquox2_get_systems_no(back), 3u);
    EXPECT_STREQ((*back->elements)[1].system_filename, "C:\\elsewhere\\smoke.spsquox2"); // as stored

    scene *sc = scene_init();
    object_instance *rock = OI_init();
    OI_copy_name(rock, "rock");
    scene_add_oi(sc, rock);
    sps_manager *mgr = sps_manager_init();
    ASSERT_TRUE(spcquox2_compile(back, sc, mgr));
    EXPECT_EQ(sps_manager_get_systems_no(mgr), 3u);
    EXPECT_EQ(back->mgr, mgr);

    // Compiled systems match their files.
    sps *fire = (*back->elements)[0].sys;
    ASSERT_NE(fire, nullptr);
    EXPECT_EQ(std::string(sps_get_name(fire)).rfind("fire_", 0), 0u);
    EXPECT_EQ(fire->population, 200u);
    EXPECT_FLOAT_EQ(fire->burst_factor, 40.0f);
    EXPECT_FLOAT_EQ(fire->duration, 0.8f);
    EXPECT_FLOAT_EQ(fire->time_scale, 1.5f);
    EXPECT_FLOAT_EQ(fire->life_span_min, 0.5f);
    EXPECT_FLOAT_EQ(fire->life_span_max, 1.5f);
    EXPECT_FLOAT_EQ(fire->velocity_spread.z, 3.0f);
    EXPECT_FLOAT_EQ(fire->size_spread.y, 0.5f);
    EXPECT_FLOAT_EQ(fire->system_velocity.y, 0.5f);
    EXPECT_FLOAT_EQ(fire->position.z, 3.0f);
    EXPECT_NEAR(fire->spin_spread, float(M_PI / 2), 1e-6);
    EXPECT_TRUE(fire->random_start_angle);
    EXPECT_TRUE(fire->align);
    EXPECT_EQ(fire->type, SPS_TYPE_POINT);
    EXPECT_EQ(fire->linked, rock);
    EXPECT_FALSE(fire->flags & SPS_FLAG_AT_ORIGIN);
    EXPECT_EQ(fire->display_priority, 7);
    EXPECT_EQ(fire->blend_dst, SPS_BLEND_ONE_MINUS_SRC_ALPHA);
    ASSERT_TRUE(sps_has_color_keyframes(fire) && sps_has_velocity_keyframes(fire) && sps_has_rotation_keyframes(fire) &&
                sps_has_size_keyframes(fire));
    ASSERT_EQ(fire->color_keys->get_size(), 3u);
    // Colours: 1.0 -> 255, 0.5 -> 127, 0.25 -> 63, 0.2 -> 51.
    EXPECT_EQ((*fire->color_keys)[0].r, 255);
    EXPECT_EQ((*fire->color_keys)[0].g, 127);
    EXPECT_EQ((*fire->color_keys)[1].g, 63);
    EXPECT_EQ((*fire->color_keys)[1].a, 127);
    EXPECT_EQ((*fire->color_keys)[2].b, 51);
    EXPECT_FLOAT_EQ((*fire->color_keys)[1].time, 0.4f);
    EXPECT_NEAR((*fire->rotation_keys)[0].value, float(M_PI), 1e-6); // 180 degrees
    EXPECT_FLOAT_EQ((*fire->velocity_keys)[2].value.y, 2.0f);
    EXPECT_FLOAT_EQ((*fire->size_keys)[2].value.x, 4.0f);
    EXPECT_STREQ(material_get_diffuse_texture_file_name(fire->mat), "flash.tga");

    sps *smoke = (*back->elements)[1].sys;
    EXPECT_EQ(smoke->type, SPS_TYPE_COVERAGE);
    EXPECT_TRUE(smoke->flags & SPS_FLAG_COVERAGE_BOUNDARIES);
    EXPECT_TRUE(smoke->flags & SPS_FLAG_AT_ORIGIN);
    sps *sparks = (*back->elements)[2].sys;
    EXPECT_EQ(sparks->linked, nullptr);

    // Starting, running, moving.
    EXPECT_FALSE(spcquox2_is_active(back));
    spcquox2_set_position(back, tacka3{5, 6, 7});
    EXPECT_FLOAT_EQ(sparks->position.x, 5.0f);
    spcquox2_start(back);
    EXPECT_TRUE(spcquox2_is_active(back));
    EXPECT_TRUE(sparks->burst_on);
    for (int i = 0; i < 10; i++) sps_manager_update(mgr, 0.1f, nullptr);
    EXPECT_GT(sparks->num_active_particles, 0u);
    EXPECT_GT(sparks->vertexsno, 0u);
    // 0.8 s of emission, at most 1.5 s of life (time scale 1.5): over well within 3 s.
    for (int i = 0; i < 30; i++) sps_manager_update(mgr, 0.1f, nullptr);
    EXPECT_FALSE(spcquox2_is_active(back));

    spcquox2_deinit(back);
    sps_manager_deinit(mgr);
    scene_deinit(sc);
}

TEST_F(SpsFileTest, ComposerWithAMissingSystemStopsCompiling)
{
    spsquox2 *d = sample_system("one");
    ASSERT_TRUE(spsquox2_save_system_to_file(path("one.spsquox2").c_str(), d));
    spsquox2_deinit(d);
    spcquox2 *c = spcquox2_init();
    spcquox2_add_system(c, "one.spsquox2");
    spcquox2_add_system(c, "missing.spsquox2");
    spcquox2_add_system(c, "one.spsquox2");
    ASSERT_TRUE(spcquox2_save_composer_to_file(path("c.spcquox2").c_str(), c));
    spcquox2_deinit(c);

    spcquox2 *back = spcquox2_init();
    ASSERT_TRUE(spcquox2_load_composer_from_file(path("c.spcquox2").c_str(), back));
    scene *sc = scene_init();
    sps_manager *mgr = sps_manager_init();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(spcquox2_compile(back, sc, mgr));
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("missing.spsquox2"), std::string::npos) << err;
    EXPECT_EQ(sps_manager_get_systems_no(mgr), 1u);
    EXPECT_NE((*back->elements)[0].sys, nullptr);
    EXPECT_EQ((*back->elements)[2].sys, nullptr);
    spcquox2_start(back); // the compiled part still runs
    EXPECT_TRUE(spcquox2_is_active(back));
    spcquox2_deinit(back);
    sps_manager_deinit(mgr);
    scene_deinit(sc);
}

// ---------------------------------------------------------------- bad input

TEST_F(SpsFileTest, BadSystemFilesAreRefusedNamingTheFile)
{
    spsquox2_data good = params();
    ASSERT_TRUE(load_system(system_bytes(good)));

    struct bad_case {
        const char *what;
        std::string bytes;
        const char *expect;
    };
    std::vector<bad_case> cases;
    cases.push_back({"composer magic", system_bytes(good, 2, "SPC"),
                     "spsquox2_open_file(): QUOX MAGIC BAD, possibly not a SPSQUOX2 file!"});
    cases.push_back({"scene magic", system_bytes(good, 2, "QUOX"), "QUOX MAGIC BAD"});
    cases.push_back({"short header", std::string("SPS\0\0", 5), "spsquox2_open_file(): _read("});
    cases.push_back({"empty", std::string(), "spsquox2_open_file(): _read("});
    cases.push_back({"short chunk header", system_bytes(good) + std::string("#KEY", 4), "cut short"});
    cases.push_back({"chunk past the end", system_bytes(good) + chunk("#NAME", "ab", 1000), "claims 1000 bytes"});
    cases.push_back({"huge chunk size", system_bytes(good) + chunk("#KEYF", "", 0xffffffffu), "claims"});
    {
        spsquox2_keyframe k = key(0.5f, 1, 1, 1, 1);
        cases.push_back(
            {"keyframe 40 bytes", system_bytes(good) + chunk("#KEYF", raw(&k, 40)), "\"#KEYF\" chunk not 48"});
        cases.push_back({"keyframe 52 bytes", system_bytes(good) + chunk("#KEYF", raw(&k, 48) + "abcd"), "not 48"});
    }
    cases.push_back({"data over 184", system_bytes(good) + chunk("#DATA", std::string(188, '\0')), "larger than 184"});
    cases.push_back({"data too short", header("SPS") + chunk("#DATA", std::string(60, '\0')), "shorter"});
    cases.push_back({"no data", header("SPS") + chunk("#NAME", text("x")), "no \"#DATA\""});
    auto with = [&](auto change) {
        spsquox2_data p = good;
        change(p);
        return system_bytes(p);
    };
    cases.push_back({"population 0.5", with([](spsquox2_data &p) { p.population = 0.5f; }), "population below 1"});
    cases.push_back({"population NaN", with([](spsquox2_data &p) { p.population = NAN; }), "population below 1"});
    cases.push_back({"kind 2", with([](spsquox2_data &p) { p.kind = 2; }), "unknown kind"});
    cases.push_back({"kind -1", with([](spsquox2_data &p) { p.kind = -1; }), "unknown kind"});
    cases.push_back({"coverage 2", with([](spsquox2_data &p) {
                         p.kind = 1;
                         p.coverage = 2;
                     }),
                     "unknown coverage mode"});
    cases.push_back({"infinite position", with([](spsquox2_data &p) { p.position.y = INFINITY; }), "finite"});
    cases.push_back({"NaN spin spread", with([](spsquox2_data &p) { p.spin_spread = NAN; }), "finite"});
    cases.push_back({"burst 0", with([](spsquox2_data &p) { p.burst = 0; }), "burst factor"});
    cases.push_back({"life max below min", with([](spsquox2_data &p) { p.life_max = 0.1f; }), "life span"});
    // Finite values whose products overflow: a burst of 1e9 (the emission
    // step vanished in the float credit), sizes and speeds of 3e38.
    cases.push_back({"burst 1e9", with([](spsquox2_data &p) { p.burst = 1e9f; }), "burst factor above"});
    cases.push_back({"burst 2.7e20", with([](spsquox2_data &p) { p.burst = 2.7e20f; }), "burst factor above"});
    cases.push_back({"life 1e30", with([](spsquox2_data &p) { p.life_max = 1e30f; }), "life span above"});
    cases.push_back({"time scale 1e30", with([](spsquox2_data &p) { p.time_scale = 1e30f; }), "time scale above"});
    cases.push_back({"velocity 3e38", with([](spsquox2_data &p) { p.velocity.z = -3e38f; }), "beyond 1e6"});
    cases.push_back({"size spread 3e38", with([](spsquox2_data &p) { p.size_spread.y = 3e38f; }), "beyond 1e6"});
    cases.push_back({"spin spread 1e20", with([](spsquox2_data &p) { p.spin_spread = 1e20f; }), "beyond 1e6"});
    {
        spsquox2_keyframe a = key(0, 1, 1, 1, 1), b = key(1, 1, 1, 1, 1, 0, {0, 0, 0}, {3e38f, 1});
        cases.push_back({"key size 3e38",
                         system_bytes(good, 0) + chunk("#KEYF", raw(&a, 48)) + chunk("#KEYF", raw(&b, 48)),
                         "keyframe velocity, size or spin beyond"});
        spsquox2_keyframe v = key(1, 1, 1, 1, 1, 0, {2e7f, 0, 0});
        cases.push_back({"key velocity 2e7",
                         system_bytes(good, 0) + chunk("#KEYF", raw(&a, 48)) + chunk("#KEYF", raw(&v, 48)),
                         "beyond 1e6"});
    }
    cases.push_back({"one keyframe", system_bytes(good, 1), "fewer than two keyframes"});
    cases.push_back({"no keyframes", system_bytes(good, 0), "fewer than two keyframes"});
    {
        spsquox2_keyframe a = key(0.8f, 1, 1, 1, 1), b = key(0.2f, 1, 1, 1, 1);
        cases.push_back({"falling times",
                         system_bytes(good, 0) + chunk("#KEYF", raw(&a, 48)) + chunk("#KEYF", raw(&b, 48)),
                         "do not rise"});
        spsquox2_keyframe n = key(1.0f, NAN, 1, 1, 1);
        cases.push_back({"NaN colour", system_bytes(good, 1) + chunk("#KEYF", raw(&n, 48)), "keyframe value"});
    }

    for (const bad_case &c : cases) {
        std::string log;
        EXPECT_FALSE(load_system(c.bytes, &log, "bad.spsquox2")) << c.what;
        EXPECT_NE(log.find(c.expect), std::string::npos) << c.what << ": " << log;
        EXPECT_NE(log.find("bad.spsquox2"), std::string::npos) << c.what << " does not name the file: " << log;
    }

    std::string log;
    spsquox2 *d = spsquox2_init();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(spsquox2_load_system_from_file(path("nowhere.spsquox2").c_str(), d));
    log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("quox2_open_file(): _open("), std::string::npos) << log;
    EXPECT_NE(log.find("nowhere.spsquox2"), std::string::npos) << log;
    // A folder is not a file.
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(spsquox2_load_system_from_file(dir.c_str(), d));
    ::testing::internal::GetCapturedStderr();
    spsquox2_deinit(d);
}

// Found by fuzzing: keys at times 0 and 6.7e-44 made the fraction between
// them infinite, and the quads of the compiled system were not finite (the
// quad builder's fault report ended the program).
TEST_F(SpsFileTest, KeysATinySpanApartGiveFiniteQuads)
{
    spsquox2_data p = params();
    p.unbound = 1;
    p.random_angle = 0;
    spsquox2_keyframe a = key(0, 1, 1, 1, 1, 10, {0, 0, 0}, {1, 1});
    spsquox2_keyframe b = key(6.7e-44f, 1, 1, 1, 1, 20, {0, 5, 0}, {3, 3});
    std::string bytes = system_bytes(p, 0) + chunk("#KEYF", raw(&a, 48)) + chunk("#KEYF", raw(&b, 48));
    std::string file = path("tiny.spsquox2");
    test_write_file(file, bytes);
    spsquox2 *d = spsquox2_init();
    ASSERT_TRUE(spsquox2_load_system_from_file(file.c_str(), d));
    scene *sc = scene_init();
    sps_manager *mgr = sps_manager_init();
    sps *s = spsquox2_compile_system(d, sc, mgr);
    ASSERT_NE(s, nullptr);
    sps_activate(s, false);
    sps_start_burst(s);
    uint32_t quads = 0;
    for (int f = 0; f < 30; f++) {
        sps_manager_update(mgr, 0.04f, nullptr);
        quads += s->vertexsno / 6;
        for (uint32_t v = 0; v < s->vertexsno; v++) EXPECT_TRUE(tacka3_is_finite(s->vertexs[v])) << f << " " << v;
        // Past the last key every size is the last key's.
        for (uint32_t i = 0; i < s->population; i++)
            if (s->particles[i].alive) {
                EXPECT_LE(std::fabs(s->particles[i].size.x), 3.0f + p.size_spread.x + 1e-4f);
            }
    }
    EXPECT_GT(quads, 0u);
    sps_manager_deinit(mgr);
    scene_deinit(sc);
    spsquox2_deinit(d);
}

// Found by fuzzing: names over 10,000 characters were quoted whole in the
// messages of compiling (and paths made of them in the loader's), and the
// logger ended the program.
TEST_F(SpsFileTest, HugeNamesAreQuotedCut)
{
    const std::string huge(20000, 'q');
    spsquox2_data p = params();
    std::string bytes = header("SPS") + chunk("#NAME", text(huge.c_str())) + chunk("#OBJE", text(huge.c_str())) +
                        system_bytes(p).substr(SPSQUOX2_HEADER_SIZE);
    std::string file = path("huge.spsquox2");
    test_write_file(file, bytes);
    spsquox2 *d = spsquox2_init();
    ASSERT_TRUE(spsquox2_load_system_from_file(file.c_str(), d));
    spsquox2_copy_name(d, huge.c_str());
    scene *sc = scene_init();
    sps_manager *mgr = sps_manager_init();
    ::testing::internal::CaptureStderr();
    sps *s = spsquox2_compile_system(d, sc, mgr);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(s, nullptr);
    EXPECT_NE(err.find("not in the scene"), std::string::npos) << err.substr(0, 600);
    EXPECT_NE(err.find(LOG_QUOTE_CUT), std::string::npos);
    EXPECT_LT(err.size(), 3000u);
    // A composer naming a system file of 20,000 characters.
    spcquox2 *c = spcquox2_init();
    spcquox2_add_system(c, huge.c_str());
    std::string cp = path("huge.spcquox2");
    ASSERT_TRUE(spcquox2_save_composer_to_file(cp.c_str(), c));
    spcquox2_deinit(c);
    c = spcquox2_init();
    ASSERT_TRUE(spcquox2_load_composer_from_file(cp.c_str(), c));
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(spcquox2_compile(c, sc, mgr));
    err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("_open("), std::string::npos) << err.substr(0, 600);
    EXPECT_NE(err.find(LOG_QUOTE_CUT), std::string::npos);
    spcquox2_deinit(c);
    sps_manager_deinit(mgr);
    scene_deinit(sc);
    spsquox2_deinit(d);
}

// Systems the particle file fuzzer found, loaded, compiled and run as the
// fuzz target does: a few game frames and a long stall. Every quad is finite.
static void run_like_the_fuzzer(const spsquox2 *d, float burst = 0)
{
    scene *sc = scene_init();
    sps_manager *mgr = sps_manager_init();
    sps *s = spsquox2_compile_system(d, sc, mgr);
    ASSERT_NE(s, nullptr);
    if (burst > 0) sps_set_burst_factor(s, burst); // past the reader's check
    sps_activate(s, false);
    sps_start_burst(s);
    for (int f = 0; f < 12; f++) {
        sps_manager_update(mgr, f == 10 ? 5.0f : 0.04f, nullptr);
        for (uint32_t v = 0; v < s->vertexsno; v++) ASSERT_TRUE(tacka3_is_finite(s->vertexs[v])) << f << " " << v;
    }
    sps_manager_deinit(mgr);
    scene_deinit(sc);
}

TEST_F(SpsFileTest, FuzzFoundSystemsGiveFiniteQuadsOrAreRefused)
{
    // A burst factor of 6.6e-41 (one particle every 1.5e40 seconds, an
    // infinite interval in floats), keys with sizes of 5.9e-39.
    spsquox2_data p = params();
    p.kind = 1;
    p.unbound = 196608;
    p.coverage = 1;
    p.follow = 1;
    p.life_min = 0.2f;
    p.life_max = 1.25f;
    p.size_spread = {0.1f, 0.2f};
    p.velocity_spread = {1, 1, 1};
    p.spin_spread = 44.75f;
    p.burst = 6.60067629e-41f;
    p.time_scale = 1;
    spsquox2_keyframe k[4] = {key(0, 0.5f, 1, 1, 1, 0, {0, 0, 0}, {1, 1}),
                              key(0.333f, 1, 1, 1, 0.66f, 90, {0, 1, 0}, {2, 1}),
                              key(0.667f, 1, 1, 1, 0.33f, 180, {0, 2, 0}, {5.87747175e-39f, 1}),
                              key(1.00000012f, 1, 1, 1, 2.3e-41f, -1.46701695e-34f, {0, 3, 0}, {4, 1.00000381f})};
    std::string bytes = system_bytes(p, 0);
    for (const spsquox2_keyframe &x : k) bytes += chunk("#KEYF", raw(&x, 48));
    std::string log;
    EXPECT_FALSE(load_system(bytes, &log)) << "a burst factor whose interval is infinite";
    EXPECT_NE(log.find("burst factor below"), std::string::npos) << log;
    // The same system with a usable burst factor runs with finite quads.
    p.burst = 40;
    bytes = system_bytes(p, 0);
    for (const spsquox2_keyframe &x : k) bytes += chunk("#KEYF", raw(&x, 48));
    std::string file = path("found.spsquox2");
    test_write_file(file, bytes);
    spsquox2 *d = spsquox2_init();
    ASSERT_TRUE(spsquox2_load_system_from_file(file.c_str(), d));
    run_like_the_fuzzer(d);
    // With the tiny factor set directly (past the reader) the interval is
    // infinite: the skip of late particles gave not-a-number ages and the
    // quads were not finite. Now no particle is due.
    run_like_the_fuzzer(d, 6.60067629e-41f);
    spsquox2_deinit(d);
}

TEST_F(SpsFileTest, EveryTruncationAndByteFlipIsSafe)
{
    spsquox2 *d = sample_system();
    std::string p = path("whole.spsquox2");
    ASSERT_TRUE(spsquox2_save_system_to_file(p.c_str(), d));
    spsquox2_deinit(d);
    const std::string whole = test_read_file(p);
    // Every cut is refused except the one right before the last keyframe
    // (two keyframes still make a system).
    const size_t last_key = whole.size() - SPSQUOX2_CHUNK_HEADER_SIZE - SPSQUOX2_KEYFRAME_SIZE;
    for (size_t n = 0; n < whole.size(); n++)
        EXPECT_EQ(load_system(whole.substr(0, n)), n == last_key) << "cut at " << n;
    // Flipping bytes may give a valid file or not, but never a crash or a read
    // out of bounds (the sanitizer builds watch this).
    uint32_t seed = 7;
    for (int round = 0; round < 150; round++) {
        std::string b = whole;
        for (int k = 0; k < 3; k++) {
            seed = seed * 1664525u + 1013904223u;
            b[(seed >> 8) % b.size()] ^= char(1u << ((seed >> 4) % 8));
        }
        load_system(b);
    }
}

TEST_F(SpsFileTest, BadComposerFilesAreRefused)
{
    struct bad_case {
        const char *what;
        std::string bytes;
        const char *expect;
    };
    const bad_case cases[] = {
        {"system magic", header("SPS") + chunk("#SYST", text("a.spsquox2")),
         "__spc_open_file(): QUOX MAGIC BAD, possibly not a SPCQUOX2 file!"},
        {"short header", std::string("SPC", 3), "__spc_open_file(): _read("},
        {"short chunk", header("SPC") + chunk("#SYST", text("a.spsquox2")) + "#SY",
         "spcquox2_load_composer_from_file(): _read("},
        {"past the end", header("SPC") + chunk("#SYST", "a", 99), "claims 99"},
        {"no systems", header("SPC") + chunk("#NAME", text("x")), "no \"#SYST\""},
        {"empty path", header("SPC") + chunk("#SYST", std::string(1, '\0')), "empty \"#SYST\""},
    };
    for (const bad_case &c : cases) {
        std::string p = path("bad.spcquox2");
        test_write_file(p, c.bytes);
        spcquox2 *comp = spcquox2_init();
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(spcquox2_load_composer_from_file(p.c_str(), comp)) << c.what;
        std::string log = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find(c.expect), std::string::npos) << c.what << ": " << log;
        EXPECT_NE(log.find("bad.spcquox2"), std::string::npos) << c.what << ": " << log;
        EXPECT_EQ(spcquox2_get_systems_no(comp), 0u);
        spcquox2_deinit(comp);
    }
    // Too many systems.
    std::string many = header("SPC");
    for (int i = 0; i < 65; i++) many += chunk("#SYST", text("a.spsquox2"));
    test_write_file(path("many.spcquox2"), many);
    spcquox2 *comp = spcquox2_init();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(spcquox2_load_composer_from_file(path("many.spcquox2").c_str(), comp));
    ::testing::internal::GetCapturedStderr();
    spcquox2_deinit(comp);
}

TEST_F(SpsFileTest, WriterRefusesWhatTheReaderWouldRefuse)
{
    spsquox2 *d = sample_system();
    d->keyframes->cur_elements = 1;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(spsquox2_save_system_to_file(path("x.spsquox2").c_str(), d));
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("fewer than two keyframes"), std::string::npos);
    EXPECT_FALSE(test_file_exists(path("x.spsquox2")));
    spsquox2_deinit(d);

    spcquox2 *c = spcquox2_init();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(spcquox2_save_composer_to_file(path("c.spcquox2").c_str(), c));
    ::testing::internal::GetCapturedStderr();
    spcquox2_deinit(c);
}

// ---------------------------------------------------------------- JSON

// What sps_file_dump_json() prints for the file.
static bool dump_json(const std::string &file, std::string *json)
{
    char *buf = nullptr;
    size_t len = 0;
    FILE *out = open_memstream(&buf, &len);
    bool ok = sps_file_dump_json(file.c_str(), out);
    fclose(out);
    json->assign(buf, len);
    free(buf);
    return ok;
}

TEST_F(SpsFileTest, JsonDumpOfBothKinds)
{
    spsquox2 *d = sample_system("say \"hi\"");
    std::string sp = path("s.spsquox2");
    ASSERT_TRUE(spsquox2_save_system_to_file(sp.c_str(), d));
    spsquox2_deinit(d);
    std::string j;
    ASSERT_TRUE(dump_json(sp, &j));
    EXPECT_NE(j.find("\"name\":\"say \\\"hi\\\"\""), std::string::npos) << j;
    EXPECT_NE(j.find("\"texture\":\"flash.tga\""), std::string::npos) << j;
    EXPECT_NE(j.find("\"object\":\"rock\""), std::string::npos) << j;
    EXPECT_NE(j.find("\"population\":150"), std::string::npos) << j;
    EXPECT_NE(j.find("\"position\":[1,2,3]"), std::string::npos) << j;
    EXPECT_NE(j.find("\"life\":[0.5,1.5]"), std::string::npos) << j;
    EXPECT_NE(j.find("\"blend\":[0,0]"), std::string::npos) << j;
    EXPECT_NE(j.find("\"keyframes\":[[0,0,0,0,1,1,180,1,0.5,0,1],[0.400000006"), std::string::npos) << j;
    for (const char *k : {"duration", "velocity", "kind", "bound", "coverage", "follow", "random_angle", "align",
                          "size_spread", "velocity_spread", "spin_spread", "burst", "time_scale"})
        EXPECT_NE(j.find(std::string("\"") + k + "\":"), std::string::npos) << k;

    spcquox2 *c = spcquox2_init();
    spcquox2_copy_name(c, "boom");
    spcquox2_add_system(c, "a\\b.spsquox2");
    spcquox2_add_system(c, "c.spsquox2");
    std::string cp = path("c.spcquox2");
    ASSERT_TRUE(spcquox2_save_composer_to_file(cp.c_str(), c));
    spcquox2_deinit(c);
    ASSERT_TRUE(dump_json(cp, &j));
    EXPECT_EQ(j, "{\"name\":\"boom\",\"systems\":[\"a\\\\b.spsquox2\",\"c.spsquox2\"]}\n");

    // Eight-bit names are escaped as the scene dump escapes them, never written raw.
    c = spcquox2_init();
    spcquox2_copy_name(c, "caf\xE9 \xC3\xA9");
    spcquox2_add_system(c, "\x81.spsquox2");
    ASSERT_TRUE(spcquox2_save_composer_to_file(cp.c_str(), c));
    spcquox2_deinit(c);
    ASSERT_TRUE(dump_json(cp, &j));
    EXPECT_EQ(j, "{\"name\":\"caf\\u00e9 \xC3\xA9\",\"systems\":[\"\\u0081.spsquox2\"]}\n");

    test_write_file(path("junk.bin"), "JUNKJUNKJUNKJUNK");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(dump_json(path("junk.bin"), &j));
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("junk.bin"), std::string::npos);
}
