// Sound: the sound thread's CPU time per second of playback with the music
// stream and 32 playing sources, and how fast the stream decodes compared
// with real time.
//
//   sound_bench [--seconds S] [MUSIC.ogg]
//
// Without a file it makes 30 s of generated stereo music. Output goes where
// OpenAL Soft sends it; ALSOFT_DRIVERS=null (the default here) mixes in real
// time without a sound card.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "corelib/hw_timer.h"
#include "corelib/threads.h"
#include "sound/auren.h"
#include "sound/auren_internal.h"
#include "sound/auren_stream.h"
#include "sound/testgen/auren_testgen.h"

#define BENCH_SOURCES 32

static double process_cpu_seconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

static double thread_cpu_seconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

int main(int argc, char **argv)
{
    double seconds = 10.0;
    std::string music;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = atof(argv[++i]);
        else
            music = argv[i];
    }
    if (!(seconds > 0)) seconds = 10.0;
    setenv("ALSOFT_DRIVERS", "null", 0);

    char dir_template[] = "/tmp/sound-bench-XXXXXX";
    const char *dir = mkdtemp(dir_template);
    if (!dir) return 1;
    std::string effect = std::string(dir) + "/effect.ogg";
    if (music.empty()) {
        music = std::string(dir) + "/music.ogg";
        if (!testgen_write_ogg(music, testgen_music(30.0, 44100))) return 1;
    }
    testgen_signal fx = testgen_noise(1.0, 1, 22050, 0.2, 5);
    testgen_signal hum = testgen_sine(1.0, 1, 22050, 220, 0.3);
    for (size_t i = 0; i < fx.pcm.size(); i++) fx.pcm[i] = int16_t(fx.pcm[i] / 2 + hum.pcm[i] / 2);
    if (!testgen_write_ogg(effect, fx)) return 1;

    auren_init();
    auren_stats_t s0;
    auren_get_stats(&s0);

    // Decoding: the stream's own chunk reader, as fast as it goes.
    auren_stream_t *stream = auren_stream(music.c_str());
    if (!stream) return 1;
    int channels = 0, rate = 0;
    double length = 0;
    auren_stream_get_info(stream, &channels, &rate, &length);
    struct stat st;
    double kbps = stat(music.c_str(), &st) == 0 && length > 0 ? double(st.st_size) * 8.0 / length / 1000.0 : 0.0;
    printf("sound_bench: %s, %.1f s, %d channel%s, %d Hz, %.0f kbit/s; device: %s\n", music.c_str(), length, channels,
           channels == 1 ? "" : "s", rate, kbps, s0.device_opened ? "open" : "none");
    static char chunk[AUREN_STREAM_BUFFER_BYTES];
    __auren_lock();
    double wall0 = double(hw_timer_ticks()) * 1e-9, cpu0 = thread_cpu_seconds();
    uint64_t bytes = 0;
    uint32_t filled = 0;
    while (__ogg_read_buffer(stream, AUREN_STREAM_BUFFER_BYTES, chunk, &filled)) bytes += filled;
    bytes += filled;
    double wall = double(hw_timer_ticks()) * 1e-9 - wall0, cpu = thread_cpu_seconds() - cpu0;
    ov_pcm_seek(&stream->decoder, 0);
    __auren_unlock();
    double audio = double(bytes) / (2.0 * channels * rate);
    printf("decode: %.1f s of audio in %.3f s: %.0fx real time (CPU %.3f s: %.0fx)\n", audio, wall, audio / wall, cpu,
           audio / cpu);

    // Playback: the music stream and 32 playing sources around a moving listener.
    auren_sound_t *snd = auren_load(effect.c_str());
    if (!snd) return 1;
    auren_source_t *sources[BENCH_SOURCES];
    for (int i = 0; i < BENCH_SOURCES; i++) {
        sources[i] = auren_source_add(snd);
        auren_set_looping(sources[i], true);
        auren_set_position_ws(sources[i], {float(10 * (i % 8)), 0, float(10 * (i / 8))});
        auren_set_rolloff_factor(sources[i], 1.0f);
        auren_set_reference_distance(sources[i], 20.0f);
        auren_set_pitch(sources[i], 0.8f + 0.02f * float(i));
        auren_source_play(sources[i]);
    }
    auren_stream_set_looping(stream, true);
    auren_stream_set_gain(stream, 0.8f);
    auren_stream_play(stream);
    thread_sleep(0.5);  // started and settled

    auren_stats_t a, b;
    auren_get_stats(&a);
    double pcpu0 = process_cpu_seconds();
    hw_timer *timer = hw_timer_init();
    while (hw_timer_get(timer, 0) < seconds) {
        double t = hw_timer_get(timer, 0);
        auren_listener_set_pos({float(40 * std::sin(t)), 0, float(40 * std::cos(t))});
        thread_sleep(0.02);
    }
    double played = hw_timer_get(timer, 0);
    hw_timer_free(timer);
    double pcpu = process_cpu_seconds() - pcpu0;
    auren_get_stats(&b);
    double tick_cpu = b.tick_cpu_seconds - a.tick_cpu_seconds;
    printf("playback: %.1f s with the music stream and %d playing sources (%d voices)\n", played, BENCH_SOURCES,
           b.live_sources);
    printf("  sound thread: %llu ticks, %.3f ms CPU per second of playback (%.4f%% of a core), longest tick %.2f ms\n",
           (unsigned long long)(b.ticks - a.ticks), 1000.0 * tick_cpu / played, 100.0 * tick_cpu / played,
           1000.0 * b.tick_max_seconds);
    printf("  whole process, OpenAL's mixer included: %.1f ms CPU per second\n", 1000.0 * pcpu / played);

    auren_stream_stop_and_deinit(stream);
    thread_sleep(2 * AUREN_THREAD_PERIOD);
    auren_sound_deinit(snd);
    auren_deinit();
    unlink(effect.c_str());
    if (music.rfind(dir, 0) == 0) unlink(music.c_str());
    rmdir(dir);
    return 0;
}
