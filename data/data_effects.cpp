// Sound effects, synthesised. Positional sounds are mono (OpenAL places only
// mono sources); loops are built so their end runs into their start without a
// click; every effect peaks below full scale.

#include <cmath>

#include "data_audio.h"
#include "data_build.h"

#define EFFECT_PEAK 0.89f // about -1 dBFS
#define EFFECT_QUALITY 0.5f

// Fighter laser: a bright falling zap with a little grit.
static audio_buf __laser(float f0, float f1, float length, float grit, uint32_t seed)
{
    audio_buf b = audio_make(length);
    float phase = 0, phase2 = 0;
    audio_svf f;
    for (size_t i = 0; i < b.frames(); i++) {
        float t = float(i) / b.rate;
        float k = t / length;
        float freq = f1 + (f0 - f1) * std::exp(-k * 6);
        phase += freq / b.rate;
        phase2 += freq * 1.503f / b.rate;
        float tone = audio_saw(phase) * 0.6f + audio_square(phase2, 0.3f) * 0.25f;
        float noise = audio_noise(seed, uint32_t(i)) * grit * std::exp(-t * 40);
        float v = f.process(tone + noise, 2500 + 6000 * std::exp(-k * 4), 1.2f, b.rate);
        b.s[i] = v * audio_env_ad(t, 0.003f, length * 0.3f);
    }
    audio_fade_edges(b, 0.002f, 0.02f);
    audio_normalise(b, EFFECT_PEAK);
    return b;
}

// Explosion: a noise burst through a closing filter, a sub-bass thump and crackle.
static audio_buf __explosion(uint32_t seed)
{
    audio_buf b = audio_make(2.2f);
    audio_svf f, g;
    float thump = 0;
    for (size_t i = 0; i < b.frames(); i++) {
        float t = float(i) / b.rate;
        float n = audio_noise(seed, uint32_t(i));
        float body = f.process(n, 200 + 3500 * std::exp(-t * 3.5f), 0.8f, b.rate) * audio_env_ad(t, 0.005f, 0.45f);
        thump += (55 + 60 * std::exp(-t * 8)) / b.rate;
        float sub = std::sin(2 * AUDIO_PI * thump) * audio_env_ad(t, 0.002f, 0.25f) * 0.9f;
        float crackle = 0;
        if (audio_noise(seed + 1, uint32_t(i / 64)) > 0.93f - t * 0.1f) crackle = n * std::exp(-t * 2.5f);
        float hi;
        g.process(crackle, 3000, 0.7f, b.rate, nullptr, &hi);
        b.s[i] = body * 1.2f + sub + hi * 0.35f;
    }
    audio_fade_edges(b, 0.001f, 0.3f);
    audio_normalise(b, EFFECT_PEAK);
    return b;
}

// Missile launch: an ignition thump, then a rising, fading rocket hiss.
static audio_buf __missile(uint32_t seed)
{
    audio_buf b = audio_make(1.6f);
    audio_svf f;
    float ph = 0;
    for (size_t i = 0; i < b.frames(); i++) {
        float t = float(i) / b.rate;
        float n = audio_noise(seed, uint32_t(i));
        float band;
        f.process(n, 600 + 2400 * std::min(1.0f, t * 2.5f), 1.5f, b.rate, &band);
        float hiss = band * audio_env_ad(t, 0.08f, 0.55f);
        ph += (90 - 40 * t) / b.rate;
        float thump = std::sin(2 * AUDIO_PI * ph) * audio_env_ad(t, 0.002f, 0.08f);
        b.s[i] = hiss * 1.4f + thump * 0.8f;
    }
    audio_fade_edges(b, 0.002f, 0.25f);
    audio_normalise(b, EFFECT_PEAK);
    return b;
}

// A plain tone blip with soft edges.
static void __blip(audio_buf &b, float start, float length, float freq, float gain)
{
    size_t a = size_t(start * b.rate), n = size_t(length * b.rate);
    for (size_t i = 0; i < n && a + i < b.frames(); i++) {
        float t = float(i) / b.rate;
        float env = std::min(1.0f, std::min(t, length - t) / 0.005f);
        float v = std::sin(2 * AUDIO_PI * freq * t) * 0.8f + std::sin(2 * AUDIO_PI * freq * 2 * t) * 0.2f;
        b.s[a + i] += v * env * gain;
    }
}

// Alarm: two falling tones per second; silence at both ends of the loop.
static audio_buf __alarm()
{
    audio_buf b = audio_make(1.0f);
    __blip(b, 0.02f, 0.2f, 880, 1);
    __blip(b, 0.26f, 0.2f, 660, 1);
    audio_normalise(b, EFFECT_PEAK * 0.8f);
    return b;
}

static audio_buf __target_beep()
{
    audio_buf b = audio_make(0.25f);
    __blip(b, 0.01f, 0.06f, 1320, 1);
    __blip(b, 0.11f, 0.06f, 1760, 1);
    audio_normalise(b, EFFECT_PEAK * 0.7f);
    return b;
}

// Loops: generated past their end and cross-faded, with tones of whole
// cycles in the loop length so they join exactly.
#define LOOP_SECONDS 2.0f
#define LOOP_FADE 0.25f

template <typename F> static audio_buf __loop(float seconds, F sample)
{
    size_t loop = size_t(seconds * AUDIO_RATE), fade = size_t(LOOP_FADE * AUDIO_RATE);
    audio_buf b = audio_make_frames(loop + fade);
    for (size_t i = 0; i < b.frames(); i++) b.s[i] = sample(i, float(i) / AUDIO_RATE);
    audio_make_loop(b, loop, fade);
    audio_normalise(b, EFFECT_PEAK * 0.8f);
    return b;
}

// Engine: a low turbine hum (55 Hz and harmonics) with a breathy exhaust.
static audio_buf __engine()
{
    audio_svf f;
    return __loop(LOOP_SECONDS, [&](size_t i, float t) {
        float hum = 0;
        for (int h = 1; h <= 6; h++) hum += std::sin(2 * AUDIO_PI * 55 * h * t + h) / h;
        float whine = std::sin(2 * AUDIO_PI * 880 * t) * 0.04f;
        float air = f.process(audio_noise(31, uint32_t(i)), 700, 0.7f, AUDIO_RATE) * 0.5f;
        float wobble = 1 + 0.1f * std::sin(2 * AUDIO_PI * 2 * t);
        return (hum * 0.5f + whine + air) * wobble;
    });
}

// Asteroid ambience: a deep grinding rumble with sparse crackles.
static audio_buf __asteroid_static()
{
    audio_svf f, g;
    return __loop(LOOP_SECONDS, [&](size_t i, float t) {
        float n = audio_noise(41, uint32_t(i));
        float rumble = f.process(n, 120, 0.9f, AUDIO_RATE) * 2.5f;
        float grind = std::sin(2 * AUDIO_PI * 37 * t) * 0.3f * (0.6f + 0.4f * std::sin(2 * AUDIO_PI * 1.5f * t));
        float hi;
        g.process(audio_noise(42, uint32_t(i / 48)) > 0.97f ? n : 0.0f, 2000, 0.7f, AUDIO_RATE, nullptr, &hi);
        return rumble + grind + hi * 0.15f;
    });
}

// Sentinel ambience: a mains buzz and a slow servo whine.
static audio_buf __bot_static()
{
    audio_svf f;
    return __loop(LOOP_SECONDS, [&](size_t i, float t) {
        float buzz = f.process(audio_saw(100 * t), 900, 0.8f, AUDIO_RATE) * 0.5f;
        float servo =
            std::sin(2 * AUDIO_PI * (440 * t + 8 * std::sin(2 * AUDIO_PI * 0.5f * t) / (2 * AUDIO_PI * 0.5f)));
        float hiss = audio_noise(51, uint32_t(i)) * 0.03f;
        return buzz + servo * 0.12f + hiss;
    });
}

// Menu click and rollover.
static audio_buf __click()
{
    audio_buf b = audio_make(0.08f);
    audio_svf f;
    for (size_t i = 0; i < b.frames(); i++) {
        float t = float(i) / b.rate;
        float band;
        f.process(audio_noise(61, uint32_t(i)), 2200, 3, b.rate, &band);
        b.s[i] = (band + std::sin(2 * AUDIO_PI * 1200 * t) * 0.5f) * audio_env_ad(t, 0.001f, 0.012f);
    }
    audio_fade_edges(b, 0.0005f, 0.01f);
    audio_normalise(b, EFFECT_PEAK * 0.7f);
    return b;
}

static audio_buf __rollover()
{
    audio_buf b = audio_make(0.12f);
    float ph = 0;
    for (size_t i = 0; i < b.frames(); i++) {
        float t = float(i) / b.rate;
        ph += (900 + 700 * t / 0.12f) / b.rate;
        b.s[i] = std::sin(2 * AUDIO_PI * ph) * audio_env_ad(t, 0.005f, 0.03f);
    }
    audio_fade_edges(b, 0.002f, 0.02f);
    audio_normalise(b, EFFECT_PEAK * 0.5f);
    return b;
}

bool data_gen_effects(data_ctx &ctx)
{
    return audio_write_ogg(ctx, "sound\\fighter_shot.ogg", __laser(2400, 380, 0.28f, 0.4f, 1), EFFECT_QUALITY) &&
           audio_write_ogg(ctx, "sound\\bot_shot.ogg", __laser(1300, 160, 0.4f, 0.7f, 2), EFFECT_QUALITY) &&
           audio_write_ogg(ctx, "sound\\asteroid_explode.ogg", __explosion(3), EFFECT_QUALITY) &&
           audio_write_ogg(ctx, "sound\\missile_launch.ogg", __missile(4), EFFECT_QUALITY) &&
           audio_write_ogg(ctx, "sound\\alarm_beep.ogg", __alarm(), EFFECT_QUALITY) &&
           audio_write_ogg(ctx, "sound\\target_beep.ogg", __target_beep(), EFFECT_QUALITY) &&
           audio_write_ogg(ctx, "sound\\engine.ogg", __engine(), EFFECT_QUALITY) &&
           audio_write_ogg(ctx, "sound\\asteroid_static.ogg", __asteroid_static(), EFFECT_QUALITY) &&
           audio_write_ogg(ctx, "sound\\bot_static.ogg", __bot_static(), EFFECT_QUALITY) &&
           audio_write_ogg(ctx, "config\\standard_click.ogg", __click(), EFFECT_QUALITY) &&
           audio_write_ogg(ctx, "config\\standard_rollover.ogg", __rollover(), EFFECT_QUALITY);
}
