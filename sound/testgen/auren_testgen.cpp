#include "sound/testgen/auren_testgen.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vorbis/vorbisenc.h>

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

static bool __write_pages(FILE *f, ogg_stream_state *os, bool flush)
{
    ogg_page page;
    while (flush ? ogg_stream_flush(os, &page) : ogg_stream_pageout(os, &page)) {
        if (fwrite(page.header, 1, size_t(page.header_len), f) != size_t(page.header_len)) return false;
        if (fwrite(page.body, 1, size_t(page.body_len), f) != size_t(page.body_len)) return false;
    }
    return true;
}

bool testgen_write_ogg(const std::string &path, const testgen_signal &signal, float quality)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, signal.channels, signal.rate, quality) != 0) {
        vorbis_info_clear(&vi);
        fclose(f);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "ENCODER", "auren_testgen");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x5eed);

    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&vd, &vc, &header, &header_comment, &header_code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &header_comment);
    ogg_stream_packetin(&os, &header_code);
    bool ok = __write_pages(f, &os, true);

    const size_t STEP = 1024;
    size_t frames = signal.frames();
    for (size_t at = 0; ok; at += STEP) {
        size_t n = frames > at ? (frames - at < STEP ? frames - at : STEP) : 0;
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float **in = vorbis_analysis_buffer(&vd, int(n));
            for (size_t i = 0; i < n; i++)
                for (int c = 0; c < signal.channels; c++)
                    in[c][i] = float(signal.pcm[(at + i) * size_t(signal.channels) + size_t(c)]) / 32768.0f;
            vorbis_analysis_wrote(&vd, int(n));
        }
        bool eos = false;
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                if (!__write_pages(f, &os, false)) ok = false;
                if (packet.e_o_s) eos = true;
            }
        }
        if (n == 0 || eos) break;
    }
    if (ok) ok = __write_pages(f, &os, true);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    if (fclose(f) != 0) ok = false;
    return ok;
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
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
    if (fclose(f) != 0) ok = false;
    return ok;
}
