#pragma once
// auren: positional sound effects over OpenAL.
//
// A sample is one sound file (Ogg Vorbis or WAV) decoded whole into one
// buffer, shared by path with a reference count. A source is one playing
// instance of a sample, with its own gain, pitch, looping, distance
// attenuation and position. Source handles stay valid until their slot is
// released: by auren_sound_deinit of the sample, or by the sound thread for a
// set-and-forget source that has stopped.
//
// Every call also works when no sound device could be opened: the records are
// kept and nothing is heard. A sound thread wakes every 150 ms to give back
// the voices of stopped sources, start and stop distance-managed sources as
// the listener moves, and feed the music streams (auren_stream.h).
//
// All calls come from the game thread. They must not nest.

#include <cstdint>

#include "corelib/tacka.h"

struct auren_sound_t;
struct auren_source_t;

// Source slot states.
enum {
    SS_UNDEF = 0,  // free slot
    SS_OWNED = 1,  // kept by the game
    SS_FORGET = 2, // released by the sound thread once stopped
};

// Source play states.
enum {
    PS_VIRTUAL = 1, // holds no OpenAL source
    PS_STOPPED = 2,
    PS_PLAYING = 3,
};

// auren_play flags.
enum {
    AUREN_PLAY_FORGET = 1 << 0, // a one-shot effect that cleans itself up
};

#define AUREN_DEFAULT_MAX_DISTANCE 4131.0f
#define AUREN_PITCH_MIN 0.01f
#define AUREN_PITCH_MAX 1.99f
// Seconds between two ticks of the sound thread.
#define AUREN_THREAD_PERIOD 0.150

// Opens the sound device (or runs silent when none works) and starts the
// sound thread. Must not be called twice without auren_deinit between.
void auren_init();
// Stops the sound thread and closes the device. Every voice must have been
// given back first (samples freed, streams released); a voice still held is
// a fault report.
void auren_deinit();
uint8_t auren_is_inited();

// Loads a ".ogg" or ".wav" file (the extension in any letter case), or shares
// the sample already loaded from exactly this path. Null when the file cannot
// be read or is not valid audio; the reason is logged with the file name.
// Any other extension is a fault report.
auren_sound_t *auren_load(const char *path);
// Drops one reference; the last one frees the sample and all its sources.
void auren_sound_deinit(auren_sound_t *snd);

// A new source of the sample (not playing, no voice yet), or null.
auren_source_t *auren_source_add(auren_sound_t *snd);
// auren_source_add and auren_source_play; with AUREN_PLAY_FORGET the source
// is released automatically once it has stopped.
auren_source_t *auren_play(auren_sound_t *snd, uint32_t flags);
// Starts (or restarts) the source. False when no OpenAL voice was free: the
// source stays silent and keeps its settings.
bool auren_source_play(auren_source_t *src);
// Stops the source; the sound thread gives its voice back at its next tick.
void auren_stop(auren_source_t *src);
bool auren_is_playing(auren_source_t *src);
void auren_set_and_forget(auren_source_t *src);

// Parameters are kept in the source and reach OpenAL whenever it has a voice.
// A negative or non-finite value is refused with a warning.
void auren_set_gain(auren_source_t *src, float gain);
void auren_set_position_ws(auren_source_t *src, tacka3 position);
void auren_set_max_distance(auren_source_t *src, float distance);
void auren_set_reference_distance(auren_source_t *src, float distance);
void auren_set_rolloff_factor(auren_source_t *src, float factor);
void auren_set_looping(auren_source_t *src, bool on);
void auren_set_source_relative(auren_source_t *src, bool on);
// Above 0: the source plays only while the listener is within this radius of
// it (the sound thread starts and stops it).
void auren_set_active_distance(auren_source_t *src, float distance);
// Clamped to [AUREN_PITCH_MIN, AUREN_PITCH_MAX]; ignored by a device that
// cannot shift pitch.
void auren_set_pitch(auren_source_t *src, float pitch);

void auren_listener_set_pos(tacka3 position);
void auren_listener_set_orientation(tacka3 at, tacka3 up);
// The master volume.
void auren_listener_set_gain(float gain);

// What the library is doing, for tools and benchmarks.
struct auren_stats_t {
    uint8_t device_opened;   // a device passed the tests and is open
    uint8_t buffer_queues;   // the device passed the buffer-queue test
    uint8_t pitch_shift;     // the device passed the pitch test
    int32_t resources_limit; // OpenAL sources that could be made at start
    int32_t live_sources;    // OpenAL sources held now (voices of sources and streams)
    int32_t samples;         // samples loaded
    int32_t streams;         // streams open
    uint64_t ticks;          // sound thread ticks so far
    double tick_cpu_seconds; // CPU time the sound thread spent in its ticks
    double tick_max_seconds; // longest tick (wall clock)
};
void auren_get_stats(auren_stats_t *stats);

// Facts about a loaded sample: channels, samples per second and length in
// seconds (length 0 when no device is open: the data is not decoded then).
void auren_sound_get_info(auren_sound_t *snd, int *channels, int *frequency, double *seconds);
