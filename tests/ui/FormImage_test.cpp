// The slideshow window on the offscreen platform, over a list of real picture files held by a
// stand-in for the main window: showing, keys, clicks, wheel, the input guard while a picture
// loads, the automatic mode, the bar controls, the command rules and the end of a slideshow.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <atomic>
#include <memory>

#include "bitmap/PngWriter.h"
#include "dialogs/FileCommands.h"
#include "imageview/ZmGraphicExTypes.h"
#include "imageview/ZmImgView32.h"
#include "platform/Shell.h"
#include "platform/SynchronizePump.h"
#include "slideshow/FormImage.h"
#include "tests/support/UiWait.h"

namespace {

struct TEntry {
  std::string Folder, Path;
};

// The main window as the slideshow sees it.
class TFakeHost : public IFormImageHost {
 public:
  std::vector<TEntry> Entries;
  int NowIndex = -1;
  uint8_t Mode = 0;
  std::vector<int> Shown;
  int EndedAt = -2;

  int SlideCount() const override { return int(Entries.size()); }
  std::string_view SlideFolder(int i) const override { return Entries.at(size_t(i)).Folder; }
  std::string SlidePath(int i) const override { return Entries.at(size_t(i)).Path; }
  int SlideNowIndex() const override { return NowIndex; }
  void SetSlideNowIndex(int i) override { NowIndex = i; }
  uint8_t SlideShowMode() const override { return Mode; }
  void SetSlideShowMode(uint8_t m) override { Mode = m; }
  void SlideShown(int i) override { Shown.push_back(i); }
  void SlideShowEnded(int i) override { EndedAt = i; }
  TFileCommands& FileCommands() override { return *Commands; }
  std::unique_ptr<std::string> SendPath = std::make_unique<std::string>();
  std::unique_ptr<TFileCommands> Commands = std::make_unique<TFileCommands>(nullptr, *SendPath);
};

}  // namespace

class FormImageTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> Files_;
  std::unique_ptr<TSynchronizePump> Pump_;
  TFakeHost Host_;
  std::unique_ptr<TFormImage> Form_;

  TFormImage& Form() { return *Form_; }
  TZmImgView32& View() { return *Form_->ImgView32(); }
  QAction* Act(const char* name) { return Form().Action(name); }

  // Pictures of `w` x `h` (a wider one every third), one bad file at `bad`.
  void MakeList(int count, int bad = -1, int w = 40, int h = 30) {
    Host_.Entries.clear();
    const std::string dir = Files_->path().toStdString() + "/";
    for (int i = 0; i < count; ++i) {
      const std::string path = dir + "p" + std::to_string(i) + ".png";
      if (i == bad) {
        QFile f(QString::fromStdString(path));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
      } else {
        TBitmap32 b(w + i, h);
        b.Clear(Color32(255, uint8_t(i * 20), 0, 0));
        QVERIFY(WritePng(b, path));
      }
      Host_.Entries.push_back({dir, path});
    }
  }
  void WaitShown() { QTRY_VERIFY_WITH_TIMEOUT(!Form().Loading(), kUiWaitMs); }
  void Start(int index, uint8_t mode = 0) {
    Form().Start(mode, index);
    WaitShown();
  }
  void Key(int key, Qt::KeyboardModifiers mods = {}) {
    QTest::keyClick(&Form(), Qt::Key(key), mods);
    WaitShown();
  }
  // A press and release on the image `travel` pixels apart.
  void Click(Qt::MouseButton button, QPoint travel, Qt::KeyboardModifiers mods = {}) {
    const QPoint at(100, 100);
    QTest::mousePress(&View(), button, mods, at);
    QTest::mouseRelease(&View(), button, mods, at + travel);
    WaitShown();
  }

 private slots:
  void init() {
    Files_ = std::make_unique<QTemporaryDir>();
    Pump_ = std::make_unique<TSynchronizePump>();
    Host_ = TFakeHost();
    Form_ = std::make_unique<TFormImage>(Host_);
    View().SetFormFullScreen(false);
    Form().resize(640, 480);
  }
  void cleanup() {
    Form_.reset();
    Pump_.reset();
  }

  void startShowsThePictureAndTellsTheMainWindow() {
    MakeList(5);
    Start(3);
    QVERIFY(Form().isVisible());
    QCOMPARE(Host_.NowIndex, 3);
    QCOMPARE(Host_.Shown, std::vector<int>{3});
    QCOMPARE(View().Bitmap().Width(), 43);
    QCOMPARE(Form().StatusText(1), QStringLiteral("4 / 5"));
    QCOMPARE(Form().StatusText(2), QStringLiteral("43x30"));
    QCOMPARE(Form().windowTitle(), QStringLiteral("p3.png %1/ - Kirvane").arg(Files_->path()));
    // The neighbours are decoded ahead.
    QTRY_COMPARE(Form().Loader().CachedBytes(), uint64_t(4) * 30 * (42 + 43 + 44));
  }

  void keysNavigateAndStopTheAutomaticMode() {
    MakeList(5);
    Start(4);
    Key(Qt::Key_Return);  // at the end without loop: nothing, not even a reload
    QCOMPARE(Host_.Shown.size(), size_t(1));
    Key(Qt::Key_L);
    Key(Qt::Key_Return);
    QCOMPARE(Host_.NowIndex, 0);
    Key(Qt::Key_Backspace);
    QCOMPARE(Host_.NowIndex, 4);
    Key(Qt::Key_Home);
    Key(Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(Host_.NowIndex, 1);
    Key(Qt::Key_End);
    QCOMPARE(Host_.NowIndex, 4);

    Key(Qt::Key_Space);  // the automatic mode on
    QCOMPARE(Host_.Mode, uint8_t(1));
    QVERIFY(Form().AutoTimerActive());
    Key(Qt::Key_Home);  // stops it instead of moving
    QCOMPARE(Host_.Mode, uint8_t(0));
    QCOMPARE(Host_.NowIndex, 4);
    QVERIFY(!Form().AutoTimerActive());
    Key(Qt::Key_Return, Qt::AltModifier);  // full screen whatever the mode
    QVERIFY(View().FormFullScreen());
  }

  void keysReachTheViewAndTheScrollSpeeds() {
    MakeList(2, -1, 2000, 1500);
    Start(0);
    Key(Qt::Key_2);
    QCOMPARE(View().Scale(), 2.0f);
    Key(Qt::Key_1);
    QCOMPARE(View().Scale(), 1.0f);
    Key(Qt::Key_3, Qt::KeypadModifier);  // keypad 3: right and down... the image moves left and up
    QCOMPARE(View().SpeedHorz(), -View().HorzStep());
    QCOMPARE(View().SpeedVert(), -View().VertStep());
    const float x = View().OffsetHorz(), y = View().OffsetVert();
    Form().ScrollTick(30);  // three intervals late: three steps
    QCOMPARE(View().OffsetHorz(), float(x - 3 * View().HorzStep()));
    QCOMPARE(View().OffsetVert(), float(y - 3 * View().VertStep()));
    Key(Qt::Key_5, Qt::KeypadModifier);
    QCOMPARE(View().SpeedHorz(), 0.0);
    Key(Qt::Key_3, Qt::KeypadModifier | Qt::ControlModifier);
    QCOMPARE(View().ImgPlace(), ipBottomRight);
    Key(Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(View().ImgPlace(), ipRight);
    Key(Qt::Key_S);
    QCOMPARE(View().StretchFilter(), sfSpline);
    Key(Qt::Key_A, Qt::ShiftModifier);
    QCOMPARE(View().ImgSizeAdjustment(), saAutoScaleShort);
  }

  void inputWhileAPictureLoadsIsDropped() {
    MakeList(5);
    Start(0);
    std::atomic<bool> release{false};
    auto blockNextDecodes = [&] {
      QTRY_VERIFY(!Form().Loader().Busy());
      Form().Loader().ClearCache();  // nothing prefetched: the next picture must be decoded
      release = false;
    };
    Form().Loader().Decoder = [&release](const std::string& path, const TDecodeHint&) {
      while (!release) QThread::msleep(1);
      return LoadPicture(path);
    };
    blockNextDecodes();
    QTest::keyClick(&Form(), Qt::Key_Return);
    QVERIFY(Form().Loading());
    for (int i = 0; i < 5; ++i) QTest::keyClick(&Form(), Qt::Key_Return);
    QTest::mousePress(&View(), Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseRelease(&View(), Qt::LeftButton, {}, QPoint(50, 50));
    release = true;
    WaitShown();
    QCOMPARE(Host_.NowIndex, 1);
    QCOMPARE(Host_.Shown, (std::vector<int>{0, 1}));

    // Esc is the way out even then; a picture that arrives afterwards is not shown.
    blockNextDecodes();
    QTest::keyClick(&Form(), Qt::Key_Return);
    QVERIFY(Form().Loading());
    QTest::keyClick(&Form(), Qt::Key_Escape);
    QVERIFY(!Form().isVisible());
    release = true;
    QTRY_VERIFY(!Form().Loader().Busy());
    QCOMPARE(Host_.Shown.size(), size_t(2));
    QCOMPARE(Host_.EndedAt, 2);
  }

  void clicksWithinTheToleranceNavigate() {
    MakeList(5);
    Start(2);
    Click(Qt::LeftButton, {8, -10});
    QCOMPARE(Host_.NowIndex, 3);
    Click(Qt::LeftButton, {11, 0});  // a drag
    QCOMPARE(Host_.NowIndex, 3);
    Click(Qt::RightButton, {0, 10});
    QCOMPARE(Host_.NowIndex, 2);
    Host_.Mode = 1;
    Click(Qt::LeftButton, {});  // stops the automatic mode, no step
    QCOMPARE(Host_.Mode, uint8_t(0));
    QCOMPARE(Host_.NowIndex, 2);
    QTest::mouseClick(&View(), Qt::MiddleButton, {}, QPoint(5, 5));
    QVERIFY(!Form().isVisible());
    QCOMPARE(Host_.EndedAt, 2);
    QVERIFY(View().Bitmap().Empty());
  }

  void wheelScrollsZoomsOrSteps() {
    MakeList(3, -1, 200, 3000);
    Start(0);
    auto wheel = [this](int delta, Qt::KeyboardModifiers mods = {}) {
      QWheelEvent e(QPointF(50, 50), View().mapToGlobal(QPointF(50, 50)), {}, QPoint(0, delta), Qt::NoButton, mods,
                    Qt::NoScrollPhase, false);
      QApplication::sendEvent(&View(), &e);
      WaitShown();
    };
    const float y = View().OffsetVert();
    wheel(120);  // taller than the view: scrolls down
    QCOMPARE(View().OffsetVert(), float(y + View().VertWheelStep()));
    wheel(120, Qt::ControlModifier);
    QCOMPARE(View().Scale(), 0.5f);
    wheel(-120, Qt::ShiftModifier);
    QCOMPARE(Host_.NowIndex, 0);  // back from the first without loop
    View().SetImgSizeAdjustment(saAutoScaleLong);
    wheel(120);
    QCOMPARE(Host_.NowIndex, 1);
  }

  void theAutomaticModeAdvancesUntilTheEnd() {
    MakeList(3);
    Form().SetViewInterval(1);
    Start(0, 1);
    // NowIndex moves when a load starts; Shown when the picture is on screen.
    QTRY_COMPARE_WITH_TIMEOUT(Host_.Shown.size(), size_t(3), kUiWaitMs);
    QCOMPARE(Host_.Shown, (std::vector<int>{0, 1, 2}));
    QVERIFY(Form().AutoTimerActive());  // keeps firing without effect
    Act("ShowModeAutoStopAct")->trigger();
    QVERIFY(!Form().AutoTimerActive());
  }

  void barControlsAndCommandRules() {
    MakeList(3, 1);
    Start(0);
    QComboBox* scale = Form().ScaleBox();
    scale->setCurrentIndex(scale->findText("256"));
    emit scale->activated(scale->currentIndex());
    QCOMPARE(View().Scale(), 256.0f);
    Act("ScaleUpAct")->trigger();
    QCOMPARE(View().Scale(), 256.0f);
    scale->setEditText("1000");
    emit scale->lineEdit()->returnPressed();
    QCOMPARE(scale->currentText(), QStringLiteral("256"));
    scale->setEditText("abc");
    emit scale->lineEdit()->returnPressed();
    QCOMPARE(View().Scale(), 256.0f);

    Form().IntervalBox()->setValue(0);
    QCOMPARE(Form().ViewInterval(), 1);
    Form().IntervalBox()->setValue(5);
    QCOMPARE(Form().ViewInterval(), 5000);

    // A failed picture: no size, no copy; the next good one brings both back.
    Key(Qt::Key_Return);
    Form().ActionListUpdate();
    QVERIFY(!View().LoadErrorText().isEmpty());
    QVERIFY(!Act("ImageCopyAct")->isEnabled());
    QCOMPARE(Form().StatusText(2), QString());
    Key(Qt::Key_Return);
    Form().ActionListUpdate();
    QVERIFY(Act("ImageCopyAct")->isEnabled());

    View().SetFormFullScreen(true);
    Form().ActionListUpdate();
    QVERIFY(!Act("TitleBarVisibleAct")->isEnabled());
    Act("AutoScaleLongAct")->trigger();
    Form().ActionListUpdate();
    QCOMPARE(View().ImgSizeAdjustment(), saAutoScaleLong);
    const auto buttons = Form().findChildren<QToolButton*>();
    QVERIFY(std::any_of(buttons.begin(), buttons.end(),
                        [this](QToolButton* b) { return b->defaultAction() == Act("AutoScaleLongAct"); }));
  }

  // Opening the shown file, its place in the file manager and its folder; a file that has gone
  // since is not opened, and the file manager shows its folder instead.
  void theShownFileIsOpenedThroughTheDesktop() {
    const auto entry = [](TShellOpen kind, const std::string& path) {
      return QStringLiteral("%1 %2").arg(int(kind)).arg(QString::fromStdString(path));
    };
    QStringList opened;
    const TShellOpener desktop = SetShellOpener([&](TShellOpen kind, const std::string& path) {
      opened << entry(kind, path);
      return true;
    });
    MakeList(2);
    Start(1);
    const TEntry shown = Host_.Entries[1];
    const auto openAll = [this] {
      for (const char* name : {"OpenShellOneAct", "OpenExplorerOneAct", "OpenFolderOneAct"}) Act(name)->trigger();
    };
    openAll();
    QFile::remove(QString::fromStdString(shown.Path));
    openAll();
    SetShellOpener(desktop);
    QCOMPARE(opened, (QStringList{entry(TShellOpen::File, shown.Path), entry(TShellOpen::FileManager, shown.Path),
                                  entry(TShellOpen::Folder, shown.Folder), entry(TShellOpen::FileManager, shown.Folder),
                                  entry(TShellOpen::Folder, shown.Folder)}));
  }

  // Copy and move of the shown file go through the application's file commands, which remember
  // the chosen folder; they are offered only while a picture of the list is shown.
  void theShownFileIsCopiedToTheChosenFolder() {
    MakeList(2);
    Start(1);
    const std::string target = Files_->path().toStdString() + "/target/";
    QVERIFY(QDir().mkpath(QString::fromStdString(target)));
    const TFolderChooser desktop = SetFolderChooser([&](const QString&, const std::string&) { return target; });
    Form().ActionListUpdate();
    Act("CopyFileOneAct")->trigger();
    SetFolderChooser(desktop);
    QTRY_VERIFY_WITH_TIMEOUT(!Host_.FileCommands().Busy(), kUiWaitMs);
    QVERIFY(QFile::exists(QString::fromStdString(target + "p1.png")));
    QCOMPARE(*Host_.SendPath, target);
    Host_.NowIndex = -1;
    Form().ActionListUpdate();
    QVERIFY(!Act("MoveFileOneAct")->isEnabled());
  }

  void barsShowOnDemandAtTheTop() {
    MakeList(2);
    Start(0);
    Form().SetBarVisible(false);
    QTest::mouseMove(&View(), QPoint(100, 2));
    QTRY_VERIFY(Form().menuBar()->isVisible());
    QVERIFY(!Form().BarVisible());
    QTest::mouseMove(&View(), QPoint(100, 200));
    QTRY_VERIFY(!Form().menuBar()->isVisible());
    Key(Qt::Key_Space, Qt::ControlModifier);  // pinned
    QVERIFY(Form().BarVisible());
    QVERIFY(Form().menuBar()->isVisible());
  }
};

QTEST_MAIN(FormImageTest)
#include "FormImage_test.moc"
