// Writes the seed corpus of the JPEG target. The engine writes no JPEG, so
// the seeds come from libjpeg's compressor: colour and greyscale, baseline
// and progressive.
//   jpeg_fuzz_seeds DIR

#include <cstdio>

#include <jpeglib.h>

#include "fuzz_util.h"
#include "image_fuzz_seeds.h"

static bool save(const std::string &path, int w, int h, int comps, bool progressive)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = comps;
    c.in_color_space = comps == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 80, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> p = fuzz_picture(w, h, comps * 8);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = p.data() + size_t(c.next_scanline) * size_t(w * comps);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return fclose(f) == 0;
}

int main(int argc, char **argv)
{
    if (!fuzz_seeds_args(argc, argv, "jpeg")) return argc == 2 ? 0 : 2;
    std::string dir = argv[1];
    bool ok = save(dir + "/rgb.jpg", 9, 7, 3, false) && save(dir + "/grey.jpg", 8, 8, 1, false) &&
              save(dir + "/progressive.jpg", 17, 9, 3, true);
    return ok ? 0 : 1;
}
