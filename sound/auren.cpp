// The sound library: start and stop, samples shared by path, their sources,
// the source parameters and the listener.

#include "sound/auren.h"

#include <cmath>
#include <cstring>
#include <strings.h>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "sound/auren_internal.h"

auren_system_t auren_system;
sys_mutex *mutex_auren = nullptr;
// auren_init calls minus auren_deinit calls; survives the clearing of the state.
static int auren_systems_counter = 0;

void __auren_lock()
{
    mutex_lock(mutex_auren);
    // The mutex is recursive: a public call nested in another one gets here
    // and finds the flag still set.
    ASSERT(!auren_system.auren_locked_extern);
    auren_system.auren_locked_extern = 1;
}

void __auren_unlock()
{
    ASSERT(auren_system.auren_locked_extern);
    auren_system.auren_locked_extern = 0;
    mutex_unlock(mutex_auren);
}

void __auren_lock_intern()
{
    mutex_lock(mutex_auren);
    ASSERT(!auren_system.auren_locked_intern);
    auren_system.auren_locked_intern = 1;
}

void __auren_unlock_intern()
{
    ASSERT(auren_system.auren_locked_intern);
    auren_system.auren_locked_intern = 0;
    mutex_unlock(mutex_auren);
}

bool __auren_is_device_opened() { return auren_system.device != nullptr; }

uint8_t auren_is_inited() { return auren_system.inited; }

static void __auren_clear_state()
{
    auren_system.device = nullptr;
    auren_system.context = nullptr;
    auren_system.inited = 0;
    auren_system.run_state = AUREN_RUN_NONE;
    auren_system.resources_limit = 0;
    auren_system.live_sources = 0;
    auren_system.listener_position = {0, 0, 0};
    auren_system.listener_gain = 1.0f;
    auren_system.samples = nullptr;
    auren_system.streams = nullptr;
    auren_system.buffer_queues_supported = 0;
    auren_system.pitch_shift_supported = 0;
    auren_system.no_sound = 0;
    auren_system.sound_thread = -1;
    auren_system.device_names = nullptr;
    auren_system.ticks = 0;
    auren_system.tick_cpu_seconds = 0;
    auren_system.tick_max_seconds = 0;
}

void auren_init()
{
    ASSERT(!auren_is_inited());
    __auren_clear_state();
    auren_system.auren_locked_extern = 0;
    auren_system.auren_locked_intern = 0;
    auren_systems_counter++;
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "__________________________________________________\n");
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "auren_init: systems called: %d", auren_systems_counter);

    auren_system.device_names = array_new<char *>();
    ASSERT(auren_system.device_names != NULL);
    __auren_choose_device();
    do_log(LOG_INFO, LOG_TO_FILE, "auren: inited AL");

    if (__auren_is_device_opened()) {
        alListener3f(AL_POSITION, 0, 0, 0);
        alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    }
    auren_system.samples = array_new<auren_sound_t *>();
    auren_system.streams = array_new<auren_stream_t *>();
    ASSERT(auren_system.samples != NULL);
    ASSERT(auren_system.streams != NULL);
    auren_system.samples->flags |= ARRAY_ZERO_FILL;
    auren_system.streams->flags |= ARRAY_ZERO_FILL;

    if (__auren_is_device_opened()) {
        if (AUREN_AL_FAILED()) BUG();
        auren_system.resources_limit = auren_get_resources();
    }
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "auren: resources limit: %d sources", auren_system.resources_limit);

    auren_system.run_state = AUREN_RUN_RUNNING;
    mutex_auren = mutex_create();
    ASSERT(mutex_auren);
    // Set before the thread starts: the thread checks it at every tick.
    auren_system.inited = 1;
    auren_system.sound_thread = thread_create(auren_thread_update, nullptr);
    ASSERT(auren_system.sound_thread > 0);
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "\n__________________________________________________\n");
}

// Frees a sample record and whatever it holds (its sources must have no voices
// or a device must be open to delete them).
static void __auren_sample_free(auren_sound_t *snd)
{
    if (snd->sources) {
        for (auren_source_t *src : *snd->sources) {
            if (src->state != SS_UNDEF) __auren_source_deinit(src);
            mem_free(src);
        }
        array_free(snd->sources);
    }
    if (__auren_is_device_opened() && snd->buffer && alIsBuffer(snd->buffer)) {
        alDeleteBuffers(1, &snd->buffer);
        AUREN_AL_CHECK();
    }
    if (auren_system.samples && snd->index >= 0 && uint32_t(snd->index) < auren_system.samples->get_size() &&
        (*auren_system.samples)[uint32_t(snd->index)] == snd)
        (*auren_system.samples)[uint32_t(snd->index)] = nullptr;
    mem_free(snd->name);
    mem_free(snd);
}

static void __auren_deinit()
{
    // What the game released just before (a stop, a stop-and-deinit) may
    // have missed the sound thread's last tick: finish it here.
    __cleanup_dead_sources();
    __auren_streams_free_released();
    if (auren_system.live_sources != 0)
        log_fault_reason(
            __func__, __FILE__, __LINE__,
            "\"auren_deinit: unclean exit. not all sources have been released before calling auren_deinit().\"");
    auren_systems_counter--;
    do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "auren_deinit: systems remaining: %d", auren_systems_counter);
    if (auren_systems_counter >= 1) return;

    // Streams and samples the game did not release hold no voices (checked
    // above): free them rather than leak their files and buffers.
    __auren_streams_free_all();
    for (uint32_t i = 0; i < auren_system.samples->get_size(); i++) {
        auren_sound_t *snd = (*auren_system.samples)[i];
        if (!snd) continue;
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "auren_deinit: sample %s still loaded (%d references): freed", log_quote(snd->name).text,
               snd->ref_count);
        __auren_sample_free(snd);
    }
    array_free(auren_system.samples);
    array_free(auren_system.streams);
    auren_system.samples = nullptr;
    auren_system.streams = nullptr;
    for (char *name : *auren_system.device_names) mem_free(name);
    array_free(auren_system.device_names);
    auren_system.device_names = nullptr;
    if (__auren_is_device_opened()) {
        if (AUREN_AL_FAILED()) BUG();
        __auren_close_device();
    }
    do_log(LOG_INFO, LOG_TO_FILE, "auren: deinited AL");
    __auren_clear_state();
}

void auren_deinit()
{
    ASSERT(auren_is_inited());
    auren_system.run_state = AUREN_RUN_STOP;
    thread_wait(auren_system.sound_thread, THREAD_WAIT);
    __auren_lock();
    __auren_deinit();
    auren_system.inited = 0;
    __auren_unlock();
    mutex_destroy(mutex_auren);
    mutex_auren = nullptr;
}

/* ---- samples ---- */

static auren_sound_t *__auren_find_sample(const char *path)
{
    for (auren_sound_t *snd : *auren_system.samples)
        if (snd && strcmp(snd->name, path) == 0) return snd;
    return nullptr;
}

static bool __auren_has_extension(const char *path, const char *ext)
{
    size_t n = strlen(path), e = strlen(ext);
    return n >= e && strcasecmp(path + n - e, ext) == 0;
}

// Makes the record for decoded (or, without a device, only checked) data and
// puts it in the sample list. Runs under the lock.
static auren_sound_t *__auren_sample_create(const char *path, auren_pcm_t *pcm)
{
    auren_sound_t *snd = mem_new_zeroed<auren_sound_t>();
    if (!snd) return nullptr;
    snd->index = -1;
    snd->name = mem_strdup(path);
    snd->sources = array_new<auren_source_t *>();
    if (!snd->name || !snd->sources) {
        __auren_sample_free(snd);
        return nullptr;
    }
    snd->format = pcm->format;
    snd->frequency = pcm->frequency;
    snd->channels = pcm->channels;
    snd->frames = pcm->frames;
    if (__auren_is_device_opened()) {
        alGenBuffers(1, &snd->buffer);
        if (AUREN_AL_FAILED()) {
            snd->buffer = 0;
            __auren_sample_free(snd);
            return nullptr;
        }
        alBufferData(snd->buffer, pcm->format, pcm->data->data, ALsizei(pcm->data->get_size()), pcm->frequency);
        if (AUREN_AL_FAILED()) {
            __auren_sample_free(snd);
            return nullptr;
        }
    } else {
        snd->frames = 0;
    }
    snd->index = int32_t(auren_system.samples->get_size());
    if (!auren_system.samples->add(snd)) {
        snd->index = -1;
        __auren_sample_free(snd);
        return nullptr;
    }
    snd->ref_count = 1;
    return snd;
}

auren_sound_t *auren_load(const char *path)
{
    ASSERT(auren_is_inited());
    ASSERT(path != NULL);
    __auren_lock();
    auren_sound_t *snd = __auren_find_sample(path);
    if (snd) {
        snd->ref_count++;
        __auren_unlock();
        return snd;
    }
    bool is_ogg = __auren_has_extension(path, ".ogg");
    if (!is_ogg && !__auren_has_extension(path, ".wav"))
        log_fault_reason(__func__, __FILE__, __LINE__,
                         "\"auren_load: only ogg and wav supported. unknown file extension passed\"");
    bool decode = __auren_is_device_opened();
    __auren_unlock();

    // Decoding happens outside the lock so that the sound thread keeps the
    // streams fed meanwhile.
    auren_pcm_t pcm;
    bool ok = is_ogg ? __load_ogg_data(path, &pcm, decode) : __load_wav_data(path, &pcm, decode);
    if (!ok) return nullptr;

    __auren_lock();
    snd = __auren_find_sample(path);
    if (snd)
        snd->ref_count++;
    else
        snd = __auren_sample_create(path, &pcm);
    __auren_unlock();
    __auren_pcm_free(&pcm);
    if (snd && snd->ref_count == 1)
        do_log(LOG_INFO, LOG_TO_FILE, "auren: sample successfully loaded: %s", log_quote(path).text);
    if (!snd)
        do_log(LOG_CRITICAL, LOG_TO_DEBUGGER | LOG_TO_FILE, "auren: could not make the sample for %s",
               log_quote(path).text);
    return snd;
}

void auren_sound_deinit(auren_sound_t *snd)
{
    ASSERT(snd != NULL);
    __auren_lock();
    ASSERT(snd->ref_count > 0);
    snd->ref_count--;
    if (snd->ref_count == 0) __auren_sample_free(snd);
    __auren_unlock();
}

void auren_sound_get_info(auren_sound_t *snd, int *channels, int *frequency, double *seconds)
{
    ASSERT(snd != NULL);
    __auren_lock();
    if (channels) *channels = snd->channels;
    if (frequency) *frequency = snd->frequency;
    if (seconds) *seconds = snd->frequency > 0 ? double(snd->frames) / snd->frequency : 0.0;
    __auren_unlock();
}

/* ---- sources ---- */

bool __auren_check_sanity(const auren_source_t *src) { return src != nullptr && src->state != SS_UNDEF; }

static void __auren_source_defaults(auren_source_t *src, auren_sound_t *snd)
{
    memset(src, 0, sizeof(*src));
    src->state = SS_OWNED;
    src->play_state = PS_VIRTUAL;
    src->voice = 0;
    src->sample = snd;
    src->active_distance = 0.0f;
    src->reference_distance = 1.0f;
    src->max_distance = AUREN_DEFAULT_MAX_DISTANCE;
    src->rolloff_factor = 0.0f;
    src->pitch = 1.0f;
    src->gain = 1.0f;
    src->position = {0, 0, 0};
    src->looping = 0;
    src->source_relative = 0;
}

static auren_source_t *__auren_source_add(auren_sound_t *snd)
{
    auren_source_t *slot = nullptr;
    for (auren_source_t *s : *snd->sources)
        if (s->state == SS_UNDEF) {
            slot = s;
            break;
        }
    if (!slot) {
        slot = mem_new_zeroed<auren_source_t>();
        if (slot && !snd->sources->add(slot)) {
            mem_free(slot);
            slot = nullptr;
        }
    }
    if (!slot) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s() at file \"%s\", line %i: %s!", "auren_source_add",
               __FILE__, __LINE__, "\"( source == NULL )\"");
        return nullptr;
    }
    __auren_source_defaults(slot, snd);
    return slot;
}

auren_source_t *auren_source_add(auren_sound_t *snd)
{
    ASSERT(snd != NULL);
    __auren_lock();
    auren_source_t *src = __auren_source_add(snd);
    __auren_unlock();
    return src;
}

bool __auren_source_give_voice(auren_source_t *src)
{
    ALuint voice = 0;
    alGenSources(1, &voice);
    // Running out of voices is no fault: the source stays virtual.
    if (alGetError() != AL_NO_ERROR) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "auren: no voice free for %s (%d in use)",
               log_quote(src->sample->name).text, auren_system.live_sources);
        return false;
    }
    auren_system.live_sources++;
    src->voice = voice;
    alSourcei(voice, AL_BUFFER, ALint(src->sample->buffer));
    alSource3f(voice, AL_POSITION, src->position.x, src->position.y, src->position.z);
    alSource3f(voice, AL_VELOCITY, 0, 0, 0);
    alSource3f(voice, AL_DIRECTION, 0, 0, 0);
    alSourcef(voice, AL_ROLLOFF_FACTOR, src->rolloff_factor);
    alSourcef(voice, AL_MAX_DISTANCE, src->max_distance);
    alSourcef(voice, AL_GAIN, src->gain);
    alSourcef(voice, AL_REFERENCE_DISTANCE, src->reference_distance);
    if (auren_system.pitch_shift_supported) alSourcef(voice, AL_PITCH, src->pitch);
    alSourcei(voice, AL_LOOPING, src->looping ? AL_TRUE : AL_FALSE);
    alSourcei(voice, AL_SOURCE_RELATIVE, src->source_relative ? AL_TRUE : AL_FALSE);
    AUREN_AL_CHECK();
    alSourcePlay(voice);
    AUREN_AL_CHECK();
    src->play_state = PS_PLAYING;
    return true;
}

void __auren_source_release_voice(auren_source_t *src)
{
    if (src->play_state == PS_VIRTUAL || src->play_state == 0 || !__auren_is_device_opened()) return;
    alDeleteSources(1, &src->voice);
    AUREN_AL_CHECK();
    auren_system.live_sources--;
    if (auren_system.live_sources < 0) BUG();
    src->voice = 0;
    src->play_state = PS_VIRTUAL;
}

void __auren_source_deinit(auren_source_t *src)
{
    __auren_source_release_voice(src);
    src->state = SS_UNDEF;
    src->play_state = 0;
}

static bool __auren_source_play(auren_source_t *src)
{
    if (!__auren_is_device_opened()) return true;
    if (src->play_state == PS_STOPPED || src->play_state == PS_PLAYING) {
        alSourcePlay(src->voice);
        AUREN_AL_CHECK();
        src->play_state = PS_PLAYING;
        return true;
    }
    return __auren_source_give_voice(src);
}

bool auren_source_play(auren_source_t *src)
{
    __auren_lock();
    ASSERT(__auren_check_sanity(src));
    bool ok = __auren_source_play(src);
    __auren_unlock();
    return ok;
}

auren_source_t *auren_play(auren_sound_t *snd, uint32_t flags)
{
    ASSERT(snd != NULL);
    __auren_lock();
    auren_source_t *src = __auren_source_add(snd);
    if (src) {
        __auren_source_play(src);
        if (flags & AUREN_PLAY_FORGET) src->state = SS_FORGET;
        if (__auren_is_device_opened() && AUREN_AL_FAILED()) BUG();
    }
    __auren_unlock();
    return src;
}

void auren_stop(auren_source_t *src)
{
    ASSERT(src != NULL);
    __auren_lock();
    if (__auren_is_device_opened() && (src->play_state == PS_PLAYING || src->play_state == PS_STOPPED)) {
        alSourceStop(src->voice);
        AUREN_AL_CHECK();
        src->play_state = PS_STOPPED;
    }
    __auren_unlock();
}

static ALint __auren_source_al_state(const auren_source_t *src)
{
    ALint state = AL_STOPPED;
    alGetSourcei(src->voice, AL_SOURCE_STATE, &state);
    AUREN_AL_CHECK();
    return state;
}

bool __auren_source_is_stopped(const auren_source_t *src)
{
    if (!__auren_is_device_opened() || src->play_state == PS_VIRTUAL) return true;
    return __auren_source_al_state(src) == AL_STOPPED;
}

bool __auren_source_is_paused(const auren_source_t *src)
{
    if (!__auren_is_device_opened() || src->play_state == PS_VIRTUAL) return false;
    return __auren_source_al_state(src) == AL_PAUSED;
}

bool auren_is_playing(auren_source_t *src)
{
    __auren_lock();
    ASSERT(__auren_check_sanity(src));
    bool playing =
        __auren_is_device_opened() && src->play_state != PS_VIRTUAL && __auren_source_al_state(src) == AL_PLAYING;
    __auren_unlock();
    return playing;
}

void auren_set_and_forget(auren_source_t *src)
{
    __auren_lock();
    ASSERT(__auren_check_sanity(src));
    src->state = SS_FORGET;
    __auren_unlock();
}

/* ---- parameters ---- */

static bool __auren_has_voice(const auren_source_t *src)
{
    return __auren_is_device_opened() && (src->play_state == PS_PLAYING || src->play_state == PS_STOPPED);
}

// A value OpenAL would refuse (and a refusal is a fault): warn and keep the old one.
static bool __auren_value_ok(const char *func, float value)
{
    if (std::isfinite(value) && value >= 0.0f) return true;
    do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s(): invalid value %f ignored", func, double(value));
    return false;
}

// Stores a float parameter and passes it on; sanity-checked unless `lenient`,
// in which case a null or free handle is silently ignored.
static void __auren_set_float(const char *func, auren_source_t *src, float auren_source_t::*field, ALenum param,
                              float value, bool lenient)
{
    __auren_lock();
    if (lenient) {
        if (!__auren_check_sanity(src)) {
            __auren_unlock();
            return;
        }
    } else {
        ASSERT(__auren_check_sanity(src));
    }
    if (__auren_value_ok(func, value)) {
        src->*field = value;
        if (param != AL_NONE && __auren_has_voice(src)) {
            alSourcef(src->voice, param, value);
            AUREN_AL_CHECK();
        }
    }
    __auren_unlock();
}

void auren_set_gain(auren_source_t *src, float gain)
{
    __auren_set_float(__func__, src, &auren_source_t::gain, AL_GAIN, gain, false);
}

void auren_set_max_distance(auren_source_t *src, float distance)
{
    __auren_set_float(__func__, src, &auren_source_t::max_distance, AL_MAX_DISTANCE, distance, true);
}

void auren_set_reference_distance(auren_source_t *src, float distance)
{
    __auren_set_float(__func__, src, &auren_source_t::reference_distance, AL_REFERENCE_DISTANCE, distance, false);
}

void auren_set_rolloff_factor(auren_source_t *src, float factor)
{
    __auren_set_float(__func__, src, &auren_source_t::rolloff_factor, AL_ROLLOFF_FACTOR, factor, false);
}

void auren_set_active_distance(auren_source_t *src, float distance)
{
    __auren_lock();
    // Zero or less switches distance management off; not-a-number is refused.
    if (__auren_check_sanity(src)) {
        if (!std::isnan(distance))
            src->active_distance = distance;
        else
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s(): invalid value %f ignored", __func__,
                   double(distance));
    }
    __auren_unlock();
}

void auren_set_position_ws(auren_source_t *src, tacka3 position)
{
    __auren_lock();
    if (__auren_check_sanity(src)) {
        if (tacka3_is_finite(position)) {
            src->position = position;
            if (__auren_has_voice(src)) {
                alSource3f(src->voice, AL_POSITION, position.x, position.y, position.z);
                AUREN_AL_CHECK();
            }
        } else {
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s(): invalid position ignored", __func__);
        }
    }
    __auren_unlock();
}

static void __auren_set_flag(auren_source_t *src, uint8_t auren_source_t::*field, ALenum param, bool on)
{
    __auren_lock();
    ASSERT(__auren_check_sanity(src));
    src->*field = on ? 1 : 0;
    if (__auren_has_voice(src)) {
        alSourcei(src->voice, param, on ? AL_TRUE : AL_FALSE);
        AUREN_AL_CHECK();
    }
    __auren_unlock();
}

void auren_set_looping(auren_source_t *src, bool on)
{
    __auren_set_flag(src, &auren_source_t::looping, AL_LOOPING, on);
}

void auren_set_source_relative(auren_source_t *src, bool on)
{
    __auren_set_flag(src, &auren_source_t::source_relative, AL_SOURCE_RELATIVE, on);
}

void auren_set_pitch(auren_source_t *src, float pitch)
{
    __auren_lock();
    ASSERT(__auren_check_sanity(src));
    if (__auren_is_device_opened() && !auren_system.pitch_shift_supported) {
        __auren_unlock();
        return;
    }
    if (std::isnan(pitch)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s(): invalid value %f ignored", __func__, double(pitch));
    } else {
        if (pitch < AUREN_PITCH_MIN) pitch = AUREN_PITCH_MIN;
        if (pitch > AUREN_PITCH_MAX) pitch = AUREN_PITCH_MAX;
        src->pitch = pitch;
        if (__auren_has_voice(src)) {
            alSourcef(src->voice, AL_PITCH, pitch);
            AUREN_AL_CHECK();
        }
    }
    __auren_unlock();
}

/* ---- listener ---- */

// The listener calls also take the lock once the library runs: the sound
// thread reads the listener position for its distance checks.
static bool __auren_listener_lock()
{
    if (!mutex_auren) return false;
    __auren_lock();
    return true;
}

static void __auren_listener_unlock(bool locked)
{
    if (locked) __auren_unlock();
}

void auren_listener_set_pos(tacka3 position)
{
    if (!tacka3_is_finite(position)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s(): invalid position ignored", __func__);
        return;
    }
    bool locked = __auren_listener_lock();
    auren_system.listener_position = position;
    if (__auren_is_device_opened()) {
        alListener3f(AL_POSITION, position.x, position.y, position.z);
        AUREN_AL_CHECK();
    }
    __auren_listener_unlock(locked);
}

void auren_listener_set_orientation(tacka3 at, tacka3 up)
{
    if (!tacka3_is_finite(at) || !tacka3_is_finite(up)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s(): invalid orientation ignored", __func__);
        return;
    }
    bool locked = __auren_listener_lock();
    if (__auren_is_device_opened()) {
        ALfloat orientation[6] = {at.x, at.y, at.z, up.x, up.y, up.z};
        alListenerfv(AL_ORIENTATION, orientation);
        AUREN_AL_CHECK();
    }
    __auren_listener_unlock(locked);
}

void auren_listener_set_gain(float gain)
{
    if (!__auren_value_ok(__func__, gain)) return;
    bool locked = __auren_listener_lock();
    auren_system.listener_gain = gain;
    if (__auren_is_device_opened()) {
        alListenerf(AL_GAIN, gain);
        AUREN_AL_CHECK();
    }
    __auren_listener_unlock(locked);
}

/* ---- information ---- */

void auren_get_stats(auren_stats_t *stats)
{
    ASSERT(stats != NULL);
    memset(stats, 0, sizeof(*stats));
    if (!auren_is_inited()) return;
    __auren_lock();
    stats->device_opened = __auren_is_device_opened() ? 1 : 0;
    stats->buffer_queues = auren_system.buffer_queues_supported;
    stats->pitch_shift = auren_system.pitch_shift_supported;
    stats->resources_limit = auren_system.resources_limit;
    stats->live_sources = auren_system.live_sources;
    for (auren_sound_t *snd : *auren_system.samples)
        if (snd) stats->samples++;
    for (auren_stream_t *stream : *auren_system.streams)
        if (stream) stats->streams++;
    stats->ticks = auren_system.ticks;
    stats->tick_cpu_seconds = auren_system.tick_cpu_seconds;
    stats->tick_max_seconds = auren_system.tick_max_seconds;
    __auren_unlock();
}
