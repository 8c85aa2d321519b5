#pragma once
// Renderer start-up and shut-down, the default GL state, the fog and the
// global light.
//
// OGL_init opens the window (OGL_window.h), binds the GL extension entry points
// through GLEW, logs the display and the driver, detects the board's
// capabilities (OGL_features.h), sets the default GL state and registers the
// render profiles (OGL_render_profiles.h); the shut-down frees them again.

#include "corelib/tacka.h"

#define OGL_UNNAMED_WINDOW_TITLE "WARNING: Not named [window_title == NULL]!"

// Brings the renderer up; false (with the window closed again) when GLEW or
// a required extension is missing.
bool OGL_init(const char *window_title, int xsize, int ysize, bool fullscreen);
// Frees the profiles, closes the window, clears the initialised flag.
void OGL_deinit();
bool OGL_is_initialised();

// The default GL state for a logical screen of xsize x ysize (start-up applies it).
void OGL_set_default_state(int xsize, int ysize);

// Fog. mode: OGL_FOG_LINEAR or OGL_FOG_EXP; anything else is a fault.
enum {
    OGL_FOG_LINEAR = 0,
    OGL_FOG_EXP = 1,
};
struct OGL_fog_settings {
    int mode;
    float color[4];
    float start, end, density;
    bool set; // a fog was set since the last reset: passes draw with fog
};
// Each set applies the fog at once.
void OGL_fog_set(const float color[4], int mode, float start, float end, float density);
void OGL_fog_get(float color[4], float *start, float *end, float *density);
void OGL_fog_set_color(const float color[4]);
// Back to the defaults (exponential, black, 0..1000, density 0) and not set.
void OGL_fog_reset();
bool OGL_fog_is_set();
const OGL_fog_settings *OGL_fog_get_settings();
// Loads the fog into GL (mode, colour, density, hint, start, end).
void OGL_fog_apply();

// The global light (GL light 0).
void OGL_global_light_set(const float position[4], const float ambient[3], const float diffuse[3],
                          const float specular[3]);
void OGL_global_light_enable();
void OGL_global_light_disable();
bool OGL_global_light_is_enabled();
tacka4 OGL_global_light_get_position();
// Loads light 0 and enables or disables it by the flag.
void OGL_global_light_apply();
