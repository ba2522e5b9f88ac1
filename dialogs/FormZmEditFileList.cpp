#include "dialogs/FormZmEditFileList.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include "EtcLists/IntegerList.h"
#include "app/Actions.h"
#include "app/FileListTexts.h"
#include "columns/ZmListView.h"

namespace {
constexpr TZmColumnSpec EditColumns[] = {
    {"Number", "順番", taRightJustify, 50, true},
    {"FileName", "フォルダ名", taLeftJustify, 400, true},
    {"FolderOnlyName", "フォルダ名のみ", taLeftJustify, 100, true},
};
}  // namespace

TFormZmEditFileList::TFormZmEditFileList(const std::vector<std::string>& list, QWidget* owner)
    : QDialog(owner), ZmColumnInfos1(EditColumns) {
  setObjectName(QStringLiteral("FormZmEditFileList"));
  setWindowTitle(QStringLiteral("リストエディター"));
  Entries_.LoadFromStrings(list);

  ZmListView1 = new TZmListView(this);
  ZmListView1->setObjectName(QStringLiteral("ZmListView1"));
  ZmListView1->SetColumnInfos(&ZmColumnInfos1);
  ZmListView1->RebuildColumns();  // "順番" ascending: the loaded order
  ZmListView1->OnData = [this](int row, int kind) {
    TZmListCell cell;
    if (row < 0 || row >= Entries_.Count()) return cell;
    const TZmEditFileName& e = Entries_.Items(row);
    const std::string text = kind == 0 ? std::to_string(e.Number) : kind == 1 ? e.FileName : e.FolderOnlyName();
    cell.Text = QString::fromUtf8(text.data(), qsizetype(text.size()));
    return cell;
  };
  ZmListView1->SetItemsCount(Entries_.Count());
  connect(ZmListView1, &TZmListView::ColumnClick, this, [this](int column) { ColumnClick(column); });
  // Kept current on every change, not only when the mouse moves over the list.
  connect(ZmListView1, &TZmListView::Change, this, [this] { ActSetStatusBarTextExecute(); });

  auto button = [this](const char* name, const char* caption, void (TFormZmEditFileList::*run)()) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, run);
    return b;
  };
  auto* row = new QHBoxLayout;
  row->addWidget(button("Btn", "現在の順番に変更", &TFormZmEditFileList::ActNumberExecute));
  row->addWidget(button("Button1", "削除", &TFormZmEditFileList::ActDeleteExecute));
  row->addWidget(button("Button3", "すべて削除", &TFormZmEditFileList::ActClearExecute));
  row->addWidget(button("Button2", "不正なパスを削除", &TFormZmEditFileList::ActDeleteInvalidFoldersExecute));
  row->addStretch(1);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("BtnOk"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setObjectName(QStringLiteral("BtnCancel"));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  row->addWidget(ok);
  row->addWidget(cancel);

  auto* popup = new QMenu(this);
  connect(popup->addAction(QStringLiteral("削除")), &QAction::triggered, this, &TFormZmEditFileList::ActDeleteExecute);
  ZmListView1->SetPopupMenu(popup);

  auto* status = new QStatusBar(this);
  status->setSizeGripEnabled(true);
  for (QLabel*& panel : Panels_) {
    panel = new QLabel(status);
    panel->setObjectName(QStringLiteral("StatusPanel"));
  }
  status->addWidget(Panels_[0], 1);
  status->addPermanentWidget(Panels_[1]);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ZmListView1, 1);
  layout->addLayout(row);
  layout->addWidget(status);
  layout->setContentsMargins(6, 6, 6, 0);
  resize(600, 400);
  ActSetStatusBarTextExecute();
}

TFormZmEditFileList::~TFormZmEditFileList() {
  // The list outlives the entries it reads: hidden now, it asks for no rows once they are gone.
  ZmListView1->OnData = nullptr;
  hide();
}

void TFormZmEditFileList::ColumnClick(int column) {
  if (!ZmListView1->SortColumnClick(column)) return;
  const bool down = ZmListView1->SortDown;
  switch (ZmListView1->SortColumnIndex) {
    case 0: Entries_.SortByNumber(down); break;
    case 1: Entries_.SortByFileName(down); break;
    default: Entries_.SortByFolderName(down); break;
  }
  Redraw();
}

void TFormZmEditFileList::ActNumberExecute() {
  Entries_.Renumber();
  Redraw();
}

void TFormZmEditFileList::ActDeleteExecute() {
  TIntegerList rows;
  ZmListView1->GetSelectedIndexes(rows);
  if (rows.Values().empty()) return;
  Entries_.Delete(std::vector<int>(rows.Values().begin(), rows.Values().end()));
  ZmListView1->SetItemsCount(Entries_.Count());
  Redraw();
}

void TFormZmEditFileList::ActDeleteInvalidFoldersExecute() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (Entries_.DeleteInvalid() > 0) ZmListView1->SetItemsCount(Entries_.Count());
  Redraw();
  QApplication::restoreOverrideCursor();
}

void TFormZmEditFileList::ActClearExecute() {
  Entries_.Clear();
  ZmListView1->SetItemsCount(0);
  Redraw();
}

void TFormZmEditFileList::Redraw() {
  ZmListView1->viewport()->update();
  ActSetStatusBarTextExecute();
}

void TFormZmEditFileList::ActSetStatusBarTextExecute() {
  Panels_[0]->setText(ToQ(SelectionCountText(ZmListView1->SelectedCount())));
  const int focused = ZmListView1->FocusedRow();
  Panels_[1]->setText(ToQ(focused >= 0 ? PositionText(focused, Entries_.Count()) : ObjectCountText(Entries_.Count())));
}

void ExecuteEditFileList(QWidget* owner, std::vector<std::string>& list, std::function<void(bool ok)> done) {
  auto* editor = new TFormZmEditFileList(list, owner);
  QObject::connect(editor, &QDialog::finished, owner, [editor, &list, done = std::move(done)](int result) {
    const bool ok = result == QDialog::Accepted;
    if (ok) list = editor->Result();
    editor->deleteLater();
    if (done) done(ok);
  });
  editor->open();
}
