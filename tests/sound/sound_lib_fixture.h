#pragma once
// The fixture of the tests that start the sound library: a scratch folder
// with test sounds, a log file per child, and looks at the library's records
// under its lock.

#include <chrono>
#include <cmath>

#include <gtest/gtest.h>

#include "sound/auren.h"
#include "sound/auren_internal.h"
#include "sound/auren_stream.h"
#include "sound/testgen/auren_testgen.h"
#include "sound_test_util.h"
#include "test_support.h"

// Runs f under the library's lock and returns its result.
template <typename F> auto peek(F f)
{
    __auren_lock();
    auto r = f();
    __auren_unlock();
    return r;
}

// Polls until pred holds; the seconds it took, or -1 after `timeout`.
template <typename F> double wait_until(F pred, double timeout)
{
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (pred()) return t;
        if (t > timeout) return -1;
        sound_sleep(0.002);
    }
}

inline auren_stats_t stats()
{
    auren_stats_t s;
    auren_get_stats(&s);
    return s;
}

// A change made by the game reaches OpenAL within one tick of the sound
// thread, plus the tick's own work and some slack for a loaded machine.
#define ONE_TICK (AUREN_THREAD_PERIOD + 0.15)

class SoundLib : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        log = path("log.txt");
    }
    sound_child_setup with(const std::string &drivers, const std::string &capture = "")
    {
        sound_child_setup s;
        s.drivers = drivers;
        s.capture = capture;
        s.log = log;
        return s;
    }
    std::string ogg(const std::string &name, const testgen_signal &s)
    {
        std::string p = path(name);
        EXPECT_TRUE(testgen_write_ogg(p, s));
        return p;
    }
    std::string wav(const std::string &name, const testgen_signal &s, int bits = 16)
    {
        std::string p = path(name);
        EXPECT_TRUE(testgen_write_wav(p, s, bits));
        return p;
    }
    // Runs body in a child (see sound_child); a failure there fails the test.
    void child(const sound_child_setup &setup, const std::function<void()> &body)
    {
        int status = sound_child(setup, body);
        EXPECT_EQ(status, 0) << "the child process failed (its messages are above)";
    }
    std::string log_text() { return sound_read_log(log); }
    std::string log;
};

// A driver list that names no backend: no device can be opened.
#define NO_DEVICE "no-such-backend"
