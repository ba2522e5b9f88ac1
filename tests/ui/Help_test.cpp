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
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app/MainWin.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "platform/SynchronizePump.h"
#include "slideshow/FormImage.h"
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
  std::unique_ptr<QTemporaryDir> Config_;
  std::unique_ptr<TSynchronizePump> Pump_;
  std::unique_ptr<TFormKirvane> Form_;
  QStringList Opened_;  // what the desktop was asked to open, instead of opening it
  bool DesktopOpens_ = true;

  TFormKirvane& Form() { return *Form_; }
  static QString Opening(TShellOpen kind, const std::string& path) {
    return QStringLiteral("%1 %2").arg(int(kind)).arg(QString::fromStdString(path));
  }

 private slots:
  void init() {
    Config_ = std::make_unique<QTemporaryDir>();
    qputenv("KIRVANE_CONFIG_DIR", Config_->path().toUtf8());
    Pump_ = std::make_unique<TSynchronizePump>();
    Opened_.clear();
    DesktopOpens_ = true;
    SetShellOpener([this](TShellOpen kind, const std::string& path) {
      Opened_ << Opening(kind, path);
      return DesktopOpens_;
    });
    Form_ = std::make_unique<TFormKirvane>(Config_->path().toStdString());
    Form().show();
    QVERIFY(QTest::qWaitForWindowActive(&Form(), kUiWaitMs));
    Form().FirstActivate();
  }
  void cleanup() {
    Form_.reset();
    Pump_.reset();
    SetShellOpener({});
  }

  void f1OpensTheHelpPageBesideTheProgram() {
    QTest::keyClick(&Form(), Qt::Key_F1);
    QTRY_COMPARE(Opened_, QStringList{Opening(TShellOpen::File, ExecutableFolder() + "kvhelp/index.html")});
    QVERIFY(!FindWindow("HelpProblem"));
  }

  void aPageTheDesktopCannotOpenIsNamedInAMessage() {
    DesktopOpens_ = false;
    Form().Action("ZmViewHelpHtmlActionKv")->trigger();
    auto* box = WaitWindow<QMessageBox>("HelpProblem");
    QVERIFY(box);
    QVERIFY(box->text().contains(QString::fromStdString(ExecutableFolder() + "kvhelp/index.html")));
    box->close();
  }

  void theProgramsFolderOpens() {
    Form().Action("ZmOpenAppFolderAction1")->trigger();
    QCOMPARE(Opened_, QStringList{Opening(TShellOpen::Folder, ExecutableFolder())});
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
