#pragma once
// Shared helpers of the fuzz targets and their seed writers.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

// A file of this process in /tmp for readers that take a path.
inline std::string fuzz_temp_path(const char *name)
{
    return "/tmp/vorn_fuzz_" + std::to_string(getpid()) + "_" + name;
}

inline bool fuzz_write(const std::string &path, const void *data, size_t size)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

// The usage line and argument check of every seed writer: true when argv
// names the folder to write into.
inline bool fuzz_seeds_args(int argc, char **argv, const char *target)
{
    if (argc == 2 && std::string(argv[1]) != "--help") return true;
    printf("usage: %s_fuzz_seeds DIR\nWrites the seed files of the %s fuzz target into DIR.\n", target, target);
    return false;
}
