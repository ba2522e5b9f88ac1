#include "catalogue/ZmThreadFileInfoList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "catalogue/ZmFileInfos.h"
#include "options/IniFile.h"
#include "platform/FileTypes.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

// Slows the scan down after a number of entries so that a test can stop it part-way, and
// tells the test when that many entries have been seen.
class TSlowTypes final : public IFileTypeProvider {
 public:
  explicit TSlowTypes(int fastEntries) : FastEntries(fastEntries) {}
  TFileTypeInfo Query(std::string_view, bool) override {
    if (++Seen > FastEntries) std::this_thread::sleep_for(2ms);
    return {};
  }
  std::vector<std::string> IconNames() const override { return {}; }
  const int FastEntries;
  std::atomic<int> Seen{0};
};

class ThreadedListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int f = 0; f < 20; ++f)
      for (int i = 0; i < 20; ++i) Dir.File("f" + std::to_string(f) + "/" + std::to_string(i) + ".jpg", "x");
    Dir.File("top.jpg", "xy");
    List.SetPath(Dir.Path());
    List.UseThread = true;
    List.OnTerminate = [this] {
      ++Terminated;
      AbortedAtEnd.push_back(List.Aborted());
      BusyAtEnd.push_back(List.Busy());
      CountAtEnd.push_back(List.AllFiles.size());
    };
  }
  // Pumps synchronized calls until `n` end events have run (or a generous deadline passes).
  void PumpUntilTerminated(int n) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (Terminated < n && std::chrono::steady_clock::now() < deadline) CheckSynchronize(10);
  }

  TTempDir Dir;
  TZmThreadFileInfoList List;
  int Terminated = 0;
  std::vector<bool> AbortedAtEnd, BusyAtEnd;
  std::vector<size_t> CountAtEnd;
};

TEST_F(ThreadedListTest, ScanRunsOnAWorkerAndEndsWithOneEvent) {
  List.Options = filoSubFolderSearch;
  std::vector<int32_t> progress;
  List.OnFolderSearched = [&](const TZmFolderSearched& p) { progress.push_back(p.FoldersSearched); };
  List.MakeList();
  EXPECT_TRUE(List.Busy());
  EXPECT_TRUE(List.AllFiles.empty());  // nothing is published before the end
  PumpUntilTerminated(1);
  EXPECT_EQ(Terminated, 1);
  EXPECT_FALSE(List.Busy());
  EXPECT_FALSE(List.Aborted());
  EXPECT_EQ(List.Count(), 401);
  EXPECT_EQ(List.AllFiles.size(), 421u);  // 400 files, 20 folders, top.jpg
  EXPECT_EQ(List.AllFiles.back()->FindIndex, 420);
  // Reports are throttled in time; the first comes at once and the counts only grow.
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), 1);
  EXPECT_LE(progress.back(), 21);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_EQ(CountAtEnd, std::vector<size_t>{421});  // the result is in place when the event runs
}

TEST_F(ThreadedListTest, IdleMeansTheEndEventHasRun) {
  // Publishing and the end event are one step: no pump may leave the list idle before its end.
  for (int run = 1; run <= 20; ++run) {
    List.Start();
    while (List.Busy()) CheckSynchronize(1);
    ASSERT_EQ(Terminated, run);
  }
}

TEST_F(ThreadedListTest, StopWhileIdleDoesNothing) {
  List.Stop();
  EXPECT_EQ(Terminated, 0);
  EXPECT_FALSE(List.Aborted());
}

TEST_F(ThreadedListTest, StopPublishesThePartialResultBeforeReturning) {
  TSlowTypes types(50);
  List.FileTypes = &types;
  List.Options = filoSubFolderSearch;
  List.Start();
  while (types.Seen < 60) CheckSynchronize(1);
  List.Stop();
  EXPECT_EQ(Terminated, 1);
  EXPECT_FALSE(List.Busy());
  EXPECT_TRUE(List.Aborted());
  EXPECT_GE(List.AllFiles.size(), 60u);
  EXPECT_LT(List.AllFiles.size(), 421u);
  EXPECT_EQ(AbortedAtEnd, std::vector<bool>{true});
  List.Stop();  // a second stop is idle
  EXPECT_EQ(Terminated, 1);
}

TEST_F(ThreadedListTest, StartingAgainStopsTheRunningScanFirst) {
  TSlowTypes types(20);
  List.FileTypes = &types;
  List.Options = filoSubFolderSearch;
  List.Start();
  while (types.Seen < 25) CheckSynchronize(1);
  List.FileTypes = nullptr;
  List.Start();
  EXPECT_EQ(Terminated, 1);  // the first scan's end event ran inside Start
  EXPECT_TRUE(List.Busy());
  PumpUntilTerminated(2);
  EXPECT_EQ(AbortedAtEnd, (std::vector<bool>{true, false}));
  EXPECT_EQ(List.AllFiles.size(), 421u);
}

TEST_F(ThreadedListTest, ChangesDuringAScanDoNotAffectIt) {
  TSlowTypes types(10);
  List.FileTypes = &types;
  List.Options = filoSubFolderSearch;
  List.Start();
  List.SetPath(Dir.Path() + "f0");
  List.Options = 0;  // no recursion and no hidden files for the next scan
  List.SetExtList({".png"});
  PumpUntilTerminated(1);
  EXPECT_EQ(List.AllFiles.size(), 421u);  // scanned as started: recursive, from the top
  // Filtering at the end uses the list's current filter: no .png files are visible.
  EXPECT_EQ(List.Count(), 0);
}

TEST_F(ThreadedListTest, WithoutAThreadMakeListReturnsFilledAndHasRaisedTheEvent) {
  List.UseThread = false;
  List.Options = 0;
  List.MakeList();
  EXPECT_EQ(Terminated, 1);
  EXPECT_EQ(BusyAtEnd, std::vector<bool>{false});
  EXPECT_EQ(List.Count(), 1);  // top.jpg
  EXPECT_EQ(List.TotalSize(), 2);
}

TEST_F(ThreadedListTest, DestroyingTheListDuringAScanIsSafe) {
  auto list = std::make_unique<TZmThreadFileInfoList>();
  TSlowTypes types(0);
  list->FileTypes = &types;
  list->SetPath(Dir.Path());
  list->Options = filoSubFolderSearch;
  bool ended = false;
  list->OnTerminate = [&] { ended = true; };
  list->UseThread = true;
  list->MakeList();
  while (types.Seen < 3) CheckSynchronize(1);
  list.reset();
  EXPECT_FALSE(ended);  // no event into an owner that is going away
}

TEST(ThreadedListSettings, IniSectionDefaultsAndHandEditedKeys) {
  TZmFileInfos infos;
  EXPECT_EQ(infos.IniSectionName(), "OptionFileInfos");
  EXPECT_EQ(infos.Options(), filoHiddenFileView);
  EXPECT_EQ(infos.Priority(), TThreadPriority::tpHighest);
  EXPECT_FALSE(infos.SortDown());
  EXPECT_EQ(infos.SortMode(), 0);
  EXPECT_FALSE(infos.UseThread());

  TMemIniFile ini;
  ini.SetText("[OptionFileInfoList]\nHiddenFileView=0\n");  // the record's own default section: unused
  infos.SetOptions(0);
  infos.List().Defaults->LoadFromIni(ini);
  EXPECT_EQ(infos.Options(), filoHiddenFileView);

  ini.SetText("[optionfileinfos]\nIncludePath=1\nHiddenFileView=0\nSubFolderSearch=1\nPriority=9\n"
              "SortDown=1\nSortMode=0x8\n");
  infos.List().Defaults->LoadFromIni(ini);
  EXPECT_EQ(infos.Options(), filoIncludePath | filoSubFolderSearch);
  EXPECT_EQ(infos.Priority(), TThreadPriority::tpHighest);  // 9 is no priority: the default
  EXPECT_TRUE(infos.SortDown());
  EXPECT_EQ(infos.SortMode(), 8);

  TMemIniFile out;
  infos.SetPriority(TThreadPriority::tpLower);
  infos.List().Defaults->SaveToIni(out);
  EXPECT_EQ(out.Text(),
            "[OptionFileInfos]\r\nHiddenFileView=0\r\nSubFolderSearch=1\r\nSortDown=1\r\nPriority=2\r\n"
            "SortMode=8\r\n\r\n");
}

}  // namespace

namespace {

TEST_F(ThreadedListTest, StopAndStartFromTheProgressEventDoNotDeadlock) {
  TSlowTypes types(0);  // slow enough for several progress reports
  List.FileTypes = &types;
  List.Options = filoSubFolderSearch;
  int calls = 0;
  List.OnFolderSearched = [&](const TZmFolderSearched&) {
    if (++calls == 2) List.Stop();  // must not wait for the worker that waits for us
  };
  List.Start();
  PumpUntilTerminated(1);
  EXPECT_EQ(AbortedAtEnd, std::vector<bool>{true});
  EXPECT_LT(List.AllFiles.size(), 421u);

  calls = 0;
  List.OnFolderSearched = [&](const TZmFolderSearched&) {
    if (++calls == 2) {
      List.FileTypes = nullptr;  // the restarted scan runs at full speed
      List.Start();              // restarts after the running scan has ended
    }
  };
  List.Start();
  PumpUntilTerminated(3);
  EXPECT_EQ(AbortedAtEnd, (std::vector<bool>{true, true, false}));
  EXPECT_EQ(List.AllFiles.size(), 421u);
}

}  // namespace
