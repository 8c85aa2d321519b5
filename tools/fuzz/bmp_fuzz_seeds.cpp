// Writes the seed corpus of the BMP target with the image writer.
//   bmp_fuzz_seeds DIR

#include "corelib/gfxloader.h"
#include "fuzz_util.h"
#include "image_fuzz_seeds.h"

int main(int argc, char **argv)
{
    if (!fuzz_seeds_args(argc, argv, "bmp")) return argc == 2 ? 0 : 2;
    std::string dir = argv[1];
    bool ok = gfxloader_init();
    std::vector<uint8_t> a = fuzz_picture(5, 3, 24), b = fuzz_picture(4, 4, 32);
    ok = gfxloader_save((dir + "/odd.bmp").c_str(), 5, 3, 24, a.data()) && ok;
    ok = gfxloader_save((dir + "/alpha.bmp").c_str(), 4, 4, 32, b.data()) && ok;
    return ok ? 0 : 1;
}
