#pragma once
// Whole-file loading and path helpers.

#include <cstddef>
#include <string>

#include "text_buffer.h"

// Reads the whole file into a new block of exactly its size (no terminating
// zero); the caller frees it with mem_free(). Logs and returns false on failure.
bool load_file_to_buffer(const char *path, void **block, size_t *size);
// Loads a text file into the buffer; a file holding a zero byte is refused.
bool load_text_file(const char *path, text_buffer *buffer);

// The data files name paths with backslashes ("splash\loading_pic_01.tga");
// this turns them into the platform's separators.
std::string file_native_path(const char *path);
bool file_exists(const char *path);
// The folder of the running executable, ending in a separator.
std::string file_executable_dir();
