// The video decoder: sizes, lengths, frame contents at given frames, seeking,
// the end of a video, variable frame rates, alpha, odd sizes, and files that
// cannot be played.
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "avi_narrow_mkv.h"
#include "corelib/log.h"
#include "frontend/avi_decoder.h"
#include "test_support.h"
#include "video_testgen.h"

class AviDecoderTest : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        log = path("log.txt");
        log_file_set(log.c_str());
        log_file_truncate();
    }
    void TearDown() override
    {
        for (avi_file *af : opened) avi_close(af);
        log_file_set("/dev/null");
        TempDirTest::TearDown();
    }
    std::string make(const std::string &name, const video_testgen_spec &spec)
    {
        std::string p = path(name);
        EXPECT_TRUE(video_testgen_write(p, spec)) << name;
        return p;
    }
    avi_file *open(const std::string &p)
    {
        avi_file *af = avi_open(p.c_str());
        if (af) opened.push_back(af);
        return af;
    }
    // The number shown by frame n, -1 when it cannot be read, -2 when it failed.
    int frame(avi_file *af, uint32_t n)
    {
        std::vector<uint8_t> buf(size_t(af->bpp / 8) * af->width * af->height, 0x55);
        if (!avi_get_frame(af, n, buf.data())) return -2;
        return video_testgen_read_number(buf.data(), int(af->width), int(af->height), int(af->bpp));
    }
    std::string read_log() { return test_read_file(log); }
    std::string log;
    std::vector<avi_file *> opened;
};

TEST_F(AviDecoderTest, Mpeg4InAviReportsItsFormatAndEveryFrameInTurn)
{
    avi_file *af = open(make("clip.avi", {}));
    ASSERT_NE(af, nullptr) << read_log();
    EXPECT_EQ(af->bpp, 24u);
    EXPECT_EQ(af->width, 64u);
    EXPECT_EQ(af->height, 48u);
    EXPECT_NEAR(af->frame_duration, 0.04, 1e-9);
    EXPECT_NEAR(af->length, 1.2, 1e-6);
    EXPECT_EQ(af->frames, 30u);
    for (uint32_t n = 0; n < 30; n++) EXPECT_EQ(frame(af, n), int(n)) << "frame " << n;
    // Straight on: every picture decoded once, no seek.
    EXPECT_EQ(af->seeks, 0u);
    EXPECT_EQ(af->decoded_pictures, 30u);
}

TEST_F(AviDecoderTest, AskingForTheSameFrameAgainDecodesNothing)
{
    avi_file *af = open(make("clip.avi", {}));
    ASSERT_NE(af, nullptr);
    EXPECT_EQ(frame(af, 7), 7);
    uint64_t decoded = af->decoded_pictures;
    uint32_t seeks = af->seeks;
    EXPECT_EQ(frame(af, 7), 7);
    EXPECT_EQ(af->decoded_pictures, decoded);
    EXPECT_EQ(af->seeks, seeks);
}

TEST_F(AviDecoderTest, SeeksBackwardsAndForwardsFromTheKeyFrameBefore)
{
    video_testgen_spec spec;
    spec.frames = 60;
    spec.gop = 10;
    avi_file *af = open(make("clip.avi", spec));
    ASSERT_NE(af, nullptr);

    // A jump forward from the start decodes from key frame 40, not from 0.
    EXPECT_EQ(frame(af, 45), 45);
    EXPECT_LE(af->decoded_pictures, 8u);
    EXPECT_EQ(af->seeks, 1u);

    // The next one goes straight on.
    EXPECT_EQ(frame(af, 46), 46);
    EXPECT_EQ(af->seeks, 1u);

    // Backwards: from key frame 10.
    uint64_t before = af->decoded_pictures;
    EXPECT_EQ(frame(af, 13), 13);
    EXPECT_EQ(af->seeks, 2u);
    EXPECT_LE(af->decoded_pictures - before, 5u);

    // Forward within the same group of pictures: on without a seek.
    EXPECT_EQ(frame(af, 17), 17);
    EXPECT_EQ(af->seeks, 2u);

    // Forward past a key frame: a seek.
    before = af->decoded_pictures;
    EXPECT_EQ(frame(af, 52), 52);
    EXPECT_EQ(af->seeks, 3u);
    EXPECT_LE(af->decoded_pictures - before, 4u);

    // Back to the very first frame, and on.
    EXPECT_EQ(frame(af, 0), 0);
    EXPECT_EQ(frame(af, 1), 1);
    EXPECT_EQ(frame(af, 59), 59);
}

TEST_F(AviDecoderTest, FramesPastTheEndShowTheLastPicture)
{
    avi_file *af = open(make("clip.avi", {}));
    ASSERT_NE(af, nullptr);
    EXPECT_EQ(frame(af, 29), 29);
    EXPECT_EQ(frame(af, 30), 29);
    EXPECT_EQ(frame(af, 1000), 29);
    // And from a fresh position too.
    EXPECT_EQ(frame(af, 3), 3);
    EXPECT_EQ(frame(af, 5000), 29);
}

TEST_F(AviDecoderTest, WindowsSeparatorsAndAMisleadingNameOpen)
{
    ASSERT_EQ(mkdir(path("intro").c_str(), 0755), 0);
    make("intro/intro.bik", {});
    avi_file *af = open(dir + "\\intro\\intro.bik");
    ASSERT_NE(af, nullptr) << read_log();
    EXPECT_EQ(af->frames, 30u);
    EXPECT_EQ(frame(af, 12), 12);
}

TEST_F(AviDecoderTest, AlphaCodecGives32BitFramesAtAnOddSize)
{
    video_testgen_spec spec;
    spec.container = "mov";
    spec.codec = AV_CODEC_ID_QTRLE;
    spec.pix_fmt = AV_PIX_FMT_ARGB;
    spec.width = 37;
    spec.height = 23;
    spec.frames = 20;
    avi_file *af = open(make("alpha.mov", spec));
    ASSERT_NE(af, nullptr) << read_log();
    EXPECT_EQ(af->bpp, 32u);
    EXPECT_EQ(af->width, 37u);
    EXPECT_EQ(af->height, 23u);
    EXPECT_EQ(af->frames, 20u);
    std::vector<uint8_t> buf(size_t(37) * 23 * 4);
    for (uint32_t n : {0u, 19u, 5u, 6u, 11u}) {
        ASSERT_TRUE(avi_get_frame(af, n, buf.data()));
        EXPECT_EQ(video_testgen_read_number(buf.data(), 37, 23, 32), int(n));
        // Lossless: the red band on top, alpha by halves.
        EXPECT_EQ(buf[0], 255);
        EXPECT_EQ(buf[1], 0);
        EXPECT_EQ(buf[3], VIDEO_TESTGEN_LEFT_ALPHA);
        EXPECT_EQ(buf[(22 * 37 + 36) * 4 + 3], 255);
    }
}

TEST_F(AviDecoderTest, Mpeg4AtAnOddSize)
{
    video_testgen_spec spec;
    spec.width = 99;
    spec.height = 45;
    spec.frames = 12;
    avi_file *af = open(make("odd.avi", spec));
    ASSERT_NE(af, nullptr) << read_log();
    EXPECT_EQ(af->width, 99u);
    EXPECT_EQ(af->height, 45u);
    EXPECT_EQ(frame(af, 11), 11);
    EXPECT_EQ(frame(af, 4), 4);
}

TEST_F(AviDecoderTest, VariableFrameRatePlaysEachPictureAtItsTime)
{
    video_testgen_spec spec;
    spec.container = "matroska";
    spec.times_ms = {0, 40, 80, 400, 440, 1000, 1040};
    spec.end_ms = 1200;
    spec.gop = 3;
    avi_file *af = open(make("vfr.mkv", spec));
    ASSERT_NE(af, nullptr) << read_log();
    EXPECT_NEAR(af->length, 1.2, 0.001);
    // The grid is fine enough that no picture is lost.
    EXPECT_LE(af->frame_duration, 0.040001);
    std::vector<int> seen;
    for (uint32_t n = 0; n < af->frames; n++) {
        int got = frame(af, n);
        ASSERT_GE(got, 0) << "frame " << n;
        double t = (n + 0.5) * af->frame_duration;
        // The picture on show at t.
        int want = 0;
        for (size_t i = 0; i < spec.times_ms.size(); i++)
            if (spec.times_ms[i] <= t * 1000.0) want = int(i);
        EXPECT_EQ(got, want) << "at " << t << " s";
        if (seen.empty() || seen.back() != got) seen.push_back(got);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    // Random access by time.
    EXPECT_EQ(frame(af, uint32_t(0.7 / af->frame_duration)), 4);
    EXPECT_EQ(frame(af, uint32_t(0.2 / af->frame_duration)), 2);
    EXPECT_EQ(frame(af, uint32_t(1.1 / af->frame_duration)), 6);
}

// ---- files that cannot be played -------------------------------------------------

class AviBadInputTest : public AviDecoderTest {
  protected:
    // The file is refused with a message naming it.
    void expect_refused(const std::string &p)
    {
        log_file_truncate();
        EXPECT_EQ(open(p), nullptr) << p;
        EXPECT_NE(read_log().find(p), std::string::npos) << "the message names " << p << ":\n" << read_log();
    }
    // Opens (or not) and decodes every frame and some jumps without crashing;
    // what cannot be decoded is logged with the file's name.
    void play_through(const std::string &p)
    {
        log_file_truncate();
        avi_file *af = open(p);
        if (!af) {
            EXPECT_NE(read_log().find(p), std::string::npos) << read_log();
            return;
        }
        std::vector<uint8_t> buf(size_t(af->bpp / 8) * af->width * af->height);
        for (uint32_t n : {0u, 1u, 2u, 20u, 5u, 29u, 31u, 3u})
            if (!avi_get_frame(af, n, buf.data())) {
                EXPECT_NE(read_log().find(p), std::string::npos) << read_log();
            }
    }
};

TEST_F(AviBadInputTest, MissingEmptyAndGarbageFilesAreRefused)
{
    expect_refused(path("missing.avi"));
    test_write_file(path("empty.avi"), "");
    expect_refused(path("empty.avi"));
    std::string junk;
    uint32_t state = 99;
    for (int i = 0; i < 5000; i++) {
        state = state * 1664525u + 1013904223u;
        junk.push_back(char(state >> 24));
    }
    test_write_file(path("junk.bik"), junk);
    expect_refused(path("junk.bik"));
}

TEST_F(AviBadInputTest, AFileWithoutVideoIsRefused)
{
    // A WAV file: 0.1 s of silence.
    std::string wav = "RIFF";
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; i++) wav.push_back(char(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) { wav.push_back(char(v)), wav.push_back(char(v >> 8)); };
    u32(36 + 1600);
    wav += "WAVEfmt ";
    u32(16), u16(1), u16(1), u32(8000), u32(16000), u16(2), u16(16);
    wav += "data";
    u32(1600);
    wav.append(1600, '\0');
    test_write_file(path("sound.avi"), wav);
    expect_refused(path("sound.avi"));
}

TEST_F(AviBadInputTest, TruncatedFilesNeverCrash)
{
    std::string good = test_read_file(make("clip.avi", {}));
    ASSERT_GT(good.size(), 4096u);
    for (size_t cut : {size_t(12), size_t(200), size_t(2000), good.size() / 3, good.size() / 2, good.size() - 100}) {
        std::string p = path("cut_" + std::to_string(cut) + ".avi");
        test_write_file(p, good.substr(0, cut));
        play_through(p);
    }
}

TEST_F(AviBadInputTest, DamagedFilesNeverCrash)
{
    std::string good = test_read_file(make("clip.avi", {}));
    uint32_t state = 7;
    for (int round = 0; round < 12; round++) {
        std::string bad = good;
        for (int i = 0; i < 40; i++) {
            state = state * 1664525u + 1013904223u;
            size_t at = round < 6 ? (state >> 8) % 400 : (state >> 8) % bad.size(); // header, then anywhere
            state = state * 1664525u + 1013904223u;
            bad[at] = char(state >> 24);
        }
        std::string p = path("bad_" + std::to_string(round) + ".avi");
        test_write_file(p, bad);
        play_through(p);
    }
}

// Writes a little-endian 32-bit value into the bytes after every occurrence of tag + skip.
static int patch_u32(std::string &bytes, const char *tag, size_t skip, uint32_t value)
{
    int n = 0;
    for (size_t at = bytes.find(tag); at != std::string::npos; at = bytes.find(tag, at + 4)) {
        size_t p = at + skip;
        if (p + 4 > bytes.size()) break;
        for (int i = 0; i < 4; i++) bytes[p + i] = char(value >> (8 * i));
        n++;
    }
    return n;
}

TEST_F(AviBadInputTest, NarrowPicturesStayInsideTheCallersBuffer)
{
    std::string p = path("narrow.mkv");
    test_write_file(p, std::string(AVI_NARROW_MKV, AVI_NARROW_MKV_SIZE));
    avi_file *af = open(p);
    ASSERT_NE(af, nullptr) << read_log();
    ASSERT_EQ(af->width, 3u);
    size_t bytes = size_t(af->bpp / 8) * af->width * af->height;
    const size_t guard = 4096;
    std::vector<uint8_t> buf(bytes + guard, 0xA5);
    for (uint32_t n : {0u, af->frames / 2, af->frames - 1}) {
        avi_get_frame(af, n, buf.data());
        for (size_t i = bytes; i < buf.size(); i++) ASSERT_EQ(buf[i], 0xA5) << "frame " << n << " wrote at " << i;
    }
}

TEST_F(AviBadInputTest, HeadersClaimingHugeFramesAllocateNothingHuge)
{
    std::string good = test_read_file(make("clip.avi", {}));
    std::string bad = good;
    // avih: dwWidth, dwHeight; strf (BITMAPINFOHEADER): biWidth, biHeight.
    ASSERT_EQ(patch_u32(bad, "avih", 8 + 32, 60000), 1);
    ASSERT_EQ(patch_u32(bad, "avih", 8 + 36, 50000), 1);
    ASSERT_GE(patch_u32(bad, "strf", 8 + 4, 60000), 1);
    ASSERT_GE(patch_u32(bad, "strf", 8 + 8, 50000), 1);
    test_write_file(path("huge.avi"), bad);
    // Refused, or played at the size the stream itself gives.
    avi_file *af = open(path("huge.avi"));
    if (!af) {
        EXPECT_NE(read_log().find(path("huge.avi")), std::string::npos);
        return;
    }
    EXPECT_EQ(af->width, 64u);
    EXPECT_EQ(af->height, 48u);
    EXPECT_EQ(frame(af, 3), 3);
}

TEST_F(AviBadInputTest, FramesWiderThanTheLimitAreRefused)
{
    video_testgen_spec spec;
    spec.width = AVI_MAX_SIDE + 16;
    spec.height = 16;
    spec.frames = 2;
    expect_refused(make("wide.avi", spec));
}

// The game's intro (an AVI under a Bink name), when the game data was built.
TEST_F(AviDecoderTest, TheGameIntroPlays)
{
    std::string intro = std::string(VORN_BINARY_DIR) + "/data/intro\\intro.bik";
    if (!test_file_exists(std::string(VORN_BINARY_DIR) + "/data/intro/intro.bik"))
        GTEST_SKIP() << "no game data (cmake --build build --target data)";
    avi_file *af = open(intro);
    ASSERT_NE(af, nullptr) << read_log();
    EXPECT_EQ(af->width, 800u);
    EXPECT_EQ(af->height, 450u);
    EXPECT_EQ(af->bpp, 24u);
    EXPECT_NEAR(af->length, 10.0, 1e-6);
    EXPECT_EQ(af->frames, 250u);
    std::vector<uint8_t> buf(size_t(800) * 450 * 3);
    // The film fades in from black and out to black; the title shows at 6 s.
    auto brightness = [&](uint32_t n) {
        EXPECT_TRUE(avi_get_frame(af, n, buf.data())) << n;
        double sum = 0;
        for (uint8_t v : buf) sum += v;
        return sum / double(buf.size());
    };
    EXPECT_LT(brightness(0), 4.0);
    EXPECT_GT(brightness(150), 20.0);
    EXPECT_LT(brightness(249), 4.0);
    EXPECT_GT(brightness(150), brightness(10));
}
