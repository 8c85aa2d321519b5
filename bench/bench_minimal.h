#pragma once
// The minimal program the GL frame benchmarks compare against: every mesh
// instance the engine drew in its last frame, drawn once with one fixed state,
// no textures and no lights, through the same view.

#include <vector>

#include <GL/glew.h>

#include "bench/bench_util.h"
#include "corelib/view.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_mesh.h"
#include "renderer/OGL_mesh_instance.h"
#include "renderer/OGL_window.h"
#include "scene/object_instance.h"
#include "scene/scene.h"

// The visible mesh instances of the scene.
inline std::vector<OGL_mesh_instance *> bench_minimal_collect(scene *sc)
{
    std::vector<OGL_mesh_instance *> drawn;
    for (uint32_t i = 0; i < scene_get_ois_no(sc); i++) {
        object_instance *oi = scene_get_oi(sc, i);
        if (!(oi->flags & OI_OGL_MESH_INSTANCE)) continue;
        OGL_mesh_instance *m = OI_get_ogl_mesh_instance(oi);
        if (m && m->mesh && OGL_mesh_has_vbo(m->mesh) && OI_get_desc(oi)->visible && !OI_get_desc(oi)->invisible)
            drawn.push_back(m);
    }
    return drawn;
}

// n frames of the minimal program; each frame's wall time goes to times (may be null).
inline void bench_minimal_run(const std::vector<OGL_mesh_instance *> &drawn, const view *v, int n,
                              std::vector<double> *times)
{
    for (int f = 0; f < n; f++) {
        auto w0 = bench_clock::now();
        OGL_clear();
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(v->projection_matrix);
        glMatrixMode(GL_MODELVIEW);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        for (OGL_mesh_instance *m : drawn) {
            GLsizei stride = 0;
            glBindBufferARB(GL_ARRAY_BUFFER_ARB, m->mesh->vbo);
            glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, m->mesh->ibo);
            glVertexPointer(3, GL_FLOAT, GLsizei(m->mesh->vbo_vertex_size),
                            OGL_mesh_get_vertexs_pointer(m->mesh, &stride));
            glLoadMatrixf(v->view_matrix);
            if (m->world_matrix) glMultMatrixf(m->world_matrix);
            OGL_mesh_draw(m->mesh);
        }
        glDisableClientState(GL_VERTEX_ARRAY);
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
        OGL_swap_buffers();
        if (times) times->push_back(bench_seconds_since(w0));
    }
    glFinish();
}
