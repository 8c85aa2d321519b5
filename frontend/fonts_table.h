#pragma once
// A table indexed by Unicode code point, kept in pages of 256 entries that
// are made when first written: a string with one far code point costs one
// page, not a table up to that code point.

#include <cstdint>

#include "corelib/array.h"
#include "corelib/mem.h"

#define FONTS_TABLE_PAGE_BITS 8
#define FONTS_TABLE_PAGE_SIZE (1u << FONTS_TABLE_PAGE_BITS)

template <typename T> struct fonts_table {
    array<T *> *pages; // zero-filling; a null page holds only zero entries
};

template <typename T> bool fonts_table_init(fonts_table<T> *t)
{
    t->pages = array_new<T *>();
    if (!t->pages) return false;
    t->pages->flags |= ARRAY_ZERO_FILL;
    return true;
}

template <typename T> void fonts_table_free(fonts_table<T> *t)
{
    if (!t->pages) return;
    for (T *page : *t->pages) mem_free(page);
    array_free(t->pages);
    t->pages = nullptr;
}

// The entry of code, or null when its page was never made.
template <typename T> T *fonts_table_find(const fonts_table<T> *t, uint32_t code)
{
    uint32_t p = code >> FONTS_TABLE_PAGE_BITS;
    if (!t->pages || p >= t->pages->get_size() || !(*t->pages)[p]) return nullptr;
    return &(*t->pages)[p][code & (FONTS_TABLE_PAGE_SIZE - 1)];
}

// The entry of code, its page made (zeroed) when missing; null when memory runs out.
template <typename T> T *fonts_table_get(fonts_table<T> *t, uint32_t code)
{
    uint32_t p = code >> FONTS_TABLE_PAGE_BITS;
    if (p >= t->pages->get_size()) {
        if (!t->pages->resize(p + 1)) return nullptr;
        t->pages->cur_elements = p + 1;
    }
    T *&page = (*t->pages)[p];
    if (!page) {
        page = static_cast<T *>(mem_calloc(FONTS_TABLE_PAGE_SIZE, sizeof(T)));
        if (!page) return nullptr;
    }
    return &page[code & (FONTS_TABLE_PAGE_SIZE - 1)];
}

// Calls fn(code, entry) for every entry of every page made.
template <typename T, typename F> void fonts_table_for_each(fonts_table<T> *t, F fn)
{
    if (!t->pages) return;
    for (uint32_t p = 0; p < t->pages->get_size(); p++) {
        T *page = (*t->pages)[p];
        if (!page) continue;
        for (uint32_t i = 0; i < FONTS_TABLE_PAGE_SIZE; i++) fn((p << FONTS_TABLE_PAGE_BITS) | i, &page[i]);
    }
}
