#include "hw_timer.h"

#include <ctime>

#include "log.h"
#include "mem.h"

int64_t hw_timer_ticks()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

hw_timer *hw_timer_init()
{
    hw_timer *ret = static_cast<hw_timer *>(mem_alloc(sizeof(hw_timer)));
    if (!ret) return nullptr;
    ret->freq = 1000000000LL;
    ASSERT(ret->freq > 0);
    ret->mark = hw_timer_ticks();
    return ret;
}

void hw_timer_free(hw_timer *timer) { mem_free(timer); }

double hw_timer_get(hw_timer *timer, int reset)
{
    int64_t now = hw_timer_ticks();
    double seconds = double(now - timer->mark) / double(timer->freq);
    if (reset & 1) timer->mark = now;
    return seconds;
}
