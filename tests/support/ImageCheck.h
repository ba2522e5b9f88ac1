// Pixel checks for decoder and resampling tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bitmap/Bitmap32.h"
#include "decoders/DecodeResult.h"

// FNV-1a 64 over the bitmap's pixel words (premultiplied 0xAARRGGBB, each word as 4 bytes,
// lowest byte first), row by row. Written as 16 hex digits by DigestText.
uint64_t PixelDigest(const TBitmap32& bitmap);
// The same digest computed from straight 8-bit RGBA bytes (as a reference tool writes them),
// premultiplied exactly as decoders do. tests/support/refdigest.py computes it too.
uint64_t PixelDigestFromRgba(const uint8_t* rgba, int width, int height);
std::string DigestText(uint64_t digest);

// Compares a bitmap with straight RGBA reference bytes, allowing `tolerance` per channel
// after un-premultiplying (premultiplication loses precision at low alpha). Names the first
// differing pixel on failure.
testing::AssertionResult MatchesRgba(const TBitmap32& bitmap, const std::vector<uint8_t>& rgba, int width,
                                     int height, int tolerance = 0);

// Reads an 8-bit RGBA rendition of a PNG file with libpng (for committed reference images).
bool ReadPngRgba(const std::string& path, std::vector<uint8_t>& rgba, int& width, int& height);

// Expects `decode` to refuse `bytes` with `kind`, quickly and in a child process that may map
// only 64 MiB more than the test: a decoder that allocates the picture a header declares before
// refusing the file runs out of memory there instead.
void ExpectRefusedWithinMemory(TDecodeFn decode, const std::vector<uint8_t>& bytes, TDecodeErrorKind kind);
