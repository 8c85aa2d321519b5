// Every tool and the game take --help (usage on standard output, status 0) and
// refuse unknown or malformed options with a message (status 2), before they
// open a window, a sound device or a file.

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

class ToolOptions : public TempDirTest {
  protected:
    // Runs build/bin/<program> with the arguments (already quoted for the shell).
    test_run_result run(const char *program, const std::string &args)
    {
        // In the scratch folder, where the game may leave its log.
        return test_run("cd '" + dir + "' && '" VORN_BINARY_DIR "/bin/" + program + "' " + args + " </dev/null");
    }
    void expect_refused(const char *program, const std::string &args)
    {
        test_run_result r = run(program, args);
        EXPECT_EQ(r.status, 2) << program << " " << args << "\n" << r.out << r.err;
        EXPECT_FALSE(r.err.empty()) << program << " " << args << ": refused without a message";
        EXPECT_EQ(r.out, "") << program << " " << args;
    }
};

const char *const PROGRAMS[] = {"quox2", "auren-play", "sps-showcase", "vorn-data", "vorn"};

} // namespace

TEST_F(ToolOptions, HelpPrintsUsageOnStandardOutput)
{
    for (const char *program : PROGRAMS) {
        for (const char *help : {"--help", "-h"}) {
            test_run_result r = run(program, help);
            EXPECT_EQ(r.status, 0) << program << " " << help << "\n" << r.err;
            EXPECT_EQ(r.out.rfind(std::string("usage: ") + program, 0), 0u) << program << ":\n" << r.out;
            EXPECT_EQ(r.err, "") << program;
        }
        // --help wins wherever it stands, and nothing else is done.
        EXPECT_EQ(run(program, "--help --no-such-thing-here").status, 0) << program;
    }
}

TEST_F(ToolOptions, UnknownOptionsAreRefused)
{
    for (const char *program : PROGRAMS) {
        expect_refused(program, "--frobnicate");
        expect_refused(program, "-x");
        expect_refused(program, "--help=yes");
    }
}

TEST_F(ToolOptions, MissingAndMalformedValuesAreRefused)
{
    expect_refused("quox2", "check x.quox2 --resources");
    expect_refused("quox2", "dump --resources " + dir + " x.quox2"); // an option of the other command
    expect_refused("quox2", "check --json x.quox2");
    expect_refused("quox2", "dump a.quox2 b.quox2");
    expect_refused("quox2", "explode x.quox2");

    expect_refused("auren-play", "--gain");
    expect_refused("auren-play", "--gain -1 x.ogg");
    expect_refused("auren-play", "--pitch fast x.ogg");
    expect_refused("auren-play", "--seconds 0 x.ogg");
    expect_refused("auren-play", "--loop"); // no file

    expect_refused("sps-showcase", "--seconds");
    expect_refused("sps-showcase", "--seconds soon");
    expect_refused("sps-showcase", "--seconds -3");
    expect_refused("sps-showcase", "--effect fireworks");
    expect_refused("sps-showcase", "stray");

    expect_refused("vorn-data", ""); // --out is needed
    expect_refused("vorn-data", "--out");
    expect_refused("vorn-data", "--out '" + dir + "/d' --only no-such-step");
    expect_refused("vorn-data", "--out '" + dir + "/d' stray");
    // Nothing was written for a refused command line.
    EXPECT_FALSE(test_file_exists(path("d")));

    expect_refused("vorn", "--keys");
    expect_refused("vorn", "--keys '100:NOSUCHKEY'");
    expect_refused("vorn", "--keys 'F8:100'");
    expect_refused("vorn", "--windowed stray");
}

TEST_F(ToolOptions, TheGameStillTakesItsOptions)
{
    test_run_result r = run("vorn", "--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("vorn ", 0), 0u) << r.out;
    // A good key list with --help after it: the options are read, then the usage shown.
    r = run("vorn", "--windowed --keys '100:F8 400:ESC' --help");
    EXPECT_EQ(r.status, 0) << r.err;
}
