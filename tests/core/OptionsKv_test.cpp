#include "options/OptionsKv.h"

#include <gtest/gtest.h>

#include "catalogue/ZmFileInfos.h"
#include "imageview/ZmGraphicExItemList.h"
#include "options/IniFile.h"
#include "tests/support/TestSupport.h"

namespace {

// Records what the conductor does to the windows.
class TFakeHost final : public IKirvaneOptionsHost {
 public:
  bool Loop() const override { return Loop_; }
  void SetLoop(bool v) override { Loop_ = v; }
  int32_t ViewInterval() const override { return Interval_; }
  void SetViewInterval(int32_t ms) override { Interval_ = ms; }
  bool BarVisible() const override { return Bar_; }
  void SetBarVisible(bool v) override { Bar_ = v; }
  bool DoNow() const override { return DoNow_; }
  void SetDoNow(bool v) override { DoNow_ = v; }
  bool FolderBarVisible() const override { return Folder_; }
  void SetFolderBarVisible(bool v) override { Folder_ = v; }
  TZmThreadFileInfoList& FileList() override { return Infos.List(); }
  TZmGraphicExItemList& Formats() override { return FormatTable; }
  void LoadColumns(const TMemIniFile&) override { Steps += "columns;"; }
  void SaveColumns(TMemIniFile& ini) override { ini.WriteInteger("DesignColumn", "Name_Width", 120); }
  void LoadImageView(const TMemIniFile&) override { Steps += "view;"; }
  void SaveImageView(TMemIniFile& ini) override { ini.WriteBool("SlideShow", "CursorMode", false); }
  void ApplyOptions(uint8_t mode) override { Steps += "apply " + std::to_string(mode) + ";"; }
  void ApplySortColumn() override { Steps += "sort;"; }

  bool Loop_ = true, Bar_ = false, DoNow_ = true, Folder_ = false;
  int32_t Interval_ = -1;
  TZmFileInfos Infos;
  TZmThreadFileInfoList& Files = Infos.List();
  TZmGraphicExItemList FormatTable;
  std::string Steps;
};

TEST(OptionsKv, FirstStartTakesFactoryValuesAndWritesFiveSections) {
  TTempDir dir;
  TMemIniFile ini(dir.Path() + "kirvane.ini");
  TFakeHost host;
  TKirvaneOptions options;
  options.Load(ini, host);
  EXPECT_FALSE(host.Loop_);
  EXPECT_EQ(host.Interval_, 3000);
  EXPECT_TRUE(host.Bar_);
  EXPECT_FALSE(host.DoNow_);
  EXPECT_TRUE(host.Folder_);
  EXPECT_EQ(options.ShowMode, 0);
  EXPECT_EQ(options.RefreshMode, 0);
  EXPECT_EQ(options.ImgViewMode, 2);
  EXPECT_EQ(options.CommonSendPath, "/");
  EXPECT_EQ(host.Steps, "columns;view;apply 2;sort;");
  EXPECT_EQ(host.Files.ExtList().size(), 39u);

  ASSERT_TRUE(options.Save(ini, host));
  const std::vector<uint8_t> bytes = ReadBytes(dir.Path() + "kirvane.ini");
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.substr(0, text.find("[DesignColumn]")),
            "[SlideShow]\r\nLoop=0\r\nShowMode=0\r\nViewInterval=3000\r\nBarVisible=1\r\nCursorMode=0\r\n\r\n"
            "[Option]\r\nDoNow=0\r\nFolderBarVisible=1\r\nRefreshMode=0\r\nImgViewMode=2\r\nCommonSendPath=/\r\n\r\n");
  TMemIniFile back(dir.Path() + "kirvane.ini");
  EXPECT_EQ(back.ReadSections(),
            (std::vector<std::string>{"SlideShow", "Option", "DesignColumn", "OptionFileInfos", "GraphicTypes"}));
}

TEST(OptionsKv, HandEditedValues) {
  struct Case {
    const char* Text;
    std::function<void(const TKirvaneOptions&, const TFakeHost&)> Check;
  };
  const Case cases[] = {
      {"[SlideShow]\nViewInterval=0x1F4\n", [](auto&, auto& h) { EXPECT_EQ(h.Interval_, 500); }},
      {"[SlideShow]\nViewInterval=abc\n", [](auto&, auto& h) { EXPECT_EQ(h.Interval_, 3000); }},
      {"[SlideShow]\nViewInterval=-5\n", [](auto&, auto& h) { EXPECT_EQ(h.Interval_, -5); }},
      {"[SlideShow]\nShowMode=257\n", [](auto& o, auto&) { EXPECT_EQ(o.ShowMode, 1); }},
      {"[Option]\nImgViewMode=5\n",
       [](auto& o, auto& h) {
         EXPECT_EQ(o.ImgViewMode, 5);
         EXPECT_NE(h.Steps.find("apply 5;"), std::string::npos);
       }},
      {"[Option]\nCommonSendPath=/photos\n", [](auto& o, auto&) { EXPECT_EQ(o.CommonSendPath, "/photos/"); }},
      {"[Option]\nCommonSendPath=/photos/\n", [](auto& o, auto&) { EXPECT_EQ(o.CommonSendPath, "/photos/"); }},
      {"; comment\n[Unknown]\nx=1\n[GraphicTypes]\nJPEGImage=1\nBitmap=0\n",
       [](auto&, auto& h) { EXPECT_EQ(h.Files.ExtList().size(), 36u); }},
  };
  for (const Case& c : cases) {
    TMemIniFile ini;
    ini.SetText(c.Text);
    TFakeHost host;
    TKirvaneOptions options;
    options.Load(ini, host);
    SCOPED_TRACE(c.Text);
    c.Check(options, host);
  }
}

TEST(OptionsKv, SaveDropsUnknownSectionsAndKeepsOutOfRangeModes) {
  TTempDir dir;
  TMemIniFile ini(dir.Path() + "kirvane.ini");
  ini.SetText("[Unknown]\nx=1\n[Option]\nImgViewMode=5\nRefreshMode=7\n");
  TFakeHost host;
  TKirvaneOptions options;
  options.Load(ini, host);
  ASSERT_TRUE(options.Save(ini, host));
  EXPECT_FALSE(ini.SectionExists("Unknown"));
  EXPECT_EQ(ini.ReadInteger("Option", "ImgViewMode", 0), 5);
  EXPECT_EQ(ini.ReadInteger("Option", "RefreshMode", 0), 7);
}

}  // namespace
