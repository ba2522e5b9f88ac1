// The preview pane below the file list: the focused file at actual size or fitted.
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFile>
#include <QImage>
#include <QSplitter>

#include "app/MainWin.h"
#include "columns/ZmListView.h"
#include "imageview/ImgView32.h"
#include "imageview/ZmGraphicExTypes.h"

void TFormKirvane::CreatePreview() {
  ImgView32 = new TImgView32(Splitter2);
  ImgView32->setObjectName(QStringLiteral("ImgView32"));
  ImgView32->SetCentered(false);  // a smaller image sits at the top left
  ImgView32->SetScale(1.0);
  ImgView32->SetPopupMenu(PMImgView);
  connect(ImgView32, &TImgView32::MouseDown, this,
          [this](Qt::MouseButton button, Qt::KeyboardModifiers, QPoint) { ImgView32MouseDown(button, QCursor::pos()); });
  connect(ImgView32, &TImgView32::MouseMove, this,
          [this](Qt::MouseButtons buttons, Qt::KeyboardModifiers, QPoint) { ImgView32MouseMove(buttons, QCursor::pos()); });
  connect(ImgView32, &TImgView32::MouseWheelDown, this, [this] { ImgView32Wheel(true); });
  connect(ImgView32, &TImgView32::MouseWheelUp, this, [this] { ImgView32Wheel(false); });
  connect(ImgView32, &TImgView32::DblClick, this, [this] { ImgView32DblClick(); });
  ImgView32->hide();
}

void TFormKirvane::ImgLoadActExecute() {
  const TZmThreadFileInfoList& list = ZmFileInfos1.List();
  const int row = LVFiles->FocusedRow();
  if (AppOptions_->ImgViewMode == ivNone || row < 0 || row >= list.Count() || list.Busy()) return;
  // Not while another of our windows (the slideshow) is the active one.
  if (QWidget* active = QApplication::activeWindow(); active && active != this) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::string path = list.Items(row)->FullFileName();
  TDecodeResult picture = LoadPicture(path);
  if (picture.Ok()) {
    ImgView32->SetCentered(false);
    ImgView32->SetBitmap(picture.TakeBitmap());
    const TBitmap32& bmp = ImgView32->Bitmap();
    PreviewPath_ = path;
    ImgView32->SetHint(QStringLiteral("|%1 <%2x%3>").arg(QFile::decodeName(path.c_str())).arg(bmp.Width()).arg(bmp.Height()));
    QAction* modes[] = {IVNoneAct, IVScaleNormalAct, IVAutoScaleLongAct};
    if (AppOptions_->ImgViewMode < 3) modes[AppOptions_->ImgViewMode]->trigger();
  } else {
    ImgCloseActExecute();
  }
  QApplication::restoreOverrideCursor();
}

void TFormKirvane::IVNoneActExecute() {
  AppOptions_->ImgViewMode = ivNone;
  ImgView32->hide();
  ImgView32->ClearBitmap();
}

void TFormKirvane::IVScaleNormalActExecute() {
  AppOptions_->ImgViewMode = ivScaleNormal;
  ImgView32->show();
  ImgView32->SetScale(1.0);
}

void TFormKirvane::IVAutoScaleLongActExecute() {
  AppOptions_->ImgViewMode = ivAutoScaleLong;
  ImgView32->show();
  const int vpW = ImgView32->ViewportWidth(), vpH = ImgView32->ViewportHeight();
  const TBitmap32& bmp = ImgView32->Bitmap();
  if (vpW && vpH && bmp.Width() && bmp.Height()) {
    ImgView32->SetStretchFilter(sfLinear);
    ImgView32->SetScale(std::min(double(vpW) / bmp.Width(), double(vpH) / bmp.Height()));
  }
}

void TFormKirvane::ImgCloseActExecute() {
  ImgView32->ClearBitmap();
  PreviewPath_.clear();
  ImgView32->SetHint({});
}

void TFormKirvane::ImgCopyActExecute() {
  const TBitmap32& bmp = ImgView32->Bitmap();
  if (bmp.Empty()) return;
  const QImage image(reinterpret_cast<const uchar*>(bmp.Bits()), bmp.Width(), bmp.Height(),
                     qsizetype(bmp.Stride()), QImage::Format_ARGB32_Premultiplied);
  QApplication::clipboard()->setImage(image.copy());
}

void TFormKirvane::ImgNameCopyActExecute() {
  if (ImgView32->Bitmap().Empty()) return;
  QApplication::clipboard()->setText(QFile::decodeName(PreviewPath_.c_str()));
}

void TFormKirvane::ImgView32MouseDown(Qt::MouseButton button, const QPoint& globalPos) {
  if (button != Qt::LeftButton) return;
  ImgDragging_ = true;
  ImgDragLast_ = globalPos;
}

void TFormKirvane::ImgView32MouseMove(Qt::MouseButtons buttons, const QPoint& globalPos) {
  const int vpW = ImgView32->ViewportWidth(), vpH = ImgView32->ViewportHeight();
  const int64_t imgW = ImgView32->BitmapRectWidth(), imgH = ImgView32->BitmapRectHeight();
  if (ImgView32->Bitmap().Empty() || (imgW <= vpW && imgH <= vpH)) return;
  ImgView32->setFocus();  // so that the wheel reaches the pane
  if (!ImgDragging_) return;
  if (!(buttons & Qt::LeftButton)) {
    ImgDragging_ = false;
    return;
  }
  // The view travels over the image three times as far as the pointer, in its direction.
  const int dx = vpW < imgW ? 3 * (globalPos.x() - ImgDragLast_.x()) : 0;
  const int dy = vpH < imgH ? 3 * (globalPos.y() - ImgDragLast_.y()) : 0;
  if (dx || dy) ImgView32->ScrollBy(-dx, -dy);
  ImgDragLast_ = globalPos;
}

void TFormKirvane::ImgView32Wheel(bool down) {
  const int vpW = ImgView32->ViewportWidth(), vpH = ImgView32->ViewportHeight();
  const int sign = down ? 1 : -1;
  if (vpH < ImgView32->BitmapRectHeight()) ImgView32->ScrollBy(0, -sign * std::max(1, vpH / 6));
  else if (vpW < ImgView32->BitmapRectWidth()) ImgView32->ScrollBy(-sign * std::max(1, vpW / 6), 0);
}

void TFormKirvane::ImgView32DblClick() {
  // As high as the image (plus a margin), leaving the list at least its minimum room.
  const int wanted = int(std::min<int64_t>(ImgView32->BitmapRectHeight() + 16, INT32_MAX / 2));
  const int total = Splitter2->height() - Splitter2->handleWidth();
  const int listMinimum = std::max(LVFiles->minimumSizeHint().height(), 30);
  const int height = std::max(0, std::min(wanted, total - listMinimum));
  Splitter2->setSizes({total - height, height});
}
