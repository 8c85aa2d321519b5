#include "data_build.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "corelib/gfxloader.h"
#include "corelib/log.h"
#include "data_picture_file.h"
#include "data_text.h"

const std::vector<data_step> &data_steps()
{
    static const std::vector<data_step> steps = {
        {"fonts", data_gen_fonts}, {"textures", data_gen_textures}, {"particle-textures", data_gen_particle_textures},
        {"hud", data_gen_hud},     {"screens", data_gen_screens},   {"particles", data_gen_particles},
        {"scene", data_gen_scene}, {"effects", data_gen_effects},   {"voices", data_gen_voices},
        {"music", data_gen_music}, {"video", data_gen_video},       {"terrain", data_gen_terrain},
    };
    return steps;
}

bool data_build(data_ctx &ctx, const std::vector<std::string> &only)
{
    const auto &steps = data_steps();
    std::vector<const data_step *> run;
    for (const auto &s : steps)
        if (only.empty() || std::find(only.begin(), only.end(), s.name) != only.end()) run.push_back(&s);
    if (!text_init() || !gfxloader_init()) return false;
    auto t0 = std::chrono::steady_clock::now();
    bool ok = true;
    for (size_t i = 0; i < run.size() && ok; i++) {
        int files_before = ctx.files;
        auto ts = std::chrono::steady_clock::now();
        if (!ctx.quiet) {
            std::printf("vorn-data: [%zu/%zu] %s ...\n", i + 1, run.size(), run[i]->name);
            std::fflush(stdout);
        }
        ok = run[i]->run(ctx);
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - ts).count();
        if (!ctx.quiet) {
            std::printf("vorn-data: [%zu/%zu] %s: %d files, %.1f s%s\n", i + 1, run.size(), run[i]->name,
                        ctx.files - files_before, secs, ok ? "" : " FAILED");
            std::fflush(stdout);
        }
    }
    if (ok && !ctx.preview_dir.empty()) ok = data_write_previews(ctx);
    text_deinit();
    gfxloader_deinit();
    double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!ctx.quiet)
        std::printf("vorn-data: %d files, %.1f MB in %s, %.1f s\n", ctx.files, ctx.bytes / 1048576.0,
                    ctx.out_dir.c_str(), total);
    return ok;
}

bool data_prepare_out_dir(const std::string &dir, bool empty)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(dir, ec)) {
        bool ours = fs::exists(fs::path(dir) / DATA_MARKER, ec);
        if (!ours && !fs::is_empty(dir, ec)) {
            do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "data: %s holds files of something else; not touching it",
                   dir.c_str());
            return false;
        }
        if (ours && empty) fs::remove_all(dir, ec);
    }
    fs::create_directories(dir, ec);
    FILE *f = std::fopen((fs::path(dir) / DATA_MARKER).c_str(), "wb");
    if (!f) {
        do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "data: cannot write into %s", dir.c_str());
        return false;
    }
    std::fclose(f);
    return true;
}

std::string data_path(data_ctx &ctx, const std::string &name)
{
    std::string rel = name;
    std::replace(rel.begin(), rel.end(), '\\', '/');
    std::filesystem::path p = std::filesystem::path(ctx.out_dir) / rel;
    std::error_code ec;
    std::filesystem::create_directories(p.parent_path(), ec);
    return p.string();
}

static void __note(data_ctx &ctx, const std::string &name, uint64_t size)
{
    ctx.files++;
    ctx.bytes += size;
    ctx.written.push_back(name);
}

bool data_note_written(data_ctx &ctx, const std::string &name)
{
    std::error_code ec;
    uintmax_t size = std::filesystem::file_size(data_path(ctx, name), ec);
    if (ec) return false;
    __note(ctx, name, size);
    return true;
}

bool data_write_file(data_ctx &ctx, const std::string &name, const void *bytes, size_t size)
{
    std::string path = data_path(ctx, name);
    FILE *f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes, 1, size, f) == size;
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) {
        do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "data: cannot write %s", path.c_str());
        return false;
    }
    __note(ctx, name, size);
    return true;
}

bool data_write_file(data_ctx &ctx, const std::string &name, const std::vector<uint8_t> &bytes)
{
    return data_write_file(ctx, name, bytes.data(), bytes.size());
}

bool data_write_picture(data_ctx &ctx, const std::string &name, const data_image &img, int bpp,
                        const std::string &sheet)
{
    std::string path = data_path(ctx, name);
    std::vector<uint8_t> bytes = image_to_bytes(img, bpp);
    if (!picture_file_save(path.c_str(), img.w, img.h, bpp, bytes.data())) {
        do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "data: cannot write picture %s", path.c_str());
        return false;
    }
    __note(ctx, name, std::filesystem::file_size(path));
    if (!ctx.preview_dir.empty()) {
        float k = std::min(1.0f, float(DATA_PREVIEW_THUMB) / std::max(img.w, img.h));
        data_image thumb = k < 1 ? image_resize(img, std::max(1, int(img.w * k)), std::max(1, int(img.h * k))) : img;
        // Small pictures are enlarged by whole steps (at most 4) so they can be judged.
        int up = std::min(4, DATA_PREVIEW_THUMB / std::max(img.w, img.h));
        if (up > 1) {
            data_image big = image_make(img.w * up, img.h * up);
            for (int y = 0; y < big.h; y++)
                for (int x = 0; x < big.w; x++) image_at(big, x, y) = image_at(img, x / up, y / up);
            thumb = std::move(big);
        }
        // Alpha of a 24-bit picture or of a normal map (its height) is not transparency.
        if (bpp == 24 || name.find("_normal") != std::string::npos)
            for (auto &p : thumb.px) p.a = 1;
        ctx.sheets[sheet].push_back({name, std::move(thumb), img.w, img.h, bpp, ""});
    }
    return true;
}

bool data_copy_file(data_ctx &ctx, const std::string &name, const char *source)
{
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "data: cannot read %s", source);
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return data_write_file(ctx, name, bytes);
}

bool data_write_app_ini(const std::string &ini_path, const std::string &resource_dir)
{
    std::string dir = resource_dir;
    if (dir.empty() || dir.back() != '/') dir += '/';
    std::string text = "vorn_freeware_resource_folder = " + dir + "\n";
    FILE *f = std::fopen(ini_path.c_str(), "wb");
    bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "data: cannot write %s", ini_path.c_str());
    return ok;
}
