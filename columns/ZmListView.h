// TZmListView: a report list in virtual mode whose columns come from a TZmColumnInfos layout.
//
// The view stores no texts: it knows a row count and asks OnData for each cell it paints, so a
// list of any length costs only the rows on screen. Every column carries as its tag the index of
// the layout item it was built from (the column kind, which is what OnData receives). The sort
// column is marked by a prefix in its caption ("▲"/"▼"); Qt's own sort indicator is off and
// the view never sorts: a header click only signals ColumnClick, and the owner decides whether
// to call SortColumnClick and sort its data.
//
// Rows are addressed by number; "focused" is Qt's current row. The selection is the view's own
// set of row intervals (TZmRowSelection), so any selection costs in proportion to its intervals,
// not to the rows; Qt's selection model stays empty and is not to be used. The mouse and the keys select like a
// Windows list view: click, Ctrl+click toggles, Shift+click and Shift+arrows select from the
// anchor, Ctrl+arrows move the focus only, Space selects and Ctrl+Space toggles the focused row.
// With no columns there are no cells, so no row can be focused. User-interface thread only.
#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QTreeView>
#include <functional>
#include <vector>

#include "columns/ZmListColumnInfo.h"
#include "columns/ZmRowSelection.h"

class QMenu;
class TIntegerList;
class TZmListViewModel;

// What OnData answers for one cell.
struct TZmListCell {
  QString Text;
  int IconIndex = -1;  // -1: no icon
};

class TZmListView : public QTreeView {
  Q_OBJECT

 public:
  explicit TZmListView(QWidget* parent = nullptr);
  ~TZmListView() override;

  // ---- Rows ----
  // Sets the number of rows (negative counts as 0). Selection and focus are cleared.
  void SetItemsCount(int count);
  int ItemsCount() const;
  // Asks OnData again for the rows first..last (clamped to the rows there are).
  void UpdateItems(int first, int last);
  // Nested brackets around a batch of changes: painting and the Change signal wait until the
  // outermost EndUpdate, which repaints and signals once if anything changed.
  void BeginUpdate();
  void EndUpdate();
  // The first row at least partly shown (-1 without rows) and the number of rows that fit.
  int TopRow() const;
  int VisibleRowCount() const;

  // (row, column kind) -> cell. Called only for cells being painted or measured.
  std::function<TZmListCell(int row, int kind)> OnData;
  // (text, start row, wrap) -> first row from start whose text begins with text, or -1.
  std::function<int(const QString& text, int start, bool wrap)> OnDataFind;
  // Icon of an icon index; when not set, the list given to SetIcons is used.
  std::function<QIcon(int iconIndex)> OnIcon;
  void SetIcons(QList<QIcon> icons);

  // ---- Columns ----
  // The layout (not owned; null detaches). Takes effect at the next RebuildColumns.
  void SetColumnInfos(TZmColumnInfos* infos) { ColumnInfos_ = infos; }
  TZmColumnInfos* ColumnInfos() const { return ColumnInfos_; }
  // Recreates the columns from the layout: the visible items in display order, with their
  // captions (the sort column's with SortMark in front), widths, alignments and tags.
  void RebuildColumns();
  // Copies each column's current width into the Width of the layout item of its tag.
  void StoreColumnWidths();
  // After a click on a column header: the same column reverses the direction, another one
  // becomes the sort column, ascending; only the sort column carries the mark. False, changing
  // nothing, when the column does not exist.
  bool SortColumnClick(int column);
  // SortMarkDown when SortDown, else SortMarkUp; empty when SortMarkUse is off.
  QString SortMark() const;

  int ColumnCount() const { return int(Columns_.size()); }
  // -1 / empty / 0 for a column that does not exist.
  int ColumnTag(int column) const;
  QString ColumnCaption(int column) const;
  int ColumnWidth(int column) const;

  // The column editor exchange of the options dialog, on the layout (see TZmListColumnInfos).
  // ApplyColumnEditor works on this view's sort state; call RebuildColumns afterwards.
  void FillColumnEditor(std::vector<TZmColumnEditorRow>& rows) const;
  void FillColumnEditorDefaults(std::vector<TZmColumnEditorRow>& rows) const;
  void ApplyColumnEditor(const std::vector<TZmColumnEditorRow>& rows);

  int SortColumnIndex = 0;  // column kind of the sort column
  bool SortDown = false;
  QString SortMarkUp = QStringLiteral("▲");
  QString SortMarkDown = QStringLiteral("▼");
  bool SortMarkUse = true;

  // ---- Selection and focus ----
  // Rows out of range are ignored (not selected).
  int SelectedCount() const { return Selection_.Count(); }
  bool IsSelected(int row) const;
  void SetSelected(int row, bool selected);
  // The focused row, -1 when none.
  int FocusedRow() const;
  // Moves the focus without changing the selection; -1 removes it.
  void SetFocusedRow(int row);
  // Scrolls vertically until the row is at least partly shown.
  void MakeVisible(int row);
  void SelectAll();
  void ClearSelection();
  void InvertSelection();
  // Clears the list and appends the selected rows in increasing order.
  void GetSelectedIndexes(TIntegerList& indexes) const;

  // ---- Type-to-find ----
  // Characters typed within this many milliseconds of the previous one extend the search text.
  int TypeAheadIntervalMs = 1000;
  // Forgets the search text, so that the next character starts a new search.
  void ResetTypeAhead() { TypeAhead_.clear(); }

  // The files of the selected rows, dragged out to other programs as a URI list when the mouse
  // pulls on a selected row. Unset: rows are not dragged, a pull on them selects a range.
  std::function<QList<QUrl>()> OnDragUrls;

  // Shown at a context-menu request, after ContextPopup (not owned).
  void SetPopupMenu(QMenu* menu);

  void keyboardSearch(const QString& search) override;

 signals:
  // The selection or the focus changed (also when the rows were reset).
  void Change();
  // A header was clicked; column is the view's column position.
  void ColumnClick(int column);
  // Every key press, auto-repeats included, before the view handles it.
  void KeyDown(int key, Qt::KeyboardModifiers modifiers);
  // Every key release except auto-repeated ones, with the modifiers held at release.
  void KeyUp(int key, Qt::KeyboardModifiers modifiers);
  void MouseMove();
  // A left click or a double click on the list, after the view has updated its selection.
  void Click();
  void DblClick();
  // A context menu was requested; emitted before the popup menu opens.
  void ContextPopup(const QPoint& globalPos);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  friend class TZmListViewModel;

  // Holds the Change signal back until the outermost batch ends, so that one user action that
  // moves the focus and the selection is reported once.
  class TChangeBatch {
   public:
    explicit TChangeBatch(TZmListView& view) : View_(view) { ++View_.ChangeDepth_; }
    ~TChangeBatch() {
      if (--View_.ChangeDepth_ == 0 && View_.ChangePending_) {
        View_.ChangePending_ = false;
        emit View_.Change();
      }
    }
    TChangeBatch(const TChangeBatch&) = delete;
    TChangeBatch& operator=(const TChangeBatch&) = delete;

   private:
    TZmListView& View_;
  };

  struct TColumn {
    QString Caption;  // the item's caption, without the mark
    int Tag;
    Qt::Alignment Alignment;
    int ImageIndex;
    int MinWidth;
    int MaxWidth;
  };

  QIcon IconOf(int iconIndex) const;
  QString ShownCaption(int column) const;
  void SetColumnCount(int count);
  int ClampWidth(int column, int width) const;
  bool HasCell(int row) const;
  void OnSectionResized(int column, int oldSize, int newSize);
  void NotifyChange();
  // Repaints and signals when a selection call reports a change.
  void SelectionChanged(bool changed);
  void Focus(int row);
  // The row under a viewport point, also right of the last column; -1 below the rows.
  int RowAt(const QPoint& pos) const;
  // The row Shift extends from: the anchor, else the focused row, else row itself.
  int AnchorFor(int row) const;
  void PressSelect(int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void NavigateSelect(int oldRow, int row, Qt::KeyboardModifiers modifiers);
  void StartDragOut();

  TZmListViewModel* Model_;
  TZmColumnInfos* ColumnInfos_ = nullptr;
  std::vector<TColumn> Columns_;
  QList<QIcon> Icons_;
  QPointer<QMenu> PopupMenu_;
  int UpdateDepth_ = 0;  // BeginUpdate brackets: painting is off
  int ChangeDepth_ = 0;  // batches that hold the Change signal back
  bool ChangePending_ = false;
  bool Resizing_ = false;
  TZmRowSelection Selection_;
  int Anchor_ = -1;      // where Shift-selection starts
  int DragAnchor_ = -1;  // a left-button drag selects from here, -1 when no drag selects
  int DragOutRow_ = -1;  // a press on this selected row drags the selection out, or is a click at release
  QPoint PressPos_;
  QString TypeAhead_;
  QElapsedTimer TypeAheadClock_;
};
