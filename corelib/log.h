#pragma once
// Logging and fault reports.
//
// do_log() carries every diagnostic of the program. A call names a severity
// level and a set of outputs; the line gets the level's prefix and a line feed.
// The message box and the debugger channel both go to standard error here and
// never block; the log file is opened and closed around every message so that
// it is complete up to the last line even when the process dies right after.

#include <cstdint>

enum {
    LOG_DEBUG = 1,
    LOG_INFO = 2,
    LOG_WARNING = 3,
    LOG_CRITICAL = 4,
};

enum {
    LOG_TO_MSGBOX = 1,
    LOG_TO_DEBUGGER = 2,
    LOG_TO_FILE = 4,
    LOG_TO_ALL = 7,
};

// Room for the formatted message (a message must stay below this many characters).
#define LOG_MESSAGE_MAX 10000
// Room for the prefixed line.
#define LOG_LINE_MAX 10100

// The exit status of a process ended by a fault report.
#define LOG_FAULT_EXIT_STATUS 3

int do_log(int level, uint8_t outputs, const char *format, ...) __attribute__((format(printf, 3, 4)));

// Text from outside (names and paths out of data files, settings, the command
// line) is quoted in messages through log_quote(), so that no such text can
// push a message past LOG_MESSAGE_MAX: at most LOG_QUOTE_MAX bytes of it,
// cut at a character boundary of UTF-8 text and marked by LOG_QUOTE_CUT when
// cut. Use it within the call: do_log(..., "\"%s\"", log_quote(name).text).
#define LOG_QUOTE_MAX 300
#define LOG_QUOTE_CUT "...(cut)"
struct log_quoted {
    char text[LOG_QUOTE_MAX + sizeof(LOG_QUOTE_CUT)];
};
// A null text quotes as "(null)".
log_quoted log_quote(const char *text);

bool log_file_set(const char *path);
bool log_file_is_set();
const char *log_file_get();
int log_file_truncate();

// Fault reports: log at critical level to every output, then end the process
// at once with status 3 (no clean-up, no return).
[[noreturn]] void log_fault_assert(const char *func, const char *file, int line, const char *expr);
[[noreturn]] void log_fault_bug(const char *func, const char *file, int line);
// The third form: a quoted reason ("%s() at file \"%s\", line %i: %s!").
[[noreturn]] void log_fault_reason(const char *func, const char *file, int line, const char *reason);

// Ends the process as a fault report does, without logging.
[[noreturn]] void log_abort();

#define ASSERT(expr) \
    do { \
        if (!(expr)) log_fault_assert(__func__, __FILE__, __LINE__, #expr); \
    } while (0)

#define BUG() log_fault_bug(__func__, __FILE__, __LINE__)
