// The file list: cells drawn on demand from the catalogue, find-as-you-type, sorting by a column
// click, selection memory across re-listing, the status bar and the list's keys.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QSplitter>
#include <QToolButton>
#include <QTreeView>
#include <unordered_map>

#include "app/FileListTexts.h"
#include "EtcLists/IntegerList.h"
#include "app/Actions.h"
#include "app/MainWin.h"
#include "catalogue/ZmUtils.h"
#include "columns/ZmListView.h"
#include "platform/FileTypes.h"

namespace {

// The list's keys, acted on at release (Ctrl and Alt as held then).
enum class TMod { Any, Ctrl, NoCtrl, Alt };
enum class TListCommand {
  UpFolder, Run, OpenShell, Stop, Back, Forward, DeleteFile, SelectAll, SearchFind, SelectErrors,
  SearchFindNext, RefreshFiles,
};
struct TListKey {
  int Key;
  TMod Mod;
  TListCommand Command;
};
// clang-format off
constexpr TListKey ListKeys[] = {
  {Qt::Key_Backspace, TMod::Any,    TListCommand::UpFolder},
  {Qt::Key_Return,    TMod::NoCtrl, TListCommand::Run},
  {Qt::Key_Enter,     TMod::NoCtrl, TListCommand::Run},
  {Qt::Key_Return,    TMod::Ctrl,   TListCommand::OpenShell},
  {Qt::Key_Enter,     TMod::Ctrl,   TListCommand::OpenShell},
  {Qt::Key_Escape,    TMod::Any,    TListCommand::Stop},
  {Qt::Key_Stop,      TMod::Any,    TListCommand::Stop},
  {Qt::Key_Left,      TMod::Alt,    TListCommand::Back},
  {Qt::Key_Right,     TMod::Alt,    TListCommand::Forward},
  {Qt::Key_Delete,    TMod::Any,    TListCommand::DeleteFile},
  {Qt::Key_A,         TMod::Ctrl,   TListCommand::SelectAll},
  {Qt::Key_F,         TMod::Ctrl,   TListCommand::SearchFind},
  {Qt::Key_R,         TMod::Ctrl,   TListCommand::SelectErrors},
  {Qt::Key_F3,        TMod::Any,    TListCommand::SearchFindNext},
  {Qt::Key_F5,        TMod::Any,    TListCommand::RefreshFiles},
  {Qt::Key_Refresh,   TMod::Any,    TListCommand::RefreshFiles},
  {Qt::Key_F9,        TMod::Any,    TListCommand::Run},
  {Qt::Key_Back,      TMod::Any,    TListCommand::Back},
  {Qt::Key_Forward,   TMod::Any,    TListCommand::Forward},
};
// clang-format on

bool IsModifierKey(int key) {
  return key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_Alt || key == Qt::Key_Meta ||
         key == Qt::Key_AltGr || key == Qt::Key_Super_L || key == Qt::Key_Super_R;
}

bool ModifiersMatch(TMod mod, Qt::KeyboardModifiers m) {
  switch (mod) {
    case TMod::Any: return true;
    case TMod::Ctrl: return m & Qt::ControlModifier;
    case TMod::NoCtrl: return !(m & Qt::ControlModifier);
    case TMod::Alt: return m & Qt::AltModifier;
  }
  return false;
}
}  // namespace

void TFormKirvane::CreateFileList() {
  LVFiles = new TZmListView(Splitter2);
  LVFiles->setObjectName(QStringLiteral("LVFiles"));
  LVFiles->SetColumnInfos(&ZmColumnInfosKv);
  LVFiles->OnData = [this](int row, int kind) { return LVFilesData(row, kind); };
  LVFiles->OnDataFind = [this](const QString& text, int start, bool wrap) {
    return LVFilesDataFind(text, start, wrap);
  };
  LVFiles->OnIcon = [this](int index) {
    // The type provider's icon list grows as new types are met; icons come from the theme.
    static QHash<int, QIcon> cache;
    auto it = cache.find(index);
    if (it != cache.end()) return *it;
    const std::vector<std::string> names = FileTypes_->IconNames();
    QIcon icon;
    if (index >= 0 && size_t(index) < names.size()) icon = QIcon::fromTheme(ToQ(names[size_t(index)]));
    if (icon.isNull()) {
      const bool folder = index >= 0 && size_t(index) < names.size() && names[size_t(index)].starts_with("folder");
      icon = style()->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    }
    cache.insert(index, icon);
    return icon;
  };
  LVFiles->SetPopupMenu(PMLVFiles);
  LVFiles->RebuildColumns();
  connect(LVFiles, &TZmListView::Change, this, [this] { UpdateStatusBar(); });
  connect(LVFiles, &TZmListView::ColumnClick, this, &TFormKirvane::LVFilesColumnClick);
  connect(LVFiles, &TZmListView::KeyDown, this, &TFormKirvane::KeyWentDown);
  connect(LVFiles, &TZmListView::KeyUp, this, &TFormKirvane::LVFilesKeyUp);
  connect(LVFiles, &TZmListView::MouseMove, this, [this] {
    if (QApplication::activeWindow() == this && !LVFiles->hasFocus()) LVFiles->setFocus();
    UpdateStatusBar();
  });
  connect(LVFiles, &TZmListView::Click, this, &TFormKirvane::LVFilesClick);
  connect(LVFiles, &TZmListView::DblClick, this, &TFormKirvane::LVFilesDblClick);
  connect(LVFiles, &TZmListView::ContextPopup, this, [this](const QPoint&) { ImgLoadActExecute(); });
}

TZmListCell TFormKirvane::LVFilesData(int row, int kind) const {
  const TZmThreadFileInfoList& list = ZmFileInfos1.List();
  if (list.Busy() || row < 0 || row >= list.Count()) return {};
  const TZmFileInfo& r = *list.VisibleItems()[size_t(row)];
  TZmListCell cell;
  cell.Text = ToQ(FileListCellText(r, kind));
  if (kind == smName) cell.IconIndex = r.IconIndex;
  return cell;
}

int TFormKirvane::LVFilesDataFind(const QString& text, int start, bool wrap) const {
  const TZmThreadFileInfoList& list = ZmFileInfos1.List();
  if (list.Busy()) return -1;  // the records are the listing's until it ends
  const int count = list.Count();
  if (count == 0 || text.isEmpty()) return -1;
  const std::string prefix = LowerAsciiString(text.toUtf8().toStdString());
  if (start < 0 || start >= count) start = 0;
  // Every record once, from the start position, wrapping to the top when asked to.
  for (int n = 0, i = start; n < count; ++n, ++i) {
    if (i == count) {
      if (!wrap) return -1;
      i = 0;
    }
    const std::string& name = list.VisibleItems()[size_t(i)]->SearchRec.Name;
    if (name.size() >= prefix.size() && SameTextAscii(std::string_view(name).substr(0, prefix.size()), prefix))
      return i;
  }
  return -1;
}

void TFormKirvane::LVFilesColumnClick(int column) {
  if (ZmFileInfos1.List().Busy()) return;
  LVFiles->SortColumnClick(column);
  SortAsTheList();
}

void TFormKirvane::SortAsTheList() {
  TZmThreadFileInfoList& list = ZmFileInfos1.List();
  if (list.Busy()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ZmFileInfos1.SetSortMode(LVFiles->SortColumnIndex);
  ZmFileInfos1.SetSortDown(LVFiles->SortDown);
  TZmRecentItem* now = ZmRecentControl1.NowItem();
  LVFiles->BeginUpdate();
  try {
    if (now) StoreSelection(now);
    SetRowCount(0);
    list.Sort();
    SetRowCount(list.Count());
  } catch (...) {
  }
  LVFiles->EndUpdate();
  if (now) RestoreSelection(now->SelectedFiles, now->FocusedFile);
  QApplication::restoreOverrideCursor();
}

void TFormKirvane::StoreSelection(TZmRecentItem* item) const {
  if (!item) return;
  const TZmThreadFileInfoList& list = ZmFileInfos1.List();
  item->SelectedFiles.clear();
  TIntegerList rows;
  LVFiles->GetSelectedIndexes(rows);
  for (int32_t row : rows.Values())
    if (row < list.Count()) item->SelectedFiles.push_back(list.Items(row)->FullFileName());
  const int focused = LVFiles->FocusedRow();
  item->FocusedFile = focused >= 0 && focused < list.Count() ? list.Items(focused)->FullFileName() : std::string();
}

void TFormKirvane::RestoreSelection(std::vector<std::string>& files, const std::string& focused) {
  LVFiles->BeginUpdate();
  if (files.size() > 16) {
    // Many rows (a re-sort with everything selected): one index by path instead of a search per row.
    const auto& items = ZmFileInfos1.List().VisibleItems();
    std::unordered_map<std::string, int> rows;
    rows.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) rows.emplace(items[i]->FullFileName(), int(i));
    for (const std::string& f : files)
      if (const auto it = rows.find(f); it != rows.end()) LVFiles->SetSelected(it->second, true);
  } else {
    for (const std::string& f : files) {
      const int row = IndexOfFile(f);
      if (row >= 0) LVFiles->SetSelected(row, true);
    }
  }
  files.clear();  // a remembered selection is applied once
  if (LVFiles->ItemsCount() > 0) {
    const int row = focused.empty() ? -1 : IndexOfFile(focused);
    if (row >= 0) {
      LVFiles->SetFocusedRow(row);
      LVFiles->MakeVisible(row);
    }
    NowIndex = std::max(LVFiles->FocusedRow(), 0);
  } else {
    NowIndex = -1;
  }
  LVFiles->EndUpdate();
}

int TFormKirvane::IndexOfFile(const std::string& fullPath) const {
  const std::string_view name = ExtractFileName(fullPath);
  const std::string_view folder = ExtractFilePath(fullPath);
  const auto& items = ZmFileInfos1.List().VisibleItems();
  for (size_t i = 0; i < items.size(); ++i)
    if (SameFileName(items[i]->SearchRec.Name, name) && SameFileName(items[i]->Path(), folder)) return int(i);
  return -1;
}

void TFormKirvane::UpdateStatusBar() {
  const TZmThreadFileInfoList& list = ZmFileInfos1.List();
  const int count = LVFiles->ItemsCount();
  SBPanels[0]->setText(ToQ(SelectionCountText(LVFiles->SelectedCount())));
  const int focused = LVFiles->FocusedRow();
  SBPanels[1]->setText(ToQ(focused >= 0 ? PositionText(focused, count) : ObjectCountText(count)));
  SBPanels[2]->setText(ToQ(SizeToText(list.TotalSize())));
}

void TFormKirvane::UpdateVisibleItems() {
  if (LVFiles->ItemsCount() == 0) return;
  LVFiles->BeginUpdate();
  const int top = LVFiles->TopRow();
  LVFiles->UpdateItems(top, top + LVFiles->VisibleRowCount());
  LVFiles->EndUpdate();
}

void TFormKirvane::SetRowCount(int count) { LVFiles->SetItemsCount(count); }

void TFormKirvane::KeyWentDown(int key, Qt::KeyboardModifiers modifiers) {
  KeyDownSeen = true;
  if (!IsModifierKey(key)) KeyDown_ = {key, modifiers};
}

bool TFormKirvane::KeyCameUp(int key, Qt::KeyboardModifiers& modifiers) {
  // Keys act at release with the modifiers held when they went down, so a chord whose Ctrl is
  // let go first, as in quick typing, still counts; the modifier's own release does nothing.
  if (!KeyDownSeen || IsModifierKey(key)) return false;  // pressed elsewhere, released here
  KeyDownSeen = false;
  if (key == KeyDown_.Key) modifiers |= KeyDown_.Modifiers;
  KeyDown_ = {};
  return true;
}

void TFormKirvane::LVFilesKeyUp(int key, Qt::KeyboardModifiers modifiers) {
  if (!KeyCameUp(key, modifiers)) return;
  for (const TListKey& k : ListKeys) {
    if (k.Key != key || !ModifiersMatch(k.Mod, modifiers)) continue;
    switch (k.Command) {
      case TListCommand::UpFolder: ExecuteAction(UpFolderAct); break;
      case TListCommand::Run: ClickRunButton(); break;
      case TListCommand::OpenShell: ExecuteAction(OpenShellAct); break;
      case TListCommand::Stop: ExecuteAction(StopAct); break;
      case TListCommand::Back: ExecuteAction(BackAct); break;
      case TListCommand::Forward: ExecuteAction(ForwardAct); break;
      case TListCommand::DeleteFile: ExecuteAction(DeleteFileAct); break;
      case TListCommand::SelectAll: ExecuteAction(SelectAllAct); break;
      case TListCommand::SearchFind: ExecuteAction(SearchFindAct); break;
      case TListCommand::SelectErrors: ExecuteAction(SelectErrorsActVt); break;
      case TListCommand::SearchFindNext: ExecuteAction(SearchFindNextAct); break;
      case TListCommand::RefreshFiles: RefreshFiles(); break;
    }
    break;
  }
  if (key != Qt::Key_Left && key != Qt::Key_Right) ImgLoadActExecute();
}

void TFormKirvane::LVFilesClick() {
  if (LVFiles->SelectedCount() > 0 && LVFiles->FocusedRow() >= 0) ImgLoadActExecute();
}

void TFormKirvane::LVFilesDblClick() { ClickRunButton(); }

void TFormKirvane::ShowBaseActExecute(QAction* sender) {
  AppOptions_->ShowMode = uint8_t(sender->property("tag").toInt());
  if (!PrepareRun()) return;
  if (LVFiles->FocusedRow() < 0) LVFiles->SetFocusedRow(0);
  NowIndex = LVFiles->FocusedRow();
  FormImage_->Start(AppOptions_->ShowMode, NowIndex);
}

int TFormKirvane::SlideCount() const { return ZmFileInfos1.List().Count(); }

std::string_view TFormKirvane::SlideFolder(int index) const { return ZmFileInfos1.List().Items(index)->Path(); }

std::string TFormKirvane::SlidePath(int index) const { return ZmFileInfos1.List().Items(index)->FullFileName(); }

void TFormKirvane::SlideShown(int index) {
  LVFiles->BeginUpdate();
  LVFiles->ClearSelection();
  LVFiles->SetFocusedRow(-1);
  if (index < LVFiles->ItemsCount()) {
    LVFiles->SetSelected(index, true);
    LVFiles->SetFocusedRow(index);
  }
  LVFiles->EndUpdate();
  UpdateStatusBar();
  UpdateTitles();
}

void TFormKirvane::SlideShowEnded(int index) {
  if (index >= 0 && index < LVFiles->ItemsCount()) LVFiles->MakeVisible(index);
  activateWindow();
  LVFiles->setFocus(Qt::OtherFocusReason);
}

void TFormKirvane::ClickRunButton() {
  ActionList1Update();  // the button carries the action of the current mode
  ExecuteAction(TBtnRun->defaultAction());
}

void TFormKirvane::NameCopyActExecute() {
  const int row = LVFiles->FocusedRow();
  if (row >= 0 && row < ZmFileInfos1.List().Count())
    QApplication::clipboard()->setText(ToQ(ZmFileInfos1.List().Items(row)->FullFileName()));
}

void TFormKirvane::SelectAllActExecute() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  LVFiles->SelectAll();
  QApplication::restoreOverrideCursor();
}

void TFormKirvane::SelectChangeActExecute() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  LVFiles->InvertSelection();
  QApplication::restoreOverrideCursor();
}

bool TFormKirvane::eventFilter(QObject* watched, QEvent* e) {
  const bool press = e->type() == QEvent::KeyPress;
  const bool release = e->type() == QEvent::KeyRelease;
  if (press || release) {
    auto* key = static_cast<QKeyEvent*>(e);
    const bool tree = watched == STV;
    const bool combo = watched == CBRecent || (CBRecent && watched == CBRecent->lineEdit());
    if (tree || combo) {
      Qt::KeyboardModifiers modifiers = key->modifiers();
      if (press) {
        KeyWentDown(key->key(), modifiers);
      } else if (!key->isAutoRepeat() && KeyCameUp(key->key(), modifiers)) {
        if (tree) STVKeyUp(key->key(), modifiers);
        else CBRecentKeyUp(key->key(), modifiers);
      }
    }
  }
  return QMainWindow::eventFilter(watched, e);
}
