// Copying, moving and deleting lists of files, the POSIX side of the platform layer. Qt-free;
// every call runs synchronously on the calling thread (the window runs it on a worker).
//
// Nothing is lost: a copy is written under a temporary name in the target folder and renamed
// into place only once it is complete, so a cancelled or failed copy leaves no part of a file
// behind; a moved file's source is removed only after its copy is complete, flushed to disk and
// of the right size. An existing target is never replaced unless the conflict callback says so.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Trash.h"

enum class TFileTransfer { Copy, Move };

enum class TConflictAnswer {
  Overwrite,  // the target is replaced (once the new file is complete)
  Skip,       // the file stays where it is and is reported as skipped
  KeepBoth,   // the file takes a numbered name: "name (2).ext", "name (3).ext", ...
};

struct TConflictChoice {
  TConflictAnswer Answer = TConflictAnswer::Skip;
  bool ApplyToAll = false;  // the answer holds for every later conflict of the run
};

struct TFileProgress {
  std::string Source;  // the file being copied or moved
  size_t FileIndex = 0, FileCount = 0;
  uint64_t BytesDone = 0, BytesTotal = 0;  // over the whole run
};

struct TFileOperationCallbacks {
  // Called at the start of each file and often inside a large one.
  std::function<void(const TFileProgress&)> Progress;
  // Asked for each existing target (source, target) unless an earlier answer applies to all.
  // Without a callback every conflict is skipped.
  std::function<TConflictChoice(const std::string& source, const std::string& target)> Conflict;
  // Set from any thread to stop; checked between files and between blocks of a file.
  const std::atomic<bool>* Cancel = nullptr;
};

enum class TFileIssueKind {
  Skipped,    // left alone on purpose: a folder, not a regular file
  Declined,   // left alone because a conflict was answered with skip
  Failed,     // could not be done; nothing of it was lost
  NoTrash,    // trashing only: its file system has no usable trash (permanent deletion may be offered)
  Cancelled,  // the file in progress when the run was cancelled; it is untouched
};

struct TFileIssue {
  std::string Path;
  TFileIssueKind Kind = TFileIssueKind::Failed;
  std::string Reason;  // for the user, in Japanese
};

struct TFileOperationResult {
  size_t Done = 0;                // files copied, moved or deleted
  std::vector<TFileIssue> Issues;  // in list order
  bool Cancelled = false;         // files after the cancelled one were not looked at
  bool AllDone() const { return Issues.empty() && !Cancelled; }
};

// Copies or moves each file of `sources` into `targetFolder` under its own name. Folders in the
// list are skipped and reported; a symbolic link is copied as a link; permissions and times are
// kept. A file is never copied or moved onto itself.
TFileOperationResult TransferFiles(TFileTransfer kind, const std::vector<std::string>& sources,
                                   const std::string& targetFolder, const TFileOperationCallbacks& callbacks = {});

// Deletes each file of `paths` for good (a link itself, never its target); folders are skipped.
// Of the callbacks, Progress (bytes stay 0) and Cancel count.
TFileOperationResult DeleteFiles(const std::vector<std::string>& paths, const TFileOperationCallbacks& callbacks = {});

// Moves each file of `paths` to the trash through MoveToTrash; folders are skipped. Files whose
// file system has no usable trash are reported as NoTrash and stay where they are.
TFileOperationResult TrashFiles(const std::vector<std::string>& paths, const TFileOperationCallbacks& callbacks = {},
                                const TTrashOptions& options = {});

// The name a kept-both file takes: "name (n).ext"; a name starting with its only dot has no extension.
std::string NumberedName(const std::string& name, unsigned n);
