#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>

#include "platform/HugePages.h"

TFileTime FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  const int64_t units = seconds * 10000000 + int64_t(nanoseconds / 100);
  // Times before 1601 cannot be written as file times; clamp them to the start.
  if (units < -int64_t(UnixEpochAsFileTime)) return 0;
  return UnixEpochAsFileTime + uint64_t(units);
}

int64_t UnixSecondsFromFileTime(TFileTime t) {
  const int64_t units = int64_t(t - UnixEpochAsFileTime);
  return t >= UnixEpochAsFileTime ? units / 10000000 : -((-units + 9999999) / 10000000);
}

namespace {

TFileTime ToFileTime(const struct statx_timestamp& ts) { return FileTimeFromUnix(ts.tv_sec, ts.tv_nsec); }

void FillFacts(const struct statx& st, bool followed, TDirEntryFacts& f) {
  const mode_t mode = st.stx_mode;
  const bool isDir = S_ISDIR(mode);
  const bool isReg = S_ISREG(mode);
  uint32_t attr = 0;
  if (!(mode & S_IWUSR)) attr |= faReadOnly;
  if (!f.Name.empty() && f.Name[0] == '.') attr |= faHidden;
  if (isDir) attr |= faDirectory;
  if ((!isReg && !isDir) || !followed) attr |= faSysFile;
  f.Attr = attr;
  f.Size = isReg ? int64_t(st.stx_size) : 0;
  f.LastWriteTime = ToFileTime(st.stx_mtime);
  f.LastAccessTime = ToFileTime(st.stx_atime);
  f.CreationTime = (st.stx_mask & STATX_BTIME) ? ToFileTime(st.stx_btime) : f.LastWriteTime;
}

constexpr unsigned StatxMask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME;

// Stats `name` relative to `dirFd`, following symbolic links; a link whose target is missing or
// out of reach is reported as the link itself (as a system entry). Returns 0, or the error
// number when the entry's own facts cannot be read (ENOENT: it is gone).
int StatEntry(int dirFd, const char* name, TDirEntryFacts& f) {
  struct statx st;
  if (statx(dirFd, name, AT_STATX_SYNC_AS_STAT, StatxMask, &st) == 0) {
    FillFacts(st, true, f);
    return 0;
  }
  if (errno != ENOENT && errno != ELOOP && errno != EACCES) return errno;
  if (statx(dirFd, name, AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, StatxMask, &st) != 0) return errno;
  FillFacts(st, false, f);
  return 0;
}

constexpr int FolderOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Opens a folder by path. open() refuses paths of PATH_MAX bytes or more, so a longer one is
// walked down from the start in pieces below that length, each opened relative to the folder
// the previous piece led to. Returns -1 with errno set when it cannot.
int OpenFolder(const std::string& path) {
  if (path.size() < PATH_MAX) return open(path.empty() ? "." : path.c_str(), FolderOpenFlags);
  int fd = AT_FDCWD;
  for (size_t start = 0; start < path.size();) {
    size_t end = path.size();
    if (end - start >= PATH_MAX) {
      // Cut after the last "/" that keeps the piece short enough; names are far shorter.
      const size_t slash = path.rfind('/', start + PATH_MAX - 2);
      if (slash == std::string::npos || slash < start) {
        if (fd != AT_FDCWD) close(fd);
        errno = ENAMETOOLONG;
        return -1;
      }
      end = slash + 1;
    }
    const int next = openat(fd, path.substr(start, end - start).c_str(), FolderOpenFlags);
    const int error = errno;
    if (fd != AT_FDCWD) close(fd);
    if (next < 0) {
      errno = error;
      return -1;
    }
    fd = next;
    start = end;
  }
  return fd;
}

}  // namespace

TDirectoryEnumerator::~TDirectoryEnumerator() { Close(); }

bool TDirectoryEnumerator::Open(const std::string& folder) {
  Close();
  Error_ = 0;
  Skipped_.clear();
  const int fd = OpenFolder(folder);
  struct stat st;
  DIR* dir = nullptr;
  if (fd < 0 || fstat(fd, &st) != 0 || !(dir = fdopendir(fd))) {
    Error_ = errno;
    if (fd >= 0) close(fd);
    return false;
  }
  Dir_ = dir;
  Id_ = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
  return true;
}

bool TDirectoryEnumerator::Next(TDirEntryFacts& entry) {
  DIR* dir = static_cast<DIR*>(Dir_);
  if (!dir) return false;
  for (;;) {
    errno = 0;  // readdir tells the end from a failure only by errno
    const dirent* d = readdir(dir);
    if (!d) {
      Error_ = errno;
      return false;
    }
    const char* n = d->d_name;
    if (n[0] == 0 || (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))) continue;
    entry.Name.assign(n);
    const int error = StatEntry(dirfd(dir), n, entry);
    if (error == 0) return true;
    if (error != ENOENT) Skipped_.push_back({entry.Name, error});
  }
}

void TDirectoryEnumerator::Close() {
  if (Dir_) closedir(static_cast<DIR*>(Dir_));
  Dir_ = nullptr;
}

bool GetPathFacts(const std::string& path, TDirEntryFacts& facts) {
  std::string_view p = path;
  while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
  const size_t slash = p.rfind('/');
  facts.Name = std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
  return StatEntry(AT_FDCWD, std::string(p).c_str(), facts) == 0;
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

namespace {

// Reads until `n` bytes are in or the file ends. The count read, or -1 on a read error.
ssize_t ReadUpTo(int fd, uint8_t* data, size_t n) {
  size_t got = 0;
  while (got < n) {
    const ssize_t r = read(fd, data + got, n - got);
    if (r == 0) break;
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    got += size_t(r);
  }
  return ssize_t(got);
}

struct TFdCloser {
  int Fd;
  ~TFdCloser() { close(Fd); }
};

}  // namespace

bool ReadFileBytes(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& out, std::string& error,
                   const TFileHeadCheck& checkHead) {
  out.clear();
  auto fail = [&](const std::string& why) {
    error = path + ": " + why;
    out.clear();
    return false;
  };
  // Opening a FIFO waits for a writer and a device may never end, so only a regular file is
  // opened; O_NONBLOCK keeps the open from waiting when a FIFO took the file's place since.
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return fail(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return fail("not a regular file");
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fail(std::strerror(errno));
  const TFdCloser closer{fd};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return fail("not a regular file");
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const uint64_t expected = uint64_t(st.st_size);
  if (expected > maxBytes) return fail("file too large");
  // The size is only a hint: the file may change while it is read.
  try {
    size_t got = 0;
    uint8_t head[FileHeadBytes];
    if (checkHead) {
      const ssize_t n = ReadUpTo(fd, head, size_t(std::min<uint64_t>(expected, FileHeadBytes)));
      if (n < 0) return fail(std::strerror(errno));
      if (!checkHead(std::span<const uint8_t>(head, size_t(n)), expected)) return fail("refused from its first bytes");
      got = size_t(n);
    }
    const size_t size = size_t(std::max<uint64_t>(expected, got));
    out.reserve(size);
    AdviseHugePages(out.data(), out.capacity());
    out.assign(head, head + got);
    out.resize(size);
    for (;;) {
      const ssize_t n = ReadUpTo(fd, out.data() + got, out.size() - got);
      if (n < 0) return fail(std::strerror(errno));
      got += size_t(n);
      if (got < out.size()) break;  // the file shrank
      // The expected end: look for more before growing, which would copy the whole buffer.
      uint8_t probe;
      const ssize_t more = ReadUpTo(fd, &probe, 1);
      if (more < 0) return fail(std::strerror(errno));
      if (more == 0) break;
      if (out.size() >= maxBytes) return fail("file too large");
      out.resize(size_t(std::min<uint64_t>(maxBytes, std::max<size_t>(out.size() * 2, 65536))));
      out[got++] = probe;
    }
    out.resize(got);
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  return true;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    data.remove_prefix(size_t(n));
  }
  return true;
}

bool WriteFileAtomic(const std::string& path, std::string_view contents, std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error) *error = path + ": " + what + ": " + std::strerror(errno);
    return false;
  };
  // Write through a symbolic link to the file it names, keeping the link.
  std::string target = path;
  struct stat lst;
  if (lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved)) target = resolved;
  }
  static std::atomic<unsigned> counter{0};
  const std::string temp = target + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
  struct stat old;
  const mode_t mode = stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0666;
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return fail("cannot create " + temp);
  if (!WriteAll(fd, contents)) {
    const int e = errno;
    close(fd);
    unlink(temp.c_str());
    errno = e;
    return fail("write failed");
  }
  const bool synced = fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (!synced || !closed) {
    const int e = errno;
    unlink(temp.c_str());
    errno = e;
    return fail("flush failed");
  }
  if (rename(temp.c_str(), target.c_str()) != 0) {
    const int e = errno;
    unlink(temp.c_str());
    errno = e;
    return fail("rename failed");
  }
  return true;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (link(from.c_str(), to.c_str()) == 0) {
    // Should the old name stay, the data is safe under the new one all the same.
    unlink(from.c_str());
    return 0;
  }
  if (errno != EPERM) return errno;
  // A folder (a folder moved into itself fails on its own with EINVAL).
  struct stat st {};
  if (lstat(to.c_str(), &st) == 0) return EEXIST;
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::string FileErrorText(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return "アクセスが拒否されました";
    case EROFS: return "読み取り専用のファイルシステムです";
    case ENOSPC:
    case EDQUOT: return "ディスクの空き容量が足りません";
    case EBUSY: return "使用中です";
    case ENAMETOOLONG: return "パスが長すぎます";
    case EEXIST: return "同じ名前のファイルがあります";
    case EIO: return "読み書きに失敗しました";
    default: return "エラー " + std::to_string(error) + " (" + std::strerror(error) + ")";
  }
}

std::string ExecutableFolder() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string p(buf, size_t(n));
  p.erase(p.rfind('/') + 1);
  return p;
}

std::string FindCompanionFile(const std::string& path, std::string_view extension) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string_view name = std::string_view(path).substr(folder.size());
  const std::string_view base = name.substr(0, name.rfind('.'));
  const std::string wanted = std::string(base) + "." + std::string(extension);
  const int fd = OpenFolder(folder);
  DIR* dir = fd < 0 ? nullptr : fdopendir(fd);
  if (!dir) {
    if (fd >= 0) close(fd);
    return {};
  }
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  auto matches = [&](std::string_view n) {
    return n.size() == wanted.size() && std::equal(n.begin(), n.end(), wanted.begin(),
                                                   [&](char a, char b) { return lower(a) == lower(b); });
  };
  std::string best;
  bool bestKeepsBase = false;
  while (const dirent* e = readdir(dir)) {
    const std::string_view n = e->d_name;
    if (!matches(n)) continue;
    const bool keepsBase = n.substr(0, base.size()) == base;
    if (best.empty() || keepsBase > bestKeepsBase || (keepsBase == bestKeepsBase && n < best)) {
      best = n;
      bestKeepsBase = keepsBase;
    }
  }
  closedir(dir);
  return best.empty() ? best : folder + best;
}
