// Swept-sphere sliding, non-solid overlap reports and ray queries of the collision core.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "collision_test_mesh.h"
#include "corelib/matrix.h"
#include "corelib/quaternion.h"
#include "scene/collision_core.h"

namespace {

// A wall in the plane x = at, facing -x, 40 units square around the x axis.
void add_wall_x(test_mesh *t, float at) { t->add_quad({at, -20, -20}, {at, -20, 20}, {at, 20, 20}, {at, 20, -20}); }

// A floor z = 0 facing +z made of n x n unit quads from (x0, y0).
void add_floor(test_mesh *t, float x0, float y0, int n)
{
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) {
            float x = x0 + float(i), y = y0 + float(j);
            t->add_quad({x, y, 0}, {x + 1, y, 0}, {x + 1, y + 1, 0}, {x, y + 1, 0});
        }
}

void expect_near3(tacka3 got, tacka3 want, float eps = 1e-4f)
{
    EXPECT_NEAR(got.x, want.x, eps);
    EXPECT_NEAR(got.y, want.y, eps);
    EXPECT_NEAR(got.z, want.z, eps);
}

struct records {
    array<collision_record> *a = array_new<collision_record>();
    ~records() { array_free(a); }
    uint32_t size() const { return a->get_size(); }
    const collision_record &operator[](uint32_t i) const { return (*a)[i]; }
};

int owner_a, owner_b, owner_c, owner_mover;

} // namespace

TEST(CollisionSolid, TinyMoveOrSphereDoesNothing)
{
    test_mesh wall;
    add_wall_x(&wall, 1.5f);
    collision_mesh *m = wall.finish(COLLISION_MESH_SOLID, &owner_a);
    records solid;
    tacka3 step, rem;
    collision_record contact;
    // Radius 0.001: no contact even though the move crosses the wall.
    collision_check_solid(m, 1, nullptr, {0, 0, 0}, 0.001f, {5, 0, 0}, nullptr, &step, &rem, solid.a, &contact);
    expect_near3(step, {5, 0, 0}, 0.0f);
    expect_near3(rem, {0, 0, 0}, 0.0f);
    EXPECT_EQ(contact.kind, COLLISION_NONE);
    // A move shorter than 0.001 right at the wall.
    collision_check_solid(m, 1, nullptr, {0.5f, 0, 0}, 1.0f, {0.0009f, 0, 0}, nullptr, &step, &rem, solid.a, nullptr);
    expect_near3(step, {0.0009f, 0, 0}, 0.0f);
    EXPECT_EQ(solid.size(), 0u);
}

TEST(CollisionSolid, ContactKinds)
{
    records solid;
    tacka3 step, rem;
    collision_record c;

    // Face: a wall 5 ahead, the sphere of radius 1 advances 4.
    test_mesh wall;
    add_wall_x(&wall, 5);
    collision_mesh *w = wall.finish(COLLISION_MESH_SOLID, &owner_a);
    // (The path keeps off the quad's diagonal, where the face test of either half may miss.)
    collision_check_solid(w, 1, nullptr, {0, 2, 7}, 1.0f, {10, 0, 0}, nullptr, &step, &rem, solid.a, &c);
    EXPECT_EQ(c.kind, COLLISION_FACE);
    EXPECT_NEAR(c.distance, 4.0f, 1e-5f);
    // Up to the contact, then the clearance back out along the contact normal.
    expect_near3(step, {4 - COLLISION_GAP, 0, 0}, 1e-5f);
    expect_near3(c.point, {5, 2, 7});
    expect_near3(c.contact_normal, {-1, 0, 0});
    expect_near3(rem, {0, 0, 0}); // head-on: nothing left to slide
    EXPECT_EQ(c.owner, &owner_a);
    ASSERT_EQ(solid.size(), 1u);
    EXPECT_EQ(solid[0].solid, 1);

    // Edge: a flat plate whose edge x = 0 lies across the path, met from slightly above.
    test_mesh plate;
    plate.add_quad({-10, -10, 0}, {0, -10, 0}, {0, 10, 0}, {-10, 10, 0});
    collision_mesh *p = plate.finish(COLLISION_MESH_SOLID, &owner_b);
    collision_check_solid(p, 1, nullptr, {3, 0, 0.5f}, 1.0f, {-10, 0, 0}, nullptr, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_EDGE);
    float h = std::sqrt(0.75f);
    EXPECT_NEAR(c.distance, 3.0f - h, 1e-4f);
    expect_near3(c.point, {0, 0, 0});
    expect_near3(c.contact_normal, {h, 0, 0.5f});
    // The rest of the move slides over the edge: it keeps no component into the contact normal.
    EXPECT_NEAR(tacka3_dot(rem, c.contact_normal), 0.0f, 1e-4f);

    // Vertex: a spike pointing at the sphere.
    test_mesh spike;
    spike.add_tri({0, 0, 0}, {-10, 3, 0}, {-10, -3, 0});
    collision_mesh *s = spike.finish(COLLISION_MESH_SOLID, &owner_c);
    collision_check_solid(s, 1, nullptr, {5, 0, 0}, 1.0f, {-10, 0, 0}, nullptr, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_VERTEX);
    EXPECT_NEAR(c.distance, 4.0f, 1e-4f);
    expect_near3(c.point, {0, 0, 0});
    expect_near3(c.contact_normal, {1, 0, 0});
}

TEST(CollisionSolid, TouchingEdgeOrVertexIsMetAtOnce)
{
    // A sphere that already touches an edge or a corner (by rounding, far less than
    // an embedded sphere) and moves into it meets it at distance 0, not never.
    const float r = 1.00001f;
    const tacka3 c{0.6f, 0, 0.8f}; // 1 from the corner at the origin and from the edge x = 0
    tacka3 step, rem;
    collision_record hit;

    test_mesh plate; // z = 0 for x <= 0, edge along y
    plate.add_quad({-10, -10, 0}, {0, -10, 0}, {0, 10, 0}, {-10, 10, 0});
    collision_mesh *p = plate.finish(COLLISION_MESH_SOLID, &owner_a);
    collision_check_solid(p, 1, nullptr, c, r, {-1, 0, 0}, nullptr, &step, &rem, nullptr, &hit);
    EXPECT_EQ(hit.kind, COLLISION_EDGE);
    EXPECT_EQ(hit.distance, 0.0f);
    expect_near3(hit.contact_normal, {0.6f, 0, 0.8f});
    // Moving away from it, it is no contact.
    collision_check_solid(p, 1, nullptr, c, r, {1, 0, 0.2f}, nullptr, &step, &rem, nullptr, &hit);
    EXPECT_EQ(hit.kind, COLLISION_NONE);

    test_mesh corner; // a triangle pointing at +x with its tip at the origin
    corner.add_tri({0, 0, 0}, {-5, 2, 0}, {-5, -2, 0});
    collision_mesh *t = corner.finish(COLLISION_MESH_SOLID, &owner_b);
    collision_check_solid(t, 1, nullptr, c, r, {-1, 0, 0}, nullptr, &step, &rem, nullptr, &hit);
    EXPECT_EQ(hit.kind, COLLISION_VERTEX);
    EXPECT_EQ(hit.distance, 0.0f);
    expect_near3(hit.point, {0, 0, 0});
    // The slide goes up over the corner, never into the plate.
    tacka3 end = collision_slide(p, 1, nullptr, c, r, {-3, 0, 0}, nullptr, nullptr, nullptr);
    EXPECT_GE(end.z, r - 1e-4f);
}

TEST(CollisionSolid, ContactsThatDoNotCount)
{
    test_mesh wall;
    add_wall_x(&wall, 5);
    collision_mesh *w = wall.finish(COLLISION_MESH_SOLID, &owner_a);
    tacka3 step, rem;
    collision_record c;
    // Out of reach: the move ends before the wall.
    collision_check_solid(w, 1, nullptr, {0, 0, 0}, 1.0f, {3.9f, 0, 0}, nullptr, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_NONE);
    expect_near3(step, {3.9f, 0, 0}, 0.0f);
    // Moving away from the wall.
    collision_check_solid(w, 1, nullptr, {3, 0, 0}, 1.0f, {-5, 0, 0}, nullptr, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_NONE);
    // Approaching the back of the face: one-sided, passes (edges, though, are hit from
    // either side, so the path keeps off the quad's diagonal).
    collision_check_solid(w, 1, nullptr, {8, 2, 7}, 1.0f, {-5, 0, 0}, nullptr, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_NONE);
    // The moving body itself and non-solid or skinned bodies are not obstacles.
    collision_check_solid(w, 1, &owner_a, {0, 0, 0}, 1.0f, {10, 0, 0}, nullptr, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_NONE);
    w->flags = 0;
    collision_check_solid(w, 1, nullptr, {0, 0, 0}, 1.0f, {10, 0, 0}, nullptr, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_NONE);
    w->flags = COLLISION_MESH_SOLID | COLLISION_MESH_SKINNED;
    collision_check_solid(w, 1, nullptr, {0, 0, 0}, 1.0f, {10, 0, 0}, nullptr, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_NONE);
    // The triangle of the previous contact is ignored (the other half of the wall still counts).
    w->flags = COLLISION_MESH_SOLID;
    collision_check_solid(w, 1, nullptr, {0, 5, 3}, 1.0f, {10, 0, 0}, nullptr, &step, &rem, nullptr, &c);
    ASSERT_EQ(c.kind, COLLISION_FACE);
    collision_contact_id last{&owner_a, c.face_index};
    collision_check_solid(w, 1, nullptr, {0, 5, 3}, 1.0f, {10, 0, 0}, &last, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_NONE);
    last.face_index = 1 - last.face_index;
    collision_check_solid(w, 1, nullptr, {0, 5, 3}, 1.0f, {10, 0, 0}, &last, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_FACE);
    // A body whose bounding sphere is out of reach is not looked at, whatever its triangles.
    w->bound_center = {100, 0, 0};
    w->bound_radius = 10;
    collision_check_solid(w, 1, nullptr, {0, 0, 0}, 1.0f, {10, 0, 0}, nullptr, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_NONE);
}

TEST(CollisionSolid, NearestContactWinsAcrossBodies)
{
    test_mesh far_wall, near_wall;
    add_wall_x(&far_wall, 8);
    add_wall_x(&near_wall, 5);
    collision_mesh meshes[2] = {*far_wall.finish(COLLISION_MESH_SOLID, &owner_a),
                                *near_wall.finish(COLLISION_MESH_SOLID, &owner_b)};
    records solid;
    tacka3 step, rem;
    collision_record c;
    collision_check_solid(meshes, 2, nullptr, {0, 0, 0}, 1.0f, {20, 0, 0}, nullptr, &step, &rem, solid.a, &c);
    EXPECT_EQ(c.owner, &owner_b);
    EXPECT_EQ(c.mesh_index, 1u);
    expect_near3(step, {4 - COLLISION_GAP, 0, 0}, 1e-5f);
    EXPECT_EQ(solid.size(), 1u); // one record: the winning contact
}

TEST(CollisionSolid, EmbeddedSphereIsPushedOut)
{
    test_mesh wall;
    add_wall_x(&wall, 5);
    collision_mesh *w = wall.finish(COLLISION_MESH_SOLID, &owner_a);
    records solid;
    tacka3 step, rem;
    collision_record c;
    collision_check_solid(w, 1, nullptr, {4.5f, 1, 3}, 1.0f, {1, 0, 0}, nullptr, &step, &rem, solid.a, &c);
    EXPECT_EQ(c.kind, COLLISION_EMBEDDED);
    EXPECT_NEAR(c.distance, -0.5f, 1e-5f);
    expect_near3(c.point, {5, 1, 3});
    expect_near3(c.contact_normal, {-1, 0, 0});
    expect_near3(step, {-0.5f, 0, 0});  // out until it just touches
    expect_near3(rem, {1, 0, 0}, 0.0f); // the whole move again

    // The sliding loop then ends touching the wall.
    int iterations = 0;
    tacka3 end = collision_slide(w, 1, nullptr, {4.5f, 1, 3}, 1.0f, {1, 0, 0}, solid.a, nullptr, &iterations);
    expect_near3(end, {4, 1, 3}, 2e-4f);
    EXPECT_LE(iterations, COLLISION_MAX_ITERATIONS);
}

TEST(CollisionSlide, WallAtAnAngleKeepsTheTangentialPart)
{
    test_mesh wall;
    add_wall_x(&wall, 5);
    collision_mesh *w = wall.finish(COLLISION_MESH_SOLID, &owner_a);
    records solid;
    int iterations = 0;
    tacka3 end = collision_slide(w, 1, &owner_mover, {0, 0, 0}, 1.0f, {10, 5, 0}, solid.a, nullptr, &iterations);
    expect_near3(end, {4 - COLLISION_GAP, 5, 0}, 1e-5f);
    EXPECT_GE(iterations, 2);
    EXPECT_LE(iterations, COLLISION_MAX_ITERATIONS);
    ASSERT_GE(solid.size(), 1u);
    EXPECT_EQ(solid[0].kind, COLLISION_FACE);
    EXPECT_EQ(solid[0].owner, &owner_a);
}

TEST(CollisionSlide, NoContactIsOneIteration)
{
    test_mesh wall;
    add_wall_x(&wall, 50);
    collision_mesh *w = wall.finish(COLLISION_MESH_SOLID, &owner_a);
    int iterations = 0;
    tacka3 end = collision_slide(w, 1, nullptr, {0, 0, 0}, 1.0f, {3, -2, 1}, nullptr, nullptr, &iterations);
    expect_near3(end, {3, -2, 1}, 0.0f);
    EXPECT_EQ(iterations, 1);
    // A move below the threshold makes no iteration at all.
    end = collision_slide(w, 1, nullptr, {0, 0, 0}, 1.0f, {0.0005f, 0, 0}, nullptr, nullptr, &iterations);
    EXPECT_EQ(iterations, 0);
    expect_near3(end, {0, 0, 0}, 0.0f);
}

TEST(CollisionSlide, CornerAndTiledFloorStayOutside)
{
    // Into the corner of two walls: the sphere ends touching both.
    test_mesh walls;
    add_wall_x(&walls, 5);
    walls.add_quad({-20, 5, -20}, {20, 5, -20}, {20, 5, 20}, {-20, 5, 20}); // y = 5 facing -y
    collision_mesh *w = walls.finish(COLLISION_MESH_SOLID, &owner_a);
    int iterations = 0;
    tacka3 end = collision_slide(w, 1, nullptr, {0, 0, 0}, 1.0f, {10, 10, 0}, nullptr, nullptr, &iterations);
    expect_near3(end, {4, 4, 0}, 1e-3f);
    EXPECT_LE(iterations, COLLISION_MAX_ITERATIONS);

    // Resting on a floor of many small triangles, pushed along and slightly down:
    // the seams between triangles do not stop it.
    test_mesh floor;
    add_floor(&floor, -2, -2, 12);
    collision_mesh *f = floor.finish(COLLISION_MESH_SOLID, &owner_b);
    end = collision_slide(f, 1, nullptr, {0.25f, 0.5f, 1}, 1.0f, {6, 0, -0.5f}, nullptr, nullptr, &iterations);
    expect_near3(end, {6.25f, 0.5f, 1}, 1e-3f);
    // Falling onto it from above stops on its surface.
    end = collision_slide(f, 1, nullptr, {3.3f, 2.7f, 4}, 0.5f, {0, 0, -10}, nullptr, nullptr, &iterations);
    expect_near3(end, {3.3f, 2.7f, 0.5f}, 1e-3f);
}

TEST(CollisionSlide, AShallowTouchNeitherSinksNorBounces)
{
    // A sphere touching a floor a little deeper than exactly (by less than an
    // embedded one), pushed along and into it at various angles, stays on the
    // floor: it is neither sunk through it nor thrown off it by the far side of
    // the quad's diagonal.
    test_mesh floor;
    floor.add_quad({-50, -50, 0}, {50, -50, 0}, {50, 50, 0}, {-50, 50, 0});
    collision_mesh *m = floor.finish(COLLISION_MESH_SOLID, &owner_a);
    for (float depth : {0.0f, 0.0002f, 0.0005f, 0.0009f}) {
        for (float dn : {0.001f, 0.01f, 0.1f, 0.3f, 1.0f}) {
            tacka3 move = tacka3_scale(tacka3_normalize({1, 0.3f, -dn}), 3.0f);
            tacka3 start{1.3f, 2.1f, 1.0f - depth};
            tacka3 end = collision_slide(m, 1, nullptr, start, 1.0f, move, nullptr, nullptr, nullptr);
            EXPECT_NEAR(end.z, 1.0f, 0.003f) << "depth " << depth << " slope " << dn;
            EXPECT_NEAR(end.x - start.x, move.x, 0.02f * move.x) << "depth " << depth << " slope " << dn;
            EXPECT_NEAR(end.y - start.y, move.y, 0.02f * move.x) << "depth " << depth << " slope " << dn;
        }
    }
}

TEST(CollisionSlide, PlacedMeshMatchesWorldGeometry)
{
    // The same wall given in object space (plane x = 0, scaled and rotated) and placed at x = 5.
    test_mesh placed;
    placed.add_quad({0, -10, -5}, {0, -10, 5}, {0, 10, 5}, {0, 10, -5});
    // Scale y and z by 2 and x by 7 (a non-uniform scale), turn half a turn about z, move to x = 5.
    matrix_from_pose(placed.world, {5, 0, 0}, quaternion{0, 0, 0, 1}, {7, 2, 2});
    collision_mesh *m = placed.finish(COLLISION_MESH_SOLID, &owner_a, true);
    // The half turn faces the wall towards +x: it is hit from the far side only.
    tacka3 end = collision_slide(m, 1, nullptr, {10, 0, 0}, 1.0f, {-10, 3, 0}, nullptr, nullptr, nullptr);
    expect_near3(end, {6, 3, 0}, 1e-3f);
    end = collision_slide(m, 1, nullptr, {0, 6, -5}, 1.0f, {10, 0, 0}, nullptr, nullptr, nullptr);
    expect_near3(end, {10, 6, -5}, 1e-3f);
}

TEST(CollisionSolid, BadIndicesAreSkipped)
{
    test_mesh wall;
    add_wall_x(&wall, 5);
    wall.tris[1] = 9999; // the first triangle points past the vertices
    collision_mesh *w = wall.finish(COLLISION_MESH_SOLID, &owner_a);
    tacka3 step, rem;
    collision_record c;
    // A path through the first triangle only (y < z region of the quad's a-b-c half).
    collision_check_solid(w, 1, nullptr, {0, -10, 10}, 1.0f, {10, 0, 0}, nullptr, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_NONE);
    collision_check_solid(w, 1, nullptr, {0, 10, -10}, 1.0f, {10, 0, 0}, nullptr, &step, &rem, nullptr, &c);
    EXPECT_EQ(c.kind, COLLISION_FACE);
}

TEST(CollisionNonSolid, StandingOneRecordForTheFirstTriangle)
{
    // Two overlapping plates of one body, the sphere touches both.
    test_mesh body;
    body.add_quad({-5, -5, 0.5f}, {5, -5, 0.5f}, {5, 5, 0.5f}, {-5, 5, 0.5f});     // triangles 0, 1
    body.add_quad({-5, -5, -0.3f}, {5, -5, -0.3f}, {5, 5, -0.3f}, {-5, 5, -0.3f}); // 2, 3
    collision_mesh *m = body.finish(0, &owner_a);
    records ns;
    collision_check_non_solid(m, 1, nullptr, {1, -1, 0}, 1.0f, {0, 0, 0}, ns.a);
    ASSERT_EQ(ns.size(), 1u);
    EXPECT_EQ(ns[0].solid, 0);
    EXPECT_EQ(ns[0].owner, &owner_a);
    EXPECT_EQ(ns[0].face_index, 0u); // (1, -1) lies in the first half of the quad
    expect_near3(ns[0].point, {1, -1, 0.5f});
    EXPECT_NEAR(ns[0].distance, -0.5f, 1e-5f);
    // Asked again with the record in the list, the body is not added twice.
    collision_check_non_solid(m, 1, nullptr, {1, -1, 0}, 1.0f, {0, 0, 0}, ns.a);
    EXPECT_EQ(ns.size(), 1u);
    // Not touching (the plates are beyond the sphere).
    records none;
    collision_check_non_solid(m, 1, nullptr, {1, -1, 3}, 1.0f, {0, 0, 0}, none.a);
    EXPECT_EQ(none.size(), 0u);
}

TEST(CollisionNonSolid, MovingKeepsTheNearestTravel)
{
    // Two walls of one body across the path, at x = 3 and x = 6.
    test_mesh body;
    body.add_quad({6, -5, -5}, {6, -5, 5}, {6, 5, 5}, {6, 5, -5});
    add_wall_x(&body, 3);
    collision_mesh *m = body.finish(0, &owner_a);
    records ns;
    collision_check_non_solid(m, 1, nullptr, {0, 0, 0}, 1.0f, {10, 0, 0}, ns.a);
    ASSERT_EQ(ns.size(), 1u);
    EXPECT_NEAR(ns[0].distance, 2.0f, 1e-4f); // the sphere reaches x = 3 after 2
    EXPECT_GE(ns[0].face_index, 2u);          // a triangle of the nearer wall
    expect_near3(ns[0].point, {3, 0, 0});
    // A short move that ends before any wall reports nothing.
    records short_move;
    collision_check_non_solid(m, 1, nullptr, {0, 0, 0}, 1.0f, {1.5f, 0, 0}, short_move.a);
    EXPECT_EQ(short_move.size(), 0u);
}

TEST(CollisionNonSolid, AFastMoverMeetsWhatLiesOnItsPath)
{
    // Small bodies 4 and 6 ahead of a sphere that moves 10 in one step: out of
    // its reach at the start, on its path all the same.
    test_mesh plate;
    plate.add_quad({4, -0.5f, -0.5f}, {4, -0.5f, 0.5f}, {4, 0.5f, 0.5f}, {4, 0.5f, -0.5f});
    test_mesh skin;
    collision_mesh meshes[2] = {*plate.finish(0, &owner_a), *skin.finish(COLLISION_MESH_SKINNED, &owner_b)};
    meshes[1].bound_center = {6, 1, 0};
    meshes[1].bound_radius = 0.7f;
    records ns;
    collision_check_non_solid(meshes, 2, nullptr, {0, 0, 0}, 0.5f, {10, 0, 0}, ns.a);
    ASSERT_EQ(ns.size(), 2u);
    EXPECT_EQ(ns[0].owner, &owner_a);
    EXPECT_NEAR(ns[0].distance, 3.5f, 1e-4f);
    EXPECT_EQ(ns[1].owner, &owner_b);
    // Neither lies on a path that ends short of them or passes them by.
    records none;
    collision_check_non_solid(meshes, 2, nullptr, {0, 0, 0}, 0.5f, {2.5f, 0, 0}, none.a);
    collision_check_non_solid(meshes, 2, nullptr, {0, 3, 0}, 0.5f, {10, 0, 0}, none.a);
    EXPECT_EQ(none.size(), 0u);
}

TEST(CollisionNonSolid, SolidNeverSkinnedAlwaysReported)
{
    test_mesh solid_body, skinned_body;
    add_wall_x(&solid_body, 0.5f);
    collision_mesh meshes[2] = {*solid_body.finish(COLLISION_MESH_SOLID, &owner_a),
                                *skinned_body.finish(COLLISION_MESH_SKINNED, &owner_b)};
    meshes[1].bound_center = {1.5f, 0, 0};
    meshes[1].bound_radius = 1.0f;
    records ns;
    collision_check_non_solid(meshes, 2, nullptr, {0, 0, 0}, 1.0f, {0, 0, 0}, ns.a);
    ASSERT_EQ(ns.size(), 1u);
    EXPECT_EQ(ns[0].owner, &owner_b);
    EXPECT_EQ(ns[0].face_index, 0u);
    EXPECT_EQ(ns[0].distance, 0.0f);
    // A solid skinned body: neither an obstacle nor a non-solid contact.
    test_mesh hard_skin;
    add_wall_x(&hard_skin, 0.5f);
    collision_mesh *hs = hard_skin.finish(COLLISION_MESH_SOLID | COLLISION_MESH_SKINNED, &owner_c);
    records hs_ns, hs_solid;
    collision_check_non_solid(hs, 1, nullptr, {0, 0, 0}, 1.0f, {0, 0, 0}, hs_ns.a);
    collision_check_non_solid(hs, 1, nullptr, {0, 0, 0}, 1.0f, {1, 0, 0}, hs_ns.a);
    EXPECT_EQ(hs_ns.size(), 0u);
    tacka3 end = collision_slide(hs, 1, nullptr, {0, 0, 0}, 1.0f, {3, 0, 0}, hs_solid.a, hs_ns.a, nullptr);
    expect_near3(end, {3, 0, 0}, 0.0f);
    EXPECT_EQ(hs_solid.size() + hs_ns.size(), 0u);

    // Bounding spheres apart: nothing.
    meshes[1].bound_center = {2.5f, 0, 0};
    records none;
    collision_check_non_solid(meshes, 2, nullptr, {0, 0, 0}, 1.0f, {0, 0, 0}, none.a);
    EXPECT_EQ(none.size(), 0u);

    // The sliding loop reports each non-solid body once however many steps it takes.
    test_mesh wall, cloud;
    add_wall_x(&wall, 5);
    cloud.add_quad({3, -5, -5}, {3, -5, 5}, {3, 5, 5}, {3, 5, -5});
    collision_mesh both[2] = {*wall.finish(COLLISION_MESH_SOLID, &owner_a), *cloud.finish(0, &owner_c)};
    records solid, nonsolid;
    end = collision_slide(both, 2, nullptr, {0, 0, 0}, 1.0f, {10, 4, 0}, solid.a, nonsolid.a, nullptr);
    EXPECT_NEAR(end.x, 4.0f, 1e-3f);
    ASSERT_EQ(nonsolid.size(), 1u);
    EXPECT_EQ(nonsolid[0].owner, &owner_c);
    for (uint32_t i = 0; i < solid.size(); i++) EXPECT_EQ(solid[i].owner, &owner_a);
}

TEST(CollisionRay, NearestHitPerBody)
{
    // Two bodies along +x, each a box-like pair of walls.
    test_mesh first, second, hidden;
    add_wall_x(&first, 4);
    add_wall_x(&first, 3);
    add_wall_x(&second, 10);
    add_wall_x(&second, 12);
    add_wall_x(&hidden, 1);
    collision_mesh meshes[3] = {*second.finish(COLLISION_MESH_SOLID, &owner_b), *first.finish(0, &owner_a),
                                *hidden.finish(COLLISION_MESH_INVISIBLE, &owner_c)};
    records hits;
    uint32_t n = collision_ray(meshes, 3, {0, 1, 1}, {2, 0, 0}, INFINITY, hits.a);
    ASSERT_EQ(n, 2u);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].owner, &owner_b);
    EXPECT_NEAR(hits[0].distance, 10.0f, 1e-4f); // world distance, not the ray parameter
    expect_near3(hits[0].point, {10, 1, 1});
    EXPECT_GE(hits[0].face_index, 0u);
    EXPECT_LE(hits[0].face_index, 1u);
    EXPECT_EQ(hits[1].owner, &owner_a);
    EXPECT_NEAR(hits[1].distance, 3.0f, 1e-4f);
    EXPECT_GE(hits[1].face_index, 2u); // the wall at 3 was added second
    expect_near3(hits[1].face_normal, {-1, 0, 0});

    // Restricted by range.
    records near_hits;
    EXPECT_EQ(collision_ray(meshes, 3, {0, 1, 1}, {2, 0, 0}, 5.0f, near_hits.a), 1u);
    EXPECT_EQ(near_hits[0].owner, &owner_a);
    // Pointing away or passing beside.
    records miss;
    EXPECT_EQ(collision_ray(meshes, 3, {0, 1, 1}, {-1, 0, 0}, INFINITY, miss.a), 0u);
    EXPECT_EQ(collision_ray(meshes, 3, {0, 30, 1}, {1, 0, 0}, INFINITY, miss.a), 0u);
}

TEST(CollisionRay, PlacedBodyWithScale)
{
    test_mesh body;
    body.add_quad({0, -1, -1}, {0, -1, 1}, {0, 1, 1}, {0, 1, -1});
    matrix_from_pose(body.world, {20, 0, 0}, quaternion_identity(), {1, 5, 5});
    collision_mesh *m = body.finish(0, &owner_a);
    records hits;
    // (0, 4, 4) lies on the scaled plate, not on the unscaled one.
    ASSERT_EQ(collision_ray(m, 1, {0, 4, 4}, {1, 0, 0}, INFINITY, hits.a), 1u);
    EXPECT_NEAR(hits[0].distance, 20.0f, 1e-3f);
    expect_near3(hits[0].point, {20, 4, 4}, 1e-3f);
    records miss;
    EXPECT_EQ(collision_ray(m, 1, {0, 6, 0}, {1, 0, 0}, INFINITY, miss.a), 0u);
}

TEST(CollisionDeath, Faults)
{
    test_mesh wall;
    add_wall_x(&wall, 5);
    collision_mesh *w = wall.finish(COLLISION_MESH_SOLID, &owner_a);
    records r;
    EXPECT_EXIT(collision_ray(w, 1, {0, 0, 0}, {0, 0, 0}, INFINITY, r.a), ::testing::ExitedWithCode(3),
                "assertion !is_zero\\(direction\\) failed");

    // A body with triangles but no triangle list.
    collision_mesh broken = *w;
    broken.tris_32 = nullptr;
    broken.tris_16 = nullptr;
    tacka3 step, rem;
    EXPECT_EXIT(
        collision_check_solid(&broken, 1, nullptr, {0, 0, 0}, 1.0f, {10, 0, 0}, nullptr, &step, &rem, nullptr, nullptr),
        ::testing::ExitedWithCode(3), "BUG at file");
    broken.flags = 0;
    EXPECT_EXIT(collision_check_non_solid(&broken, 1, nullptr, {4.5f, 0, 0}, 1.0f, {0, 0, 0}, r.a),
                ::testing::ExitedWithCode(3), "BUG at file");

    // The same skinned body twice in one query.
    collision_mesh twice[2] = {*w, *w};
    twice[0].flags = twice[1].flags = COLLISION_MESH_SKINNED;
    EXPECT_EXIT(collision_check_non_solid(twice, 2, nullptr, {4.5f, 0, 0}, 1.0f, {0, 0, 0}, r.a),
                ::testing::ExitedWithCode(3), "check_non_solid\\(\\) BUG");
}

TEST(CollisionSlide, NeverEndsInsideARock)
{
    test_mesh rock;
    std::vector<tacka3> normals;
    add_rock(&rock, &normals, {0, 0, 0}, 5.0f, 25, 11, 7u);
    ASSERT_EQ(rock.tris.size() / 3, 500u);
    collision_mesh *m = rock.finish(COLLISION_MESH_SOLID, &owner_a);
    m->face_normals = normals.data();
    m->face_normal_count = uint32_t(normals.size());

    // Spheres thrown at the rock from all around, with some sideways drift.
    unsigned state = 12345u;
    auto rnd = [&]() {
        state = state * 1664525u + 1013904223u;
        return float(state >> 8) / float(1u << 24) * 2.0f - 1.0f;
    };
    int stopped = 0;
    for (int k = 0; k < 200; k++) {
        tacka3 dir{rnd(), rnd(), rnd()};
        if (!tacka3_try_normalize(&dir)) continue;
        tacka3 start = tacka3_scale(dir, 9.0f);
        tacka3 side{rnd(), rnd(), rnd()};
        tacka3 move = tacka3_add(tacka3_scale(dir, -12.0f), tacka3_scale(side, 3.0f));
        int iterations = 0;
        tacka3 end = collision_slide(m, 1, nullptr, start, 1.0f, move, nullptr, nullptr, &iterations);
        EXPECT_LE(iterations, COLLISION_MAX_ITERATIONS);
        float clearance = distance_to_mesh(rock, end);
        EXPECT_GE(clearance, 1.0f - 0.003f) << "throw " << k;
        if (tacka3_distance(end, tacka3_add(start, move)) > 0.5f) stopped++;
    }
    EXPECT_GT(stopped, 150); // almost every throw meets the rock
}
