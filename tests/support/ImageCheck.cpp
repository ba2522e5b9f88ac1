#include "tests/support/ImageCheck.h"

#include <png.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/support/TestSupport.h"

namespace {
constexpr uint64_t FnvOffset = 0xcbf29ce484222325ULL;
constexpr uint64_t FnvPrime = 0x100000001b3ULL;

void Mix(uint64_t& h, TColor32 c) {
  for (int i = 0; i < 4; ++i) {
    h ^= (c >> (8 * i)) & 0xFF;
    h *= FnvPrime;
  }
}
}  // namespace

uint64_t PixelDigest(const TBitmap32& bitmap) {
  uint64_t h = FnvOffset;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) Mix(h, bitmap.Pixel(x, y));
  return h;
}

uint64_t PixelDigestFromRgba(const uint8_t* rgba, int width, int height) {
  uint64_t h = FnvOffset;
  for (size_t i = 0, n = size_t(width) * size_t(height); i < n; ++i, rgba += 4)
    Mix(h, PremultipliedColor32(rgba[3], rgba[0], rgba[1], rgba[2]));
  return h;
}

std::string DigestText(uint64_t digest) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(digest));
  return buf;
}

testing::AssertionResult MatchesRgba(const TBitmap32& bitmap, const std::vector<uint8_t>& rgba, int width,
                                     int height, int tolerance) {
  if (bitmap.Width() != width || bitmap.Height() != height)
    return testing::AssertionFailure() << "size " << bitmap.Width() << "x" << bitmap.Height() << ", expected "
                                       << width << "x" << height;
  if (rgba.size() < size_t(width) * size_t(height) * 4)
    return testing::AssertionFailure() << "reference has too few bytes";
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* ref = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
      uint8_t a, r, g, b;
      UnpremultiplyColor32(bitmap.Pixel(x, y), a, r, g, b);
      // Colour is meaningless where the reference is fully transparent.
      const int tol = ref[3] == 0 ? 255 : ref[3] < 255 ? std::max(tolerance, 255 / ref[3] + 1) : tolerance;
      if (std::abs(a - ref[3]) > tolerance || std::abs(r - ref[0]) > tol || std::abs(g - ref[1]) > tol ||
          std::abs(b - ref[2]) > tol)
        return testing::AssertionFailure()
               << "pixel (" << x << "," << y << ") is RGBA(" << int(r) << "," << int(g) << "," << int(b) << ","
               << int(a) << "), expected (" << int(ref[0]) << "," << int(ref[1]) << "," << int(ref[2]) << ","
               << int(ref[3]) << ")";
    }
  }
  return testing::AssertionSuccess();
}

bool ReadPngRgba(const std::string& path, std::vector<uint8_t>& rgba, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  width = int(image.width);
  height = int(image.height);
  return true;
}

void ExpectRefusedWithinMemory(TDecodeFn decode, const std::vector<uint8_t>& bytes, TDecodeErrorKind kind) {
  const auto start = std::chrono::steady_clock::now();
  const bool refused = RunsWithinMemory(uint64_t(64) << 20, [&] {
    const TDecodeResult r = decode(bytes);
    if (!r.Ok() && r.Error().Kind == kind) return true;
    std::fprintf(stderr, "decoded: %s\n", r.Ok() ? "a picture" : r.Error().Message.c_str());
    return false;
  });
  EXPECT_TRUE(refused) << "not refused as expected within 64 MiB (the child's reason is above)";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}
