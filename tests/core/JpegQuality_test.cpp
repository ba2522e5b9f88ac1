// Quality of JPEG quantization tables: the reference sums, the estimate, the exact match, and
// tables that the reference encoder (libjpeg) writes at every quality setting.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "jpeg/ZmJpegInfo.h"

namespace {

TEST(JpegQuality, ReferenceSumsOfTheLuminanceTable) {
  EXPECT_EQ(QualitySums[1], 16320);  // every entry limited to 255
  EXPECT_EQ(QualitySums[2], 16315);
  EXPECT_EQ(QualitySums[3], 15946);
  EXPECT_EQ(QualitySums[4], 15277);
  EXPECT_EQ(QualitySums[50], 3688);  // the table itself
  EXPECT_EQ(QualitySums[75], 1858);
  EXPECT_EQ(QualitySums[90], 736);
  EXPECT_EQ(QualitySums[99], 86);
  EXPECT_EQ(QualitySums[100], 64);  // every entry 1
  // Strictly falling, so that an exact sum names one quality.
  for (int q = 1; q < 100; ++q) EXPECT_GT(QualitySums[q], QualitySums[q + 1]) << q;
}

TEST(JpegQuality, EstimateTakesTheNearestQualityAtOrAboveTheMeanSum) {
  struct {
    int64_t Tables, Sum;
    int Quality;
  } const cases[] = {
      {1, 1858, 75},          // exact
      {1, 1859, 74},          // a little coarser than 75
      {1, 1857, 75},          // a little finer
      {2, 2 * 1858 + 1, 75},  // mean 1858.5 rounds to the even 1858
      {2, 2 * 1859 + 1, 74},  // mean 1859.5 rounds to the even 1860
      {3, 3 * 736, 90},
      {1, 0, 100},
      {1, 64, 100},
      {1, 16320, 1},
      {1, 1000000, 1},  // coarser than any reference: the lowest
      {0, 1858, 1},     // no tables
      {-5, 1858, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(EstimateQuality(c.Tables, c.Sum), c.Quality) << c.Tables << " " << c.Sum;
}

TEST(JpegQuality, ExactQualityOnlyForAReferenceSum) {
  EXPECT_EQ(ExactIJGQuality(64), 100);
  EXPECT_EQ(ExactIJGQuality(1858), 75);
  EXPECT_EQ(ExactIJGQuality(16320), 1);
  EXPECT_EQ(ExactIJGQuality(1857), -1);
  EXPECT_EQ(ExactIJGQuality(0), -1);
  EXPECT_EQ(ExactIJGQuality(int64_t(1) << 40), -1);
}

// Encodes a small picture with libjpeg at a quality setting.
std::vector<uint8_t> EncodeWithLibjpeg(int quality, bool color, bool forceBaseline) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jerr.emit_message = [](j_common_ptr, int) {};  // quiet about tables too coarse for baseline
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&cinfo, &out, &outSize);
  cinfo.image_width = 16;
  cinfo.image_height = 8;
  cinfo.input_components = color ? 3 : 1;
  cinfo.in_color_space = color ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, forceBaseline ? TRUE : FALSE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(16 * 3);
  for (JDIMENSION y = 0; y < cinfo.image_height; ++y) {
    for (size_t x = 0; x < row.size(); ++x) row[x] = JSAMPLE((x * 13 + y * 29) & 0xFF);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> bytes(out, out + outSize);
  std::free(out);
  return bytes;
}

TEST(JpegQuality, EveryQualityOfTheReferenceEncoderIsRecognised) {
  for (int q = 1; q <= 100; ++q) {
    const std::vector<uint8_t> gray = EncodeWithLibjpeg(q, false, true);
    TZmJpegInfo info;
    AnalyzeJpegBytes(gray.data(), gray.size(), info);
    ASSERT_EQ(info.Result, jrNoError) << q;
    EXPECT_TRUE(info.Grayscale) << q;
    EXPECT_EQ(info.IJGQuality, q);
    EXPECT_EQ(info.Quality, q);

    const std::vector<uint8_t> color = EncodeWithLibjpeg(q, true, true);
    TZmJpegInfo colorInfo;
    AnalyzeJpegBytes(color.data(), color.size(), colorInfo);
    ASSERT_EQ(colorInfo.Result, jrNoError) << q;
    EXPECT_FALSE(colorInfo.Grayscale) << q;
    EXPECT_EQ(colorInfo.IJGQuality, q);  // from the luminance table's own segment
    // The chrominance table is coarser, so the estimate over both is never above the setting.
    EXPECT_LE(colorInfo.Quality, q);
  }
}

TEST(JpegQuality, SixteenBitTablesOfTheReferenceEncoder) {
  // Without the baseline limit, quality 1 makes entries above 255, written with 16-bit precision.
  const std::vector<uint8_t> gray = EncodeWithLibjpeg(1, false, false);
  TZmJpegInfo info;
  AnalyzeJpegBytes(gray.data(), gray.size(), info);
  EXPECT_EQ(info.Result, jrNoError);
  EXPECT_EQ(info.SofType, 1);  // extended sequential
  EXPECT_EQ(info.Quality, 1);
  EXPECT_EQ(info.IJGQuality, -1);  // the 129-byte table is taken for two by its length
  EXPECT_FALSE(info.Grayscale);

  // From quality 24 on the entries stay below 256, and the table is 8-bit and exact again.
  const std::vector<uint8_t> fine = EncodeWithLibjpeg(24, false, false);
  TZmJpegInfo fineInfo;
  AnalyzeJpegBytes(fine.data(), fine.size(), fineInfo);
  EXPECT_EQ(fineInfo.IJGQuality, 24);
}

}  // namespace
