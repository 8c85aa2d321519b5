#pragma once
// array<T>: the one growable sequence.
//
// Elements are raw memory copied bytewise; no constructors or destructors run.
// Capacity grows linearly by grow_elements (100 by default). Storage may be
// over-aligned (then it is sized exactly once) and may be frozen at a fixed
// size by setting ARRAY_CONSTANT_SIZE in flags.

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "log.h"
#include "mem.h"
#include "type_name.h"

enum {
    ARRAY_CONSTANT_SIZE = 1 << 0,
    ARRAY_ZERO_FILL = 1 << 1,
};

#define ARRAY_DEFAULT_GROW 100

// Fault report naming the instance, e.g. "array<float>::resize".
#define ARRAY_ASSERT(expr) \
    do { \
        if (!(expr)) \
            log_fault_assert(("array<" + type_name<T>() + ">::" + __func__).c_str(), __FILE__, __LINE__, #expr); \
    } while (0)

template <typename T> struct array {
    static_assert(std::is_trivially_copyable_v<T>, "array elements are copied bytewise");

    void *raw_data;
    T *data;
    uint32_t flags;
    uint32_t align_bytes;
    uint32_t max_elements;
    uint32_t cur_elements;
    uint32_t grow_elements;

    bool resize(uint32_t elements);
    bool prealloc(uint32_t elements)
    {
        ARRAY_ASSERT(elements > cur_elements);
        return resize(elements);
    }
    bool set_size(uint32_t elements)
    {
        ARRAY_ASSERT(elements != cur_elements);
        if (!resize(elements)) return false;
        cur_elements = elements;
        return true;
    }
    // Forgets the elements and keeps the storage for the next ones.
    void clear() { cur_elements = 0; }
    void set_align_bytes(uint32_t bytes)
    {
        ARRAY_ASSERT(is_power_of_2(bytes));
        ARRAY_ASSERT(max_elements == 0 && cur_elements == 0);
        align_bytes = bytes;
    }
    bool add(const T *element)
    {
        if (cur_elements == max_elements && !resize(max_elements + grow_elements)) return false;
        if (element) std::memcpy(static_cast<void *>(&data[cur_elements]), element, sizeof(T));
        cur_elements++;
        return true;
    }
    bool add(const T &element) { return add(&element); }
    uint32_t get_size() const { return cur_elements; }
    T *get_element(uint32_t i) const { return i < cur_elements ? &data[i] : nullptr; }
    bool is_constant_size() const { return (flags & ARRAY_CONSTANT_SIZE) != 0; }

    T &operator[](uint32_t i) { return data[i]; }
    const T &operator[](uint32_t i) const { return data[i]; }
    T *begin() { return data; }
    T *end() { return data + cur_elements; }
    const T *begin() const { return data; }
    const T *end() const { return data + cur_elements; }
};

template <typename T> bool array<T>::resize(uint32_t elements)
{
    ARRAY_ASSERT(!is_constant_size());
    if (align_bytes == 0) {
        if (elements > 0) {
            size_t bytes;
            if (!mem_mul_size(elements, sizeof(T), &bytes)) return false;
            void *block = mem_realloc(raw_data, bytes);
            if (!block) return false;
            raw_data = block;
            data = static_cast<T *>(block);
            if ((flags & ARRAY_ZERO_FILL) && elements > max_elements)
                std::memset(static_cast<void *>(data + max_elements), 0, size_t(elements - max_elements) * sizeof(T));
        } else {
            mem_free(raw_data);
            raw_data = nullptr;
            data = nullptr;
        }
    } else {
        ARRAY_ASSERT(cur_elements == 0 && max_elements == 0);
        size_t bytes;
        if (!mem_mul_size(elements, sizeof(T), &bytes) || bytes > SIZE_MAX - align_bytes) return false;
        void *block = mem_alloc(align_bytes + bytes - 1);
        if (!block) return false;
        raw_data = block;
        uintptr_t p = reinterpret_cast<uintptr_t>(block);
        p = (p + align_bytes - 1) & ~uintptr_t(align_bytes - 1);
        data = reinterpret_cast<T *>(p);
    }
    max_elements = elements;
    if (cur_elements > elements) cur_elements = elements;
    return true;
}

// Makes an empty array (with an optional initial capacity); null when memory runs out.
template <typename T> array<T> *array_new(uint32_t initial = 0)
{
    array<T> *a = static_cast<array<T> *>(mem_calloc(1, sizeof(array<T>)));
    if (!a) return nullptr;
    a->grow_elements = ARRAY_DEFAULT_GROW;
    if (initial > 0 && !a->prealloc(initial)) {
        mem_free(a);
        return nullptr;
    }
    return a;
}

// Frees the storage and the header. Pointed-to records are the owner's to free.
template <typename T> void array_free(array<T> *a)
{
    if (!a) return;
    mem_free(a->raw_data);
    mem_free(a);
}
