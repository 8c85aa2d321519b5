#pragma once
// Who drives the game this run: the player (optionally recorded into a demo),
// a demo replayed in real time or as fast as possible (timedemo), or the
// autopilot. Set before vorn_init; the frame loop asks it for every frame's
// time step, and it feeds the frame's input events through the input layer.

#include <cstdint>

struct vorn_session_options {
    const char *record_file;  // write a demo of this run
    const char *play_file;    // replay this demo
    bool timedemo;            // ... as fast as possible
    double autopilot_seconds; // > 0: the autopilot plays this long (game time)
    uint32_t seed;            // 0: chosen from the clock
};

// False (with a message naming the file on stderr) when the demo to replay is
// refused; the session stays the player's.
bool vorn_session_configure(const vorn_session_options *options);
// Back to the player, unrecorded; frees what the session holds.
void vorn_session_clear();
// Anything but the plain player.
bool vorn_session_is_active();
bool vorn_session_is_replay();

// In start-up, where the random source is seeded: the seed of the session
// (the demo's when replaying) and the hi-score file the run uses.
void vorn_session_seed();
// Just before the first step: the input state is reset and the demo's tap set.
void vorn_session_start();
// The time step of the next frame given the one measured; false when the
// session is over (the demo's last frame played, the autopilot's time up).
bool vorn_session_frame(float measured, float *dt);
// After each frame (the timedemo measures frames).
void vorn_session_frame_done();
// When the frame loop ends, before the game is taken down: the summary line
// (and the demo written). Returns false when a replay ended in another state
// than the recorded one, or the demo could not be written.
bool vorn_session_finish();
// What the last vorn_session_finish() said (true before any).
bool vorn_session_succeeded();
