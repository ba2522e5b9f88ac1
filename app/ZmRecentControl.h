// TZmRecentControl: a back/forward history of visited places, kept in memory only.
//
// The control owns its entries and a current position. It builds the contents of a back menu
// and a forward menu (the nearest entries first, at most MenuItemCount each) and the hints of a
// back and a forward action; a toolkit binding shows them (see ZmRecentMenus.h). What an entry
// holds, how it is captioned, whether a new one is accepted and what a menu click means are the
// owner's handlers. User-interface thread only; no Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TZmRecentItem {
 public:
  TZmRecentItem() = default;
  virtual ~TZmRecentItem() = default;
  TZmRecentItem(const TZmRecentItem&) = delete;
  TZmRecentItem& operator=(const TZmRecentItem&) = delete;

  // Copies FocusedFile, Folder and the contents of SelectedFiles.
  virtual void Assign(const TZmRecentItem& source);

  std::string FocusedFile;                 // full path; empty when no file had the focus
  std::string Folder;                      // with trailing "/"
  std::vector<std::string> SelectedFiles;  // full paths
};

// One generated menu item: Tag is the index of its entry.
struct TZmRecentMenuItem {
  std::string Caption;
  int32_t Tag;
};

class TZmRecentControl {
 public:
  // nowItem is the current entry or null; clearing addFlag refuses addItem.
  using TZmAddJudgeEvent =
      std::function<void(const TZmRecentItem* nowItem, const TZmRecentItem& addItem, bool& addFlag)>;
  // caption arrives as the entry's decimal index.
  using TZmMenuItemCaptionSetEvent = std::function<void(const TZmRecentItem& item, std::string& caption)>;
  // preItem: current before the click; nowItem: current after it.
  using TZmMenuItemClickEvent = std::function<void(TZmRecentItem* preItem, TZmRecentItem* nowItem)>;

  TZmRecentControl() = default;
  TZmRecentControl(const TZmRecentControl&) = delete;
  TZmRecentControl& operator=(const TZmRecentControl&) = delete;

  int32_t Count() const { return int32_t(Items_.size()); }
  // The entry at index, or null outside 0..Count()-1.
  TZmRecentItem* Items(int32_t index) const;
  // The current index, -1 when there is none (an index past the end reads as -1).
  int32_t ItemIndex() const;
  // The current entry, or null.
  TZmRecentItem* NowItem() const;

  // Offers a new entry. When OnAddJudge accepts it (or is not set), every entry after the
  // current one is destroyed, the control takes the entry (item becomes null), makes it current
  // and runs UpdateMenus; returns true. When refused, or when item is null, nothing changes and
  // item stays the caller's; returns false.
  bool Add(std::unique_ptr<TZmRecentItem>& item);

  // Rebuilds both menus (and so both hints), then calls OnMenusUpdated.
  void UpdateMenus();
  // Makes the entry with that tag current, runs UpdateMenus and then OnMenuItemClick. A tag that
  // names no entry (a stale menu item) is ignored.
  void HistoryMenuItemClick(int32_t tag);

  // The menus as of the last UpdateMenus; empty before it.
  const std::vector<TZmRecentMenuItem>& BackMenu() const { return BackMenu_; }
  const std::vector<TZmRecentMenuItem>& ForwardMenu() const { return ForwardMenu_; }
  // The action hints: first menu caption + SConnective + base hint, or the base hint alone
  // when that menu is empty.
  std::string HintBack() const { return MakeHint(BackMenu_, BaseHintBack); }
  std::string HintForward() const { return MakeHint(ForwardMenu_, BaseHintForward); }

  std::string BaseHintBack;
  std::string BaseHintForward;
  int32_t MenuItemCount = 9;
  std::string SConnective = " に";

  TZmAddJudgeEvent OnAddJudge;
  TZmMenuItemCaptionSetEvent OnMenuItemCaptionSetEvent;
  TZmMenuItemClickEvent OnMenuItemClick;
  // Told after each UpdateMenus; the toolkit binding uses it to refresh its menus and actions.
  std::function<void()> OnMenusUpdated;

 private:
  TZmRecentMenuItem MakeMenuItem(int32_t index) const;
  std::string MakeHint(const std::vector<TZmRecentMenuItem>& menu, const std::string& base) const;

  std::vector<std::unique_ptr<TZmRecentItem>> Items_;
  int32_t ItemIndex_ = -1;
  std::vector<TZmRecentMenuItem> BackMenu_;
  std::vector<TZmRecentMenuItem> ForwardMenu_;
};
