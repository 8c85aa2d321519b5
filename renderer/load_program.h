#pragma once
// Loading of ARB vertex and fragment programs ("!!ARBvp1.0" / "!!ARBfp1.0" texts).

#include <GL/glew.h>

// Loads `text` (or, with from_file, the file it names) as a program of
// `target` (GL_VERTEX_PROGRAM_ARB or GL_FRAGMENT_PROGRAM_ARB) into *id.
// A file that cannot be read or does not compile: warning, false. A built-in
// text that does not compile is a fault report.
bool __load_program(const char *text, GLenum target, GLuint *id, bool from_file);

// Hands the text to the driver. Compile errors are logged with the driver's
// message and the position, the program is deleted and false returned. A
// program over the native limits is kept with a warning.
bool __ogl_load_program(GLenum target, GLuint *id, const char *text);

// Deletes a program made by the loaders (0 is ignored) and clears the id.
void OGL_program_free(GLuint *id);
