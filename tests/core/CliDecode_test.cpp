// kirvane-cli decode -o: the PNG replaces the output file only when it has been written whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/core/CliRun.h"
#include "tests/core/JpegTestBytes.h"

namespace {

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(CliDecode, AFailedWriteLeavesTheEarlierFileAndNothingElse) {
  KV_REQUIRE_CLI();
  TTempDir in, out;
  const std::string jpeg = in.Path() + "colour.jpg", png = out.Path() + "out.png";
  WriteBytes(jpeg, TestJpeg("baseline-q75.jpg"));
  TCliRun run = RunCli({"decode", jpeg, "-o", png});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "48x32\n");
  const std::vector<uint8_t> written = ReadBytes(png);
  ASSERT_GT(written.size(), 2048u);
  EXPECT_EQ(std::string(written.begin() + 1, written.begin() + 4), "PNG");

  // A file-size limit of one block (512 bytes or 1 KiB, by shell) makes the write fail as a full
  // disk would; with SIGXFSZ ignored the write returns an error instead of ending the process.
  WriteText(png, "earlier");
  run = RunCli({"decode", jpeg, "-o", png}, "ulimit -f 1; trap '' XFSZ;");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("File too large"), std::string::npos) << run.Err;
  const std::vector<uint8_t> kept = ReadBytes(png);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "earlier");
  EXPECT_EQ(FolderNames(out.Path()), std::vector<std::string>{"out.png"});
}

// Metafiles are drawn with Qt's painter: the tool makes its own offscreen QGuiApplication.
TEST(CliDecode, MetafilesAreDrawn) {
  KV_REQUIRE_CLI();
  TTempDir dir;
  const std::string wmf = dir.Path() + "square.wmf", png = dir.Path() + "square.png";
  WriteBytes(wmf, {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 96, 0, 96, 0, 96, 0, 0, 0, 0, 0, 0, 0,  // 96 x 96 at 96 dpi
                  1, 0, 9, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                         // header
                  7, 0, 0, 0, 0x1B, 0x04, 60, 0, 60, 0, 10, 0, 10, 0,                           // a rectangle
                  3, 0, 0, 0, 0, 0});
  const TCliRun run = RunCli({"decode", wmf, "-o", png});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Out, "96x96\n");
  EXPECT_EQ(run.Err, "");
  EXPECT_GT(ReadBytes(png).size(), 100u);
}

}  // namespace
