#pragma once
// Music and long voice tracks: Ogg Vorbis files decoded piece by piece into a
// ring of buffers by the sound thread. The game only sets the wanted state of
// a stream; the sound thread acts on it at its next tick (within 150 ms).
// Streams are not positional: they play at the listener whatever its place.

#include <cstdint>

struct auren_stream_t;

// Stream states: the first four are set by the game.
enum {
    STREAM_STOP = 1,
    STREAM_PAUSE = 2,
    STREAM_PLAY = 3,
    STOP_AND_DEINIT = 4,
    STREAM_DRAIN = 5, // a non-looping file has been read to its end and plays out
};

#define AUREN_STREAM_BUFFERS 10
#define AUREN_STREAM_BUFFER_BYTES 16300

// Opens an Ogg Vorbis file for streaming (stopped, gain 1, not looping).
// Null, with the reason logged, when the file is missing or not valid.
auren_stream_t *auren_stream(const char *path);
void auren_stream_play(auren_stream_t *stream);
// Stops and gives the voice back; playing again continues from where the
// decoder is (the audio that was queued but not yet heard is skipped).
void auren_stream_stop(auren_stream_t *stream);
// Pauses; playing again resumes exactly where it paused.
void auren_stream_pause(auren_stream_t *stream);
void auren_stream_set_looping(auren_stream_t *stream, bool on);
void auren_stream_set_gain(auren_stream_t *stream, float gain);
// Releases the stream at the sound thread's next tick (or at auren_deinit);
// the handle must not be used afterwards.
void auren_stream_stop_and_deinit(auren_stream_t *stream);

// The stream's state: one of the STREAM_ values above. A non-looping stream
// that has played to its end is in STREAM_PAUSE.
int auren_stream_get_state(auren_stream_t *stream);
// Channels, samples per second and length in seconds of the file.
void auren_stream_get_info(auren_stream_t *stream, int *channels, int *rate, double *seconds);
