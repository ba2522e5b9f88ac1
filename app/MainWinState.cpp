// The enabled and checked state of every command, recomputed when the application is idle.
#include <QAbstractEventDispatcher>
#include <QAction>
#include <QMenu>
#include <QThread>
#include <QToolButton>

#include "app/MainWin.h"
#include "columns/ZmListView.h"
#include "imageview/ImgView32.h"

void TFormKirvane::InstallIdleUpdate() {
  // Once each time the event queue has been emptied, like an application's idle event.
  auto* dispatcher = QAbstractEventDispatcher::instance(thread());
  if (!dispatcher) return;
  connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { ActionList1Update(); });
}

void TFormKirvane::ActionList1Update() {
  const int rows = LVFiles->ItemsCount();
  const bool focused = LVFiles->FocusedRow() >= 0;
  const bool selected = LVFiles->SelectedCount() > 0;
  const bool image = ImgView32 && !ImgView32->Bitmap().Empty();
  auto enable = [](std::initializer_list<QAction*> actions, bool on) {
    for (QAction* a : actions)
      if (a->isEnabled() != on) a->setEnabled(on);
  };
  enable({MoveThisFolderAct, NameCopyAct}, focused);
  enable({OpenShellAct, OpenExplorerAct}, selected);
  // One file operation at a time: the next waits until the running one has ended.
  enable({CopyFileAct, MoveFileAct, DeleteFileAct}, selected && !FileCommands_->Busy());
  enable({SearchFindAct, SearchFindNextAct, SelectAllAct, SelectChangeAct}, rows > 0);
  enable({BackAct}, !ZmRecentControl1.BackMenu().empty());
  enable({ForwardAct}, !ZmRecentControl1.ForwardMenu().empty());
  enable({ImgCopyAct, ImgNameCopyAct, ImgCloseAct}, image);
  enable({ShowAct, ShowAutoAct, ShowManualAct}, rows > 0);
  enable({OptionDetailAct, ColumnsEditAct, ActRecentEdit}, !ZmFileInfos1.List().Busy());
  enable({JpegErrorCheckAllAct}, rows > 0 && !ZmFileInfos1.List().Busy() && !ZmThreadJpegChecker1.Running());

  // The switching buttons carry the command of the current mode; other values leave them be.
  QAction* refresh[] = {RefreshAllAct, RefreshFoldersAct, RefreshFilesAct};
  if (AppOptions_->RefreshMode < 3 && TBtnRefresh->defaultAction() != refresh[AppOptions_->RefreshMode])
    TBtnRefresh->setDefaultAction(refresh[AppOptions_->RefreshMode]);
  QAction* modes[] = {IVNoneAct, IVScaleNormalAct, IVAutoScaleLongAct};
  if (AppOptions_->ImgViewMode < 3 && !modes[AppOptions_->ImgViewMode]->isChecked())
    modes[AppOptions_->ImgViewMode]->setChecked(true);
  QAction* run[] = {ShowManualAct, ShowAutoAct};
  if (AppOptions_->ShowMode < 2 && TBtnRun->defaultAction() != run[AppOptions_->ShowMode])
    TBtnRun->setDefaultAction(run[AppOptions_->ShowMode]);
}
