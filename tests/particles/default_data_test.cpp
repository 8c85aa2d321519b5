// The default game data's particle files (written by the data generator into
// <build>/data, or the folder named by VORN_TEST_DATA_DIR) read, compile and
// dump. Skips when the data has not been generated.

#include <cstdlib>
#include <string>

#include "corelib/files.h"
#include "game/the_vorn_particles.h"
#include "particles/sps_file.h"
#include "particles_test_util.h"

namespace {
std::string data_dir()
{
    if (const char *d = std::getenv("VORN_TEST_DATA_DIR")) return d;
    return std::string(VORN_BINARY_DIR) + "/data";
}
} // namespace

TEST(DefaultDataParticles, CompositionsReadCompileAndDump)
{
    const std::string dir = data_dir();
    const char *files[2] = {VORN_PARTICLES_EXPLOSION_FILE, VORN_PARTICLES_STATION_HIT_FILE};
    std::string first = dir + "/" + files[0];
    if (!file_exists(first.c_str())) GTEST_SKIP() << "no generated data in " << dir;
    particles_test_seed();
    for (const char *f : files) {
        std::string path = dir + "/" + f;
        spcquox2 *c = spcquox2_init();
        ASSERT_TRUE(spcquox2_load_composer_from_file(path.c_str(), c)) << path;
        EXPECT_GE(spcquox2_get_systems_no(c), 1u);
        for (const spcquox2_element &e : *c->elements) {
            std::string sys = std::string(c->path) + e.system_filename;
            size_t cut = std::string(e.system_filename).find_last_of("\\/");
            if (cut != std::string::npos) sys = std::string(c->path) + (e.system_filename + cut + 1);
            FILE *null = fopen("/dev/null", "w");
            EXPECT_TRUE(sps_file_dump_json(sys.c_str(), null)) << sys;
            fclose(null);
        }
        spcquox2_deinit(c);
    }
    scene *sc = scene_init();
    ASSERT_TRUE(vorn_init_particles(sc, dir.c_str()));
    spcquox2 *boom = vorn_create_explosion({0, 0, 0});
    ASSERT_NE(boom, nullptr);
    for (int i = 0; i < 10; i++) vorn_update_particles(0.05f, nullptr);
    uint32_t live = 0;
    for (const spcquox2_element &e : *boom->elements) live += sps_get_num_active_particles(e.sys);
    EXPECT_GT(live, 0u);
    vorn_deinit_particles();
    scene_deinit(sc);
}
