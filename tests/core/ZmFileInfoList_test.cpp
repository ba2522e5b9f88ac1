#include "catalogue/ZmFileInfoList.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>

#include "catalogue/FormatSettings.h"
#include "catalogue/ZmUtils.h"
#include "platform/FileTypes.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> VisibleNames(const TZmFileInfoList& list) {
  std::vector<std::string> names;
  for (const TZmFileInfo* r : list.VisibleItems()) names.push_back(r->FullFileName());
  return names;
}

std::vector<std::string> Relative(const TTempDir& dir, std::vector<std::string> names) {
  for (std::string& n : names) n = n.substr(dir.Path().size());
  return names;
}

class ZmFileInfoListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FormatSettings().CollationLocale = "en";
    ResetCollation();
  }
  // Scans the temporary folder with the given options and returns the visible names relative to
  // it, in list order.
  std::vector<std::string> Scan(TZmFileInfoListOptions options, std::vector<std::string> ext = {}) {
    List.Options = options;
    List.SetPath(Dir.Path());
    List.SetExtList(std::move(ext));
    List.MakeList();
    return Relative(Dir, VisibleNames(List));
  }
  static std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  }

  TTempDir Dir;
  TZmFileInfoList List;
};

TEST_F(ZmFileInfoListTest, EmptyOrMissingFolderGivesNothing) {
  EXPECT_TRUE(Scan(filoHiddenFileView | filoIncludePath | filoSubFolderSearch).empty());
  EXPECT_TRUE(List.AllFiles.empty());
  EXPECT_EQ(List.TotalSize(), 0);
  List.SetPath(Dir.Path() + "does-not-exist");
  List.MakeList();
  EXPECT_TRUE(List.AllFiles.empty());
  EXPECT_EQ(List.Path(), Dir.Path() + "does-not-exist/");
}

TEST_F(ZmFileInfoListTest, OptionsDecideWhatIsVisible) {
  Dir.File("a.jpg", "12345");
  Dir.File(".hidden.jpg", "1");
  Dir.File("sub/b.jpg", "123");
  Dir.File(".secret/c.jpg", "1234567");
  Dir.File("sub/deeper/d.jpg");

  EXPECT_EQ(Sorted(Scan(0)), (std::vector<std::string>{"a.jpg"}));
  EXPECT_EQ(List.TotalSize(), 5);
  EXPECT_EQ(Sorted(Scan(filoHiddenFileView)), (std::vector<std::string>{".hidden.jpg", "a.jpg"}));
  EXPECT_EQ(Sorted(Scan(filoIncludePath)), (std::vector<std::string>{"a.jpg", "sub"}));
  // Hidden folders are descended into whatever the hidden option says; only they themselves
  // and hidden files stay invisible.
  EXPECT_EQ(Sorted(Scan(filoSubFolderSearch)),
            (std::vector<std::string>{".secret/c.jpg", "a.jpg", "sub/b.jpg", "sub/deeper/d.jpg"}));
  EXPECT_EQ(List.TotalSize(), 5 + 7 + 3);
  EXPECT_EQ(Sorted(Scan(filoSubFolderSearch | filoIncludePath | filoHiddenFileView)),
            (std::vector<std::string>{".hidden.jpg", ".secret", ".secret/c.jpg", "a.jpg", "sub", "sub/b.jpg",
                                      "sub/deeper", "sub/deeper/d.jpg"}));
}

TEST_F(ZmFileInfoListTest, RecursiveScanIsBreadthFirstAndNumbersRecords) {
  Dir.File("top.jpg");
  Dir.File("x/x1.jpg");
  Dir.File("x/y/xy1.jpg");
  Dir.File("z/z1.jpg");
  Scan(filoSubFolderSearch | filoIncludePath);
  // Discovery order: every entry of a folder before any entry of its sub-folders.
  auto depth = [](const std::string& p) { return std::count(p.begin(), p.end(), '/'); };
  for (size_t i = 1; i < List.AllFiles.size(); ++i) {
    EXPECT_LE(depth(List.AllFiles[i - 1]->Path()), depth(List.AllFiles[i]->Path()));
    EXPECT_EQ(List.AllFiles[i]->FindIndex, int32_t(i));
  }
  EXPECT_EQ(List.SubFolders.size(), 3u);
  // Visible order after a scan is discovery order (sort mode 4 ascending).
  for (int i = 1; i < List.Count(); ++i) EXPECT_LT(List.Items(i - 1)->FindIndex, List.Items(i)->FindIndex);
  EXPECT_THROW(List.Items(List.Count()), std::out_of_range);
}

TEST_F(ZmFileInfoListTest, ExtensionFilterIgnoresCaseAndSparesFolders) {
  Dir.File("A.JPG");
  Dir.File("b.jpeg");
  Dir.File("noext");
  Dir.File("c.tar.jpg");
  Dir.Folder("x.dir");
  EXPECT_EQ(Sorted(Scan(0, {".jpg"})), (std::vector<std::string>{"A.JPG", "c.tar.jpg"}));
  EXPECT_EQ(Sorted(Scan(filoIncludePath, {".jpg"})), (std::vector<std::string>{"A.JPG", "c.tar.jpg", "x.dir"}));
  // FilterList applies new options without scanning again.
  List.SetExtList({".JPEG"});
  List.FilterList();
  EXPECT_EQ(Sorted(Relative(Dir, VisibleNames(List))), (std::vector<std::string>{"b.jpeg", "x.dir"}));
}

TEST_F(ZmFileInfoListTest, SymlinkCyclesEndAndEachFolderIsEnteredOnce) {
  Dir.File("a/pic.jpg");
  fs::create_directory_symlink(Dir.Path() + "a", Dir.Path() + "a/loop");
  fs::create_directory_symlink(Dir.Path(), Dir.Path() + "a/up");
  fs::create_directory_symlink(Dir.Path() + "a", Dir.Path() + "alias");
  Scan(filoSubFolderSearch | filoIncludePath | filoHiddenFileView);
  // "a" is reached as "a" and as "alias"; whichever comes first is entered, once.
  int pics = 0, loops = 0;
  for (const auto& r : List.AllFiles) {
    pics += r->SearchRec.Name == "pic.jpg";
    if (r->SearchRec.Name == "loop") {
      ++loops;
      EXPECT_TRUE(r->SearchRec.Attr & faDirectory);  // a link to a folder is listed as a folder
    }
  }
  EXPECT_EQ(pics, 1);
  EXPECT_EQ(loops, 1);
}

TEST_F(ZmFileInfoListTest, FactsOfEntries) {
  Dir.File("plain.jpg", "abc");
  const std::string ro = Dir.File("readonly.jpg");
  chmod(ro.c_str(), 0444);
  ASSERT_EQ(mkfifo((Dir.Path() + "pipe.jpg").c_str(), 0644), 0);
  fs::create_symlink(Dir.Path() + "missing", Dir.Path() + "dangling.jpg");
  fs::create_symlink(Dir.Path() + "plain.jpg", Dir.Path() + "link.jpg");
  // Times: a fixed last write and last access.
  const timespec times[2] = {{1714564800, 500000000}, {1700000000, 0}};  // access, write
  utimensat(AT_FDCWD, (Dir.Path() + "plain.jpg").c_str(), times, 0);

  Scan(filoHiddenFileView);
  auto find = [&](const std::string& name) -> const TZmFileInfo& {
    for (const auto& r : List.AllFiles)
      if (r->SearchRec.Name == name) return *r;
    throw std::runtime_error("no record " + name);
  };
  EXPECT_EQ(find("plain.jpg").SearchRec.Attr, 0u);
  EXPECT_EQ(find("plain.jpg").SearchRec.Size, 3);
  EXPECT_EQ(UnixSecondsFromFileTime(find("plain.jpg").SearchRec.ftLastWriteTime), 1700000000);
  EXPECT_EQ(find("plain.jpg").SearchRec.ftLastAccessTime, FileTimeFromUnix(1714564800, 500000000));
  EXPECT_NE(find("plain.jpg").SearchRec.ftCreationTime, 0u);
  EXPECT_EQ(AttrToText(find("readonly.jpg").SearchRec.Attr), "R");
  EXPECT_EQ(AttrToText(find("pipe.jpg").SearchRec.Attr), "S");
  EXPECT_EQ(find("pipe.jpg").SearchRec.Size, 0);
  EXPECT_TRUE(find("dangling.jpg").SearchRec.Attr & faSysFile);
  EXPECT_EQ(find("link.jpg").SearchRec.Size, 3);  // links are followed for the facts shown
  EXPECT_EQ(find("link.jpg").SearchRec.Attr, 0u);
}

TEST_F(ZmFileInfoListTest, FilesOf2GiBAndMoreKeepTheirSize) {
  const std::string big = Dir.File("big.jpg");
  ASSERT_EQ(truncate(big.c_str(), int64_t(3) << 30), 0);  // sparse: no disk space used
  Dir.File("empty.jpg");
  Dir.File("small.jpg", "12");
  Scan(0);
  List.SortMode = smSize;
  List.Sort();
  EXPECT_EQ(Relative(Dir, VisibleNames(List)), (std::vector<std::string>{"empty.jpg", "small.jpg", "big.jpg"}));
  EXPECT_EQ(List.TotalSize(), (int64_t(3) << 30) + 2);
}

TEST_F(ZmFileInfoListTest, NamesThatAreNotUtf8KeepTheirBytes) {
  const std::string name = "\xff\xfe\x80.jpg";
  Dir.File(name, "data");
  Scan(0, {".jpg"});
  ASSERT_EQ(List.Count(), 1);
  EXPECT_EQ(List.Items(0)->SearchRec.Name, name);
  std::ifstream in(List.Items(0)->FullFileName());
  std::string contents;
  in >> contents;
  EXPECT_EQ(contents, "data");  // the recorded name opens the file
}

// Removes the folder `Victim` when the scan asks for its type: after the scan has found it and
// before it enters it.
class TRemovingTypes final : public IFileTypeProvider {
 public:
  explicit TRemovingTypes(std::string victim) : Victim(std::move(victim)) {}
  TFileTypeInfo Query(std::string_view name, bool) override {
    if (Victim.ends_with("/" + std::string(name))) fs::remove_all(Victim);
    return {};
  }
  std::vector<std::string> IconNames() const override { return {}; }
  const std::string Victim;
};

TEST_F(ZmFileInfoListTest, AFolderThatCannotBeEnteredIsReported) {
  Dir.File("a/1.jpg");
  Dir.File("gone/2.jpg");
  Dir.File("z/3.jpg");
  TRemovingTypes types(Dir.Path() + "gone");
  List.FileTypes = &types;
  EXPECT_EQ(Sorted(Scan(filoSubFolderSearch)), (std::vector<std::string>{"a/1.jpg", "z/3.jpg"}));
  ASSERT_EQ(List.Unreadable.size(), 1u);
  EXPECT_EQ(List.Unreadable[0].Path, Dir.Path() + "gone/");
  EXPECT_EQ(List.Unreadable[0].Error, ENOENT);
  List.FileTypes = nullptr;
  Scan(filoSubFolderSearch);
  EXPECT_TRUE(List.Unreadable.empty());  // each scan reports its own
  List.SetPath(Dir.Path() + "missing");
  List.MakeList();
  ASSERT_EQ(List.Unreadable.size(), 1u);
  EXPECT_EQ(List.Unreadable[0].Path, Dir.Path() + "missing/");
}

TEST_F(ZmFileInfoListTest, FoldersAndEntriesWithoutReadPermissionAreReported) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root, where permission bits do not stop reads";
  Dir.File("open/1.jpg");
  const std::string locked = Dir.Folder("locked"), blind = Dir.Folder("blind");
  Dir.File("locked/2.jpg");
  Dir.File("blind/3.jpg");
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  ASSERT_EQ(chmod(blind.c_str(), 0444), 0);  // the names can be read, their facts cannot
  EXPECT_EQ(Scan(filoSubFolderSearch), (std::vector<std::string>{"open/1.jpg"}));
  std::vector<std::string> unreadable;
  for (const TZmUnreadable& u : List.Unreadable) {
    EXPECT_EQ(u.Error, EACCES) << u.Path;
    unreadable.push_back(u.Path);
  }
  EXPECT_EQ(Sorted(unreadable), (std::vector<std::string>{blind + "3.jpg", locked}));
  List.SetPath(locked);
  List.MakeList();
  ASSERT_EQ(List.Unreadable.size(), 1u);
  EXPECT_EQ(List.Unreadable[0].Path, locked);
}

// Removes the folder `name` of `parentFd` and everything in it, at any depth.
void RemoveTreeAt(int parentFd, const char* name) {
  const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    DIR* dir = fdopendir(fd);
    while (const dirent* e = readdir(dir)) {
      if (std::string_view(e->d_name) == "." || std::string_view(e->d_name) == "..") continue;
      if (unlinkat(fd, e->d_name, 0) != 0) RemoveTreeAt(fd, e->d_name);
    }
    closedir(dir);
  }
  unlinkat(parentFd, name, AT_REMOVEDIR);
}

TEST_F(ZmFileInfoListTest, TreesDeeperThanTheLongestPathAreListedWhole) {
  // 40 folders of 200-character names, a file in each: the deeper half of the files lie beyond
  // the longest path that open() takes.
  const std::string name(200, 'd');
  int fd = open(Dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::string expected = Dir.Path();
  for (int depth = 0; depth < 40; ++depth) {
    ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
    const int sub = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    fd = sub;
    ASSERT_GE(fd, 0);
    close(openat(fd, (std::to_string(depth) + ".jpg").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    expected += name + "/";
  }
  close(fd);
  ASSERT_GT(expected.size(), size_t(PATH_MAX) * 3 / 2);
  Scan(filoSubFolderSearch);
  EXPECT_EQ(List.Count(), 40);
  EXPECT_TRUE(List.Unreadable.empty());
  EXPECT_EQ(List.Items(List.Count() - 1)->FullFileName(), expected + "39.jpg");
  const int top = open(Dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  RemoveTreeAt(top, name.c_str());  // too deep for the temporary folder's own clean-up
  close(top);
}

class TFakeTypes final : public IFileTypeProvider {
 public:
  TFileTypeInfo Query(std::string_view name, bool isFolder) override {
    ++Queries;
    if (isFolder) return {Folder, 1};
    return {name.ends_with(".jpg") ? Jpeg : Other, 2};
  }
  std::vector<std::string> IconNames() const override { return {"a", "b", "c"}; }
  std::shared_ptr<const std::string> Folder = std::make_shared<const std::string>("Folder");
  std::shared_ptr<const std::string> Jpeg = std::make_shared<const std::string>("JPEG image");
  std::shared_ptr<const std::string> Other = std::make_shared<const std::string>("Document");
  int Queries = 0;
};

TEST_F(ZmFileInfoListTest, RecordsShareFolderAndTypeNameTexts) {
  TFakeTypes types;
  List.FileTypes = &types;
  Dir.File("s/1.jpg");
  Dir.File("s/2.jpg");
  Dir.File("s/3.txt");
  Scan(filoSubFolderSearch | filoIncludePath);
  ASSERT_EQ(List.AllFiles.size(), 4u);
  const TZmFileInfo* folder = List.AllFiles[0].get();
  EXPECT_EQ(folder->TypeName(), "Folder");
  EXPECT_EQ(folder->IconIndex, 1);
  const TZmFileInfo& a = *List.AllFiles[1];
  const TZmFileInfo& b = *List.AllFiles[2];
  EXPECT_EQ(&a.Path(), &b.Path());  // one folder string for the whole folder
  EXPECT_EQ(a.PathOnly(), "s");
  const TZmFileInfo& jpg = a.SearchRec.Name.ends_with(".jpg") ? a : b;
  EXPECT_EQ(&jpg.TypeName(), types.Jpeg.get());
}

// Records built by hand, for exact control over every sort key.
struct TRow {
  const char* Path;
  const char* Name;
  int64_t Size;
  uint32_t Attr;
  const char* Type;
  TFileTime Write, Create, Access;
  int32_t FindIndex;
};

class ZmSortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FormatSettings().CollationLocale = "en";
    ResetCollation();
    const TRow rows[] = {
        {"/b/", "same.jpg", 30, 0x01, "JPEG image", 300, 10, 5, 0},
        {"/a/", "same.jpg", 10, 0x00, "jpeg IMAGE", 100, 30, 6, 1},
        {"/c/sub/", "Apple.png", 20, 0x02, "PNG image", 200, 20, 4, 2},
        {"/", "zeta.bmp", 20, 0x04, "BMP image", 200, 40, 7, 3},
        {"/a/", "apple.png", 0, 0x00, "PNG image", 50, 50, 3, 4},
    };
    for (const TRow& r : rows) {
      auto rec = std::make_unique<TZmFileInfo>();
      rec->SetPath(TZmFileInfo::SharedText(r.Path));
      rec->SetTypeName(TZmFileInfo::SharedText(r.Type));
      rec->SearchRec = {r.Size, r.Attr, r.Name, r.Create, r.Access, r.Write};
      rec->FindIndex = r.FindIndex;
      List.AllFiles.push_back(std::move(rec));
    }
    List.Options = filoHiddenFileView;
    List.FilterList();
  }
  std::vector<std::string> Order(int32_t mode, bool down) {
    List.SortMode = mode;
    List.SortDown = down;
    List.Sort();
    return VisibleNames(List);
  }
  TZmFileInfoList List;
};

TEST_F(ZmSortTest, EveryModeWithNameTieBreakAndDescendingNegation) {
  struct Case {
    int32_t Mode;
    std::vector<std::string> Ascending;
  };
  const Case cases[] = {
      // Name (case-insensitive), then Path; "apple.png" and "Apple.png" tie on the name.
      {0, {"/a/apple.png", "/c/sub/Apple.png", "/a/same.jpg", "/b/same.jpg", "/zeta.bmp"}},
      {1, {"/a/apple.png", "/a/same.jpg", "/b/same.jpg", "/c/sub/Apple.png", "/zeta.bmp"}},
      // Path, then the name tie-break.
      {2, {"/zeta.bmp", "/a/apple.png", "/a/same.jpg", "/b/same.jpg", "/c/sub/Apple.png"}},
      // PathOnly ("" for the root, "a", "b", "sub"), then Path, then Name.
      {3, {"/zeta.bmp", "/a/apple.png", "/a/same.jpg", "/b/same.jpg", "/c/sub/Apple.png"}},
      {4, {"/b/same.jpg", "/a/same.jpg", "/c/sub/Apple.png", "/zeta.bmp", "/a/apple.png"}},
      {5, {"/a/apple.png", "/a/same.jpg", "/c/sub/Apple.png", "/zeta.bmp", "/b/same.jpg"}},
      {6, {"/a/apple.png", "/a/same.jpg", "/c/sub/Apple.png", "/zeta.bmp", "/b/same.jpg"}},
      // Type names compare without case: the two JPEG rows tie and fall back to names.
      // Names that differ only in case end with an exact comparison: "Apple" before "apple".
      {7, {"/zeta.bmp", "/a/same.jpg", "/b/same.jpg", "/c/sub/Apple.png", "/a/apple.png"}},
      {8, {"/a/apple.png", "/a/same.jpg", "/c/sub/Apple.png", "/zeta.bmp", "/b/same.jpg"}},
      {9, {"/a/apple.png", "/a/same.jpg", "/b/same.jpg", "/c/sub/Apple.png", "/zeta.bmp"}},
      {10, {"/b/same.jpg", "/c/sub/Apple.png", "/a/same.jpg", "/zeta.bmp", "/a/apple.png"}},
      {11, {"/a/apple.png", "/c/sub/Apple.png", "/b/same.jpg", "/a/same.jpg", "/zeta.bmp"}},
      // An unknown mode leaves only the name order.
      {12, {"/c/sub/Apple.png", "/a/apple.png", "/a/same.jpg", "/b/same.jpg", "/zeta.bmp"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Order(c.Mode, false), c.Ascending) << "mode " << c.Mode;
    std::vector<std::string> descending(c.Ascending.rbegin(), c.Ascending.rend());
    EXPECT_EQ(Order(c.Mode, true), descending) << "mode " << c.Mode << " descending";
  }
}

TEST_F(ZmSortTest, ComparisonIsAntisymmetricForEveryPair) {
  for (int32_t mode = 0; mode <= 12; ++mode)
    for (const auto& a : List.AllFiles)
      for (const auto& b : List.AllFiles) {
        const int ab = TZmFileInfoList::CompareFileInfos(*a, *b, mode, false);
        const int ba = TZmFileInfoList::CompareFileInfos(*b, *a, mode, false);
        EXPECT_EQ(ab, -ba) << "mode " << mode;
        EXPECT_EQ(ab == 0, a == b) << "mode " << mode << ": distinct records must not tie";
      }
}

}  // namespace
