#pragma once
// Test videos made with FFmpeg's encoders. Every frame shows its own number
// so that a decoded picture says which frame it is:
//   - the top quarter of the picture is red (it tells top from bottom);
//   - below it, VIDEO_TESTGEN_BITS columns of equal width show the bits of
//     the frame number, most significant first: white for 1, black for 0;
//   - with an alpha codec, the left half has alpha VIDEO_TESTGEN_LEFT_ALPHA,
//     the right half 255.

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/pixfmt.h>
}

#define VIDEO_TESTGEN_BITS 6
#define VIDEO_TESTGEN_LEFT_ALPHA 128

struct video_testgen_spec {
    const char *container = "avi"; // an FFmpeg muxer name
    AVCodecID codec = AV_CODEC_ID_MPEG4;
    AVPixelFormat pix_fmt = AV_PIX_FMT_YUV420P; // the encoder's input
    int width = 64, height = 48;
    int fps = 25; // time base 1 / fps when times_ms is empty
    int frames = 30;
    int gop = 10;              // key frame interval
    std::vector<int> times_ms; // variable frame rate: each frame's time (ms); the last frame lasts end_ms - its time
    int end_ms = 0;
};

bool video_testgen_write(const std::string &path, const video_testgen_spec &spec);

// The frame number shown by a decoded picture (rows top-first, 24 or 32 bpp),
// -1 when the columns are not clearly black or white.
int video_testgen_read_number(const uint8_t *pixels, int width, int height, int bpp);
// The same read from a picture of the pattern drawn on screen: a function
// giving the colour (r, g, b) of pixel (x, y), y = 0 the top row of the picture.
int video_testgen_read_number_at(int width, int height, void (*pixel)(void *user, int x, int y, uint8_t rgb[3]),
                                 void *user);
