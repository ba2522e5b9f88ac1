// The file-operation engine on real folders: conflicts, cancelling, failures and odd names. After
// every run each source file is still in place or complete at its target, never both missing, and
// no temporary file is left in the target folder.
#include "platform/FileOperation.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

// Every file of a folder (not its sub-folders) by name, with its contents.
std::map<std::string, std::string> Contents(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.is_regular_file()) files[e.path().filename().string()] = ReadText(e.path().string());
  return files;
}

std::vector<std::string> Reasons(const TFileOperationResult& r) {
  std::vector<std::string> reasons;
  for (const TFileIssue& i : r.Issues) reasons.push_back(i.Reason);
  return reasons;
}

class FileOperationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Src = Dir.Folder("src/");
    Dst = Dir.Folder("dst/");
  }
  // A source file whose contents are remembered for NothingLost.
  std::string Source(const std::string& name, const std::string& contents) {
    Sources[Src + name] = contents;
    return Dir.File("src/" + name, contents);
  }
  // Each source is where it was or complete in `target`; the target holds no temporary file.
  void ExpectNothingLost(const std::string& target) {
    const auto there = Contents(target);
    for (const auto& [path, contents] : Sources) {
      bool found = Exists(path) && ReadText(path) == contents;
      for (const auto& [name, data] : there) found = found || data == contents;
      EXPECT_TRUE(found) << path << " is lost";
    }
    for (const auto& e : fs::directory_iterator(target))
      EXPECT_FALSE(e.path().filename().string().starts_with(".kirvane-copy-")) << e.path();
  }
  TTempDir Dir;
  std::string Src, Dst;
  std::map<std::string, std::string> Sources;
};

TEST_F(FileOperationTest, ConflictAnswersAndApplyToAll) {
  struct TCase {
    TConflictAnswer Answer;
    bool All;
    int Questions;
    std::map<std::string, std::string> Target;
    size_t Skipped;
  };
  const std::map<std::string, std::string> old = {{"a.txt", "old a"}, {".b", "old b"}};
  const TCase cases[] = {
      {TConflictAnswer::Skip, false, 2, old, 2},
      {TConflictAnswer::Skip, true, 1, old, 2},
      {TConflictAnswer::Overwrite, false, 2, {{"a.txt", "new a"}, {".b", "new b"}}, 0},
      {TConflictAnswer::Overwrite, true, 1, {{"a.txt", "new a"}, {".b", "new b"}}, 0},
      {TConflictAnswer::KeepBoth, true, 1, {{"a.txt", "old a"}, {".b", "old b"}, {"a (2).txt", "new a"}, {".b (2)", "new b"}}, 0},
  };
  for (const TFileTransfer kind : {TFileTransfer::Copy, TFileTransfer::Move}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(int(c.Answer) * 10 + c.All + 100 * int(kind));
      fs::remove_all(Src), fs::remove_all(Dst), fs::create_directory(Src), fs::create_directory(Dst);
      Sources.clear();
      const std::vector<std::string> list = {Source("a.txt", "new a"), Source(".b", "new b")};
      for (const auto& [name, contents] : old) WriteText(Dst + name, contents);
      int questions = 0;
      TFileOperationCallbacks callbacks;
      callbacks.Conflict = [&](const std::string& source, const std::string& target) {
        ++questions;
        EXPECT_EQ(Dst + fs::path(source).filename().string(), target);
        return TConflictChoice{c.Answer, c.All};
      };
      const TFileOperationResult r = TransferFiles(kind, list, Dst, callbacks);
      EXPECT_EQ(questions, c.Questions);
      EXPECT_EQ(Contents(Dst), c.Target);
      EXPECT_EQ(r.Issues.size(), c.Skipped);
      for (const TFileIssue& i : r.Issues) EXPECT_EQ(i.Kind, TFileIssueKind::Declined);
      EXPECT_EQ(r.Done, 2 - c.Skipped);
      // A moved file leaves its folder; a skipped one stays.
      EXPECT_EQ(Contents(Src).size(), kind == TFileTransfer::Copy ? 2 : c.Skipped);
      ExpectNothingLost(Dst);
    }
  }
}

TEST_F(FileOperationTest, CancelInsideALargeFileLeavesNoPartialTarget) {
  const std::string big = Source("big.bin", std::string(6 << 20, 'x'));
  const std::string after = Source("after.txt", "after");
  std::atomic<bool> cancel{false};
  TFileOperationCallbacks callbacks;
  uint64_t cancelledAt = 0;
  callbacks.Cancel = &cancel;
  callbacks.Progress = [&](const TFileProgress& p) {
    EXPECT_EQ(p.BytesTotal, (6u << 20) + 5);
    if (p.BytesDone >= (2u << 20) && !cancel) cancel = true, cancelledAt = p.BytesDone;
  };
  const TFileOperationResult r = TransferFiles(TFileTransfer::Copy, {big, after}, Dst, callbacks);
  EXPECT_LT(cancelledAt, 6u << 20);  // inside the file, not after it
  EXPECT_TRUE(r.Cancelled);
  ASSERT_EQ(r.Issues.size(), 1u);
  EXPECT_EQ(r.Issues[0].Kind, TFileIssueKind::Cancelled);
  EXPECT_TRUE(fs::is_empty(Dst));
  ExpectNothingLost(Dst);
}

TEST_F(FileOperationTest, CopyKeepsPermissionsTimesAndLinks) {
  const std::string file = Source("f.sh", "#!/bin/sh\n");
  ASSERT_EQ(chmod(file.c_str(), 0741), 0);
  const timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  ASSERT_EQ(symlink("f.sh", (Src + "link").c_str()), 0);
  ASSERT_EQ(symlink("/nowhere", (Src + "dangling").c_str()), 0);
  const TFileOperationResult r = TransferFiles(TFileTransfer::Copy, {file, Src + "link", Src + "dangling"}, Dst);
  EXPECT_TRUE(r.AllDone()) << testing::PrintToString(Reasons(r));
  struct stat st {};
  ASSERT_EQ(stat((Dst + "f.sh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0741u);
  EXPECT_EQ(st.st_mtim.tv_sec, times[1].tv_sec);
  EXPECT_EQ(st.st_mtim.tv_nsec, times[1].tv_nsec);
  EXPECT_EQ(fs::read_symlink(Dst + "link"), "f.sh");
  EXPECT_EQ(fs::read_symlink(Dst + "dangling"), "/nowhere");
}

TEST_F(FileOperationTest, WhatIsRefusedOrSkippedStaysWhereItIs) {
  const std::string file = Source("self.txt", "self");
  const std::string hardLink = Dst + "self.txt";
  ASSERT_EQ(link(file.c_str(), hardLink.c_str()), 0);
  ASSERT_EQ(mkfifo((Src + "fifo").c_str(), 0600), 0);
  const std::string folder = Dir.Folder("src/sub/");
  struct TCase {
    std::string Path, Target, Reason;
    TFileIssueKind Kind;
  };
  const TCase cases[] = {
      {file, Src, "コピー元とコピー先が同じファイルです", TFileIssueKind::Failed},
      {file, Dst, "コピー元とコピー先が同じファイルです", TFileIssueKind::Failed},  // a hard link of itself
      {Src + "gone.txt", Dst, "ファイルが見つかりません", TFileIssueKind::Failed},
      {folder, Dst, "フォルダは対象外です", TFileIssueKind::Skipped},
      {Src + "fifo", Dst, "通常のファイルではありません", TFileIssueKind::Skipped},
      {file, Dir.Path() + "none/", "移動先/コピー先のフォルダが見つかりません", TFileIssueKind::Failed},
  };
  const auto overwrite = [](const std::string&, const std::string&) {
    return TConflictChoice{TConflictAnswer::Overwrite, true};
  };
  for (const TFileTransfer kind : {TFileTransfer::Copy, TFileTransfer::Move}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(c.Path + " -> " + c.Target);
      const TFileOperationResult r = TransferFiles(kind, {c.Path}, c.Target, {.Conflict = overwrite});
      ASSERT_EQ(r.Issues.size(), 1u);
      EXPECT_EQ(r.Issues[0].Kind, c.Kind);
      EXPECT_EQ(r.Issues[0].Reason, c.Reason);
      EXPECT_EQ(r.Done, 0u);
    }
  }
  EXPECT_EQ(ReadText(file), "self");
  EXPECT_TRUE(fs::is_directory(folder));
  ExpectNothingLost(Dst);
}

TEST_F(FileOperationTest, NamesWithNewlinesAndBytesThatAreNotUtf8) {
  const std::vector<std::string> list = {Source("line\nbreak.jpg", "1"), Source("\xFF\xFE.jpg", "2"),
                                         Source("a\tb\\c", "3")};
  const TFileOperationResult r = TransferFiles(TFileTransfer::Move, list, Dst);
  EXPECT_TRUE(r.AllDone());
  EXPECT_EQ(Contents(Dst), (std::map<std::string, std::string>{
                               {"line\nbreak.jpg", "1"}, {"\xFF\xFE.jpg", "2"}, {"a\tb\\c", "3"}}));
  EXPECT_EQ(NumberedName("\xFF.tar.gz", 3), "\xFF.tar (3).gz");
  EXPECT_EQ(NumberedName("noext", 2), "noext (2)");
}

// Names at the system's limits fail cleanly, with nothing lost: a numbered name that no longer
// fits, a path beyond PATH_MAX, and a temporary name a crashed run left behind.
TEST_F(FileOperationTest, NamesAtTheLimitsAndLeftoverTemporaryNames) {
  const std::string longName(251, 'n');
  const std::string full = Source(longName + ".jpg", "new");
  WriteText(Dst + longName + ".jpg", "old");
  const auto keepBoth = [](const std::string&, const std::string&) {
    return TConflictChoice{TConflictAnswer::KeepBoth, true};
  };
  TFileOperationResult r = TransferFiles(TFileTransfer::Move, {full}, Dst, {.Conflict = keepBoth});
  EXPECT_EQ(Reasons(r), std::vector<std::string>{"パスが長すぎます"});

  std::string deep = Src;
  while (deep.size() < 4200) deep += std::string(200, 'd') + "/";
  r = TransferFiles(TFileTransfer::Copy, {deep + "x.jpg"}, Dst);
  EXPECT_EQ(Reasons(r), std::vector<std::string>{"パスが長すぎます"});
  r = TransferFiles(TFileTransfer::Copy, {full}, deep);
  EXPECT_EQ(r.Done, 0u);
  ASSERT_EQ(r.Issues.size(), 1u);

  for (int serial = 1; serial <= 3; ++serial)
    WriteText(Dst + ".kirvane-copy-" + std::to_string(getpid()) + "-" + std::to_string(serial), "left");
  r = TransferFiles(TFileTransfer::Copy, {Source("c.txt", "c")}, Dst);
  EXPECT_TRUE(r.AllDone());
  EXPECT_EQ(ReadText(Dst + "c.txt"), "c");
  for (int serial = 1; serial <= 3; ++serial)
    fs::remove(Dst + ".kirvane-copy-" + std::to_string(getpid()) + "-" + std::to_string(serial));
  ExpectNothingLost(Dst);
}

TEST_F(FileOperationTest, ATargetFolderWithoutWritePermission) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root, where permission bits do not stop writes";
  const std::string file = Source("a.txt", "a");
  ASSERT_EQ(chmod(Dst.c_str(), 0555), 0);
  for (const TFileTransfer kind : {TFileTransfer::Copy, TFileTransfer::Move}) {
    const TFileOperationResult r = TransferFiles(kind, {file}, Dst);
    EXPECT_EQ(Reasons(r), std::vector<std::string>{"アクセスが拒否されました"});
  }
  ExpectNothingLost(Dst);
}

// A move to another file system copies, then removes the source only once the copy is whole.
TEST_F(FileOperationTest, MoveToAnotherFileSystem) {
  struct stat here {}, shm {};
  if (stat("/dev/shm", &shm) != 0 || stat(Dst.c_str(), &here) != 0 || shm.st_dev == here.st_dev)
    GTEST_SKIP() << "/dev/shm is not another file system here";
  char tmpl[] = "/dev/shm/kvtest-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string other = std::string(tmpl) + "/";
  const std::string file = Source("a.jpg", "picture"), big = Source("big.bin", std::string(3 << 20, 'b'));
  ASSERT_EQ(chmod(file.c_str(), 0604), 0);
  ASSERT_EQ(symlink("a.jpg", (Src + "link").c_str()), 0);
  std::atomic<bool> cancel{false};
  TFileOperationCallbacks callbacks{.Progress = [&](const TFileProgress& p) {
                                      if (p.Source == big && p.BytesDone > (1u << 20)) cancel = true;
                                    },
                                    .Cancel = &cancel};
  const TFileOperationResult r = TransferFiles(TFileTransfer::Move, {file, Src + "link", big}, other, callbacks);
  EXPECT_EQ(r.Done, 2u);
  EXPECT_TRUE(r.Cancelled);
  EXPECT_FALSE(Exists(file));
  EXPECT_FALSE(Exists(Src + "link"));
  EXPECT_EQ(ReadText(big).size(), 3u << 20);
  EXPECT_EQ(ReadText(other + "a.jpg"), "picture");
  EXPECT_EQ(fs::status(other + "a.jpg").permissions(), fs::perms(0604));
  EXPECT_EQ(fs::read_symlink(other + "link"), "a.jpg");
  EXPECT_FALSE(Exists(other + "big.bin"));
  ExpectNothingLost(other);
  fs::remove_all(other);
}

// A target that fills up while the file is copied: the source stays, no part of it remains.
TEST_F(FileOperationTest, AFullTarget) {
  if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount("kvtest", Dst.c_str(), "tmpfs", 0, "size=256k") != 0)
    GTEST_SKIP() << "needs root to mount a small file system";
  const std::string big = Source("big.bin", std::string(1 << 20, 'b'));
  const TFileOperationResult r = TransferFiles(TFileTransfer::Move, {big}, Dst);
  EXPECT_EQ(Reasons(r), std::vector<std::string>{"ディスクの空き容量が足りません"});
  EXPECT_TRUE(fs::is_empty(Dst));
  ExpectNothingLost(Dst);
  umount2(Dst.c_str(), MNT_DETACH);
}

TEST_F(FileOperationTest, DeleteAndTrashEachFile) {
  const std::string a = Source("a", "a"), b = Source("b", "b"), folder = Dir.Folder("src/sub/");
  ASSERT_EQ(symlink(a.c_str(), (Src + "link").c_str()), 0);
  TFileOperationResult r = DeleteFiles({Src + "link", b, folder, Src + "gone"});
  EXPECT_EQ(r.Done, 2u);
  EXPECT_EQ(Reasons(r), (std::vector<std::string>{"フォルダは対象外です", "ファイルが見つかりません"}));
  EXPECT_EQ(ReadText(a), "a");  // the link went, not its target
  EXPECT_FALSE(Exists(b));

  // A mount of its own whose trash cannot be made: the file stays, and the caller learns why.
  const std::string mount = fs::canonical(Src).string();
  WriteText(mount + "/.Trash-" + std::to_string(getuid()), "in the way");
  WriteText(mount + "/.Trash", "in the way");
  const TTrashOptions options{[&](const std::string& f) { return f.starts_with(mount) ? mount : std::string("/"); }};
  r = TrashFiles({a, folder}, {}, options);
  ASSERT_EQ(r.Issues.size(), 2u);
  EXPECT_EQ(r.Issues[0].Kind, TFileIssueKind::NoTrash);
  EXPECT_EQ(r.Issues[1].Kind, TFileIssueKind::Skipped);
  EXPECT_EQ(ReadText(a), "a");
}

}  // namespace
