#pragma once
// The configuration screen's own loop: it builds the screen's widgets over
// the background picture, runs its own frames (clear, draw, swap, input)
// until apply, cancel, Escape or the window closing ends it, and tears the
// screen down again. Afterwards the game applies the change word to what it
// owns: config_apply_changes(scene) and its particle settings.
//
// The layout images are read from the resource folder (they name their
// "config\" sub-folder themselves); the two cursor pictures from the screen
// folder inside it, or from the resource folder itself when they are not
// there.

#include <cstdint>

// Called at the start of every frame of the screen with the frame's number
// (0 first), before the mouse and the widgets are read: tests feed input
// events there.
typedef void (*configuration_frame_hook)(uint32_t frame, void *user);
void configuration_set_frame_hook(configuration_frame_hook hook, void *user);

// The longest the screen waits after closing before the game goes on (the
// click sound plays out), in seconds.
#define CONFIG_SCREEN_CLOSE_PAUSE 0.15

// Runs the screen; true when the settings changed (the change word is not 0).
// Without a renderer, or when a picture of the screen cannot be loaded
// (logged with its file name), nothing is shown or changed and the result is
// false.
bool configuration_run(const char *resource_folder, const char *screen_folder);
