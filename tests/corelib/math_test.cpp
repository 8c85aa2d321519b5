// Vector, quaternion, matrix and view maths.

#include <gtest/gtest.h>

#include <cmath>

#include "corelib/matrix.h"
#include "corelib/quaternion.h"
#include "corelib/tacka.h"
#include "corelib/view.h"

namespace {

const float C45 = std::cos(static_cast<float>(M_PI) / 4.0f);

void expect_near3(tacka3 got, tacka3 want, float eps = 1e-5f)
{
    EXPECT_NEAR(got.x, want.x, eps);
    EXPECT_NEAR(got.y, want.y, eps);
    EXPECT_NEAR(got.z, want.z, eps);
}

void expect_near16(const float *got, const float *want, float eps = 1e-5f)
{
    for (int i = 0; i < 16; i++) EXPECT_NEAR(got[i], want[i], eps) << "element " << i;
}

quaternion axis_angle(float x, float y, float z, float degrees)
{
    tacka3 axis = tacka3_normalize(tacka3{x, y, z});
    return quaternion_from_axis_angle(axis, degrees * static_cast<float>(M_PI) / 180.0f);
}

} // namespace

TEST(Tacka, CrossDotLengthDistance)
{
    tacka3 a{1, 2, 3}, b{4, 5, 6};
    expect_near3(tacka3_cross(a, b), tacka3{-3, 6, -3}, 0.0f);
    // Right-handed: x cross y is z.
    expect_near3(tacka3_cross({1, 0, 0}, {0, 1, 0}), {0, 0, 1}, 0.0f);
    EXPECT_FLOAT_EQ(tacka3_dot(a, b), 32.0f);
    EXPECT_FLOAT_EQ(tacka3_length2(a), 14.0f);
    EXPECT_FLOAT_EQ(tacka3_distance({1, 1, 1}, {4, 5, 1}), 5.0f);
    expect_near3(tacka3_normalize({0, 3, 4}), {0, 0.6f, 0.8f});
}

TEST(TackaDeath, NormalizeZeroOrNanIsFault)
{
    EXPECT_EXIT(tacka3_normalize({0, 0, 0}), ::testing::ExitedWithCode(3), "BUG at file .*assertion len > 0.0f failed");
    EXPECT_EXIT(tacka3_normalize({NAN, 0, 0}), ::testing::ExitedWithCode(3), "assertion len > 0.0f failed");
}

TEST(Tacka, TryNormalizeRefusesDegenerate)
{
    tacka3 v{0, 0, 0};
    EXPECT_FALSE(tacka3_try_normalize(&v));
    v = tacka3{INFINITY, 0, 0};
    EXPECT_FALSE(tacka3_try_normalize(&v));
    v = tacka3{0, 0, -2};
    EXPECT_TRUE(tacka3_try_normalize(&v));
    expect_near3(v, {0, 0, -1}, 0.0f);
}

TEST(Quaternion, ProductOfTwoQuarterTurnsIsHalfTurn)
{
    quaternion q{C45, 0, 0, C45};
    quaternion r = quaternion_mul(q, q);
    EXPECT_NEAR(r.w, 0.0f, 1e-6f);
    EXPECT_NEAR(r.x, 0.0f, 1e-6f);
    EXPECT_NEAR(r.y, 0.0f, 1e-6f);
    EXPECT_NEAR(r.z, 1.0f, 1e-6f);

    // The in-place form replaces the left operand; the product is not commutative.
    quaternion a = axis_angle(1, 0, 0, 90), b = axis_angle(0, 1, 0, 90);
    quaternion ab = quaternion_mul(a, b), ba = quaternion_mul(b, a);
    EXPECT_GT(std::fabs(ab.x - ba.x) + std::fabs(ab.y - ba.y) + std::fabs(ab.z - ba.z), 0.1f);
    quaternion in_place = a;
    quaternion_mul_in_place(&in_place, b);
    EXPECT_FLOAT_EQ(in_place.w, ab.w);
    EXPECT_FLOAT_EQ(in_place.x, ab.x);
    EXPECT_FLOAT_EQ(in_place.y, ab.y);
    EXPECT_FLOAT_EQ(in_place.z, ab.z);
}

TEST(Quaternion, RotationMatrixConvention)
{
    float m[16], id[16];
    quaternion_to_matrix(quaternion_identity(), m);
    matrix_identity(id);
    expect_near16(m, id, 0.0f);

    // A quarter turn about z takes (1, 0, 0) to (0, -1, 0) for row vectors.
    quaternion q{C45, 0, 0, C45};
    quaternion_to_matrix(q, m);
    EXPECT_NEAR(m[0], 0.0f, 1e-6f);
    EXPECT_NEAR(m[1], -1.0f, 1e-6f);
    expect_near3(matrix_transform_point(m, {1, 0, 0}), {0, -1, 0});
    expect_near3(quaternion_rotate(q, {1, 0, 0}), {0, -1, 0});
    EXPECT_EQ(m[3], 0.0f);
    EXPECT_EQ(m[12], 0.0f);
    EXPECT_EQ(m[15], 1.0f);

    // The z axis helper is the matrix's third row.
    quaternion r = axis_angle(1, 2, -0.5f, 37);
    quaternion_to_matrix(r, m);
    expect_near3(quaternion_z_axis(r), {m[8], m[9], m[10]});
}

TEST(Quaternion, LocalUnderParentComposesLikeMatrices)
{
    quaternion l = axis_angle(0, 0, 1, 30), p = axis_angle(1, 1, 0, 70);
    float ml[16], mp[16], mlp[16], mq[16];
    quaternion_to_matrix(l, ml);
    quaternion_to_matrix(p, mp);
    matrix_mul(mlp, ml, mp);
    quaternion_to_matrix(quaternion_mul(l, p), mq);
    expect_near16(mq, mlp);

    // The conjugate undoes a unit rotation.
    tacka3 v{0.3f, -2.0f, 5.0f};
    expect_near3(quaternion_rotate(quaternion_conjugate(p), quaternion_rotate(p, v)), v, 1e-5f);
}

TEST(Quaternion, AxisAngleRoundTrip)
{
    tacka3 axis;
    float angle;
    quaternion q = axis_angle(0, 3, 4, 120);
    quaternion_to_axis_angle(q, &axis, &angle);
    expect_near3(axis, {0, 0.6f, 0.8f});
    EXPECT_NEAR(angle, 120.0f * M_PI / 180.0f, 1e-5f);

    // No vector part: angle 0 about x.
    quaternion_to_axis_angle(quaternion_identity(), &axis, &angle);
    EXPECT_EQ(angle, 0.0f);
    expect_near3(axis, {1, 0, 0}, 0.0f);

    // w a rounding step above 1 does not yield a not-a-number angle.
    quaternion_to_axis_angle(quaternion{1.0000001f, 1e-4f, 0, 0}, &axis, &angle);
    EXPECT_FALSE(std::isnan(angle));
}

TEST(Quaternion, NormalizeAndSlerp)
{
    quaternion q{2, 0, 0, 0};
    quaternion_normalize(&q);
    EXPECT_FLOAT_EQ(q.w, 1.0f);

    quaternion a = quaternion_identity(), b = axis_angle(0, 0, 1, 90);
    quaternion half = quaternion_slerp(a, b, 0.5f);
    quaternion want = axis_angle(0, 0, 1, 45);
    EXPECT_NEAR(half.w, want.w, 1e-5f);
    EXPECT_NEAR(half.z, want.z, 1e-5f);
    // The shorter arc: -b is the same rotation.
    quaternion neg_b{-b.w, -b.x, -b.y, -b.z};
    quaternion half2 = quaternion_slerp(a, neg_b, 0.5f);
    EXPECT_NEAR(std::fabs(half2.w), want.w, 1e-5f);
    EXPECT_NEAR(std::fabs(half2.z), want.z, 1e-5f);
}

namespace {
void normalize_value(quaternion q) { quaternion_normalize(&q); }
} // namespace

TEST(QuaternionDeath, NormalizeZeroOrNanIsFault)
{
    EXPECT_EXIT(normalize_value(quaternion{0, 0, 0, 0}), ::testing::ExitedWithCode(3),
                "quaternion_normalize\\(\\) BUG at file .*assertion len > 0.0 failed!");
    EXPECT_EXIT(normalize_value(quaternion{NAN, 0, 0, 0}), ::testing::ExitedWithCode(3), "assertion len > 0.0 failed");
}

TEST(Matrix, ProductAppliesLeftFirst)
{
    // Translate then rotate differs from rotate then translate.
    float t[16], r[16], tr[16], rt[16];
    matrix_identity(t);
    t[12] = 1.0f;
    quaternion_to_matrix(quaternion{C45, 0, 0, C45}, r);
    matrix_mul(tr, t, r);
    matrix_mul(rt, r, t);
    // (0,0,0) -> translate (1,0,0) -> rotate (0,-1,0).
    expect_near3(matrix_transform_point(tr, {0, 0, 0}), {0, -1, 0});
    expect_near3(matrix_transform_point(rt, {0, 0, 0}), {1, 0, 0});
    // Directions ignore the translation.
    expect_near3(matrix_transform_direction(tr, {1, 0, 0}), {0, -1, 0});
}

TEST(Matrix, PoseIsScaleRotateTranslate)
{
    quaternion q = axis_angle(0, 1, 1, 50);
    tacka3 pos{3, -4, 7}, scale{2, 0.5f, 3};
    float m[16];
    matrix_from_pose(m, pos, q, scale);
    tacka3 p{1, 2, 3};
    tacka3 want = tacka3_add(quaternion_rotate(q, tacka3_mul(p, scale)), pos);
    expect_near3(matrix_transform_point(m, p), want, 1e-5f);
    EXPECT_EQ(m[3], 0.0f);
    EXPECT_EQ(m[15], 1.0f);
}

TEST(Matrix, InverseOfPoseAndSingular)
{
    float m[16], inv[16], prod[16], id[16];
    matrix_from_pose(m, {10, 20, -30}, axis_angle(1, -2, 0.5f, 77), {2, 3, 0.25f});
    ASSERT_TRUE(matrix_inverse(inv, m));
    matrix_mul(prod, m, inv);
    matrix_identity(id);
    expect_near16(prod, id, 1e-5f);

    // A general (projective) matrix inverts too.
    float g[16] = {2, 1, 0, 0.5f, 0, 3, 1, 0, 1, 0, 4, 0.25f, 1, 2, 3, 1};
    ASSERT_TRUE(matrix_inverse(inv, g));
    matrix_mul(prod, inv, g);
    expect_near16(prod, id, 1e-5f);

    // In place.
    float h[16];
    matrix_copy(h, g);
    ASSERT_TRUE(matrix_inverse(h, h));
    expect_near16(h, inv, 0.0f);

    // Singular: a zero scale; the output stays untouched.
    float s[16];
    matrix_from_pose(s, {1, 2, 3}, quaternion_identity(), {1, 0, 1});
    float out[16];
    for (float &f : out) f = 42.0f;
    EXPECT_FALSE(matrix_inverse(out, s));
    EXPECT_EQ(out[0], 42.0f);
    EXPECT_EQ(out[15], 42.0f);

    EXPECT_TRUE(matrix_is_identity(id));
    EXPECT_FALSE(matrix_is_identity(m));
}

TEST(View, AFreshViewDrawsWithIdentityUntilItIsSetUp)
{
    view *v = view_create();
    ASSERT_NE(v, nullptr);
    // Until the game places it, a new view has no frame to compute (its up
    // lies along its line of sight) and no frustum (no field of view, no
    // clipping distances): both refusals leave identity matrices to draw with.
    EXPECT_FALSE(view_compute_view_matrix(v));
    EXPECT_TRUE(matrix_is_identity(view_get_view_matrix(v)));
    EXPECT_FALSE(view_compute_projection(v));
    EXPECT_TRUE(matrix_is_identity(view_get_projection_matrix(v)));

    // Given a field of view and clipping distances, it projects for the
    // 800 x 600 screen the overlay works in: 4:3, so x is squeezed by 3/4.
    view_set_near_far(v, 1.0f, 100.0f);
    view_set_fov(v, static_cast<float>(M_PI) / 2.0f);
    ASSERT_TRUE(view_compute_projection(v));
    const float *p = view_get_projection_matrix(v);
    EXPECT_NEAR(p[0] / p[5], 0.75f, 1e-6f);

    // Setters keep the previous target and up.
    view_set_target(v, {1, 2, 3});
    view_set_up(v, {0, 1, 0});
    view_set_target(v, {4, 5, 6});
    expect_near3(v->prev_target, {1, 2, 3}, 0.0f);
    EXPECT_TRUE(view_compute_view_matrix(v));
    view_free(v);
}

TEST(View, ViewMatrixMapsIntoEyeSpace)
{
    view *v = view_create();
    view_set_position(v, {10, 0, 0});
    view_set_target(v, {0, 0, 0});
    view_set_up(v, {0, 0, 1});
    ASSERT_TRUE(view_compute_view_matrix(v));
    const float *m = view_get_view_matrix(v);
    // The eye goes to the origin, the target straight ahead along -z, up to +y.
    expect_near3(matrix_transform_point(m, {10, 0, 0}), {0, 0, 0});
    expect_near3(matrix_transform_point(m, {0, 0, 0}), {0, 0, -10});
    expect_near3(matrix_transform_direction(m, {0, 0, 1}), {0, 1, 0});
    // Rightwards of the viewer looking along -x with z up is +y in the world.
    expect_near3(matrix_transform_direction(m, {0, 1, 0}), {1, 0, 0});
    // The old matrix is kept.
    EXPECT_TRUE(matrix_is_identity(v->prev_view_matrix));
    float first[16];
    matrix_copy(first, m);
    view_set_position(v, {0, 0, 0}); // eye on its target: no frame
    EXPECT_FALSE(view_compute_view_matrix(v));
    expect_near16(v->prev_view_matrix, first, 0.0f);
    view_set_position(v, {0, 0, 5}); // up along the line of sight
    EXPECT_FALSE(view_compute_view_matrix(v));
    view_free(v);
}

TEST(View, ProjectionIsGlFrustum)
{
    view *v = view_create();
    view_set_near_far(v, 1.0f, 100.0f);
    view_set_fov(v, static_cast<float>(M_PI) / 2.0f); // tan(45 deg) = 1
    ASSERT_TRUE(view_compute_projection(v));
    const float *p = view_get_projection_matrix(v);
    // glFrustum(-4/3, 4/3, -1, 1, 1, 100) in OpenGL's column-major order.
    const float n = 1.0f, f = 100.0f, r = 4.0f / 3.0f, t = 1.0f;
    const float want[16] = {n / r, 0, 0, 0, 0, n / t, 0, 0, 0, 0, -(f + n) / (f - n), -1, 0, 0, -2 * f * n / (f - n),
                            0};
    expect_near16(p, want, 1e-6f);

    // A point on the near plane's top edge lands on NDC y = 1, z = -1.
    tacka3 eye{0, 1, -1};
    float x = eye.x * p[0] + eye.y * p[4] + eye.z * p[8] + p[12];
    float y = eye.x * p[1] + eye.y * p[5] + eye.z * p[9] + p[13];
    float z = eye.x * p[2] + eye.y * p[6] + eye.z * p[10] + p[14];
    float w = eye.x * p[3] + eye.y * p[7] + eye.z * p[11] + p[15];
    EXPECT_NEAR(x / w, 0.0f, 1e-6f);
    EXPECT_NEAR(y / w, 1.0f, 1e-6f);
    EXPECT_NEAR(z / w, -1.0f, 1e-5f);

    // A fresh view (near = far = 0) has no frustum: the matrix is kept.
    view *fresh = view_create();
    EXPECT_FALSE(view_compute_projection(fresh));
    EXPECT_TRUE(matrix_is_identity(view_get_projection_matrix(fresh)));
    view_free(fresh);
    view_free(v);
}
