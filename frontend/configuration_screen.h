#pragma once
// The configuration screen's behaviour: its widget layout, the settings the
// widgets start from, what apply, cancel and Escape do, the music and click
// sounds and the change word. The widgets themselves (and their drawing) are
// the GUI's: each frame the screen loop reads the widgets into a
// config_screen_widgets record and calls config_screen_step.
//
//   config_screen_open(folder, &w);          // build the widgets from
//   for each widget of config_screen_layout: // config_screen_layout(), set
//       add it, set its value from w;        // them from w
//   loop:
//       update the mouse and the widgets (time step 0.1 s), draw them;
//       read them into w;
//       if (config_screen_step(&w) != CONFIG_SCREEN_RUNNING) break;
//   close the widgets; config_screen_close();
//   then the game applies: config_apply_changes(scene).

#include <cstdint>

enum {
    CONFIG_WIDGET_PICTURE = 2,
    CONFIG_WIDGET_BUTTON = 1,
    CONFIG_WIDGET_SLIDER = 4,
    CONFIG_WIDGET_CHECKBOX = 6,
};

// One widget of the screen. Images are relative to the resource folder. A
// checkbox shows image when set (particles off) and image2 when clear; a
// button shows image normally and image2 under the mouse.
struct config_widget_layout {
    const char *name;
    int kind;
    int x, y;
    int length; // sliders: the track length in pixels
    int steps;  // sliders: the steps the knob snaps to (0: none)
    const char *image;
    const char *image2;
    int layer;
};
const config_widget_layout *config_screen_layout(uint32_t *count);

#define CONFIG_SCREEN_CURSOR_NORMAL "cursor_norm.tga"
#define CONFIG_SCREEN_CURSOR_HOT "cursor_hot.tga"
#define CONFIG_SCREEN_MUSIC "config\\atmo_options.ogg"
#define CONFIG_SCREEN_CLICK "config\\standard_click.ogg"
#define CONFIG_SCREEN_ROLLOVER "config\\standard_rollover.ogg"
// The widgets' time step per frame.
#define CONFIG_SCREEN_TIME_STEP 0.1f

// What the widgets show and what happened to them this frame.
struct config_screen_widgets {
    uint8_t disable_ps;                                               // the checkbox: 1 particles off
    float tex_quality, tex_size, sps_quantity, terra_horizon, volume; // the sliders, 0..1
    uint8_t apply_clicked, cancel_clicked;
    uint8_t apply_entered, cancel_entered; // the mouse moved onto the button
};

enum {
    CONFIG_SCREEN_RUNNING = 0,
    CONFIG_SCREEN_APPLIED = 1,   // saved
    CONFIG_SCREEN_CANCELLED = 2, // the cancel button
    CONFIG_SCREEN_ESCAPED = 3,   // Escape: left without saving
};

// Starts the screen: remembers the mouse position, clears the keyboard,
// reloads the settings from the file (keeping those in effect when that
// fails), keeps a copy for the change word, and fills w with the widgets'
// starting values (made sane). With the sound library running, loads the
// three sounds from the resource folder (null: none) and starts the music.
void config_screen_open(const char *resource_folder, config_screen_widgets *w);
// One frame: rollover and click sounds; apply saves the widgets' values
// (no_ambient is always written 0: the screen has no widget for it); cancel
// and Escape (from the input layer) leave without saving.
int config_screen_step(const config_screen_widgets *w);
// Ends the screen: the sounds released, the keyboard cleared, the change
// word computed, the mouse put back.
void config_screen_close();
