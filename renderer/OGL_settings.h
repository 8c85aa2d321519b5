#pragma once
// The renderer settings record (written by the configuration screen, read by
// the render profiles and the texture code) and the render option flags.
//
// Optional values carry a presence bit; reading the LOD clamp or the LOD
// distance before it was set is a fault report.

#include <cstdint>

#define OGL_RS_SURFACE_LOD_CLAMP 0x01u
#define OGL_RS_SURFACE_LOD_OVERRIDE 0x08u
#define OGL_RS_SURFACE_LOD_DISTANCE 0x10u
#define OGL_RS_TEXTURE_SIZE_REDUCTION 0x20u
#define OGL_RS_TEXTURE_FILTER_QUALITY 0x40u
#define OGL_RS_PIXEL_PROGRAMS_DISABLED 0x80u
#define OGL_RS_ANISOTROPIC_FILTERING 0x100u

#define OGL_RS_DEFAULT_VOLUME 0.75f
#define OGL_RS_MAX_TEXTURE_SIZE_REDUCTION 2
#define OGL_RS_MAX_TEXTURE_FILTER_QUALITY 4

struct OGL_render_settings {
    uint32_t flags; // presence bits above
    int surface_lod_clamp_min, surface_lod_clamp_max;
    float surface_lod_distance;
    int texture_size_reduction; // 0..2 halvings
    int texture_filter_quality; // 0..4
    bool pixel_programs_disabled;
    float volume;              // handed through to the sound system
    int anisotropic_filtering; // OGL_RS_ANISOTROPY_AUTO, _ON or _OFF
};

// Anisotropic filtering: AUTO uses it where the board can be trusted with it
// (see OGL_features_anisotropic_filtering_in_use()), ON and OFF force it
// either way on every board that offers the extension.
enum {
    OGL_RS_ANISOTROPY_AUTO = 0,
    OGL_RS_ANISOTROPY_ON = 1,
    OGL_RS_ANISOTROPY_OFF = 2,
};

// Back to the start values (nothing set, volume 0.75).
void OGL_render_settings_reset();
const OGL_render_settings *OGL_render_settings_get();

bool OGL_render_settings_has_surface_lod_clamp();
void OGL_render_settings_set_surface_lod_clamp(int min, int max);
void OGL_render_settings_get_surface_lod_clamp(int *min, int *max); // unset: fault

bool OGL_render_settings_has_surface_lod_distance();
void OGL_render_settings_set_surface_lod_distance(float distance);
float OGL_render_settings_get_surface_lod_distance(); // unset: fault

void OGL_render_settings_set_surface_lod_override(bool on);
bool OGL_render_settings_get_surface_lod_override();

// Clamped to 0..2; unset reads 0.
void OGL_render_settings_set_texture_size_reduction(int halvings);
int OGL_render_settings_get_texture_size_reduction();
// Clamped to 0..4; unset reads 4.
void OGL_render_settings_set_texture_filter_quality(int level);
int OGL_render_settings_get_texture_filter_quality();

void OGL_render_settings_set_pixel_programs_disabled(bool disabled);
bool OGL_render_settings_get_pixel_programs_disabled();

// Read at each use (texture creation, filter updates); unset reads AUTO.
// Another value is a fault.
void OGL_render_settings_set_anisotropic_filtering(int mode);
int OGL_render_settings_get_anisotropic_filtering();

void OGL_render_settings_set_volume(float volume);
float OGL_render_settings_get_volume();

// Render option flags (start value 0).
#define OGL_RENDER_OPTION_FRUSTUM_CULLING 0x400u        // read by the scene's visibility pass
#define OGL_RENDER_OPTION_NO_SEPARATE_SPECULAR 0x20000u // keep the specular colour in the lit colour

void OGL_render_options_set(uint32_t bits);
void OGL_render_options_clear(uint32_t bits);
bool OGL_render_options_test(uint32_t bits); // every bit of `bits` set
uint32_t OGL_render_options_get();
