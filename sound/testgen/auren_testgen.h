#pragma once
// Test signals for the sound tests and the benchmark, written as Ogg Vorbis
// (libvorbisenc) or WAV files.

#include <cstdint>
#include <string>
#include <vector>

struct testgen_signal {
    std::vector<int16_t> pcm; // interleaved
    int channels;
    int rate;
    size_t frames() const { return channels > 0 ? pcm.size() / size_t(channels) : 0; }
};

// A sine of constant frequency; amplitude in 0..1 of full scale.
testgen_signal testgen_sine(double seconds, int channels, int rate, double frequency, double amplitude);
// A sine whose frequency rises linearly from f0 to f1 over the signal.
testgen_signal testgen_chirp(double seconds, int channels, int rate, double f0, double f1, double amplitude);
// White noise from a fixed seed.
testgen_signal testgen_noise(double seconds, int channels, int rate, double amplitude, uint32_t seed);
// Something like music: stereo chords changing every half second over a beat
// of noise bursts. Exercises the decoder as real music does.
testgen_signal testgen_music(double seconds, int rate);

// Encodes at the given Vorbis quality (-0.1 .. 1). False when it cannot write.
bool testgen_write_ogg(const std::string &path, const testgen_signal &signal, float quality = 0.4f);
// 8 or 16 bits per sample.
bool testgen_write_wav(const std::string &path, const testgen_signal &signal, int bits = 16);
