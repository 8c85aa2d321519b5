#include "OGL_features.h"

#include <cmath>
#include <cstring>

#include "OGL_settings.h"
#include "OGL_utils.h"
#include "corelib/log.h"
#include "corelib/mem.h"

static OGL_features features;

// The extensions the renderer consults, by name, for simulated older boards.
static const struct {
    const char *name;
    GLboolean *flag;
} __consulted[] = {
    {"GL_ARB_multitexture", &__GLEW_ARB_multitexture},
    {"GL_ARB_texture_env_combine", &__GLEW_ARB_texture_env_combine},
    {"GL_EXT_texture_env_combine", &__GLEW_EXT_texture_env_combine},
    {"GL_ARB_texture_env_crossbar", &__GLEW_ARB_texture_env_crossbar},
    {"GL_EXT_texture_filter_anisotropic", &__GLEW_EXT_texture_filter_anisotropic},
    {"GL_SGIS_generate_mipmap", &__GLEW_SGIS_generate_mipmap},
    {"GL_EXT_separate_specular_color", &__GLEW_EXT_separate_specular_color},
    {"GL_ARB_texture_cube_map", &__GLEW_ARB_texture_cube_map},
    {"GL_ARB_fragment_program", &__GLEW_ARB_fragment_program},
    {"GL_ARB_vertex_program", &__GLEW_ARB_vertex_program},
    {"GL_ARB_vertex_buffer_object", &__GLEW_ARB_vertex_buffer_object},
    {"GL_ARB_texture_rectangle", &__GLEW_ARB_texture_rectangle},
    {"GL_EXT_texture_rectangle", &__GLEW_EXT_texture_rectangle},
    {"GL_NV_texture_rectangle", &__GLEW_NV_texture_rectangle},
    {"GL_EXT_draw_range_elements", &__GLEW_EXT_draw_range_elements},
};
#define __CONSULTED_COUNT (sizeof(__consulted) / sizeof(__consulted[0]))
static bool simulated_missing[__CONSULTED_COUNT];

#define __INFO(...) do_log(LOG_INFO, LOG_TO_FILE, __VA_ARGS__)
#define __WARN(...) do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, __VA_ARGS__)
#define __GIVE_UP(...) do_log(LOG_WARNING, LOG_TO_ALL, __VA_ARGS__)

const OGL_features *OGL_features_get() { return &features; }

int OGL_features_get_max_texture_units()
{
    ASSERT(features.max_texture_units >= 1);
    return features.max_texture_units;
}

float OGL_features_get_max_anisotropic_value()
{
    ASSERT(GLEW_EXT_texture_filter_anisotropic);
    return features.max_anisotropy;
}

bool OGL_features_anisotropy_trusted_on(const char *renderer)
{
    if (!renderer) return false;
    return !std::strstr(renderer, "llvmpipe") && !std::strstr(renderer, "softpipe");
}

bool OGL_features_choose_anisotropic_filtering(bool extension, bool trusted, int mode)
{
    if (!extension || mode == OGL_RS_ANISOTROPY_OFF) return false;
    return mode == OGL_RS_ANISOTROPY_ON || trusted;
}

bool OGL_features_anisotropic_filtering_in_use()
{
    return OGL_features_choose_anisotropic_filtering(GLEW_EXT_texture_filter_anisotropic, features.anisotropy_trusted,
                                                     OGL_render_settings_get_anisotropic_filtering());
}

bool OGL_features_vertex_programs_available() { return GLEW_ARB_vertex_program; }
bool OGL_features_fragment_programs_available() { return GLEW_ARB_fragment_program; }
GLuint OGL_features_get_normalisation_cube_map() { return features.normalisation_cube_map; }

int OGL_features_compute_dpi(int resolution_pixels, int size_mm)
{
    if (size_mm <= 0 || resolution_pixels <= 0) return 0;
    return int(double(resolution_pixels) / (double(size_mm) * 0.03937007874015748));
}

void OGL_features_set_dpi(int dpi_x, int dpi_y)
{
    features.dpi_x = dpi_x;
    features.dpi_y = dpi_y;
}

void OGL_features_cube_map_direction(int face, int row, int column, int size, float out[3])
{
    float h = float(size) * 0.5f;
    float a = float(row) + 0.5f - h;
    float b = float(column) + 0.5f - h;
    float v[3];
    switch (face) {
    case 0: v[0] = h, v[1] = -a, v[2] = -b; break;
    case 1: v[0] = -h, v[1] = -a, v[2] = b; break;
    case 2: v[0] = b, v[1] = h, v[2] = a; break;
    case 3: v[0] = b, v[1] = -h, v[2] = -a; break;
    case 4: v[0] = b, v[1] = -a, v[2] = h; break;
    default: v[0] = -b, v[1] = -a, v[2] = -h; break;
    }
    float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; i++) out[i] = v[i] / len;
}

static GLuint __build_normalisation_cube_map()
{
    const int size = OGL_NORMALISATION_CUBE_MAP_SIZE;
    uint8_t *texels = static_cast<uint8_t *>(mem_alloc(size_t(size) * size * 3));
    if (!texels) return 0;
    GLuint name = 0;
    glGenTextures(1, &name);
    if (name == 0) {
        mem_free(texels);
        return 0;
    }
    glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, name);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int face = 0; face < 6; face++) {
        uint8_t *p = texels;
        for (int row = 0; row < size; row++)
            for (int column = 0; column < size; column++) {
                float d[3];
                OGL_features_cube_map_direction(face, row, column, size, d);
                for (int i = 0; i < 3; i++) *p++ = uint8_t(int(d[i] * 127.0f + 127.0f));
            }
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB + face, 0, GL_RGB8, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE,
                     texels);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, 0);
    mem_free(texels);
    return name;
}

bool OGL_features_simulate_missing(const char *names)
{
    bool ok = true;
    for (bool &m : simulated_missing) m = false;
    const char *p = names ? names : "";
    while (*p) {
        while (*p == ' ') p++;
        const char *start = p;
        while (*p && *p != ' ') p++;
        size_t len = size_t(p - start);
        if (len == 0) break;
        bool known = false;
        for (size_t i = 0; i < __CONSULTED_COUNT; i++)
            if (std::strlen(__consulted[i].name) == len && std::strncmp(__consulted[i].name, start, len) == 0) {
                simulated_missing[i] = true;
                known = true;
            }
        if (!known) {
            __WARN("OGL_features_simulate_missing(): the renderer does not use \"%.*s\"", int(len > 64 ? 64 : len),
                   start);
            ok = false;
        }
    }
    return ok;
}

void OGL_features_free()
{
    if (features.normalisation_cube_map) glDeleteTextures(1, &features.normalisation_cube_map);
    features.normalisation_cube_map = 0;
}

bool OGL_features_detect()
{
    for (size_t i = 0; i < __CONSULTED_COUNT; i++)
        if (simulated_missing[i] && *__consulted[i].flag) {
            *__consulted[i].flag = GL_FALSE;
            __WARN("OGL_features_detect(): simulating a board without %s", __consulted[i].name);
        }

    // 1. limits of the vertex paths
    int dpi_x = features.dpi_x, dpi_y = features.dpi_y;
    OGL_features_free();
    std::memset(&features, 0, sizeof(features));
    features.dpi_x = dpi_x;
    features.dpi_y = dpi_y;
    if (GLEW_EXT_draw_range_elements) {
        glGetIntegerv(GL_MAX_ELEMENTS_VERTICES_EXT, &features.max_elements_vertices);
        glGetIntegerv(GL_MAX_ELEMENTS_INDICES_EXT, &features.max_elements_indices);
    }
    if (GLEW_NV_vertex_array_range)
        glGetIntegerv(GL_MAX_VERTEX_ARRAY_RANGE_ELEMENT_NV, &features.max_vertex_array_range_elements);
    if (GLEW_NV_vertex_array_range2) __WARN("GL_NV_vertex_array_range2 supported.");

    // 2. multitexturing is required
    if (!GLEW_ARB_multitexture) {
        __GIVE_UP("OGL_init(): GL_ARB_multitexture not available, giving up! Either your graphics card is too old or "
                  "you need to install graphic card drivers available from your card's manufacturer!");
        return false;
    }
    GLint max_t_units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &max_t_units);
    ASSERT(max_t_units > 0);
    features.max_texture_units = max_t_units;
    __INFO("OGL_init(): gl_max_texture_units_arb: %d", max_t_units);
    __INFO("ARB_MULTITEXTURE supported");

    // 3.
    if (!GLEW_SGIS_generate_mipmap)
        __WARN("GL_SGIS_generate_mipmap unsupported, this might end up in incorrect rendering.");

    // 4. texture combiners, one of the two is required
    if (GLEW_EXT_texture_env_combine)
        __INFO("OGL_init(): GL_EXT_texture_env_combine supported!");
    else
        __INFO("OGL_init(): GL_EXT_texture_env_combine not available!");
    if (GLEW_ARB_texture_env_combine)
        __INFO("OGL_init(): GL_ARB_texture_env_combine supported!");
    else
        __INFO("OGL_init(): GL_ARB_texture_env_combine not available!");
    if (!GLEW_EXT_texture_env_combine && !GLEW_ARB_texture_env_combine) {
        __GIVE_UP("OGL_init(): Both GL_ARB_texture_env_combine and GL_EXT_texture_env_combine not available, giving "
                  "up! Either your graphics card is too old or you need to install graphic card drivers available "
                  "from your card's manufacturer!");
        return false;
    }

    // 5.
    if (GLEW_EXT_texture_filter_anisotropic) {
        __INFO("OGL_init(): GL_EXT_texture_filter_anisotropic supported");
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &features.max_anisotropy);
        __INFO("OGL_init(): max_anisotropic filters: %f\n", double(features.max_anisotropy));
        const char *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
        features.anisotropy_trusted = OGL_features_anisotropy_trusted_on(renderer);
        const int mode = OGL_render_settings_get_anisotropic_filtering();
        if (mode == OGL_RS_ANISOTROPY_OFF)
            __INFO("OGL_init(): anisotropic filtering switched off by the render settings, using linear filtering");
        else if (!features.anisotropy_trusted && mode == OGL_RS_ANISOTROPY_AUTO)
            __INFO("OGL_init(): anisotropic filtering not used on \"%s\" (it filters every texel under a pixel), "
                   "using linear filtering",
                   renderer ? renderer : "");
        else if (!features.anisotropy_trusted)
            __INFO("OGL_init(): anisotropic filtering used on \"%s\" as the render settings ask",
                   renderer ? renderer : "");
    } else {
        __INFO("OGL_init(): GL_EXT_texture_filter_anisotropic not available, switching to linear");
    }

    // 6.
    if (GLEW_EXT_separate_specular_color) {
        __INFO("OGL_init(): GL_EXT_separate_specular_color supported!");
        if (!OGL_render_options_test(OGL_RENDER_OPTION_NO_SEPARATE_SPECULAR))
            glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL_EXT, GL_SEPARATE_SPECULAR_COLOR_EXT);
    } else {
        __INFO("OGL_init(): GL_EXT_separate_specular_color not available!");
    }

    // 7.
    if (GLEW_ARB_texture_cube_map) {
        __INFO("OGL_init(): GL_ARB_texture_cube_map supported!");
        features.normalisation_cube_map = __build_normalisation_cube_map();
        if (features.normalisation_cube_map == 0) BUG();
    } else {
        __WARN("OGL_init(): GL_ARB_texture_cube_map not available.");
    }

    // 8.
    GLint max_t_size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_t_size);
    ASSERT(max_t_size > 0);
    features.max_texture_size = max_t_size;
    __INFO("OGL_init(): gl_max_texture_size: %d", max_t_size);

    // 9.
    if (GLEW_ARB_fragment_program) {
        glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS_ARB, &features.max_texture_image_units);
        __INFO("GL_MAX_TEXTURE_IMAGE_UNITS_ARB : %d", features.max_texture_image_units);
        glGetIntegerv(GL_MAX_TEXTURE_COORDS_ARB, &features.max_texture_coords);
        __INFO("GL_MAX_TEXTURE_COORDS_ARB : %d", features.max_texture_coords);
        __INFO("ARB_fragment_program initialized.");
    } else {
        __WARN("ARB_fragment_program not supported. please install the newest drivers for your gfx board.");
    }

    // 10.
    if (GLEW_ARB_shading_language_100 && GLEW_ARB_fragment_shader && GLEW_ARB_vertex_shader && GLEW_ARB_shader_objects)
        __INFO("OGL_init(): GLSL supported!");

    // 11.
    if (GLEW_NV_occlusion_query) __INFO("OGL_init(): GL_NV_occlusion_query supported!");
    if (GLEW_ARB_occlusion_query) __INFO("OGL_init(): GL_ARB_occlusion_query supported!");
    if (GLEW_ARB_shadow) __INFO("OGL_init(): GL_ARB_shadow supported.");
    if (GLEW_ARB_depth_texture) __INFO("OGL_init(): GL_ARB_depth_texture supported.");
    if (GLEW_ARB_texture_env_crossbar) __INFO("OGL_init(): GL_ARB_texture_env_crossbar.");

    // 12. programs are only used together with cube maps
    if (!GLEW_ARB_texture_cube_map) {
        __GLEW_ARB_fragment_program = GL_FALSE;
        __GLEW_ARB_vertex_program = GL_FALSE;
    }
    return true;
}
