// The preview pane below the file list: the focused file at actual size or fitted.
//
// Pictures come from a loader, decoded on a worker, so that moving through a folder of large
// photos never freezes the window. Fitted previews of JPEGs are decoded at a reduced scale; actual
// size and copying need the full picture.
#include <cmath>
#include <utility>

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFile>
#include <QSplitter>

#include "app/MainWin.h"
#include "columns/ZmListView.h"
#include "imageview/BitmapClipboard.h"
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
  PreviewLoader_.OnLoaded = [this](const std::string& path, const TZmLoadedImage& image) { PreviewLoaded(path, image); };
}

std::string TFormKirvane::FocusedPreviewFile() const {
  const TZmThreadFileInfoList& list = ZmFileInfos1.List();
  const int row = LVFiles->FocusedRow();
  if (row < 0 || row >= list.Count() || list.Busy()) return {};
  return list.Items(row)->FullFileName();
}

void TFormKirvane::ImgLoadActExecute() {
  if (AppOptions_->ImgViewMode == ivNone) return;
  // Not while another of our windows (the slideshow) is the active one.
  if (QWidget* active = QApplication::activeWindow(); active && active != this) return;
  // Nor while a slideshow is shown: the window manager may not have activated it yet.
  if (FormImage_ && FormImage_->isVisible()) return;
  const std::string path = FocusedPreviewFile();
  if (!path.empty()) RequestPreview(path, AppOptions_->ImgViewMode != ivAutoScaleLong);
}

void TFormKirvane::RequestPreview(const std::string& path, bool full, bool copy) {
  TDecodeHint hint;
  if (!full) {
    // The pane's whole size in device pixels: never less than its viewport, as a fitted picture
    // needs no scroll bars.
    const qreal ratio = ImgView32->devicePixelRatioF();
    hint = {int(std::ceil(ImgView32->width() * ratio)), int(std::ceil(ImgView32->height() * ratio))};
  }
  PreviewCopyPath_ = copy ? path : std::string();
  ImgView32->setCursor(Qt::BusyCursor);  // the window stays usable meanwhile
  PreviewLoader_.Request(path, hint);     // a cached picture arrives before this returns
}

void TFormKirvane::PreviewLoaded(const std::string& path, const TZmLoadedImage& image) {
  ImgView32->unsetCursor();
  if (path == std::exchange(PreviewCopyPath_, {}) && image.Ok()) CopyBitmapToClipboard(*image.Bitmap);
  // The focus may have moved on without asking for another picture.
  if (AppOptions_->ImgViewMode == ivNone || path != FocusedPreviewFile()) return;
  if (!image.Ok()) {
    ImgCloseActExecute();  // silently
    return;
  }
  ImgView32->SetCentered(false);
  ImgView32->SetBitmap(image.Bitmap);
  PreviewPath_ = path;
  PreviewReduced_ = image.Reduced();
  ImgView32->SetHint(
      QStringLiteral("|%1 <%2x%3>").arg(QFile::decodeName(path.c_str())).arg(image.FullWidth).arg(image.FullHeight));
  QAction* modes[] = {IVNoneAct, IVScaleNormalAct, IVAutoScaleLongAct};
  if (AppOptions_->ImgViewMode < 3) modes[AppOptions_->ImgViewMode]->trigger();
}

void TFormKirvane::DropPreviewLoad(bool listChanged) {
  PreviewLoader_.Cancel();
  if (listChanged) PreviewLoader_.ClearCache();
  PreviewCopyPath_.clear();
  ImgView32->unsetCursor();
}

void TFormKirvane::IVNoneActExecute() {
  AppOptions_->ImgViewMode = ivNone;
  DropPreviewLoad(false);
  ImgView32->hide();
  ImgView32->ClearBitmap();
}

void TFormKirvane::IVScaleNormalActExecute() {
  AppOptions_->ImgViewMode = ivScaleNormal;
  ImgView32->show();
  ImgView32->SetScale(1.0);
  if (!ImgView32->Bitmap().Empty() && PreviewReduced_) RequestPreview(PreviewPath_, true);
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
  DropPreviewLoad(false);
  ImgView32->ClearBitmap();
  PreviewPath_.clear();
  ImgView32->SetHint({});
}

void TFormKirvane::ImgCopyActExecute() {
  const TBitmap32& bmp = ImgView32->Bitmap();
  if (bmp.Empty()) return;
  if (!PreviewReduced_) CopyBitmapToClipboard(bmp);
  else RequestPreview(PreviewPath_, true, true);  // copied at its real size once decoded in full
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
