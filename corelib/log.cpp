#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "mem.h"

static char *log_file_path = nullptr;

static const char *const LOG_PREFIX_FORMATS[] = {
    nullptr, "[DEBUG]: %s\n", "[INFO]: %s\n", "[WARNING]: %s\n", "[CRITICAL]: %s\n",
};

bool log_file_set(const char *path)
{
    char *copy = mem_strdup(path);
    if (!copy) return false;
    mem_free(log_file_path);
    log_file_path = copy;
    return true;
}

bool log_file_is_set() { return log_file_path != nullptr; }

const char *log_file_get() { return log_file_path; }

int log_file_truncate()
{
    ASSERT(log_file_path != NULL);
    remove(log_file_path);
    FILE *f = fopen(log_file_path, "w");
    if (!f) return 0;
    return fclose(f);
}

static void log_file_append(const char *text)
{
    if (!log_file_path) return;
    FILE *f = fopen(log_file_path, "a");
    if (!f) return;
    fputs(text, f);
    fclose(f);
}

// Both the debugger channel and the message box write to standard error in
// one write() each, so lines from two threads never interleave mid-line.
static void log_to_stderr(const char *text)
{
    size_t n = 0;
    while (text[n]) n++;
    while (n > 0) {
        ssize_t w = write(STDERR_FILENO, text, n);
        if (w <= 0) return;
        text += w;
        n -= size_t(w);
    }
}

int do_log(int level, uint8_t outputs, const char *format, ...)
{
    char message[LOG_MESSAGE_MAX];
    char line[LOG_LINE_MAX];

    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(message, sizeof(message), format, ap);
    va_end(ap);
    if (n < 0 || n >= LOG_MESSAGE_MAX) BUG();

    if (level < LOG_DEBUG || level > LOG_CRITICAL) BUG();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    n = snprintf(line, sizeof(line), LOG_PREFIX_FORMATS[level], message);
#pragma GCC diagnostic pop
    if (n < 0 || n >= LOG_LINE_MAX) BUG();

    // The message box and the debugger channel share standard error: a line
    // bound for both is written once, in the message box's form.
    if (outputs & LOG_TO_MSGBOX) {
        char boxed[LOG_LINE_MAX + 16];
        snprintf(boxed, sizeof(boxed), "!!MESSAGE!! %s", line);
        log_to_stderr(boxed);
    } else if (outputs & LOG_TO_DEBUGGER) {
        log_to_stderr(line);
    }
    if (outputs & LOG_TO_FILE) log_file_append(line);
    return 0;
}

log_quoted log_quote(const char *text)
{
    log_quoted q;
    if (!text) text = "(null)";
    size_t n = 0;
    while (n <= LOG_QUOTE_MAX && text[n]) n++;
    if (n <= LOG_QUOTE_MAX) {
        std::memcpy(q.text, text, n + 1);
        return q;
    }
    // Cut before a continuation byte would be split from its lead byte.
    n = LOG_QUOTE_MAX;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80 && LOG_QUOTE_MAX - n < 3) n--;
    std::memcpy(q.text, text, n);
    std::memcpy(q.text + n, LOG_QUOTE_CUT, sizeof(LOG_QUOTE_CUT));
    return q;
}

void log_abort()
{
#ifdef VORN_FAULTS_ABORT
    // The fuzz build: a fault report is a crash that the fuzzer sees and
    // keeps the input of.
    abort();
#else
    _exit(LOG_FAULT_EXIT_STATUS);
#endif
}

void log_fault_assert(const char *func, const char *file, int line, const char *expr)
{
    do_log(LOG_CRITICAL, LOG_TO_ALL, "%s() BUG at file \"%s\", line %i: assertion %s failed!", func, file, line, expr);
    log_abort();
}

void log_fault_bug(const char *func, const char *file, int line)
{
    do_log(LOG_CRITICAL, LOG_TO_ALL, "%s() BUG at file \"%s\", line %i!", func, file, line);
    log_abort();
}

void log_fault_reason(const char *func, const char *file, int line, const char *reason)
{
    do_log(LOG_CRITICAL, LOG_TO_ALL, "%s() at file \"%s\", line %i: %s!", func, file, line, reason);
    log_abort();
}
