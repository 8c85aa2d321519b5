#include "the_vorn.h"

#include "corelib/log.h"
#include "game/resource_folder.h"

static int32_t vorn_top_state = VORN_TOP_INIT;

int32_t vorn_get_top_state() { return vorn_top_state; }

void vorn_set_top_state(int32_t state) { vorn_top_state = state; }

double vorn_clamp_frame_time(double seconds) { return seconds >= VORN_MAX_FRAME_TIME ? VORN_MAX_FRAME_TIME : seconds; }

int vorn_run_top_level(const vorn_top_level_steps *steps, uint8_t startup_flag)
{
    vorn_top_state = VORN_TOP_INIT;
    for (;;) {
        switch (vorn_top_state) {
        case VORN_TOP_INIT:
            if (!steps->init(startup_flag)) return 1;
            break;
        case VORN_TOP_RUN:
            steps->main_loop();
            steps->deinit();
            return 1;
        case VORN_TOP_SHUTDOWN:
            steps->deinit();
            return 1;
        default:
            log_fault_bug("kickoff_vorn_freeware", ".\\the_vorn", 172);
        }
    }
}

int kickoff_vorn_freeware(uint8_t startup_flag)
{
    if (!log_file_is_set()) {
        log_file_set(VORN_LOG_FILE);
        log_file_truncate();
    }
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "\n\n VVVORN initializing..");
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "powered by Morphane Oxbelt Freeware Edition..");
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "_________________________________");

    static const vorn_top_level_steps steps = {vorn_init, vorn_main_loop, vorn_deinit};
    return vorn_run_top_level(&steps, startup_flag);
}

bool vorn_init(uint8_t startup_flag)
{
    (void)startup_flag;
    do_log(LOG_INFO, LOG_TO_FILE, "vorn_init(): entered.");
    if (!init_resource_folder(RESOURCE_FOLDER_KEY)) log_fault_bug("vorn_init", ".\\the_vorn", 189);
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "vorn_init(): resource folder \"%s\".", resource_folder_get());

    // Placeholder until the renderer exists: without a window nothing more can start.
    do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "vorn_init(): no renderer in this build, cannot open the window!");
    return false;
}

bool vorn_main_loop() { return false; }

void vorn_deinit()
{
    do_log(LOG_INFO, LOG_TO_FILE, "vorn_deinit(): entered..");
    do_log(LOG_INFO, LOG_TO_FILE, "vorn_deinit(): completed.");
}
