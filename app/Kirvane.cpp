// Entry point of Kirvane: one instance per user. A second start hands its first argument to the
// running instance, which comes to the front and opens it; then the second start ends.
#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <string_view>

#include "app/MainWin.h"
#include "decoders/MetafileReader.h"
#include "platform/MetafileRenderer.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"
#include "platform/SynchronizePump.h"

namespace {

constexpr char UsageText[] =
    "usage: kirvane [--help | --version] [--] [FOLDER | FILE]\n"
    "Shows FOLDER, or the folder of FILE with FILE selected. When Kirvane is running already,\n"
    "that window comes to the front and shows the path instead.\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n"
    "  --         what follows is a path, even when it begins with \"-\"\n";

// Reads the command line: the first path, made absolute against this process's working folder
// (the running instance has another one) and cleaned. Returns an exit status when the program
// must end here: 0 after --help or --version, 2 for an unknown option; -1 to go on.
int ReadCommandLine(int argc, char** argv, std::string& path) {
  bool options = true;
  bool havePath = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && arg.starts_with('-')) {
      if (arg == "--help") {
        std::fputs(UsageText, stdout);
        return 0;
      }
      if (arg == "--version") {
        std::printf("kirvane %s\n", KV_VERSION);
        return 0;
      }
      std::fprintf(stderr, "kirvane: unknown option %s\n%s", argv[i], UsageText);
      return 2;
    } else if (!havePath) {
      path = AbsolutePath(arg);
      havePath = true;
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string start;
  if (const int status = ReadCommandLine(argc, argv, start); status >= 0) return status;
  // Qt sees no arguments: every one of them is ours, and none may be taken for a Qt option.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  QApplication::setApplicationName(QStringLiteral("kirvane"));
  // Ties the windows to kirvane.desktop and its icon where the program is installed.
  QGuiApplication::setDesktopFileName(QStringLiteral("kirvane"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("kirvane")));
  InstallQtJapaneseTexts();
  SetMetafileRenderer(RenderMetafile);

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
  QObject::connect(&instance, &TSingleInstance::OpenRequested, &window, [&window](const QByteArray& path) {
    window.MoveFolder(AbsolutePath(path.toStdString()));
  });
  CloseOnTerminationSignals(&window);
  window.show();
  return app.exec();
}
