#include "platform/Paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(Paths, CleaningIsLexical) {
  const struct {
    const char* In;
    const char* Out;
  } cases[] = {
      {"", ""},
      {"/", "/"},
      {"//", "/"},
      {"/tmp/x/./A", "/tmp/x/A"},
      {"/tmp/x/./A/", "/tmp/x/A/"},
      {"/tmp//x///A", "/tmp/x/A"},
      {"/tmp/x/../y", "/tmp/y"},
      {"/tmp/x/..", "/tmp/"},  // a final ".." or "." names a folder
      {"/tmp/x/.", "/tmp/x/"},
      {"/..", "/"},
      {"/../../a", "/a"},
      {"/a/b/c/../../d/./", "/a/d/"},
      {"/a/f.jpg", "/a/f.jpg"},  // a file stays a file
      {"/a/f.jpg/", "/a/f.jpg/"},
      {"/a/.hidden/..x/...", "/a/.hidden/..x/..."},
      {"/a/\xFF/../\xFE", "/a/\xFE"},  // bytes, not text
      {"a/./b", "a/b"},
      {"./a", "a"},
      {"a/..", "./"},
      {"../a/../../b", "../../b"},
  };
  for (const auto& c : cases) EXPECT_EQ(CleanPath(c.In), c.Out) << c.In;
}

TEST(Paths, RelativePathsAreTakenFromTheCurrentFolder) {
  EXPECT_EQ(AbsolutePath("./A", "/tmp/x"), "/tmp/x/A");
  EXPECT_EQ(AbsolutePath("pics/B", "/tmp/x/"), "/tmp/x/pics/B");
  EXPECT_EQ(AbsolutePath("../y/", "/tmp/x"), "/tmp/y/");
  EXPECT_EQ(AbsolutePath(".", "/tmp/x"), "/tmp/x/");
  EXPECT_EQ(AbsolutePath("/abs/./p", "/tmp/x"), "/abs/p");
  EXPECT_EQ(AbsolutePath("", "/tmp/x"), "");  // nothing typed stays nothing
  char cwd[4096];
  ASSERT_TRUE(getcwd(cwd, sizeof cwd));
  EXPECT_EQ(AbsolutePath("sub/.."), std::string(cwd) + (std::string(cwd) == "/" ? "" : "/"));
}

}  // namespace
