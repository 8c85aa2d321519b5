// The demo file: what is written reads back the same, and a foreign, cut or
// damaged file is refused with its name in the log, never read past its end.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "corelib/log.h"
#include "game/the_vorn_demo.h"
#include "renderer/OGL_input.h"
#include "test_support.h"

namespace {

vorn_demo *sample_demo()
{
    vorn_demo *d = vorn_demo_create();
    d->seed = 4242;
    d->start_state = 1;
    d->start_level = 1;
    d->hi_scores = {1, 2, 3, 250};
    vorn_demo_add_frame(d, 0.0f);
    vorn_demo_add_event(d, OGL_EVENT_KEY, 'W', OGL_PRESS);
    vorn_demo_add_event(d, OGL_EVENT_MOUSE_MOVE, -5, 70000);
    vorn_demo_add_frame(d, 1.0f / 60.0f);
    vorn_demo_add_frame(d, 0.2f);
    vorn_demo_add_event(d, OGL_EVENT_CHAR, 0x263a, 0);
    vorn_demo_add_event(d, OGL_EVENT_MOUSE_BUTTON, OGL_MOUSE_BUTTON_RIGHT, OGL_RELEASE);
    vorn_demo_add_event(d, OGL_EVENT_MOUSE_WHEEL, -3, 0);
    vorn_demo_add_frame(d, 0.033f);
    // Events after the last frame belong to no frame and are not kept.
    vorn_demo_add_event(d, OGL_EVENT_KEY, 'Q', OGL_PRESS);
    d->state_hash = 0x0123456789abcdefull;
    return d;
}

// Bytes whose checksum is made right again after a change, so that the
// reader's other checks are the ones tried.
void reseal(std::vector<uint8_t> *bytes)
{
    size_t body = bytes->size() - 8;
    uint64_t h = vorn_hash_bytes(VORN_HASH_SEED, bytes->data(), body);
    for (int i = 0; i < 8; i++) (*bytes)[body + size_t(i)] = uint8_t(h >> (8 * i));
}

const char *decode_why(const std::vector<uint8_t> &bytes)
{
    vorn_demo *d = vorn_demo_create();
    const char *why = nullptr;
    bool ok = vorn_demo_decode(d, bytes.data(), bytes.size(), &why);
    vorn_demo_free(d);
    return ok ? nullptr : why;
}

} // namespace

TEST(DemoFormat, ReadsBackWhatWasWritten)
{
    vorn_demo *d = sample_demo();
    std::vector<uint8_t> bytes = vorn_demo_encode(d);
    vorn_demo *back = vorn_demo_create();
    const char *why = nullptr;
    ASSERT_TRUE(vorn_demo_decode(back, bytes.data(), bytes.size(), &why)) << why;
    EXPECT_EQ(back->seed, 4242u);
    EXPECT_EQ(back->start_state, 1);
    EXPECT_EQ(back->hi_scores, d->hi_scores);
    EXPECT_EQ(back->state_hash, 0x0123456789abcdefull);
    ASSERT_EQ(back->frames.size(), 4u);
    ASSERT_EQ(back->events.size(), 5u);
    const uint32_t expected_events[4] = {0, 2, 0, 3};
    for (uint32_t i = 0; i < 4; i++) {
        uint32_t first, end;
        vorn_demo_frame_events(back, i, &first, &end);
        EXPECT_EQ(end - first, expected_events[i]) << i;
        // Bit for bit: a replay takes the very same steps.
        // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
        EXPECT_EQ(std::memcmp(&back->frames[i].dt, &d->frames[i].dt, sizeof(float)), 0) << i;
    }
    EXPECT_EQ(back->events[1].a, -5);
    EXPECT_EQ(back->events[1].b, 70000);
    EXPECT_EQ(back->events[2].a, 0x263a);
    EXPECT_NEAR(vorn_demo_duration(back), 0.0f + 1.0f / 60.0f + 0.2f + 0.033f, 1e-6);
    // The same demo gives the same bytes.
    EXPECT_EQ(vorn_demo_encode(back), bytes);
    vorn_demo_free(back);
    vorn_demo_free(d);
}

TEST(DemoFormat, EveryCutAndEveryFlippedByteIsRefused)
{
    vorn_demo *d = sample_demo();
    std::vector<uint8_t> bytes = vorn_demo_encode(d);
    vorn_demo_free(d);
    for (size_t n = 0; n < bytes.size(); n++) {
        // Copied to a block of exactly n bytes, so that a read past it is caught
        // by the sanitizer builds.
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
        EXPECT_NE(decode_why(cut), nullptr) << n;
    }
    for (size_t i = 0; i < bytes.size(); i++) {
        std::vector<uint8_t> flipped = bytes;
        flipped[i] ^= 0x10;
        EXPECT_NE(decode_why(flipped), nullptr) << i;
    }
}

TEST(DemoFormat, ForeignVersionsAndBadContentsAreRefusedWithTheReason)
{
    vorn_demo *d = sample_demo();
    std::vector<uint8_t> good = vorn_demo_encode(d);
    vorn_demo_free(d);

    std::vector<uint8_t> foreign(good);
    std::memcpy(foreign.data(), "RIFF", 4);
    EXPECT_STREQ(decode_why(foreign), "not a demo");

    std::vector<uint8_t> newer(good);
    newer[8] = 2;
    reseal(&newer);
    EXPECT_STREQ(decode_why(newer), "a demo version this game does not play");

    // The header: magic, version, seed, state, level, then 4 hi-score bytes,
    // the frame count, and the first frame's step at offset 36.
    const size_t FIRST_STEP = 28 + 4 + 4;
    const float bad_steps[] = {-0.01f, 1.0f, std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity()};
    for (float step : bad_steps) {
        std::vector<uint8_t> bad(good);
        std::memcpy(bad.data() + FIRST_STEP, &step, 4);
        reseal(&bad);
        EXPECT_STREQ(decode_why(bad), "bad time step") << step;
    }

    // The second frame's first event: type 9 does not exist.
    std::vector<uint8_t> bad_event(good);
    bad_event[FIRST_STEP + 8 + 8] = 9;
    reseal(&bad_event);
    EXPECT_STREQ(decode_why(bad_event), "bad event");

    // A frame count far beyond what the bytes hold is refused before any
    // room is made for it.
    std::vector<uint8_t> many(good);
    const uint32_t huge = VORN_DEMO_MAX_FRAMES - 1;
    std::memcpy(many.data() + FIRST_STEP - 4, &huge, 4);
    reseal(&many);
    EXPECT_STREQ(decode_why(many), "bad frame count");

    std::vector<uint8_t> hs(good);
    const uint32_t big = VORN_DEMO_MAX_HI_SCORE_BYTES + 1;
    std::memcpy(hs.data() + 24, &big, 4);
    reseal(&hs);
    EXPECT_STREQ(decode_why(hs), "bad hi-score block");
}

class DemoFileTest : public TempDirTest {};

TEST_F(DemoFileTest, WrittenFileReadsBackAndADamagedOneIsRefusedNamingIt)
{
    vorn_demo *d = sample_demo();
    ASSERT_TRUE(vorn_demo_write(d, path("a.vdm").c_str()));
    vorn_demo *back = vorn_demo_read(path("a.vdm").c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->frames.size(), d->frames.size());
    vorn_demo_free(back);
    vorn_demo_free(d);

    std::string bytes = test_read_file(path("a.vdm"));
    bytes[bytes.size() / 2] ^= 1;
    test_write_file(path("damaged.vdm"), bytes);
    testing::internal::CaptureStderr();
    EXPECT_EQ(vorn_demo_read(path("damaged.vdm").c_str()), nullptr);
    EXPECT_EQ(vorn_demo_read(path("missing.vdm").c_str()), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("damaged.vdm\" refused: damaged"), std::string::npos) << err;
    EXPECT_NE(err.find("missing.vdm\" refused"), std::string::npos) << err;
}
