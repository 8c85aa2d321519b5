#pragma once
// The graphics board's capabilities, detected once at renderer start-up.
//
// Extension presence is read from GLEW's flags (GLEW_ARB_vertex_program and
// friends), which detection corrects: without cube maps the vertex and
// fragment program flags are cleared, so that every later choice takes the
// fixed-function paths. The numbers below are the board's limits.

#include <GL/glew.h>

struct OGL_features {
    int max_elements_vertices, max_elements_indices; // GL_EXT_draw_range_elements, else 0
    int max_vertex_array_range_elements;             // GL_NV_vertex_array_range, else 0
    int max_texture_units;
    float max_anisotropy; // GL_EXT_texture_filter_anisotropic, else 0
    int max_texture_size;
    int max_texture_image_units, max_texture_coords; // GL_ARB_fragment_program, else 0
    GLuint normalisation_cube_map;                   // GL_ARB_texture_cube_map, else 0
    int dpi_x, dpi_y;                                // of the display, 0 when unknown
    bool anisotropy_trusted;                         // the board filters anisotropically in bounded time
};

#define OGL_NORMALISATION_CUBE_MAP_SIZE 128

// Detects everything (logging each finding); false when the board lacks a
// required extension (multitexturing, texture combiners).
bool OGL_features_detect();
// Deletes what detection created (the cube map).
void OGL_features_free();
const OGL_features *OGL_features_get();

int OGL_features_get_max_texture_units();         // at least 1 (fault otherwise)
float OGL_features_get_max_anisotropic_value();   // fault without anisotropic filtering
bool OGL_features_vertex_programs_available();    // GL_ARB_vertex_program after detection
bool OGL_features_fragment_programs_available();  // GL_ARB_fragment_program after detection
GLuint OGL_features_get_normalisation_cube_map(); // 0 without cube maps

// Anisotropic filtering. Some software renderers (Mesa's llvmpipe and
// softpipe) filter anisotropically by visiting every texel under a pixel's
// footprint, whatever the maximum anisotropy asks: a textured triangle seen
// edge-on then takes seconds to draw. Such boards are not trusted with it.
// Whether a board named `renderer` (GL_RENDERER) can be trusted.
bool OGL_features_anisotropy_trusted_on(const char *renderer);
// The choice: the extension is present and the render setting mode
// (OGL_RS_ANISOTROPY_*) forces it on, or leaves it to a trusted board.
bool OGL_features_choose_anisotropic_filtering(bool extension, bool trusted, int mode);
// The choice for this board and the current render settings; textures read
// it whenever they set their filters.
bool OGL_features_anisotropic_filtering_in_use();

// Makes detection treat the named extensions (separated by spaces) as missing,
// as on an older board; call before OGL_init. Only the extensions the renderer
// consults can be named; false (logged) for any other name.
bool OGL_features_simulate_missing(const char *names);

// Dots per inch for a resolution over a physical size; 0 when the size is unknown.
int OGL_features_compute_dpi(int resolution_pixels, int size_mm);
void OGL_features_set_dpi(int dpi_x, int dpi_y);

// The normalised direction a normalisation cube map texel holds, before
// encoding: face 0..5 (+X, -X, +Y, -Y, +Z, -Z), row and column in 0..size-1.
void OGL_features_cube_map_direction(int face, int row, int column, int size, float out[3]);
