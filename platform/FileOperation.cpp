#include "platform/FileOperation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/FileSystem.h"

namespace {

// Bytes copied between two looks at the cancel flag and two progress reports.
constexpr size_t BlockBytes = size_t(1) << 20;

const std::string CancelledText = "キャンセルされました";

std::string ReasonText(int error) {
  return error == ENOENT ? "ファイルが見つかりません" : FileErrorText(error);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct TFd {
  int Fd = -1;
  ~TFd() {
    if (Fd >= 0) close(Fd);
  }
};

// What the lists of all three operations have in common: folders are left alone, and a path
// that names nothing is reported. True when the entry may be worked on.
bool CheckEntry(const std::string& path, struct stat& st, TFileOperationResult& result) {
  if (lstat(path.c_str(), &st) != 0) {
    result.Issues.push_back({path, TFileIssueKind::Failed, ReasonText(errno)});
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    result.Issues.push_back({path, TFileIssueKind::Skipped, "フォルダは対象外です"});
    return false;
  }
  return true;
}

class TTransfer {
 public:
  TTransfer(TFileTransfer kind, std::string folder, const TFileOperationCallbacks& callbacks)
      : Kind_(kind), Folder_(std::move(folder)), Callbacks_(callbacks) {}

  TFileOperationResult Run(const std::vector<std::string>& sources) {
    Progress_.FileCount = sources.size();
    for (const std::string& s : sources) {
      struct stat st {};
      if (lstat(s.c_str(), &st) == 0 && S_ISREG(st.st_mode)) Progress_.BytesTotal += uint64_t(st.st_size);
    }
    struct stat folder {};
    const bool folderOk = stat(Folder_.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode);
    for (const std::string& source : sources) {
      if (Cancelled()) {
        Result_.Cancelled = true;
        break;
      }
      Progress_.Source = source;
      Report();
      if (!folderOk) Result_.Issues.push_back({source, TFileIssueKind::Failed, "移動先/コピー先のフォルダが見つかりません"});
      else One(source);
      ++Progress_.FileIndex;
    }
    return std::move(Result_);
  }

 private:
  bool Cancelled() const { return Callbacks_.Cancel && Callbacks_.Cancel->load(std::memory_order_relaxed); }
  void Report() {
    if (Callbacks_.Progress) Callbacks_.Progress(Progress_);
  }
  void Issue(const std::string& path, TFileIssueKind kind, const std::string& reason) {
    Result_.Issues.push_back({path, kind, reason});
  }

  TConflictChoice Ask(const std::string& source, const std::string& target) {
    if (ForAll_) return *ForAll_;
    const TConflictChoice choice = Callbacks_.Conflict ? Callbacks_.Conflict(source, target) : TConflictChoice{};
    if (choice.ApplyToAll) ForAll_ = std::make_unique<TConflictChoice>(choice);
    return choice;
  }

  void One(const std::string& source) {
    struct stat st {};
    if (!CheckEntry(source, st, Result_)) return;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
      return Issue(source, TFileIssueKind::Skipped, "通常のファイルではありません");
    const std::string name = NameOf(source);
    std::string target = Folder_ + name;
    bool replace = false;
    struct stat existing {};
    if (lstat(target.c_str(), &existing) == 0) {
      if (existing.st_dev == st.st_dev && existing.st_ino == st.st_ino)
        return Issue(source, TFileIssueKind::Failed, "コピー元とコピー先が同じファイルです");
      const TConflictAnswer answer = Ask(source, target).Answer;
      if (Cancelled()) {  // the question was answered by cancelling the run
        Issue(source, TFileIssueKind::Cancelled, CancelledText);
        Result_.Cancelled = true;
        return;
      }
      switch (answer) {
        case TConflictAnswer::Skip: return Issue(source, TFileIssueKind::Declined, "同じ名前のファイルがあります");
        case TConflictAnswer::Overwrite:
          if (S_ISDIR(existing.st_mode))
            return Issue(source, TFileIssueKind::Failed, "同じ名前のフォルダがあるため上書きできません");
          replace = true;
          break;
        case TConflictAnswer::KeepBoth:
          for (unsigned n = 2; lstat(target.c_str(), &existing) == 0; ++n) target = Folder_ + NumberedName(name, n);
          break;
      }
    }
    const uint64_t size = S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0;
    if (Kind_ == TFileTransfer::Move) {
      // rename(2) replaces a target without asking, so only an answered conflict may use it.
      const int error = replace ? (rename(source.c_str(), target.c_str()) == 0 ? 0 : errno)
                                : RenameNoReplace(source, target);
      if (error == 0) {
        ++Result_.Done;
        Progress_.BytesDone += size;
        return;
      }
      if (error != EXDEV) return Issue(source, TFileIssueKind::Failed, ReasonText(error));
    }
    const uint64_t before = Progress_.BytesDone;
    const std::string why = Copy(source, st, target, replace);
    if (!why.empty()) {
      Progress_.BytesDone = before + size;  // the run's total stays reachable
      if (why != CancelledText) return Issue(source, TFileIssueKind::Failed, why);
      Issue(source, TFileIssueKind::Cancelled, why);
      Result_.Cancelled = true;
      return;
    }
    if (Kind_ == TFileTransfer::Move && unlink(source.c_str()) != 0)
      return Issue(source, TFileIssueKind::Failed, "コピーしましたが、元のファイルを削除できません (" + ReasonText(errno) + ")");
    ++Result_.Done;
  }

  // Copies `source` to a temporary name in the target folder and renames it to `target` once
  // complete; "" when done, else why not (the temporary file is then gone).
  std::string Copy(const std::string& source, const struct stat& st, const std::string& target, bool replace) {
    // A run that crashed under the same process id may have left a temporary name behind.
    std::string temp;
    struct stat left {};
    do temp = Folder_ + ".kirvane-copy-" + std::to_string(getpid()) + "-" + std::to_string(++Serial_);
    while (lstat(temp.c_str(), &left) == 0);
    std::string why = S_ISLNK(st.st_mode) ? CopyLink(source, st, temp) : CopyData(source, st, temp);
    if (why.empty()) {
      const int error = replace ? (rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno) : RenameNoReplace(temp, target);
      if (error) why = ReasonText(error);
    }
    if (!why.empty()) {
      unlink(temp.c_str());
      return why;
    }
    // The new name must reach the disk before a moved file's source goes.
    if (Kind_ == TFileTransfer::Move) {
      TFd folder{open(Folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
      if (folder.Fd >= 0) fsync(folder.Fd);
    }
    return {};
  }

  std::string CopyLink(const std::string& source, const struct stat& st, const std::string& temp) {
    std::string text(size_t(st.st_size) + 1, '\0');
    for (;;) {
      const ssize_t n = readlink(source.c_str(), text.data(), text.size());
      if (n < 0) return ReasonText(errno);
      if (size_t(n) < text.size()) {
        text.resize(size_t(n));
        break;
      }
      text.resize(text.size() * 2);  // the link changed since it was listed
    }
    if (symlink(text.c_str(), temp.c_str()) != 0) return ReasonText(errno);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return {};
  }

  std::string CopyData(const std::string& source, const struct stat& listed, const std::string& temp) {
    // O_NONBLOCK: a FIFO that took the file's place must not hold the run up.
    TFd in{open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    struct stat st {};
    if (in.Fd < 0 || fstat(in.Fd, &st) != 0) return ReasonText(errno);
    if (!S_ISREG(st.st_mode) || st.st_ino != listed.st_ino || st.st_dev != listed.st_dev) return "コピー中にファイルが置き換えられました";
    fcntl(in.Fd, F_SETFL, fcntl(in.Fd, F_GETFL) & ~O_NONBLOCK);
    // Private until complete; the source's permissions are given at the end.
    TFd out{open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
    if (out.Fd < 0) return ReasonText(errno);
    uint64_t copied = 0;
    bool range = true;
    std::unique_ptr<char[]> buffer;
    for (;;) {
      if (Cancelled()) return CancelledText;
      ssize_t n;
      if (range) {
        n = copy_file_range(in.Fd, nullptr, out.Fd, nullptr, BlockBytes, 0);
        // Where the file systems cannot, plain reads and writes go on from the same offsets.
        if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
          range = false;
          continue;
        }
      } else {
        if (!buffer) buffer = std::make_unique<char[]>(BlockBytes);
        n = read(in.Fd, buffer.get(), BlockBytes);
        if (n > 0 && !WriteAll(out.Fd, std::string_view(buffer.get(), size_t(n)))) n = -1;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return ReasonText(errno);
      if (n == 0) break;
      copied += uint64_t(n);
      Progress_.BytesDone += uint64_t(n);
      Report();
    }
    if (fchmod(out.Fd, st.st_mode & 07777) != 0) fchmod(out.Fd, st.st_mode & 0777);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out.Fd, times);
    // Only a move removes what a crash could cost: a copy's source stays either way.
    if (Kind_ == TFileTransfer::Move && fsync(out.Fd) != 0) return ReasonText(errno);
    // The system's word that all went well is not enough where the source may be removed next.
    struct stat written {}, now {};
    if (fstat(out.Fd, &written) != 0 || fstat(in.Fd, &now) != 0) return ReasonText(errno);
    if (uint64_t(written.st_size) != copied || uint64_t(now.st_size) != copied)
      return "コピー中にファイルのサイズが変わりました";
    const int fd = out.Fd;
    out.Fd = -1;
    if (close(fd) != 0) return ReasonText(errno);
    return {};
  }

  const TFileTransfer Kind_;
  const std::string Folder_;  // with trailing "/"
  const TFileOperationCallbacks& Callbacks_;
  TFileOperationResult Result_;
  TFileProgress Progress_;
  std::unique_ptr<TConflictChoice> ForAll_;
  unsigned Serial_ = 0;
};

}  // namespace

std::string NumberedName(const std::string& name, unsigned n) {
  size_t dot = name.rfind('.');
  if (dot == 0 || dot == std::string::npos) dot = name.size();
  return name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
}

TFileOperationResult TransferFiles(TFileTransfer kind, const std::vector<std::string>& sources,
                                   const std::string& targetFolder, const TFileOperationCallbacks& callbacks) {
  std::string folder = targetFolder.empty() ? "./" : targetFolder;
  if (folder.back() != '/') folder += '/';
  return TTransfer(kind, folder, callbacks).Run(sources);
}

namespace {

// Deleting and trashing share their walk: progress per file, a look at the cancel flag between files.
TFileOperationResult RemoveEach(const std::vector<std::string>& paths, const TFileOperationCallbacks& callbacks,
                                const std::function<void(const std::string&, TFileOperationResult&)>& remove) {
  TFileOperationResult result;
  TFileProgress progress;
  progress.FileCount = paths.size();
  for (const std::string& path : paths) {
    if (callbacks.Cancel && callbacks.Cancel->load(std::memory_order_relaxed)) {
      result.Cancelled = true;
      break;
    }
    progress.Source = path;
    if (callbacks.Progress) callbacks.Progress(progress);
    ++progress.FileIndex;
    struct stat st {};
    if (CheckEntry(path, st, result)) remove(path, result);
  }
  return result;
}

}  // namespace

TFileOperationResult DeleteFiles(const std::vector<std::string>& paths, const TFileOperationCallbacks& callbacks) {
  return RemoveEach(paths, callbacks, [](const std::string& path, TFileOperationResult& result) {
    if (unlink(path.c_str()) == 0) ++result.Done;
    else result.Issues.push_back({path, TFileIssueKind::Failed, ReasonText(errno)});
  });
}

TFileOperationResult TrashFiles(const std::vector<std::string>& paths, const TFileOperationCallbacks& callbacks,
                                const TTrashOptions& options) {
  return RemoveEach(paths, callbacks, [&options](const std::string& path, TFileOperationResult& result) {
    const TTrashOutcome outcome = MoveToTrash(path, options);
    if (outcome.Result == TTrashResult::Moved) ++result.Done;
    else
      result.Issues.push_back(
          {path, outcome.Result == TTrashResult::NoTrash ? TFileIssueKind::NoTrash : TFileIssueKind::Failed,
           outcome.Message});
  });
}
