// TImgView32: a scrollable, zoomable view of one TBitmap32, with scroll bars of its own.
//
// Bitmap. The view holds its bitmap, or shares one it was given (a loader's cached picture)
// without copying it. The owner may draw into MutableBitmap() and must then call BitmapChanged
// (the view cannot see pixels change), or hand over a new picture with SetBitmap. A shared
// bitmap is copied once by MutableBitmap, so drawing never reaches the other holders.
//
// Geometry. The image is drawn at Scale (a 32-bit float kept within MinDrawScale..MaxDrawScale)
// with its top-left corner at (OffsetHorz, OffsetVert), in viewport pixels, rounded to the
// nearest whole pixel (Resample.h), with StretchFilter, over the view's Color. The viewport is
// the widget less its visible scroll bars, at the widget's top left. When the viewport size or
// the scale changes, the image is re-laid out by TImgViewGeometry's rule: an axis on which the
// image is smaller than the viewport is centred (or put at 0 with Centered off); on a larger axis
// the image point under the viewport centre stays there, clamped so the image covers the
// viewport. A new picture starts centred (or at the top left). Offsets set directly are taken as
// they are, unclamped.
//
// Scroll bars. With Qt::ScrollBarAsNeeded (the default) a bar is shown on an axis where the
// image is larger than the viewport; Qt::ScrollBarAlwaysOn keeps both in place (disabled while
// there is nothing to scroll), so the viewport never changes size with the picture;
// Qt::ScrollBarAlwaysOff shows none. A bar's value is minus the offset on its axis: moving a bar
// moves the image and moving the image moves the bar.
//
// Input. The view scrolls nothing by itself on drag or wheel: it reports mouse presses, moves
// (also without a button held), releases, double clicks, wheel turns and context-menu requests
// as signals, positions in widget coordinates. Wheel events are left unaccepted, so they go on to
// the parent widgets as well. The view takes no keyboard focus unless the owner sets a focus
// policy, so keys reach the window.
//
// Painting. The view is opaque: each paint fills the exposed part of the viewport with Color
// and composites the image over it, through a TScaledViewCache, in one pass with one QPainter.
// Scrolling therefore copies scaled pixels it already has and resamples only new strips.
// BeginUpdate/EndUpdate brackets (nested) hold back repainting; the outermost EndUpdate repaints
// once if anything changed meanwhile.
//
// User-interface thread only.
#pragma once

#include <QColor>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "bitmap/Bitmap32.h"
#include "bitmap/ScaledViewCache.h"
#include "bitmap/StretchFilters.h"
#include "imageview/ImgViewGeometry.h"

class QMenu;
class QScrollBar;

class TImgView32 : public QWidget {
  Q_OBJECT

 public:
  explicit TImgView32(QWidget* parent = nullptr);
  ~TImgView32() override;

  // ---- Bitmap ----
  // Reading never copies. There is deliberately no non-const overload: a caller reading through a
  // non-const view would otherwise copy a shared picture without knowing.
  const TBitmap32& Bitmap() const;
  // For drawing into the bitmap: a shared bitmap is first copied (once) into one of the view's own.
  TBitmap32& MutableBitmap();
  // Takes over a new picture (no copy) and lays it out afresh.
  void SetBitmap(TBitmap32&& bitmap);
  // Shares a picture (no copy; null shows nothing) and lays it out afresh.
  void SetBitmap(std::shared_ptr<const TBitmap32> bitmap);
  // The bitmap's pixels were changed in place. A changed size lays the picture out afresh;
  // otherwise the offsets stay.
  void BitmapChanged();
  // Empties the bitmap (0 x 0), giving its memory back.
  void ClearBitmap();

  // ---- Geometry ----
  float Scale() const { return Geometry_.Scale; }
  // Re-lays the image out when the (clamped) scale differs from the current one.
  void SetScale(double scale);
  float OffsetHorz() const;
  float OffsetVert() const;
  // Non-finite values are ignored.
  void SetOffsetHorz(double offset);
  void SetOffsetVert(double offset);
  bool Centered() const { return Geometry_.Centered; }
  // Takes effect at the next re-layout (a new picture, a change of size or scale).
  void SetCentered(bool centered) { Geometry_.Centered = centered; }
  TStretchFilter StretchFilter() const { return Filter_; }
  // Values outside the five filters are ignored.
  void SetStretchFilter(TStretchFilter filter);

  int ViewportWidth() const;
  int ViewportHeight() const;
  // The bitmap's size times Scale, each side rounded to the nearest integer; 0 x 0 when empty.
  int64_t BitmapRectWidth() const;
  int64_t BitmapRectHeight() const;
  // The viewport and the image's rectangle in widget coordinates (the latter clamped to the
  // range of int; empty for an empty bitmap).
  QRect ViewportRect() const;
  QRect BitmapRect() const;
  // The widget's right edge minus the viewport's: the room the vertical scroll bar takes.
  int ScrollBarSize() const;

  // Moves the image by (dx, dy) pixels: positive dx moves it to the right (showing more of its
  // left part), positive dy moves it down (more of its top). Only an axis on which the image is
  // larger than the viewport moves, and never so far that the image uncovers the viewport.
  void ScrollBy(double dx, double dy);

  // ---- Appearance ----
  QColor Color() const { return Color_; }
  // The colour painted around (and under transparent parts of) the image; alpha is ignored.
  void SetColor(const QColor& color);
  Qt::ScrollBarPolicy ScrollBarPolicy() const { return BarPolicy_; }
  void SetScrollBarPolicy(Qt::ScrollBarPolicy policy);
  QScrollBar* HorzScrollBar() const { return HBar_; }
  QScrollBar* VertScrollBar() const { return VBar_; }
  // "tooltip|status tip": the part before the first "|" becomes the tool tip, the part after
  // it the status tip (both the whole text without a "|").
  QString Hint() const { return Hint_; }
  void SetHint(const QString& hint);
  // Shown at the cursor after ContextPopup has been signalled; not owned, may be null.
  void SetPopupMenu(QMenu* menu);
  QMenu* PopupMenu() const;

  // ---- Repainting ----
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return UpdateCount_; }
  // Pixels resampled by the last paint (0 when it only copied cached pixels).
  int64_t LastResampledPixels() const { return LastResampled_; }

 signals:
  void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
  void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint pos);
  void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
  // delta in eighths of a degree (120 per notch), positive when turned away from the user;
  // MouseWheelUp follows for a positive delta, MouseWheelDown for a negative one.
  void MouseWheel(int delta, Qt::KeyboardModifiers modifiers, QPoint pos);
  void MouseWheelUp(Qt::KeyboardModifiers modifiers, QPoint pos);
  void MouseWheelDown(Qt::KeyboardModifiers modifiers, QPoint pos);
  void DblClick(QPoint pos);
  void ContextPopup(QPoint pos);

 protected:
  // For derived views that change the geometry as a whole (placements, zoom): change it through
  // Geometry(), then call GeometryChanged, which updates the scroll bars and repaints.
  TImgViewGeometry& Geometry();
  void GeometryChanged();
  // Repaints now or, inside an update bracket, at its end.
  void RequestRepaint();

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  struct TBarMap {
    double Step = 1;  // image pixels per bar unit (above 1 only for images wider than int)
  };
  // Brings the viewport, the scroll bars' visibility and places up to date with the widget's
  // size. Const because getters call it: a resized widget that has not been shown yet has had
  // no resize event.
  void EnsureLayout() const;
  void UpdateLayout();
  void FreshLayout();
  void SyncBars();
  void SyncBar(QScrollBar* bar, TBarMap& map, double offset, int viewport, int64_t image);
  void BarMoved();
  void PaintViewport(QPainter& painter, const QRect& rect);

  std::shared_ptr<const TBitmap32> Bitmap_;  // null when empty
  std::shared_ptr<TBitmap32> OwnBitmap_;     // Bitmap_ when the view alone may change it
  TImgViewGeometry Geometry_;
  TStretchFilter Filter_ = sfLinear;
  QColor Color_;
  TColor32 ColorPixel_ = 0;
  Qt::ScrollBarPolicy BarPolicy_ = Qt::ScrollBarAsNeeded;
  QScrollBar* HBar_ = nullptr;
  QScrollBar* VBar_ = nullptr;
  TBarMap HMap_, VMap_;
  bool SyncingBars_ = false;
  QSize LaidOutSize_{-1, -1};
  int LaidOutExtent_ = -1;
  QString Hint_;
  QPointer<QMenu> PopupMenu_;
  int UpdateCount_ = 0;
  bool RepaintPending_ = false;
  TScaledViewCache Cache_;
  TBitmap32 BackBuffer_;  // the viewport's pixels, kept so that painting allocates nothing
  int64_t LastResampled_ = 0;
};
