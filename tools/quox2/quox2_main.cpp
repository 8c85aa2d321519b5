// quox2: the level designers' tool for QUOX2 scene files.
//
//   quox2 dump [--json] FILE          print what the file holds
//   quox2 check FILE [--resources DIR] load and prepare without a renderer
//   quox2 view FILE [--camera NAME] [--frames N] [--record DIR]   a window on the scene

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <string>

#include "corelib/files.h"
#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "corelib/parser.h"
#include "particles/sps_file.h"
#include "quox2_view.h"
#include "scene/quox2_loader.h"
#include "scene/scene.h"
#include "scene/scene_dump.h"

static const char *const USAGE = "usage: quox2 COMMAND [OPTIONS] FILE\n"
                                 "\n"
                                 "Commands:\n"
                                 "  dump [--json] FILE\n"
                                 "      Print the scene the file holds: objects, instances, materials, lights,\n"
                                 "      cameras, motions, motion sets and whether it has a terrain. With --json,\n"
                                 "      one JSON document (\"loaded\" false when the file is damaged; what was\n"
                                 "      read before the damage is still listed). Stream types are the element\n"
                                 "      codes 1 float, 2 32-bit integer, 3 16-bit integer, 4 byte.\n"
                                 "      Particle system (.spsquox2) and composer (.spcquox2) files are\n"
                                 "      recognised by their magic and printed as JSON either way.\n"
                                 "  check FILE [--resources DIR]\n"
                                 "      Load the scene and prepare it as the game does, without a renderer:\n"
                                 "      resolve objects, parents, materials, sub-materials, cameras, lights and\n"
                                 "      bones, and decode every texture from DIR (default: the file's folder).\n"
                                 "      Every problem is reported on standard error.\n"
                                 "  view FILE [--camera NAME] [--frames N] [--record DIR]\n"
                                 "      Open an 800 x 600 window on the scene (textures from the file's\n"
                                 "      folder) and fly a free camera: W A S D or the arrows move, Q and E go\n"
                                 "      down and up, shift is faster, the mouse looks, Esc closes. --camera\n"
                                 "      looks through the named scene camera; --frames flies a scripted\n"
                                 "      circle over the scene and ends after N frames; --record writes every\n"
                                 "      frame to DIR as 0000.bmp, 0001.bmp ... at a fixed 1/25 s step.\n"
                                 "      The renderer's log lines go to standard error.\n"
                                 "\n"
                                 "Exit status: 0 success; 1 the file does not load (dump) or the scene would\n"
                                 "not prepare (check); 2 wrong usage.\n"
                                 "Loader messages go to standard error.\n";

static int usage_error(const char *why)
{
    fprintf(stderr, "quox2: %s\n\n%s", why, USAGE);
    return 2;
}

static std::string folder_of(const char *path)
{
    std::string p = file_native_path(path);
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string("./") : p.substr(0, slash + 1);
}

// Particle system and composer files start with "SPS" or "SPC" and a zero.
static bool is_particle_file(const char *file)
{
    FILE *f = fopen(file_native_path(file).c_str(), "rb");
    if (!f) return false;
    char magic[4] = {};
    size_t n = fread(magic, 1, 4, f);
    fclose(f);
    return n == 4 && magic[3] == 0 && (!memcmp(magic, "SPS", 3) || !memcmp(magic, "SPC", 3));
}

static int cmd_dump(const char *file, bool as_json)
{
    if (is_particle_file(file)) return sps_file_dump_json(file, stdout) ? 0 : 1;

    scene *sc = scene_init();
    if (!sc) return 1;
    bool loaded = false, had_terrain = false;
    quox2_file *f = quox2_open_file(file);
    if (f) {
        loaded = quox2_load_all_to_scene(f, sc);
        if (!loaded) do_log(LOG_WARNING, LOG_TO_ALL, "Load scene %s failed", file);
        had_terrain = f->had_terrain;
        quox2_close_file(f);
    } else {
        do_log(LOG_WARNING, LOG_TO_ALL, "Open file %s failed", file);
    }
    std::string out = as_json ? scene_dump_json(sc, loaded, had_terrain) : scene_dump_text(sc, loaded, had_terrain);
    fwrite(out.data(), 1, out.size(), stdout);
    fflush(stdout);
    scene_deinit(sc);
    return loaded ? 0 : 1;
}

static int cmd_check(const char *file, const char *resources)
{
    scene *sc = scene_init();
    if (!sc) return 1;
    bool ok = quox2_load_file(file, sc);
    if (ok) {
        std::string dir = resources ? std::string(resources) : folder_of(file);
        if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
        scene_copy_resources_folder_path(sc, dir.c_str());
        bool images = gfxloader_init();
        ok = scene_prepare_ex(sc, SCENE_PREPARE_CHECK | SCENE_PREPARE_NO_RENDERER);
        if (images) gfxloader_deinit();
    }
    scene_deinit(sc);
    fprintf(stderr, "quox2 check: %s: %s\n", file, ok ? "the scene prepares" : "the scene would NOT prepare");
    return ok ? 0 : 1;
}

int main(int argc, char **argv)
{
    static const option LONG_OPTIONS[] = {
        {"json", no_argument, nullptr, 'j'},
        {"resources", required_argument, nullptr, 'r'},
        {"help", no_argument, nullptr, 'h'},
        {"camera", required_argument, nullptr, 'c'},
        {"frames", required_argument, nullptr, 'f'},
        {"record", required_argument, nullptr, 'R'},
        {nullptr, 0, nullptr, 0},
    };
    const char *resources = nullptr, *camera = nullptr, *record = nullptr;
    int frames = 0;
    bool view_option = false;
    bool as_json = false;
    int c;
    // getopt_long names an unknown option or a missing folder itself.
    while ((c = getopt_long(argc, argv, "h", LONG_OPTIONS, nullptr)) != -1) {
        switch (c) {
        case 'j': as_json = true; break;
        case 'r': resources = optarg; break;
        case 'c': camera = optarg, view_option = true; break;
        case 'R': record = optarg, view_option = true; break;
        case 'f': {
            char *end = nullptr;
            long n = strtol(optarg, &end, 10);
            if (!end || *end || n < 1 || n > 1000000) return usage_error("--frames takes a count from 1 to 1000000");
            frames = int(n), view_option = true;
            break;
        }
        case 'h': fputs(USAGE, stdout); return 0;
        default: fprintf(stderr, "\n%s", USAGE); return 2;
        }
    }
    if (optind >= argc) return usage_error("no command given");
    std::string cmd = argv[optind];
    if (cmd != "dump" && cmd != "check" && cmd != "view") return usage_error(("unknown command " + cmd).c_str());
    if (optind + 1 >= argc) return usage_error("no file given");
    if (optind + 2 < argc) return usage_error("more than one file given");
    const char *file = argv[optind + 1];
    if (cmd == "dump" && resources) return usage_error("--resources belongs to check");
    if (cmd == "check" && as_json) return usage_error("--json belongs to dump");
    if (cmd == "view" && (as_json || resources)) return usage_error("view takes --camera, --frames and --record");
    if (cmd != "view" && view_option) return usage_error("--camera, --frames and --record belong to view");
    if (cmd == "view") return quox2_view(file, camera, frames, record);
    parser_init();
    int status = cmd == "dump" ? cmd_dump(file, as_json) : cmd_check(file, resources);
    parser_deinit();
    return status;
}
