// Writes the seed corpus of the vorn.hs target with the game's own writer: a
// full table of ten, one with a 14-character and a non-ASCII name, and an
// empty one.
//   hs_fuzz_seeds DIR

#include "fuzz_util.h"
#include "game/the_vorn_hi_score_file.h"

static bool __write(const std::string &path, const hs_table *table)
{
    uint8_t bytes[HS_FILE_SIZE_MAX];
    size_t n = hiscore_table_encode(table, bytes);
    return fuzz_write(path, bytes, n);
}

int main(int argc, char **argv)
{
    if (!fuzz_seeds_args(argc, argv, "hs")) return argc == 2 ? 0 : 2;
    std::string dir = argv[1];
    hs_table *table = hiscore_table_create();
    if (!table) return 1;
    bool ok = __write(dir + "/empty.hs", table);
    const uint16_t longest[] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 0};
    const uint16_t accented[] = {0x00C9, 'v', 'a', 0x017D, 0};
    hiscore_table_insert(table, longest, 12000);
    hiscore_table_insert(table, accented, 700);
    ok = __write(dir + "/two.hs", table) && ok;
    for (int i = 0; i < 10; i++) {
        const uint16_t name[] = {uint16_t('0' + i), 0};
        hiscore_table_insert(table, name, 100 * (i + 1));
    }
    ok = __write(dir + "/full.hs", table) && ok;
    hiscore_table_free(table);
    return ok ? 0 : 1;
}
