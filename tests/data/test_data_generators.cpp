// The generator pieces: drawing, sound building blocks, the particle file
// writer, app.ini, and the same bytes from the same build.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "data/data_audio.h"
#include "data/data_build.h"
#include "data/data_image.h"
#include "data/data_text.h"
#include "data/scene_shapes.h"
#include "data_test_util.h"
#include "test_support.h"

namespace fs = std::filesystem;

TEST(DataImage, ShapesCoverTheirAreaWithSoftEdges)
{
    data_image img = image_make(64, 64);
    image_fill_round_rect(img, 10, 10, 50, 30, 0, {1, 1, 1, 1});
    double area = 0;
    for (const auto &p : img.px) area += p.a;
    EXPECT_NEAR(area, 40 * 20, 1.0);
    EXPECT_FLOAT_EQ(image_at(img, 30, 20).a, 1.0f);
    EXPECT_FLOAT_EQ(image_at(img, 5, 5).a, 0.0f);

    data_image disc = image_make(64, 64);
    image_fill_circle(disc, 32, 32, 20, {1, 0, 0, 1});
    double a = 0;
    int partial = 0;
    for (const auto &p : disc.px) {
        a += p.a;
        partial += p.a > 0.05f && p.a < 0.95f;
    }
    EXPECT_NEAR(a, M_PI * 400, 4.0);
    EXPECT_GT(partial, 40); // anti-aliased rim
}

TEST(DataImage, BlendingOverTransparencyKeepsTheColour)
{
    data_image img = image_make(2, 1);
    image_blend(img, 0, 0, {0.2f, 0.4f, 0.6f, 1}, 0.5f);
    const rgba &p = image_at(img, 0, 0);
    EXPECT_NEAR(p.r, 0.2f, 1e-6);
    EXPECT_NEAR(p.b, 0.6f, 1e-6);
    EXPECT_NEAR(p.a, 0.5f, 1e-6);
    image_blend(img, 5, 5, {1, 1, 1, 1}, 1); // outside: ignored
    std::vector<uint8_t> bytes = image_to_bytes(img, 32);
    ASSERT_EQ(bytes.size(), 8u);
    EXPECT_EQ(bytes[0], 51);
    EXPECT_EQ(bytes[3], 128);
    EXPECT_EQ(bytes[7], 0);
}

TEST(DataText, LettersLandAroundTheBaseline)
{
    ASSERT_TRUE(text_init());
    text_style ts;
    ts.px = 20;
    float w = text_width(ts, "PAUSE");
    EXPECT_GT(w, 40);
    EXPECT_LT(w, 90);
    data_image img = image_make(120, 40);
    ts.align = TEXT_CENTRE;
    text_draw(img, ts, 60, 30, "PAUSE");
    int top = 40, bottom = -1, left = 120, right = -1;
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 120; x++)
            if (image_at(img, x, y).a > 0.5f)
                top = std::min(top, y), bottom = std::max(bottom, y), left = std::min(left, x),
                right = std::max(right, x);
    EXPECT_LE(bottom, 30);   // capitals stand on the baseline
    EXPECT_GE(top, 30 - 20); // and are no taller than the em
    EXPECT_NEAR((left + right) / 2.0, 60, 2.0);
    text_deinit();
}

// A rock has 20 d^2 triangles for d divisions and is one closed surface:
// welded by position, every edge is met once in each direction (no crack
// where the icosahedron's faces meet, no triangle turned over) and
// V - E + F = 2.
TEST(SceneShapes, RocksAreClosedWithinTheirTriangleBudget)
{
    for (int d : {1, 2, 3, 4, 5, 6, 8}) {
        rock_style st;
        st.divisions = d;
        scene_mesh m = shape_rock(st, 40u + uint32_t(d));
        ASSERT_EQ(m.tri.size(), size_t(60 * d * d)) << d;
        std::map<std::tuple<float, float, float>, uint32_t> weld;
        std::vector<uint32_t> id(m.pos.size());
        for (size_t i = 0; i < m.pos.size(); i++)
            id[i] =
                weld.emplace(std::make_tuple(m.pos[i].x, m.pos[i].y, m.pos[i].z), uint32_t(weld.size())).first->second;
        std::map<std::pair<uint32_t, uint32_t>, int> edges;
        for (size_t t = 0; t < m.tri.size(); t += 3)
            for (int k = 0; k < 3; k++) edges[{id[m.tri[t + k]], id[m.tri[t + (k + 1) % 3]]}]++;
        int bad = 0;
        for (const auto &[e, n] : edges)
            if (n != 1 || !edges.count({e.second, e.first})) bad++;
        EXPECT_EQ(bad, 0) << d << " divisions";
        EXPECT_EQ(long(weld.size()) - long(edges.size() / 2) + long(m.tri.size() / 3), 2L) << d;
    }
}

TEST(DataAudio, MadeLoopsJoinSmoothly)
{
    // A tone whose period does not divide the loop, with noise: the raw cut clicks, the loop does not.
    size_t loop = 44100, fade = 4410;
    audio_buf b = audio_make_frames(loop + fade);
    for (size_t i = 0; i < b.frames(); i++)
        b.s[i] = 0.6f * std::sin(2 * AUDIO_PI * 97.3f * i / 44100) + 0.05f * audio_noise(1, uint32_t(i));
    audio_buf raw = b;
    raw.s.resize(loop);
    audio_make_loop(b, loop, fade);
    ASSERT_EQ(b.frames(), loop);
    EXPECT_GT(test_loop_seam(raw.s, 1), 1.0);
    EXPECT_LT(test_loop_seam(b.s, 1), 1.0);
}

TEST(DataAudio, NormaliseSetsThePeakAndFadesSilenceTheEdges)
{
    audio_buf b = audio_make(0.5f, 2);
    for (size_t i = 0; i < b.s.size(); i++) b.s[i] = 3.0f * std::sin(i * 0.01f);
    audio_normalise(b, 0.89f);
    EXPECT_NEAR(audio_peak(b), 0.89f, 1e-5);
    audio_fade_edges(b, 0.01f, 0.01f);
    EXPECT_FLOAT_EQ(b.s[0], 0.0f);
    EXPECT_NEAR(b.s[b.s.size() - 1], 0.0f, 1e-3);
}

TEST(DataAudio, CyclicEchoWrapsItsTailIntoTheStart)
{
    audio_buf b = audio_make_frames(1000);
    b.s[900] = 1;
    audio_echo(b, 200.0f / 44100, 0.5f, 1.0f, true);
    EXPECT_NEAR(b.s[100], 1.0f, 1e-6); // 900 + 200 wraps to 100
    audio_buf once = audio_make_frames(1000);
    once.s[900] = 1;
    audio_echo(once, 200.0f / 44100, 0.5f, 1.0f, false);
    EXPECT_FLOAT_EQ(once.s[100], 0.0f);
}

class DataOgg : public TempDirTest {};

TEST_F(DataOgg, EncodingIsRepeatableAndDecodesToTheSameSound)
{
    audio_buf b = audio_make(0.5f, 2);
    for (size_t i = 0; i < b.frames(); i++) {
        b.s[2 * i] = 0.5f * std::sin(2 * AUDIO_PI * 440 * i / 44100.0f);
        b.s[2 * i + 1] = 0.5f * std::sin(2 * AUDIO_PI * 660 * i / 44100.0f);
    }
    std::vector<uint8_t> a, c;
    ASSERT_TRUE(audio_encode_ogg(b, 0.5f, 1234, a));
    ASSERT_TRUE(audio_encode_ogg(b, 0.5f, 1234, c));
    EXPECT_EQ(a, c);
    test_write_file(path("t.ogg"), std::string(a.begin(), a.end()));
    std::vector<float> s;
    int ch = 0, rate = 0;
    ASSERT_TRUE(test_decode_ogg(path("t.ogg"), s, &ch, &rate));
    EXPECT_EQ(ch, 2);
    EXPECT_EQ(rate, 44100);
    ASSERT_EQ(s.size(), b.s.size()); // the exact length survives, so loops stay exact
    double err = 0;
    for (size_t i = 0; i < s.size(); i++) err = std::max(err, double(std::fabs(s[i] - b.s[i])));
    EXPECT_LT(err, 0.05);
}

class DataBuild : public TempDirTest {};

TEST_F(DataBuild, AppIniNamesTheFolderWithATrailingSeparator)
{
    ASSERT_TRUE(data_write_app_ini(path("app.ini"), "/games/vorn/data"));
    EXPECT_EQ(test_read_file(path("app.ini")), "vorn_freeware_resource_folder = /games/vorn/data/\n");
    EXPECT_FALSE(data_write_app_ini(path("no/such/folder/app.ini"), "/x/"));
}

// Two builds of the same steps write the same bytes.
TEST_F(DataBuild, TwoBuildsWriteIdenticalFiles)
{
    std::vector<std::string> steps = {"hud", "particles", "effects", "voices", "music", "video"};
    std::map<std::string, std::string> first;
    for (int run = 0; run < 2; run++) {
        data_ctx ctx;
        ctx.out_dir = path("run" + std::to_string(run)) + "/";
        ctx.quiet = true;
        ctx.video_frames = 40; // the encoder's settings are what matters, not the film's length
        ASSERT_TRUE(data_build(ctx, steps));
        EXPECT_EQ(ctx.files, 42 + 7 + 11 + 16 + 4 + 1);
        for (const auto &name : ctx.written) {
            std::string bytes = test_read_file(data_path(ctx, name));
            if (run == 0)
                first[name] = bytes;
            else
                EXPECT_TRUE(first[name] == bytes) << name << " differs between builds";
        }
        EXPECT_EQ(first.size(), ctx.written.size());
    }
}

TEST_F(DataBuild, NamesWithBackslashesBecomeSubFolders)
{
    data_ctx ctx;
    ctx.out_dir = dir + "/";
    ASSERT_TRUE(data_write_file(ctx, "ui\\info\\x y.bin", "abc", 3));
    EXPECT_EQ(test_read_file(path("ui/info/x y.bin")), "abc");
    EXPECT_EQ(ctx.files, 1);
    EXPECT_EQ(ctx.bytes, 3u);
    ASSERT_EQ(ctx.written.size(), 1u);
    EXPECT_EQ(ctx.written[0], "ui\\info\\x y.bin");
}

TEST_F(DataBuild, OnlyItsOwnFolderIsEverEmptied)
{
    std::string other = path("other");
    test_write_file(path("keep.txt"), "x");
    fs::create_directories(other);
    test_write_file(other + "/precious.txt", "y");
    EXPECT_FALSE(data_prepare_out_dir(other));
    EXPECT_EQ(test_read_file(other + "/precious.txt"), "y");

    std::string out = path("out");
    ASSERT_TRUE(data_prepare_out_dir(out)); // made, with its marker
    test_write_file(out + "/stale.tga", "old");
    ASSERT_TRUE(data_prepare_out_dir(out)); // an earlier build: emptied
    EXPECT_FALSE(test_file_exists(out + "/stale.tga"));
    EXPECT_TRUE(test_file_exists(out + "/" DATA_MARKER));
    EXPECT_TRUE(test_file_exists(path("keep.txt")));

    // A build of some steps keeps the other steps' files; a foreign folder
    // is still refused.
    test_write_file(out + "/font.ttf", "built");
    ASSERT_TRUE(data_prepare_out_dir(out, false));
    EXPECT_EQ(test_read_file(out + "/font.ttf"), "built");
    EXPECT_FALSE(data_prepare_out_dir(other, false));
    EXPECT_EQ(test_read_file(other + "/precious.txt"), "y");
}
