// Folder navigation: every way of opening a folder ends here. Also the folder tree, the
// navigation commands, the address combo and the recent-folder list.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QStandardPaths>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <functional>
#include <utility>
#include <vector>

#include "app/Actions.h"
#include "app/MainWin.h"
#include "catalogue/ZmUtils.h"
#include "columns/ZmListView.h"
#include "platform/AppPaths.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "platform/Trash.h"

namespace {
// A path typed or chosen by the user, as the absolute, clean bytes it names.
std::string PathFromText(const QString& s) { return AbsolutePath(QFile::encodeName(s).toStdString()); }

// Keys of the folder tree and the address combo, acted on at release.
bool IsStopKey(int key) { return key == Qt::Key_Escape || key == Qt::Key_Stop; }
bool IsRefreshKey(int key) { return key == Qt::Key_F5 || key == Qt::Key_Refresh; }

const QString InvalidFolderText = QStringLiteral("無効なフォルダです。");
constexpr size_t MaxComboItems = 1000;
}  // namespace

// ---- Listing ----

void TFormKirvane::StopAndClearList() {
  try {
    StopActExecute();
  } catch (...) {
  }
  SetRowCount(0);
  DropPreviewLoad(true);
  ZmFileInfos1.List().ClearAll();
  UpdateVisibleItems();
  UpdateStatusBar();
  if (FormImage_ && FormImage_->isVisible()) ExecuteAction(FormImage_->ExitAction());
}

void TFormKirvane::StartListing(const std::string& folder) {
  ZmFileInfos1.SetPath(folder);
  FoldersSearched_ = 0;
  if (!ListingCursor_) {
    QApplication::setOverrideCursor(Qt::BusyCursor);  // arrow with hourglass until the scan ends
    ListingCursor_ = true;
  }
  ListingEntry_ = ZmRecentControl1.NowItem();
  ZmFileInfos1.List().MakeList();
}

void TFormKirvane::ShowInvalidFolder(const std::string& path) {
  if (TZmRecentItem* now = ZmRecentControl1.NowItem()) {
    now->SelectedFiles.clear();
    now->FocusedFile.clear();
  }
  SetAddressText(path);
  SBPanels[0]->setText(InvalidFolderText);
}

void TFormKirvane::MoveFolder(const std::string& path) {
  auto leaving = std::make_unique<TZmRecentItem>();
  StoreSelection(leaving.get());
  StopAndClearList();
  auto target = std::make_unique<TZmRecentItem>();
  std::string folder = path;
  if (!path.empty() && FileExists(path)) {
    target->SelectedFiles.push_back(path);
    target->FocusedFile = path;
    folder = std::string(ExtractFilePath(path));
  }
  if (!DirectoryExists(folder)) {
    ShowInvalidFolder(path);
    return;
  }
  folder = IncludeTrailingPathDelimiter(folder);
  SetAddressText(folder);
  if (FolderBarVisibleAct->isChecked()) SyncFolderTree(folder);
  if (TZmRecentItem* now = ZmRecentControl1.NowItem()) {
    leaving->Folder = now->Folder;
    now->Assign(*leaving);
  }
  target->Folder = folder;
  if (!ZmRecentControl1.Add(target) && !target->FocusedFile.empty()) {
    // The folder shown already (a file of it handed over): no new entry, but the file is
    // focused and selected all the same.
    if (TZmRecentItem* now = ZmRecentControl1.NowItem()) {
      now->SelectedFiles = std::move(target->SelectedFiles);
      now->FocusedFile = std::move(target->FocusedFile);
    }
  }
  UpdateTitles();
  StartListing(folder);
  UpdateStatusBar();
}

void TFormKirvane::ReloadFolder(const std::string& path) {
  auto leaving = std::make_unique<TZmRecentItem>();
  StoreSelection(leaving.get());
  ListAgain(path, leaving.get());
}

void TFormKirvane::ShowHistoryFolder(const std::string& path) { ListAgain(path, nullptr); }

void TFormKirvane::ListAgain(const std::string& path, const TZmRecentItem* leaving) {
  StopAndClearList();
  if (!DirectoryExists(path)) {
    ShowInvalidFolder(path);
    return;
  }
  const std::string folder = IncludeTrailingPathDelimiter(path);
  SetAddressText(folder);
  if (FolderBarVisibleAct->isChecked()) SyncFolderTree(folder);
  // The entry must remember the selection before the scan can end.
  TZmRecentItem* now = ZmRecentControl1.NowItem();
  if (leaving && now) {
    const std::string nowFolder = now->Folder;
    now->Assign(*leaving);
    now->Folder = nowFolder;
  }
  StartListing(folder);
  UpdateStatusBar();
  // A short scan may end here, with everything its end handler needs already in place.
  QCoreApplication::processEvents();
  UpdateTitles();
}

void TFormKirvane::ZmFileInfos1Terminate() {
  TZmThreadFileInfoList& list = ZmFileInfos1.List();
  const int32_t mode = list.SortMode;
  // Discovery order ascending is the order the scan produced.
  if (mode >= 0 && mode <= smLastSortMode && !(mode == smFindIndex && !list.SortDown)) list.Sort();
  SetRowCount(list.Count());
  UpdateStatusBar();
  // A listing stopped by a navigation ends while the history already points elsewhere: only the
  // entry it was started for may be restored (restoring applies a remembered selection once).
  TZmRecentItem* now = ZmRecentControl1.NowItem();
  if (now && now == std::exchange(ListingEntry_, nullptr)) RestoreSelection(now->SelectedFiles, now->FocusedFile);
  else NowIndex = list.Count() ? 0 : -1;
  if (ListingCursor_) {
    QApplication::restoreOverrideCursor();
    ListingCursor_ = false;
  }
  ShowUnreadable(list.Unreadable);
  if (!list.Aborted() && DoNowAct->isChecked() && !Closing_) ClickRunButton();
}

void TFormKirvane::ShowUnreadable(const std::vector<TZmUnreadable>& unreadable) {
  // A folder that could not be read must not pass for an empty one: the count stays in the
  // panel until the next listing, the paths in its tooltip.
  QStringList paths;
  for (size_t i = 0; i < unreadable.size() && i < 20; ++i) paths << QFile::decodeName(unreadable[i].Path.c_str());
  if (unreadable.size() > 20) paths << QStringLiteral("...");
  SBPanels[3]->setText(unreadable.empty() ? QString()
                                          : QStringLiteral("%1 個の項目を読み取れません").arg(unreadable.size()));
  SBPanels[3]->setToolTip(paths.join(QLatin1Char('\n')));
}

void TFormKirvane::OnFolderSearched(const TZmFolderSearched& progress) {
  FoldersSearched_ = progress.FoldersSearched;
  SBPanels[3]->setText(QStringLiteral("%1 フォルダを検索中").arg(progress.FoldersSearched));
}

// ---- History ----

void TFormKirvane::ZmRecentControl1AddJudge(const TZmRecentItem* nowItem, const TZmRecentItem& addItem,
                                             bool& addFlag) {
  if (nowItem && SameFileName(nowItem->Folder, addItem.Folder)) addFlag = false;
}

void TFormKirvane::ZmRecentControl1MenuItemCaptionSetEvent(const TZmRecentItem& item, std::string& caption) {
  const std::string rest = DeleteLastChar(item.Folder);
  if (item.Folder == "/") caption = "/";
  else if (rest.empty()) caption = "<無効なフォルダ>";
  else {
    const std::string_view last = ExtractFileName(rest);
    caption = last.empty() ? rest : std::string(last);
  }
}

void TFormKirvane::ZmRecentControl1MenuItemClick(TZmRecentItem* preItem, TZmRecentItem* nowItem) {
  if (preItem) StoreSelection(preItem);
  if (nowItem) ShowHistoryFolder(nowItem->Folder);
}

// ---- Folder tree ----

void TFormKirvane::CreateFolderTree() {
  STV = new QTreeView(this);
  STV->setObjectName(QStringLiteral("STV"));
  SetTreeModel();
  STV->setHeaderHidden(true);
  STV->setMinimumWidth(60);
  STV->installEventFilter(this);
  const auto userMoved = [this] { TreeFollowsSelection_ = false; };
  connect(STV, &QTreeView::expanded, this, userMoved);
  connect(STV, &QTreeView::collapsed, this, userMoved);
  connect(STV->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, userMoved);

  // The desktop folder is selected at start, or home when there is none.
  QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (start.isEmpty() || !QFileInfo(start).isDir()) start = QDir::homePath();
  SelectTreeFolder(QFile::encodeName(start).toStdString());
}

void TFormKirvane::SetTreeModel() {
  QFileSystemModel* old = STVModel;
  STVModel = new QFileSystemModel(STV);
  // The tree re-reads only on request (F5, refresh), like the list. Folders only: devices,
  // sockets and FIFOs are no places to go.
  STVModel->setOption(QFileSystemModel::DontWatchForChanges, true);
  STVModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
  STVModel->setRootPath(QStringLiteral("/"));
  // A background read may drop the selected node (a folder gone, or one read just before it was
  // made), and the tree then picks another current node by itself: no choice of the user's, so
  // the list must not follow it. Connected before the view's own handlers, so as to run first.
  connect(STVModel, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { ++TreeRowsLeaving_; });
  connect(STVModel, &QAbstractItemModel::rowsRemoved, this, [this] { --TreeRowsLeaving_; });
  STV->setModel(STVModel);
  delete old;
  for (int c = 1; c < STVModel->columnCount(); ++c) STV->hideColumn(c);
  connect(STV->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { STVChange(); });
  // Folders are read and sorted in the background: rows that arrive above the selected node push
  // it away, so until the user scrolls or opens a branch it is brought back into view.
  const auto follow = [this] {
    if (TreeFollowsSelection_)
      QTimer::singleShot(0, STV, [this] {
        if (TreeFollowsSelection_ && STV->currentIndex().isValid()) STV->scrollTo(STV->currentIndex());
      });
  };
  connect(STVModel, &QFileSystemModel::directoryLoaded, this, follow);
  connect(STVModel, &QAbstractItemModel::layoutChanged, this, follow);
}

void TFormKirvane::SelectTreeFolder(std::string path) {
  // A folder that has gone is replaced by its nearest existing parent; the tree never goes
  // without a current node, which would make it pick its first row ("/") on the next focus.
  path = ExcludeTrailingPathDelimiter(path);
  while (!path.empty() && path != "/" && !DirectoryExists(path)) path.erase(path.rfind('/'));
  if (path.empty()) path = "/";
  const QModelIndex index = STVModel->index(QFile::decodeName(path.c_str()));
  if (index.isValid()) STV->setCurrentIndex(index);
  if (STV->currentIndex().isValid()) STV->scrollTo(STV->currentIndex());
  TreeFollowsSelection_ = true;  // after scrollTo, which opens the parents
}

std::string TFormKirvane::TreePath() const {
  const QModelIndex index = STV->currentIndex();
  if (!index.isValid()) return {};
  return IncludeTrailingPathDelimiter(QFile::encodeName(STVModel->filePath(index)).toStdString());
}

void TFormKirvane::STVChange() {
  if (!STVChangeAttached_ || TreeRowsLeaving_ > 0) return;
  const std::string path = TreePath();
  if (!path.empty()) MoveFolder(path);
}

void TFormKirvane::SyncFolderTree(const std::string& path) {
  const bool attached = std::exchange(STVChangeAttached_, false);
  STV->setUpdatesEnabled(false);
  if (TreePath() != IncludeTrailingPathDelimiter(path)) SelectTreeFolder(path);
  else STV->scrollTo(STV->currentIndex());
  STV->setUpdatesEnabled(true);
  STVChangeAttached_ = attached;
}

void TFormKirvane::RefreshFolderTree() {
  const std::string path = TreePath();
  const bool attached = std::exchange(STVChangeAttached_, false);
  STV->setUpdatesEnabled(false);
  // A new model reads the file system afresh; the open branches stay open where they still exist.
  std::vector<QString> expanded;
  const std::function<void(const QModelIndex&)> collect = [&](const QModelIndex& parent) {
    for (int r = 0, n = STVModel->rowCount(parent); r < n; ++r) {
      const QModelIndex child = STVModel->index(r, 0, parent);
      if (!STV->isExpanded(child)) continue;
      expanded.push_back(STVModel->filePath(child));
      collect(child);
    }
  };
  collect(QModelIndex());
  SetTreeModel();
  for (const QString& folder : expanded)
    if (const QModelIndex index = STVModel->index(folder); index.isValid()) STV->expand(index);
  SelectTreeFolder(path.empty() ? std::string("/") : path);
  STV->setUpdatesEnabled(true);
  STVChangeAttached_ = attached;
  QCoreApplication::processEvents();
}

void TFormKirvane::STVKeyUp(int key, Qt::KeyboardModifiers) {
  if (IsStopKey(key)) ExecuteAction(StopAct);
  else if (key == Qt::Key_Delete) DeleteTreeFolder();
  else if (IsRefreshKey(key)) RefreshFolders();
}

void TFormKirvane::DeleteTreeFolder() {
  const std::string folder = TreePath();
  if (folder.empty() || folder == "/") return;
  const std::string path = ExcludeTrailingPathDelimiter(folder);
  const QString shown = ToQ(path);
  const auto answer = QMessageBox::question(
      this, QStringLiteral("フォルダの削除"),
      QStringLiteral("フォルダ \"%1\" をごみ箱に移動しますか?").arg(shown), QMessageBox::Yes | QMessageBox::No,
      QMessageBox::No);
  if (answer != QMessageBox::Yes) return;
  const TTrashOutcome outcome = MoveToTrash(path);
  if (outcome.Result != TTrashResult::Moved) {
    QMessageBox::warning(this, QStringLiteral("注意"), ToQ(outcome.Message));
    return;
  }
  MoveFolder(std::string(ExtractFilePath(path)));
  RefreshFolderTree();  // the tree does not watch the disk, so it still shows the trashed folder
}

// ---- Commands ----

void TFormKirvane::StopActExecute() {
  // The check reads the list's records: it ends before a scan may replace them.
  ZmThreadJpegChecker1.Stop();
  ZmFileInfos1.List().Stop();
}

void TFormKirvane::RefreshExecute(QAction* sender) {
  if (sender) AppOptions_->RefreshMode = uint8_t(sender->property("tag").toInt());
  const int tag = sender ? sender->property("tag").toInt() : rmAll;
  if (tag == rmAll || tag == rmFolders) RefreshFolders();
  if (tag == rmAll || tag == rmFiles) RefreshFiles();
}

void TFormKirvane::RefreshFolders() {
  if (FolderBarVisibleAct->isChecked()) RefreshFolderTree();
}

void TFormKirvane::RefreshFiles() {
  const TZmRecentItem* now = ZmRecentControl1.NowItem();
  if (!now) return;
  if (DirectoryExists(now->Folder)) {
    ReloadFolder(now->Folder);
    return;
  }
  QMessageBox::warning(this, QStringLiteral("注意"),
                       QStringLiteral("フォルダ\"%1\"は存在しません。").arg(ToQ(IncludeTrailingPathDelimiter(now->Folder))));
}

void TFormKirvane::SubFolderSearchActExecute() {
  TZmFileInfoListOptions o = ZmFileInfos1.Options();
  o = SubFolderSearchAct->isChecked() ? (o | filoSubFolderSearch) : (o & ~filoSubFolderSearch);
  ZmFileInfos1.SetOptions(o);
}

void TFormKirvane::HiddenFileViewActExecute() {
  TZmFileInfoListOptions o = ZmFileInfos1.Options();
  o = HiddenFileViewAct->isChecked() ? (o | filoHiddenFileView) : (o & ~filoHiddenFileView);
  ZmFileInfos1.SetOptions(o);
}

void TFormKirvane::FolderBarVisibleActExecute() {
  const bool visible = FolderBarVisibleAct->isChecked();
  STV->setVisible(visible);
  if (!visible) return;
  RefreshFolderTree();
  if (const TZmRecentItem* now = ZmRecentControl1.NowItem()) SyncFolderTree(now->Folder);
}

void TFormKirvane::BackActExecute() {
  const auto& menu = ZmRecentControl1.BackMenu();
  if (!menu.empty()) ZmRecentControl1.HistoryMenuItemClick(menu.front().Tag);
}

void TFormKirvane::ForwardActExecute() {
  const auto& menu = ZmRecentControl1.ForwardMenu();
  if (!menu.empty()) ZmRecentControl1.HistoryMenuItemClick(menu.front().Tag);
}

void TFormKirvane::UpFolderActExecute() {
  const TZmRecentItem* now = ZmRecentControl1.NowItem();
  if (!now) return;
  std::string folder = IncludeTrailingPathDelimiter(now->Folder);
  if (folder == "/") return;  // the root has no parent
  folder.pop_back();
  folder.erase(folder.rfind('/') + 1);
  MoveFolder(folder);
}

void TFormKirvane::GoActExecute() { MoveFolder(AddressPath()); }

void TFormKirvane::MoveThisFolderActExecute() {
  const int row = LVFiles->FocusedRow();
  if (row >= 0 && row < ZmFileInfos1.List().Count()) MoveFolder(ZmFileInfos1.List().Items(row)->FullFileName());
}

void TFormKirvane::SelectFolderActExecute() {
  std::string initial;
  const int row = LVFiles->FocusedRow();
  if (row >= 0 && row < ZmFileInfos1.List().Count()) initial = ZmFileInfos1.List().Items(row)->Path();
  else if (const TZmRecentItem* now = ZmRecentControl1.NowItem()) initial = now->Folder;
  if (SelectFolder(this, QStringLiteral("フォルダを選択"), initial)) MoveFolder(AbsolutePath(initial));
}

// ---- Address combo and recent folders ----

void TFormKirvane::CBRecentSelect() {
  if (!CBRecent->view()->isVisible()) MoveFolder(AddressPath());
}

void TFormKirvane::SetAddressText(const std::string& path) {
  CBRecent->setEditText(ToQ(path));
  AddressPath_ = path;
}

std::string TFormKirvane::AddressPath() const {
  // A name that is not UTF-8 has no exact text: while the combo shows the text of a path the
  // window put there, or of a recent folder, that path's bytes are meant.
  const QString text = CBRecent->currentText();
  if (text == ToQ(AddressPath_)) return AddressPath_;
  const int item = CBRecent->currentIndex();
  if (item >= 0 && text == CBRecent->itemText(item))
    return AbsolutePath(CBRecent->itemData(item).toByteArray().toStdString());
  return PathFromText(text);
}

void TFormKirvane::CBRecentKeyUp(int key, Qt::KeyboardModifiers modifiers) {
  const bool alt = modifiers & Qt::AltModifier;
  if (key == Qt::Key_Return || key == Qt::Key_Enter) ExecuteAction(GoAct);
  else if (IsStopKey(key)) ExecuteAction(StopAct);
  else if (key == Qt::Key_Left && alt) ExecuteAction(BackAct);
  else if (key == Qt::Key_Right && alt) ExecuteAction(ForwardAct);
  else if (IsRefreshKey(key)) TBtnRefresh->click();
}

void TFormKirvane::FillRecentCombo() {
  const QString text = CBRecent->currentText();
  CBRecent->blockSignals(true);
  CBRecent->clear();
  // A huge list would make the drop-down slow to fill and to use: it offers the most recent ones.
  const size_t shown = std::min(RecentFolders_.size(), MaxComboItems);
  for (size_t i = 0; i < shown; ++i)
    CBRecent->addItem(ToQ(RecentFolders_[i]), QByteArray::fromStdString(RecentFolders_[i]));
  CBRecent->setEditText(text);
  CBRecent->blockSignals(false);
}

bool TFormKirvane::PrepareRun() {
  if (ZmFileInfos1.List().Busy() || LVFiles->ItemsCount() == 0) return false;
  if (const TZmRecentItem* now = ZmRecentControl1.NowItem()) {
    const std::string folder = IncludeTrailingPathDelimiter(now->Folder);
    if (AddressPath() != folder) SetAddressText(folder);
  }
  RecordRecentFolder(RecentFolders_, AddressPath());
  // A folder.txt that could not be read at start is left as it is (the user was told).
  std::string error;
  if (RecentFileStatus_.MayWrite() && !SaveRecentFolders(RecentFoldersFilePath(), RecentFolders_, &error)) {
    QMessageBox::critical(this, QStringLiteral("Kirvane"),
                          QStringLiteral("ファイル %1 を作成できません。").arg(ToQ(RecentFoldersFilePath())));
    return false;
  }
  FillRecentCombo();
  CBRecent->blockSignals(true);
  CBRecent->setCurrentIndex(0);
  CBRecent->blockSignals(false);
  DropPreviewLoad(false);  // also while the pane is still empty
  ExecuteAction(ImgCloseAct);
  return true;
}
