// The sound thread: every 150 ms it gives back the voices of stopped sources,
// releases finished set-and-forget sources, starts and stops sources by their
// distance to the listener, and feeds the streams. It holds the library's
// mutex for the whole of a tick; only its sleep is outside.

#include <ctime>

#include "corelib/hw_timer.h"
#include "corelib/log.h"
#include "sound/auren_internal.h"

// The sleep between ticks is cut in slices this long so that auren_deinit
// does not wait for a whole period.
#define AUREN_SLEEP_SLICE 0.005

static double __thread_cpu_seconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void __cleanup_dead_sources()
{
    bool device = __auren_is_device_opened();
    for (auren_sound_t *snd : *auren_system.samples) {
        if (!snd) continue;
        for (auren_source_t *src : *snd->sources) {
            if (src->state == SS_OWNED && src->play_state == PS_STOPPED) {
                if (device) __auren_source_release_voice(src);
                src->play_state = PS_VIRTUAL;
            } else if (src->state == SS_FORGET && !__auren_source_is_paused(src) && __auren_source_is_stopped(src)) {
                __auren_source_deinit(src);
            }
        }
        if (device && AUREN_AL_FAILED()) BUG();
    }
}

void __sounds_check_active_distances()
{
    tacka3 listener = auren_system.listener_position;
    for (auren_sound_t *snd : *auren_system.samples) {
        if (!snd) continue;
        for (auren_source_t *src : *snd->sources) {
            if (src->state != SS_OWNED || !(src->active_distance > 0.0f)) continue;
            float q = tacka3_length2(tacka3_sub(src->position, listener));
            float d2 = src->active_distance * src->active_distance;
            if (src->play_state == PS_VIRTUAL && q < d2) {
                if (__auren_is_device_opened()) __auren_source_give_voice(src);
            } else if (src->play_state == PS_PLAYING && q > d2) {
                alSourceStop(src->voice);
                AUREN_AL_CHECK();
                src->play_state = PS_STOPPED;
            }
        }
    }
}

// Sleeps up to `seconds`; returns early once a stop is requested.
static void __auren_thread_sleep(hw_timer *timer, double seconds)
{
    hw_timer_get(timer, 1);
    while (auren_system.run_state != AUREN_RUN_STOP) {
        double left = seconds - hw_timer_get(timer, 0);
        if (left <= 0) break;
        thread_sleep(left < AUREN_SLEEP_SLICE ? left : AUREN_SLEEP_SLICE);
    }
}

void auren_thread_update(void *)
{
    hw_timer *timer = hw_timer_init();
    ASSERT(timer != NULL);
    hw_timer *tick_timer = hw_timer_init();
    ASSERT(tick_timer != NULL);
    __auren_thread_sleep(timer, AUREN_THREAD_PERIOD);
    double elapsed = hw_timer_get(tick_timer, 1);
    for (;;) {
        __auren_lock_intern();
        ASSERT(auren_system.inited);
        hw_timer_get(timer, 1);
        double cpu = __thread_cpu_seconds();
        __cleanup_dead_sources();
        __sounds_check_active_distances();
        __stream_update(elapsed);
        auren_system.ticks++;
        auren_system.tick_cpu_seconds += __thread_cpu_seconds() - cpu;
        double wall = hw_timer_get(timer, 0);
        if (wall > auren_system.tick_max_seconds) auren_system.tick_max_seconds = wall;
        __auren_unlock_intern();
        if (auren_system.run_state == AUREN_RUN_STOP) {
            do_log(LOG_INFO, LOG_TO_DEBUGGER, "auren_thread_update(): auren_deinit triggered....");
            break;
        }
        __auren_thread_sleep(timer, AUREN_THREAD_PERIOD);
        elapsed = hw_timer_get(tick_timer, 1);
    }
    hw_timer_free(tick_timer);
    hw_timer_free(timer);
}

#if defined(__SANITIZE_THREAD__)
// OpenAL Soft hands source and listener changes to its mixer thread through
// lock-free queues built without ThreadSanitizer: the hand-over is invisible
// to it and shows as a race between two accesses inside the library.
extern "C" const char *__tsan_default_suppressions() { return "race:libopenal.so\n"; }
#endif
