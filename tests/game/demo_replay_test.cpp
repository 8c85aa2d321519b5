// Demos replay exactly: a scripted session recorded through the input layer
// replays to the same state, bit for bit; the state does not depend on how
// many effects were drawn, on the random source before the start, or on the
// hi-score file on disk; a demo whose input was changed ends elsewhere.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "corelib/drand.h"
#include "corelib/gfxloader.h"
#include "corelib/parser.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_demo.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_hi_score.h"
#include "game/the_vorn_particles.h"
#include "game/the_vorn_session.h"
#include "game/the_vorn_state_hash.h"
#include "renderer/OGL_input.h"
#include "sound/auren.h"
#include "test_support.h"

namespace {

class DemoReplayTest : public TempDirTest {
  protected:
    static void SetUpTestSuite()
    {
        data = VORN_BINARY_DIR "/data/";
        if (!test_file_exists(data + "vorn.quox2")) return;
        setenv("ALSOFT_DRIVERS", "null", 0);
        ASSERT_TRUE(drand_init() && gfxloader_init());
        parser_was_up = parser_is_inited();
        if (!parser_was_up) {
            ASSERT_TRUE(parser_init());
        }
        auren_init();
        resource_folder_set(data.c_str());
        vorn_set_headless(true);
        up = true;
    }
    static void TearDownTestSuite()
    {
        if (!up) return;
        auren_deinit();
        gfxloader_deinit();
        if (!parser_was_up) parser_deinit();
        drand_deinit();
        vorn_set_headless(false);
        up = false;
    }
    void SetUp() override
    {
        if (!up) GTEST_SKIP() << "no default data: build the 'data' target first";
        TempDirTest::SetUp();
        vorn_hi_score_set_file(path("player.hs").c_str());
    }
    void TearDown() override
    {
        vorn_hi_score_set_file(nullptr);
        TempDirTest::TearDown();
    }

    // The player's script: keys, pointer and buttons at given frames, steps
    // of uneven length, a pause, a game over with a name typed, a new game.
    static float script(int frame)
    {
        auto key = [](int k, bool down) { OGL_input_key_event(k, down ? OGL_PRESS : OGL_RELEASE); };
        auto button = [](int b, bool down) { OGL_input_mouse_button_event(b, down ? OGL_PRESS : OGL_RELEASE); };
        switch (frame) {
        case 5: OGL_input_tap_key(OGL_KEY_ESC); break; // skips the title
        case 10: key('W', true); break;
        case 20: OGL_input_mouse_move_event(520, 240); break;
        case 30: button(OGL_MOUSE_BUTTON_LEFT, true); break;
        case 150: button(OGL_MOUSE_BUTTON_LEFT, false); break;
        case 160:
            OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_RIGHT, OGL_PRESS);
            OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_RIGHT, OGL_RELEASE);
            break;
        case 200: OGL_input_mouse_move_event(300, 380); break;
        case 350: OGL_input_mouse_move_event(400, 300); break;
        case 400:
            key('W', false);
            key('A', true);
            break;
        case 420:
            key('A', false);
            button(OGL_MOUSE_BUTTON_LEFT, true);
            break;
        case 600: button(OGL_MOUSE_BUTTON_LEFT, false); break;
        case 700: // pause, and 3 s later go on
        case 760: OGL_input_tap_key('P'); break;
        case 1900: OGL_input_tap_key(OGL_KEY_ESC); break; // game over
        case 1960:
            OGL_input_char_event('A');
            OGL_input_char_event('B');
            break;
        case 1965: OGL_input_tap_key(OGL_KEY_ENTER); break;
        case 2000: OGL_input_tap_key(OGL_KEY_SPACE); break; // a new game
        case 2010: key('D', true); break;
        default: break;
        }
        if (frame == 500) return 0.2f;
        return frame % 7 == 0 ? 0.05f : 1.0f / 60.0f;
    }

    // Records the scripted session into file; the state at its end.
    static uint64_t record(const std::string &file, uint32_t seed, bool effects, uint32_t prior_seed)
    {
        // Each recording starts from an empty hi-score table (the last one
        // may have signed it).
        std::remove(vorn_hi_score_get_file());
        // Whatever the random source held before must not matter.
        drand_seed(prior_seed);
        drand_set_cursor(prior_seed * 7u);
        vorn_session_options o = {file.c_str(), nullptr, false, 0.0, seed};
        EXPECT_TRUE(vorn_session_configure(&o));
        testing::internal::CaptureStderr();
        bool ok = vorn_init(0);
        std::string log = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(ok) << log;
        vorn_particles_set_enabled(effects);
        vorn_passes *passes = vorn_get_passes();
        for (int frame = 0; frame < 2100; frame++) {
            float dt = script(frame);
            if (!vorn_session_frame(dt, &dt)) break;
            vorn_letterbox_update(dt);
            bool go_on = vorn_game_loop(dt);
            if (go_on && passes->scene) vorn_camera_and_scene_pass(dt);
            vorn_session_frame_done();
            if (!go_on) break;
        }
        testing::internal::CaptureStdout();
        EXPECT_TRUE(vorn_session_finish());
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find("demo: 2100 frames"), std::string::npos) << out;
        uint64_t hash = vorn_state_hash();
        vorn_deinit();
        vorn_particles_set_enabled(true);
        vorn_session_clear();
        return hash;
    }

    // Replays file through the game's own frame loop; whether it ended in
    // the recorded state, and the state.
    static bool replay(const std::string &file, uint64_t *hash)
    {
        vorn_session_options o = {nullptr, file.c_str(), true, 0.0, 0};
        if (!vorn_session_configure(&o)) return false;
        testing::internal::CaptureStderr();
        bool ok = vorn_init(0);
        std::string log = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(ok) << log;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        vorn_main_loop();
        std::string out = testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        EXPECT_NE(out.find("timedemo: 2100 frames"), std::string::npos) << out;
        *hash = vorn_state_hash();
        bool same = vorn_session_succeeded();
        vorn_deinit();
        vorn_session_clear();
        return same;
    }

    static std::string data;
    static bool parser_was_up, up;
};

std::string DemoReplayTest::data;
bool DemoReplayTest::parser_was_up, DemoReplayTest::up;

TEST_F(DemoReplayTest, ScriptedSessionReplaysToTheSameStateWhateverTheHiScoreFileHolds)
{
    uint64_t recorded = record(path("s.vdm"), 1234, true, 1);
    std::string table_after_recording = test_read_file(path("player.hs"));

    // The player's table changes before the replay: ten better scores.
    hs_table *table = hiscore_table_create();
    for (int i = 0; i < HS_MAX_ENTRIES; i++) {
        const uint16_t name[] = {'Z', 0};
        hiscore_table_insert(table, name, 100000 + i);
    }
    ASSERT_TRUE(hiscore_table_write(table, path("player.hs").c_str()));
    hiscore_table_free(table);
    std::string players = test_read_file(path("player.hs"));

    uint64_t replayed = 0;
    EXPECT_TRUE(replay(path("s.vdm"), &replayed));
    EXPECT_EQ(replayed, recorded);
    // The replay kept to its own copy of the table.
    EXPECT_EQ(test_read_file(path("player.hs")), players);
    vorn_demo *d = vorn_demo_read(path("s.vdm").c_str());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->state_hash, recorded);
    EXPECT_EQ(d->seed, 1234u);
    EXPECT_EQ(d->start_state, VORN_GAME_INTRO);
    vorn_demo_free(d);
    (void)table_after_recording;
}

TEST_F(DemoReplayTest, EffectsAndTheRandomSourceBeforeTheStartDoNotChangeTheOutcome)
{
    uint64_t a = record(path("a.vdm"), 99, true, 1);
    // The effects draw from their own walk of the random table.
    EXPECT_EQ(a, record(path("b.vdm"), 99, false, 1)) << "the effects moved the game's random numbers";
    // The radio's first interval is drawn after the seed.
    EXPECT_EQ(a, record(path("d.vdm"), 99, true, 2)) << "the random source before the seed mattered";
    // Another seed is another game: the fingerprint sees the difference.
    uint64_t c = record(path("c.vdm"), 100, true, 1);
    EXPECT_NE(a, c);
}

TEST_F(DemoReplayTest, ADemoWithChangedInputEndsInAnotherStateAndSaysSo)
{
    uint64_t recorded = record(path("s.vdm"), 555, true, 3);
    vorn_demo *d = vorn_demo_read(path("s.vdm").c_str());
    ASSERT_NE(d, nullptr);
    bool changed = false;
    for (vorn_demo_event &e : d->events)
        if (e.type == OGL_EVENT_MOUSE_MOVE && e.a == 520) {
            e.a = 560;
            changed = true;
        }
    ASSERT_TRUE(changed);
    ASSERT_TRUE(vorn_demo_write(d, path("changed.vdm").c_str()));
    vorn_demo_free(d);
    uint64_t replayed = 0;
    EXPECT_FALSE(replay(path("changed.vdm"), &replayed));
    EXPECT_NE(replayed, recorded);
}

} // namespace
