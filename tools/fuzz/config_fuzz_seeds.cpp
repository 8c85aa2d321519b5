// Writes the seed corpus of the game_config.ini target with the game's own
// writer: the defaults, a changed record (particles and ambient sound off,
// low settings), one with values out of range and not a number, and a short
// file.
//   config_fuzz_seeds DIR

#include <cmath>
#include <cstring>

#include "frontend/configuration.h"
#include "fuzz_util.h"

static bool __write(const std::string &path, const game_config *c)
{
    uint8_t bytes[CONFIG_FILE_SIZE];
    config_encode(c, bytes);
    return fuzz_write(path, bytes, sizeof bytes);
}

int main(int argc, char **argv)
{
    if (!fuzz_seeds_args(argc, argv, "config")) return argc == 2 ? 0 : 2;
    std::string dir = argv[1];
    config_set_defaults();
    game_config c = *config_get();
    bool ok = __write(dir + "/defaults.ini", &c);
    c.disable_ps = 1;
    c.no_ambient = 1;
    c.tex_quality = 0.25f;
    c.tex_size = 0.5f;
    c.sps_quantity = 0.1f;
    c.terra_horizon = 0.3f;
    c.volume = 0.0f;
    ok = __write(dir + "/changed.ini", &c) && ok;
    c.tex_quality = 7.5f;
    c.tex_size = -2.0f;
    c.sps_quantity = NAN;
    c.terra_horizon = INFINITY;
    c.volume = -INFINITY;
    ok = __write(dir + "/odd.ini", &c) && ok;
    uint8_t bytes[CONFIG_FILE_SIZE];
    config_encode(config_get(), bytes);
    ok = fuzz_write(dir + "/short.ini", bytes, 10) && ok;
    return ok ? 0 : 1;
}
