// Renderer benchmark: a generated scene of textured, bump-mapped, detailed,
// unlit and solid spheres with local lights, drawn through the render profiles
// and queues at 800 x 600, against a minimal program that draws the same
// vertex buffers with one state.
//
// Prints frames per second (from the median frame time), the main thread's CPU time per frame inside the
// renderer (activation of the visible sets, state and pass set-up, GL calls;
// llvmpipe rasterises on its own threads), batches and state applications per
// frame, and the frame-time ratio to the minimal program.
//
// Usage: renderer_bench [instances] [frames]   (run under xvfb-run for CI)

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench_util.h"
#include "corelib/log.h"
#include "corelib/matrix.h"
#include "corelib/view.h"
#include "renderer/OGL_frame_stats.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_mesh_instance.h"
#include "renderer/OGL_render_profiles.h"
#include "renderer/OGL_render_queue.h"
#include "renderer/OGL_texture.h"
#include "renderer/OGL_window.h"
#include "renderer/engine.h"

// A UV sphere with normals, tangents, binormals and one UV channel.
struct sphere_geometry {
    std::vector<tacka3> pos, nrm, tan, bin;
    std::vector<tacka2> uv;
    std::vector<uint32_t> faces;
    const tacka2 *chns[1];
};

static void make_sphere(sphere_geometry *g, int rings, int segments, float radius)
{
    for (int r = 0; r <= rings; r++) {
        float th = float(M_PI) * float(r) / float(rings);
        for (int s = 0; s <= segments; s++) {
            float ph = 2.0f * float(M_PI) * float(s) / float(segments);
            tacka3 n = {std::sin(th) * std::cos(ph), std::sin(th) * std::sin(ph), std::cos(th)};
            g->pos.push_back(tacka3_scale(n, radius));
            g->nrm.push_back(n);
            tacka3 t = {-std::sin(ph), std::cos(ph), 0};
            g->tan.push_back(t);
            g->bin.push_back(tacka3_cross(n, t));
            g->uv.push_back({float(s) / float(segments) * 4.0f, float(r) / float(rings) * 2.0f});
        }
    }
    for (int r = 0; r < rings; r++)
        for (int s = 0; s < segments; s++) {
            uint32_t a = uint32_t(r * (segments + 1) + s), b = a + uint32_t(segments + 1);
            g->faces.insert(g->faces.end(), {a, b, a + 1, a + 1, b, b + 1});
        }
    g->chns[0] = g->uv.data();
}

static OGL_mesh *make_mesh(sphere_geometry *g)
{
    OGL_mesh_input_data id{};
    id.flags = OGL_MESH_INPUT_DATA_TACKA3_VERTEXS | OGL_MESH_INPUT_DATA_TACKA3_VERTEX_NORMALS |
               OGL_MESH_INPUT_DATA_TRIANGLE_LIST_32 | OGL_MESH_INPUT_DATA_TEXTURE_CHANNELS |
               OGL_MESH_INPUT_DATA_TANGENTS | OGL_MESH_INPUT_DATA_BINORMALS;
    id.vertexsno = id.vnormalsno = id.tangentsno = id.binormalsno = uint32_t(g->pos.size());
    id.vertexs = g->pos.data();
    id.vnormals = g->nrm.data();
    id.tangents = g->tan.data();
    id.binormals = g->bin.data();
    id.facesno = uint32_t(g->faces.size() / 3);
    id.faces32 = g->faces.data();
    id.tvertexs_chnsno = 1;
    id.tvertexs_chns = g->chns;
    OGL_mesh *m = OGL_mesh_create(&id);
    OGL_mesh_set_ws_scale(m, {1, 1, 1});
    return m;
}

static OGL_texture *make_texture(int kind, uint32_t bpp)
{
    const uint32_t size = 64;
    std::vector<uint8_t> px;
    for (uint32_t y = 0; y < size; y++)
        for (uint32_t x = 0; x < size; x++) {
            uint8_t c[4];
            if (kind == 0) { // checker
                bool on = ((x / 8) ^ (y / 8)) & 1;
                c[0] = on ? 220 : 90, c[1] = on ? 180 : 70, c[2] = on ? 120 : 60, c[3] = on ? 255 : 128;
            } else if (kind == 1) { // bumps
                float nx = 0.4f * std::sin(float(x) * 0.4f), ny = 0.4f * std::cos(float(y) * 0.4f);
                float nz = std::sqrt(1.0f - nx * nx - ny * ny);
                c[0] = uint8_t(nx * 127 + 128), c[1] = uint8_t(ny * 127 + 128), c[2] = uint8_t(nz * 127 + 128);
                c[3] = 255;
            } else { // detail noise
                c[0] = c[1] = c[2] = uint8_t(118 + (x * 7 + y * 13) % 20), c[3] = 255;
            }
            for (uint32_t i = 0; i < bpp / 8; i++) px.push_back(c[i]);
        }
    OGL_texture_input_data id{};
    id.flags = OGL_TEXTURE_INPUT_REPEAT_S | OGL_TEXTURE_INPUT_REPEAT_T | OGL_TEXTURE_INPUT_MIPMAPS |
               (kind == 1 ? OGL_TEXTURE_INPUT_NORMAL_MAP : 0u);
    if (kind == 1) id.flags &= ~OGL_TEXTURE_INPUT_MIPMAPS;
    id.filename = "bench texture";
    id.xsize = id.ysize = size;
    id.bpp = bpp;
    id.pixels = px.data();
    return OGL_texture_create(&id);
}

struct bench_instance {
    float world[16];
    OGL_mesh_instance *mi;
};

int main(int argc, char **argv)
{
    int instances = argc > 1 ? std::atoi(argv[1]) : 150;
    int frames = argc > 2 ? std::atoi(argv[2]) : 40;
    if (instances < 1 || frames < 1) {
        std::fprintf(stderr, "usage: renderer_bench [instances] [frames]\n");
        return 2;
    }
    log_file_set("renderer_bench-log.txt");
    const engine_window window = {"renderer bench", 800, 600, false};
    if (!engine_startup(ENGINE_FOUNDATION | ENGINE_RENDERER, &window)) {
        std::fprintf(stderr, "renderer_bench: no GL context (run under xvfb-run)\n");
        return 1;
    }
    // Frames as fast as they come: no waiting for a vertical retrace.
    OGL_window_set_swap_interval(0);

    // Four sphere shapes, five materials.
    sphere_geometry geo[4];
    OGL_mesh *meshes[4];
    for (int i = 0; i < 4; i++) {
        make_sphere(&geo[i], 8 + 2 * i, 16 + 4 * i, 1.0f);
        meshes[i] = make_mesh(&geo[i]);
    }
    OGL_texture *diffuse = make_texture(0, 32), *normal24 = make_texture(1, 24), *normal32 = make_texture(1, 32);
    OGL_texture *detail = make_texture(2, 24);

    std::vector<bench_instance> inst(static_cast<size_t>(instances));
    int side = int(std::ceil(std::sqrt(double(instances))));
    for (int i = 0; i < instances; i++) {
        bench_instance &b = inst[size_t(i)];
        matrix_identity(b.world);
        const int column = i % side - side / 2, row = i / side - side / 2;
        b.world[12] = float(column) * 3.0f;
        b.world[13] = float(row) * 3.0f;
        OGL_mesh *m = meshes[i % 4];
        b.mi = OGL_mesh_instance_init();
        OGL_mesh_instance_set_mesh(b.mi, m);
        OGL_mesh_instance_set_world_matrix(b.mi, b.world);
        OGL_mesh_instance_set_ws_scale(b.mi, {1, 1, 1});
        OGL_mesh_instance_set_color(b.mi, {0.2f, 0.2f, 0.25f});
        for (int l = 0; l < 2; l++) {
            OGL_mesh_light *ml = OGL_mesh_light_create();
            ml->ws_pos = {b.world[12] + (l ? 3.0f : -2.0f), b.world[13] + 2.0f, 4.0f};
            ml->ls_pos = {ml->ws_pos.x - b.world[12], ml->ws_pos.y - b.world[13], ml->ws_pos.z};
            ml->color = l ? tacka3{1.0f, 0.9f, 0.7f} : tacka3{0.4f, 0.5f, 1.0f};
            ml->near_range = 1;
            ml->far_range = 30;
            OGL_mesh_instance_add_light(b.mi, ml);
        }
        int kind = i % 5;
        if (kind == 4) {
            OGL_solid_data d{};
            d.lit = true;
            d.diffuse = {0.7f, 0.3f, 0.3f, 1};
            d.specular = {0.5f, 0.5f, 0.5f, 1};
            d.shininess = 0.3f;
            OGL_render_profile_prepare(OGL_render_profiles_get(OGL_RENDER_PROFILE_SOLID), b.mi, "solid", &d);
            continue;
        }
        OGL_single_texture_data d{};
        d.diffuse_texture = diffuse;
        d.diffuse = true;
        d.lit = kind != 3;
        d.mat_diffuse = {1, 1, 1, 1};
        d.mat_specular = {0.5f, 0.5f, 0.5f, 1};
        d.shininess = 0.2f;
        if (kind == 0 || kind == 1) {
            d.bump_texture = kind == 0 ? normal24 : normal32;
            d.bump = true;
        }
        if (kind == 2) {
            d.detail_texture = detail;
            d.detail = true;
        }
        OGL_render_profile_prepare(OGL_render_profiles_get(OGL_RENDER_PROFILE_SINGLE_TEXTURE), b.mi, "sphere", &d);
    }

    view *cam = view_create();
    cam->fov = float(M_PI) / 3.0f;
    cam->up = {0, 0, 1};
    float radius = float(side) * 2.2f + 6.0f;
    auto place_camera = [&](int frame) {
        float a = float(frame) * 0.01f;
        cam->position = {radius * std::sin(a) * 0.4f, -radius * std::cos(a), radius * 0.8f};
        cam->target = {0, 0, 0};
        view_compute_view_matrix(cam);
    };

    // Engine frames.
    auto run_engine = [&](int n, double *cpu, std::vector<double> *times) {
        double c = 0;
        for (int f = 0; f < n; f++) {
            auto w0 = bench_clock::now();
            place_camera(f);
            OGL_clear();
            double t0 = bench_thread_cpu_seconds();
            for (bench_instance &b : inst) OGL_mesh_instance_activate(b.mi, true);
            OGL_render_frame(cam);
            c += bench_thread_cpu_seconds() - t0;
            OGL_swap_buffers();
            if (times) times->push_back(bench_seconds_since(w0));
        }
        glFinish();
        *cpu = c;
    };
    double cpu = 0;
    run_engine(10, &cpu, nullptr);
    OGL_frame_stats_clear_frame_counters();
    OGL_frame_stats_reset();
    std::vector<double> engine_times;
    run_engine(frames, &cpu, &engine_times);
    double engine_s = bench_median(engine_times);
    const OGL_frame_statistics *st = OGL_frame_stats_get();
    double batches = double(st->batches) / frames, states = double(st->state_applications) / frames;
    double triangles = double(st->triangles) / frames;

    // The minimal program: the same buffers, one state, one draw per instance.
    auto run_minimal = [&](int n, double *cpu_out, std::vector<double> *times) {
        double c0 = bench_thread_cpu_seconds();
        for (int f = 0; f < n; f++) {
            auto w0 = bench_clock::now();
            place_camera(f);
            OGL_clear();
            OGL_set_viewport_and_projection(800, 600, 60.0f);
            glMatrixMode(GL_MODELVIEW);
            glLoadMatrixf(cam->view_matrix);
            glEnable(GL_DEPTH_TEST);
            glEnable(GL_CULL_FACE);
            glDisable(GL_LIGHTING);
            glDisable(GL_BLEND);
            glActiveTextureARB(GL_TEXTURE0_ARB);
            glClientActiveTextureARB(GL_TEXTURE0_ARB);
            OGL_texture_bind(diffuse);
            glEnableClientState(GL_VERTEX_ARRAY);
            glEnableClientState(GL_NORMAL_ARRAY);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            for (bench_instance &b : inst) {
                const OGL_mesh *m = b.mi->mesh;
                GLsizei s = 0;
                glBindBufferARB(GL_ARRAY_BUFFER_ARB, m->vbo);
                glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, m->ibo);
                glVertexPointer(3, GL_FLOAT, GLsizei(m->vbo_vertex_size), OGL_mesh_get_vertexs_pointer(m, &s));
                glNormalPointer(GL_FLOAT, GLsizei(m->vbo_vertex_size), OGL_mesh_get_vnormals_pointer(m, &s));
                glTexCoordPointer(2, GL_FLOAT, GLsizei(m->vbo_vertex_size), OGL_mesh_get_tvertexs_pointer(m, 0, &s));
                glPushMatrix();
                glMultMatrixf(b.world);
                OGL_mesh_draw(m);
                glPopMatrix();
            }
            glDisableClientState(GL_VERTEX_ARRAY);
            glDisableClientState(GL_NORMAL_ARRAY);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
            glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
            glFlush();
            if (cpu_out) *cpu_out += bench_thread_cpu_seconds() - c0;
            OGL_swap_buffers();
            if (times) times->push_back(bench_seconds_since(w0));
            c0 = bench_thread_cpu_seconds();
        }
        glFinish();
    };
    run_minimal(10, nullptr, nullptr);
    std::vector<double> minimal_times;
    run_minimal(frames, nullptr, &minimal_times);
    double minimal_s = bench_median(minimal_times);

    // The same frames with one triangle per mesh: what is left of the CPU time
    // is the per-batch cost (the engine's own work and the GL calls), not the
    // driver's vertex processing.
    for (OGL_mesh *m : meshes) OGL_mesh_set_triangle_list_facesno(m, 1);
    double cpu_small = 0, cpu_small_minimal = 0;
    run_engine(frames, &cpu_small, nullptr);
    run_minimal(frames, &cpu_small_minimal, nullptr);
    for (OGL_mesh *m : meshes) OGL_mesh_set_triangle_list_facesno(m, m->trisno_max);

    std::printf("renderer_bench: %d instances, %d frames at 800 x 600 (%s)\n", instances, frames,
                reinterpret_cast<const char *>(glGetString(GL_RENDERER)));
    std::printf("  frames per second            %8.1f (from the median frame)\n", 1.0 / engine_s);
    std::printf("  frame time (median)          %8.2f ms\n", engine_s * 1000.0);
    std::printf("  renderer CPU time per frame  %8.2f ms (main thread, GL calls included)\n", cpu * 1000.0 / frames);
    std::printf("  per-batch CPU time per frame %8.2f ms (one triangle per mesh; minimal program %.2f ms)\n",
                cpu_small * 1000.0 / frames, cpu_small_minimal * 1000.0 / frames);
    std::printf("  batches per frame            %8.1f\n", batches);
    std::printf("  state applications per frame %8.1f\n", states);
    std::printf("  triangles per frame          %8.0f\n", triangles);
    std::printf("  render pass states shared    %8u\n", OGL_render_pass_states_no());
    std::printf("  minimal program frame time   %8.2f ms (median; one state, %d batches)\n", minimal_s * 1000.0,
                instances);
    std::printf("  ratio engine / minimal       %8.2f\n", engine_s / minimal_s);

    for (bench_instance &b : inst) {
        OGL_render_profile_release(b.mi);
        OGL_mesh_instance_deinit(b.mi);
    }
    for (OGL_mesh *m : meshes) OGL_mesh_free(m);
    for (OGL_texture *t : {diffuse, normal24, normal32, detail}) OGL_texture_free(t);
    view_free(cam);
    engine_shutdown();
    return 0;
}
