// Writes the seed corpus of the demo target with the game's own writer: an
// empty demo, and a short one with frames, key and mouse events and a
// hi-score table.
//   demo_fuzz_seeds DIR

#include "fuzz_util.h"
#include "game/the_vorn_demo.h"
#include "renderer/OGL_input.h"

static bool __write(const std::string &path, const vorn_demo *d)
{
    std::vector<uint8_t> bytes = vorn_demo_encode(d);
    return fuzz_write(path, bytes.data(), bytes.size());
}

int main(int argc, char **argv)
{
    if (!fuzz_seeds_args(argc, argv, "demo")) return argc == 2 ? 0 : 2;
    std::string dir = argv[1];
    vorn_demo *d = vorn_demo_create();
    if (!d) return 1;
    d->seed = 12345;
    d->start_state = 1;
    d->start_level = 1;
    bool ok = __write(dir + "/empty.demo", d);
    d->hi_scores = {'A', 0, 0, 0};
    d->hi_scores.resize(36, 0);
    vorn_demo_add_event(d, OGL_EVENT_KEY, 'W', OGL_PRESS);
    vorn_demo_add_event(d, OGL_EVENT_MOUSE_MOVE, 500, 260);
    vorn_demo_add_frame(d, 0.04f);
    vorn_demo_add_event(d, OGL_EVENT_MOUSE_BUTTON, OGL_MOUSE_BUTTON_LEFT, OGL_PRESS);
    vorn_demo_add_event(d, OGL_EVENT_CHAR, 0x00C9, 0);
    vorn_demo_add_frame(d, 0.05f);
    vorn_demo_add_frame(d, 0.2f);
    d->state_hash = 0x0123456789ABCDEFull;
    ok = __write(dir + "/short.demo", d) && ok;
    vorn_demo_free(d);
    return ok ? 0 : 1;
}
