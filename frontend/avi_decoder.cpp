// Video decoding through FFmpeg (libavformat, libavcodec, libswscale).
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "avi_decoder.h"
#include "corelib/files.h"
#include "corelib/log.h"
#include "corelib/mem.h"

// Row alignment and spare room of the converter's output.
#define AVI_CONVERT_ALIGN 64

struct avi_stream_state {
    AVFormatContext *fmt;
    AVCodecContext *cc;
    AVPacket *pkt;
    AVFrame *held;    // the picture last delivered (valid when has_held)
    AVFrame *pending; // decoded after it, not yet due (valid when has_pending)
    AVFrame *work;
    SwsContext *sws;
    // The converter's output: swscale may write past the end of a picture's
    // rows (it works in blocks of pixels), so it writes here, with room to
    // spare, and the rows are copied into the caller's buffer.
    uint8_t *rgb;
    int rgb_stride;
    int stream;
    AVRational time_base;
    int64_t start_pts;
    bool has_held, has_pending;
    bool at_start;    // nothing read since the open or the last seek
    bool draining;    // the demuxer is exhausted; the decoder is being emptied
    bool eof;         // the decoder is empty too
    int64_t last_pts; // of the last picture taken from the decoder
    int64_t held_frameno;
    std::chrono::steady_clock::time_point deadline;
};

static void __set_deadline(avi_stream_state *s)
{
    s->deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                         std::chrono::duration<double>(AVI_TIME_LIMIT));
}

static bool __past_deadline(const avi_stream_state *s) { return std::chrono::steady_clock::now() > s->deadline; }

// FFmpeg polls this during blocking reads and probing.
static int __interrupt(void *opaque) { return __past_deadline(static_cast<avi_stream_state *>(opaque)) ? 1 : 0; }

static const char *__av_error(int err, char *buf, size_t size)
{
    if (av_strerror(err, buf, size) < 0) snprintf(buf, size, "error %d", err);
    return buf;
}

static void __state_free(avi_stream_state *s)
{
    if (!s) return;
    avformat_close_input(&s->fmt);
    avcodec_free_context(&s->cc);
    av_packet_free(&s->pkt);
    av_frame_free(&s->held);
    av_frame_free(&s->pending);
    av_frame_free(&s->work);
    sws_freeContext(s->sws);
    av_free(s->rgb);
    mem_free(s);
}

void avi_close(avi_file *af)
{
    if (!af) return;
    __state_free(af->state);
    mem_free(af->filename);
    mem_free(af);
}

static bool __refuse(avi_file *af, const char *reason)
{
    do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "avi_open(): \"%s\": %s", af->filename, reason);
    avi_close(af);
    return false;
}

static bool __believable(double fps) { return std::isfinite(fps) && fps >= AVI_MIN_FPS && fps <= AVI_MAX_FPS; }

// Picks the frame rate: the finer of the average rate and the container's
// base rate (for a constant rate they agree; with a variable rate the base
// rate is the one every picture's time fits), else the default.
static double __frame_rate(const AVStream *st)
{
    double avg = av_q2d(st->avg_frame_rate), base = av_q2d(st->r_frame_rate);
    bool has_avg = __believable(avg), has_base = __believable(base);
    if (has_avg && has_base) return std::max(avg, base);
    if (has_avg) return avg;
    if (has_base) return base;
    return AVI_DEFAULT_FPS;
}

// The stream's length in seconds; 0 when it is unknown.
static double __length(const AVFormatContext *fmt, const AVStream *st)
{
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0) return double(st->duration) * av_q2d(st->time_base);
    if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) return double(fmt->duration) / AV_TIME_BASE;
    return 0.0;
}

static bool __open_stream(avi_file *af, const std::string &native)
{
    char err[128];
    avi_stream_state *s = af->state;
    s->fmt = avformat_alloc_context();
    if (!s->fmt) return __refuse(af, "out of memory");
    s->fmt->interrupt_callback.callback = __interrupt;
    s->fmt->interrupt_callback.opaque = s;
    __set_deadline(s);
    int r = avformat_open_input(&s->fmt, native.c_str(), nullptr, nullptr);
    if (r < 0) {
        // avformat_open_input frees the context on failure.
        s->fmt = nullptr;
        return __refuse(af, __av_error(r, err, sizeof(err)));
    }
    // Decoders probed for the stream information must not allocate frames
    // larger than the player accepts.
    char max_pixels[32];
    snprintf(max_pixels, sizeof(max_pixels), "%d", AVI_MAX_SIDE * AVI_MAX_SIDE);
    unsigned streams = s->fmt->nb_streams;
    AVDictionary **options =
        streams ? static_cast<AVDictionary **>(av_calloc(streams, sizeof(AVDictionary *))) : nullptr;
    if (streams && !options) return __refuse(af, "out of memory");
    for (unsigned i = 0; i < streams; i++) av_dict_set(&options[i], "max_pixels", max_pixels, 0);
    r = avformat_find_stream_info(s->fmt, options);
    for (unsigned i = 0; i < streams; i++) av_dict_free(&options[i]);
    av_free(options);
    if (r < 0) return __refuse(af, __av_error(r, err, sizeof(err)));

    const AVCodec *codec = nullptr;
    s->stream = av_find_best_stream(s->fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (s->stream < 0 || !codec)
        return __refuse(af, s->stream == AVERROR_DECODER_NOT_FOUND ? "no decoder for its video" : "no video stream");
    AVStream *st = s->fmt->streams[s->stream];
    const AVCodecParameters *par = st->codecpar;
    if (par->width <= 0 || par->height <= 0 || par->width > AVI_MAX_SIDE || par->height > AVI_MAX_SIDE ||
        av_image_check_size(unsigned(par->width), unsigned(par->height), 0, nullptr) < 0) {
        char what[96];
        snprintf(what, sizeof(what), "frame size %d x %d not accepted", par->width, par->height);
        return __refuse(af, what);
    }
    // Every other stream is skipped by the demuxer.
    for (unsigned i = 0; i < s->fmt->nb_streams; i++)
        if (int(i) != s->stream) s->fmt->streams[i]->discard = AVDISCARD_ALL;

    s->cc = avcodec_alloc_context3(codec);
    if (!s->cc || avcodec_parameters_to_context(s->cc, par) < 0) return __refuse(af, "out of memory");
    s->cc->thread_count = 1;
    s->cc->max_pixels = int64_t(AVI_MAX_SIDE) * AVI_MAX_SIDE;
    s->cc->pkt_timebase = st->time_base;
    r = avcodec_open2(s->cc, codec, nullptr);
    if (r < 0) return __refuse(af, __av_error(r, err, sizeof(err)));

    s->pkt = av_packet_alloc();
    s->held = av_frame_alloc();
    s->pending = av_frame_alloc();
    s->work = av_frame_alloc();
    if (!s->pkt || !s->held || !s->pending || !s->work) return __refuse(af, "out of memory");

    s->time_base = st->time_base;
    if (s->time_base.num <= 0 || s->time_base.den <= 0) return __refuse(af, "no time base");
    s->start_pts = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    s->at_start = true;
    s->held_frameno = -1;
    s->last_pts = AV_NOPTS_VALUE;

    AVPixelFormat pf = AVPixelFormat(par->format);
    if (pf == AV_PIX_FMT_NONE) pf = s->cc->pix_fmt;
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(pf);
    af->bpp = desc && (desc->flags & AV_PIX_FMT_FLAG_ALPHA) ? 32 : 24;
    af->width = uint32_t(par->width);
    af->height = uint32_t(par->height);
    af->frame_duration = 1.0 / __frame_rate(st);
    af->length = __length(s->fmt, st);
    if (!(af->length > 0.0) || !std::isfinite(af->length)) return __refuse(af, "its length is unknown");
    double frames = std::ceil(af->length / af->frame_duration - 1e-3);
    if (frames > double(INT32_MAX)) return __refuse(af, "too many frames");
    af->frames = frames < 1.0 ? 1u : uint32_t(frames);
    return true;
}

avi_file *avi_open(const char *file)
{
    ASSERT(file != nullptr);
    static bool quiet = false;
    if (!quiet) {
        // Damaged streams are reported by the player itself, once per file.
        av_log_set_level(AV_LOG_FATAL);
        quiet = true;
    }
    avi_file *af = mem_new_zeroed<avi_file>();
    if (!af) return nullptr;
    af->filename = mem_strdup(file);
    af->state = mem_new_zeroed<avi_stream_state>();
    if (!af->filename || !af->state) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "avi_open(): \"%s\": out of memory", file);
        avi_close(af);
        return nullptr;
    }
    std::string native = file_native_path(file);
    if (!__open_stream(af, native)) return nullptr;
    do_log(LOG_DEBUG, LOG_TO_FILE, "avi_open(): \"%s\": %u x %u, %u bpp, %.3f s, %u frames of %.4f s", file, af->width,
           af->height, af->bpp, af->length, af->frames, af->frame_duration);
    return af;
}

// ---- decoding -------------------------------------------------------------------

// The stream time at which frame n is shown.
static int64_t __frame_pts(const avi_file *af, uint32_t n)
{
    const avi_stream_state *s = af->state;
    double t = (double(n) + 0.5) * af->frame_duration / av_q2d(s->time_base);
    if (t > double(INT64_MAX / 4)) t = double(INT64_MAX / 4);
    return s->start_pts + int64_t(t);
}

static bool __seek(avi_file *af, int64_t target)
{
    avi_stream_state *s = af->state;
    int r = av_seek_frame(s->fmt, s->stream, target, AVSEEK_FLAG_BACKWARD);
    // No key frame before the target (or no index): from the very start.
    if (r < 0) r = av_seek_frame(s->fmt, s->stream, INT64_MIN, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
    if (r < 0) r = av_seek_frame(s->fmt, -1, 0, AVSEEK_FLAG_BYTE);
    avcodec_flush_buffers(s->cc);
    av_frame_unref(s->held);
    av_frame_unref(s->pending);
    s->has_held = s->has_pending = false;
    s->draining = s->eof = false;
    s->at_start = true;
    s->last_pts = AV_NOPTS_VALUE;
    s->held_frameno = -1;
    af->seeks++;
    return r >= 0;
}

// A picture leaves the decoder: its time, or the one after the last when it has none.
static int64_t __picture_pts(avi_file *af, const AVFrame *f)
{
    avi_stream_state *s = af->state;
    int64_t pts = f->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) {
        int64_t step = int64_t(af->frame_duration / av_q2d(s->time_base));
        pts = s->last_pts == AV_NOPTS_VALUE ? s->start_pts : s->last_pts + (step > 0 ? step : 1);
    }
    s->last_pts = pts;
    return pts;
}

// Decodes on until the picture due at target is held and the one after it
// (if any) is pending. False when reading had to be abandoned.
static bool __decode_until(avi_file *af, int64_t target)
{
    avi_stream_state *s = af->state;
    uint32_t packets = 0;
    for (;;) {
        if (s->has_pending) {
            if (s->pending->pts > target) return true;
            av_frame_unref(s->held);
            av_frame_move_ref(s->held, s->pending);
            s->has_held = true;
            s->has_pending = false;
            continue;
        }
        if (s->eof) return true;
        if (__past_deadline(s)) return false;
        int r = avcodec_receive_frame(s->cc, s->work);
        if (r == 0) {
            s->work->pts = __picture_pts(af, s->work);
            s->at_start = false;
            af->decoded_pictures++;
            av_frame_move_ref(s->pending, s->work);
            s->has_pending = true;
            // The first picture after a seek is taken whatever its time.
            if (!s->has_held) {
                av_frame_move_ref(s->held, s->pending);
                s->has_held = true;
                s->has_pending = false;
            }
            continue;
        }
        if (r == AVERROR_EOF) {
            s->eof = true;
            continue;
        }
        if (r != AVERROR(EAGAIN)) {
            // A damaged stream the decoder cannot go on with: it ends here.
            s->eof = true;
            continue;
        }
        if (s->draining) {
            // EAGAIN while draining would be a decoder fault; end the stream.
            s->eof = true;
            continue;
        }
        if (++packets > AVI_MAX_PACKETS_PER_FRAME) return false;
        r = av_read_frame(s->fmt, s->pkt);
        if (r < 0) {
            // The end, or a read error (a truncated file): empty the decoder.
            s->draining = true;
            avcodec_send_packet(s->cc, nullptr);
            continue;
        }
        if (s->pkt->stream_index == s->stream) {
            // A packet the decoder refuses (damaged data) is skipped.
            avcodec_send_packet(s->cc, s->pkt);
        }
        av_packet_unref(s->pkt);
    }
}

// Converts a decoded picture into the caller's buffer at the file's size.
static bool __convert(avi_file *af, const AVFrame *f, uint8_t *buffer)
{
    avi_stream_state *s = af->state;
    if (f->width <= 0 || f->height <= 0 || f->width > AVI_MAX_SIDE || f->height > AVI_MAX_SIDE || f->format < 0)
        return false;
    AVPixelFormat out = af->bpp == 32 ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24;
    s->sws = sws_getCachedContext(s->sws, f->width, f->height, AVPixelFormat(f->format), int(af->width),
                                  int(af->height), out, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!s->sws) return false;
    size_t row = size_t(af->width) * (af->bpp / 8);
    if (!s->rgb) {
        s->rgb_stride = int(FFALIGN(row, AVI_CONVERT_ALIGN) + AVI_CONVERT_ALIGN);
        s->rgb = static_cast<uint8_t *>(av_malloc(size_t(s->rgb_stride) * (af->height + 1)));
        if (!s->rgb) return false;
    }
    uint8_t *dst[4] = {s->rgb, nullptr, nullptr, nullptr};
    int stride[4] = {s->rgb_stride, 0, 0, 0};
    if (sws_scale(s->sws, f->data, f->linesize, 0, f->height, dst, stride) != int(af->height)) return false;
    for (uint32_t y = 0; y < af->height; y++) memcpy(buffer + y * row, s->rgb + size_t(y) * size_t(s->rgb_stride), row);
    return true;
}

// True when decoding on from the current position reaches frame n no slower
// than a seek would: n is the next frame, or no key frame lies between the
// current position and n.
static bool __forward_is_fine(avi_file *af, uint32_t n, int64_t target)
{
    avi_stream_state *s = af->state;
    if (s->eof && !s->has_pending) return true; // nothing left to read: the last picture stays
    if (s->held_frameno >= 0 && int64_t(n) == s->held_frameno + 1) return true;
    int64_t position = s->has_held ? s->held->pts : s->start_pts;
    AVStream *st = s->fmt->streams[s->stream];
    int idx = av_index_search_timestamp(st, target, AVSEEK_FLAG_BACKWARD);
    if (idx < 0) return s->at_start;
    const AVIndexEntry *e = avformat_index_get_entry(st, idx);
    return e && e->timestamp <= position;
}

bool avi_get_frame(avi_file *af, uint32_t frameno, uint8_t *buffer)
{
    ASSERT(af != nullptr && buffer != nullptr);
    avi_stream_state *s = af->state;
    __set_deadline(s);
    int64_t target = __frame_pts(af, frameno);
    bool ahead = s->at_start || (s->has_held && int64_t(frameno) > s->held_frameno);
    if (s->has_held && int64_t(frameno) == s->held_frameno) {
        // Already decoded.
    } else if (!(ahead && __forward_is_fine(af, frameno, target))) {
        __seek(af, target);
    }
    bool ok = __decode_until(af, target);
    if (!ok) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "avi_get_frame(): \"%s\": frame %u took too long",
               af->filename, frameno);
        // The stream position is unknown now: the next frame starts over from a key frame.
        __seek(af, target);
        return false;
    }
    if (!s->has_held) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "avi_get_frame(): \"%s\": no picture for frame %u",
               af->filename, frameno);
        return false;
    }
    s->held_frameno = frameno;
    if (!__convert(af, s->held, buffer)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "avi_get_frame(): \"%s\": frame %u cannot be converted",
               af->filename, frameno);
        return false;
    }
    return true;
}
