#pragma once
// The fill of each render state group: its batches and the samples that
// passed the depth test, summed over the frames drawn while measuring. Each
// batch gets an occlusion query round it and waits for its answer, so the
// frame runs slower than usual: it is for benchmarks and profiling, and off
// until switched on.

#include <cstdint>
#include <cstdio>

struct OGL_render_pass_state;

struct OGL_group_cost {
    int queue;                       // the render queue (OGL_RQ_...)
    const OGL_render_pass_state *ps; // the group's shared state
    uint64_t batches;
    uint64_t samples; // passed the depth test
};

// Switches measuring on (false when the board has no occlusion queries) or
// off; the sums stay until reset.
bool OGL_group_costs_enable(bool on);
bool OGL_group_costs_enabled();
void OGL_group_costs_reset();
// Frees the query and the sums (with the GL context still current).
void OGL_group_costs_deinit();

// Round one batch of the group (called by the queue drawing).
void OGL_group_costs_begin_batch();
void OGL_group_costs_end_batch(int queue, const OGL_render_pass_state *ps);

uint32_t OGL_group_costs_no();
const OGL_group_cost *OGL_group_costs_get(uint32_t i);

// A table of the groups per frame (queue, state name, kind, batches,
// samples) with the totals and the screens they fill at width x height.
void OGL_group_costs_print(FILE *f, uint32_t frames, int width, int height);
