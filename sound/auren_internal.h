#pragma once
// The sound library's records and the functions its files share. Not for the
// game: it talks to auren.h and auren_stream.h.

#include <AL/al.h>
#include <AL/alc.h>
#include <atomic>
#include <cstdio>

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "corelib/array.h"
#include "corelib/tacka.h"
#include "corelib/threads.h"
#include "sound/auren.h"
#include "sound/auren_stream.h"

// At most this many OpenAL sources are counted at start.
#define AUREN_MAX_RESOURCES 1024
// A sample's file may be at most this big, and its decoded data too.
#define AUREN_SAMPLE_MAX_FILE_BYTES (64u << 20)
#define AUREN_SAMPLE_MAX_PCM_BYTES (256u << 20)
// Samples per second a file may declare.
#define AUREN_MIN_RATE 1000
#define AUREN_MAX_RATE 384000

// Run states of the sound thread.
enum {
    AUREN_RUN_NONE = 0,
    AUREN_RUN_RUNNING = 1,
    AUREN_RUN_STOP = 2,
};

struct auren_source_t {
    int32_t state;      // SS_
    int32_t play_state; // PS_, or 0 for a free slot
    ALuint voice;       // valid unless PS_VIRTUAL
    auren_sound_t *sample;
    float active_distance;
    float reference_distance;
    float max_distance;
    float rolloff_factor;
    float pitch;
    float gain;
    tacka3 position;
    uint8_t looping;
    uint8_t source_relative;
};

struct auren_sound_t {
    int32_t ref_count;
    char *name;
    // Slots are allocated one by one and never move: handles point at them.
    array<auren_source_t *> *sources;
    ALuint buffer;
    int32_t format;
    int32_t frequency;
    int32_t channels;
    int32_t index;
    uint32_t frames; // samples per channel in the buffer
};

struct auren_stream_t {
    int32_t state;
    FILE *file;
    char *name;
    OggVorbis_File decoder;
    vorbis_info *info;
    vorbis_comment *comment;
    ALuint buffers[AUREN_STREAM_BUFFERS];
    // Buffers of the ring not queued on the voice, ready to be filled.
    ALuint free_buffers[AUREN_STREAM_BUFFERS];
    int32_t free_count;
    int32_t format;
    int32_t channels;
    int32_t rate;
    int32_t list_index;
    int64_t total;
    uint32_t bytes_read;
    uint8_t started;
    uint8_t paused;
    float reference_distance;
    float max_distance;
    float rolloff;
    float pitch;
    float gain;
    uint8_t looping;
    ALuint voice;
};

struct auren_system_t {
    ALCdevice *device;
    ALCcontext *context;
    uint8_t inited;
    std::atomic<int> run_state;
    int32_t resources_limit;
    int32_t live_sources;
    tacka3 listener_position;
    float listener_gain;
    array<auren_sound_t *> *samples;
    array<auren_stream_t *> *streams;
    uint8_t buffer_queues_supported;
    uint8_t pitch_shift_supported;
    uint8_t no_sound;
    uint8_t auren_locked_extern;
    uint8_t auren_locked_intern;
    thread_id sound_thread;
    array<char *> *device_names;
    uint64_t ticks;
    double tick_cpu_seconds;
    double tick_max_seconds;
};

extern auren_system_t auren_system;
extern sys_mutex *mutex_auren;

// Locking of public calls (the game thread) and of the sound thread's tick.
void __auren_lock();
void __auren_unlock();
void __auren_lock_intern();
void __auren_unlock_intern();

bool __auren_is_device_opened();

// OpenAL error checks: true (after logging) when an error was pending.
bool __auren_check_error(const char *func, const char *file, int line, bool loud);
bool __auren_check_context_error(ALCdevice *device, const char *func, const char *file, int line);
#define AUREN_AL_FAILED() __auren_check_error(__func__, __FILE__, __LINE__, false)
#define AUREN_AL_CHECK() \
    do { \
        if (__auren_check_error(__func__, __FILE__, __LINE__, true)) BUG(); \
    } while (0)

// The device (auren_device.cpp).
void __auren_choose_device();
void __auren_close_device();
int auren_get_resources();

// Sources (auren.cpp).
bool __auren_check_sanity(const auren_source_t *src);
bool __auren_source_give_voice(auren_source_t *src);
void __auren_source_release_voice(auren_source_t *src);
void __auren_source_deinit(auren_source_t *src);
bool __auren_source_is_stopped(const auren_source_t *src);
bool __auren_source_is_paused(const auren_source_t *src);

// The sound thread and its work (auren_thread.cpp, auren_stream.cpp).
void auren_thread_update(void *argument);
void __cleanup_dead_sources();
void __sounds_check_active_distances();
void __stream_update(double elapsed);
// Frees the streams the game has released (stop-and-deinit) that no tick has
// freed yet.
void __auren_streams_free_released();
// Frees the streams still open at auren_deinit (none of them holds a voice).
void __auren_streams_free_all();

// Decoding (auren_decode.cpp, auren_wav.cpp).
struct auren_pcm_t {
    array<char> *data; // null when only the header was read
    int32_t format;
    int32_t channels;
    int32_t frequency;
    uint32_t frames;
};
// Reads a whole sample file (a regular file of at most AUREN_SAMPLE_MAX_FILE_BYTES);
// false, with the message naming the file, otherwise. The caller frees the block.
bool __read_sample_file(const char *path, void **bytes, size_t *size);
// Reads and checks an Ogg Vorbis or WAV file; decodes it into pcm->data when
// decode is set. False with the reason logged (naming the file) otherwise.
bool __load_ogg_data(const char *path, auren_pcm_t *pcm, bool decode);
bool __load_wav_data(const char *path, auren_pcm_t *pcm, bool decode);
// The same for a file already in memory (name is used in messages only; the
// bytes stay the caller's).
bool __load_ogg_memory(const char *name, const void *bytes, size_t size, auren_pcm_t *pcm, bool decode);
bool __load_wav_memory(const char *name, const void *bytes, size_t size, auren_pcm_t *pcm, bool decode);
void __auren_pcm_free(auren_pcm_t *pcm);

// Walks all pages of an Ogg file held in memory or read through next(): false
// with the reason when it is not a whole, intact Ogg stream (bytes outside
// pages, a bad page checksum, a cut last page, or no end-of-stream mark).
typedef long (*auren_read_fn)(void *source, char *into, long size);
bool __auren_ogg_check_pages(auren_read_fn next, void *source, const char **why);

// Opens the decoder over an open file, after checking its pages; checks the
// channel count and rate. The file is rewound first and stays the caller's.
bool __auren_ogg_open_file(FILE *file, OggVorbis_File *decoder, const char **why);
// Checks the decoder's stream information; false with the reason.
bool __auren_ogg_check_info(OggVorbis_File *decoder, const char **why);

// WAV parsing over bytes in memory.
struct auren_wav_t {
    const uint8_t *data; // the sample data inside the parsed bytes
    uint32_t size;       // bytes of sample data
    int32_t format;      // AL_FORMAT_
    int32_t channels;
    int32_t bits;
    int32_t frequency;
    uint32_t frames;
};
bool __auren_wav_parse(const uint8_t *bytes, size_t size, auren_wav_t *wav, const char **why);

// Streams (auren_stream.cpp): fills the chunk from the decoder; *filled is
// the number of bytes written (the rest of the chunk is zeroed). False once
// a non-looping stream has reached the end of its data.
bool __ogg_read_buffer(auren_stream_t *stream, uint32_t size, char *buffer, uint32_t *filled);
