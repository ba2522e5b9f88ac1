// The shell services over the freedesktop.org interfaces Qt reaches: xdg MIME associations for
// files and folders, org.freedesktop.FileManager1 for the file manager, Qt's folder chooser.
#include "platform/Shell.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <utility>

#include "platform/FileSystem.h"

namespace {

TShellOpener& ShellOpener() {
  static TShellOpener opener;
  return opener;
}

TFolderChooser& FolderChooser() {
  static TFolderChooser chooser;
  return chooser;
}

// The folder holding a path ("/a/b" and "/a/b/" -> "/a"; "/a" -> "/").
std::string ParentFolder(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool OpenUrl(const std::string& path) { return QDesktopServices::openUrl(FileUrl(path)); }

// Asks the file manager to show the path without waiting for it (it may have to be started);
// when the bus reports that nobody answers, the folder window is opened instead.
bool ShowInFileManager(const std::string& path) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  const bool isFolder = DirectoryExists(path);
  const std::string folder = isFolder ? path : ParentFolder(path);
  if (!bus.isConnected()) return OpenFolder(folder);
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
      QStringLiteral("org.freedesktop.FileManager1"), isFolder ? QStringLiteral("ShowFolders") : QStringLiteral("ShowItems"));
  call << QStringList{QString::fromLatin1(FileUrl(path).toEncoded())} << QString();
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 10000));
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [folder](QDBusPendingCallWatcher* w) {
    if (QDBusPendingReply<>(*w).isError()) OpenFolder(folder);
    w->deleteLater();
  });
  return true;
}

}  // namespace

TShellOpener SetShellOpener(TShellOpener opener) { return std::exchange(ShellOpener(), std::move(opener)); }

TFolderChooser SetFolderChooser(TFolderChooser chooser) { return std::exchange(FolderChooser(), std::move(chooser)); }

bool OpenFile(const std::string& path) {
  if (ShellOpener()) return ShellOpener()(TShellOpen::File, path);
  return OpenUrl(path);
}

bool OpenFolder(const std::string& folder) {
  if (ShellOpener()) return ShellOpener()(TShellOpen::Folder, folder);
  return OpenUrl(folder);
}

bool OpenExplorer(const std::string& path) {
  if (ShellOpener()) return ShellOpener()(TShellOpen::FileManager, path);
  return ShowInFileManager(path);
}

bool SelectFolder(QWidget* owner, const QString& title, std::string& folder) {
  if (!DirectoryExists(folder)) folder.clear();
  std::optional<std::string> chosen;
  if (FolderChooser()) {
    chosen = FolderChooser()(title, folder);
  } else {
    const QString dir = QFileDialog::getExistingDirectory(owner, title, QFile::decodeName(QByteArray::fromStdString(folder)),
                                                          QFileDialog::ShowDirsOnly);
    if (!dir.isEmpty()) chosen = QFile::encodeName(dir).toStdString();
  }
  if (!chosen || chosen->empty()) return false;
  folder = std::move(*chosen);
  return true;
}

QUrl FileUrl(const std::string& path) {
  // Percent-encoding the bytes themselves keeps names that are not UTF-8 intact.
  return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"));
}

std::string PathOfFileUrl(const QUrl& url) {
  if (!url.isLocalFile()) return {};
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}
