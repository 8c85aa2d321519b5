// auren-play: plays sound files through the game's sound library, so that a
// sound designer hears a file exactly as the game plays it.
//
//   auren-play [--stream] [--loop] [--gain G] [--pitch P] [--seconds S] FILE...
//
// Files play one after another: as samples (".ogg" or ".wav", decoded whole,
// as effects and voices are) or, with --stream, as music streams (".ogg",
// decoded piece by piece by the sound thread). Without --seconds a file plays
// to its end, or until Ctrl-C when it loops.

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <string>
#include <strings.h>
#include <vector>

#include "corelib/hw_timer.h"
#include "corelib/log.h"
#include "corelib/threads.h"
#include "sound/auren.h"
#include "sound/auren_stream.h"

#define PLAY_POLL 0.01

static std::atomic<bool> interrupted{false};

static void on_interrupt(int) { interrupted = true; }

struct play_options {
    bool stream = false;
    bool loop = false;
    float gain = 1.0f;
    float pitch = 1.0f;
    bool pitch_set = false;
    double seconds = 0; // 0: to the end
};

static void usage(FILE *out)
{
    fprintf(out,
            "usage: auren-play [--stream] [--loop] [--gain G] [--pitch P] [--seconds S] [--log FILE] FILE...\n"
            "Plays sound files through the game's sound library, one after another.\n"
            "  --stream      play as a music stream (Ogg Vorbis), as the game plays its music\n"
            "  --loop        loop the file (until --seconds or Ctrl-C)\n"
            "  --gain G      gain of the sound, 0 or more (default 1)\n"
            "  --pitch P     pitch of a sample, %.2f to %.2f (default 1); streams keep theirs\n"
            "  --seconds S   play each file for S seconds at most\n"
            "  --log FILE    also write the library's log to FILE\n"
            "OpenAL Soft picks the output: ALSOFT_DRIVERS=wave with ALSOFT_CONF naming a\n"
            "configuration with a [wave] file= entry writes the mix to a WAV file.\n",
            double(AUREN_PITCH_MIN), double(AUREN_PITCH_MAX));
}

static bool parse_number(const char *text, double *out)
{
    char *end = nullptr;
    double v = strtod(text, &end);
    if (end == text || *end || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

static bool has_extension(const std::string &path, const char *ext)
{
    size_t n = strlen(ext);
    return path.size() >= n && strcasecmp(path.c_str() + path.size() - n, ext) == 0;
}

// Waits until done() holds, the time is up (limit > 0) or Ctrl-C; the seconds waited.
template <typename F> static double wait_while_playing(double limit, F done)
{
    hw_timer *timer = hw_timer_init();
    double t = 0;
    while (!interrupted) {
        t = hw_timer_get(timer, 0);
        if (limit > 0 && t >= limit) break;
        if (done()) break;
        thread_sleep(PLAY_POLL);
    }
    t = hw_timer_get(timer, 0);
    hw_timer_free(timer);
    return t;
}

static bool play_sample(const std::string &path, const play_options &o, bool device)
{
    auren_sound_t *snd = auren_load(path.c_str());
    if (!snd) {
        fprintf(stderr, "auren-play: %s cannot be played as a sample\n", path.c_str());
        return false;
    }
    int channels = 0, rate = 0;
    double length = 0;
    auren_sound_get_info(snd, &channels, &rate, &length);
    printf("%s: sample, %d channel%s, %d Hz, %.2f s\n", path.c_str(), channels, channels == 1 ? "" : "s", rate, length);
    fflush(stdout);
    auren_source_t *src = auren_source_add(snd);
    if (!src) {
        auren_sound_deinit(snd);
        return false;
    }
    auren_set_gain(src, o.gain);
    if (o.pitch_set) auren_set_pitch(src, o.pitch);
    auren_set_looping(src, o.loop);
    bool ok = auren_source_play(src);
    if (!ok) fprintf(stderr, "auren-play: no voice free for %s\n", path.c_str());
    double limit = o.seconds;
    // Without a device nothing plays: stand in for the sound's own length.
    if (!device && limit <= 0 && !o.loop) limit = length / (o.pitch_set ? o.pitch : 1.0);
    double heard = 0;
    if (ok) heard = wait_while_playing(limit, [&] { return device && !auren_is_playing(src); });
    auren_stop(src);
    auren_sound_deinit(snd);
    printf("%s: played %.2f s\n", path.c_str(), heard);
    return ok;
}

static bool play_stream(const std::string &path, const play_options &o, bool device)
{
    auren_stream_t *stream = auren_stream(path.c_str());
    if (!stream) {
        fprintf(stderr, "auren-play: %s cannot be played as a stream\n", path.c_str());
        return false;
    }
    int channels = 0, rate = 0;
    double length = 0;
    auren_stream_get_info(stream, &channels, &rate, &length);
    printf("%s: stream, %d channel%s, %d Hz, %.2f s\n", path.c_str(), channels, channels == 1 ? "" : "s", rate, length);
    fflush(stdout);
    auren_stream_set_gain(stream, o.gain);
    auren_stream_set_looping(stream, o.loop);
    auren_stats_t before;
    auren_get_stats(&before);
    auren_stream_play(stream);
    // The sound thread starts it at its next tick: time the play from there.
    wait_while_playing(1.0, [&] {
        auren_stats_t now;
        auren_get_stats(&now);
        return !device || now.live_sources > before.live_sources || auren_stream_get_state(stream) != STREAM_PLAY;
    });
    double limit = o.seconds;
    if (!device && limit <= 0 && !o.loop) limit = length;
    double heard = wait_while_playing(limit, [&] { return auren_stream_get_state(stream) == STREAM_PAUSE; });
    // Silence it at once, then let the sound thread release it.
    auren_stream_set_gain(stream, 0.0f);
    auren_stream_stop_and_deinit(stream);
    wait_while_playing(1.0, [] {
        auren_stats_t now;
        auren_get_stats(&now);
        return now.streams == 0;
    });
    printf("%s: played %.2f s\n", path.c_str(), heard);
    return true;
}

int main(int argc, char **argv)
{
    play_options o;
    const char *log_path = nullptr;
    static const option LONG_OPTIONS[] = {
        {"stream", no_argument, nullptr, 'S'},        {"loop", no_argument, nullptr, 'l'},
        {"gain", required_argument, nullptr, 'g'},    {"pitch", required_argument, nullptr, 'p'},
        {"seconds", required_argument, nullptr, 's'}, {"log", required_argument, nullptr, 'L'},
        {"help", no_argument, nullptr, 'h'},          {nullptr, 0, nullptr, 0},
    };
    int c;
    double v;
    while ((c = getopt_long(argc, argv, "h", LONG_OPTIONS, nullptr)) != -1) {
        switch (c) {
        case 'S': o.stream = true; break;
        case 'l': o.loop = true; break;
        case 'g':
            if (!parse_number(optarg, &v) || v < 0) {
                fprintf(stderr, "auren-play: --gain takes a number of 0 or more, not \"%s\"\n", optarg);
                return 2;
            }
            o.gain = float(v);
            break;
        case 'p':
            if (!parse_number(optarg, &v) || v <= 0) {
                fprintf(stderr, "auren-play: --pitch takes a number above 0, not \"%s\"\n", optarg);
                return 2;
            }
            if (v < AUREN_PITCH_MIN || v > AUREN_PITCH_MAX)
                fprintf(stderr, "auren-play: the game keeps pitch within %.2f..%.2f\n", double(AUREN_PITCH_MIN),
                        double(AUREN_PITCH_MAX));
            o.pitch = float(std::fmin(std::fmax(v, AUREN_PITCH_MIN), AUREN_PITCH_MAX));
            o.pitch_set = true;
            break;
        case 's':
            if (!parse_number(optarg, &v) || v <= 0) {
                fprintf(stderr, "auren-play: --seconds takes a number above 0, not \"%s\"\n", optarg);
                return 2;
            }
            o.seconds = v;
            break;
        case 'L': log_path = optarg; break;
        case 'h': usage(stdout); return 0;
        default: usage(stderr); return 2;
        }
    }
    if (optind >= argc) {
        usage(stderr);
        return 2;
    }
    if (o.stream && o.pitch_set) fprintf(stderr, "auren-play: streams play at their own pitch; --pitch is ignored\n");
    if (log_path) {
        log_file_set(log_path);
        log_file_truncate();
    }
    // The library ends the program on any other extension: check first.
    std::vector<std::string> files;
    int failed = 0;
    for (int i = optind; i < argc; i++) {
        std::string f = argv[i];
        bool ok = o.stream ? has_extension(f, ".ogg") : has_extension(f, ".ogg") || has_extension(f, ".wav");
        if (ok) {
            files.push_back(f);
        } else {
            fprintf(stderr, "auren-play: %s: %s\n", f.c_str(),
                    o.stream ? "streams are Ogg Vorbis files (.ogg)" : "samples are .ogg or .wav files");
            failed++;
        }
    }

    signal(SIGINT, on_interrupt);
    signal(SIGTERM, on_interrupt);
    auren_init();
    auren_stats_t stats;
    auren_get_stats(&stats);
    if (!stats.device_opened) fprintf(stderr, "auren-play: no sound device could be opened: nothing will be heard\n");
    for (const std::string &f : files) {
        if (interrupted) break;
        bool ok = o.stream ? play_stream(f, o, stats.device_opened) : play_sample(f, o, stats.device_opened);
        if (!ok) failed++;
    }
    auren_deinit();
    return failed ? 1 : 0;
}
