#pragma once
// Frame statistics: where the time of a frame goes and how much was drawn.
//
// Times are in ticks of hw_timer_ticks() (OGL_frame_stats_ticks_per_second()
// per second), kept in 64-bit counters so that a long run never wraps.
// Totals accumulate from the last reset; the per-frame counters cover the
// current frame only and are cleared at its start.

#include <cstdint>

struct OGL_frame_statistics {
    // totals since the last reset
    uint64_t frame_ticks; // whole frames (begin to end)
    uint64_t draw_ticks;  // queue drawing
    uint64_t swap_ticks;  // buffer swaps
    uint64_t triangles;
    uint64_t batches;
    uint64_t state_applications; // render pass states applied
    uint32_t frames;
    // the current frame
    uint32_t frame_triangles;
    uint32_t frame_batches;
    uint32_t frame_state_applications;
    // internal: when the current frame began (0 when no frame is open)
    int64_t frame_begin;
};

int64_t OGL_frame_stats_ticks_per_second();
int64_t OGL_frame_stats_now();

// Everything to zero.
void OGL_frame_stats_reset();
// A frame begins / ends; the end adds the elapsed ticks and counts one frame.
void OGL_frame_stats_begin_frame();
void OGL_frame_stats_end_frame();
// Reset and begin the first frame (called once when the game starts).
void OGL_frame_stats_start();
// End the current frame and begin the next (called after every swap).
void OGL_frame_stats_update();
// Zero the per-frame counters (start of a frame).
void OGL_frame_stats_clear_frame_counters();

// One indexed draw of `triangles` triangles (one batch).
void OGL_frame_stats_add_batch(uint32_t triangles);
// One render pass state applied.
void OGL_frame_stats_add_state_application();
void OGL_frame_stats_add_draw_ticks(int64_t ticks);
void OGL_frame_stats_add_swap_ticks(int64_t ticks);

const OGL_frame_statistics *OGL_frame_stats_get();
