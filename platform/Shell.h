// The desktop's shell services: opening a file with its program, a folder in the file manager,
// a file shown selected in the file manager, and the folder chooser. Paths are bytes in any
// encoding; they reach the desktop as file URLs that keep every byte.
//
// Tests replace the desktop with a stand-in (SetShellOpener, SetFolderChooser) and see what
// would have been opened instead of starting programs. User-interface thread only.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <string>

class QWidget;

enum class TShellOpen {
  File,         // the file with the program associated with its type
  Folder,       // a folder window
  FileManager,  // a file-manager window showing the path: a file selected, a folder opened
};

// Receives what would be opened. Returns whether the opening was started.
using TShellOpener = std::function<bool(TShellOpen kind, const std::string& path)>;
// Answers the folder chooser: the chosen folder, or nothing when cancelled.
using TFolderChooser = std::function<std::optional<std::string>(const QString& title, const std::string& initial)>;

// Each installs a stand-in for the desktop and returns the previous one; an empty function
// brings the desktop back.
TShellOpener SetShellOpener(TShellOpener opener);
TFolderChooser SetFolderChooser(TFolderChooser chooser);

// Opens a file with the program associated with its type (the desktop's MIME associations).
bool OpenFile(const std::string& path);
// Opens a folder window.
bool OpenFolder(const std::string& folder);
// Shows a file selected in the file manager (a folder: opened in it). When no file manager
// answers on the session bus, the file's folder is opened instead.
bool OpenExplorer(const std::string& path);
// The folder chooser titled `title`, starting at `folder`; `folder` is emptied first when it is
// not an existing folder. True when the user chose one, which is then stored in `folder`;
// on cancel `folder` stays as emptied or not.
bool SelectFolder(QWidget* owner, const QString& title, std::string& folder);

// A local path as a file URL (every byte kept, also where the name is not UTF-8), and back.
// An URL that is not a local file gives an empty path.
QUrl FileUrl(const std::string& path);
std::string PathOfFileUrl(const QUrl& url);
