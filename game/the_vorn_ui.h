#pragma once
// The cockpit HUD over the level, the level statistics screen and the pause
// picture: pictures and text drawn in the 800 x 600 screen space from the
// fighter's and the station's values.

#include <cstdint>

struct view;

// Loads the HUD's pictures and fonts (the renderer must be running).
bool vorn_ui_init();
void vorn_ui_deinit();
// Damage marks and the station alert back to none (a new game).
void vorn_ui_clear_counters();
// One frame of the HUD: blinking, alerts, then the drawing.
void vorn_ui_update(float dt, const view *camera);
// The statistics screen of the level just won.
void vorn_ui_draw_statistics(int32_t level);
// The picture shown while the game is paused, at (200, 200).
void vorn_ui_draw_pause_picture();
// The station was hit: the HUD's alert blinks.
void vorn_ui_station_alert();
