// Streams: an Ogg Vorbis file decoded chunk by chunk into a ring of buffers
// queued on one OpenAL source. The game sets the wanted state; the sound
// thread does all the OpenAL work at its ticks.

#include "sound/auren_stream.h"

#include <cmath>
#include <cstring>

#include "corelib/files.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "sound/auren_internal.h"

// Decoder holes tolerated within one chunk before the data counts as ended.
#define AUREN_STREAM_MAX_HOLES 16

/* ---- the game's side ---- */

auren_stream_t *auren_stream(const char *path)
{
    ASSERT(auren_is_inited());
    ASSERT(path != NULL);
    auren_stream_t *stream = mem_new_zeroed<auren_stream_t>();
    if (!stream) return nullptr;
    stream->name = mem_strdup(path);
    if (!stream->name) {
        mem_free(stream);
        return nullptr;
    }
    std::string native = file_native_path(path);
    stream->file = fopen(native.c_str(), "rb");
    if (!stream->file) {
        do_log(LOG_CRITICAL, LOG_TO_FILE, "auren_stream(): cannot open %s for stream", log_quote(path).text);
        mem_free(stream->name);
        mem_free(stream);
        return nullptr;
    }
    const char *why = nullptr;
    if (!__auren_ogg_open_file(stream->file, &stream->decoder, &why)) {
        fclose(stream->file);
        do_log(LOG_CRITICAL, LOG_TO_DEBUGGER | LOG_TO_FILE, "auren_stream(): cannot open %s for decoding: %s",
               log_quote(path).text, why);
        mem_free(stream->name);
        mem_free(stream);
        return nullptr;
    }
    stream->info = ov_info(&stream->decoder, -1);
    stream->comment = ov_comment(&stream->decoder, -1);
    stream->total = ov_pcm_total(&stream->decoder, -1);
    stream->channels = stream->info->channels;
    stream->rate = int32_t(stream->info->rate);
    stream->format = stream->channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    stream->reference_distance = 1.0f;
    stream->max_distance = AUREN_DEFAULT_MAX_DISTANCE;
    stream->rolloff = 0.0f;
    stream->pitch = 1.0f;
    stream->gain = 1.0f;
    stream->looping = 0;
    stream->state = STREAM_STOP;

    __auren_lock();
    array<auren_stream_t *> *list = auren_system.streams;
    uint32_t slot = 0;
    while (slot < list->get_size() && (*list)[slot]) slot++;
    bool placed = slot < list->get_size() || list->add(static_cast<auren_stream_t *const *>(nullptr));
    if (placed) {
        (*list)[slot] = stream;
        stream->list_index = int32_t(slot);
    }
    __auren_unlock();
    if (!placed) {
        ov_clear(&stream->decoder);
        fclose(stream->file);
        mem_free(stream->name);
        mem_free(stream);
        return nullptr;
    }
    return stream;
}

static void __stream_set_state(auren_stream_t *stream, int state)
{
    ASSERT(stream != NULL);
    __auren_lock();
    ASSERT(stream->state != STOP_AND_DEINIT);
    stream->state = state;
    __auren_unlock();
}

void auren_stream_play(auren_stream_t *stream) { __stream_set_state(stream, STREAM_PLAY); }
void auren_stream_stop(auren_stream_t *stream) { __stream_set_state(stream, STREAM_STOP); }
void auren_stream_pause(auren_stream_t *stream) { __stream_set_state(stream, STREAM_PAUSE); }

void auren_stream_stop_and_deinit(auren_stream_t *stream)
{
    ASSERT(stream != NULL);
    __auren_lock();
    stream->state = STOP_AND_DEINIT;
    __auren_unlock();
}

void auren_stream_set_looping(auren_stream_t *stream, bool on)
{
    ASSERT(stream != NULL);
    __auren_lock();
    ASSERT(stream->state != STOP_AND_DEINIT);
    stream->looping = on ? 1 : 0;
    __auren_unlock();
}

void auren_stream_set_gain(auren_stream_t *stream, float gain)
{
    ASSERT(stream != NULL);
    __auren_lock();
    ASSERT(stream->state != STOP_AND_DEINIT);
    if (!std::isfinite(gain) || gain < 0.0f) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s(): invalid value %f ignored", __func__, double(gain));
    } else {
        stream->gain = gain;
        if (stream->started && __auren_is_device_opened()) {
            alSourcef(stream->voice, AL_GAIN, gain);
            AUREN_AL_CHECK();
        }
    }
    __auren_unlock();
}

int auren_stream_get_state(auren_stream_t *stream)
{
    ASSERT(stream != NULL);
    __auren_lock();
    int state = stream->state;
    __auren_unlock();
    return state;
}

void auren_stream_get_info(auren_stream_t *stream, int *channels, int *rate, double *seconds)
{
    ASSERT(stream != NULL);
    __auren_lock();
    if (channels) *channels = stream->channels;
    if (rate) *rate = stream->rate;
    if (seconds) *seconds = stream->rate > 0 ? double(stream->total) / stream->rate : 0.0;
    __auren_unlock();
}

/* ---- the sound thread's side ---- */

bool __ogg_read_buffer(auren_stream_t *stream, uint32_t size, char *buffer, uint32_t *filled)
{
    memset(buffer, 0, size);
    *filled = 0;
    int holes = 0;
    bool rewound = false; // nothing decoded since the last rewind
    while (*filled < size) {
        int link = 0;
        long n = ov_read(&stream->decoder, buffer + *filled, int(size - *filled), 0, 2, 1, &link);
        if (n > 0) {
            *filled += uint32_t(n);
            stream->bytes_read += uint32_t(n);
            rewound = false;
            continue;
        }
        if (n == OV_HOLE) {
            do_log(LOG_CRITICAL, LOG_TO_FILE,
                   "auren_stream(): error decoding/reading stream: interruption in the data");
            if (++holes <= AUREN_STREAM_MAX_HOLES) continue;
        } else if (n == OV_EBADLINK) {
            do_log(LOG_CRITICAL, LOG_TO_FILE, "auren_stream(): error decoding/reading stream: bad link");
        } else if (n < 0) {
            do_log(LOG_CRITICAL, LOG_TO_FILE, "auren_stream(): error decoding/reading stream: %ld", n);
        }
        stream->bytes_read = 0;
        // Data that cannot be decoded further ends the stream, looping or not:
        // rewinding after a broken link or a read error leaves the decoder in
        // a state whose next read divides by zero inside libvorbis.
        if (n < 0) {
            do_log(LOG_CRITICAL, LOG_TO_FILE, "auren_stream(): %s: the rest of the file is skipped, the stream ends",
                   log_quote(stream->name).text);
            return false;
        }
        // The end of the data: a looping stream starts over (unless that
        // yields nothing at all).
        if (!stream->looping || rewound) return false;
        if (ov_pcm_seek(&stream->decoder, 0) != 0) {
            do_log(LOG_CRITICAL, LOG_TO_FILE, "auren_stream(): %s: cannot rewind", log_quote(stream->name).text);
            return false;
        }
        rewound = true;
        holes = 0;
    }
    return true;
}

// Reads chunks into the free buffers of the ring and queues them, until the
// ring is full or a non-looping file has ended (the stream then drains).
static void __stream_fill(auren_stream_t *stream)
{
    char chunk[AUREN_STREAM_BUFFER_BYTES];
    while (stream->free_count > 0 && stream->state != STREAM_DRAIN) {
        uint32_t filled = 0;
        bool more = __ogg_read_buffer(stream, AUREN_STREAM_BUFFER_BYTES, chunk, &filled);
        if (filled > 0) {
            ALuint buffer = stream->free_buffers[--stream->free_count];
            alBufferData(buffer, stream->format, chunk, ALsizei(filled), stream->rate);
            alSourceQueueBuffers(stream->voice, 1, &buffer);
            AUREN_AL_CHECK();
        }
        if (!more) stream->state = STREAM_DRAIN;
    }
}

static void __stream_precharge_buffers(auren_stream_t *stream)
{
    alGenBuffers(AUREN_STREAM_BUFFERS, stream->buffers);
    AUREN_AL_CHECK();
    // Taken from the end: buffers[0] is filled first.
    for (int i = 0; i < AUREN_STREAM_BUFFERS; i++)
        stream->free_buffers[i] = stream->buffers[AUREN_STREAM_BUFFERS - 1 - i];
    stream->free_count = AUREN_STREAM_BUFFERS;
    __stream_fill(stream);
}

static void __stream_start(auren_stream_t *stream)
{
    if (!__auren_is_device_opened()) {
        stream->started = 1;
        return;
    }
    ALuint voice = 0;
    alGenSources(1, &voice);
    if (alGetError() != AL_NO_ERROR) {
        // No voice free now: try again next tick.
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "auren_stream: no voice free for %s (%d in use)",
               log_quote(stream->name).text, auren_system.live_sources);
        return;
    }
    auren_system.live_sources++;
    stream->voice = voice;
    // Music is heard the same wherever the listener is.
    alSourcei(voice, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(voice, AL_POSITION, 0, 0, 0);
    alSource3f(voice, AL_VELOCITY, 0, 0, 0);
    alSourcef(voice, AL_ROLLOFF_FACTOR, stream->rolloff);
    alSourcef(voice, AL_REFERENCE_DISTANCE, stream->reference_distance);
    alSourcef(voice, AL_MAX_DISTANCE, stream->max_distance);
    alSourcei(voice, AL_LOOPING, AL_FALSE);
    AUREN_AL_CHECK();
    __stream_precharge_buffers(stream);
    AUREN_AL_CHECK();
    stream->started = 1;
    alSourcef(voice, AL_GAIN, stream->gain);
    alSourcePlay(voice);
    AUREN_AL_CHECK();
}

static ALint __stream_source_get(auren_stream_t *stream, ALenum what)
{
    ALint value = 0;
    alGetSourcei(stream->voice, what, &value);
    AUREN_AL_CHECK();
    return value;
}

static void __stream_update_buffers(auren_stream_t *stream)
{
    ASSERT(__auren_is_device_opened());
    ALint processed = __stream_source_get(stream, AL_BUFFERS_PROCESSED);
    for (ALint i = 0; i < processed && stream->free_count < AUREN_STREAM_BUFFERS; i++) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(stream->voice, 1, &buffer);
        AUREN_AL_CHECK();
        stream->free_buffers[stream->free_count++] = buffer;
    }
    if (stream->state == STREAM_DRAIN) {
        // Everything decoded has been queued; the stream ends once it has
        // all been heard.
        ALint queued = __stream_source_get(stream, AL_BUFFERS_QUEUED);
        if (queued == 0 || __stream_source_get(stream, AL_SOURCE_STATE) == AL_STOPPED) {
            stream->state = STREAM_PAUSE;
            do_log(LOG_INFO, LOG_TO_FILE, "auren_stream: %s played to its end", log_quote(stream->name).text);
        }
        return;
    }
    if (processed < 1) {
        ALint queued = __stream_source_get(stream, AL_BUFFERS_QUEUED);
        if (queued < AUREN_STREAM_BUFFERS && stream->free_count == 0)
            do_log(LOG_INFO, LOG_TO_FILE, "auren_stream: buffer lost - queued:%d, of %d", queued, AUREN_STREAM_BUFFERS);
    }
    __stream_fill(stream);
    // A source that ran dry before this refill has stopped: start it again.
    if (!stream->paused && __stream_source_get(stream, AL_SOURCE_STATE) == AL_STOPPED &&
        __stream_source_get(stream, AL_BUFFERS_QUEUED) > 0) {
        do_log(LOG_WARNING, LOG_TO_FILE, "auren_stream: %s ran dry: restarted", log_quote(stream->name).text);
        alSourcePlay(stream->voice);
        AUREN_AL_CHECK();
    }
}

// Gives back the voice and the ring; the decoder keeps its place.
static void __stream_release_voice(auren_stream_t *stream)
{
    if (stream->started && __auren_is_device_opened()) {
        alSourceStop(stream->voice);
        AUREN_AL_CHECK();
        ALint queued = __stream_source_get(stream, AL_BUFFERS_QUEUED);
        for (ALint i = 0; i < queued; i++) {
            ALuint buffer = 0;
            alSourceUnqueueBuffers(stream->voice, 1, &buffer);
        }
        AUREN_AL_CHECK();
        alDeleteBuffers(AUREN_STREAM_BUFFERS, stream->buffers);
        AUREN_AL_CHECK();
        alDeleteSources(1, &stream->voice);
        AUREN_AL_CHECK();
        auren_system.live_sources--;
        if (auren_system.live_sources < 0) BUG();
        stream->voice = 0;
        memset(stream->buffers, 0, sizeof(stream->buffers));
        stream->free_count = 0;
    }
    stream->started = 0;
    stream->paused = 0;
}

static void __stream_free(auren_stream_t *stream)
{
    __stream_release_voice(stream);
    ov_clear(&stream->decoder);
    fclose(stream->file);
    if (auren_system.streams && stream->list_index >= 0 &&
        uint32_t(stream->list_index) < auren_system.streams->get_size())
        (*auren_system.streams)[uint32_t(stream->list_index)] = nullptr;
    mem_free(stream->name);
    mem_free(stream);
}

void __stream_update(double)
{
    bool device = __auren_is_device_opened();
    for (uint32_t i = 0; i < auren_system.streams->get_size(); i++) {
        auren_stream_t *stream = (*auren_system.streams)[i];
        if (!stream) continue;
        switch (stream->state) {
        case STREAM_PLAY:
            if (!stream->started)
                __stream_start(stream);
            else if (device)
                __stream_update_buffers(stream);
            if (stream->started && stream->paused) {
                if (device) {
                    alSourcePlay(stream->voice);
                    AUREN_AL_CHECK();
                }
                stream->paused = 0;
            }
            break;
        case STREAM_STOP:
            if (stream->started) __stream_release_voice(stream);
            break;
        case STREAM_PAUSE:
            if (stream->started) {
                if (device) {
                    alSourcePause(stream->voice);
                    AUREN_AL_CHECK();
                }
                stream->paused = 1;
            }
            break;
        case STOP_AND_DEINIT: __stream_free(stream); break;
        case STREAM_DRAIN:
            if (stream->started && device) __stream_update_buffers(stream);
            break;
        default: BUG();
        }
    }
}

void __auren_streams_free_released()
{
    for (uint32_t i = 0; i < auren_system.streams->get_size(); i++) {
        auren_stream_t *stream = (*auren_system.streams)[i];
        if (stream && stream->state == STOP_AND_DEINIT) __stream_free(stream);
    }
}

void __auren_streams_free_all()
{
    for (uint32_t i = 0; i < auren_system.streams->get_size(); i++) {
        auren_stream_t *stream = (*auren_system.streams)[i];
        if (!stream) continue;
        if (stream->state != STOP_AND_DEINIT)
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "auren_deinit: stream %s still open: freed",
                   log_quote(stream->name).text);
        __stream_free(stream);
    }
}
