// The intro video "intro\intro.bik": ten seconds at 800 x 450 and 25 frames
// a second, rendered here and encoded with FFmpeg's libraries as MPEG-4 part 2
// in an AVI container. The game keeps the name it asks for; FFmpeg recognises
// the container by its content. Encoder and muxer run bit-exact on one
// thread, so the file is the same on every build.
//
// The film: out of black, the camera drifts through the belt towards the
// ringed planet while stars stream past and rocks tumble by; at five seconds
// a flash, and the title settles in; the last second fades to black.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>

#include "corelib/log.h"
#include "data_build.h"
#include "data_noise.h"
#include "data_style.h"

#define VIDEO_W 800
#define VIDEO_H 450
#define VIDEO_FPS 25
#define VIDEO_SECONDS 10
#define VIDEO_QSCALE 3
#define VIDEO_STARS 700
#define VIDEO_ROCKS 9
#define VIDEO_TITLE_TIME 5.0f

// ---- rendering ---------------------------------------------------------------

struct film {
    data_image backdrop; // larger than the frame, panned and zoomed
    data_image title;    // the title card, transparent around the lettering
    int title_box[4];    // x0, y0, x1, y1 of its visible part
    std::vector<data_image> rocks;
    std::vector<float> stars; // x, y, z per star in a unit box in front of the camera
};

// A lit rock sprite: a lumpy sphere shaded from the upper left.
static data_image __rock_sprite(int n, uint32_t seed)
{
    data_image img = image_make(n, n);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            float u = (x + 0.5f) / n * 2 - 1, v = (y + 0.5f) / n * 2 - 1;
            float ang = std::atan2(v, u);
            float radius = 0.82f + 0.12f * noise_perlin2(ang * 1.2f + 3, 0.5f, 0, 0, seed);
            float r = std::sqrt(u * u + v * v) / radius;
            if (r >= 1) continue;
            float nz = std::sqrt(1 - r * r);
            float bump = noise_fbm2(u * 4 + 7, v * 4 + 7, 4, 0, seed + 1);
            float light = std::clamp(-u * 0.55f - v * 0.5f + nz * 0.65f + bump * 0.25f, 0.0f, 1.0f);
            float g = 0.08f + light * 0.62f;
            rgba c = {g * 1.05f, g * 0.95f, g * 0.85f, std::clamp((1 - r) * n * 0.5f, 0.0f, 1.0f)};
            image_at(img, x, y) = c;
        }
    return img;
}

static film __film_make()
{
    film f;
    f.backdrop = image_make(1000, 563);
    style_backdrop(f.backdrop, 0, 21);
    f.title = image_make(VIDEO_W, VIDEO_H);
    style_heading(f.title, 400, 235, "VVVORN", 120, TEXT_CENTRE, rgba_u8(230, 246, 255), rgba_u8(40, 140, 255, 220));
    style_label(f.title, 400, 285, "THE BELT NEEDS A PILOT", TEXT_CENTRE, STYLE_TEXT_DIM, 20);
    int *b = f.title_box;
    b[0] = VIDEO_W, b[1] = VIDEO_H, b[2] = 0, b[3] = 0;
    for (int y = 0; y < VIDEO_H; y++)
        for (int x = 0; x < VIDEO_W; x++)
            if (image_at(f.title, x, y).a > 0)
                b[0] = std::min(b[0], x), b[1] = std::min(b[1], y), b[2] = std::max(b[2], x + 1),
                b[3] = std::max(b[3], y + 1);
    noise_rng rng = noise_rng_make(4242);
    for (int i = 0; i < VIDEO_ROCKS; i++) f.rocks.push_back(__rock_sprite(48 + noise_rng_int(rng, 110), 5000 + i));
    for (int i = 0; i < VIDEO_STARS; i++)
        f.stars.insert(f.stars.end(), {float(noise_rng_range(rng, -1, 1)), float(noise_rng_range(rng, -1, 1)),
                                       float(noise_rng_range(rng, 0.05, 1))});
    return f;
}

static float __smoothstep(float a, float b, float x)
{
    float t = std::clamp((x - a) / (b - a), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

static void __frame(const film &f, int index, data_image &img)
{
    float t = float(index) / VIDEO_FPS;
    // Backdrop: a slow push-in and pan.
    float zoom = 1.0f + 0.1f * t / VIDEO_SECONDS;
    float cx = 470 + 25 * t / VIDEO_SECONDS, cy = 300 + 8 * t / VIDEO_SECONDS;
    float k = float(VIDEO_W) / f.backdrop.w * 1.2f / zoom;
    for (int y = 0; y < VIDEO_H; y++)
        for (int x = 0; x < VIDEO_W; x++) {
            float sx = cx + (x - VIDEO_W / 2.0f) * k, sy = cy + (y - VIDEO_H / 2.0f) * k;
            image_at(img, x, y) = image_sample(f.backdrop, sx, sy, false);
        }
    // Stars stream towards the camera; each one wraps to the far plane.
    float speed = 0.12f + 0.1f * __smoothstep(3.5f, 5.0f, t);
    for (size_t s = 0; s < f.stars.size(); s += 3) {
        float z = f.stars[s + 2] - t * speed;
        z = z - std::floor(z);
        z = 0.05f + z * 0.95f;
        float z_prev = z + speed / VIDEO_FPS * 1.5f;
        float px = VIDEO_W / 2.0f + f.stars[s] / z * 260, py = VIDEO_H / 2.0f + f.stars[s + 1] / z * 260;
        float qx = VIDEO_W / 2.0f + f.stars[s] / z_prev * 260, qy = VIDEO_H / 2.0f + f.stars[s + 1] / z_prev * 260;
        float b = std::clamp((1 - z) * 1.2f, 0.0f, 1.0f);
        if (px < -10 || py < -10 || px > VIDEO_W + 10 || py > VIDEO_H + 10) continue;
        image_line(img, qx, qy, px, py, 0.6f + b * 1.4f, rgba_u8(220, 235, 255, int(255 * b * 0.9f)));
    }
    // Rocks drift across at their depth, nearer ones faster and larger.
    for (size_t r = 0; r < f.rocks.size(); r++) {
        const data_image &rock = f.rocks[r];
        float depth = 0.4f + 0.6f * noise_hash01(uint32_t(r), 1, 77);
        float x = VIDEO_W * (1.3f - noise_hash01(uint32_t(r), 2, 77) * 0.4f) - t * 90 / depth - r * 70;
        float y = VIDEO_H * (0.15f + 0.7f * noise_hash01(uint32_t(r), 3, 77)) + t * 6 * (r % 3);
        float scale = 0.5f / depth;
        int w = int(rock.w * scale);
        for (int j = 0; j < w; j++)
            for (int i = 0; i < w; i++) {
                rgba c = image_sample(rock, (i + 0.5f) / scale, (j + 0.5f) / scale, false);
                if (c.a > 0) image_blend(img, int(x) + i, int(y) + j, rgba_alpha(c, 1), c.a);
            }
    }
    // The flash and the title card.
    float flash = t >= VIDEO_TITLE_TIME ? std::exp(-(t - VIDEO_TITLE_TIME) * 4) : 0;
    float title = __smoothstep(VIDEO_TITLE_TIME, VIDEO_TITLE_TIME + 0.6f, t);
    if (title > 0) {
        float s = 1.0f + 0.12f * (1 - title) + 0.02f * (t - VIDEO_TITLE_TIME) / 5;
        // Only the scaled box of the lettering can change.
        const int *b = f.title_box;
        int x0 = std::max(0, int((b[0] - VIDEO_W / 2.0f) * s + VIDEO_W / 2.0f) - 2);
        int x1 = std::min(VIDEO_W, int((b[2] - VIDEO_W / 2.0f) * s + VIDEO_W / 2.0f) + 3);
        int y0 = std::max(0, int((b[1] - VIDEO_H / 2.0f) * s + VIDEO_H / 2.0f) - 2);
        int y1 = std::min(VIDEO_H, int((b[3] - VIDEO_H / 2.0f) * s + VIDEO_H / 2.0f) + 3);
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) {
                rgba c = image_sample(f.title, VIDEO_W / 2.0f + (x + 0.5f - VIDEO_W / 2.0f) / s,
                                      VIDEO_H / 2.0f + (y + 0.5f - VIDEO_H / 2.0f) / s, false);
                if (c.a > 0) image_blend(img, x, y, rgba_alpha(c, 1), c.a * title);
            }
    }
    // Fades from and to black, and the flash.
    float light = __smoothstep(0, 1.0f, t) * (1 - __smoothstep(VIDEO_SECONDS - 1.0f, VIDEO_SECONDS - 0.04f, t));
    for (auto &p : img.px) {
        p.r = (p.r + flash) * light;
        p.g = (p.g + flash) * light;
        p.b = (p.b + flash) * light;
        p.a = 1;
    }
}

// ---- encoding ----------------------------------------------------------------

struct encoder {
    AVFormatContext *oc = nullptr;
    AVCodecContext *cc = nullptr;
    AVStream *st = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *pkt = nullptr;
    SwsContext *sws = nullptr;
};

static void __encoder_free(encoder &e)
{
    if (e.oc && e.oc->pb) avio_closep(&e.oc->pb);
    avformat_free_context(e.oc);
    avcodec_free_context(&e.cc);
    av_frame_free(&e.frame);
    av_packet_free(&e.pkt);
    sws_freeContext(e.sws);
}

static bool __encoder_open(encoder &e, const std::string &path)
{
    if (avformat_alloc_output_context2(&e.oc, nullptr, "avi", path.c_str()) < 0) return false;
    e.oc->flags |= AVFMT_FLAG_BITEXACT;
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (!codec) return false;
    e.st = avformat_new_stream(e.oc, nullptr);
    e.cc = avcodec_alloc_context3(codec);
    if (!e.st || !e.cc) return false;
    e.cc->width = VIDEO_W;
    e.cc->height = VIDEO_H;
    e.cc->time_base = {1, VIDEO_FPS};
    e.cc->framerate = {VIDEO_FPS, 1};
    e.cc->pix_fmt = AV_PIX_FMT_YUV420P;
    e.cc->gop_size = VIDEO_FPS;
    e.cc->max_b_frames = 0;
    e.cc->thread_count = 1;
    e.cc->flags |= AV_CODEC_FLAG_BITEXACT | AV_CODEC_FLAG_QSCALE;
    e.cc->global_quality = FF_QP2LAMBDA * VIDEO_QSCALE;
    if (e.oc->oformat->flags & AVFMT_GLOBALHEADER) e.cc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(e.cc, codec, nullptr) < 0) return false;
    if (avcodec_parameters_from_context(e.st->codecpar, e.cc) < 0) return false;
    e.st->time_base = e.cc->time_base;
    if (avio_open(&e.oc->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
    if (avformat_write_header(e.oc, nullptr) < 0) return false;
    e.frame = av_frame_alloc();
    e.pkt = av_packet_alloc();
    if (!e.frame || !e.pkt) return false;
    e.frame->format = AV_PIX_FMT_YUV420P;
    e.frame->width = VIDEO_W;
    e.frame->height = VIDEO_H;
    if (av_frame_get_buffer(e.frame, 0) < 0) return false;
    e.sws = sws_getContext(VIDEO_W, VIDEO_H, AV_PIX_FMT_RGB24, VIDEO_W, VIDEO_H, AV_PIX_FMT_YUV420P,
                           SWS_BICUBIC | SWS_BITEXACT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    return e.sws != nullptr;
}

// Sends a frame (or null to drain) and writes every packet that comes out.
static bool __encoder_send(encoder &e, AVFrame *frame)
{
    if (avcodec_send_frame(e.cc, frame) < 0) return false;
    for (;;) {
        int r = avcodec_receive_packet(e.cc, e.pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        av_packet_rescale_ts(e.pkt, e.cc->time_base, e.st->time_base);
        e.pkt->stream_index = e.st->index;
        if (av_interleaved_write_frame(e.oc, e.pkt) < 0) return false;
    }
}

bool data_gen_video(data_ctx &ctx)
{
    const std::string name = "intro\\intro.bik";
    std::string path = data_path(ctx, name);
    av_log_set_level(AV_LOG_ERROR);
    film f = __film_make();
    encoder e;
    bool ok = __encoder_open(e, path);
    data_image img = image_make(VIDEO_W, VIDEO_H);
    int frames = VIDEO_FPS * VIDEO_SECONDS;
    if (ctx.video_frames > 0) frames = std::min(frames, ctx.video_frames);
    for (int i = 0; ok && i < frames; i++) {
        __frame(f, i, img);
        std::vector<uint8_t> rgb = image_to_bytes(img, 24);
        const uint8_t *src[1] = {rgb.data()};
        int stride[1] = {VIDEO_W * 3};
        ok = av_frame_make_writable(e.frame) >= 0;
        if (!ok) break;
        sws_scale(e.sws, src, stride, 0, VIDEO_H, e.frame->data, e.frame->linesize);
        e.frame->pts = i;
        ok = __encoder_send(e, e.frame);
        if (i == VIDEO_TITLE_TIME * VIDEO_FPS + 20) ctx.layouts["intro-video-frame"] = img;
    }
    ok = ok && __encoder_send(e, nullptr) && av_write_trailer(e.oc) >= 0;
    __encoder_free(e);
    if (!ok) {
        do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "data: cannot encode the intro video %s", path.c_str());
        return false;
    }
    return data_note_written(ctx, name);
}
