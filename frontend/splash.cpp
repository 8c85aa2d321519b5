// The splash screen: element list, drawing and the rate-limited tick.
#include "splash.h"

#include <GL/glew.h>

#include <chrono>
#include <string>

#include "corelib/array.h"
#include "corelib/files.h"
#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_blitter.h"
#include "renderer/OGL_texture.h"
#include "renderer/OGL_window.h"

static void *__no_font_load(const char *, int) { return nullptr; }
static void __no_font_free(void *) {}
static void __no_draw(void *, const char *, float, float) {}
static const splash_text_writer __NO_WRITER = {__no_font_load, __no_font_free, __no_draw};

static int64_t __steady_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

static struct {
    uint8_t active;
    bool redrawn; // last_redraw holds a time
    int64_t last_redraw;
    void *font;
    array<splash_element *> *elements;
    std::string folder;
    splash_text_writer writer = __NO_WRITER;
    bool has_writer = false;
    splash_clock clock = __steady_ms;
} splash;

void splash_set_text_writer(const splash_text_writer *writer)
{
    splash.has_writer = writer != nullptr;
    splash.writer = writer ? *writer : __NO_WRITER;
}

void splash_set_clock(splash_clock clock) { splash.clock = clock ? clock : __steady_ms; }

char splash_spinner_char(uint32_t phase)
{
    static const char CHARS[SPLASH_SPINNER_PHASES] = {'|', '/', '-', '\\', '|', '/', '-', '\\'};
    return CHARS[phase % SPLASH_SPINNER_PHASES];
}

static void *__load_font()
{
    const std::string candidates[] = {splash.folder + SPLASH_FONT_FILE, SPLASH_FONT_FALLBACK_1, SPLASH_FONT_FALLBACK_2};
    for (const std::string &c : candidates) {
        void *font = splash.writer.font_load(file_native_path(c.c_str()).c_str(), SPLASH_FONT_SIZE);
        if (font) return font;
    }
    do_log(LOG_CRITICAL, LOG_TO_DEBUGGER | LOG_TO_FILE, "splash_init(): no splash font \"%s\" found",
           candidates[0].c_str());
    log_fault_bug("splash_init", __FILE__, __LINE__);
}

void splash_init(const char *resource_folder)
{
    ASSERT(!splash.active);
    splash.folder = resource_folder ? resource_folder : "";
    splash.elements = array_new<splash_element *>();
    ASSERT(splash.elements != NULL);
    splash.font = splash.has_writer ? __load_font() : nullptr;
    splash.redrawn = false;
    splash.active = 1;
}

static void __element_free(splash_element *e)
{
    if (e->texture) OGL_texture_free(e->texture);
    mem_free(e->text);
    mem_free(e);
}

void splash_deinit()
{
    if (splash.elements) {
        for (splash_element *e : *splash.elements) __element_free(e);
        array_free(splash.elements);
        splash.elements = nullptr;
    }
    if (splash.font) splash.writer.font_free(splash.font);
    splash.font = nullptr;
    splash.active = 0;
}

bool splash_is_active() { return splash.active != 0; }

uint32_t splash_get_elements_no() { return splash.elements ? splash.elements->get_size() : 0; }

static splash_element *__add(uint32_t kind, int x, int y)
{
    ASSERT(splash.active);
    splash_element *e = mem_new_zeroed<splash_element>();
    ASSERT(e != NULL);
    e->kind = kind;
    e->x = float(x);
    e->y = float(y);
    e->visible = 1;
    if (!splash.elements->add(e)) BUG();
    return e;
}

static OGL_texture *__load_picture(const std::string &path)
{
    return OGL_texture_load_picture(path.c_str(), path.c_str());
}

splash_element *splash_add_gfx(const char *file, int x, int y)
{
    ASSERT(file != NULL);
    std::string path = splash.folder + file;
    OGL_texture *t = __load_picture(path);
    if (!t) {
        do_log(LOG_CRITICAL, LOG_TO_DEBUGGER | LOG_TO_FILE, "splash_add_gfx(): picture \"%s\" cannot be loaded",
               path.c_str());
        BUG();
    }
    splash_element *e = __add(SPLASH_ELEMENT_PICTURE, x, y);
    e->texture = t;
    return e;
}

splash_element *splash_add_text(const char *text, int x, int y)
{
    ASSERT(text != NULL);
    char *copy = mem_strdup(text);
    ASSERT(copy != NULL);
    splash_element *e = __add(SPLASH_ELEMENT_TEXT, x, y);
    e->text = copy;
    return e;
}

splash_element *splash_add_spinner(int x, int y) { return __add(SPLASH_ELEMENT_SPINNER, x, y); }

void splash_element_set_visible(splash_element *e, bool visible) { e->visible = visible ? 1 : 0; }

void splash_draw_element(const splash_element *e)
{
    switch (e->kind) {
    case SPLASH_ELEMENT_PICTURE: {
        const OGL_texture *t = e->texture;
        uint32_t flags = 0;
        if (t->bpp == 32)
            flags = OGL_BLIT_ALPHA;
        else if (t->bpp != 24)
            BUG();
        OGL_blit_texture(t, e->x, e->y, float(t->xsize), float(t->ysize), flags);
        break;
    }
    case SPLASH_ELEMENT_TEXT: splash.writer.draw(splash.font, e->text, e->x, e->y); break;
    case SPLASH_ELEMENT_SPINNER: {
        const char text[2] = {splash_spinner_char(e->spinner_phase), '\0'};
        splash.writer.draw(splash.font, text, e->x, e->y);
        break;
    }
    default: BUG();
    }
}

static void __check_gl(const char *where)
{
    GLenum err = glGetError();
    if (err == GL_NO_ERROR) return;
    do_log(LOG_CRITICAL, LOG_TO_DEBUGGER | LOG_TO_FILE, "splash_update(): GL error 0x%04x %s the elements", err, where);
    log_fault_bug("splash_update", __FILE__, __LINE__);
}

void splash_update()
{
    ASSERT(splash.active);
    __check_gl("before");
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    for (splash_element *e : *splash.elements) {
        if (!e->visible) continue;
        if (e->kind == SPLASH_ELEMENT_SPINNER)
            e->spinner_phase = uint8_t((e->spinner_phase + 1) % SPLASH_SPINNER_PHASES);
        splash_draw_element(e);
        __check_gl("between");
    }
    __check_gl("after");
    OGL_swap_buffers();
}

bool splash_tick()
{
    if (!splash.active) return false;
    int64_t now = splash.clock();
    if (splash.redrawn && now - splash.last_redraw <= SPLASH_REDRAW_MS) return false;
    splash_update();
    splash.last_redraw = now;
    splash.redrawn = true;
    return true;
}

void splash_progress(void *user, float done)
{
    (void)user;
    (void)done;
    splash_tick();
}
