#pragma once
// Settings line parser: turns one "key = value [value]" line of free text (the
// user properties artists type into the modelling tool) into a record of texts,
// checking each value against the type the caller's key table expects.

#include <cstdint>

#include "dlist.h"

enum {
    PARSER_VALUE_STRING = 1,  // non-empty text in double quotes, stored without them
    PARSER_VALUE_INTEGER = 2, // [-+]?[0-9]+
    PARSER_VALUE_FLOAT = 3,   // [-+]?[0-9]+.?[0-9]+ (at least two digits)
    PARSER_VALUE_BOOLEAN = 4, // true or false, lower case
};

// One accepted key: its name (compared without regard to case), how many values
// follow it (0, 1 or 2) and their types.
struct parser_key {
    const char *name;
    int32_t value_count;
    int32_t type1;
    int32_t type2;
};

// A parsed line; can be linked into a list of parsed lines.
struct parser_line {
    dlist link;
    char *key;
    char *value1;
    char *value2;
};

enum {
    PARSER_LINE_ERROR = -1,
    PARSER_LINE_UNKNOWN = 0,
    PARSER_LINE_PARSED = 1,
};

bool parser_init();
void parser_deinit();
bool parser_is_inited();

// The line that starts at position: [start, end) including its carriage-return
// line-feed pair. False when position is at or past the end of the text.
bool parser_next_line(const char *text, uint32_t position, uint32_t *start, uint32_t *end);

parser_line *parser_line_new();
void parser_line_free(parser_line *record);
// Frees every record of a list (and leaves the head empty).
void parser_line_list_free(dlist *head);
// The first record after `after` (or from the start when null) with this key.
parser_line *parser_line_find(dlist *head, const char *key, parser_line *after);

// PARSER_LINE_PARSED, PARSER_LINE_UNKNOWN (not a known key) or PARSER_LINE_ERROR
// (a known key with a missing separator or a value of the wrong type).
int parser_process_line(parser_line *record, const parser_key *key_table, uint32_t key_count, const char *line);
