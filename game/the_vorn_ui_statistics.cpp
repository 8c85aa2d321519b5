// The level statistics screen: the won level's shots and accuracies.

#include <cstdio>

#include "frontend/gui_text_writer.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_ui.h"
#include "renderer/OGL_main.h"

int32_t vorn_ui_accuracy(int32_t hits, int32_t shots)
{
    if (shots <= 0 || hits <= 0) return 0;
    // In 64 bits: hits x 100 must not overflow for any counter value.
    return int32_t(int64_t(hits) * 100 / int64_t(shots));
}

void vorn_ui_statistics_lines(int32_t level, const vorn_level_statistics *s,
                              vorn_ui_text_line lines[VORN_UI_STATISTICS_LINES])
{
    auto put = [&](int i, int font, int32_t y, const char *format, int32_t value) {
        std::snprintf(lines[i].text, sizeof lines[i].text, format, value);
        lines[i].font = font;
        lines[i].x = 100;
        lines[i].y = y;
    };
    put(0, VORN_UI_FONT_BIG, 200, "LEVEL %d STATISTICS: ", level);
    put(1, VORN_UI_FONT_SMALL, 225, "Player Shots: %d", s->player_shots);
    put(2, VORN_UI_FONT_SMALL, 245, "Player Accuracy: %d%%", vorn_ui_accuracy(s->player_hits, s->player_shots));
    put(3, VORN_UI_FONT_SMALL, 265, "Sentinel Shots: %d", s->sentinel_shots);
    put(4, VORN_UI_FONT_SMALL, 285, "Sentinels Accuracy: %d%%", vorn_ui_accuracy(s->sentinel_hits, s->sentinel_shots));
    put(5, VORN_UI_FONT_BIG, 315, "PRESS <SPACE> TO CONTINUE ", 0);
}

void vorn_ui_draw_statistics(int32_t level)
{
    if (!OGL_is_initialised()) return;
    vorn_ui_text_line lines[VORN_UI_STATISTICS_LINES];
    vorn_ui_statistics_lines(level, vorn_get_level_statistics(), lines);
    for (const vorn_ui_text_line &l : lines)
        if (gtw_font *f = vorn_ui_get_font(l.font)) gtw_draw_text_utf8(f, l.x, l.y, l.text, nullptr, 0);
}
