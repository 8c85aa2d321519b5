#pragma once
// The splash screen shown while the game loads: pictures, text lines and a
// text spinner drawn over each other in the order they were added. Loaders
// call splash_tick (or splash_progress) as often as they like; it redraws and
// swaps buffers at most every SPLASH_REDRAW_MS, so the screen stays alive
// during long loads. One splash per process; main thread only.
//
// Texts are drawn through a text writer that the owner installs
// (splash_set_text_writer) before splash_init; without one the splash loads
// no font and its texts draw nothing.

#include <cstdint>

#define SPLASH_REDRAW_MS 90
#define SPLASH_FONT_FILE "arialbd.ttf"
#define SPLASH_FONT_FALLBACK_1 "common\\arialbd.ttf"
#define SPLASH_FONT_FALLBACK_2 "common\\fonts\\arialbd.ttf"
#define SPLASH_FONT_SIZE 640 // 10 points
#define SPLASH_SPINNER_PHASES 8

enum {
    SPLASH_ELEMENT_PICTURE = 0,
    SPLASH_ELEMENT_TEXT = 1,
    SPLASH_ELEMENT_SPINNER = 3,
};

struct OGL_texture;

struct splash_element {
    uint32_t kind;
    OGL_texture *texture; // a picture's
    char *text;           // a text's
    float x, y;           // top-left corner, screen pixels
    uint8_t visible;
    uint8_t spinner_phase; // 0..7
};

// The text writer the splash draws with. font_load gets a file path and the
// size argument and returns a font or null; draw writes one line with its
// top-left corner at (x, y) in screen pixels.
struct splash_text_writer {
    void *(*font_load)(const char *file, int size);
    void (*font_free)(void *font);
    void (*draw)(void *font, const char *text, float x, float y);
};
// Installs the writer (copied); null goes back to the one that draws nothing.
void splash_set_text_writer(const splash_text_writer *writer);

// Milliseconds of a monotonic clock; the splash's own clock unless replaced
// (tests step a clock by hand). Null restores the default.
typedef int64_t (*splash_clock)();
void splash_set_clock(splash_clock clock);

// Makes the element list, loads the splash font through the text writer from
// resource_folder + SPLASH_FONT_FILE, else SPLASH_FONT_FALLBACK_1, else
// SPLASH_FONT_FALLBACK_2 (none of them: a fault report) and marks the splash
// active. resource_folder ends in a path separator (or is empty). Pictures are
// looked up in the same folder.
void splash_init(const char *resource_folder);
// Frees the elements, the list and the font; the splash is inactive.
void splash_deinit();
bool splash_is_active();

// A visible picture at (x, y) from resource_folder + file ("splash\x.tga"),
// drawn at its own size; a picture that cannot be loaded is logged with its
// name and is a fault report.
splash_element *splash_add_gfx(const char *file, int x, int y);
// A visible text line at (x, y).
splash_element *splash_add_text(const char *text, int x, int y);
// A visible spinner at (x, y): one character of "|/-\|/-\" per redraw.
splash_element *splash_add_spinner(int x, int y);
void splash_element_set_visible(splash_element *e, bool visible);
uint32_t splash_get_elements_no();

// Draws one element (pictures opaque at 24 bpp, alpha-blended at 32 bpp).
void splash_draw_element(const splash_element *e);
// Advances every visible spinner, draws every visible element and swaps the
// buffers. A GL error around the drawing is a fault report.
void splash_update();
// Redraws (splash_update) when the splash is active and more than
// SPLASH_REDRAW_MS have passed since the last redraw. True when it redrew.
bool splash_tick();
// splash_tick in the shape of a loading-progress callback; user and done
// (the part of the work done, 0..1) are not used.
void splash_progress(void *user, float done);

// The spinner's character for a phase (0..7).
char splash_spinner_char(uint32_t phase);
