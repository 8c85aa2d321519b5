// The terrain: payload round trips and refusals, and the per-frame choice of
// patches (levels by distance, no cracks between levels, no popping).

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "corelib/view.h"
#include "scene/quox2_writer.h"
#include "scene/terrain.h"
#include "scene_test_util.h"

namespace {

const uint32_t CELLS = 128, PATCH = 8; // five levels
const float CELL = 4.0f;

std::vector<float> rolling_heights(uint32_t cells)
{
    std::vector<float> h((cells + 1) * (cells + 1));
    for (uint32_t j = 0; j <= cells; j++)
        for (uint32_t i = 0; i <= cells; i++)
            h[j * (cells + 1) + i] =
                12.0f * std::sin(i * 0.11f) * std::cos(j * 0.07f) + 3.0f * std::sin(i * 0.9f + j * 0.4f);
    return h;
}

terrain *built_terrain(uint32_t cells = CELLS)
{
    std::vector<float> h = rolling_heights(cells);
    terrain *t = terrain_make(h.data(), cells, PATCH, CELL, {0, 0, 0}, nullptr);
    if (t && !terrain_initialize_system(t, nullptr)) ADD_FAILURE() << t->error;
    return t;
}

view *make_view(tacka3 eye, tacka3 target, float far = 2000.0f)
{
    view *v = view_create();
    view_set_position(v, eye);
    view_set_target(v, target);
    view_set_up(v, {0, 1, 0});
    view_set_near_far(v, 1.0f, far);
    view_set_fov(v, 1.0f);
    view_set_viewport(v, 800, 600);
    view_compute_view_matrix(v);
    view_compute_projection(v);
    return v;
}

// Grid coordinates of a drawn vertex.
std::pair<uint32_t, uint32_t> grid_of(const terrain *t, uint32_t vi)
{
    tacka4 p = t->dpos[vi];
    return {uint32_t(std::lround((p.x - t->origin.x) / t->cell_size)),
            uint32_t(std::lround((p.z - t->origin.z) / t->cell_size))};
}

} // namespace

class TerrainFile : public TempDirTest {};

TEST_F(TerrainFile, PayloadsSurviveTheSceneFile)
{
    terrain *t = built_terrain();
    ASSERT_NE(t, nullptr);
    scene *sc = scene_init();
    scene_set_terrain(sc, t);
    std::string file = path("t.quox2");
    ASSERT_TRUE(quox2_save_scene(file.c_str(), sc));
    scene *back = scene_init();
    ASSERT_TRUE(quox2_load_file(file.c_str(), back));
    terrain *r = scene_get_terrain(back);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->flags & TERRAIN_BUILT);
    EXPECT_EQ(memcmp(r->desc, t->desc, 48), 0);
    ASSERT_EQ(r->vertexsno, t->vertexsno);
    EXPECT_EQ(memcmp(r->vertexs, t->vertexs, 12 * t->vertexsno), 0);
    ASSERT_EQ(r->nodes_size, t->nodes_size);
    EXPECT_EQ(memcmp(r->nodes, t->nodes, t->nodes_size), 0);
    ASSERT_EQ(r->leaves_size, t->leaves_size);
    EXPECT_EQ(memcmp(r->leaves, t->leaves, t->leaves_size), 0);
    EXPECT_EQ(r->nodesno, 1u + 4 + 16 + 64 + 256);
    EXPECT_FLOAT_EQ(terrain_height_at(r, 40.0f, 80.0f), rolling_heights(CELLS)[20 * (CELLS + 1) + 10]);
    scene_deinit(back);
    scene_deinit(sc);
}

TEST(Terrain, MalformedPayloadsAreRefusedWithTheirReason)
{
    terrain *t = terrain_create();
    uint8_t b[64] = {};
    EXPECT_FALSE(terrain_add_chunk(t, "#DESC", b, 47));
    EXPECT_STREQ(t->error, "description is not 48 bytes");
    uint32_t n = 3;
    memcpy(b, &n, 4);
    EXPECT_FALSE(terrain_add_chunk(t, "#VBUF", b, 4 + 24));
    EXPECT_STREQ(t->error, "vertex payload size does not match its count");
    EXPECT_FALSE(terrain_add_chunk(t, "#IBUF", b, 4 + 8));
    n = 1;
    memcpy(b, &n, 4);
    b[4 + 16 + 1 + 8] = 1;        // leaf flag: no children
    b[4 + 16 + 1 + 8 + 1] = 0x80; // negative neighbour count
    EXPECT_FALSE(terrain_add_chunk(t, "#NBUF", b, 4 + 16 + 1 + 8 + 2 + 24));
    EXPECT_STREQ(t->error, "node with a negative neighbour count");
    float nan = NAN;
    b[4 + 16 + 1 + 8 + 1] = 0;
    memcpy(b + 4 + 16 + 1 + 8 + 2, &nan, 4);
    EXPECT_FALSE(terrain_add_chunk(t, "#NBUF", b, 4 + 16 + 1 + 8 + 2 + 24));
    EXPECT_STREQ(t->error, "node corner is not a finite number");
    terrain_free(t);

    // Structurally sound payloads that do not agree fail the build with a reason.
    auto build_fails = [](auto spoil, const char *why) {
        std::vector<float> h = rolling_heights(32);
        terrain *t = terrain_make(h.data(), 32, PATCH, CELL, {0, 0, 0}, nullptr);
        ASSERT_NE(t, nullptr);
        spoil(t);
        EXPECT_FALSE(terrain_initialize_system(t, nullptr)) << why;
        EXPECT_STREQ(t->error, why);
        EXPECT_FALSE(t->flags & TERRAIN_BUILT);
        terrain_select(t, nullptr); // an unbuilt terrain selects nothing
        EXPECT_EQ(t->sel.indicesno, 0u);
        terrain_free(t);
    };
    build_fails([](terrain *t) { t->desc[TERRAIN_DESC_MAGIC] = 0; }, "description has no terrain magic");
    build_fails([](terrain *t) { t->desc[TERRAIN_DESC_LEVELS] = 40; }, "level count out of range");
    build_fails([](terrain *t) { t->indices[7] = 10000; }, "index template points past its patch");
    build_fails([](terrain *t) { std::swap(t->indices[0], t->indices[1]); },
                "index template has a degenerate or downward triangle");
    build_fails([](terrain *t) { t->vertexs[5].x += 50.0f; }, "vertex off its grid position");
    build_fails([](terrain *t) { t->vertexs[5].y = INFINITY; }, "vertex is not a finite number");
    // The first child of the root moved onto the second.
    build_fails(
        [](terrain *t) {
            uint32_t x = 16;
            memcpy(t->nodes + 67, &x, 4);
        },
        "two nodes cover the same place");
    build_fails([](terrain *t) { t->flags &= ~TERRAIN_NBUF; }, "a terrain payload is missing");
}

TEST_F(TerrainFile, RefusedPayloadNamesTheFileAndBuildFailureLeavesNoTerrain)
{
    terrain *t = built_terrain(32);
    scene *sc = scene_init();
    t->desc[TERRAIN_DESC_MAGIC] = 7; // builds no more, but is well formed
    scene_set_terrain(sc, t);
    std::string file = path("bad.quox2");
    ASSERT_TRUE(quox2_save_scene(file.c_str(), sc));
    scene *back = scene_init();
    bool ok = false;
    std::string log = test_capture_stderr([&] { ok = quox2_load_file(file.c_str(), back); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(scene_get_terrain(back), nullptr);
    EXPECT_NE(log.find("bad.quox2\" not built: description has no terrain magic"), std::string::npos) << log;

    // A short vertex payload: the load fails and says which file and payload.
    std::string bytes = test_read_file(file);
    size_t at = bytes.find("#VBUF");
    ASSERT_NE(at, std::string::npos);
    uint32_t count = 5;
    memcpy(&bytes[at + 12], &count, 4);
    test_write_file(file, bytes);
    scene_deinit(back);
    back = scene_init();
    log = test_capture_stderr([&] { ok = quox2_load_file(file.c_str(), back); });
    EXPECT_FALSE(ok);
    EXPECT_NE(log.find("\"#VBUF\" in \""), std::string::npos) << log;
    EXPECT_NE(log.find("bad.quox2\" refused: vertex payload size does not match its count"), std::string::npos) << log;
    scene_deinit(back);
    scene_deinit(sc);
}

TEST(Terrain, StitchVariantsCoverThePatchAndDropOnlyOddEdgeVertices)
{
    terrain *t = built_terrain(32);
    uint32_t p = t->patch;
    for (uint32_t mask = 0; mask < 16; mask++) {
        int64_t area = 0;
        std::set<uint32_t> used;
        for (uint32_t i = 0; i < t->stitch_count[mask]; i += 3) {
            uint32_t a = t->stitch[mask][i], b = t->stitch[mask][i + 1], c = t->stitch[mask][i + 2];
            int64_t ax = a % (p + 1), az = a / (p + 1), bx = b % (p + 1), bz = b / (p + 1), cx = c % (p + 1),
                    cz = c / (p + 1);
            int64_t cross = (bz - az) * (cx - ax) - (bx - ax) * (cz - az);
            EXPECT_GT(cross, 0) << "mask " << mask << " triangle " << i / 3;
            area += cross;
            used.insert(a), used.insert(b), used.insert(c);
        }
        EXPECT_EQ(area, int64_t(2) * p * p) << "mask " << mask;
        for (uint32_t k = 1; k < p; k += 2) {
            EXPECT_EQ(used.count(k) == 0, bool(mask & TERRAIN_SIDE_NZ)) << mask;
            EXPECT_EQ(used.count(p * (p + 1) + k) == 0, bool(mask & TERRAIN_SIDE_PZ)) << mask;
            EXPECT_EQ(used.count(k * (p + 1) + p) == 0, bool(mask & TERRAIN_SIDE_PX)) << mask;
            EXPECT_EQ(used.count(k * (p + 1)) == 0, bool(mask & TERRAIN_SIDE_NX)) << mask;
        }
    }
    terrain_free(t);
}

TEST(Terrain, LevelsGrowWithDistanceAndTheFrustumCulls)
{
    terrain *t = built_terrain();
    // Low over the south-west corner, looking north-east along the diagonal.
    view *v = make_view({4, 40, 4}, {100, 0, 100});
    terrain_select(t, v);
    ASSERT_GT(t->sel.picksno, 0u);
    std::map<uint32_t, uint32_t> per_level;
    for (uint32_t k = 0; k < t->sel.picksno; k++) {
        const terrain_node *n = &t->node[t->sel.picks[k].node];
        per_level[n->lod]++;
        // The level is the one its distance asks for: nearer than the range
        // of its own level's parent split, farther than the level below.
        auto dist = [](const aabox &b) {
            float cx = std::fmax(std::fmax(b.min[0] - 4, 0.0f), 4 - b.max[0]);
            float cy = std::fmax(std::fmax(b.min[1] - 40, 0.0f), 40 - b.max[1]);
            float cz = std::fmax(std::fmax(b.min[2] - 4, 0.0f), 4 - b.max[2]);
            return std::sqrt(cx * cx + cy * cy + cz * cz);
        };
        if (n->lod > 0) {
            EXPECT_GT(dist(n->box), t->range[n->lod - 1]);
        }
        if (n->parent != TERRAIN_NO_NODE) {
            EXPECT_LE(dist(t->node[n->parent].box), t->range[n->lod]);
        }
    }
    // The patches nearer than the finest range lead the index list.
    uint32_t near_indices = 0;
    for (uint32_t k = 0; k < t->sel.picksno; k++) {
        const terrain_node *n = &t->node[t->sel.picks[k].node];
        float cx = std::fmax(std::fmax(n->box.min[0] - 4, 0.0f), 4 - n->box.max[0]);
        float cy = std::fmax(std::fmax(n->box.min[1] - 40, 0.0f), 40 - n->box.max[1]);
        float cz = std::fmax(std::fmax(n->box.min[2] - 4, 0.0f), 4 - n->box.max[2]);
        if (std::sqrt(cx * cx + cy * cy + cz * cz) < t->range[0])
            near_indices += t->stitch_count[t->sel.picks[k].stitch];
    }
    EXPECT_EQ(t->sel.near_indicesno, near_indices);
    EXPECT_GT(near_indices, 0u);
    EXPECT_LT(near_indices, t->sel.indicesno);
    // The patch just ahead of the camera is finest; farther ones are coarser.
    const terrain_node *first = nullptr;
    for (uint32_t k = 0; k < t->sel.picksno; k++) {
        const terrain_node *n = &t->node[t->sel.picks[k].node];
        if (n->x0 <= 12 && 12 < n->x0 + n->size && n->z0 <= 12 && 12 < n->z0 + n->size) first = n;
    }
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->lod, 0u);
    EXPECT_GE(per_level.size(), 2u);
    // Looking away from the terrain: everything is culled.
    view *away = make_view({4, 40, 4}, {-400, 40, -400});
    terrain_select(t, away);
    EXPECT_EQ(t->sel.picksno, 0u);
    EXPECT_GT(t->sel.culled, 0u);
    // Same place, looking at it: fewer patches than with culling off would give.
    view *down = make_view({256, 30, 256}, {256, 0, 300});
    terrain_select(t, down);
    EXPECT_GT(t->sel.culled, 0u);
    view_free(v), view_free(away), view_free(down);
    terrain_free(t);
}

TEST(Terrain, NoCrackBetweenPatchesOfDifferentLevels)
{
    terrain *t = built_terrain();
    for (tacka3 eye : {tacka3{4, 40, 4}, tacka3{256, 20, 256}, tacka3{300, 120, 100}, tacka3{130, 8, 390}}) {
        view *v = make_view(eye, {eye.x + 60, 0, eye.z + 100}, 3000.0f);
        terrain_select(t, v);
        // Every directed boundary edge (an edge used by one triangle only) of
        // the drawn surface, in grid coordinates; an inner boundary edge with
        // no partner in the opposite direction is a crack.
        std::map<std::pair<std::pair<uint32_t, uint32_t>, std::pair<uint32_t, uint32_t>>, int> edges;
        const uint32_t *ix = t->sel.indices;
        for (uint32_t i = 0; i < t->sel.indicesno; i += 3)
            for (int e = 0; e < 3; e++) {
                auto a = grid_of(t, ix[i + e]), b = grid_of(t, ix[i + (e + 1) % 3]);
                auto back = edges.find({b, a});
                if (back != edges.end()) {
                    edges.erase(back); // shared by two triangles
                } else {
                    edges[{a, b}]++;
                }
            }
        uint32_t culled_touching = 0;
        for (auto &[e, count] : edges) {
            auto [a, b] = e;
            bool outer_x = (a.first == 0 && b.first == 0) || (a.first == CELLS && b.first == CELLS);
            bool outer_z = (a.second == 0 && b.second == 0) || (a.second == CELLS && b.second == CELLS);
            if (outer_x || outer_z) continue;
            // An edge next to a culled place is the end of the drawn surface.
            uint32_t mx = (a.first + b.first) / 2, mz = (a.second + b.second) / 2;
            bool by_culled = false;
            for (uint32_t l = 0; l < t->levels && !by_culled; l++) {
                uint32_t size = t->patch << l;
                for (int dx = -1; dx <= 1; dx++)
                    for (int dz = -1; dz <= 1; dz++) {
                        int64_t col = (int64_t(mx) + dx) / size, row = (int64_t(mz) + dz) / size;
                        if (col < 0 || row < 0 || col >= t->lod_side[l] || row >= t->lod_side[l]) continue;
                        if (t->lod_state[t->lod_first[l] + row * t->lod_side[l] + col] == 3) by_culled = true;
                    }
            }
            if (by_culled) {
                culled_touching++;
                continue;
            }
            ADD_FAILURE() << "crack at (" << a.first << "," << a.second << ")-(" << b.first << "," << b.second << ")";
        }
        // Shared grid points morph to one height in every patch that draws them.
        std::map<std::pair<uint32_t, uint32_t>, float> height;
        for (uint32_t i = 0; i < t->sel.indicesno; i++) {
            auto g = grid_of(t, ix[i]);
            float y = terrain_morphed_position(t, ix[i], eye).y;
            auto [it, fresh] = height.emplace(g, y);
            if (!fresh) {
                EXPECT_NEAR(it->second, y, 1e-4f) << g.first << "," << g.second;
            }
        }
        view_free(v);
    }
    terrain_free(t);
}

TEST(Terrain, SurfaceMovesContinuouslyWithTheCamera)
{
    terrain *t = built_terrain();
    // Probe points along the flight, heights of the drawn surface under them.
    std::vector<std::pair<float, float>> probes;
    for (int i = 0; i < 40; i++) probes.push_back({20.0f + i * 12.0f, 30.0f + i * 11.0f});
    auto surface = [&](tacka3 eye, std::vector<float> &out) {
        out.assign(probes.size(), NAN);
        const uint32_t *ix = t->sel.indices;
        for (uint32_t i = 0; i < t->sel.indicesno; i += 3) {
            tacka3 a = terrain_morphed_position(t, ix[i], eye), b = terrain_morphed_position(t, ix[i + 1], eye),
                   c = terrain_morphed_position(t, ix[i + 2], eye);
            for (size_t k = 0; k < probes.size(); k++) {
                float px = probes[k].first, pz = probes[k].second;
                float d = (b.z - c.z) * (a.x - c.x) + (c.x - b.x) * (a.z - c.z);
                float w0 = ((b.z - c.z) * (px - c.x) + (c.x - b.x) * (pz - c.z)) / d;
                float w1 = ((c.z - a.z) * (px - c.x) + (a.x - c.x) * (pz - c.z)) / d;
                float w2 = 1 - w0 - w1;
                if (w0 >= -1e-5f && w1 >= -1e-5f && w2 >= -1e-5f) out[k] = w0 * a.y + w1 * b.y + w2 * c.y;
            }
        }
    };
    std::vector<float> before, now;
    uint32_t level_changes = 0;
    std::vector<uint32_t> last_picks;
    for (int step = 0; step <= 400; step++) {
        tacka3 eye = {10.0f + step * 1.2f, 35.0f, 10.0f + step * 1.1f};
        view *v = make_view(eye, {eye.x + 100, 0, eye.z + 90}, 3000.0f);
        terrain_select(t, v);
        std::vector<uint32_t> picks;
        for (uint32_t k = 0; k < t->sel.picksno; k++) picks.push_back(t->sel.picks[k].node);
        if (step > 0 && picks != last_picks) level_changes++;
        last_picks = picks;
        surface(eye, now);
        for (size_t k = 0; step > 0 && k < probes.size(); k++) {
            if (!std::isnan(before[k]) && !std::isnan(now[k])) {
                EXPECT_LT(std::fabs(now[k] - before[k]), 0.35f) << "probe " << k << " at step " << step;
            }
        }
        before = now;
        view_free(v);
    }
    EXPECT_GT(level_changes, 5u); // the flight did cross level changes
    terrain_free(t);
}

TEST(Terrain, TrianglesStayBoundedOnALargerTerrain)
{
    terrain *small = built_terrain(256), *large = built_terrain(512);
    view *v = make_view({128, 40, 128}, {600, 0, 700}, 1200.0f);
    terrain_select(small, v);
    terrain_select(large, v);
    uint32_t a = small->sel.indicesno / 3, b = large->sel.indicesno / 3;
    EXPECT_GT(a, 0u);
    EXPECT_LE(double(b), 1.2 * a) << a << " vs " << b;
    view_free(v);
    terrain_free(small);
    terrain_free(large);
}
