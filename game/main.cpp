// The process entry: starts the foundation services, runs the game and stops them.

#include <cstdio>
#include <cstring>
#include <getopt.h>

#include "corelib/log.h"
#include "frontend/configuration.h"
#include "frontend/fonts.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_session.h"
#include "renderer/OGL_input.h"
#include "renderer/engine.h"
#include "sound/auren.h"

#ifndef VORN_VERSION
#define VORN_VERSION "0.0.0"
#endif

static void print_usage()
{
    printf("usage: vorn [--windowed] [--keys LIST] [--record-demo FILE] [--play-demo FILE]\n"
           "            [--timedemo FILE] [--autopilot SECONDS] [--headless] [--seed N]\n"
           "            [--help] [--version]\n"
           "\n"
           "VVVORN, a space-combat game on the Morphane engine.\n"
           "The resource folder is named by app.ini beside the executable\n"
           "(vorn_freeware_resource_folder = <folder>); the log goes to vorn-log.txt\n"
           "in the working directory.\n"
           "\n"
           "  --windowed   run in a window instead of full screen\n"
           "  --keys LIST  tap keys at given frames, e.g. \"100:F8 150:F8 400:ESC\"\n"
           "               (F8 records frames, for demos and automated checks)\n"
           "  --record-demo FILE  play as usual and record a demo of the session into FILE\n"
           "  --play-demo FILE    replay a demo in real time\n"
           "  --timedemo FILE     replay a demo as fast as possible and print the frame rate\n"
           "  --autopilot SECONDS let the game play itself for SECONDS of game time\n"
           "                      (with --record-demo, its session is recorded)\n"
           "  --headless          no window (with --play-demo, --timedemo or --autopilot)\n"
           "  --seed N            the random seed of a recorded or autopilot session\n"
           "  --help       show this text\n"
           "  --version    show the version\n");
}

static int WinMain(uint8_t fullscreen, bool headless)
{
    // Foundation services with the font library; the window library starts
    // with the window.
    if (!engine_startup(ENGINE_FOUNDATION, nullptr) || !fonts_init()) log_fault_bug("WinMain", ".\\main", 74);

    uint8_t startup_flag = fullscreen;
    if (headless) {
        // Without a window the resource folder is read here (the window's
        // start-up reads it otherwise).
        if (!init_resource_folder(RESOURCE_FOLDER_KEY)) log_fault_bug("WinMain", ".\\main", 80);
        vorn_set_headless(true);
    }
    auren_init();
    config_load_and_apply();
    auren_listener_set_gain(vorn_configured_volume());

    int result = kickoff_vorn_freeware(startup_flag);

    auren_deinit();
    engine_shutdown();
    fonts_deinit();
    return result;
}

int main(int argc, char **argv)
{
    static const option LONG_OPTIONS[] = {
        {"windowed", no_argument, nullptr, 'w'},
        {"keys", required_argument, nullptr, 'k'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {"record-demo", required_argument, nullptr, 'r'},
        {"play-demo", required_argument, nullptr, 'p'},
        {"timedemo", required_argument, nullptr, 't'},
        {"autopilot", required_argument, nullptr, 'a'},
        {"headless", no_argument, nullptr, 'H'},
        {"seed", required_argument, nullptr, 's'},
        {nullptr, 0, nullptr, 0},
    };
    uint8_t fullscreen = 1;
    bool headless = false;
    vorn_session_options session = {nullptr, nullptr, false, 0.0, 0};
    char *end = nullptr;
    int c;
    // getopt_long names an unknown option or a missing list itself.
    while ((c = getopt_long(argc, argv, "h", LONG_OPTIONS, nullptr)) != -1) {
        switch (c) {
        case 'w': fullscreen = 0; break;
        case 'k':
            // Checked now, so that a mistyped list is refused before the window opens.
            if (!OGL_input_script_set(optarg)) {
                fprintf(stderr, "vorn: --keys takes entries FRAME:KEY such as \"100:F8 400:ESC\", not \"%s\"\n",
                        optarg);
                return 2;
            }
            OGL_input_script_set(nullptr);
            vorn_set_key_script(optarg);
            break;
        case 'r': session.record_file = optarg; break;
        case 'p': session.play_file = optarg; break;
        case 't':
            session.play_file = optarg;
            session.timedemo = true;
            break;
        case 'a':
            session.autopilot_seconds = strtod(optarg, &end);
            if (*end || !(session.autopilot_seconds > 0.0 && session.autopilot_seconds < 1e7)) {
                fprintf(stderr, "vorn: --autopilot takes a number of seconds, not \"%s\"\n", optarg);
                return 2;
            }
            break;
        case 'H': headless = true; break;
        case 's':
            session.seed = uint32_t(strtoul(optarg, &end, 10));
            if (*end || !session.seed) {
                fprintf(stderr, "vorn: --seed takes a number above 0, not \"%s\"\n", optarg);
                return 2;
            }
            break;
        case 'h': print_usage(); return 0;
        case 'V': printf("vorn %s\n", VORN_VERSION); return 0;
        default: fprintf(stderr, "vorn: try --help\n"); return 2;
        }
    }
    if (optind < argc) {
        fprintf(stderr, "vorn: unexpected argument %s (try --help)\n", argv[optind]);
        return 2;
    }
    if (session.play_file && (session.record_file || session.autopilot_seconds > 0.0)) {
        fprintf(stderr, "vorn: a demo is replayed alone (no --record-demo or --autopilot with it)\n");
        return 2;
    }
    if (headless && !session.play_file && !(session.autopilot_seconds > 0.0)) {
        fprintf(stderr, "vorn: --headless needs --play-demo, --timedemo or --autopilot\n");
        return 2;
    }
    if (!vorn_session_configure(&session)) return 1;
    int result = WinMain(fullscreen, headless);
    bool session_ok = vorn_session_succeeded();
    vorn_session_clear();
    if (!session_ok) return 4; // 3 is a fault report's
    // The game's own result is 1 however it ended; a run that started and shut
    // down cleanly ends with status 0 here, a failed start with 1.
    return vorn_get_top_state() == VORN_TOP_INIT ? result : 0;
}
