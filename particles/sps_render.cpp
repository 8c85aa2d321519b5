#include "particles/sps_render.h"

static sps_render_hooks g_sps_render_hooks = {};

void sps_render_set_hooks(const sps_render_hooks *hooks) { g_sps_render_hooks = hooks ? *hooks : sps_render_hooks{}; }

const sps_render_hooks *sps_render_get_hooks() { return &g_sps_render_hooks; }
