#include "files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "log.h"
#include "mem.h"

std::string file_native_path(const char *path)
{
    std::string p = path ? path : "";
    for (char &c : p)
        if (c == '\\') c = '/';
    return p;
}

bool file_exists(const char *path)
{
    struct stat st;
    return stat(file_native_path(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string file_executable_dir()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) return "./";
    buf[n] = 0;
    std::string p(buf);
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string("./") : p.substr(0, slash + 1);
}

bool load_file_to_buffer(const char *path, void **block, size_t *size)
{
    std::string native = file_native_path(path);
    int fd = open(native.c_str(), O_RDONLY);
    if (fd < 0) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s: _open(%s) FAILED: %s!\n", "load_file_to_buffer",
               log_quote(path).text, strerror(errno));
        return false;
    }
    struct stat st;
    const char *why = nullptr;
    if (fstat(fd, &st) != 0)
        why = strerror(errno);
    else if (S_ISDIR(st.st_mode))
        why = strerror(EISDIR);
    else if (!S_ISREG(st.st_mode))
        why = "not a regular file";
    if (why) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "load_file(): _filelength(%s) FAILED: %s!\n",
               log_quote(path).text, why);
        close(fd);
        return false;
    }
    size_t length = size_t(st.st_size);
    void *data = mem_alloc(length);
    if (!data) {
        do_log(LOG_WARNING, LOG_TO_ALL, "load_file(): malloc() FAILED: %s!", strerror(errno));
        close(fd);
        return false;
    }
    size_t got = 0;
    while (got < length) {
        ssize_t r = read(fd, static_cast<char *>(data) + got, length - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += size_t(r);
    }
    if (got != length) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "load_file(): _read(%s) FAILED: %s!\n", log_quote(path).text,
               errno ? strerror(errno) : "short read");
        mem_free(data);
        close(fd);
        return false;
    }
    close(fd);
    *block = data;
    *size = length;
    return true;
}

bool load_text_file(const char *path, text_buffer *buffer)
{
    void *block;
    size_t size;
    if (!load_file_to_buffer(path, &block, &size)) return false;
    bool ok = size < UINT32_MAX && memchr(block, 0, size) == nullptr &&
              text_buffer_assign(buffer, static_cast<const char *>(block), uint32_t(size));
    mem_free(block);
    return ok;
}
