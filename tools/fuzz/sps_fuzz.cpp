// libFuzzer target: any byte string as a particle system file. Reading,
// dumping, writing back and running the compiled system must never crash,
// leak, read out of bounds or give quads that are not finite.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "corelib/drand.h"
#include "fuzz_util.h"
#include "particles/simple_particles.h"
#include "particles/sps_file.h"
#include "scene/scene.h"

static std::string g_path, g_copy;
static FILE *g_null;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    drand_init();
    g_path = fuzz_temp_path("system.spsquox2");
    g_copy = fuzz_temp_path("copy.spsquox2");
    g_null = fopen("/dev/null", "w");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!fuzz_write(g_path, data, size)) return 0;
    spsquox2 *d = spsquox2_init();
    if (spsquox2_load_system_from_file(g_path.c_str(), d)) {
        if (!sps_file_dump_json(g_path.c_str(), g_null)) abort();
        // What the reader takes, the writer writes and the reader takes again.
        spsquox2 *again = spsquox2_init();
        if (!spsquox2_save_system_to_file(g_copy.c_str(), d) || !spsquox2_load_system_from_file(g_copy.c_str(), again))
            abort();
        spsquox2_deinit(again);
        scene *sc = scene_init();
        sps_manager *mgr = sps_manager_init();
        sps *s = spsquox2_compile_system(d, sc, mgr);
        if (s) {
            sps_activate(s, false);
            sps_start_burst(s);
            // Frames of a game, then a long stall: the quad builder checks every corner.
            for (int f = 0; f < 12; f++) sps_manager_update(mgr, f == 10 ? 5.0f : 0.04f, nullptr);
        }
        sps_manager_deinit(mgr);
        scene_deinit(sc);
    }
    spsquox2_deinit(d);
    return 0;
}
