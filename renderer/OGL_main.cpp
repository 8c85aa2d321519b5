#include "OGL_main.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstring>

#include "OGL_features.h"
#include "OGL_frame_stats.h"
#include "OGL_group_costs.h"
#include "OGL_input.h"
#include "OGL_render_profiles.h"
#include "OGL_render_queue.h"
#include "OGL_settings.h"
#include "OGL_utils.h"
#include "OGL_window.h"
#include "corelib/log.h"

static OGL_window *window;
static bool initialised;

static const OGL_fog_settings fog_defaults = {OGL_FOG_EXP, {0, 0, 0, 0}, 0.0f, 1000.0f, 0.0f, false};
static OGL_fog_settings fog = fog_defaults;

static struct {
    float position[4];
    float ambient[4], diffuse[4], specular[4];
    bool enabled;
} global_light = {{0, 0, 1, 0}, {0, 0, 0, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, false};

bool OGL_is_initialised() { return initialised; }

// ---------------------------------------------------------------------------
// start-up

static void __close_window()
{
    OGL_features_free();
    OGL_window_free(window);
    window = nullptr;
}

// The extension string can be longer than one log message: log it in pieces
// broken at spaces.
static void __log_long_text(const char *text)
{
    const size_t piece = 2000;
    size_t len = std::strlen(text);
    size_t at = 0;
    while (at < len) {
        size_t n = len - at;
        if (n > piece) {
            n = piece;
            while (n > 1 && text[at + n] != ' ') n--;
            if (n <= 1) n = piece;
        }
        do_log(LOG_INFO, LOG_TO_FILE, "%.*s", int(n), text + at);
        at += n;
        while (at < len && text[at] == ' ') at++;
    }
}

static void __log_monitor()
{
    do_log(LOG_INFO, LOG_TO_FILE,
           "Executing monitor environment init\n____________________________________________\n ");
    GLFWmonitor *monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode *mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    int width_mm = 0, height_mm = 0;
    if (monitor) glfwGetMonitorPhysicalSize(monitor, &width_mm, &height_mm);
    int xres = mode ? mode->width : 0, yres = mode ? mode->height : 0;
    do_log(LOG_INFO, LOG_TO_FILE, "Display device info:");
    do_log(LOG_INFO, LOG_TO_FILE, "horizontal size = %i milimeters", width_mm);
    do_log(LOG_INFO, LOG_TO_FILE, "vertical size = %i milimeters", height_mm);
    do_log(LOG_INFO, LOG_TO_FILE, "horizontal resolution = %i pixels", xres);
    do_log(LOG_INFO, LOG_TO_FILE, "vertical resolution = %i pixels", yres);
    int dpi_x = OGL_features_compute_dpi(xres, width_mm);
    int dpi_y = OGL_features_compute_dpi(yres, height_mm);
    OGL_features_set_dpi(dpi_x, dpi_y);
    do_log(LOG_INFO, LOG_TO_FILE, "horizontal dots-per-inch = %i dpi", dpi_x);
    do_log(LOG_INFO, LOG_TO_FILE, "vertical dots-per-inch = %i dpi", dpi_y);
}

static const char *__gl_string(GLenum name)
{
    const GLubyte *s = glGetString(name);
    return s ? reinterpret_cast<const char *>(s) : "(none)";
}

static void __log_driver()
{
    do_log(LOG_INFO, LOG_TO_FILE, "Executing OpenGL environment init\n____________________________________________\n ");
    do_log(LOG_INFO, LOG_TO_FILE, "Vendor: %s", __gl_string(GL_VENDOR));
    do_log(LOG_INFO, LOG_TO_FILE, "Renderer: %s", __gl_string(GL_RENDERER));
    do_log(LOG_INFO, LOG_TO_FILE, "Version: %s", __gl_string(GL_VERSION));
    do_log(LOG_INFO, LOG_TO_FILE, "extensions supported: ");
    __log_long_text(__gl_string(GL_EXTENSIONS));
    do_log(LOG_INFO, LOG_TO_FILE, "________________________________________________\n");
}

void OGL_set_default_state(int xsize, int ysize)
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_NORMALIZE);
    OGL_set_viewport_and_projection(xsize, ysize, 90.0f);
    glLoadIdentity();
    OGL_fog_apply();
    OGL_global_light_apply();
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    OGL_fog_reset();
    OGL_global_light_disable();
    OGL_clear();
}

bool OGL_init(const char *window_title, int xsize, int ysize, bool fullscreen)
{
    if (initialised) {
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, "OGL_init(): the renderer is already running");
        return true;
    }
    // 1. empty render queues
    OGL_render_queues_init();

    // 2. the window
    window = OGL_window_create(xsize, ysize, fullscreen);

    // 3. extension entry points
    GLenum glew = glewInit();
    if (glew != GLEW_OK) {
        do_log(LOG_CRITICAL, LOG_TO_ALL, "OGL_init(): GLEW start-up failed: %s",
               reinterpret_cast<const char *>(glewGetErrorString(glew)));
        __close_window();
        return false;
    }
    OGL_discard_errors(); // GLEW may leave an error behind on newer contexts

    // 4. our own pointer is drawn by the front end
    OGL_input_set_cursor_visible(false, fullscreen);

    // 5., 6.
    __log_monitor();
    __log_driver();

    // 7.
    if (!OGL_features_detect()) {
        __close_window();
        return false;
    }
    // 8.
    if (OGL_CHECK_ERRORS(true)) BUG();

    // 9.
    OGL_window_set_title(window_title ? window_title : OGL_UNNAMED_WINDOW_TITLE);
    OGL_window_set_swap_interval(1);

    // 10.
    OGL_set_default_state(xsize, ysize);

    // 11.
    if (!OGL_render_profiles_init()) BUG();

    // 12.
    if (OGL_CHECK_ERRORS(true)) BUG();
    OGL_render_settings_set_volume(OGL_RS_DEFAULT_VOLUME);
    OGL_render_settings_set_pixel_programs_disabled(false);
    initialised = true;
    return true;
}

void OGL_deinit()
{
    if (!initialised && !window) return;
    OGL_render_profiles_deinit();
    OGL_render_queues_deinit();
    OGL_group_costs_deinit();
    __close_window();
    initialised = false;
}

// ---------------------------------------------------------------------------
// fog

void OGL_fog_apply()
{
    if (fog.mode != OGL_FOG_LINEAR && fog.mode != OGL_FOG_EXP) BUG();
    glFogi(GL_FOG_MODE, fog.mode == OGL_FOG_EXP ? GL_EXP : GL_LINEAR);
    glFogfv(GL_FOG_COLOR, fog.color);
    glFogf(GL_FOG_DENSITY, fog.density);
    glHint(GL_FOG_HINT, GL_NICEST);
    glFogf(GL_FOG_START, fog.start);
    glFogf(GL_FOG_END, fog.end);
}

void OGL_fog_set(const float color[4], int mode, float start, float end, float density)
{
    std::memcpy(fog.color, color, sizeof(fog.color));
    fog.mode = mode;
    fog.start = start;
    fog.end = end;
    fog.density = density;
    fog.set = true;
    OGL_fog_apply();
}

void OGL_fog_get(float color[4], float *start, float *end, float *density)
{
    if (color) std::memcpy(color, fog.color, sizeof(fog.color));
    if (start) *start = fog.start;
    if (end) *end = fog.end;
    if (density) *density = fog.density;
}

void OGL_fog_set_color(const float color[4])
{
    std::memcpy(fog.color, color, sizeof(fog.color));
    OGL_fog_apply();
}

void OGL_fog_reset()
{
    fog = fog_defaults;
    OGL_fog_apply();
}

bool OGL_fog_is_set() { return fog.set; }
const OGL_fog_settings *OGL_fog_get_settings() { return &fog; }

// ---------------------------------------------------------------------------
// global light

void OGL_global_light_set(const float position[4], const float ambient[3], const float diffuse[3],
                          const float specular[3])
{
    for (int i = 0; i < 4; i++) global_light.position[i] = position[i];
    for (int i = 0; i < 3; i++) {
        global_light.ambient[i] = ambient[i];
        global_light.diffuse[i] = diffuse[i];
        global_light.specular[i] = specular[i];
    }
    global_light.ambient[3] = global_light.diffuse[3] = global_light.specular[3] = 1.0f;
}

void OGL_global_light_enable() { global_light.enabled = true; }
void OGL_global_light_disable() { global_light.enabled = false; }
bool OGL_global_light_is_enabled() { return global_light.enabled; }

tacka4 OGL_global_light_get_position()
{
    return {global_light.position[0], global_light.position[1], global_light.position[2], global_light.position[3]};
}

void OGL_global_light_apply()
{
    glLightfv(GL_LIGHT0, GL_AMBIENT, global_light.ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, global_light.diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, global_light.specular);
    glLightfv(GL_LIGHT0, GL_POSITION, global_light.position);
    if (global_light.enabled)
        glEnable(GL_LIGHT0);
    else
        glDisable(GL_LIGHT0);
}

// Leak checking (sanitizer builds): the GL driver's and the X libraries'
// one-time allocations live until the process ends; they are not ours.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libGLX_mesa.so\nleak:swrast_dri.so\nleak:libLLVM\nleak:libX11.so\nleak:libglfw.so\n"
           "leak:libGLdispatch.so\nleak:libdbus\n";
}
