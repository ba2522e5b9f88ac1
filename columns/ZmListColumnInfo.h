// The persisted column layout of a report list: one TZmListColumnInfo per column kind, held by a
// TZmListColumnInfos collection inside a TZmColumnInfos component.
//
// An item's index in its collection is its column kind; it never changes while the collection
// lives, and list views tag each of their columns with it. The items' orders are always a
// permutation of 0..Count()-1: a new item takes the next order, and writing an order swaps it
// with the item that held it. User-interface thread only; no Qt.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TMemIniFile;
class TZmColumnInfos;
class TZmListColumnInfos;

// Stored as its position: left, right, centre.
enum TZmAlignment : int32_t { taLeftJustify, taRightJustify, taCenter };

class TZmListColumnInfo {
 public:
  TZmListColumnInfo(const TZmListColumnInfo&) = delete;
  TZmListColumnInfo& operator=(const TZmListColumnInfo&) = delete;

  TZmAlignment Alignment = taLeftJustify;
  bool AutoSize = false;  // the column takes the width the list has left
  std::string Caption;
  int32_t ImageIndex = -1;  // header image, -1 for none
  int32_t MaxWidth = 0;     // 0: no maximum
  int32_t MinWidth = 0;     // 0: no minimum
  int32_t Width = 50;
  std::string IdentName;  // prefix of the INI keys; "ZmListColumnInfo<index>" unless set
  bool Visible = true;

  // Factory visibility and width; setting either also sets the live value.
  bool DefaultVisible() const { return DefaultVisible_; }
  void SetDefaultVisible(bool value);
  int32_t DefaultWidth() const { return DefaultWidth_; }
  void SetDefaultWidth(int32_t value);

  // Display position among all columns, shown or not. A value outside 0..Count()-1 is ignored;
  // otherwise the item that holds it takes this item's old order.
  int32_t Order() const { return Order_; }
  void SetOrder(int32_t value);

  // The column kind.
  int32_t Index() const { return Index_; }
  // Position among the visible columns, -1 when hidden.
  int32_t VisibleIndex() const;
  // Caption, or the generic item name when the caption is empty.
  std::string DisplayName() const;
  TZmListColumnInfos& Collection() const { return Collection_; }

  // Copies all twelve properties; the result equals the source even though the default setters
  // touch the live values. The order goes through SetOrder, so the orders stay a permutation.
  void Assign(const TZmListColumnInfo& source);

 private:
  friend class TZmListColumnInfos;
  TZmListColumnInfo(TZmListColumnInfos& collection, int32_t index);

  TZmListColumnInfos& Collection_;
  int32_t Index_;
  int32_t Order_;
  bool DefaultVisible_ = true;
  int32_t DefaultWidth_ = 50;
};

// One row of the column editor of the options dialog, in the form the dialog's list shows it.
struct TZmColumnEditorRow {
  bool Checked;         // the column is visible
  std::string Caption;  // the column caption
  int Width;            // width in pixels
  int Index;            // the column kind
};

class TZmListColumnInfos {
 public:
  explicit TZmListColumnInfos(TZmColumnInfos* owner = nullptr) : Owner_(owner) {}
  TZmListColumnInfos(const TZmListColumnInfos&) = delete;
  TZmListColumnInfos& operator=(const TZmListColumnInfos&) = delete;

  int32_t Count() const { return int32_t(Items_.size()); }
  // Throws std::out_of_range outside 0..Count()-1.
  TZmListColumnInfo& Items(int32_t index) const;
  // Appends an item with the defaults, order Count()-1 and IdentName "ZmListColumnInfo<index>".
  TZmListColumnInfo& Add();
  void Clear() { Items_.clear(); }
  // Replaces the items by copies of the source's items (the section name stays).
  void Assign(const TZmListColumnInfos& source);

  // The item with that order, or null.
  TZmListColumnInfo* FindByOrder(int32_t order) const;
  int32_t VisibleCount() const;
  // The item at that visible position, or null.
  TZmListColumnInfo* FindByVisibleIndex(int32_t position) const;

  // Three keys per item, in item order: <IdentName>_Visible, _Order, _Width. Missing keys take
  // DefaultVisible, the item's index and DefaultWidth; orders go through the swap rule, so an
  // out-of-range order leaves the previous one and the orders stay a permutation.
  void LoadFromIni(const TMemIniFile& ini);
  void SaveToIni(TMemIniFile& ini) const;

  // The column editor exchange. FillColumnEditor lists the items in display order with their
  // live state; FillColumnEditorDefaults lists them in item order with their factory state.
  void FillColumnEditor(std::vector<TZmColumnEditorRow>& rows) const;
  void FillColumnEditorDefaults(std::vector<TZmColumnEditorRow>& rows) const;
  // Row r gives the item of the row's Index the order r, its visibility and width. Rows naming
  // no item are skipped. When the sort column (sortColumnIndex) is then hidden or names no item,
  // the column at visible position 0 becomes the sort column, ascending; with no visible column
  // the sort state is left alone.
  void ApplyColumnEditor(const std::vector<TZmColumnEditorRow>& rows, int32_t& sortColumnIndex,
                         bool& sortDown);

  std::string IniSectionName = "DesignColumn";
  TZmColumnInfos* Owner() const { return Owner_; }

 private:
  TZmColumnInfos* Owner_;
  std::vector<std::unique_ptr<TZmListColumnInfo>> Items_;
};

// The factory description of one column, for building layouts from tables.
struct TZmColumnSpec {
  const char* IdentName;
  const char* Caption;
  TZmAlignment Alignment;
  int32_t DefaultWidth;
  bool DefaultVisible;
};

// The layout component that list views and the settings code refer to.
class TZmColumnInfos {
 public:
  TZmColumnInfos() : ColumnInfos_(this) {}
  // A layout with one item per column description, in that order, each at its factory state.
  explicit TZmColumnInfos(std::span<const TZmColumnSpec> specs);
  TZmColumnInfos(const TZmColumnInfos&) = delete;
  TZmColumnInfos& operator=(const TZmColumnInfos&) = delete;

  TZmListColumnInfos& ColumnInfos() { return ColumnInfos_; }
  const TZmListColumnInfos& ColumnInfos() const { return ColumnInfos_; }
  // Copies the given collection item by item.
  void SetColumnInfos(const TZmListColumnInfos& source) { ColumnInfos_.Assign(source); }

  const std::string& IniSectionName() const { return ColumnInfos_.IniSectionName; }
  void SetIniSectionName(std::string name) { ColumnInfos_.IniSectionName = std::move(name); }

 private:
  TZmListColumnInfos ColumnInfos_;
};

// The main file list's twelve columns, in column-kind order (the file list's sort modes).
std::span<const TZmColumnSpec> FileListColumnSpecs();
// A fresh layout of the main file list, section "DesignColumn", at its factory state.
TZmColumnInfos MakeFileListColumns();
