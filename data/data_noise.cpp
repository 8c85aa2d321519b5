#include "data_noise.h"

#include <cmath>

uint32_t noise_hash(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

uint32_t noise_hash3(uint32_t a, uint32_t b, uint32_t c)
{
    return noise_hash(a ^ noise_hash(b ^ noise_hash(c + 0x9e3779b9U)));
}

float noise_hash01(uint32_t a, uint32_t b, uint32_t c) { return (noise_hash3(a, b, c) >> 8) * (1.0f / 16777216.0f); }

noise_rng noise_rng_make(uint64_t seed) { return noise_rng{seed * 0x9E3779B97F4A7C15ULL + 1}; }

uint64_t noise_rng_next(noise_rng &r)
{
    uint64_t z = (r.state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double noise_rng_range(noise_rng &r, double low, double high)
{
    double u = double(noise_rng_next(r) >> 11) * (1.0 / 9007199254740992.0);
    return low + (high - low) * u;
}

int noise_rng_int(noise_rng &r, int n) { return int(noise_rng_next(r) % uint64_t(n)); }

static inline float __fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }

static inline float __grad2(uint32_t h, float x, float y)
{
    // Eight directions around the circle.
    static const float g[8][2] = {{1, 0},
                                  {-1, 0},
                                  {0, 1},
                                  {0, -1},
                                  {0.7071f, 0.7071f},
                                  {-0.7071f, 0.7071f},
                                  {0.7071f, -0.7071f},
                                  {-0.7071f, -0.7071f}};
    const float *v = g[h & 7];
    return v[0] * x + v[1] * y;
}

float noise_perlin2(float x, float y, int period_x, int period_y, uint32_t seed)
{
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float dx = x - fx, dy = y - fy;
    auto wrap = [](int v, int p) { return p > 0 ? ((v % p) + p) % p : v; };
    int x0 = wrap(ix, period_x), x1 = wrap(ix + 1, period_x);
    int y0 = wrap(iy, period_y), y1 = wrap(iy + 1, period_y);
    float n00 = __grad2(noise_hash3(x0, y0, seed), dx, dy);
    float n10 = __grad2(noise_hash3(x1, y0, seed), dx - 1, dy);
    float n01 = __grad2(noise_hash3(x0, y1, seed), dx, dy - 1);
    float n11 = __grad2(noise_hash3(x1, y1, seed), dx - 1, dy - 1);
    float u = __fade(dx), v = __fade(dy);
    float a = n00 + (n10 - n00) * u, b = n01 + (n11 - n01) * u;
    return (a + (b - a) * v) * 1.4142f;
}

static inline float __grad3(uint32_t h, float x, float y, float z)
{
    switch (h % 12) {
    case 0: return x + y;
    case 1: return -x + y;
    case 2: return x - y;
    case 3: return -x - y;
    case 4: return x + z;
    case 5: return -x + z;
    case 6: return x - z;
    case 7: return -x - z;
    case 8: return y + z;
    case 9: return -y + z;
    case 10: return y - z;
    default: return -y - z;
    }
}

float noise_perlin3(float x, float y, float z, uint32_t seed)
{
    float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    int ix = int(fx), iy = int(fy), iz = int(fz);
    float dx = x - fx, dy = y - fy, dz = z - fz;
    auto h = [&](int i, int j, int k) {
        return noise_hash3(uint32_t(ix + i), uint32_t(iy + j), uint32_t(iz + k) ^ seed * 0x27d4eb2dU);
    };
    float u = __fade(dx), v = __fade(dy), w = __fade(dz);
    float c[2][2][2];
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2; j++)
            for (int k = 0; k < 2; k++) c[i][j][k] = __grad3(h(i, j, k), dx - i, dy - j, dz - k);
    auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
    float x00 = lerp(c[0][0][0], c[1][0][0], u), x10 = lerp(c[0][1][0], c[1][1][0], u);
    float x01 = lerp(c[0][0][1], c[1][0][1], u), x11 = lerp(c[0][1][1], c[1][1][1], u);
    return lerp(lerp(x00, x10, v), lerp(x01, x11, v), w);
}

float noise_fbm2(float x, float y, int octaves, int period, uint32_t seed, float gain)
{
    float sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; o++) {
        sum += amp * noise_perlin2(x, y, period, period, seed + o * 131);
        norm += amp;
        amp *= gain;
        x *= 2;
        y *= 2;
        period *= 2;
    }
    return sum / norm;
}

float noise_fbm3(float x, float y, float z, int octaves, uint32_t seed, float gain)
{
    float sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; o++) {
        sum += amp * noise_perlin3(x, y, z, seed + o * 131);
        norm += amp;
        amp *= gain;
        x *= 2;
        y *= 2;
        z *= 2;
    }
    return sum / norm;
}

void noise_cells2(float x, float y, int period, uint32_t seed, float *f1, float *f2, uint32_t *cell_id)
{
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    float best = 1e9f, second = 1e9f;
    uint32_t id = 0;
    for (int j = -1; j <= 1; j++)
        for (int i = -1; i <= 1; i++) {
            int cx = ix + i, cy = iy + j;
            int wx = period > 0 ? ((cx % period) + period) % period : cx;
            int wy = period > 0 ? ((cy % period) + period) % period : cy;
            uint32_t h = noise_hash3(wx, wy, seed);
            float px = cx + (h & 0xffff) / 65536.0f, py = cy + (h >> 16) / 65536.0f;
            float d = std::hypot(px - x, py - y);
            if (d < best) {
                second = best;
                best = d;
                id = h;
            } else if (d < second) {
                second = d;
            }
        }
    *f1 = best;
    *f2 = second;
    if (cell_id) *cell_id = id;
}
