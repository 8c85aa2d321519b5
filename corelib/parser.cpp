#include "parser.h"

#include <cstring>
#include <regex.h>
#include <strings.h>

#include "log.h"
#include "mem.h"

enum {
    PARSER_RE_LINE_BREAK,
    PARSER_RE_SEPARATOR,
    PARSER_RE_KEY,
    PARSER_RE_STRING,
    PARSER_RE_INTEGER,
    PARSER_RE_BOOLEAN,
    PARSER_RE_FLOAT,
    PARSER_RE_COUNT
};

static const char *const PARSER_PATTERNS[PARSER_RE_COUNT] = {
    "\r\n",
    "[=\t ]\\+",
    "[#A-Za-z0-9_]\\+",
    "\"[^\"]\\+\"",
    "[-+]\\?[0-9]\\+",
    "\\(true\\)\\|\\(false\\)",
    "[-+]\\?[0-9]\\+\\.\\?[0-9]\\+",
};

static regex_t parser_re[PARSER_RE_COUNT];
static bool parser_inited = false;

bool parser_init()
{
    ASSERT(!parser_inited);
    for (int i = 0; i < PARSER_RE_COUNT; i++) {
        if (regcomp(&parser_re[i], PARSER_PATTERNS[i], 0) != 0) {
            while (--i >= 0) regfree(&parser_re[i]);
            return false;
        }
    }
    parser_inited = true;
    return true;
}

void parser_deinit()
{
    ASSERT(parser_inited);
    for (int i = 0; i < PARSER_RE_COUNT; i++) regfree(&parser_re[i]);
    parser_inited = false;
}

bool parser_is_inited() { return parser_inited; }

// First match of pattern at or after `from`; its [start, end) in text.
static bool __parser_search(int pattern, const char *text, size_t from, size_t *start, size_t *end)
{
    regmatch_t m;
    if (regexec(&parser_re[pattern], text + from, 1, &m, from > 0 ? REG_NOTBOL : 0) != 0) return false;
    if (m.rm_so < 0 || m.rm_eo <= m.rm_so) return false;
    *start = from + size_t(m.rm_so);
    *end = from + size_t(m.rm_eo);
    return true;
}

bool parser_next_line(const char *text, uint32_t position, uint32_t *start, uint32_t *end)
{
    size_t length = strlen(text);
    if (position >= length) return false;
    size_t s, e;
    *start = position;
    *end = __parser_search(PARSER_RE_LINE_BREAK, text, position, &s, &e) ? uint32_t(e) : uint32_t(length);
    return true;
}

parser_line *parser_line_new()
{
    parser_line *record = static_cast<parser_line *>(mem_calloc(1, sizeof(parser_line)));
    if (record) dlist_init(&record->link);
    return record;
}

void parser_line_free(parser_line *record)
{
    if (!record) return;
    mem_free(record->key);
    mem_free(record->value1);
    mem_free(record->value2);
    mem_free(record);
}

void parser_line_list_free(dlist *head)
{
    while (!dlist_is_empty(head)) {
        dlist *node = head->next;
        dlist_unlink(node);
        parser_line_free(dlist_entry<parser_line>(node));
    }
}

parser_line *parser_line_find(dlist *head, const char *key, parser_line *after)
{
    for (dlist *pos = after ? after->link.next : head->next; pos != head; pos = pos->next) {
        parser_line *record = dlist_entry<parser_line>(pos);
        if (record->key && strcmp(record->key, key) == 0) return record;
    }
    return nullptr;
}

static int __parser_value_pattern(int32_t type)
{
    switch (type) {
    case PARSER_VALUE_STRING: return PARSER_RE_STRING;
    case PARSER_VALUE_INTEGER: return PARSER_RE_INTEGER;
    case PARSER_VALUE_FLOAT: return PARSER_RE_FLOAT;
    case PARSER_VALUE_BOOLEAN: return PARSER_RE_BOOLEAN;
    default: BUG();
    }
}

// Separator then a value of the given type, searched from *position; the value
// text (strings without their quotes) goes to *out. False on any failure.
static bool __parser_take_value(const char *line, size_t *position, int32_t type, char **out)
{
    size_t s, e;
    if (!__parser_search(PARSER_RE_SEPARATOR, line, *position, &s, &e)) return false;
    int pattern = __parser_value_pattern(type);
    if (!__parser_search(pattern, line, e, &s, &e)) return false;
    *position = e;
    if (type == PARSER_VALUE_STRING) {
        s += 1;
        e -= 1;
    }
    *out = mem_strndup(line + s, e - s);
    return *out != nullptr;
}

int parser_process_line(parser_line *record, const parser_key *key_table, uint32_t key_count, const char *line)
{
    ASSERT(parser_inited);
    size_t s, e;
    if (!__parser_search(PARSER_RE_KEY, line, 0, &s, &e)) return PARSER_LINE_UNKNOWN;
    // The key is the first (match length) characters: it has to start in the first column.
    size_t key_length = e - s;
    mem_free(record->key);
    record->key = mem_strndup(line, key_length);
    if (!record->key) return PARSER_LINE_ERROR;

    const parser_key *entry = nullptr;
    for (uint32_t i = 0; i < key_count && !entry; i++)
        if (strcasecmp(key_table[i].name, record->key) == 0) entry = &key_table[i];
    if (!entry) return PARSER_LINE_UNKNOWN;

    mem_free(record->value1);
    mem_free(record->value2);
    record->value1 = record->value2 = nullptr;
    if (entry->value_count == 0) return PARSER_LINE_PARSED;

    size_t position = key_length;
    if (!__parser_take_value(line, &position, entry->type1, &record->value1)) return PARSER_LINE_ERROR;
    if (entry->value_count == 1) return PARSER_LINE_PARSED;
    if (!__parser_take_value(line, &position, entry->type2, &record->value2)) return PARSER_LINE_ERROR;
    return PARSER_LINE_PARSED;
}
