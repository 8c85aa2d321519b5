// vorn-data: builds the game's resource folder from code.
//
//   vorn-data --out DIR [--ini FILE] [--preview DIR] [--only STEP,STEP] [--quiet]
//
// Writes every data file the game opens into DIR (replacing an earlier build
// there), app.ini naming DIR when --ini is given, and the contact sheets into
// the preview folder.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "data/data_build.h"

static void __usage()
{
    std::fprintf(stderr, "usage: vorn-data --out DIR [--ini FILE] [--preview DIR] [--only STEP,...] [--quiet]\nsteps:");
    for (const auto &s : data_steps()) std::fprintf(stderr, " %s", s.name);
    std::fprintf(stderr, "\n");
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
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool has_value = i + 1 < argc;
        if (a == "--out" && has_value)
            ctx.out_dir = argv[++i];
        else if (a == "--ini" && has_value)
            ini = argv[++i];
        else if (a == "--preview" && has_value)
            ctx.preview_dir = argv[++i];
        else if (a == "--only" && has_value) {
            std::stringstream ss(argv[++i]);
            for (std::string s; std::getline(ss, s, ',');) only.push_back(s);
        } else if (a == "--quiet")
            ctx.quiet = true;
        else {
            __usage();
            return 2;
        }
    }
    if (ctx.out_dir.empty()) {
        __usage();
        return 2;
    }
    for (const auto &o : only) {
        bool known = false;
        for (const auto &s : data_steps()) known |= o == s.name;
        if (!known) {
            std::fprintf(stderr, "vorn-data: unknown step %s\n", o.c_str());
            __usage();
            return 2;
        }
    }
    std::error_code ec;
    ctx.out_dir = __with_slash(std::filesystem::absolute(ctx.out_dir, ec).lexically_normal().string());
    if (!ctx.preview_dir.empty()) ctx.preview_dir = __with_slash(ctx.preview_dir);
    if (!data_prepare_out_dir(ctx.out_dir)) return 1;
    if (!data_build(ctx, only)) return 1;
    if (!ini.empty() && !data_write_app_ini(ini, ctx.out_dir)) return 1;
    return 0;
}
