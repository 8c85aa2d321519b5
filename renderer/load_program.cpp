#include "renderer/load_program.h"

#include <cstring>

#include "corelib/files.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "renderer/OGL_utils.h"

bool __ogl_load_program(GLenum target, GLuint *id, const char *text)
{
    ASSERT(text != nullptr && id != nullptr);
    if (glGetError() != GL_NO_ERROR) BUG();
    GLuint name = 0;
    glGenProgramsARB(1, &name);
    glBindProgramARB(target, name);
    glProgramStringARB(target, GL_PROGRAM_FORMAT_ASCII_ARB, GLsizei(std::strlen(text)), text);
    const GLubyte *err = glGetString(GL_PROGRAM_ERROR_STRING_ARB);
    if (err && err[0])
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "Program error string:\n \"%s\" \n for program:\n \"%s\"",
               reinterpret_cast<const char *>(err), text);
    GLint native = 0, pos = -1;
    glGetProgramivARB(target, GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB, &native);
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &pos);
    if (pos != -1) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "Program error at position %d in %s", pos, text);
        OGL_CHECK_ERRORS(false);
        glBindProgramARB(target, 0);
        glDeleteProgramsARB(1, &name);
        return false;
    }
    if (native) {
        if (glGetError() != GL_NO_ERROR) {
            glBindProgramARB(target, 0);
            glDeleteProgramsARB(1, &name);
            return false;
        }
    } else {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "Program exceeds native limits: \"%s\"", text);
        OGL_CHECK_ERRORS(false);
    }
    glBindProgramARB(target, 0);
    if (OGL_CHECK_ERRORS(false)) BUG();
    *id = name;
    return true;
}

bool __load_program(const char *text, GLenum target, GLuint *id, bool from_file)
{
    ASSERT(text != nullptr);
    ASSERT(target == GL_VERTEX_PROGRAM_ARB || target == GL_FRAGMENT_PROGRAM_ARB);
    char *work = nullptr;
    if (from_file) {
        void *block = nullptr;
        size_t size = 0;
        std::string path = file_native_path(text);
        if (!load_file_to_buffer(path.c_str(), &block, &size)) {
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s: failed loading file %s!", __func__, text);
            return false;
        }
        work = static_cast<char *>(mem_alloc(size + 1));
        ASSERT(work != nullptr);
        std::memcpy(work, block, size);
        work[size] = 0;
        mem_free(block);
        // A zero byte inside the file ends the text there; the driver sees the part before it.
        do_log(LOG_DEBUG, LOG_TO_DEBUGGER, "%s", work);
    } else {
        work = mem_strdup(text);
        ASSERT(work != nullptr);
    }
    bool ok = __ogl_load_program(target, id, work);
    if (!ok) {
        if (from_file) {
            do_log(LOG_WARNING, LOG_TO_ALL, "%s: program file %s does not compile!", __func__, text);
            mem_free(work);
            return false;
        }
        BUG();
    }
    if (from_file) do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s loaded successfully", text);
    mem_free(work);
    return true;
}

void OGL_program_free(GLuint *id)
{
    if (*id && GLEW_ARB_vertex_program) glDeleteProgramsARB(1, id);
    *id = 0;
}
