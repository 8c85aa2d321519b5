#include "gl_test_context.h"

#include <GLFW/glfw3.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "corelib/gfxloader.h"
#include "renderer/OGL_features.h"
#include "renderer/OGL_main.h"
#include "renderer/OGL_settings.h"
#include "renderer/OGL_window.h"
#include "renderer/engine.h"
#include "test_support.h"

extern char **environ;

std::ostream &operator<<(std::ostream &os, const gltest_rgba &c)
{
    return os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ", " << int(c.a) << ")";
}

bool gltest_open()
{
    // the image module serves picture read-back and saving
    static bool images_up = false;
    if (!images_up) images_up = gfxloader_init();
    if (OGL_is_initialised()) {
        glfwMakeContextCurrent(OGL_window_get()->handle);
        return true;
    }
    // A busy X server may turn a connection away for a moment; try a few times
    // before calling the display missing.
    bool library = false;
    for (int attempt = 0; attempt < 3 && !(library = OGL_window_library_init()); attempt++) usleep(250 * 1000);
    if (!library) return false;
    if (const char *missing = std::getenv(GLTEST_MISSING_EXTENSIONS_VAR)) OGL_features_simulate_missing(missing);
    // The suites start the foundation services they use themselves, and
    // install the hand-over through scopes of their own.
    const engine_window window = {"renderer tests", GLTEST_WIDTH, GLTEST_HEIGHT, false};
    return engine_startup(ENGINE_RENDERER, &window);
}

gltest_anisotropy_scope::gltest_anisotropy_scope(int mode) : before(OGL_render_settings_get_anisotropic_filtering())
{
    OGL_render_settings_set_anisotropic_filtering(mode);
}

gltest_anisotropy_scope::~gltest_anisotropy_scope() { OGL_render_settings_set_anisotropic_filtering(before); }

void gltest_close() { engine_shutdown(); }

bool gltest_is_open() { return OGL_is_initialised(); }

void gltest_reset_state()
{
    while (glGetError() != GL_NO_ERROR) {}
    if (GLEW_ARB_vertex_program) glDisable(GL_VERTEX_PROGRAM_ARB);
    if (GLEW_ARB_fragment_program) glDisable(GL_FRAGMENT_PROGRAM_ARB);
    if (GLEW_ARB_vertex_buffer_object) {
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    }
    GLint units = 1;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    for (int i = units - 1; i >= 0; i--) {
        glActiveTextureARB(GL_TEXTURE0_ARB + i);
        glClientActiveTextureARB(GL_TEXTURE0_ARB + i);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_CUBE_MAP_ARB);
        glDisable(GL_TEXTURE_RECTANGLE_ARB);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    int fbw = GLTEST_WIDTH, fbh = GLTEST_HEIGHT;
    if (OGL_window_get()) glfwGetFramebufferSize(OGL_window_get()->handle, &fbw, &fbh);
    glViewport(0, 0, fbw, fbh);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

std::vector<uint8_t> gltest_read_rgba(int x, int y, int w, int h, bool front)
{
    std::vector<uint8_t> out(size_t(w > 0 ? w : 0) * size_t(h > 0 ? h : 0) * 4);
    if (out.empty()) return out;
    glFinish();
    glReadBuffer(front ? GL_FRONT : GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return out;
}

gltest_rgba gltest_pixel(int x, int y, bool front)
{
    std::vector<uint8_t> p = gltest_read_rgba(x, y, 1, 1, front);
    return {p[0], p[1], p[2], p[3]};
}

static bool near(gltest_rgba a, gltest_rgba b, int tol, bool check_alpha)
{
    return std::abs(a.r - b.r) <= tol && std::abs(a.g - b.g) <= tol && std::abs(a.b - b.b) <= tol &&
           (!check_alpha || std::abs(a.a - b.a) <= tol);
}

::testing::AssertionResult gltest_colour_near(gltest_rgba got, gltest_rgba want, int tol, bool check_alpha)
{
    if (near(got, want, tol, check_alpha)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "colour " << got << " differs from " << want << " by more than " << tol;
}

::testing::AssertionResult gltest_region_is(int x, int y, int w, int h, gltest_rgba want, int tol, bool check_alpha)
{
    std::vector<uint8_t> p = gltest_read_rgba(x, y, w, h);
    int bad = 0, fx = -1, fy = -1;
    gltest_rgba first{};
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++) {
            const uint8_t *q = &p[(size_t(j) * w + i) * 4];
            gltest_rgba c{q[0], q[1], q[2], q[3]};
            if (near(c, want, tol, check_alpha)) continue;
            if (bad++ == 0) {
                fx = x + i;
                fy = y + j;
                first = c;
            }
        }
    if (bad == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << bad << " of " << w * h << " pixels of region (" << x << ", " << y << ", "
                                         << w << " x " << h << ") differ from " << want << "; first at (" << fx << ", "
                                         << fy << ") is " << first;
}

int gltest_count_pixels(int x, int y, int w, int h, gltest_rgba want, int tol)
{
    std::vector<uint8_t> p = gltest_read_rgba(x, y, w, h);
    int n = 0;
    for (size_t k = 0; k + 3 < p.size(); k += 4)
        if (near({p[k], p[k + 1], p[k + 2], p[k + 3]}, want, tol, false)) n++;
    return n;
}

bool gltest_save_tga(const std::string &path, int x, int y, int w, int h)
{
    std::vector<uint8_t> p = gltest_read_rgba(x, y, w, h);
    return gfxloader_save(path.c_str(), w, h, 32, p.data());
}

std::vector<uint8_t> gltest_read_texture(GLenum target, GLuint name, int level, int *w, int *h)
{
    GLenum binding = target == GL_TEXTURE_RECTANGLE_ARB  ? GL_TEXTURE_BINDING_RECTANGLE_ARB
                     : target == GL_TEXTURE_CUBE_MAP_ARB ? GL_TEXTURE_BINDING_CUBE_MAP_ARB
                                                         : GL_TEXTURE_BINDING_2D;
    GLenum image_target = target == GL_TEXTURE_CUBE_MAP_ARB ? GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB : target;
    GLint old = 0;
    glGetIntegerv(binding, &old);
    glBindTexture(target, name);
    GLint tw = 0, th = 0;
    glGetTexLevelParameteriv(image_target, level, GL_TEXTURE_WIDTH, &tw);
    glGetTexLevelParameteriv(image_target, level, GL_TEXTURE_HEIGHT, &th);
    std::vector<uint8_t> out(size_t(tw) * size_t(th) * 4);
    if (!out.empty()) {
        // llvmpipe may still be writing generated mip levels: wait for them.
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(image_target, level, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
    }
    glBindTexture(target, GLuint(old));
    if (w) *w = tw;
    if (h) *h = th;
    return out;
}

GLint gltest_tex_param_i(GLenum target, GLuint name, GLenum pname)
{
    GLenum binding = target == GL_TEXTURE_RECTANGLE_ARB ? GL_TEXTURE_BINDING_RECTANGLE_ARB : GL_TEXTURE_BINDING_2D;
    GLint old = 0, v = 0;
    glGetIntegerv(binding, &old);
    glBindTexture(target, name);
    glGetTexParameteriv(target, pname, &v);
    glBindTexture(target, GLuint(old));
    return v;
}

GLfloat gltest_tex_param_f(GLenum target, GLuint name, GLenum pname)
{
    GLenum binding = target == GL_TEXTURE_RECTANGLE_ARB ? GL_TEXTURE_BINDING_RECTANGLE_ARB : GL_TEXTURE_BINDING_2D;
    GLint old = 0;
    GLfloat v = 0;
    glGetIntegerv(binding, &old);
    glBindTexture(target, name);
    glGetTexParameterfv(target, pname, &v);
    glBindTexture(target, GLuint(old));
    return v;
}

gltest_child_result gltest_run_child(const std::string &test_name,
                                     const std::vector<std::pair<std::string, std::string>> &env)
{
    gltest_child_result r{-1, ""};
    std::string dir = test_make_temp_dir();
    std::string out_path = dir + "/child-output.txt";

    std::vector<std::string> env_text;
    for (char **e = environ; *e; e++) {
        bool replaced = false;
        for (const auto &kv : env)
            if (std::strncmp(*e, kv.first.c_str(), kv.first.size()) == 0 && (*e)[kv.first.size()] == '=')
                replaced = true;
        if (!replaced) env_text.emplace_back(*e);
    }
    for (const auto &kv : env) env_text.push_back(kv.first + "=" + kv.second);
    // A child that shuts the window library down unloads the GL driver before
    // the leak check runs, and the driver's one-time allocations can then no
    // longer be told apart from ours: children are checked for memory errors,
    // the suites in process for leaks too.
    for (std::string &e : env_text)
        if (e.rfind("ASAN_OPTIONS=", 0) == 0) e += ":detect_leaks=0";
    std::vector<char *> envp;
    for (auto &s : env_text) envp.push_back(s.data());
    envp.push_back(nullptr);

    std::string exe = "/proc/self/exe";
    std::string filter = "--gtest_filter=" + test_name;
    std::string also = "--gtest_also_run_disabled_tests";
    std::vector<char *> argv{exe.data(), filter.data(), also.data(), nullptr};

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    if (rc == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        if (WIFEXITED(status)) r.exit_status = WEXITSTATUS(status);
        r.output = test_read_file(out_path);
    } else {
        r.output = std::string("posix_spawn failed: ") + std::strerror(rc);
    }
    test_remove_tree(dir);
    return r;
}

::testing::AssertionResult gltest_child_passed(const gltest_child_result &r)
{
    bool ran = r.output.find("[  PASSED  ] 1 test") != std::string::npos;
    if (r.exit_status == 0 && ran) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "child exit status " << r.exit_status << (ran ? "" : ", test not run")
                                         << "; its output:\n"
                                         << r.output;
}
