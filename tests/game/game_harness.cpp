#include "game_harness.h"

#include "actors/actors.h"
#include "corelib/drand.h"
#include "corelib/gfxloader.h"
#include "corelib/parser.h"
#include "frontend/configuration.h"
#include "game/gameplay_core.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_hi_score.h"
#include "renderer/OGL_input.h"
#include "sound/auren.h"
#include "test_support.h"

bool GameHarness::started = false;
static bool parser_was_up;
static std::string scratch;

void GameHarness::SetUpTestSuite()
{
    started = false;
    std::string data = VORN_BINARY_DIR "/data/";
    if (!test_file_exists(data + "vorn.quox2")) return;
    setenv("ALSOFT_DRIVERS", "null", 0);
    ASSERT_TRUE(drand_init() && gfxloader_init());
    parser_was_up = parser_is_inited();
    if (!parser_was_up) {
        ASSERT_TRUE(parser_init());
    }
    auren_init();
    resource_folder_set(data.c_str());
    // The player's files go to a scratch folder, never into the build tree.
    scratch = test_make_temp_dir();
    config_set_file((scratch + "/game_config.ini").c_str());
    vorn_hi_score_set_file((scratch + "/vorn.hs").c_str());
    vorn_set_headless(true);
    testing::internal::CaptureStderr();
    bool ok = vorn_init(0);
    std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(ok) << log;
    started = true;
}

void GameHarness::TearDownTestSuite()
{
    if (!started) return;
    vorn_deinit();
    auren_deinit();
    gfxloader_deinit();
    if (!parser_was_up) parser_deinit();
    drand_deinit();
    vorn_set_headless(false);
    test_remove_tree(scratch);
    started = false;
}

void GameHarness::SetUp()
{
    if (!started) GTEST_SKIP() << "no default data: build the 'data' target first";
    OGL_input_reset();
}

bool GameHarness::step(float dt)
{
    if (!vorn_game_loop(dt)) return false;
    if (vorn_get_passes()->scene) vorn_camera_and_scene_pass(dt);
    return true;
}

bool GameHarness::steps(int n, float dt)
{
    for (int i = 0; i < n; i++)
        if (!step(dt)) return false;
    return true;
}

void GameHarness::new_level()
{
    vorn_game_deinit();
    vorn_new_game();
    vorn_game_set_state(VORN_GAME_LEVEL);
    OGL_input_reset();
    step(0.0f);
}

game_actor *GameHarness::fighter() { return vorn_get_game_actor("fighter", "fighter"); }

game_actor *GameHarness::station() { return vorn_get_game_actor("station", "station"); }

float GameHarness::fighter_query_float(int code)
{
    float v = -1.0f;
    EXPECT_TRUE(game_actor_query(fighter(), code, &v)) << code;
    return v;
}

void GameHarness::hold_key(int key, bool down) { OGL_input_key_event(key, down ? OGL_PRESS : OGL_RELEASE); }

void GameHarness::hold_button(int button, bool down)
{
    OGL_input_mouse_button_event(button, down ? OGL_PRESS : OGL_RELEASE);
}

void GameHarness::tap_key(int key) { OGL_input_tap_key(key); }
