#include "the_vorn_session.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "corelib/drand.h"
#include "corelib/files.h"
#include "corelib/hw_timer.h"
#include "corelib/log.h"
#include "game/the_vorn.h"
#include "game/the_vorn_autopilot.h"
#include "game/the_vorn_demo.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_hi_score.h"
#include "game/the_vorn_state_hash.h"
#include "renderer/OGL_input.h"

// The autopilot's step without a window.
#define VORN_SESSION_FIXED_STEP (1.0f / 60.0f)

static struct {
    bool active;
    std::string record_file, play_file;
    bool timedemo;
    double autopilot_seconds;
    uint32_t seed;
    vorn_demo *recording;      // being recorded
    vorn_demo *replay;         // being replayed
    uint32_t frame;            // frames started
    double game_time;          // their steps summed
    std::string hi_score_copy; // the temporary hi-score file, removed at the end
    std::string player_hi_scores;
    hw_timer *wall; // since the start (real-time replay, timedemo)
    hw_timer *frame_timer;
    double frame_min, frame_max, frame_sum;
    double resident_first_minute; // MiB, autopilot
} ss;
static bool ss_finished_ok = true;

bool vorn_session_succeeded() { return ss_finished_ok; }

static void __tap(int type, int a, int b)
{
    if (ss.recording) vorn_demo_add_event(ss.recording, type, a, b);
}

bool vorn_session_is_active() { return ss.active; }

bool vorn_session_is_replay() { return ss.replay != nullptr; }

void vorn_session_clear()
{
    OGL_input_set_event_tap(nullptr);
    OGL_input_set_window_events(true);
    vorn_demo_free(ss.recording);
    vorn_demo_free(ss.replay);
    hw_timer_free(ss.wall);
    hw_timer_free(ss.frame_timer);
    if (!ss.hi_score_copy.empty()) {
        std::remove(ss.hi_score_copy.c_str());
        vorn_hi_score_set_file(ss.player_hi_scores.c_str());
    }
    ss.recording = ss.replay = nullptr;
    ss.wall = ss.frame_timer = nullptr;
    ss.hi_score_copy.clear();
    ss.active = false;
    ss.record_file.clear();
    ss.play_file.clear();
    ss.timedemo = false;
    ss.autopilot_seconds = 0.0;
    ss.seed = 0;
}

bool vorn_session_configure(const vorn_session_options *o)
{
    vorn_session_clear();
    if (o->play_file) {
        ss.replay = vorn_demo_read(o->play_file);
        if (!ss.replay) {
            fprintf(stderr, "vorn: the demo \"%s\" cannot be played (see vorn-log.txt)\n", o->play_file);
            return false;
        }
        ss.play_file = o->play_file;
    }
    if (o->record_file) {
        ss.recording = vorn_demo_create();
        if (!ss.recording) return false;
        ss.record_file = o->record_file;
    }
    ss.timedemo = o->timedemo && ss.replay;
    ss.autopilot_seconds = ss.replay ? 0.0 : o->autopilot_seconds;
    ss.seed = o->seed;
    ss.active = ss.replay || ss.recording || ss.autopilot_seconds > 0.0;
    return true;
}

// The run's hi-score table goes to a temporary copy holding these bytes: a
// replay or the autopilot never touch the player's table.
static bool __hi_score_copy(const std::vector<uint8_t> &bytes)
{
    char name[] = "/tmp/vorn-hs-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) return false;
    bool ok = bytes.empty() || write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    close(fd);
    if (!ok) {
        std::remove(name);
        return false;
    }
    ss.player_hi_scores = vorn_hi_score_get_file();
    ss.hi_score_copy = name;
    vorn_hi_score_set_file(name);
    return true;
}

static std::vector<uint8_t> __player_hi_scores()
{
    std::vector<uint8_t> bytes(VORN_DEMO_MAX_HI_SCORE_BYTES);
    size_t size = 0;
    uint64_t total = 0;
    const char *path = vorn_hi_score_get_file();
    if (!file_exists(path) || !file_read_head(path, bytes.data(), bytes.size(), &size, &total)) size = 0;
    bytes.resize(size);
    return bytes;
}

void vorn_session_seed()
{
    if (!ss.active) {
        drand_reseed();
        return;
    }
    std::vector<uint8_t> hi_scores;
    if (ss.replay) {
        ss.seed = ss.replay->seed;
        hi_scores = ss.replay->hi_scores;
    } else {
        if (!ss.seed) ss.seed = uint32_t(time(nullptr)) ^ uint32_t(getpid()) << 16;
        hi_scores = __player_hi_scores();
    }
    drand_seed(ss.seed);
    drand_set_cursor(0);
    do_log(LOG_INFO, LOG_TO_FILE, "session: seed %u", ss.seed);
    if (ss.recording) {
        ss.recording->seed = ss.seed;
        ss.recording->hi_scores = hi_scores;
    }
    // The player's own recorded games keep the player's table.
    if ((ss.replay || ss.autopilot_seconds > 0.0) && !__hi_score_copy(hi_scores))
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, "session: no temporary hi-score file");
}

void vorn_session_start()
{
    if (!ss.active) return;
    OGL_input_clear_keys();
    OGL_input_clear_mouse_buttons();
    OGL_input_set_key_callback(nullptr);
    OGL_input_set_char_callback(nullptr);
    // Only the demo or the pilot move the game.
    OGL_input_set_window_events(!(ss.replay || ss.autopilot_seconds > 0.0));
    OGL_input_set_event_tap(__tap);
    if (ss.recording) {
        ss.recording->start_state = vorn_game_get_state();
        ss.recording->start_level = vorn_get_current_level();
    }
    if (ss.autopilot_seconds > 0.0) vorn_autopilot_reset();
    ss.frame = 0;
    ss.game_time = 0.0;
    ss.frame_min = 1e30;
    ss.frame_max = ss.frame_sum = 0.0;
    ss.resident_first_minute = 0.0;
    ss.wall = hw_timer_init();
    ss.frame_timer = hw_timer_init();
}

static double __resident_mib()
{
    long pages = 0, resident = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    if (!f) return 0.0;
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    fclose(f);
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

static double __peak_mib()
{
    rusage ru = {};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_maxrss) / 1024.0;
}

static bool __replay_frame(float *dt)
{
    if (ss.frame >= ss.replay->frames.size()) return false;
    uint32_t first, end;
    vorn_demo_frame_events(ss.replay, ss.frame, &first, &end);
    for (uint32_t i = first; i < end; i++) {
        const vorn_demo_event &e = ss.replay->events[i];
        switch (e.type) {
        case OGL_EVENT_KEY: OGL_input_key_event(e.a, e.b); break;
        case OGL_EVENT_CHAR: OGL_input_char_event(e.a); break;
        case OGL_EVENT_MOUSE_BUTTON: OGL_input_mouse_button_event(e.a, e.b); break;
        case OGL_EVENT_MOUSE_MOVE: OGL_input_mouse_move_event(e.a, e.b); break;
        case OGL_EVENT_MOUSE_WHEEL: OGL_input_mouse_wheel_event(e.a); break;
        default: break;
        }
    }
    *dt = ss.replay->frames[ss.frame].dt;
    // In real time the frame waits until its time has come.
    if (!ss.timedemo && !vorn_is_headless()) {
        double ahead = ss.game_time - hw_timer_get(ss.wall, 0);
        if (ahead > 0.0) usleep(useconds_t(std::fmin(ahead, 1.0) * 1e6));
    }
    return true;
}

bool vorn_session_frame(float measured, float *dt)
{
    *dt = measured;
    if (!ss.active) return true;
    if (ss.replay) {
        if (!__replay_frame(dt)) return false;
    } else if (ss.autopilot_seconds > 0.0) {
        if (ss.game_time >= ss.autopilot_seconds) return false;
        if (vorn_is_headless()) *dt = VORN_SESSION_FIXED_STEP;
        vorn_autopilot_frame(*dt);
        if (ss.resident_first_minute == 0.0 && ss.game_time >= 60.0) ss.resident_first_minute = __resident_mib();
    }
    if (ss.recording && !vorn_demo_add_frame(ss.recording, *dt)) {
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, "session: the demo is full, recording ends");
        return false;
    }
    ss.frame++;
    ss.game_time += *dt;
    hw_timer_get(ss.frame_timer, 1);
    return true;
}

void vorn_session_frame_done()
{
    if (!ss.active || !ss.frame_timer) return;
    double ms = hw_timer_get(ss.frame_timer, 1) * 1000.0;
    ss.frame_min = std::fmin(ss.frame_min, ms);
    ss.frame_max = std::fmax(ss.frame_max, ms);
    ss.frame_sum += ms;
}

bool vorn_session_finish()
{
    if (!ss.active) return true;
    bool ok = true;
    uint64_t hash = vorn_state_hash();
    if (ss.recording) {
        ss.recording->state_hash = hash;
        if (!vorn_demo_write(ss.recording, ss.record_file.c_str())) {
            fprintf(stderr, "vorn: the demo \"%s\" could not be written (see vorn-log.txt)\n", ss.record_file.c_str());
            ok = false;
        }
        printf("demo: %u frames, %.2f s, state %016llx\n", ss.frame, ss.game_time, (unsigned long long)hash);
    }
    if (ss.replay) {
        double wall = ss.wall ? hw_timer_get(ss.wall, 0) : 0.0;
        if (ss.timedemo) {
            double n = ss.frame ? double(ss.frame) : 1.0;
            printf("timedemo: %u frames, %.2f s, %.1f fps (min %.2f ms, avg %.2f ms, max %.2f ms), state %016llx\n",
                   ss.frame, wall, wall > 0.0 ? ss.frame / wall : 0.0, ss.frame ? ss.frame_min : 0.0, ss.frame_sum / n,
                   ss.frame_max, (unsigned long long)hash);
        } else {
            printf("play-demo: %u frames, %.2f s, state %016llx\n", ss.frame, ss.game_time, (unsigned long long)hash);
        }
        bool whole = ss.frame == ss.replay->frames.size();
        if (!whole || hash != ss.replay->state_hash) {
            fprintf(stderr, "vorn: the demo \"%s\" %s: recorded state %016llx\n", ss.play_file.c_str(),
                    whole ? "ended in another state" : "was not played to its end",
                    (unsigned long long)ss.replay->state_hash);
            ok = false;
        }
    }
    if (ss.autopilot_seconds > 0.0) {
        const vorn_autopilot_stats *st = vorn_autopilot_get_stats();
        double now = __resident_mib();
        printf("autopilot: score %lld, levels %d, games %d, frames %u, peak memory %.1f MiB\n", (long long)st->score,
               st->levels, st->games, ss.frame, __peak_mib());
        if (ss.resident_first_minute > 0.0)
            printf("autopilot: resident %.1f MiB after the first minute, %.1f MiB at the end (%+.2f %%)\n",
                   ss.resident_first_minute, now, (now / ss.resident_first_minute - 1.0) * 100.0);
    }
    fflush(stdout);
    ss_finished_ok = ok;
    return ok;
}
