#pragma once
// The random source: a table of 100000 rand() values walked cyclically.

#include <cstdint>

#define DRAND_TABLE_SIZE 100000

bool drand_init();
void drand_reseed();
void drand_deinit();
// Fills the table from a given seed instead of the clock (tests, replays).
void drand_seed(unsigned seed);

// A value in [-32768, 32768] made of three successive table entries.
double drand();
// A value from low to high.
double drand_range(double low, double high);
// out = v + a random offset in [-r, r] on each component, x first.
void drand_jitter3(float out[3], const float v[3], float r);

// The effects' own walk over the same table: particles and other looks draw
// from it, so that how much is drawn on screen never moves the cursor the
// game's outcome depends on.
double drand_fx_range(double low, double high);

// The walking cursor (tests and diagnostics).
uint32_t drand_cursor();
void drand_set_cursor(uint32_t cursor);
// Direct access to table entry i (tests).
int32_t drand_table_entry(uint32_t i);
