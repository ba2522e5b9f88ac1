#include "app/ZmRecentControl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::unique_ptr<TZmRecentItem> Entry(const std::string& folder) {
  auto item = std::make_unique<TZmRecentItem>();
  item->Folder = folder;
  return item;
}

std::vector<std::string> Captions(const std::vector<TZmRecentMenuItem>& menu) {
  std::vector<std::string> out;
  for (const TZmRecentMenuItem& m : menu) out.push_back(m.Caption);
  return out;
}

std::vector<std::string> Folders(const TZmRecentControl& c) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < c.Count(); ++i) out.push_back(c.Items(i)->Folder);
  return out;
}

// The main window's configuration: captions are the entries' folders, hints as its actions'.
class ZmRecentControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    History.BaseHintBack = "戻る|前に戻ります。";
    History.BaseHintForward = "進む|次に進みます。";
    History.OnMenuItemCaptionSetEvent = [](const TZmRecentItem& item, std::string& caption) {
      caption = item.Folder;
    };
    History.OnMenusUpdated = [this] { ++MenuUpdates; };
  }
  void AddAll(const std::vector<std::string>& folders) {
    for (const std::string& f : folders) {
      auto item = Entry(f);
      ASSERT_TRUE(History.Add(item));
      ASSERT_EQ(item, nullptr);
    }
  }

  TZmRecentControl History;
  int MenuUpdates = 0;
};

TEST_F(ZmRecentControlTest, StartsEmptyWithTheBaseHints) {
  EXPECT_EQ(History.Count(), 0);
  EXPECT_EQ(History.ItemIndex(), -1);
  EXPECT_EQ(History.NowItem(), nullptr);
  EXPECT_TRUE(History.BackMenu().empty());
  EXPECT_EQ(History.HintBack(), "戻る|前に戻ります。");
  EXPECT_EQ(History.MenuItemCount, 9);
  EXPECT_EQ(History.SConnective, " に");
}

TEST_F(ZmRecentControlTest, ThreeEntriesListTheOlderOnesNearestFirst) {
  AddAll({"A", "B", "C"});
  EXPECT_EQ(History.ItemIndex(), 2);
  EXPECT_EQ(History.NowItem()->Folder, "C");
  EXPECT_EQ(Captions(History.BackMenu()), (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(History.BackMenu()[1].Tag, 0);
  EXPECT_TRUE(History.ForwardMenu().empty());
  EXPECT_EQ(History.HintBack(), "B に戻る|前に戻ります。");
  EXPECT_EQ(History.HintForward(), "進む|次に進みます。");
  EXPECT_EQ(MenuUpdates, 3);
}

TEST_F(ZmRecentControlTest, MenuClicksMoveThePositionWithoutChangingTheList) {
  AddAll({"A", "B", "C"});
  std::vector<std::pair<std::string, std::string>> clicks;
  History.OnMenuItemClick = [&](TZmRecentItem* pre, TZmRecentItem* now) {
    clicks.emplace_back(pre ? pre->Folder : "-", now ? now->Folder : "-");
  };
  History.HistoryMenuItemClick(History.BackMenu()[1].Tag);  // back two steps, to A
  EXPECT_EQ(History.ItemIndex(), 0);
  EXPECT_TRUE(History.BackMenu().empty());
  EXPECT_EQ(Captions(History.ForwardMenu()), (std::vector<std::string>{"B", "C"}));
  EXPECT_EQ(History.HintBack(), "戻る|前に戻ります。");
  EXPECT_EQ(History.HintForward(), "B に進む|次に進みます。");
  History.HistoryMenuItemClick(History.ForwardMenu()[0].Tag);  // forward one step
  EXPECT_EQ(History.NowItem()->Folder, "B");
  EXPECT_EQ(Folders(History), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(clicks, (std::vector<std::pair<std::string, std::string>>{{"C", "A"}, {"A", "B"}}));
}

TEST_F(ZmRecentControlTest, AddingAfterGoingBackDropsTheForwardPart) {
  AddAll({"A", "B", "C"});
  TZmRecentItem* a = History.Items(0);
  History.HistoryMenuItemClick(0);
  AddAll({"D"});
  EXPECT_EQ(Folders(History), (std::vector<std::string>{"A", "D"}));
  EXPECT_EQ(History.Items(0), a);  // kept, not copied
  EXPECT_EQ(History.ItemIndex(), 1);
  EXPECT_TRUE(History.ForwardMenu().empty());
  EXPECT_EQ(Captions(History.BackMenu()), (std::vector<std::string>{"A"}));
}

TEST_F(ZmRecentControlTest, MenusShowAtMostMenuItemCountEntries) {
  struct Case {
    int32_t MenuItemCount;
    size_t Shown;
  };
  for (const Case& k : {Case{9, 9}, Case{15, 15}, Case{20, 15}, Case{1, 1}, Case{0, 0}, Case{-4, 0}}) {
    TZmRecentControl h;
    h.MenuItemCount = k.MenuItemCount;
    for (int i = 0; i < 16; ++i) {
      auto item = Entry(std::to_string(i));
      h.Add(item);
    }
    // 15 older entries behind the current one.
    EXPECT_EQ(h.BackMenu().size(), k.Shown) << k.MenuItemCount;
    if (k.Shown > 0) {
      EXPECT_EQ(h.BackMenu().front().Tag, 14);
      EXPECT_EQ(h.BackMenu().back().Tag, int32_t(15 - k.Shown));
    }
    h.HistoryMenuItemClick(0);
    EXPECT_EQ(h.ForwardMenu().size(), k.Shown) << k.MenuItemCount;
    EXPECT_TRUE(h.BackMenu().empty());
  }
}

TEST_F(ZmRecentControlTest, RefusedAddChangesNothingAndLeavesTheEntryWithTheCaller) {
  AddAll({"A", "B", "C"});
  History.HistoryMenuItemClick(1);
  const int updates = MenuUpdates;
  const TZmRecentItem* judgedNow = nullptr;
  History.OnAddJudge = [&](const TZmRecentItem* now, const TZmRecentItem& add, bool& addFlag) {
    judgedNow = now;
    if (now && now->Folder == add.Folder) addFlag = false;
  };
  auto same = Entry("B");
  EXPECT_FALSE(History.Add(same));
  ASSERT_NE(same, nullptr);
  EXPECT_EQ(same->Folder, "B");
  EXPECT_EQ(judgedNow, History.Items(1));
  EXPECT_EQ(Folders(History), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(History.ItemIndex(), 1);
  EXPECT_EQ(Captions(History.ForwardMenu()), (std::vector<std::string>{"C"}));
  EXPECT_EQ(History.HintForward(), "C に進む|次に進みます。");
  EXPECT_EQ(MenuUpdates, updates);
  // A null entry is no offer at all.
  std::unique_ptr<TZmRecentItem> none;
  EXPECT_FALSE(History.Add(none));
  EXPECT_EQ(History.Count(), 3);
}

TEST(ZmRecentControl, CaptionsWithoutAHandlerAreTheDecimalIndex) {
  TZmRecentControl h;
  for (const char* f : {"x", "y", "z"}) {
    auto item = Entry(f);
    h.Add(item);
  }
  EXPECT_EQ(Captions(h.BackMenu()), (std::vector<std::string>{"1", "0"}));
  EXPECT_EQ(h.HintBack(), "1 に");
  h.SConnective = "/";
  h.BaseHintBack = "back";
  EXPECT_EQ(h.HintBack(), "1/back");
}

TEST(ZmRecentControl, StaleOrForeignTagsAreIgnored) {
  TZmRecentControl h;
  int clicks = 0;
  h.OnMenuItemClick = [&](TZmRecentItem*, TZmRecentItem*) { ++clicks; };
  h.HistoryMenuItemClick(0);  // empty history
  for (const char* f : {"x", "y"}) {
    auto item = Entry(f);
    h.Add(item);
  }
  for (int32_t tag : {-1, -7, 2, 1 << 30}) h.HistoryMenuItemClick(tag);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(h.ItemIndex(), 1);
  // A later add still keeps the whole history behind it.
  auto item = Entry("z");
  h.Add(item);
  EXPECT_EQ(h.Count(), 3);
  EXPECT_EQ(h.Items(3), nullptr);
  EXPECT_EQ(h.Items(-1), nullptr);
}

TEST(ZmRecentItem, AssignCopiesEveryField) {
  TZmRecentItem a, b;
  a.Folder = "/p/";
  a.FocusedFile = "/p/f.jpg";
  a.SelectedFiles = {"/p/f.jpg", "/p/g.jpg"};
  b.SelectedFiles = {"old"};
  b.Assign(a);
  EXPECT_EQ(b.Folder, "/p/");
  EXPECT_EQ(b.FocusedFile, "/p/f.jpg");
  EXPECT_EQ(b.SelectedFiles, a.SelectedFiles);
  b.Assign(b);
  EXPECT_EQ(b.SelectedFiles.size(), 2u);
}

}  // namespace
