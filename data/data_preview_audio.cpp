// Pictures of sounds for the contact sheets: a spectrogram (time across,
// frequency up on a log scale from 40 Hz to 16 kHz, loudness as colour) over
// a waveform strip, so that a sound's shape can be judged at a glance.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

#include "data_audio.h"
#include "data_build.h"

#define SPEC_FFT 2048

static void __fft(std::vector<std::complex<float>> &a)
{
    size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; i++) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        float ang = -2 * AUDIO_PI / len;
        std::complex<float> wl(std::cos(ang), std::sin(ang));
        for (size_t i = 0; i < n; i += len) {
            std::complex<float> w(1);
            for (size_t k = 0; k < len / 2; k++) {
                std::complex<float> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
}

static rgba __heat(float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    static const rgba stops[5] = {rgba_u8(0, 0, 8), rgba_u8(60, 10, 110), rgba_u8(200, 40, 90), rgba_u8(255, 160, 40),
                                  rgba_u8(255, 255, 210)};
    float x = t * 4;
    int i = std::min(3, int(x));
    return rgba_mix(stops[i], stops[i + 1], x - i);
}

data_image data_sound_picture(const audio_buf &b, int w, int h)
{
    int wave_h = h / 4, spec_h = h - wave_h;
    data_image img = image_make(w, h, rgba_u8(0, 0, 8));
    size_t n = b.frames();
    std::vector<float> mono(n);
    for (size_t i = 0; i < n; i++) {
        float s = 0;
        for (int c = 0; c < b.channels; c++) s += b.s[i * b.channels + c];
        mono[i] = s / b.channels;
    }
    std::vector<std::complex<float>> buf(SPEC_FFT);
    for (int x = 0; x < w; x++) {
        long centre = long(double(x + 0.5) / w * n);
        for (int k = 0; k < SPEC_FFT; k++) {
            long i = centre - SPEC_FFT / 2 + k;
            float win = 0.5f - 0.5f * std::cos(2 * AUDIO_PI * k / (SPEC_FFT - 1));
            buf[k] = (i >= 0 && size_t(i) < n) ? mono[i] * win : 0.0f;
        }
        __fft(buf);
        for (int y = 0; y < spec_h; y++) {
            float frac = 1 - (y + 0.5f) / spec_h;
            float hz = 40 * std::pow(400.0f, frac); // 40 Hz .. 16 kHz
            int bin = std::clamp(int(hz / b.rate * SPEC_FFT), 1, SPEC_FFT / 2 - 1);
            float mag = std::abs(buf[bin]) / (float(SPEC_FFT) / 4.0f);
            float db = 20 * std::log10(std::max(mag, 1e-6f));
            image_at(img, x, y) = __heat((db + 80) / 80);
        }
        // Waveform: the peak in this column's stretch of samples.
        size_t a = size_t(double(x) / w * n), e = std::max(a + 1, size_t(double(x + 1) / w * n));
        float peak = 0;
        for (size_t i = a; i < e && i < n; i++) peak = std::max(peak, std::fabs(mono[i]));
        int mid = spec_h + wave_h / 2,
            half = int(peak * float(wave_h / 2 - 1)); // NOLINT(bugprone-integer-division): whole pixels
        for (int y = mid - half; y <= mid + half; y++) image_at(img, x, y) = rgba_u8(110, 220, 255);
    }
    return img;
}

void data_preview_sound(data_ctx &ctx, const std::string &name, const audio_buf &b)
{
    if (ctx.preview_dir.empty()) return;
    char info[64];
    std::snprintf(info, sizeof info, "%.2f s, %s, %d Hz", double(b.frames()) / b.rate,
                  b.channels == 1 ? "mono" : "stereo", b.rate);
    bool music = b.channels == 2;
    ctx.sheets[music ? "music" : "sounds"].push_back(
        {name, data_sound_picture(b, DATA_PREVIEW_THUMB, DATA_PREVIEW_THUMB * 3 / 4), 0, 0, 0, info});
    if (music) {
        std::string layout = "music-" + name.substr(name.find_last_of('\\') + 1);
        layout = layout.substr(0, layout.size() - 4);
        ctx.layouts[layout] = data_sound_picture(b, 1280, 320);
    }
}
