// Whole-file reads: only regular files are read, nothing ever blocks (FIFOs, sockets, devices,
// a FIFO put in a file's place), and a head check can refuse a file before the rest is read.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "platform/FileSystem.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr uint64_t Unlimited = uint64_t(1) << 40;

void OnAlarm(int) {}

// A path and the one to exchange it with right after the next stat(2) of it.
std::pair<std::string, std::string> SwapAfterStat;

}  // namespace

// Stands in for the C library's stat(2) within this test program (ReadFileBytes makes its type
// check with it), to swap a FIFO in between the check and the open.
extern "C" int stat(const char* __restrict path, struct stat* __restrict st) noexcept {
  const int result = fstatat(AT_FDCWD, path, st, 0);
  if (!SwapAfterStat.first.empty() && SwapAfterStat.first == path) {
    renameat2(AT_FDCWD, path, AT_FDCWD, SwapAfterStat.second.c_str(), RENAME_EXCHANGE);
    SwapAfterStat = {};
  }
  return result;
}

namespace {

// Turns a call that would block into one that fails: SIGALRM without SA_RESTART interrupts a
// blocked open or read with EINTR after `seconds`, so a fault shows as a failed check, not a
// test run that never ends.
class TBlockGuard {
 public:
  explicit TBlockGuard(int seconds) {
    struct sigaction sa {};
    sa.sa_handler = OnAlarm;
    sigaction(SIGALRM, &sa, &Old_);
    itimerval t{};
    t.it_value.tv_sec = seconds;
    setitimer(ITIMER_REAL, &t, nullptr);
  }
  ~TBlockGuard() {
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &Old_, nullptr);
  }

 private:
  struct sigaction Old_ {};
};

TEST(ReadFileBytes, NonRegularFilesAreRefusedWithoutBlocking) {
  TTempDir dir;
  const std::string fifo = dir.Path() + "pipe.jpg", socketPath = dir.Path() + "socket.jpg";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 1), 0);

  for (const std::string& path : {fifo, socketPath, std::string("/dev/zero"), dir.Path()}) {
    SCOPED_TRACE(path);
    TBlockGuard guard(5);
    std::vector<uint8_t> bytes = {1};
    std::string error;
    EXPECT_FALSE(ReadFileBytes(path, Unlimited, bytes, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_TRUE(bytes.empty());
  }
  close(listener);
}

// The worst case of a FIFO put in a file's place, made certain: the type check sees the regular
// file, and the FIFO takes its place right after.
TEST(ReadFileBytes, FifoSwappedInAfterTheCheckCannotBlock) {
  TTempDir dir;
  const std::string path = dir.File("photo.jpg", "picture"), fifo = dir.Path() + "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  SwapAfterStat = {path, fifo};
  TBlockGuard guard(5);
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_FALSE(ReadFileBytes(path, Unlimited, bytes, error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  ASSERT_TRUE(SwapAfterStat.first.empty()) << "ReadFileBytes no longer checks with stat(2); hook its check instead";
}

TEST(ReadFileBytes, HeadCheckSeesTheFirstBytesBeforeTheRestIsRead) {
  TTempDir dir;
  const std::string small = dir.File("small", "tiny file"), large = dir.Path() + "large";
  {
    std::FILE* f = std::fopen(large.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("HEAD", f);
    std::fclose(f);
  }
  const uint64_t largeSize = uint64_t(16) << 20;  // sparse: no disk
  ASSERT_EQ(truncate(large.c_str(), off_t(largeSize)), 0);

  struct TSeen {
    std::string Head;
    uint64_t Size = 0;
  } seen;
  auto check = [&](bool accept) {
    return [&seen, accept](std::span<const uint8_t> head, uint64_t size) {
      seen = {std::string(head.begin(), head.end()), size};
      return accept;
    };
  };
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(ReadFileBytes(small, Unlimited, bytes, error, check(true))) << error;
  EXPECT_EQ(seen.Head, "tiny file");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "tiny file");

  const uint64_t before = BytesReadSoFar();
  EXPECT_FALSE(ReadFileBytes(large, Unlimited, bytes, error, check(false)));
  EXPECT_LT(BytesReadSoFar() - before, uint64_t(64) << 10);
  EXPECT_EQ(seen.Head.size(), FileHeadBytes);
  EXPECT_EQ(seen.Head.substr(0, 4), "HEAD");
  EXPECT_EQ(seen.Size, largeSize);
  EXPECT_TRUE(bytes.empty());

  ASSERT_TRUE(ReadFileBytes(large, Unlimited, bytes, error, check(true))) << error;
  ASSERT_EQ(bytes.size(), largeSize);
  EXPECT_EQ(bytes[3], 'D');
  EXPECT_EQ(bytes[FileHeadBytes], 0);
}

}  // namespace
