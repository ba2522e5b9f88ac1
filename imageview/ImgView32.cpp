#include "imageview/ImgView32.h"

#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <exception>

namespace {
// Scroll bars count in int; images wider than this map several pixels to one bar unit.
constexpr int64_t MaxBarRange = INT_MAX / 2;

int ClampToInt(int64_t v) {
  return int(std::clamp<int64_t>(v, INT_MIN / 2, INT_MAX / 2));
}

QPoint EventPos(const QMouseEvent* event) {
  return event->position().toPoint();
}

// The device pixels that cover the logical rectangle `r` at `ratio`, within w x h.
TPixelRect DeviceRect(const QRect& r, qreal ratio, int w, int h) {
  return {std::max(0, int(std::floor(r.left() * ratio))), std::max(0, int(std::floor(r.top() * ratio))),
          std::min(w, int(std::ceil((r.right() + 1) * ratio))),
          std::min(h, int(std::ceil((r.bottom() + 1) * ratio)))};
}
}  // namespace

TImgView32::TImgView32(QWidget* parent)
    : QWidget(parent),
      HBar_(new QScrollBar(Qt::Horizontal, this)),
      VBar_(new QScrollBar(Qt::Vertical, this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Moves without a button held are reported too (the slideshow shows its bars on hover).
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  for (QScrollBar* bar : {HBar_, VBar_}) {
    // The view's cursor may be hidden; the bars keep the arrow.
    bar->setCursor(Qt::ArrowCursor);
    bar->setFocusPolicy(Qt::NoFocus);
    bar->hide();
  }
  connect(HBar_, &QScrollBar::valueChanged, this, [this](int value) {
    if (SyncingBars_) return;
    Geometry_.OffsetHorz = float(-value * HMap_.Step);
    RequestRepaint();
  });
  connect(VBar_, &QScrollBar::valueChanged, this, [this](int value) {
    if (SyncingBars_) return;
    Geometry_.OffsetVert = float(-value * VMap_.Step);
    RequestRepaint();
  });
  SetColor(palette().color(QPalette::Window));
}

TImgView32::~TImgView32() = default;

// ---- Bitmap ----

const TBitmap32& TImgView32::Bitmap() const {
  static const TBitmap32 empty;
  return Bitmap_ ? *Bitmap_ : empty;
}

TBitmap32& TImgView32::MutableBitmap() {
  if (!OwnBitmap_) {
    OwnBitmap_ = std::make_shared<TBitmap32>(Bitmap());
    Bitmap_ = OwnBitmap_;
    // The cache recognises its bitmap by address; the copy has a new one.
    Cache_.Invalidate();
  }
  return *OwnBitmap_;
}

void TImgView32::SetBitmap(TBitmap32&& bitmap) {
  auto own = std::make_shared<TBitmap32>(std::move(bitmap));
  SetBitmap(std::shared_ptr<const TBitmap32>(own));
  OwnBitmap_ = std::move(own);
}

void TImgView32::SetBitmap(std::shared_ptr<const TBitmap32> bitmap) {
  Bitmap_ = std::move(bitmap);
  OwnBitmap_.reset();
  // The cache recognises its bitmap by address; a new buffer may reuse an old address. Its
  // memory serves the next picture, unless there is none.
  if (Bitmap_)
    Cache_.Invalidate();
  else
    Cache_.ReleaseMemory();
  EnsureLayout();
  FreshLayout();
}

void TImgView32::BitmapChanged() {
  Cache_.Invalidate();
  EnsureLayout();
  if (Bitmap().Width() != Geometry_.BitmapWidth || Bitmap().Height() != Geometry_.BitmapHeight)
    FreshLayout();
  else
    GeometryChanged();
}

void TImgView32::FreshLayout() {
  Geometry_.SetBitmapSize(Bitmap().Width(), Bitmap().Height());
  // Scroll bars that come or go with the new size change the viewport; the picture starts
  // centred (or at the top left) in the viewport it ends up with.
  UpdateLayout();
  Geometry_.SetBitmapSize(Bitmap().Width(), Bitmap().Height());
  SyncBars();
  RequestRepaint();
}

void TImgView32::ClearBitmap() {
  SetBitmap(std::shared_ptr<const TBitmap32>());
}

// ---- Geometry ----

void TImgView32::SetScale(double scale) {
  EnsureLayout();
  if (float(ClampDrawScale(scale)) == Geometry_.Scale) return;
  Geometry_.SetScale(scale);
  GeometryChanged();
}

float TImgView32::OffsetHorz() const {
  EnsureLayout();
  return Geometry_.OffsetHorz;
}

float TImgView32::OffsetVert() const {
  EnsureLayout();
  return Geometry_.OffsetVert;
}

void TImgView32::SetOffsetHorz(double offset) {
  if (!(std::fabs(offset) <= FLT_MAX)) return;
  EnsureLayout();
  Geometry_.OffsetHorz = float(offset);
  SyncBars();
  RequestRepaint();
}

void TImgView32::SetOffsetVert(double offset) {
  if (!(std::fabs(offset) <= FLT_MAX)) return;
  EnsureLayout();
  Geometry_.OffsetVert = float(offset);
  SyncBars();
  RequestRepaint();
}

void TImgView32::SetStretchFilter(TStretchFilter filter) {
  if (!IsStretchFilter(filter) || filter == Filter_) return;
  Filter_ = filter;
  RequestRepaint();
}

int TImgView32::ViewportWidth() const {
  EnsureLayout();
  return Geometry_.ViewportWidth;
}

int TImgView32::ViewportHeight() const {
  EnsureLayout();
  return Geometry_.ViewportHeight;
}

int64_t TImgView32::BitmapRectWidth() const {
  return Geometry_.BitmapRectWidth();
}
int64_t TImgView32::BitmapRectHeight() const {
  return Geometry_.BitmapRectHeight();
}

QRect TImgView32::ViewportRect() const {
  EnsureLayout();
  return QRect(0, 0, Geometry_.ViewportWidth, Geometry_.ViewportHeight);
}

QRect TImgView32::BitmapRect() const {
  EnsureLayout();
  const TScaledPlacement p =
      PlaceScaled(Bitmap(), Geometry_.Scale, Geometry_.OffsetHorz, Geometry_.OffsetVert);
  if (p.Width <= 0 || p.Height <= 0) return {};
  return QRect(ClampToInt(p.Left), ClampToInt(p.Top), ClampToInt(p.Width), ClampToInt(p.Height));
}

int TImgView32::ScrollBarSize() const {
  return width() - ViewportWidth();
}

void TImgView32::ScrollBy(double dx, double dy) {
  EnsureLayout();
  const float oldH = Geometry_.OffsetHorz, oldV = Geometry_.OffsetVert;
  Geometry_.ScrollBy(dx, dy);
  if (Geometry_.OffsetHorz == oldH && Geometry_.OffsetVert == oldV) return;
  SyncBars();
  RequestRepaint();
}

TImgViewGeometry& TImgView32::Geometry() {
  EnsureLayout();
  return Geometry_;
}

void TImgView32::GeometryChanged() {
  UpdateLayout();
  RequestRepaint();
}

// ---- Appearance ----

void TImgView32::SetColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  Color_ = QColor(rgb.red(), rgb.green(), rgb.blue());
  ColorPixel_ = Color32(255, uint8_t(rgb.red()), uint8_t(rgb.green()), uint8_t(rgb.blue()));
  RequestRepaint();
}

void TImgView32::SetScrollBarPolicy(Qt::ScrollBarPolicy policy) {
  if (policy == BarPolicy_) return;
  BarPolicy_ = policy;
  UpdateLayout();
  update();
}

void TImgView32::SetHint(const QString& hint) {
  Hint_ = hint;
  const qsizetype bar = hint.indexOf(QLatin1Char('|'));
  setToolTip(bar < 0 ? hint : hint.left(bar));
  setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

void TImgView32::SetPopupMenu(QMenu* menu) {
  PopupMenu_ = menu;
}
QMenu* TImgView32::PopupMenu() const {
  return PopupMenu_;
}

// ---- Repainting ----

void TImgView32::BeginUpdate() {
  ++UpdateCount_;
}

void TImgView32::EndUpdate() {
  if (UpdateCount_ == 0) return;
  if (--UpdateCount_ == 0 && RepaintPending_) {
    RepaintPending_ = false;
    update();
  }
}

void TImgView32::RequestRepaint() {
  if (UpdateCount_ > 0)
    RepaintPending_ = true;
  else
    update();
}

// ---- Layout ----

void TImgView32::EnsureLayout() const {
  if (size() != LaidOutSize_) const_cast<TImgView32*>(this)->UpdateLayout();
}

void TImgView32::UpdateLayout() {
  const int extent = std::max(0, style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this));
  const int w = width(), h = height();
  const int64_t imgW = Geometry_.BitmapRectWidth(), imgH = Geometry_.BitmapRectHeight();
  bool hBar = BarPolicy_ == Qt::ScrollBarAlwaysOn, vBar = hBar;
  if (BarPolicy_ == Qt::ScrollBarAsNeeded) {
    // One bar takes room from the other axis and may make that one need a bar too.
    hBar = imgW > w;
    vBar = imgH > h;
    if (hBar && !vBar) vBar = imgH > h - extent;
    if (vBar && !hBar) hBar = imgW > w - extent;
  }
  const int vpW = std::max(0, w - (vBar ? extent : 0)), vpH = std::max(0, h - (hBar ? extent : 0));
  LaidOutSize_ = size();
  if (vpW != Geometry_.ViewportWidth || vpH != Geometry_.ViewportHeight) Geometry_.SetViewportSize(vpW, vpH);
  HBar_->setGeometry(0, vpH, vpW, extent);
  VBar_->setGeometry(vpW, 0, extent, vpH);
  HBar_->setVisible(hBar);
  VBar_->setVisible(vBar);
  SyncBars();
}

void TImgView32::SyncBars() {
  SyncingBars_ = true;
  SyncBar(HBar_, HMap_, Geometry_.OffsetHorz, Geometry_.ViewportWidth, Geometry_.BitmapRectWidth());
  SyncBar(VBar_, VMap_, Geometry_.OffsetVert, Geometry_.ViewportHeight, Geometry_.BitmapRectHeight());
  SyncingBars_ = false;
}

void TImgView32::SyncBar(QScrollBar* bar, TBarMap& map, double offset, int viewport, int64_t image) {
  const int64_t span = image > viewport ? image - viewport : 0;
  map.Step = span > MaxBarRange ? double(span) / double(MaxBarRange) : 1.0;
  const int range = int(std::llround(double(span) / map.Step));
  // Offsets outside the scrollable range (set directly, or left by a zoom) show as its ends.
  const double value = std::clamp(-offset / map.Step, 0.0, double(range));
  bar->setRange(0, range);
  bar->setPageStep(std::max(1, viewport));
  bar->setSingleStep(std::max(1, viewport / 20));
  bar->setValue(int(std::lround(value)));
  bar->setEnabled(span > 0);
}

// ---- Painting ----

void TImgView32::paintEvent(QPaintEvent* event) {
  EnsureLayout();
  QPainter painter(this);
  const QRect viewport(0, 0, Geometry_.ViewportWidth, Geometry_.ViewportHeight);
  const QRect exposed = event->rect() & viewport;
  if (!exposed.isEmpty()) {
    const qreal ratio = devicePixelRatioF();
    const QImage image = RenderViewport(exposed, ratio);
    if (image.isNull()) {
      // No memory for the viewport's pixels: show the background rather than nothing.
      painter.fillRect(exposed, Color_);
    } else {
      // Device pixels one to one: the target is the source rectangle in logical units.
      const qreal r = image.devicePixelRatio();
      const TPixelRect d = DeviceRect(exposed, r, image.width(), image.height());
      const QRectF source(d.Left, d.Top, d.Width(), d.Height());
      painter.drawImage(QRectF(source.topLeft() / r, source.size() / r), image, source);
    }
  }
  if (HBar_->isVisibleTo(this) && VBar_->isVisibleTo(this)) {
    const QRect corner(viewport.width(), viewport.height(), width() - viewport.width(),
                       height() - viewport.height());
    painter.fillRect(corner & event->rect(), palette().window());
  }
}

QImage TImgView32::RenderViewport(const QRect& rect, qreal ratio) {
  EnsureLayout();
  LastResampled_ = 0;
  if (!(ratio > 0 && ratio <= MaxDeviceRatio)) ratio = 1;
  const QRect logical = rect & QRect(0, 0, Geometry_.ViewportWidth, Geometry_.ViewportHeight);
  // A fractional ratio leaves the viewport's last device pixel partly outside it; it is kept so
  // that every device pixel the window shows has a value.
  const int w = int(std::ceil(Geometry_.ViewportWidth * ratio));
  const int h = int(std::ceil(Geometry_.ViewportHeight * ratio));
  if (BackBuffer_.Width() != w || BackBuffer_.Height() != h) {
    try {
      BackBuffer_.SetSize(w, h);
    } catch (const std::exception&) {
      BackBuffer_ = TBitmap32();
      return {};
    }
  }
  const TPixelRect clip = DeviceRect(logical, ratio, w, h);
  // The picture is resampled straight to device pixels, so it stays sharp on dense screens;
  // the cache works in them too, and scrolling keeps reusing its pixels.
  const double scale = double(Geometry_.Scale) * ratio;
  const double x = double(Geometry_.OffsetHorz) * ratio, y = double(Geometry_.OffsetVert) * ratio;
  const TPixelRect pic = VisibleImageRect(PlaceScaled(Bitmap(), scale, x, y), BackBuffer_, clip);
  if (pic.Empty()) {
    FillPixels(BackBuffer_, clip, ColorPixel_);
  } else {
    // The background goes only around the picture, whose pixels are copied and then put over
    // the colour in place: each pixel is written once.
    FillPixels(BackBuffer_, {clip.Left, clip.Top, clip.Right, pic.Top}, ColorPixel_);
    FillPixels(BackBuffer_, {clip.Left, pic.Bottom, clip.Right, clip.Bottom}, ColorPixel_);
    FillPixels(BackBuffer_, {clip.Left, pic.Top, pic.Left, pic.Bottom}, ColorPixel_);
    FillPixels(BackBuffer_, {pic.Right, pic.Top, clip.Right, pic.Bottom}, ColorPixel_);
    if (Cache_.Draw(Bitmap(), scale, x, y, Filter_, BackBuffer_, clip, dmOpaque))
      BlendOverColour(BackBuffer_, pic, ColorPixel_);
    else
      FillPixels(BackBuffer_, pic, ColorPixel_);  // no working memory: the background is all there is
    LastResampled_ = Cache_.LastResampledPixels();
  }
  // The bitmap's words are the ARGB32 layout, and every pixel painted is opaque: wrap them as
  // RGB32, no copy, which the painter copies to the window without blending.
  QImage image(reinterpret_cast<const uchar*>(BackBuffer_.Bits()), w, h, qsizetype(BackBuffer_.Stride()),
               QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  return image;
}

void TImgView32::resizeEvent(QResizeEvent* event) {
  UpdateLayout();
  QWidget::resizeEvent(event);
}

void TImgView32::changeEvent(QEvent* event) {
  if (event->type() == QEvent::StyleChange) UpdateLayout();
  QWidget::changeEvent(event);
}

// ---- Input ----

void TImgView32::mousePressEvent(QMouseEvent* event) {
  emit MouseDown(event->button(), event->modifiers(), EventPos(event));
}

void TImgView32::mouseMoveEvent(QMouseEvent* event) {
  emit MouseMove(event->buttons(), event->modifiers(), EventPos(event));
}

void TImgView32::mouseReleaseEvent(QMouseEvent* event) {
  emit MouseUp(event->button(), event->modifiers(), EventPos(event));
}

void TImgView32::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click is a press like any other, then the double click.
  emit MouseDown(event->button(), event->modifiers(), EventPos(event));
  emit DblClick(EventPos(event));
}

void TImgView32::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  const QPoint pos = event->position().toPoint();
  emit MouseWheel(delta, event->modifiers(), pos);
  if (delta > 0) emit MouseWheelUp(event->modifiers(), pos);
  if (delta < 0) emit MouseWheelDown(event->modifiers(), pos);
  // Not handled here: the window's own wheel handling sees the turn as well.
  event->ignore();
}

void TImgView32::contextMenuEvent(QContextMenuEvent* event) {
  emit ContextPopup(event->pos());
  if (PopupMenu_) PopupMenu_->popup(event->globalPos());
  event->accept();
}
