// kirvane-cli check as a script sees it: its lines, the details, folder arguments and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "tests/core/CliRun.h"
#include "tests/core/JpegTestBytes.h"

namespace {

TCliRun Check(std::vector<std::string> args, const std::string& redirect = "") {
  args.insert(args.begin(), "check");
  return RunCli(args, "", redirect);
}

class CliCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { KV_REQUIRE_CLI(); }
  std::string Store(const std::string& name, const TBytes& bytes) {
    WriteBytes(Dir.Path() + name, bytes);
    return Dir.Path() + name;
  }
  const TBytes Gray = TestJpeg("gray-q75.jpg");  // 48x32, one table of IJG quality 75, JFIF 1.1
  TTempDir Dir;
};

TEST_F(CliCheckTest, OneLinePerFileASummaryAndTheExitStatus) {
  const std::string ok = Store("ok.jpg", Gray), png = Store("named.png", Gray), hidden = Store(".h.jpg", Gray);
  const std::string cut = Store("cut.jpg", Cut(Gray, Gray.size() - 20)), missing = Dir.Path() + "none.jpg";
  EXPECT_EQ(Check({ok, png, hidden}).Status, 0);  // files named directly are checked whatever their names
  const TCliRun run = Check({ok, cut, missing});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, "0\tなし\t" + ok + "\n2\tJPEGファイルが破損しています\t" + cut + "\n4\tファイルが存在しません\t" +
                         missing + "\n3 files, 2 errors\n");
  for (const auto& usage : std::vector<std::vector<std::string>>{{}, {"--details"}, {"--bogus", ok}}) {
    const TCliRun u = Check(usage);
    EXPECT_EQ(u.Status, 2);
    EXPECT_EQ(u.Out, "");
  }
  EXPECT_EQ(Check({"--", "-x.jpg"}).Status, 1);  // a path after "--" may begin with "-"
  EXPECT_EQ(Check({ok}, ">/dev/full").Status, 2);  // lost output is no verdict
}

TEST_F(CliCheckTest, DetailsCarryTheHeaderFacts) {
  TBytes mac(128, 0);
  const std::string plain = Store("a.jpg", Gray), appended = Store("b.jpg", Concat(Gray, TBytes(10, 1)));
  const std::string macBinary = Store("c.jpg", Concat(mac, Gray));
  const std::string exif = Store("d.jpg", TJpegBuilder().Soi().Exif(MinimalJpeg()).Dqt(4).Sof(2, 3, 5).Eoi().Bytes);
  const TCliRun run = Check({"--details", plain, appended, macBinary, exif});
  EXPECT_EQ(run.Status, 0);
  const std::string gray = "ベースライン ハフマン圧縮\t48\t32\t75\t75\t";
  EXPECT_EQ(run.Out, "0\tなし\t" + gray + "0\t1\t0\t0\t" + plain + "\n" +
                         "1\tなし(付加バイナリ有り)\t" + gray + "10\t1\t0\t0\t" + appended + "\n" +
                         "0\tなし\t" + gray + "0\t1\t0\t1\t" + macBinary + "\n" +
                         "0\tなし\tプログレッシブ ハフマン圧縮\t5\t3\t" + std::to_string(EstimateQuality(1, 256)) + "\t" +
                         std::to_string(ExactIJGQuality(256)) + "\t0\t0\t1\t0\t" + exif + "\n4 files, 0 errors\n");
}

TEST_F(CliCheckTest, FoldersListTheirJpegFilesByNameInArgumentOrder) {
  for (const char* name : {"b.JPG", "a.jpeg", "x.jfif", "c.png", ".hidden.jpg", "sub/d.jpe"}) Store(name, Gray);
  Store("z.jpg", TBytes(30, 'z'));
  const std::string folder = Dir.Path(), single = folder + "c.png";
  const auto line = [&](const std::string& code, const std::string& name) {
    return code + (code == "0" ? "\tなし\t" : "\tJPEGファイルではありません\t") + folder + name + "\n";
  };
  TCliRun run = Check({single, folder, single});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, line("0", "c.png") + line("0", "a.jpeg") + line("0", "b.JPG") + line("0", "x.jfif") +
                         line("7", "z.jpg") + line("0", "c.png") + "6 files, 1 errors\n");
  run = Check({"--recursive", "--hidden", folder});
  EXPECT_EQ(run.Out.find(line("0", ".hidden.jpg")) != std::string::npos, true) << run.Out;
  EXPECT_EQ(run.Out.find(line("0", "sub/d.jpe")) != std::string::npos, true) << run.Out;
  EXPECT_EQ(run.Out.substr(run.Out.rfind('\n', run.Out.size() - 2) + 1), "6 files, 1 errors\n");
  EXPECT_EQ(Check({Dir.Folder("empty")}).Out, "0 files, 0 errors\n");
}

TEST_F(CliCheckTest, PathsAreEscapedOrNulTerminated) {
  // A damaged file whose name would otherwise add a record claiming a sound file.
  const std::string forged = "evil.jpg\n0\tなし\tinnocent.jpg";
  const std::string path = Store(forged, Cut(Gray, Gray.size() - 20));
  TCliRun run = Check({Dir.Path()});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, "2\tJPEGファイルが破損しています\t" + Dir.Path() +
                         "evil.jpg\\n0\\tなし\\tinnocent.jpg\n" + "1 files, 1 errors\n");
  run = Check({"-0", "--details", path});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "1 files, 1 errors\n");
  ASSERT_EQ(std::count(run.Out.begin(), run.Out.end(), '\0'), 1) << run.Out;
  EXPECT_EQ(run.Out.substr(run.Out.size() - path.size() - 2), "\t" + path + '\0');
  // The path follows the eleventh tab; the fields before it hold none.
  size_t tab = 0;
  for (int i = 0; i < 11; ++i) tab = run.Out.find('\t', tab) + 1;
  EXPECT_EQ(run.Out.substr(tab), path + '\0');
}

TEST_F(CliCheckTest, WhatCannotBeReadIsAnErrorOfTheRun) {
  // A path that no call can open, whoever runs the test: longer than the system takes.
  const std::string tooLong = Dir.Path() + std::string(PATH_MAX, 'x') + ".jpg";
  TCliRun run = Check({tooLong, Store("ok.jpg", Gray)});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Out.substr(0, 2), "5\t");
  EXPECT_EQ(run.Err, "kirvane-cli check: cannot read " + tooLong + ": File name too long\n");
  if (geteuid() == 0) GTEST_SKIP() << "running as root, where permission bits do not stop reads";
  const std::string locked = Dir.Folder("locked"), blocked = Store("blocked.jpg", Gray);
  Store("locked/a.jpg", Gray);
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  ASSERT_EQ(chmod(blocked.c_str(), 0), 0);
  run = Check({locked});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Out, "0 files, 0 errors\n");
  EXPECT_EQ(run.Err, "kirvane-cli check: cannot read " + locked + ": Permission denied\n");
  run = Check({"--recursive", Dir.Path()});  // met in a folder
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "kirvane-cli check: cannot read " + locked + ": Permission denied\n" +
                         "kirvane-cli check: cannot read " + blocked + ": Permission denied\n");
  EXPECT_NE(run.Out.find("5\tファイルを開けません\t" + blocked + "\n"), std::string::npos);
}

}  // namespace
