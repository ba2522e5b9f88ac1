// Helpers of the JPEG analysis tests: streams built from byte fragments, the small files under
// tests/data/jpeg, a one-line summary of a result, and the code each truncation must give.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "jpeg/ZmJpegInfo.h"
#include "tests/support/TestSupport.h"

using TBytes = std::vector<uint8_t>;

// Appends markers and segments; each segment's length field comes from its payload.
struct TJpegBuilder {
  TBytes Bytes;
  TJpegBuilder& Raw(const TBytes& b) {
    Bytes.insert(Bytes.end(), b.begin(), b.end());
    return *this;
  }
  TJpegBuilder& Marker(uint8_t m) { return Raw({0xFF, m}); }
  TJpegBuilder& Soi() { return Marker(0xD8); }
  TJpegBuilder& Eoi() { return Marker(0xD9); }
  TJpegBuilder& Segment(uint8_t m, const TBytes& payload) {
    Marker(m).Raw({uint8_t((payload.size() + 2) >> 8), uint8_t(payload.size() + 2)});
    return Raw(payload);
  }
  // "JFIF\0", version, 72 dpi, and an RGB thumbnail of tw x th pixels.
  TJpegBuilder& Jfif(uint8_t major, uint8_t minor, uint8_t tw = 0, uint8_t th = 0, uint8_t app = 0xE0) {
    TBytes p = {'J', 'F', 'I', 'F', 0, major, minor, 1, 0, 72, 0, 72, tw, th};
    p.resize(p.size() + 3u * tw * th, 0x80);
    return Segment(app, p);
  }
  // "Exif\0\0", a big-endian TIFF header, and an embedded thumbnail JPEG.
  TJpegBuilder& Exif(const TBytes& thumbnail) {
    TBytes p = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8};
    p.insert(p.end(), thumbnail.begin(), thumbnail.end());
    return Segment(0xE1, p);
  }
  TJpegBuilder& Dqt(uint8_t value, uint8_t pqTq = 0) {  // one table of 64 equal entries
    TBytes p(65, value);
    p[0] = pqTq;
    return Segment(0xDB, p);
  }
  TJpegBuilder& Sof(uint8_t n, uint16_t h, uint16_t w) {
    return Segment(uint8_t(0xC0 + n), {8, uint8_t(h >> 8), uint8_t(h), uint8_t(w >> 8), uint8_t(w), 1, 1, 0x11, 0});
  }
  TJpegBuilder& Dht() { return Segment(0xC4, {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}); }
  TJpegBuilder& Sos() { return Segment(0xDA, {1, 1, 0x00, 0, 63, 0}); }
  // Entropy-coded bytes with a stuffed zero and a restart marker.
  TJpegBuilder& Scan() { return Raw({0x12, 0x34, 0xFF, 0x00, 0x56, 0xFF, 0xD0, 0x78, 0x9A, 0xBC}); }
};

// SOI, JFIF 1.2, one table, a 3x5 frame, a Huffman table, one scan, EOI.
inline TBytes MinimalJpeg() {
  return TJpegBuilder().Soi().Jfif(1, 2).Dqt(4).Sof(0, 3, 5).Dht().Sos().Scan().Eoi().Bytes;
}

inline TZmJpegInfo AnalyzeBytes(const TBytes& b) {
  TZmJpegInfo info;
  AnalyzeJpegBytes(b.data(), b.size(), info);
  return info;
}

inline TBytes Cut(const TBytes& b, size_t n) { return TBytes(b.begin(), b.begin() + std::ptrdiff_t(n)); }
inline TBytes Concat(TBytes a, const TBytes& b) { return TJpegBuilder{std::move(a)}.Raw(b).Bytes; }

// A file of tests/data/jpeg, made once with cjpeg (libjpeg-turbo 2.1.5) from a 48x32 plasma.
inline TBytes TestJpeg(const std::string& name) {
  return ReadBytes(TestDataPath("jpeg/" + name));
}

// Every field of a result on one line, so that tests can compare whole results.
inline std::string Summary(const TZmJpegInfo& i) {
  return "result " + std::to_string(i.Result) + (i.Completed ? " completed" : "") + (i.MacBinary ? " macbinary" : "") +
         " soi " + std::to_string(i.SoiCount) + " eoi " + std::to_string(i.EoiCount) + " end " +
         std::to_string(i.DataEnd) + "+" + std::to_string(i.AddBinarySize) + " sof " + std::to_string(i.SofType) + " " +
         std::to_string(i.Width) + "x" + std::to_string(i.Height) + " quality " + std::to_string(i.Quality) + "/" +
         std::to_string(i.IJGQuality) + (i.Grayscale ? " gray" : "") + " jfif " + (i.JFIF ? "" : "no ") +
         std::to_string(i.VersionMajor) + "." + std::to_string(i.VersionMinor) + " thumb " +
         std::to_string(i.ThumbWidth) + "x" + std::to_string(i.ThumbHeight) + (i.Exif ? " exif" : "") + " comment [" +
         i.Comment + "]";
}

// The result code for the first `cut` bytes of the well-formed file `d`. The walk reads the
// marker and length of every segment, the frame size, a JFIF or Exif identifier (with the JFIF
// fields), and all of a DQT or COM segment; a cut there is code 3. A cut in the rest of a segment
// or in scan data is code 2, except right after a 0xFF, where the marker byte is missing.
inline int ExpectedCodeForCut(const TBytes& d, size_t cut) {
  if (cut == 0) return 6;
  if (cut < 20) return 7;
  if (cut == d.size()) return 0;
  for (size_t i = 2; i + 1 < d.size();) {  // i: a marker, following segment lengths strictly
    if (cut <= i) return 2;  // whole segments
    const uint8_t m = d[i + 1];
    if (m == 0xD9) return 3;  // the cut is inside the final marker
    const size_t end = i + 2 + size_t(d[i + 2] << 8 | d[i + 3]);
    size_t header = i + 4;
    if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) header = i + 9;
    if (m >= 0xE0 && m <= 0xEF) header = m != 0xE1 && std::memcmp(&d[i + 4], "JFIF", 5) == 0 ? i + 18 : i + 10;
    if (m == 0xDB || m == 0xFE) header = end;
    if (cut > i && cut < end) return cut < header ? 3 : 2;
    i = end;
    if (m == 0xDA) {  // scan data runs to the next marker that is not RSTn
      const size_t scan = i;
      while (i + 1 < d.size() && !(d[i] == 0xFF && d[i + 1] != 0 && (d[i + 1] < 0xD0 || d[i + 1] > 0xD7))) ++i;
      if (cut < i) return cut > scan && d[cut - 1] == 0xFF ? 3 : 2;
    }
  }
  return 2;
}
