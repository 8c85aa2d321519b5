#pragma once
// Deterministic noise and random numbers for the generators. Every value is a
// pure function of its seed, so the output never depends on the clock, the
// order of generators or the game's random table.

#include <cstdint>

// A 32-bit integer hash (lowbias32).
uint32_t noise_hash(uint32_t x);
uint32_t noise_hash3(uint32_t a, uint32_t b, uint32_t c);
// Hash to a float in [0, 1).
float noise_hash01(uint32_t a, uint32_t b, uint32_t c);

// A small seeded generator (splitmix64) for sequences of choices.
struct noise_rng {
    uint64_t state;
};
noise_rng noise_rng_make(uint64_t seed);
uint64_t noise_rng_next(noise_rng &r);
// Uniform in [low, high).
double noise_rng_range(noise_rng &r, double low, double high);
// Uniform integer in [0, n).
int noise_rng_int(noise_rng &r, int n);

// Gradient noise in about -1..1, tiling with the given period (in lattice
// cells) on each axis; period 0 means no tiling.
float noise_perlin2(float x, float y, int period_x, int period_y, uint32_t seed);
float noise_perlin3(float x, float y, float z, uint32_t seed);
// Fractal sum of octaves of perlin2, each octave doubling frequency and period.
float noise_fbm2(float x, float y, int octaves, int period, uint32_t seed, float gain = 0.5f);
float noise_fbm3(float x, float y, float z, int octaves, uint32_t seed, float gain = 0.5f);
// Cellular noise: distances to the nearest and second nearest feature point,
// tiling with the given period in cells.
void noise_cells2(float x, float y, int period, uint32_t seed, float *f1, float *f2, uint32_t *cell_id);
