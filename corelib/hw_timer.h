#pragma once
// High-resolution interval timer over the monotonic clock (nanosecond ticks).

#include <cstdint>

struct hw_timer {
    int64_t freq; // ticks per second
    int64_t mark; // tick count of the last mark
};

// A new timer marked now; null when memory runs out. Free with hw_timer_free().
hw_timer *hw_timer_init();
void hw_timer_free(hw_timer *timer);
// Seconds since the mark; bit 0 of reset moves the mark to now.
double hw_timer_get(hw_timer *timer, int reset);
// The current tick count of the clock the timers use.
int64_t hw_timer_ticks();
