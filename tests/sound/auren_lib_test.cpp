// The sound library with OpenAL Soft's null backend and with no device:
// device choice, samples, sources, setters, the sound thread's housekeeping,
// faults, and refused files.

#include "sound_lib_fixture.h"

TEST_F(SoundLib, ChoosesTheDeviceAfterItsTestsAndStartsAgainAfterDeinit)
{
    child(with("null"), [&] {
        for (int round = 0; round < 2; round++) {
            auren_init();
            ASSERT_TRUE(auren_is_inited());
            auren_stats_t s = stats();
            EXPECT_TRUE(s.device_opened);
            EXPECT_TRUE(s.buffer_queues);
            EXPECT_TRUE(s.pitch_shift);
            EXPECT_GT(s.resources_limit, 16);
            EXPECT_LE(s.resources_limit, AUREN_MAX_RESOURCES);
            EXPECT_EQ(s.live_sources, 0);
            EXPECT_GE(wait_until([] { return stats().ticks >= 2; }, 1.0), 0) << "the sound thread ticks";
            auren_deinit();
            EXPECT_FALSE(auren_is_inited());
        }
    });
    std::string text = log_text();
    for (const char *line :
         {"auren_init: systems called: 1", "auren_choose_device: devices num: 1", "\tdevice#0 : OpenAL Soft",
          "\t__buffer test: this system supports buffer queues", "auren: inited AL",
          "auren: resources limit: 256 sources", "auren_deinit: systems remaining: 0", "auren: deinited AL"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(SoundLib, WithoutADeviceEveryCallWorksOnItsRecords)
{
    std::string tone = ogg("tone.ogg", testgen_sine(0.2, 1, 22050, 440, 0.3));
    std::string beep = wav("beep.wav", testgen_sine(0.1, 2, 22050, 880, 0.3), 8);
    std::string music = ogg("music.ogg", testgen_sine(1.0, 2, 44100, 300, 0.3));
    test_write_file(path("junk.ogg"), "junk");
    child(with(NO_DEVICE), [&] {
        auren_init();
        auren_stats_t s = stats();
        EXPECT_FALSE(s.device_opened);
        EXPECT_EQ(s.resources_limit, 0);

        auren_sound_t *a = auren_load(tone.c_str());
        auren_sound_t *b = auren_load(beep.c_str());
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(auren_load(tone.c_str()), a);
        EXPECT_EQ(peek([&] { return a->ref_count; }), 2);
        EXPECT_EQ(auren_load(path("junk.ogg").c_str()), nullptr) << "damaged files are refused without a device too";
        int channels = 0, rate = 0;
        double seconds = -1;
        auren_sound_get_info(b, &channels, &rate, &seconds);
        EXPECT_EQ(channels, 2);
        EXPECT_EQ(rate, 22050);

        auren_source_t *src = auren_play(a, 0);
        ASSERT_NE(src, nullptr);
        EXPECT_FALSE(auren_is_playing(src));
        EXPECT_TRUE(auren_source_play(src));
        auren_set_gain(src, 0.5f);
        auren_set_position_ws(src, {1, 2, 3});
        auren_set_max_distance(src, 100);
        auren_set_reference_distance(src, 2);
        auren_set_rolloff_factor(src, 1);
        auren_set_looping(src, true);
        auren_set_source_relative(src, true);
        auren_set_active_distance(src, 50);
        auren_set_pitch(src, 3.0f);
        auren_stop(src);
        auren_listener_set_pos({5, 0, 0});
        auren_listener_set_orientation({0, 0, -1}, {0, 1, 0});
        auren_listener_set_gain(0.7f);
        peek([&] {
            EXPECT_EQ(src->play_state, PS_VIRTUAL);
            EXPECT_EQ(src->gain, 0.5f);
            EXPECT_EQ(src->pitch, AUREN_PITCH_MAX);
            EXPECT_EQ(src->max_distance, 100.0f);
            EXPECT_EQ(src->reference_distance, 2.0f);
            EXPECT_EQ(src->rolloff_factor, 1.0f);
            EXPECT_EQ(src->looping, 1);
            EXPECT_EQ(src->source_relative, 1);
            EXPECT_EQ(src->active_distance, 50.0f);
            EXPECT_EQ(src->position.z, 3.0f);
            EXPECT_EQ(auren_system.listener_gain, 0.7f);
            return 0;
        });
        auren_source_t *shot = auren_play(b, AUREN_PLAY_FORGET);
        ASSERT_NE(shot, nullptr);
        EXPECT_GE(wait_until([&] { return peek([&] { return shot->state == SS_UNDEF; }); }, ONE_TICK), 0)
            << "a forgotten source counts as stopped and is released at the next tick";

        auren_stream_t *stream = auren_stream(music.c_str());
        ASSERT_NE(stream, nullptr);
        auren_stream_set_gain(stream, 0.8f);
        auren_stream_set_looping(stream, true);
        auren_stream_play(stream);
        EXPECT_GE(wait_until([&] { return peek([&] { return stream->started == 1; }); }, ONE_TICK), 0);
        auren_stream_pause(stream);
        auren_stream_stop(stream);
        EXPECT_GE(wait_until([&] { return peek([&] { return stream->started == 0; }); }, ONE_TICK), 0);
        auren_stream_stop_and_deinit(stream);
        EXPECT_GE(wait_until([] { return stats().streams == 0; }, ONE_TICK), 0);

        auren_sound_deinit(a);
        auren_sound_deinit(a);
        auren_sound_deinit(b);
        EXPECT_EQ(stats().samples, 0);
        auren_deinit();
    });
    EXPECT_NE(log_text().find("auren_choose_device: no sound device available.. exiting"), std::string::npos);
}

TEST_F(SoundLib, SamplesAreSharedByTheirExactPath)
{
    std::string tone = ogg("tone.ogg", testgen_sine(0.2, 1, 22050, 440, 0.3));
    std::string caps = ogg("CAPS.OGG", testgen_sine(0.2, 2, 44100, 440, 0.3));
    child(with("null"), [&] {
        auren_init();
        auren_sound_t *a = auren_load(tone.c_str());
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(auren_load(tone.c_str()), a);
        std::string other_spelling = dir + "/./tone.ogg";
        auren_sound_t *c = auren_load(other_spelling.c_str());
        EXPECT_NE(c, a) << "the name is the key, compared exactly";
        // The game names its files with backslashes.
        std::string windows_style = dir + "\\tone.ogg";
        auren_sound_t *w = auren_load(windows_style.c_str());
        ASSERT_NE(w, nullptr);
        auren_sound_deinit(w);
        auren_sound_t *upper = auren_load(caps.c_str());
        ASSERT_NE(upper, nullptr) << "the extension is compared without regard to case";
        double seconds = 0;
        auren_sound_get_info(upper, nullptr, nullptr, &seconds);
        EXPECT_NEAR(seconds, 0.2, 0.001);
        ALuint buffer = a->buffer;
        EXPECT_EQ(stats().samples, 3);

        auren_sound_deinit(a);
        EXPECT_EQ(peek([&] { return a->ref_count; }), 1);
        EXPECT_TRUE(peek([&] { return alIsBuffer(buffer) == AL_TRUE; }));
        auren_source_t *src = auren_play(a, 0);
        EXPECT_EQ(stats().live_sources, 1);
        auren_sound_deinit(a); // frees the sample, its playing source with it
        EXPECT_FALSE(peek([&] { return alIsBuffer(buffer) == AL_TRUE; }));
        EXPECT_EQ(stats().live_sources, 0);
        EXPECT_EQ(stats().samples, 2);
        (void)src;
        // A freed sample leaves its list entry empty; a new one is appended.
        auren_sound_t *again = auren_load(tone.c_str());
        EXPECT_EQ(peek([&] { return again->index; }), 4);
        auren_sound_deinit(again);
        auren_sound_deinit(c);
        auren_sound_deinit(upper);
        auren_deinit();
    });
    EXPECT_NE(log_text().find("auren: sample successfully loaded: " + tone), std::string::npos);
}

TEST_F(SoundLib, SourcesGoFromVirtualToPlayingAndBackThroughTheSoundThread)
{
    std::string loop = ogg("loop.ogg", testgen_sine(0.5, 1, 22050, 440, 0.3));
    std::string blip = ogg("blip.ogg", testgen_sine(0.05, 1, 22050, 880, 0.3));
    child(with("null"), [&] {
        auren_init();
        auren_sound_t *snd = auren_load(loop.c_str());
        ASSERT_NE(snd, nullptr);
        auren_source_t *src = auren_source_add(snd);
        ASSERT_NE(src, nullptr);
        EXPECT_FALSE(auren_is_playing(src));
        EXPECT_EQ(peek([&] { return src->play_state; }), PS_VIRTUAL);
        EXPECT_EQ(stats().live_sources, 0) << "an added source holds no voice";

        auren_set_looping(src, true);
        ASSERT_TRUE(auren_source_play(src));
        EXPECT_TRUE(auren_is_playing(src));
        EXPECT_EQ(stats().live_sources, 1);
        auren_stop(src);
        EXPECT_FALSE(auren_is_playing(src));
        EXPECT_EQ(peek([&] { return src->play_state; }), PS_STOPPED);
        double t = wait_until([&] { return peek([&] { return src->play_state == PS_VIRTUAL; }); }, 1.0);
        EXPECT_GE(t, 0);
        EXPECT_LE(t, ONE_TICK) << "the voice of a stopped source is given back at the next tick";
        EXPECT_EQ(stats().live_sources, 0);
        EXPECT_EQ(peek([&] { return src->state; }), SS_OWNED) << "it stays the game's";
        ASSERT_TRUE(auren_source_play(src));
        EXPECT_TRUE(auren_is_playing(src));
        auren_set_and_forget(src);
        sound_sleep(ONE_TICK);
        EXPECT_EQ(peek([&] { return src->state; }), SS_FORGET) << "a looping forgotten source plays on";

        auren_sound_t *short_snd = auren_load(blip.c_str());
        auren_source_t *shot = auren_play(short_snd, AUREN_PLAY_FORGET);
        ASSERT_NE(shot, nullptr);
        EXPECT_EQ(stats().live_sources, 2);
        EXPECT_GE(wait_until([&] { return peek([&] { return shot->state == SS_UNDEF; }); }, 0.05 + 2 * ONE_TICK), 0)
            << "a one-shot effect cleans itself up once it has played";
        EXPECT_EQ(stats().live_sources, 1);
        auren_source_t *reused = auren_source_add(short_snd);
        EXPECT_EQ(reused, shot) << "the released slot is taken again";

        auren_sound_deinit(short_snd);
        auren_sound_deinit(snd);
        EXPECT_EQ(stats().live_sources, 0);
        auren_deinit();
    });
}

TEST_F(SoundLib, SourceHandlesStayPutAndVoicesRunOutSoftly)
{
    std::string loop = ogg("loop.ogg", testgen_sine(0.5, 1, 22050, 440, 0.3));
    child(with("null"), [&] {
        auren_init();
        int limit = stats().resources_limit;
        auren_sound_t *snd = auren_load(loop.c_str());
        ASSERT_NE(snd, nullptr);
        auren_source_t *first = auren_source_add(snd);
        auren_set_gain(first, 0.25f);
        std::vector<auren_source_t *> all{first};
        int refused = 0;
        for (int i = 0; i < limit + 40; i++) {
            auren_source_t *src = auren_source_add(snd);
            ASSERT_NE(src, nullptr);
            all.push_back(src);
            auren_set_looping(src, true);
            if (!auren_source_play(src)) refused++;
        }
        std::sort(all.begin(), all.end());
        EXPECT_EQ(std::unique(all.begin(), all.end()), all.end()) << "every source has its own slot";
        EXPECT_EQ(peek([&] { return first->gain; }), 0.25f) << "slots never move as the list grows";
        EXPECT_EQ(refused, 40) << "sources past the device's limit stay virtual";
        EXPECT_EQ(stats().live_sources, limit);
        auren_sound_deinit(snd);
        EXPECT_EQ(stats().live_sources, 0);
        auren_deinit();
    });
}

TEST_F(SoundLib, SettersKeepRangesAndReachTheVoice)
{
    std::string loop = ogg("loop.ogg", testgen_sine(0.5, 1, 22050, 440, 0.3));
    child(with("null"), [&] {
        auren_init();
        auren_sound_t *snd = auren_load(loop.c_str());
        auren_source_t *src = auren_source_add(snd);
        auren_set_pitch(src, 3.0f);
        EXPECT_EQ(peek([&] { return src->pitch; }), 1.99f);
        auren_set_pitch(src, 0.0f);
        EXPECT_EQ(peek([&] { return src->pitch; }), 0.01f);
        auren_set_pitch(src, 1.5f);
        // Values OpenAL would refuse are refused here, the old value kept.
        auren_set_gain(src, -1.0f);
        auren_set_gain(src, NAN);
        auren_set_reference_distance(src, -3.0f);
        auren_set_position_ws(src, {NAN, 0, 0});
        EXPECT_EQ(peek([&] { return src->gain; }), 1.0f);
        EXPECT_EQ(peek([&] { return src->reference_distance; }), 1.0f);
        EXPECT_EQ(peek([&] { return src->position.x; }), 0.0f);
        // Position, max and active distance ignore a null handle.
        auren_set_position_ws(nullptr, {1, 1, 1});
        auren_set_max_distance(nullptr, 10);
        auren_set_active_distance(nullptr, 10);

        auren_set_max_distance(src, 500);
        auren_set_position_ws(src, {3, 4, 5});
        ASSERT_TRUE(auren_source_play(src));
        peek([&] {
            float v = 0;
            alGetSourcef(src->voice, AL_PITCH, &v);
            EXPECT_FLOAT_EQ(v, 1.5f) << "parameters set while virtual apply at the start";
            alGetSourcef(src->voice, AL_MAX_DISTANCE, &v);
            EXPECT_FLOAT_EQ(v, 500.0f);
            ALfloat p[3];
            alGetSourcefv(src->voice, AL_POSITION, p);
            EXPECT_FLOAT_EQ(p[2], 5.0f);
            return 0;
        });
        auren_set_gain(src, 0.25f);
        auren_set_rolloff_factor(src, 2.0f);
        auren_set_looping(src, true);
        peek([&] {
            float v = 0;
            alGetSourcef(src->voice, AL_GAIN, &v);
            EXPECT_FLOAT_EQ(v, 0.25f);
            alGetSourcef(src->voice, AL_ROLLOFF_FACTOR, &v);
            EXPECT_FLOAT_EQ(v, 2.0f);
            ALint looping = 0;
            alGetSourcei(src->voice, AL_LOOPING, &looping);
            EXPECT_EQ(looping, AL_TRUE);
            return 0;
        });
        auren_listener_set_gain(0.5f);
        auren_listener_set_pos({1, 2, 3});
        peek([] {
            float g = 0;
            alGetListenerf(AL_GAIN, &g);
            EXPECT_FLOAT_EQ(g, 0.5f);
            ALfloat p[3];
            alGetListenerfv(AL_POSITION, p);
            EXPECT_FLOAT_EQ(p[1], 2.0f);
            return 0;
        });
        auren_sound_deinit(snd);
        auren_deinit();
    });
    EXPECT_NE(log_text().find("auren_set_gain(): invalid value -1.000000 ignored"), std::string::npos);
}

TEST_F(SoundLib, RefusedFilesGiveNullWithTheirNameAndTheGameGoesOn)
{
    std::string good = ogg("good.ogg", testgen_noise(0.5, 2, 44100, 0.3, 1));
    std::string bytes = test_read_file(good);
    test_write_file(path("cut.ogg"), bytes.substr(0, bytes.size() * 2 / 3));
    std::string flipped = bytes;
    flipped[bytes.size() / 2] ^= 1;
    test_write_file(path("damaged.ogg"), flipped);
    test_write_file(path("notes.ogg"), "some text, no sound\n");
    std::string w = test_read_file(wav("tone.wav", testgen_sine(0.3, 1, 22050, 440, 0.3)));
    test_write_file(path("lying.wav"), w.substr(0, w.size() - 100));
    test_write_file(path("notes.wav"), "some text, no sound\n");
    child(with("null"), [&] {
        auren_init();
        for (const char *name : {"cut.ogg", "damaged.ogg", "notes.ogg", "lying.wav", "notes.wav", "missing.ogg"})
            EXPECT_EQ(auren_load(path(name).c_str()), nullptr) << name;
        for (const char *name : {"cut.ogg", "damaged.ogg", "notes.ogg", "missing.ogg"})
            EXPECT_EQ(auren_stream(path(name).c_str()), nullptr) << name;
        auren_sound_t *snd = auren_load(good.c_str());
        ASSERT_NE(snd, nullptr);
        auren_sound_deinit(snd);
        EXPECT_EQ(stats().samples, 0);
        EXPECT_EQ(stats().streams, 0);
        auren_deinit();
    });
    std::string text = log_text();
    for (const char *name : {"cut.ogg", "damaged.ogg", "notes.ogg", "lying.wav", "notes.wav"})
        EXPECT_NE(text.find(path(name)), std::string::npos) << name;
    EXPECT_NE(text.find("auren_stream(): cannot open " + path("missing.ogg") + " for stream"), std::string::npos);
    EXPECT_NE(text.find("auren_stream(): cannot open " + path("cut.ogg") + " for decoding"), std::string::npos);
}

/* ---- faults ---- */

TEST_F(SoundLib, DeinitWithAVoiceStillHeldIsTheUncleanExitFault)
{
    std::string loop = ogg("loop.ogg", testgen_sine(0.5, 1, 22050, 440, 0.3));
    EXPECT_EXIT(
        {
            setenv("ALSOFT_DRIVERS", "null", 1);
            auren_init();
            auren_source_t *src = auren_play(auren_load(loop.c_str()), 0);
            (void)src;
            test_remove_tree(dir);
            auren_deinit();
        },
        ::testing::ExitedWithCode(3), "auren_deinit: unclean exit. not all sources have been released");
    std::string music = ogg("music.ogg", testgen_sine(2.0, 2, 44100, 300, 0.3));
    EXPECT_EXIT(
        {
            setenv("ALSOFT_DRIVERS", "null", 1);
            auren_init();
            auren_stream_play(auren_stream(music.c_str()));
            test_remove_tree(dir);
            sound_sleep(2 * AUREN_THREAD_PERIOD);
            auren_deinit();
        },
        ::testing::ExitedWithCode(3), "unclean exit");
}

TEST_F(SoundLib, OtherExtensionsAndBadHandlesAreFaults)
{
    EXPECT_EXIT(
        {
            setenv("ALSOFT_DRIVERS", "null", 1);
            auren_init();
            test_remove_tree(dir);
            auren_load("music.mp3");
        },
        ::testing::ExitedWithCode(3), "auren_load: only ogg and wav supported. unknown file extension passed");
    EXPECT_EXIT(
        {
            setenv("ALSOFT_DRIVERS", NO_DEVICE, 1);
            auren_init();
            test_remove_tree(dir);
            auren_set_gain(nullptr, 1.0f);
        },
        ::testing::ExitedWithCode(3), "__auren_check_sanity");
    EXPECT_EXIT(
        {
            setenv("ALSOFT_DRIVERS", NO_DEVICE, 1);
            auren_init();
            test_remove_tree(dir);
            auren_sound_deinit(nullptr);
        },
        ::testing::ExitedWithCode(3), "snd != NULL");
    EXPECT_EXIT(
        {
            setenv("ALSOFT_DRIVERS", NO_DEVICE, 1);
            test_remove_tree(dir);
            auren_init();
            auren_init();
        },
        ::testing::ExitedWithCode(3), "auren_is_inited");
}
