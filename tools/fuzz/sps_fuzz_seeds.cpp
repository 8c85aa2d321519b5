// Writes the seed corpus of the particle system file target with the file
// writer: a point system and a bound coverage system.
//   sps_fuzz_seeds DIR

#include "fuzz_util.h"
#include "particles/sps_file.h"

static bool save(const std::string &dir, const char *file, int32_t kind, float burst, int keys)
{
    spsquox2 *d = spsquox2_init();
    spsquox2_copy_name(d, file);
    spsquox2_copy_texture(d, "fx\\spark.tga");
    spsquox2_copy_object(d, "hull");
    spsquox2_data p{};
    p.duration = 0.5f;
    p.population = 50;
    p.position = {1, 2, 3};
    p.velocity = {0, 1, 0};
    p.kind = kind;
    p.coverage = 1;
    p.follow = 1;
    p.life_min = 0.2f;
    p.life_max = 1.0f;
    p.random_angle = 1;
    p.align = 1;
    p.size_spread = {0.1f, 0.2f};
    p.velocity_spread = {1, 1, 1};
    p.spin_spread = 45;
    p.burst = burst;
    p.time_scale = 1;
    p.blend[0] = 0x0302;
    p.blend[1] = 0x0001;
    spsquox2_set_data(d, &p);
    for (int i = 0; i < keys; i++) {
        spsquox2_keyframe k{};
        k.time = float(i) / float(keys - 1);
        k.velocity = {0, float(i), 0};
        k.size = {1.0f + float(i), 1};
        k.spin = 90.0f * float(i);
        k.color[0] = k.color[1] = k.color[2] = 1;
        k.color[3] = 1.0f - k.time;
        spsquox2_add_keyframe(d, &k);
    }
    bool ok = spsquox2_save_system_to_file((dir + "/" + file).c_str(), d);
    spsquox2_deinit(d);
    return ok;
}

int main(int argc, char **argv)
{
    if (!fuzz_seeds_args(argc, argv, "sps")) return argc == 2 ? 0 : 2;
    std::string dir = argv[1];
    return save(dir, "point.spsquox2", 0, 40, 2) && save(dir, "cover.spsquox2", 1, 400, 4) ? 0 : 1;
}
