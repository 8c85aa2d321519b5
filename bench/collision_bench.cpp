// Collision core timings: ray queries and sliding moves through a field of 200
// asteroids of 500 triangles each. Each iteration is one query, timed alone;
// besides the mean, the 10th, 50th and 90th percentile of the queries are
// reported in microseconds, with hits per ray and contacts, iterations and
// triangle checks per move. The "EveryTriangle" runs leave the triangle
// hierarchy out, for comparison; "Indexed" rays also go through an index over
// the asteroids' boxes, made once (the field stands still).
//
//   collision_bench [Google Benchmark options, e.g. --benchmark_format=json]

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "corelib/drand.h"
#include "corelib/hw_timer.h"
#include "corelib/matrix.h"
#include "scene/collision_bvh.h"
#include "scene/collision_core.h"

namespace {

const int FIELD_ASTEROIDS = 200;
const int SLICES = 25, STACKS = 11; // 2 * 25 * 10 = 500 triangles
const float FIELD_SIZE = 1500.0f;

struct rock_shape {
    std::vector<tacka3> vertices;
    std::vector<uint32_t> tris;
    std::vector<tacka3> normals;
};

// A lumpy unit rock shared by every asteroid (each has its own placement).
void make_rock(rock_shape *r)
{
    r->vertices.push_back({0, 0, 1});
    for (int j = 1; j < STACKS; j++)
        for (int i = 0; i < SLICES; i++) {
            float theta = float(M_PI) * float(j) / STACKS, phi = 2.0f * float(M_PI) * float(i) / SLICES;
            float len = float(drand_range(0.85, 1.15));
            r->vertices.push_back(
                {len * std::sin(theta) * std::cos(phi), len * std::sin(theta) * std::sin(phi), len * std::cos(theta)});
        }
    r->vertices.push_back({0, 0, -1});
    const uint32_t bottom = uint32_t(r->vertices.size() - 1);
    auto ring = [](int j, int i) { return uint32_t(1 + (j - 1) * SLICES + (i % SLICES)); };
    auto add = [&](uint32_t a, uint32_t b, uint32_t c) {
        r->tris.insert(r->tris.end(), {a, b, c});
        tacka3 n = tacka3_cross(tacka3_sub(r->vertices[b], r->vertices[a]), tacka3_sub(r->vertices[c], r->vertices[a]));
        tacka3 mid = tacka3_add(r->vertices[a], tacka3_add(r->vertices[b], r->vertices[c]));
        if (tacka3_dot(n, mid) < 0.0f) n = tacka3_neg(n);
        r->normals.push_back(n);
    };
    for (int i = 0; i < SLICES; i++) {
        add(0, ring(1, i), ring(1, i + 1));
        for (int j = 1; j < STACKS - 1; j++) {
            add(ring(j, i), ring(j + 1, i), ring(j + 1, i + 1));
            add(ring(j, i), ring(j + 1, i + 1), ring(j, i + 1));
        }
        add(bottom, ring(STACKS - 1, i + 1), ring(STACKS - 1, i));
    }
}

tacka3 random_point(float extent)
{
    return {float(drand_range(-extent, extent)), float(drand_range(-extent, extent)),
            float(drand_range(-extent, extent))};
}

tacka3 random_unit()
{
    for (;;) {
        tacka3 v = random_point(1.0f);
        if (tacka3_length2(v) > 0.01f && tacka3_length2(v) <= 1.0f) return tacka3_normalize(v);
    }
}

double quantile_us(std::vector<double> *v, double q)
{
    if (v->empty()) return 0.0;
    std::sort(v->begin(), v->end());
    return (*v)[size_t(double(v->size() - 1) * q)] * 1e6;
}

void set_quantiles(benchmark::State &state, std::vector<double> *times)
{
    state.counters["p10_us"] = quantile_us(times, 0.1);
    state.counters["median_us"] = quantile_us(times, 0.5);
    state.counters["p90_us"] = quantile_us(times, 0.9);
}

// The field, made once for every benchmark.
struct field_data {
    rock_shape rock;
    std::vector<float> worlds;
    std::vector<float> inverses;              // kept beside the placements, as the scene keeps them
    std::vector<collision_mesh> meshes;       // with the rock's triangle hierarchy
    std::vector<collision_mesh> plain_meshes; // the same without: every triangle tested
    collision_bvh *bvh;
    collision_bvh *index; // over the asteroids' boxes (the field does not move)
    array<collision_record> *results;
};
field_data field;

bool field_make()
{
    if (!drand_init()) return false;
    drand_seed(2026);
    make_rock(&field.rock);
    field.worlds.resize(size_t(FIELD_ASTEROIDS) * 16);
    field.inverses.resize(size_t(FIELD_ASTEROIDS) * 16);
    field.meshes.resize(FIELD_ASTEROIDS);
    for (int k = 0; k < FIELD_ASTEROIDS; k++) {
        float *w = &field.worlds[size_t(k) * 16];
        float size = float(drand_range(10.0, 40.0));
        tacka3 axis = random_unit();
        quaternion q = quaternion_from_axis_angle(axis, float(drand_range(0.0, 6.28)));
        matrix_from_pose(w, random_point(FIELD_SIZE * 0.5f), q, {size, size, size});
        collision_mesh *m = &field.meshes[size_t(k)];
        collision_mesh_init(m);
        m->vertices = field.rock.vertices.data();
        m->vertex_count = uint32_t(field.rock.vertices.size());
        m->tris_32 = field.rock.tris.data();
        m->face_count = uint32_t(field.rock.tris.size() / 3);
        m->face_normals = field.rock.normals.data();
        m->face_normal_count = uint32_t(field.rock.normals.size());
        m->world = w;
        if (!matrix_inverse(&field.inverses[size_t(k) * 16], w)) return false;
        m->world_inverse = &field.inverses[size_t(k) * 16];
        m->bound_center = {w[12], w[13], w[14]};
        m->bound_radius = size * 1.15f;
        collision_mesh_box_from_sphere(m);
        m->flags = COLLISION_MESH_SOLID;
        m->owner = m;
    }
    field.plain_meshes = field.meshes;
    field.bvh = collision_bvh_create(&field.meshes[0]);
    if (!field.bvh) return false;
    for (collision_mesh &m : field.meshes) m.bvh = field.bvh;
    field.index = collision_bvh_create_over_meshes(field.meshes.data(), FIELD_ASTEROIDS);
    if (!field.index) return false;
    field.results = array_new<collision_record>();
    return field.results != nullptr;
}

// Rays from random points towards random asteroids (most hit, some pass several).
void collision_ray_bench(benchmark::State &state, const std::vector<collision_mesh> &meshes, const collision_bvh *index)
{
    std::vector<double> times;
    uint64_t hits = 0, boxes = 0;
    std::vector<std::array<tacka3, 2>> rays;
    for (auto _ : state) {
        tacka3 origin = random_point(FIELD_SIZE * 0.6f);
        const collision_mesh *target = &field.meshes[size_t(drand_range(0, FIELD_ASTEROIDS - 1))];
        tacka3 dir = tacka3_sub(tacka3_add(target->bound_center, random_point(target->bound_radius)), origin);
        if (is_zero(dir)) dir = tacka3{1, 0, 0};
        field.results->cur_elements = 0;
        int64_t t0 = hw_timer_ticks();
        hits += index
                    ? collision_ray_indexed(index, meshes.data(), FIELD_ASTEROIDS, origin, dir, INFINITY, field.results)
                    : collision_ray(meshes.data(), FIELD_ASTEROIDS, origin, dir, INFINITY, field.results);
        int64_t t1 = hw_timer_ticks();
        double t = double(t1 - t0) * 1e-9;
        state.SetIterationTime(t);
        times.push_back(t);
        if (rays.size() < 10000) rays.push_back({origin, dir});
    }
    set_quantiles(state, &times);
    // After the timing: how many asteroid boxes the rays meet (each is searched).
    for (const auto &ray : rays)
        for (const collision_mesh &m : field.meshes) boxes += is_intersecting(&m.bound_box, ray[0], ray[1]) ? 1 : 0;
    state.counters["hits_per_ray"] = benchmark::Counter(double(hits), benchmark::Counter::kAvgIterations);
    state.counters["boxes_per_ray"] = rays.empty() ? 0.0 : double(boxes) / double(rays.size());
}
void BM_CollisionRay(benchmark::State &state) { collision_ray_bench(state, field.meshes, nullptr); }
void BM_CollisionRayIndexed(benchmark::State &state) { collision_ray_bench(state, field.meshes, field.index); }
void BM_CollisionRayEveryTriangle(benchmark::State &state) { collision_ray_bench(state, field.plain_meshes, nullptr); }
BENCHMARK(BM_CollisionRay)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CollisionRayIndexed)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CollisionRayEveryTriangle)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Sliding moves of a ship-sized sphere aimed at the surface of a random asteroid.
void collision_slide_bench(benchmark::State &state, const std::vector<collision_mesh> &meshes)
{
    std::vector<double> times;
    uint64_t contacts = 0, iterations_total = 0;
    uint64_t checks_before = collision_triangle_checks;
    for (auto _ : state) {
        const collision_mesh *target = &field.meshes[size_t(drand_range(0, FIELD_ASTEROIDS - 1))];
        tacka3 out = random_unit();
        tacka3 start = tacka3_add(target->bound_center, tacka3_scale(out, target->bound_radius + 6.0f));
        tacka3 move = tacka3_add(tacka3_scale(out, -12.0f), tacka3_scale(random_unit(), 4.0f));
        field.results->cur_elements = 0;
        int iterations = 0;
        int64_t t0 = hw_timer_ticks();
        collision_slide(meshes.data(), FIELD_ASTEROIDS, nullptr, start, 3.0f, move, field.results, nullptr,
                        &iterations);
        int64_t t1 = hw_timer_ticks();
        double t = double(t1 - t0) * 1e-9;
        state.SetIterationTime(t);
        times.push_back(t);
        contacts += field.results->get_size();
        iterations_total += uint64_t(iterations);
    }
    set_quantiles(state, &times);
    using benchmark::Counter;
    state.counters["contacts"] = Counter(double(contacts), Counter::kAvgIterations);
    state.counters["iterations"] = Counter(double(iterations_total), Counter::kAvgIterations);
    state.counters["triangle_checks"] =
        Counter(double(collision_triangle_checks - checks_before), Counter::kAvgIterations);
}
void BM_CollisionSlide(benchmark::State &state) { collision_slide_bench(state, field.meshes); }
void BM_CollisionSlideEveryTriangle(benchmark::State &state) { collision_slide_bench(state, field.plain_meshes); }
BENCHMARK(BM_CollisionSlide)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CollisionSlideEveryTriangle)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    if (!field_make()) return 1;
    benchmark::AddCustomContext("field", std::to_string(FIELD_ASTEROIDS) + " asteroids of " +
                                             std::to_string(field.meshes[0].face_count) + " triangles");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    array_free(field.results);
    collision_bvh_free(field.bvh);
    collision_bvh_free(field.index);
    drand_deinit();
    return 0;
}
