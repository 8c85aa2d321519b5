// libFuzzer target: any byte string as a hi-score file. Decoding must never
// crash or read out of bounds, and what it keeps must be a table that the
// writer turns into a well-formed file reading back the same.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "game/the_vorn_hi_score_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    hs_table *table = hiscore_table_create();
    hs_table *again = hiscore_table_create();
    if (!table || !again) abort();
    hiscore_table_decode(table, data, size);
    if (table->get_size() > HS_MAX_ENTRIES) abort();
    for (const hs_entry &e : *table)
        if (hiscore_name_length(&e) > HS_NAME_MAX) abort();
    uint8_t bytes[HS_FILE_SIZE_MAX];
    size_t n = hiscore_table_encode(table, bytes);
    if (!hiscore_table_decode(again, bytes, n)) abort();
    if (again->get_size() != table->get_size()) abort();
    for (uint32_t i = 0; i < table->get_size(); i++)
        if (memcmp(table->get_element(i), again->get_element(i), sizeof(hs_entry)) != 0) abort();
    hiscore_table_free(table);
    hiscore_table_free(again);
    return 0;
}
