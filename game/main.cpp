// The process entry: starts the foundation services, runs the game and stops them.

#include <cstdio>
#include <cstring>
#include <getopt.h>

#include "corelib/log.h"
#include "frontend/configuration.h"
#include "frontend/fonts.h"
#include "game/the_vorn.h"
#include "renderer/OGL_input.h"
#include "renderer/engine.h"
#include "sound/auren.h"

#ifndef VORN_VERSION
#define VORN_VERSION "0.0.0"
#endif

static void print_usage()
{
    printf("usage: vorn [--windowed] [--keys LIST] [--help] [--version]\n"
           "\n"
           "VVVORN, a space-combat game on the Morphane engine.\n"
           "The resource folder is named by app.ini beside the executable\n"
           "(vorn_freeware_resource_folder = <folder>); the log goes to vorn-log.txt\n"
           "in the working directory.\n"
           "\n"
           "  --windowed   run in a window instead of full screen\n"
           "  --keys LIST  tap keys at given frames, e.g. \"100:F8 150:F8 400:ESC\"\n"
           "               (F8 records frames, for demos and automated checks)\n"
           "  --help       show this text\n"
           "  --version    show the version\n");
}

static int WinMain(uint8_t fullscreen)
{
    // Foundation services with the font library; the window library starts
    // with the window.
    if (!engine_startup(ENGINE_FOUNDATION, nullptr) || !fonts_init()) log_fault_bug("WinMain", ".\\main", 74);

    uint8_t startup_flag = fullscreen;
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
        {"windowed", no_argument, nullptr, 'w'}, {"keys", required_argument, nullptr, 'k'},
        {"help", no_argument, nullptr, 'h'},     {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    uint8_t fullscreen = 1;
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
        case 'h': print_usage(); return 0;
        case 'V': printf("vorn %s\n", VORN_VERSION); return 0;
        default: fprintf(stderr, "vorn: try --help\n"); return 2;
        }
    }
    if (optind < argc) {
        fprintf(stderr, "vorn: unexpected argument %s (try --help)\n", argv[optind]);
        return 2;
    }
    int result = WinMain(fullscreen);
    // The game's own result is 1 however it ended; a run that started and shut
    // down cleanly ends with status 0 here, a failed start with 1.
    return vorn_get_top_state() == VORN_TOP_INIT ? result : 0;
}
