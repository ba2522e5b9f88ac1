// Hand-made PNG files for tests: chunks with their CRCs and zlib-compressed image data.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

inline void PutPng32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

inline void PutPngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
  PutPng32(out, uint32_t(body.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  PutPng32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

// A PNG of the given header whose image data is `raw` (filter bytes included), compressed.
inline std::vector<uint8_t> MakePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType,
                                    const std::vector<uint8_t>& raw, const std::vector<uint8_t>& palette = {}) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  PutPng32(ihdr, width);
  PutPng32(ihdr, height);
  ihdr.insert(ihdr.end(), {depth, colourType, 0, 0, 0});
  PutPngChunk(png, "IHDR", ihdr);
  if (!palette.empty()) PutPngChunk(png, "PLTE", palette);
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<uint8_t> idat(size);
  compress(idat.data(), &size, raw.data(), uLong(raw.size()));
  idat.resize(size);
  PutPngChunk(png, "IDAT", idat);
  PutPngChunk(png, "IEND", {});
  return png;
}
