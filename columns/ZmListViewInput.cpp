// TZmListView: keyboard and mouse - the hooks the owner sees, selection by mouse and keys,
// dragging files out, and type-to-find.
#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <algorithm>

#include "columns/ZmListView.h"

namespace {

// Typing never grows the search text beyond the length of a long file name.
constexpr int kMaxTypeAheadLength = 260;

bool IsNavigationKey(int key) {
  switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      return true;
    default:
      return false;
  }
}

}  // namespace

// ---- Selection by mouse and keys ----

int TZmListView::RowAt(const QPoint& pos) const {
  const QModelIndex index = indexAt(pos);
  if (index.isValid()) return index.row();
  // Right of the last column a row still counts as that row (the whole row is selectable).
  for (int c = ColumnCount() - 1; c >= 0; --c) {
    const int width = header()->sectionSize(c);
    if (width <= 0) continue;
    const int right = header()->sectionViewportPosition(c) + width - 1;
    if (pos.x() <= right) return -1;
    const QModelIndex atEdge = indexAt(QPoint(right, pos.y()));
    return atEdge.isValid() ? atEdge.row() : -1;
  }
  return -1;
}

int TZmListView::AnchorFor(int row) const {
  if (Anchor_ >= 0 && Anchor_ < ItemsCount()) return Anchor_;
  const int focused = FocusedRow();
  return focused >= 0 ? focused : row;
}

void TZmListView::PressSelect(int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  const bool ctrl = modifiers & Qt::ControlModifier;
  const bool shift = modifiers & Qt::ShiftModifier;
  DragAnchor_ = DragOutRow_ = -1;
  if (row < 0) {
    // A plain click on no row clears the selection; the focus stays where it was.
    if (!ctrl && !shift && button != Qt::MiddleButton) SelectionChanged(Selection_.Clear());
    return;
  }
  if (button == Qt::RightButton) {
    // The context menu acts on the selection: a row outside it becomes the selection.
    if (!Selection_.IsSelected(row)) {
      SelectionChanged(Selection_.SelectOnly(row, row));
      Anchor_ = row;
    }
    Focus(row);
    return;
  }
  if (button != Qt::LeftButton) return;
  if (shift) {
    const int anchor = AnchorFor(row);
    const int first = std::min(anchor, row), last = std::max(anchor, row);
    SelectionChanged(ctrl ? Selection_.Add(first, last) : Selection_.SelectOnly(first, last));
    Anchor_ = anchor;
    if (!ctrl) DragAnchor_ = anchor;
  } else if (ctrl) {
    SelectionChanged(Selection_.IsSelected(row) ? Selection_.Remove(row, row) : Selection_.Add(row, row));
    Anchor_ = row;
  } else if (OnDragUrls && Selection_.IsSelected(row)) {
    // The selection may be about to be dragged out; a plain click narrows it at release.
    DragOutRow_ = Anchor_ = row;
  } else {
    SelectionChanged(Selection_.SelectOnly(row, row));
    Anchor_ = DragAnchor_ = row;
  }
  Focus(row);
}

void TZmListView::StartDragOut() {
  const QList<QUrl> urls = OnDragUrls();
  if (urls.isEmpty()) return;
  auto* data = new QMimeData;
  data->setUrls(urls);  // text/uri-list
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  // The receiver decides; the list shows the old state until it is refreshed, as after any change.
  drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
}

void TZmListView::NavigateSelect(int oldRow, int row, Qt::KeyboardModifiers modifiers) {
  const bool ctrl = modifiers & Qt::ControlModifier;
  if (modifiers & Qt::ShiftModifier) {
    const int anchor = AnchorFor(oldRow >= 0 ? oldRow : row);
    const int first = std::min(anchor, row), last = std::max(anchor, row);
    SelectionChanged(ctrl ? Selection_.Add(first, last) : Selection_.SelectOnly(first, last));
    Anchor_ = anchor;
  } else if (!ctrl) {
    SelectionChanged(Selection_.SelectOnly(row, row));
    Anchor_ = row;
  }
  // Ctrl alone moves only the focus.
}

// ---- Type-to-find ----

void TZmListView::keyboardSearch(const QString& search) {
  if (search.isEmpty()) return;
  // Backspace, Escape, Tab and the like arrive here as text too; they are keys, not a search.
  for (const QChar c : search)
    if (!c.isPrint()) return;
  const int rows = ItemsCount();
  if (!OnDataFind || rows == 0 || ColumnCount() == 0) return;
  if (!TypeAheadClock_.isValid() || TypeAheadClock_.elapsed() > TypeAheadIntervalMs) TypeAhead_.clear();
  TypeAheadClock_.start();
  if (TypeAhead_.size() + search.size() <= kMaxTypeAheadLength) TypeAhead_ += search;
  const int focused = FocusedRow();
  const int found = OnDataFind(TypeAhead_, focused >= 0 && focused < rows ? focused : 0, true);
  if (found < 0 || found >= rows) return;
  TChangeBatch batch(*this);
  SelectionChanged(Selection_.SelectOnly(found, found));
  Anchor_ = found;
  Focus(found);
  MakeVisible(found);
}

// ---- Events ----

void TZmListView::keyPressEvent(QKeyEvent* event) {
  emit KeyDown(event->key(), event->modifiers());
  TChangeBatch batch(*this);
  const int oldRow = FocusedRow();
  if (event->matches(QKeySequence::SelectAll)) {
    SelectAll();
    event->accept();
    return;
  }
  // A space typed while a search is running belongs to the search text ("IMG 0012").
  const bool searching = !TypeAhead_.isEmpty() && TypeAheadClock_.isValid() &&
                         TypeAheadClock_.elapsed() <= TypeAheadIntervalMs;
  if (event->key() == Qt::Key_Space && searching && !(event->modifiers() & Qt::ControlModifier)) {
    keyboardSearch(QStringLiteral(" "));
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Space && !(event->modifiers() & ~(Qt::ControlModifier | Qt::KeypadModifier))) {
    if (HasCell(oldRow)) {
      const bool toggle = (event->modifiers() & Qt::ControlModifier) && Selection_.IsSelected(oldRow);
      SelectionChanged(toggle ? Selection_.Remove(oldRow, oldRow) : Selection_.Add(oldRow, oldRow));
      Anchor_ = oldRow;
    }
    event->accept();
    return;
  }
  // Qt moves the current row (selecting nothing, as the view owns the selection); the
  // selection follows here.
  QTreeView::keyPressEvent(event);
  const int row = FocusedRow();
  if (IsNavigationKey(event->key()) && row >= 0 && row != oldRow) NavigateSelect(oldRow, row, event->modifiers());
}

void TZmListView::keyReleaseEvent(QKeyEvent* event) {
  // A held key repeats as release/press pairs; only the real release counts.
  if (!event->isAutoRepeat()) emit KeyUp(event->key(), event->modifiers());
  event->accept();
}

void TZmListView::mousePressEvent(QMouseEvent* event) {
  TChangeBatch batch(*this);
  QTreeView::mousePressEvent(event);
  PressPos_ = event->position().toPoint();
  PressSelect(RowAt(PressPos_), event->button(), event->modifiers());
}

void TZmListView::mouseMoveEvent(QMouseEvent* event) {
  QTreeView::mouseMoveEvent(event);
  if ((event->buttons() & Qt::LeftButton) && DragOutRow_ >= 0 &&
      (event->position().toPoint() - PressPos_).manhattanLength() >= QApplication::startDragDistance()) {
    DragOutRow_ = -1;
    StartDragOut();
  }
  if ((event->buttons() & Qt::LeftButton) && DragAnchor_ >= 0 && DragAnchor_ < ItemsCount()) {
    const int row = RowAt(event->position().toPoint());
    if (row >= 0) {
      TChangeBatch batch(*this);
      SelectionChanged(Selection_.SelectOnly(std::min(DragAnchor_, row), std::max(DragAnchor_, row)));
      Focus(row);
    }
  }
  emit MouseMove();
}

void TZmListView::mouseReleaseEvent(QMouseEvent* event) {
  QTreeView::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) {
    if (DragOutRow_ >= 0 && DragOutRow_ < ItemsCount()) {
      TChangeBatch batch(*this);
      SelectionChanged(Selection_.SelectOnly(DragOutRow_, DragOutRow_));
    }
    DragAnchor_ = DragOutRow_ = -1;
    emit Click();
  }
}

void TZmListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit DblClick();
}

void TZmListView::SetPopupMenu(QMenu* menu) { PopupMenu_ = menu; }

void TZmListView::contextMenuEvent(QContextMenuEvent* event) {
  emit ContextPopup(event->globalPos());
  if (PopupMenu_) PopupMenu_->popup(event->globalPos());
  event->accept();
}

void TZmListView::focusInEvent(QFocusEvent* event) {
  // Qt would make the first row current on entry; here a row is focused only by the user's
  // navigation or by the owner, as in a Windows list view.
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}
