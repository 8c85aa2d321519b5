// Radio voices "sound\talk_1.ogg" ... "talk_16.ogg": lines spoken by
// espeak-ng (its command-line program, which writes a WAV to standard output
// and gives the same samples for the same text and voice), then passed
// through a radio: band-limited, lightly driven, with a squelch tone at the
// start and a click and hiss tail at the end.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "corelib/log.h"
#include "data_audio.h"
#include "data_build.h"

#define VOICE_RATE 22050
#define VOICE_QUALITY 0.4f
#define VOICE_MAX_BYTES (8u << 20)

struct voice_line {
    const char *voice; // espeak-ng voice and variant
    int speed;         // words per minute
    int pitch;         // 0..99
    const char *text;
};

static const voice_line VOICE_LINES[16] = {
    {"en-us+m3", 160, 40, "Control to fighter. Asteroids inbound. Keep them off the station."},
    {"en-us+f2", 155, 55, "Station shields are holding. Stay inside the power field to recharge."},
    {"en+m1", 160, 35, "Sentinels are online. They will cover you near the hull."},
    {"en-us+m3", 165, 40, "Junk cloud detected on the launch vector."},
    {"en-us+f2", 160, 55, "Good shooting, pilot. Keep it up."},
    {"en+m1", 155, 35, "Watch your energy. Fly closer to the station to recharge."},
    {"en-us+m3", 160, 40, "Heavy rock incoming. It will take more than one shot."},
    {"en-us+f2", 155, 55, "Missiles need a lock. Point your nose at the target."},
    {"en+m1", 150, 30, "This is Vorn station. We are counting on you."},
    {"en-us+m3", 165, 40, "Multiple contacts on the long range scanner."},
    {"en-us+f2", 160, 55, "Hull breach on deck four. Repair crews are on the way."},
    {"en+m1", 155, 35, "A sentinel is down. Cover the gap, pilot."},
    {"en-us+m3", 160, 40, "Nice flying. The belt is thinning out."},
    {"en-us+f2", 160, 55, "Stay sharp. More debris coming from the pad."},
    {"en+m1", 165, 35, "Fighter, check your six. Rock on your tail."},
    {"en-us+m3", 155, 40, "Hold the line. Relief is on its way."},
};

// Runs espeak-ng and reads its WAV output into a mono buffer.
static bool __speak(const voice_line &line, audio_buf &out)
{
    char cmd[512];
    std::snprintf(cmd, sizeof cmd, "espeak-ng -v %s -s %d -p %d --stdout \"%s\"", line.voice, line.speed, line.pitch,
                  line.text);
    FILE *p = popen(cmd, "r");
    if (!p) return false;
    std::vector<uint8_t> wav;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, p)) > 0 && wav.size() < VOICE_MAX_BYTES)
        wav.insert(wav.end(), chunk, chunk + n);
    int status = pclose(p);
    // espeak-ng streams its WAV, so the header's sizes are placeholders: the
    // samples run from the "data" chunk to the end of the output.
    if (status != 0 || wav.size() < 44 || std::memcmp(wav.data(), "RIFF", 4) != 0) return false;
    size_t pos = 12, data = 0;
    int rate = 0, channels = 0, bits = 0;
    while (pos + 8 <= wav.size()) {
        uint32_t len = wav[pos + 4] | wav[pos + 5] << 8 | wav[pos + 6] << 16 | uint32_t(wav[pos + 7]) << 24;
        if (std::memcmp(&wav[pos], "fmt ", 4) == 0 && pos + 24 <= wav.size()) {
            channels = wav[pos + 10] | wav[pos + 11] << 8;
            rate = wav[pos + 12] | wav[pos + 13] << 8 | wav[pos + 14] << 16;
            bits = wav[pos + 22] | wav[pos + 23] << 8;
        } else if (std::memcmp(&wav[pos], "data", 4) == 0) {
            data = pos + 8;
            break;
        }
        if (len > wav.size() - pos - 8) return false;
        pos += 8 + len;
    }
    if (!data || channels != 1 || bits != 16 || rate != VOICE_RATE) return false;
    out = audio_make_frames((wav.size() - data) / 2, 1, rate);
    for (size_t i = 0; i < out.frames(); i++)
        out.s[i] = int16_t(wav[data + 2 * i] | wav[data + 2 * i + 1] << 8) / 32768.0f;
    return out.frames() > 0;
}

// The radio: squelch tone, band-pass 300..3200 Hz, soft saturation, hiss.
static audio_buf __radio(const audio_buf &dry, uint32_t seed)
{
    float lead = 0.18f, tail = 0.22f;
    size_t a = size_t(lead * VOICE_RATE);
    audio_buf b = audio_make_frames(a + dry.frames() + size_t(tail * VOICE_RATE), 1, VOICE_RATE);
    float peak = std::max(1e-6f, audio_peak(dry));
    audio_svf hp, lp;
    for (size_t i = 0; i < b.frames(); i++) {
        float t = float(i) / VOICE_RATE;
        float v = (i >= a && i - a < dry.frames()) ? dry.s[i - a] / peak : 0.0f;
        float high;
        hp.process(v, 300, 0.7f, VOICE_RATE, nullptr, &high);
        float band = lp.process(high, 3200, 0.8f, VOICE_RATE);
        float driven = std::tanh(band * 1.7f) * 0.85f; // a light drive: radio grit, words intact
        // Open the channel: a short tone; close it: a click and a burst of hiss.
        float squelch = t < 0.12f ? std::sin(2 * AUDIO_PI * 1250 * t) * 0.25f * std::min(1.0f, (0.12f - t) / 0.01f) : 0;
        float end = float(a + dry.frames()) / VOICE_RATE;
        float hiss_gain = 0.02f + (t > end ? 0.12f * std::exp(-(t - end) / 0.06f) : 0);
        float hiss = audio_noise(seed, uint32_t(i)) * hiss_gain;
        b.s[i] = driven + squelch + hiss;
    }
    audio_fade_edges(b, 0.005f, 0.03f);
    audio_normalise(b, 0.75f); // headroom: the codec overshoots on driven speech
    return b;
}

bool data_gen_voices(data_ctx &ctx)
{
    for (int i = 0; i < 16; i++) {
        audio_buf dry;
        if (!__speak(VOICE_LINES[i], dry)) {
            do_log(LOG_CRITICAL, LOG_TO_DEBUGGER, "data: espeak-ng failed on voice line %d", i + 1);
            return false;
        }
        char name[32];
        std::snprintf(name, sizeof name, "sound\\talk_%d.ogg", i + 1);
        if (!audio_write_ogg(ctx, name, __radio(dry, 900 + i), VOICE_QUALITY)) return false;
    }
    return true;
}
