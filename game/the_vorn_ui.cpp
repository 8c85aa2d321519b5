#include "the_vorn_ui.h"

// The HUD's drawing joins here; until then the level runs without it.
bool vorn_ui_init() { return true; }
void vorn_ui_deinit() {}
void vorn_ui_clear_counters() {}
void vorn_ui_update(float, const view *) {}
void vorn_ui_draw_statistics(int32_t) {}
void vorn_ui_draw_pause_picture() {}
void vorn_ui_station_alert() {}
