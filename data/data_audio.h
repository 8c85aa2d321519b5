#pragma once
// Sound synthesis for the generators: a float sample buffer, the usual
// oscillators, envelopes and filters, and Ogg Vorbis output. All noise comes
// from seeded hashes, so every sound is the same on every build.

#include <cstdint>
#include <string>
#include <vector>

struct data_ctx;

#define AUDIO_RATE 44100
#define AUDIO_PI 3.14159265358979f

struct audio_buf {
    int rate = AUDIO_RATE;
    int channels = 1;
    std::vector<float> s; // interleaved
    size_t frames() const { return s.size() / channels; }
};

audio_buf audio_make(float seconds, int channels = 1, int rate = AUDIO_RATE);
audio_buf audio_make_frames(size_t frames, int channels = 1, int rate = AUDIO_RATE);

// White noise in -1..1 from a seed and a sample index.
float audio_noise(uint32_t seed, uint32_t i);
// Band-limited-enough oscillators by phase in cycles (0..1 wraps).
float audio_saw(float phase);
float audio_square(float phase, float width = 0.5f);
float audio_tri(float phase);

// A state-variable filter (Chamberlin): low, band and high outputs.
struct audio_svf {
    float low = 0, band = 0;
    float process(float in, float cutoff_hz, float q, int rate, float *band_out = nullptr, float *high_out = nullptr);
};
// One-pole low-pass.
struct audio_lp1 {
    float y = 0;
    float process(float in, float cutoff_hz, int rate);
};

// Attack-decay envelope at time t (seconds): rises over a, decays exponentially with time constant d.
float audio_env_ad(float t, float a, float d);
// A smooth fade over the first and last `seconds` (raised cosine).
void audio_fade_edges(audio_buf &b, float in_seconds, float out_seconds);
// Scales so the highest peak is `peak` (below full scale, never clipping).
void audio_normalise(audio_buf &b, float peak);
// Makes a seamless loop of `loop_frames` frames: the buffer must hold at least
// loop_frames + fade frames; its tail past the loop is cross-faded into the start.
void audio_make_loop(audio_buf &b, size_t loop_frames, size_t fade_frames);
// A deterministic stereo room (Schroeder: combs and all-passes). When cyclic,
// the effect runs over the buffer twice so its tail wraps into the start,
// keeping a loop seamless.
void audio_reverb(audio_buf &b, float mix, float room, bool cyclic);
// A stereo echo of the given delay and feedback, cyclic like the reverb.
void audio_echo(audio_buf &b, float delay_s, float feedback, float mix, bool cyclic);
// Peak of the absolute sample values.
float audio_peak(const audio_buf &b);

// Encodes to Ogg Vorbis (quality -0.1 .. 1.0) with a fixed stream serial.
bool audio_encode_ogg(const audio_buf &b, float quality, uint32_t serial, std::vector<uint8_t> &out);
// Encodes and writes a sound under its game name; the serial comes from the name.
bool audio_write_ogg(data_ctx &ctx, const std::string &name, const audio_buf &b, float quality);
