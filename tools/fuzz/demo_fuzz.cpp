// libFuzzer target: any byte string as a demo file. Reading must never crash
// or read out of bounds, and a demo it accepts must write back to the same
// bytes. The input is tried as it is and with its checksum made right, so
// that the checks behind the checksum are reached too.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "game/the_vorn_demo.h"

static void try_demo(const uint8_t *data, size_t size)
{
    vorn_demo *d = vorn_demo_create();
    if (!d) abort();
    const char *why = nullptr;
    if (vorn_demo_decode(d, data, size, &why)) {
        std::vector<uint8_t> again = vorn_demo_encode(d);
        if (again.size() != size || !std::equal(again.begin(), again.end(), data)) abort();
    } else if (!why) {
        abort();
    }
    vorn_demo_free(d);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    try_demo(data, size);
    if (size < 8) return 0;
    // An exact-size copy, so that a read past the end is still caught.
    uint8_t *sealed = static_cast<uint8_t *>(malloc(size));
    if (!sealed) abort();
    std::copy(data, data + size, sealed);
    uint64_t h = vorn_hash_bytes(VORN_HASH_SEED, sealed, size - 8);
    for (int i = 0; i < 8; i++) sealed[size - 8 + size_t(i)] = uint8_t(h >> (8 * i));
    try_demo(sealed, size);
    free(sealed);
    return 0;
}
