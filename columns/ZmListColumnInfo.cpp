#include "columns/ZmListColumnInfo.h"

#include <stdexcept>

#include "options/IniFile.h"

// ---- TZmListColumnInfo ----

TZmListColumnInfo::TZmListColumnInfo(TZmListColumnInfos& collection, int32_t index)
    : IdentName("ZmListColumnInfo" + std::to_string(index)),
      Collection_(collection),
      Index_(index),
      Order_(index) {}

void TZmListColumnInfo::SetDefaultVisible(bool value) {
  DefaultVisible_ = value;
  Visible = value;
}

void TZmListColumnInfo::SetDefaultWidth(int32_t value) {
  DefaultWidth_ = value;
  Width = value;
}

void TZmListColumnInfo::SetOrder(int32_t value) {
  if (value < 0 || value >= Collection_.Count() || value == Order_) return;
  if (TZmListColumnInfo* holder = Collection_.FindByOrder(value)) holder->Order_ = Order_;
  Order_ = value;
}

int32_t TZmListColumnInfo::VisibleIndex() const {
  if (!Visible) return -1;
  int32_t hiddenBefore = 0;
  for (int32_t i = 0; i < Collection_.Count(); ++i) {
    const TZmListColumnInfo& other = Collection_.Items(i);
    if (!other.Visible && other.Order_ < Order_) ++hiddenBefore;
  }
  return Order_ - hiddenBefore;
}

std::string TZmListColumnInfo::DisplayName() const {
  return Caption.empty() ? std::string("TZmListColumnInfo") : Caption;
}

void TZmListColumnInfo::Assign(const TZmListColumnInfo& source) {
  if (&source == this) return;
  // The default setters overwrite Visible and Width, so they go first.
  SetDefaultVisible(source.DefaultVisible_);
  SetDefaultWidth(source.DefaultWidth_);
  Alignment = source.Alignment;
  AutoSize = source.AutoSize;
  Caption = source.Caption;
  ImageIndex = source.ImageIndex;
  MaxWidth = source.MaxWidth;
  MinWidth = source.MinWidth;
  Width = source.Width;
  IdentName = source.IdentName;
  Visible = source.Visible;
  SetOrder(source.Order_);
}

// ---- TZmListColumnInfos ----

TZmListColumnInfo& TZmListColumnInfos::Items(int32_t index) const {
  if (index < 0 || index >= Count()) throw std::out_of_range("TZmListColumnInfos::Items");
  return *Items_[size_t(index)];
}

TZmListColumnInfo& TZmListColumnInfos::Add() {
  Items_.push_back(std::unique_ptr<TZmListColumnInfo>(new TZmListColumnInfo(*this, Count())));
  return *Items_.back();
}

void TZmListColumnInfos::Assign(const TZmListColumnInfos& source) {
  if (&source == this) return;
  Clear();
  for (int32_t i = 0; i < source.Count(); ++i) Add();
  // Copying the orders one by one through the swap rule ends in the source's permutation:
  // setting item i's order only ever displaces an item after i.
  for (int32_t i = 0; i < source.Count(); ++i) Items(i).Assign(source.Items(i));
}

TZmListColumnInfo* TZmListColumnInfos::FindByOrder(int32_t order) const {
  for (const auto& item : Items_)
    if (item->Order() == order) return item.get();
  return nullptr;
}

int32_t TZmListColumnInfos::VisibleCount() const {
  int32_t n = 0;
  for (const auto& item : Items_)
    if (item->Visible) ++n;
  return n;
}

TZmListColumnInfo* TZmListColumnInfos::FindByVisibleIndex(int32_t position) const {
  if (position < 0) return nullptr;
  // Walk the display order and count the visible items on the way.
  int32_t seen = 0;
  for (int32_t order = 0; order < Count(); ++order) {
    TZmListColumnInfo* item = FindByOrder(order);
    if (item == nullptr || !item->Visible) continue;
    if (seen == position) return item;
    ++seen;
  }
  return nullptr;
}

void TZmListColumnInfos::LoadFromIni(const TMemIniFile& ini) {
  for (const auto& item : Items_) {
    const std::string& id = item->IdentName;
    item->Visible = ini.ReadBool(IniSectionName, id + "_Visible", item->DefaultVisible());
    item->SetOrder(ini.ReadInteger(IniSectionName, id + "_Order", item->Index()));
    item->Width = ini.ReadInteger(IniSectionName, id + "_Width", item->DefaultWidth());
  }
}

void TZmListColumnInfos::SaveToIni(TMemIniFile& ini) const {
  for (const auto& item : Items_) {
    const std::string& id = item->IdentName;
    ini.WriteBool(IniSectionName, id + "_Visible", item->Visible);
    ini.WriteInteger(IniSectionName, id + "_Order", item->Order());
    ini.WriteInteger(IniSectionName, id + "_Width", item->Width);
  }
}

void TZmListColumnInfos::FillColumnEditor(std::vector<TZmColumnEditorRow>& rows) const {
  rows.clear();
  for (int32_t order = 0; order < Count(); ++order) {
    if (const TZmListColumnInfo* item = FindByOrder(order))
      rows.push_back({item->Visible, item->Caption, item->Width, item->Index()});
  }
}

void TZmListColumnInfos::FillColumnEditorDefaults(std::vector<TZmColumnEditorRow>& rows) const {
  rows.clear();
  for (const auto& item : Items_)
    rows.push_back({item->DefaultVisible(), item->Caption, item->DefaultWidth(), item->Index()});
}

void TZmListColumnInfos::ApplyColumnEditor(const std::vector<TZmColumnEditorRow>& rows,
                                           int32_t& sortColumnIndex, bool& sortDown) {
  for (size_t r = 0; r < rows.size(); ++r) {
    const TZmColumnEditorRow& row = rows[r];
    if (row.Index < 0 || row.Index >= Count()) continue;
    TZmListColumnInfo& item = Items(row.Index);
    if (r < size_t(Count())) item.SetOrder(int32_t(r));
    item.Visible = row.Checked;
    item.Width = row.Width;
  }
  // A list sorted by a column it no longer shows would carry no sort mark at all.
  const bool sortShown = sortColumnIndex >= 0 && sortColumnIndex < Count() && Items(sortColumnIndex).Visible;
  if (sortShown) return;
  if (const TZmListColumnInfo* first = FindByVisibleIndex(0)) {
    sortColumnIndex = first->Index();
    sortDown = false;
  }
}

// ---- TZmColumnInfos ----

TZmColumnInfos::TZmColumnInfos(std::span<const TZmColumnSpec> specs) : ColumnInfos_(this) {
  for (const TZmColumnSpec& spec : specs) {
    TZmListColumnInfo& item = ColumnInfos_.Add();
    item.IdentName = spec.IdentName;
    item.Caption = spec.Caption;
    item.Alignment = spec.Alignment;
    item.SetDefaultWidth(spec.DefaultWidth);
    item.SetDefaultVisible(spec.DefaultVisible);
  }
}

namespace {

// Kind = position: these are also the file list's sort modes.
constexpr TZmColumnSpec kFileListColumns[] = {
    {"Name", "名前", taLeftJustify, 120, true},
    {"FullFileName", "フルファイル名", taLeftJustify, 120, false},
    {"Path", "フォルダ名", taLeftJustify, 120, true},
    {"PathOnly", "フォルダ名のみ", taLeftJustify, 120, false},
    {"FindIndex", "発見順", taRightJustify, 60, false},
    {"Size", "サイズ", taRightJustify, 60, true},
    {"SizeDetail", "詳細サイズ", taRightJustify, 80, false},
    {"TypeName", "種類", taLeftJustify, 100, true},
    {"LastWriteTime", "更新日時", taLeftJustify, 145, true},
    {"Attr", "属性", taLeftJustify, 50, false},
    {"CreationTime", "作成日時", taLeftJustify, 145, false},
    {"LastAccessTime", "アクセス日時", taLeftJustify, 145, false},
    {"JpegResult", "JPEGチェック", taLeftJustify, 120, false},
};

}  // namespace

std::span<const TZmColumnSpec> FileListColumnSpecs() { return kFileListColumns; }

TZmColumnInfos MakeFileListColumns() { return TZmColumnInfos(FileListColumnSpecs()); }
