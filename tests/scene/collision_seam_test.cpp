// Sliding along hulls: the seams between coplanar triangles never hold a
// sphere back, and neither a flat nor a curved hull lets it sink in.

#include <gtest/gtest.h>

#include <cmath>

#include "collision_test_mesh.h"
#include "corelib/drand.h"
#include "corelib/quaternion.h"

namespace {

const float TILE = 0.7f;
const float TWO_PI = 6.2831853f;

// A hull: n x n square tiles of side TILE in its local plane z = 0 (each split
// along one diagonal), facing +z, placed in the world by a rotation and an offset.
struct hull {
    test_mesh mesh;
    collision_mesh *m = nullptr;
    float inverse[16];
    tacka3 normal;

    hull(int n, tacka3 axis, float angle, tacka3 offset)
    {
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) {
                float x = float(i) * TILE, y = float(j) * TILE;
                mesh.add_quad({x, y, 0}, {x + TILE, y, 0}, {x + TILE, y + TILE, 0}, {x, y + TILE, 0});
            }
        quaternion q =
            angle == 0.0f ? quaternion_identity() : quaternion_from_axis_angle(tacka3_normalize(axis), angle);
        matrix_from_pose(mesh.world, offset, q, {1, 1, 1});
        matrix_inverse(inverse, mesh.world);
        normal = tacka3_normalize(matrix_transform_direction(mesh.world, {0, 0, 1}));
        m = mesh.finish(COLLISION_MESH_SOLID, this);
    }
    tacka3 world(float u, float v, float h) const { return matrix_transform_point(mesh.world, {u, v, h}); }
    tacka3 world_dir(float u, float v) const { return matrix_transform_direction(mesh.world, {u, v, 0}); }
    tacka3 local(tacka3 p) const { return matrix_transform_point(inverse, p); }
};

float rnd(float lo, float hi) { return float(drand_range(lo, hi)); }

// A heading in the hull's plane: half the time within 2 milliradians of a seam
// (the tile edges and the diagonals), otherwise any.
float heading()
{
    if (rnd(0, 1) < 0.5f) return rnd(0, TWO_PI);
    int k = int(rnd(0, 8)) % 8;
    return float(k) * TWO_PI / 8.0f + rnd(-2e-3f, 2e-3f);
}

// A coordinate in [lo, hi): half the time on a tile edge or right beside it.
float coordinate(float lo, float hi)
{
    float x = rnd(lo, hi);
    if (rnd(0, 1) < 0.5f) x = std::round(x / TILE) * TILE + rnd(-1e-4f, 1e-4f);
    return x;
}

class CollisionSeams : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(drand_init());
        drand_seed(20261206u);
        drand_set_cursor(0);
    }
    void TearDown() override { drand_deinit(); }
};

} // namespace

TEST_F(CollisionSeams, RandomMovesKeepTheTangentialPartAndTheClearance)
{
    // A floor, two slopes and a steep hull, all of 0.7-unit tiles, and a slope far
    // out in the field, where positions round more coarsely.
    hull hulls[5] = {hull(30, {1, 0, 0}, 0.0f, {-10, -10, 0}), hull(30, {1, 0, 0}, 0.35f, {3, -7, 2}),
                     hull(30, {1, 1, 0}, 0.61f, {-4, 5, -1}), hull(30, {0.3f, 1, 0.2f}, 1.4f, {0, 0, 0}),
                     hull(30, {1, 0.2f, 0}, 0.3f, {700, -450, 380})};
    int moves = 0, lossy = 0, sunk = 0;
    float worst_loss = 0.0f, worst_clearance = INFINITY;
    for (const hull &h : hulls) {
        for (int k = 0; k < 1000; k++) {
            float r = rnd(0.3f, 2.0f);
            float u = coordinate(6, 15), v = coordinate(6, 15);
            float a = heading(), len = rnd(0.05f, 3.0f);
            // Resting on the hull (within rounding), pushed along it and often a little into it.
            tacka3 start = h.world(u, v, r + rnd(0, 1e-4f));
            tacka3 along = tacka3_scale(tacka3_normalize(h.world_dir(std::cos(a), std::sin(a))), len);
            float press = rnd(0, 1) < 0.33f ? 0.0f : rnd(0, 0.3f) * len;
            tacka3 move = tacka3_add_scaled(along, h.normal, -press);

            tacka3 end = collision_slide(h.m, 1, nullptr, start, r, move, nullptr, nullptr, nullptr);
            moves++;
            float travelled = tacka3_dot(tacka3_sub(end, start), tacka3_normalize(along));
            float loss = 1.0f - travelled / len;
            worst_loss = std::fmax(worst_loss, loss);
            if (loss > 0.02f) lossy++;
            float clearance = h.local(end).z - r;
            worst_clearance = std::fmin(worst_clearance, clearance);
            if (clearance < -0.003f) sunk++;
        }
    }
    EXPECT_EQ(moves, 5000);
    EXPECT_EQ(lossy, 0) << "worst loss " << worst_loss;
    EXPECT_EQ(sunk, 0) << "worst clearance " << worst_clearance;
}

TEST_F(CollisionSeams, LongRunsAlongSeamsNeverStall)
{
    // 200 runs of 200 frames at 50 frames a second: a sphere pressed onto a hull
    // and driven nearly along a seam. It is brought back by whole tiles when it
    // nears the hull's border, which keeps its place among the seams.
    hull hulls[2] = {hull(16, {1, 0, 0}, 0.0f, {0, 0, 0}), hull(16, {1, 1, 0}, 0.61f, {-4, 5, -1})};
    const float dt = 1.0f / 50.0f, span = 4.0f * TILE;
    int stalled_runs = 0, lossy_frames = 0, sunk_frames = 0;
    for (int run = 0; run < 200; run++) {
        const hull &h = hulls[run % 2];
        float r = rnd(0.4f, 1.5f);
        float a = float(int(rnd(0, 8)) % 8) * TWO_PI / 8.0f + rnd(-1e-3f, 1e-3f);
        float speed = rnd(2.0f, 12.0f);
        tacka3 along = tacka3_scale(tacka3_normalize(h.world_dir(std::cos(a), std::sin(a))), speed * dt);
        tacka3 move = tacka3_add_scaled(along, h.normal, -rnd(0.0f, 0.05f));
        float len = tacka3_length(along);
        tacka3 c = h.world(coordinate(4, 7), coordinate(4, 7), r);
        int stalled = 0;
        for (int frame = 0; frame < 200; frame++) {
            tacka3 end = collision_slide(h.m, 1, nullptr, c, r, move, nullptr, nullptr, nullptr);
            float travelled = tacka3_dot(tacka3_sub(end, c), tacka3_normalize(along));
            if (travelled < 0.5f * len) stalled++;
            if (travelled < 0.98f * len) lossy_frames++;
            tacka3 l = h.local(end);
            if (l.z - r < -0.003f) sunk_frames++;
            // Back by whole tiles when near the border.
            float du = l.x > 7.5f ? -span : l.x < 3.5f ? span : 0.0f;
            float dv = l.y > 7.5f ? -span : l.y < 3.5f ? span : 0.0f;
            c = h.world(l.x + du, l.y + dv, l.z);
        }
        if (stalled > 0) stalled_runs++;
    }
    EXPECT_EQ(stalled_runs, 0);
    EXPECT_EQ(lossy_frames, 0);
    EXPECT_EQ(sunk_frames, 0);
}

TEST_F(CollisionSeams, SlidingAlongACurvedHullKeepsOffItAndMoves)
{
    // The fighter pressed against a station far out in the field (a round hull
    // of 2,256 triangles) and flying along it at full speed, at frame times from
    // 0.01 to 0.2 s: it neither sinks into the hull nor stalls on it. On a lumpy
    // hull it may be held up by the lumps, but it never sinks either.
    const tacka3 station{300, 100, -200};
    for (float lumps : {0.0f, 0.15f}) {
        test_mesh hull_mesh;
        std::vector<tacka3> normals;
        add_rock(&hull_mesh, &normals, station, 50.0f, 48, 24, 3u, lumps);
        collision_mesh *m = hull_mesh.finish(COLLISION_MESH_SOLID, &hull_mesh);
        m->face_normals = normals.data();
        m->face_normal_count = uint32_t(normals.size());
        int sunk = 0, stalled = 0;
        float worst_clearance = INFINITY;
        for (int run = 0; run < 40; run++) {
            tacka3 out{rnd(-1, 1), rnd(-1, 1), rnd(-1, 1)};
            if (!tacka3_try_normalize(&out)) out = {0, 0, 1};
            float r = rnd(1, 3), dt = rnd(0.01f, 0.2f);
            tacka3 c = tacka3_add(station, tacka3_scale(out, 60.0f + r));
            tacka3 heading = tacka3_normalize(tacka3_cross(out, {0.3f, 0.9f, 0.1f}));
            for (int frame = 0; frame < 200; frame++) {
                out = tacka3_normalize(tacka3_sub(c, station));
                tacka3 along = tacka3_normalize(tacka3_add_scaled(heading, out, -tacka3_dot(heading, out)));
                tacka3 move = tacka3_scale(tacka3_add_scaled(tacka3_scale(along, 36.0f), out, -10.0f), dt);
                tacka3 end = collision_slide(m, 1, nullptr, c, r, move, nullptr, nullptr, nullptr);
                float clearance = distance_to_mesh(hull_mesh, end) - r;
                worst_clearance = std::fmin(worst_clearance, clearance);
                if (clearance < -0.003f) sunk++;
                if (tacka3_dot(tacka3_sub(end, c), along) < 0.5f * 36.0f * dt) stalled++;
                c = end;
            }
        }
        EXPECT_EQ(sunk, 0) << "lumps " << lumps << ", worst clearance " << worst_clearance;
        if (lumps == 0.0f) {
            EXPECT_EQ(stalled, 0);
        }
    }
}
