#pragma once
// Whole-file loading and path helpers.

#include <cstddef>
#include <cstdint>
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

// Replaces the file at path by these bytes so that the old contents survive
// any failure: the bytes go to a temporary file in the same folder, which is
// flushed to disk and then renamed over the old file. mode gives the new
// file's permissions. Logs the reason (naming the file) and returns false on
// failure; the old file is then untouched and no temporary file is left.
bool file_write_atomic(const char *path, const void *data, size_t size, unsigned mode);
// Reads at most max bytes from the start of the file; sets *size to the
// number read and *total to the file's length. Logs and returns false when
// the file cannot be opened or read (errno is kept: ENOENT for a missing file).
bool file_read_head(const char *path, void *buffer, size_t max, size_t *size, uint64_t *total);
