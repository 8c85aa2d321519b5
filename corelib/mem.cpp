#include "mem.h"

#include <cstdlib>
#include <cstring>

void *mem_alloc(size_t size) { return malloc(size ? size : 1); }

void *mem_calloc(size_t count, size_t size) { return calloc(count ? count : 1, size ? size : 1); }

void *mem_realloc(void *block, size_t size) { return realloc(block, size ? size : 1); }

void mem_free(void *block) { free(block); }

char *mem_strdup(const char *text)
{
    if (!text) return nullptr;
    return mem_strndup(text, strlen(text));
}

char *mem_strndup(const char *text, size_t n)
{
    char *copy = static_cast<char *>(mem_alloc(n + 1));
    if (!copy) return nullptr;
    memcpy(copy, text, n);
    copy[n] = 0;
    return copy;
}
