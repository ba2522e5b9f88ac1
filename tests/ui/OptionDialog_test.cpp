// The options dialog on the main window of a real start: checks on OK, factory values, the
// column editor, the place preview, the formats, and every control through a restart.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

#include "app/MainWin.h"
#include "catalogue/ZmThreadFileInfoList.h"
#include "columns/ZmListView.h"
#include "dialogs/OptionDialog.h"
#include "imageview/ZmImgView32.h"
#include "slideshow/ColorBox.h"
#include "tests/support/MainWindowWorld.h"
#include "tests/support/UiWait.h"

namespace fs = std::filesystem;

class OptionDialogTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainWindowWorld> World_;
  std::unique_ptr<TFormKirvane> Form_;

  std::string Dir() const { return World_->Dir(); }
  TFormKirvane& Form() { return *Form_; }
  TZmImgView32& View() { return *Form().FormImage()->ImgView32(); }
  IKirvaneOptionsHost& Host() { return *Form_; }

  void Start() {
    Form_ = std::make_unique<TFormKirvane>(Dir());
    Form().FirstActivate();
    QTRY_VERIFY_WITH_TIMEOUT(!Form().FileInfos().List().Busy(), kUiWaitMs);
    Form().ActionList1Update();
  }
  TOptionDialog* Open(const char* action = "OptionDetailAct") {
    Form().Action(action)->trigger();
    return WaitWindow<TOptionDialog>("OptionDialog");
  }
  template <class T>
  static T* Child(QWidget* dialog, const char* name) {
    return dialog->findChild<T*>(QString::fromLatin1(name));
  }
  // Sets a control of the dialog by its name: a list's index, a check, a field's text.
  static void Set(QWidget* dialog, const char* name, const QVariant& value) {
    if (auto* box = Child<QComboBox>(dialog, name)) {
      if (box->isEditable()) box->setEditText(value.toString());
      else box->setCurrentIndex(value.toInt());
    } else if (auto* check = Child<QCheckBox>(dialog, name)) {
      check->setChecked(value.toBool());
    } else if (auto* edit = Child<QLineEdit>(dialog, name)) {
      edit->setText(value.toString());
    } else {
      QFAIL(name);
    }
  }
  static QVariant Get(QWidget* dialog, const char* name, const QVariant& like) {
    if (auto* box = Child<QComboBox>(dialog, name)) return box->isEditable() ? QVariant(box->currentText()) : QVariant(box->currentIndex());
    if (auto* check = Child<QCheckBox>(dialog, name)) return check->isChecked();
    if (auto* edit = Child<QLineEdit>(dialog, name)) return edit->text();
    return like;
  }
  static void Ok(QWidget* dialog) { Child<QPushButton>(dialog, "BtnOK")->click(); }
  std::string Ini() const {
    std::ifstream in(World_->ConfigDir() + "kirvane.ini", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private slots:
  void init() {
    World_ = std::make_unique<TMainWindowWorld>();
    for (const char* name : {"a.jpg", "b.png", "c.bmp"}) std::ofstream(Dir() + name) << "x";
    Start();
  }
  void cleanup() {
    Form_.reset();
    World_.reset();
  }

  // OK checks the interval first, then the scale; a refused field shows its old value again and
  // the dialog stays open.
  void okChecksTheIntervalThenTheScale_data() {
    QTest::addColumn<QString>("interval");
    QTest::addColumn<QString>("scale");
    QTest::addColumn<QString>("refusal");  // the start of the warning, empty when accepted
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<double>("appliedScale");
    const QString interval = QStringLiteral("自動スライドショーの間隔は"), scale = QStringLiteral("倍率は、0.02-256 倍");
    QTest::newRow("1000 s") << "1000" << "1" << "" << 1000000 << 1.0;
    QTest::newRow("0 s, tiny scale") << "0" << "0.001" << "" << 1 << 0.015625;
    for (const char* bad : {"1001", "-1", "2.5", ""}) QTest::newRow(bad) << bad << "1" << interval << 3000 << 1.0;
    for (const char* bad : {"0", "300", "abc"}) QTest::newRow(bad) << "5" << bad << scale << 3000 << 1.0;
    QTest::newRow("both wrong") << "x" << "x" << interval << 3000 << 1.0;
  }
  void okChecksTheIntervalThenTheScale() {
    QFETCH(QString, interval);
    QFETCH(QString, scale);
    QFETCH(QString, refusal);
    QFETCH(int, intervalMs);
    QFETCH(double, appliedScale);
    TOptionDialog* dialog = Open();
    QVERIFY(dialog);
    Set(dialog, "EditViewInterval", interval);
    Set(dialog, "ComboBoxScale", scale);
    Ok(dialog);
    if (!refusal.isEmpty()) {
      auto* box = WaitWindow<QMessageBox>("OptionWarning");
      QVERIFY(box);
      QVERIFY2(box->text().startsWith(refusal), qPrintable(box->text()));
      box->button(QMessageBox::Ok)->click();
      QVERIFY(dialog->isVisible());
      QCOMPARE(Get(dialog, refusal.startsWith(QStringLiteral("自動")) ? "EditViewInterval" : "ComboBoxScale", {}),
               QVariant(refusal.startsWith(QStringLiteral("自動")) ? QStringLiteral("3") : QStringLiteral("1")));
      dialog->reject();
    }
    QTRY_VERIFY(!FindWindow("OptionDialog"));
    QCOMPARE(Host().ViewInterval(), intervalMs);
    QCOMPARE(double(View().Scale()), appliedScale);
  }

  void defaultsThenCancelChangeNothing() {
    const TZmImgView32Defaults view = View().Settings();
    const std::string before = (Form().close(), Ini());
    Start();
    TOptionDialog* dialog = Open();
    QVERIFY(dialog);
    Child<QPushButton>(dialog, "Button1")->click();
    QCOMPARE(Get(dialog, "ComboBoxImgViewMode", 0), QVariant(2));
    Child<QPushButton>(dialog, "BtnCancel")->click();
    QTRY_VERIFY(!FindWindow("OptionDialog"));
    QVERIFY(View().Settings() == view);
    Form().close();
    QCOMPARE(Ini(), before);
  }

  // Each control reaches the live objects on OK and comes back after a restart.
  void everyControlSurvivesARestart() {
    const std::pair<const char*, QVariant> controls[] = {
        {"ComboBoxStretchFilter", 3}, {"ComboBoxSlideShowMode", 1},   {"EditViewInterval", "7"},
        {"CheckBoxReverseMove", true}, {"CheckBoxLoop", true},         {"ComboBoxSizeAdjustment", 2},
        {"ComboBoxImgPlace", 6},      {"ComboBoxScale", "2.5"},        {"CheckBoxFullScreen", false},
        {"CheckBoxTitleBarView", true}, {"CheckBoxBarVisible", false}, {"CheckBoxCursorView", true},
        {"CheckBoxSubFolderSearch", true}, {"CheckBoxHiddenFileView", false}, {"CheckBoxDoNow", true},
        {"CheckBoxFolderBarVisible", false}, {"ComboBoxFilePriority", 2}, {"ComboBoxImgViewMode", 1},
    };
    fs::remove(Dir() + "a.jpg"), fs::remove(Dir() + "b.png"), fs::remove(Dir() + "c.bmp");  // no slideshow at once
    TOptionDialog* dialog = Open();
    QVERIFY(dialog);
    for (const auto& [name, value] : controls) {
      QVERIFY2(Get(dialog, name, value) != value, name);  // a change, not the value it had
      Set(dialog, name, value);
    }
    Child<TZmColorBox>(dialog, "ColorBoxBG")->SetColor(RGB(10, 20, 30));
    Child<QTreeWidget>(dialog, "LVType")->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    Child<QTreeWidget>(dialog, "ListViewCE")->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
    Ok(dialog);
    QTRY_VERIFY(!FindWindow("OptionDialog"));
    QCOMPARE(Host().ViewInterval(), 7000);
    QCOMPARE(View().ImgPlace(), ipTopLeft);
    QVERIFY(!Form().FolderTree()->isVisible());
    Form().close();
    Form_.reset();
    Start();
    dialog = Open();
    QVERIFY(dialog);
    for (const auto& [name, value] : controls) QCOMPARE(Get(dialog, name, value), value);
    QCOMPARE(Child<TZmColorBox>(dialog, "ColorBoxBG")->Color(), RGB(10, 20, 30));
    QCOMPARE(Child<QTreeWidget>(dialog, "LVType")->topLevelItem(1)->checkState(0), Qt::Unchecked);
    QCOMPARE(Child<QTreeWidget>(dialog, "ListViewCE")->topLevelItem(2)->checkState(0), Qt::Unchecked);
    dialog->reject();
  }

  void theColumnEditorKeepsTheNameColumnFirstAndShown() {
    emit Form().FileListView()->ColumnClick(2);  // sorted by the third column
    const int sorted = Form().FileListView()->SortColumnIndex;
    QVERIFY(sorted != 0);
    TOptionDialog* dialog = Open("ColumnsEditAct");
    QVERIFY(dialog);
    QCOMPARE(Child<QTabWidget>(dialog, "PageControl1")->currentIndex(), 4);
    auto* rows = Child<QTreeWidget>(dialog, "ListViewCE");
    auto enabled = [dialog](const char* name) { return Child<QAction>(dialog, name)->isEnabled(); };
    rows->setCurrentItem(rows->topLevelItem(0));
    rows->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    QCOMPARE(rows->topLevelItem(0)->checkState(0), Qt::Checked);
    QVERIFY(!enabled("RowsUpAct") && !enabled("RowsDownAct") && !enabled("RowsHideAct"));
    rows->setCurrentItem(rows->topLevelItem(1));
    QVERIFY(!enabled("RowsUpAct") && enabled("RowsDownAct"));
    for (int i = 0; i < rows->topLevelItemCount(); ++i)
      if (rows->topLevelItem(i)->data(0, Qt::UserRole + 1).toInt() == sorted) rows->setCurrentItem(rows->topLevelItem(i));
    Child<QAction>(dialog, "RowsHideAct")->trigger();
    Child<QAction>(dialog, "RowsUpAct")->trigger();
    Ok(dialog);
    QTRY_VERIFY(!FindWindow("OptionDialog"));
    QCOMPARE(Form().FileListView()->SortColumnIndex, 0);
    QCOMPARE(Form().FileInfos().SortMode(), 0);
    QVERIFY(!Form().FileListView()->SortDown);
  }

  void thePlacePreviewAndItsColours() {
    TOptionDialog* dialog = Open();
    QVERIFY(dialog);
    auto* preview = dialog->findChild<QWidget*>("ShapeBackGround");
    auto* place = Child<QComboBox>(dialog, "ComboBoxImgPlace");
    const struct {
      QPoint Drop;
      int Code;
    } drops[] = {{{40, 5}, 8}, {{3, 40}, 0}, {{60, 5}, 0}};  // the last falls outside: no change
    // The picture's cell: the one whose middle is not in the background colour.
    const auto picture = [preview] {
      const QImage shown = preview->grab().toImage();
      for (int y = 8; y < 48; y += 16)
        for (int x = 8; x < 48; x += 16)
          if (shown.pixelColor(x, y) != shown.pixelColor(1, 1)) return QPoint(x, y);
      return QPoint();
    };
    for (const auto& d : drops) {
      QTest::mousePress(preview, Qt::LeftButton, {}, picture());
      QTest::mouseMove(preview, d.Drop);
      QTest::mouseRelease(preview, Qt::LeftButton, {}, d.Drop);
      QCOMPARE(place->currentIndex(), d.Code);
    }
    for (const auto& [color, contrast] : {std::pair{RGB(0, 0, 0), QColor(128, 128, 128)}, {RGB(255, 255, 255), QColor(127, 127, 127)}}) {
      Child<TZmColorBox>(dialog, "ColorBoxBG")->SetColor(color);
      emit Child<TZmColorBox>(dialog, "ColorBoxBG")->ColorChosen(color);
      QCOMPARE(preview->grab().toImage().pixelColor(8, 40), contrast);  // the picture, bottom-left
    }
    dialog->reject();
  }

  // Formats switched off leave the list at once; "全選択" checks all, then clears all.
  void formatsOffLeaveTheListAtOnce() {
    QCOMPARE(Form().FileListView()->ItemsCount(), 3);
    TOptionDialog* dialog = Open();
    QVERIFY(dialog);
    auto* types = Child<QTreeWidget>(dialog, "LVType");
    auto* all = Child<QPushButton>(dialog, "Button4");
    types->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    all->click();
    for (int i = 0; i < types->topLevelItemCount(); ++i) QCOMPARE(types->topLevelItem(i)->checkState(0), Qt::Checked);
    all->click();
    for (int i = 0; i < types->topLevelItemCount(); ++i) QCOMPARE(types->topLevelItem(i)->checkState(0), Qt::Unchecked);
    all->click();
    for (int i = 0; i < types->topLevelItemCount(); ++i)
      if (types->topLevelItem(i)->text(0) == QStringLiteral("JPEGImage")) types->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    Ok(dialog);
    QTRY_VERIFY(!FindWindow("OptionDialog"));
    QTRY_VERIFY_WITH_TIMEOUT(!Form().FileInfos().List().Busy() && Form().FileListView()->ItemsCount() == 2, kUiWaitMs);
  }

  // Values no dialog would write open without harm and are put right by OK.
  void hostileSettingsAreNormalisedOnOk() {
    Form_.reset();
    std::ofstream(World_->ConfigDir() + "kirvane.ini")
        << "[SlideShow]\r\nShowMode=7\r\nViewInterval=-5000\r\nStretchFilter=77\r\nImgPlace=40\r\n"
           "ImgSizeAdjustment=9\r\nScale=abc\r\n[Option]\r\nImgViewMode=9\r\n[OptionFileInfos]\r\nPriority=99\r\n";
    Start();
    TOptionDialog* dialog = Open();
    QVERIFY(dialog);
    Ok(dialog);
    QTRY_VERIFY(!FindWindow("OptionDialog"));
    QCOMPARE(Form().AppOptions().ShowMode, uint8_t(0));
    QCOMPARE(Form().AppOptions().ImgViewMode, uint8_t(2));
    QCOMPARE(Host().ViewInterval(), 1);
    QCOMPARE(int(Form().FileInfos().Priority()), int(TThreadPriority::tpHighest));
  }
};

QTEST_MAIN(OptionDialogTest)
#include "OptionDialog_test.moc"
