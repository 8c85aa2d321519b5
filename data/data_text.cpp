#include "data_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <map>

#include "corelib/log.h"

static FT_Library ft_lib = nullptr;
static std::map<std::string, FT_Face> ft_faces;

bool text_init()
{
    if (ft_lib) return true;
    if (FT_Init_FreeType(&ft_lib)) {
        do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "data: FreeType could not be started");
        return false;
    }
    return true;
}

void text_deinit()
{
    for (auto &f : ft_faces) FT_Done_Face(f.second);
    ft_faces.clear();
    if (ft_lib) FT_Done_FreeType(ft_lib);
    ft_lib = nullptr;
}

static FT_Face __face(const text_style &style)
{
    if (!text_init()) return nullptr;
    auto it = ft_faces.find(style.font);
    FT_Face face;
    if (it == ft_faces.end()) {
        if (FT_New_Face(ft_lib, style.font, 0, &face)) {
            do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "data: cannot open font %s", style.font);
            return nullptr;
        }
        ft_faces[style.font] = face;
    } else {
        face = it->second;
    }
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(std::lround(style.px)));
    return face;
}

// Walks the glyphs of the text, calling fn(glyph slot, pen x) for each.
template <typename F> static float __layout(FT_Face face, const text_style &style, const std::string &text, F fn)
{
    float pen = 0;
    FT_UInt prev = 0;
    for (unsigned char ch : text) {
        FT_UInt gi = FT_Get_Char_Index(face, ch);
        if (prev && gi && FT_HAS_KERNING(face)) {
            FT_Vector k;
            FT_Get_Kerning(face, prev, gi, FT_KERNING_DEFAULT, &k);
            pen += k.x / 64.0f;
        }
        if (FT_Load_Glyph(face, gi, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT)) continue;
        fn(face->glyph, pen);
        pen += face->glyph->advance.x / 64.0f + style.tracking;
        prev = gi;
    }
    return text.empty() ? 0 : pen - style.tracking;
}

float text_width(const text_style &style, const std::string &text)
{
    FT_Face face = __face(style);
    if (!face) return 0;
    return __layout(face, style, text, [](FT_GlyphSlot, float) {});
}

void text_draw(data_image &img, const text_style &style, float x, float y, const std::string &text)
{
    FT_Face face = __face(style);
    if (!face) return;
    float w = text_width(style, text);
    float left = style.align == TEXT_CENTRE ? x - w * 0.5f : style.align == TEXT_RIGHT ? x - w : x;
    left = std::round(left);
    int base = int(std::lround(y));
    __layout(face, style, text, [&](FT_GlyphSlot g, float pen) {
        const FT_Bitmap &bm = g->bitmap;
        int gx = int(std::lround(left + pen)) + g->bitmap_left, gy = base - g->bitmap_top;
        for (unsigned r = 0; r < bm.rows; r++)
            for (unsigned c = 0; c < bm.width; c++) {
                float cov = bm.buffer[r * bm.pitch + c] / 255.0f;
                if (cov <= 0) continue;
                if (style.additive)
                    image_add(img, gx + int(c), gy + int(r), style.colour, cov);
                else
                    image_blend(img, gx + int(c), gy + int(r), style.colour, cov);
            }
    });
}

void text_draw_glow(data_image &img, const text_style &style, float x, float y, const std::string &text, rgba glow,
                    int radius)
{
    // Letter the text alone, blur its coverage, paint the glow, then the text.
    data_image mask = image_make(img.w, img.h);
    text_style white = style;
    white.colour = {1, 1, 1, 1};
    white.additive = false;
    text_draw(mask, white, x, y, text);
    std::vector<float> a(size_t(img.w) * img.h), t(a.size());
    for (size_t i = 0; i < a.size(); i++) a[i] = mask.px[i].a;
    for (int pass = 0; pass < 2; pass++) {
        for (int yy = 0; yy < img.h; yy++)
            for (int xx = 0; xx < img.w; xx++) {
                float s = 0;
                for (int k = -radius; k <= radius; k++) {
                    int xk = xx + k;
                    if (xk >= 0 && xk < img.w) s += a[size_t(yy) * img.w + xk];
                }
                t[size_t(yy) * img.w + xx] = s / (2 * radius + 1);
            }
        for (int yy = 0; yy < img.h; yy++)
            for (int xx = 0; xx < img.w; xx++) {
                float s = 0;
                for (int k = -radius; k <= radius; k++) {
                    int yk = yy + k;
                    if (yk >= 0 && yk < img.h) s += t[size_t(yk) * img.w + xx];
                }
                a[size_t(yy) * img.w + xx] = s / (2 * radius + 1);
            }
    }
    for (int yy = 0; yy < img.h; yy++)
        for (int xx = 0; xx < img.w; xx++) {
            float k = std::min(1.0f, a[size_t(yy) * img.w + xx] * 2.5f);
            if (k > 0) image_blend(img, xx, yy, glow, k);
        }
    text_draw(img, style, x, y, text);
}
