// Scene lights handed to mesh instances.
//
// Each instance takes the linked scene lights whose far range (range value 2;
// 0 or less: unlimited) reaches its bounding sphere, nearest first, at most
// OGL_SCENE_MAX_INSTANCE_LIGHTS. The choice is made when the instance is
// attached (its bump passes are built per light) and, for "dynamic" instances,
// made again whenever the lights in reach change; positions follow the light
// and target instances every frame.

#include <algorithm>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_scene.h"
#include "renderer/OGL_scene_parts.h"
#include "scene/light.h"
#include "scene/object_instance.h"
#include "scene/scene.h"

#define __LIGHT_CAMERA_FOV 70.0f
#define __AMBIENT_INTENSITY 1.0f

namespace {
// The mesh light record the instance holds, with where it came from. The
// instance frees it as a mesh light: the mesh light is the first member.
struct scene_light {
    OGL_mesh_light ml;
    const light *src;
    object_instance *target;
};
static_assert(offsetof(scene_light, ml) == 0, "freed through its mesh light");

struct candidate {
    float distance;
    light_oi *loi;
};
} // namespace

const light *OGL_scene_light_source(const OGL_mesh_light *l)
{
    return l ? reinterpret_cast<const scene_light *>(l)->src : nullptr;
}

static void __place(scene_light *sl)
{
    OGL_mesh_light &ml = sl->ml;
    ml.ws_pos = OI_get_position_ws(sl->src->oi);
    if (sl->target) {
        ml.ws_target = OI_get_position_ws(sl->target);
        tacka3 d = tacka3_sub(ml.ws_target, ml.ws_pos);
        ml.spot_dir = tacka3_is_zero(d) ? tacka3{0, 0, -1} : tacka3_normalize(d);
    }
}

// The lights reaching the instance, nearest first; their count.
static int __select(object_instance *oi, candidate best[OGL_SCENE_MAX_INSTANCE_LIGHTS])
{
    int n = 0;
    scene *sc = oi->sc;
    if (!sc) return 0;
    dlist_for_each(node, &sc->light_ois)
    {
        light_oi *loi = SCENE_ENTRY(node, light_oi, link);
        const light *l = loi->lig;
        if (!l || !l->oi) continue;
        float d = tacka3_distance(OI_get_position_ws(l->oi), oi->bound_center) - oi->bound_radius;
        if (d < 0.0f || l->type == LIGHT_DIRECTIONAL) d = 0.0f;
        if (l->range2 > 0.0f && d > l->range2) continue;
        if (n == OGL_SCENE_MAX_INSTANCE_LIGHTS && !(d < best[n - 1].distance)) continue;
        int at = std::min(n, OGL_SCENE_MAX_INSTANCE_LIGHTS - 1);
        while (at > 0 && d < best[at - 1].distance) {
            best[at] = best[at - 1];
            at--;
        }
        best[at] = {d, loi};
        if (n < OGL_SCENE_MAX_INSTANCE_LIGHTS) n++;
    }
    return n;
}

void __OGL_scene_lights_choose(object_instance *oi, OGL_mesh_instance *mi)
{
    OGL_mesh_instance_free_lights(mi);
    candidate best[OGL_SCENE_MAX_INSTANCE_LIGHTS];
    int n = __select(oi, best);
    for (int i = 0; i < n; i++) {
        const light *l = best[i].loi->lig;
        scene_light *sl = mem_new_zeroed<scene_light>();
        if (!sl) BUG();
        OGL_mesh_light &ml = sl->ml;
        sl->src = l;
        ml.type = l->type == LIGHT_OMNI ? OGL_MESH_LIGHT_POINT : (l->type == LIGHT_TARGET_SPOT ? 2 : 0);
        ml.color = {l->color.x, l->color.y, l->color.z};
        ml.ambient = {l->ambient.x * __AMBIENT_INTENSITY, l->ambient.y * __AMBIENT_INTENSITY,
                      l->ambient.z * __AMBIENT_INTENSITY, 1.0f};
        ml.intensity = 1.0f;
        ml.near_range = l->range1;
        ml.far_range = l->range2;
        ml.fov = __LIGHT_CAMERA_FOV;
        if (l->type == LIGHT_TARGET_SPOT) {
            sl->target = best[i].loi->target;
            ml.cutoff = l->spot;
        }
        __place(sl);
        OGL_mesh_instance_add_light(mi, &sl->ml);
    }
    OGL_mesh_instance_update_ambient(mi);
    OGL_mesh_instance_refresh_light_positions(mi);
}

bool __OGL_scene_lights_changed(object_instance *oi, const OGL_mesh_instance *mi)
{
    candidate best[OGL_SCENE_MAX_INSTANCE_LIGHTS];
    int n = __select(oi, best);
    if (uint32_t(n) != OGL_mesh_instance_get_lights_no(mi)) return true;
    // Same lights in any order.
    for (int i = 0; i < n; i++) {
        bool held = false;
        for (const OGL_mesh_light *l : *mi->lights)
            if (l && OGL_scene_light_source(l) == best[i].loi->lig) held = true;
        if (!held) return true;
    }
    return false;
}

void __OGL_scene_lights_refresh(OGL_mesh_instance *mi)
{
    if (mi->lights->get_size() == 0) return;
    for (OGL_mesh_light *l : *mi->lights)
        if (l) __place(reinterpret_cast<scene_light *>(l));
    OGL_mesh_instance_refresh_light_positions(mi);
}

tacka3 __OGL_scene_instance_color(const object_instance *oi, const OGL_mesh_instance *mi)
{
    if (!__OGL_scene_material_lit(oi)) return tacka3{1, 1, 1};
    // The ambient term: the material's ambient colour lit by the instance's
    // own ambient colour and the ambient colours of its lights.
    tacka3 a = __OGL_scene_material_ambient(oi);
    auto c = [](float v) { return std::clamp(v, 0.0f, 1.0f); };
    return tacka3{c(a.x * (oi->desc.ambient[0] + mi->ambient_sum.x)),
                  c(a.y * (oi->desc.ambient[1] + mi->ambient_sum.y)),
                  c(a.z * (oi->desc.ambient[2] + mi->ambient_sum.z))};
}
