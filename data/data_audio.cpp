#include "data_audio.h"

#include <algorithm>
#include <cmath>

#include "data_build.h"
#include "data_noise.h"
#include "sound/encoder/ogg_encoder.h"

audio_buf audio_make(float seconds, int channels, int rate)
{
    return audio_make_frames(size_t(std::lround(seconds * rate)), channels, rate);
}

audio_buf audio_make_frames(size_t frames, int channels, int rate)
{
    audio_buf b;
    b.rate = rate;
    b.channels = channels;
    b.s.assign(frames * channels, 0.0f);
    return b;
}

float audio_noise(uint32_t seed, uint32_t i) { return noise_hash01(i, seed, 0x5eed) * 2 - 1; }

float audio_saw(float phase) { return 2 * (phase - std::floor(phase)) - 1; }

float audio_square(float phase, float width) { return (phase - std::floor(phase)) < width ? 1.0f : -1.0f; }

float audio_tri(float phase)
{
    float p = phase - std::floor(phase);
    return p < 0.5f ? 4 * p - 1 : 3 - 4 * p;
}

float audio_svf::process(float in, float cutoff_hz, float q, int rate, float *band_out, float *high_out)
{
    // Two passes per sample keep the filter stable up to high cutoffs.
    float f = 2 * std::sin(AUDIO_PI * std::min(cutoff_hz, rate * 0.2f) / (rate * 2));
    float damp = 1.0f / std::max(0.5f, q);
    float high = 0;
    for (int k = 0; k < 2; k++) {
        low += f * band;
        high = in - low - damp * band;
        band += f * high;
    }
    if (band_out) *band_out = band;
    if (high_out) *high_out = high;
    return low;
}

float audio_lp1::process(float in, float cutoff_hz, int rate)
{
    float a = 1 - std::exp(-2 * AUDIO_PI * cutoff_hz / rate);
    y += (in - y) * a;
    return y;
}

float audio_env_ad(float t, float a, float d)
{
    if (t < 0) return 0;
    if (t < a) return t / a;
    return std::exp(-(t - a) / d);
}

void audio_fade_edges(audio_buf &b, float in_seconds, float out_seconds)
{
    size_t n = b.frames();
    size_t fi = std::min(n, size_t(in_seconds * b.rate)), fo = std::min(n, size_t(out_seconds * b.rate));
    for (size_t i = 0; i < fi; i++) {
        float g = 0.5f - 0.5f * std::cos(AUDIO_PI * i / fi);
        for (int c = 0; c < b.channels; c++) b.s[i * b.channels + c] *= g;
    }
    for (size_t i = 0; i < fo; i++) {
        float g = 0.5f - 0.5f * std::cos(AUDIO_PI * i / fo);
        size_t k = n - 1 - i;
        for (int c = 0; c < b.channels; c++) b.s[k * b.channels + c] *= g;
    }
}

float audio_peak(const audio_buf &b)
{
    float p = 0;
    for (float v : b.s) p = std::max(p, std::fabs(v));
    return p;
}

void audio_normalise(audio_buf &b, float peak)
{
    float p = audio_peak(b);
    if (p <= 0) return;
    float k = peak / p;
    for (float &v : b.s) v *= k;
}

void audio_make_loop(audio_buf &b, size_t loop_frames, size_t fade_frames)
{
    int ch = b.channels;
    fade_frames = std::min(fade_frames, b.frames() - std::min(b.frames(), loop_frames));
    // Equal-power cross-fade of the overhang into the start.
    for (size_t i = 0; i < fade_frames; i++) {
        float t = (i + 0.5f) / fade_frames;
        float gin = std::sin(t * AUDIO_PI * 0.5f), gout = std::cos(t * AUDIO_PI * 0.5f);
        for (int c = 0; c < ch; c++) b.s[i * ch + c] = b.s[i * ch + c] * gin + b.s[(loop_frames + i) * ch + c] * gout;
    }
    b.s.resize(loop_frames * ch);
}

// Runs fn(sample in, channel) -> sample out over the buffer; cyclic runs it
// over the buffer twice and keeps the second pass.
template <typename F> static void __run_effect(audio_buf &b, bool cyclic, F fn)
{
    size_t n = b.frames();
    int ch = b.channels;
    std::vector<float> out(b.s.size());
    for (int pass = cyclic ? 0 : 1; pass < 2; pass++)
        for (size_t i = 0; i < n; i++)
            for (int c = 0; c < ch; c++) out[i * ch + c] = fn(b.s[i * ch + c], c, i);
    b.s.swap(out);
}

void audio_reverb(audio_buf &b, float mix, float room, bool cyclic)
{
    struct line {
        std::vector<float> buf;
        size_t pos = 0;
        float store = 0;
    };
    static const int comb_len[4] = {1557, 1617, 1491, 1422};
    static const int ap_len[2] = {556, 441};
    int ch = b.channels;
    float scale = b.rate / 44100.0f;
    std::vector<line> combs(4 * ch), aps(2 * ch);
    for (int c = 0; c < ch; c++) {
        for (int k = 0; k < 4; k++) combs[c * 4 + k].buf.assign(size_t((comb_len[k] + 23 * c) * scale), 0);
        for (int k = 0; k < 2; k++) aps[c * 2 + k].buf.assign(size_t((ap_len[k] + 23 * c) * scale), 0);
    }
    float feedback = 0.7f + room * 0.28f, damp = 0.3f;
    __run_effect(b, cyclic, [&](float in, int c, size_t) {
        float acc = 0;
        for (int k = 0; k < 4; k++) {
            line &l = combs[c * 4 + k];
            float y = l.buf[l.pos];
            l.store = y * (1 - damp) + l.store * damp;
            l.buf[l.pos] = in * 0.3f + l.store * feedback;
            l.pos = (l.pos + 1) % l.buf.size();
            acc += y;
        }
        for (int k = 0; k < 2; k++) {
            line &l = aps[c * 2 + k];
            float y = l.buf[l.pos];
            l.buf[l.pos] = acc + y * 0.5f;
            l.pos = (l.pos + 1) % l.buf.size();
            acc = y - acc;
        }
        return in * (1 - mix * 0.5f) + acc * mix * 0.25f;
    });
}

void audio_echo(audio_buf &b, float delay_s, float feedback, float mix, bool cyclic)
{
    // Each channel has its own delay (the right one three quarters of the
    // left), which spreads the repeats across the stereo field.
    int ch = b.channels;
    std::vector<std::vector<float>> lines(ch);
    std::vector<size_t> pos(ch, 0);
    for (int c = 0; c < ch; c++)
        lines[c].assign(std::max<size_t>(1, size_t(delay_s * b.rate * (c ? 0.75f : 1.0f))), 0.0f);
    __run_effect(b, cyclic, [&](float in, int c, size_t) {
        std::vector<float> &l = lines[c];
        float y = l[pos[c]];
        l[pos[c]] = in + y * feedback;
        pos[c] = (pos[c] + 1) % l.size();
        return in + y * mix;
    });
}

bool audio_encode_ogg(const audio_buf &b, float quality, uint32_t serial, std::vector<uint8_t> &out)
{
    return ogg_encode(b.s.data(), b.frames(), b.channels, b.rate, quality, serial, "vorn-data", out);
}

bool audio_write_ogg(data_ctx &ctx, const std::string &name, const audio_buf &b, float quality)
{
    uint32_t serial = 0x766f726e; // "vorn", mixed with the name
    for (char c : name) serial = noise_hash(serial ^ uint8_t(c));
    std::vector<uint8_t> bytes;
    if (!audio_encode_ogg(b, quality, serial & 0x7fffffff, bytes)) return false;
    data_preview_sound(ctx, name, b);
    return data_write_file(ctx, name, bytes);
}
