// TIFF decoding with libtiff, the TIFF preview of DOS EPS files and raw G3 fax streams: the
// sample files of ../shared/corpus and tests/data against independent decodes, orientation,
// alpha, and damaged or hostile files.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>

#include "decoders/Decoders.h"
#include "imageview/ZmGraphicExTypes.h"
#include "tests/support/DecoderSamples.h"
#include "tests/support/IccProfiles.h"
#include "tests/support/ImageCheck.h"
#include "tests/support/TestSupport.h"

namespace {

std::string Data(const std::string& name) {
  return TestDataPath(name);
}

// An empty digest means the file must fail. The tools (run once, tests/support/refdigest.py):
//   ImageMagick  convert FILE[0] -depth 8 rgba:-   (-auto-orient where the file is rotated)
//   netpbm       tifftopnm FILE | pamdepth 255, g3topbm FILE; used where ImageMagick refuses the
//                file (errors on private tags) or rounds 16-bit values differently
//   GM stored    gm convert FILE rgba:- taken as already premultiplied: the file's alpha is
//                associated and ImageMagick misreads its separate planes
//   ImageMagick on the preview   the TIFF section of the EPS file cut out, then ImageMagick
struct TCorpusFile {
  const char* Path;
  int Width, Height;
  const char* Digest;
  const char* Tool;
};
constexpr TCorpusFile CorpusFiles[] = {
    {"tiff/commons-imaging_ccitt_t4_1d_fill.tiff", 300, 225, "9e63ada1a0972f7d", "ImageMagick"},
    {"tiff/commons-imaging_ccitt_t4_1d_nofill.tiff", 300, 225, "9e63ada1a0972f7d", "ImageMagick"},
    {"tiff/commons-imaging_ccitt_t4_2d_fill.tiff", 300, 225, "9e63ada1a0972f7d", "ImageMagick"},
    {"tiff/commons-imaging_ccitt_t4_2d_nofill.tiff", 300, 225, "9e63ada1a0972f7d", "ImageMagick"},
    {"tiff/commons-imaging_ccitt_t6.tiff", 300, 225, "9e63ada1a0972f7d", "ImageMagick"},
    {"tiff/fop_multi-page.tiff", 142, 142, "ae1e4731c8647ccd", "ImageMagick"},
    {"tiff/fop_tiff_group3-multi-strip.tif", 1560, 189, "540dcfe35715b595", "ImageMagick"},
    {"tiff/fop_tiff_group4-multi-strip.tif", 1560, 189, "540dcfe35715b595", "ImageMagick"},
    {"tiff/libtiff_minisblack-2c-8b-alpha.tiff", 64, 64, "e2025d27eebbf162", "GM stored"},
    {"tiff/libtiff_miniswhite-1c-1b.tiff", 157, 151, "8bc0abe61e1606e9", "ImageMagick"},
    {"tiff/libtiff_palette-1c-4b.tiff", 157, 151, "cdb560cf380abeb5", "netpbm"},
    {"tiff/libtiff_quad-tile.jpg.tiff", 512, 384, "f8899cd1655d0ed5", "ImageMagick"},
    {"tiff/libtiff_rgb-3c-16b.tiff", 157, 151, "f3ed56267ef00505", "netpbm"},
    {"tiff/libtiff_testfax3_bug54_1dnoEOL.tif", 1728, 2320, "b4fec23eefc61325", "ImageMagick"},
    {"tiff/libtiff_testfax4.tiff", 2453, 3369, "8877eeac2fc06579", "ImageMagick"},
    {"tiff/pillow_g4-fillorder-test.tif", 218, 84, "278cb64b2f37e414", "ImageMagick"},
    {"tiff/pillow_g4-multi.tiff", 3307, 4677, "2a93d1fdfb69e660", "ImageMagick"},
    {"tiff/pillow_g4_orientation_6.tif", 590, 88, "b12b965513b76265", "ImageMagick -auto-orient"},
    // Not a TIFF: the published rendering of the fill-order sample, compared with it below.
    {"tiff/pillow_g4-fillorder-test.reference.png", 0, 0, "", "fails: a PNG"},
    // Its directory chain loops back to itself, but the first page is whole.
    {"tiff/corrupt/libtiff_test_ifd_loop_to_self.tif", 20, 20, "a476bccfcd9bb45b", "ImageMagick"},
    {"tiff/corrupt/libtiff_testfax3_bug_513.tiff", 0, 0, "", "fails: fax data overflows its line"},
    {"fax/commons-imaging_1pagefax.tif", 1728, 1146, "a82e248ab12ac925", "ImageMagick"},
    {"fax/fop_tiff_group3-1d.tif", 1560, 189, "540dcfe35715b595", "netpbm"},
    {"fax/fop_tiff_group3-2d.tif", 1560, 189, "540dcfe35715b595", "netpbm"},
    {"fax/fop_xml_fax.tif", 700, 81, "f6f3d63c7245b245", "ImageMagick"},
    // Raw G3: 1728 lines of data, then the six EOLs that end the page.
    {"fax/libtiff_miniswhite-1c-1b.g3", 1728, 1728, "c2a62b4e7898a225", "netpbm g3topbm"},
    {"eps/fop_img-with-tiff-preview.eps", 17, 17, "a0c7b85161d7d138", "ImageMagick on the preview"},
    {"eps/pillow_1_tiff-preview-first.eps", 72, 48, "b9d344409b6a9dcd", "ImageMagick on the preview"},
    {"eps/pillow_illu10_preview_tiff-last.eps", 403, 2448, "ce4fa6aff2d3e544", "ImageMagick on the preview"},
    {"eps/fop_barcode_no-preview.eps", 0, 0, "", "fails: plain PostScript, no preview"},
    {"eps/pillow_zero_bb_no-preview.eps", 0, 0, "", "fails: plain PostScript, no preview"},
};

// Made by tests/data/make-decoder-samples.sh. The 16-bit and associated-alpha files have no
// row of their own: they must decode to the pixels of their 8-bit unassociated twins.
constexpr TCorpusFile OwnFiles[] = {
    {"tiff/grey-alpha8-unassociated.tif", 23, 17, "fd5b91d769e24cbc", "ImageMagick"},
    {"tiff/rgba8-unassociated.tif", 23, 17, "ea5da58f8b03ae39", "ImageMagick"},
    {"tiff/rgba16-unassociated.tif", 23, 17, "ea5da58f8b03ae39", "ImageMagick"},
    {"tiff/rgb8-lzw-predictor.tif", 23, 17, "ec99712d4a03ddda", "ImageMagick"},
    {"tiff/rgb8-zip-tiled.tif", 23, 17, "ec99712d4a03ddda", "ImageMagick"},
    {"tiff/orientation2.tif", 23, 17, "0c3d8a0735777ca6", "ImageMagick -auto-orient"},
    {"tiff/orientation3.tif", 23, 17, "f4c17f32b252d896", "ImageMagick -auto-orient"},
    {"tiff/orientation4.tif", 23, 17, "1699e9443ffe786a", "ImageMagick -auto-orient"},
    {"tiff/orientation5.tif", 17, 23, "765bb5878e26997a", "ImageMagick -auto-orient"},
    {"tiff/orientation6.tif", 17, 23, "1624695724ef01d6", "ImageMagick -auto-orient"},
    {"tiff/orientation7.tif", 17, 23, "dc6822e54bdd35de", "ImageMagick -auto-orient"},
    {"tiff/orientation8.tif", 17, 23, "d626f684100298e2", "ImageMagick -auto-orient"},
    {"fax/raw-1d-msb.fax", 1728, 120, "33f5409e5141798d", "netpbm g3topbm; also the page it was made from"},
    {"fax/raw-1d-lsb.fax", 1728, 120, "33f5409e5141798d", "the page it was encoded from"},
    {"fax/raw-2d-msb.fax", 1728, 120, "33f5409e5141798d", "the page it was encoded from"},
    {"fax/raw-1d-2048.fax", 2048, 90, "0c62de93177ad21d", "the page it was encoded from"},
};

TDecodeResult DecodeByName(const std::string& path, const std::vector<uint8_t>& bytes) {
  return PictureExtension(path) == "eps" ? DecodeEps(bytes) : DecodeTiff(bytes);
}

void ExpectMatches(const TCorpusFile& f, const std::string& path) {
  SCOPED_TRACE(std::string(f.Path) + " (reference: " + f.Tool + ")");
  TDecodeResult r = DecodeByName(path, ReadBytes(path));
  if (*f.Digest == 0) {
    EXPECT_FALSE(r.Ok());
    return;
  }
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Width(), f.Width);
  EXPECT_EQ(r.Bitmap().Height(), f.Height);
  EXPECT_EQ(DigestText(PixelDigest(r.Bitmap())), f.Digest);
}

// A little-endian TIFF with the given directory entries (SHORT or LONG, one value each) and
// `pixels` placed after the directory; StripOffsets is pointed at them when not given. A profile
// goes after the pixels, with its ICC profile entry last in the directory.
std::vector<uint8_t> MakeTiff(std::vector<std::pair<uint16_t, uint32_t>> tags,
                              const std::vector<uint8_t>& pixels, const std::vector<uint8_t>& profile = {}) {
  std::sort(tags.begin(), tags.end());
  const size_t entries = tags.size() + (profile.empty() ? 0 : 1);
  const uint32_t dataOffset = uint32_t(8 + 2 + entries * 12 + 4);
  std::vector<uint8_t> t = {'I', 'I', 42, 0, 8, 0, 0, 0, uint8_t(entries), 0};
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) t.push_back(uint8_t(v >> (8 * i)));
  };
  for (auto [tag, value] : tags) {
    const bool isLong = tag == 256 || tag == 257 || tag == 273 || tag == 278 || tag == 279;
    put(tag, 2);
    put(isLong ? 4 : 3, 2);
    put(1, 4);
    put(tag == 273 && value == 0 ? dataOffset : value, 4);
  }
  if (!profile.empty())
    put(34675, 2), put(7, 2), put(uint32_t(profile.size()), 4), put(dataOffset + uint32_t(pixels.size()), 4);
  put(0, 4);
  t.insert(t.end(), pixels.begin(), pixels.end());
  t.insert(t.end(), profile.begin(), profile.end());
  return t;
}

}  // namespace

TEST(TiffLoader, CorpusFilesMatchTheirReferenceDecodes) {
  KV_REQUIRE_CORPUS();
  for (const TCorpusFile& f : CorpusFiles) ExpectMatches(f, CorpusPath(std::string("formats/") + f.Path));
}

TEST(TiffLoader, OwnSamplesMatchTheirReferenceDecodes) {
  for (const TCorpusFile& f : OwnFiles) ExpectMatches(f, Data(f.Path));
}

// libtiff's reader premultiplies unassociated RGB alpha itself but leaves grey + alpha
// straight (8-bit) or drops it (16-bit); every variant must come out as its twin. The 16-bit
// grey was computed from colour at 16 bits, so it may round one step away.
TEST(TiffLoader, AssociatedUnassociatedAndSixteenBitAlphaAgree) {
  const struct {
    const char* File;
    const char* Twin;
    int Tolerance;
  } pairs[] = {{"tiff/grey-alpha8-associated.tif", "tiff/grey-alpha8-unassociated.tif", 0},
               {"tiff/grey-alpha16-unassociated.tif", "tiff/grey-alpha8-unassociated.tif", 1},
               {"tiff/rgba8-associated.tif", "tiff/rgba8-unassociated.tif", 0}};
  for (const auto& p : pairs) {
    SCOPED_TRACE(p.File);
    TDecodeResult a = DecodeTiff(ReadBytes(Data(p.File))), b = DecodeTiff(ReadBytes(Data(p.Twin)));
    ASSERT_TRUE(a.Ok() && b.Ok());
    ASSERT_EQ(a.Bitmap().Width(), b.Bitmap().Width());
    int worst = 0;
    for (int y = 0; y < a.Bitmap().Height(); ++y)
      for (int x = 0; x < a.Bitmap().Width(); ++x)
        for (int shift = 0; shift < 32; shift += 8)
          worst = std::max(worst, std::abs(int(a.Bitmap().Pixel(x, y) >> shift & 255) -
                                           int(b.Bitmap().Pixel(x, y) >> shift & 255)));
    EXPECT_LE(worst, p.Tolerance);
  }
}

TEST(TiffLoader, FillOrderSampleMatchesItsPublishedRendering) {
  KV_REQUIRE_CORPUS();
  std::vector<uint8_t> rgba;
  int w = 0, h = 0;
  ASSERT_TRUE(ReadPngRgba(CorpusPath("formats/tiff/pillow_g4-fillorder-test.reference.png"), rgba, w, h));
  TDecodeResult r = DecodeTiff(ReadBytes(CorpusPath("formats/tiff/pillow_g4-fillorder-test.tif")));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_TRUE(MatchesRgba(r.Bitmap(), rgba, w, h));
}

TEST(TiffLoader, RefusesDamagedAndHostileFiles) {
  const std::vector<uint8_t> grey(16, 0x80);
  const std::vector<std::pair<uint16_t, uint32_t>> base = {{256, 4}, {257, 4}, {258, 8}, {259, 1}, {262, 1},
                                                           {273, 0}, {277, 1}, {278, 4}, {279, 16}};
  auto with = [&](std::vector<std::pair<uint16_t, uint32_t>> changes, const std::vector<uint8_t>& pixels) {
    auto tags = base;
    for (auto c : changes) {
      auto it = std::find_if(tags.begin(), tags.end(), [&](auto& t) { return t.first == c.first; });
      if (it != tags.end()) *it = c;
      else tags.push_back(c);
    }
    return MakeTiff(tags, pixels);
  };
  const std::vector<uint8_t> good = with({}, grey);
  ASSERT_TRUE(DecodeTiff(good).Ok()) << DecodeTiff(good).Error().Message;

  const struct {
    const char* What;
    std::vector<uint8_t> Bytes;
  } cases[] = {
      {"empty", {}},
      {"header only", {'I', 'I', 42, 0, 8, 0, 0, 0}},
      {"directory beyond the end", {'I', 'I', 42, 0, 0xFF, 0xFF, 0, 0, 0, 0}},
      {"65536 x 65536 pixels from 16 bytes", with({{256, 65536}, {257, 65536}, {278, 65536}}, grey)},
      {"strip beyond the end", with({{273, 100000}}, grey)},
      {"file ends inside the strip", with({}, std::vector<uint8_t>(grey.begin(), grey.begin() + 5))},
      {"3-bit samples", with({{258, 3}}, grey)},
      {"unknown compression", with({{259, 60000}}, grey)},
      {"zero width", with({{256, 0}}, grey)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DecodeTiff(c.Bytes).Ok());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  }
  // Associated alpha with colour above it: clamped, so the pixel is a valid premultiplied one.
  TDecodeResult clamped = DecodeTiff(with({{258, 8}, {262, 2}, {277, 4}, {278, 1}, {279, 4}, {338, 1}, {256, 1}, {257, 1}},
                                          {200, 10, 0, 100}));
  ASSERT_TRUE(clamped.Ok()) << clamped.Error().Message;
  EXPECT_EQ(clamped.Bitmap().Pixel(0, 0), Color32(100, 100, 10, 0));
  // An orientation value outside 1-8 means the usual one.
  TDecodeResult odd = DecodeTiff(with({{274, 9}}, grey));
  ASSERT_TRUE(odd.Ok());
  EXPECT_EQ(odd.Bitmap().Width(), 4);
}

// Each compression has a best ratio (none 1, PackBits 64, LZW about 3600, deflate 1032, fax a
// bit per line, JPEG a bit per 8x8 block): 1 KB of strip data cannot hold a page of 16384 x
// 16000 pixels (or 262144 lines of fax) under any of them, and is refused before the bitmap is
// allocated. A page at deflate's best ratio still decodes.
TEST(TiffLoader, TinyFilesDeclaringHugePagesAreRefusedBeforeAllocating) {
  const struct {
    const char* What;
    uint32_t Compression, Bits, Photometric, Width, Height;
  } cases[] = {{"uncompressed", 1, 8, 1, 16384, 16000}, {"PackBits", 32773, 8, 1, 16384, 16000},
               {"LZW", 5, 8, 1, 16384, 16000},          {"deflate", 8, 8, 1, 16384, 16000},
               {"CCITT G4", 4, 1, 0, 1024, 262144},     {"JPEG", 7, 8, 1, 16384, 16000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const std::vector<uint8_t> tiff =
        MakeTiff({{256, c.Width}, {257, c.Height}, {258, c.Bits}, {259, c.Compression}, {262, c.Photometric},
                  {273, 0}, {277, 1}, {278, c.Height}, {279, 900}},
                 std::vector<uint8_t>(900, 0x55));
    ExpectRefusedWithinMemory(DecodeTiff, tiff, TDecodeErrorKind::deTruncated);
  }

  const std::vector<uint8_t> flat(2048 * 2048, 0);
  uLongf size = compressBound(uLong(flat.size()));
  std::vector<uint8_t> deflated(size);
  ASSERT_EQ(compress2(deflated.data(), &size, flat.data(), uLong(flat.size()), 9), Z_OK);
  deflated.resize(size);
  TDecodeResult r = DecodeTiff(MakeTiff({{256, 2048}, {257, 2048}, {258, 8}, {259, 8}, {262, 1}, {273, 0}, {277, 1},
                                         {278, 2048}, {279, uint32_t(size)}},
                                        deflated));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(2047, 2047), Color32(255, 0, 0, 0));
}

TEST(TiffLoader, EpsWithoutUsableTiffPreviewFails) {
  KV_REQUIRE_CORPUS();
  const std::vector<uint8_t> eps = ReadBytes(CorpusPath("formats/eps/pillow_1_tiff-preview-first.eps"));
  ASSERT_GE(eps.size(), 30u);
  auto edited = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> b = eps;
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(value >> (8 * i));
    return b;
  };
  const struct {
    const char* What;
    std::vector<uint8_t> Bytes;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"preview offset and length zero (a WMF-only file)", edited(24, 0), TDecodeErrorKind::deUnsupported},
      {"preview beyond the end", edited(20, uint32_t(eps.size())), TDecodeErrorKind::deTruncated},
      {"preview length overflowing", edited(24, 0xFFFFFFF0u), TDecodeErrorKind::deTruncated},
      {"preview not a TIFF", edited(20, 4), TDecodeErrorKind::deCorrupt},
      {"header cut short", std::vector<uint8_t>(eps.begin(), eps.begin() + 12), TDecodeErrorKind::deUnsupported},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    TDecodeResult r = DecodeEps(c.Bytes);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error().Kind, c.Kind) << r.Error().Message;
  }
  // A TIFF is not an EPS file, even though the EPS decoder reads TIFF.
  EXPECT_FALSE(DecodeEps(ReadBytes(CorpusPath("formats/tiff/libtiff_palette-1c-4b.tiff"))).Ok());
}

TEST(TiffLoader, RawFaxStreamsCutOrDamaged) {
  const std::vector<uint8_t> fax = ReadBytes(Data("fax/raw-1d-msb.fax"));
  // Cut in half: the lines that are there, marked Partial.
  TDecodeResult half = DecodeTiff(std::vector<uint8_t>(fax.begin(), fax.begin() + std::ptrdiff_t(fax.size() / 2)));
  ASSERT_TRUE(half.Ok()) << half.Error().Message;
  EXPECT_EQ(half.Bitmap().Width(), 1728);
  EXPECT_LT(half.Bitmap().Height(), 120);
  EXPECT_GT(half.Bitmap().Height(), 10);

  const struct {
    const char* What;
    std::vector<uint8_t> Bytes;
  } notFax[] = {
      {"zeros", std::vector<uint8_t>(4096, 0)},
      {"an EOL followed by noise", {0x00, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01, 0xAB, 0xCD}},
      {"a JPEG", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00}},
      {"a PNG", std::vector<uint8_t>(ReadBytes(Data("png/rgb8.png")))},
  };
  for (const auto& c : notFax) {
    SCOPED_TRACE(c.What);
    EXPECT_FALSE(DecodeTiff(c.Bytes).Ok());
  }
}

// Every sample cut at many points: a failure or the picture at full size, never a crash.
TEST(TiffLoader, TruncatedFilesFailOrKeepTheirSize) {
  std::vector<std::string> paths;
  for (const TCorpusFile& f : OwnFiles) paths.push_back(Data(f.Path));
  if (!CorpusPath("").empty())
    for (const TCorpusFile& f : CorpusFiles) paths.push_back(CorpusPath(std::string("formats/") + f.Path));
  for (const std::string& path : paths) {
    const std::vector<uint8_t> whole = ReadBytes(path);
    TDecodeResult full = DecodeByName(path, whole);
    // Big pages take long to decode even when cut; fewer cuts for them keep the test quick.
    const bool big = full.Ok() && int64_t(full.Bitmap().Width()) * full.Bitmap().Height() > 1000000;
    const int cuts = big ? 3 : 12;
    for (int i = 0; i < cuts; ++i) {
      const size_t cut = whole.size() * size_t(i) / size_t(cuts);
      SCOPED_TRACE(path + " cut at " + std::to_string(cut));
      TDecodeResult r = DecodeByName(path, std::vector<uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(cut)));
      if (r.Ok() && PictureExtension(path) != "g3" && PictureExtension(path) != "fax") {
        ASSERT_TRUE(full.Ok());
        EXPECT_EQ(r.Bitmap().Width(), full.Bitmap().Width());
        EXPECT_EQ(r.Bitmap().Height(), full.Bitmap().Height());
      }
    }
  }
}

TEST(TiffLoader, ExtensionsReachTheTiffDecodersThroughTheRegistry) {
  KV_REQUIRE_CORPUS();
  using namespace GraphicClasses;
  const TGraphicClass* eps = FindGraphicClass(PictureExtension("scan.eps"));
  EXPECT_EQ(eps, &TEPSGraphic);
  ASSERT_NE(eps, nullptr);
  EXPECT_TRUE(eps->InheritsFrom(TTIFFGraphic));
  EXPECT_EQ(FindGraphicClass("FAX"), &TTIFFGraphic);

  TTempDir dir;
  const struct {
    const char* Name;
    std::string Source;
    int Width, Height;
  } files[] = {
      {"scan.eps", CorpusPath("formats/eps/pillow_1_tiff-preview-first.eps"), 72, 48},
      {"page.fax", CorpusPath("formats/fax/fop_xml_fax.tif"), 700, 81},  // a TIFF named .fax
      {"modem.FAX", Data("fax/raw-2d-msb.fax"), 1728, 120},
      {"photo.tif", CorpusPath("formats/tiff/pillow_g4_orientation_6.tif"), 590, 88},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.Name);
    const std::string path = dir.Path() + f.Name;
    WriteBytes(path, ReadBytes(f.Source));
    TDecodeResult r = LoadPicture(path);
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Width(), f.Width);
    EXPECT_EQ(r.Bitmap().Height(), f.Height);
  }
  // Plain PostScript named .eps has no picture to show.
  const std::string plain = dir.Path() + "plain.eps";
  WriteBytes(plain, ReadBytes(CorpusPath("formats/eps/fop_barcode_no-preview.eps")));
  EXPECT_FALSE(LoadPicture(plain).Ok());
}

// An ICC profile (tag 34675) gives Little CMS's colours for RGB, RGB with alpha (converted as its
// straight colour) and min-is-black grey; min-is-white pages keep their grey.
TEST(TiffLoader, IccProfileGivesLittleCmsColours) {
  const std::vector<uint8_t> adobe = icc::AdobeRgb(), grey = icc::Grey(1.0);
  auto page = [](uint32_t photometric, uint32_t samples, uint32_t extra, const std::vector<uint8_t>& pixels,
                 const std::vector<uint8_t>& profile) {
    std::vector<std::pair<uint16_t, uint32_t>> tags = {
        {256, 2}, {257, 1},       {258, 8}, {262, photometric},
        {273, 0}, {277, samples}, {278, 1}, {279, uint32_t(pixels.size())}};
    if (extra) tags.push_back({338, extra});
    return DecodeTiff(MakeTiff(tags, pixels, profile));
  };
  const uint8_t rgb[] = {200, 40, 90, 30, 220, 10};
  const std::vector<TColor32> expected = icc::Convert(adobe, TYPE_RGB_8, rgb, 2);
  auto near = [](TColor32 a, TColor32 b, int tolerance) {
    return std::abs(RedOf(a) - RedOf(b)) <= tolerance && std::abs(GreenOf(a) - GreenOf(b)) <= tolerance &&
           std::abs(BlueOf(a) - BlueOf(b)) <= tolerance;
  };
  const TDecodeResult opaque = page(2, 3, 0, {rgb, rgb + 6}, adobe);
  ASSERT_TRUE(opaque.Ok()) << opaque.Error().Message;
  for (int x = 0; x < 2; ++x) EXPECT_TRUE(near(opaque.Bitmap().Pixel(x, 0), expected[size_t(x)], 1)) << x;

  const TDecodeResult translucent = page(2, 4, 2, {200, 40, 90, 128, 30, 220, 10, 255}, adobe);
  ASSERT_TRUE(translucent.Ok()) << translucent.Error().Message;
  EXPECT_EQ(AlphaOf(translucent.Bitmap().Pixel(0, 0)), 128);
  EXPECT_TRUE(near(StraightPixel(translucent.Bitmap(), 0, 0), expected[0], 2));
  EXPECT_TRUE(near(translucent.Bitmap().Pixel(1, 0), expected[1], 1));

  const uint8_t levels[] = {4, 128};
  const std::vector<TColor32> greys = icc::Convert(grey, TYPE_GRAY_8, levels, 2);
  const TDecodeResult blackIsZero = page(1, 1, 0, {4, 128}, grey);
  ASSERT_TRUE(blackIsZero.Ok());
  for (int x = 0; x < 2; ++x) EXPECT_TRUE(near(blackIsZero.Bitmap().Pixel(x, 0), greys[size_t(x)], 1)) << x;
  EXPECT_EQ(PixelDigest(page(0, 1, 0, {4, 128}, grey).Bitmap()),
            PixelDigest(page(0, 1, 0, {4, 128}, {}).Bitmap()));
}
