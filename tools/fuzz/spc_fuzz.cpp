// libFuzzer target: any byte string as a particle composer file beside one
// valid system file. Reading, compiling, starting and running it must never
// crash, leak or read out of bounds.

#include <cstdint>
#include <cstdio>

#include "corelib/drand.h"
#include "fuzz_util.h"
#include "particles/simple_particles.h"
#include "particles/sps_file.h"
#include "scene/scene.h"

static std::string g_path;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    drand_init();
    // The composer's folder is the fuzzer's temporary folder; the seeds name
    // the system file written here.
    g_path = fuzz_temp_path("composer.spcquox2");
    spsquox2 *d = spsquox2_init();
    spsquox2_data p{};
    p.population = 10;
    p.life_min = p.life_max = 0.5f;
    p.burst = 20;
    p.time_scale = 1;
    p.duration = 0.3f;
    spsquox2_set_data(d, &p);
    for (int i = 0; i < 2; i++) {
        spsquox2_keyframe k{};
        k.time = float(i);
        k.size = {1, 1};
        spsquox2_add_keyframe(d, &k);
    }
    spsquox2_save_system_to_file((fuzz_temp_dir() + "/vorn_fuzz_spark.spsquox2").c_str(), d);
    spsquox2_deinit(d);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!fuzz_write(g_path, data, size)) return 0;
    spcquox2 *c = spcquox2_init();
    if (spcquox2_load_composer_from_file(g_path.c_str(), c)) {
        scene *sc = scene_init();
        sps_manager *mgr = sps_manager_init();
        if (spcquox2_compile(c, sc, mgr)) {
            spcquox2_start(c);
            spcquox2_set_position(c, tacka3{1, 2, 3});
            for (int f = 0; f < 5 && spcquox2_is_active(c); f++) sps_manager_update(mgr, 0.1f, nullptr);
        }
        sps_manager_deinit(mgr);
        scene_deinit(sc);
    }
    spcquox2_deinit(c);
    return 0;
}
