#pragma once
// Demos: the record of a played session that replays it exactly. A demo holds
// the random seed and start state, and per frame its time step and the input
// events the game received before it (see docs/demo-format.md for the file).

#include <cstddef>
#include <cstdint>
#include <vector>

#define VORN_DEMO_MAGIC "VORNDEMO"
#define VORN_DEMO_VERSION 1u
#define VORN_DEMO_MAX_FRAMES (1u << 24)
#define VORN_DEMO_MAX_FRAME_EVENTS 4096u
#define VORN_DEMO_MAX_HI_SCORE_BYTES 4096u
#define VORN_DEMO_MAX_FILE_SIZE (256u << 20)
// The longest time step a frame may carry (the frame loop never takes longer).
#define VORN_DEMO_MAX_STEP 0.25f

#define VORN_HASH_SEED 0xcbf29ce484222325ull

// FNV-1a over bytes, continuing from h (start with VORN_HASH_SEED).
uint64_t vorn_hash_bytes(uint64_t h, const void *bytes, size_t size);

// One input event as the input layer took it (OGL_EVENT_* type).
struct vorn_demo_event {
    uint8_t type;
    int32_t a, b;
};

struct vorn_demo_frame {
    float dt;
    uint32_t events_end; // the frame's events end here in the event list
};

struct vorn_demo {
    uint32_t seed;
    int32_t start_state;
    int32_t start_level;
    std::vector<uint8_t> hi_scores; // the hi-score file's bytes at the start
    std::vector<vorn_demo_frame> frames;
    std::vector<vorn_demo_event> events;
    uint64_t state_hash; // the game state after the last frame
};

vorn_demo *vorn_demo_create();
void vorn_demo_free(vorn_demo *d);

// Recording: events join the frame that the next vorn_demo_add_frame closes.
void vorn_demo_add_event(vorn_demo *d, int type, int a, int b);
// False when the demo is full (VORN_DEMO_MAX_FRAMES, or too many events).
bool vorn_demo_add_frame(vorn_demo *d, float dt);
// The events of frame i: [*first, *end) in d->events.
void vorn_demo_frame_events(const vorn_demo *d, uint32_t i, uint32_t *first, uint32_t *end);
// The sum of the frames' time steps.
double vorn_demo_duration(const vorn_demo *d);

// The file's bytes.
std::vector<uint8_t> vorn_demo_encode(const vorn_demo *d);
// Reads the bytes into d. A foreign or damaged demo is refused: false, and
// *why (never null) says what was wrong.
bool vorn_demo_decode(vorn_demo *d, const uint8_t *bytes, size_t size, const char **why);

// The file: written whole (logged on failure); read back and checked, a
// refused file is logged with its name and the reason. Null on failure.
bool vorn_demo_write(const vorn_demo *d, const char *path);
vorn_demo *vorn_demo_read(const char *path);
