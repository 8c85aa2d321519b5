#pragma once
// The look shared by the HUD, the menus and the splash: dark blue glass,
// cyan edges and lettering, amber for highlights, red for alarms.

#include <string>

#include "data_image.h"
#include "data_text.h"

#define STYLE_GLASS rgba_u8(8, 18, 32, 170)
#define STYLE_GLASS_TOP rgba_u8(22, 44, 70, 190)
#define STYLE_EDGE rgba_u8(90, 205, 255, 220)
#define STYLE_EDGE_DIM rgba_u8(90, 205, 255, 90)
#define STYLE_TEXT rgba_u8(200, 238, 255)
#define STYLE_TEXT_DIM rgba_u8(120, 170, 200)
#define STYLE_AMBER rgba_u8(255, 184, 64)
#define STYLE_RED rgba_u8(255, 64, 48)
#define STYLE_GREEN rgba_u8(110, 240, 140)

// A glass panel: gradient fill, bright edge, faint inner line.
void style_panel(data_image &img, float x0, float y0, float x1, float y1, float radius);
// A panel in any polygonal outline.
void style_panel_polygon(data_image &img, const std::vector<float> &xy);
// A small capital label (HUD captions), baseline at y.
void style_label(data_image &img, float x, float y, const std::string &text, int align, rgba colour = STYLE_TEXT,
                 float px = 10);
// A label over busy art: a dark halo first, so it reads over any background.
void style_label_haloed(data_image &img, float x, float y, const std::string &text, int align, rgba colour = STYLE_TEXT,
                        float px = 10);
// Heading lettering with a glow, baseline at y.
void style_heading(data_image &img, float x, float y, const std::string &text, float px, int align,
                   rgba colour = STYLE_TEXT, rgba glow = rgba_u8(40, 150, 255, 160));
// A push button face, lit (hot) or not, with its caption centred.
void style_button(data_image &img, float x0, float y0, float x1, float y1, const std::string &caption, bool hot);
// An arrow mouse cursor with its tip at (1, 1), hot in amber.
data_image style_cursor(bool hot);

// A space backdrop: nebula, stars and a ringed planet; the same scene for the
// splash, the menus and the intro video (time shifts stars and light).
void style_backdrop(data_image &img, float time, uint32_t seed);
