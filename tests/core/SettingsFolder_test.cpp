#include <gtest/gtest.h>

#include "platform/AppPaths.h"

namespace {

// Where kirvane.ini and folder.txt go for a program in a given place.
TEST(SettingsFolder, PortableOnlyOutsideSystemAndInstalledFolders) {
  const struct {
    const char* Case;
    const char* ConfigDir;
    const char* Program;
    bool Writable;
    bool DataFolder;
    const char* Xdg;
    const char* Home;
    const char* Expected;
  } cases[] = {
      {"build folder", "", "/home/u/kirvane/build/bin/", true, false, "", "/home/u", "/home/u/kirvane/build/bin/"},
      {"unpacked portable copy", "", "/home/u/apps/kv/", true, false, "", "/home/u", "/home/u/apps/kv/"},
      {"override", "/tmp/t", "/home/u/kirvane/build/bin/", true, false, "/x", "/home/u", "/tmp/t/"},
      {"override wins over installed", "/tmp/t/", "/usr/bin/", false, true, "", "/home/u", "/tmp/t/"},
      {"packaged", "", "/usr/bin/", false, true, "/home/u/cfg", "/home/u", "/home/u/cfg/kirvane/"},
      {"make install run as root", "", "/usr/local/bin/", true, true, "", "/root", "/root/.config/kirvane/"},
      {"copied into /usr/local/bin", "", "/usr/local/bin/", true, false, "", "/root", "/root/.config/kirvane/"},
      {"/opt", "", "/opt/kirvane/", true, false, "", "/home/u", "/home/u/.config/kirvane/"},
      {"per-user install", "", "/home/u/.local/bin/", true, true, "", "/home/u", "/home/u/.config/kirvane/"},
      {"staged install", "", "/tmp/stage/usr/local/bin/", true, true, "/tmp/x", "/h", "/tmp/x/kirvane/"},
      {"read-only folder", "", "/media/cd/kv/", false, false, "", "/home/u", "/home/u/.config/kirvane/"},
      {"relative XDG_CONFIG_HOME ignored", "", "/usr/bin/", false, true, "cfg", "/home/u", "/home/u/.config/kirvane/"},
      {"no home", "", "/usr/bin/", false, true, "", "", "/tmp/kirvane/"},
      {"/usrlocal is no system folder", "", "/usrlocal/kv/", true, false, "", "/h", "/usrlocal/kv/"},
  };
  for (const auto& c : cases) {
    TSettingsPlaceFacts facts;
    facts.ConfigDir = c.ConfigDir;
    facts.ProgramFolder = c.Program;
    facts.ProgramFolderWritable = c.Writable;
    facts.ProgramDataFolder = c.DataFolder;
    facts.XdgConfigHome = c.Xdg;
    facts.Home = c.Home;
    EXPECT_EQ(ChooseSettingsFolder(facts), c.Expected) << c.Case;
  }
}

TEST(SettingsFolder, DataFolderOfAnInstalledProgram) {
  EXPECT_EQ(InstalledDataFolder("/usr/bin/"), "/usr/share/kirvane/");
  EXPECT_EQ(InstalledDataFolder("/tmp/stage/usr/local/bin/"), "/tmp/stage/usr/local/share/kirvane/");
  EXPECT_EQ(InstalledDataFolder("/bin/"), "/share/kirvane/");
  EXPECT_EQ(InstalledDataFolder("/home/u/kv/"), "");
  EXPECT_EQ(InstalledDataFolder("/home/u/sbin/"), "");
}

}  // namespace
