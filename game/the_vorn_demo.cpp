#include "the_vorn_demo.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "corelib/files.h"
#include "corelib/log.h"
#include "corelib/mem.h"

// The fixed part before the hi-score bytes: magic, version, seed, start
// state, start level, hi-score size.
#define __HEADER_SIZE 28u
#define __EVENT_SIZE 9u
#define __TRAILER_SIZE 16u
#define __EVENT_TYPE_LAST 5

uint64_t vorn_hash_bytes(uint64_t h, const void *bytes, size_t size)
{
    const uint8_t *p = static_cast<const uint8_t *>(bytes);
    for (size_t i = 0; i < size; i++) {
        h ^= p[i];
        h *= 0x100000001b3ull;
    }
    return h;
}

vorn_demo *vorn_demo_create()
{
    vorn_demo *d = new (std::nothrow) vorn_demo();
    if (d) d->start_level = 1;
    return d;
}

void vorn_demo_free(vorn_demo *d) { delete d; }

void vorn_demo_add_event(vorn_demo *d, int type, int a, int b)
{
    d->events.push_back({uint8_t(type), int32_t(a), int32_t(b)});
}

bool vorn_demo_add_frame(vorn_demo *d, float dt)
{
    uint32_t begin = d->frames.empty() ? 0 : d->frames.back().events_end;
    if (d->frames.size() >= VORN_DEMO_MAX_FRAMES) return false;
    // A flood of events in one frame is cut to what the format holds.
    if (d->events.size() - begin > VORN_DEMO_MAX_FRAME_EVENTS) d->events.resize(begin + VORN_DEMO_MAX_FRAME_EVENTS);
    d->frames.push_back({dt, uint32_t(d->events.size())});
    return true;
}

void vorn_demo_frame_events(const vorn_demo *d, uint32_t i, uint32_t *first, uint32_t *end)
{
    *first = i == 0 ? 0 : d->frames[i - 1].events_end;
    *end = d->frames[i].events_end;
}

double vorn_demo_duration(const vorn_demo *d)
{
    double s = 0.0;
    for (const vorn_demo_frame &f : d->frames) s += f.dt;
    return s;
}

// ---- little-endian bytes ----

static void __put32(std::vector<uint8_t> *out, uint32_t v)
{
    for (int i = 0; i < 4; i++) out->push_back(uint8_t(v >> (8 * i)));
}

static void __put64(std::vector<uint8_t> *out, uint64_t v)
{
    __put32(out, uint32_t(v));
    __put32(out, uint32_t(v >> 32));
}

static uint32_t __get32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

static uint64_t __get64(const uint8_t *p) { return uint64_t(__get32(p)) | uint64_t(__get32(p + 4)) << 32; }

static uint32_t __float_bits(float f)
{
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return v;
}

static float __bits_float(uint32_t v)
{
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

std::vector<uint8_t> vorn_demo_encode(const vorn_demo *d)
{
    const uint8_t *magic = reinterpret_cast<const uint8_t *>(VORN_DEMO_MAGIC);
    std::vector<uint8_t> out(magic, magic + 8);
    out.reserve(64 + d->hi_scores.size() + d->frames.size() * 8 + d->events.size() * __EVENT_SIZE);
    __put32(&out, VORN_DEMO_VERSION);
    __put32(&out, d->seed);
    __put32(&out, uint32_t(d->start_state));
    __put32(&out, uint32_t(d->start_level));
    size_t hs = std::min<size_t>(d->hi_scores.size(), VORN_DEMO_MAX_HI_SCORE_BYTES);
    __put32(&out, uint32_t(hs));
    out.insert(out.end(), d->hi_scores.begin(), d->hi_scores.begin() + long(hs));
    __put32(&out, uint32_t(d->frames.size()));
    for (uint32_t i = 0; i < d->frames.size(); i++) {
        uint32_t first, end;
        vorn_demo_frame_events(d, i, &first, &end);
        __put32(&out, __float_bits(d->frames[i].dt));
        __put32(&out, end - first);
        for (uint32_t e = first; e < end; e++) {
            out.push_back(d->events[e].type);
            __put32(&out, uint32_t(d->events[e].a));
            __put32(&out, uint32_t(d->events[e].b));
        }
    }
    __put64(&out, d->state_hash);
    __put64(&out, vorn_hash_bytes(VORN_HASH_SEED, out.data(), out.size()));
    return out;
}

static bool __refuse(const char **why, const char *reason)
{
    *why = reason;
    return false;
}

bool vorn_demo_decode(vorn_demo *d, const uint8_t *bytes, size_t size, const char **why)
{
    if (size < 8 || std::memcmp(bytes, VORN_DEMO_MAGIC, 8) != 0) return __refuse(why, "not a demo");
    if (size < __HEADER_SIZE + 4 + __TRAILER_SIZE) return __refuse(why, "cut short");
    if (__get32(bytes + 8) != VORN_DEMO_VERSION) return __refuse(why, "a demo version this game does not play");
    if (size > VORN_DEMO_MAX_FILE_SIZE) return __refuse(why, "too large");
    size_t body = size - 8;
    if (__get64(bytes + body) != vorn_hash_bytes(VORN_HASH_SEED, bytes, body))
        return __refuse(why, "damaged (checksum mismatch)");

    const uint8_t *p = bytes + 12, *end = bytes + size - __TRAILER_SIZE;
    d->seed = __get32(p);
    d->start_state = int32_t(__get32(p + 4));
    d->start_level = int32_t(__get32(p + 8));
    uint32_t hs = __get32(p + 12);
    p += 16;
    if (hs > VORN_DEMO_MAX_HI_SCORE_BYTES || size_t(end - p) < size_t(hs) + 4)
        return __refuse(why, "bad hi-score block");
    d->hi_scores.assign(p, p + hs);
    p += hs;
    uint32_t frames = __get32(p);
    p += 4;
    // Every frame takes at least 8 bytes: the count cannot promise more.
    if (frames > VORN_DEMO_MAX_FRAMES || frames > size_t(end - p) / 8) return __refuse(why, "bad frame count");
    d->frames.clear();
    d->events.clear();
    d->frames.reserve(frames);
    for (uint32_t i = 0; i < frames; i++) {
        if (end - p < 8) return __refuse(why, "cut short");
        float dt = __bits_float(__get32(p));
        uint32_t n = __get32(p + 4);
        p += 8;
        if (!std::isfinite(dt) || dt < 0.0f || dt > VORN_DEMO_MAX_STEP) return __refuse(why, "bad time step");
        if (n > VORN_DEMO_MAX_FRAME_EVENTS || size_t(end - p) / __EVENT_SIZE < n)
            return __refuse(why, "bad event count");
        for (uint32_t e = 0; e < n; e++, p += __EVENT_SIZE) {
            vorn_demo_event ev = {p[0], int32_t(__get32(p + 1)), int32_t(__get32(p + 5))};
            if (ev.type < 1 || ev.type > __EVENT_TYPE_LAST) return __refuse(why, "bad event");
            d->events.push_back(ev);
        }
        d->frames.push_back({dt, uint32_t(d->events.size())});
    }
    if (p != end) return __refuse(why, "trailing bytes");
    d->state_hash = __get64(end);
    return true;
}

bool vorn_demo_write(const vorn_demo *d, const char *path)
{
    std::vector<uint8_t> bytes = vorn_demo_encode(d);
    return file_write_atomic(path, bytes.data(), bytes.size(), 0644);
}

vorn_demo *vorn_demo_read(const char *path)
{
    void *block = nullptr;
    size_t size = 0;
    file_read_failure failure;
    if (!file_read_whole(path, VORN_DEMO_MAX_FILE_SIZE, &block, &size, &failure)) {
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, "demo \"%s\" refused: %s", path, failure.reason);
        return nullptr;
    }
    vorn_demo *d = vorn_demo_create();
    const char *why = "no memory";
    if (!d || !vorn_demo_decode(d, static_cast<const uint8_t *>(block), size, &why)) {
        do_log(LOG_WARNING, LOG_TO_FILE | LOG_TO_DEBUGGER, "demo \"%s\" refused: %s", path, why);
        vorn_demo_free(d);
        d = nullptr;
    }
    mem_free(block);
    return d;
}
