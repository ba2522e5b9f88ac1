#include "columns/ZmListView.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

#include "EtcLists/IntegerList.h"

namespace {

// Widths come from a hand-editable settings file; keep them to something a header can show.
constexpr int kMaxColumnWidth = 10000;
// Typing never grows the search text beyond the length of a long file name.
constexpr int kMaxTypeAheadLength = 260;

Qt::Alignment ToQtAlignment(TZmAlignment a) {
  switch (a) {
    case taRightJustify:
      return Qt::AlignRight;
    case taCenter:
      return Qt::AlignHCenter;
    case taLeftJustify:
      break;
  }
  return Qt::AlignLeft;
}

}  // namespace

// The table behind the view: a row count, the view's columns, and cells fetched from OnData.
// Qt asks for several roles of one cell in a row (text, icon, alignment, font, ...), so the last
// cell fetched is kept; the cache lives only until the next paint or change, so a repaint always
// shows what OnData says now.
class TZmListViewModel : public QAbstractTableModel {
 public:
  explicit TZmListViewModel(TZmListView& view) : QAbstractTableModel(&view), View_(view) {}

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : Rows_; }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : Columns_; }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= Rows_ || index.column() >= Columns_) return {};
    switch (role) {
      case Qt::DisplayRole:
        return Cell(index.row(), index.column()).Text;
      case Qt::DecorationRole: {
        const int icon = Cell(index.row(), index.column()).IconIndex;
        if (icon < 0) return {};
        QIcon result = View_.IconOf(icon);
        return result.isNull() ? QVariant() : QVariant(result);
      }
      case Qt::TextAlignmentRole:
        return int(View_.Columns_[size_t(index.column())].Alignment | Qt::AlignVCenter);
      default:
        return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= Columns_) return {};
    const auto& column = View_.Columns_[size_t(section)];
    switch (role) {
      case Qt::DisplayRole:
        return View_.ShownCaption(section);
      case Qt::TextAlignmentRole:
        return int(column.Alignment | Qt::AlignVCenter);
      case Qt::DecorationRole: {
        if (column.ImageIndex < 0) return {};
        QIcon icon = View_.IconOf(column.ImageIndex);
        return icon.isNull() ? QVariant() : QVariant(icon);
      }
      default:
        return {};
    }
  }

  void ResetRows(int rows) {
    beginResetModel();
    Rows_ = rows;
    Forget();
    endResetModel();
  }

  // Adds or removes columns at the end; the caller has resized the view's column list.
  void SetColumns(int columns) {
    if (columns > Columns_) {
      beginInsertColumns({}, Columns_, columns - 1);
      Columns_ = columns;
      endInsertColumns();
    } else if (columns < Columns_) {
      beginRemoveColumns({}, columns, Columns_ - 1);
      Columns_ = columns;
      endRemoveColumns();
    }
    Forget();
  }

  void RowsChanged(int first, int last) {
    Forget();
    if (Columns_ > 0) emit dataChanged(index(first, 0), index(last, Columns_ - 1));
  }

  void HeaderChanged() {
    if (Columns_ > 0) emit headerDataChanged(Qt::Horizontal, 0, Columns_ - 1);
  }

  void Forget() { CacheValid_ = false; }

 private:
  const TZmListCell& Cell(int row, int column) const {
    const int kind = View_.Columns_[size_t(column)].Tag;
    if (!CacheValid_ || CacheRow_ != row || CacheKind_ != kind) {
      CacheCell_ = View_.OnData ? View_.OnData(row, kind) : TZmListCell();
      CacheRow_ = row;
      CacheKind_ = kind;
      CacheValid_ = true;
    }
    return CacheCell_;
  }

  TZmListView& View_;
  int Rows_ = 0;
  int Columns_ = 0;
  mutable bool CacheValid_ = false;
  mutable int CacheRow_ = -1;
  mutable int CacheKind_ = -1;
  mutable TZmListCell CacheCell_;
};

TZmListView::TZmListView(QWidget* parent) : QTreeView(parent), Model_(new TZmListViewModel(*this)) {
  setModel(Model_);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setItemsExpandable(false);  // else "+", "-" and "*" would expand rows instead of being typed
  setExpandsOnDoubleClick(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  // Qt keeps its selection as ranges that it compares in full on every change: a scattered
  // selection of thousands of rows then takes seconds per click. The view selects by itself.
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  setContextMenuPolicy(Qt::DefaultContextMenu);

  QHeaderView* h = header();
  h->setSectionsClickable(true);
  h->setSortIndicatorShown(false);
  h->setSectionsMovable(false);  // display order belongs to the layout, not to the header
  h->setStretchLastSection(false);
  h->setMinimumSectionSize(0);
  connect(h, &QHeaderView::sectionClicked, this, &TZmListView::ColumnClick);
  connect(h, &QHeaderView::sectionResized, this, &TZmListView::OnSectionResized);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { NotifyChange(); });
}

TZmListView::~TZmListView() = default;

// ---- Rows ----

void TZmListView::SetItemsCount(int count) {
  TChangeBatch batch(*this);
  Selection_.Clear();
  Anchor_ = DragAnchor_ = -1;
  Model_->ResetRows(std::max(count, 0));
  NotifyChange();
}

int TZmListView::ItemsCount() const { return Model_->rowCount(); }

void TZmListView::UpdateItems(int first, int last) {
  first = std::max(first, 0);
  last = std::min(last, ItemsCount() - 1);
  if (first > last) return;
  Model_->RowsChanged(first, last);
}

void TZmListView::BeginUpdate() {
  if (UpdateDepth_++ == 0) setUpdatesEnabled(false);
  ++ChangeDepth_;
}

void TZmListView::EndUpdate() {
  if (UpdateDepth_ == 0) return;  // unbalanced: nothing to end
  if (--UpdateDepth_ == 0) {
    setUpdatesEnabled(true);
    viewport()->update();
  }
  // Ending the change part of the bracket flushes a held-back Change.
  TChangeBatch flush(*this);
  --ChangeDepth_;
}

int TZmListView::TopRow() const {
  if (ItemsCount() == 0 || ColumnCount() == 0) return -1;
  const QModelIndex top = indexAt(QPoint(0, 0));
  if (top.isValid()) return top.row();
  // Only when no column covers the left edge (zero widths): per-item scrolling counts rows.
  if (verticalScrollMode() == QAbstractItemView::ScrollPerItem)
    return std::clamp(verticalScrollBar()->value(), 0, ItemsCount() - 1);
  return 0;
}

int TZmListView::VisibleRowCount() const {
  if (ItemsCount() == 0 || ColumnCount() == 0) return 0;
  const int h = rowHeight(Model_->index(std::max(TopRow(), 0), 0));
  if (h <= 0) return 0;
  return (viewport()->height() + h - 1) / h;
}

void TZmListView::SetIcons(QList<QIcon> icons) {
  Icons_ = std::move(icons);
  viewport()->update();
}

QIcon TZmListView::IconOf(int iconIndex) const {
  if (OnIcon) return OnIcon(iconIndex);
  if (iconIndex >= 0 && iconIndex < Icons_.size()) return Icons_[iconIndex];
  return {};
}

// ---- Columns ----

QString TZmListView::SortMark() const {
  if (!SortMarkUse) return {};
  return SortDown ? SortMarkDown : SortMarkUp;
}

QString TZmListView::ShownCaption(int column) const {
  const TColumn& c = Columns_[size_t(column)];
  return c.Tag == SortColumnIndex ? SortMark() + c.Caption : c.Caption;
}

int TZmListView::ColumnTag(int column) const {
  return column >= 0 && column < ColumnCount() ? Columns_[size_t(column)].Tag : -1;
}

QString TZmListView::ColumnCaption(int column) const {
  return column >= 0 && column < ColumnCount() ? ShownCaption(column) : QString();
}

int TZmListView::ColumnWidth(int column) const {
  return column >= 0 && column < ColumnCount() ? header()->sectionSize(column) : 0;
}

void TZmListView::SetColumnCount(int count) {
  if (count > ColumnCount()) Columns_.resize(size_t(count), TColumn{QString(), -1, Qt::AlignLeft, -1, 0, 0});
  Model_->SetColumns(count);
  Columns_.resize(size_t(count));
}

void TZmListView::RebuildColumns() {
  BeginUpdate();
  const TZmListColumnInfos* infos = ColumnInfos_ ? &ColumnInfos_->ColumnInfos() : nullptr;
  const int count = infos ? infos->VisibleCount() : 0;
  // Removing the column of the current index moves or drops it: keep the focus by row.
  const int focused = FocusedRow();
  SetColumnCount(count);
  for (int p = 0; p < count; ++p) {
    const TZmListColumnInfo* item = infos->FindByVisibleIndex(p);
    if (item == nullptr) continue;  // cannot happen while the orders are a permutation
    Columns_[size_t(p)] = TColumn{QString::fromStdString(item->Caption), item->Index(),
                                  ToQtAlignment(item->Alignment), item->ImageIndex,
                                  std::clamp(item->MinWidth, 0, kMaxColumnWidth),
                                  std::clamp(item->MaxWidth, 0, kMaxColumnWidth)};
    Resizing_ = true;
    header()->setSectionResizeMode(p, item->AutoSize ? QHeaderView::Stretch : QHeaderView::Interactive);
    header()->resizeSection(p, ClampWidth(p, item->Width));
    Resizing_ = false;
  }
  Model_->HeaderChanged();
  Model_->Forget();
  if (count > 0 && focused >= 0 && FocusedRow() != focused) Focus(focused);
  viewport()->update();
  EndUpdate();
}

int TZmListView::ClampWidth(int column, int width) const {
  const TColumn& c = Columns_[size_t(column)];
  width = std::clamp(width, 0, kMaxColumnWidth);
  if (c.MinWidth > 0) width = std::max(width, c.MinWidth);
  if (c.MaxWidth > 0) width = std::min(width, c.MaxWidth);
  return width;
}

void TZmListView::OnSectionResized(int column, int /*oldSize*/, int newSize) {
  if (Resizing_ || column < 0 || column >= ColumnCount()) return;
  const int width = ClampWidth(column, newSize);
  if (width == newSize) return;
  Resizing_ = true;
  header()->resizeSection(column, width);
  Resizing_ = false;
}

void TZmListView::StoreColumnWidths() {
  if (ColumnInfos_ == nullptr) return;
  TZmListColumnInfos& infos = ColumnInfos_->ColumnInfos();
  for (int p = 0; p < ColumnCount(); ++p) {
    const int tag = Columns_[size_t(p)].Tag;
    if (tag >= 0 && tag < infos.Count()) infos.Items(tag).Width = header()->sectionSize(p);
  }
}

bool TZmListView::SortColumnClick(int column) {
  if (column < 0 || column >= ColumnCount()) return false;
  const int tag = Columns_[size_t(column)].Tag;
  if (tag == SortColumnIndex) {
    SortDown = !SortDown;
  } else {
    SortDown = false;
    SortColumnIndex = tag;
  }
  // Captions are derived from the sort state, so the old column loses its mark here too.
  Model_->HeaderChanged();
  return true;
}

void TZmListView::FillColumnEditor(std::vector<TZmColumnEditorRow>& rows) const {
  rows.clear();
  if (ColumnInfos_) ColumnInfos_->ColumnInfos().FillColumnEditor(rows);
}

void TZmListView::FillColumnEditorDefaults(std::vector<TZmColumnEditorRow>& rows) const {
  rows.clear();
  if (ColumnInfos_) ColumnInfos_->ColumnInfos().FillColumnEditorDefaults(rows);
}

void TZmListView::ApplyColumnEditor(const std::vector<TZmColumnEditorRow>& rows) {
  if (ColumnInfos_) ColumnInfos_->ColumnInfos().ApplyColumnEditor(rows, SortColumnIndex, SortDown);
}

// ---- Selection and focus ----

bool TZmListView::HasCell(int row) const { return row >= 0 && row < ItemsCount() && ColumnCount() > 0; }

void TZmListView::SelectionChanged(bool changed) {
  if (!changed) return;
  viewport()->update();
  NotifyChange();
}

void TZmListView::Focus(int row) {
  if (HasCell(row)) selectionModel()->setCurrentIndex(Model_->index(row, 0), QItemSelectionModel::NoUpdate);
}

bool TZmListView::IsSelected(int row) const {
  return row >= 0 && row < ItemsCount() && Selection_.IsSelected(row);
}

void TZmListView::SetSelected(int row, bool selected) {
  if (row < 0 || row >= ItemsCount()) return;
  SelectionChanged(selected ? Selection_.Add(row, row) : Selection_.Remove(row, row));
}

int TZmListView::FocusedRow() const {
  const QModelIndex current = selectionModel()->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TZmListView::SetFocusedRow(int row) {
  if (row == -1) {
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  } else if (HasCell(row)) {
    Focus(row);
    Anchor_ = row;
  }
}

void TZmListView::MakeVisible(int row) {
  if (!HasCell(row)) return;
  const QModelIndex index = Model_->index(row, 0);
  const QRect r = visualRect(index);
  if (r.height() > 0 && r.bottom() >= 0 && r.top() < viewport()->height()) return;
  // Only the vertical position is the caller's concern; keep the horizontal one.
  const int x = horizontalScrollBar()->value();
  scrollTo(index, QAbstractItemView::EnsureVisible);
  horizontalScrollBar()->setValue(x);
}

void TZmListView::SelectAll() {
  if (ItemsCount() > 0) SelectionChanged(Selection_.SelectOnly(0, ItemsCount() - 1));
}

void TZmListView::ClearSelection() { SelectionChanged(Selection_.Clear()); }

void TZmListView::InvertSelection() { SelectionChanged(Selection_.Invert(ItemsCount())); }

void TZmListView::GetSelectedIndexes(TIntegerList& indexes) const {
  indexes.Clear();
  for (const auto& [first, last] : Selection_.Ranges())
    for (int row = first; row <= last && row < ItemsCount(); ++row) indexes.Add(row);
}

void TZmListView::NotifyChange() {
  if (ChangeDepth_ > 0)
    ChangePending_ = true;
  else
    emit Change();
}

void TZmListView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  // QTreeView adds the selected state per cell from its (empty) selection model; a state set
  // here reaches every cell of the row.
  QStyleOptionViewItem rowOption(option);
  if (Selection_.IsSelected(index.row())) rowOption.state |= QStyle::State_Selected;
  QTreeView::drawRow(painter, rowOption, index);
}

void TZmListView::paintEvent(QPaintEvent* event) {
  Model_->Forget();
  QTreeView::paintEvent(event);
  Model_->Forget();
}
