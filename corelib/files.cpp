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

static bool __read_failed(file_read_failure *failure, file_read_step step, int error, const char *reason)
{
    failure->step = step;
    failure->error = error;
    failure->reason = reason ? reason : (error ? strerror(error) : "unknown error");
    return false;
}

int file_open_regular(const char *path, uint64_t max_size, uint64_t *length, file_read_failure *failure)
{
    std::string native = file_native_path(path);
    int fd = open(native.c_str(), O_RDONLY);
    if (fd < 0) {
        __read_failed(failure, FILE_READ_OPEN, errno, nullptr);
        return -1;
    }
    struct stat st;
    int error = 0;
    const char *why = nullptr;
    if (fstat(fd, &st) != 0)
        error = errno;
    else if (S_ISDIR(st.st_mode))
        error = EISDIR;
    else if (!S_ISREG(st.st_mode))
        why = "not a regular file";
    else if (uint64_t(st.st_size) > max_size || uint64_t(st.st_size) >= SIZE_MAX)
        why = "file too large";
    if (error || why) {
        close(fd);
        __read_failed(failure, FILE_READ_LENGTH, error, why);
        return -1;
    }
    *length = uint64_t(st.st_size);
    return fd;
}

bool file_read_exact(int fd, void *dst, size_t n, file_read_failure *failure)
{
    uint8_t *out = static_cast<uint8_t *>(dst);
    size_t got = 0;
    while (got < n) {
        ssize_t r = read(fd, out + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return __read_failed(failure, FILE_READ_READ, errno, nullptr);
        if (r == 0) return __read_failed(failure, FILE_READ_READ, 0, "unexpected end of file");
        got += size_t(r);
    }
    return true;
}

bool file_read_whole(const char *path, uint64_t max_size, void **block, size_t *size, file_read_failure *failure)
{
    uint64_t length64 = 0;
    int fd = file_open_regular(path, max_size, &length64, failure);
    if (fd < 0) return false;
    size_t length = size_t(length64);
    // One byte at least, so that an empty file still yields a block to free.
    uint8_t *data = static_cast<uint8_t *>(mem_alloc(length ? length : 1));
    if (!data) {
        close(fd);
        return __read_failed(failure, FILE_READ_MEMORY, ENOMEM, nullptr);
    }
    bool ok = file_read_exact(fd, data, length, failure);
    close(fd);
    if (!ok) {
        mem_free(data);
        return false;
    }
    *block = data;
    *size = length;
    return true;
}

bool load_file_to_buffer(const char *path, void **block, size_t *size)
{
    file_read_failure why;
    if (file_read_whole(path, UINT64_MAX, block, size, &why)) return true;
    switch (why.step) {
    case FILE_READ_OPEN:
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "%s: _open(%s) FAILED: %s!\n", "load_file_to_buffer",
               log_quote(path).text, why.reason);
        break;
    case FILE_READ_LENGTH:
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "load_file(): _filelength(%s) FAILED: %s!\n",
               log_quote(path).text, why.reason);
        break;
    case FILE_READ_MEMORY: do_log(LOG_WARNING, LOG_TO_ALL, "load_file(): malloc() FAILED: %s!", why.reason); break;
    case FILE_READ_READ:
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "load_file(): _read(%s) FAILED: %s!\n", log_quote(path).text,
               why.reason);
        break;
    }
    return false;
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
               log_quote(path).text, strerror(errno));
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
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE,
               "file_write_atomic(): %s of %s failed: %s; the file is unchanged", step, log_quote(path).text,
               strerror(saved));
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
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "file_read_head(): cannot open %s: %s",
                   log_quote(path).text, strerror(saved));
        errno = saved;
        return false;
    }
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int saved = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "file_read_head(): %s is not a regular file",
               log_quote(path).text);
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
            do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "file_read_head(): reading %s failed: %s",
                   log_quote(path).text, strerror(saved));
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
