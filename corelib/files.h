#pragma once
// Whole-file loading and path helpers.

#include <cstddef>
#include <cstdint>
#include <string>

#include "text_buffer.h"

// Why a whole-file read failed: the step that failed and the reason in words
// (the C library's error text, or what was wrong with the file).
enum file_read_step {
    FILE_READ_OPEN = 1, // the file could not be opened (errno tells why)
    FILE_READ_LENGTH,   // not a regular file, its length unknown, or longer than allowed
    FILE_READ_MEMORY,   // no block of its size could be had
    FILE_READ_READ,     // reading stopped short of the length
};
struct file_read_failure {
    file_read_step step;
    int error;          // errno of the failed call, 0 when there was none
    const char *reason; // never null
};

// The file reading under every loader, in two steps and whole. None of them
// logs: on failure *failure says why, so that each loader writes its own
// message naming the file.
//
// Opens a regular file of at most max_size bytes for reading; its descriptor
// (the caller closes it), or -1.
int file_open_regular(const char *path, uint64_t max_size, uint64_t *length, file_read_failure *failure);
// Reads exactly n bytes from the descriptor; a short read is a failure.
bool file_read_exact(int fd, void *dst, size_t n, file_read_failure *failure);
// Opens, sizes and reads the whole file into a new block of exactly its size
// (the caller frees it with mem_free()) and closes it. On failure *block and
// *size are left as they were and nothing stays allocated.
bool file_read_whole(const char *path, uint64_t max_size, void **block, size_t *size, file_read_failure *failure);

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
