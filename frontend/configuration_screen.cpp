#include "configuration_screen.h"

#include <string>

#include "corelib/log.h"
#include "frontend/configuration.h"
#include "renderer/OGL_input.h"
#include "sound/auren.h"

#define CONFIG_SLIDER_LENGTH 148

static const config_widget_layout config_layout[] = {
    {"bckg", CONFIG_WIDGET_PICTURE, 0, 0, 0, 0, "config\\background_pic.tga", nullptr, 1},
    {"disable_ps", CONFIG_WIDGET_CHECKBOX, 299, 92, 0, 0, "config\\unchecked.tga", "config\\checked.tga", 3},
    {"tex_quality", CONFIG_WIDGET_SLIDER, 136, 196, CONFIG_SLIDER_LENGTH, 4, "config\\slider.tga", nullptr, 3},
    {"tex_size", CONFIG_WIDGET_SLIDER, 136, 255, CONFIG_SLIDER_LENGTH, 2, "config\\slider.tga", nullptr, 3},
    {"sps_quantity", CONFIG_WIDGET_SLIDER, 136, 315, CONFIG_SLIDER_LENGTH, 0, "config\\slider.tga", nullptr, 3},
    {"terra_horizon", CONFIG_WIDGET_SLIDER, 136, 374, CONFIG_SLIDER_LENGTH, 0, "config\\slider.tga", nullptr, 3},
    {"volume", CONFIG_WIDGET_SLIDER, 136, 434, CONFIG_SLIDER_LENGTH, 0, "config\\slider.tga", nullptr, 3},
    {"apply", CONFIG_WIDGET_BUTTON, 114, 467, 0, 0, "config\\ok_low.tga", "config\\ok_high.tga", 3},
    {"cancel", CONFIG_WIDGET_BUTTON, 206, 467, 0, 0, "config\\abbrechen_low.tga", "config\\abbrechen_high.tga", 3},
};

static struct {
    bool open;
    game_config before;
    int mouse_x, mouse_y;
    auren_sound_t *music, *click, *rollover;
    auren_source_t *music_source;
} cs;

const config_widget_layout *config_screen_layout(uint32_t *count)
{
    *count = uint32_t(sizeof config_layout / sizeof config_layout[0]);
    return config_layout;
}

static auren_sound_t *__load_sound(const char *folder, const char *name)
{
    std::string path = std::string(folder) + name;
    auren_sound_t *snd = auren_load(path.c_str());
    if (!snd) do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "config: %s could not be loaded", name);
    return snd;
}

static void __play(auren_sound_t *snd)
{
    if (snd) auren_play(snd, AUREN_PLAY_FORGET);
}

void config_screen_open(const char *resource_folder, config_screen_widgets *w)
{
    if (cs.open) BUG();
    cs.open = true;
    OGL_input_get_mouse_pos(&cs.mouse_x, &cs.mouse_y);
    OGL_input_clear_keys();
    // The file again (it may have been changed beside the game); when it is
    // missing or short the settings in effect stay.
    game_config in_effect = *config_get();
    if (!config_load()) *config_get() = in_effect;
    cs.before = *config_get();

    const game_config *c = config_get();
    *w = config_screen_widgets{};
    w->disable_ps = c->disable_ps != 0;
    w->tex_quality = config_sane(c->tex_quality, CONFIG_DEFAULT_TEX_QUALITY);
    w->tex_size = config_sane(c->tex_size, CONFIG_DEFAULT_TEX_SIZE);
    w->sps_quantity = config_get_sps_quantity();
    w->terra_horizon = config_get_terra_horizon();
    w->volume = config_get_volume();

    cs.music = cs.click = cs.rollover = nullptr;
    cs.music_source = nullptr;
    if (resource_folder && auren_is_inited()) {
        cs.music = __load_sound(resource_folder, CONFIG_SCREEN_MUSIC);
        cs.click = __load_sound(resource_folder, CONFIG_SCREEN_CLICK);
        cs.rollover = __load_sound(resource_folder, CONFIG_SCREEN_ROLLOVER);
        if (cs.music && (cs.music_source = auren_source_add(cs.music)) != nullptr) {
            auren_set_looping(cs.music_source, true);
            auren_source_play(cs.music_source);
        }
    }
}

int config_screen_step(const config_screen_widgets *w)
{
    if (!cs.open) BUG();
    if (w->apply_entered || w->cancel_entered) __play(cs.rollover);
    if (w->apply_clicked) {
        __play(cs.click);
        game_config *c = config_get();
        c->no_ambient = 0;
        c->disable_ps = w->disable_ps ? 1 : 0;
        c->tex_quality = config_sane(w->tex_quality, CONFIG_DEFAULT_TEX_QUALITY);
        c->tex_size = config_sane(w->tex_size, CONFIG_DEFAULT_TEX_SIZE);
        c->sps_quantity = config_sane(w->sps_quantity, CONFIG_DEFAULT_SPS_QUANTITY);
        c->terra_horizon = config_sane(w->terra_horizon, CONFIG_DEFAULT_TERRA_HORIZON);
        c->volume = config_sane(w->volume, CONFIG_DEFAULT_VOLUME);
        // A failed save is logged; the settings stay in effect for the run.
        config_save();
        return CONFIG_SCREEN_APPLIED;
    }
    if (w->cancel_clicked) {
        __play(cs.click);
        return CONFIG_SCREEN_CANCELLED;
    }
    if (OGL_input_get_key(OGL_KEY_ESC)) return CONFIG_SCREEN_ESCAPED;
    return CONFIG_SCREEN_RUNNING;
}

void config_screen_close()
{
    if (!cs.open) BUG();
    if (cs.music_source) auren_stop(cs.music_source);
    // Freeing a sample frees its sources too.
    if (cs.music) auren_sound_deinit(cs.music);
    if (cs.click) auren_sound_deinit(cs.click);
    if (cs.rollover) auren_sound_deinit(cs.rollover);
    cs.music = cs.click = cs.rollover = nullptr;
    cs.music_source = nullptr;
    OGL_input_clear_keys();
    config_set_change_word(config_compute_changes(&cs.before, config_get()));
    OGL_input_set_mouse_pos(cs.mouse_x, cs.mouse_y);
    cs.open = false;
}
