// Particle textures: soft sprites that the particle colour keys tint. Colour
// is white (or a warm ramp for the jet) and alpha carries the shape, so both
// additive and alpha blending read them well; every edge fades to zero alpha.

#include <algorithm>
#include <cmath>

#include "data_build.h"
#include "data_noise.h"

#define SHEET "particles"

static float __smooth(float e0, float e1, float x)
{
    float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// A sprite from a function of the centred coordinates (-1..1) giving RGBA.
template <typename F> static data_image __sprite(int n, F fn)
{
    data_image img = image_make(n, n);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            float u = (x + 0.5f) / n * 2 - 1, v = (y + 0.5f) / n * 2 - 1;
            image_at(img, x, y) = fn(u, v, std::sqrt(u * u + v * v));
        }
    return img;
}

bool data_gen_particle_textures(data_ctx &ctx)
{
    // Cloudy puff for trails, pulses and hits.
    data_image perlin = __sprite(128, [](float u, float v, float r) {
        float n = noise_fbm2(u * 2 + 4, v * 2 + 4, 5, 0, 1101) * 0.5f + 0.5f;
        float a = (1 - __smooth(0.2f, 1.0f, r)) * std::clamp(0.35f + n * 1.1f, 0.0f, 1.0f);
        return rgba{1, 1, 1, a};
    });
    // Explosion star: hot core, rays and a ring of sparks.
    data_image star = __sprite(256, [](float u, float v, float r) {
        float ang = std::atan2(v, u);
        float rays = 0;
        for (int k = 0; k < 3; k++) {
            float f = noise_perlin2(ang * (3 + 4 * k) / 3.14159f + 10, 0.5f, 3 + 4 * k, 0, 1200 + k) * 0.5f + 0.5f;
            rays += std::pow(f, 4.0f) * (1.0f - k * 0.25f);
        }
        float ray = rays * std::exp(-r * 1.8f);
        float core = std::exp(-r * r * 25.0f);
        float halo = std::exp(-r * r * 5.0f) * 0.45f;
        float a = std::clamp(core + halo + ray * 2.4f, 0.0f, 1.0f) * (1 - __smooth(0.85f, 1.0f, r));
        float heat = std::clamp(core * 2, 0.0f, 1.0f);
        return rgba{1, 0.85f + heat * 0.15f, 0.7f + heat * 0.3f, a};
    });
    // Smoke: denser billowing cloud.
    data_image smoke = __sprite(128, [](float u, float v, float r) {
        float n = noise_fbm2(u * 2.5f + 9, v * 2.5f + 9, 6, 0, 1300) * 0.5f + 0.5f;
        float body = 1 - __smooth(0.3f, 1.0f, r + (n - 0.5f) * 0.5f);
        float a = std::clamp(body * (0.55f + n * 0.6f), 0.0f, 1.0f);
        float g = 0.75f + n * 0.25f;
        return rgba{g, g, g, a};
    });
    // Glow: smooth light falloff.
    data_image glow = __sprite(128, [](float, float, float r) {
        float a = std::exp(-r * r * 5.0f) * (1 - __smooth(0.7f, 1.0f, r));
        return rgba{1, 1, 1, a};
    });
    // Jet: a bright flame core with a flickering edge.
    data_image jet = __sprite(64, [](float u, float v, float r) {
        float n = noise_fbm2(u * 3 + 2, v * 3 + 2, 4, 0, 1400) * 0.5f + 0.5f;
        float a = std::clamp((1 - __smooth(0.1f, 0.95f, r)) * (0.7f + n * 0.6f), 0.0f, 1.0f);
        float core = std::exp(-r * r * 10.0f);
        return rgba{1, 0.8f + core * 0.2f, 0.55f + core * 0.45f, a};
    });
    return data_write_picture(ctx, "perlin_1_128.tga", perlin, 32, SHEET) &&
           data_write_picture(ctx, "1-pp-explod-star_256 copy.tga", star, 32, SHEET) &&
           data_write_picture(ctx, "fractal_4.tga", smoke, 32, SHEET) &&
           data_write_picture(ctx, "glow.tga", glow, 32, SHEET) &&
           data_write_picture(ctx, "fractal_jet.tga", jet, 32, SHEET);
}
