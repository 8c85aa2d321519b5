// The process entry: starts the foundation services, runs the game and stops them.

#include <cstdio>
#include <cstring>

#include "corelib/log.h"
#include "game/the_vorn.h"
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
    // Foundation services; the font library joins them with the text writer.
    // The window library starts with the window.
    if (!engine_startup(ENGINE_FOUNDATION, nullptr)) log_fault_bug("WinMain", ".\\main", 74);

    uint8_t startup_flag = fullscreen;
    auren_init();
    // The player's settings record joins here with the configuration screen.
    auren_listener_set_gain(vorn_configured_volume());

    int result = kickoff_vorn_freeware(startup_flag);

    auren_deinit();
    engine_shutdown();
    return result;
}

int main(int argc, char **argv)
{
    uint8_t fullscreen = 1;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            print_usage();
            return 0;
        }
        if (strcmp(argv[i], "--version") == 0) {
            printf("vorn %s\n", VORN_VERSION);
            return 0;
        }
        if (strcmp(argv[i], "--windowed") == 0) {
            fullscreen = 0;
            continue;
        }
        if (strcmp(argv[i], "--keys") == 0 && i + 1 < argc) {
            vorn_set_key_script(argv[++i]);
            continue;
        }
        fprintf(stderr, "vorn: unknown option %s (try --help)\n", argv[i]);
        return 2;
    }
    int result = WinMain(fullscreen);
    // The game's own result is 1 however it ended; a run that started and shut
    // down cleanly ends with status 0 here, a failed start with 1.
    return vorn_get_top_state() == VORN_TOP_INIT ? result : 0;
}
