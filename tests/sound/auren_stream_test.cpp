// Streams with OpenAL Soft's null backend: the states a stream goes through
// tick by tick, its ring of buffers, and streams left open at the end. Also
// the game thread and the sound thread at work together.

#include "sound_lib_fixture.h"

static ALint queued_buffers(auren_stream_t *s)
{
    return peek([&] {
        ALint n = 0;
        alGetSourcei(s->voice, AL_BUFFERS_QUEUED, &n);
        return n;
    });
}

static ALint voice_state(auren_stream_t *s)
{
    return peek([&] {
        ALint n = 0;
        alGetSourcei(s->voice, AL_SOURCE_STATE, &n);
        return n;
    });
}

TEST_F(SoundLib, StreamsActOnTheirStateAtTheNextTick)
{
    std::string music = ogg("music.ogg", testgen_sine(4.0, 2, 44100, 300, 0.3));
    child(with("null"), [&] {
        auren_init();
        EXPECT_EQ(auren_stream(path("missing.ogg").c_str()), nullptr);
        auren_stream_t *s = auren_stream(music.c_str());
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(auren_stream_get_state(s), STREAM_STOP);
        int channels = 0, rate = 0;
        double seconds = 0;
        auren_stream_get_info(s, &channels, &rate, &seconds);
        EXPECT_EQ(channels, 2);
        EXPECT_EQ(rate, 44100);
        EXPECT_NEAR(seconds, 4.0, 0.001);
        sound_sleep(ONE_TICK);
        EXPECT_EQ(stats().live_sources, 0) << "nothing is decoded before play";

        auren_stream_play(s);
        double t = wait_until([] { return stats().live_sources == 1; }, 1.0);
        EXPECT_GE(t, 0);
        EXPECT_LE(t, ONE_TICK);
        EXPECT_EQ(queued_buffers(s), AUREN_STREAM_BUFFERS) << "precharged with the whole ring";
        EXPECT_EQ(voice_state(s), AL_PLAYING);
        // It keeps the ring full while it plays.
        sound_sleep(0.5);
        EXPECT_EQ(queued_buffers(s), AUREN_STREAM_BUFFERS);

        auren_stream_pause(s);
        t = wait_until([&] { return voice_state(s) == AL_PAUSED; }, 1.0);
        EXPECT_GE(t, 0);
        EXPECT_LE(t, ONE_TICK);
        auren_stream_play(s);
        t = wait_until([&] { return voice_state(s) == AL_PLAYING; }, 1.0);
        EXPECT_GE(t, 0);
        EXPECT_LE(t, ONE_TICK) << "the same voice resumes";
        EXPECT_EQ(stats().live_sources, 1);

        auren_stream_stop(s);
        t = wait_until([] { return stats().live_sources == 0; }, 1.0);
        EXPECT_GE(t, 0);
        EXPECT_LE(t, ONE_TICK);
        EXPECT_FALSE(peek([&] { return s->started; }));

        // Stop-and-deinit of a stream never played frees it at the next tick;
        // the next stream takes its slot in the list.
        auren_stream_t *other = auren_stream(music.c_str());
        int32_t slot = peek([&] { return other->list_index; });
        auren_stream_stop_and_deinit(other);
        EXPECT_LE(wait_until([] { return stats().streams == 1; }, 1.0), ONE_TICK);
        auren_stream_t *third = auren_stream(music.c_str());
        EXPECT_EQ(peek([&] { return third->list_index; }), slot);

        auren_stream_stop_and_deinit(third);
        auren_stream_stop_and_deinit(s);
        EXPECT_LE(wait_until([] { return stats().streams == 0; }, 1.0), ONE_TICK);
        auren_deinit();
    });
}

TEST_F(SoundLib, AShortStreamQueuesAllItsDataAndEndsPaused)
{
    // 0.25 s of 44.1 kHz stereo: two whole chunks of 16300 bytes and a part of one.
    std::string jingle = ogg("jingle.ogg", testgen_sine(0.25, 2, 44100, 500, 0.3));
    child(with("null"), [&] {
        auren_init();
        auren_stream_t *s = auren_stream(jingle.c_str());
        ASSERT_NE(s, nullptr);
        auren_stream_play(s);
        ASSERT_GE(wait_until([&] { return peek([&] { return s->started == 1; }); }, 1.0), 0);
        EXPECT_EQ(queued_buffers(s), 3) << "the last, partial chunk is queued too";
        EXPECT_EQ(auren_stream_get_state(s), STREAM_DRAIN);
        double t = wait_until([&] { return auren_stream_get_state(s) == STREAM_PAUSE; }, 2.0);
        EXPECT_GE(t, 0.25 - ONE_TICK) << "not before it has been heard";
        EXPECT_LE(t, 0.25 + ONE_TICK);
        // Playing a finished stream again finds its end at once.
        auren_stream_play(s);
        sound_sleep(2 * ONE_TICK);
        EXPECT_EQ(auren_stream_get_state(s), STREAM_PAUSE);
        // Looping brings it back from the start.
        auren_stream_set_looping(s, true);
        auren_stream_play(s);
        sound_sleep(2 * ONE_TICK);
        EXPECT_EQ(auren_stream_get_state(s), STREAM_PLAY);
        EXPECT_EQ(voice_state(s), AL_PLAYING);
        auren_stream_stop_and_deinit(s);
        EXPECT_LE(wait_until([] { return stats().live_sources == 0; }, 1.0), ONE_TICK);
        auren_deinit();
    });
}

TEST_F(SoundLib, ReleasesMadeRightBeforeDeinitAreNoUncleanExit)
{
    std::string music = ogg("music.ogg", testgen_sine(2.0, 2, 44100, 300, 0.3));
    std::string tone = ogg("tone.ogg", testgen_sine(0.5, 1, 22050, 440, 0.3));
    child(with("null"), [&] {
        // Whether or not the sound thread has one more tick in between.
        for (double wait : {0.0, 0.01, 0.05, 0.14}) {
            auren_init();
            auren_stream_t *s = auren_stream(music.c_str());
            auren_sound_t *snd = auren_load(tone.c_str());
            auren_source_t *src = auren_play(snd, 0);
            auren_stream_play(s);
            ASSERT_GE(wait_until([] { return stats().live_sources == 2; }, 1.0), 0);
            sound_sleep(wait);
            auren_stop(src);
            auren_stream_stop_and_deinit(s);
            auren_deinit();
        }
    });
}

TEST_F(SoundLib, StreamsAndSamplesLeftAtDeinitWithoutVoicesAreFreed)
{
    std::string music = ogg("music.ogg", testgen_sine(1.0, 2, 44100, 300, 0.3));
    std::string tone = ogg("tone.ogg", testgen_sine(0.2, 1, 22050, 440, 0.3));
    child(with("null"), [&] {
        auren_init();
        ASSERT_NE(auren_stream(music.c_str()), nullptr);
        auren_stream_t *released = auren_stream(music.c_str());
        auren_source_add(auren_load(tone.c_str()));
        auren_stream_stop_and_deinit(released);
        auren_deinit(); // the sanitizer build checks that nothing leaked
    });
    std::string text = log_text();
    EXPECT_NE(text.find("auren_deinit: stream " + music + " still open: freed"), std::string::npos);
    EXPECT_NE(text.find("auren_deinit: sample " + tone + " still loaded (1 references): freed"), std::string::npos);
    EXPECT_EQ(text.find("still open: freed"), text.rfind("still open: freed")) << "a released stream is not reported";
}

TEST_F(SoundLib, AStreamDamagedBehindValidChecksumsPlaysWhatItCan)
{
    std::string good = test_read_file(ogg("good.ogg", testgen_noise(3.0, 2, 44100, 0.3, 11)));
    std::vector<std::string> files;
    uint32_t seed = 77;
    size_t pages = ogg_page_offsets(good).size();
    // Pages 0 and 1 hold the headers; the rest is audio.
    for (size_t page = 2; page < pages; page += 3) {
        std::string p = path("damaged" + std::to_string(page) + ".ogg");
        test_write_file(p, ogg_mangle_page(good, page, 40, &seed));
        files.push_back(p);
    }
    ASSERT_GE(files.size(), 3u);
    child(with("null"), [&] {
        auren_init();
        for (const std::string &p : files) {
            auren_stream_t *s = auren_stream(p.c_str());
            ASSERT_NE(s, nullptr) << "only the audio is damaged";
            auren_stream_set_looping(s, true);
            auren_stream_play(s);
            sound_sleep(0.4);
            auren_stream_stop_and_deinit(s);
        }
        EXPECT_LE(wait_until([] { return stats().streams == 0; }, 1.0), ONE_TICK);
        EXPECT_EQ(stats().live_sources, 0);
        auren_deinit();
    });
}

// The game thread calls everything while the sound thread ticks.
TEST_F(SoundLib, GameAndSoundThreadsWorkTogether)
{
    std::string music = ogg("music.ogg", testgen_sine(1.0, 2, 44100, 300, 0.3));
    std::string shot = ogg("shot.ogg", testgen_noise(0.08, 1, 22050, 0.3, 9));
    std::string hum = wav("hum.wav", testgen_sine(0.3, 1, 22050, 100, 0.3));
    child(with("null"), [&] {
        auren_init();
        auren_stream_t *s = auren_stream(music.c_str());
        auren_stream_set_looping(s, true);
        auren_sound_t *snd = auren_load(shot.c_str());
        auren_sound_t *amb = auren_load(hum.c_str());
        std::vector<auren_source_t *> ambient;
        for (int i = 0; i < 8; i++) {
            auren_source_t *a = auren_source_add(amb);
            auren_set_looping(a, true);
            auren_set_position_ws(a, {float(i * 20), 0, 0});
            auren_set_active_distance(a, 15);
            ambient.push_back(a);
        }
        auto start = std::chrono::steady_clock::now();
        int round = 0;
        while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1500)) {
            auren_source_t *src = auren_play(snd, AUREN_PLAY_FORGET);
            ASSERT_NE(src, nullptr);
            auren_set_position_ws(src, {float(round % 7), 0, 1});
            auren_set_pitch(src, 0.8f + 0.05f * float(round % 8));
            auren_listener_set_pos({float((round * 3) % 160), 0, 0});
            auren_listener_set_orientation({0, 0, -1}, {0, 1, 0});
            switch (round % 40) {
            case 0: auren_stream_play(s); break;
            case 10: auren_stream_pause(s); break;
            case 20: auren_stream_play(s); break;
            case 30: auren_stream_stop(s); break;
            }
            auren_stream_set_gain(s, 0.5f + 0.01f * float(round % 50));
            auren_stats_t st = stats();
            EXPECT_LE(st.live_sources, st.resources_limit);
            sound_sleep(0.01);
            round++;
        }
        EXPECT_GT(stats().ticks, 5u);
        auren_stream_stop_and_deinit(s);
        EXPECT_LE(wait_until([] { return stats().streams == 0; }, 1.0), ONE_TICK);
        auren_sound_deinit(snd);
        auren_sound_deinit(amb);
        EXPECT_EQ(stats().live_sources, 0);
        auren_deinit();
    });
}
