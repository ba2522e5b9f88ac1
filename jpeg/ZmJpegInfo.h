// The analysis of one JPEG file for the integrity check: a walk over its marker structure
// (ITU-T T.81, Annex B) that pairs start-of-image with end-of-image markers and collects what the
// headers say, without decoding anything.
//
// The result codes and their texts are in jpeg/ZmJpegInfoConsts.h.
//
// Thread-safe: the functions keep no shared state, so a worker may analyse files while other
// threads do the same; a stop request is honoured between two calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "jpeg/ZmJpegInfoConsts.h"

class TZmJpegStream;

// Result of analysing one JPEG file. Created fresh for each analysis and filled once; the owner
// (normally the file's record) deletes it through this class.
class TZmJpegInfo {
 public:
  TZmJpegInfo() = default;
  virtual ~TZmJpegInfo() = default;

  bool Grayscale = true;  // reliable only when Completed: exactly one quantization table seen
  bool MacBinary = false;  // the image starts at offset 128 instead of 0
  bool Completed = false;  // reached the EOI that pairs with the first SOI
  bool JFIF = false;  // an application segment carries the JFIF identifier
  int32_t VersionMajor = -1;  // JFIF version bytes
  int32_t VersionMinor = -1;
  bool Exif = false;  // an APP1 segment carries the Exif identifier
  int8_t SofType = -1;  // n of the last SOFn marker 0xC0 + n seen; -1 when none
  // Counts and offsets are 64-bit: a file of any size must give true values.
  int64_t SoiCount = 0;
  int64_t EoiCount = 0;
  int64_t DataEnd = 0;  // stream offset just after the pairing EOI
  int64_t AddBinarySize = 0;  // bytes after DataEnd up to the end of the file
  std::string Comment;  // the raw bytes of the last COM segment (often not UTF-8)
  int32_t Height = -1;  // lines and samples per line of the last frame header
  int32_t Width = -1;
  int32_t ThumbHeight = -1;  // JFIF thumbnail size in pixels
  int32_t ThumbWidth = -1;
  int32_t Quality = -1;  // estimated quality 1-100 after the last DQT segment
  int32_t IJGQuality = -1;  // exact reference-encoder quality of a single table, else -1
  TZmJpegResult Result = jrNotAnalyzed;
};

// Analyses the named file into `info`, which should be fresh, and sets its Result. Reads the
// file in windows through a per-thread buffer, so memory use does not grow with the file's size.
// Throws std::system_error only when reading fails after the file was opened; `info` is then
// partly filled and should be discarded.
void AnalyzeJpegFile(const std::string& fileName, TZmJpegInfo& info);

// The same for bytes in memory (every code but jrFileNotFound and jrCannotOpen).
void AnalyzeJpegBytes(const uint8_t* data, size_t size, TZmJpegInfo& info);

// The marker walk itself: fills every field of `info` except Result. Returns false when the walk
// failed because the data ended where bytes had to be read (a marker byte, a segment length, a
// frame header, an identifier, quantization values, a comment) or because a segment length was
// below 2, which no segment can have. A stream under 20 bytes or
// without the signature leaves SoiCount at 0. Reads each byte at most a bounded number of times,
// so its cost is linear in the stream's size.
bool AnalyzeJpegStream(TZmJpegStream& stream, TZmJpegInfo& info);

// QualitySums[q], q = 1-100: the sum of the 64 entries of the T.81 Annex K luminance table
// scaled to quality q the way the IJG reference encoder scales it. Index 0 is unused (0).
extern const std::array<int32_t, 101> QualitySums;

// The quality 1-100 whose reference sum is the nearest at or above the mean table sum
// (Sum / TableCount, rounded half to even); 1 when every reference sum is below it or when
// TableCount is not positive.
int EstimateQuality(int64_t tableCount, int64_t sum);
// The quality 1-100 whose reference sum equals `sum`, the highest if several do; -1 for none.
int ExactIJGQuality(int64_t sum);
