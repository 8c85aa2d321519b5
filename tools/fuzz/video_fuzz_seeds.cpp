// Writes the seed corpus of the video target with FFmpeg's encoders (through
// the test video writer): tiny MPEG-4 videos in AVI, one with a single key
// frame, and one in Matroska.
//   video_fuzz_seeds DIR

#include "fuzz_util.h"
#include "tests/frontend/video_testgen.h"

static video_testgen_spec __tiny(const char *container, int gop)
{
    video_testgen_spec s;
    s.container = container;
    s.width = 16;
    s.height = 16;
    s.frames = 3;
    s.gop = gop;
    return s;
}

int main(int argc, char **argv)
{
    if (!fuzz_seeds_args(argc, argv, "video")) return argc == 2 ? 0 : 2;
    std::string dir = argv[1];
    bool ok = video_testgen_write(dir + "/tiny.avi", __tiny("avi", 1));
    ok = video_testgen_write(dir + "/one_key.avi", __tiny("avi", 10)) && ok;
    ok = video_testgen_write(dir + "/tiny.mkv", __tiny("matroska", 2)) && ok;
    return ok ? 0 : 1;
}
