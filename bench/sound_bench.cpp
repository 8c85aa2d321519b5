// Sound: the sound thread's CPU time per second of playback with the music
// stream and 32 playing sources, and how fast the stream decodes compared
// with real time.
//
//   sound_bench [Google Benchmark options] [MUSIC.ogg]
//
// Decoding: one iteration decodes the whole stream, "x_real_time" says how
// many seconds of audio one second decodes. Playback: one iteration is one
// second of playback; the sound thread's and the whole process's CPU time per
// second of playback, and the longest tick. Without a file it makes 30 s of
// generated stereo music. Output goes where
// OpenAL Soft sends it; ALSOFT_DRIVERS=null (the default here) mixes in real
// time without a sound card.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>

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

static std::string g_music, g_effect;

// The stream's own chunk reader, as fast as it goes, from the start to the end.
static void BM_StreamDecode(benchmark::State &state)
{
    auren_stream_t *stream = auren_stream(g_music.c_str());
    if (!stream) {
        state.SkipWithError("the music does not open as a stream");
        return;
    }
    int channels = 0, rate = 0;
    double length = 0;
    auren_stream_get_info(stream, &channels, &rate, &length);
    static char chunk[AUREN_STREAM_BUFFER_BYTES];
    uint64_t bytes = 0;
    int64_t wall = 0;
    for (auto _ : state) {
        int64_t t0 = hw_timer_ticks();
        __auren_lock();
        uint32_t filled = 0;
        while (__ogg_read_buffer(stream, AUREN_STREAM_BUFFER_BYTES, chunk, &filled)) bytes += filled;
        bytes += filled;
        ov_pcm_seek(&stream->decoder, 0);
        __auren_unlock();
        wall += hw_timer_ticks() - t0;
    }
    double audio = double(bytes) / (2.0 * channels * rate);
    // Seconds of audio per second of decoding.
    state.counters["x_real_time"] = wall > 0 ? audio / (double(wall) * 1e-9) : 0.0;
    state.counters["audio_s"] = benchmark::Counter(audio, benchmark::Counter::kAvgIterations);
    auren_stream_stop_and_deinit(stream);
    thread_sleep(2 * AUREN_THREAD_PERIOD);
}
BENCHMARK(BM_StreamDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// The music stream and 32 playing sources around a moving listener.
static void BM_Playback(benchmark::State &state)
{
    auren_stream_t *stream = auren_stream(g_music.c_str());
    auren_sound_t *snd = auren_load(g_effect.c_str());
    if (!stream || !snd) {
        state.SkipWithError("the sounds do not open");
        return;
    }
    auren_source_t *sources[BENCH_SOURCES];
    for (int i = 0; i < BENCH_SOURCES; i++) {
        sources[i] = auren_source_add(snd);
        auren_set_looping(sources[i], true);
        const int column = i % 8, row = i / 8;
        auren_set_position_ws(sources[i], {float(10 * column), 0, float(10 * row)});
        auren_set_rolloff_factor(sources[i], 1.0f);
        auren_set_reference_distance(sources[i], 20.0f);
        auren_set_pitch(sources[i], 0.8f + 0.02f * float(i));
        auren_source_play(sources[i]);
    }
    auren_stream_set_looping(stream, true);
    auren_stream_set_gain(stream, 0.8f);
    auren_stream_play(stream);
    thread_sleep(0.5); // started and settled

    auren_stats_t a, b;
    auren_get_stats(&a);
    double pcpu0 = process_cpu_seconds();
    hw_timer *timer = hw_timer_init();
    for (auto _ : state) {
        double start = hw_timer_get(timer, 0);
        while (hw_timer_get(timer, 0) - start < 1.0) {
            double t = hw_timer_get(timer, 0);
            auren_listener_set_pos({float(40 * std::sin(t)), 0, float(40 * std::cos(t))});
            thread_sleep(0.02);
        }
    }
    double played = hw_timer_get(timer, 0);
    hw_timer_free(timer);
    double pcpu = process_cpu_seconds() - pcpu0;
    auren_get_stats(&b);
    double tick_cpu = b.tick_cpu_seconds - a.tick_cpu_seconds;
    state.counters["voices"] = b.live_sources;
    state.counters["thread_ms_per_s"] = 1000.0 * tick_cpu / played;
    state.counters["process_ms_per_s"] = 1000.0 * pcpu / played;
    state.counters["longest_tick_ms"] = 1000.0 * b.tick_max_seconds;
    state.counters["ticks_per_s"] = double(b.ticks - a.ticks) / played;
    state.SetLabel("process: OpenAL's mixer included");

    auren_stream_stop_and_deinit(stream);
    thread_sleep(2 * AUREN_THREAD_PERIOD);
    auren_sound_deinit(snd);
}
BENCHMARK(BM_Playback)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    // What is left besides the benchmark's own options: at most a music file.
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        fprintf(stderr, "usage: sound_bench [Google Benchmark options] [MUSIC.ogg]\n");
        benchmark::ReportUnrecognizedArguments(argc, argv);
        return 2;
    }
    setenv("ALSOFT_DRIVERS", "null", 0);

    char dir_template[] = "/tmp/sound-bench-XXXXXX";
    const char *dir = mkdtemp(dir_template);
    if (!dir) return 1;
    g_effect = std::string(dir) + "/effect.ogg";
    if (argc == 2) {
        g_music = argv[1];
    } else {
        g_music = std::string(dir) + "/music.ogg";
        if (!testgen_write_ogg(g_music, testgen_music(30.0, 44100))) return 1;
    }
    testgen_signal fx = testgen_noise(1.0, 1, 22050, 0.2, 5);
    testgen_signal hum = testgen_sine(1.0, 1, 22050, 220, 0.3);
    for (size_t i = 0; i < fx.pcm.size(); i++) fx.pcm[i] = int16_t(fx.pcm[i] / 2 + hum.pcm[i] / 2);
    if (!testgen_write_ogg(g_effect, fx)) return 1;

    auren_init();
    auren_stats_t s0;
    auren_get_stats(&s0);
    benchmark::AddCustomContext("music", g_music);
    benchmark::AddCustomContext("sound device", s0.device_opened ? "open" : "none");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    auren_deinit();
    unlink(g_effect.c_str());
    if (g_music.rfind(dir, 0) == 0) unlink(g_music.c_str());
    rmdir(dir);
    return 0;
}
