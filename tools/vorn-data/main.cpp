// vorn-data: builds the game's resource folder from code.
//
//   vorn-data --out DIR [--ini FILE] [--preview DIR] [--icons DIR] [--only STEP,STEP] [--quiet]
//
// Writes every data file the game opens into DIR (replacing an earlier build
// there; with --only, the other steps' files stay), app.ini naming DIR when --ini is given, the contact sheets into
// the preview folder and the desktop icons into the icon folder.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <getopt.h>
#include <sstream>
#include <string>
#include <vector>

#include "data/data_build.h"

static void __usage(FILE *out)
{
    std::fprintf(out,
                 "usage: vorn-data --out DIR [--ini FILE] [--preview DIR] [--icons DIR] [--only STEP,...] [--quiet]\n"
                 "Writes the default game data into DIR.\n"
                 "  --out DIR       the resource folder to write (an earlier build there is replaced;\n"
                 "                  with --only, only those steps' files are rewritten)\n"
                 "  --ini FILE      also write an app.ini naming DIR\n"
                 "  --preview DIR   write contact sheets of the pictures, sounds and scene views\n"
                 "  --icons DIR     write the desktop icon at each size (DIR/<size>x<size>/apps/)\n"
                 "  --only STEPS    only these steps, separated by commas\n"
                 "  --quiet         no progress lines\n"
                 "  --help          show this text\n"
                 "steps:");
    for (const auto &s : data_steps()) std::fprintf(out, " %s", s.name);
    std::fprintf(out, "\n");
}

static std::string __with_slash(std::string dir)
{
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

int main(int argc, char **argv)
{
    data_ctx ctx;
    std::string ini;
    std::vector<std::string> only;
    static const option LONG_OPTIONS[] = {
        {"out", required_argument, nullptr, 'o'},     {"ini", required_argument, nullptr, 'i'},
        {"preview", required_argument, nullptr, 'p'}, {"only", required_argument, nullptr, 's'},
        {"icons", required_argument, nullptr, 'c'},   {"quiet", no_argument, nullptr, 'q'},
        {"help", no_argument, nullptr, 'h'},          {nullptr, 0, nullptr, 0},
    };
    int c;
    // getopt_long names an unknown option or a missing value itself.
    while ((c = getopt_long(argc, argv, "h", LONG_OPTIONS, nullptr)) != -1) {
        switch (c) {
        case 'o': ctx.out_dir = optarg; break;
        case 'i': ini = optarg; break;
        case 'p': ctx.preview_dir = optarg; break;
        case 'c': ctx.icon_dir = optarg; break;
        case 's': {
            std::stringstream ss(optarg);
            for (std::string step; std::getline(ss, step, ',');) only.push_back(step);
            break;
        }
        case 'q': ctx.quiet = true; break;
        case 'h': __usage(stdout); return 0;
        default: __usage(stderr); return 2;
        }
    }
    if (optind < argc) {
        std::fprintf(stderr, "vorn-data: unexpected argument %s\n", argv[optind]);
        __usage(stderr);
        return 2;
    }
    if (ctx.out_dir.empty()) {
        std::fprintf(stderr, "vorn-data: --out is needed\n");
        __usage(stderr);
        return 2;
    }
    for (const auto &o : only) {
        bool known = false;
        for (const auto &s : data_steps()) known |= o == s.name;
        if (!known) {
            std::fprintf(stderr, "vorn-data: unknown step %s\n", o.c_str());
            __usage(stderr);
            return 2;
        }
    }
    std::error_code ec;
    ctx.out_dir = __with_slash(std::filesystem::absolute(ctx.out_dir, ec).lexically_normal().string());
    if (!ctx.preview_dir.empty()) ctx.preview_dir = __with_slash(ctx.preview_dir);
    if (!ctx.icon_dir.empty()) ctx.icon_dir = __with_slash(ctx.icon_dir);
    // A build of some steps keeps the rest of an earlier build.
    if (!data_prepare_out_dir(ctx.out_dir, only.empty())) return 1;
    if (!data_build(ctx, only)) return 1;
    if (!ini.empty() && !data_write_app_ini(ini, ctx.out_dir)) return 1;
    return 0;
}
