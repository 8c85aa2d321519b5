#pragma once
// The frame recorder: while it runs, every frame shown is read back and saved
// as a numbered 24-bit BMP picture ("%02d__%04d.bmp": recording number, frame
// number), and the game advances by a fixed step per frame, so that the
// pictures make a smooth film however slowly they are saved.
//
// The pictures are RECORDER_WIDTH x RECORDER_HEIGHT: the logical screen as
// shown (scaled to that size when the window shows it at another size).

#include <cstdint>

#define RECORDER_WIDTH 800
#define RECORDER_HEIGHT 600
#define RECORDER_FRAME_BYTES (RECORDER_WIDTH * RECORDER_HEIGHT * 3)
#define RECORDER_DEFAULT_DIRECTORY ".\\"
#define RECORDER_DEFAULT_FPS 25

// Starts a recording into the directory (a prefix joined to the file names,
// e.g. ".\\") at fps pictures per second. Already recording: a fault report.
void recorder_start(const char *directory, uint32_t fps);
// Ends the recording; the next one counts up. Not recording: a fault report.
void recorder_stop();
bool recorder_is_recording();
// Saves the frame on screen as the next picture; returns 1 / fps. A picture
// that cannot be saved is logged and the recording goes on.
float recorder_grab_frame();
// Called once per frame with the frame time and the toggle key (F8): while
// recording, grabs a frame and returns the fixed step; the toggle key starts
// a recording (into the current directory at 25 per second) or stops it and
// clears the keyboard. Returns the frame time the game is to use.
float recorder_frame(float dt, int toggle_key);
// The name the last grabbed picture was saved under ("" before the first).
const char *recorder_get_current_filename();
