// The program as a process: command-line options, a second start handing its argument to the
// first, a stale lock after a crash, and the end by SIGHUP.
#include <QProcess>
#include <QTest>

#include <signal.h>

#include <filesystem>
#include <fstream>

#include "app/RecentFolders.h"
#include "options/IniFile.h"
#include "tests/support/MainWindowWorld.h"
#include "tests/support/UiWait.h"

namespace fs = std::filesystem;

class ProgramTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainWindowWorld> World_;

  std::string Dir() const { return World_->Dir(); }
  std::string ConfigDir() const { return World_->ConfigDir(); }
  // For tests that run kirvane: with DoNow on, every listing records its folder in folder.txt.
  void RecordEveryListing() { std::ofstream(ConfigDir() + "kirvane.ini") << "[Option]\r\nDoNow=1\r\n"; }
  std::string FirstRecentFolder() const {
    const TRecentFolders f = LoadRecentFolders(ConfigDir() + "folder.txt");
    return f.empty() ? std::string() : f.front();
  }
  static void StartKirvane(QProcess& p, const QStringList& args, const std::string& workingFolder = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    if (!workingFolder.empty()) p.setWorkingDirectory(QString::fromStdString(workingFolder));
    p.start(QStringLiteral(KV_BIN_DIR "/kirvane"), args);
    QVERIFY(p.waitForStarted(kUiWaitMs));
  }
 private slots:
  void init() {
    World_ = std::make_unique<TMainWindowWorld>();
    // A listing records its folder only when it starts a slideshow, which needs pictures.
    for (const char* name : {"a.jpg", "sub/d.jpg", "other/f.jpg"}) {
      fs::create_directories(fs::path(Dir() + name).parent_path());
      std::ofstream(Dir() + name) << "x";
    }
  }
  void cleanup() { World_.reset(); }

  // Options end the program before it starts or meets another instance; no display is needed.
  void commandLineOptions() {
    const struct {
      QStringList Args;
      int Exit;
      const char* Stdout;
      const char* Stderr;
    } cases[] = {
        {{"--help"}, 0, "usage: kirvane", ""},
        {{"--version"}, 0, "kirvane 2.31\n", ""},
        {{"--help", "/tmp"}, 0, "usage: kirvane", ""},
        {{"-x"}, 2, "", "unknown option -x"},
        {{"/tmp", "--bogus"}, 2, "", "unknown option --bogus"},
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
    const std::string config = ConfigDir();
    for (const auto& c : cases) {
      QProcess p;
      p.setProcessEnvironment(env);
      p.start(QStringLiteral(KV_BIN_DIR "/kirvane"), c.Args);
      QVERIFY(p.waitForFinished(kUiWaitMs));
      QCOMPARE(p.exitCode(), c.Exit);
      const QString out = QString::fromUtf8(p.readAllStandardOutput());
      const QString err = QString::fromUtf8(p.readAllStandardError());
      QVERIFY2(*c.Stdout ? out.startsWith(c.Stdout) : out.isEmpty(), qPrintable(out));
      QVERIFY2(*c.Stderr ? err.contains(c.Stderr) : err.isEmpty(), qPrintable(err));
    }
    QVERIFY(!fs::exists(config + "kirvane.ini"));  // no window ever started
  }

  // A closed terminal (SIGHUP) ends the program as SIGTERM does, writing both files. The start
  // path is relative to the working folder and dotted.
  void hangUpClosesNormally() {
    RecordEveryListing();
    QProcess p;
    StartKirvane(p, {QStringLiteral("./..//other/.")}, Dir() + "sub");
    QTRY_COMPARE_WITH_TIMEOUT(FirstRecentFolder(), Dir() + "other/", kUiWaitMs);
    fs::remove(ConfigDir() + "kirvane.ini");
    ::kill(pid_t(p.processId()), SIGHUP);
    QVERIFY(p.waitForFinished(kUiWaitMs));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY(TMemIniFile(ConfigDir() + "kirvane.ini").SectionExists("GraphicTypes"));
  }

  // Two real processes: the second hands its argument over to the first and exits 0.
  void secondInstanceHandsOverItsFirstArgument() {
    RecordEveryListing();
    const std::string config = ConfigDir();
    QProcess first;
    StartKirvane(first, {QString::fromStdString(Dir() + "sub")});
    QTRY_COMPARE_WITH_TIMEOUT(FirstRecentFolder(), Dir() + "sub/", kUiWaitMs);

    QProcess second;  // a relative path is the second start's, and is handed over cleaned
    StartKirvane(second, {QStringLiteral("../other/./f.jpg"), QStringLiteral("/ignored")}, Dir() + "sub");
    QVERIFY(second.waitForFinished(kUiWaitMs));
    QCOMPARE(second.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(FirstRecentFolder(), Dir() + "other/", kUiWaitMs);

    QProcess third;  // no argument: the first only comes to the front
    StartKirvane(third, {});
    QVERIFY(third.waitForFinished(kUiWaitMs));
    QCOMPARE(third.exitCode(), 0);
    QCOMPARE(FirstRecentFolder(), Dir() + "other/");

    // A crashed first instance leaves its lock and socket behind; the next start is not blocked.
    first.kill();
    first.waitForFinished();
    QProcess fourth;
    StartKirvane(fourth, {QString::fromStdString(Dir())});
    QTRY_COMPARE_WITH_TIMEOUT(FirstRecentFolder(), Dir(), kUiWaitMs);
    QCOMPARE(fourth.state(), QProcess::Running);
    fourth.terminate();  // closes the window normally: the settings are saved
    QVERIFY(fourth.waitForFinished(kUiWaitMs));
    QVERIFY(fs::exists(config + "kirvane.ini"));
    TMemIniFile ini(config + "kirvane.ini");
    QVERIFY(ini.SectionExists("GraphicTypes"));
  }
};

QTEST_MAIN(ProgramTest)
#include "Program_test.moc"
