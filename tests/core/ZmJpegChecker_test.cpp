// The JPEG check component over a listed folder of files with known result codes: results in the
// records, events on the user-interface thread, stopping, restarting and destroying mid-check.
#include "jpeg/ZmJpegChecker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <system_error>
#include <thread>

#include "catalogue/ZmFileInfos.h"
#include "tests/core/JpegTestBytes.h"

namespace {

using namespace std::chrono_literals;

// A result that tells when it is freed.
struct TCountedInfo : TZmJpegInfo {
  explicit TCountedInfo(int& freed) : Freed(freed) { Result = jrNoError; }
  ~TCountedInfo() override { ++Freed; }
  int& Freed;
};

class JpegCheckerTest : public ::testing::Test {
 protected:
  // Files named so that the list's name order is the order of this table.
  struct TFile {
    const char* Name;
    TBytes Bytes;
    TZmJpegResult Code;
  };
  void SetUp() override {
    const TBytes ok = MinimalJpeg();
    const TBytes sof0 = {0xFF, 0xC0};
    const size_t frame = size_t(std::search(ok.begin(), ok.end(), sof0.begin(), sof0.end()) - ok.begin());
    ASSERT_EQ(ExpectedCodeForCut(ok, ok.size() - 4), jrDamaged);
    ASSERT_EQ(ExpectedCodeForCut(ok, frame + 5), jrAnalysisFailed);
    Files = {{"a-ok.jpg", ok, jrNoError},
             {"b-appended.jpg", Concat(ok, TBytes(10, 0x20)), jrAppendedData},
             {"c-cut-scan.jpg", Cut(ok, ok.size() - 4), jrDamaged},
             {"d-cut-header.jpg", Cut(ok, frame + 5), jrAnalysisFailed},
             {"e-missing.jpg", ok, jrFileNotFound},
             {"f-empty.jpg", {}, jrEmptyFile},
             {"g-text.jpg", TBytes(40, 'x'), jrNotJpeg}};
    for (const TFile& f : Files) WriteBytes(Dir.Path() + f.Name, f.Bytes);
    Dir.Folder("h-folder.jpg");  // listed with its files: a folder is no existing file
    Infos.SetOptions(filoIncludePath);
    Infos.SetPath(Dir.Path());
    Infos.List().MakeList();
    Infos.List().Sort();
    std::filesystem::remove(Dir.Path() + "e-missing.jpg");
    Checker.FileInfos = &Infos;
    Checker.OnStartExecute = [this] { Events += IsMainThread() && Checker.Running() ? "S" : "s?"; };
    Checker.OnProgress = [this] { Events += IsMainThread() && Checker.Running() ? "P" : "p?"; };
    Checker.OnTerminate = [this] { Events += IsMainThread() && !Checker.Running() ? "T" : "t?"; };
  }
  void PumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!done() && std::chrono::steady_clock::now() < deadline) CheckSynchronize(5);
    for (int i = 0; i < 3; ++i) CheckSynchronize(1);  // let a self-freeing worker go
  }
  int Ended() const { return int(std::count(Events.begin(), Events.end(), 'T')); }
  std::vector<TZmJpegResult> Codes() const {
    std::vector<TZmJpegResult> codes;
    for (const TZmFileInfo* r : Infos.List().VisibleItems())
      codes.push_back(r->JpegInfo ? r->JpegInfo->Result : jrNotAnalyzed);
    return codes;
  }
  // A slow analysis, so that a test can act while the check runs.
  void SlowDown() {
    Checker.Analyzer = [](const std::string& name, TZmJpegInfo& info) {
      std::this_thread::sleep_for(3ms);
      AnalyzeJpegFile(name, info);
    };
  }

  const std::vector<TZmJpegResult> AllCodes{jrNoError,      jrAppendedData, jrDamaged, jrAnalysisFailed,
                                            jrFileNotFound, jrEmptyFile,    jrNotJpeg, jrFileNotFound};
  TTempDir Dir;
  std::vector<TFile> Files;
  TZmFileInfos Infos;
  TZmThreadJpegChecker Checker;
  std::string Events;
};

TEST_F(JpegCheckerTest, EveryRecordGetsItsResultAndTheEventsComeInOrderOnTheMainThread) {
  EXPECT_EQ(Checker.ErrorCount(), -1);
  Checker.ProgressInterval = 0ms;  // one progress step per file
  std::vector<float> progress;
  std::vector<size_t> storedAtProgress;
  Checker.OnProgress = [&] {
    progress.push_back(Checker.Progress());
    const std::vector<TZmJpegResult> codes = Codes();
    storedAtProgress.push_back(size_t(std::find(codes.begin(), codes.end(), jrNotAnalyzed) - codes.begin()));
  };
  Checker.Start();
  EXPECT_TRUE(Checker.Running());
  EXPECT_EQ(Checker.ErrorCount(), 0);
  PumpUntil([&] { return Ended() == 1; });
  EXPECT_EQ(Events, "ST");
  EXPECT_EQ(Codes(), AllCodes);
  EXPECT_EQ(Checker.ErrorCount(), 6);
  EXPECT_FLOAT_EQ(Checker.Progress(), 1.0f);
  ASSERT_EQ(progress.size(), 8u);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_FLOAT_EQ(progress[i], float(i + 1) / 8) << i;
    EXPECT_EQ(storedAtProgress[i], i + 1) << "results are in the records when progress is reported";
  }
}

TEST_F(JpegCheckerTest, ACheckAgainReplacesAndFreesEveryResult) {
  int freed = 0;
  for (TZmFileInfo* r : Infos.List().VisibleItems()) r->SetJpegInfo(std::make_unique<TCountedInfo>(freed));
  WriteBytes(Dir.Path() + "c-cut-scan.jpg", MinimalJpeg());  // mended since the last check
  Checker.Start();
  PumpUntil([&] { return Ended() == 1; });
  EXPECT_EQ(freed, 8);
  std::vector<TZmJpegResult> mended = AllCodes;
  mended[2] = jrNoError;
  EXPECT_EQ(Codes(), mended);
  EXPECT_EQ(Checker.ErrorCount(), 5);
}

TEST_F(JpegCheckerTest, AReadFailureIsAFailedAnalysisNotAnOldVerdict) {
  int freed = 0;
  Infos.List().Items(0)->SetJpegInfo(std::make_unique<TCountedInfo>(freed));
  Checker.Analyzer = [](const std::string& name, TZmJpegInfo& info) {
    AnalyzeJpegFile(name, info);
    if (name.ends_with("a-ok.jpg")) throw std::system_error(EIO, std::generic_category(), "read");
  };
  Checker.Start();
  PumpUntil([&] { return Ended() == 1; });
  EXPECT_EQ(freed, 1);
  std::vector<TZmJpegResult> failed = AllCodes;
  failed[0] = jrAnalysisFailed;
  EXPECT_EQ(Codes(), failed);
  EXPECT_EQ(Infos.List().Items(0)->JpegInfo->Width, -1);  // nothing of the half-filled result
  EXPECT_EQ(Checker.ErrorCount(), 7);
}

TEST_F(JpegCheckerTest, StopKeepsTheResultsSoFarAndACheckAfterwardsRunsToTheEnd) {
  Checker.Stop();  // idle: nothing happens
  EXPECT_EQ(Events, "");
  EXPECT_EQ(Checker.ErrorCount(), -1);

  SlowDown();
  Checker.ProgressInterval = 0ms;
  Checker.Start();
  PumpUntil([&] { return Checker.Progress() >= 2.0f / 8; });
  Infos.List().SortDown = true;  // reordering the list meanwhile does not move the results
  Infos.List().Sort();
  Checker.Stop();
  EXPECT_FALSE(Checker.Running());
  EXPECT_EQ(Ended(), 1);
  Infos.List().SortDown = false;
  Infos.List().Sort();
  const std::vector<TZmJpegResult> codes = Codes();
  const size_t stored = size_t(std::find(codes.begin(), codes.end(), jrNotAnalyzed) - codes.begin());
  EXPECT_GE(stored, 2u);
  EXPECT_LT(stored, 8u);
  EXPECT_EQ(std::vector<TZmJpegResult>(codes.begin(), codes.begin() + long(stored)),
            std::vector<TZmJpegResult>(AllCodes.begin(), AllCodes.begin() + long(stored)));
  EXPECT_TRUE(std::all_of(codes.begin() + long(stored), codes.end(),
                          [](TZmJpegResult c) { return c == jrNotAnalyzed; }));
  EXPECT_FLOAT_EQ(Checker.Progress(), float(stored) / 8);

  Checker.Start();
  PumpUntil([&] { return Ended() == 2; });
  EXPECT_EQ(Codes(), AllCodes);
  EXPECT_EQ(Checker.ErrorCount(), 6);
}

TEST_F(JpegCheckerTest, StartingWhileRunningStopsTheFirstCheckBeforeTheSecond) {
  SlowDown();
  Checker.ProgressInterval = 0ms;
  Checker.Start();
  PumpUntil([&] { return Checker.ErrorCount() >= 1; });
  Checker.Start();
  EXPECT_EQ(Ended(), 1);  // the first check's end event ran inside Start
  EXPECT_EQ(Checker.ErrorCount(), 0);
  EXPECT_TRUE(Checker.Running());
  PumpUntil([&] { return Ended() == 2; });
  EXPECT_EQ(Codes(), AllCodes);
  EXPECT_EQ(Checker.ErrorCount(), 6);
}

TEST_F(JpegCheckerTest, StopAndStartFromInsideTheEventsDoNotDeadlock) {
  Checker.ProgressInterval = 0ms;
  int calls = 0;
  Checker.OnProgress = [&] {
    if (++calls == 3) Checker.Stop();  // only asks: the worker waits for this very call
  };
  Checker.Start();
  PumpUntil([&] { return Ended() == 1; });
  // At least the three reported results, and those analysed meanwhile: a prefix of the list.
  const std::vector<TZmJpegResult> codes = Codes();
  const size_t stored = size_t(std::find(codes.begin(), codes.end(), jrNotAnalyzed) - codes.begin());
  EXPECT_GE(stored, 3u);
  EXPECT_TRUE(std::equal(codes.begin(), codes.begin() + long(stored), AllCodes.begin()));
  EXPECT_TRUE(std::all_of(codes.begin() + long(stored), codes.end(), [](TZmJpegResult c) { return c == jrNotAnalyzed; }));

  calls = 0;
  Checker.OnProgress = [&] {
    if (++calls == 2) Checker.Start();  // begins once the running check has ended
  };
  Checker.Start();
  PumpUntil([&] { return Ended() == 3; });
  EXPECT_EQ(Events, "STSTST");
  EXPECT_EQ(Codes(), AllCodes);
  EXPECT_EQ(Checker.ErrorCount(), 6);
}

TEST_F(JpegCheckerTest, DestroyingTheCheckerDuringACheckIsSafeAndSilent) {
  auto checker = std::make_unique<TZmThreadJpegChecker>();
  checker->FileInfos = &Infos;
  std::atomic<int> analysed{0};
  checker->Analyzer = [&](const std::string& name, TZmJpegInfo& info) {
    ++analysed;
    std::this_thread::sleep_for(3ms);
    AnalyzeJpegFile(name, info);
  };
  bool ended = false;
  checker->OnTerminate = [&] { ended = true; };
  checker->Start();
  while (analysed < 2) CheckSynchronize(1);
  checker.reset();
  EXPECT_FALSE(ended);
  const std::vector<TZmJpegResult> codes = Codes();
  EXPECT_EQ(codes[0], jrNoError);  // handed over before the worker ended
}

TEST(JpegChecker, AnEmptyListOrNoListEndsAtOnce) {
  TZmThreadJpegChecker checker;
  std::string events;
  checker.OnStartExecute = [&] { events += 'S'; };
  checker.OnProgress = [&] { events += 'P'; };
  checker.OnTerminate = [&] { events += 'T'; };
  checker.Start();
  while (events.size() < 2) CheckSynchronize(5);
  EXPECT_EQ(events, "ST");
  EXPECT_EQ(checker.ErrorCount(), 0);
  EXPECT_FLOAT_EQ(checker.Progress(), 0);
}

}  // namespace
