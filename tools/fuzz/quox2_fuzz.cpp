// libFuzzer target: any byte string as a QUOX2 file. Loading, dumping and
// checking it must never crash, leak or read out of bounds.

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "corelib/gfxloader.h"
#include "corelib/parser.h"
#include "fuzz_util.h"
#include "scene/quox2_loader.h"
#include "scene/scene.h"
#include "scene/scene_dump.h"

static std::string g_path;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The loader's messages go to standard error: run with -close_fd_mask=2
    // to keep them out of the fuzzer's output (sanitizer reports still show).
    parser_init();
    gfxloader_init();
    g_path = fuzz_temp_path("scene.quox2");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!fuzz_write(g_path, data, size)) return 0;
    scene *sc = scene_init();
    quox2_file *qf = quox2_open_file(g_path.c_str());
    bool loaded = false, terrain = false;
    if (qf) {
        loaded = quox2_load_all_to_scene(qf, sc);
        terrain = qf->had_terrain;
        quox2_close_file(qf);
    }
    std::string json = scene_dump_json(sc, loaded, terrain);
    (void)json;
    if (loaded) {
        scene_copy_resources_folder_path(sc, "/nonexistent/");
        scene_prepare_ex(sc, SCENE_PREPARE_CHECK | SCENE_PREPARE_NO_RENDERER);
        scene_update(sc, tacka3{0, 0, 0}, 0.04f);
    }
    scene_deinit(sc);
    return 0;
}
