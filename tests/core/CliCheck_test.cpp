// kirvane-cli check as a script sees it: its lines, the details, folder arguments and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "platform/FileSystem.h"
#include "tests/core/JpegTestBytes.h"

namespace {

struct TRun {
  int Status;
  std::string Out;
};

// Runs the tool built beside this test; arguments are quoted for the shell as they are.
TRun Check(const std::vector<std::string>& args, const std::string& redirect = "") {
  std::string cmd = "'" + ExecutableFolder() + "kirvane-cli' check";
  for (const std::string& a : args) cmd += " '" + a + "'";
  cmd += redirect.empty() ? " 2>/dev/null" : redirect;
  TRun run{-1, ""};
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return run;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) run.Out.append(buf, n);
  const int status = pclose(p);
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class CliCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FileExists(ExecutableFolder() + "kirvane-cli")) GTEST_SKIP() << "kirvane-cli is not built here";
  }
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
  const TRun run = Check({ok, cut, missing});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, "0\tなし\t" + ok + "\n2\tJPEGファイルが破損しています\t" + cut + "\n4\tファイルが存在しません\t" +
                         missing + "\n3 files, 2 errors\n");
  for (const auto& usage : std::vector<std::vector<std::string>>{{}, {"--details"}, {"--bogus", ok}}) {
    const TRun u = Check(usage);
    EXPECT_EQ(u.Status, 2);
    EXPECT_EQ(u.Out, "");
  }
  EXPECT_EQ(Check({"--", "-x.jpg"}).Status, 1);  // a path after "--" may begin with "-"
  EXPECT_EQ(Check({ok}, " >/dev/full 2>/dev/null").Status, 2);  // lost output is no verdict
}

TEST_F(CliCheckTest, DetailsCarryTheHeaderFacts) {
  TBytes mac(128, 0);
  const std::string plain = Store("a.jpg", Gray), appended = Store("b.jpg", Concat(Gray, TBytes(10, 1)));
  const std::string macBinary = Store("c.jpg", Concat(mac, Gray));
  const std::string exif = Store("d.jpg", TJpegBuilder().Soi().Exif(MinimalJpeg()).Dqt(4).Sof(2, 3, 5).Eoi().Bytes);
  const TRun run = Check({"--details", plain, appended, macBinary, exif});
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
  TRun run = Check({single, folder, single});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, line("0", "c.png") + line("0", "a.jpeg") + line("0", "b.JPG") + line("0", "x.jfif") +
                         line("7", "z.jpg") + line("0", "c.png") + "6 files, 1 errors\n");
  run = Check({"--recursive", "--hidden", folder});
  EXPECT_EQ(run.Out.find(line("0", ".hidden.jpg")) != std::string::npos, true) << run.Out;
  EXPECT_EQ(run.Out.find(line("0", "sub/d.jpe")) != std::string::npos, true) << run.Out;
  EXPECT_EQ(run.Out.substr(run.Out.rfind('\n', run.Out.size() - 2) + 1), "6 files, 1 errors\n");
  EXPECT_EQ(Check({Dir.Folder("empty")}).Out, "0 files, 0 errors\n");
}

}  // namespace
