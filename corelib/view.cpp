#include "view.h"

#include <cmath>

#include "log.h"
#include "matrix.h"
#include "mem.h"

view *view_create()
{
    view *v = mem_new_zeroed<view>();
    if (!v) {
        do_log(LOG_CRITICAL, LOG_TO_DEBUGGER | LOG_TO_FILE, "view_create() out of memory");
        return nullptr;
    }
    v->position = tacka3{0.0f, 0.0f, -5.0f};
    v->target = tacka3{0.0f, 0.0f, 0.0f};
    v->up = tacka3{0.0f, 0.0f, 1.0f};
    v->prev_target = v->target;
    v->prev_up = v->up;
    v->z_near = 0.0f;
    v->z_far = 0.0f;
    v->fov = 0.0f;
    v->width = 800;
    v->height = 600;
    v->aspect = 4.0 / 3.0;
    v->viewport[0] = 0;
    v->viewport[1] = 0;
    v->viewport[2] = 800;
    v->viewport[3] = 600;
    matrix_identity(v->spare_matrix);
    matrix_identity(v->view_matrix);
    matrix_identity(v->prev_view_matrix);
    matrix_identity(v->projection_matrix);
    return v;
}

void view_free(view *v) { mem_free(v); }

tacka3 view_get_position(const view *v) { return v->position; }
tacka3 view_get_target(const view *v) { return v->target; }
tacka3 view_get_up(const view *v) { return v->up; }

void view_set_position(view *v, tacka3 position) { v->position = position; }

void view_set_target(view *v, tacka3 target)
{
    v->prev_target = v->target;
    v->target = target;
}

void view_set_up(view *v, tacka3 up)
{
    v->prev_up = v->up;
    v->up = up;
}

void view_set_near_far(view *v, float z_near, float z_far)
{
    v->z_near = z_near;
    v->z_far = z_far;
}

void view_set_fov(view *v, float fov) { v->fov = fov; }
float view_get_fov(const view *v) { return v->fov; }

void view_set_viewport(view *v, int32_t width, int32_t height)
{
    v->width = width;
    v->height = height;
    v->viewport[0] = 0;
    v->viewport[1] = 0;
    v->viewport[2] = width;
    v->viewport[3] = height;
    if (height > 0) v->aspect = static_cast<double>(width) / height;
}

bool view_compute_view_matrix(view *v)
{
    matrix_copy(v->prev_view_matrix, v->view_matrix);

    // The look-at frame; an eye on its target or an up along the line of sight has none.
    tacka3 z = tacka3_sub(v->position, v->target);
    if (!tacka3_try_normalize(&z)) return false;
    tacka3 x = tacka3_cross(v->up, z);
    if (!tacka3_try_normalize(&x)) return false;
    tacka3 y = tacka3_cross(z, x);
    if (!tacka3_try_normalize(&y)) return false;

    const float frame[16] = {x.x, x.y, x.z, 0.0f, y.x,           y.y,           y.z,           0.0f,
                             z.x, z.y, z.z, 0.0f, v->position.x, v->position.y, v->position.z, 1.0f};
    return matrix_inverse(v->view_matrix, frame);
}

bool view_compute_projection(view *v)
{
    float n = v->z_near, f = v->z_far;
    if (v->height <= 0 || v->width <= 0 || !(n > 0.0f) || !(f > n) || !(v->fov > 0.0f) ||
        !(v->fov < static_cast<float>(M_PI))) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "view_compute_projection() no frustum for fov %f, near %f, far %f, viewport %d x %d", v->fov, n, f,
               v->width, v->height);
        return false;
    }
    float aspect = static_cast<float>(v->width) / static_cast<float>(v->height);
    float top = std::tan(v->fov * 0.5f) * n;
    float right = aspect * top;
    float left = -right, bottom = -top;

    // The frustum matrix as OpenGL stores it (column-major), which is this row-major
    // row-vector layout element for element.
    float *m = v->projection_matrix;
    for (int i = 0; i < 16; i++) m[i] = 0.0f;
    m[0] = 2.0f * n / (right - left);
    m[5] = 2.0f * n / (top - bottom);
    m[8] = (right + left) / (right - left);
    m[9] = (top + bottom) / (top - bottom);
    m[10] = -(f + n) / (f - n);
    m[11] = -1.0f;
    m[14] = -2.0f * f * n / (f - n);
    return true;
}

const float *view_get_view_matrix(const view *v) { return v->view_matrix; }
const float *view_get_projection_matrix(const view *v) { return v->projection_matrix; }

bool view_unproject(const view *v, float x, float y, float depth, tacka3 *out)
{
    float vp[16], inv[16];
    matrix_mul(vp, v->view_matrix, v->projection_matrix);
    if (!matrix_inverse(inv, vp) || v->width <= 0 || v->height <= 0) return false;
    float ndc[4] = {2.0f * x / float(v->width) - 1.0f, 2.0f * y / float(v->height) - 1.0f, 2.0f * depth - 1.0f, 1.0f};
    float p[4];
    for (int c = 0; c < 4; c++)
        p[c] = ndc[0] * inv[c] + ndc[1] * inv[4 + c] + ndc[2] * inv[8 + c] + ndc[3] * inv[12 + c];
    if (!(std::fabs(p[3]) > 1e-20f)) return false;
    *out = {p[0] / p[3], p[1] / p[3], p[2] / p[3]};
    return std::isfinite(out->x) && std::isfinite(out->y) && std::isfinite(out->z);
}
