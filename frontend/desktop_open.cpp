#include "desktop_open.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "corelib/log.h"

extern char **environ;

#define DESKTOP_DEFAULT_OPENER "xdg-open"

static std::string desktop_opener = DESKTOP_DEFAULT_OPENER;

void desktop_set_opener(const char *program)
{
    desktop_opener = program && *program ? program : DESKTOP_DEFAULT_OPENER;
}

std::string desktop_find_opener()
{
    if (desktop_opener.find('/') != std::string::npos)
        return access(desktop_opener.c_str(), X_OK) == 0 ? desktop_opener : std::string();
    const char *path = getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = end > start ? dirs.substr(start, end - start) : std::string(".");
        candidate.append(1, '/').append(desktop_opener);
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::string();
}

bool desktop_open(const char *address)
{
    if (!address || !*address) return false;
    std::string opener = desktop_find_opener();
    if (opener.empty()) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "desktop: no \"%s\" to open %s", desktop_opener.c_str(),
               address);
        return false;
    }
    // The shell starts the opener in the background and ends at once, so the
    // game waits only for the shell and leaves no child behind. The address
    // is an argument, never part of the command text.
    const char *script = "\"$0\" \"$1\" </dev/null >/dev/null 2>&1 &";
    char *argv[] = {const_cast<char *>("sh"),           const_cast<char *>("-c"),    const_cast<char *>(script),
                    const_cast<char *>(opener.c_str()), const_cast<char *>(address), nullptr};
    pid_t pid;
    int err = posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ);
    if (err != 0) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "desktop: cannot start %s for %s: %s", opener.c_str(),
               address, strerror(err));
        return false;
    }
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    do_log(LOG_INFO, LOG_TO_FILE, "desktop: %s %s", opener.c_str(), address);
    return true;
}
