// The main window's help menu on the offscreen platform: the help page, the program's folder and
// the about box; and the help pages describe every command of both windows' menus.
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>

#include "app/MainWin.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "slideshow/FormImage.h"
#include "tests/support/MainWindowWorld.h"
#include "tests/support/UiWait.h"

namespace {

// Every command reachable from a menu bar, with the menus themselves.
void CollectMenuActions(const QList<QAction*>& actions, QList<QAction*>& out) {
  for (QAction* a : actions) {
    if (a->isSeparator() || !a->isVisible()) continue;
    out << a;
    if (a->menu()) CollectMenuActions(a->menu()->actions(), out);
  }
}

}  // namespace

class HelpTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainWindowWorld> World_;
  std::unique_ptr<TFormKirvane> Form_;

  TFormKirvane& Form() { return *Form_; }

 private slots:
  void init() {
    World_ = std::make_unique<TMainWindowWorld>();
    Form_ = std::make_unique<TFormKirvane>(World_->Dir());
    Form().show();
    QVERIFY(QTest::qWaitForWindowActive(&Form(), kUiWaitMs));
    Form().FirstActivate();
  }
  void cleanup() {
    Form_.reset();
    World_.reset();
  }

  void f1OpensTheHelpPageBesideTheProgram() {
    QTest::keyClick(&Form(), Qt::Key_F1);
    QTRY_COMPARE(World_->Opened,
                 QStringList{TMainWindowWorld::Opening(TShellOpen::File, ExecutableFolder() + "kvhelp/index.html")});
    QVERIFY(!FindWindow("HelpProblem"));
  }

  void aPageTheDesktopCannotOpenIsNamedInAMessage() {
    World_->DesktopOpens = false;
    Form().Action("ZmViewHelpHtmlActionKv")->trigger();
    auto* box = WaitWindow<QMessageBox>("HelpProblem");
    QVERIFY(box);
    QVERIFY(box->text().contains(QString::fromStdString(ExecutableFolder() + "kvhelp/index.html")));
    box->close();
  }

  void theProgramsFolderOpens() {
    Form().Action("ZmOpenAppFolderAction1")->trigger();
    QCOMPARE(World_->Opened, QStringList{TMainWindowWorld::Opening(TShellOpen::Folder, ExecutableFolder())});
  }

  void theAboutBoxNamesTheProgramItsVersionAndTheLibraries() {
    Form().Action("ZmAboutActionKv")->trigger();
    QPointer<QDialog> box = WaitWindow<QDialog>("ZmAboutBox");
    QVERIFY(box);
    QVERIFY(box->windowModality() != Qt::NonModal);
    QCOMPARE(box->windowTitle(), QStringLiteral("Kirvane のバージョン情報"));
    QCOMPARE(box->findChild<QLabel*>("ProductName")->text(), QStringLiteral("Kirvane  Version " KV_VERSION));
    QVERIFY(!box->findChild<QLabel*>("Copyright")->text().isEmpty());
    const QStringList memo = box->findChild<QPlainTextEdit*>("Memo1")->toPlainText().split(QLatin1Char('\n'));
    QVERIFY(memo.contains(QStringLiteral("JPEG画像の表示には Independent JPEG Group のコードを使用しています。")));
    QVERIFY(memo.contains(QStringLiteral("  Qt ") + QString::fromLatin1(qVersion())));
    for (const char* library : {"libjpeg-turbo", "libpng", "libtiff", "zlib", "ICU"}) {
      const QRegularExpression line(QStringLiteral("^  %1 \\d+\\.\\d+").arg(QLatin1String(library)));
      QVERIFY2(!memo.filter(line).isEmpty(), library);
    }
    box->findChild<QPushButton*>("OKButton")->click();
    QTRY_VERIFY(!box);  // closed and freed
  }

  // Captions as the menus show them ("終了(&X)" reads 終了(X)) must appear in the help pages.
  void theHelpDescribesEveryMenuCommand() {
    QString help;
    const QDir folder(QString::fromStdString(ExecutableFolder() + "kvhelp"));
    for (const QString& name : folder.entryList({QStringLiteral("*.html")})) {
      QFile page(folder.filePath(name));
      QVERIFY(page.open(QIODevice::ReadOnly));
      help += QString::fromUtf8(page.readAll());
    }
    QVERIFY(help.contains(QStringLiteral("ヘルプ(H)")));
    QList<QAction*> actions;
    CollectMenuActions(Form().menuBar()->actions(), actions);
    CollectMenuActions(Form().FormImage()->menuBar()->actions(), actions);
    QVERIFY(actions.size() > 60);
    for (QAction* a : actions) {
      const QString caption = QString(a->text()).remove(QLatin1Char('&'));
      QVERIFY2(help.contains(caption), qPrintable(caption));
    }
  }
};

QTEST_MAIN(HelpTest)
#include "Help_test.moc"
