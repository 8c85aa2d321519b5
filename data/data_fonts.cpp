// Fonts: the game opens TrueType files by the names of the fonts it was made
// with; these are freely licensed Debian fonts of a matching character.

#include "data_build.h"
#include "data_text.h"

struct font_copy {
    const char *name;
    const char *source;
};

static const font_copy FONT_COPIES[] = {
    // HUD and splash text: Liberation Sans is metric-compatible with Arial.
    {"arial.ttf", DATA_FONT_SANS},
    {"arialbd.ttf", DATA_FONT_SANS_BOLD},
    // The HUD's own faces: a wide bold display face for headings and
    // statistics, a narrow one for the figures and a mono one for small print.
    {"ui\\Ftr____.ttf", DATA_FONT_DISPLAY},
    {"ui\\ANDROMED.ttf", DATA_FONT_MONO},
    {"ui\\arial.ttf", DATA_FONT_SANS},
    {"ui\\freon.ttf", DATA_FONT_NARROW_BOLD},
};

bool data_gen_fonts(data_ctx &ctx)
{
    for (const auto &f : FONT_COPIES)
        if (!data_copy_file(ctx, f.name, f.source)) return false;
    return true;
}
