#pragma once
// Growable zero-terminated text.

#include <cstdint>

struct text_buffer {
    uint32_t capacity; // bytes in block
    uint32_t length;   // characters before the terminating zero
    char *block;
};

#define TEXT_BUFFER_INITIAL 100

text_buffer *text_buffer_new();
void text_buffer_free(text_buffer *buffer);
bool text_buffer_append(text_buffer *buffer, const char *text);
bool text_buffer_assign(text_buffer *buffer, const char *bytes, uint32_t n);
bool text_buffer_assign_text(text_buffer *buffer, const char *text);
bool text_buffer_substring(text_buffer *target, const text_buffer *source, uint32_t position, uint32_t n);
uint32_t text_buffer_length(const text_buffer *buffer);
const char *text_buffer_text(const text_buffer *buffer);
