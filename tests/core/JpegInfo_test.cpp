// The marker walk of the JPEG check on streams built from fragments and on small real files:
// result codes, the fields it collects, and every truncation of a real file.
#include "jpeg/ZmJpegInfo.h"

#include <gtest/gtest.h>

#include "jpeg/ZmJpegInfoConsts.h"
#include "jpeg/ZmJpegStream.h"
#include "tests/core/JpegTestBytes.h"

namespace {

TBytes Filler(size_t n, uint8_t value = 0x20) { return TBytes(n, value); }

struct TCodeCase {
  const char* Name;
  TBytes Data;
  int Code;
};

TEST(JpegInfo, ResultCodesOfDamagedAndForeignStreams) {
  const TBytes good = MinimalJpeg();
  // A JFIF segment that starts after a comment, so that its cut files are not too short to check.
  const TBytes lateJfif = TJpegBuilder().Soi().Comment(Filler(20)).Jfif(1, 1).Raw(Filler(4)).Bytes;
  const size_t jfifAt = 2 + 24;
  const size_t afterSof = TJpegBuilder().Soi().Jfif(1, 2).Dqt(4).Bytes.size();
  const size_t afterDht = TJpegBuilder().Soi().Jfif(1, 2).Dqt(4).Sof(0, 3, 5).Dht().Bytes.size();
  const size_t inScan = TJpegBuilder().Soi().Jfif(1, 2).Dqt(4).Sof(0, 3, 5).Dht().Sos().Bytes.size() + 1;
  const TCodeCase cases[] = {
      {"empty", {}, 6},
      {"19 bytes with a signature", Concat({0xFF, 0xD8, 0xFF}, Filler(16)), 7},
      {"text", Filler(200, 'a'), 7},
      {"well-formed", good, 0},
      {"10 bytes appended", Concat(good, Filler(10)), 1},
      {"cut in the scan data", Cut(good, inScan), 2},
      {"cut right after a 0xFF of the scan data", Cut(good, inScan + 2), 3},
      {"cut inside a skipped segment", Cut(good, afterDht - 5), 2},
      {"cut inside the frame header", Cut(good, afterSof + 6), 3},
      {"cut after the frame size", Cut(good, afterSof + 9), 2},
      {"cut inside the JFIF identifier", Cut(lateJfif, jfifAt + 6), 3},
      {"cut inside the JFIF fields", Cut(lateJfif, jfifAt + 15), 3},
      {"JFIF segment complete", Cut(lateJfif, jfifAt + 18), 2},
      {"cut inside the quantization table", Cut(good, 20 + 30), 3},
      {"cut inside a segment length", Cut(good, afterSof + 3), 3},
      {"cut before the final marker byte", Cut(good, good.size() - 1), 3},
      {"no end-of-image marker", Cut(good, good.size() - 2), 2},
      {"second start-of-image in the scan", TJpegBuilder().Raw(Cut(good, good.size() - 2)).Soi().Eoi().Bytes, 2},
      {"two start- and two end-of-image markers",
       TJpegBuilder().Raw(Cut(good, good.size() - 2)).Soi().Eoi().Eoi().Bytes, 0},
  };
  for (const TCodeCase& c : cases) EXPECT_EQ(AnalyzeBytes(c.Data).Result, c.Code) << c.Name;
}

TEST(JpegInfo, WellFormedStreamReportsItsHeaders) {
  const TBytes good = MinimalJpeg();
  const TZmJpegInfo info = AnalyzeBytes(good);
  EXPECT_EQ(info.Result, 0);
  EXPECT_TRUE(info.Completed);
  EXPECT_FALSE(info.MacBinary);
  EXPECT_EQ(info.SofType, 0);
  EXPECT_EQ(info.Height, 3);
  EXPECT_EQ(info.Width, 5);
  EXPECT_TRUE(info.JFIF);
  EXPECT_EQ(info.VersionMajor, 1);
  EXPECT_EQ(info.VersionMinor, 2);
  EXPECT_EQ(info.ThumbWidth, 0);
  EXPECT_EQ(info.ThumbHeight, 0);
  EXPECT_FALSE(info.Exif);
  EXPECT_EQ(info.SoiCount, 1);
  EXPECT_EQ(info.EoiCount, 1);
  EXPECT_EQ(info.DataEnd, int64_t(good.size()));
  EXPECT_EQ(info.AddBinarySize, 0);
  EXPECT_TRUE(info.Grayscale);  // one table
  EXPECT_EQ(info.Comment, "");
}

TEST(JpegInfo, AppendedDataAndConcatenatedImages) {
  const TBytes good = MinimalJpeg();
  TZmJpegInfo info = AnalyzeBytes(Concat(good, Filler(10)));
  EXPECT_EQ(info.AddBinarySize, 10);
  EXPECT_EQ(info.DataEnd, int64_t(good.size()));

  const TBytes second = TestJpeg("gray-q75.jpg");
  info = AnalyzeBytes(Concat(good, second));
  EXPECT_EQ(info.Result, 1);
  EXPECT_EQ(info.AddBinarySize, int64_t(second.size()));
  EXPECT_EQ(info.SoiCount, 1);  // the walk ends at the first image's end
  EXPECT_EQ(info.Height, 3);
}

TEST(JpegInfo, MacBinaryHeaderOnlyAt128) {
  const TBytes good = MinimalJpeg();
  for (const size_t prefix : {size_t(1), size_t(64), size_t(127), size_t(128), size_t(129), size_t(256)}) {
    const TZmJpegInfo info = AnalyzeBytes(Concat(Filler(prefix, 0), good));
    if (prefix == 128) {
      EXPECT_EQ(info.Result, 0);
      EXPECT_TRUE(info.MacBinary);
      EXPECT_EQ(info.DataEnd, int64_t(128 + good.size()));  // offsets count the header too
      EXPECT_EQ(info.Width, 5);
    } else {
      EXPECT_EQ(info.Result, 7) << prefix;
      EXPECT_FALSE(info.MacBinary);
    }
  }
  // Under 148 bytes in all, offset 128 is not looked at.
  const TBytes shortOne = Concat(Filler(128, 0), TJpegBuilder().Soi().Marker(0xC4).Raw(Filler(15)).Bytes);
  ASSERT_EQ(shortOne.size(), 147u);
  EXPECT_EQ(AnalyzeBytes(shortOne).Result, 7);
  EXPECT_EQ(AnalyzeBytes(Concat(shortOne, {0})).Result, 2);  // a Huffman table runs past the end
}

TEST(JpegInfo, ExifThumbnailIsSkippedWithItsSegment) {
  const TBytes thumbnail = TestJpeg("gray-q75.jpg");  // a whole JPEG with SOI, EOI and tables
  const TBytes file = TJpegBuilder().Soi().Exif(thumbnail).Dqt(4).Sof(0, 30, 40).Dht().Sos().Scan().Eoi().Bytes;
  const TZmJpegInfo info = AnalyzeBytes(file);
  EXPECT_EQ(info.Result, 0);
  EXPECT_TRUE(info.Exif);
  EXPECT_FALSE(info.JFIF);
  EXPECT_EQ(info.SoiCount, 1);
  EXPECT_EQ(info.Height, 30);  // not the thumbnail's 32
  EXPECT_TRUE(info.Grayscale);  // the thumbnail's table is not counted

  // The identifier must be exact and in APP1.
  EXPECT_FALSE(AnalyzeBytes(TJpegBuilder().Soi().Segment(0xE1, {'E', 'x', 'i', 'f', 0, 1}).Raw(MinimalJpeg()).Bytes).Exif);
  EXPECT_FALSE(AnalyzeBytes(TJpegBuilder().Soi().Segment(0xE2, {'E', 'x', 'i', 'f', 0, 0}).Raw(MinimalJpeg()).Bytes).Exif);
}

TEST(JpegInfo, JfifInAnyApplicationSegmentButApp1) {
  struct {
    uint8_t App;
    bool Jfif;
  } const cases[] = {{0xE0, true}, {0xE1, false}, {0xE2, true}, {0xEF, true}};
  for (const auto& c : cases) {
    const TBytes file = TJpegBuilder().Soi().Jfif(2, 7, 2, 1, c.App).Dqt(1).Sof(0, 1, 1).Sos().Scan().Eoi().Bytes;
    const TZmJpegInfo info = AnalyzeBytes(file);
    EXPECT_EQ(info.Result, 0);
    EXPECT_EQ(info.JFIF, c.Jfif) << std::hex << int(c.App);
    EXPECT_EQ(info.VersionMajor, c.Jfif ? 2 : -1);
    EXPECT_EQ(info.VersionMinor, c.Jfif ? 7 : -1);
    EXPECT_EQ(info.ThumbWidth, c.Jfif ? 2 : -1);
    EXPECT_EQ(info.ThumbHeight, c.Jfif ? 1 : -1);
  }
}

TEST(JpegInfo, FrameTypeOfEveryMarkerInTheFrameRange) {
  for (int m = 0xC0; m <= 0xCF; ++m) {
    const bool frame = m != 0xC4 && m != 0xC8 && m != 0xCC;
    const TBytes file = TJpegBuilder().Soi().Dqt(1).Segment(uint8_t(m), {8, 0, 7, 0, 9, 1, 1, 0x11, 0}).Eoi().Bytes;
    const TZmJpegInfo info = AnalyzeBytes(file);
    EXPECT_EQ(info.Result, 0);
    EXPECT_EQ(info.SofType, frame ? m - 0xC0 : -1) << std::hex << m;
    EXPECT_EQ(info.Height, frame ? 7 : -1);
    EXPECT_EQ(info.Width, frame ? 9 : -1);
  }
  // The last frame header wins.
  const TZmJpegInfo info = AnalyzeBytes(TJpegBuilder().Soi().Sof(0, 1, 2).Sof(2, 3, 4).Eoi().Raw(Filler(20)).Bytes);
  EXPECT_EQ(info.SofType, 2);
  EXPECT_EQ(info.Height, 3);
  EXPECT_EQ(info.Width, 4);
}

TEST(JpegInfo, FillBytesStuffedZerosAndRestartMarkers) {
  const TBytes file = TJpegBuilder()
                          .Soi()
                          .Raw({0xFF, 0xFF, 0xFF})
                          .Dqt(2)
                          .Sof(0, 8, 8)
                          .Sos()
                          .Raw({0xFF, 0x00, 0xFF, 0xD7, 0x01, 0xFF, 0xFF, 0xD3, 0x00})
                          .Raw({0xFF, 0xFF, 0xD9})
                          .Bytes;
  const TZmJpegInfo info = AnalyzeBytes(file);
  EXPECT_EQ(info.Result, 0);
  EXPECT_EQ(info.DataEnd, int64_t(file.size()));
}

TEST(JpegInfo, CommentKeepsTheRawBytesOfTheLastSegment) {
  const TBytes sjis = {0x83, 0x65, 0x83, 0x58, 0x83, 0x67, 0x00, 'x'};  // "テスト" in Shift-JIS, a zero
  const TBytes rest = MinimalJpeg();
  const TBytes file =
      TJpegBuilder().Soi().Comment(Filler(20)).Comment(sjis).Raw(TBytes(rest.begin() + 2, rest.end())).Bytes;
  const TZmJpegInfo info = AnalyzeBytes(file);
  EXPECT_EQ(info.Result, 0);
  EXPECT_EQ(info.Comment, std::string(sjis.begin(), sjis.end()));
  // Cut inside the comment: its bytes are read, so the walk fails.
  EXPECT_EQ(AnalyzeBytes(Cut(file, 2 + 24 + 7)).Result, 3);

  // A comment whose length field is below 2 is empty; the walk goes on from the length field.
  const TBytes bad = TJpegBuilder().Soi().Raw({0xFF, 0xFE, 0x00, 0x00}).Dqt(1).Sof(0, 2, 2).Eoi().Raw(Filler(8)).Bytes;
  const TZmJpegInfo badInfo = AnalyzeBytes(bad);
  EXPECT_EQ(badInfo.Comment, "");
  EXPECT_EQ(badInfo.Height, 2);
  EXPECT_EQ(badInfo.Result, 1);
}

TEST(JpegInfo, QuantizationTablesAndGrayscale) {
  // Tables of 4 and 1 in one segment, with their precision bytes.
  TBytes twoTables(130, 4);
  twoTables[0] = 0x00;
  twoTables[65] = 0x01;
  std::fill(twoTables.begin() + 66, twoTables.end(), 1);
  TZmJpegInfo info = AnalyzeBytes(TJpegBuilder().Soi().Segment(0xDB, twoTables).Sof(0, 1, 1).Eoi().Raw(Filler(20)).Bytes);
  EXPECT_FALSE(info.Grayscale);
  EXPECT_EQ(info.IJGQuality, -1);
  EXPECT_EQ(info.Quality, EstimateQuality(2, 64 * 5));

  // A 16-bit table sums its 16-bit values (and its length counts as two tables).
  TBytes wide(129, 0);
  wide[0] = 0x10;
  for (size_t i = 1; i < wide.size(); i += 2) wide[i] = 0x01;  // 256 each
  info = AnalyzeBytes(TJpegBuilder().Soi().Segment(0xDB, wide).Sof(0, 1, 1).Eoi().Raw(Filler(20)).Bytes);
  EXPECT_EQ(info.Quality, EstimateQuality(2, 64 * 256));
  EXPECT_FALSE(info.Grayscale);

  // Precision 2 or more adds nothing; the walk continues after the segment.
  TBytes odd(65, 9);
  odd[0] = 0x20;
  info = AnalyzeBytes(TJpegBuilder().Soi().Segment(0xDB, odd).Sof(0, 6, 7).Sos().Scan().Eoi().Bytes);
  EXPECT_EQ(info.Result, 0);
  EXPECT_EQ(info.Quality, 100);  // a mean of 0
  EXPECT_EQ(info.IJGQuality, -1);
  EXPECT_EQ(info.Width, 7);
  EXPECT_TRUE(info.Grayscale);

  // Counts add up over segments: one table, then a second one.
  info = AnalyzeBytes(TJpegBuilder().Soi().Dqt(2).Dqt(2, 1).Sof(0, 1, 1).Eoi().Raw(Filler(20)).Bytes);
  EXPECT_FALSE(info.Grayscale);
  EXPECT_EQ(info.Quality, EstimateQuality(2, 2 * 64 * 2));

  // Without a completed walk nothing is concluded about the tables.
  info = AnalyzeBytes(TJpegBuilder().Soi().Dqt(2).Dqt(2, 1).Sof(0, 1, 1).Raw(Filler(20)).Bytes);
  EXPECT_EQ(info.Result, 2);
  EXPECT_TRUE(info.Grayscale);
}

TEST(JpegInfo, RealFilesFromTheReferenceEncoder) {
  struct {
    const char* Name;
    int SofType;
    bool Grayscale;
    int Quality;
    int IJGQuality;
  } const cases[] = {
      // Colour: the mean of the luminance and chrominance sums; the encoder writes the luminance
      // table in a segment of its own first, which gives the exact quality.
      {"baseline-q75.jpg", 0, false, 68, 75},
      {"gray-q75.jpg", 0, true, 75, 75},
      {"progressive-restart-q90.jpg", 2, false, 87, 90},
  };
  for (const auto& c : cases) {
    const TBytes file = TestJpeg(c.Name);
    ASSERT_FALSE(file.empty()) << c.Name;
    const TZmJpegInfo info = AnalyzeBytes(file);
    EXPECT_EQ(info.Result, 0) << c.Name;
    EXPECT_EQ(info.SofType, c.SofType) << c.Name;
    EXPECT_EQ(info.Width, 48);
    EXPECT_EQ(info.Height, 32);
    EXPECT_TRUE(info.JFIF);
    EXPECT_EQ(info.VersionMajor, 1);
    EXPECT_EQ(info.VersionMinor, 1);
    EXPECT_EQ(info.Grayscale, c.Grayscale) << c.Name;
    EXPECT_EQ(info.Quality, c.Quality) << c.Name;
    EXPECT_EQ(info.IJGQuality, c.IJGQuality) << c.Name;
  }
}

// Every prefix of a real file: no crash, the code its layout calls for, and the same fields
// whether the bytes are seen at once or through small windows.
TEST(JpegInfo, TruncationSweepOverRealFiles) {
  for (const char* name : {"baseline-q75.jpg", "gray-q75.jpg", "progressive-restart-q90.jpg"}) {
    const TBytes file = TestJpeg(name);
    ASSERT_FALSE(file.empty()) << name;
    int codes[8] = {};
    for (size_t cut = 0; cut <= file.size(); ++cut) {
      const TZmJpegInfo info = AnalyzeBytes(Cut(file, cut));
      ASSERT_EQ(info.Result, ExpectedCodeForCut(file, cut)) << name << " cut at " << cut;
      ++codes[info.Result];
      for (const size_t window : {size_t(1), size_t(3), size_t(64)}) {
        TZmJpegInfo windowed;
        TZmJpegMemoryStream stream(file.data(), cut, window);
        const bool ok = AnalyzeJpegStream(stream, windowed);
        ASSERT_EQ(ok, info.Result != 3);
        EXPECT_EQ(windowed.EoiCount, info.EoiCount);
        EXPECT_EQ(windowed.DataEnd, info.DataEnd);
        EXPECT_EQ(windowed.Quality, info.Quality);
        EXPECT_EQ(windowed.Height, info.Height);
      }
    }
    EXPECT_EQ(codes[0], 1) << name;
    EXPECT_GT(codes[2], 50) << name;
    EXPECT_GT(codes[3], 50) << name;  // headers are read in full
  }
}

TEST(JpegInfo, TextsOfResultsAndFrameTypes) {
  EXPECT_STREQ(JpegResultText(0), "なし");
  EXPECT_STREQ(JpegResultText(1), "なし(付加バイナリ有り)");
  EXPECT_STREQ(JpegResultText(2), "JPEGファイルが破損しています");
  EXPECT_STREQ(JpegResultText(3), "不明なエラー");
  EXPECT_STREQ(JpegResultText(4), "ファイルが存在しません");
  EXPECT_STREQ(JpegResultText(5), "ファイルを開けません");
  EXPECT_STREQ(JpegResultText(6), "ファイルサイズが0 バイトです");
  EXPECT_STREQ(JpegResultText(7), "JPEGファイルではありません");
  EXPECT_STREQ(JpegResultText(-1), "");
  EXPECT_STREQ(JpegResultText(8), "");
  EXPECT_STREQ(JpegSofTypeText(-1), "");
  EXPECT_STREQ(JpegSofTypeText(0), "ベースライン ハフマン圧縮");
  EXPECT_STREQ(JpegSofTypeText(2), "プログレッシブ ハフマン圧縮");
  EXPECT_STREQ(JpegSofTypeText(4), "不明(SOF4)");
  EXPECT_STREQ(JpegSofTypeText(10), "プログレッシブ 算術圧縮");
  EXPECT_STREQ(JpegSofTypeText(15), "微分ロスレス 算術圧縮");
  EXPECT_STREQ(JpegSofTypeText(16), "");
}

}  // namespace
