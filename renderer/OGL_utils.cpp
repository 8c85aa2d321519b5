#include "OGL_utils.h"

#include "corelib/log.h"

bool OGL_check_for_errors(const char *func, const char *file, int line, bool msgbox)
{
    GLenum err = glGetError();
    if (err == GL_NO_ERROR) return false;
    uint8_t outputs = LOG_TO_FILE | LOG_TO_DEBUGGER | (msgbox ? LOG_TO_MSGBOX : 0);
    const char *name = nullptr;
    switch (err) {
    case GL_INVALID_ENUM: name = "GL_INVALID_ENUM"; break;
    case GL_INVALID_VALUE: name = "GL_INVALID_VALUE"; break;
    case GL_INVALID_OPERATION: name = "GL_INVALID_OPERATION"; break;
    case GL_STACK_OVERFLOW: name = "GL_STACK_OVERFLOW"; break;
    case GL_STACK_UNDERFLOW: name = "GL_STACK_UNDERFLOW"; break;
    case GL_OUT_OF_MEMORY: name = "GL_STACK_OUT_OF_MEMORY"; break;
    default: break;
    }
    if (name)
        do_log(LOG_WARNING, outputs, "%s() BUG at file \"%s\", line %i: %s!", func, file, line, name);
    else
        do_log(LOG_WARNING, outputs, "%s() BUG at file \"%s\", line %i: unknown error %i?!?!", func, file, line,
               int(err));
    return true;
}

int OGL_discard_errors()
{
    // A lost context reports GL_CONTEXT_LOST forever: bound the loop.
    int n = 0;
    while (glGetError() != GL_NO_ERROR && n < 64) n++;
    return n;
}
