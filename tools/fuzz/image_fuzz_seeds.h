#pragma once
// Small test pictures for the image targets' seeds: a gradient with a
// pattern, in 8, 24 or 32 bits per pixel.

#include <cstdint>
#include <vector>

inline std::vector<uint8_t> fuzz_picture(int w, int h, int bpp)
{
    std::vector<uint8_t> p(size_t(w) * size_t(h) * size_t(bpp / 8));
    for (size_t i = 0; i < p.size(); i++) p[i] = uint8_t((i * 37) ^ (i / 7) ^ (i % 5 == 0 ? 0xff : 0));
    return p;
}
