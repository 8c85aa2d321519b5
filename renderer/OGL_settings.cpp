#include "OGL_settings.h"

#include <algorithm>

#include "corelib/log.h"

static OGL_render_settings settings = {
    0, 0, 0, 0.0f, 0, OGL_RS_MAX_TEXTURE_FILTER_QUALITY, false, OGL_RS_DEFAULT_VOLUME, OGL_RS_ANISOTROPY_AUTO};
static uint32_t render_options;

void OGL_render_settings_reset()
{
    settings = OGL_render_settings{};
    settings.texture_filter_quality = OGL_RS_MAX_TEXTURE_FILTER_QUALITY;
    settings.volume = OGL_RS_DEFAULT_VOLUME;
}

const OGL_render_settings *OGL_render_settings_get() { return &settings; }

bool OGL_render_settings_has_surface_lod_clamp() { return settings.flags & OGL_RS_SURFACE_LOD_CLAMP; }

void OGL_render_settings_set_surface_lod_clamp(int min, int max)
{
    settings.surface_lod_clamp_min = min;
    settings.surface_lod_clamp_max = max;
    settings.flags |= OGL_RS_SURFACE_LOD_CLAMP;
}

void OGL_render_settings_get_surface_lod_clamp(int *min, int *max)
{
    if (!(settings.flags & OGL_RS_SURFACE_LOD_CLAMP)) BUG();
    *min = settings.surface_lod_clamp_min;
    *max = settings.surface_lod_clamp_max;
}

bool OGL_render_settings_has_surface_lod_distance() { return settings.flags & OGL_RS_SURFACE_LOD_DISTANCE; }

void OGL_render_settings_set_surface_lod_distance(float distance)
{
    settings.surface_lod_distance = distance;
    settings.flags |= OGL_RS_SURFACE_LOD_DISTANCE;
}

float OGL_render_settings_get_surface_lod_distance()
{
    if (!(settings.flags & OGL_RS_SURFACE_LOD_DISTANCE)) BUG();
    return settings.surface_lod_distance;
}

void OGL_render_settings_set_surface_lod_override(bool on)
{
    if (on)
        settings.flags |= OGL_RS_SURFACE_LOD_OVERRIDE;
    else
        settings.flags &= ~OGL_RS_SURFACE_LOD_OVERRIDE;
}

bool OGL_render_settings_get_surface_lod_override() { return settings.flags & OGL_RS_SURFACE_LOD_OVERRIDE; }

void OGL_render_settings_set_texture_size_reduction(int halvings)
{
    settings.texture_size_reduction = std::clamp(halvings, 0, OGL_RS_MAX_TEXTURE_SIZE_REDUCTION);
    settings.flags |= OGL_RS_TEXTURE_SIZE_REDUCTION;
}

int OGL_render_settings_get_texture_size_reduction()
{
    return (settings.flags & OGL_RS_TEXTURE_SIZE_REDUCTION) ? settings.texture_size_reduction : 0;
}

void OGL_render_settings_set_texture_filter_quality(int level)
{
    settings.texture_filter_quality = std::clamp(level, 0, OGL_RS_MAX_TEXTURE_FILTER_QUALITY);
    settings.flags |= OGL_RS_TEXTURE_FILTER_QUALITY;
}

int OGL_render_settings_get_texture_filter_quality()
{
    return (settings.flags & OGL_RS_TEXTURE_FILTER_QUALITY) ? settings.texture_filter_quality
                                                            : OGL_RS_MAX_TEXTURE_FILTER_QUALITY;
}

void OGL_render_settings_set_pixel_programs_disabled(bool disabled)
{
    settings.pixel_programs_disabled = disabled;
    if (disabled)
        settings.flags |= OGL_RS_PIXEL_PROGRAMS_DISABLED;
    else
        settings.flags &= ~OGL_RS_PIXEL_PROGRAMS_DISABLED;
}

bool OGL_render_settings_get_pixel_programs_disabled() { return settings.pixel_programs_disabled; }

void OGL_render_settings_set_anisotropic_filtering(int mode)
{
    if (mode != OGL_RS_ANISOTROPY_AUTO && mode != OGL_RS_ANISOTROPY_ON && mode != OGL_RS_ANISOTROPY_OFF) BUG();
    settings.anisotropic_filtering = mode;
    if (mode == OGL_RS_ANISOTROPY_AUTO)
        settings.flags &= ~OGL_RS_ANISOTROPIC_FILTERING;
    else
        settings.flags |= OGL_RS_ANISOTROPIC_FILTERING;
}

int OGL_render_settings_get_anisotropic_filtering()
{
    return (settings.flags & OGL_RS_ANISOTROPIC_FILTERING) ? settings.anisotropic_filtering : OGL_RS_ANISOTROPY_AUTO;
}

void OGL_render_settings_set_volume(float volume) { settings.volume = volume; }
float OGL_render_settings_get_volume() { return settings.volume; }

void OGL_render_options_set(uint32_t bits) { render_options |= bits; }
void OGL_render_options_clear(uint32_t bits) { render_options &= ~bits; }
bool OGL_render_options_test(uint32_t bits) { return (render_options & bits) == bits; }
uint32_t OGL_render_options_get() { return render_options; }
