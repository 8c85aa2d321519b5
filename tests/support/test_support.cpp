#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

std::string test_make_temp_dir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "vorn-test-XXXXXX").string();
    char *made = mkdtemp(tmpl.data());
    if (!made) std::abort();
    return tmpl;
}

void test_remove_tree(const std::string &path)
{
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

void test_write_file(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string test_read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool test_file_exists(const std::string &path) { return std::filesystem::exists(path); }

// The test main: death tests re-execute the test binary instead of forking a
// process that may already run threads.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}

test_run_result test_run(const std::string &command)
{
    test_run_result r{-1, "", ""};
    std::string err = (std::filesystem::temp_directory_path() / "vorn-test-err-XXXXXX").string();
    int fd = mkstemp(err.data());
    if (fd < 0) return r;
    close(fd);
    FILE *p = popen(("(" + command + ") 2>'" + err + "'").c_str(), "r");
    if (p) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
        int st = pclose(p);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    r.err = test_read_file(err);
    std::remove(err.c_str());
    return r;
}
