// The auren-play tool, run as a sound designer runs it, its mix captured by
// OpenAL Soft's wave writer.

#include <cstdlib>
#include <sys/wait.h>

#include "sound_lib_fixture.h"

class AurenPlay : public SoundLib {
  protected:
    // Runs the tool with the wave writer capturing into mix.wav; its exit status.
    int run(const std::string &args)
    {
        std::string conf = path("mix.wav.conf");
        test_write_file(conf, "[general]\ndrivers = wave\nsample-type = int16\nchannels = stereo\n"
                              "frequency = 44100\n[wave]\nfile = " +
                                  path("mix.wav") + "\n");
        std::string cmd = "ALSOFT_DRIVERS=wave ALSOFT_CONF='" + conf + "' '" VORN_BINARY_DIR "/bin/auren-play' " +
                          args + " >'" + path("out.txt") + "' 2>&1";
        int status = std::system(cmd.c_str());
        output = test_read_file(path("out.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string output;
};

TEST_F(AurenPlay, PlaysAStreamForTheSecondsAsked)
{
    std::string music = ogg("music.ogg", testgen_music(4.0, 44100));
    ASSERT_EQ(run("'" + music + "' --stream --seconds 1.5"), 0) << output;
    EXPECT_NE(output.find("stream, 2 channels, 44100 Hz, 4.00 s"), std::string::npos) << output;
    capture_t mix;
    ASSERT_TRUE(capture_read(path("mix.wav"), &mix));
    auto segments = capture_segments(mix, 0.01, 0.05);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_NEAR(segments[0].second - segments[0].first, 1.5, 0.06);
}

TEST_F(AurenPlay, PlaysSamplesOneAfterAnotherWithGainAndPitch)
{
    std::string a = ogg("a.ogg", testgen_sine(0.4, 1, 22050, 400, 0.5));
    std::string b = wav("b.wav", testgen_sine(0.4, 2, 22050, 400, 0.5));
    ASSERT_EQ(run("--pitch 1.5 --gain 0.5 '" + a + "' '" + b + "'"), 0) << output;
    capture_t mix;
    ASSERT_TRUE(capture_read(path("mix.wav"), &mix));
    auto segments = capture_segments(mix, 0.02, 0.0);
    ASSERT_GE(segments.size(), 1u);
    double on = segments[0].first;
    // Pitch 1.5 plays each 0.4 s file in 0.27 s, at 600 Hz.
    EXPECT_NEAR(capture_frequency(mix, on + 0.05, on + 0.2), 600, 8);
    EXPECT_NEAR(segments.back().second - on, 2 * 0.4 / 1.5, 0.12);
}

TEST_F(AurenPlay, RefusesWhatItCannotPlay)
{
    std::string a = ogg("a.ogg", testgen_sine(0.2, 1, 22050, 400, 0.5));
    test_write_file(path("broken.ogg"), "not a sound");
    EXPECT_EQ(run("'" + path("song.mp3") + "' '" + path("broken.ogg") + "' '" + a + "'"), 1);
    EXPECT_NE(output.find("song.mp3: samples are .ogg or .wav files"), std::string::npos) << output;
    EXPECT_NE(output.find(path("broken.ogg") + " cannot be played as a sample"), std::string::npos) << output;
    EXPECT_NE(output.find(a + ": played"), std::string::npos) << "the good file still plays";
    EXPECT_EQ(run("--stream '" + path("b.wav") + "'"), 1);
    EXPECT_EQ(run("--gain -2 '" + a + "'"), 2);
    EXPECT_EQ(run(""), 2);
}
