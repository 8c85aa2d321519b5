#pragma once
// Small GL helpers shared by the renderer: the GL error check.

#include <GL/glew.h>

// Reads the pending GL error. None: returns false. Otherwise logs it at warning
// level to the log file and the debugger (and the message box when msgbox is
// set), naming the caller, and returns true.
bool OGL_check_for_errors(const char *func, const char *file, int line, bool msgbox);
#define OGL_CHECK_ERRORS(msgbox) OGL_check_for_errors(__func__, __FILE__, __LINE__, (msgbox))

// Reads and drops every pending GL error; returns how many there were.
int OGL_discard_errors();
