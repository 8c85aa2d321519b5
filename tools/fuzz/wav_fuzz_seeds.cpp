// Writes the seed corpus of the WAV target with the test signal writer:
// 8 and 16 bits, mono and stereo.
//   wav_fuzz_seeds DIR

#include "fuzz_util.h"
#include "sound/testgen/auren_testgen.h"

int main(int argc, char **argv)
{
    if (!fuzz_seeds_args(argc, argv, "wav")) return argc == 2 ? 0 : 2;
    std::string dir = argv[1];
    bool ok = testgen_write_wav(dir + "/mono8.wav", testgen_sine(0.01, 1, 8000, 440, 0.5), 8) &&
              testgen_write_wav(dir + "/stereo16.wav", testgen_noise(0.01, 2, 22050, 0.3, 3), 16);
    return ok ? 0 : 1;
}
