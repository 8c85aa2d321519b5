#include "OGL_blitter.h"

#include <GL/glew.h>

#include "OGL_features.h"
#include "OGL_texture.h"
#include "OGL_window.h"

static const float white[4] = {1, 1, 1, 1};
static GLint saved_viewport[4];

static void __screen_size(float *w, float *h)
{
    int xs = 800, ys = 600;
    if (OGL_window_get()) OGL_window_get_size(&xs, &ys);
    *w = float(xs);
    *h = float(ys);
}

void OGL_blitter_begin_2d(float width, float height)
{
    // the whole logical screen, whatever viewport the 3D pass used
    glGetIntegerv(GL_VIEWPORT, saved_viewport);
    if (OGL_window_get()) {
        int xs, ys;
        OGL_window_get_size(&xs, &ys);
        OGL_set_viewport(0, 0, xs, ys);
    }
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glColor4f(1, 1, 1, 1);
    if (GLEW_ARB_vertex_program) {
        glDisable(GL_VERTEX_PROGRAM_ARB);
        // generic attribute 0 would stand in for the positions
        GLint attribs = 16;
        glGetIntegerv(GL_MAX_VERTEX_ATTRIBS_ARB, &attribs);
        for (GLint i = 0; i < attribs && i < 16; i++) glDisableVertexAttribArrayARB(GLuint(i));
    }
    if (GLEW_ARB_fragment_program) glDisable(GL_FRAGMENT_PROGRAM_ARB);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    const int units = OGL_features_get()->max_texture_units > 0 ? OGL_features_get()->max_texture_units : 1;
    for (int i = units - 1; i >= 0; i--) {
        glActiveTextureARB(GL_TEXTURE0_ARB + i);
        glClientActiveTextureARB(GL_TEXTURE0_ARB + i);
        glDisable(GL_TEXTURE_1D);
        glDisable(GL_TEXTURE_2D);
        if (GLEW_ARB_texture_cube_map) glDisable(GL_TEXTURE_CUBE_MAP_ARB);
        if (GLEW_ARB_texture_rectangle || GLEW_EXT_texture_rectangle || GLEW_NV_texture_rectangle)
            glDisable(GL_TEXTURE_RECTANGLE_ARB);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    }
}

void OGL_blitter_end_2d()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glDisable(GL_TEXTURE_2D);
    if (GLEW_ARB_texture_rectangle || GLEW_EXT_texture_rectangle || GLEW_NV_texture_rectangle)
        glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glEnable(GL_DEPTH_TEST);
    glViewport(saved_viewport[0], saved_viewport[1], saved_viewport[2], saved_viewport[3]);
}

void OGL_blitter_set_blending(uint32_t flags)
{
    if (flags & OGL_BLIT_ADD) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
    } else if (flags & OGL_BLIT_ADD_ALPHA) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    } else if (flags & OGL_BLIT_ALPHA) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        glDisable(GL_BLEND);
    }
}

void OGL_blitter_texture_matrix_identity()
{
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

void OGL_blitter_texture_matrix_scale(float s, float t)
{
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glScalef(s, t, 1.0f);
    glMatrixMode(GL_MODELVIEW);
}

void OGL_blit_texture_region(const OGL_texture *texture, const float color[4], float sx, float sy, float sw, float sh,
                             float dx, float dy, float dw, float dh, uint32_t flags)
{
    OGL_blitter_begin_2d(1.0f, 1.0f);
    glDisable(GL_DEPTH_TEST);
    OGL_blitter_set_blending(flags);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    OGL_texture_bind(texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor4fv(color ? color : white);
    // Picture rows run from the top down; texture t runs from the bottom up.
    float t_top = 1.0f - sy, t_bottom = 1.0f - (sy + sh);
    if (flags & OGL_BLIT_FLIP_V) {
        t_top = sy;
        t_bottom = sy + sh;
    }
    glBegin(GL_QUADS);
    glTexCoord2f(sx, t_bottom);
    glVertex2f(dx, dy + dh);
    glTexCoord2f(sx + sw, t_bottom);
    glVertex2f(dx + dw, dy + dh);
    glTexCoord2f(sx + sw, t_top);
    glVertex2f(dx + dw, dy);
    glTexCoord2f(sx, t_top);
    glVertex2f(dx, dy);
    glEnd();
    OGL_blitter_texture_matrix_identity();
    glDisable(texture->target);
    glEnable(GL_BLEND);
    OGL_blitter_end_2d();
    glEnable(GL_DEPTH_TEST);
}

void OGL_blit_texture_color(const OGL_texture *texture, const float color[4], float x, float y, float w, float h,
                            uint32_t flags)
{
    float sw, sh;
    __screen_size(&sw, &sh);
    OGL_blit_texture_region(texture, color, 0, 0, 1, 1, x / sw, y / sh, w / sw, h / sh, flags);
}

void OGL_blit_texture(const OGL_texture *texture, float x, float y, float w, float h, uint32_t flags)
{
    OGL_blit_texture_color(texture, white, x, y, w, h, flags);
}

void OGL_blit_texture_texels_color(const OGL_texture *texture, const float color[4], float sx, float sy, float sw,
                                   float sh, float x, float y, float w, float h, uint32_t flags)
{
    float scw, sch;
    __screen_size(&scw, &sch);
    const float tw = float(texture->xsize), th = float(texture->ysize);
    OGL_blit_texture_region(texture, color, sx / tw, sy / th, sw / tw, sh / th, x / scw, y / sch, w / scw, h / sch,
                            flags);
}

void OGL_blit_texture_texels(const OGL_texture *texture, float sx, float sy, float sw, float sh, float x, float y,
                             float w, float h, uint32_t flags)
{
    OGL_blit_texture_texels_color(texture, white, sx, sy, sw, sh, x, y, w, h, flags);
}

void OGL_blit_rect(const float color[4], float x, float y, float w, float h, uint32_t flags)
{
    float sw, sh;
    __screen_size(&sw, &sh);
    OGL_blitter_begin_2d(sw, sh);
    OGL_blitter_set_blending(flags);
    glDisable(GL_DEPTH_TEST);
    glColor4fv(color);
    glBegin(GL_QUADS);
    glVertex2f(x, y + h);
    glVertex2f(x + w, y + h);
    glVertex2f(x + w, y);
    glVertex2f(x, y);
    glEnd();
    OGL_blitter_end_2d();
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}

void OGL_blit_rect_corners(const float color[4], int x0, int y0, int x1, int y1, uint32_t flags)
{
    OGL_blit_rect(color, float(x0), float(y0), float(x1 - x0), float(y1 - y0), flags);
}

void OGL_blit_rect_corners_f(const float color[4], float x0, float y0, float x1, float y1, uint32_t flags)
{
    OGL_blit_rect_corners(color, int(x0), int(y0), int(x1), int(y1), flags);
}

void OGL_blit_quads(const OGL_texture *texture, const float *positions, const float *tex_coords, const float *colors,
                    uint32_t vertices, uint32_t flags)
{
    float sw, sh;
    __screen_size(&sw, &sh);
    OGL_blitter_begin_2d(sw, sh);
    if (GLEW_ARB_vertex_buffer_object) {
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    }
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
    if (vertices > 0 && positions) {
        if (colors) {
            glEnableClientState(GL_COLOR_ARRAY);
            glColorPointer(4, GL_FLOAT, 0, colors);
        }
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(2, GL_FLOAT, 0, positions);
        if (texture && tex_coords) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, 0, tex_coords);
        }
    }
    if (texture) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture->gl_name);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        OGL_blitter_texture_matrix_scale(1.0f / float(texture->texture_xsize), 1.0f / float(texture->texture_ysize));
    }
    glDisable(GL_DEPTH_TEST);
    OGL_blitter_set_blending(flags);
    if (vertices >= 4 && positions) glDrawArrays(GL_QUADS, 0, GLsizei(vertices - vertices % 4));
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
    OGL_blitter_texture_matrix_identity();
    glEnable(GL_BLEND);
    OGL_blitter_end_2d();
}
