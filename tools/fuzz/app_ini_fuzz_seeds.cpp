// Writes the seed corpus of the app.ini target: the line the data builder
// writes (data_write_app_ini; its library is too big to build for this),
// and the same setting as UTF-16 with a byte order mark and a comment.
//   app_ini_fuzz_seeds DIR

#include "fuzz_util.h"

int main(int argc, char **argv)
{
    if (!fuzz_seeds_args(argc, argv, "app_ini")) return argc == 2 ? 0 : 2;
    std::string dir = argv[1];
    const std::string line = "vorn_freeware_resource_folder = /games/vorn/data/\n";
    bool ok = fuzz_write(dir + "/app.ini", line.data(), line.size());
    std::string wide = "\xFF\xFE";
    for (char c : std::string("; comment\r\nvorn_freeware_resource_folder = C:\\Games\\VORN\\data\r\n")) {
        wide.push_back(c);
        wide.push_back('\0');
    }
    ok = fuzz_write(dir + "/wide.ini", wide.data(), wide.size()) && ok;
    return ok ? 0 : 1;
}
