#include "columns/ZmListColumnInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "options/IniFile.h"

namespace {

// Item indexes of the file list's layout.
enum { kName, kFullFileName, kPath, kPathOnly, kFindIndex, kSize, kSizeDetail, kTypeName, kLastWrite };

// Identifiers of the items in display order, visible or not.
std::vector<std::string> DisplayOrder(const TZmListColumnInfos& c) {
  std::vector<std::string> ids;
  for (int32_t o = 0; o < c.Count(); ++o) ids.push_back(c.FindByOrder(o)->IdentName);
  return ids;
}

// Identifiers of the visible items by visible position.
std::vector<std::string> VisibleOrder(const TZmListColumnInfos& c) {
  std::vector<std::string> ids;
  for (int32_t p = 0; p < c.VisibleCount(); ++p) ids.push_back(c.FindByVisibleIndex(p)->IdentName);
  return ids;
}

bool OrdersArePermutation(const TZmListColumnInfos& c) {
  std::vector<int32_t> orders;
  for (int32_t i = 0; i < c.Count(); ++i) orders.push_back(c.Items(i).Order());
  std::sort(orders.begin(), orders.end());
  for (int32_t i = 0; i < c.Count(); ++i)
    if (orders[size_t(i)] != i) return false;
  return true;
}

TMemIniFile Ini(const std::string& text) {
  TMemIniFile ini;
  ini.SetText(text);
  return ini;
}

TEST(ZmListColumnInfo, NewItemsHaveTheirDefaults) {
  TZmColumnInfos infos;
  TZmListColumnInfos& c = infos.ColumnInfos();
  c.Add();
  TZmListColumnInfo& item = c.Add();
  EXPECT_EQ(item.IdentName, "ZmListColumnInfo1");
  EXPECT_EQ(item.Order(), 1);
  EXPECT_EQ(item.Index(), 1);
  EXPECT_EQ(item.Width, 50);
  EXPECT_EQ(item.DefaultWidth(), 50);
  EXPECT_TRUE(item.Visible);
  EXPECT_EQ(item.ImageIndex, -1);
  EXPECT_EQ(item.Alignment, taLeftJustify);
  EXPECT_EQ(item.DisplayName(), "TZmListColumnInfo");
  EXPECT_EQ(infos.IniSectionName(), "DesignColumn");
  EXPECT_EQ(c.Owner(), &infos);
  // The factory setters carry the live values along.
  item.SetDefaultWidth(77);
  item.SetDefaultVisible(false);
  EXPECT_EQ(item.Width, 77);
  EXPECT_FALSE(item.Visible);
}

TEST(ZmListColumnInfo, FileListLayoutIsTheThirteenColumnTable) {
  const TZmColumnInfos infos = MakeFileListColumns();
  const TZmListColumnInfos& c = infos.ColumnInfos();
  ASSERT_EQ(c.Count(), 13);
  EXPECT_EQ(DisplayOrder(c),
            (std::vector<std::string>{"Name", "FullFileName", "Path", "PathOnly", "FindIndex", "Size",
                                      "SizeDetail", "TypeName", "LastWriteTime", "Attr", "CreationTime",
                                      "LastAccessTime", "JpegResult"}));
  EXPECT_EQ(VisibleOrder(c),
            (std::vector<std::string>{"Name", "Path", "Size", "TypeName", "LastWriteTime"}));
  EXPECT_EQ(c.Items(kFindIndex).Caption, "発見順");
  EXPECT_EQ(c.Items(kFindIndex).Alignment, taRightJustify);
  EXPECT_EQ(c.Items(kSizeDetail).Width, 80);
  EXPECT_EQ(c.Items(kLastWrite).Width, 145);
  EXPECT_EQ(c.Items(11).Caption, "アクセス日時");
  EXPECT_EQ(c.Items(12).Caption, "JPEGチェック");
  EXPECT_THROW(c.Items(13), std::out_of_range);
  EXPECT_THROW(c.Items(-1), std::out_of_range);
}

TEST(ZmListColumnInfo, WritingAnOrderSwapsWithItsHolderAndIgnoresOutOfRange) {
  struct Case {
    int Item;
    int32_t NewOrder;
    std::vector<int32_t> Orders;  // of items 0..4 afterwards
  };
  const Case cases[] = {
      {0, 3, {3, 1, 2, 0, 4}},   // swap with the holder of 3
      {4, 0, {4, 1, 2, 3, 0}},
      {2, 2, {0, 1, 2, 3, 4}},   // own order
      {1, 5, {0, 1, 2, 3, 4}},   // one past the end
      {1, -1, {0, 1, 2, 3, 4}},
      {1, 99, {0, 1, 2, 3, 4}},
  };
  for (const Case& k : cases) {
    TZmColumnInfos infos;
    for (int i = 0; i < 5; ++i) infos.ColumnInfos().Add();
    infos.ColumnInfos().Items(k.Item).SetOrder(k.NewOrder);
    std::vector<int32_t> orders;
    for (int i = 0; i < 5; ++i) orders.push_back(infos.ColumnInfos().Items(i).Order());
    EXPECT_EQ(orders, k.Orders) << "item " << k.Item << " -> " << k.NewOrder;
  }
}

TEST(ZmListColumnInfo, VisiblePositionsSkipHiddenColumnsInDisplayOrder) {
  TZmColumnInfos infos = MakeFileListColumns();
  TZmListColumnInfos& c = infos.ColumnInfos();
  // Move "Size" to the front: Size, FullFileName(hidden), Path, PathOnly(hidden), FindIndex
  // (hidden), Name, ...
  c.Items(kSize).SetOrder(0);
  EXPECT_EQ(c.Items(kSize).VisibleIndex(), 0);
  EXPECT_EQ(c.Items(kPath).VisibleIndex(), 1);
  EXPECT_EQ(c.Items(kName).VisibleIndex(), 2);
  EXPECT_EQ(c.Items(kFullFileName).VisibleIndex(), -1);
  EXPECT_EQ(c.VisibleCount(), 5);
  EXPECT_EQ(c.FindByVisibleIndex(2), &c.Items(kName));
  EXPECT_EQ(c.FindByVisibleIndex(5), nullptr);
  EXPECT_EQ(c.FindByVisibleIndex(-1), nullptr);
  EXPECT_EQ(c.FindByOrder(13), nullptr);
  // Every visible item sits at the position FindByVisibleIndex finds it at.
  for (int32_t i = 0; i < c.Count(); ++i) {
    if (c.Items(i).Visible) {
      EXPECT_EQ(c.FindByVisibleIndex(c.Items(i).VisibleIndex()), &c.Items(i));
    }
  }
}

TEST(ZmListColumnInfo, LoadingOrdersSwapsAndKeepsAPermutation) {
  struct Case {
    const char* Text;
    std::vector<std::string> FirstThree;  // display order afterwards
  };
  const Case cases[] = {
      {"", {"Name", "FullFileName", "Path"}},
      // Size takes order 0; Name moves to where Size was.
      {"[DesignColumn]\nSize_Order=0\n", {"Size", "FullFileName", "Path"}},
      // Out of range: the order stays.
      {"[DesignColumn]\nName_Order=99\n", {"Name", "FullFileName", "Path"}},
      {"[DesignColumn]\nName_Order=-3\nPath_Order=abc\n", {"Name", "FullFileName", "Path"}},
      // Two items claiming one order: the later one wins it. A missing key means the item's
      // index, so Path takes its place back from Name before Size takes order 2.
      {"[DesignColumn]\nName_Order=2\nSize_Order=2\n", {"Name", "FullFileName", "Size"}},
      // A section name is looked up without regard to case.
      {"[designcolumn]\nPath_Order=0\nName_Order=2\n", {"Path", "FullFileName", "Name"}},
  };
  for (const Case& k : cases) {
    TZmColumnInfos infos = MakeFileListColumns();
    infos.ColumnInfos().LoadFromIni(Ini(k.Text));
    std::vector<std::string> order = DisplayOrder(infos.ColumnInfos());
    order.resize(3);
    EXPECT_EQ(order, k.FirstThree) << k.Text;
    EXPECT_TRUE(OrdersArePermutation(infos.ColumnInfos())) << k.Text;
  }
}

TEST(ZmListColumnInfo, LoadingStartsFromTheFactoryStateNotTheLiveOne) {
  TZmColumnInfos infos = MakeFileListColumns();
  TZmListColumnInfos& c = infos.ColumnInfos();
  c.Items(kSize).SetOrder(0);
  c.Items(kName).Visible = false;
  c.Items(kName).Width = 333;
  c.LoadFromIni(Ini("[DesignColumn]\nPath_Width=7\nAttr_Visible=1\n"));
  EXPECT_EQ(DisplayOrder(c)[0], "Name");
  EXPECT_TRUE(c.Items(kName).Visible);
  EXPECT_EQ(c.Items(kName).Width, 120);
  EXPECT_EQ(c.Items(kPath).Width, 7);
  EXPECT_TRUE(c.Items(9).Visible);
}

TEST(ZmListColumnInfo, SavingWritesThreeKeysPerColumnInItemOrderAndReloadsTheSameLayout) {
  TZmColumnInfos infos = MakeFileListColumns();
  TZmListColumnInfos& c = infos.ColumnInfos();
  c.Items(kTypeName).SetOrder(1);
  c.Items(kSize).Visible = false;
  c.Items(kPath).Width = 222;
  TMemIniFile ini;
  c.SaveToIni(ini);
  const std::string text = ini.Text();
  EXPECT_TRUE(text.starts_with(
      "[DesignColumn]\r\nName_Visible=1\r\nName_Order=0\r\nName_Width=120\r\nFullFileName_Visible=0\r\n"))
      << text;
  size_t keys = 0, pos = 0, last = 0;
  for (const TZmColumnSpec& spec : FileListColumnSpecs()) {
    for (const char* suffix : {"_Visible=", "_Order=", "_Width="}) {
      const size_t at = text.find(std::string("\n") + spec.IdentName + suffix, pos);
      ASSERT_NE(at, std::string::npos) << spec.IdentName << suffix;
      EXPECT_GE(at, last);
      last = pos = at + 1;
      ++keys;
    }
  }
  EXPECT_EQ(keys, 39u);
  EXPECT_NE(text.find("TypeName_Order=1\r\n"), std::string::npos);
  EXPECT_NE(text.find("FullFileName_Order=7\r\n"), std::string::npos);
  EXPECT_NE(text.find("Size_Visible=0\r\n"), std::string::npos);

  TZmColumnInfos reloaded = MakeFileListColumns();
  reloaded.ColumnInfos().LoadFromIni(ini);
  EXPECT_EQ(DisplayOrder(reloaded.ColumnInfos()), DisplayOrder(c));
  EXPECT_EQ(VisibleOrder(reloaded.ColumnInfos()), VisibleOrder(c));
  EXPECT_EQ(reloaded.ColumnInfos().Items(kPath).Width, 222);
}

TEST(ZmListColumnInfo, AssigningACollectionCopiesEveryPropertyAndTheOrders) {
  TZmColumnInfos source = MakeFileListColumns();
  TZmListColumnInfos& s = source.ColumnInfos();
  // A rotation of the orders, so that copying them one by one needs the swap rule to work out.
  for (int32_t i = 0; i < s.Count(); ++i) s.Items(i).SetOrder((i + 5) % s.Count());
  s.Items(kName).Width = 10;       // differs from its default width
  s.Items(kName).Visible = false;  // differs from its default visibility
  s.Items(kName).AutoSize = true;
  s.Items(kName).MinWidth = 3;
  s.Items(kName).MaxWidth = 300;
  s.Items(kName).ImageIndex = 4;
  ASSERT_TRUE(OrdersArePermutation(s));

  TZmColumnInfos copy;
  copy.SetIniSectionName("Other");
  copy.ColumnInfos().Add();  // replaced, not kept
  copy.SetColumnInfos(s);
  const TZmListColumnInfos& d = copy.ColumnInfos();
  ASSERT_EQ(d.Count(), 13);
  EXPECT_EQ(DisplayOrder(d), DisplayOrder(s));
  EXPECT_EQ(copy.IniSectionName(), "Other");
  const TZmListColumnInfo& n = d.Items(kName);
  EXPECT_EQ(n.Width, 10);
  EXPECT_FALSE(n.Visible);
  EXPECT_EQ(n.DefaultWidth(), 120);
  EXPECT_TRUE(n.DefaultVisible());
  EXPECT_TRUE(n.AutoSize);
  EXPECT_EQ(n.MinWidth, 3);
  EXPECT_EQ(n.MaxWidth, 300);
  EXPECT_EQ(n.ImageIndex, 4);
  EXPECT_EQ(n.Caption, "名前");
  EXPECT_EQ(n.IdentName, "Name");
  EXPECT_EQ(d.Items(kSize).Alignment, taRightJustify);
}

TEST(ZmListColumnInfo, EditorRowsFollowDisplayOrderAndDefaultsFollowItemOrder) {
  TZmColumnInfos infos = MakeFileListColumns();
  TZmListColumnInfos& c = infos.ColumnInfos();
  c.Items(kSize).SetOrder(0);
  c.Items(kSize).Width = 99;
  c.Items(kFullFileName).Visible = true;
  std::vector<TZmColumnEditorRow> rows{{true, "stale", 1, 1}};
  c.FillColumnEditor(rows);
  ASSERT_EQ(rows.size(), 13u);
  EXPECT_EQ(rows[0].Caption, "サイズ");
  EXPECT_EQ(rows[0].Width, 99);
  EXPECT_EQ(rows[0].Index, kSize);
  EXPECT_TRUE(rows[1].Checked);  // FullFileName, made visible
  EXPECT_EQ(rows[5].Index, kName);

  c.FillColumnEditorDefaults(rows);
  ASSERT_EQ(rows.size(), 13u);
  for (int i = 0; i < 13; ++i) EXPECT_EQ(rows[size_t(i)].Index, i);
  EXPECT_EQ(rows[kSize].Width, 60);
  EXPECT_FALSE(rows[kFullFileName].Checked);
  EXPECT_TRUE(rows[kName].Checked);
}

TEST(ZmListColumnInfo, EditorRoundTripKeepsTheLayoutAndAppliesEdits) {
  TZmColumnInfos infos = MakeFileListColumns();
  TZmListColumnInfos& c = infos.ColumnInfos();
  c.Items(kTypeName).SetOrder(2);
  std::vector<TZmColumnEditorRow> rows;
  c.FillColumnEditor(rows);
  const std::vector<std::string> before = DisplayOrder(c);
  int32_t sort = kSize;
  bool down = true;
  c.ApplyColumnEditor(rows, sort, down);
  EXPECT_EQ(DisplayOrder(c), before);
  EXPECT_EQ(sort, kSize);
  EXPECT_TRUE(down);

  // Move the last row to the top, show it, widen it; reverse the rest.
  std::vector<TZmColumnEditorRow> edited{rows.back()};
  edited[0].Checked = true;
  edited[0].Width = 300;
  edited.insert(edited.end(), rows.rbegin() + 1, rows.rend());
  c.ApplyColumnEditor(edited, sort, down);
  EXPECT_EQ(DisplayOrder(c)[0], "JpegResult");
  EXPECT_EQ(DisplayOrder(c)[12], "Name");
  EXPECT_TRUE(c.Items(12).Visible);
  EXPECT_EQ(c.Items(12).Width, 300);
  EXPECT_TRUE(OrdersArePermutation(c));
}

TEST(ZmListColumnInfo, HidingTheSortColumnMovesTheSortToTheFirstVisibleColumn) {
  struct Case {
    const char* What;
    std::vector<int> Shown;  // the columns left visible, in editor row order
    int32_t Sort;
    int32_t ExpectedSort;
    bool ExpectedDown;
  };
  const Case cases[] = {
      {"sort column stays visible", {kName, kSize}, kSize, kSize, true},
      {"only one column left", {kPath}, kSize, kPath, false},
      {"first visible in display order", {kTypeName, kName}, kSize, kTypeName, false},
      {"sort column out of range", {kName}, 42, kName, false},
      {"nothing visible: sort left alone", {}, kSize, kSize, true},
  };
  for (const Case& k : cases) {
    TZmColumnInfos infos = MakeFileListColumns();
    TZmListColumnInfos& c = infos.ColumnInfos();
    std::vector<TZmColumnEditorRow> rows;
    for (int i : k.Shown) rows.push_back({true, "", 50, i});
    for (int i = 0; i < 13; ++i)
      if (std::find(k.Shown.begin(), k.Shown.end(), i) == k.Shown.end()) rows.push_back({false, "", 50, i});
    int32_t sort = k.Sort;
    bool down = true;
    c.ApplyColumnEditor(rows, sort, down);
    EXPECT_EQ(c.VisibleCount(), int32_t(k.Shown.size())) << k.What;
    EXPECT_EQ(sort, k.ExpectedSort) << k.What;
    EXPECT_EQ(down, k.ExpectedDown) << k.What;
  }
}

TEST(ZmListColumnInfo, EditorRowsNamingNoColumnAreSkipped) {
  TZmColumnInfos infos = MakeFileListColumns();
  TZmListColumnInfos& c = infos.ColumnInfos();
  std::vector<TZmColumnEditorRow> rows{
      {false, "", 1, 13}, {false, "", 1, -1}, {true, "", 40, kSize}, {false, "", 1, 1 << 30}};
  for (int i = 0; i < 20; ++i) rows.push_back({true, "", 5, kPath});  // more rows than columns
  int32_t sort = kName;
  bool down = false;
  c.ApplyColumnEditor(rows, sort, down);
  EXPECT_EQ(c.Items(kSize).Order(), 2);
  EXPECT_EQ(c.Items(kSize).Width, 40);
  EXPECT_EQ(c.Items(kPath).Width, 5);
  EXPECT_TRUE(OrdersArePermutation(c));
}

}  // namespace
