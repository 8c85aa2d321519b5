// Writes the seed corpus of the TGA target with the image writer: 8, 24 and
// 32 bits, plain and run-length.
//   tga_fuzz_seeds DIR

#include "corelib/gfxloader.h"
#include "fuzz_util.h"
#include "image_fuzz_seeds.h"

int main(int argc, char **argv)
{
    if (!fuzz_seeds_args(argc, argv, "tga")) return argc == 2 ? 0 : 2;
    std::string dir = argv[1];
    bool ok = gfxloader_init();
    const int bpps[3] = {8, 24, 32};
    for (int bpp : bpps)
        for (uint32_t rle = 0; rle < 2; rle++) {
            std::vector<uint8_t> p = fuzz_picture(7, 5, bpp);
            std::string name = dir + "/p" + std::to_string(bpp) + (rle ? "_rle" : "") + ".tga";
            ok = gfxloader_save(name.c_str(), 7, 5, bpp, p.data(), rle ? GFXLOADER_SAVE_RLE : 0) && ok;
        }
    return ok ? 0 : 1;
}
