#include "renderer/OGL_group_costs.h"

#include <GL/glew.h>

#include <vector>

#include "renderer/OGL_render_queue.h"

namespace {
struct group_costs {
    bool on = false;
    GLuint query = 0; // samples passed
    std::vector<OGL_group_cost> sums;
};
group_costs g_costs;
} // namespace

bool OGL_group_costs_enable(bool on)
{
    if (!on) {
        g_costs.on = false;
        return true;
    }
    if (!GLEW_ARB_occlusion_query) return false;
    if (!g_costs.query) glGenQueriesARB(1, &g_costs.query);
    g_costs.on = g_costs.query != 0;
    return g_costs.on;
}

bool OGL_group_costs_enabled() { return g_costs.on; }

void OGL_group_costs_reset() { g_costs.sums.clear(); }

void OGL_group_costs_deinit()
{
    if (g_costs.query) glDeleteQueriesARB(1, &g_costs.query);
    g_costs = group_costs{};
}

void OGL_group_costs_begin_batch()
{
    if (g_costs.on) glBeginQueryARB(GL_SAMPLES_PASSED_ARB, g_costs.query);
}

void OGL_group_costs_end_batch(int queue, const OGL_render_pass_state *ps)
{
    if (!g_costs.on) return;
    glEndQueryARB(GL_SAMPLES_PASSED_ARB);
    GLuint samples = 0;
    glGetQueryObjectuivARB(g_costs.query, GL_QUERY_RESULT_ARB, &samples);
    OGL_group_cost *c = nullptr;
    for (OGL_group_cost &s : g_costs.sums)
        if (s.queue == queue && s.ps == ps) c = &s;
    if (!c) {
        g_costs.sums.push_back({queue, ps, 0, 0});
        c = &g_costs.sums.back();
    }
    c->batches++;
    c->samples += samples;
}

uint32_t OGL_group_costs_no() { return uint32_t(g_costs.sums.size()); }

const OGL_group_cost *OGL_group_costs_get(uint32_t i) { return i < g_costs.sums.size() ? &g_costs.sums[i] : nullptr; }

void OGL_group_costs_print(FILE *f, uint32_t frames, int width, int height)
{
    if (frames == 0) frames = 1;
    const double screen = width > 0 && height > 0 ? double(width) * double(height) : 1.0;
    std::fprintf(f, "  %-5s %-14s %-11s %9s %10s %8s\n", "queue", "state", "kind", "batches", "samples", "screens");
    double batches = 0, samples = 0;
    for (const OGL_group_cost &c : g_costs.sums) {
        const char *kind =
            c.ps->use_fp ? (c.ps->blending ? "prog+blend" : "program") : (c.ps->blending ? "fixed+blend" : "fixed");
        double b = double(c.batches) / frames, s = double(c.samples) / frames;
        std::fprintf(f, "  %-5d %-14.13s %-11s %9.1f %10.0f %8.2f\n", c.queue, c.ps->name, kind, b, s, s / screen);
        batches += b, samples += s;
    }
    std::fprintf(f, "  %-5s %-14s %-11s %9.1f %10.0f %8.2f\n", "all", "", "", batches, samples, samples / screen);
}
