// Contact sheets: every picture of a sheet as a thumbnail on a grid, with its
// name, size and depth under it, over a checkerboard where it is transparent.

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "data_build.h"
#include "data_picture_file.h"
#include "data_text.h"

#define SHEET_COLUMNS 6
#define SHEET_CELL_W 200
#define SHEET_CELL_H 200
#define SHEET_TITLE_H 40

static void __checker(data_image &img, int x0, int y0, int w, int h)
{
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            bool dark = ((x / 8) + (y / 8)) & 1;
            image_at(img, x0 + x, y0 + y) = dark ? rgba_u8(70, 70, 78) : rgba_u8(100, 100, 110);
        }
}

static std::string __short_name(const std::string &name)
{
    return name.size() <= 30 ? name : "..." + name.substr(name.size() - 27);
}

bool data_write_preview_sheet(const std::string &path, const std::string &title,
                              const std::vector<data_preview_item> &items)
{
    int rows = int((items.size() + SHEET_COLUMNS - 1) / SHEET_COLUMNS);
    data_image sheet =
        image_make(SHEET_COLUMNS * SHEET_CELL_W, SHEET_TITLE_H + rows * SHEET_CELL_H, rgba_u8(28, 30, 36));
    text_style ts;
    ts.px = 22;
    text_draw(sheet, ts, 12, 28, title);
    text_style label;
    label.font = DATA_FONT_SANS;
    label.px = 11;
    label.align = TEXT_CENTRE;
    label.colour = rgba_u8(220, 220, 230);
    for (size_t i = 0; i < items.size(); i++) {
        const auto &it = items[i];
        int cx = int(i % SHEET_COLUMNS) * SHEET_CELL_W, cy = SHEET_TITLE_H + int(i / SHEET_COLUMNS) * SHEET_CELL_H;
        int ox = cx + (SHEET_CELL_W - it.thumb.w) / 2, oy = cy + 6 + (DATA_PREVIEW_THUMB - it.thumb.h) / 2;
        __checker(sheet, ox, oy, it.thumb.w, it.thumb.h);
        image_paste(sheet, it.thumb, ox, oy);
        text_draw(sheet, label, cx + SHEET_CELL_W / 2.0f, cy + 180, __short_name(it.name));
        char info[64];
        std::snprintf(info, sizeof info, "%d x %d, %d bit", it.w, it.h, it.bpp);
        text_draw(sheet, label, cx + SHEET_CELL_W / 2.0f, cy + 194, it.info.empty() ? info : it.info);
    }
    for (auto &p : sheet.px) p.a = 1;
    std::vector<uint8_t> bytes = image_to_bytes(sheet, 32);
    return picture_file_save_png(path.c_str(), sheet.w, sheet.h, bytes.data());
}

bool data_write_previews(data_ctx &ctx)
{
    std::error_code ec;
    std::string dir = ctx.preview_dir;
    std::filesystem::create_directories(dir, ec);
    for (const auto &[sheet, items] : ctx.sheets) {
        std::string path = dir + sheet + ".png";
        if (!data_write_preview_sheet(path, sheet, items)) {
            std::fprintf(stderr, "vorn-data: cannot write %s\n", path.c_str());
            return false;
        }
        if (!ctx.quiet) std::printf("vorn-data: preview %s (%zu pictures)\n", path.c_str(), items.size());
    }
    for (const auto &[name, img] : ctx.layouts) {
        std::string path = dir + name + ".png";
        data_image opaque = img;
        for (auto &p : opaque.px) p.a = 1;
        std::vector<uint8_t> bytes = image_to_bytes(opaque, 32);
        if (!picture_file_save_png(path.c_str(), opaque.w, opaque.h, bytes.data())) {
            std::fprintf(stderr, "vorn-data: cannot write %s\n", path.c_str());
            return false;
        }
        if (!ctx.quiet) std::printf("vorn-data: preview %s\n", path.c_str());
    }
    return true;
}
