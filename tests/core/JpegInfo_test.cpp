// The marker walk of the JPEG check on streams built from fragments and on small real files:
// result codes, the fields it collects, and every truncation of a real file.
#include "jpeg/ZmJpegInfo.h"

#include <gtest/gtest.h>

#include "jpeg/ZmJpegInfoConsts.h"
#include "jpeg/ZmJpegStream.h"
#include "tests/core/JpegTestBytes.h"

namespace {

TBytes Filler(size_t n, uint8_t value = 0x20) { return TBytes(n, value); }

TEST(JpegInfo, ResultCodesOfDamagedAndForeignStreams) {
  const TBytes good = MinimalJpeg();
  const size_t sofAt = 2 + 18 + 69, dhtEnd = sofAt + 13 + 22, scanAt = dhtEnd + 10;
  // A JFIF segment after a comment, so that its cuts are long enough to be looked at.
  const TBytes lateJfif = TJpegBuilder().Soi().Segment(0xFE, Filler(20)).Jfif(1, 1).Raw(Filler(4)).Bytes;
  const size_t jfifAt = 2 + 24;
  const TBytes withoutEoi = Cut(good, good.size() - 2);
  struct {
    const char* Name;
    TBytes Data;
    TZmJpegResult Code;
  } const cases[] = {
      {"empty", {}, jrEmptyFile},
      {"19 bytes with a signature", Concat({0xFF, 0xD8, 0xFF}, Filler(16)), jrNotJpeg},
      {"text", Filler(200, 'a'), jrNotJpeg},
      {"well-formed", good, jrNoError},
      {"fill bytes, stuffed zeros, restart markers",
       TJpegBuilder().Soi().Raw({0xFF, 0xFF}).Dqt(2).Sof(0, 8, 8).Sos().Raw({0xFF, 0x00, 0xFF, 0xD7, 0xFF, 0xFF, 0xD3})
           .Raw({0xFF, 0xFF, 0xD9}).Bytes, jrNoError},
      {"10 bytes appended", Concat(good, Filler(10)), jrAppendedData},
      {"cut in the scan data", Cut(good, scanAt + 1), jrDamaged},
      {"cut right after a 0xFF of the scan data", Cut(good, scanAt + 3), jrAnalysisFailed},
      {"cut inside a skipped segment", Cut(good, dhtEnd - 5), jrDamaged},
      {"cut inside a segment length", Cut(good, sofAt + 3), jrAnalysisFailed},
      {"cut inside the frame header", Cut(good, sofAt + 6), jrAnalysisFailed},
      {"cut after the frame size", Cut(good, sofAt + 9), jrDamaged},
      {"cut inside the JFIF identifier", Cut(lateJfif, jfifAt + 6), jrAnalysisFailed},
      {"cut inside the JFIF fields", Cut(lateJfif, jfifAt + 15), jrAnalysisFailed},
      {"cut inside the quantization table", Cut(good, 20 + 30), jrAnalysisFailed},
      {"cut before the final marker byte", Cut(good, good.size() - 1), jrAnalysisFailed},
      {"no end-of-image marker", withoutEoi, jrDamaged},
      {"a second start-of-image marker", TJpegBuilder().Raw(withoutEoi).Soi().Eoi().Bytes, jrDamaged},
      {"two start- and end-of-image markers", TJpegBuilder().Raw(withoutEoi).Soi().Eoi().Eoi().Bytes,
       jrNoError},
      // A segment length counts its own two bytes, so one below 2 is damaged data.
      {"APP5 of length 0 right after SOI",
       Concat({0xFF, 0xD8, 0xFF, 0xE5, 0, 0}, TBytes(good.begin() + 2, good.end())), jrAnalysisFailed},
      {"frame header of length 1", TJpegBuilder().Soi().Raw({0xFF, 0xC0, 0, 1}).Raw(Filler(20)).Eoi().Bytes,
       jrAnalysisFailed},
  };
  for (const auto& c : cases) EXPECT_EQ(AnalyzeBytes(c.Data).Result, c.Code) << c.Name;
}

TEST(JpegInfo, HeadersOfAWellFormedStream) {
  const TBytes good = MinimalJpeg();
  EXPECT_EQ(Summary(AnalyzeBytes(good)),
            "result 0 completed soi 1 eoi 1 end 146+0 sof 0 5x3 quality 96/-1 gray jfif 1.2 thumb 0x0 comment []");
  // Appended bytes, and a second image that the walk does not enter.
  EXPECT_EQ(Summary(AnalyzeBytes(Concat(good, Filler(10)))),
            "result 1 completed soi 1 eoi 1 end 146+10 sof 0 5x3 quality 96/-1 gray jfif 1.2 thumb 0x0 comment []");
  const TBytes second = TestJpeg("gray-q75.jpg");
  EXPECT_EQ(AnalyzeBytes(Concat(good, second)).AddBinarySize, int64_t(second.size()));
}

TEST(JpegInfo, MacBinaryHeaderOnlyAt128) {
  const TBytes good = MinimalJpeg();
  for (const size_t prefix : {1, 64, 127, 128, 129, 256}) {
    const TZmJpegInfo info = AnalyzeBytes(Concat(Filler(prefix, 0), good));
    EXPECT_EQ(info.Result, prefix == 128 ? jrNoError : jrNotJpeg) << prefix;
    EXPECT_EQ(info.MacBinary, prefix == 128) << prefix;
    if (prefix == 128) {
      EXPECT_EQ(info.DataEnd, int64_t(128 + good.size()));  // offsets include it
    }
  }
  // Under 148 bytes in all, offset 128 is not looked at.
  const TBytes shortOne = Concat(Filler(128, 0), TJpegBuilder().Soi().Marker(0xC4).Raw(Filler(15)).Bytes);
  EXPECT_EQ(AnalyzeBytes(shortOne).Result, jrNotJpeg);
  EXPECT_EQ(AnalyzeBytes(Concat(shortOne, {0})).Result, jrDamaged);  // a Huffman table runs past the end
}

TEST(JpegInfo, ExifThumbnailIsSkippedWithItsSegment) {
  const TBytes thumbnail = TestJpeg("gray-q75.jpg");  // with its own SOI, EOI and table
  const TBytes file = TJpegBuilder().Soi().Exif(thumbnail).Dqt(4).Sof(0, 30, 40).Sos().Scan().Eoi().Bytes;
  EXPECT_EQ(Summary(AnalyzeBytes(file)),
            "result 0 completed soi 1 eoi 1 end " + std::to_string(file.size()) +
                "+0 sof 0 40x30 quality 96/-1 gray jfif no -1.-1 thumb -1x-1 exif comment []");
  // The identifier must be exact, and in APP1.
  EXPECT_FALSE(AnalyzeBytes(Concat(TJpegBuilder().Soi().Segment(0xE1, {'E', 'x', 'i', 'f', 0, 1}).Bytes, Filler(20))).Exif);
  EXPECT_FALSE(AnalyzeBytes(Concat(TJpegBuilder().Soi().Segment(0xE2, {'E', 'x', 'i', 'f', 0, 0}).Bytes, Filler(20))).Exif);
}

TEST(JpegInfo, JfifInEveryApplicationSegmentButApp1) {
  for (const uint8_t app : {0xE0, 0xE1, 0xE2, 0xEF}) {
    const TZmJpegInfo info = AnalyzeBytes(TJpegBuilder().Soi().Jfif(2, 7, 2, 1, app).Eoi().Bytes);
    EXPECT_EQ(info.Result, jrNoError);
    const std::string jfif = app == 0xE1 ? "jfif no -1.-1 thumb -1x-1" : "jfif 2.7 thumb 2x1";
    EXPECT_NE(Summary(info).find(jfif), std::string::npos) << Summary(info);
  }
}

TEST(JpegInfo, FrameTypeOfEveryMarkerInTheFrameRange) {
  for (int m = 0xC0; m <= 0xCF; ++m) {
    const bool frame = m != 0xC4 && m != 0xC8 && m != 0xCC;  // DHT, JPG and DAC share the range
    const TZmJpegInfo info = AnalyzeBytes(TJpegBuilder().Soi().Segment(uint8_t(m), {8, 0, 7, 0, 9, 1}).Eoi().Raw(Filler(10)).Bytes);
    EXPECT_EQ(info.SofType, frame ? m - 0xC0 : -1) << std::hex << m;
    EXPECT_EQ(info.Width, frame ? 9 : -1);
    EXPECT_EQ(info.Height, frame ? 7 : -1);
  }
  const TZmJpegInfo last = AnalyzeBytes(TJpegBuilder().Soi().Sof(0, 1, 2).Sof(2, 3, 4).Eoi().Raw(Filler(20)).Bytes);
  EXPECT_EQ(last.SofType, 2);
  EXPECT_EQ(last.Width, 4);
}

TEST(JpegInfo, CommentKeepsTheRawBytesOfTheLastSegment) {
  const TBytes sjis = {0x83, 0x65, 0x83, 0x58, 0x83, 0x67, 0x00, 'x'};  // Shift-JIS text and a zero byte
  const TBytes rest = MinimalJpeg();
  const TBytes file =
      TJpegBuilder().Soi().Segment(0xFE, Filler(20)).Segment(0xFE, sjis).Raw(TBytes(rest.begin() + 2, rest.end())).Bytes;
  EXPECT_EQ(AnalyzeBytes(file).Comment, std::string(sjis.begin(), sjis.end()));
  EXPECT_EQ(AnalyzeBytes(Cut(file, 2 + 24 + 7)).Result, jrAnalysisFailed);  // its bytes are read
  // A length field below 2 is damaged data, not an empty comment.
  const TZmJpegInfo bad = AnalyzeBytes(TJpegBuilder().Soi().Raw({0xFF, 0xFE, 0, 0}).Sof(0, 2, 2).Eoi().Raw(Filler(8)).Bytes);
  EXPECT_EQ(bad.Result, jrAnalysisFailed);
  EXPECT_EQ(bad.Comment, "");
}

TEST(JpegInfo, QuantizationTablesAndGrayscale) {
  // Two 8-bit tables in one segment (all 4, all 1): two tables, sum 320.
  TBytes two(130, 4);
  two[0] = 0x00;
  std::fill(two.begin() + 65, two.end(), 1);
  two[65] = 0x01;
  const TBytes frame = TJpegBuilder().Sof(0, 1, 1).Eoi().Raw(Filler(20)).Bytes;
  TZmJpegInfo info = AnalyzeBytes(TJpegBuilder().Soi().Segment(0xDB, two).Raw(frame).Bytes);
  EXPECT_EQ(info.Quality, EstimateQuality(2, 320));
  EXPECT_EQ(info.IJGQuality, -1);
  EXPECT_FALSE(info.Grayscale);
  // Counts and sums add up over segments; the exact quality is taken while one table is known.
  info = AnalyzeBytes(TJpegBuilder().Soi().Dqt(1).Dqt(200, 1).Raw(frame).Bytes);
  EXPECT_EQ(info.Quality, EstimateQuality(2, 64 * 201));
  EXPECT_EQ(info.IJGQuality, 100);
  EXPECT_FALSE(info.Grayscale);
  // Precision 2 or more adds nothing, and the walk continues after the segment.
  info = AnalyzeBytes(TJpegBuilder().Soi().Dqt(9, 0x20).Sof(0, 6, 7).Sos().Scan().Eoi().Bytes);
  EXPECT_EQ(Summary(info), "result 0 completed soi 1 eoi 1 end 106+0 sof 0 7x6 quality 100/-1 gray jfif no -1.-1 thumb -1x-1 comment []");
  // Without a completed walk nothing is concluded about the tables.
  info = AnalyzeBytes(TJpegBuilder().Soi().Dqt(2).Dqt(2, 1).Sof(0, 1, 1).Raw(Filler(20)).Bytes);
  EXPECT_EQ(info.Result, jrDamaged);
  EXPECT_TRUE(info.Grayscale);
}

TEST(JpegInfo, RealFilesFromTheReferenceEncoder) {
  // Colour: the estimate is over the luminance and chrominance tables; the encoder writes the
  // luminance table in a segment of its own first, which gives the exact quality.
  EXPECT_EQ(Summary(AnalyzeBytes(TestJpeg("baseline-q75.jpg"))),
            "result 0 completed soi 1 eoi 1 end 978+0 sof 0 48x32 quality 68/75 jfif 1.1 thumb 0x0 comment []");
  EXPECT_EQ(Summary(AnalyzeBytes(TestJpeg("gray-q75.jpg"))),
            "result 0 completed soi 1 eoi 1 end 602+0 sof 0 48x32 quality 75/75 gray jfif 1.1 thumb 0x0 comment []");
  EXPECT_EQ(Summary(AnalyzeBytes(TestJpeg("progressive-restart-q90.jpg"))),
            "result 0 completed soi 1 eoi 1 end 1279+0 sof 2 48x32 quality 87/90 jfif 1.1 thumb 0x0 comment []");
}

// Every prefix of a real file: no crash, the code its layout calls for, and the same result
// whether the bytes are seen at once or through small windows.
TEST(JpegInfo, TruncationSweepOverRealFiles) {
  for (const char* name : {"baseline-q75.jpg", "gray-q75.jpg", "progressive-restart-q90.jpg"}) {
    const TBytes file = TestJpeg(name);
    ASSERT_FALSE(file.empty()) << name;
    int codes[jrNotJpeg + 1] = {};
    for (size_t cut = 0; cut <= file.size(); ++cut) {
      const TZmJpegInfo info = AnalyzeBytes(Cut(file, cut));
      ASSERT_EQ(info.Result, ExpectedCodeForCut(file, cut)) << name << " cut at " << cut;
      ++codes[info.Result];
      for (const size_t window : {1, 3, 64}) {
        TZmJpegInfo windowed;
        TZmJpegMemoryStream stream(file.data(), cut, window);
        ASSERT_EQ(AnalyzeJpegStream(stream, windowed), info.Result != jrAnalysisFailed);
        windowed.Result = info.Result;
        ASSERT_EQ(Summary(windowed), Summary(info)) << name << " cut at " << cut << " window " << window;
      }
    }
    EXPECT_EQ(codes[jrNoError], 1) << name;
    EXPECT_GT(codes[jrDamaged], 50) << name;
    EXPECT_GT(codes[jrAnalysisFailed], 50) << name;
  }
}

TEST(JpegInfo, TextsOfResultsAndFrameTypes) {
  const char* const results[] = {"なし", "なし(付加バイナリ有り)", "JPEGファイルが破損しています", "不明なエラー",
                                 "ファイルが存在しません", "ファイルを開けません", "ファイルサイズが0 バイトです",
                                 "JPEGファイルではありません"};
  for (int code = jrNoError; code <= jrNotJpeg; ++code) EXPECT_STREQ(JpegResultText(code), results[code]);
  EXPECT_STREQ(JpegResultText(jrNotAnalyzed), "");
  EXPECT_STREQ(JpegResultText(jrNotJpeg + 1), "");
  EXPECT_STREQ(JpegSofTypeText(-1), "");
  EXPECT_STREQ(JpegSofTypeText(0), "ベースライン ハフマン圧縮");
  EXPECT_STREQ(JpegSofTypeText(4), "不明(SOF4)");
  EXPECT_STREQ(JpegSofTypeText(10), "プログレッシブ 算術圧縮");
  EXPECT_STREQ(JpegSofTypeText(15), "微分ロスレス 算術圧縮");
  EXPECT_STREQ(JpegSofTypeText(16), "");
}

}  // namespace
