// Writes the test videos.
#include "video_testgen.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

struct writer {
    AVFormatContext *oc = nullptr;
    AVCodecContext *cc = nullptr;
    AVStream *st = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *pkt = nullptr;
    SwsContext *sws = nullptr;
    ~writer()
    {
        if (oc && oc->pb) avio_closep(&oc->pb);
        avformat_free_context(oc);
        avcodec_free_context(&cc);
        av_frame_free(&frame);
        av_packet_free(&pkt);
        sws_freeContext(sws);
    }
};

} // namespace

static void __pattern(const video_testgen_spec &s, int number, std::vector<uint8_t> &rgba)
{
    int w = s.width, h = s.height;
    rgba.assign(size_t(w) * h * 4, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t *p = &rgba[(size_t(y) * w + x) * 4];
            p[3] = x < w / 2 ? VIDEO_TESTGEN_LEFT_ALPHA : 255;
            if (y < h / 4) {
                p[0] = 255;
                continue;
            }
            int bit = x * VIDEO_TESTGEN_BITS / w;
            bool one = (number >> (VIDEO_TESTGEN_BITS - 1 - bit)) & 1;
            p[0] = p[1] = p[2] = one ? 255 : 0;
        }
}

static bool __send(writer &e, AVFrame *frame, const video_testgen_spec &s)
{
    if (avcodec_send_frame(e.cc, frame) < 0) return false;
    for (;;) {
        int r = avcodec_receive_packet(e.cc, e.pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        if (!s.times_ms.empty()) {
            // Each frame lasts until the next one.
            size_t i = 0;
            while (i < s.times_ms.size() && s.times_ms[i] != e.pkt->pts) i++;
            int next = i + 1 < s.times_ms.size() ? s.times_ms[i + 1] : s.end_ms;
            e.pkt->duration = next - e.pkt->pts;
        } else {
            e.pkt->duration = 1;
        }
        av_packet_rescale_ts(e.pkt, e.cc->time_base, e.st->time_base);
        e.pkt->stream_index = e.st->index;
        if (av_interleaved_write_frame(e.oc, e.pkt) < 0) return false;
    }
}

bool video_testgen_write(const std::string &path, const video_testgen_spec &s)
{
    writer e;
    if (avformat_alloc_output_context2(&e.oc, nullptr, s.container, path.c_str()) < 0) return false;
    const AVCodec *codec = avcodec_find_encoder(s.codec);
    if (!codec) return false;
    e.st = avformat_new_stream(e.oc, nullptr);
    e.cc = avcodec_alloc_context3(codec);
    if (!e.st || !e.cc) return false;
    bool vfr = !s.times_ms.empty();
    e.cc->width = s.width;
    e.cc->height = s.height;
    e.cc->time_base = vfr ? AVRational{1, 1000} : AVRational{1, s.fps};
    e.cc->framerate = vfr ? AVRational{0, 1} : AVRational{s.fps, 1};
    e.cc->pix_fmt = s.pix_fmt;
    e.cc->gop_size = s.gop;
    e.cc->max_b_frames = 0;
    e.cc->thread_count = 1;
    e.cc->flags |= AV_CODEC_FLAG_QSCALE;
    e.cc->global_quality = FF_QP2LAMBDA * 2;
    if (e.oc->oformat->flags & AVFMT_GLOBALHEADER) e.cc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(e.cc, codec, nullptr) < 0) return false;
    if (avcodec_parameters_from_context(e.st->codecpar, e.cc) < 0) return false;
    e.st->time_base = e.cc->time_base;
    if (avio_open(&e.oc->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
    if (avformat_write_header(e.oc, nullptr) < 0) return false;
    e.frame = av_frame_alloc();
    e.pkt = av_packet_alloc();
    if (!e.frame || !e.pkt) return false;
    e.frame->format = s.pix_fmt;
    e.frame->width = s.width;
    e.frame->height = s.height;
    if (av_frame_get_buffer(e.frame, 0) < 0) return false;
    e.sws = sws_getContext(s.width, s.height, AV_PIX_FMT_RGBA, s.width, s.height, s.pix_fmt, SWS_POINT, nullptr,
                           nullptr, nullptr);
    if (!e.sws) return false;
    int frames = vfr ? int(s.times_ms.size()) : s.frames;
    std::vector<uint8_t> rgba;
    for (int i = 0; i < frames; i++) {
        __pattern(s, i, rgba);
        const uint8_t *src[1] = {rgba.data()};
        int stride[1] = {s.width * 4};
        if (av_frame_make_writable(e.frame) < 0) return false;
        sws_scale(e.sws, src, stride, 0, s.height, e.frame->data, e.frame->linesize);
        e.frame->pts = vfr ? s.times_ms[size_t(i)] : i;
        if (!__send(e, e.frame, s)) return false;
    }
    return __send(e, nullptr, s) && av_write_trailer(e.oc) >= 0;
}

int video_testgen_read_number_at(int width, int height, void (*pixel)(void *user, int x, int y, uint8_t rgb[3]),
                                 void *user)
{
    int number = 0;
    int y = height / 4 + (height - height / 4) / 2;
    for (int bit = 0; bit < VIDEO_TESTGEN_BITS; bit++) {
        int x = (2 * bit + 1) * width / (2 * VIDEO_TESTGEN_BITS);
        uint8_t rgb[3];
        pixel(user, x, y, rgb);
        int v = (rgb[0] + rgb[1] + rgb[2]) / 3;
        if (v > 64 && v < 192) return -1;
        number = number * 2 + (v >= 192 ? 1 : 0);
    }
    return number;
}

namespace {
struct buffer_view {
    const uint8_t *pixels;
    int width, bytes;
};
} // namespace

static void __buffer_pixel(void *user, int x, int y, uint8_t rgb[3])
{
    const buffer_view *b = static_cast<const buffer_view *>(user);
    const uint8_t *p = b->pixels + (size_t(y) * b->width + x) * b->bytes;
    rgb[0] = p[0], rgb[1] = p[1], rgb[2] = p[2];
}

int video_testgen_read_number(const uint8_t *pixels, int width, int height, int bpp)
{
    buffer_view b = {pixels, width, bpp / 8};
    return video_testgen_read_number_at(width, height, __buffer_pixel, &b);
}
