#pragma once
// The video player: plays a video file into the texture "gui avi player" and
// draws it with the 2D blitter.
//
// Load opens the file (avi_decoder.h: any container FFmpeg knows), decodes
// frame 0 and starts playing. Each frame the owner advances the player by the
// frame time (gap_update) and draws it (gap_draw); a draw decodes and uploads
// only when the wanted frame changed. At its length the video stops and keeps
// showing its last frame.

#include <cstdint>

#include "avi_decoder.h"

struct OGL_texture;

#define GAP_TEXTURE_NAME "gui avi player"
// Part of a frame by which a time short of the frame's start still shows it.
#define GAP_FRAME_TOLERANCE 0.001

struct gap {
    uint8_t playing;
    avi_file *af;
    float max_time; // length, seconds
    float elapsed;  // seconds
    uint32_t wanted_frame;
    uint32_t decoded_frame;
    uint32_t bpp; // 24, or 32 with alpha
    uint32_t width, height;
    float frame_duration;
    uint8_t *frame; // bpp / 8 x width x height bytes, rows top-first
    OGL_texture *texture;
};

// Opens the video and makes its texture; the player is playing at time 0.
// False (logged, naming the file; *player null) when the file cannot be played.
bool gap_load(gap **player, const char *file);
// Advances the time by dt; returns the frame now wanted. At the length the
// time stays there and playing ends.
uint32_t gap_update(gap *g, float dt);
// Draws the wanted frame at the pixel rectangle (x, y, w, h): decoded and
// uploaded first when it is not the one in the texture. Rows come top-first
// from the decoder, so the picture is drawn flipped; a 32-bit video is
// alpha-blended. A frame that cannot be decoded leaves the last one showing.
void gap_draw(gap *g, float x, float y, float w, float h);
bool gap_is_playing(const gap *g);
// Closes the decoder, frees the texture, the buffer and the player.
void gap_free(gap *g);
