#include "app/RecentFolders.h"

#include <gtest/gtest.h>

#include "app/FileListTexts.h"
#include "catalogue/FormatSettings.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(RecentFolders, LineEndsOnReading) {
  EXPECT_EQ(ParseRecentFolders(""), TRecentFolders{});
  EXPECT_EQ(ParseRecentFolders("/a/\r\n/b/\n\n/c/\r/d/"), (TRecentFolders{"/a/", "/b/", "", "/c/", "/d/"}));
  EXPECT_EQ(ParseRecentFolders("/a/\r\n"), TRecentFolders{"/a/"});  // a final line end adds nothing
  EXPECT_EQ(ParseRecentFolders("\r\n"), TRecentFolders{""});
}

TEST(RecentFolders, RecordingMovesToTheTopWithoutDuplicates) {
  TRecentFolders list;
  RecordRecentFolder(list, "/a/");
  RecordRecentFolder(list, "/b/");
  EXPECT_EQ(list, (TRecentFolders{"/b/", "/a/"}));
  RecordRecentFolder(list, "/a/");
  EXPECT_EQ(list, (TRecentFolders{"/a/", "/b/"}));
  RecordRecentFolder(list, "/A/");  // another folder on a case-sensitive file system
  EXPECT_EQ(list, (TRecentFolders{"/A/", "/a/", "/b/"}));
  RecordRecentFolder(list, "");
  EXPECT_EQ(list.size(), 3u);
}

TEST(RecentFolders, FileRoundTripWithCrLfAndNonAsciiNames) {
  TTempDir dir;
  const std::string path = dir.Path() + "folder.txt";
  EXPECT_TRUE(LoadRecentFolders(path).empty());  // missing file
  const TRecentFolders list{"/home/u/写真/", "", "/x/"};
  ASSERT_TRUE(SaveRecentFolders(path, list));
  const auto bytes = ReadBytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "/home/u/写真/\r\n\r\n/x/\r\n");
  EXPECT_EQ(LoadRecentFolders(path), list);
  ASSERT_TRUE(SaveRecentFolders(path, {}));
  EXPECT_TRUE(ReadBytes(path).empty());
}

TEST(FileListTexts, CellsAndStatusTexts) {
  TZmFileInfo r(true);
  r.SetPath(TZmFileInfo::SharedText("/photos/2004/"));
  r.SetTypeName(TZmFileInfo::SharedText("JPEG 画像"));
  r.SearchRec = {1025, 0x03, "a.jpg", 0, 0, 0};
  r.FindIndex = 12345;
  const char* expected[] = {"a.jpg", "/photos/2004/a.jpg", "/photos/2004/", "2004", "12,345", "2 KB",
                            "1,025", "JPEG 画像", nullptr, "RH"};
  for (int kind = 0; kind < 10; ++kind)
    if (expected[kind]) {
      EXPECT_EQ(FileListCellText(r, kind), expected[kind]) << kind;
    }
  EXPECT_EQ(FileListCellText(r, 12), "");
  r.SearchRec.Size = 1024;
  EXPECT_EQ(FileListCellText(r, 5), "1 KB");
  r.SearchRec.Size = 0;
  EXPECT_EQ(FileListCellText(r, 5), "0 KB");

  EXPECT_EQ(SelectionCountText(1234), "1,234 個のオブジェクトを選択");
  EXPECT_EQ(PositionText(4, 1234), "5 / 1,234");
  EXPECT_EQ(ObjectCountText(0), "0 個のオブジェクト");
}

TEST(FileListTexts, DatesAreLocalAndMidnightHasNoTime) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(FileTimeToText(FileTimeFromUnix(1714564800, 0)), "2024/05/01 12:00:00");
  EXPECT_EQ(FileTimeToText(FileTimeFromUnix(1714521600, 0)), "2024/05/01");  // midnight
  setenv("TZ", "Asia/Tokyo", 1);
  tzset();
  EXPECT_EQ(FileTimeToText(FileTimeFromUnix(1714564800, 0)), "2024/05/01 21:00:00");
  FormatSettings().FormatShortDate = [](const TLocalDateTime& d) { return std::to_string(d.Day) + "."; };
  EXPECT_EQ(FileTimeToText(FileTimeFromUnix(1714564800, 0)), "1. 21:00:00");
  FormatSettings().FormatShortDate = nullptr;
  setenv("TZ", "UTC", 1);
  tzset();
}

}  // namespace
