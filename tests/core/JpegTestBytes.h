// Helpers of the JPEG analysis tests: JPEG streams built from byte fragments, the small JPEG
// files under tests/data/jpeg, and the segment layout of a well-formed file.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "jpeg/ZmJpegInfo.h"
#include "tests/support/TestSupport.h"

using TBytes = std::vector<uint8_t>;

// Appends markers and segments; every segment gets its length field from its payload.
class TJpegBuilder {
 public:
  TBytes Bytes;

  TJpegBuilder& Raw(const TBytes& b) {
    Bytes.insert(Bytes.end(), b.begin(), b.end());
    return *this;
  }
  TJpegBuilder& Text(const std::string& s) { return Raw(TBytes(s.begin(), s.end())); }
  TJpegBuilder& Marker(uint8_t m) { return Raw({0xFF, m}); }
  TJpegBuilder& Soi() { return Marker(0xD8); }
  TJpegBuilder& Eoi() { return Marker(0xD9); }
  TJpegBuilder& Segment(uint8_t m, const TBytes& payload) {
    const size_t len = payload.size() + 2;
    Marker(m).Raw({uint8_t(len >> 8), uint8_t(len)});
    return Raw(payload);
  }
  // APPn with "JFIF\0", version, 72 dpi and an RGB thumbnail of tw x th pixels.
  TJpegBuilder& Jfif(uint8_t major, uint8_t minor, uint8_t tw = 0, uint8_t th = 0, uint8_t app = 0xE0) {
    TBytes p = {'J', 'F', 'I', 'F', 0, major, minor, 1, 0, 72, 0, 72, tw, th};
    p.resize(p.size() + 3u * tw * th, 0x80);
    return Segment(app, p);
  }
  // APP1 "Exif\0\0" with a big-endian TIFF header and an embedded thumbnail JPEG.
  TJpegBuilder& Exif(const TBytes& thumbnail) {
    TBytes p = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8};
    p.insert(p.end(), thumbnail.begin(), thumbnail.end());
    return Segment(0xE1, p);
  }
  // DQT with one 8-bit table whose 64 entries are all `value`.
  TJpegBuilder& Dqt(uint8_t value, uint8_t id = 0) {
    TBytes p(65, value);
    p[0] = id;
    return Segment(0xDB, p);
  }
  TJpegBuilder& Sof(uint8_t n, uint16_t height, uint16_t width) {
    return Segment(uint8_t(0xC0 + n), {8, uint8_t(height >> 8), uint8_t(height), uint8_t(width >> 8),
                                       uint8_t(width), 1, 1, 0x11, 0});
  }
  TJpegBuilder& Dht() {  // one DC table of a single 1-bit code
    TBytes p(1 + 16 + 1, 0);
    p[1] = 1;
    return Segment(0xC4, p);
  }
  TJpegBuilder& Sos() { return Segment(0xDA, {1, 1, 0x00, 0, 63, 0}); }
  // Entropy-coded bytes with a stuffed zero and a restart marker, as an encoder writes them.
  TJpegBuilder& Scan() { return Raw({0x12, 0x34, 0xFF, 0x00, 0x56, 0xFF, 0xD0, 0x78, 0x9A, 0xBC}); }
  TJpegBuilder& Comment(const TBytes& text) { return Segment(0xFE, text); }
};

// A complete baseline stream: SOI, JFIF 1.2, one table, a 3x5 frame, a Huffman table, one scan.
inline TBytes MinimalJpeg() {
  return TJpegBuilder().Soi().Jfif(1, 2).Dqt(4).Sof(0, 3, 5).Dht().Sos().Scan().Eoi().Bytes;
}

inline TZmJpegInfo AnalyzeBytes(const TBytes& b) {
  TZmJpegInfo info;
  AnalyzeJpegBytes(b.data(), b.size(), info);
  return info;
}

inline TBytes Cut(const TBytes& b, size_t n) { return TBytes(b.begin(), b.begin() + std::ptrdiff_t(n)); }

inline TBytes Concat(TBytes a, const TBytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A file of tests/data/jpeg, made once with cjpeg (libjpeg-turbo 2.1.5) from a 48x32 plasma.
inline TBytes TestJpeg(const std::string& name) {
  const auto dir = std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / "jpeg";
  return ReadBytes((dir / name).string());
}

// One marker of a well-formed file: where it starts and how far the walk must read into it
// (its header bytes) before it can move on; scan data is listed as its own kind.
struct TJpegPart {
  enum TKind { Header, Scan } Kind;
  size_t Start;
  size_t HeaderEnd;  // for Header: the first byte the walk does not need
  size_t End;
};

// Lists the parts of a well-formed file, following segment lengths strictly. The header bytes
// of each kind are the ones the check reads: the frame size, the JFIF or Exif identifier, all of
// a DQT or COM segment; only the marker and the length of any other segment.
inline std::vector<TJpegPart> JpegParts(const TBytes& d) {
  std::vector<TJpegPart> parts;
  size_t i = 2;
  while (i + 1 < d.size()) {
    const uint8_t m = d[i + 1];
    if (m == 0xD9) {
      parts.push_back({TJpegPart::Header, i, i + 2, i + 2});
      break;
    }
    const size_t end = i + 2 + size_t(d[i + 2] << 8 | d[i + 3]);
    size_t header = i + 4;
    if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) header = i + 9;
    if (m >= 0xE0 && m <= 0xEF) {
      const bool jfif = m != 0xE1 && i + 9 <= d.size() && std::memcmp(&d[i + 4], "JFIF", 5) == 0;
      header = jfif ? i + 18 : i + 10;
    }
    if (m == 0xDB || m == 0xFE) header = end;
    parts.push_back({TJpegPart::Header, i, header, end});
    i = end;
    if (m == 0xDA) {  // entropy-coded data up to the next marker that is not RSTn
      size_t j = i;
      while (j + 1 < d.size() && !(d[j] == 0xFF && d[j + 1] != 0 && (d[j + 1] < 0xD0 || d[j + 1] > 0xD7))) ++j;
      parts.push_back({TJpegPart::Scan, i, i, j});
      i = j;
    }
  }
  return parts;
}

// The result code the check must give for the first `cut` bytes of the well-formed file `d`.
inline int ExpectedCodeForCut(const TBytes& d, size_t cut) {
  if (cut == 0) return 6;
  if (cut < 20) return 7;
  if (cut == d.size()) return 0;
  for (const TJpegPart& p : JpegParts(d)) {
    if (cut <= p.Start || cut >= p.End) continue;
    if (p.Kind == TJpegPart::Scan) return d[cut - 1] == 0xFF ? 3 : 2;  // marker byte missing
    return cut < p.HeaderEnd ? 3 : 2;
  }
  return 2;
}
