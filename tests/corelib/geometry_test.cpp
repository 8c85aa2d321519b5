// Geometry helpers: boxes, interpolation, point-in-triangle, rays, closest points.

#include <gtest/gtest.h>

#include <cmath>

#include "corelib/geometry.h"

namespace {

void expect_near3(tacka3 got, tacka3 want, float eps = 1e-5f)
{
    EXPECT_NEAR(got.x, want.x, eps);
    EXPECT_NEAR(got.y, want.y, eps);
    EXPECT_NEAR(got.z, want.z, eps);
}

} // namespace

TEST(Geometry, BoxAroundSphere)
{
    aabox box;
    build_box_around_sphere(&box, {1, 2, 3}, 0.5f);
    EXPECT_FLOAT_EQ(box.min[0], 0.5f);
    EXPECT_FLOAT_EQ(box.min[2], 2.5f);
    EXPECT_FLOAT_EQ(box.max[1], 2.5f);
    build_box_around_sphere(&box, {1, 2, 3}, 0.0f);
    EXPECT_EQ(box.min[0], box.max[0]);
}

TEST(Geometry, LinearInterpolationEndsExactly)
{
    tacka3 out;
    tacka3 a{0.1f, -3.3f, 1e7f}, b{1e8f, 0.7f, -0.3f};
    linear_interpolation(&out, a, b, 1.0f);
    EXPECT_EQ(out.x, b.x);
    EXPECT_EQ(out.y, b.y);
    EXPECT_EQ(out.z, b.z);
    linear_interpolation(&out, a, b, 0.0f);
    EXPECT_EQ(out.x, a.x);
    EXPECT_EQ(out.z, a.z);
    linear_interpolation(&out, {0, 0, 0}, {2, 4, -8}, 0.25f);
    expect_near3(out, {0.5f, 1, -2});
}

TEST(GeometryDeath, FaultReports)
{
    aabox box;
    EXPECT_EXIT(build_box_around_sphere(&box, {0, 0, 0}, -1.0f), ::testing::ExitedWithCode(3),
                "build_box_around_sphere\\(\\) BUG at .*assertion radius >= 0.0f failed!");
    tacka3 out;
    EXPECT_EXIT(linear_interpolation(&out, {0, 0, 0}, {1, 1, 1}, 1.5f), ::testing::ExitedWithCode(3),
                "linear_interpolation\\(\\) BUG at file .*, line [0-9]+!");
    EXPECT_EXIT(linear_interpolation(&out, {0, 0, 0}, {1, 1, 1}, -0.01f), ::testing::ExitedWithCode(3),
                "linear_interpolation\\(\\) BUG");
    EXPECT_EXIT(linear_interpolation(&out, {0, 0, 0}, {1, 1, 1}, NAN), ::testing::ExitedWithCode(3),
                "linear_interpolation\\(\\) BUG");
    EXPECT_EXIT(is_point_within_triangle_3d({0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, NAN}),
                ::testing::ExitedWithCode(3), "is_point_within_triangle_3d\\(\\) BUG");
    EXPECT_EXIT(is_point_within_triangle_3d({0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {INFINITY, 0, 1}),
                ::testing::ExitedWithCode(3), "is_point_within_triangle_3d\\(\\) BUG");
    build_box_around_sphere(&box, {0, 0, 0}, 1.0f);
    EXPECT_EXIT(is_intersecting(&box, {5, 0, 0}, {0, 0, 0}), ::testing::ExitedWithCode(3),
                "is_intersecting\\(\\) BUG at .*assertion !is_zero\\(r_vector\\) failed!");
}

TEST(Geometry, PointBetween)
{
    EXPECT_TRUE(is_point_between({0.5f, 0, 0}, {0, 0, 0}, {1, 0, 0}));
    EXPECT_TRUE(is_point_between({1, 0, 0}, {0, 0, 0}, {1, 0, 0}));
    EXPECT_FALSE(is_point_between({1.1f, 0, 0}, {0, 0, 0}, {1, 0, 0}));
    EXPECT_FALSE(is_point_between({-0.1f, 0, 0}, {0, 0, 0}, {1, 0, 0}));
}

TEST(Geometry, PointWithinTriangleEachDroppedAxis)
{
    // One triangle per dominant normal axis, in that axis' plane, with a point inside
    // and one outside; the dropped coordinate of the point does not matter.
    struct Case {
        tacka3 a, b, c, n, in, out;
    } cases[] = {
        {{0, 0, 0}, {0, 2, 0}, {0, 0, 2}, {1, 0.2f, 0.1f}, {5, 0.5f, 0.5f}, {0, 1.5f, 1.5f}},
        {{0, 0, 0}, {2, 0, 0}, {0, 0, 2}, {0.1f, -1, 0.2f}, {0.5f, -7, 0.5f}, {-0.1f, 0, 0.5f}},
        {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {0.3f, 0.3f, 1}, {0.5f, 0.5f, 3}, {2, 2, 0}},
    };
    for (const Case &t : cases) {
        EXPECT_TRUE(is_point_within_triangle_3d(t.in, t.a, t.b, t.c, t.n));
        EXPECT_FALSE(is_point_within_triangle_3d(t.out, t.a, t.b, t.c, t.n));
        // Winding does not matter.
        EXPECT_TRUE(is_point_within_triangle_3d(t.in, t.c, t.b, t.a, t.n));
    }
    // Ties between equal components drop x first, then y.
    EXPECT_TRUE(is_point_within_triangle_3d({0, 0.5f, 0.5f}, {0, 0, 0}, {0, 2, 0}, {0, 0, 2}, {1, 1, 0}));
    EXPECT_TRUE(is_point_within_triangle_3d({0.5f, 0, 0.5f}, {0, 0, 0}, {2, 0, 0}, {0, 0, 2}, {0, 1, 1}));
}

TEST(Geometry, RayAgainstBox)
{
    aabox box{{-1, -1, -1}, {1, 1, 1}};
    EXPECT_TRUE(is_intersecting(&box, {-5, 0, 0}, {1, 0, 0}));
    EXPECT_FALSE(is_intersecting(&box, {-5, 0, 0}, {-1, 0, 0}));    // box behind
    EXPECT_TRUE(is_intersecting(&box, {0, 0, 0}, {0, 0, 1}));       // origin inside
    EXPECT_FALSE(is_intersecting(&box, {-5, 2, 0}, {1, 0, 0}));     // passes beside
    EXPECT_TRUE(is_intersecting(&box, {-5, -5, 0}, {1, 1, 0}));     // diagonal through
    EXPECT_FALSE(is_intersecting(&box, {-5, -7.5f, 0}, {1, 1, 0})); // diagonal past a corner
    EXPECT_TRUE(is_intersecting(&box, {-5, 1, 0}, {1, 0, 0}));      // grazing a face
    // A short vector still means the whole ray.
    EXPECT_TRUE(is_intersecting(&box, {-100, 0.5f, 0.5f}, {0.001f, 0, 0}));
}

TEST(Geometry, ClosestPointOnSegment)
{
    bool on;
    expect_near3(closest_point_on_segment({0.5f, 1, 0}, {0, 0, 0}, {2, 0, 0}, &on), {0.5f, 0, 0});
    EXPECT_TRUE(on);
    expect_near3(closest_point_on_segment({-1, 1, 0}, {0, 0, 0}, {2, 0, 0}, &on), {0, 0, 0});
    EXPECT_FALSE(on);
    expect_near3(closest_point_on_segment({3, 1, 0}, {0, 0, 0}, {2, 0, 0}, &on), {2, 0, 0});
    EXPECT_FALSE(on);
    // Zero-length segment.
    expect_near3(closest_point_on_segment({3, 1, 0}, {1, 1, 1}, {1, 1, 1}, &on), {1, 1, 1});
    EXPECT_FALSE(on);
}

TEST(Geometry, ClosestPointOnTriangleEdges)
{
    tacka3 a{0, 0, 0}, b{4, 0, 0}, c{0, 4, 0};
    tacka3 s, e;
    bool on;
    // Beside edge bc.
    tacka3 q = closest_point_on_triangle(&s, &e, &on, {3, 3, 1}, a, b, c);
    expect_near3(q, {2, 2, 0});
    EXPECT_TRUE(on);
    expect_near3(s, b, 0.0f);
    expect_near3(e, c, 0.0f);
    // Beyond vertex b: a vertex, with an edge that meets at b.
    q = closest_point_on_triangle(&s, &e, &on, {6, -1, 0}, a, b, c);
    expect_near3(q, b);
    EXPECT_FALSE(on);
    EXPECT_TRUE((s.x == b.x && s.y == b.y) || (e.x == b.x && e.y == b.y));
    // A point inside the triangle still gets its nearest edge point (ab here).
    q = closest_point_on_triangle(&s, &e, &on, {2, 0.5f, 0}, a, b, c);
    expect_near3(q, {2, 0, 0});
    EXPECT_TRUE(on);
    expect_near3(s, a, 0.0f);
    // Equidistant from ab and ca: the earlier edge (ab) wins.
    q = closest_point_on_triangle(&s, &e, &on, {1, 1, 0}, a, b, c);
    expect_near3(q, {1, 0, 0});
    expect_near3(e, b, 0.0f);
}

TEST(Geometry, ClosestPointOnSolidTriangle)
{
    tacka3 a{0, 0, 0}, b{4, 0, 0}, c{0, 4, 0};
    expect_near3(closest_point_on_triangle_solid({1, 1, 5}, a, b, c), {1, 1, 0});
    expect_near3(closest_point_on_triangle_solid({-2, -2, 1}, a, b, c), a);
    expect_near3(closest_point_on_triangle_solid({2, -3, 0}, a, b, c), {2, 0, 0});
    expect_near3(closest_point_on_triangle_solid({5, 5, 0}, a, b, c), {2, 2, 0});
    expect_near3(closest_point_on_triangle_solid({0, 9, 0}, a, b, c), c);
    // A degenerate (collinear) triangle.
    expect_near3(closest_point_on_triangle_solid({1, 1, 0}, a, b, {2, 0, 0}), {1, 0, 0});
}

TEST(Geometry, TriangleInsideSphereTolerance)
{
    tacka3 a{-5, -5, 0}, b{5, -5, 0}, c{0, 5, 0}, n{0, 0, 1};
    tacka3 contact{99, 99, 99};
    // Penetrating by 0.5.
    EXPECT_TRUE(is_triangle_inside_sphere(&contact, {0, 0, 0.5f}, 1.0f, a, b, c, n, 0.001f));
    expect_near3(contact, {0, 0, 0});
    // Just touching, or penetrating by less than the tolerance, is not inside.
    EXPECT_FALSE(is_triangle_inside_sphere(&contact, {0, 0, 1.0f}, 1.0f, a, b, c, n, 0.001f));
    EXPECT_FALSE(is_triangle_inside_sphere(&contact, {0, 0, 0.9995f}, 1.0f, a, b, c, n, 0.001f));
    EXPECT_TRUE(is_triangle_inside_sphere(&contact, {0, 0, 0.998f}, 1.0f, a, b, c, n, 0.001f));
    // Near an edge from outside the triangle's face.
    EXPECT_TRUE(is_triangle_inside_sphere(&contact, {0, -5.5f, 0}, 1.0f, a, b, c, n, 0.001f));
    expect_near3(contact, {0, -5, 0});
    EXPECT_FALSE(is_triangle_inside_sphere(&contact, {0, -6.5f, 0}, 1.0f, a, b, c, n, 0.001f));
    // A sphere no bigger than the tolerance is never inside.
    EXPECT_FALSE(is_triangle_inside_sphere(&contact, {0, 0, 0}, 0.001f, a, b, c, n, 0.001f));
}

TEST(Geometry, RayTriangle)
{
    tacka3 a{0, 0, 0}, b{2, 0, 0}, c{0, 2, 0};
    float t = -1;
    EXPECT_TRUE(ray_triangle_intersect(&t, {0.5f, 0.5f, 4}, {0, 0, -2}, a, b, c));
    EXPECT_FLOAT_EQ(t, 2.0f); // in units of the (not normalised) direction
    // From the back side too.
    EXPECT_TRUE(ray_triangle_intersect(&t, {0.5f, 0.5f, -1}, {0, 0, 1}, a, b, c));
    EXPECT_FLOAT_EQ(t, 1.0f);
    // Behind the origin, beside the triangle, parallel to it.
    EXPECT_FALSE(ray_triangle_intersect(&t, {0.5f, 0.5f, 4}, {0, 0, 1}, a, b, c));
    EXPECT_FALSE(ray_triangle_intersect(&t, {1.5f, 1.5f, 4}, {0, 0, -1}, a, b, c));
    EXPECT_FALSE(ray_triangle_intersect(&t, {0.5f, 0.5f, 0.5f}, {1, 0, 0}, a, b, c));
    // A degenerate triangle is never hit.
    EXPECT_FALSE(ray_triangle_intersect(&t, {0.5f, 0, 4}, {0, 0, -1}, a, b, {1, 0, 0}));
}

TEST(Geometry, RaySphereAndBoxes)
{
    float t;
    EXPECT_TRUE(ray_sphere_intersect(&t, {-5, 0, 0}, {1, 0, 0}, {0, 0, 0}, 1.0f));
    EXPECT_FLOAT_EQ(t, 4.0f);
    EXPECT_FALSE(ray_sphere_intersect(&t, {-5, 2, 0}, {1, 0, 0}, {0, 0, 0}, 1.0f));
    aabox x, y;
    aabox_of_triangle(&x, {0, 0, 0}, {1, -1, 2}, {-1, 3, 0});
    EXPECT_EQ(x.min[0], -1.0f);
    EXPECT_EQ(x.min[1], -1.0f);
    EXPECT_EQ(x.max[1], 3.0f);
    EXPECT_EQ(x.max[2], 2.0f);
    build_box_around_sphere(&y, {2, 0, 0}, 1.0f);
    EXPECT_TRUE(aabox_overlaps(&x, &y)); // touching at x = 1
    build_box_around_sphere(&y, {2.5f, 0, 0}, 1.0f);
    EXPECT_FALSE(aabox_overlaps(&x, &y));
}
