// What is heard: OpenAL Soft's wave writer captures the mix, and the tests
// measure its energy, frequency and timing.

#include "sound_lib_fixture.h"

// Louder than this RMS counts as sound (dither noise is far below).
#define SOUND_THRESHOLD 0.02

class SoundCapture : public SoundLib {
  protected:
    void SetUp() override
    {
        SoundLib::SetUp();
        capture_path = path("mix.wav");
    }
    // Reads the mix the child left behind and finds its stretches of sound.
    bool read_mix()
    {
        if (!capture_read(capture_path, &mix)) return false;
        segments = capture_segments(mix, SOUND_THRESHOLD, 0.03);
        return true;
    }
    std::string capture_path;
    capture_t mix;
    std::vector<std::pair<double, double>> segments;
};

TEST_F(SoundCapture, ASampleIsHeardAndGainPitchAndListenerGainShapeIt)
{
    std::string tone = ogg("tone.ogg", testgen_sine(0.5, 1, 22050, 440, 0.5));
    const double PHASE = 0.4;
    child(with("wave", capture_path), [&] {
        auren_init();
        ASSERT_TRUE(stats().device_opened);
        auren_sound_t *snd = auren_load(tone.c_str());
        ASSERT_NE(snd, nullptr);
        auren_source_t *src = auren_source_add(snd);
        auren_set_looping(src, true);
        sound_sleep(0.1);
        ASSERT_TRUE(auren_source_play(src));
        sound_sleep(PHASE);
        auren_set_gain(src, 0.5f);
        sound_sleep(PHASE);
        auren_set_gain(src, 1.0f);
        auren_set_pitch(src, 1.5f);
        sound_sleep(PHASE);
        auren_set_pitch(src, 1.0f);
        auren_listener_set_gain(0.25f);
        sound_sleep(PHASE);
        auren_stop(src);
        sound_sleep(0.3);
        auren_sound_deinit(snd);
        auren_deinit();
    });
    ASSERT_TRUE(read_mix());
    ASSERT_EQ(segments.size(), 1u) << "one stretch of sound";
    double on = segments[0].first;
    EXPECT_NEAR(segments[0].second - on, 4 * PHASE, 0.06) << "it stops at once";
    auto phase = [&](int i) { return std::make_pair(on + i * PHASE + 0.1, on + (i + 1) * PHASE - 0.1); };
    auto [a0, a1] = phase(0);
    double full = capture_rms(mix, a0, a1);
    EXPECT_GT(full, 0.1);
    EXPECT_NEAR(capture_frequency(mix, a0, a1), 440, 5);
    auto [b0, b1] = phase(1);
    EXPECT_NEAR(capture_rms(mix, b0, b1) / full, 0.5, 0.03) << "gain 0.5";
    auto [c0, c1] = phase(2);
    EXPECT_NEAR(capture_frequency(mix, c0, c1), 660, 8) << "pitch 1.5";
    EXPECT_NEAR(capture_rms(mix, c0, c1) / full, 1.0, 0.05);
    auto [d0, d1] = phase(3);
    EXPECT_NEAR(capture_rms(mix, d0, d1) / full, 0.25, 0.02) << "listener gain 0.25";
    EXPECT_NEAR(capture_frequency(mix, d0, d1), 440, 5);
    EXPECT_LT(capture_rms(mix, segments[0].second + 0.02, mix.seconds()), 0.002) << "silence after the stop";
}

TEST_F(SoundCapture, AStreamIsHeardAtItsGainWhereverTheListenerIs)
{
    std::string music = ogg("music.ogg", testgen_sine(3.0, 2, 44100, 330, 0.4));
    child(with("wave", capture_path), [&] {
        auren_init();
        auren_stream_t *s = auren_stream(music.c_str());
        ASSERT_NE(s, nullptr);
        auren_stream_play(s);
        double t = wait_until([] { return stats().live_sources == 1; }, 1.0);
        ASSERT_GE(t, 0);
        EXPECT_LE(t, ONE_TICK) << "playing starts at the next tick";
        sound_sleep(0.7);
        auren_listener_set_pos({1000, 0, 0});
        sound_sleep(0.7);
        auren_stream_set_gain(s, 0.5f);
        sound_sleep(0.5);
        auren_stream_stop_and_deinit(s);
        sound_sleep(2 * ONE_TICK);
        auren_deinit();
    });
    ASSERT_TRUE(read_mix());
    ASSERT_EQ(segments.size(), 1u);
    double on = segments[0].first;
    double near_rms = capture_rms(mix, on + 0.1, on + 0.6);
    EXPECT_GT(near_rms, 0.1);
    EXPECT_NEAR(capture_frequency(mix, on + 0.1, on + 0.6), 330, 4);
    EXPECT_NEAR(capture_rms(mix, on + 0.8, on + 1.3) / near_rms, 1.0, 0.05) << "music ignores the listener's place";
    EXPECT_NEAR(capture_rms(mix, on + 1.5, on + 1.8) / near_rms, 0.5, 0.04) << "stream gain";
    EXPECT_NEAR(segments[0].second - on, 1.9, ONE_TICK);
}

TEST_F(SoundCapture, ALoopingStreamCrossesItsLoopPointWithoutAGap)
{
    const double LENGTH = 0.37; // four chunks, the last one partial
    std::string loop = ogg("loop.ogg", testgen_sine(LENGTH, 2, 44100, 500, 0.4));
    child(with("wave", capture_path), [&] {
        auren_init();
        auren_stream_t *s = auren_stream(loop.c_str());
        auren_stream_set_looping(s, true);
        auren_stream_play(s);
        sound_sleep(1.8);
        auren_stream_stop_and_deinit(s);
        sound_sleep(2 * ONE_TICK);
        auren_deinit();
    });
    ASSERT_TRUE(read_mix());
    ASSERT_EQ(segments.size(), 1u) << "no silence anywhere";
    double on = segments[0].first, off = segments[0].second;
    EXPECT_GT(off - on, 4 * LENGTH) << "it went round several times";
    double level = capture_rms(mix, on + 0.05, off - 0.05);
    EXPECT_GT(capture_min_window_rms(mix, on + 0.02, off - 0.02), 0.6 * level) << "no gap at any loop point";
}

TEST_F(SoundCapture, ANonLoopingStreamPlaysToItsLastSample)
{
    std::string jingle = ogg("jingle.ogg", testgen_sine(0.6, 2, 44100, 400, 0.4));
    std::string song = ogg("song.ogg", testgen_sine(2.0, 1, 22050, 300, 0.4));
    child(with("wave", capture_path), [&] {
        auren_init();
        for (const std::string &p : {jingle, song}) {
            auren_stream_t *s = auren_stream(p.c_str());
            auren_stream_play(s);
            EXPECT_GE(wait_until([&] { return auren_stream_get_state(s) == STREAM_PAUSE; }, 4.0), 0);
            auren_stream_stop_and_deinit(s);
            sound_sleep(0.3);
        }
        auren_deinit();
    });
    ASSERT_TRUE(read_mix());
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_NEAR(segments[0].second - segments[0].first, 0.6, 0.03) << "shorter than the ring";
    EXPECT_NEAR(segments[1].second - segments[1].first, 2.0, 0.03) << "longer than the ring";
}

// The chirp rises 200 Hz a second from 300 Hz: its frequency tells where in
// the file the heard sound comes from.
static double chirp_position(const capture_t &mix, double t0, double t1)
{
    return (capture_frequency(mix, t0, t1) - 300.0) / 200.0;
}

TEST_F(SoundCapture, PauseResumesInPlaceAndStopResumesFromTheDecoder)
{
    std::string chirp = ogg("chirp.ogg", testgen_chirp(5.0, 2, 44100, 300, 1300, 0.4));
    child(with("wave", capture_path), [&] {
        auren_init();
        auren_stream_t *s = auren_stream(chirp.c_str());
        auren_stream_play(s);
        sound_sleep(0.8);
        auren_stream_pause(s);
        sound_sleep(0.4);
        auren_stream_play(s);
        sound_sleep(0.6);
        auren_stream_stop(s);
        double t = wait_until([&] { return peek([&] { return s->started == 0; }); }, 1.0);
        EXPECT_GE(t, 0);
        EXPECT_LE(t, ONE_TICK) << "stopped within one tick";
        sound_sleep(0.4);
        auren_stream_play(s);
        sound_sleep(0.6);
        auren_stream_stop_and_deinit(s);
        sound_sleep(2 * ONE_TICK);
        auren_deinit();
    });
    ASSERT_TRUE(read_mix());
    ASSERT_EQ(segments.size(), 3u);
    // Each change waits for the next tick: a stretch or a silence is off by at most one period.
    EXPECT_NEAR(segments[0].second - segments[0].first, 0.8, ONE_TICK);
    EXPECT_NEAR(segments[1].first - segments[0].second, 0.4, ONE_TICK) << "paused within a tick";
    EXPECT_NEAR(segments[1].second - segments[1].first, 0.6, ONE_TICK);
    EXPECT_NEAR(segments[2].first - segments[1].second, 0.4, ONE_TICK) << "stopped within a tick";

    const double W = 0.05;
    double before_pause = chirp_position(mix, segments[0].second - W - 0.01, segments[0].second - 0.01);
    double after_pause = chirp_position(mix, segments[1].first + 0.01, segments[1].first + 0.01 + W);
    EXPECT_NEAR(after_pause - before_pause, W + 0.02, 0.05) << "pause then play resumes where it paused";
    double before_stop = chirp_position(mix, segments[1].second - W - 0.01, segments[1].second - 0.01);
    double after_stop = chirp_position(mix, segments[2].first + 0.01, segments[2].first + 0.01 + W);
    // The ring held up to 10 chunks of 16300 bytes (0.92 s) not yet heard;
    // at most one period's worth of them had been played since the last refill.
    double skipped = after_stop - before_stop - (W + 0.02);
    EXPECT_GT(skipped, 0.92 - AUREN_THREAD_PERIOD - 0.12) << "stop then play skips the queued audio";
    EXPECT_LT(skipped, 0.92 + 0.05);
}

TEST_F(SoundCapture, ADistanceManagedSourcePlaysOnlyNearTheListener)
{
    std::string hum = ogg("hum.ogg", testgen_sine(0.5, 1, 22050, 600, 0.5));
    child(with("wave", capture_path), [&] {
        auren_init();
        auren_sound_t *snd = auren_load(hum.c_str());
        auren_source_t *src = auren_source_add(snd);
        auren_set_looping(src, true);
        auren_set_position_ws(src, {100, 0, 0});
        auren_set_active_distance(src, 10);
        sound_sleep(0.5);
        EXPECT_EQ(stats().live_sources, 0) << "out of range: no voice";
        auren_listener_set_pos({95, 0, 0});
        double t = wait_until([] { return stats().live_sources == 1; }, 1.0);
        EXPECT_GE(t, 0);
        EXPECT_LE(t, ONE_TICK);
        sound_sleep(0.6);
        auren_listener_set_pos({0, 0, 0});
        t = wait_until([&] { return peek([&] { return src->play_state != PS_PLAYING; }); }, 1.0);
        EXPECT_GE(t, 0);
        EXPECT_LE(t, ONE_TICK);
        EXPECT_LE(wait_until([] { return stats().live_sources == 0; }, 1.0), ONE_TICK) << "its voice is given back";
        sound_sleep(0.4);
        auren_listener_set_pos({104, 0, 0});
        sound_sleep(0.4);
        auren_sound_deinit(snd);
        auren_deinit();
    });
    ASSERT_TRUE(read_mix());
    ASSERT_EQ(segments.size(), 2u) << "heard twice, while the listener was near";
    EXPECT_GT(segments[0].first, 0.45);
    EXPECT_NEAR(segments[0].second - segments[0].first, 0.6, ONE_TICK);
    EXPECT_NEAR(segments[1].first - segments[0].second, 0.4 + ONE_TICK / 2, ONE_TICK);
    EXPECT_NEAR(capture_frequency(mix, segments[0].first + 0.1, segments[0].second - 0.1), 600, 6);
}
