// Video playback benchmark: the intro video decoded frame by frame and each
// frame uploaded into the video player's texture, as the intro plays it.
//
// Prints the median and the worst milliseconds per frame for decoding (with
// the colour conversion), for the upload (finished with glFinish) and for
// both, and the cost of a jump backwards (a seek and decoding from the key
// frame before it). The goal: decoding and uploading a frame under 5 ms.
//
// Usage: video_bench [video file]   (default: ../data/intro/intro.bik beside
// the executable, written by `cmake --build build --target data`; run under
// xvfb-run for CI)

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "corelib/files.h"
#include "corelib/log.h"
#include "frontend/gui_avi_player.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_texture.h"
#include "renderer/OGL_window.h"

static double ms_since(bench_clock::time_point t0) { return bench_seconds_since(t0) * 1000.0; }

int main(int argc, char **argv)
{
    std::string file = argc > 1 ? argv[1] : file_executable_dir() + "../data/intro/intro.bik";
    if (!OGL_window_library_init() || !OGL_init("video bench", 800, 600, false)) {
        fprintf(stderr, "video_bench: no GL window (run under xvfb-run)\n");
        return 1;
    }
    gap *g = nullptr;
    if (!gap_load(&g, file.c_str())) {
        fprintf(stderr, "video_bench: cannot play %s (build it with: cmake --build build --target data)\n",
                file.c_str());
        OGL_deinit();
        return 1;
    }
    printf("video: %s\n  %u x %u, %u bpp, %.2f s, %u frames of %.1f ms\n", file.c_str(), g->width, g->height, g->bpp,
           g->max_time, g->af->frames, g->frame_duration * 1000.0);

    OGL_texture_input_data id{};
    id.filename = GAP_TEXTURE_NAME;
    id.xsize = g->width;
    id.ysize = g->height;
    id.bpp = g->bpp;
    id.pixels = g->frame;
    std::vector<double> decode, upload, both;
    for (uint32_t n = 1; n < g->af->frames; n++) {
        auto t0 = bench_clock::now();
        if (!avi_get_frame(g->af, n, g->frame)) {
            fprintf(stderr, "video_bench: frame %u cannot be decoded\n", n);
            break;
        }
        double d = ms_since(t0);
        auto t1 = bench_clock::now();
        OGL_texture_update(g->texture, &id);
        glFinish();
        double u = ms_since(t1);
        decode.push_back(d);
        upload.push_back(u);
        both.push_back(d + u);
        // Shown as the intro shows it.
        OGL_clear();
        gap_draw(g, 0, 75, 800, 450);
        OGL_swap_buffers();
    }
    auto worst = [](const std::vector<double> &v) {
        double m = 0;
        for (double x : v) m = std::max(m, x);
        return m;
    };
    printf("frames timed: %zu\n", both.size());
    printf("decode + convert: %.2f ms per frame (median), worst %.2f ms\n", bench_median(decode), worst(decode));
    printf("upload:           %.2f ms per frame (median), worst %.2f ms\n", bench_median(upload), worst(upload));
    printf("decode + upload:  %.2f ms per frame (median), worst %.2f ms  (goal: under 5 ms)\n", bench_median(both),
           worst(both));

    // Jumps backwards: each one seeks to the key frame before and decodes on.
    std::vector<double> jumps;
    uint32_t frames = g->af->frames;
    for (uint32_t k = 0; k < 10; k++) {
        uint32_t n = frames - 1 - (k * 37) % frames;
        avi_get_frame(g->af, frames - 1, g->frame);
        auto t0 = bench_clock::now();
        avi_get_frame(g->af, n / 2, g->frame);
        jumps.push_back(ms_since(t0));
    }
    printf("jump backwards:   %.2f ms (median), worst %.2f ms\n", bench_median(jumps), worst(jumps));
    gap_free(g);
    OGL_deinit();
    return 0;
}
