// Writes the seed corpus of the Ogg Vorbis target with the test signal
// encoder: short mono and stereo sounds at two qualities.
//   ogg_fuzz_seeds DIR

#include "fuzz_util.h"
#include "sound/testgen/auren_testgen.h"

int main(int argc, char **argv)
{
    if (!fuzz_seeds_args(argc, argv, "ogg")) return argc == 2 ? 0 : 2;
    std::string dir = argv[1];
    bool ok = testgen_write_ogg(dir + "/mono.ogg", testgen_sine(0.05, 1, 8000, 440, 0.5), 0.0f) &&
              testgen_write_ogg(dir + "/stereo.ogg", testgen_noise(0.05, 2, 22050, 0.3, 3), 0.4f);
    return ok ? 0 : 1;
}
