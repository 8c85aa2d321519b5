// The built resource folder: every file the game opens is there under its
// exact name and decodes as the game will read it; nothing else is there;
// pictures fit the places the game draws them; sounds are clean.

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "corelib/gfxloader.h"
#include "corelib/mem.h"
#include "data_test_util.h"
#include "particles/sps_file.h"

namespace fs = std::filesystem;

static const std::string DATA_DIR = VORN_BINARY_DIR "/data/";

struct listed_file {
    std::string kind, name;
};

static std::vector<listed_file> __list()
{
    std::vector<listed_file> out;
    std::ifstream in(VORN_DATA_LIST);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        size_t sp = line.find(' ');
        out.push_back({line.substr(0, sp), line.substr(sp + 1)});
    }
    return out;
}

static std::string __native(const std::string &name)
{
    std::string p = name;
    std::replace(p.begin(), p.end(), '\\', '/');
    return DATA_DIR + p;
}

struct picture {
    int w = 0, h = 0, bpp = 0;
    std::vector<uint8_t> px; // as the loader gives them: bottom row first
};

static bool __load_picture(const std::string &name, picture &pic)
{
    uint8_t *px = nullptr;
    if (!gfxloader_load_smart(__native(name).c_str(), &pic.w, &pic.h, &pic.bpp, &px)) return false;
    pic.px.assign(px, px + size_t(pic.w) * pic.h * (pic.bpp / 8));
    mem_free(px);
    return true;
}

class DataFolder : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(gfxloader_init()); }
    static void TearDownTestSuite() { gfxloader_deinit(); }
};

TEST_F(DataFolder, ListAndFolderHoldTheSameFiles)
{
    std::set<std::string> listed, found;
    for (const auto &f : __list()) listed.insert(f.name);
    ASSERT_GT(listed.size(), 100u);
    for (const auto &e : fs::recursive_directory_iterator(DATA_DIR)) {
        if (!e.is_regular_file() || e.path().filename() == ".vorn-data") continue;
        std::string rel = fs::relative(e.path(), DATA_DIR).string();
        std::replace(rel.begin(), rel.end(), '/', '\\');
        found.insert(rel);
    }
    for (const auto &n : listed) EXPECT_TRUE(found.count(n)) << "missing: " << n;
    for (const auto &n : found) EXPECT_TRUE(listed.count(n)) << "not expected: " << n;
}

TEST_F(DataFolder, EveryPictureLoadsWithTheImageLoader)
{
    int pictures = 0;
    for (const auto &f : __list()) {
        if (f.kind != "picture") continue;
        picture pic;
        ASSERT_TRUE(__load_picture(f.name, pic)) << f.name;
        EXPECT_TRUE(pic.bpp == 24 || pic.bpp == 32) << f.name;
        EXPECT_GT(pic.w, 0) << f.name;
        // No picture is blank: it has at least two different colours or alphas.
        size_t n = pic.bpp / 8;
        bool varied = false;
        for (size_t i = n; i < pic.px.size() && !varied; i += n) varied = std::memcmp(&pic.px[i], &pic.px[0], n) != 0;
        EXPECT_TRUE(varied) << f.name << " is one flat colour";
        pictures++;
    }
    EXPECT_EQ(pictures, 93 + 24); // the game's and the four terrain texture sets
}

// The pictures drawn at fixed places: each must fit the 800 x 600 screen from there.
TEST_F(DataFolder, PicturesFitWhereTheGameDrawsThem)
{
    struct placed {
        const char *name;
        int x, y;
    };
    static const placed places[] = {
        {"splash\\loading_pic_01.tga", 179, 544},
        {"splash\\loading_pic_05.tga", 179, 544},
        {"ui\\block\\block_pic.tga", 5, 490},
        {"ui\\info\\score_pic.tga", 34, 559},
        {"ui\\info\\energy_pic.tga", 109, 585},
        {"ui\\info\\time_pic.tga", 183, 559},
        {"ui\\info\\weapons_pic.tga", 524, 585},
        {"ui\\info\\engine_pic.tga", 254, 583},
        {"ui\\info\\level_pic.tga", 590, 559},
        {"ui\\info\\status_pic.tga", 661, 584},
        {"ui\\station\\station_pic.tga", 691, 495},
        {"ui\\bolid\\bolid_pic.tga", 339, 548},
        {"ui\\info\\pause.tga", 200, 200},
        {"ui\\station_bolid_blink_RED\\station_blink.tga", 691, 495},
        {"ui\\sentinel\\sentinel_pic.tga", 752, 12 + 28 * 7},
        {"hiscore\\new_game_hl.tga", 338, 463},
        {"hiscore\\qorvex_hl.tga", 307, 429},
        {"config\\ok_low.tga", 114, 467},
        {"config\\abbrechen_low.tga", 206, 467},
        {"config\\checked.tga", 299, 92},
        {"config\\slider.tga", 136 + 148, 434},
    };
    for (const auto &p : places) {
        picture pic;
        ASSERT_TRUE(__load_picture(p.name, pic)) << p.name;
        EXPECT_LE(p.x + pic.w, 800) << p.name;
        EXPECT_LE(p.y + pic.h, 600) << p.name;
    }
    for (const char *full :
         {"splash\\screen_pic.tga", "hiscore\\hiscore background.tga", "config\\background_pic.tga"}) {
        picture pic;
        ASSERT_TRUE(__load_picture(full, pic)) << full;
        EXPECT_EQ(pic.w, 800) << full;
        EXPECT_EQ(pic.h, 600) << full;
        EXPECT_EQ(pic.bpp, 24) << full; // drawn opaque
    }
    // The two buttons of the configuration screen must not overlap.
    picture ok;
    ASSERT_TRUE(__load_picture("config\\ok_high.tga", ok));
    EXPECT_LE(114 + ok.w, 206);
    // Highlights cover their hotspots.
    picture hl;
    ASSERT_TRUE(__load_picture("hiscore\\new_game_hl.tga", hl));
    EXPECT_GE(338 + hl.w, 458);
    EXPECT_GE(463 + hl.h, 488);
    ASSERT_TRUE(__load_picture("hiscore\\qorvex_hl.tga", hl));
    EXPECT_GE(307 + hl.w, 500);
    EXPECT_GE(429 + hl.h, 457);
}

// Pictures with transparent surroundings really are transparent at their
// corners (HUD marks and cursors drawn over the 3D view).
TEST_F(DataFolder, OverlayPicturesAreTransparentAroundTheirShape)
{
    for (const char *name : {"ui\\pointer\\pointer_pic.tga", "ui\\pointer\\missile_target_pic.tga",
                             "ui\\bolid_damage\\bolid_damage_01.tga", "hiscore\\cursor_norm.tga", "perlin_1_128.tga",
                             "glow.tga", "fractal_4.tga", "fractal_jet.tga", "1-pp-explod-star_256 copy.tga"}) {
        picture pic;
        ASSERT_TRUE(__load_picture(name, pic)) << name;
        ASSERT_EQ(pic.bpp, 32) << name;
        size_t row = size_t(pic.w) * 4;
        // The corner opposite the cursor's tip: bottom right (first row in memory is the bottom).
        EXPECT_EQ(pic.px[row - 1], 0) << name;
        if (name != std::string("hiscore\\cursor_norm.tga")) { // its tip is at the top left
            EXPECT_EQ(pic.px[size_t(pic.h - 1) * row + 3], 0) << name << " top-left alpha";
        }
    }
}

TEST_F(DataFolder, SoundsDecodeCleanly)
{
    // Positional effects must be mono; the music streams are stereo.
    static const std::set<std::string> stereo = {"sound\\vorn_ost.ogg", "sound\\intro.ogg", "intro\\intro.ogg",
                                                 "config\\atmo_options.ogg"};
    int sounds = 0;
    for (const auto &f : __list()) {
        if (f.kind != "sound") continue;
        std::vector<float> s;
        int channels = 0, rate = 0;
        ASSERT_TRUE(test_decode_ogg(__native(f.name), s, &channels, &rate)) << f.name;
        EXPECT_EQ(channels, stereo.count(f.name) ? 2 : 1) << f.name;
        EXPECT_TRUE(rate == 44100 || rate == 22050) << f.name;
        float peak = 0;
        for (float v : s) {
            ASSERT_TRUE(std::isfinite(v)) << f.name;
            peak = std::max(peak, std::fabs(v));
        }
        EXPECT_LT(peak, 0.99f) << f.name << " clips";
        EXPECT_GT(peak, 0.1f) << f.name << " is nearly silent";
        sounds++;
    }
    EXPECT_EQ(sounds, 31);
}

TEST_F(DataFolder, LoopsJoinWithoutAClick)
{
    for (const char *name : {"sound\\vorn_ost.ogg", "sound\\engine.ogg", "sound\\asteroid_static.ogg",
                             "sound\\bot_static.ogg", "sound\\alarm_beep.ogg", "config\\atmo_options.ogg"}) {
        std::vector<float> s;
        int channels = 0, rate = 0;
        ASSERT_TRUE(test_decode_ogg(__native(name), s, &channels, &rate)) << name;
        EXPECT_LT(test_loop_seam(s, channels), 1.0) << name;
    }
    std::vector<float> s;
    int channels = 0, rate = 0;
    ASSERT_TRUE(test_decode_ogg(__native("sound\\vorn_ost.ogg"), s, &channels, &rate));
    EXPECT_GE(double(s.size()) / channels / rate, 60.0);
    ASSERT_TRUE(test_decode_ogg(__native("sound\\intro.ogg"), s, &channels, &rate));
    double title = double(s.size()) / channels / rate;
    EXPECT_GE(title, 12.0);
    EXPECT_LE(title, 20.0);
}

TEST_F(DataFolder, IntroVideoOpensWithFFmpegAtItsSize)
{
    std::string path = __native("intro\\intro.bik");
    AVFormatContext *fc = nullptr;
    ASSERT_EQ(avformat_open_input(&fc, path.c_str(), nullptr, nullptr), 0);
    ASSERT_GE(avformat_find_stream_info(fc, nullptr), 0);
    int vs = av_find_best_stream(fc, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    ASSERT_GE(vs, 0);
    const AVCodecParameters *par = fc->streams[vs]->codecpar;
    EXPECT_EQ(par->width, 800);
    EXPECT_EQ(par->height, 450);
    const AVCodec *codec = avcodec_find_decoder(par->codec_id);
    ASSERT_NE(codec, nullptr);
    AVCodecContext *cc = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(cc, par);
    ASSERT_EQ(avcodec_open2(cc, codec, nullptr), 0);
    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    int frames = 0;
    double last_pts = 0;
    auto drain = [&]() {
        while (avcodec_receive_frame(cc, frame) == 0) {
            frames++;
            last_pts = frame->best_effort_timestamp * av_q2d(fc->streams[vs]->time_base);
        }
    };
    while (av_read_frame(fc, pkt) >= 0) {
        if (pkt->stream_index == vs && avcodec_send_packet(cc, pkt) >= 0) drain();
        av_packet_unref(pkt);
    }
    avcodec_send_packet(cc, nullptr);
    drain();
    double seconds = last_pts + 1.0 / 25;
    EXPECT_GE(seconds, 8.0);
    EXPECT_LE(seconds, 15.0);
    EXPECT_EQ(frames, int(std::lround(seconds * 25)));
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&cc);
    avformat_close_input(&fc);
}

TEST_F(DataFolder, FontsOpenWithFreeType)
{
    FT_Library lib;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    for (const auto &f : __list()) {
        if (f.kind != "font") continue;
        FT_Face face;
        ASSERT_EQ(FT_New_Face(lib, __native(f.name).c_str(), 0, &face), 0) << f.name;
        EXPECT_TRUE(FT_IS_SCALABLE(face)) << f.name;
        EXPECT_FALSE(FT_HAS_VERTICAL(face)) << f.name;
        EXPECT_EQ(FT_Set_Char_Size(face, 0, 640, 96, 96), 0) << f.name;
        for (char c : std::string("AZaz09%<>:"))
            EXPECT_NE(FT_Get_Char_Index(face, FT_ULong(c)), 0u) << f.name << " lacks " << c;
        FT_Done_Face(face);
    }
    FT_Done_FreeType(lib);
}

// The compositions load through the particle module's readers, which refuse
// any file that breaks a rule; every system passes the module's own check and
// names a texture that is in the folder.
TEST_F(DataFolder, ParticleCompositionsLoadWithTheParticleReaders)
{
    int composers = 0;
    for (const auto &f : __list()) {
        if (f.kind != "particle_composer") continue;
        composers++;
        spcquox2 *composer = spcquox2_init();
        ASSERT_NE(composer, nullptr);
        ASSERT_TRUE(spcquox2_load_composer_from_file(__native(f.name).c_str(), composer)) << f.name;
        EXPECT_GE(spcquox2_get_systems_no(composer), 2u) << f.name;
        for (const spcquox2_element &e : *composer->elements) {
            std::string path = std::string(composer->path) + e.system_filename;
            spsquox2 *sys = spsquox2_init();
            ASSERT_NE(sys, nullptr);
            ASSERT_TRUE(spsquox2_load_system_from_file(path.c_str(), sys)) << path;
            const char *why = nullptr;
            EXPECT_TRUE(spsquox2_check(sys, &why)) << path << ": " << (why ? why : "");
            EXPECT_TRUE(fs::exists(DATA_DIR + sys->texture)) << path << " names " << sys->texture;
            EXPECT_GT(sys->data.burst, 0.0f) << path;
            spsquox2_deinit(sys);
        }
        spcquox2_deinit(composer);
    }
    EXPECT_EQ(composers, 2);
}

TEST_F(DataFolder, AppIniNamesTheFolder)
{
    std::ifstream in(VORN_BINARY_DIR "/bin/app.ini");
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "vorn_freeware_resource_folder = " + fs::canonical(DATA_DIR).string() + "/");
}
