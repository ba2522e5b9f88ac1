// kirvane-cli: the core of Kirvane for scripts, tests and benchmarks. It runs the same code as
// the main window: the same scan, filter and sort, the same JPEG check and the same load path.
#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <memory>

#include "decoders/MetafileReader.h"
#include "platform/MetafileRenderer.h"
#include "tools/CliCommands.h"

namespace {

// Metafiles are drawn with Qt's painter and fonts, which need a QGuiApplication: the tool makes
// one, offscreen, when the first metafile is decoded (commands decode on the main thread), and
// main ends it.
std::unique_ptr<QGuiApplication>* OffscreenGui = nullptr;

TDecodeResult RenderMetafileOffscreen(std::span<const uint8_t> data) {
  if (OffscreenGui && !QCoreApplication::instance()) {
    // Qt's notes (no runtime folder, font fallbacks) are not the tool's output.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
      if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    static int argc = 3;
    static char name[] = "kirvane-cli", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    *OffscreenGui = std::make_unique<QGuiApplication>(argc, argv);
  }
  return RenderMetafile(data);
}
struct TCommand {
  const char* Name;
  int (*Run)(int, char**);
};
constexpr TCommand Commands[] = {
    {"list", RunList},   {"check", RunCheck}, {"decode", RunDecode}, {"render", RunRender},
    {"copy", RunCopy},   {"move", RunMove},   {"trash", RunTrash},   {"delete", RunDelete}};

constexpr const char* UsageText =
    "usage: kirvane-cli list [--recursive] [--hidden] [--include-folders] [--ext .jpg,.png]\n"
    "                        [--sort N] [--desc] [-0|--null] FOLDER\n"
    "       kirvane-cli check [--recursive] [--hidden] [--details] [-0|--null] [--] PATH...\n"
    "       kirvane-cli decode FILE [-o OUT.png]\n"
    "       kirvane-cli render FILE --viewport WxH [--place 0-8] [--adjust 0-3] [--scale S]\n"
    "                          [--filter 0-4] [--bg COLOUR] -o OUT.png\n"
    "       kirvane-cli copy|move [--on-conflict overwrite|skip|keep-both] [--] SRC... FOLDER\n"
    "       kirvane-cli trash|delete [--] PATH...\n";
}  // namespace

int main(int argc, char** argv) {
  std::unique_ptr<QGuiApplication> gui;
  OffscreenGui = &gui;
  SetMetafileRenderer(RenderMetafileOffscreen);
  if (argc >= 2) {
    for (const TCommand& c : Commands)
      if (std::strcmp(argv[1], c.Name) == 0) return c.Run(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "--help") == 0) {
      std::printf(
          "%s\n'kirvane-cli list --help' and 'kirvane-cli check --help' describe their output.\n"
          "Paths in that output are escaped so that no file name can forge a record.\n",
          UsageText);
      return 0;
    }
  }
  std::fputs(UsageText, stderr);
  return 2;
}
