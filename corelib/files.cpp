#include "files.h"

#include <cerrno>
#include <cstdlib>
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
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s: _open(%s) FAILED: %s!\n", "load_file_to_buffer", path,
               strerror(errno));
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
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "load_file(): _filelength(%s) FAILED: %s!\n", path, why);
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
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "load_file(): _read(%s) FAILED: %s!\n", path,
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

// Writes all bytes, retrying on interruption; false with errno set.
static bool __write_all(int fd, const void *data, size_t size)
{
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t w = write(fd, p, size);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (w == 0) errno = EIO;
            return false;
        }
        p += w;
        size -= size_t(w);
    }
    return true;
}

bool file_write_atomic(const char *path, const void *data, size_t size, unsigned mode)
{
    std::string native = file_native_path(path);
    size_t slash = native.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : native.substr(0, slash + 1);
    std::string temp = native + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "file_write_atomic(): cannot create a file beside %s: %s",
               path, strerror(errno));
        return false;
    }
    const char *step = nullptr;
    if (fchmod(fd, mode_t(mode)) != 0)
        step = "fchmod";
    else if (!__write_all(fd, data, size))
        step = "write";
    else if (fsync(fd) != 0)
        step = "fsync";
    int saved = errno;
    if (close(fd) != 0 && !step) {
        step = "close";
        saved = errno;
    }
    if (!step && rename(temp.c_str(), native.c_str()) != 0) {
        step = "rename";
        saved = errno;
    }
    if (step) {
        unlink(temp.c_str());
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "file_write_atomic(): %s of %s failed: %s; the file is unchanged",
               step, path, strerror(saved));
        return false;
    }
    // The rename itself reaches the disk with the folder.
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

bool file_read_head(const char *path, void *buffer, size_t max, size_t *size, uint64_t *total)
{
    std::string native = file_native_path(path);
    int fd = open(native.c_str(), O_RDONLY);
    if (fd < 0) {
        int saved = errno;
        if (saved != ENOENT)
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "file_read_head(): cannot open %s: %s", path,
                   strerror(saved));
        errno = saved;
        return false;
    }
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int saved = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "file_read_head(): %s is not a regular file", path);
        close(fd);
        errno = saved;
        return false;
    }
    size_t got = 0;
    while (got < max) {
        ssize_t r = read(fd, static_cast<char *>(buffer) + got, max - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            int saved = errno;
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "file_read_head(): reading %s failed: %s", path,
                   strerror(saved));
            close(fd);
            errno = saved;
            return false;
        }
        if (r == 0) break;
        got += size_t(r);
    }
    close(fd);
    *size = got;
    *total = uint64_t(st.st_size);
    return true;
}
