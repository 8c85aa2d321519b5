#pragma once
// Video file decoding for the video player: any container and codec FFmpeg
// knows (the game's intro is an AVI whatever its name says), one video stream.
//
// Frames are numbered on a fixed grid of frame_duration seconds: frame n is
// the picture on show at time (n + 0.5) x frame_duration, so a stream with a
// variable frame rate plays at its own times. Numbers past the end give the
// last picture.
//
// Pictures come out tightly packed, rows TOP-FIRST (as decoders deliver them),
// R, G, B for 24 bpp and R, G, B, A for 32 bpp (streams with alpha).
//
// A file that cannot be played (missing, empty, truncated, damaged, no video
// stream, oversized frames, no known length) is refused with a logged message
// naming it. Decoding is bounded: frame sizes are checked before anything is
// allocated for them, every open and every frame has a time limit, and a frame
// reads at most AVI_MAX_PACKETS_PER_FRAME packets.

#include <cstdint>

// Largest frame side accepted.
#define AVI_MAX_SIDE 4096
// Packets read for one frame at most (a seek to a distant key frame included).
#define AVI_MAX_PACKETS_PER_FRAME 20000
// Seconds an open or one frame may take before it is abandoned.
#define AVI_TIME_LIMIT 10.0
// Frame rates outside this range are not believed (1/25 s is used instead).
#define AVI_MIN_FPS 0.5
#define AVI_MAX_FPS 1000.0
#define AVI_DEFAULT_FPS 25.0

struct avi_stream_state; // the FFmpeg side

struct avi_file {
    char *filename; // as given, for messages
    uint32_t bpp;   // 24, or 32 when the stream has alpha
    uint32_t width, height;
    double length;         // seconds
    double frame_duration; // seconds
    uint32_t frames;       // frames on the grid: length / frame_duration, at least 1
    // Statistics: pictures decoded so far and seeks made (for tests and benches).
    uint64_t decoded_pictures;
    uint32_t seeks;
    avi_stream_state *state;
};

// Opens a video file (backslashes in the name are turned into the platform's
// separators). Null, logged, when it cannot be played.
avi_file *avi_open(const char *file);
// Decodes frame frameno into buffer (bpp / 8 x width x height bytes): the next
// frame is decoded straight on; any other one from the key frame before it.
// False, logged, when no picture could be decoded.
bool avi_get_frame(avi_file *af, uint32_t frameno, uint8_t *buffer);
void avi_close(avi_file *af);
