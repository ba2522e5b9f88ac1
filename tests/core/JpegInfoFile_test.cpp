// The JPEG check on files: what cannot be read, reading in windows, files changing while they are
// read, offsets beyond 4 GiB, and several threads at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <thread>

#include "jpeg/ZmJpegInfo.h"
#include "jpeg/ZmJpegStream.h"
#include "tests/core/JpegTestBytes.h"

namespace {

TZmJpegInfo AnalyzeFile(const std::string& path) {
  TZmJpegInfo info;
  AnalyzeJpegFile(path, info);
  return info;
}

std::string Store(TTempDir& dir, const std::string& name, const TBytes& bytes) {
  const std::string path = dir.Path() + name;
  WriteBytes(path, bytes);
  return path;
}

TEST(JpegInfoFile, FilesThatCannotBeChecked) {
  TTempDir dir;
  const std::string folder = dir.Folder("sub");
  const std::string empty = Store(dir, "empty.jpg", {});
  const std::string plain = Store(dir, "plain.jpg", MinimalJpeg());
  const std::string fifo = dir.Path() + "pipe.jpg";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string dangling = dir.Path() + "dangling.jpg";
  ASSERT_EQ(symlink((dir.Path() + "gone.jpg").c_str(), dangling.c_str()), 0);
  const std::string link = dir.Path() + "link.jpg";
  ASSERT_EQ(symlink(plain.c_str(), link.c_str()), 0);

  struct {
    std::string Path;
    TZmJpegResult Code;
  } const cases[] = {
      {dir.Path() + "missing.jpg", jrFileNotFound},
      {"", jrFileNotFound},
      {folder, jrFileNotFound},                 // a folder is not an existing file
      {plain + "/inside.jpg", jrFileNotFound},  // a file used as a folder
      {dangling, jrFileNotFound},
      {empty, jrEmptyFile},
      {fifo, jrCannotOpen},  // must not wait for a writer
      {"/dev/null", jrCannotOpen},
      {plain, jrNoError},
      {link, jrNoError},
  };
  for (const auto& c : cases) EXPECT_EQ(AnalyzeFile(c.Path).Result, c.Code) << c.Path;
}

TEST(JpegInfoFile, FileAnalysisMatchesTheBytesForEveryFewCuts) {
  TTempDir dir;
  const TBytes file = Concat(TestJpeg("progressive-restart-q90.jpg"), {1, 2, 3});
  ASSERT_GT(file.size(), 1000u);
  for (size_t cut = 0; cut <= file.size(); cut += (cut < 40 || cut + 40 > file.size()) ? 1 : 7) {
    const TBytes part = Cut(file, cut);
    const std::string path = Store(dir, "cut.jpg", part);
    EXPECT_EQ(Summary(AnalyzeFile(path)), Summary(AnalyzeBytes(part))) << "cut at " << cut;
  }
}

TEST(JpegInfoFile, FileStreamWindowsOfAnySize) {
  TTempDir dir;
  const TBytes thumb = TestJpeg("gray-q75.jpg");
  const TBytes file = Concat(
      TJpegBuilder().Soi().Exif(thumb).Segment(0xFE, {'c'}).Raw(TBytes(thumb.begin() + 2, thumb.end())).Bytes,
      TBytes(100, 0xFF));
  const std::string path = Store(dir, "exif.jpg", file);
  const TZmJpegInfo expected = AnalyzeBytes(file);
  ASSERT_EQ(Summary(expected), "result 1 completed soi 1 eoi 1 end " + std::to_string(file.size() - 100) +
                                   "+100 sof 0 48x32 quality 75/75 gray jfif 1.1 thumb 0x0 exif comment [c]");
  for (const size_t bufferSize : {1, 2, 7, 64, 4096}) {
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::vector<uint8_t> buffer(bufferSize);
    TZmJpegFileStream stream(fd, file.size(), buffer.data(), buffer.size());
    TZmJpegInfo info;
    EXPECT_TRUE(AnalyzeJpegStream(stream, info));
    info.Result = expected.Result;
    EXPECT_EQ(Summary(info), Summary(expected)) << "buffer " << bufferSize;
    close(fd);
  }
}

TEST(JpegInfoFile, FileThatShrinksWhileReadEndsWhereItsDataEnds) {
  TTempDir dir;
  const TBytes good = TestJpeg("gray-q75.jpg");
  const TBytes part = Cut(good, good.size() - 100);  // the scan data ends early
  const std::string path = Store(dir, "short.jpg", part);
  const int fd = open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  std::vector<uint8_t> buffer(64);
  // The size taken before the file was cut.
  TZmJpegFileStream stream(fd, good.size(), buffer.data(), buffer.size());
  TZmJpegInfo info;
  EXPECT_TRUE(AnalyzeJpegStream(stream, info));
  EXPECT_EQ(stream.Size(), part.size());
  EXPECT_FALSE(info.Completed);
  EXPECT_EQ(info.EoiCount, 0);
  close(fd);
}

// A stream of 5 GiB and a little, mostly zeros, that costs no memory: a start-of-image marker
// and a comment, zeros, then an end-of-image marker beyond 4 GiB and three appended bytes.
class THugeStream : public TZmJpegStream {
 public:
  static constexpr uint64_t EoiAt = (uint64_t(5) << 30) + 17;
  THugeStream() : TZmJpegStream(EoiAt + 5), Zeros_(new uint8_t[ZeroWindow]()) {}

 protected:
  bool Load(uint64_t pos) override {
    static const uint8_t head[] = {0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x04, 'h', 'i'};
    static const uint8_t tail[] = {0xFF, 0xD9, 0, 0, 0};
    if (pos < sizeof head) {
      Set(head, 0, sizeof head);
    } else if (pos >= EoiAt) {
      Set(tail, EoiAt, sizeof tail);
    } else {
      Set(Zeros_.get(), pos, size_t(std::min<uint64_t>(ZeroWindow, EoiAt - pos)));
    }
    return true;
  }

 private:
  static constexpr size_t ZeroWindow = 32u << 20;
  void Set(const uint8_t* p, uint64_t start, size_t len) {
    Win_ = p;
    WinStart_ = start;
    WinLen_ = len;
  }
  std::unique_ptr<uint8_t[]> Zeros_;
};

TEST(JpegInfoFile, OffsetsBeyond4GiB) {
  THugeStream stream;
  TZmJpegInfo info;
  ASSERT_TRUE(AnalyzeJpegStream(stream, info));
  EXPECT_TRUE(info.Completed);
  EXPECT_EQ(info.Comment, "hi");
  EXPECT_EQ(info.DataEnd, int64_t(THugeStream::EoiAt + 2));
  EXPECT_EQ(info.AddBinarySize, 3);
}

TEST(JpegInfoFile, ThreadsCheckFilesAtTheSameTime) {
  TTempDir dir;
  const std::string gray = Store(dir, "gray.jpg", TestJpeg("gray-q75.jpg"));
  const std::string cut = Store(dir, "cut.jpg", Cut(TestJpeg("baseline-q75.jpg"), 700));
  int bad[2] = {0, 0};
  auto worker = [&](int index, const std::string& path, TZmJpegResult code) {
    for (int i = 0; i < 200; ++i) bad[index] += AnalyzeFile(path).Result != code;
  };
  std::thread a(worker, 0, gray, jrNoError), b(worker, 1, cut, jrDamaged);
  a.join();
  b.join();
  EXPECT_EQ(bad[0] + bad[1], 0);
}

}  // namespace
