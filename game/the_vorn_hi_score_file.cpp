#include "the_vorn_hi_score_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "corelib/files.h"
#include "corelib/log.h"

hs_table *hiscore_table_create()
{
    hs_table *table = array_new<hs_entry>(HS_MAX_ENTRIES + 1);
    return table;
}

void hiscore_table_free(hs_table *table) { array_free(table); }

void hiscore_table_clear(hs_table *table)
{
    if (table) table->cur_elements = 0;
}

uint32_t hiscore_name_length(const hs_entry *entry)
{
    uint32_t n = 0;
    while (n < HS_NAME_MAX + 1 && entry->name[n]) n++;
    return n;
}

void hiscore_name_to_utf8(const hs_entry *entry, char *out, size_t out_size)
{
    if (out_size == 0) return;
    size_t o = 0;
    uint32_t n = hiscore_name_length(entry);
    for (uint32_t i = 0; i < n; i++) {
        uint32_t c = entry->name[i];
        char buf[3];
        size_t len;
        if (c < 0x80) {
            buf[0] = char(c);
            len = 1;
        } else if (c < 0x800) {
            buf[0] = char(0xc0 | (c >> 6));
            buf[1] = char(0x80 | (c & 0x3f));
            len = 2;
        } else {
            buf[0] = char(0xe0 | (c >> 12));
            buf[1] = char(0x80 | ((c >> 6) & 0x3f));
            buf[2] = char(0x80 | (c & 0x3f));
            len = 3;
        }
        if (o + len >= out_size) break;
        memcpy(out + o, buf, len);
        o += len;
    }
    out[o] = 0;
}

int32_t hiscore_table_get_lowest_score(const hs_table *table)
{
    uint32_t n = table->get_size();
    return n == 0 ? 0 : table->get_element(n - 1)->score;
}

bool hiscore_qualifies(const hs_table *table, int32_t score)
{
    if (score <= 0) return false;
    return table->get_size() < HS_MAX_ENTRIES || score > hiscore_table_get_lowest_score(table);
}

int32_t hiscore_table_insert(hs_table *table, const uint16_t *name, int32_t score)
{
    uint32_t n = table->get_size();
    uint32_t at = 0;
    while (at < n && table->get_element(at)->score > score) at++;
    if (at >= HS_MAX_ENTRIES) return -1;
    hs_entry entry = {};
    entry.score = score;
    for (uint32_t i = 0; name && i < HS_NAME_MAX + 1 && name[i]; i++) entry.name[i] = name[i];
    if (n >= HS_MAX_ENTRIES) {
        n = HS_MAX_ENTRIES - 1; // the last entry falls out
        table->cur_elements = n;
    }
    if (!table->add(nullptr)) return -1;
    memmove(static_cast<void *>(&table->data[at + 1]), &table->data[at], (n - at) * sizeof(hs_entry));
    table->data[at] = entry;
    ASSERT(table->get_size() <= HS_MAX_ENTRIES);
    return int32_t(at);
}

void hiscore_table_remove(hs_table *table, uint32_t index)
{
    uint32_t n = table->get_size();
    if (index >= n) return;
    memmove(static_cast<void *>(&table->data[index]), &table->data[index + 1], (n - index - 1) * sizeof(hs_entry));
    table->cur_elements = n - 1;
}

size_t hiscore_table_encode(const hs_table *table, uint8_t *out)
{
    ASSERT(table->get_size() <= HS_MAX_ENTRIES);
    size_t size = 0;
    for (const hs_entry &e : *table) {
        uint8_t *rec = out + size;
        memset(rec, 0, HS_RECORD_SIZE);
        uint32_t n = std::min(hiscore_name_length(&e), uint32_t(HS_NAME_MAX));
        for (uint32_t i = 0; i < n; i++) {
            rec[2 * i] = uint8_t(e.name[i] & 0xff);
            rec[2 * i + 1] = uint8_t(e.name[i] >> 8);
        }
        uint32_t s = uint32_t(e.score);
        for (int b = 0; b < 4; b++) rec[HS_NAME_FIELD_SIZE + b] = uint8_t(s >> (8 * b));
        size += HS_RECORD_SIZE;
    }
    return size;
}

bool hiscore_table_decode(hs_table *table, const uint8_t *bytes, size_t size)
{
    hiscore_table_clear(table);
    bool well_formed = size % HS_RECORD_SIZE == 0 && size <= HS_FILE_SIZE_MAX;
    size_t records = std::min(size / HS_RECORD_SIZE, size_t(HS_MAX_ENTRIES));
    for (size_t r = 0; r < records; r++) {
        const uint8_t *rec = bytes + r * HS_RECORD_SIZE;
        hs_entry e = {};
        uint32_t n = 0;
        for (; n < HS_NAME_FIELD_SIZE / 2; n++) {
            uint16_t c = uint16_t(rec[2 * n] | (rec[2 * n + 1] << 8));
            if (c == 0) break;
            if (n >= HS_NAME_MAX) continue; // past the longest name: counted, not kept
            // Halves of surrogate pairs are no characters of their own.
            e.name[n] = (c >= 0xd800 && c <= 0xdfff) ? uint16_t('?') : c;
        }
        if (n > HS_NAME_MAX) well_formed = false; // no terminator after 14 characters
        e.score =
            int32_t(uint32_t(rec[32]) | uint32_t(rec[33]) << 8 | uint32_t(rec[34]) << 16 | uint32_t(rec[35]) << 24);
        if (!table->add(e)) return false;
    }
    bool sorted = std::is_sorted(table->begin(), table->end(),
                                 [](const hs_entry &a, const hs_entry &b) { return a.score > b.score; });
    if (!sorted) {
        std::stable_sort(table->begin(), table->end(),
                         [](const hs_entry &a, const hs_entry &b) { return a.score > b.score; });
        well_formed = false;
    }
    return well_formed;
}

bool hiscore_table_write(const hs_table *table, const char *path)
{
    uint8_t bytes[HS_FILE_SIZE_MAX];
    size_t size = hiscore_table_encode(table, bytes);
    if (!file_write_atomic(path, bytes, size, 0644)) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "hiscore: the table could not be saved to %s", path);
        return false;
    }
    return true;
}

// Keeps the damaged file as <path>.damaged: a second name for it when the
// file system allows, else the file is moved there.
static void __keep_damaged(const char *path)
{
    std::string native = file_native_path(path);
    std::string damaged = native + HS_DAMAGED_SUFFIX;
    unlink(damaged.c_str());
    if (link(native.c_str(), damaged.c_str()) == 0) return;
    if (rename(native.c_str(), damaged.c_str()) != 0)
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "hiscore: cannot keep the damaged %s as %s: %s", path,
               damaged.c_str(), strerror(errno));
}

hs_read_result hiscore_table_read(hs_table *table, const char *path)
{
    hiscore_table_clear(table);
    uint8_t bytes[HS_FILE_SIZE_MAX];
    size_t size = 0;
    uint64_t total = 0;
    if (!file_read_head(path, bytes, sizeof bytes, &size, &total)) {
        if (errno == ENOENT) {
            do_log(LOG_INFO, LOG_TO_FILE, "hiscore: no %s yet, the table is empty", path);
            return HS_READ_MISSING;
        }
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "hiscore: %s cannot be read, the table is empty", path);
        return HS_READ_FAILED;
    }
    bool well_formed = hiscore_table_decode(table, bytes, size) && total == size;
    if (well_formed) return HS_READ_OK;
    do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
           "hiscore: %s is damaged (%llu bytes); %u entries kept, the original is kept as %s%s", path,
           static_cast<unsigned long long>(total), table->get_size(), path, HS_DAMAGED_SUFFIX);
    __keep_damaged(path);
    hiscore_table_write(table, path);
    return HS_READ_REPAIRED;
}
