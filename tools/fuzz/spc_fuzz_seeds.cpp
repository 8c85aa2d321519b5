// Writes the seed corpus of the particle composer target with the composer
// writer. The system names point at the file the target writes beside it.
//   spc_fuzz_seeds DIR

#include "fuzz_util.h"
#include "particles/sps_file.h"

static bool save(const std::string &path, const char *name, int systems)
{
    spcquox2 *c = spcquox2_init();
    spcquox2_copy_name(c, name);
    for (int i = 0; i < systems; i++)
        spcquox2_add_system(c, i % 2 ? "C:\\fx\\vorn_fuzz_spark.spsquox2" : "vorn_fuzz_spark.spsquox2");
    bool ok = spcquox2_save_composer_to_file(path.c_str(), c);
    spcquox2_deinit(c);
    return ok;
}

int main(int argc, char **argv)
{
    if (!fuzz_seeds_args(argc, argv, "spc")) return argc == 2 ? 0 : 2;
    std::string dir = argv[1];
    return save(dir + "/one.spcquox2", "one", 1) && save(dir + "/three.spcquox2", "boom", 3) ? 0 : 1;
}
