// The metafile record reader, without painting: picture sizes, what records become, the object
// tables, refusals of broken files, text and bitmaps inside records.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "decoders/MetafileData.h"
#include "decoders/MetafileReader.h"
#include "tests/support/MetafileBytes.h"
#include "tests/support/TestSupport.h"

namespace {

// Writes down every call, one line each, so that a test states what a file must become.
class TRecorder : public TMetafileSink {
 public:
  std::vector<std::string> Lines;

  void SetValue(TMfValue what, int32_t v) override { Add("value", int(what), v); }
  void SelectPen(const TMfPen& p) override { Add("pen", p.Style, p.Width, p.Color); }
  void SelectBrush(const TMfBrush& b) override { Add("brush", b.Style, b.Color); }
  void SelectFont(const TMfFont& f) override { Add("font " + f.Face, f.Height); }
  void SelectClipRegion(const TMfRegion* r, uint32_t mode) override { Add("clip", r ? r->Rects.size() : 0, mode); }
  void MoveTo(TMfPoint p) override { Add("move", p.X, p.Y); }
  void LineTo(TMfPoint p) override { Add("line", p.X, p.Y); }
  void Poly(TMfPoly kind, std::span<const TMfPoint> points, std::span<const uint32_t> counts) override {
    std::ostringstream s;
    s << "poly " << int(kind);
    for (uint32_t c : counts) s << " /" << c;
    for (const TMfPoint& p : points) s << " " << p.X << "," << p.Y;
    Lines.push_back(s.str());
  }
  void Shape(TMfShape kind, const TMfRect& r, TMfPoint a, TMfPoint b) override {
    Add("shape", int(kind), r.Left, r.Top, r.Right, r.Bottom, a.X, a.Y, b.X, b.Y);
  }
  void SetPixel(TMfPoint p, TMfColor c) override { Add("pixel", p.X, p.Y, c); }
  void Text(const TMfText& t) override {
    std::ostringstream s;
    s << "text " << t.Reference.X << "," << t.Reference.Y << " " << t.Options << " '"
      << std::string(t.Narrow.begin(), t.Narrow.end()) << Utf16ToUtf8(t.Wide) << "'";
    if (t.Rect) s << " rect " << t.Rect->Left << "," << t.Rect->Top << "," << t.Rect->Right << "," << t.Rect->Bottom;
    for (int32_t d : t.Dx) s << " " << d;
    Lines.push_back(s.str());
  }
  void Blit(const TMfBlit& b) override {
    Add("blit", b.DestX, b.DestY, b.DestWidth, b.DestHeight, b.SrcX, b.SrcY, b.SrcWidth, b.SrcHeight,
        b.Source.Info.size() + b.Source.Bits.size(), b.Rop);
  }

 private:
  template <typename... T>
  void Add(const std::string& name, T... v) {
    std::ostringstream s;
    s << name;
    ((s << " " << v), ...);
    Lines.push_back(s.str());
  }
};

std::vector<std::string> Play(const std::vector<uint8_t>& bytes) {
  TRecorder r;
  TDecodeError error;
  EXPECT_TRUE(PlayMetafile(bytes, r, error)) << error.Message;
  return r.Lines;
}

TEST(MetafileReader, EverySampleHasItsSizeAndPlays) {
  KV_REQUIRE_CORPUS();
  // The placeable header's box at 96 dpi; the EMF frame at 96 dpi (the bounds for the EA file,
  // whose frame lies away from its drawing); the first window of a WMF without placeable
  // header, a logical unit to a pixel.
  const struct {
    const char* File;
    int Width, Height;
  } samples[] = {
      {"wmf/fop_testChart.wmf", 1056, 816}, {"wmf/libuemf_test_libuemf_ref.wmf", 1122, 794},
      {"wmf/pillow_drawing.wmf", 110, 110}, {"wmf/poi_60677.wmf", 1693, 1143},
      {"wmf/poi_64716_image2.wmf", 195, 49}, {"wmf/poi_empty-polygon-close.wmf", 1073, 304},
      {"wmf/poi_nonplaceable_testException2.doc-2.wmf", 443, 182}, {"wmf/poi_santa.wmf", 181, 194},
      {"wmf/wmf2svg_fulltest.wmf", 1056, 816}, {"wmf/wmf2svg_symbol-font-tables.wmf", 567, 503},
      {"wmf/wmfemfviewer_equation_image134.wmf", 115, 87}, {"wmf/wmfemfviewer_equation_image208.wmf", 489, 43},
      {"wmf/wmfemfviewer_sample.wmf", 770, 649}, {"wmf/wmfjs_arc.wmf", 192, 192},
      {"wmf/wmfjs_chord.wmf", 192, 192}, {"wmf/wmfjs_pen-dash-dot.wmf", 160, 160},
      {"wmf/wmfjs_pie.wmf", 192, 192}, {"wmf/wmfjs_poly-polygon.wmf", 96, 96},
      {"wmf/wmfjs_round-rect.wmf", 192, 192}, {"emf/fop_img.emf", 76, 76},
      {"emf/libemf2svg_EA-test-file-001.emf", 613, 685}, {"emf/libemf2svg_test-001.emf", 623, 467},
      {"emf/libemf2svg_test-013.emf", 554, 663}, {"emf/libemf2svg_test-030_empty.emf", 635, 762},
      {"emf/libemf2svg_test-041.emf", 1123, 794}, {"emf/libemf2svg_test-075_dual.emf", 464, 239},
      {"emf/libemf2svg_test-118_dual.emf", 756, 496}, {"emf/libemf2svg_test-152.emf", 298, 232},
      {"emf/libemf2svg_test-165.emf", 946, 657}, {"emf/libemf2svg_test-174.emf", 914, 657},
      {"emf/libemf2svg_test-182.emf", 32, 9}, {"emf/libemf2svg_test-186.emf", 150, 51},
      {"emf/libuemf_test_libuemf_ref.emf", 1123, 794}, {"emf/libuemf_test_mm_anisotropic_ref.emf", 1123, 794},
      {"emf/libuemf_test_mm_himetric_ref.emf", 1123, 794}, {"emf/libuemf_test_mm_twips_ref.emf", 1123, 794},
      {"emf/pillow_drawing.emf", 110, 110}, {"emf/poi_SimpleEMF_windows.emf", 82, 61},
      {"emf/poi_nested_wmf.emf", 521, 377}, {"emf/poi_vector_image.emf", 706, 578},
      {"emf/poi_wrench.emf", 224, 136}, {"emf/wmf2svg_fulltest.emf", 1056, 792},
  };
  for (const auto& s : samples) {
    SCOPED_TRACE(s.File);
    const std::vector<uint8_t> bytes = ReadBytes(CorpusPath(std::string("formats/") + s.File));
    TMetafileFrame frame;
    TDecodeError error;
    ASSERT_TRUE(ReadMetafileFrame(bytes, 96, frame, error)) << error.Message;
    EXPECT_EQ(frame.Width, s.Width);
    EXPECT_EQ(frame.Height, s.Height);
    TMetafileSink nothing;
    EXPECT_TRUE(PlayMetafile(bytes, nothing, error)) << error.Message;
  }
}

TEST(MetafileReader, BrokenSamplesAndEmfPlusOnlyFilesAreRefused) {
  KV_REQUIRE_CORPUS();
  const struct {
    const char* File;
    TDecodeErrorKind Kind;
  } samples[] = {
      {"wmf/corrupt/poi_61338_bad-record-size.wmf", TDecodeErrorKind::deTruncated},
      {"emf/corrupt/poi_61294_bad-record-size.emf", TDecodeErrorKind::deCorrupt},
      {"emf/corrupt/libemf2svg_bad_corrupted_2014-12-02-215338.emf", TDecodeErrorKind::deTruncated},
      {"emf/corrupt/libemf2svg_bad_corrupted_2014-12-02-215358.emf", TDecodeErrorKind::deCorrupt},
      {"emf/corrupt/libemf2svg_bad_corrupted_2014-12-02-215400.emf", TDecodeErrorKind::deCorrupt},
      {"emf/corrupt/libemf2svg_bad_corrupted_2014-12-02-215425.emf", TDecodeErrorKind::deCorrupt},
      {"emf/corrupt/libemf2svg_bad_corrupted_2014-12-13-132605.emf", TDecodeErrorKind::deCorrupt},
      {"emf/corrupt/libemf2svg_bad_corrupted_2014-12-13-133727.emf", TDecodeErrorKind::deCorrupt},
      {"emf/corrupt/libemf2svg_bad_corrupted_2014-12-14-080539.emf", TDecodeErrorKind::deCorrupt},
      {"emf/corrupt/libemf2svg_bad_corrupted_2016-02-02-220639.emf", TDecodeErrorKind::deCorrupt},
      {"emf/corrupt/libemf2svg_bad_corrupted_2016-02-02-225639.emf", TDecodeErrorKind::deCorrupt},
      {"emf/corrupt/libemf2svg_bad_corrupted_2017-05-12-074000.emf", TDecodeErrorKind::deCorrupt},
      {"emf/libuemf_test_libuemf_p_ref_emfplus.emf", TDecodeErrorKind::deUnsupported},
  };
  for (const auto& s : samples) {
    SCOPED_TRACE(s.File);
    TMetafileSink nothing;
    TDecodeError error;
    EXPECT_FALSE(PlayMetafile(ReadBytes(CorpusPath(std::string("formats/") + s.File)), nothing, error));
    EXPECT_EQ(error.Kind, s.Kind) << error.Message;
  }
}

TEST(MetafileReader, WmfParametersArriveInDrawingOrder) {
  TWmfBytes w;
  w.Rec(0x0214, {20, 10})                          // MoveTo: y, x
      .Rec(0x0213, {40, 30})                       // LineTo
      .Rec(0x041B, {40, 30, 20, 10})               // Rectangle: bottom, right, top, left
      .Rec(0x061C, {6, 8, 40, 30, 20, 10})         // RoundRect: corner height, width, box
      .Rec(0x0817, {44, 33, 22, 11, 40, 30, 20, 10})  // Arc: end y, x, start y, x, box
      .Rec(0x041F, {0x00FF, 0, 5, 6})              // SetPixel: colour, y, x
      .Rec(0x0538, {2, 3, 2, 0, 0, 10, 0, 0, 10, 5, 5, 6, 6})  // PolyPolygon: counts, then x, y pairs
      .Rec(0x0521, TBytes().U16(2).Text("Hi").U16(7).U16(9))   // TextOut: length, text, y, x
      .Rec(0x0A32, TBytes().U16(7).U16(9).U16(3).U16(EtoOpaque).U16(1).U16(2).U16(3).U16(4).Text("abc").U8(0)
                       .U16(5).U16(6).U16(7))  // ExtTextOut: y, x, length, options, rectangle, text, advances
      .Rec(0x0F43, TBytes().U32(0x00CC0020).U16(0).U16(2).U16(2).U16(0).U16(1).U16(4).U16(4).U16(3).U16(1)
                       .Raw(DibInfo40(2, 2, 24)).Fill(16, 0))  // StretchDIB: rop, usage, source, destination
      .Rec(0x0922, {0x0042, 0x0000, 0, 0, 0, 5, 6, 7, 8});       // BitBlt without a bitmap: BLACKNESS
  EXPECT_EQ(Play(w.Bytes()), (std::vector<std::string>{
                                 "move 10 20",
                                 "line 30 40",
                                 "shape 0 10 20 30 40 0 0 0 0",
                                 "shape 2 10 20 30 40 8 6 0 0",
                                 "shape 3 10 20 30 40 11 22 33 44",
                                 "pixel 6 5 255",
                                 "poly 2 /3 /2 0,0 10,0 0,10 5,5 6,6",
                                 "text 9,7 0 'Hi'",
                                 "text 9,7 2 'abc' rect 1,2,3,4 5 6 7",
                                 "blit 1 3 4 4 1 0 2 2 56 13369376",
                                 "blit 8 7 6 5 0 0 6 5 0 66",
                             }));
}

TEST(MetafileReader, WmfObjectsTakeTheLowestFreeIndex) {
  TBytes font;
  font.U16(uint16_t(-12)).Fill(6, 0).U16(400).Fill(8, 0).Text("Arial").U8(0);
  TBytes region;  // header, then one scan of one left-right pair from y 0 to 4
  region.Fill(10, 0).U16(1).Fill(10, 0).U16(2).U16(0).U16(4).U16(1).U16(3).U16(2);
  TWmfBytes w;
  w.Rec(0x02FA, {0, 3, 0, 0x00FF, 0})           // pen in slot 0
      .Rec(0x02FC, {0, 0, 0x00FF, 0})           // brush in slot 1
      .Rec(0x01F0, {0})                         // frees slot 0
      .Rec(0x02FB, font)                        // font takes slot 0
      .Rec(0x06FF, region)                      // region in slot 2
      .Rec(0x012D, {0})
      .Rec(0x012D, {1})
      .Rec(0x012D, {2})
      .Rec(0x012D, {5})                         // never created: ignored
      .Rec(0x01F0, {9});                        // likewise
  EXPECT_EQ(Play(w.Bytes()), (std::vector<std::string>{"font Arial -12", "brush 0 16711680", "clip 1 5"}));
}

TEST(MetafileReader, EmfObjectsHaveTheirIndexAndStockObjectsAreKnown) {
  TEmfBytes e(4);
  e.Rec(38, {3, 0, 2, 0, 0x0000FF})  // CreatePen at 3: solid, 2 wide, red
      .Rec(37, {3})
      .Rec(37, {0x80000005})  // NULL_BRUSH
      .Rec(37, {0x80000007})  // BLACK_PEN
      .Rec(40, {3})
      .Rec(37, {3})            // deleted: ignored
      .Rec(37, {0x80000063});  // no such stock object
  EXPECT_EQ(Play(e.Bytes()), (std::vector<std::string>{"pen 0 2 255", "brush 1 0", "pen 0 0 0"}));
}

TEST(MetafileReader, RecordsThatContradictThemselvesAreRefused) {
  auto wmfRaw = [](const TBytes& record) {
    std::vector<uint8_t> b = TWmfBytes().Bytes();
    b.resize(b.size() - 6);  // without its EOF
    b.insert(b.end(), record.Vec().begin(), record.Vec().end());
    return b;
  };
  auto emf = [](uint32_t type, const TBytes& payload) { return TEmfBytes().Rec(type, payload).Bytes(); };
  auto plus = [](bool dual) {  // a comment holding an EMF+ header
    return TBytes().U32(28).U32(0x2B464D45).U16(0x4001).U16(dual ? 1 : 0).U32(28).U32(16).Fill(16, 0);
  };
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    std::optional<TDecodeErrorKind> Kind;  // none: the file plays
  } cases[] = {
      {"WMF record of two words", wmfRaw(TBytes().U32(2).U16(0x0213)), TDecodeErrorKind::deCorrupt},
      {"WMF record past the end", wmfRaw(TBytes().U32(100).U16(0x0213).U16(1).U16(2)), TDecodeErrorKind::deTruncated},
      {"WMF polygon of more points than it holds", TWmfBytes().Rec(0x0324, {50, 1, 2}).Bytes(),
       TDecodeErrorKind::deCorrupt},
      {"WMF text longer than its record", TWmfBytes().Rec(0x0521, {40, 0x4141, 1, 1}).Bytes(),
       TDecodeErrorKind::deCorrupt},
      {"WMF ending without EOF at a record boundary", wmfRaw(TBytes().U32(5).U16(0x0213).U16(1).U16(2)), {}},
      {"EMF record size not a multiple of 4", [] {
         std::vector<uint8_t> b = TEmfBytes().Bytes();
         b[108 + 4] = 18;
         return b;
       }(), TDecodeErrorKind::deCorrupt},
      {"EMF text outside its record",
       emf(84, TBytes().Fill(28, 0).U32(0).U32(0).U32(3).U32(4000).U32(EtoNoRect).U32(0)), TDecodeErrorKind::deCorrupt},
      {"EMF polygon counts that do not add up", emf(8, TBytes().Fill(16, 0).U32(1).U32(2).U32(3).Fill(16, 0)),
       TDecodeErrorKind::deCorrupt},
      {"EMF gradient naming a missing vertex", emf(118, TBytes().Fill(16, 0).U32(1).U32(1).U32(0).Fill(16, 0).U32(0).U32(1)),
       TDecodeErrorKind::deCorrupt},
      {"EMF pen created at index 0", emf(38, TBytes().U32(0).Fill(16, 0)), TDecodeErrorKind::deCorrupt},
      {"EMF pen created past the table", TEmfBytes(4).Rec(38, TBytes().U32(5).Fill(16, 0)).Bytes(),
       TDecodeErrorKind::deCorrupt},
      {"EMF+ header that says the GDI records are incomplete", emf(70, plus(false)), TDecodeErrorKind::deUnsupported},
      {"EMF+ records and no GDI drawing", emf(70, plus(true)), TDecodeErrorKind::deUnsupported},
      {"EMF+ records with GDI drawing", TEmfBytes().Rec(70, plus(true)).Rec(43, {1, 1, 5, 5}).Bytes(), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMetafileSink nothing;
    TDecodeError error;
    const bool played = PlayMetafile(c.Bytes, nothing, error);
    EXPECT_EQ(played, !c.Kind) << error.Message;
    if (c.Kind) {
      EXPECT_EQ(error.Kind, *c.Kind) << error.Message;
    }
  }
}

TEST(MetafileReader, HugeDeclaredPicturesAreDrawnSmallerAndEmptyOnesRefused) {
  auto placeable = [](int16_t l, int16_t t, int16_t r, int16_t b, uint16_t inch) {
    TBytes h;
    h.U32(0x9AC6CDD7).U16(0).U16(uint16_t(l)).U16(uint16_t(t)).U16(uint16_t(r)).U16(uint16_t(b)).U16(inch);
    h.U32(0).U16(0).U16(1).U16(9).U16(0x300).U32(0).U16(0).U32(0).U16(0).U32(3).U16(0);
    return std::vector<uint8_t>(h);
  };
  auto emfFrame = [](int32_t right, int32_t bottom, int32_t boundsRight) {
    std::vector<uint8_t> b = TEmfBytes().Bytes();
    TBytes fields;
    fields.I32(boundsRight).I32(95).I32(0).I32(0).I32(right).I32(bottom);
    std::copy(fields.Vec().begin(), fields.Vec().end(), b.begin() + 16);
    return b;
  };
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    int Width, Height;  // 0: refused
  } cases[] = {
      {"a square of 65535 units at 1 per inch", placeable(-32768, -32768, 32767, 32767, 1), 4096, 4096},
      {"a strip of 65535 units", placeable(-32768, 0, 32767, 1, 1), 16384, 1},
      {"corners in any order", placeable(96, 96, 0, 0, 96), 96, 96},
      {"0 units per inch", placeable(0, 0, 96, 96, 0), 0, 0},
      {"an empty box", placeable(5, 0, 5, 96, 96), 0, 0},
      {"an EMF frame of 21 km", emfFrame(2100000000, 2100000000, 95), 4096, 4096},
      {"an EMF without frame, by its bounds", emfFrame(0, 0, 191), 192, 96},
      {"an EMF without frame or bounds", emfFrame(0, 0, -1), 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMetafileFrame frame;
    TDecodeError error;
    const bool ok = ReadMetafileFrame(c.Bytes, 96, frame, error);
    EXPECT_EQ(ok, c.Width > 0) << error.Message;
    if (!ok) continue;
    EXPECT_EQ(frame.Width, c.Width);
    EXPECT_EQ(frame.Height, c.Height);
  }
}

TEST(MetafileText, CodePagesDoubleByteCharactersAndSymbols) {
  std::vector<int32_t> dx;
  // Shift-JIS "日本A": the advances of a character's two bytes add up.
  const uint8_t sjis[] = {0x93, 0xFA, 0x96, 0x7B, 'A'};
  const int32_t perByte[] = {5, 5, 6, 6, 7};
  EXPECT_EQ(DecodeMfText(sjis, 128, perByte, dx), u"日本A");
  EXPECT_EQ(dx, (std::vector<int32_t>{10, 12, 7}));
  const uint8_t euro[] = {0x80, 0xE9};
  EXPECT_EQ(DecodeMfText(euro, 0, {}, dx), u"€é");
  EXPECT_TRUE(dx.empty());
  const uint8_t cyrillic[] = {0xC4, 0xE0};
  EXPECT_EQ(DecodeMfText(cyrillic, 204, {}, dx), u"Да");
  EXPECT_EQ(DecodeMfFaceName("\x82\x6C\x82\x72 \x96\xBE\x92\xA9", 128), "ＭＳ 明朝");
  std::u16string symbols = u"ap\uF070\uF0B4";
  MapSymbolText(symbols);
  EXPECT_EQ(symbols, u"απ\u03C0\u00D7");
}

TEST(MetafileBitmap, PaletteIndexesBitmap16AndMissingPixels) {
  TMfPixels px;
  TDecodeError error;
  // An 8-bit DIB whose colour table holds indexes into the selected palette (blue, red).
  const std::vector<uint8_t> indexed = TBytes(DibInfo40(2, 1, 8, 0, 2)).U16(1).U16(0).U8(0).U8(1).Fill(2, 0);
  const TMfColor palette[] = {0x0000FF, 0xFF0000};
  ASSERT_TRUE(DecodeMfBitmap({indexed, {}, 1, false}, palette, false, px, error)) << error.Message;
  EXPECT_EQ(px.Bitmap.Pixel(0, 0), Color32(255, 0, 0, 255));
  EXPECT_EQ(px.Bitmap.Pixel(1, 0), Color32(255, 255, 0, 0));
  EXPECT_TRUE(px.BottomUp);
  // A one-bit Bitmap16: rows top down, set bits white.
  const std::vector<uint8_t> ddbHeader = TBytes().U16(0).U16(3).U16(2).U16(2).U8(1).U8(1);
  const std::vector<uint8_t> ddbBits = {0xA0, 0, 0x40, 0};
  ASSERT_TRUE(DecodeMfBitmap({ddbHeader, ddbBits, 0, true}, {}, false, px, error)) << error.Message;
  EXPECT_TRUE(px.Monochrome);
  EXPECT_EQ(px.Bitmap.Pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(px.Bitmap.Pixel(1, 0), 0xFF000000u);
  EXPECT_EQ(px.Bitmap.Pixel(1, 1), 0xFFFFFFFFu);
  // A header with no pixels after it.
  EXPECT_FALSE(DecodeMfBitmap({DibInfo40(4, 4, 24).Vec(), {}, 0, false}, {}, false, px, error));
  EXPECT_EQ(error.Kind, TDecodeErrorKind::deTruncated);
}

}  // namespace
