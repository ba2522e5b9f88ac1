// kirvane-cli copy, move, trash and delete as a script sees them: exit status, one stderr line
// per file not done, and conflicts settled by --on-conflict without a prompt.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/core/CliRun.h"

namespace fs = std::filesystem;

namespace {

class CliFileOpsTest : public ::testing::Test {
 protected:
  void SetUp() override { KV_REQUIRE_CLI(); }
  TTempDir Dir;
};

TEST_F(CliFileOpsTest, ConflictsFollowTheOption) {
  struct TCase {
    std::vector<std::string> Option;
    int Status;
    std::string Target, Kept;  // the target's contents, and "a (2).txt"'s
  };
  const TCase cases[] = {
      {{}, 1, "old", ""},
      {{"--on-conflict", "skip"}, 1, "old", ""},
      {{"--on-conflict", "overwrite"}, 0, "new", ""},
      {{"--on-conflict", "keep-both"}, 0, "old", "new"},
  };
  for (const char* command : {"copy", "move"}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(command) + " " + (c.Option.empty() ? "" : c.Option[1]));
      fs::remove_all(Dir.Path() + "src"), fs::remove_all(Dir.Path() + "dst");
      const std::string src = Dir.File("src/a.txt", "new"), other = Dir.File("src/b.txt", "b");
      const std::string dst = Dir.Folder("dst");
      WriteText(dst + "a.txt", "old");
      std::vector<std::string> args = c.Option;
      args.insert(args.begin(), command);
      args.insert(args.end(), {src, other, dst});
      const TCliRun run = RunCli(args);
      EXPECT_EQ(run.Status, c.Status);
      EXPECT_EQ(run.Out, "");
      EXPECT_EQ(run.Err, c.Status ? "kirvane-cli " + std::string(command) + ": " + src + ": 同じ名前のファイルがあります\n" : "");
      EXPECT_EQ(ReadText(dst + "a.txt"), c.Target);
      EXPECT_EQ(ReadText(dst + "b.txt"), "b");
      EXPECT_EQ(fs::exists(dst + "a (2).txt") ? ReadText(dst + "a (2).txt") : "", c.Kept);
      // A moved file is gone from its folder unless it was skipped.
      EXPECT_EQ(fs::exists(src), std::string(command) == "copy" || c.Status == 1);
      EXPECT_EQ(fs::exists(other), std::string(command) == "copy");
    }
  }
}

TEST_F(CliFileOpsTest, DeleteAndTrashReportEachFileNotDone) {
  const std::string a = Dir.File("a"), b = Dir.File("b"), folder = Dir.Folder("sub");
  const std::string forged = Dir.Path() + "x\nkirvane-cli delete: y";  // no such file
  TCliRun run = RunCli({"delete", a, forged, folder});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "kirvane-cli delete: " + Dir.Path() + "x\\nkirvane-cli delete: y: ファイルが見つかりません\n" +
                         "kirvane-cli delete: " + folder + ": フォルダは対象外です\n");
  EXPECT_FALSE(fs::exists(a));
  EXPECT_TRUE(fs::is_directory(folder));

  const std::string data = Dir.Folder("data");
  run = RunCli({"trash", b}, "XDG_DATA_HOME='" + data + "'");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_FALSE(fs::exists(b));
  EXPECT_TRUE(fs::exists(data + "Trash/files/b"));
}

TEST_F(CliFileOpsTest, UsageErrors) {
  const std::string file = Dir.File("a");
  for (const auto& args : std::vector<std::vector<std::string>>{{"copy"},
                                                                {"move", file},
                                                                {"copy", "--on-conflict", "ask", file, Dir.Path()},
                                                                {"copy", file, Dir.Path(), "--on-conflict"},
                                                                {"delete"},
                                                                {"trash", "--bogus", file}}) {
    const TCliRun run = RunCli(args);
    EXPECT_EQ(run.Status, 2) << testing::PrintToString(args);
    EXPECT_TRUE(run.Err.starts_with("usage: ")) << run.Err;
  }
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(RunCli({"delete", "--", "-gone"}).Status, 1);  // after "--" a path may begin with "-"
}

}  // namespace
