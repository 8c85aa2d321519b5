#include "text_buffer.h"

#include <cstring>

#include "mem.h"

text_buffer *text_buffer_new()
{
    text_buffer *b = static_cast<text_buffer *>(mem_alloc(sizeof(text_buffer)));
    if (!b) return nullptr;
    b->block = static_cast<char *>(mem_alloc(TEXT_BUFFER_INITIAL));
    if (!b->block) {
        mem_free(b);
        return nullptr;
    }
    b->capacity = TEXT_BUFFER_INITIAL;
    b->length = 0;
    b->block[0] = 0;
    return b;
}

void text_buffer_free(text_buffer *buffer)
{
    if (!buffer) return;
    mem_free(buffer->block);
    mem_free(buffer);
}

bool text_buffer_append(text_buffer *buffer, const char *text)
{
    size_t added = strlen(text);
    if (added > UINT32_MAX - buffer->length - 1) return false;
    if (buffer->length + added + 1 >= buffer->capacity) {
        size_t grow = (added / 100) * 100 + 100;
        if (grow > UINT32_MAX - buffer->capacity) return false;
        char *block = static_cast<char *>(mem_realloc(buffer->block, buffer->capacity + grow));
        if (!block) return false;
        buffer->block = block;
        buffer->capacity += uint32_t(grow);
    }
    memcpy(buffer->block + buffer->length, text, added + 1);
    buffer->length += uint32_t(added);
    return true;
}

bool text_buffer_assign(text_buffer *buffer, const char *bytes, uint32_t n)
{
    // A fresh block of exactly n + 1 bytes; bytes may point into the old one.
    if (n == UINT32_MAX) return false;
    char *block = static_cast<char *>(mem_alloc(size_t(n) + 1));
    if (!block) return false;
    memcpy(block, bytes, n);
    block[n] = 0;
    mem_free(buffer->block);
    buffer->block = block;
    buffer->capacity = n + 1;
    buffer->length = n;
    return true;
}

bool text_buffer_assign_text(text_buffer *buffer, const char *text)
{
    size_t n = strlen(text);
    if (n >= UINT32_MAX) return false;
    return text_buffer_assign(buffer, text, uint32_t(n));
}

bool text_buffer_substring(text_buffer *target, const text_buffer *source, uint32_t position, uint32_t n)
{
    if (position >= source->length) return false;
    uint32_t left = source->length - position;
    if (n > left) n = left;
    return text_buffer_assign(target, source->block + position, n);
}

uint32_t text_buffer_length(const text_buffer *buffer) { return buffer->length; }

const char *text_buffer_text(const text_buffer *buffer) { return buffer->block; }
