// Entry point of Kirvane: one instance per user. A second start hands its first argument to the
// running instance, which comes to the front and opens it; then the second start ends.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "app/MainWin.h"
#include "platform/SingleInstance.h"
#include "platform/SynchronizePump.h"

namespace {

// The first argument as bytes, made absolute so that the running instance (which has another
// working folder) finds it.
std::string StartArgument(int argc, char** argv) {
  if (argc < 2 || !argv[1][0]) return {};
  std::string arg = argv[1];
  if (arg[0] != '/') {
    const QByteArray cwd = QFile::encodeName(QDir::currentPath());
    arg = cwd.toStdString() + "/" + arg;
  }
  return arg;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kirvane"));
  InstallQtJapaneseTexts();
  const std::string start = StartArgument(argc, argv);

  TSingleInstance instance;
  if (!instance.Acquire()) {
    const QByteArray path = QByteArray::fromStdString(start);
    instance.HandOver(start.empty() ? nullptr : &path);
    return 0;
  }

  TSynchronizePump pump;
  TFormKirvane window(start);
  QObject::connect(&instance, &TSingleInstance::ActivateRequested, &window, [&window] {
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
  });
  QObject::connect(&instance, &TSingleInstance::OpenRequested, &window,
                   [&window](const QByteArray& path) { window.MoveFolder(path.toStdString()); });
  CloseOnTerminationSignals(&window);
  window.show();
  return app.exec();
}
