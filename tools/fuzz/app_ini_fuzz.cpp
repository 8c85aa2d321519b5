// libFuzzer target: any byte string as app.ini (8-bit or UTF-16 text).
// Reading it must never crash, leak or read out of bounds, and a folder read
// from it always ends in a separator.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz_util.h"
#include "game/resource_folder.h"

static std::string g_path;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    g_path = fuzz_temp_path("app.ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!fuzz_write(g_path, data, size)) return 0;
    resource_folder_set("");
    if (init_resource_folder_from(g_path.c_str(), RESOURCE_FOLDER_KEY)) {
        const char *folder = resource_folder_get();
        size_t n = strlen(folder);
        if (n > 0 && folder[n - 1] != '/' && folder[n - 1] != '\\') abort();
        std::string p = resource_path("particles/boom.spcquox2");
        if (p.size() != n + strlen("particles/boom.spcquox2")) abort();
    }
    return 0;
}
