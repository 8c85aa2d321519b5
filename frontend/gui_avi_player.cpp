// The video player over the video decoder, the texture and the blitter.
#include "gui_avi_player.h"

#include <cmath>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_blitter.h"
#include "renderer/OGL_texture.h"

static OGL_texture_input_data __frame_input(const gap *g)
{
    OGL_texture_input_data id{};
    id.filename = GAP_TEXTURE_NAME;
    id.xsize = g->width;
    id.ysize = g->height;
    id.bpp = g->bpp;
    id.pixels = g->frame;
    return id;
}

void gap_free(gap *g)
{
    if (!g) return;
    if (g->texture) OGL_texture_free(g->texture);
    avi_close(g->af);
    mem_free(g->frame);
    mem_free(g);
}

bool gap_load(gap **player, const char *file)
{
    ASSERT(player != nullptr && file != nullptr);
    *player = nullptr;
    avi_file *af = avi_open(file);
    if (!af) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "gap_load(): the video \"%s\" cannot be played", file);
        return false;
    }
    gap *g = mem_new_zeroed<gap>();
    if (!g) {
        avi_close(af);
        return false;
    }
    g->af = af;
    g->bpp = af->bpp;
    g->width = af->width;
    g->height = af->height;
    g->max_time = float(af->length);
    g->frame_duration = float(af->frame_duration);
    // The decoder has checked the sizes against AVI_MAX_SIDE: no overflow here.
    size_t bytes = size_t(g->bpp / 8) * g->width * g->height;
    g->frame = static_cast<uint8_t *>(mem_alloc(bytes));
    bool ok = g->frame && g->max_time > 0.0f && g->frame_duration > 0.0f;
    if (ok && !avi_get_frame(af, 0, g->frame)) ok = false;
    if (ok) {
        OGL_texture_input_data id = __frame_input(g);
        g->texture = OGL_texture_create(&id);
        ok = g->texture != nullptr;
    }
    if (!ok) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "gap_load(): the video \"%s\" cannot be played", file);
        gap_free(g);
        return false;
    }
    g->decoded_frame = g->wanted_frame = 0;
    g->elapsed = 0.0f;
    g->playing = 1;
    *player = g;
    return true;
}

uint32_t gap_update(gap *g, float dt)
{
    ASSERT(g->af != NULL);
    ASSERT(g->max_time != 0);
    g->elapsed += dt;
    if (g->elapsed >= g->max_time) {
        g->elapsed = g->max_time;
        g->playing = 0;
    }
    if (g->elapsed < 0.0f) g->elapsed = 0.0f;
    // Times summed from float frame steps fall a hair short of a frame's
    // start (29 x 0.04f < 1.16): a thousandth of a frame counts as there.
    double n = std::floor(double(g->elapsed) / g->frame_duration + GAP_FRAME_TOLERANCE);
    g->wanted_frame = n >= double(UINT32_MAX) ? UINT32_MAX : uint32_t(n);
    return g->wanted_frame;
}

void gap_draw(gap *g, float x, float y, float w, float h)
{
    ASSERT(g->af != NULL);
    if (g->wanted_frame != g->decoded_frame) {
        // A frame that cannot be decoded (damaged data) is logged by the
        // decoder; the last good one stays on show.
        if (avi_get_frame(g->af, g->wanted_frame, g->frame)) {
            OGL_texture_input_data id = __frame_input(g);
            OGL_texture_update(g->texture, &id);
        }
        g->decoded_frame = g->wanted_frame;
    }
    uint32_t flags = OGL_BLIT_FLIP_V;
    if (g->bpp == 32) flags |= OGL_BLIT_ALPHA;
    OGL_blit_texture(g->texture, x, y, w, h, flags);
}

bool gap_is_playing(const gap *g) { return g && g->playing != 0; }
