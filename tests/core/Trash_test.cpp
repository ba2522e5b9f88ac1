// The trash: where files land, what their info files say, and that nothing moves when no trash
// can take a file. Every test runs in an empty current folder and checks that it stays empty.
#include "platform/Trash.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>

#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

const std::string Uid = std::to_string(getuid());
// "my photo 100%" + byte 0xFF + ".jpg": a space, a percent sign and a byte that is not UTF-8.
const std::string OddName = "my photo 100%\xFF.jpg";
const std::string OddNameEncoded = "my%20photo%20100%25%FF.jpg";

std::string Text(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

unsigned Mode(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

void SetEnv(const char* name, const std::optional<std::string>& value) {
  if (value) setenv(name, value->c_str(), 1);
  else unsetenv(name);
}

std::optional<std::string> GetEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

class TrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Root = fs::canonical(Temp.Path()).string() + "/";
    Cwd = Temp.Folder("cwd");
    SavedCwd = fs::current_path();
    fs::current_path(Cwd);
    for (const char* name : {"XDG_DATA_HOME", "HOME", "TZ"}) Saved.emplace_back(name, GetEnv(name));
    SetEnv("XDG_DATA_HOME", Root + "data/share");
    SetEnv("HOME", Root + "home");
    // Nine hours off UTC, so a date written in UTC instead of local time shows.
    SetEnv("TZ", "JST-9");
    tzset();
    Started = std::time(nullptr);
  }

  void TearDown() override {
    EXPECT_TRUE(fs::is_empty(Cwd)) << "something was written into the current folder";
    fs::current_path(SavedCwd);
    for (const auto& [name, value] : Saved) SetEnv(name, value);
    tzset();
  }

  // The info file of a trashed name, checked whole; its date must be local time during the test.
  void ExpectInfo(const std::string& trash, const std::string& name, const std::string& encodedPath) {
    const std::string text = Text(trash + "/info/" + name + ".trashinfo");
    const std::string head = "[Trash Info]\nPath=" + encodedPath + "\nDeletionDate=";
    ASSERT_TRUE(text.starts_with(head)) << text;
    ASSERT_EQ(text.size(), head.size() + 20) << text;
    tm date {};
    const char* end = strptime(text.c_str() + head.size(), "%Y-%m-%dT%H:%M:%S", &date);
    ASSERT_TRUE(end && *end == '\n') << text;
    date.tm_isdst = -1;
    const time_t when = mktime(&date);  // read back as local time
    EXPECT_LE(Started, when);
    EXPECT_GE(std::time(nullptr), when);
  }

  // Options that treat the folder `mnt` as a mount of its own.
  TTrashOptions MountAt(const std::string& mnt) const {
    return {[mnt](const std::string& folder) { return folder.starts_with(mnt + "/") ? mnt : std::string("/"); }};
  }

  TTempDir Temp;
  std::string Root, Cwd;
  time_t Started = 0;
  fs::path SavedCwd;
  std::vector<std::pair<const char*, std::optional<std::string>>> Saved;
};

TEST_F(TrashTest, missingHomeTrashIsCreatedPrivateAndTakesTheFile) {
  struct TCase {
    const char* Label;
    std::optional<std::string> DataHome;  // relative to Root unless it starts with "rel"
    std::string Trash;                    // expected, relative to Root
  };
  const TCase cases[] = {
      {"XDG_DATA_HOME set, missing", "data1/share", "data1/share/Trash"},
      {"XDG_DATA_HOME unset", std::nullopt, "home2/.local/share/Trash"},
      {"XDG_DATA_HOME relative, ignored", "rel/share", "home3/.local/share/Trash"},
  };
  int index = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Label);
    ++index;
    const bool relative = c.DataHome && c.DataHome->starts_with("rel");
    SetEnv("XDG_DATA_HOME", c.DataHome ? std::optional(relative ? *c.DataHome : Root + *c.DataHome) : std::nullopt);
    SetEnv("HOME", Root + "home" + std::to_string(index));
    const std::string source = Temp.File("pics/" + OddName, "picture");

    const TTrashOutcome outcome = MoveToTrash(source);

    const std::string trash = Root + c.Trash;
    ASSERT_EQ(outcome.Result, TTrashResult::Moved) << outcome.Message;
    EXPECT_EQ(outcome.TrashedAs, trash + "/files/" + OddName);
    EXPECT_EQ(Text(trash + "/files/" + OddName), "picture");
    EXPECT_FALSE(Exists(source));
    for (const std::string& dir : {trash, trash + "/files", trash + "/info"}) EXPECT_EQ(Mode(dir), 0700u) << dir;
    ExpectInfo(trash, OddName, Root + "pics/" + OddNameEncoded);
  }
}

TEST_F(TrashTest, takenNameGetsAUniqueOneAndTheInfoMatches) {
  // "あ" 83 times: a name of 253 bytes, too long for its info file's name.
  std::string longName, longEncoded, shortened;
  for (int i = 0; i < 83; ++i) {
    longName += "\xE3\x81\x82";
    longEncoded += "%E3%81%82";
    if (i < 80) shortened += "\xE3\x81\x82";
  }
  struct TCase {
    std::string Name;
    std::vector<std::string> TakenFiles, TakenInfos;  // left over in the trash, without partners
    std::string Expected, InfoName;
  };
  const TCase cases[] = {
      {"a.jpg", {"a.jpg"}, {}, "a.2.jpg", "a.jpg"},
      {"a.jpg", {}, {"a.jpg"}, "a.2.jpg", "a.jpg"},
      {"a.jpg", {"a.jpg"}, {"a.2.jpg"}, "a.3.jpg", "a.jpg"},
      {"a.tar.gz", {"a.tar.gz"}, {}, "a.tar.2.gz", "a.tar.gz"},
      {"folder", {"folder"}, {}, "folder.2", "folder"},
      {".hidden", {".hidden"}, {}, ".hidden.2", ".hidden"},
      {longName + ".jpg", {}, {}, shortened + ".jpg", longEncoded + ".jpg"},
  };
  int index = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Expected);
    const std::string trash = Root + "data" + std::to_string(++index) + "/Trash";
    SetEnv("XDG_DATA_HOME", fs::path(trash).parent_path().string());
    for (const std::string& name : c.TakenFiles) WriteText(trash + "/files/" + name, "old");
    for (const std::string& name : c.TakenInfos) WriteText(trash + "/info/" + name + ".trashinfo", "old");
    const std::string source = Temp.File("pics/" + c.Name, "new");

    const TTrashOutcome outcome = MoveToTrash(source);

    ASSERT_EQ(outcome.Result, TTrashResult::Moved) << outcome.Message;
    EXPECT_EQ(outcome.TrashedAs, trash + "/files/" + c.Expected);
    EXPECT_EQ(Text(trash + "/files/" + c.Expected), "new");
    ExpectInfo(trash, c.Expected, Root + "pics/" + c.InfoName);
    for (const std::string& name : c.TakenFiles) EXPECT_EQ(Text(trash + "/files/" + name), "old");
    for (const std::string& name : c.TakenInfos) EXPECT_EQ(Text(trash + "/info/" + name + ".trashinfo"), "old");
  }
}

TEST_F(TrashTest, fileOfAnotherMountGoesToThatMountsTrash) {
  struct TCase {
    const char* Label;
    std::function<void(const std::string& mnt)> Prepare;
    std::string Trash;  // expected, relative to the mount
  };
  const auto folder = [](mode_t mode) {
    return [mode](const std::string& mnt) {
      fs::create_directory(mnt + "/.Trash");
      chmod((mnt + "/.Trash").c_str(), mode);
    };
  };
  const TCase cases[] = {
      {"no .Trash", [](const std::string&) {}, ".Trash-" + Uid},
      {"sticky .Trash", folder(01777), ".Trash/" + Uid},
      {".Trash not sticky", folder(0777), ".Trash-" + Uid},
      {".Trash a link to a sticky folder",
       [this](const std::string& mnt) {
         fs::create_directory(Root + "elsewhere");
         chmod((Root + "elsewhere").c_str(), 01777);
         fs::create_directory_symlink(Root + "elsewhere", mnt + "/.Trash");
       },
       ".Trash-" + Uid},
      {".Trash a file", [](const std::string& mnt) { WriteText(mnt + "/.Trash", ""); }, ".Trash-" + Uid},
  };
  int index = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Label);
    const std::string mnt = Root + "mnt" + std::to_string(++index);
    const std::string source = Temp.File("mnt" + std::to_string(index) + "/sub/" + OddName, "picture");
    c.Prepare(mnt);

    const TTrashOutcome outcome = MoveToTrash(source, MountAt(mnt));

    const std::string trash = mnt + "/" + c.Trash;
    ASSERT_EQ(outcome.Result, TTrashResult::Moved) << outcome.Message;
    EXPECT_EQ(Text(trash + "/files/" + OddName), "picture");
    EXPECT_FALSE(Exists(source));
    EXPECT_EQ(Mode(trash), 0700u);
    ExpectInfo(trash, OddName, "sub/" + OddNameEncoded);  // relative to the mount
    EXPECT_FALSE(Exists(Root + "data")) << "the home trash was used";
  }
  EXPECT_TRUE(fs::is_empty(Root + "elsewhere")) << "a linked .Trash was written into";
}

TEST_F(TrashTest, nothingMovesWhenTheFileSystemHasNoUsableTrash) {
  struct TCase {
    const char* Label;
    std::function<void(const std::string& mnt)> Prepare;
    bool RootBypasses = false;  // file permissions do not stop root
  };
  const TCase cases[] = {
      {"mount not writable", [](const std::string& mnt) { chmod(mnt.c_str(), 0555); }, true},
      {".Trash-$uid a file", [](const std::string& mnt) { WriteText(mnt + "/.Trash-" + Uid, ""); }},
      {".Trash-$uid a link to a folder",
       [this](const std::string& mnt) {
         fs::create_directory(Root + "elsewhere");
         fs::create_directory_symlink(Root + "elsewhere", mnt + "/.Trash-" + Uid);
       }},
      {".Trash-$uid/info a file", [](const std::string& mnt) { WriteText(mnt + "/.Trash-" + Uid + "/info", ""); }},
  };
  int index = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Label);
    ++index;
    if (c.RootBypasses && geteuid() == 0) continue;
    const std::string mnt = Root + "mnt" + std::to_string(index);
    const std::string source = Temp.File("mnt" + std::to_string(index) + "/sub/a.jpg", "picture");
    c.Prepare(mnt);

    const TTrashOutcome outcome = MoveToTrash(source, MountAt(mnt));

    EXPECT_EQ(outcome.Result, TTrashResult::NoTrash);
    EXPECT_TRUE(outcome.Message.starts_with("ごみ箱に移動できません: ")) << outcome.Message;
    EXPECT_NE(outcome.Message.find(mnt), std::string::npos) << outcome.Message;
    EXPECT_EQ(Text(source), "picture");
    EXPECT_FALSE(Exists(Root + "data")) << "the home trash was used";
    chmod(mnt.c_str(), 0755);
  }
  if (Exists(Root + "elsewhere")) {
    EXPECT_TRUE(fs::is_empty(Root + "elsewhere"));
  }
}

TEST_F(TrashTest, unusableHomeTrashMovesNothing) {
  WriteText(Root + "data", "a file where the data folder should be");
  const std::string source = Temp.File("pics/a.jpg", "picture");

  const TTrashOutcome outcome = MoveToTrash(source);

  EXPECT_EQ(outcome.Result, TTrashResult::NoTrash);
  EXPECT_TRUE(outcome.Message.starts_with("ごみ箱に移動できません: ")) << outcome.Message;
  EXPECT_EQ(Text(source), "picture");
}

TEST_F(TrashTest, refusedMovesLeaveNoInfoBehind) {
  fs::create_directories(Root + "data/share/Trash/info");
  struct TCase {
    std::string Path;
    TTrashResult Result;
  };
  const TCase cases[] = {
      {Root + "missing.jpg", TTrashResult::NotFound},
      {"/", TTrashResult::Failed},
      {Root + "pics/..", TTrashResult::Failed},
      {Root + "data", TTrashResult::Failed},  // holds the trash itself
  };
  fs::create_directory(Root + "pics");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Path);
    const TTrashOutcome outcome = MoveToTrash(c.Path);
    EXPECT_EQ(outcome.Result, c.Result);
    EXPECT_TRUE(outcome.Message.starts_with("ごみ箱に移動できません: ")) << outcome.Message;
    EXPECT_TRUE(fs::is_empty(Root + "data/share/Trash/info"));
  }
  EXPECT_TRUE(Exists(Root + "data/share/Trash/files"));
}

TEST_F(TrashTest, linksFoldersAndRelativePathsAreTrashedAsNamed) {
  const std::string trash = Root + "data/share/Trash";
  WriteText(Root + "target.jpg", "target");
  struct TCase {
    const char* Label;
    std::function<void()> Prepare;
    std::string Path, Name, InfoPath;
  };
  const TCase cases[] = {
      {"link to a file", [this] { fs::create_symlink(Root + "target.jpg", Root + "pics/link.jpg"); },
       Root + "pics/link.jpg", "link.jpg", Root + "pics/link.jpg"},
      {"dangling link", [this] { fs::create_symlink(Root + "gone.jpg", Root + "pics/dangling.jpg"); },
       Root + "pics/dangling.jpg", "dangling.jpg", Root + "pics/dangling.jpg"},
      {"folder with a trailing /", [this] { Temp.File("pics/album/b.jpg", "b"); }, Root + "pics/album/", "album",
       Root + "pics/album"},
      {"path relative to the current folder", [this] { Temp.File("cwd/c.jpg", "c"); }, "c.jpg", "c.jpg",
       Root + "cwd/c.jpg"},
      {"through a linked folder", [this] {
         Temp.File("real/d.jpg", "d");
         fs::create_directory_symlink(Root + "real", Root + "pics/via");
       },
       Root + "pics/via/d.jpg", "d.jpg", Root + "real/d.jpg"},
  };
  fs::create_directory(Root + "pics");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Label);
    c.Prepare();
    const TTrashOutcome outcome = MoveToTrash(c.Path);
    ASSERT_EQ(outcome.Result, TTrashResult::Moved) << outcome.Message;
    EXPECT_FALSE(Exists(c.Path));
    ExpectInfo(trash, c.Name, c.InfoPath);
  }
  EXPECT_EQ(fs::read_symlink(trash + "/files/link.jpg"), Root + "target.jpg");
  EXPECT_EQ(Text(Root + "target.jpg"), "target");
  EXPECT_TRUE(fs::is_symlink(trash + "/files/dangling.jpg"));
  EXPECT_EQ(Text(trash + "/files/album/b.jpg"), "b");
  EXPECT_TRUE(fs::is_symlink(Root + "pics/via"));
}

TEST(MountPointFromMountInfo, longestMountHoldingTheFolder) {
  const std::string mountInfo =
      "21 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
      "30 21 0:40 / /mnt/a rw,relatime - tmpfs none rw\n"
      "31 21 8:17 / /media/u/my\\040disk rw,relatime - vfat /dev/sdb1 rw\n"
      "32 30 0:41 /sub /mnt/a/b rw,relatime - tmpfs none rw";  // no final newline
  const std::pair<const char*, const char*> cases[] = {
      {"/home/u", "/"},
      {"/mnt/a", "/mnt/a"},
      {"/mnt/a/x", "/mnt/a"},
      {"/mnt/ab", "/"},
      {"/mnt/a/b/c", "/mnt/a/b"},
      {"/media/u/my disk/pics", "/media/u/my disk"},
  };
  for (const auto& [folder, expected] : cases) EXPECT_EQ(MountPointFromMountInfo(mountInfo, folder), expected) << folder;
}

// Real mounts need root and a private mount namespace; elsewhere the test skips.
TEST_F(TrashTest, realMountsFindTheirOwnTrash) {
  const std::string usb = Temp.Folder("usb stick"), ro = Temp.Folder("read-only");
  if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount("kvtest", usb.c_str(), "tmpfs", 0, nullptr) != 0)
    GTEST_SKIP() << "needs root and mount namespaces";
  const bool roMounted = mount("kvtest", ro.c_str(), "tmpfs", 0, nullptr) == 0;
  const std::string usbFile = Temp.File("usb stick/sub/a.jpg", "a"), roFile = Temp.File("read-only/b.jpg", "b");
  const bool roReady = roMounted && mount("kvtest", ro.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;

  const TTrashOutcome onUsb = MoveToTrash(usbFile);
  const TTrashOutcome onRo = MoveToTrash(roFile);

  EXPECT_EQ(onUsb.Result, TTrashResult::Moved) << onUsb.Message;
  EXPECT_EQ(Text(usb + ".Trash-0/files/a.jpg"), "a");
  ExpectInfo(usb + ".Trash-0", "a.jpg", "sub/a.jpg");
  EXPECT_TRUE(roReady);
  EXPECT_EQ(onRo.Result, TTrashResult::NoTrash) << onRo.Message;
  EXPECT_EQ(Text(roFile), "b");
  EXPECT_FALSE(Exists(Root + "data")) << "the home trash was used";
  umount2(usb.c_str(), MNT_DETACH);
  if (roMounted) umount2(ro.c_str(), MNT_DETACH);
}

}  // namespace
