// The triangle hierarchies and the other short cuts give the collision queries
// exactly the answers of the brute-force loops they replaced (kept in
// collision_reference.cpp): random fields of placed bodies, many seeds, rays,
// sliding moves and overlap reports run through the reference, through the
// core without hierarchies and through the core with them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "corelib/matrix.h"
#include "scene/collision_bvh.h"
#include "scene/collision_core.h"

#include "collision_reference.h"

namespace {

struct body {
    std::vector<tacka3> vertices;
    std::vector<uint32_t> tris;
    std::vector<uint16_t> tris16;
    std::vector<tacka3> normals;
    float world[16];
    float inverse[16];
};

struct bvh_deleter {
    void operator()(collision_bvh *b) const { collision_bvh_free(b); }
};

struct field {
    std::vector<std::unique_ptr<body>> bodies;
    std::vector<std::unique_ptr<collision_bvh, bvh_deleter>> bvhs;
    std::vector<collision_mesh> plain; // without hierarchies
    std::vector<collision_mesh> fast;  // the same meshes with them
};

float uni(std::mt19937 *rng, float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(*rng); }

tacka3 random_point(std::mt19937 *rng, float extent)
{
    return {uni(rng, -extent, extent), uni(rng, -extent, extent), uni(rng, -extent, extent)};
}

tacka3 random_unit(std::mt19937 *rng)
{
    for (;;) {
        tacka3 v = random_point(rng, 1.0f);
        if (tacka3_length2(v) > 0.01f && tacka3_length2(v) <= 1.0f) return tacka3_normalize(v);
    }
}

// A lumpy closed rock of 2 * slices * (stacks - 1) triangles around the origin.
void make_rock(body *b, std::mt19937 *rng, int slices, int stacks)
{
    b->vertices.push_back({0, 0, 1});
    for (int j = 1; j < stacks; j++)
        for (int i = 0; i < slices; i++) {
            float theta = float(M_PI) * float(j) / float(stacks), phi = 2.0f * float(M_PI) * float(i) / float(slices);
            float len = uni(rng, 0.8f, 1.2f);
            b->vertices.push_back(
                {len * std::sin(theta) * std::cos(phi), len * std::sin(theta) * std::sin(phi), len * std::cos(theta)});
        }
    b->vertices.push_back({0, 0, -1});
    const uint32_t bottom = uint32_t(b->vertices.size() - 1);
    auto ring = [slices](int j, int i) { return uint32_t(1 + (j - 1) * slices + (i % slices)); };
    auto add = [b](uint32_t x, uint32_t y, uint32_t z) { b->tris.insert(b->tris.end(), {x, y, z}); };
    for (int i = 0; i < slices; i++) {
        add(0, ring(1, i), ring(1, i + 1));
        for (int j = 1; j < stacks - 1; j++) {
            add(ring(j, i), ring(j + 1, i), ring(j + 1, i + 1));
            add(ring(j, i), ring(j + 1, i + 1), ring(j, i + 1));
        }
        add(bottom, ring(stacks - 1, i + 1), ring(stacks - 1, i));
    }
}

// Loose random triangles in the unit box, with a degenerate one, a flat
// coplanar pair sharing an edge and a triangle naming a vertex that is not there.
void make_soup(body *b, std::mt19937 *rng, int count)
{
    for (int k = 0; k < count; k++) {
        tacka3 c = random_point(rng, 1.0f);
        for (int v = 0; v < 3; v++) {
            b->vertices.push_back(tacka3_add(c, random_point(rng, 0.4f)));
            b->tris.push_back(uint32_t(b->vertices.size() - 1));
        }
    }
    uint32_t base = uint32_t(b->vertices.size());
    b->vertices.insert(b->vertices.end(), {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}, {0.5f, 0.5f, 0.5f}});
    b->tris.insert(b->tris.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    b->tris.insert(b->tris.end(), {base + 4, base + 4, base + 4}); // degenerate
    b->tris.insert(b->tris.end(), {base, base + 1, base + 1000});  // beyond the vertices
}

void make_normals(body *b)
{
    for (size_t t = 0; t + 2 < b->tris.size(); t += 3) {
        uint32_t i0 = b->tris[t], i1 = b->tris[t + 1], i2 = b->tris[t + 2];
        if (i0 >= b->vertices.size() || i1 >= b->vertices.size() || i2 >= b->vertices.size()) {
            b->normals.push_back({0, 0, 1});
            continue;
        }
        tacka3 n =
            tacka3_cross(tacka3_sub(b->vertices[i1], b->vertices[i0]), tacka3_sub(b->vertices[i2], b->vertices[i0]));
        b->normals.push_back(n);
    }
}

void make_field(field *fd, std::mt19937 *rng, int count, float extent)
{
    for (int k = 0; k < count; k++) {
        auto b = std::make_unique<body>();
        int kind = int(uni(rng, 0.0f, 4.0f));
        if (kind == 3)
            make_soup(b.get(), rng, int(uni(rng, 5.0f, 120.0f)));
        else
            make_rock(b.get(), rng, int(uni(rng, 3.0f, 30.0f)), int(uni(rng, 3.0f, 16.0f)));
        bool with_normals = uni(rng, 0.0f, 1.0f) < 0.6f;
        if (with_normals) make_normals(b.get());
        bool use16 = b->vertices.size() < 65536 && uni(rng, 0.0f, 1.0f) < 0.3f;
        if (use16) b->tris16.assign(b->tris.begin(), b->tris.end());

        // Placement: uniform or stretched, sometimes mirrored, sometimes none.
        float s = uni(rng, 2.0f, 12.0f);
        tacka3 scale = {s, s, s};
        if (uni(rng, 0.0f, 1.0f) < 0.3f) scale = {s * uni(rng, 0.5f, 2.0f), s * uni(rng, 0.5f, 2.0f), s};
        if (uni(rng, 0.0f, 1.0f) < 0.15f) scale.x = -scale.x;
        quaternion q = quaternion_from_axis_angle(random_unit(rng), uni(rng, 0.0f, 6.28f));
        matrix_from_pose(b->world, random_point(rng, extent), q, scale);
        bool placed = uni(rng, 0.0f, 1.0f) < 0.85f;
        if (!placed) {
            // Vertices already in world space.
            for (tacka3 &v : b->vertices) v = matrix_transform_point(b->world, v);
            if (with_normals) {
                b->normals.clear();
                make_normals(b.get());
            }
        }

        collision_mesh m;
        collision_mesh_init(&m);
        m.vertices = b->vertices.data();
        m.vertex_count = uint32_t(b->vertices.size());
        if (use16)
            m.tris_16 = b->tris16.data();
        else
            m.tris_32 = b->tris.data();
        m.face_count = uint32_t(b->tris.size() / 3);
        if (with_normals) {
            m.face_normals = b->normals.data();
            m.face_normal_count = uint32_t(b->normals.size());
        }
        m.world = placed ? b->world : nullptr;
        tacka3 lo{INFINITY, INFINITY, INFINITY}, hi{-INFINITY, -INFINITY, -INFINITY};
        for (tacka3 v : b->vertices) {
            tacka3 w = placed ? matrix_transform_point(b->world, v) : v;
            lo = {std::fmin(lo.x, w.x), std::fmin(lo.y, w.y), std::fmin(lo.z, w.z)};
            hi = {std::fmax(hi.x, w.x), std::fmax(hi.y, w.y), std::fmax(hi.z, w.z)};
        }
        m.bound_center = tacka3_scale(tacka3_add(lo, hi), 0.5f);
        m.bound_radius = tacka3_distance(hi, lo) * 0.5f;
        m.bound_box = aabox{{lo.x, lo.y, lo.z}, {hi.x, hi.y, hi.z}};
        m.flags = uni(rng, 0.0f, 1.0f) < 0.75f ? COLLISION_MESH_SOLID : 0u;
        m.owner = b.get();
        fd->plain.push_back(m);
        collision_bvh *bvh = collision_bvh_create(&m);
        ASSERT_NE(bvh, nullptr);
        m.bvh = bvh;
        // Some fast bodies carry their inverse placement, as the scene's do.
        if (placed && k % 2 == 0 && matrix_inverse(b->inverse, b->world)) m.world_inverse = b->inverse;
        fd->fast.push_back(m);
        fd->bvhs.emplace_back(bvh);
        fd->bodies.push_back(std::move(b));
    }
}

// The body's triangles as an unplaced mesh (32-bit indices, no normals).
collision_mesh mesh_of(const body &b)
{
    collision_mesh m;
    collision_mesh_init(&m);
    m.vertices = b.vertices.data();
    m.vertex_count = uint32_t(b.vertices.size());
    m.tris_32 = b.tris.data();
    m.face_count = uint32_t(b.tris.size() / 3);
    return m;
}

void expect_same_vector(tacka3 a, tacka3 b)
{
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
}

void expect_same_records(const array<collision_record> *a, const array<collision_record> *b)
{
    ASSERT_EQ(a->get_size(), b->get_size());
    for (uint32_t i = 0; i < a->get_size(); i++) {
        const collision_record &x = (*a)[i], &y = (*b)[i];
        EXPECT_EQ(x.solid, y.solid);
        EXPECT_EQ(x.kind, y.kind);
        EXPECT_EQ(x.owner, y.owner);
        EXPECT_EQ(x.mesh_index, y.mesh_index);
        EXPECT_EQ(x.face_index, y.face_index);
        expect_same_vector(x.point, y.point);
        expect_same_vector(x.face_normal, y.face_normal);
        expect_same_vector(x.contact_normal, y.contact_normal);
        EXPECT_EQ(x.distance, y.distance);
    }
}

struct result_arrays {
    array<collision_record> *a = array_new<collision_record>();
    array<collision_record> *b = array_new<collision_record>();
    ~result_arrays()
    {
        array_free(a);
        array_free(b);
    }
    void clear()
    {
        a->cur_elements = 0;
        b->cur_elements = 0;
    }
};

const int SEEDS = 40;

TEST(CollisionBvh, RaysMatchTheBruteForceLoop)
{
    uint64_t hits = 0, rays = 0;
    for (int seed = 1; seed <= SEEDS; seed++) {
        SCOPED_TRACE(seed);
        std::mt19937 rng{uint32_t(seed)};
        field fd;
        make_field(&fd, &rng, 14, 40.0f);
        if (seed % 4 == 0) fd.fast[1].bound_box.max[0] = NAN; // a body whose box is broken is still tried
        if (seed % 4 == 0) fd.plain[1].bound_box.max[0] = NAN;
        std::unique_ptr<collision_bvh, bvh_deleter> index(
            collision_bvh_create_over_meshes(fd.fast.data(), uint32_t(fd.fast.size())));
        ASSERT_NE(index, nullptr);
        result_arrays plain, fast;
        for (int k = 0; k < 150; k++) {
            const collision_mesh *target = &fd.plain[size_t(rng() % fd.plain.size())];
            tacka3 origin = random_point(&rng, 60.0f);
            tacka3 dir = tacka3_sub(tacka3_add(target->bound_center, random_point(&rng, target->bound_radius)), origin);
            switch (k % 5) {
            case 0: dir = random_unit(&rng); break;                          // anywhere
            case 1: dir = {dir.x, 0.0f, dir.z}; break;                       // flat along one axis
            case 2: dir = {0.0f, 0.0f, dir.z >= 0.0f ? 3.0f : -3.0f}; break; // along an axis
            default: break;
            }
            if (is_zero(dir)) dir = {1, 0, 0};
            float range = k % 7 == 0 ? uni(&rng, 1.0f, 80.0f) : INFINITY;
            plain.clear();
            fast.clear();
            uint32_t n0 = collision_reference::collision_ray(fd.plain.data(), uint32_t(fd.plain.size()), origin, dir,
                                                             range, plain.a);
            uint32_t n1 = collision_ray(fd.fast.data(), uint32_t(fd.fast.size()), origin, dir, range, fast.a);
            ASSERT_EQ(n0, n1);
            expect_same_records(plain.a, fast.a);
            fast.clear();
            uint32_t n3 = collision_ray(fd.plain.data(), uint32_t(fd.plain.size()), origin, dir, range, fast.a);
            ASSERT_EQ(n0, n3);
            expect_same_records(plain.a, fast.a);
            // Through an index over the bodies' boxes, likewise.
            fast.clear();
            uint32_t n2 = collision_ray_indexed(index.get(), fd.fast.data(), uint32_t(fd.fast.size()), origin, dir,
                                                range, fast.a);
            ASSERT_EQ(n0, n2);
            expect_same_records(plain.a, fast.a);
            hits += n0;
            rays++;
        }
    }
    // Most rays are aimed at a body: the comparison must have hits to compare.
    EXPECT_GT(hits, rays / 3);
}

TEST(CollisionBvh, SlidingMovesMatchTheBruteForceLoop)
{
    uint64_t contacts = 0, moves = 0, nonsolid = 0, standing = 0;
    uint64_t checks_plain = 0, checks_fast = 0;
    for (int seed = 1; seed <= SEEDS; seed++) {
        SCOPED_TRACE(seed);
        std::mt19937 rng{uint32_t(1000 + seed)};
        field fd;
        make_field(&fd, &rng, 12, 25.0f);
        result_arrays plain, fast;
        for (int k = 0; k < 80; k++) {
            const collision_mesh *target = &fd.plain[size_t(rng() % fd.plain.size())];
            tacka3 out = random_unit(&rng);
            float radius = uni(&rng, 0.2f, 3.0f);
            tacka3 start =
                tacka3_add(target->bound_center, tacka3_scale(out, target->bound_radius * uni(&rng, 0.5f, 1.3f)));
            tacka3 move = tacka3_add(tacka3_scale(out, -uni(&rng, 0.5f, 1.5f) * target->bound_radius),
                                     tacka3_scale(random_unit(&rng), uni(&rng, 0.0f, 6.0f)));
            if (k % 9 == 0) move = tacka3_scale(move, 1e-4f); // below the smallest move: a standing report
            plain.clear();
            fast.clear();
            int it0 = 0, it1 = 0;
            tacka3 e0 = collision_reference::collision_slide(fd.plain.data(), uint32_t(fd.plain.size()), nullptr, start,
                                                             radius, move, plain.a, plain.b, &it0);
            uint64_t c0 = collision_triangle_checks;
            tacka3 e1 = collision_slide(fd.fast.data(), uint32_t(fd.fast.size()), nullptr, start, radius, move, fast.a,
                                        fast.b, &it1);
            uint64_t c1 = collision_triangle_checks;
            checks_fast += c1 - c0;
            expect_same_vector(e0, e1);
            EXPECT_EQ(it0, it1);
            expect_same_records(plain.a, fast.a);
            expect_same_records(plain.b, fast.b);
            // The core without hierarchies, likewise.
            fast.clear();
            e1 = collision_slide(fd.plain.data(), uint32_t(fd.plain.size()), nullptr, start, radius, move, fast.a,
                                 fast.b, &it1);
            checks_plain += collision_triangle_checks - c1;
            expect_same_vector(e0, e1);
            EXPECT_EQ(it0, it1);
            expect_same_records(plain.a, fast.a);
            expect_same_records(plain.b, fast.b);
            contacts += plain.a->get_size();
            nonsolid += plain.b->get_size();
            // Standing where the move started: the overlap report.
            plain.clear();
            fast.clear();
            collision_reference::collision_check_non_solid(fd.plain.data(), uint32_t(fd.plain.size()), nullptr, start,
                                                           radius * 3.0f, {0, 0, 0}, plain.b);
            collision_check_non_solid(fd.fast.data(), uint32_t(fd.fast.size()), nullptr, start, radius * 3.0f,
                                      {0, 0, 0}, fast.b);
            expect_same_records(plain.b, fast.b);
            standing += plain.b->get_size();
            moves++;
        }
    }
    EXPECT_GT(contacts, moves / 2);
    EXPECT_GT(nonsolid, 20u);
    EXPECT_GT(standing, 20u);
    // The hierarchy is used: far fewer triangles reach the exact test.
    EXPECT_LT(checks_fast * 3, checks_plain);
}

TEST(CollisionBvh, AnIndexOverAnotherArrayIsNotUsed)
{
    std::mt19937 rng(5);
    field fd;
    make_field(&fd, &rng, 8, 20.0f);
    std::unique_ptr<collision_bvh, bvh_deleter> index(
        collision_bvh_create_over_meshes(fd.fast.data(), uint32_t(fd.fast.size())));
    ASSERT_NE(index, nullptr);
    EXPECT_TRUE(collision_bvh_fits_meshes(index.get(), fd.fast.data(), uint32_t(fd.fast.size())));
    EXPECT_FALSE(collision_bvh_fits_meshes(index.get(), fd.plain.data(), uint32_t(fd.plain.size())));
    EXPECT_FALSE(collision_bvh_fits_meshes(index.get(), fd.fast.data(), uint32_t(fd.fast.size() - 1)));
    // An index is no hierarchy over any mesh's triangles.
    EXPECT_FALSE(collision_bvh_fits(index.get(), &fd.fast[0]));
    // Given with the other array (its bodies elsewhere), the ray looks at them all.
    for (collision_mesh &m : fd.plain) {
        m.bound_center.x += 500.0f;
        m.bound_box.min[0] += 500.0f;
        m.bound_box.max[0] += 500.0f;
        for (size_t i = 0; i < fd.bodies.size(); i++)
            if (m.owner == fd.bodies[i].get() && m.world) fd.bodies[i]->world[12] += 500.0f;
    }
    result_arrays a, b;
    uint32_t hits = 0;
    for (const collision_mesh &m : fd.plain) {
        tacka3 origin = {m.bound_center.x, m.bound_center.y, m.bound_center.z - 200.0f};
        a.clear();
        b.clear();
        uint32_t n0 = collision_ray(fd.plain.data(), uint32_t(fd.plain.size()), origin, {0, 0, 1}, INFINITY, a.a);
        uint32_t n1 = collision_ray_indexed(index.get(), fd.plain.data(), uint32_t(fd.plain.size()), origin, {0, 0, 1},
                                            INFINITY, b.a);
        EXPECT_EQ(n0, n1);
        expect_same_records(a.a, b.a);
        hits += n0;
    }
    EXPECT_GT(hits, 0u);
}

TEST(CollisionBvh, AStaleHierarchyIsNotUsed)
{
    std::mt19937 rng(7);
    field fd;
    make_field(&fd, &rng, 6, 20.0f);
    // Each mesh gets its neighbour's hierarchy (other triangles): the queries
    // must ignore it rather than test the wrong triangles.
    for (size_t i = 0; i < fd.fast.size(); i++) fd.fast[i].bvh = fd.bvhs[(i + 1) % fd.bvhs.size()].get();
    result_arrays plain, fast;
    uint32_t hits = 0;
    for (int k = 0; k < 200; k++) {
        const collision_mesh *target = &fd.plain[size_t(k) % fd.plain.size()];
        tacka3 origin = random_point(&rng, 40.0f);
        tacka3 dir = tacka3_sub(target->bound_center, origin);
        plain.clear();
        fast.clear();
        hits += collision_ray(fd.plain.data(), uint32_t(fd.plain.size()), origin, dir, INFINITY, plain.a);
        collision_ray(fd.fast.data(), uint32_t(fd.fast.size()), origin, dir, INFINITY, fast.a);
        expect_same_records(plain.a, fast.a);
    }
    EXPECT_GT(hits, 100u);
}

TEST(CollisionBvh, BoxQueryFindsEveryOverlappingTriangleInOrder)
{
    std::mt19937 rng(11);
    body b;
    make_rock(&b, &rng, 30, 16);
    make_soup(&b, &rng, 0); // appends the coplanar pair, a degenerate and a broken triangle
    b.vertices.push_back({NAN, 0, 0});
    b.tris.insert(b.tris.end(), {0, 1, uint32_t(b.vertices.size() - 1)}); // a corner that is not a number
    collision_mesh m = mesh_of(b);
    collision_bvh *bvh = collision_bvh_create(&m);
    ASSERT_NE(bvh, nullptr);
    EXPECT_TRUE(collision_bvh_fits(bvh, &m));
    EXPECT_EQ(bvh->loose_count, 1u);
    std::vector<uint32_t> out(m.face_count);
    for (int k = 0; k < 300; k++) {
        aabox box;
        build_box_around_sphere(&box, random_point(&rng, 1.2f), uni(&rng, 0.01f, 0.6f));
        uint32_t n = collision_bvh_faces_in_box(bvh, &box, out.data(), uint32_t(out.size()));
        ASSERT_NE(n, UINT32_MAX);
        EXPECT_TRUE(std::is_sorted(out.begin(), out.begin() + n));
        for (uint32_t f = 0; f < m.face_count; f++) {
            uint32_t i0 = b.tris[f * 3], i1 = b.tris[f * 3 + 1], i2 = b.tris[f * 3 + 2];
            if (i0 >= m.vertex_count || i1 >= m.vertex_count || i2 >= m.vertex_count) {
                EXPECT_FALSE(std::binary_search(out.begin(), out.begin() + n, f)) << "broken face " << f;
                continue;
            }
            aabox tb;
            aabox_of_triangle(&tb, b.vertices[i0], b.vertices[i1], b.vertices[i2]);
            bool is_nan_face = !tacka3_is_finite(b.vertices[i2]);
            if (is_nan_face || aabox_overlaps(&tb, &box)) {
                EXPECT_TRUE(std::binary_search(out.begin(), out.begin() + n, f)) << "face " << f;
            }
        }
    }
    // Too small an output: the caller is told to test everything.
    aabox all = {{-5, -5, -5}, {5, 5, 5}};
    EXPECT_EQ(collision_bvh_faces_in_box(bvh, &all, out.data(), 10), UINT32_MAX);
    collision_bvh_free(bvh);
}

// The deepest leaf below node i.
int tree_depth(const collision_bvh *b, uint32_t i)
{
    const collision_bvh_node *n = &b->nodes[i];
    if (n->count > 0) return 0;
    return 1 + std::max(tree_depth(b, n->first), tree_depth(b, n->first + 1));
}

// Triangles crowded ever closer to one end (centroids at 0.8^i, the last few
// hundred all at 0) and a few huge ones: the split by surface area would peel
// off a handful at every level. The tree stays shallow enough for the queries,
// which still give the brute-force loop's answers.
TEST(CollisionBvh, LopsidedTrianglesKeepTheTreeShallow)
{
    body b;
    const int N = 3000;
    for (int i = 0; i < N; i++) {
        float x = std::pow(0.8f, float(i));
        float s = i % 500 == 0 ? 1e6f : 1e-3f;
        uint32_t base = uint32_t(b.vertices.size());
        b.vertices.insert(b.vertices.end(), {{x, -s, -s}, {x, s, -s}, {x, 0, s}});
        b.tris.insert(b.tris.end(), {base, base + 1, base + 2});
    }
    collision_mesh m = mesh_of(b);
    m.bound_radius = 2e6f;
    collision_mesh_box_from_sphere(&m);
    m.flags = COLLISION_MESH_SOLID;
    m.owner = &b;
    collision_mesh plain = m;
    std::unique_ptr<collision_bvh, bvh_deleter> bvh(collision_bvh_create(&m));
    ASSERT_NE(bvh, nullptr);
    ASSERT_GT(bvh->node_count, 0u);
    EXPECT_LT(tree_depth(bvh.get(), 0), 63);
    m.bvh = bvh.get();

    result_arrays ref, fast;
    std::mt19937 rng(5);
    for (int k = 0; k < 200; k++) {
        tacka3 origin = {uni(&rng, -2.0f, 3.0f), uni(&rng, -1e-3f, 1e-3f), uni(&rng, -1e-3f, 1e-3f)};
        tacka3 dir = k % 2 ? tacka3{1, 0, 0} : tacka3{-1, uni(&rng, -1e-4f, 1e-4f), uni(&rng, -1e-4f, 1e-4f)};
        ref.clear();
        fast.clear();
        uint32_t n0 = collision_reference::collision_ray(&plain, 1, origin, dir, INFINITY, ref.a);
        uint32_t n1 = collision_ray(&m, 1, origin, dir, INFINITY, fast.a);
        ASSERT_EQ(n0, n1);
        expect_same_records(ref.a, fast.a);
    }
    std::vector<uint32_t> out(m.face_count);
    aabox all = {{-1, -2e6f, -2e6f}, {2, 2e6f, 2e6f}};
    EXPECT_EQ(collision_bvh_faces_in_box(bvh.get(), &all, out.data(), uint32_t(out.size())), m.face_count);
}

} // namespace
