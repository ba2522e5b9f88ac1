// The virtual report list: cells fetched only for rows on screen, columns from the layout, the
// sort mark, selection and focus by row, type-to-find and the key hooks.
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>
#include <set>

#include "EtcLists/IntegerList.h"
#include "columns/ZmListView.h"
#include "tests/support/UiWait.h"

namespace {

enum { kName = 0, kPath = 2, kSize = 5, kTypeName = 7, kLastWrite = 8 };

// Records which rows the view asked for.
struct TCellLog {
  long Calls = 0;
  std::set<int> Rows;
  TZmListCell operator()(int row, int kind) {
    ++Calls;
    Rows.insert(row);
    return {QStringLiteral("r%1k%2").arg(row).arg(kind), -1};
  }
};

// The file list's prefix search: case-insensitive, from start, optionally wrapping once.
int FindPrefix(const QStringList& names, const QString& text, int start, bool wrap) {
  const int n = int(names.size());
  if (n == 0 || start < 0 || start >= n) return -1;
  int i = start;
  for (int examined = 0; examined < n; ++examined) {
    if (names[i].startsWith(text, Qt::CaseInsensitive)) return i;
    if (++i >= n) {
      if (!wrap) return -1;
      i = 0;
    }
  }
  return -1;
}

QStringList Captions(const TZmListView& view) {
  QStringList out;
  for (int c = 0; c < view.ColumnCount(); ++c) out << view.ColumnCaption(c);
  return out;
}

std::vector<int> Selected(const TZmListView& view) {
  TIntegerList list;
  list.Add(-99);  // must be cleared
  view.GetSelectedIndexes(list);
  return {list.Values().begin(), list.Values().end()};
}

}  // namespace

class ZmListViewTest : public QObject {
  Q_OBJECT

 private:
  TZmColumnInfos Layout_{FileListColumnSpecs()};

  // A shown view over the file list layout; the owner code sorts on header clicks.
  std::unique_ptr<TZmListView> MakeView(int rows) {
    Layout_.SetColumnInfos(TZmColumnInfos(FileListColumnSpecs()).ColumnInfos());
    auto view = std::make_unique<TZmListView>();
    view->SetColumnInfos(&Layout_);
    view->RebuildColumns();
    view->SetItemsCount(rows);
    view->resize(500, 300);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get(), kUiWaitMs)) qWarning("window not exposed");
    return view;
  }

 private slots:
  void OnlyRowsOnScreenAreAskedFor() {
    TCellLog log;
    auto view = MakeView(0);
    view->OnData = std::ref(log);
    view->SetItemsCount(100000);
    view->viewport()->repaint();
    QCOMPARE(view->ItemsCount(), 100000);
    const int shown = view->VisibleRowCount();
    QVERIFY(shown > 3 && shown < 100);
    QVERIFY(!log.Rows.empty());
    QVERIFY(*log.Rows.rbegin() <= shown);
    // Five visible columns, a few roles per cell: nowhere near one call per row.
    QVERIFY2(log.Calls < 20L * shown * 5, qPrintable(QString::number(log.Calls)));

    // Jumping far down asks only for the rows around the target.
    log = {};
    view->MakeVisible(70000);
    view->viewport()->repaint();
    const int top = view->TopRow();
    QVERIFY(top <= 70000 && 70000 < top + shown);
    for (int row : log.Rows) QVERIFY2(row == 0 || (row >= top && row <= top + shown), qPrintable(QString::number(row)));

    // A re-sort: rows to 0, rows back. Qt keeps the scroll position it can; whatever it shows,
    // the only cells asked for are on screen.
    log = {};
    view->BeginUpdate();
    view->SetItemsCount(0);
    view->SetItemsCount(100000);
    view->EndUpdate();
    view->viewport()->repaint();
    QVERIFY(!log.Rows.empty());
    QVERIFY(int(log.Rows.size()) <= shown + 2);

    // Re-requesting a range repaints it without touching other rows.
    log = {};
    view->UpdateItems(0, 99999);
    view->viewport()->repaint();
    QVERIFY(int(log.Rows.size()) <= shown + 2);
    view->UpdateItems(-5, 200000);  // clamped, no crash
    view->UpdateItems(10, 5);
  }

  void CellsShowTextIconAndAlignment() {
    auto view = MakeView(3);
    QIcon red(QPixmap(16, 16));
    view->SetIcons({QIcon(), red});
    view->OnData = [](int row, int kind) {
      return TZmListCell{QStringLiteral("%1/%2").arg(row).arg(kind), kind == kName ? 1 : 7};
    };
    QAbstractItemModel* m = view->model();
    QCOMPARE(m->data(m->index(2, 0)).toString(), QStringLiteral("2/0"));
    QCOMPARE(m->data(m->index(2, 2)).toString(), QStringLiteral("2/5"));  // third shown column: Size
    QVERIFY(!m->data(m->index(2, 0), Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(!m->data(m->index(2, 2), Qt::DecorationRole).isValid());  // icon 7 does not exist
    QCOMPARE(m->data(m->index(0, 2), Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
             int(Qt::AlignRight));
    QVERIFY(!m->data(m->index(3, 0)).isValid());
    // Without a callback the cells are empty.
    view->OnData = nullptr;
    QCOMPARE(m->data(m->index(1, 1)).toString(), QString());
  }

  void ColumnsFollowTheLayout() {
    auto view = MakeView(10);
    QCOMPARE(Captions(*view), (QStringList{"▲名前", "フォルダ名", "サイズ", "種類", "更新日時"}));
    QCOMPARE(view->ColumnTag(2), int(kSize));
    QCOMPARE(view->ColumnWidth(4), 145);
    QCOMPARE(view->ColumnTag(5), -1);

    // Size first, Name hidden, a width from the layout; the sort mark goes with its column.
    TZmListColumnInfos& c = Layout_.ColumnInfos();
    c.Items(kSize).SetOrder(0);
    c.Items(kName).Visible = false;
    c.Items(kPath).Width = 77;
    view->SortColumnIndex = kSize;
    view->SortDown = true;
    view->RebuildColumns();
    QCOMPARE(Captions(*view), (QStringList{"▼サイズ", "フォルダ名", "種類", "更新日時"}));
    QCOMPARE(view->ColumnWidth(1), 77);

    // Widths dragged in the header reach the layout only through StoreColumnWidths.
    view->header()->resizeSection(1, 131);
    QCOMPARE(c.Items(kPath).Width, 77);
    view->StoreColumnWidths();
    QCOMPARE(c.Items(kPath).Width, 131);

    // Bad widths from a settings file are held to something showable; minimums and maximums hold.
    c.Items(kPath).Width = -40;
    c.Items(kTypeName).Width = 2000000000;
    c.Items(kLastWrite).MinWidth = 90;
    c.Items(kLastWrite).Width = 10;
    view->RebuildColumns();
    QCOMPARE(view->ColumnWidth(1), 0);
    QVERIFY(view->ColumnWidth(2) <= 10000);
    QCOMPARE(view->ColumnWidth(3), 90);
    view->header()->resizeSection(3, 20);
    QCOMPARE(view->ColumnWidth(3), 90);

    view->SortMarkUse = false;
    view->RebuildColumns();
    QCOMPARE(Captions(*view), (QStringList{"サイズ", "フォルダ名", "種類", "更新日時"}));
  }

  void HeaderClicksMoveTheSortMark() {
    auto view = MakeView(5);
    QSignalSpy clicks(view.get(), &TZmListView::ColumnClick);
    connect(view.get(), &TZmListView::ColumnClick, view.get(), [&](int column) { view->SortColumnClick(column); });
    QHeaderView* h = view->header();
    auto clickHeader = [&](int column) {
      const QPoint at(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2);
      QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
    };
    clickHeader(2);  // サイズ: ascending
    QCOMPARE(view->ColumnCaption(2), QStringLiteral("▲サイズ"));
    QCOMPARE(view->ColumnCaption(0), QStringLiteral("名前"));
    clickHeader(2);  // again: descending
    QCOMPARE(view->ColumnCaption(2), QStringLiteral("▼サイズ"));
    QVERIFY(view->SortDown);
    QCOMPARE(view->SortColumnIndex, int(kSize));
    clickHeader(0);  // another column: ascending, the old mark gone
    QCOMPARE(view->ColumnCaption(0), QStringLiteral("▲名前"));
    QCOMPARE(view->ColumnCaption(2), QStringLiteral("サイズ"));
    QVERIFY(!view->SortDown);
    QCOMPARE(clicks.count(), 3);
    QCOMPARE(clicks.at(1).at(0).toInt(), 2);
    QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("▲名前"));
    QVERIFY(!view->SortColumnClick(5));
    QVERIFY(!view->SortColumnClick(-1));
    QCOMPARE(view->SortColumnIndex, int(kName));
  }

  void ColumnEditorThroughTheView() {
    auto view = MakeView(5);
    view->SortColumnIndex = kSize;
    view->SortDown = true;
    std::vector<TZmColumnEditorRow> rows;
    view->FillColumnEditor(rows);
    QCOMPARE(rows.size(), FileListColumnSpecs().size());
    for (TZmColumnEditorRow& r : rows) r.Checked = r.Index == kTypeName;
    view->ApplyColumnEditor(rows);
    view->RebuildColumns();
    QCOMPARE(Captions(*view), QStringList{"▲種類"});
    QCOMPARE(view->SortColumnIndex, int(kTypeName));
    view->FillColumnEditorDefaults(rows);
    QVERIFY(rows[kName].Checked);
    view->SetColumnInfos(nullptr);
    view->FillColumnEditor(rows);
    QVERIFY(rows.empty());
    view->ApplyColumnEditor({{true, "", 1, 0}});  // no layout: nothing to apply
    view->StoreColumnWidths();
  }

  void SelectionAndFocusByRow() {
    auto view = MakeView(100);
    QSignalSpy changes(view.get(), &TZmListView::Change);
    QCOMPARE(view->FocusedRow(), -1);
    QCOMPARE(view->SelectedCount(), 0);
    view->SetSelected(40, true);
    view->SetSelected(7, true);
    view->SetSelected(8, true);
    view->SetSelected(99, true);
    view->SetSelected(100, true);  // no such row
    view->SetSelected(-1, true);
    QCOMPARE(Selected(*view), (std::vector<int>{7, 8, 40, 99}));
    QCOMPARE(view->SelectedCount(), 4);
    QVERIFY(view->IsSelected(8));
    QVERIFY(!view->IsSelected(9));
    QVERIFY(!view->IsSelected(1000));
    QCOMPARE(changes.count(), 4);

    view->SetFocusedRow(60);  // focus alone selects nothing
    QCOMPARE(view->FocusedRow(), 60);
    QVERIFY(!view->IsSelected(60));
    view->SetFocusedRow(500);
    QCOMPARE(view->FocusedRow(), 60);
    view->SetSelected(8, false);
    QCOMPARE(Selected(*view), (std::vector<int>{7, 40, 99}));

    view->InvertSelection();
    QCOMPARE(view->SelectedCount(), 97);
    QVERIFY(!view->IsSelected(40));
    QVERIFY(view->IsSelected(8));
    view->SelectAll();
    QCOMPARE(view->SelectedCount(), 100);
    view->ClearSelection();
    QCOMPARE(view->SelectedCount(), 0);
    QCOMPARE(view->FocusedRow(), 60);
    view->SetFocusedRow(-1);
    QCOMPARE(view->FocusedRow(), -1);

    // Rebuilding with another number of columns keeps selection and focus.
    view->SetSelected(3, true);
    view->SetSelected(4, true);
    view->SetFocusedRow(4);
    Layout_.ColumnInfos().Items(1).Visible = true;
    view->RebuildColumns();
    QCOMPARE(Selected(*view), (std::vector<int>{3, 4}));
    QCOMPARE(view->FocusedRow(), 4);

    // New rows: nothing selected or focused, and the owner hears of it.
    changes.clear();
    view->SetItemsCount(50);
    QCOMPARE(view->SelectedCount(), 0);
    QCOMPARE(view->FocusedRow(), -1);
    QCOMPARE(changes.count(), 1);
    view->SetItemsCount(-3);
    QCOMPARE(view->ItemsCount(), 0);
    view->SelectAll();
    view->InvertSelection();
    QCOMPARE(view->SelectedCount(), 0);
    QCOMPARE(view->TopRow(), -1);
  }

  void UpdateBracketsSignalChangeOnce() {
    auto view = MakeView(100000);
    QSignalSpy changes(view.get(), &TZmListView::Change);
    view->BeginUpdate();
    view->BeginUpdate();
    for (int row = 0; row < 20; ++row) view->SetSelected(row * 3, true);
    view->SetFocusedRow(3);
    view->EndUpdate();
    QCOMPARE(changes.count(), 0);
    view->EndUpdate();
    QCOMPARE(changes.count(), 1);
    view->EndUpdate();  // unbalanced: ignored
    QCOMPARE(view->SelectedCount(), 20);
    view->SelectAll();
    QCOMPARE(view->SelectedCount(), 100000);
    view->InvertSelection();
    QCOMPARE(view->SelectedCount(), 0);
  }

  void NoColumnsMeansNoCells() {
    auto view = MakeView(10);
    view->SetSelected(2, true);
    view->SetFocusedRow(2);
    for (int i = 0; i < 12; ++i) Layout_.ColumnInfos().Items(i).Visible = false;
    view->RebuildColumns();
    QCOMPARE(view->ColumnCount(), 0);
    QCOMPARE(view->FocusedRow(), -1);  // no cell to hold it
    view->SetFocusedRow(3);
    view->MakeVisible(5);
    view->UpdateItems(0, 9);
    view->OnDataFind = [](const QString&, int, bool) { return 0; };
    view->keyboardSearch("a");
    QCOMPARE(Selected(*view), std::vector<int>{2});  // the selection is kept by row
    QCOMPARE(view->FocusedRow(), -1);
    QCOMPARE(view->VisibleRowCount(), 0);
    QVERIFY(!view->SortColumnClick(0));
    view->viewport()->repaint();
    Layout_.ColumnInfos().Items(kSize).Visible = true;
    view->RebuildColumns();
    QVERIFY(view->IsSelected(2));
  }

  void ScatteredSelectionsOfManyRowsStayCheap() {
    // Every fifth of 100,000 rows, then the rest: this takes minutes with per-call range
    // comparisons, milliseconds with intervals.
    auto view = MakeView(100000);
    QSignalSpy changes(view.get(), &TZmListView::Change);
    view->BeginUpdate();
    for (int row = 0; row < 100000; row += 5) view->SetSelected(row, true);
    view->EndUpdate();
    QCOMPARE(changes.count(), 1);
    QCOMPARE(view->SelectedCount(), 20000);
    for (int i = 0; i < 1000; ++i) view->SetSelected(i * 5, false);
    QCOMPARE(view->SelectedCount(), 19000);
    view->InvertSelection();
    QCOMPARE(view->SelectedCount(), 81000);
    QVERIFY(view->IsSelected(0));
    QVERIFY(!view->IsSelected(5005));
    QVERIFY(view->IsSelected(5006));
    TIntegerList rows;
    view->GetSelectedIndexes(rows);
    QCOMPARE(rows.Count(), 81000);
    QCOMPARE(rows.Items(4999), 4999);  // 0..4999 were all unselected before
    QCOMPARE(rows.Items(5000), 5001);
    QCOMPARE(rows.Items(5004), 5006);
    view->MakeVisible(5005);
    view->viewport()->repaint();
  }

  void MouseAndKeysSelectLikeAListView() {
    auto view = MakeView(30);
    view->setFocus();
    auto rowPoint = [&](int row) { return view->visualRect(view->model()->index(row, 1)).center(); };
    auto click = [&](int row, Qt::KeyboardModifiers m = {}) {
      QTest::mouseClick(view->viewport(), Qt::LeftButton, m, rowPoint(row));
    };
    click(3);
    QCOMPARE(Selected(*view), std::vector<int>{3});
    click(6, Qt::ShiftModifier);
    QCOMPARE(Selected(*view), (std::vector<int>{3, 4, 5, 6}));
    QCOMPARE(view->FocusedRow(), 6);
    click(1, Qt::ShiftModifier);  // the anchor stays at 3
    QCOMPARE(Selected(*view), (std::vector<int>{1, 2, 3}));
    click(9, Qt::ControlModifier);
    click(2, Qt::ControlModifier);
    QCOMPARE(Selected(*view), (std::vector<int>{1, 3, 9}));
    click(11, Qt::ControlModifier | Qt::ShiftModifier);  // adds 2..11 from the new anchor 2
    QCOMPARE(view->SelectedCount(), 11);

    // Keys: arrows select the new row alone, Shift extends, Ctrl moves only the focus.
    click(10);
    QTest::keyClick(view.get(), Qt::Key_Down);
    QCOMPARE(Selected(*view), std::vector<int>{11});
    QTest::keyClick(view.get(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(view.get(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(Selected(*view), (std::vector<int>{11, 12, 13}));
    QTest::keyClick(view.get(), Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(view->FocusedRow(), 14);
    QCOMPARE(view->SelectedCount(), 3);
    QTest::keyClick(view.get(), Qt::Key_Space, Qt::ControlModifier);
    QVERIFY(view->IsSelected(14));
    QTest::keyClick(view.get(), Qt::Key_Space, Qt::ControlModifier);
    QVERIFY(!view->IsSelected(14));
    QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view->SelectedCount(), 30);
    QTest::keyClick(view.get(), Qt::Key_Home);
    QCOMPARE(Selected(*view), std::vector<int>{0});

    // A right click keeps a selection it falls into and replaces one it misses.
    click(4);
    click(8, Qt::ShiftModifier);
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, rowPoint(6));
    QCOMPARE(view->SelectedCount(), 5);
    QCOMPARE(view->FocusedRow(), 6);
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, rowPoint(20));
    QCOMPARE(Selected(*view), std::vector<int>{20});

    // Dragging selects from the press row; a click below the rows clears.
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, rowPoint(2));
    QMouseEvent move(QEvent::MouseMove, rowPoint(5), view->viewport()->mapToGlobal(rowPoint(5)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, rowPoint(5));
    QCOMPARE(Selected(*view), (std::vector<int>{2, 3, 4, 5}));
    view->SetItemsCount(3);
    click(1);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(10, view->viewport()->height() - 3));
    QCOMPARE(view->SelectedCount(), 0);
    QCOMPARE(view->FocusedRow(), 1);
  }

  void SelectedRowsArePaintedSelected() {
    auto view = MakeView(10);
    view->SetSelected(2, true);
    auto colourAt = [&](int row) {
      const QImage image = view->viewport()->grab().toImage();
      const QRect r = view->visualRect(view->model()->index(row, 3));
      return image.pixelColor(r.center());
    };
    QVERIFY(colourAt(2) != colourAt(4));
    QCOMPARE(colourAt(3), colourAt(4));
    view->InvertSelection();
    QVERIFY(colourAt(2) != colourAt(4));
  }

  void TypingFindsRowsByPrefix() {
    const QStringList names{"apple", "Banana", "abacus", "ABBA", "cherry", "banjo"};
    auto view = MakeView(int(names.size()));
    view->TypeAheadIntervalMs = 600000;  // no pause between keys, however slow the machine
    QList<int> starts;
    view->OnDataFind = [&](const QString& text, int start, bool wrap) {
      starts << start;
      return FindPrefix(names, text, start, wrap);
    };
    view->setFocus();
    view->SetSelected(5, true);
    QTest::keyClicks(view.get(), "ab");  // "a" from the top, then "ab" from there
    QCOMPARE(view->FocusedRow(), 2);
    QCOMPARE(Selected(*view), std::vector<int>{2});  // the match alone
    QCOMPARE(starts, (QList<int>{0, 0}));
    QTest::keyClicks(view.get(), "B");  // "abb"
    QCOMPARE(view->FocusedRow(), 3);

    // A pause starts a new search, at the focused row, wrapping past the end.
    view->ResetTypeAhead();
    view->SetFocusedRow(4);
    starts.clear();
    QTest::keyClicks(view.get(), "ba");
    QCOMPARE(view->FocusedRow(), 5);
    QCOMPARE(starts, (QList<int>{4, 5}));
    view->ResetTypeAhead();
    QTest::keyClicks(view.get(), "B");
    QCOMPARE(view->FocusedRow(), 5);  // the focused row itself matches
    view->ResetTypeAhead();
    QTest::keyClicks(view.get(), "ap");
    QCOMPARE(view->FocusedRow(), 0);

    // No match: focus and selection stay.
    view->SetSelected(4, true);
    view->ResetTypeAhead();
    QTest::keyClicks(view.get(), "zz");
    QCOMPARE(view->FocusedRow(), 0);
    QCOMPARE(Selected(*view), (std::vector<int>{0, 4}));

    // The time between keys decides whether the text grows.
    view->TypeAheadIntervalMs = 20;
    view->ResetTypeAhead();
    QTest::keyClicks(view.get(), "c");
    QCOMPARE(view->FocusedRow(), 4);
    QTest::qWait(60);
    QTest::keyClicks(view.get(), "a");
    QCOMPARE(view->FocusedRow(), 0);

    // A space continues a running search; after a pause it selects the focused row instead.
    const QStringList spaced{"IMG 1", "IMG2", "IMG 2"};
    view->OnDataFind = [&](const QString& text, int start, bool wrap) { return FindPrefix(spaced, text, start, wrap); };
    view->TypeAheadIntervalMs = 600000;
    view->ResetTypeAhead();
    view->ClearSelection();
    QTest::keyClicks(view.get(), "img 2");
    QCOMPARE(view->FocusedRow(), 2);
    view->ResetTypeAhead();
    view->SetFocusedRow(1);
    QTest::keyClick(view.get(), Qt::Key_Space);
    QCOMPARE(Selected(*view), (std::vector<int>{1, 2}));
    view->OnDataFind = [&](const QString& text, int start, bool wrap) {
      starts << start;
      return FindPrefix(names, text, start, wrap);
    };

    // Control keys are not search text; a finder answering nonsense changes nothing.
    starts.clear();
    QTest::keyClick(view.get(), Qt::Key_Backspace);
    QTest::keyClick(view.get(), Qt::Key_Escape);
    QVERIFY(starts.isEmpty());
    view->OnDataFind = [](const QString&, int, bool) { return 1000; };
    QTest::keyClicks(view.get(), "x");
    QCOMPARE(view->FocusedRow(), 1);
  }

  void TypeToFindScrollsTheMatchIntoView() {
    auto view = MakeView(100000);
    view->OnDataFind = [](const QString& text, int start, bool) { return text == "q" ? 88888 : start; };
    view->setFocus();
    QTest::keyClicks(view.get(), "q");
    QCOMPARE(view->FocusedRow(), 88888);
    const int top = view->TopRow();
    QVERIFY(top <= 88888 && 88888 < top + view->VisibleRowCount());
  }

  void KeysReachTheHooks() {
    auto view = MakeView(20);
    view->setFocus();
    view->SetFocusedRow(3);
    // QTest presses and releases the modifier keys themselves around a modified key.
    auto isModifier = [](int key) { return key == Qt::Key_Alt || key == Qt::Key_Control || key == Qt::Key_Shift; };
    QList<int> downs, ups;
    int focusAtDown = -2;
    connect(view.get(), &TZmListView::KeyDown, view.get(), [&](int key, Qt::KeyboardModifiers) {
      if (!isModifier(key)) downs << key;
      if (key == Qt::Key_Down) focusAtDown = view->FocusedRow();
    });
    Qt::KeyboardModifiers upModifiers;
    connect(view.get(), &TZmListView::KeyUp, view.get(), [&](int key, Qt::KeyboardModifiers m) {
      if (isModifier(key)) return;
      ups << key;
      upModifiers = m;
    });
    QTest::keyClick(view.get(), Qt::Key_Down);
    QCOMPARE(focusAtDown, 3);  // the hook runs before the view moves the focus
    QCOMPARE(view->FocusedRow(), 4);
    QTest::keyClick(view.get(), Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(upModifiers, Qt::AltModifier);
    QTest::keyClick(view.get(), Qt::Key_Delete);
    QTest::keyClick(view.get(), Qt::Key_F5);
    QCOMPARE(downs, (QList<int>{Qt::Key_Down, Qt::Key_Left, Qt::Key_Delete, Qt::Key_F5}));
    QCOMPARE(ups, (QList<int>{Qt::Key_Down, Qt::Key_Left, Qt::Key_Delete, Qt::Key_F5}));

    // A held key: repeated presses, repeated releases ignored, the final release counts.
    ups.clear();
    downs.clear();
    for (int i = 0; i < 3; ++i) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", i > 0);
      QApplication::sendEvent(view.get(), &press);
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r", i < 2);
      QApplication::sendEvent(view.get(), &release);
    }
    QCOMPARE(downs.count(), 3);
    QCOMPARE(ups, QList<int>{Qt::Key_Return});
  }

  void MouseAndContextHooks() {
    auto view = MakeView(20);
    QMenu menu;
    menu.addAction("x");
    view->SetPopupMenu(&menu);
    bool menuOpenAtSignal = true;
    QSignalSpy popups(view.get(), &TZmListView::ContextPopup);
    connect(view.get(), &TZmListView::ContextPopup, view.get(), [&] { menuOpenAtSignal = menu.isVisible(); });
    QSignalSpy clicks(view.get(), &TZmListView::Click);
    QSignalSpy doubles(view.get(), &TZmListView::DblClick);
    QSignalSpy moves(view.get(), &TZmListView::MouseMove);
    const QRect row2 = view->visualRect(view->model()->index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row2.center());
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(view->FocusedRow(), 2);
    QVERIFY(view->IsSelected(2));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row2.center());
    QCOMPARE(doubles.count(), 1);
    QTest::mouseMove(view->viewport(), row2.center() + QPoint(5, 0));
    QTRY_VERIFY(moves.count() > 0);
    QContextMenuEvent context(QContextMenuEvent::Mouse, row2.center(), view->viewport()->mapToGlobal(row2.center()));
    QApplication::sendEvent(view->viewport(), &context);
    QCOMPARE(popups.count(), 1);
    QVERIFY(!menuOpenAtSignal);
    QTRY_VERIFY(menu.isVisible());
    menu.hide();
  }
};

QTEST_MAIN(ZmListViewTest)
#include "ZmListView_test.moc"
