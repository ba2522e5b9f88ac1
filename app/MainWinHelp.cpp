// The main window's help menu: the help page, the program's folder and the about box.
#include <QAction>
#include <QFile>
#include <QMessageBox>

#include "app/MainWin.h"
#include "dialogs/AboutBox.h"
#include "platform/AppPaths.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"

namespace {

constexpr char HelpFileName[] = "kvhelp/index.html";

void ShowHelpProblem(QWidget* owner, const QString& what, const std::vector<std::string>& places) {
  QString text = what + QStringLiteral("\n");
  for (const std::string& place : places) text += QLatin1Char('\n') + QFile::decodeName(place.c_str());
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("注意"), text, QMessageBox::Ok, owner);
  box->setObjectName(QStringLiteral("HelpProblem"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

// Opens the help page in the desktop's browser. Unlike a missing document elsewhere, a missing
// help page is said: the browser would only show an error page naming no place to look.
void ViewHelpHtml(QWidget* owner) {
  const THelpFile help = FindHelpFile(HelpFileName, ExecutableFolder());
  if (help.Path.empty())
    ShowHelpProblem(owner, QStringLiteral("ヘルプのページが見つかりません。次の場所を探しました。"), help.Places);
  else if (!OpenFile(help.Path))
    ShowHelpProblem(owner, QStringLiteral("ヘルプのページを開けませんでした。ブラウザで次のファイルを開いてください。"),
                    {help.Path});
}

TZmAboutInfo KirvaneAbout() {
  return {QStringLiteral("Kirvane"), QStringLiteral(KV_VERSION), QStringLiteral("Copyright (C) 2026 Kirvane developers"),
          {QStringLiteral("JPEG画像の表示には Independent JPEG Group のコードを使用しています。")}};
}

}  // namespace

void TFormKirvane::ConnectHelpCommands() {
  connect(ZmViewHelpHtmlActionKv, &QAction::triggered, this, [this] { ViewHelpHtml(this); });
  connect(ZmOpenAppFolderAction1, &QAction::triggered, this, [] { OpenFolder(ExecutableFolder()); });
  connect(ZmAboutActionKv, &QAction::triggered, this, [this] { TZmAboutBox::Open(KirvaneAbout(), this); });
}
