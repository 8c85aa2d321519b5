#include "scene/camera.h"

#include <cmath>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "corelib/view.h"
#include "scene/object_instance.h"

camera *camera_init()
{
    camera *c = mem_new_zeroed<camera>();
    if (c) c->fov = 45.0f;
    return c;
}
void camera_deinit(camera *c)
{
    if (!c) return;
    mem_free(c->name);
    mem_free(c->target_name);
    mem_free(c);
}
void camera_set_type(camera *c, int32_t type)
{
    c->type = type;
    c->flags |= CAM_TYPE;
}
int32_t camera_get_type(const camera *c) { return c->type; }
bool camera_has_type(const camera *c) { return (c->flags & CAM_TYPE) != 0; }
bool camera_has_name(const camera *c) { return (c->flags & CAM_NAME) != 0; }
bool camera_copy_name(camera *c, const char *name)
{
    ASSERT(!camera_has_name(c));
    if (!(c->name = mem_strdup(name))) return false;
    c->flags |= CAM_NAME;
    return true;
}
const char *camera_get_name(const camera *c)
{
    if (!camera_has_name(c)) BUG();
    return c->name;
}
void camera_free_name(camera *c)
{
    if (!camera_has_name(c)) BUG();
    mem_free(c->name);
    c->name = nullptr;
    c->flags &= ~CAM_NAME;
}
bool camera_has_target_name(const camera *c) { return (c->flags & CAM_TARGET_NAME) != 0; }
bool camera_copy_target_name(camera *c, const char *name)
{
    ASSERT(!camera_has_target_name(c));
    if (!(c->target_name = mem_strdup(name))) return false;
    c->flags |= CAM_TARGET_NAME;
    return true;
}
const char *camera_get_target_name(const camera *c)
{
    if (!camera_has_target_name(c)) BUG();
    return c->target_name;
}
void camera_free_target_name(camera *c)
{
    if (!camera_has_target_name(c)) BUG();
    mem_free(c->target_name);
    c->target_name = nullptr;
    c->flags &= ~CAM_TARGET_NAME;
}
void camera_set_fov(camera *c, float fov) { c->fov = fov; }
float camera_get_fov(const camera *c) { return c->fov; }
void camera_set_manual_clipping_planes(camera *c, float near_clip, float far_clip)
{
    if (!(near_clip >= CAMERA_MIN_NEAR)) near_clip = CAMERA_MIN_NEAR;
    c->near_clip_range = near_clip;
    c->far_clip_range = far_clip;
    ASSERT(c->near_clip_range < c->far_clip_range);
    c->flags |= CAM_MANUAL_CLIPPING;
}
bool camera_has_manual_clipping(const camera *c) { return (c->flags & CAM_MANUAL_CLIPPING) != 0; }
void camera_set_source_oi(camera *c, object_instance *oi)
{
    c->source = oi;
    if (oi)
        c->flags |= CAM_SOURCE_OI;
    else
        c->flags &= ~CAM_SOURCE_OI;
}
object_instance *camera_get_source_oi(const camera *c)
{
    ASSERT(c->flags & CAM_SOURCE_OI);
    return c->source;
}
void camera_set_position(camera *c, tacka3 position) { OI_set_position_ws(camera_get_source_oi(c), position); }
void camera_set_rotation(camera *c, quaternion rotation) { OI_set_rotation_ws(camera_get_source_oi(c), rotation); }
quaternion camera_get_rotation(const camera *c) { return OI_get_rotation_ws(camera_get_source_oi(c)); }

void camera_set_target_position(camera *c, tacka3 point)
{
    object_instance *oi = camera_get_source_oi(c);
    tacka3 d = tacka3_sub(point, OI_get_position_ws(oi));
    float l = tacka3_length(d);
    if (!(l > 0.0f) || !std::isfinite(l)) return;
    // The view looks along -z: turn -z (that is, +z towards the opposite
    // direction) so that the camera faces the point.
    OI_rotate_axis_to_vector(oi, tacka3_scale(d, -1.0f / l), 2);
}

static bool __unit(tacka3 *v)
{
    float l = tacka3_length(*v);
    if (!(l > 0.0f) || !std::isfinite(l)) return false;
    *v = tacka3_scale(*v, 1.0f / l);
    return true;
}

bool camera_setup_view(const camera *c, view *v)
{
    object_instance *oi = camera_get_source_oi(c);
    const float *m = OI_get_matrix_ws(oi);
    tacka3 pos = OI_get_position_ws(oi);
    tacka3 up{m[4], m[5], m[6]};
    tacka3 fwd{-m[8], -m[9], -m[10]};
    if (!__unit(&up) || !__unit(&fwd)) return false;
    view_set_position(v, pos);
    view_set_target(v, tacka3_add(pos, fwd));
    view_set_up(v, up);
    view_set_fov(v, c->fov);
    if (camera_has_manual_clipping(c))
        view_set_near_far(v, c->near_clip_range, c->far_clip_range);
    else
        view_set_near_far(v, CAMERA_DEFAULT_NEAR, CAMERA_DEFAULT_FAR);
    view_set_viewport(v, 800, 600);
    if (!view_compute_view_matrix(v)) return false;
    view_compute_projection(v);
    return true;
}
