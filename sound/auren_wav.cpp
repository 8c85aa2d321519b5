// WAV files: RIFF "WAVE" with a "fmt " chunk of integer PCM (plain or in the
// extensible layout), 8 or 16 bits, one or two channels, and a "data" chunk.
// Every size read from the file is checked against the bytes that are there.

#include <cstring>
#include <sys/stat.h>

#include "corelib/files.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "sound/auren_internal.h"

#define WAV_FORMAT_PCM 0x0001
#define WAV_FORMAT_EXTENSIBLE 0xFFFE

static const uint8_t WAV_PCM_SUBFORMAT[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                              0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};

static uint32_t __wav_u32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
static uint16_t __wav_u16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

static bool __wav_fail(const char **why, const char *text)
{
    *why = text;
    return false;
}

bool __auren_wav_parse(const uint8_t *bytes, size_t size, auren_wav_t *wav, const char **why)
{
    memset(wav, 0, sizeof(*wav));
    if (size < 12) return __wav_fail(why, "too short for a RIFF header");
    if (memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0)
        return __wav_fail(why, "not a RIFF WAVE file");
    uint32_t riff_size = __wav_u32(bytes + 4);
    if (riff_size < 4 || uint64_t(riff_size) + 8 > size) return __wav_fail(why, "RIFF size does not match the file");
    size_t end = size_t(riff_size) + 8;

    bool have_fmt = false;
    int channels = 0, bits = 0;
    uint32_t rate = 0;
    uint16_t block_align = 0;
    size_t pos = 12;
    while (pos < end) {
        if (end - pos < 8) return __wav_fail(why, "cut chunk header");
        const uint8_t *chunk = bytes + pos;
        uint32_t chunk_size = __wav_u32(chunk + 4);
        size_t body = pos + 8;
        if (chunk_size > end - body) return __wav_fail(why, "chunk size runs past the end of the file");

        if (memcmp(chunk, "fmt ", 4) == 0) {
            if (have_fmt) return __wav_fail(why, "two format chunks");
            if (chunk_size < 16) return __wav_fail(why, "format chunk too short");
            const uint8_t *f = bytes + body;
            uint16_t tag = __wav_u16(f);
            channels = __wav_u16(f + 2);
            rate = __wav_u32(f + 4);
            uint32_t byte_rate = __wav_u32(f + 8);
            block_align = __wav_u16(f + 12);
            bits = __wav_u16(f + 14);
            if (tag == WAV_FORMAT_EXTENSIBLE) {
                if (chunk_size < 40 || __wav_u16(f + 16) < 22)
                    return __wav_fail(why, "extensible format chunk too short");
                if (memcmp(f + 24, WAV_PCM_SUBFORMAT, 16) != 0) return __wav_fail(why, "not integer PCM data");
                uint16_t valid_bits = __wav_u16(f + 18);
                if (valid_bits != 0 && valid_bits != bits) return __wav_fail(why, "unsupported valid-bits count");
            } else if (tag != WAV_FORMAT_PCM) {
                return __wav_fail(why, "not integer PCM data");
            }
            if (channels != 1 && channels != 2) return __wav_fail(why, "only one or two channels are supported");
            if (bits != 8 && bits != 16) return __wav_fail(why, "only 8 and 16 bits per sample are supported");
            if (rate < AUREN_MIN_RATE || rate > AUREN_MAX_RATE) return __wav_fail(why, "sample rate out of range");
            if (block_align != channels * bits / 8)
                return __wav_fail(why, "block size does not match channels and bits");
            if (byte_rate != rate * block_align) return __wav_fail(why, "byte rate does not match the format");
            have_fmt = true;
        } else if (memcmp(chunk, "data", 4) == 0) {
            if (!have_fmt) return __wav_fail(why, "data before the format chunk");
            if (chunk_size == 0) return __wav_fail(why, "no sample data");
            if (chunk_size % block_align != 0) return __wav_fail(why, "data size is not a whole number of frames");
            wav->data = bytes + body;
            wav->size = chunk_size;
            wav->channels = channels;
            wav->bits = bits;
            wav->frequency = int32_t(rate);
            wav->frames = chunk_size / block_align;
            if (bits == 8)
                wav->format = channels == 1 ? AL_FORMAT_MONO8 : AL_FORMAT_STEREO8;
            else
                wav->format = channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
            return true;
        }
        // Chunks are padded to an even size; a missing pad byte at the very end is tolerated.
        pos = body + chunk_size + (chunk_size & 1);
    }
    return __wav_fail(why, have_fmt ? "no data chunk" : "no format chunk");
}

bool __load_wav_data(const char *path, auren_pcm_t *pcm, bool decode)
{
    memset(pcm, 0, sizeof(*pcm));
    void *bytes = nullptr;
    size_t size = 0;
    if (!__read_sample_file(path, &bytes, &size)) return false;
    bool ok = __load_wav_memory(path, bytes, size, pcm, decode);
    mem_free(bytes);
    return ok;
}

bool __load_wav_memory(const char *path, const void *bytes, size_t size, auren_pcm_t *pcm, bool decode)
{
    memset(pcm, 0, sizeof(*pcm));
    auren_wav_t wav;
    const char *why = nullptr;
    if (!__auren_wav_parse(static_cast<const uint8_t *>(bytes), size, &wav, &why)) {
        do_log(LOG_CRITICAL, LOG_TO_MSGBOX | LOG_TO_FILE, "auren: %s is not a usable WAV file: %s",
               log_quote(path).text, why);
        return false;
    }
    pcm->format = wav.format;
    pcm->channels = wav.channels;
    pcm->frequency = wav.frequency;
    pcm->frames = wav.frames;
    if (decode) {
        pcm->data = array_new<char>();
        if (!pcm->data || !pcm->data->set_size(wav.size)) {
            do_log(LOG_CRITICAL, LOG_TO_FILE, "auren: out of memory for %s", log_quote(path).text);
            __auren_pcm_free(pcm);
            return false;
        }
        memcpy(pcm->data->data, wav.data, wav.size);
    }
    return true;
}
