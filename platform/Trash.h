// Moving files to the desktop's trash (freedesktop.org Trash specification 1.0), the POSIX side
// of the platform layer. Qt-free; safe to call from any thread.
//
// Every delete to trash in the program goes through MoveToTrash. It never copies: a file is only
// ever renamed into a trash on its own file system, so when no trash there can be used, nothing
// moves and the caller learns why (and may offer permanent deletion instead).
#pragma once

#include <functional>
#include <string>

enum class TTrashResult {
  Moved,     // the file is in the trash, under TrashedAs
  NotFound,  // nothing exists at the path
  NoTrash,   // the file's file system has no trash this user can use; nothing moved
  Failed,    // a trash exists, but the file could not be moved into it; nothing moved
};

struct TTrashOutcome {
  TTrashResult Result = TTrashResult::Failed;
  std::string Message;    // for the user, in Japanese; empty when moved
  std::string TrashedAs;  // the file's new path in the trash's files/ folder when moved
};

// What the trash asks of the system, replaceable so tests can treat a folder as a mount of its own.
struct TTrashOptions {
  // The mount point ("/" or an absolute path without trailing "/") of the file system holding a
  // folder given as a real path (no links). Empty: the mounts listed in /proc/self/mountinfo.
  std::function<std::string(const std::string& folder)> MountPointOf;
};

// Moves a file, folder or symbolic link (the link itself, never its target) to the trash.
// The home trash ($XDG_DATA_HOME/Trash, else $HOME/.local/share/Trash) takes files of its own
// mount; a file of another mount goes to $topdir/.Trash/$uid when .Trash is a sticky folder,
// else to $topdir/.Trash-$uid. Missing trash folders are created with mode 0700. The path is a
// byte string in any encoding; a relative one is taken against the current folder.
TTrashOutcome MoveToTrash(const std::string& path, const TTrashOptions& options = {});

// The mount point in a /proc/self/mountinfo text that holds `folder` (a real absolute path):
// the longest mount point containing it, the last one listed when one is mounted over another.
// "/" when none matches.
std::string MountPointFromMountInfo(const std::string& mountInfo, const std::string& folder);
