#pragma once
// Helpers of the sound tests: child processes with their own OpenAL set-up,
// and measurements of the mix that OpenAL Soft's wave writer captured.

#include <functional>
#include <string>
#include <utility>
#include <vector>

// OpenAL Soft reads its configuration once per process, so every test that
// starts the sound library does it in a forked child of its own, which picks
// the backend: "null" (no output), "wave" (the mix is written to `capture`)
// or a name no backend has (no device at all). The child logs to `log` when
// given. Inside `body` the usual gtest checks work; the child exits with 0
// when they all passed. Returns that exit status (128 + signal when killed).
struct sound_child_setup {
    std::string drivers = "null";
    std::string capture;
    std::string log;
};
int sound_child(const sound_child_setup &setup, const std::function<void()> &body);

// The captured mix, both channels averaged, in -1..1.
struct capture_t {
    std::vector<float> mono;
    int rate = 0;
    double seconds() const { return rate ? double(mono.size()) / rate : 0.0; }
};
// False (with a gtest failure) when the file is not a 16-bit PCM WAV file.
bool capture_read(const std::string &path, capture_t *capture);
double capture_rms(const capture_t &c, double t0, double t1);
// Frequency from the rising zero crossings in [t0, t1]; 0 when there are fewer than 3.
double capture_frequency(const capture_t &c, double t0, double t1);
// Stretches of sound (10 ms windows louder than `threshold` RMS) as (start,
// end) in seconds; silences shorter than `bridge` inside a stretch are kept.
std::vector<std::pair<double, double>> capture_segments(const capture_t &c, double threshold, double bridge);
// The quietest 5 ms window in [t0, t1], as RMS.
double capture_min_window_rms(const capture_t &c, double t0, double t1);

// Offsets of the pages of an Ogg file ("OggS" marks).
std::vector<size_t> ogg_page_offsets(const std::string &bytes);
// The file with `count` bytes of the body of page `page` overwritten and the
// page's checksum made right again: damage only the decoder can see.
std::string ogg_mangle_page(const std::string &bytes, size_t page, int count, uint32_t *seed);

// Sleeps the calling thread.
void sound_sleep(double seconds);
// Reads the whole log file.
std::string sound_read_log(const std::string &path);
