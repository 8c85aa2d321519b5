#include "configuration_run.h"

#include <string>

#include "corelib/files.h"
#include "corelib/log.h"
#include "corelib/threads.h"
#include "frontend/configuration.h"
#include "frontend/configuration_screen.h"
#include "frontend/game_recorder.h"
#include "frontend/gui.h"
#include "frontend/gui_mouse.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_window.h"

static configuration_frame_hook frame_hook;
static void *frame_hook_user;

void configuration_set_frame_hook(configuration_frame_hook hook, void *user)
{
    frame_hook = hook;
    frame_hook_user = user;
}

// A cursor picture: in the screen's folder, else at the top of the resource folder.
static std::string __cursor_path(const std::string &root, const char *screen_folder, const char *name)
{
    std::string in_screen = root + (screen_folder ? screen_folder : "") + name;
    if (file_exists(in_screen.c_str())) return in_screen;
    return root + name;
}

static bool __add_widget(uint32_t ctx, const std::string &root, const config_widget_layout *l,
                         const config_screen_widgets *w)
{
    std::string image = root + l->image;
    std::string image2 = l->image2 ? root + l->image2 : std::string();
    switch (l->kind) {
    case CONFIG_WIDGET_PICTURE: return gui_add_gfx(ctx, l->name, l->x, l->y, image.c_str(), uint32_t(l->layer));
    case CONFIG_WIDGET_BUTTON:
        return gui_add_button(ctx, l->name, l->x, l->y, image.c_str(), image2.c_str(), uint32_t(l->layer));
    case CONFIG_WIDGET_CHECKBOX:
        return gui_add_checkbox(ctx, l->name, l->x, l->y, image.c_str(), image2.c_str(), w->disable_ps,
                                uint32_t(l->layer));
    case CONFIG_WIDGET_SLIDER: {
        if (!gui_add_slider(ctx, l->name, l->x, l->y, l->length, image.c_str(), uint32_t(l->layer))) return false;
        if (l->steps > 0) gui_slider_set_steps(ctx, l->name, l->steps);
        return true;
    }
    default: BUG();
    }
    return false;
}

// The slider's starting value from the record the screen opened with.
static float __slider_start(const config_screen_widgets *w, const char *name)
{
    const std::string n = name;
    if (n == "tex_quality") return w->tex_quality;
    if (n == "tex_size") return w->tex_size;
    if (n == "sps_quantity") return w->sps_quantity;
    if (n == "terra_horizon") return w->terra_horizon;
    if (n == "volume") return w->volume;
    BUG();
    return 0.0f;
}

static bool __build(uint32_t ctx, const std::string &root, const config_screen_widgets *w)
{
    uint32_t count = 0;
    const config_widget_layout *layout = config_screen_layout(&count);
    for (uint32_t i = 0; i < count; i++) {
        const config_widget_layout *l = &layout[i];
        if (!__add_widget(ctx, root, l, w)) {
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "config: the screen's widget \"%s\" (%s) cannot be made",
                   l->name, (root + l->image).c_str());
            return false;
        }
        if (l->kind == CONFIG_WIDGET_SLIDER) gui_slider_set_value(ctx, l->name, __slider_start(w, l->name));
    }
    return true;
}

static void __read_widgets(uint32_t ctx, config_screen_widgets *w)
{
    w->disable_ps = gui_checkbox_get_checked(ctx, "disable_ps");
    w->tex_quality = gui_slider_get_value(ctx, "tex_quality");
    w->tex_size = gui_slider_get_value(ctx, "tex_size");
    w->sps_quantity = gui_slider_get_value(ctx, "sps_quantity");
    w->terra_horizon = gui_slider_get_value(ctx, "terra_horizon");
    w->volume = gui_slider_get_value(ctx, "volume");
    w->apply_clicked = gui_button_clicked(ctx, "apply");
    w->cancel_clicked = gui_button_clicked(ctx, "cancel");
    w->apply_entered = gui_button_entered(ctx, "apply");
    w->cancel_entered = gui_button_entered(ctx, "cancel");
}

static void __draw(uint32_t ctx)
{
    OGL_clear();
    gui_render();
    if (gui_button_hot(ctx, "apply") || gui_button_hot(ctx, "cancel"))
        gui_mouse_render_hot();
    else
        gui_mouse_render_cold();
}

bool configuration_run(const char *resource_folder, const char *screen_folder)
{
    if (!OGL_is_initialised()) {
        do_log(LOG_INFO, LOG_TO_FILE, "config: no window, the configuration screen is not shown");
        return false;
    }
    const std::string root = resource_folder ? resource_folder : "";
    config_screen_widgets w;
    config_screen_open(root.c_str(), &w);
    // The press that opened the screen (or a held fire button) works no widget.
    OGL_input_clear_mouse_buttons();

    bool own_manager = !gui_manager_is_inited();
    if (own_manager) gui_manager_init();
    uint32_t ctx = gui_context_init();
    std::string normal = __cursor_path(root, screen_folder, CONFIG_SCREEN_CURSOR_NORMAL);
    std::string hot = __cursor_path(root, screen_folder, CONFIG_SCREEN_CURSOR_HOT);
    gui_mouse_init(normal.c_str(), hot.c_str());

    if (__build(ctx, root, &w)) {
        for (uint32_t frame = 0;; frame++) {
            if (frame_hook) frame_hook(frame, frame_hook_user);
            // A film being recorded goes on through the screen; F8 works here too.
            recorder_frame(CONFIG_SCREEN_TIME_STEP, OGL_KEY_F8);
            gui_mouse_update(CONFIG_SCREEN_TIME_STEP);
            gui_update(CONFIG_SCREEN_TIME_STEP);
            __draw(ctx);
            __read_widgets(ctx, &w);
            int result = config_screen_step(&w);
            OGL_swap_buffers();
            // A window being closed leaves the screen as Escape does.
            if (result != CONFIG_SCREEN_RUNNING || !OGL_window_is_open()) break;
        }
    }

    gui_mouse_deinit();
    gui_context_deinit(ctx);
    if (own_manager) gui_system_deinit();
    thread_sleep(CONFIG_SCREEN_CLOSE_PAUSE);
    config_screen_close();
    // The click on apply or cancel must not reach the game behind the screen.
    OGL_input_clear_mouse_buttons();
    return config_get_change_word() != 0;
}
