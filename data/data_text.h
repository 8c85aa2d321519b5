#pragma once
// Lettering on pictures, drawn with FreeType from the fonts the game ships.

#include <string>

#include "data_image.h"

// The font files the generators letter with (freely licensed Debian fonts).
#define DATA_FONT_SANS "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"
#define DATA_FONT_SANS_BOLD "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf"
#define DATA_FONT_NARROW_BOLD "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf"
#define DATA_FONT_DISPLAY "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
#define DATA_FONT_MONO "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"

enum {
    TEXT_LEFT = 0,
    TEXT_CENTRE = 1,
    TEXT_RIGHT = 2,
};

struct text_style {
    const char *font = DATA_FONT_SANS_BOLD;
    float px = 16; // pixel height of the em square
    rgba colour = {1, 1, 1, 1};
    int align = TEXT_LEFT;
    float tracking = 0;    // extra pixels between letters
    bool additive = false; // add light instead of painting over
};

bool text_init();
void text_deinit();
// Width in pixels of the text in the style.
float text_width(const text_style &style, const std::string &text);
// Draws the text with its baseline at y; x is the left, centre or right edge.
void text_draw(data_image &img, const text_style &style, float x, float y, const std::string &text);
// The text drawn with a soft glow of the given colour and radius under it.
void text_draw_glow(data_image &img, const text_style &style, float x, float y, const std::string &text, rgba glow,
                    int radius);
