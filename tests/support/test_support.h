#pragma once
// Helpers shared by the test suites: scratch folders and whole-file I/O.

#include <string>

// A fresh, empty folder for one test (removed by the fixture below).
std::string test_make_temp_dir();
void test_remove_tree(const std::string &path);
void test_write_file(const std::string &path, const std::string &bytes);
std::string test_read_file(const std::string &path);
bool test_file_exists(const std::string &path);

// A shell command run to its end: its exit status (-1 when it did not exit),
// what it wrote to standard output and to standard error.
struct test_run_result {
    int status;
    std::string out, err;
};
test_run_result test_run(const std::string &command);

#include <gtest/gtest.h>

// A test fixture with its own scratch folder in dir.
class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = test_make_temp_dir(); }
    void TearDown() override { test_remove_tree(dir); }
    std::string path(const std::string &name) const { return dir + "/" + name; }
    std::string dir;
};
