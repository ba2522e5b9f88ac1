// The main window on the offscreen platform, with real folder trees in temporary folders.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QFileSystemModel>
#include <QDir>
#include <QDialog>
#include <QMimeData>
#include <QPushButton>
#include <QLineEdit>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QFocusEvent>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QCheckBox>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "app/MainWin.h"
#include "app/RecentFolders.h"
#include "catalogue/FormatSettings.h"
#include "catalogue/ZmUtils.h"
#include "columns/ZmListView.h"
#include "imageview/ImgView32.h"
#include "imageview/ZmGraphicExTypes.h"
#include "options/IniFile.h"
#include "platform/Shell.h"
#include "slideshow/FormImage.h"
#include "tests/support/MainWindowWorld.h"
#include "tests/support/UiWait.h"
#include "imageview/ZmImgView32.h"

namespace fs = std::filesystem;

namespace {
void Touch(const std::string& path, const std::string& contents = "x") {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << contents;
}
std::string Text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace

class MainWinTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainWindowWorld> World_;
  std::unique_ptr<TFormKirvane> Form_;
  std::string ChooserSaw_;
  std::optional<std::string> ChooserAnswer_;

  std::vector<int> SelectedRows() {
    std::vector<int> rows;
    for (int i = 0; i < List().ItemsCount(); ++i)
      if (List().IsSelected(i)) rows.push_back(i);
    return rows;
  }

  std::string Dir() const { return World_->Dir(); }
  TFormKirvane& Form() { return *Form_; }
  TZmListView& List() { return *Form_->FileListView(); }

  void WaitListed() {
    // The end of a listing is one step: once the list is idle every end handler has run.
    QTRY_VERIFY_WITH_TIMEOUT(!Form().FileInfos().List().Busy(), kUiWaitMs);
  }
  void Go(const std::string& path) {
    Form().MoveFolder(path);
    WaitListed();
  }
  int RowOf(const std::string& name) { return Form().IndexOfFile(Dir() + name); }
  QString Status(int panel) { return Form().StatusText(panel); }
  std::string ConfigDir() const { return World_->ConfigDir(); }

  void WaitFileCommandsIdle() { QTRY_VERIFY_WITH_TIMEOUT(!Form().FileCommands().Busy(), kUiWaitMs); }
  void ReleaseKey(int key, Qt::KeyboardModifiers mods = {}) { QTest::keyRelease(&List(), Qt::Key(key), mods); }
  void TypeKey(int key, Qt::KeyboardModifiers mods = {}) {
    QTest::keyPress(&List(), Qt::Key(key), mods);
    QTest::keyRelease(&List(), Qt::Key(key), mods);
  }

 private slots:
  void init() {
    World_ = std::make_unique<TMainWindowWorld>();
    SetFolderChooser([this](const QString&, const std::string& initial) {
      ChooserSaw_ = initial;
      return ChooserAnswer_;
    });
    for (const char* name : {"a.jpg", "b.png", "B2.PNG", "c.txt", "sub/d.jpg", "sub/e.bmp", "other/f.jpg"})
      Touch(Dir() + name);
    Form_ = std::make_unique<TFormKirvane>();
    Form().FirstActivate();
    WaitListed();
    // Texts as the tests expect them, whatever the machine's locale.
    FormatSettings().ThousandSeparator = ",";
    FormatSettings().DecimalSeparator = ".";
  }
  void cleanup() {
    Form_.reset();
    World_.reset();
    SetFolderChooser({});
  }

  void listsTheImagesOfAFolder() {
    Go(Dir());
    QCOMPARE(List().ItemsCount(), 3);  // c.txt is no image; sub/ is a folder
    QCOMPARE(Form().NowIndex, 0);
    QCOMPARE(Status(0), QStringLiteral("0 個のオブジェクトを選択"));
    QCOMPARE(Status(1), QStringLiteral("3 個のオブジェクト"));
    QCOMPARE(Status(2), QStringLiteral("3 バイト"));
    QCOMPARE(Form().AddressCombo()->currentText(), QString::fromStdString(Dir()));
    QCOMPARE(Form().windowTitle(), QString::fromStdString(Dir()) + " - Kirvane");
    // The same folder with another spelling of its end is the same place: no new history entry.
    const int entries = Form().History().Count();
    Go(ExcludeTrailingPathDelimiter(Dir()));
    QCOMPARE(Form().History().Count(), entries);
    // With sub-folders.
    Form().Action("SubFolderSearchAct")->trigger();
    QCOMPARE(List().ItemsCount(), 3);  // the option applies from the next listing
    Form().Action("RefreshFilesAct")->trigger();
    WaitListed();
    QCOMPARE(List().ItemsCount(), 6);
  }

  void anInvalidPathChangesNothingButTheStatus() {
    Go(Dir());
    const int entries = Form().History().Count();
    Form().MoveFolder(Dir() + "missing");
    QCOMPARE(Status(0), QStringLiteral("無効なフォルダです。"));
    QCOMPARE(Form().History().Count(), entries);
    QCOMPARE(Form().AddressCombo()->currentText(), QString::fromStdString(Dir() + "missing"));
  }

  void aFileIsFocusedAndSelectedInItsFolder() {
    Go(Dir() + "sub/e.bmp");
    QCOMPARE(Form().History().NowItem()->Folder, Dir() + "sub/");
    const int row = Form().IndexOfFile(Dir() + "sub/e.bmp");
    QVERIFY(row >= 0);
    QCOMPARE(List().FocusedRow(), row);
    QVERIFY(List().IsSelected(row));
    QCOMPARE(Form().NowIndex, row);
  }

  void aFolderThatCannotBeReadIsReported() {
    if (geteuid() == 0) QSKIP("permission bits do not stop root; run as another user to check unreadable folders");
    fs::create_directories(Dir() + "sub/locked");
    fs::permissions(Dir() + "sub/locked", fs::perms::none);
    Form().Action("SubFolderSearchAct")->trigger();
    Go(Dir() + "sub/");
    fs::permissions(Dir() + "sub/locked", fs::perms::owner_all);
    QCOMPARE(Status(3), QStringLiteral("1 個の項目を読み取れません"));
    QCOMPARE(Form().findChild<QLabel*>(QStringLiteral("SBPanel3"))->toolTip(), QString::fromStdString(Dir() + "sub/locked/"));
    Go(Dir());
    QCOMPARE(Status(3), QString());
  }

  void aFileOfTheFolderShownIsFocusedToo() {
    Go(Dir());
    List().SetSelected(RowOf("a.jpg"), true);
    const int entries = Form().History().Count();
    Go(Dir() + "b.png");  // as a second start hands it over
    QCOMPARE(Form().History().Count(), entries);
    QCOMPARE(List().FocusedRow(), RowOf("b.png"));
    QCOMPARE(List().SelectedCount(), 1);
    QVERIFY(List().IsSelected(RowOf("b.png")));
  }

  void theTreeShowsFoldersAndKeepsItsPlaceOverARefresh() {
    fs::create_directories(Dir() + "t/keep/deep");
    fs::create_directories(Dir() + "t/gone");
    QCOMPARE(mkfifo((Dir() + "t/pipe").c_str(), 0600), 0);
    QTreeView& tree = *Form().FolderTree();
    const auto model = [&] { return static_cast<QFileSystemModel*>(tree.model()); };
    const auto index = [&](const std::string& name) { return model()->index(QString::fromStdString(Dir() + name)); };
    tree.expand(index("t"));
    tree.expand(index("t/keep"));
    model()->fetchMore(index("t"));  // a hidden view does not fetch by itself
    QTRY_COMPARE(model()->rowCount(index("t")), 2);  // keep and gone; no FIFO
    Go(Dir() + "t/gone/");
    const int rows = List().ItemsCount(), entries = Form().History().Count();
    // Another program removes the folder shown; then the tree is refreshed.
    fs::remove(Dir() + "t/gone");
    Form().Action("RefreshFoldersAct")->trigger();
    QCOMPARE(model()->filePath(tree.currentIndex()), QString::fromStdString(Dir() + "t"));
    QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(tree.viewport(), &focus);
    QCOMPARE(Form().History().Count(), entries);  // no navigation: the list stays as it was
    QCOMPARE(Form().History().NowItem()->Folder, Dir() + "t/gone/");
    QCOMPARE(List().ItemsCount(), rows);
    QVERIFY(tree.isExpanded(index("t")));
    QVERIFY(tree.isExpanded(index("t/keep")));
  }

  void backAndForwardRestoreTheSelection() {
    Go(Dir());
    const int b = RowOf("b.png");
    List().SetSelected(b, true);
    List().SetFocusedRow(b);
    Go(Dir() + "sub/");
    Form().ActionList1Update();
    QVERIFY(TFormKirvane::ExecuteAction(Form().Action("BackAct")));
    WaitListed();
    QCOMPARE(Form().History().NowItem()->Folder, Dir());
    QCOMPARE(List().FocusedRow(), RowOf("b.png"));
    QVERIFY(List().IsSelected(RowOf("b.png")));
    QCOMPARE(List().SelectedCount(), 1);
    Form().ActionList1Update();
    QVERIFY(TFormKirvane::ExecuteAction(Form().Action("ForwardAct")));
    WaitListed();
    QCOMPARE(Form().History().NowItem()->Folder, Dir() + "sub/");
    Form().ActionList1Update();
    QVERIFY(!Form().Action("ForwardAct")->isEnabled());
  }

  void backWhileAListingRunsRestoresTheFolderReturnedTo() {
    Go(Dir());
    List().SetSelected(RowOf("b.png"), true);
    List().SetFocusedRow(RowOf("b.png"));
    Form().MoveFolder(Dir() + "sub/");  // its end needs this thread, so it is still running
    QVERIFY(Form().FileInfos().List().Busy());
    Form().ActionList1Update();
    QVERIFY(TFormKirvane::ExecuteAction(Form().Action("BackAct")));
    WaitListed();
    QCOMPARE(Form().History().NowItem()->Folder, Dir());
    QCOMPARE(List().FocusedRow(), RowOf("b.png"));
    QCOMPARE(List().SelectedCount(), 1);
  }

  void sortingKeepsFocusAndSelection() {
    Go(Dir());
    const int a = RowOf("a.jpg");
    List().SetSelected(a, true);
    List().SetFocusedRow(a);
    // Name descending: a.jpg moves from the top to the bottom.
    int nameColumn = -1;
    for (int c = 0; c < List().ColumnCount(); ++c)
      if (List().ColumnTag(c) == 0) nameColumn = c;
    QVERIFY(nameColumn >= 0);
    emit List().ColumnClick(nameColumn);
    QCOMPARE(List().ColumnCaption(nameColumn), QStringLiteral("▼名前"));
    QCOMPARE(RowOf("a.jpg"), 2);
    QCOMPARE(List().FocusedRow(), 2);
    QVERIFY(List().IsSelected(2));
    QCOMPARE(Form().FileInfos().SortDown(), true);
  }

  void typeToFindWrapsAndIgnoresCase() {
    Go(Dir());
    List().setFocus();
    List().SetFocusedRow(RowOf("b.png"));
    List().keyboardSearch(QStringLiteral("A"));
    QCOMPARE(List().FocusedRow(), RowOf("a.jpg"));  // wrapped past the end to the top
    List().ResetTypeAhead();
    List().keyboardSearch(QStringLiteral("z"));
    QCOMPARE(List().FocusedRow(), RowOf("a.jpg"));  // no match leaves the focus
  }

  void keysActOnlyWhenPressedInTheList() {
    Go(Dir() + "sub/");
    const int entries = Form().History().Count();
    Form().KeyDownSeen = false;
    ReleaseKey(Qt::Key_Backspace);  // pressed elsewhere, released here: nothing
    QCOMPARE(Form().History().NowItem()->Folder, Dir() + "sub/");
    TypeKey(Qt::Key_Backspace);  // up one folder
    WaitListed();
    QCOMPARE(Form().History().NowItem()->Folder, Dir());
    QCOMPARE(Form().History().Count(), entries + 1);
    TypeKey(Qt::Key_Left, Qt::AltModifier);  // back
    WaitListed();
    QCOMPARE(Form().History().NowItem()->Folder, Dir() + "sub/");
    Form().ActionList1Update();
    TypeKey(Qt::Key_A, Qt::ControlModifier);  // select all
    QCOMPARE(List().SelectedCount(), List().ItemsCount());
    QCOMPARE(Status(0), QStringLiteral("%1 個のオブジェクトを選択").arg(List().ItemsCount()));
    // Ctrl let go before F, as in quick typing: still Ctrl+F.
    QTest::keyPress(&List(), Qt::Key_Control, Qt::ControlModifier);
    QTest::keyPress(&List(), Qt::Key_F, Qt::ControlModifier);
    QTest::keyRelease(&List(), Qt::Key_Control);
    QTest::keyRelease(&List(), Qt::Key_F);
    QVERIFY(Form().FindDialog() && Form().FindDialog()->isVisible());
  }

  void stoppingShowsWhatWasFoundAndStartsNoSlideshow() {
    // The scan waits for this thread at its first folder, so Stop always comes before the end.
    for (int i = 0; i < 30; ++i) Touch(Dir() + "big/" + std::to_string(i % 3) + "/" + std::to_string(i) + ".jpg");
    QVERIFY(!Form().Action("SubFolderSearchAct")->isChecked());
    Form().Action("SubFolderSearchAct")->trigger();
    Form().Action("DoNowAct")->setChecked(true);
    Form().MoveFolder(Dir() + "big/");
    Form().Action("StopAct")->trigger();
    QVERIFY(!Form().FileInfos().List().Busy());
    QVERIFY(Form().FileInfos().List().Aborted());
    QVERIFY(List().ItemsCount() <= 30);
    QVERIFY(Form().RecentFolders().empty());  // no slideshow start recorded a folder
  }

  void doNowRecordsTheFolderAndCloseWritesTheFiles() {
    Form().Action("DoNowAct")->setChecked(true);
    Go(Dir());
    QCOMPARE(Form().RecentFolders(), TRecentFolders{Dir()});
    Go(Dir() + "sub/");
    QCOMPARE(Form().RecentFolders(), (TRecentFolders{Dir() + "sub/", Dir()}));
    Form().close();
    const std::string config = ConfigDir();
    QCOMPARE(Text(config + "folder.txt"), Dir() + "sub/\r\n" + Dir() + "\r\n");
    TMemIniFile ini(config + "kirvane.ini");
    QCOMPARE(ini.ReadSections(),
             (std::vector<std::string>{"SlideShow", "Option", "DesignColumn", "OptionFileInfos", "GraphicTypes"}));
    QCOMPARE(ini.ReadBool("Option", "DoNow", false), true);
    QCOMPARE(ini.ReadInteger("SlideShow", "ViewInterval", 0), 3000);
    QCOMPARE(ini.ReadString("Option", "CommonSendPath", ""), std::string("/"));
    QVERIFY(ini.ValueExists("DesignColumn", "LastAccessTime_Width"));
    // The slideshow view's keys with that window's own values: smoothed, no title bar.
    QCOMPARE(ini.ReadInteger("SlideShow", "StretchFilter", -1), 1);
    QCOMPARE(ini.ReadInteger("SlideShow", "FormTitleBarVisible", -1), 0);
  }

  void settingsComeBackAtTheNextStart() {
    Go(Dir());
    Form().Action("HiddenFileViewAct")->trigger();  // was on
    int sizeColumn = -1;
    for (int c = 0; c < List().ColumnCount(); ++c)
      if (List().ColumnTag(c) == 5) sizeColumn = c;
    emit List().ColumnClick(sizeColumn);
    Form().Action("IVNoneAct")->trigger();
    // The slideshow window's settings live in its commands and its view.
    TFormImage& show = *Form().FormImage();
    show.SetLoop(true);
    show.SetViewInterval(7000);
    show.SetBarVisible(false);
    show.ImgView32()->SetStretchFilter(sfLanczos);
    Form().AppOptions().ShowMode = 1;
    Form().close();
    Form_ = std::make_unique<TFormKirvane>();
    Form().FirstActivate();
    WaitListed();
    QCOMPARE(Form().FileInfos().Options() & filoHiddenFileView, 0);
    QCOMPARE(Form().FileInfos().SortMode(), 5);
    QCOMPARE(Form().AppOptions().ImgViewMode, uint8_t(0));
    QCOMPARE(List().SortColumnIndex, 5);
    TFormImage& again = *Form().FormImage();
    QVERIFY(again.Loop() && !again.BarVisible());
    QCOMPARE(again.ViewInterval(), 7000);
    QCOMPARE(again.ImgView32()->StretchFilter(), sfLanczos);
    QCOMPARE(Form().AppOptions().ShowMode, uint8_t(1));
  }

  // Enter on a row starts the slideshow of the chosen kind there; Esc leaves the main list on
  // the last picture shown; a new listing ends a slideshow.
  void theSlideshowStartsFromTheListAndEndsOnItsLastPicture() {
    for (const char* name : {"g.png", "h.png", "i.png"}) Touch(Dir() + name);
    Go(Dir());
    QCOMPARE(List().ItemsCount(), 6);
    Form().AppOptions().ShowMode = 1;
    Form().FormImage()->SetViewInterval(3600 * 1000);  // no automatic step on a slow machine
    List().SetFocusedRow(4);
    TypeKey(Qt::Key_Return);
    TFormImage& show = *Form().FormImage();
    QVERIFY(show.isVisible());
    QTRY_VERIFY(!show.Loading());
    QCOMPARE(Form().NowIndex, 4);
    QVERIFY(show.AutoTimerActive());
    QCOMPARE(Form().RecentFolders().front(), Dir());
    Form().ActionList1Update();
    const auto buttons = Form().findChildren<QToolButton*>();
    QVERIFY(std::any_of(buttons.begin(), buttons.end(),
                        [this](QToolButton* b) { return b->defaultAction() == Form().Action("ShowAutoAct"); }));
    QTest::keyClick(&show, Qt::Key_Space);  // manual now
    QTest::keyClick(&show, Qt::Key_Return);
    QTRY_VERIFY(!show.Loading());
    QCOMPARE(Form().NowIndex, 5);
    QCOMPARE(List().FocusedRow(), 5);
    QTest::keyClick(&show, Qt::Key_Escape);
    QVERIFY(!show.isVisible());
    QCOMPARE(List().FocusedRow(), 5);
    QCOMPARE(List().SelectedCount(), 1);
    QVERIFY(List().IsSelected(5));

    List().SetFocusedRow(-1);  // no focus: the first row
    Form().Action("ShowManualAct")->trigger();
    QTRY_VERIFY(!show.Loading());
    QCOMPARE(Form().NowIndex, 0);
    Go(Dir() + "sub/");
    QVERIFY(!show.isVisible());
  }

  void commandStateFollowsTheList() {
    Go(Dir() + "other/");  // one file
    List().ClearSelection();
    List().SetFocusedRow(-1);
    Form().ActionList1Update();
    QVERIFY(Form().Action("ShowManualAct")->isEnabled());
    QVERIFY(!Form().Action("NameCopyAct")->isEnabled());
    QVERIFY(!Form().Action("DeleteFileAct")->isEnabled());
    List().SetSelected(0, true);
    Form().ActionList1Update();
    QVERIFY(Form().Action("OpenShellAct")->isEnabled());
    QVERIFY(!Form().Action("NameCopyAct")->isEnabled());
    for (const char* name : {"CopyFileAct", "MoveFileAct", "DeleteFileAct"})
      QVERIFY2(Form().Action(name)->isEnabled(), name);
    fs::create_directories(Dir() + "empty");
    Go(Dir() + "empty/");
    QCOMPARE(Form().NowIndex, -1);
    Form().ActionList1Update();
    QVERIFY(!Form().Action("ShowManualAct")->isEnabled());
    QVERIFY(!Form().Action("SearchFindAct")->isEnabled());
    QVERIFY(Form().Action("OpenFolderAct")->isEnabled());
    QCOMPARE(Status(1), QStringLiteral("0 個のオブジェクト"));
    // A command this desktop cannot carry out is not offered.
    QVERIFY(!Form().Action("ZmOpenDeskAction1")->isVisible());
  }

  // Find: from the row after the focused one, a case-ignoring prefix, once round the list;
  // find-next without the dialog; nothing found leaves no selection and no focus.
  void findStartsAfterTheFocusWrapsOnceAndClearsWhenNothingMatches() {
    Go(Dir());
    QCOMPARE(RowOf("a.jpg"), 0);
    const int b1 = std::min(RowOf("b.png"), RowOf("B2.PNG")), b2 = std::max(RowOf("b.png"), RowOf("B2.PNG"));
    List().SetSelected(b2, true);
    List().SetFocusedRow(0);
    Form().ActionList1Update();
    QVERIFY(Form().ExecuteAction(Form().Action("SearchFindAct")));
    QDialog* dialog = Form().FindDialog();
    QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
    auto* text = dialog->findChild<QLineEdit*>("FindText");
    auto* next = dialog->findChild<QPushButton*>("FindNext");
    QVERIFY(text && next && !next->isEnabled());
    text->setText("B");
    for (int row : {b1, b2, b1}) {
      QTest::mouseClick(next, Qt::LeftButton);
      QCOMPARE(List().FocusedRow(), row);
      QCOMPARE(SelectedRows(), std::vector<int>{row});
    }
    dialog->hide();
    TypeKey(Qt::Key_F3);
    QCOMPARE(List().FocusedRow(), b2);
    QVERIFY(!dialog->isVisible());
    text->setText("zz");
    Form().Action("SearchFindNextAct")->trigger();
    QCOMPARE(List().SelectedCount(), 0);
    QCOMPARE(List().FocusedRow(), -1);
    Form().Action("SearchFindAct")->trigger();  // the same dialog, with the last text
    QCOMPARE(Form().FindDialog(), dialog);
    QCOMPARE(text->text(), QStringLiteral("zz"));
  }

  void invertingTheSelectionTwiceGivesItBack() {
    Go(Dir());
    List().SetSelected(0, true);
    List().SetSelected(2, true);
    Form().ActionList1Update();
    Form().Action("SelectChangeAct")->trigger();
    QCOMPARE(SelectedRows(), std::vector<int>{1});
    Form().Action("SelectChangeAct")->trigger();
    QCOMPARE(SelectedRows(), (std::vector<int>{0, 2}));
    Form().Action("SelectAllAct")->trigger();
    QCOMPARE(SelectedRows(), (std::vector<int>{0, 1, 2}));
    QVERIFY(!QApplication::overrideCursor());
  }

  void aDropListsTheFirstDroppedPath_data() {
    QTest::addColumn<bool>("onTree");
    QTest::newRow("list") << false;
    QTest::newRow("tree") << true;
  }
  void aDropListsTheFirstDroppedPath() {
    QFETCH(bool, onTree);
    Go(Dir());
    QWidget* target = onTree ? Form().FolderTree()->viewport() : List().viewport();
    QMimeData text;
    text.setText(QStringLiteral("no files"));
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(target, &refused);
    QVERIFY(!refused.isAccepted());
    QMimeData files;
    files.setUrls({FileUrl(Dir() + "sub/e.bmp"), FileUrl(Dir() + "a.jpg"), FileUrl(Dir() + "other/")});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drop.dropAction(), Qt::CopyAction);  // nothing is moved away from its sender
    WaitListed();
    QCOMPARE(Form().History().NowItem()->Folder, Dir() + "sub/");
    QCOMPARE(List().FocusedRow(), RowOf("sub/e.bmp"));
    QCOMPARE(SelectedRows(), std::vector<int>{RowOf("sub/e.bmp")});
  }

  // One opening per selected row, also for rows of one folder; a file gone since the listing is
  // not opened, the file manager shows its folder instead.
  void openCommandsHandEachSelectedRowToTheDesktop() {
    Go(Dir());
    List().SelectAll();
    Form().ActionList1Update();
    fs::remove(Dir() + "b.png");
    for (const char* name : {"OpenShellAct", "OpenExplorerAct", "OpenFolderAct"})
      QVERIFY2(Form().ExecuteAction(Form().Action(name)), name);
    QStringList expected;
    std::vector<std::string> rows(3);
    for (const char* name : {"a.jpg", "b.png", "B2.PNG"}) rows.at(size_t(RowOf(name))) = Dir() + name;
    for (const std::string& f : rows)
      if (fs::exists(f)) expected << TMainWindowWorld::Opening(TShellOpen::File, f);
    for (const std::string& f : rows)
      expected << TMainWindowWorld::Opening(TShellOpen::FileManager, fs::exists(f) ? f : Dir());
    for (int i = 0; i < 3; ++i) expected << TMainWindowWorld::Opening(TShellOpen::Folder, Dir());
    QCOMPARE(World_->Opened, expected);
    // Without a selection the folder shown is opened.
    World_->Opened.clear();
    List().ClearSelection();
    Form().Action("OpenFolderAct")->trigger();
    QCOMPARE(World_->Opened, QStringList{TMainWindowWorld::Opening(TShellOpen::Folder, Dir())});
  }

  // The folder chooser starts at the focused file's folder; a start that has gone is dropped.
  void selectFolderStartsAtTheFocusedFilesFolder() {
    Go(Dir() + "sub/");
    List().SetFocusedRow(0);
    ChooserAnswer_ = Dir() + "other";
    Form().Action("SelectFolderAct")->trigger();
    WaitListed();
    QCOMPARE(ChooserSaw_, Dir() + "sub/");
    QCOMPARE(List().ItemsCount(), 1);
    ChooserAnswer_.reset();
    std::string folder = Dir() + "gone/";
    QVERIFY(!SelectFolder(&Form(), QStringLiteral("t"), folder));
    QCOMPARE(ChooserSaw_, std::string());
    QCOMPARE(folder, std::string());
  }

  // Dragging out carries the selected files as URLs that keep every byte of their names; a
  // click on one row of a selection still selects only that row.
  void draggingOutCarriesTheSelectedFiles() {
    const std::string odd = Dir() + "\xFF\xFE.jpg";
    Touch(odd);
    Go(Dir());
    QVERIFY(List().OnDragUrls);
    List().SetSelected(RowOf("\xFF\xFE.jpg"), true);
    List().SetSelected(RowOf("a.jpg"), true);
    QStringList paths;
    for (const QUrl& url : List().OnDragUrls()) paths << QString::fromStdString(PathOfFileUrl(url));
    QStringList expected;
    for (int row : SelectedRows()) expected << QString::fromStdString(Form().FileInfos().List().Items(row)->FullFileName());
    QCOMPARE(paths, expected);
    QVERIFY(FileUrl(odd).toEncoded().endsWith("/%FF%FE.jpg"));
    QCOMPARE(PathOfFileUrl(FileUrl(odd)), odd);
    List().resize(400, 300);
    const QRect r = List().visualRect(List().model()->index(RowOf("a.jpg"), 0));
    QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(SelectedRows(), std::vector<int>{RowOf("a.jpg")});
    fs::remove(odd);  // QTemporaryDir cannot name it
  }

  // Copy and move into the chosen folder, which is remembered; a conflict is asked about and
  // answered for all; a file gone since the listing is reported; the rows stay until a refresh.
  void copyAndMoveAskOnConflictsAndReportWhatFailed() {
    Go(Dir());
    Touch(Dir() + "other/a.jpg", "old");
    Touch(Dir() + "other/b.png", "old");
    List().SelectAll();
    fs::remove(Dir() + "B2.PNG");
    Form().AppOptions().CommonSendPath = Dir() + "sub/";
    ChooserAnswer_.reset();
    Form().Action("CopyFileAct")->trigger();
    QCOMPARE(ChooserSaw_, Dir() + "sub/");  // cancelled: nothing happens, the folder is kept
    QCOMPARE(Form().AppOptions().CommonSendPath, Dir() + "sub/");
    QVERIFY(!Form().FileCommands().Busy());

    ChooserAnswer_ = Dir() + "other/";
    Form().Action("CopyFileAct")->trigger();
    auto* question = WaitWindow<QMessageBox>("ConflictQuestion");
    QVERIFY(question);
    Form().ActionList1Update();
    QVERIFY(!Form().Action("MoveFileAct")->isEnabled());  // one operation at a time
    question->checkBox()->setChecked(true);
    question->findChild<QPushButton*>(QStringLiteral("両方残す"))->click();
    auto* report = WaitWindow<QDialog>("FileReport");
    QVERIFY(report);
    WaitFileCommandsIdle();
    QCOMPARE(Form().AppOptions().CommonSendPath, Dir() + "other/");
    QCOMPARE(Text(Dir() + "other/a (2).jpg"), std::string("x"));
    QCOMPARE(Text(Dir() + "other/b (2).png"), std::string("x"));
    QCOMPARE(Text(Dir() + "other/a.jpg"), std::string("old"));
    auto* rows = report->findChild<QTreeWidget*>();
    QCOMPARE(rows->topLevelItemCount(), 1);
    QCOMPARE(rows->topLevelItem(0)->text(0), QString::fromStdString(Dir() + "B2.PNG"));
    QCOMPARE(rows->topLevelItem(0)->text(1), QStringLiteral("ファイルが見つかりません"));
    report->close();

    Form().ActionList1Update();
    Form().Action("MoveFileAct")->trigger();  // skipping a conflict is the user's answer: no report
    QVERIFY(Answer("ConflictQuestion", QStringLiteral("スキップ")));
    QVERIFY(Answer("ConflictQuestion", QStringLiteral("キャンセル")));
    WaitFileCommandsIdle();
    QVERIFY(fs::exists(Dir() + "a.jpg") && fs::exists(Dir() + "b.png"));
    QCOMPARE(Text(Dir() + "other/b.png"), std::string("old"));
    QVERIFY(!FindWindow("FileReport"));
    QCOMPARE(List().ItemsCount(), 3);
  }

  // Closing the window cancels a copy: the target is whole or absent, never a part of it.
  void closingDuringACopyLeavesNoPartOfAFile() {
    Touch(Dir() + "big/big.jpg", std::string(48 << 20, 'b'));
    Go(Dir() + "big/");
    List().SelectAll();
    ChooserAnswer_ = Dir() + "other/";
    Form().Action("CopyFileAct")->trigger();
    QVERIFY(Form().FileCommands().Running() || fs::exists(Dir() + "other/big.jpg"));
    Form_.reset();
    QCOMPARE(fs::file_size(Dir() + "big/big.jpg"), uintmax_t(48) << 20);
    for (const auto& e : fs::directory_iterator(Dir() + "other/")) {
      QVERIFY2(!e.path().filename().string().starts_with(".kirvane-copy-"), e.path().c_str());
      if (e.path().filename() == "big.jpg") QCOMPARE(e.file_size(), uintmax_t(48) << 20);
    }
  }

  void deleteConfirmsThenTrashesOrDeletesForGood_data() {
    QTest::addColumn<bool>("shift");
    QTest::addColumn<bool>("trashUsable");
    QTest::newRow("to the trash") << false << true;
    QTest::newRow("Shift: for good") << true << true;
    QTest::newRow("no trash: offered for good") << false << false;
  }
  void deleteConfirmsThenTrashesOrDeletesForGood() {
    QFETCH(bool, shift);
    QFETCH(bool, trashUsable);
    Go(Dir());
    List().SetFocusedRow(RowOf("a.jpg"));
    List().SetSelected(RowOf("a.jpg"), true);
    QTemporaryDir place;
    const std::string data = place.path().toStdString() + "/data";
    if (!trashUsable) Touch(data);  // a file where the trash would be created
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data + "/share"));
    TypeKey(Qt::Key_Delete, shift ? Qt::ShiftModifier : Qt::NoModifier);
    auto* confirm = WaitWindow<QMessageBox>("DeleteConfirmation");
    QVERIFY(confirm);
    QCOMPARE(confirm->windowTitle(), shift ? QStringLiteral("ファイルの完全な削除") : QStringLiteral("ファイルの削除"));
    QVERIFY(confirm->text().startsWith(QStringLiteral("「a.jpg」")));
    confirm->button(QMessageBox::Yes)->click();
    if (!trashUsable) {
      auto* offer = WaitWindow<QMessageBox>("PermanentDeletionOffer");
      QVERIFY(offer);
      offer->button(QMessageBox::Yes)->click();
    }
    WaitFileCommandsIdle();
    qputenv("XDG_DATA_HOME", saved);
    QVERIFY(!fs::exists(Dir() + "a.jpg"));
    QCOMPARE(fs::exists(data + "/share/Trash/files/a.jpg"), !shift && trashUsable);
    QCOMPARE(List().ItemsCount(), 3);
    QVERIFY(!FindWindow("FileReport"));
  }

  // The check shows each verdict in its own column and counts the damaged files; Ctrl+R then
  // selects exactly those. Before any check it selects nothing.
  void theJpegCheckMarksAndSelectsTheDamagedFiles() {
    Go(Dir());
    List().SelectAll();
    Form().Action("SelectErrorsActVt")->trigger();
    QCOMPARE(List().SelectedCount(), 0);
    const std::string sound = Text(KV_TEST_DATA_DIR "/jpeg/gray-q75.jpg");
    QVERIFY(!sound.empty());
    Touch(Dir() + "a.jpg", sound);
    Touch(Dir() + "b.png", sound.substr(0, sound.size() / 2));  // a JPEG cut short, whatever its name
    Form().Action("RefreshFilesAct")->trigger();
    WaitListed();
    Form().ActionList1Update();
    Form().Action("JpegErrorCheckAllAct")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(Status(3).startsWith(QStringLiteral("JPEGチェック完了")), kUiWaitMs);
    QCOMPARE(Status(3), QStringLiteral("JPEGチェック完了: 破損 2 個"));  // the half file and B2.PNG ("x")
    QVERIFY(Form().FileListView()->model()->headerData(5, Qt::Horizontal).toString().contains(QStringLiteral("JPEGチェック")));
    QCOMPARE(List().OnData(RowOf("a.jpg"), smJpegResult).Text, QStringLiteral("なし"));
    TypeKey(Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(SelectedRows(), (std::vector<int>{RowOf("b.png"), RowOf("B2.PNG")}));
    // A new listing ends a running check before the records go.
    Form().Action("JpegErrorCheckAllAct")->trigger();
    Form().Action("RefreshFilesAct")->trigger();
    WaitListed();
    Form().ActionList1Update();
    QVERIFY(Form().Action("JpegErrorCheckAllAct")->isEnabled());
    QCOMPARE(List().OnData(RowOf("a.jpg"), smJpegResult).Text, QString());
  }

  void qtsOwnTextsAreJapanese() {
    QVERIFY(InstallQtJapaneseTexts());
    const QString yes = QCoreApplication::translate("QPlatformTheme", "&Yes");
    QVERIFY2(yes != QStringLiteral("&Yes"), qPrintable(yes));
  }

  void previewFollowsTheFocus() {
    // A 40 x 20 grey image (its name holds " <", as the hint does) and one that cannot be decoded.
    Touch(Dir() + "pv/a <1>.pgm", "P5 40 20 255\n" + std::string(800, '\x80'));
    Touch(Dir() + "pv/p2.pgm", "P5 40 20 255\n");
    Go(Dir() + "pv/");
    TImgView32& view = *Form().Preview();
    Form().Action("IVNoneAct")->trigger();
    List().setFocus();
    List().SetFocusedRow(Form().IndexOfFile(Dir() + "pv/a <1>.pgm"));
    TypeKey(Qt::Key_Down);  // with no preview nothing loads
    QVERIFY(!Form().PreviewLoader().Busy());
    QVERIFY(view.Bitmap().Empty());
    Form().Action("IVScaleNormalAct")->trigger();
    List().SetFocusedRow(Form().IndexOfFile(Dir() + "pv/a <1>.pgm"));
    TypeKey(Qt::Key_Up);
    QTRY_COMPARE(view.Bitmap().Width(), 40);
    QCOMPARE(view.Scale(), 1.0f);
    QCOMPARE(view.Hint(), QString::fromStdString("|" + Dir() + "pv/a <1>.pgm <40x20>"));
    Form().ActionList1Update();
    QVERIFY(TFormKirvane::ExecuteAction(Form().Action("ImgNameCopyAct")));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(Dir() + "pv/a <1>.pgm"));
    TypeKey(Qt::Key_Left);  // Left and Right do not reload
    QVERIFY(!Form().PreviewLoader().Busy());
    QCOMPARE(view.Bitmap().Width(), 40);
    List().SetFocusedRow(Form().IndexOfFile(Dir() + "pv/p2.pgm"));
    TypeKey(Qt::Key_Down);  // a file that cannot be shown empties the pane silently
    QTRY_VERIFY(view.Bitmap().Empty());
    QVERIFY(view.Hint().isEmpty());
  }

  // Fitted, a JPEG is decoded no larger than the pane needs, yet its hint tells its real size;
  // actual size and copying take the full picture.
  void aFittedPreviewIsReducedButCopiedInFull() {
    fs::create_directories(Dir() + "jp");
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QVERIFY(picture.save(QString::fromStdString(Dir() + "jp/a.jpg"), "JPG"));
    Go(Dir() + "jp/");
    TImgView32& view = *Form().Preview();
    Form().Action("IVAutoScaleLongAct")->trigger();
    view.resize(16, 12);
    List().setFocus();
    auto load = [&] {
      Form().PreviewLoader().ClearCache();
      List().SetFocusedRow(0);
      TypeKey(Qt::Key_Up);
      QTRY_VERIFY(!Form().PreviewLoader().Busy());
    };
    load();
    QCOMPARE(view.Bitmap().Width(), 16);  // 2/8
    QCOMPARE(view.Hint(), QString::fromStdString("|" + Dir() + "jp/a.jpg <64x48>"));
    Form().Action("IVScaleNormalAct")->trigger();
    QTRY_COMPARE(view.Bitmap().Width(), 64);

    Form().Action("IVAutoScaleLongAct")->trigger();
    load();
    QCOMPARE(view.Bitmap().Width(), 16);
    QGuiApplication::clipboard()->clear();
    Form().ActionList1Update();
    QVERIFY(TFormKirvane::ExecuteAction(Form().Action("ImgCopyAct")));
    QTRY_COMPARE(QGuiApplication::clipboard()->image().size(), QSize(64, 48));
  }

  // A picture still decoding is not shown once the focus has moved on, the pane has been closed
  // or turned off, or the list has changed.
  void aPictureThatArrivesLateIsShownOnlyForTheFocusedRow() {
    for (const char* name : {"late/a.pgm", "late/b.pgm"}) Touch(Dir() + name, "P5 4 4 255\n" + std::string(16, '\x80'));
    Go(Dir() + "late/");
    TImgView32& view = *Form().Preview();
    TZmImageLoader& loader = Form().PreviewLoader();
    std::atomic<bool> release{true};
    loader.Decoder = [&release](const std::string& path, const TDecodeHint& hint) {
      while (!release) QThread::msleep(1);
      return LoadPicture(path, hint);
    };
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"focus moved", [&] { List().SetFocusedRow(RowOf("late/a.pgm")); }},
        {"pane closed", [&] { QVERIFY(TFormKirvane::ExecuteAction(Form().Action("ImgCloseAct"))); }},
        {"pane off", [&] { Form().Action("IVNoneAct")->trigger(); }},
        {"list changed", [&] { Form().ReloadFolder(Dir() + "late/"); }},
    };
    List().setFocus();
    for (const auto& [what, change] : cases) {
      qInfo() << what;
      Form().Action("IVScaleNormalAct")->trigger();
      loader.ClearCache();
      release = true;
      List().SetFocusedRow(RowOf("late/a.pgm"));
      TypeKey(Qt::Key_Up);
      QTRY_COMPARE(view.Hint(), QString::fromStdString("|" + Dir() + "late/a.pgm <4x4>"));
      release = false;
      List().SetFocusedRow(RowOf("late/b.pgm"));
      TypeKey(Qt::Key_Down);
      QVERIFY(loader.Busy());
      Form().ActionList1Update();
      change();
      release = true;
      QTRY_VERIFY(!loader.Busy());
      WaitListed();
      QVERIFY(!view.Hint().contains(QStringLiteral("b.pgm")));
    }
  }

  // Enter goes to exactly the text typed, once, taken from the working folder and cleaned.
  // A shown window whose list has changed since its last layout is destroyed cleanly.
  void aShownWindowGoesAwayWithoutReadingItsPastRows() {
    Go(Dir());
    Form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&Form(), kUiWaitMs));
    Form().ReloadFolder(Dir() + "sub/");
    WaitListed();
    List().SetItemsCount(List().ItemsCount());  // a layout pending when the window goes
    Form_.reset();
  }

  void addressComboGoesToTheTypedTextOnce() {
    Touch(Dir() + "A/x.jpg");  // a slideshow needs a picture
    fs::create_directories(Dir() + "a");
    Form().Action("DoNowAct")->setChecked(true);  // records the folder as a recent one
    Go(Dir() + "A/");
    Form().Action("DoNowAct")->setChecked(false);
    QComboBox& combo = *Form().AddressCombo();
    QSignalSpy chosen(&combo, &QComboBox::activated);
    Form().show();  // completion acts in a line edit that has the focus
    QApplication::setActiveWindow(&Form());
    combo.lineEdit()->setFocus();
    QTRY_VERIFY(combo.lineEdit()->hasFocus());
    auto enter = [&](const QString& text) {
      combo.lineEdit()->clear();
      QTest::keyClicks(combo.lineEdit(), text);
      QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
      WaitListed();
      return Form().History().NowItem()->Folder;
    };
    QCOMPARE(enter(QString::fromStdString(Dir() + "a/")), Dir() + "a/");  // not the recent "A/"
    QCOMPARE(enter(QString::fromStdString(Dir() + "A/")), Dir() + "A/");
    QCOMPARE(chosen.count(), 0);  // Enter is not also a choice of the equal recent folder
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(Dir()));
    const std::string relative = enter(QStringLiteral("sub/../other/."));
    QDir::setCurrent(cwd);
    QCOMPARE(relative, Dir() + "other/");
  }

  // A folder whose name is not UTF-8 is shown with replacement characters but used by its bytes,
  // from the combo and from folder.txt.
  void aNameThatIsNotUtf8StaysItsBytes() {
    const std::string odd = Dir() + "\xFF\xFE/";
    Touch(odd + "g.jpg");
    Form().Action("DoNowAct")->setChecked(true);
    Go(odd);
    Go(Dir());
    QCOMPARE(Form().RecentFolders(), (TRecentFolders{Dir(), odd}));
    Form().Action("DoNowAct")->setChecked(false);
    QComboBox& combo = *Form().AddressCombo();
    QCOMPARE(combo.currentIndex(), 0);
    QTest::keyClick(&combo, Qt::Key_Down);  // the next recent folder, chosen with the list closed
    WaitListed();
    QCOMPARE(Form().History().NowItem()->Folder, odd);
    QCOMPARE(List().ItemsCount(), 1);
    QTest::keyClick(combo.lineEdit(), Qt::Key_Return);  // the text shown stands for the bytes
    WaitListed();
    QCOMPARE(Form().History().NowItem()->Folder, odd);
    QCOMPARE(Status(0), QStringLiteral("0 個のオブジェクトを選択"));
    Form().close();
    const std::string config = ConfigDir();
    QCOMPARE(LoadRecentFolders(config + "folder.txt"), (TRecentFolders{Dir(), odd}));
    fs::remove_all(odd);  // QTemporaryDir cannot name it
  }

  // A kirvane.ini or folder.txt that is there but cannot be read (here FIFOs, which would block
  // a plain open) is set aside, the user is told, and new files are written at close.
  void unreadableSettingsFilesAreSetAside() {
    Form_.reset();
    const std::string config = ConfigDir();
    QCOMPARE(mkfifo((config + "kirvane.ini").c_str(), 0600), 0);
    QCOMPARE(mkfifo((config + "folder.txt").c_str(), 0600), 0);
    Form_ = std::make_unique<TFormKirvane>();
    Form().FirstActivate();
    WaitListed();
    QVERIFY(fs::is_fifo(config + "kirvane.ini.bad"));
    QVERIFY(fs::is_fifo(config + "folder.txt.bad"));
    QMessageBox* box = Form().findChild<QMessageBox*>();
    QVERIFY(box);
    QTRY_VERIFY(box->isVisible());
    QCOMPARE(box->windowTitle(), QStringLiteral("注意"));
    QVERIFY(box->text().contains(QString::fromStdString(config + "kirvane.ini.bad")));
    QVERIFY(box->text().contains(QString::fromStdString(config + "folder.txt.bad")));
    Form().close();
    QVERIFY(fs::is_regular_file(config + "kirvane.ini"));
    QVERIFY(fs::is_regular_file(config + "folder.txt"));
  }

  void treeDeleteTrashesTheFolderOrSaysWhy_data() {
    QTest::addColumn<bool>("trashUsable");
    QTest::newRow("home trash missing") << true;  // Qt 6.4's own trash put it into the current folder
    QTest::newRow("no usable trash") << false;
  }
  void treeDeleteTrashesTheFolderOrSaysWhy() {
    QFETCH(bool, trashUsable);
    Go(Dir() + "sub/");
    QCOMPARE(Form().FolderTree()->currentIndex().data(QFileSystemModel::FilePathRole).toString(),
             QString::fromStdString(Dir() + "sub"));
    QTemporaryDir place;  // holds the user's data folder and the current folder
    const std::string data = place.path().toStdString() + "/data", cwd = place.path().toStdString() + "/cwd";
    if (!trashUsable) Touch(data);  // a file where the data folder would be created
    fs::create_directory(cwd);
    const std::optional<QByteArray> savedData =
        qEnvironmentVariableIsSet("XDG_DATA_HOME") ? std::optional(qgetenv("XDG_DATA_HOME")) : std::nullopt;
    const QString savedCwd = QDir::currentPath();
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data + "/share"));
    QDir::setCurrent(QString::fromStdString(cwd));

    // Answer every message box the Delete key brings: Yes to the question, OK to a warning.
    std::vector<std::pair<QString, QMessageBox::Icon>> boxes;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      boxes.emplace_back(box->windowTitle() + ": " + box->text(), box->icon());
      (box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->button(QMessageBox::Ok))->click();
    });
    answer.start(10);
    QTest::keyClick(Form().FolderTree(), Qt::Key_Delete);
    answer.stop();
    WaitListed();
    if (savedData) qputenv("XDG_DATA_HOME", *savedData);
    else qunsetenv("XDG_DATA_HOME");
    QDir::setCurrent(savedCwd);

    QVERIFY(fs::is_empty(cwd));
    const std::string shown = trashUsable ? Dir() : Dir() + "sub/";
    QCOMPARE(fs::exists(Dir() + "sub/d.jpg"), !trashUsable);
    QCOMPARE(fs::exists(data + "/share/Trash/files/sub/d.jpg"), trashUsable);
    QCOMPARE(Form().History().NowItem()->Folder, shown);
    QCOMPARE(Form().AddressCombo()->currentText(), QString::fromStdString(shown));
    QCOMPARE(Form().FolderTree()->currentIndex().data(QFileSystemModel::FilePathRole).toString(),
             QString::fromStdString(ExcludeTrailingPathDelimiter(shown)));
    QCOMPARE(boxes.size(), trashUsable ? size_t(1) : size_t(2));
    if (!trashUsable) {
      QVERIFY2(boxes[1].first.startsWith(QStringLiteral("注意: ごみ箱に移動できません: ")), qPrintable(boxes[1].first));
      QCOMPARE(boxes[1].second, QMessageBox::Warning);
    }
  }
};

QTEST_MAIN(MainWinTest)
#include "MainWin_test.moc"
