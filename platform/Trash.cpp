#include "platform/Trash.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "platform/FileSystem.h"

namespace {

// A trashed name plus ".trashinfo" must still fit in one directory entry.
constexpr size_t MaxTrashNameBytes = NAME_MAX - 10;
// Longest tail counted as an extension that a unique name keeps at its end.
constexpr size_t MaxExtensionBytes = 32;
// Unique names tried before giving up on a crowded trash.
constexpr unsigned MaxNameAttempts = 100000;

const std::string MessageHead = "ごみ箱に移動できません: ";

// The trash's own meaning of some errors; the rest as for any file call.
std::string ReasonText(int error) {
  switch (error) {
    case ENOTDIR: return "ごみ箱の場所に別のファイルがあります";
    case ENOENT: return "ごみ箱フォルダを作成できません";
    case EXDEV: return "ごみ箱が別のファイルシステムにあります";
    case EINVAL: return "ごみ箱を含むフォルダはごみ箱に移動できません";
    default: return FileErrorText(error);
  }
}

TTrashOutcome Refused(TTrashResult result, const std::string& text) {
  return {result, MessageHead + text + "。", {}};
}

std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Join(const std::string& folder, std::string_view name) {
  return (folder == "/" ? folder : folder + "/") + std::string(name);
}

std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return {};
  std::string result(real);
  free(real);
  return result;
}

// Creates `dir` with mode 0700 when missing; 0 when it is then a folder this user owns, else an
// errno value. A link is refused, except where the user may have placed one on purpose.
int OwnFolder(const std::string& dir, bool followLink = false) {
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  struct stat st {};
  if ((followLink ? stat(dir.c_str(), &st) : lstat(dir.c_str(), &st)) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  return st.st_uid == getuid() ? 0 : EACCES;
}

int TrashFolders(const std::string& trash, bool followLink = false) {
  if (int e = OwnFolder(trash, followLink)) return e;
  if (int e = OwnFolder(trash + "/files")) return e;
  return OwnFolder(trash + "/info");
}

// $XDG_DATA_HOME/Trash, or $HOME/.local/share/Trash; "" when neither names a place.
std::string HomeTrash() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return Join(data, "Trash");
  std::string home;
  if (const char* env = std::getenv("HOME"); env && env[0] == '/') {
    home = env;
  } else {
    passwd entry {};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir[0] == '/')
      home = found->pw_dir;
  }
  return home.empty() ? "" : Join(home, ".local/share/Trash");
}

// Creates the folders leading to the home trash, as a user's data folders are created: mode 0700.
void MakeParentFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    mkdir(path.substr(0, slash).c_str(), 0700);
}

// The real path of a path that may not exist yet: that of its nearest existing ancestor.
std::string NearestExisting(std::string path) {
  struct stat st {};
  while (path != "/" && lstat(path.c_str(), &st) != 0) path = ParentOf(path);
  return RealPath(path);
}

std::string MountPointFromSystem(const std::string& folder) {
  std::string text;
  if (FILE* f = std::fopen("/proc/self/mountinfo", "re")) {
    char chunk[8192];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, n);
    std::fclose(f);
  }
  return MountPointFromMountInfo(text, folder);
}

// The shared trash of a mount when its administrator made one, else the user's own; "" with
// `error` set when neither can be used.
std::string TopDirTrash(const std::string& topDir, int& error) {
  const std::string uid = std::to_string(getuid());
  // A shared .Trash must be a real sticky folder, so no other user can replace our part of it.
  const std::string shared = Join(topDir, ".Trash");
  struct stat st {};
  if (lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
    const std::string own = Join(shared, uid);
    if (TrashFolders(own) == 0) return own;
  }
  const std::string own = Join(topDir, ".Trash-" + uid);
  error = TrashFolders(own);
  return error ? "" : own;
}

// Bytes of a path as a URL escapes them; "/" stays a separator.
std::string PercentEncoded(std::string_view path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : path) {
    const auto b = uint8_t(c);
    const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
                       (b != 0 && std::strchr("/-_.!~*'()", c));
    if (plain) {
      out += c;
    } else {
      out += '%';
      out += hex[b >> 4];
      out += hex[b & 15];
    }
  }
  return out;
}

std::string LocalTimeNow() {
  const time_t now = std::time(nullptr);
  tm local {};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// The name a file takes in the trash: its own for the first attempt, then "name.2.ext",
// "name.3.ext", ...; shortened (on a character boundary) when ".trashinfo" would not fit after it.
std::string TrashName(std::string_view name, unsigned attempt) {
  size_t dot = name.rfind('.');
  if (dot == 0 || dot == std::string_view::npos || name.size() - dot > MaxExtensionBytes) dot = name.size();
  std::string_view stem = name.substr(0, dot);
  const std::string_view extension = name.substr(dot);
  const std::string number = attempt > 1 ? "." + std::to_string(attempt) : "";
  const size_t room = MaxTrashNameBytes - number.size() - extension.size();
  if (stem.size() > room) {
    size_t cut = room;
    while (cut > 0 && (uint8_t(stem[cut]) & 0xC0) == 0x80) --cut;  // inside a UTF-8 sequence
    stem = stem.substr(0, cut);
  }
  return std::string(stem) + number + std::string(extension);
}

// Writes the info file first, claiming the name, then renames the file under the same name.
TTrashOutcome TrashInto(const std::string& trash, const std::string& source, std::string_view name,
                        const std::string& encodedPath) {
  const std::string info = "[Trash Info]\nPath=" + encodedPath + "\nDeletionDate=" + LocalTimeNow() + "\n";
  for (unsigned attempt = 1; attempt <= MaxNameAttempts; ++attempt) {
    const std::string trashName = TrashName(name, attempt);
    const std::string infoPath = trash + "/info/" + trashName + ".trashinfo";
    const int fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return Refused(TTrashResult::Failed, ReasonText(errno) + " (" + trash + ")");
    int error = WriteAll(fd, info) ? 0 : errno;
    if (close(fd) != 0 && !error) error = errno;
    const std::string target = trash + "/files/" + trashName;
    if (!error) error = RenameNoReplace(source, target);
    if (!error) return {TTrashResult::Moved, {}, target};
    unlink(infoPath.c_str());
    if (error != EEXIST) return Refused(TTrashResult::Failed, ReasonText(error) + " (" + source + ")");
  }
  return Refused(TTrashResult::Failed, "ごみ箱に同じ名前のファイルが多すぎます (" + trash + ")");
}

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// The fifth field of a /proc/self/mountinfo line, the mount point, with its octal escapes undone.
std::string MountPointField(std::string_view line) {
  size_t start = 0;
  for (int field = 0; field < 4; ++field) {
    start = line.find(' ', start);
    if (start == std::string_view::npos) return {};
    ++start;
  }
  const std::string_view escaped = line.substr(start, line.find(' ', start) - start);
  std::string point;
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] == '\\' && i + 3 < escaped.size() && IsOctal(escaped[i + 1]) && IsOctal(escaped[i + 2]) &&
        IsOctal(escaped[i + 3])) {
      point += char(((escaped[i + 1] - '0') << 6) | ((escaped[i + 2] - '0') << 3) | (escaped[i + 3] - '0'));
      i += 3;
    } else {
      point += escaped[i];
    }
  }
  return point;
}

}  // namespace

std::string MountPointFromMountInfo(const std::string& mountInfo, const std::string& folder) {
  std::string best = "/";
  size_t start = 0;
  while (start < mountInfo.size()) {
    size_t end = mountInfo.find('\n', start);
    if (end == std::string::npos) end = mountInfo.size();
    const std::string point = MountPointField(std::string_view(mountInfo).substr(start, end - start));
    start = end + 1;
    const bool contains = point == "/" || folder == point ||
                          (folder.size() > point.size() && folder.starts_with(point) && folder[point.size()] == '/');
    if (!point.empty() && contains && point.size() >= best.size()) best = point;
  }
  return best;
}

TTrashOutcome MoveToTrash(const std::string& path, const TTrashOptions& options) {
  std::string source = path;
  while (source.size() > 1 && source.back() == '/') source.pop_back();
  const size_t slash = source.rfind('/');
  const std::string_view name = slash == std::string::npos ? std::string_view(source)
                                                           : std::string_view(source).substr(slash + 1);
  if (name.empty() || name == "." || name == "..")
    return Refused(TTrashResult::Failed, "\"" + path + "\" はごみ箱に移動できる名前ではありません");
  struct stat st {};
  if (lstat(source.c_str(), &st) != 0) {
    if (errno == ENOENT) return Refused(TTrashResult::NotFound, "\"" + path + "\" が見つかりません");
    return Refused(TTrashResult::Failed, ReasonText(errno) + " (" + path + ")");
  }
  // The folder holding the file, links resolved; the file itself stays as it is.
  const std::string folder = RealPath(ParentOf(source));
  if (folder.empty()) return Refused(TTrashResult::Failed, ReasonText(errno) + " (" + path + ")");
  const std::string real = Join(folder, name);
  const auto mountPointOf = options.MountPointOf ? options.MountPointOf : MountPointFromSystem;
  const std::string topDir = mountPointOf(folder);

  const std::string home = HomeTrash();
  if (!home.empty() && mountPointOf(NearestExisting(home)) == topDir) {
    MakeParentFolders(home);
    if (int e = TrashFolders(home, true))
      return Refused(TTrashResult::NoTrash, "ごみ箱フォルダ \"" + home + "\" を使えません (" + ReasonText(e) + ")");
    return TrashInto(home, source, name, PercentEncoded(real));
  }
  int error = 0;
  const std::string trash = TopDirTrash(topDir, error);
  if (trash.empty())
    return Refused(TTrashResult::NoTrash,
                   "\"" + topDir + "\" のファイルシステムには使えるごみ箱がありません (" + ReasonText(error) + ")");
  // Inside a mount the path is kept relative, so it still holds when the mount moves elsewhere.
  return TrashInto(trash, source, name, PercentEncoded(real.substr(topDir == "/" ? 1 : topDir.size() + 1)));
}
