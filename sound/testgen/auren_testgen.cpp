#include "sound/testgen/auren_testgen.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "sound/encoder/ogg_encoder.h"

static int16_t __to_s16(double v)
{
    if (v > 1.0) v = 1.0;
    if (v < -1.0) v = -1.0;
    return int16_t(std::lrint(v * 32767.0));
}

static testgen_signal __make(double seconds, int channels, int rate)
{
    testgen_signal s;
    s.channels = channels;
    s.rate = rate;
    s.pcm.assign(size_t(std::llround(seconds * rate)) * size_t(channels), 0);
    return s;
}

testgen_signal testgen_sine(double seconds, int channels, int rate, double frequency, double amplitude)
{
    testgen_signal s = __make(seconds, channels, rate);
    for (size_t i = 0; i < s.frames(); i++) {
        int16_t v = __to_s16(amplitude * std::sin(2.0 * M_PI * frequency * double(i) / rate));
        for (int c = 0; c < channels; c++) s.pcm[i * size_t(channels) + size_t(c)] = v;
    }
    return s;
}

testgen_signal testgen_chirp(double seconds, int channels, int rate, double f0, double f1, double amplitude)
{
    testgen_signal s = __make(seconds, channels, rate);
    double k = (f1 - f0) / seconds;
    for (size_t i = 0; i < s.frames(); i++) {
        double t = double(i) / rate;
        int16_t v = __to_s16(amplitude * std::sin(2.0 * M_PI * (f0 * t + 0.5 * k * t * t)));
        for (int c = 0; c < channels; c++) s.pcm[i * size_t(channels) + size_t(c)] = v;
    }
    return s;
}

static uint32_t __xorshift(uint32_t *state)
{
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return *state = x;
}

testgen_signal testgen_noise(double seconds, int channels, int rate, double amplitude, uint32_t seed)
{
    testgen_signal s = __make(seconds, channels, rate);
    uint32_t state = seed ? seed : 1;
    for (int16_t &v : s.pcm) v = __to_s16(amplitude * (double(__xorshift(&state)) / 2147483648.0 - 1.0));
    return s;
}

testgen_signal testgen_music(double seconds, int rate)
{
    static const double CHORDS[4][3] = {
        {220.0, 277.2, 329.6}, {196.0, 246.9, 293.7}, {174.6, 220.0, 261.6}, {196.0, 246.9, 311.1}};
    testgen_signal s = __make(seconds, 2, rate);
    uint32_t state = 12345;
    for (size_t i = 0; i < s.frames(); i++) {
        double t = double(i) / rate;
        const double *chord = CHORDS[size_t(t / 0.5) % 4];
        double l = 0, r = 0;
        for (int n = 0; n < 3; n++) {
            double v = std::sin(2.0 * M_PI * chord[n] * t) + 0.3 * std::sin(4.0 * M_PI * chord[n] * t);
            l += v * (n == 0 ? 0.7 : 0.4);
            r += v * (n == 2 ? 0.7 : 0.4);
        }
        double beat = std::fmod(t, 0.25);
        double hat = beat < 0.03 ? (double(__xorshift(&state)) / 2147483648.0 - 1.0) * (1.0 - beat / 0.03) : 0.0;
        // A quiet bed of noise, different on each side, keeps the encoder as
        // busy as real recordings do.
        double bed_l = 0.04 * (double(__xorshift(&state)) / 2147483648.0 - 1.0);
        double bed_r = 0.04 * (double(__xorshift(&state)) / 2147483648.0 - 1.0);
        s.pcm[i * 2] = __to_s16(0.15 * l + 0.2 * hat + bed_l);
        s.pcm[i * 2 + 1] = __to_s16(0.15 * r + 0.2 * hat + bed_r);
    }
    return s;
}

static bool __write_file(const std::string &path, const void *bytes, size_t size)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes, 1, size, f) == size;
    if (fclose(f) != 0) ok = false;
    return ok;
}

bool testgen_write_ogg(const std::string &path, const testgen_signal &signal, float quality)
{
    std::vector<float> samples(signal.pcm.size());
    for (size_t i = 0; i < samples.size(); i++) samples[i] = float(signal.pcm[i]) / 32768.0f;
    std::vector<uint8_t> bytes;
    if (!ogg_encode(samples.data(), signal.frames(), signal.channels, signal.rate, quality, 0x5eed, "auren_testgen",
                    bytes))
        return false;
    return __write_file(path, bytes.data(), bytes.size());
}

static void __put32(std::string &out, uint32_t v)
{
    for (int i = 0; i < 4; i++) out.push_back(char((v >> (8 * i)) & 0xff));
}
static void __put16(std::string &out, uint16_t v)
{
    out.push_back(char(v & 0xff));
    out.push_back(char(v >> 8));
}

bool testgen_write_wav(const std::string &path, const testgen_signal &signal, int bits)
{
    if (bits != 8 && bits != 16) return false;
    uint32_t block = uint32_t(signal.channels * bits / 8);
    uint32_t data_size = uint32_t(signal.frames()) * block;
    std::string out = "RIFF";
    __put32(out, 36 + data_size + (data_size & 1));
    out += "WAVEfmt ";
    __put32(out, 16);
    __put16(out, 1);
    __put16(out, uint16_t(signal.channels));
    __put32(out, uint32_t(signal.rate));
    __put32(out, uint32_t(signal.rate) * block);
    __put16(out, uint16_t(block));
    __put16(out, uint16_t(bits));
    out += "data";
    __put32(out, data_size);
    for (int16_t v : signal.pcm) {
        if (bits == 16)
            __put16(out, uint16_t(v));
        else
            out.push_back(char(uint8_t((v >> 8) + 128)));
    }
    if (data_size & 1) out.push_back(0);
    return __write_file(path, out.data(), out.size());
}
