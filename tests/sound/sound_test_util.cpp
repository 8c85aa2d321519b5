#include "sound_test_util.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include "corelib/log.h"
#include "sound/auren_internal.h"
#include "test_support.h"

int sound_child(const sound_child_setup &setup, const std::function<void()> &body)
{
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        alarm(60);
        setenv("ALSOFT_DRIVERS", setup.drivers.c_str(), 1);
        if (!setup.capture.empty()) {
            std::string conf = setup.capture + ".conf";
            test_write_file(conf, "[general]\ndrivers = wave\nsample-type = int16\nchannels = stereo\n"
                                  "frequency = 44100\n[wave]\nfile = " +
                                      setup.capture + "\n");
            setenv("ALSOFT_CONF", conf.c_str(), 1);
        }
        if (!setup.log.empty()) {
            log_file_set(setup.log.c_str());
            log_file_truncate();
        }
        body();
        fflush(nullptr);
        // exit() lets the leak checker of a sanitizer build look at the child.
        if (::testing::Test::HasFailure()) _exit(1);
        exit(0);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

bool capture_read(const std::string &path, capture_t *capture)
{
    std::string bytes = test_read_file(path);
    auren_wav_t wav;
    const char *why = nullptr;
    if (!__auren_wav_parse(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), &wav, &why)) {
        ADD_FAILURE() << "capture " << path << ": " << why;
        return false;
    }
    if (wav.bits != 16) {
        ADD_FAILURE() << "capture " << path << " is not 16-bit";
        return false;
    }
    capture->rate = wav.frequency;
    capture->mono.resize(wav.frames);
    const int16_t *s = reinterpret_cast<const int16_t *>(wav.data);
    for (uint32_t i = 0; i < wav.frames; i++) {
        float sum = 0;
        for (int c = 0; c < wav.channels; c++) sum += float(s[i * uint32_t(wav.channels) + uint32_t(c)]) / 32768.0f;
        capture->mono[i] = sum / float(wav.channels);
    }
    return true;
}

static void __range(const capture_t &c, double t0, double t1, size_t *a, size_t *b)
{
    double n = double(c.mono.size());
    *a = size_t(std::clamp(t0 * c.rate, 0.0, n));
    *b = size_t(std::clamp(t1 * c.rate, 0.0, n));
}

double capture_rms(const capture_t &c, double t0, double t1)
{
    size_t a, b;
    __range(c, t0, t1, &a, &b);
    if (b <= a) return 0;
    double sum = 0;
    for (size_t i = a; i < b; i++) sum += double(c.mono[i]) * c.mono[i];
    return std::sqrt(sum / double(b - a));
}

double capture_frequency(const capture_t &c, double t0, double t1)
{
    size_t a, b;
    __range(c, t0, t1, &a, &b);
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = a + 1; i < b; i++) {
        if (c.mono[i - 1] < 0 && c.mono[i] >= 0) {
            double frac = c.mono[i - 1] / (c.mono[i - 1] - c.mono[i]);
            double t = double(i - 1) + frac;
            if (first < 0) first = t;
            last = t;
            crossings++;
        }
    }
    if (crossings < 3 || last <= first) return 0;
    return double(crossings - 1) * c.rate / (last - first);
}

std::vector<std::pair<double, double>> capture_segments(const capture_t &c, double threshold, double bridge)
{
    std::vector<std::pair<double, double>> out;
    const double W = 0.010;
    for (double t = 0; t + W <= c.seconds(); t += W) {
        if (capture_rms(c, t, t + W) <= threshold) continue;
        if (!out.empty() && t - out.back().second <= bridge + 1e-9)
            out.back().second = t + W;
        else
            out.push_back({t, t + W});
    }
    return out;
}

double capture_min_window_rms(const capture_t &c, double t0, double t1)
{
    const double W = 0.005;
    double lowest = 1e9;
    for (double t = t0; t + W <= t1; t += W / 2) lowest = std::min(lowest, capture_rms(c, t, t + W));
    return lowest;
}

void sound_sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

std::string sound_read_log(const std::string &path) { return test_read_file(path); }

std::vector<size_t> ogg_page_offsets(const std::string &bytes)
{
    std::vector<size_t> out;
    for (size_t i = 0; i + 4 <= bytes.size(); i++)
        if (bytes.compare(i, 4, "OggS") == 0) out.push_back(i);
    return out;
}

std::string ogg_mangle_page(const std::string &bytes, size_t page_index, int count, uint32_t *seed)
{
    std::string bad = bytes;
    std::vector<size_t> pages = ogg_page_offsets(bad);
    if (page_index >= pages.size()) return bad;
    size_t start = pages[page_index];
    size_t end = page_index + 1 < pages.size() ? pages[page_index + 1] : bad.size();
    ogg_page page;
    page.header = reinterpret_cast<unsigned char *>(&bad[start]);
    page.header_len = 27 + uint8_t(bad[start + 26]);
    page.body = page.header + page.header_len;
    page.body_len = long(end - start) - page.header_len;
    if (page.body_len <= 0) return bad;
    for (int k = 0; k < count; k++) {
        *seed = *seed * 1664525u + 1013904223u;
        page.body[(*seed >> 8) % size_t(page.body_len)] = (unsigned char)(*seed >> 24);
    }
    ogg_page_checksum_set(&page);
    return bad;
}
