#pragma once
// Allocation wrappers. Every module allocates through these; they return null
// on failure and report nothing themselves.

#include <cstddef>
#include <cstdint>

void *mem_alloc(size_t size);
void *mem_calloc(size_t count, size_t size);
void *mem_realloc(void *block, size_t size);
void mem_free(void *block);
char *mem_strdup(const char *text);
char *mem_strndup(const char *text, size_t n);

// Typed conveniences for plain records.
template <typename T> T *mem_new_zeroed() { return static_cast<T *>(mem_calloc(1, sizeof(T))); }

inline uint32_t align4(uint32_t n) { return (n + 3u) & ~3u; }
// True when n has at most one bit set (0 counts as a power of two).
inline bool is_power_of_2(uint64_t n) { return (n & (n - 1)) == 0; }

// n * size without overflow; false when the product does not fit in size_t.
inline bool mem_mul_size(size_t n, size_t size, size_t *out) { return !__builtin_mul_overflow(n, size, out); }
