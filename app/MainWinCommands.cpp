// The commands on the files of the list: copy, move or delete them; open them with their program,
// in the file manager or as folder windows; the find dialog; files dropped on the list or the folder tree, and files
// dragged out of the list.
#include <QCheckBox>
#include <QDialog>
#include <QDropEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "EtcLists/IntegerList.h"
#include "app/MainWin.h"
#include "columns/ZmListView.h"
#include "dialogs/OptionDialog.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"

namespace {

// The local paths of dropped URLs, in their order.
std::vector<std::string> DroppedPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (data && data->hasUrls())
    for (const QUrl& url : data->urls())
      if (std::string path = PathOfFileUrl(url); !path.empty()) paths.push_back(std::move(path));
  return paths;
}

// Accepts files dropped from other programs on a widget and hands over their paths. What is
// dragged inside the program itself (the list's own files) is not taken.
class TFileDropTarget : public QObject {
 public:
  TFileDropTarget(QWidget* widget, std::function<void(const std::vector<std::string>&)> onDrop)
      : QObject(widget), OnDrop_(std::move(onDrop)) {
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    const QEvent::Type type = e->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    auto* drop = static_cast<QDropEvent*>(e);
    const std::vector<std::string> paths = drop->source() ? std::vector<std::string>() : DroppedPaths(drop->mimeData());
    if (paths.empty()) {
      drop->ignore();
      return true;
    }
    drop->setDropAction(Qt::CopyAction);  // nothing is moved: the folder is only opened
    drop->accept();
    if (type == QEvent::Drop) OnDrop_(paths);
    return true;
  }

 private:
  std::function<void(const std::vector<std::string>&)> OnDrop_;
};

}  // namespace

std::vector<const TZmFileInfo*> TFormKirvane::SelectedFiles() const {
  std::vector<const TZmFileInfo*> files;
  const TZmThreadFileInfoList& list = ZmFileInfos1.List();
  if (list.Busy()) return files;
  TIntegerList rows;
  LVFiles->GetSelectedIndexes(rows);
  for (int32_t row : rows.Values())
    if (row >= 0 && row < list.Count()) files.push_back(list.Items(row));
  return files;
}

// ---- Opening ----

void TFormKirvane::OpenShellActExecute() {
  for (const TZmFileInfo* f : SelectedFiles())
    if (const std::string path = f->FullFileName(); FileExists(path)) OpenFile(path);
}

void TFormKirvane::OpenExplorerActExecute() {
  // One window per row, also for rows of one folder; a file that has gone leaves its folder.
  for (const TZmFileInfo* f : SelectedFiles()) {
    if (const std::string path = f->FullFileName(); FileExists(path)) OpenExplorer(path);
    else if (DirectoryExists(std::string(f->Path()))) OpenExplorer(std::string(f->Path()));
  }
}

void TFormKirvane::OpenFolderActExecute() {
  // The folder of every selected file (one window each), or the current folder.
  std::vector<std::string> folders;
  for (const TZmFileInfo* f : SelectedFiles()) folders.emplace_back(f->Path());
  if (folders.empty())
    if (const TZmRecentItem* now = ZmRecentControl1.NowItem()) folders.push_back(now->Folder);
  for (const std::string& f : folders)
    if (DirectoryExists(f)) OpenFolder(f);
}

// ---- Copy, move, delete ----

void TFormKirvane::TransferActExecute(TFileTransfer kind) {
  std::vector<std::string> paths;
  for (const TZmFileInfo* f : SelectedFiles()) paths.push_back(f->FullFileName());
  FileCommands_->TransferTo(kind, std::move(paths), this);
}

void TFormKirvane::DeleteFileActExecute() {
  // Shift held at this moment deletes for good instead of to the trash.
  const bool permanent = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
  std::vector<std::string> paths;
  for (const TZmFileInfo* f : SelectedFiles()) paths.push_back(f->FullFileName());
  FileCommands_->Delete(std::move(paths), permanent, this);
}

// ---- Options ----

void TFormKirvane::OptionDetailActExecute(QAction* sender) {
  if (ZmFileInfos1.List().Busy()) return;
  auto* dialog = new TOptionDialog({*AppOptions_, *this, *FormImage_->ImgView32(), *LVFiles}, this);
  dialog->OptionsToDlgAct();
  if (sender->property("tag").toInt() == 1) dialog->ShowColumnsPage();
  // Freed only after its answer has been handled: applying may run pending events.
  connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
    if (result == QDialog::Accepted) ApplyOptionDialog(*dialog);
    dialog->deleteLater();
  });
  dialog->open();
}

void TFormKirvane::ApplyOptionDialog(TOptionDialog& dialog) {
  const std::vector<std::string> extensions = ZmFileInfos1.ExtList();
  const int sortColumn = LVFiles->SortColumnIndex;
  const bool sortDown = LVFiles->SortDown;
  dialog.DlgToOptionsAct();
  // A hidden sort column hands the sort to another column: the rows follow the new mark.
  if (LVFiles->SortColumnIndex != sortColumn || LVFiles->SortDown != sortDown) SortAsTheList();
  // Formats switched off or on show at once, not only after the next listing.
  if (ZmFileInfos1.ExtList() != extensions)
    if (const TZmRecentItem* now = ZmRecentControl1.NowItem()) ReloadFolder(now->Folder);
}

// ---- Find ----

void TFormKirvane::SearchFindActExecute() {
  if (!FindDialog1) CreateFindDialog();
  FindDialog1->show();
  FindDialog1->raise();
  FindDialog1->activateWindow();
}

void TFormKirvane::CreateFindDialog() {
  // The system's find dialog as this program uses it: downwards, case ignored, prefixes only.
  FindDialog1 = new QDialog(this);
  FindDialog1->setObjectName(QStringLiteral("FindDialog1"));
  FindDialog1->setWindowTitle(QStringLiteral("検索"));
  FindDialog1->setModal(false);
  auto* edit = new QLineEdit(FindText_, FindDialog1);
  edit->setObjectName(QStringLiteral("FindText"));
  auto* label = new QLabel(QStringLiteral("検索する文字列(&N):"), FindDialog1);
  label->setBuddy(edit);
  auto* wholeWord = new QCheckBox(QStringLiteral("単語単位で探す(&W)"), FindDialog1);
  auto* matchCase = new QCheckBox(QStringLiteral("大文字と小文字を区別する(&C)"), FindDialog1);
  auto* direction = new QGroupBox(QStringLiteral("方向"), FindDialog1);
  auto* up = new QRadioButton(QStringLiteral("上へ(&U)"), direction);
  auto* down = new QRadioButton(QStringLiteral("下へ(&D)"), direction);
  down->setChecked(true);
  auto* directionRow = new QHBoxLayout(direction);
  directionRow->addWidget(up);
  directionRow->addWidget(down);
  for (QWidget* w : {static_cast<QWidget*>(wholeWord), static_cast<QWidget*>(matchCase), static_cast<QWidget*>(direction)})
    w->setEnabled(false);
  auto* findNext = new QPushButton(QStringLiteral("次を検索(&F)"), FindDialog1);
  findNext->setObjectName(QStringLiteral("FindNext"));
  findNext->setDefault(true);
  findNext->setEnabled(!FindText_.isEmpty());
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), FindDialog1);

  auto* grid = new QGridLayout(FindDialog1);
  grid->addWidget(label, 0, 0);
  grid->addWidget(edit, 0, 1, 1, 2);
  grid->addWidget(wholeWord, 1, 0, 1, 2);
  grid->addWidget(matchCase, 2, 0, 1, 2);
  grid->addWidget(direction, 1, 2, 2, 1);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(findNext);
  buttons->addWidget(cancel);
  buttons->addStretch(1);
  grid->addLayout(buttons, 0, 3, 3, 1);

  connect(edit, &QLineEdit::textChanged, this, [this, findNext](const QString& text) {
    FindText_ = text;
    findNext->setEnabled(!text.isEmpty());
  });
  connect(findNext, &QPushButton::clicked, this, &TFormKirvane::FindDialog1Find);
  connect(cancel, &QPushButton::clicked, FindDialog1, &QDialog::hide);
}

void TFormKirvane::FindDialog1Find() {
  if (FindText_.isEmpty()) return;
  const int focused = LVFiles->FocusedRow();
  const int found = LVFilesDataFind(FindText_, focused >= 0 ? focused + 1 : 0, true);
  LVFiles->BeginUpdate();
  LVFiles->ClearSelection();
  if (found >= 0 && found < LVFiles->ItemsCount()) {
    LVFiles->SetFocusedRow(found);
    LVFiles->SetSelected(found, true);
    // Fully into view (the list's own MakeVisible is content with part of the row).
    const int x = LVFiles->horizontalScrollBar()->value();
    LVFiles->scrollTo(LVFiles->model()->index(found, 0), QAbstractItemView::EnsureVisible);
    LVFiles->horizontalScrollBar()->setValue(x);
  } else {
    LVFiles->SetFocusedRow(-1);
  }
  LVFiles->EndUpdate();
}

// ---- Drag and drop ----

void TFormKirvane::CreateDropTargets() {
  // Only the first dropped path counts: a folder is listed, a file's folder with it focused.
  auto drop = [this](const std::vector<std::string>& paths) { MoveFolder(paths.front()); };
  new TFileDropTarget(LVFiles->viewport(), drop);
  new TFileDropTarget(STV->viewport(), drop);
  LVFiles->OnDragUrls = [this] {
    QList<QUrl> urls;
    for (const TZmFileInfo* f : SelectedFiles()) urls.push_back(FileUrl(f->FullFileName()));
    return urls;
  };
}
