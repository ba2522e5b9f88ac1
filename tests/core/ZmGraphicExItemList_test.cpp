#include "imageview/ZmGraphicExItemList.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "options/IniFile.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(FormatTable, SixteenFormatsInTableOrderWithTheirMasks) {
  TZmGraphicExItemList table;
  ASSERT_EQ(table.Count(), 16);
  const char* expected[][2] = {
      {"AutodeskGraphic", "*.pic;*.cel"},
      {"Bitmap", "*.bmp;*.dib;*.rle"},
      {"CUTGraphic", "*.cut"},
      {"Icon", "*.ico"},
      {"JPEGImage", "*.jfif;*.jpe;*.jpeg;*.jpg"},
      {"Metafile", "*.emf;*.wmf"},
      {"PCDGraphic", "*.pcd"},
      {"PCXGraphic", "*.scr;*.pcc;*.pcx"},
      {"PNGGraphic", "*.png"},
      {"PPMGraphic", "*.pbm;*.pgm;*.ppm"},
      {"PSDGraphic", "*.pdd;*.psd"},
      {"PSPGraphic", "*.psp"},
      {"RLAGraphic", "*.rla;*.rpf"},
      {"SGIGraphic", "*.bw;*.rgb;*.rgba;*.sgi"},
      {"TargaGraphic", "*.icb;*.tga;*.vda;*.vst;*.win"},
      {"TIFFGraphic", "*.eps;*.fax;*.tif;*.tiff"},
  };
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(table.Items(i).IniKey(), expected[i][0]);
    EXPECT_EQ(table.Items(i).FileMask, expected[i][1]) << expected[i][0];
    EXPECT_TRUE(table.Items(i).Enabled);
  }
}

TEST(FormatTable, ExtensionListFollowsTheSwitches) {
  TZmGraphicExItemList table;
  TMemIniFile ini;
  table.LoadFromIni(ini);  // no section: everything enabled
  auto all = table.ExtensionList();
  ASSERT_EQ(all.size(), 39u);
  EXPECT_EQ(all[0], ".pic");
  EXPECT_EQ(all[1], ".cel");
  EXPECT_EQ(std::vector<std::string>(all.end() - 4, all.end()),
            (std::vector<std::string>{".eps", ".fax", ".tif", ".tiff"}));

  for (int i = 0; i < table.Count(); ++i) ini.WriteBool("GraphicTypes", table.Items(i).IniKey(), false);
  ini.WriteBool("GraphicTypes", "JPEGImage", true);
  ini.WriteBool("GraphicTypes", "NoSuchFormat", true);  // unknown keys are ignored
  table.LoadFromIni(ini);
  EXPECT_EQ(table.ExtensionList(), (std::vector<std::string>{".jfif", ".jpe", ".jpeg", ".jpg"}));

  ini.WriteBool("GraphicTypes", "JPEGImage", false);
  table.LoadFromIni(ini);
  EXPECT_TRUE(table.ExtensionList().empty());
}

TEST(FormatTable, SaveAndLoadReproduceEveryFlag) {
  TZmGraphicExItemList a;
  for (int i = 0; i < a.Count(); ++i) a.Items(i).Enabled = i % 3 == 0;
  TMemIniFile ini;
  a.SaveToIni(ini);
  EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"GraphicTypes"});
  EXPECT_EQ(ini.ReadString("GraphicTypes", "AutodeskGraphic", ""), "1");
  EXPECT_EQ(ini.ReadString("GraphicTypes", "Bitmap", ""), "0");
  TZmGraphicExItemList b;
  b.LoadFromIni(ini);
  for (int i = 0; i < a.Count(); ++i) EXPECT_EQ(b.Items(i).Enabled, a.Items(i).Enabled) << i;
  TMemIniFile other;
  a.SaveToIni(other, "Custom");
  EXPECT_TRUE(other.SectionExists("Custom"));
}

TEST(DecoderRegistry, ExtensionsMapToTheirClassesIgnoringCase) {
  using namespace GraphicClasses;
  struct Case {
    const char* File;
    const TGraphicClass* Class;
  };
  const Case cases[] = {
      {"PHOTO.JPG", &TJPEGImage}, {"a.JfIf", &TJPEGImage},  {"scan.eps", &TEPSGraphic},
      {"x.tif", &TTIFFGraphic},   {"page.FAX", &TTIFFGraphic}, {"a.rle", &TBitmap},
      {"a.Dib", &TBitmap},        {"a.ico", &TIcon},        {"a.wmf", &TMetafile},
      {"a.win", &TTargaGraphic},  {"a.bw", &TSGIGraphic},   {"a.pdd", &TPSDGraphic},
      {"a.cel", &TAutodeskGraphic}, {"a.b.png", &TPNGGraphic}, {"anim.gif", nullptr},
      {"noext", nullptr},         {"/dir.jpg/noext", nullptr}, {"trailing.", nullptr},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindGraphicClass(PictureExtension(c.File)), c.Class) << c.File;
  EXPECT_TRUE(TEPSGraphic.InheritsFrom(TTIFFGraphic));
  EXPECT_FALSE(TTIFFGraphic.InheritsFrom(TEPSGraphic));
}

TEST(DecoderRegistry, LoadPictureFailsCleanlyWithoutADecoderOrAFile) {
  auto r = LoadPicture("/nonexistent/anim.gif");
  ASSERT_FALSE(r.Ok());
  EXPECT_EQ(r.Error().Kind, TDecodeErrorKind::deUnknownFormat);
  r = LoadPicture("/nonexistent/none");
  EXPECT_EQ(r.Error().Kind, TDecodeErrorKind::deUnknownFormat);
  r = LoadPicture("/nonexistent/x.png");
  ASSERT_FALSE(r.Ok());
  EXPECT_EQ(r.Error().Kind, TDecodeErrorKind::deReadError);
  EXPECT_TRUE(r.Bitmap().Empty());
}

// A file whose first bytes cannot begin a file of its format is refused before the rest is
// read: 1.9 GB of junk named s.png costs a look at its head, not 18 s and 1.9 GB of memory.
TEST(DecoderRegistry, LoadPictureRefusesFromTheFirstBytesWithoutReadingTheRest) {
  constexpr uint64_t Huge = 1900000000;
  const struct {
    const char* Name;
    std::string Head;
    uint64_t Size;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"s.png", "junk", Huge, TDecodeErrorKind::deCorrupt},
      {"s.jpg", "GIF89a", Huge, TDecodeErrorKind::deCorrupt},
      {"s.ico", std::string("\1\0\1\0", 4), Huge, TDecodeErrorKind::deCorrupt},
      {"s.tif", "junk", Huge, TDecodeErrorKind::deTooLarge},  // no TIFF, and far too large for a fax stream
      {"s.fax", "junk", uint64_t(32) << 20, TDecodeErrorKind::deCorrupt},  // a fax stream begins with a 0 byte
      {"s.eps", "%!PS-Adobe-3.0 EPSF-3.0", Huge, TDecodeErrorKind::deUnsupported},
      {"s.bmp", "junk", Huge, TDecodeErrorKind::deCorrupt},
      // Targa has no magic: a sound header declaring 65535x65535 true colour.
      {"s.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\xFF\xFF\xFF\xFF\x18\0", 18), Huge,
       TDecodeErrorKind::deTooLarge},
      {"s.pcx", "junk", Huge, TDecodeErrorKind::deCorrupt},
      {"s.sgi", "junk", Huge, TDecodeErrorKind::deCorrupt},
      {"s.psd", "junk", Huge, TDecodeErrorKind::deCorrupt},
      {"s.wmf", "junk", Huge, TDecodeErrorKind::deCorrupt},
      {"s.emf", "junk", Huge, TDecodeErrorKind::deCorrupt},
      {"s.pbm", "junk", Huge, TDecodeErrorKind::deCorrupt},
      {"s.ppm", "P6\n65535 65535\n255\n", Huge, TDecodeErrorKind::deTooLarge},
      {"s.rla", "junk", Huge, TDecodeErrorKind::deUnsupported},  // no magic; not the current revision
      {"s.pcd", "junk", Huge, TDecodeErrorKind::deCorrupt},
      {"s.cel", "junk", Huge, TDecodeErrorKind::deCorrupt},
      {"s.psp", "junk", Huge, TDecodeErrorKind::deCorrupt},
      // CUT has no magic: a sound header of 16x16, far too long for any picture of that size.
      {"s.cut", std::string("\x10\0\x10\0\0\0", 6), Huge, TDecodeErrorKind::deCorrupt},
  };
  TTempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = dir.File(c.Name, c.Head);
    ASSERT_EQ(truncate(path.c_str(), off_t(c.Size)), 0);  // sparse: no disk used
    const uint64_t before = BytesReadSoFar();
    const TDecodeResult r = LoadPicture(path);
    EXPECT_LT(BytesReadSoFar() - before, uint64_t(1) << 20);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error().Kind, c.Kind) << r.Error().Message;
  }
}

}  // namespace
