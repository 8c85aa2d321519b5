#pragma once
// Shared helpers of the fuzz targets and their seed writers.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

// The folder for the targets' files: in memory (/dev/shm) where the system
// has it, since every input is written and read back, else /tmp.
inline std::string fuzz_temp_dir() { return access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm" : "/tmp"; }

// A file of this process there, for readers that take a path; removed when
// the process exits normally.
inline std::string fuzz_temp_path(const char *name)
{
    static std::vector<std::string> made;
    if (made.empty())
        atexit([] {
            for (const std::string &p : made) unlink(p.c_str());
        });
    made.push_back(fuzz_temp_dir() + "/vorn_fuzz_" + std::to_string(getpid()) + "_" + name);
    return made.back();
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
