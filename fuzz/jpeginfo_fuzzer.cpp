// Fuzz target of the JPEG check's marker walk. Besides not crashing, the walk must give results
// that hold together, and the same results whether it sees the bytes at once or in small windows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "jpeg/ZmJpegInfo.h"
#include "jpeg/ZmJpegStream.h"

#define KV_FUZZ_CHECK(cond)                                        \
  do {                                                             \
    if (!(cond)) {                                                 \
      std::fprintf(stderr, "jpeginfo_fuzzer: failed: %s\n", #cond); \
      std::abort();                                                \
    }                                                              \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TZmJpegInfo info;
  AnalyzeJpegBytes(data, size, info);
  const TZmJpegResult r = info.Result;
  // Bytes in memory can neither be missing nor fail to open.
  KV_FUZZ_CHECK(r >= jrNoError && r <= jrNotJpeg && r != jrFileNotFound && r != jrCannotOpen);
  KV_FUZZ_CHECK(info.Completed == !IsJpegError(r));
  if (info.Completed) {
    KV_FUZZ_CHECK(info.SoiCount == info.EoiCount);
    KV_FUZZ_CHECK(info.DataEnd > 0 && uint64_t(info.DataEnd) <= size);
    KV_FUZZ_CHECK(uint64_t(info.DataEnd + info.AddBinarySize) == size);
  }
  KV_FUZZ_CHECK(info.Quality == -1 || (info.Quality >= 1 && info.Quality <= 100));
  KV_FUZZ_CHECK(info.IJGQuality == -1 || (info.IJGQuality >= 1 && info.IJGQuality <= 100));
  KV_FUZZ_CHECK(info.SofType >= -1 && info.SofType <= 15 && info.SofType != 4 && info.SofType != 8 &&
                info.SofType != 12);
  KV_FUZZ_CHECK(info.Comment.size() <= size);

  // A window size from 1 to 64 that varies with the input.
  const size_t window = 1 + (size > 0 ? data[size / 2] % 64 : 0);
  TZmJpegMemoryStream stream(data, size, window);
  TZmJpegInfo windowed;
  const bool ok = AnalyzeJpegStream(stream, windowed);
  KV_FUZZ_CHECK(ok == (r != jrAnalysisFailed));
  KV_FUZZ_CHECK(windowed.SoiCount == info.SoiCount && windowed.EoiCount == info.EoiCount);
  KV_FUZZ_CHECK(windowed.DataEnd == info.DataEnd && windowed.AddBinarySize == info.AddBinarySize);
  KV_FUZZ_CHECK(windowed.Quality == info.Quality && windowed.IJGQuality == info.IJGQuality);
  KV_FUZZ_CHECK(windowed.Width == info.Width && windowed.Height == info.Height);
  KV_FUZZ_CHECK(windowed.Comment == info.Comment && windowed.Grayscale == info.Grayscale);
  return 0;
}
