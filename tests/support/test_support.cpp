#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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
