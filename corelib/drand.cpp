#include "drand.h"

#include <cstdlib>
#include <ctime>

#include "log.h"
#include "mem.h"

static int32_t *drand_lookup_table = nullptr;
static uint32_t drand_index = 0;
// The effects start half-way round the table.
static uint32_t drand_fx_index = DRAND_TABLE_SIZE / 2;

static void drand_fill(unsigned seed)
{
    srand(seed);
    for (uint32_t i = 0; i < DRAND_TABLE_SIZE; i++) drand_lookup_table[i] = rand() & 0x7fff;
}

bool drand_init()
{
    ASSERT(drand_lookup_table == NULL);
    drand_lookup_table = static_cast<int32_t *>(mem_alloc(DRAND_TABLE_SIZE * sizeof(int32_t)));
    if (!drand_lookup_table) return false;
    drand_fill(unsigned(time(nullptr)));
    return true;
}

void drand_reseed()
{
    ASSERT(drand_lookup_table != NULL);
    drand_fill(unsigned(time(nullptr)));
}

void drand_seed(unsigned seed)
{
    ASSERT(drand_lookup_table != NULL);
    drand_fill(seed);
    drand_fx_index = DRAND_TABLE_SIZE / 2;
}

void drand_deinit()
{
    ASSERT(drand_lookup_table != NULL);
    mem_free(drand_lookup_table);
    drand_lookup_table = nullptr;
}

static inline int32_t drand_next()
{
    int32_t v = drand_lookup_table[drand_index];
    if (++drand_index >= DRAND_TABLE_SIZE) drand_index = 0;
    return v;
}

double drand()
{
    int32_t a = drand_next();
    int32_t b = drand_next();
    int32_t c = drand_next();
    double magnitude = double(a) + double(b) * 3.051850947599719e-5;
    return c > 16383.5 ? -magnitude : magnitude;
}

double drand_range(double low, double high) { return low + (drand() + 32768.0) * 1.52587890625e-5 * (high - low); }

double drand_fx_range(double low, double high)
{
    uint32_t saved = drand_index;
    drand_index = drand_fx_index;
    double v = drand_range(low, high);
    drand_fx_index = drand_index;
    drand_index = saved;
    return v;
}

void drand_jitter3(float out[3], const float v[3], float r)
{
    for (int i = 0; i < 3; i++) out[i] = v[i] + float(drand_range(-r, r));
}

uint32_t drand_cursor() { return drand_index; }

void drand_set_cursor(uint32_t cursor) { drand_index = cursor % DRAND_TABLE_SIZE; }

int32_t drand_table_entry(uint32_t i) { return drand_lookup_table[i % DRAND_TABLE_SIZE]; }
