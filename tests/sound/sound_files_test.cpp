// Sound files without a device: the WAV reader and the Ogg Vorbis checks
// and decoding, fed with good, cut, damaged and lying files.

#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "corelib/log.h"
#include "sound/auren_internal.h"
#include "sound/testgen/auren_testgen.h"
#include "sound_test_util.h"
#include "test_support.h"

namespace {

void put32(std::string &s, uint32_t v)
{
    for (int i = 0; i < 4; i++) s.push_back(char((v >> (8 * i)) & 0xff));
}
void put16(std::string &s, uint16_t v)
{
    s.push_back(char(v & 0xff));
    s.push_back(char(v >> 8));
}

std::string fmt_chunk(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int block_delta = 0,
                      int rate_delta = 0)
{
    uint16_t block = uint16_t(channels * bits / 8 + block_delta);
    std::string s = "fmt ";
    put32(s, 16);
    put16(s, tag);
    put16(s, channels);
    put32(s, rate);
    put32(s, rate * uint32_t(channels * bits / 8) + uint32_t(rate_delta));
    put16(s, block);
    put16(s, bits);
    return s;
}

std::string data_chunk(uint32_t claimed, uint32_t real)
{
    std::string s = "data";
    put32(s, claimed);
    for (uint32_t i = 0; i < real; i++) s.push_back(char(i * 7));
    return s;
}

std::string riff(const std::string &chunks, int64_t size_delta = 0)
{
    std::string s = "RIFF";
    put32(s, uint32_t(int64_t(chunks.size()) + 4 + size_delta));
    s += "WAVE";
    return s + chunks;
}

bool parse(const std::string &bytes, auren_wav_t *wav, std::string *why = nullptr)
{
    // An exact-size copy, so that a read past the end is caught by the address checker.
    std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    const char *reason = nullptr;
    bool ok = __auren_wav_parse(copy.data(), copy.size(), wav, &reason);
    if (ok) {
        EXPECT_GE(wav->data, copy.data());
        EXPECT_LE(wav->data + wav->size, copy.data() + copy.size());
        wav->data = nullptr; // the copy is gone after this
    }
    if (why) *why = reason ? reason : "";
    return ok;
}

} // namespace

TEST(SoundWav, ReadsPlainPcmInEachSupportedLayout)
{
    auren_wav_t wav;
    ASSERT_TRUE(parse(riff(fmt_chunk(1, 1, 22050, 16) + data_chunk(200, 200)), &wav));
    EXPECT_EQ(wav.format, AL_FORMAT_MONO16);
    EXPECT_EQ(wav.frequency, 22050);
    EXPECT_EQ(wav.frames, 100u);
    ASSERT_TRUE(parse(riff(fmt_chunk(1, 2, 44100, 8) + data_chunk(64, 64)), &wav));
    EXPECT_EQ(wav.format, AL_FORMAT_STEREO8);
    EXPECT_EQ(wav.frames, 32u);
    ASSERT_TRUE(parse(riff(fmt_chunk(1, 2, 48000, 16) + data_chunk(64, 64)), &wav));
    EXPECT_EQ(wav.format, AL_FORMAT_STEREO16);
    EXPECT_EQ(wav.frames, 16u);
}

TEST(SoundWav, SkipsUnknownChunksWithTheirPadding)
{
    std::string list = "LIST";
    put32(list, 3);
    list += "abc";
    list.push_back(0); // pad byte
    auren_wav_t wav;
    ASSERT_TRUE(parse(riff(list + fmt_chunk(1, 1, 8000, 16) + list + data_chunk(10, 10)), &wav));
    EXPECT_EQ(wav.frames, 5u);
}

TEST(SoundWav, ReadsTheExtensibleLayoutOfIntegerPcmOnly)
{
    auto extensible = [](uint8_t first_guid_byte) {
        std::string s = "fmt ";
        put32(s, 40);
        put16(s, 0xFFFE);
        put16(s, 2);
        put32(s, 44100);
        put32(s, 44100 * 4);
        put16(s, 4);
        put16(s, 16);
        put16(s, 22);
        put16(s, 16);
        put32(s, 3);
        const uint8_t guid[16] = {first_guid_byte, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xaa, 0, 0x38, 0x9b, 0x71};
        s.append(reinterpret_cast<const char *>(guid), 16);
        return s;
    };
    auren_wav_t wav;
    ASSERT_TRUE(parse(riff(extensible(1) + data_chunk(16, 16)), &wav));
    EXPECT_EQ(wav.format, AL_FORMAT_STEREO16);
    std::string why;
    EXPECT_FALSE(parse(riff(extensible(3) + data_chunk(16, 16)), &wav, &why)); // IEEE float
    EXPECT_EQ(why, "not integer PCM data");
}

TEST(SoundWav, RefusesHeadersThatLie)
{
    struct {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"data size past the end", riff(fmt_chunk(1, 1, 44100, 16) + data_chunk(4000, 200))},
        {"data size of 4 GiB", riff(fmt_chunk(1, 1, 44100, 16) + data_chunk(0xFFFFFFFFu, 200))},
        {"RIFF size past the end", riff(fmt_chunk(1, 1, 44100, 16) + data_chunk(200, 200), 1000)},
        {"RIFF size too small for its data", riff(fmt_chunk(1, 1, 44100, 16) + data_chunk(200, 200), -100)},
        {"block size", riff(fmt_chunk(1, 1, 44100, 16, 2) + data_chunk(200, 200))},
        {"byte rate", riff(fmt_chunk(1, 1, 44100, 16, 0, 5) + data_chunk(200, 200))},
        {"odd data size for 16-bit", riff(fmt_chunk(1, 1, 44100, 16) + data_chunk(201, 201))},
        {"three channels", riff(fmt_chunk(1, 3, 44100, 16) + data_chunk(6, 6))},
        {"24 bits", riff(fmt_chunk(1, 1, 44100, 24) + data_chunk(6, 6))},
        {"rate 0", riff(fmt_chunk(1, 1, 0, 16) + data_chunk(6, 6))},
        {"compressed", riff(fmt_chunk(2, 1, 44100, 16) + data_chunk(6, 6))},
        {"data before format", riff(data_chunk(6, 6) + fmt_chunk(1, 1, 44100, 16))},
        {"no data", riff(fmt_chunk(1, 1, 44100, 16))},
        {"empty data", riff(fmt_chunk(1, 1, 44100, 16) + data_chunk(0, 0))},
        {"no format", riff(data_chunk(6, 6))},
        {"not RIFF", std::string("RIFX") + riff(fmt_chunk(1, 1, 44100, 16)).substr(4)},
        {"too short", std::string("RIFF")},
    };
    for (auto &c : cases) {
        auren_wav_t wav;
        std::string why;
        EXPECT_FALSE(parse(c.bytes, &wav, &why)) << c.what;
        EXPECT_FALSE(why.empty()) << c.what;
    }
    // A format chunk that claims 16 bytes but is the last thing in the file.
    std::string cut = riff(fmt_chunk(1, 1, 44100, 16));
    cut.resize(cut.size() - 6);
    std::string fixed = cut.substr(0, 4);
    put32(fixed, uint32_t(cut.size() - 8));
    fixed += cut.substr(8);
    auren_wav_t wav;
    EXPECT_FALSE(parse(fixed, &wav));
}

TEST(SoundWav, EveryCutOrMangledFileStaysInsideItsBytes)
{
    std::string good = riff(fmt_chunk(1, 2, 44100, 16) + data_chunk(64, 64));
    auren_wav_t wav;
    ASSERT_TRUE(parse(good, &wav));
    for (size_t n = 0; n < good.size(); n++) EXPECT_FALSE(parse(good.substr(0, n), &wav)) << "cut at " << n;
    uint32_t state = 99;
    for (int round = 0; round < 3000; round++) {
        std::string bad = good;
        for (int k = 0; k < 3; k++) {
            state = state * 1664525u + 1013904223u;
            bad[(state >> 8) % 44] = char(state >> 24); // the header only
        }
        parse(bad, &wav); // may pass or fail; must not read outside
    }
}

/* ---- Ogg Vorbis ---- */

class SoundOgg : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        log = path("log.txt");
        log_file_set(log.c_str());
        log_file_truncate();
    }
    void TearDown() override
    {
        log_file_set("/dev/null");
        TempDirTest::TearDown();
    }
    std::string write_ogg(const std::string &name, const testgen_signal &s)
    {
        std::string p = path(name);
        EXPECT_TRUE(testgen_write_ogg(p, s));
        return p;
    }
    bool load(const std::string &p, auren_pcm_t *pcm, bool decode = true)
    {
        bool ok = __load_ogg_data(p.c_str(), pcm, decode);
        if (!ok) {
            EXPECT_EQ(pcm->data, nullptr);
            EXPECT_NE(sound_read_log(log).find(p), std::string::npos) << "the message names the file";
        }
        return ok;
    }
    std::string log;
};

TEST_F(SoundOgg, DecodesMonoAndStereoToTheirExactLength)
{
    testgen_signal mono = testgen_sine(0.5, 1, 22050, 440, 0.5);
    auren_pcm_t pcm;
    ASSERT_TRUE(load(write_ogg("mono.ogg", mono), &pcm));
    EXPECT_EQ(pcm.format, AL_FORMAT_MONO16);
    EXPECT_EQ(pcm.frequency, 22050);
    EXPECT_EQ(pcm.frames, mono.frames());
    ASSERT_NE(pcm.data, nullptr);
    EXPECT_EQ(pcm.data->get_size(), mono.frames() * 2);
    // The decoded sine is the encoded one: RMS of amplitude 0.5 is 0.354.
    const int16_t *s = reinterpret_cast<const int16_t *>(pcm.data->data);
    double sum = 0;
    for (uint32_t i = 0; i < pcm.frames; i++) sum += double(s[i]) * s[i];
    EXPECT_NEAR(std::sqrt(sum / pcm.frames) / 32768.0, 0.354, 0.02);
    __auren_pcm_free(&pcm);

    testgen_signal stereo = testgen_noise(0.3, 2, 44100, 0.3, 7);
    ASSERT_TRUE(load(write_ogg("stereo.OGG", stereo), &pcm));
    EXPECT_EQ(pcm.format, AL_FORMAT_STEREO16);
    EXPECT_EQ(pcm.frames, stereo.frames());
    EXPECT_EQ(pcm.data->get_size(), stereo.frames() * 4);
    __auren_pcm_free(&pcm);

    // Without a device only the header is read.
    ASSERT_TRUE(load(path("stereo.OGG"), &pcm, false));
    EXPECT_EQ(pcm.data, nullptr);
    EXPECT_EQ(pcm.frequency, 44100);
}

TEST_F(SoundOgg, RefusesCutFiles)
{
    std::string good = test_read_file(write_ogg("good.ogg", testgen_noise(1.0, 2, 44100, 0.3, 3)));
    std::vector<size_t> pages = ogg_page_offsets(good);
    ASSERT_GE(pages.size(), 4u);
    std::vector<size_t> cuts = {good.size() / 10,
                                good.size() / 2,
                                good.size() * 9 / 10,
                                good.size() - 1,
                                pages.back(),
                                pages[pages.size() - 2],
                                30};
    for (size_t cut : cuts) {
        for (bool decode : {true, false}) {
            std::string p = path("cut_" + std::to_string(cut) + ".ogg");
            test_write_file(p, good.substr(0, cut));
            auren_pcm_t pcm;
            EXPECT_FALSE(load(p, &pcm, decode)) << "cut at " << cut << " of " << good.size();
        }
    }
}

TEST_F(SoundOgg, RefusesDamagedAndForeignFiles)
{
    std::string good = test_read_file(write_ogg("good.ogg", testgen_noise(0.5, 1, 44100, 0.3, 5)));
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x40;
    test_write_file(path("flipped.ogg"), flipped);
    test_write_file(path("text.ogg"), "this is not a sound file at all\n");
    test_write_file(path("empty.ogg"), "");
    test_write_file(path("prefixed.ogg"), "JUNK" + good);
    testgen_write_wav(path("wave.ogg"), testgen_sine(0.1, 1, 8000, 300, 0.3));
    for (const char *name : {"flipped.ogg", "text.ogg", "empty.ogg", "prefixed.ogg", "wave.ogg", "missing.ogg"}) {
        auren_pcm_t pcm;
        EXPECT_FALSE(load(path(name), &pcm)) << name;
    }
}

TEST_F(SoundOgg, OversizedFilesAndFoldersAreRefusedUnread)
{
    // A sparse file one byte over the limit: refused on its size, never read.
    test_write_file(path("huge.ogg"), "");
    std::filesystem::resize_file(path("huge.ogg"), uintmax_t(AUREN_SAMPLE_MAX_FILE_BYTES) + 1);
    auren_pcm_t pcm;
    EXPECT_FALSE(load(path("huge.ogg"), &pcm));
    EXPECT_NE(sound_read_log(log).find("auren: " + path("huge.ogg") + " is too big for a sample"), std::string::npos);
    std::filesystem::create_directory(path("folder.ogg"));
    EXPECT_FALSE(load(path("folder.ogg"), &pcm));
    EXPECT_NE(sound_read_log(log).find("auren: cannot open file: " + path("folder.ogg") + " for reading"),
              std::string::npos);
}

TEST_F(SoundOgg, RefusesMoreThanTwoChannels)
{
    testgen_signal s = testgen_sine(0.2, 3, 44100, 440, 0.3);
    std::string p = write_ogg("three.ogg", s);
    auren_pcm_t pcm;
    EXPECT_FALSE(load(p, &pcm));
    EXPECT_NE(sound_read_log(log).find("only one or two channels"), std::string::npos);
}

// Damage hidden behind valid page checksums reaches the decoder itself.
TEST_F(SoundOgg, DamageBehindValidChecksumsNeverReadsOutside)
{
    std::string good = test_read_file(write_ogg("good.ogg", testgen_chirp(0.5, 2, 44100, 200, 2000, 0.4)));
    std::vector<size_t> pages = ogg_page_offsets(good);
    uint32_t state = 4242;
    for (int round = 0; round < 40; round++) {
        state = state * 1664525u + 1013904223u;
        std::string bad = ogg_mangle_page(good, (state >> 8) % pages.size(), 8, &state);
        std::string p = path("mangled.ogg");
        test_write_file(p, bad);
        auren_pcm_t pcm;
        if (__load_ogg_data(p.c_str(), &pcm, true)) {
            EXPECT_LE(pcm.data->get_size(), AUREN_SAMPLE_MAX_PCM_BYTES);
            __auren_pcm_free(&pcm);
        }
    }
}

TEST_F(SoundOgg, WavFilesLoadAndLyingOnesAreRefusedByName)
{
    testgen_signal s = testgen_sine(0.25, 2, 22050, 500, 0.3);
    ASSERT_TRUE(testgen_write_wav(path("tone.wav"), s, 16));
    auren_pcm_t pcm;
    ASSERT_TRUE(__load_wav_data(path("tone.wav").c_str(), &pcm, true));
    EXPECT_EQ(pcm.frames, s.frames());
    EXPECT_EQ(pcm.data->get_size(), s.frames() * 4);
    EXPECT_EQ(0, memcmp(pcm.data->data, s.pcm.data(), pcm.data->get_size()));
    __auren_pcm_free(&pcm);

    std::string lying = test_read_file(path("tone.wav"));
    lying.resize(lying.size() / 2); // the header still claims all of it
    test_write_file(path("lying.wav"), lying);
    EXPECT_FALSE(__load_wav_data(path("lying.wav").c_str(), &pcm, true));
    EXPECT_FALSE(__load_wav_data(path("lying.wav").c_str(), &pcm, false));
    std::string text = sound_read_log(log);
    EXPECT_NE(text.find(path("lying.wav")), std::string::npos);
    EXPECT_NE(text.find("is not a usable WAV file: RIFF size does not match the file"), std::string::npos);
}

// Found by fuzzing: a looping stream rewound after OV_EBADLINK, and the next
// read divided by zero inside libvorbis. A stream whose decoder reports an
// error now ends with a message and is never rewound; only the end of the
// data starts a looping stream over. (A broken link is hard to build by
// hand; a decoder that is not open gives the same kind of answer, OV_EINVAL.)
TEST_F(SoundOgg, ALoopingStreamEndsOnADecodingErrorAndRewindsOnlyAtItsEnd)
{
    testgen_signal sig = testgen_sine(0.1, 1, 22050, 440, 0.5); // 4410 bytes of PCM
    std::string file = write_ogg("loop.ogg", sig);
    FILE *f = fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    auren_stream_t stream{};
    char name[] = "loop.ogg";
    stream.name = name;
    stream.looping = 1;
    const char *why = nullptr;
    ASSERT_TRUE(__auren_ogg_open_file(f, &stream.decoder, &why)) << why;
    // At the end of the data the looping stream starts over: 3 x 4410 bytes fill one read.
    std::vector<char> chunk(3 * 4410);
    uint32_t filled = 0;
    EXPECT_TRUE(__ogg_read_buffer(&stream, uint32_t(chunk.size()), chunk.data(), &filled));
    EXPECT_EQ(filled, chunk.size());
    EXPECT_EQ(sound_read_log(log).find("the stream ends"), std::string::npos);
    ov_clear(&stream.decoder); // from here on every read is an error

    EXPECT_FALSE(__ogg_read_buffer(&stream, uint32_t(chunk.size()), chunk.data(), &filled));
    EXPECT_EQ(filled, 0u);
    std::string text = sound_read_log(log);
    EXPECT_NE(text.find("auren_stream(): loop.ogg: the rest of the file is skipped, the stream ends"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("cannot rewind"), std::string::npos) << "no rewind was tried: " << text;
    fclose(f);
}

// Found by the Ogg fuzz target: an empty block (which may have no address)
// was copied from with memcpy, undefined even for 0 bytes. Both loaders
// refuse it by name; the sanitizer build watches the copy.
TEST_F(SoundOgg, EmptyBlocksInMemoryAreRefused)
{
    auren_pcm_t pcm;
    EXPECT_FALSE(__load_ogg_memory("empty.ogg", nullptr, 0, &pcm, true));
    EXPECT_FALSE(__load_wav_memory("empty.wav", nullptr, 0, &pcm, true));
    std::string text = sound_read_log(log);
    EXPECT_NE(text.find("empty.ogg"), std::string::npos) << text;
    EXPECT_NE(text.find("empty.wav"), std::string::npos) << text;
}
