// Ogg Vorbis files: the page walk that refuses cut or damaged files, the
// decoder's data sources (a file, or bytes in memory) and whole-file decoding
// of samples.

#include <cstring>
#include <ogg/ogg.h>

#include "corelib/files.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "sound/auren_internal.h"

#define OGG_CHECK_READ_BYTES 65536
// Bytes asked of the decoder per call.
#define OGG_DECODE_STEP 65536

bool __auren_ogg_check_pages(auren_read_fn next, void *source, const char **why)
{
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    ogg_page page;
    bool any = false, last_eos = false;
    *why = nullptr;
    for (;;) {
        int r = ogg_sync_pageout(&sync, &page);
        if (r == 1) {
            if (!any && !ogg_page_bos(&page)) *why = "the first page does not begin a stream";
            any = true;
            last_eos = ogg_page_eos(&page) != 0;
            if (*why) break;
            continue;
        }
        if (r < 0) {
            *why = any ? "damaged data (bytes outside pages or a bad page checksum)" : "not an Ogg file";
            break;
        }
        char *into = ogg_sync_buffer(&sync, OGG_CHECK_READ_BYTES);
        long n = into ? next(source, into, OGG_CHECK_READ_BYTES) : -1;
        if (n < 0) {
            *why = "read error";
            break;
        }
        if (n == 0) break;
        ogg_sync_wrote(&sync, n);
    }
    if (!*why) {
        if (!any)
            *why = "not an Ogg file";
        else if (sync.fill > sync.returned)
            *why = "the file is cut inside its last page";
        else if (!last_eos)
            *why = "the file is cut (its last page does not end the stream)";
    }
    ogg_sync_clear(&sync);
    return *why == nullptr;
}

bool __auren_ogg_check_info(OggVorbis_File *decoder, const char **why)
{
    vorbis_info *info = ov_info(decoder, -1);
    if (!info) {
        *why = "no stream information";
        return false;
    }
    if (info->channels != 1 && info->channels != 2) {
        *why = "only one or two channels are supported";
        return false;
    }
    if (info->rate < AUREN_MIN_RATE || info->rate > AUREN_MAX_RATE) {
        *why = "sample rate out of range";
        return false;
    }
    long links = ov_streams(decoder);
    for (long i = 1; i < links; i++) {
        vorbis_info *link = ov_info(decoder, int(i));
        if (!link || link->channels != info->channels || link->rate != info->rate) {
            *why = "its chained parts differ in channels or rate";
            return false;
        }
    }
    if (ov_pcm_total(decoder, -1) < 0) {
        *why = "its length cannot be read";
        return false;
    }
    return true;
}

// The decoder reading a C file.
static size_t __file_read(void *into, size_t size, size_t count, void *file)
{
    return fread(into, size, count, static_cast<FILE *>(file));
}
static int __file_seek(void *file, ogg_int64_t offset, int whence)
{
    return fseeko(static_cast<FILE *>(file), off_t(offset), whence);
}
static long __file_tell(void *file) { return long(ftello(static_cast<FILE *>(file))); }
static long __file_next(void *file, char *into, long size)
{
    size_t n = fread(into, 1, size_t(size), static_cast<FILE *>(file));
    if (n == 0 && ferror(static_cast<FILE *>(file))) return -1;
    return long(n);
}

bool __auren_ogg_open_file(FILE *file, OggVorbis_File *decoder, const char **why)
{
    rewind(file);
    if (!__auren_ogg_check_pages(__file_next, file, why)) return false;
    rewind(file);
    ov_callbacks callbacks = {__file_read, __file_seek, nullptr, __file_tell};
    if (ov_open_callbacks(file, decoder, nullptr, 0, callbacks) < 0) {
        *why = "not an Ogg Vorbis stream";
        return false;
    }
    if (!__auren_ogg_check_info(decoder, why)) {
        ov_clear(decoder);
        return false;
    }
    return true;
}

// The decoder reading bytes in memory.
struct ogg_memory {
    const char *bytes;
    size_t size;
    size_t pos;
};
static size_t __memory_read(void *into, size_t size, size_t count, void *source)
{
    ogg_memory *m = static_cast<ogg_memory *>(source);
    if (size == 0) return 0;
    size_t items = (m->size - m->pos) / size;
    if (count < items) items = count;
    if (items == 0) return 0; // also for an empty block, which may have no address
    memcpy(into, m->bytes + m->pos, items * size);
    m->pos += items * size;
    return items;
}
static int __memory_seek(void *source, ogg_int64_t offset, int whence)
{
    ogg_memory *m = static_cast<ogg_memory *>(source);
    ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? ogg_int64_t(m->pos) : ogg_int64_t(m->size);
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
    ogg_int64_t target = base + offset;
    if (target < 0 || target > ogg_int64_t(m->size)) return -1;
    m->pos = size_t(target);
    return 0;
}
static long __memory_tell(void *source) { return long(static_cast<ogg_memory *>(source)->pos); }
static long __memory_next(void *source, char *into, long size)
{
    return long(__memory_read(into, 1, size_t(size), source));
}

void __auren_pcm_free(auren_pcm_t *pcm)
{
    array_free(pcm->data);
    pcm->data = nullptr;
}

// Decodes the whole stream into pcm->data, never past the cap, whatever the
// file claims its length to be.
static bool __decode_all(const char *path, OggVorbis_File *decoder, auren_pcm_t *pcm, int64_t total)
{
    uint32_t frame_bytes = uint32_t(pcm->channels) * 2;
    uint64_t want = uint64_t(total) * frame_bytes;
    if (want > AUREN_SAMPLE_MAX_PCM_BYTES) want = AUREN_SAMPLE_MAX_PCM_BYTES;
    pcm->data = array_new<char>();
    if (!pcm->data || (want > 0 && !pcm->data->set_size(uint32_t(want)))) {
        do_log(LOG_CRITICAL, LOG_TO_FILE, "auren: out of memory for %s", log_quote(path).text);
        return false;
    }
    uint32_t offset = 0;
    for (;;) {
        if (offset == pcm->data->get_size()) {
            // The file holds more than its last page promised: grow a second at a time.
            uint64_t grown = uint64_t(offset) + uint64_t(pcm->frequency) * frame_bytes;
            if (grown > AUREN_SAMPLE_MAX_PCM_BYTES) {
                do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_FILE, "auren: %s decodes to more than %u bytes",
                       log_quote(path).text, AUREN_SAMPLE_MAX_PCM_BYTES);
                return false;
            }
            if (!pcm->data->set_size(uint32_t(grown))) {
                do_log(LOG_CRITICAL, LOG_TO_FILE, "auren: out of memory for %s", log_quote(path).text);
                return false;
            }
        }
        uint32_t room = pcm->data->get_size() - offset;
        int ask = int(room < OGG_DECODE_STEP ? room : OGG_DECODE_STEP);
        int link = 0;
        long n = ov_read(decoder, pcm->data->data + offset, ask, 0, 2, 1, &link);
        if (n == 0) break;
        if (n < 0) {
            do_log(LOG_CRITICAL, LOG_TO_FILE, "auren: error decoding");
            do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_FILE, "auren: %s is damaged: decoding failed (%ld)",
                   log_quote(path).text, n);
            return false;
        }
        offset += uint32_t(n);
    }
    if (offset == 0) {
        do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_FILE, "auren: %s holds no sound", log_quote(path).text);
        return false;
    }
    if (offset != pcm->data->get_size()) pcm->data->set_size(offset);
    pcm->frames = offset / frame_bytes;
    return true;
}

bool __read_sample_file(const char *path, void **bytes, size_t *size)
{
    file_read_failure why;
    if (file_read_whole(path, AUREN_SAMPLE_MAX_FILE_BYTES, bytes, size, &why)) return true;
    if (why.step == FILE_READ_LENGTH && why.error == 0 && file_exists(path))
        do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_FILE, "auren: %s is too big for a sample", log_quote(path).text);
    else
        do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_FILE, "auren: cannot open file: %s for reading",
               log_quote(path).text);
    return false;
}

bool __load_ogg_data(const char *path, auren_pcm_t *pcm, bool decode)
{
    memset(pcm, 0, sizeof(*pcm));
    void *bytes = nullptr;
    size_t size = 0;
    if (!__read_sample_file(path, &bytes, &size)) return false;
    bool ok = __load_ogg_memory(path, bytes, size, pcm, decode);
    mem_free(bytes);
    return ok;
}

bool __load_ogg_memory(const char *path, const void *bytes, size_t size, auren_pcm_t *pcm, bool decode)
{
    memset(pcm, 0, sizeof(*pcm));
    const char *why = nullptr;
    ogg_memory m = {static_cast<const char *>(bytes), size, 0};
    if (!__auren_ogg_check_pages(__memory_next, &m, &why)) {
        do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_FILE, "auren: error opening file: %s for decoding: %s",
               log_quote(path).text, why);
        return false;
    }
    m.pos = 0;
    OggVorbis_File decoder;
    ov_callbacks callbacks = {__memory_read, __memory_seek, nullptr, __memory_tell};
    if (ov_open_callbacks(&m, &decoder, nullptr, 0, callbacks) < 0) {
        do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_FILE,
               "auren: error opening file: %s for decoding: not an Ogg Vorbis stream", log_quote(path).text);
        return false;
    }
    bool ok = __auren_ogg_check_info(&decoder, &why);
    if (!ok) {
        do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_FILE, "auren: error opening file: %s for decoding: %s",
               log_quote(path).text, why);
    } else {
        vorbis_info *info = ov_info(&decoder, -1);
        int64_t total = ov_pcm_total(&decoder, -1);
        pcm->channels = info->channels;
        pcm->format = info->channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
        pcm->frequency = int32_t(info->rate);
        pcm->frames = total > int64_t(UINT32_MAX) ? UINT32_MAX : uint32_t(total);
        if (decode) ok = __decode_all(path, &decoder, pcm, total);
        if (!ok) __auren_pcm_free(pcm);
    }
    ov_clear(&decoder);
    return ok;
}
