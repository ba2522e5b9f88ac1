#include "app/RecentFolders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

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

// Names that are not UTF-8 keep their bytes, and a name may even hold a line end; every UTF-8
// line, whatever it holds, reads as it always did.
TEST(RecentFolders, EveryPathRoundTripsAndUtf8LinesReadAsTheyAre) {
  const TRecentFolders utf8{"/a\\xFF/", "/b%FF/", "/c\\\\/", "/写真/\xEF\xBF\xBD/", "rel/", ""};
  std::string text;
  for (const std::string& f : utf8) text += f + "\r\n";
  EXPECT_EQ(ParseRecentFolders(text), utf8);
  EXPECT_EQ(RecentFoldersText(utf8), text);

  const TRecentFolders bytes{"/x/\xFF/", "/x/\xFF\xFF/", "/x/\x83\x4E/", "/x/a\nb/", "/x/a\rb/", "/x/\xFFn/", "/x/\xFE"};
  EXPECT_EQ(ParseRecentFolders(RecentFoldersText(bytes)), bytes);
  EXPECT_EQ(RecentFoldersText({"/\xFF\r\n\x83/"}), "/\xFF\xFF\xFFr\xFFn\x83/\r\n");
  // 0xFF before anything else, in a file written by hand, stays as it is.
  EXPECT_EQ(ParseRecentFolders("/\xFFx/\xFF"), TRecentFolders{"/\xFFx/\xFF"});
}

// The list is read whole, however long; a file that is no list is reported, not read.
TEST(RecentFolders, LongListsAreReadWholeAndOtherFilesAreReported) {
  TTempDir dir;
  const std::string path = dir.Path() + "folder.txt";
  TRecentFolders many;
  for (int i = 0; i < 200000; ++i) many.push_back("/home/user/pictures/" + std::to_string(i) + "/" + std::string(70, 'x') + "/");
  ASSERT_TRUE(SaveRecentFolders(path, many));
  ASSERT_GT(ReadBytes(path).size(), 16u << 20);
  TSettingsFileStatus status;
  EXPECT_EQ(LoadRecentFolders(path, &status), many);
  EXPECT_EQ(status.State, TSettingsFileStatus::Read);

  WriteText(path, std::string(2000001, '\n'));  // two million empty entries
  EXPECT_TRUE(LoadRecentFolders(path, &status).empty());
  EXPECT_EQ(status.State, TSettingsFileStatus::Unreadable);
  std::remove(path.c_str());
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  EXPECT_TRUE(LoadRecentFolders(path, &status).empty());  // at once: a FIFO is never opened
  EXPECT_EQ(status.State, TSettingsFileStatus::Unreadable);
  std::remove(path.c_str());
  EXPECT_TRUE(LoadRecentFolders(path, &status).empty());
  EXPECT_EQ(status.State, TSettingsFileStatus::Missing);
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
