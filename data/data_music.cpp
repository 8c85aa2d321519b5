// Music, composed by rule: the level music "sound\vorn_ost.ogg" (a 64 second
// loop), the title music "sound\intro.ogg", the intro video's soundtrack
// "intro\intro.ogg" and the configuration screen's ambience. A tiny sequencer
// places synthesised notes on a stereo track; for loops the track is a circle,
// so notes and echoes that run past the end sound again at the start.

#include <algorithm>
#include <cmath>
#include <vector>

#include "data_audio.h"
#include "data_build.h"

#define MUSIC_PEAK 0.89f
#define MUSIC_QUALITY 0.5f

struct track {
    audio_buf buf;
    bool cyclic;
};

static track __track(float seconds, bool cyclic) { return {audio_make(seconds, 2), cyclic}; }

static float __midi_hz(int note) { return 440.0f * std::pow(2.0f, (note - 69) / 12.0f); }

// Adds one mono voice to the track at `start` with the given pan (-1..1).
// `voice(t)` returns the sample at t seconds into the note, for `length` seconds.
template <typename V> static void __place(track &tr, float start, float length, float gain, float pan, V voice)
{
    audio_buf &b = tr.buf;
    size_t n = b.frames(), a = size_t(std::lround(start * b.rate)), len = size_t(length * b.rate);
    float gl = gain * std::sqrt(0.5f * (1 - pan)), gr = gain * std::sqrt(0.5f * (1 + pan));
    for (size_t i = 0; i < len; i++) {
        size_t k = a + i;
        if (k >= n) {
            if (!tr.cyclic) break;
            k %= n;
        }
        float v = voice(float(i) / b.rate);
        b.s[k * 2] += v * gl;
        b.s[k * 2 + 1] += v * gr;
    }
}

// ---- instruments -----------------------------------------------------------

// Warm pad: three detuned saws, low-passed, slow swell and release.
static void __pad(track &tr, float start, float dur, int note, float gain, float pan, float bright = 1)
{
    float f = __midi_hz(note);
    float release = 1.2f;
    audio_svf filt;
    float ph[3] = {0.0f, 0.33f, 0.67f};
    const float det[3] = {0.996f, 1.0f, 1.004f};
    __place(tr, start, dur + release, gain, pan, [=](float t) mutable {
        float s = 0;
        for (int k = 0; k < 3; k++) {
            ph[k] += f * det[k] / AUDIO_RATE;
            s += audio_saw(ph[k]);
        }
        float env = std::min(1.0f, t / 0.7f) * (t < dur ? 1.0f : std::exp(-(t - dur) / (release * 0.3f)));
        float cut = (500 + 900 * bright) * (1 + 0.15f * std::sin(t * 1.3f));
        return filt.process(s / 3, cut, 0.8f, AUDIO_RATE) * env;
    });
}

// Bass: saw plus sub square with a plucked filter.
static void __bass(track &tr, float start, float dur, int note, float gain)
{
    float f = __midi_hz(note), ph = 0;
    audio_svf filt;
    __place(tr, start, dur + 0.05f, gain, 0, [=](float t) mutable {
        ph += f / AUDIO_RATE;
        float s = audio_saw(ph) * 0.6f + audio_square(ph * 0.5f) * 0.4f;
        float cut = 180 + 1400 * std::exp(-t / 0.09f);
        float env = std::min(1.0f, t / 0.004f) * (t < dur ? 1.0f : std::exp(-(t - dur) / 0.01f));
        return filt.process(s, cut, 1.4f, AUDIO_RATE) * env;
    });
}

// Arpeggio pluck: a narrow square with a quick decay.
static void __pluck(track &tr, float start, int note, float gain, float pan, float bright)
{
    float f = __midi_hz(note), ph = 0;
    audio_svf filt;
    __place(tr, start, 0.35f, gain, pan, [=](float t) mutable {
        ph += f / AUDIO_RATE;
        float s = audio_square(ph, 0.25f);
        float env = std::min(1.0f, t / 0.002f) * std::exp(-t / 0.09f);
        return filt.process(s, 700 + 3500 * bright * std::exp(-t / 0.12f), 1.0f, AUDIO_RATE) * env;
    });
}

// Lead: triangle and soft square with a delayed vibrato.
static void __lead(track &tr, float start, float dur, int note, float gain, float pan)
{
    float f = __midi_hz(note), ph = 0;
    audio_svf filt;
    __place(tr, start, dur + 0.25f, gain, pan, [=](float t) mutable {
        float vib = 1 + 0.006f * std::sin(2 * AUDIO_PI * 5.5f * t) * std::min(1.0f, t / 0.4f);
        ph += f * vib / AUDIO_RATE;
        float s = audio_tri(ph) * 0.7f + audio_square(ph, 0.5f) * 0.3f;
        float env = std::min(1.0f, t / 0.02f) *
                    (t < dur ? 1.0f - 0.2f * std::min(1.0f, t / 0.5f) : 0.8f * std::exp(-(t - dur) / 0.07f));
        return filt.process(s, 2600, 0.9f, AUDIO_RATE) * env;
    });
}

static void __kick(track &tr, float start, float gain)
{
    float ph = 0;
    __place(tr, start, 0.4f, gain, 0, [=](float t) mutable {
        ph += (45 + 110 * std::exp(-t / 0.03f)) / AUDIO_RATE;
        return std::sin(2 * AUDIO_PI * ph) * std::exp(-t / 0.14f) * std::min(1.0f, t / 0.001f);
    });
}

static void __snare(track &tr, float start, float gain, uint32_t seed)
{
    audio_svf filt;
    uint32_t i = 0;
    __place(tr, start, 0.3f, gain, 0.1f, [=](float t) mutable {
        float band;
        filt.process(audio_noise(seed, i++), 2000, 0.9f, AUDIO_RATE, &band);
        float tone = std::sin(2 * AUDIO_PI * 190 * t) * std::exp(-t / 0.04f);
        return (band * 1.6f * std::exp(-t / 0.08f) + tone * 0.6f) * std::min(1.0f, t / 0.001f);
    });
}

static void __hat(track &tr, float start, float gain, float decay, uint32_t seed)
{
    audio_svf filt;
    uint32_t i = 0;
    __place(tr, start, decay * 6, gain, -0.3f, [=](float t) mutable {
        float high;
        filt.process(audio_noise(seed, i++), 7000, 0.8f, AUDIO_RATE, nullptr, &high);
        return high * std::exp(-t / decay) * std::min(1.0f, t / 0.0005f);
    });
}

// A soft boom for the cinematic pieces: low sine with noise body.
static void __boom(track &tr, float start, float gain, uint32_t seed)
{
    audio_svf filt;
    uint32_t i = 0;
    float ph = 0;
    __place(tr, start, 3.0f, gain, 0, [=](float t) mutable {
        ph += (38 + 40 * std::exp(-t / 0.1f)) / AUDIO_RATE;
        float body = filt.process(audio_noise(seed, i++), 300 + 1500 * std::exp(-t / 0.2f), 0.7f, AUDIO_RATE);
        return (std::sin(2 * AUDIO_PI * ph) + body * 0.8f) * std::exp(-t / 0.8f) * std::min(1.0f, t / 0.003f);
    });
}

// ---- harmony ----------------------------------------------------------------

// A chord as MIDI notes: root (bass octave) and the three pad notes.
struct chord {
    int root;
    int pad[3];
};

// D minor, two bars each: Dm  Bb  F  C | Dm  Bb  Gm  A.
static const chord OST_CHORDS[8] = {
    {38, {62, 65, 69}}, {34, {62, 65, 70}}, {41, {60, 65, 69}}, {36, {60, 64, 67}},
    {38, {62, 65, 69}}, {34, {62, 65, 70}}, {43, {62, 67, 70}}, {33, {61, 64, 69}},
};

// The lead melody: per two-bar chord, eight notes of a quarter bar... as
// (beat offset, length in beats, MIDI note); -1 ends a phrase.
struct melody_note {
    float beat, beats;
    int note;
};
static const std::vector<melody_note> OST_MELODY[8] = {
    {{0, 1.5f, 74}, {1.5f, 0.5f, 72}, {2, 2, 69}, {4, 1, 72}, {5, 1, 74}, {6, 2, 77}},
    {{0, 3, 74}, {3, 1, 72}, {4, 2, 70}, {6, 2, 69}},
    {{0, 1.5f, 72}, {1.5f, 0.5f, 74}, {2, 2, 77}, {4, 1, 76}, {5, 1, 74}, {6, 2, 72}},
    {{0, 3, 72}, {3, 1, 74}, {4, 4, 76}},
    {{0, 1.5f, 81}, {1.5f, 0.5f, 79}, {2, 2, 77}, {4, 1, 76}, {5, 1, 77}, {6, 2, 74}},
    {{0, 2, 74}, {2, 1, 77}, {3, 1, 79}, {4, 4, 77}},
    {{0, 1.5f, 74}, {1.5f, 0.5f, 77}, {2, 2, 79}, {4, 2, 82}, {6, 2, 81}},
    {{0, 4, 76}, {4, 2, 73}, {6, 2, 76}},
};

// ---- pieces ------------------------------------------------------------------

#define OST_BPM 120.0f
#define OST_BARS 32

// Level music: 32 bars at 120 beats per minute, 64 seconds, looping.
// Bars 0-7 pad and arpeggio; 8-15 bass and drums join; 16-23 the lead sings;
// 24-31 the drums thin out so the loop can begin quietly again.
static audio_buf __ost()
{
    float beat = 60.0f / OST_BPM, bar = beat * 4;
    track music = __track(OST_BARS * bar, true), lead = __track(OST_BARS * bar, true);
    for (int b = 0; b < OST_BARS; b++) {
        const chord &c = OST_CHORDS[(b / 2) % 8];
        float t0 = b * bar;
        int section = b / 8;
        if (b % 2 == 0)
            for (int k = 0; k < 3; k++)
                __pad(music, t0, bar * 2 - 0.1f, c.pad[k], 0.16f, -0.6f + 0.6f * k, section == 2 ? 1.2f : 0.8f);
        // Arpeggio in sixteenths over the chord and its octave.
        int arp[4] = {c.pad[0] + 12, c.pad[1] + 12, c.pad[2] + 12, c.pad[1] + 24};
        float bright = section == 0 ? 0.25f + 0.1f * (b % 8) / 7.0f : section == 3 ? 0.35f : 0.8f;
        for (int s = 0; s < 16; s++) {
            int order[8] = {0, 1, 2, 3, 2, 1, 2, 0};
            __pluck(music, t0 + s * beat / 4, arp[order[s % 8]], 0.09f * (s % 4 == 0 ? 1.2f : 0.9f),
                    (s % 2) ? 0.4f : -0.4f, bright);
        }
        if (section >= 1) {
            // Bass in eighths: root, root, octave, root ...
            static const int bass_oct[8] = {0, 0, 12, 0, 0, 12, 0, 7};
            for (int e = 0; e < 8; e++)
                if (section != 3 || e % 2 == 0)
                    __bass(music, t0 + e * beat / 2, beat / 2 * 0.8f, c.root + bass_oct[e], 0.32f);
        }
        // Drums.
        if (section == 1 || section == 2) {
            for (int q = 0; q < 4; q++) __kick(music, t0 + q * beat, 0.75f);
            __snare(music, t0 + beat, 0.35f, 100 + b);
            __snare(music, t0 + 3 * beat, 0.35f, 200 + b);
            if (b % 4 == 3) __snare(music, t0 + 3.5f * beat, 0.2f, 300 + b);
        } else if (section == 3) {
            __kick(music, t0, 0.6f);
            if (b % 2) __kick(music, t0 + 2.5f * beat, 0.45f);
        }
        if (b >= 4 && b < 28)
            for (int e = 0; e < 8; e++)
                __hat(music, t0 + e * beat / 2, e % 2 ? 0.08f : 0.05f, e == 7 ? 0.06f : 0.02f, 400 + b * 8 + e);
        // The lead over the third section.
        if (section == 2 && b % 2 == 0)
            for (const auto &m : OST_MELODY[(b / 2) % 8])
                __lead(lead, t0 + m.beat * beat, m.beats * beat * 0.92f, m.note, 0.22f, 0.15f);
    }
    audio_echo(lead.buf, beat * 0.75f, 0.35f, 0.4f, true);
    for (size_t i = 0; i < music.buf.s.size(); i++) music.buf.s[i] += lead.buf.s[i];
    audio_reverb(music.buf, 0.35f, 0.6f, true);
    audio_normalise(music.buf, MUSIC_PEAK);
    return music.buf;
}

// Title music: 18 seconds, slow swells to a held chord, ending in silence.
static audio_buf __title()
{
    float seconds = 18;
    track tr = __track(seconds, false);
    static const chord prog[4] = {{38, {62, 65, 69}}, {34, {62, 65, 70}}, {41, {60, 65, 72}}, {33, {61, 64, 69}}};
    for (int i = 0; i < 4; i++) {
        float t0 = i * 3.5f;
        for (int k = 0; k < 3; k++) __pad(tr, t0, 3.4f, prog[i].pad[k] - 12, 0.2f, -0.5f + 0.5f * k, 0.6f + i * 0.2f);
        __bass(tr, t0, 3.2f, prog[i].root, 0.2f);
        __boom(tr, t0, 0.5f, 700 + i);
        // A rising arpeggio that quickens with each chord.
        int steps = 6 + i * 4;
        for (int s = 0; s < steps; s++) {
            int note = prog[i].pad[s % 3] + 12 * (s / 3 % 2);
            __pluck(tr, t0 + s * 3.4f / steps, note, 0.07f, (s % 2) ? 0.5f : -0.5f, 0.4f + 0.1f * i);
        }
    }
    // The resolving chord, held to the end.
    for (int k = 0; k < 3; k++) __pad(tr, 14, 2.6f, OST_CHORDS[0].pad[k], 0.22f, -0.5f + 0.5f * k, 1.2f);
    __boom(tr, 14, 0.7f, 710);
    __lead(tr, 14, 2.5f, 74, 0.15f, 0);
    audio_reverb(tr.buf, 0.45f, 0.8f, false);
    audio_fade_edges(tr.buf, 0.01f, 2.5f);
    audio_normalise(tr.buf, MUSIC_PEAK);
    return tr.buf;
}

// The intro video's soundtrack: 10 seconds, a rising drone, a hit when the
// title appears at 5 seconds, then a shimmering tail.
static audio_buf __intro()
{
    track tr = __track(10, false);
    __pad(tr, 0, 4.8f, 38, 0.25f, -0.3f, 0.3f);
    __pad(tr, 0.5f, 4.3f, 45, 0.18f, 0.3f, 0.4f);
    // Whoosh: filtered noise sweeping up into the hit.
    audio_svf f;
    uint32_t i = 0;
    __place(tr, 2.5f, 2.6f, 0.5f, 0, [&](float t) {
        float band;
        f.process(audio_noise(800, i++), 200 + 3000 * (t / 2.6f) * (t / 2.6f), 2, AUDIO_RATE, &band);
        return band * (t / 2.6f);
    });
    __boom(tr, 5.0f, 0.9f, 801);
    for (int k = 0; k < 3; k++) __pad(tr, 5.0f, 4.0f, OST_CHORDS[0].pad[k], 0.2f, -0.5f + 0.5f * k, 1.3f);
    for (int s = 0; s < 16; s++)
        __pluck(tr, 5.0f + s * 0.25f, OST_CHORDS[0].pad[s % 3] + 24, 0.06f * (1 - s / 20.0f), (s % 2) ? 0.6f : -0.6f,
                0.7f);
    audio_reverb(tr.buf, 0.5f, 0.85f, false);
    audio_fade_edges(tr.buf, 0.3f, 1.5f);
    audio_normalise(tr.buf, MUSIC_PEAK);
    return tr.buf;
}

// Configuration screen ambience: two slow chords, 16 seconds, looping.
static audio_buf __atmo()
{
    track tr = __track(16, true);
    static const chord ch[2] = {{38, {64, 65, 69}}, {34, {62, 65, 69}}};
    for (int i = 0; i < 2; i++) {
        for (int k = 0; k < 3; k++) __pad(tr, i * 8.0f, 7.8f, ch[i].pad[k], 0.2f, -0.6f + 0.6f * k, 0.5f);
        __pad(tr, i * 8.0f, 7.8f, ch[i].root + 12, 0.2f, 0, 0.3f);
        for (int s = 0; s < 6; s++)
            __pluck(tr, i * 8.0f + 1 + s * 1.1f, ch[i].pad[(s * 2) % 3] + 12, 0.05f, (s % 2) ? 0.7f : -0.7f, 0.2f);
    }
    audio_reverb(tr.buf, 0.6f, 0.85f, true);
    audio_normalise(tr.buf, MUSIC_PEAK * 0.8f);
    return tr.buf;
}

bool data_gen_music(data_ctx &ctx)
{
    return audio_write_ogg(ctx, "sound\\vorn_ost.ogg", __ost(), MUSIC_QUALITY) &&
           audio_write_ogg(ctx, "sound\\intro.ogg", __title(), MUSIC_QUALITY) &&
           audio_write_ogg(ctx, "intro\\intro.ogg", __intro(), MUSIC_QUALITY) &&
           audio_write_ogg(ctx, "config\\atmo_options.ogg", __atmo(), MUSIC_QUALITY);
}
