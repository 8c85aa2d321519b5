#include "particles/sps_file.h"

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <string>

#include "corelib/drand.h"
#include "corelib/files.h"
#include "corelib/json_writer.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "particles/simple_particles.h"
#include "scene/scene.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the particle files are read and written in place");
static_assert(sizeof(spsquox2_data) == SPSQUOX2_DATA_SIZE);
static_assert(offsetof(spsquox2_data, kind) == 32);
static_assert(offsetof(spsquox2_data, follow) == 44);
static_assert(offsetof(spsquox2_data, life_min) == 48);
static_assert(offsetof(spsquox2_data, random_angle) == 56);
static_assert(offsetof(spsquox2_data, align) == 57);
static_assert(offsetof(spsquox2_data, size_spread) == 60);
static_assert(offsetof(spsquox2_data, velocity_spread) == 68);
static_assert(offsetof(spsquox2_data, spin_spread) == 80);
static_assert(offsetof(spsquox2_data, burst) == 84);
static_assert(offsetof(spsquox2_data, time_scale) == 88);
static_assert(offsetof(spsquox2_data, blend) == 92);
static_assert(sizeof(spsquox2_keyframe) == SPSQUOX2_KEYFRAME_SIZE);
static_assert(offsetof(spsquox2_keyframe, velocity) == 8);
static_assert(offsetof(spsquox2_keyframe, size) == 20);
static_assert(offsetof(spsquox2_keyframe, spin) == 28);
static_assert(offsetof(spsquox2_keyframe, color) == 32);

static const char SPS_MAGIC[4] = {'S', 'P', 'S', 0};
static const char SPC_MAGIC[4] = {'S', 'P', 'C', 0};
static const float SPS_DEG_TO_RAD = 0.017453292519943295f;

// ---------------------------------------------------------------- records

spsquox2 *spsquox2_init()
{
    spsquox2 *d = mem_new_zeroed<spsquox2>();
    if (!d) return nullptr;
    d->keyframes = array_new<spsquox2_keyframe>();
    ASSERT(d->keyframes); // "ret->keyframes"
    d->keyframes->grow_elements = 16;
    return d;
}

static void __sps_clear(spsquox2 *d)
{
    mem_free(d->name);
    mem_free(d->texture);
    mem_free(d->object);
    d->name = d->texture = d->object = nullptr;
    d->has_data = false;
    std::memset(&d->data, 0, sizeof(d->data));
    d->keyframes->cur_elements = 0;
}

void spsquox2_deinit(spsquox2 *d)
{
    if (!d) return;
    __sps_clear(d);
    array_free(d->keyframes);
    mem_free(d);
}

static bool __replace(char **field, const char *text, size_t n)
{
    char *c = mem_strndup(text, n);
    if (!c) return false;
    mem_free(*field);
    *field = c;
    return true;
}

// The file name and extension of a path with either separator or a drive.
static const char *__file_part(const char *path)
{
    const char *p = path;
    for (const char *s = path; *s; s++)
        if (*s == '\\' || *s == '/' || *s == ':') p = s + 1;
    return p;
}

bool spsquox2_copy_name(spsquox2 *d, const char *name) { return __replace(&d->name, name, strlen(name)); }
bool spsquox2_copy_texture(spsquox2 *d, const char *path)
{
    const char *f = __file_part(path);
    return __replace(&d->texture, f, strlen(f));
}
bool spsquox2_copy_object(spsquox2 *d, const char *name) { return __replace(&d->object, name, strlen(name)); }
void spsquox2_set_data(spsquox2 *d, const spsquox2_data *data)
{
    d->data = *data;
    d->has_data = true;
}
bool spsquox2_add_keyframe(spsquox2 *d, const spsquox2_keyframe *k) { return d->keyframes->add(k); }

static bool __finite_all(const float *f, int n)
{
    for (int i = 0; i < n; i++)
        if (!std::isfinite(f[i])) return false;
    return true;
}

static bool __within(const float *f, int n, float bound)
{
    for (int i = 0; i < n; i++)
        if (!(std::fabs(f[i]) <= bound)) return false;
    return true;
}

bool spsquox2_check(const spsquox2 *d, const char **why)
{
    const spsquox2_data &p = d->data;
    const char *w = nullptr;
    if (!d->has_data)
        w = "no \"#DATA\" chunk";
    else if (!(p.population >= 1.0f))
        w = "population below 1";
    else if (p.kind != 0 && p.kind != 1)
        w = "unknown kind (0 point, 1 coverage)";
    else if (p.kind == 1 && p.coverage != 0 && p.coverage != 1)
        w = "unknown coverage mode (0 from surface, 1 within boundaries)";
    else if (!__finite_all(&p.duration, 8) || !__finite_all(&p.life_min, 2) || !__finite_all(&p.size_spread.x, 2) ||
             !__finite_all(&p.velocity_spread.x, 6))
        w = "a parameter is not a finite number";
    else if (!__within(&p.position.x, 6, SPSQUOX2_MAX_MAGNITUDE) ||
             !__within(&p.size_spread.x, 2, SPSQUOX2_MAX_MAGNITUDE) ||
             !__within(&p.velocity_spread.x, 4, SPSQUOX2_MAX_MAGNITUDE))
        w = "a position, velocity, size or spin parameter beyond 1e6";
    else if (p.duration < 0.0f)
        w = "negative duration";
    else if (p.life_min < 0.0f || p.life_max < p.life_min)
        w = "life span not 0 <= minimum <= maximum";
    else if (p.life_max > SPSQUOX2_MAX_LIFE)
        w = "life span above 1000 seconds";
    else if (!(p.burst > 0.0f))
        w = "burst factor not above 0";
    else if (p.burst < SPSQUOX2_MIN_BURST)
        w = "burst factor below 0.001 particles per second";
    else if (p.burst > SPSQUOX2_MAX_BURST)
        w = "burst factor above 10000 particles per second";
    else if (p.time_scale < 0.0f)
        w = "negative time scale";
    else if (p.time_scale > SPSQUOX2_MAX_TIME_SCALE)
        w = "time scale above 100";
    else if (d->keyframes->get_size() < 2)
        w = "fewer than two keyframes";
    else if (d->keyframes->get_size() > SPSQUOX2_MAX_KEYFRAMES)
        w = "too many keyframes";
    if (!w) {
        float last = -INFINITY;
        for (const spsquox2_keyframe &k : *d->keyframes) {
            if (!__finite_all(&k.time, 11)) {
                w = "a keyframe value is not a finite number";
                break;
            }
            if (k.time < last) {
                w = "keyframe times do not rise";
                break;
            }
            if (!__within(&k.velocity.x, 6, SPSQUOX2_MAX_MAGNITUDE)) {
                w = "a keyframe velocity, size or spin beyond 1e6";
                break;
            }
            last = k.time;
        }
    }
    if (why) *why = w;
    return w == nullptr;
}

spcquox2 *spcquox2_init()
{
    spcquox2 *c = mem_new_zeroed<spcquox2>();
    if (!c) return nullptr;
    c->elements = array_new<spcquox2_element>();
    if (!c->elements) {
        mem_free(c);
        return nullptr;
    }
    c->elements->grow_elements = 8;
    return c;
}

static void __spc_clear(spcquox2 *c)
{
    for (spcquox2_element &e : *c->elements) mem_free(e.system_filename);
    c->elements->cur_elements = 0;
    mem_free(c->name);
    mem_free(c->path);
    c->name = c->path = nullptr;
}

void spcquox2_deinit(spcquox2 *c)
{
    if (!c) return;
    __spc_clear(c);
    array_free(c->elements);
    mem_free(c);
}

bool spcquox2_copy_name(spcquox2 *c, const char *name) { return __replace(&c->name, name, strlen(name)); }

static bool __spc_add(spcquox2 *c, const char *text, size_t n)
{
    spcquox2_element e{mem_strndup(text, n), nullptr};
    if (!e.system_filename) return false;
    if (!c->elements->add(e)) {
        mem_free(e.system_filename);
        return false;
    }
    return true;
}

bool spcquox2_add_system(spcquox2 *c, const char *system_filename)
{
    return __spc_add(c, system_filename, strlen(system_filename));
}
uint32_t spcquox2_get_systems_no(const spcquox2 *c) { return c->elements->get_size(); }

// ---------------------------------------------------------------- reading

namespace {
struct sps_file_msgs {
    const char *open, *length, *header, *magic, *chunk;
};
} // namespace

static const sps_file_msgs SPS_MSGS = {
    "quox2_open_file(): _open(%s) FAILED: %s!",
    "quox2_open_file(): _filelength(%s) FAILED: %s!",
    "spsquox2_open_file(): _read(%s) FAILED: %s!",
    "spsquox2_open_file(): QUOX MAGIC BAD, possibly not a SPSQUOX2 file!",
    "spsquox2_load_all_to_scene(): _read(%s) FAILED: %s!",
};
static const sps_file_msgs SPC_MSGS = {
    "__spc_open_file(): _open(%s) FAILED: %s!",
    "__spc_open_file(): _filelength(%s) FAILED: %s!",
    "__spc_open_file(): _read(%s) FAILED: %s!",
    "__spc_open_file(): QUOX MAGIC BAD, possibly not a SPCQUOX2 file!",
    "spcquox2_load_composer_from_file(): _read(%s) FAILED: %s!",
};

#define SPS_LOG(...) do_log(LOG_WARNING, LOG_TO_MSGBOX | LOG_TO_DEBUGGER, __VA_ARGS__)

// Reads the whole file and checks its header; the caller frees *bytes.
static bool __open_file(const char *path, const char magic[4], const sps_file_msgs &m, uint8_t **bytes, size_t *size)
{
    void *block;
    size_t length;
    file_read_failure why;
    if (!file_read_whole(path, SPSQUOX2_MAX_FILE_SIZE, &block, &length, &why)) {
        *bytes = nullptr;
        *size = 0;
        if (why.step == FILE_READ_OPEN)
            SPS_LOG(m.open, log_quote(path).text, why.reason);
        else if (why.step == FILE_READ_READ)
            SPS_LOG(m.header, log_quote(path).text, why.reason);
        else
            SPS_LOG(m.length, log_quote(path).text, why.step == FILE_READ_MEMORY ? "out of memory" : why.reason);
        return false;
    }
    uint8_t *data = static_cast<uint8_t *>(block);
    if (length < SPSQUOX2_HEADER_SIZE) {
        SPS_LOG(m.header, log_quote(path).text, "file shorter than its 12-byte header");
        mem_free(data);
        return false;
    }
    if (std::memcmp(data, magic, 4) != 0) {
        SPS_LOG("%s", m.magic);
        SPS_LOG("%s: refused (bad magic)", log_quote(path).text);
        mem_free(data);
        return false;
    }
    *bytes = data;
    *size = length;
    return true;
}

// Walks the chunks after the header; calls each(id, payload, size) and stops
// at the first false. A header or payload that runs past the end is refused.
template <typename F>
static bool __walk_chunks(const char *path, const sps_file_msgs &m, const uint8_t *bytes, size_t size, F each)
{
    size_t at = SPSQUOX2_HEADER_SIZE;
    while (at < size) {
        if (size - at < SPSQUOX2_CHUNK_HEADER_SIZE) {
            char why[96];
            snprintf(why, sizeof(why), "chunk header at offset %zu cut short (%zu of 12 bytes)", at, size - at);
            SPS_LOG(m.chunk, log_quote(path).text, why);
            return false;
        }
        char id[6];
        std::memcpy(id, bytes + at, 5);
        id[5] = 0;
        uint32_t n;
        std::memcpy(&n, bytes + at + 8, 4);
        at += SPSQUOX2_CHUNK_HEADER_SIZE;
        if (n > size - at) {
            char why[128];
            snprintf(why, sizeof(why), "chunk \"%.5s\" at offset %zu claims %u bytes, %zu left", id,
                     at - SPSQUOX2_CHUNK_HEADER_SIZE, n, size - at);
            SPS_LOG(m.chunk, log_quote(path).text, why);
            return false;
        }
        if (!each(id, bytes + at, n)) return false;
        at += n;
    }
    return true;
}

// The text of a payload: up to its first zero byte or its end.
static size_t __text_len(const uint8_t *p, uint32_t n) { return strnlen(reinterpret_cast<const char *>(p), n); }

static void __refuse(const char *func, const char *path, const char *why)
{
    SPS_LOG("%s(): %s refused: %s!", func, log_quote(path).text, why);
}

bool spsquox2_load_system_from_file(const char *path, spsquox2 *d)
{
    ASSERT(d);
    __sps_clear(d);
    uint8_t *bytes;
    size_t size;
    if (!__open_file(path, SPS_MAGIC, SPS_MSGS, &bytes, &size)) return false;
    const char *why = nullptr;
    bool ok = __walk_chunks(path, SPS_MSGS, bytes, size, [&](const char *id, const uint8_t *p, uint32_t n) {
        const char *text = reinterpret_cast<const char *>(p);
        if (!std::memcmp(id, "#NAME", 5)) {
            if (!__replace(&d->name, text, __text_len(p, n))) BUG();
        } else if (!std::memcmp(id, "#TEXT", 5)) {
            std::string t(text, __text_len(p, n));
            const char *f = __file_part(t.c_str());
            if (!__replace(&d->texture, f, strlen(f))) BUG();
        } else if (!std::memcmp(id, "#OBJE", 5)) {
            if (!__replace(&d->object, text, __text_len(p, n))) BUG();
        } else if (!std::memcmp(id, "#DATA", 5)) {
            if (n > SPSQUOX2_DATA_SIZE) {
                why = "\"#DATA\" chunk larger than 184 bytes";
                return false;
            }
            if (n < SPSQUOX2_DATA_USED) {
                why = "\"#DATA\" chunk shorter than its 100 bytes of parameters";
                return false;
            }
            std::memset(&d->data, 0, sizeof(d->data));
            std::memcpy(&d->data, p, n);
            d->has_data = true;
        } else if (!std::memcmp(id, "#KEYF", 5)) {
            if (n != SPSQUOX2_KEYFRAME_SIZE) {
                why = "\"#KEYF\" chunk not 48 bytes";
                return false;
            }
            if (d->keyframes->get_size() >= SPSQUOX2_MAX_KEYFRAMES) {
                why = "too many keyframes";
                return false;
            }
            spsquox2_keyframe k;
            std::memcpy(&k, p, sizeof(k));
            if (!d->keyframes->add(k)) BUG();
        }
        return true;
    });
    mem_free(bytes);
    if (ok && !spsquox2_check(d, &why)) ok = false;
    if (!ok) {
        if (why) __refuse("spsquox2_load_system_from_file", path, why);
        __sps_clear(d);
    }
    return ok;
}

bool spcquox2_load_composer_from_file(const char *path, spcquox2 *c)
{
    ASSERT(c);
    __spc_clear(c);
    uint8_t *bytes;
    size_t size;
    if (!__open_file(path, SPC_MAGIC, SPC_MSGS, &bytes, &size)) return false;
    const char *sep = __file_part(path);
    c->path = mem_strndup(path, size_t(sep - path));
    ASSERT(c->path); // "composer->path"
    const char *why = nullptr;
    bool ok = __walk_chunks(path, SPC_MSGS, bytes, size, [&](const char *id, const uint8_t *p, uint32_t n) {
        const char *text = reinterpret_cast<const char *>(p);
        if (!std::memcmp(id, "#NAME", 5)) {
            if (!__replace(&c->name, text, __text_len(p, n))) BUG();
        } else if (!std::memcmp(id, "#SYST", 5)) {
            size_t len = __text_len(p, n);
            if (len == 0) {
                why = "empty \"#SYST\" path";
                return false;
            }
            if (c->elements->get_size() >= SPCQUOX2_MAX_SYSTEMS) {
                why = "too many \"#SYST\" chunks";
                return false;
            }
            if (!__spc_add(c, text, len)) BUG();
        }
        return true;
    });
    mem_free(bytes);
    if (ok && c->elements->get_size() == 0) {
        why = "no \"#SYST\" chunk";
        ok = false;
    }
    if (!ok) {
        if (why) __refuse("spcquox2_load_composer_from_file", path, why);
        __spc_clear(c);
    }
    return ok;
}

// ---------------------------------------------------------------- writing

static void __put_chunk(std::string &out, const char *id, const void *payload, uint32_t n)
{
    char h[SPSQUOX2_CHUNK_HEADER_SIZE] = {};
    std::memcpy(h, id, 5);
    std::memcpy(h + 8, &n, 4);
    out.append(h, sizeof(h));
    out.append(static_cast<const char *>(payload), n);
}

static void __put_text(std::string &out, const char *id, const char *text)
{
    __put_chunk(out, id, text, uint32_t(strlen(text) + 1));
}

static bool __write_whole(const char *path, const std::string &bytes, const char *func)
{
    std::string native = file_native_path(path);
    FILE *f = fopen(native.c_str(), "wb");
    if (!f) {
        SPS_LOG("%s(): _open(%s) FAILED: %s!", func, log_quote(path).text, strerror(errno));
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int e = errno;
    if (fclose(f) != 0) ok = false;
    if (!ok) {
        SPS_LOG("%s(): _write(%s) FAILED: %s!", func, log_quote(path).text, strerror(e));
        remove(native.c_str());
    }
    return ok;
}

bool spsquox2_save_system_to_file(const char *path, const spsquox2 *d)
{
    const char *why;
    if (!spsquox2_check(d, &why)) {
        __refuse("spsquox2_save_system_to_file", path, why);
        return false;
    }
    std::string out(SPS_MAGIC, 4);
    out.append(8, '\0');
    __put_text(out, "#NAME", d->name ? d->name : "");
    if (d->texture) __put_text(out, "#TEXT", d->texture);
    if (d->object) __put_text(out, "#OBJE", d->object);
    __put_chunk(out, "#DATA", &d->data, SPSQUOX2_DATA_SIZE);
    for (const spsquox2_keyframe &k : *d->keyframes) __put_chunk(out, "#KEYF", &k, SPSQUOX2_KEYFRAME_SIZE);
    return __write_whole(path, out, "spsquox2_save_system_to_file");
}

bool spcquox2_save_composer_to_file(const char *path, const spcquox2 *c)
{
    if (c->elements->get_size() == 0 || c->elements->get_size() > SPCQUOX2_MAX_SYSTEMS) {
        __refuse("spcquox2_save_composer_to_file", path, "a composer needs 1 to 64 systems");
        return false;
    }
    std::string out(SPC_MAGIC, 4);
    out.append(8, '\0');
    __put_text(out, "#NAME", c->name ? c->name : "");
    for (const spcquox2_element &e : *c->elements) __put_text(out, "#SYST", e.system_filename);
    return __write_whole(path, out, "spcquox2_save_composer_to_file");
}

// ---------------------------------------------------------------- JSON

// A particle system file as one JSON object.
static void __json_system(json_writer *j, const spsquox2 *d)
{
    const spsquox2_data &p = d->data;
    json_begin_object(j);
    json_field_string(j, "name", d->name ? d->name : "");
    json_field_string(j, "texture", d->texture ? d->texture : "");
    json_field_string(j, "object", d->object ? d->object : "");
    json_key(j, "data");
    json_begin_object(j);
    json_field_number(j, "duration", p.duration);
    json_field_number(j, "population", p.population);
    json_field_numbers(j, "position", &p.position.x, 3);
    json_field_numbers(j, "velocity", &p.velocity.x, 3);
    json_field_integer(j, "kind", p.kind);
    json_field_integer(j, "bound", p.unbound);
    json_field_integer(j, "coverage", p.coverage);
    json_field_integer(j, "follow", p.follow);
    json_field_numbers(j, "life", &p.life_min, 2);
    json_field_integer(j, "random_angle", p.random_angle);
    json_field_integer(j, "align", p.align);
    json_field_numbers(j, "size_spread", &p.size_spread.x, 2);
    json_field_numbers(j, "velocity_spread", &p.velocity_spread.x, 3);
    json_field_number(j, "spin_spread", p.spin_spread);
    json_field_number(j, "burst", p.burst);
    json_field_number(j, "time_scale", p.time_scale);
    json_key(j, "blend");
    json_begin_array(j);
    json_integer(j, p.blend[0]);
    json_integer(j, p.blend[1]);
    json_end_array(j);
    json_end_object(j);
    json_key(j, "keyframes");
    json_begin_array(j);
    for (const spsquox2_keyframe &k : *d->keyframes) {
        const float v[11] = {k.time, k.velocity.x, k.velocity.y, k.velocity.z, k.size.x,  k.size.y,
                             k.spin, k.color[0],   k.color[1],   k.color[2],   k.color[3]};
        json_numbers(j, v, 11);
    }
    json_end_array(j);
    json_end_object(j);
}

bool sps_file_dump_json(const char *path, FILE *out)
{
    char magic[4] = {};
    {
        FILE *f = fopen(file_native_path(path).c_str(), "rb");
        if (!f) {
            SPS_LOG("sps_file_dump_json(): _open(%s) FAILED: %s!", log_quote(path).text, strerror(errno));
            return false;
        }
        size_t got = fread(magic, 1, 4, f);
        fclose(f);
        if (got != 4) {
            SPS_LOG("sps_file_dump_json(): %s is not a particle file (too short)", log_quote(path).text);
            return false;
        }
    }
    json_writer j;
    bool ok;
    if (!std::memcmp(magic, SPC_MAGIC, 4)) {
        spcquox2 *c = spcquox2_init();
        if (!c) return false;
        ok = spcquox2_load_composer_from_file(path, c);
        if (ok) {
            json_begin_object(&j);
            json_field_string(&j, "name", c->name ? c->name : "");
            json_key(&j, "systems");
            json_begin_array(&j);
            for (const spcquox2_element &e : *c->elements) json_string(&j, e.system_filename);
            json_end_array(&j);
            json_end_object(&j);
        }
        spcquox2_deinit(c);
    } else {
        spsquox2 *d = spsquox2_init();
        if (!d) return false;
        ok = spsquox2_load_system_from_file(path, d); // the magic check names the file when it is neither
        if (ok) __json_system(&j, d);
        spsquox2_deinit(d);
    }
    if (ok) {
        j.out += '\n';
        fputs(j.out.c_str(), out);
    }
    return ok;
}

// ---------------------------------------------------------------- compiling

static uint64_t __clock_ms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

static uint8_t __color_byte(float c)
{
    float v = c * 255.0f;
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return uint8_t(v);
}

sps *spsquox2_compile_system(const spsquox2 *sc2, scene *sc, sps_manager *mgr)
{
    ASSERT(sc);
    ASSERT(sc2);
    ASSERT(sc2->data.population >= 1);
    const char *why;
    if (!spsquox2_check(sc2, &why)) {
        SPS_LOG("spsquox2_compile_system(): \"%s\" cannot be compiled: %s!", log_quote(sc2->name ? sc2->name : "").text,
                why);
        return nullptr;
    }
    const spsquox2_data &p = sc2->data;

    // A name of its own: the millisecond clock over a product of five random digits.
    static const uint32_t digits[10] = {1, 1, 9, 4, 7, 3, 8, 2, 6, 5};
    uint64_t product = 1;
    for (int i = 0; i < 5; i++) {
        double r = drand_fx_range(0, 9);
        int k = r > 0.0 ? int(r) : 0;
        product *= digits[k > 9 ? 9 : k];
    }
    char name[300];
    snprintf(name, sizeof(name), "%.250s_%d", sc2->name ? sc2->name : "", int((__clock_ms() / product) & 0x7fffffff));

    sps *sys = sps_init(name, sc, SPSQUOX2_POPULATION);
    if (!sys) return nullptr;
    if (!sps_create_oi(sys) || (sc2->texture && !sps_set_texture(sys, sc2->texture))) {
        sps_deinit(sys);
        return nullptr;
    }
    sps_set_burst_factor(sys, p.burst);
    sps_set_system_velocity(sys, p.velocity);
    sps_set_position(sys, p.position);
    sps_set_time_scale(sys, p.time_scale);
    sps_set_duration(sys, p.duration);
    sps_set_particle_life_span(sys, p.life_min, p.life_max);
    sps_set_velocity_spread(sys, p.velocity_spread);
    sps_set_size_spread(sys, p.size_spread);
    if (p.kind == 0)
        sps_set_type_point(sys);
    else
        sps_set_type_coverage(sys);

    if (p.unbound == 0 && sc2->object) {
        object_instance *oi = scene_get_oi_by_name(sc, sc2->object);
        if (oi) {
            sps_link_to_oi(sys, oi);
            if (p.follow) sps_set_particles_at_origin(sys, true);
            if (p.kind == 1) {
                if (p.coverage == 0)
                    sps_set_coverage_from_surface(sys);
                else
                    sps_set_coverage_within_boundaries(sys);
            }
        } else {
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
                   "spsquox2_compile_system(): \"%s\": instance \"%s\" not in the scene, the system stays unbound",
                   name, log_quote(sc2->object).text);
        }
    }

    sps_set_alpha_blending(sys);
    sps_set_display_priority(sys, SPSQUOX2_DISPLAY_PRIORITY);
    if (p.blend[0] || p.blend[1]) sps_set_blend_factors(sys, p.blend[0], p.blend[1]);

    bool ok = true;
    sps_enable_velocity_keyframes(sys);
    sps_enable_rotation_keyframes(sys);
    sps_enable_size_keyframes(sys);
    sps_enable_color_keyframes(sys);
    ok = sps_has_velocity_keyframes(sys) && sps_has_rotation_keyframes(sys) && sps_has_size_keyframes(sys) &&
         sps_has_color_keyframes(sys);
    for (const spsquox2_keyframe &k : *sc2->keyframes) {
        if (!ok) break;
        ok = sps_add_velocity_keyframe(sys, k.velocity, k.time) &&
             sps_add_rotation_keyframe(sys, k.spin * SPS_DEG_TO_RAD, k.time);
    }
    sps_set_spin_spread(sys, p.spin_spread * SPS_DEG_TO_RAD);
    sps_set_random_start_angle(sys, p.random_angle != 0);
    sps_set_align(sys, p.align != 0);
    for (const spsquox2_keyframe &k : *sc2->keyframes) {
        if (!ok) break;
        ok = sps_add_size_keyframe(sys, k.size, k.time);
    }
    for (const spsquox2_keyframe &k : *sc2->keyframes) {
        if (!ok) break;
        ok = sps_add_color_keyframe(sys, __color_byte(k.color[0]), __color_byte(k.color[1]), __color_byte(k.color[2]),
                                    __color_byte(k.color[3]), k.time);
    }
    if (!ok) {
        sps_deinit(sys);
        return nullptr;
    }
    sps_manager_add(mgr, sys);
    return sys;
}

bool spcquox2_compile(spcquox2 *composer, scene *sc, sps_manager *mgr)
{
    ASSERT(composer);
    ASSERT(sc);
    ASSERT(mgr);
    composer->mgr = mgr;
    spsquox2 *data = spsquox2_init();
    if (!data) return false;
    bool ok = true;
    for (spcquox2_element &e : *composer->elements) {
        std::string file = std::string(composer->path ? composer->path : "") + __file_part(e.system_filename);
        if (!spsquox2_load_system_from_file(file.c_str(), data)) {
            ok = false;
            break;
        }
        e.sys = spsquox2_compile_system(data, sc, mgr);
        if (!e.sys) {
            ok = false;
            break;
        }
    }
    spsquox2_deinit(data);
    return ok;
}

void spcquox2_start(spcquox2 *composer)
{
    ASSERT(composer);
    for (spcquox2_element &e : *composer->elements) {
        if (!e.sys) continue;
        sps_activate(e.sys, false);
        sps_start_burst(e.sys);
    }
}

bool spcquox2_is_active(const spcquox2 *composer)
{
    for (const spcquox2_element &e : *composer->elements)
        if (e.sys && sps_is_active(e.sys)) return true;
    return false;
}

void spcquox2_set_position(spcquox2 *composer, tacka3 position)
{
    for (spcquox2_element &e : *composer->elements)
        if (e.sys) sps_set_position(e.sys, position);
}
