// The JPEG check over the listed files, and the selection of the damaged ones. The check runs on
// the checker's worker; each verdict shows in the list's "JPEGチェック" column as it arrives, the
// progress in status panel 3, and the count of damaged files there at the end.
#include <QApplication>
#include <QLabel>

#include "app/Actions.h"
#include "app/FileListTexts.h"
#include "app/MainWin.h"
#include "catalogue/ZmFileInfo.h"
#include "columns/ZmListView.h"
#include "jpeg/ZmJpegInfoConsts.h"

void TFormKirvane::CreateJpegChecker() {
  ZmThreadJpegChecker1.FileInfos = &ZmFileInfos1;
  ZmThreadJpegChecker1.OnProgress = [this] { ShowCheckProgress(); };
  ZmThreadJpegChecker1.OnTerminate = [this] { ZmThreadJpegChecker1Terminate(); };
}

void TFormKirvane::JpegErrorCheckAllActExecute() {
  if (!PrepareRun()) return;
  // The verdicts need their column: show it when the layout hides it.
  TZmListColumnInfo& column = ZmColumnInfosKv.ColumnInfos().Items(smJpegResult);
  if (!column.Visible) {
    LVFiles->StoreColumnWidths();
    column.Visible = true;
    LVFiles->RebuildColumns();
  }
  if (!CheckCursor_) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    CheckCursor_ = true;
  }
  SBPanels[3]->setToolTip({});
  ZmThreadJpegChecker1.Start();
  ShowCheckProgress();
}

void TFormKirvane::ShowCheckProgress() {
  const int total = LVFiles->ItemsCount();
  SBPanels[3]->setText(QStringLiteral("JPEGチェック中 %1 / %2")
                           .arg(ToQ(FormatCount(int64_t(double(ZmThreadJpegChecker1.Progress()) * total + 0.5))))
                           .arg(ToQ(FormatCount(total))));
  LVFiles->viewport()->update();
}

void TFormKirvane::ZmThreadJpegChecker1Terminate() {
  LVFiles->viewport()->update();
  UpdateTitles();
  UpdateStatusBar();
  if (CheckCursor_) {
    QApplication::restoreOverrideCursor();
    CheckCursor_ = false;
  }
  const QString damaged = QStringLiteral("破損 %1 個").arg(ToQ(FormatCount(std::max(ZmThreadJpegChecker1.ErrorCount(), 0))));
  SBPanels[3]->setText(ZmThreadJpegChecker1.Progress() < 1 ? QStringLiteral("JPEGチェックを中止しました (%1)").arg(damaged)
                                                           : QStringLiteral("JPEGチェック完了: ") + damaged);
}

void TFormKirvane::SelectErrorsActVtExecute() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const TZmThreadFileInfoList& list = ZmFileInfos1.List();
  LVFiles->BeginUpdate();
  LVFiles->ClearSelection();
  if (!list.Busy())
    for (int i = 0; i < list.Count(); ++i)
      if (IsJpegError(list.Items(i)->JpegResult())) LVFiles->SetSelected(i, true);
  LVFiles->EndUpdate();
  QApplication::restoreOverrideCursor();
}
