#include "OGL_frame_stats.h"

#include <cstring>

#include "corelib/hw_timer.h"

static OGL_frame_statistics stats;

int64_t OGL_frame_stats_ticks_per_second() { return 1000000000LL; }
int64_t OGL_frame_stats_now() { return hw_timer_ticks(); }

void OGL_frame_stats_reset() { std::memset(&stats, 0, sizeof(stats)); }

void OGL_frame_stats_begin_frame() { stats.frame_begin = hw_timer_ticks(); }

void OGL_frame_stats_end_frame()
{
    if (stats.frame_begin == 0) return;
    int64_t elapsed = hw_timer_ticks() - stats.frame_begin;
    if (elapsed > 0) stats.frame_ticks += uint64_t(elapsed);
    stats.frames++;
    stats.frame_begin = 0;
}

void OGL_frame_stats_start()
{
    OGL_frame_stats_reset();
    OGL_frame_stats_begin_frame();
}

void OGL_frame_stats_update()
{
    OGL_frame_stats_end_frame();
    OGL_frame_stats_begin_frame();
}

void OGL_frame_stats_clear_frame_counters()
{
    stats.frame_triangles = 0;
    stats.frame_batches = 0;
    stats.frame_state_applications = 0;
}

void OGL_frame_stats_add_batch(uint32_t triangles)
{
    stats.triangles += triangles;
    stats.batches++;
    stats.frame_triangles += triangles;
    stats.frame_batches++;
}

void OGL_frame_stats_add_state_application()
{
    stats.state_applications++;
    stats.frame_state_applications++;
}

void OGL_frame_stats_add_draw_ticks(int64_t ticks)
{
    if (ticks > 0) stats.draw_ticks += uint64_t(ticks);
}

void OGL_frame_stats_add_swap_ticks(int64_t ticks)
{
    if (ticks > 0) stats.swap_ticks += uint64_t(ticks);
}

const OGL_frame_statistics *OGL_frame_stats_get() { return &stats; }
