// libFuzzer target: any byte string as a video file for the video player.
// Opening must never crash, read out of bounds or run unbounded; a video it
// opens must have a sane size and length, and its first, middle and last
// frames are decoded into a buffer of exactly the size it announces.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "frontend/avi_decoder.h"
#include "fuzz_util.h"

#define GUARD 256
#define GUARD_BYTE 0xA5

static std::string file_path;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    file_path = fuzz_temp_path("video.avi");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!fuzz_write(file_path, data, size)) abort();
    avi_file *af = avi_open(file_path.c_str());
    if (!af) return 0;
    if (af->width == 0 || af->height == 0 || af->width > AVI_MAX_SIDE || af->height > AVI_MAX_SIDE) abort();
    if (af->bpp != 24 && af->bpp != 32) abort();
    if (!std::isfinite(af->length) || af->length < 0.0) abort();
    if (!std::isfinite(af->frame_duration) || af->frame_duration <= 0.0) abort();
    if (af->frames < 1) abort();
    // The announced size and a guard behind it: FFmpeg's converter is not
    // instrumented, so a write past the picture is caught by the guard.
    size_t bytes = size_t(af->bpp / 8) * af->width * af->height;
    uint8_t *buffer = static_cast<uint8_t *>(malloc(bytes + GUARD));
    if (!buffer) abort();
    memset(buffer + bytes, GUARD_BYTE, GUARD);
    const uint32_t wanted[] = {0, af->frames / 2, af->frames - 1};
    for (uint32_t frameno : wanted) {
        avi_get_frame(af, frameno, buffer);
        for (size_t i = 0; i < GUARD; i++)
            if (buffer[bytes + i] != GUARD_BYTE) abort();
    }
    free(buffer);
    avi_close(af);
    return 0;
}
