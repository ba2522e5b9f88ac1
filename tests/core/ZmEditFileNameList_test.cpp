// The history editor's entries: folder names, sorting against numbering, deleting, purging.
#include "EtcLists/ZmEditFileNameList.h"

#include <filesystem>

#include "tests/support/TestSupport.h"

namespace {

std::vector<int> Numbers(const TZmEditFileNameList& l) {
  std::vector<int> n;
  for (int i = 0; i < l.Count(); ++i) n.push_back(l.Items(i).Number);
  return n;
}

TEST(ZmEditFileNameList, FolderOnlyName) {
  const std::pair<const char*, const char*> cases[] = {
      {"/photos/2004/", "2004"}, {"/photos/2004", "photos"}, {"/", ""}, {"", ""}, {"name", ""}, {"/a/\xFF/", "\xFF"}};
  for (const auto& [path, name] : cases) EXPECT_EQ((TZmEditFileName{1, path}.FolderOnlyName()), name) << path;
}

TEST(ZmEditFileNameList, SortingShowsAnOrderThatOnlyRenumberingKeeps) {
  const std::vector<std::string> list = {"/b/zeta/", "/a/alpha/", "/c/Mid/"};
  TZmEditFileNameList l;
  l.LoadFromStrings(list);
  l.SortByFolderName(true);
  EXPECT_EQ(l.Items(0).FileName, "/b/zeta/");
  EXPECT_EQ(l.Items(1).FileName, "/c/Mid/");  // case ignored
  EXPECT_EQ(l.SaveToStrings(), list);
  l.SortByFileName(false);
  EXPECT_EQ(Numbers(l), (std::vector<int>{2, 1, 3}));
  l.Renumber();
  EXPECT_EQ(l.SaveToStrings(), (std::vector<std::string>{"/a/alpha/", "/b/zeta/", "/c/Mid/"}));
  l.SortByNumber(true);
  EXPECT_EQ(Numbers(l), (std::vector<int>{3, 2, 1}));
}

TEST(ZmEditFileNameList, DeletingLeavesGapsAndPurgingKeepsFilesAndFolders) {
  TZmEditFileNameList l;
  l.LoadFromStrings({"1", "2", "3", "4", "5"});
  l.Delete({3, 1, 1, 99, -1});
  EXPECT_EQ(Numbers(l), (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(l.SaveToStrings(), (std::vector<std::string>{"1", "3", "5"}));

  TTempDir dir;
  const std::string folder = dir.Folder("kept/"), file = dir.File("file.jpg", "x");
  l.LoadFromStrings({folder, dir.Path() + "gone/", file, dir.Path() + "gone.jpg"});
  EXPECT_EQ(l.DeleteInvalid(), 2);
  EXPECT_EQ(l.SaveToStrings(), (std::vector<std::string>{folder, file}));
  l.Clear();
  EXPECT_TRUE(l.SaveToStrings().empty());
}

}  // namespace
