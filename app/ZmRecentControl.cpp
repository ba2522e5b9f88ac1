#include "app/ZmRecentControl.h"

void TZmRecentItem::Assign(const TZmRecentItem& source) {
  if (&source == this) return;
  FocusedFile = source.FocusedFile;
  Folder = source.Folder;
  SelectedFiles = source.SelectedFiles;
}

TZmRecentItem* TZmRecentControl::Items(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return Items_[size_t(index)].get();
}

int32_t TZmRecentControl::ItemIndex() const { return ItemIndex_ > Count() - 1 ? -1 : ItemIndex_; }

TZmRecentItem* TZmRecentControl::NowItem() const { return Items(ItemIndex()); }

bool TZmRecentControl::Add(std::unique_ptr<TZmRecentItem>& item) {
  if (!item) return false;
  if (OnAddJudge) {
    bool addFlag = true;
    OnAddJudge(NowItem(), *item, addFlag);
    if (!addFlag) return false;
  }
  // A new place ends the forward part of the history, newest first.
  const int32_t keep = ItemIndex() + 1;
  while (Count() > keep) Items_.pop_back();
  Items_.push_back(std::move(item));
  ItemIndex_ = Count() - 1;
  UpdateMenus();
  return true;
}

TZmRecentMenuItem TZmRecentControl::MakeMenuItem(int32_t index) const {
  TZmRecentMenuItem menuItem{std::to_string(index), index};
  if (OnMenuItemCaptionSetEvent) OnMenuItemCaptionSetEvent(*Items_[size_t(index)], menuItem.Caption);
  return menuItem;
}

void TZmRecentControl::UpdateMenus() {
  const int32_t now = ItemIndex();
  BackMenu_.clear();
  ForwardMenu_.clear();
  // With no current entry (now = -1) only the forward menu can fill, from entry 0 on.
  for (int32_t k = 1; k <= MenuItemCount && now - k >= 0; ++k) BackMenu_.push_back(MakeMenuItem(now - k));
  for (int32_t k = 1; k <= MenuItemCount && now + k <= Count() - 1; ++k)
    ForwardMenu_.push_back(MakeMenuItem(now + k));
  if (OnMenusUpdated) OnMenusUpdated();
}

void TZmRecentControl::HistoryMenuItemClick(int32_t tag) {
  if (tag < 0 || tag >= Count()) return;
  TZmRecentItem* preItem = NowItem();
  ItemIndex_ = tag;
  UpdateMenus();
  if (OnMenuItemClick) OnMenuItemClick(preItem, NowItem());
}

std::string TZmRecentControl::MakeHint(const std::vector<TZmRecentMenuItem>& menu,
                                       const std::string& base) const {
  if (menu.empty()) return base;
  return menu.front().Caption + SConnective + base;
}
