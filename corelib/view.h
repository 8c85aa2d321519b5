#pragma once
// The viewer record: the game's view camera and what the renderer draws with.

#include <cstdint>

#include "tacka.h"

struct view {
    tacka3 position;
    tacka3 target;
    tacka3 up;
    tacka3 prev_target;
    tacka3 prev_up;
    float z_near;
    float z_far;
    float fov; // vertical, radians
    int32_t width;
    int32_t height;
    double aspect;
    int32_t viewport[4];
    float spare_matrix[16];
    float view_matrix[16];
    float prev_view_matrix[16];
    float projection_matrix[16];
};

// Position (0, 0, -5), target 0, up (0, 0, 1), 800 x 600, aspect 4/3, identity
// matrices; null when memory runs out.
view *view_create();
void view_free(view *v);

tacka3 view_get_position(const view *v);
tacka3 view_get_target(const view *v);
tacka3 view_get_up(const view *v);
void view_set_position(view *v, tacka3 position);
// The target and up setters keep the old value in the previous-value fields.
void view_set_target(view *v, tacka3 target);
void view_set_up(view *v, tacka3 up);
void view_set_near_far(view *v, float z_near, float z_far);
void view_set_fov(view *v, float fov);
float view_get_fov(const view *v);
void view_set_viewport(view *v, int32_t width, int32_t height);
// Look-at frame inverted into the view matrix; false for a singular frame.
bool view_compute_view_matrix(view *v);
// Perspective frustum from field of view, aspect and clipping distances
// (row-vector convention, for loading with glLoadMatrixf: the matrix glFrustum makes).
// false (matrix kept, warning logged) without a frustum: near <= 0, far <= near,
// field of view outside (0, pi) or an empty viewport.
bool view_compute_projection(view *v);
// The world point under window pixel (x, y) (origin bottom left, as the
// viewport counts) at depth 0 (near plane) .. 1 (far plane), as gluUnProject
// finds it from the view and projection matrices. False for a singular matrix.
bool view_unproject(const view *v, float x, float y, float depth, tacka3 *out);
const float *view_get_view_matrix(const view *v);
const float *view_get_projection_matrix(const view *v);
