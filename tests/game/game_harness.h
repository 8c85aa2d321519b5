#pragma once
// The whole game on the default data without a window: started once per test
// suite as the program starts it (foundation services, sound, vorn_init), then
// stepped frame by frame at a fixed time step with input injected through the
// input layer, exactly as the frame loop steps it.

#include <gtest/gtest.h>

#include <string>

struct game_actor;
struct object_instance;

class GameHarness : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    // One frame of the frame loop (state machine, then the camera-and-scene
    // pass when it is on); false when the game ended.
    static bool step(float dt);
    // n frames; stops early (false) when the game ends.
    static bool steps(int n, float dt);
    // A new game with level 1 running (the level's start step done).
    static void new_level();

    static game_actor *fighter();
    static game_actor *station();
    static float fighter_query_float(int code);
    static void hold_key(int key, bool down);
    static void hold_button(int button, bool down);
    static void tap_key(int key);

    static bool started;
};
