// kirvane-cli list as a script sees it: escaped records, -0, the order under the C locale, and
// the exit status when something cannot be read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/core/CliRun.h"

namespace {

std::vector<std::string> Split(const std::string& s, char end) {
  std::vector<std::string> parts;
  for (size_t start = 0, stop; start < s.size(); start = stop + 1) {
    stop = s.find(end, start);
    if (stop == std::string::npos) stop = s.size();
    parts.push_back(s.substr(start, stop - start));
  }
  return parts;
}

// The path field of a record: between the first tab and the fourth tab from the end.
std::string PathOf(const std::string& record) {
  size_t end = record.size();
  for (int i = 0; i < 4; ++i) end = record.rfind('\t', end - 1);
  const size_t start = record.find('\t') + 1;
  return record.substr(start, end - start);
}

class CliListTest : public ::testing::Test {
 protected:
  void SetUp() override { KV_REQUIRE_CLI(); }
  TTempDir Dir;
};

TEST_F(CliListTest, NoNameCanForgeARecordOrAField) {
  const std::string forged = "evil.jpg\n0\t4\tJPEG\t2024-01-01T00:00:00Z\t\ninnocent.jpg";
  const std::string names[] = {"a.jpg", forged, "tab\there.jpg", "\xff\\.jpg"};
  for (const std::string& n : names) Dir.File(n, "x");
  TCliRun run = RunCli({"list", "--ext", "", Dir.Path()});
  EXPECT_EQ(run.Status, 0) << run.Err;
  std::vector<std::string> lines = Split(run.Out, '\n');
  ASSERT_EQ(lines.size(), 5u) << run.Out;
  EXPECT_EQ(lines[4], "4 files, 4 bytes");
  std::vector<std::string> paths;
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), '\t'), 5) << lines[i];
    paths.push_back(PathOf(lines[i]));
  }
  EXPECT_EQ(paths, (std::vector<std::string>{
                       Dir.Path() + "a.jpg",
                       Dir.Path() + "evil.jpg\\n0\\t4\\tJPEG\\t2024-01-01T00:00:00Z\\t\\ninnocent.jpg",
                       Dir.Path() + "tab\\there.jpg", Dir.Path() + "\\xff\\\\.jpg"}));

  // -0: the paths as they are, each record ended by a NUL byte, the summary on stderr.
  run = RunCli({"list", "-0", "--ext", "", Dir.Path()});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Err, "4 files, 4 bytes\n");
  ASSERT_EQ(run.Out.back(), '\0');
  lines = Split(run.Out, '\0');
  ASSERT_EQ(lines.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(PathOf(lines[i]), Dir.Path() + names[i]);
}

TEST_F(CliListTest, TheCLocaleOrdersNamesAsTheWindowDoes) {
  for (const char* n : {"b.jpg", "A.jpg", "a2.jpg", "B2.jpg"}) Dir.File(n);
  for (const char* locale : {"C", "POSIX", "C.UTF-8"}) {
    const TCliRun run = RunCli({"list", Dir.Path()}, std::string("LC_ALL=") + locale);
    std::vector<std::string> names;
    for (const std::string& line : Split(run.Out, '\n'))
      if (line.find('\t') != std::string::npos) names.push_back(PathOf(line).substr(Dir.Path().size()));
    EXPECT_EQ(names, (std::vector<std::string>{"A.jpg", "a2.jpg", "b.jpg", "B2.jpg"})) << locale;
  }
}

TEST_F(CliListTest, WhatCannotBeReadIsAnErrorOfTheRun) {
  Dir.File("a.jpg", "x");
  EXPECT_EQ(RunCli({"list", Dir.Path()}, "", ">/dev/full").Status, 2);  // lost output
  const TCliRun missing = RunCli({"list", Dir.Path() + "none\n"});
  EXPECT_EQ(missing.Status, 2);
  EXPECT_EQ(missing.Err, "kirvane-cli list: " + Dir.Path() + "none\\n is not a folder\n");
  if (geteuid() == 0) GTEST_SKIP() << "running as root, where permission bits do not stop reads";
  const std::string locked = Dir.Folder("locked");
  Dir.File("locked/b.jpg", "x");
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  TCliRun run = RunCli({"list", "--recursive", Dir.Path()});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "kirvane-cli list: cannot read " + locked + ": Permission denied\n");
  EXPECT_NE(run.Out.find(Dir.Path() + "a.jpg\t"), std::string::npos);  // the rest is listed
  run = RunCli({"list", locked});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Out, "0 files, 0 bytes\n");
}

}  // namespace
