#pragma once
// The hi-score table and its file "vorn.hs".
//
// The table holds at most HS_MAX_ENTRIES entries in descending score order.
// The file has no header: one 36-byte record per entry, in table order, each
// a 32-byte name field (UTF-16LE characters, a 16-bit zero, zeros to the end
// of the field) and a 32-bit little-endian signed score.
//
// Saving replaces the file atomically (a failed save leaves the previous
// table on disk). A damaged file (a length that is not whole records, more
// than ten records, a name without its terminator, scores out of order)
// keeps every entry that could be read: the table is written back repaired
// and the damaged original is kept beside it as "vorn.hs.damaged".

#include <cstddef>
#include <cstdint>

#include "corelib/array.h"

#define HS_MAX_ENTRIES 10
#define HS_NAME_MAX 14 // characters of a stored name
#define HS_RECORD_SIZE 36
#define HS_NAME_FIELD_SIZE 32
#define HS_FILE_SIZE_MAX (HS_MAX_ENTRIES * HS_RECORD_SIZE)
#define HS_FILE_NAME "vorn.hs"
#define HS_DAMAGED_SUFFIX ".damaged"

// One entry: the name as UTF-16 code units, zero-terminated. While the name
// is typed it carries the "_" cursor too, hence the room for one more.
struct hs_entry {
    uint16_t name[HS_NAME_MAX + 2];
    int32_t score;
};

typedef array<hs_entry> hs_table;

hs_table *hiscore_table_create();
void hiscore_table_free(hs_table *table);
void hiscore_table_clear(hs_table *table);

uint32_t hiscore_name_length(const hs_entry *entry);
// The name as UTF-8 (for the text writer and the log).
void hiscore_name_to_utf8(const hs_entry *entry, char *out, size_t out_size);

// The score of the last entry; 0 for an empty table.
int32_t hiscore_table_get_lowest_score(const hs_table *table);
// A score qualifies when it is above 0 and the table has room or the score
// beats its lowest entry (a tie with the lowest of ten does not qualify).
bool hiscore_qualifies(const hs_table *table, int32_t score);
// Inserts the entry above every entry with a lower or equal score and cuts
// the table to HS_MAX_ENTRIES; returns the new entry's index, or -1 when it
// fell off the end (or memory ran out). name may be null (an empty name).
int32_t hiscore_table_insert(hs_table *table, const uint16_t *name, int32_t score);
// Removes the entry at index (out of range: nothing).
void hiscore_table_remove(hs_table *table, uint32_t index);

// The file's bytes for the table: size x 36 bytes into out (HS_FILE_SIZE_MAX
// bytes of room); returns the number of bytes.
size_t hiscore_table_encode(const hs_table *table, uint8_t *out);
// Fills the (emptied) table from a file's bytes; any length and any bytes are
// taken. Returns true when the bytes were a well-formed table.
bool hiscore_table_decode(hs_table *table, const uint8_t *bytes, size_t size);

// Writes the table to the file at path, replacing it atomically; a failure
// is logged (naming the file) and leaves the old file.
bool hiscore_table_write(const hs_table *table, const char *path);

enum hs_read_result {
    HS_READ_OK = 0,       // a well-formed file (an empty file is an empty table)
    HS_READ_MISSING = 1,  // no file: an empty table
    HS_READ_REPAIRED = 2, // damaged: the valid entries kept, written back, the original kept beside
    HS_READ_FAILED = 3,   // the file cannot be read: an empty table, the file left alone
};
// Empties the table and reads the file at path into it.
hs_read_result hiscore_table_read(hs_table *table, const char *path);
