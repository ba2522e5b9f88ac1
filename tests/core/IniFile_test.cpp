#include "options/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "catalogue/FormatSettings.h"
#include "tests/support/TestSupport.h"

namespace {

TMemIniFile Parse(const std::string& text) {
  TMemIniFile ini;
  ini.SetText(text);
  return ini;
}

TEST(IniFile, ReadsIntegersInEveryNotation) {
  struct Case {
    const char* Value;
    int32_t Expected;
  };
  const Case cases[] = {
      {"500", 500},       {"-12", -12},       {"+7", 7},          {"0x1F4", 500},
      {"0X1f4", 500},     {"$1F4", 500},      {"$FFFFFFFF", -1},  {"-16777201", -16777201},
      {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
      // Not 32-bit integers: the caller's default (99).
      {"abc", 99},        {"", 99},           {"0x", 99},         {"12abc", 99},
      {"2147483648", 99}, {"$100000000", 99}, {"1.5", 99},        {"0x-1", 99},
  };
  for (const Case& c : cases) {
    TMemIniFile ini = Parse(std::string("[S]\nK=") + c.Value + "\n");
    EXPECT_EQ(ini.ReadInteger("S", "K", 99), c.Expected) << "value '" << c.Value << "'";
  }
}

TEST(IniFile, BooleansAreIntegersAndEmptyIsNotANumber) {
  TMemIniFile ini = Parse("[S]\nTwo=2\nZero=0\nEmpty=\nText=yes\n");
  EXPECT_TRUE(ini.ReadBool("S", "Two", false));
  EXPECT_FALSE(ini.ReadBool("S", "Zero", true));
  EXPECT_TRUE(ini.ReadBool("S", "Empty", true));
  EXPECT_FALSE(ini.ReadBool("S", "Empty", false));
  EXPECT_TRUE(ini.ReadBool("S", "Text", true));
  EXPECT_FALSE(ini.ReadBool("S", "Missing", false));
  // An empty value is a value, not a missing key.
  EXPECT_EQ(ini.ReadString("S", "Empty", "default"), "");
  EXPECT_EQ(ini.ReadString("S", "Missing", "default"), "default");
}

TEST(IniFile, TrimsCommentsSkipsAndDropsLinesBeforeTheFirstSection) {
  TMemIniFile ini = Parse(
      "orphan=1\r\n"
      "  [ Slide Show ]  \r\n"
      "; comment=1\r\n"
      "\t key \t=  value with = sign  \r\n"
      "bare line\r\n"
      "\r\n");
  EXPECT_FALSE(ini.ValueExists("Slide Show", "orphan"));
  EXPECT_EQ(ini.ReadString("slide show", "KEY", ""), "value with = sign");
  EXPECT_FALSE(ini.ValueExists("Slide Show", "; comment"));
  EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"Slide Show"});
  EXPECT_EQ(ini.Text(), "[Slide Show]\r\nkey=value with = sign\r\nbare line\r\n\r\n");
}

TEST(IniFile, RepeatedSectionsAndKeysUseTheFirst) {
  TMemIniFile ini = Parse("[A]\nk=1\nK=2\n[b]\nk=3\n[a]\nk=4\nonly=5\n");
  EXPECT_EQ(ini.ReadInteger("a", "k", 0), 1);
  EXPECT_FALSE(ini.ValueExists("A", "only"));  // lives in the second [a], which look-ups never reach
  EXPECT_EQ(ini.ReadInteger("B", "K", 0), 3);
  ini.WriteInteger("A", "k", 9);
  EXPECT_EQ(ini.Text(), "[A]\r\nk=9\r\nK=2\r\n\r\n[b]\r\nk=3\r\n\r\n[a]\r\nk=4\r\nonly=5\r\n\r\n");
}

TEST(IniFile, WritingAppendsKeysAndSectionsInOrder) {
  TMemIniFile ini;
  ini.WriteInteger("SlideShow", "Loop", 0);
  ini.WriteInteger("SlideShow", "ViewInterval", 3000);
  ini.WriteBool("Option", "DoNow", false);
  ini.WriteBool("SlideShow", "BarVisible", true);
  ini.WriteString("Option", "CommonSendPath", "/home/u/写真/");
  EXPECT_EQ(ini.Text(),
            "[SlideShow]\r\nLoop=0\r\nViewInterval=3000\r\nBarVisible=1\r\n\r\n"
            "[Option]\r\nDoNow=0\r\nCommonSendPath=/home/u/写真/\r\n\r\n");
  ini.Clear();
  EXPECT_EQ(ini.Text(), "");
}

TEST(IniFile, RealsUseTheLocaleSeparatorAndRoundTrip) {
  TFormatSettings saved = FormatSettings();
  for (const char* sep : {".", ","}) {
    FormatSettings().DecimalSeparator = sep;
    TMemIniFile ini;
    for (double v : {0.001, 0.3, 0.30000001192092896, 1.0, 256.0, 1e-5, 12345678.25}) {
      ini.WriteFloat("S", "Scale", v);
      EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "Scale", -1), v) << ini.ReadString("S", "Scale", "") << " sep " << sep;
    }
    ini.WriteFloat("S", "Scale", 0.5);
    EXPECT_EQ(ini.ReadString("S", "Scale", ""), std::string("0") + sep + "5");
  }
  FormatSettings().DecimalSeparator = ",";
  TMemIniFile ini = Parse("[S]\nDot=0.5\nEmpty=\nBad=x\nInf=inf\n");
  EXPECT_EQ(ini.ReadFloat("S", "Dot", 7), 7);  // the wrong separator does not convert
  EXPECT_EQ(ini.ReadFloat("S", "Empty", 7), 7);
  EXPECT_EQ(ini.ReadFloat("S", "Bad", 7), 7);
  EXPECT_EQ(ini.ReadFloat("S", "Inf", 7), 7);
  FormatSettings() = saved;
}

TEST(IniFile, HostileTextLoadsWithoutBlowUp) {
  std::string text = "\xEF\xBB\xBF[First]\nA=1\n";
  text += std::string(1 << 20, 'x') + "=" + std::string(1 << 20, '\x01') + "\n";
  static const char binary[] = "[Bin\0ary]\nk=\xff\xfe\0v\n";
  text += std::string(binary, sizeof binary - 1);
  for (int i = 0; i < 20000; ++i) text += "[S" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
  for (int i = 0; i < 20000; ++i) text += "[Same]\nk=" + std::to_string(i) + "\n";
  TMemIniFile ini = Parse(text);
  EXPECT_EQ(ini.ReadInteger("first", "a", 0), 1);  // the byte-order mark does not hide the header
  EXPECT_EQ(ini.ReadInteger("S19999", "k", 0), 19999);
  EXPECT_EQ(ini.ReadInteger("Same", "k", -1), 0);
  EXPECT_EQ(ini.ReadSections().size(), 40002u);
}

TEST(IniFile, FileRoundTripAndAtomicReplace) {
  TTempDir dir;
  const std::string path = dir.Path() + "kirvane.ini";
  {
    TMemIniFile missing(path);  // a missing file is an empty image, no error
    EXPECT_TRUE(missing.ReadSections().empty());
    missing.WriteString("Option", "CommonSendPath", "/tmp/");
    ASSERT_TRUE(missing.UpdateFile());
  }
  EXPECT_EQ(ReadBytes(path).size(), std::string("[Option]\r\nCommonSendPath=/tmp/\r\n\r\n").size());
  TMemIniFile again(path);
  EXPECT_EQ(again.ReadString("option", "commonsendpath", ""), "/tmp/");
  // No temporary file is left behind.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

// A file that is there but cannot be read is never written over: only once it is set aside as
// "<name>.bad" (an earlier one is kept) does a new file take its place.
TEST(IniFile, AnUnreadableFileIsNeverWrittenOver) {
  TTempDir dir;
  const std::string path = dir.Path() + "kirvane.ini";
  const std::string older = dir.File("kirvane.ini.bad", "older");
  const struct {
    const char* Kind;
    std::function<int()> Make;
  } kinds[] = {
      {"FIFO", [&] { return mkfifo(path.c_str(), 0600); }},  // opening it would wait for a writer
      {"folder", [&] { return mkdir(path.c_str(), 0700); }},
      {"over 64 MiB", [&] { return truncate(dir.File("kirvane.ini", "[Option]\r\n").c_str(), (64 << 20) + 1); }},
      {"dangling link", [&] { return symlink("gone", path.c_str()); }},
  };
  int asides = 0;
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.Kind);
    ASSERT_EQ(k.Make(), 0);
    TMemIniFile ini(path);
    EXPECT_EQ(ini.FileStatus().State, TSettingsFileStatus::Unreadable);
    EXPECT_TRUE(ini.ReadSections().empty());
    ini.WriteString("Option", "DoNow", "1");
    std::string error;
    EXPECT_FALSE(ini.UpdateFile(&error));
    EXPECT_FALSE(error.empty());
    ASSERT_TRUE(SetAsideSettingsFile(ini.FileStatus()));
    EXPECT_EQ(ini.FileStatus().AsidePath, path + ".bad." + std::to_string(++asides));
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(TMemIniFile(path).ReadString("Option", "DoNow", ""), "1");
    std::filesystem::remove(path);
  }
  const auto kept = ReadBytes(older);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "older");
  EXPECT_TRUE(std::filesystem::is_fifo(path + ".bad.1"));
}

}  // namespace
