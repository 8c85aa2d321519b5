// Text and GUI benchmark: a HUD's worth of TrueType text drawn every frame
// at 800 x 600 (six fonts, the sizes the cockpit uses: score, time, level,
// labels, a statistics page of five lines), and a menu screen of GUI
// pictures.
//
// Prints the first frame (every glyph rendered into the caches), then per
// frame from the median: the main thread's CPU time in the text writer and
// the wall time with the GL work finished (llvmpipe rasterises on its own
// threads), glyphs and blit batches per frame; the same for the GUI screen.
//
// Usage: text_bench [frames]   (run under xvfb-run for CI)

#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "corelib/gfxloader.h"
#include "frontend/fonts.h"
#include "frontend/gui.h"
#include "frontend/gui_mouse.h"
#include "frontend/gui_text_writer.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_window.h"

#define SANS "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"
#define NARROW "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf"
#define DISPLAY "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
#define MONO "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"

struct hud_line {
    int font;
    int x, y;
    std::string text;
};

static uint32_t glyph_count(const std::vector<hud_line> &lines)
{
    uint32_t n = 0;
    for (const auto &l : lines) n += uint32_t(l.text.size());
    return n;
}

static void draw_hud(gtw_font **fonts, const std::vector<hud_line> &lines)
{
    static const float cyan[4] = {0.4f, 0.9f, 1.0f, 1.0f};
    for (const auto &l : lines)
        gtw_draw_text_utf8(fonts[l.font], l.x, l.y, l.text.c_str(), l.font & 1 ? cyan : nullptr, 0);
}

static std::vector<hud_line> hud_frame(int frame)
{
    char score[32], secs[32];
    std::snprintf(score, sizeof score, "%08d", 12500 + frame * 100);
    std::snprintf(secs, sizeof secs, "%d", 180 - frame % 180);
    return {
        {0, 330, 40, score},
        {1, 660, 40, secs},
        {1, 40, 40, "LEVEL 3"},
        {2, 20, 560, "ENERGY"},
        {2, 720, 560, "STATUS"},
        {3, 330, 580, "MISSILES 4   SENTINELS 6/8"},
        {4, 240, 200, "LEVEL 3 COMPLETED"},
        {5, 240, 240, "asteroids destroyed: 42 (accuracy 71%)"},
        {5, 240, 260, "junk destroyed: 17 (accuracy 55%)"},
        {5, 240, 280, "missiles fired: 9, hits 7"},
        {5, 240, 300, "station damage: 12%"},
        {5, 240, 320, "time bonus: 1350"},
    };
}

int main(int argc, char **argv)
{
    int frames = argc > 1 ? std::atoi(argv[1]) : 300;
    if (frames < 10) frames = 10;
    if (!OGL_window_library_init() || !OGL_init("text bench", 800, 600, false)) {
        std::fprintf(stderr, "text_bench: no window (run under xvfb-run)\n");
        return 1;
    }
    OGL_window_set_swap_interval(0);
    gfxloader_init();
    fonts_init();
    struct {
        const char *file;
        uint32_t size;
    } faces[6] = {{DISPLAY, 1152}, {DISPLAY, 768}, {MONO, 640}, {SANS, 768}, {NARROW, 1152}, {NARROW, 640}};
    gtw_font *fonts[6];
    for (int i = 0; i < 6; i++) {
        fonts[i] = gtw_load_font(faces[i].file, faces[i].size, 0);
        if (!fonts[i]) {
            std::fprintf(stderr, "text_bench: cannot load %s\n", faces[i].file);
            return 1;
        }
    }

    // first frame: every glyph rendered and uploaded
    std::vector<hud_line> lines = hud_frame(0);
    glFinish();
    double c0 = bench_thread_cpu_seconds();
    draw_hud(fonts, lines);
    glFinish();
    const double first_ms = (bench_thread_cpu_seconds() - c0) * 1e3;
    OGL_swap_buffers();

    std::vector<double> cpu, wall;
    uint32_t glyphs = 0;
    for (int f = 1; f <= frames; f++) {
        lines = hud_frame(f);
        glyphs = glyph_count(lines);
        OGL_clear();
        glFinish();
        auto t0 = bench_clock::now();
        double cc = bench_thread_cpu_seconds();
        draw_hud(fonts, lines);
        cpu.push_back(bench_thread_cpu_seconds() - cc);
        glFinish();
        wall.push_back(bench_seconds_since(t0));
        OGL_swap_buffers();
    }
    uint32_t own = 0, rendered = 0;
    for (gtw_font *font : fonts) {
        own += font->own_textures;
        rendered += font->glyphs_rendered;
    }
    std::printf(
        "HUD text: %zu strings, %u characters a frame, 6 fonts, %u glyphs cached (%u in textures of their own)\n",
        lines.size(), glyphs, rendered, own);
    std::printf("  first frame (glyphs rendered): %.3f ms CPU\n", first_ms);
    std::printf("  per frame: %.3f ms CPU in the text writer, %.3f ms with the GL work finished; %zu batches\n",
                bench_median(cpu) * 1e3, bench_median(wall) * 1e3, lines.size());

    // a menu screen: background, five buttons, two sliders, two checkboxes
    std::string dir = "/tmp/text_bench_gui";
    std::string mk = "mkdir -p " + dir;
    if (std::system(mk.c_str()) != 0) return 1;
    std::vector<uint8_t> px(800 * 600 * 4, 128);
    gfxloader_save((dir + "/bg.tga").c_str(), 800, 600, 24, px.data());
    gfxloader_save((dir + "/b.tga").c_str(), 160, 32, 32, px.data());
    gfxloader_save((dir + "/h.tga").c_str(), 160, 32, 32, px.data());
    gfxloader_save((dir + "/k.tga").c_str(), 16, 16, 32, px.data());
    gui_manager_init();
    gui_mouse_init((dir + "/k.tga").c_str(), (dir + "/k.tga").c_str());
    uint32_t ctx = gui_context_init();
    gui_add_gfx(ctx, "bg", 0, 0, (dir + "/bg.tga").c_str(), 0);
    for (int i = 0; i < 5; i++)
        gui_add_button(ctx, ("b" + std::to_string(i)).c_str(), 320, 150 + 50 * i, (dir + "/b.tga").c_str(),
                       (dir + "/h.tga").c_str(), 1);
    gui_add_slider(ctx, "s0", 300, 450, 148, (dir + "/k.tga").c_str(), 2);
    gui_add_slider(ctx, "s1", 300, 480, 148, (dir + "/k.tga").c_str(), 2);
    gui_add_checkbox(ctx, "c0", 500, 450, (dir + "/k.tga").c_str(), (dir + "/k.tga").c_str(), 1, 2);
    gui_add_checkbox(ctx, "c1", 500, 480, (dir + "/k.tga").c_str(), (dir + "/k.tga").c_str(), 0, 2);
    for (int with_bg = 1; with_bg >= 0; with_bg--) {
        gui_widget_set_visible(ctx, "bg", with_bg != 0);
        cpu.clear();
        wall.clear();
        for (int f = 0; f < frames; f++) {
            OGL_clear();
            glFinish();
            auto t0 = bench_clock::now();
            double cc = bench_thread_cpu_seconds();
            gui_mouse_update(0.02f);
            gui_update(0.02f);
            gui_render();
            gui_mouse_render_cold();
            cpu.push_back(bench_thread_cpu_seconds() - cc);
            glFinish();
            wall.push_back(bench_seconds_since(t0));
            OGL_swap_buffers();
        }
        std::printf("GUI screen, %s: %d blits a frame, one per picture\n",
                    with_bg ? "800 x 600 background, 9 widgets and the cursor" : "9 widgets and the cursor",
                    with_bg ? 11 : 10);
        std::printf("  per frame: %.3f ms CPU, %.3f ms with the GL work finished\n", bench_median(cpu) * 1e3,
                    bench_median(wall) * 1e3);
    }
    gui_context_deinit(ctx);
    gui_system_deinit();
    gui_mouse_deinit();
    for (gtw_font *font : fonts) gtw_free_font(font);
    fonts_deinit();
    gfxloader_deinit();
    OGL_deinit();
    std::string rm = "rm -rf " + dir;
    if (std::system(rm.c_str()) != 0) return 1;
    return 0;
}
