// What a test of the main window needs around it: settings in a folder of their own, a folder
// of files to list, the synchronize pump, and the desktop's "open" recorded instead of done.
#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <string>

#include "platform/Shell.h"
#include "platform/SynchronizePump.h"

class TMainWindowWorld {
 public:
  TMainWindowWorld() {
    qputenv("KIRVANE_CONFIG_DIR", Config_.path().toUtf8());
    SetShellOpener([this](TShellOpen kind, const std::string& path) {
      Opened << Opening(kind, path);
      return DesktopOpens;
    });
  }
  ~TMainWindowWorld() { SetShellOpener({}); }
  TMainWindowWorld(const TMainWindowWorld&) = delete;
  TMainWindowWorld& operator=(const TMainWindowWorld&) = delete;

  std::string ConfigDir() const { return Config_.path().toStdString() + "/"; }
  std::string Dir() const { return Files_.path().toStdString() + "/"; }
  static QString Opening(TShellOpen kind, const std::string& path) {
    return QStringLiteral("%1 %2").arg(int(kind)).arg(QString::fromStdString(path));
  }

  QStringList Opened;  // what the desktop was asked to open
  bool DesktopOpens = true;

 private:
  QTemporaryDir Config_, Files_;
  TSynchronizePump Pump_;
};
