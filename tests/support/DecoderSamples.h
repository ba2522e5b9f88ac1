// Shared checks for the decoder tests: sample-file tables, truncation sweeps and a small
// byte-string builder for hand-made files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "decoders/DecodeResult.h"
#include "tests/support/ImageCheck.h"
#include "tests/support/TestSupport.h"

// One sample file and what an independent reference decoder made of it. Width 0 means the
// file is meant to fail.
struct TDecoderSample {
  const char* File;       // under ../shared/corpus/formats/ unless the test says otherwise
  int Width, Height;
  const char* Digest;     // PixelDigest, from tests/support/refdigest.py over the reference's RGBA;
                          // nullptr where the reference is known to be wrong (pixels checked apart)
  const char* Reference;  // the tool and options that produced the digest, and any deviation
};

// Where CheckSamples finds a sample file: the corpus unless the test says otherwise.
inline std::string CorpusFormatPath(const std::string& file) { return CorpusPath("formats/" + file); }

// Decodes every sample and compares its size and pixel digest with the table.
inline void CheckSamples(TDecodeFn decode, std::span<const TDecoderSample> samples,
                         const std::function<std::string(const std::string&)>& pathOf = CorpusFormatPath) {
  for (const TDecoderSample& s : samples) {
    SCOPED_TRACE(std::string(s.File) + " (" + s.Reference + ")");
    const std::vector<uint8_t> bytes = ReadBytes(pathOf(s.File));
    ASSERT_FALSE(bytes.empty());
    const TDecodeResult r = decode(bytes);
    if (s.Width == 0) {
      EXPECT_FALSE(r.Ok());
      continue;
    }
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_FALSE(r.Partial());
    EXPECT_EQ(r.Bitmap().Width(), s.Width);
    EXPECT_EQ(r.Bitmap().Height(), s.Height);
    if (s.Digest) {
      EXPECT_EQ(DigestText(PixelDigest(r.Bitmap())), s.Digest);
    }
  }
}
inline void CheckSamples(TDecodeFn decode, std::initializer_list<TDecoderSample> samples) {
  CheckSamples(decode, std::span<const TDecoderSample>(samples.begin(), samples.size()));
}

// Cuts the file at a spread of lengths (every length for short files) and decodes each
// prefix: a prefix may fail or give a (partial) picture of the full size, never anything else.
inline void SweepTruncations(TDecodeFn decode, const std::vector<uint8_t>& bytes, const std::string& name) {
  SCOPED_TRACE(name);
  const TDecodeResult full = decode(bytes);
  std::vector<size_t> cuts;
  if (bytes.size() <= 600) {
    for (size_t n = 0; n < bytes.size(); ++n) cuts.push_back(n);
  } else {
    for (size_t n = 0; n <= 520; n += 13) cuts.push_back(n);
    for (size_t k = 1; k < 16; ++k) cuts.push_back(bytes.size() * k / 16);
    for (size_t back : {1, 2, 26, 769, 770}) cuts.push_back(bytes.size() - back);
  }
  for (size_t n : cuts) {
    const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + std::min(n, bytes.size()));
    const TDecodeResult r = decode(prefix);
    if (!r.Ok()) continue;
    ASSERT_TRUE(full.Ok()) << "a prefix of " << n << " bytes decodes where the whole file does not";
    EXPECT_EQ(r.Bitmap().Width(), full.Bitmap().Width()) << n;
    EXPECT_EQ(r.Bitmap().Height(), full.Bitmap().Height()) << n;
  }
}

inline void SweepSampleFolder(TDecodeFn decode, const std::string& folder) {
  namespace fs = std::filesystem;
  for (const auto& e : fs::directory_iterator(CorpusPath("formats/" + folder)))
    SweepTruncations(decode, ReadBytes(e.path().string()), e.path().filename().string());
}

// A decoder's two sample tests: the files of its corpus folder decode to the reference pixels, and
// every truncation of them fails cleanly or decodes part of the picture. The last argument is
// the braced list of samples.
#define KV_SAMPLE_TESTS(Suite, decode, folder, ...)      \
  TEST(Suite, SamplesMatchReferenceDecodes) {            \
    KV_REQUIRE_CORPUS();                                 \
    CheckSamples(decode, __VA_ARGS__);                   \
  }                                                      \
  TEST(Suite, TruncatedSamplesFailOrDecodePartially) {   \
    KV_REQUIRE_CORPUS();                                 \
    SweepSampleFolder(decode, folder);                   \
  }

// Little helper for building files byte by byte in tests.
struct TBytes {
  std::vector<uint8_t> B;
  TBytes& U8(unsigned v) {
    B.push_back(uint8_t(v));
    return *this;
  }
  TBytes& U16LE(unsigned v) { return U8(v).U8(v >> 8); }
  TBytes& U16BE(unsigned v) { return U8(v >> 8).U8(v); }
  TBytes& U32LE(uint32_t v) { return U16LE(v & 0xFFFF).U16LE(v >> 16); }
  TBytes& U32BE(uint32_t v) { return U16BE(v >> 16).U16BE(v & 0xFFFF); }
  TBytes& Str(const std::string& s) { return Raw(std::vector<uint8_t>(s.begin(), s.end())); }
  TBytes& Fill(size_t n, uint8_t v = 0) { return Raw(std::vector<uint8_t>(n, v)); }
  TBytes& Raw(std::initializer_list<uint8_t> bytes) { return Raw(std::vector<uint8_t>(bytes)); }
  TBytes& Raw(const std::vector<uint8_t>& bytes) {
    B.insert(B.end(), bytes.begin(), bytes.end());
    return *this;
  }
  size_t Size() const { return B.size(); }
};

// Straight colour of a decoded pixel, for readable expectations: 0xAARRGGBB un-premultiplied.
inline TColor32 StraightPixel(const TBitmap32& bmp, int x, int y) {
  uint8_t a, r, g, b;
  UnpremultiplyColor32(bmp.Pixel(x, y), a, r, g, b);
  return Color32(a, r, g, b);
}
