#include "jpeg/ZmJpegInfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "jpeg/ZmJpegStream.h"

namespace {

// T.81 Annex K, Table K.1: the luminance quantization table of the reference encoder. Only its
// sum under scaling matters, so the order of the entries does not.
constexpr int LuminanceTable[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,   //
    12, 12, 14, 19, 26,  58,  60,  55,   //
    14, 13, 16, 24, 40,  57,  69,  56,   //
    14, 17, 22, 29, 51,  87,  80,  62,   //
    18, 22, 37, 56, 68,  109, 103, 77,   //
    24, 35, 55, 64, 81,  104, 113, 92,   //
    49, 64, 78, 87, 103, 121, 120, 101,  //
    72, 92, 95, 98, 112, 100, 103, 99,
};

// The IJG encoder's quality scaling: a percentage of the table, limited to baseline values.
constexpr std::array<int32_t, 101> MakeQualitySums() {
  std::array<int32_t, 101> sums{};
  for (int q = 1; q <= 100; ++q) {
    const int scale = q < 50 ? 5000 / q : 200 - 2 * q;
    int32_t sum = 0;
    for (const int v : LuminanceTable) sum += std::clamp((v * scale + 50) / 100, 1, 255);
    sums[size_t(q)] = sum;
  }
  return sums;
}

// a / b to the nearest integer, halves to even; a >= 0, b > 0.
int64_t DivideRoundHalfEven(int64_t a, int64_t b) {
  int64_t q = a / b;
  const int64_t r = a % b;
  if (r > b - r || (r == b - r && (q & 1) != 0)) ++q;
  return q;
}

bool IsFrameMarker(uint8_t m) {
  // SOF0-SOF15 except DHT (C4), JPG (C8) and DAC (CC), which share the range.
  return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// One walk over a stream. Every turn of the main loop starts at least one byte after the previous
// one (a segment end is never before its marker's length field), so the walk always ends.
class TMarkerWalk {
 public:
  TMarkerWalk(TZmJpegStream& stream, TZmJpegInfo& info) : S_(stream), Info_(info) {}
  bool Run();

 private:
  bool HasSignatureAt(uint64_t pos, bool& found);
  bool Marker(uint8_t m);
  // Reads the 2-byte length L; the segment ends L - 2 bytes after it.
  bool ReadLength();
  void LeaveSegment() { S_.Seek(End_); }
  bool SkipSegment();
  bool FrameHeader(uint8_t m);
  bool AppSegment();
  bool ExifSegment();
  bool CommentSegment();
  bool QuantizationSegment();

  TZmJpegStream& S_;
  TZmJpegInfo& Info_;
  uint16_t Length_ = 0;
  uint64_t End_ = 0;
  // Over all DQT segments of the stream.
  int64_t TableCount_ = 0;
  int64_t TableSum_ = 0;
};

bool TMarkerWalk::HasSignatureAt(uint64_t pos, bool& found) {
  uint8_t sig[3];
  S_.Seek(pos);
  if (!S_.Read(sig, 3)) return false;
  found = sig[0] == 0xFF && sig[1] == 0xD8 && sig[2] == 0xFF;
  return true;
}

bool TMarkerWalk::Run() {
  if (S_.Size() < 20) return true;
  bool found = false;
  if (!HasSignatureAt(0, found)) return false;
  if (!found) {
    // A Mac file copied with its 128-byte MacBinary header still in front.
    if (S_.Size() < 148) return true;
    if (!HasSignatureAt(128, found)) return false;
    if (!found) return true;
    Info_.MacBinary = true;
  }
  Info_.SoiCount = 1;
  S_.Seek(S_.Position() - 1);  // back to the 0xFF that follows the SOI marker
  // Bytes other than 0xFF are passed over: entropy-coded data, and junk between segments.
  while (S_.SkipToFF()) {
    S_.Seek(S_.Position() + 1);
    uint8_t m;
    if (!S_.ReadByte(m)) return false;
    if (!Marker(m)) return false;
    if (Info_.Completed) return true;
  }
  return true;
}

bool TMarkerWalk::Marker(uint8_t m) {
  if (m == 0x00 || (m >= 0xD0 && m <= 0xD7)) return true;  // stuffed zero, RSTn
  if (IsFrameMarker(m)) return FrameHeader(m);
  switch (m) {
    case 0xD8:
      ++Info_.SoiCount;
      return true;
    case 0xD9:
      ++Info_.EoiCount;
      if (Info_.SoiCount == Info_.EoiCount) {
        const uint64_t pos = S_.Position();
        Info_.DataEnd = int64_t(pos);
        Info_.AddBinarySize = int64_t(S_.Size() - pos);
        if (TableCount_ != 1) Info_.Grayscale = false;
        Info_.Completed = true;
      }
      return true;
    case 0xDA:  // the scan header is skipped; its data is then passed over by the main loop
      return SkipSegment();
    case 0xDB:
      return QuantizationSegment();
    case 0xE1:
      return ExifSegment();
    case 0xFE:
      return CommentSegment();
    case 0xFF:  // fill byte: this 0xFF may start the marker
      S_.Seek(S_.Position() - 1);
      return true;
    default:
      if (m >= 0xE0 && m <= 0xEF) return AppSegment();
      return SkipSegment();
  }
}

bool TMarkerWalk::ReadLength() {
  if (!S_.ReadWord(Length_)) return false;
  // The length counts its own two bytes: anything less is damaged data, not an empty segment.
  if (Length_ < 2) return false;
  End_ = S_.Position() - 2 + Length_;
  return true;
}

bool TMarkerWalk::SkipSegment() {
  if (!ReadLength()) return false;
  LeaveSegment();
  return true;
}

bool TMarkerWalk::FrameHeader(uint8_t m) {
  Info_.SofType = int8_t(m - 0xC0);
  if (!ReadLength()) return false;
  S_.Seek(S_.Position() + 1);  // sample precision
  uint16_t lines, samples;
  if (!S_.ReadWord(lines)) return false;
  Info_.Height = lines;
  if (!S_.ReadWord(samples)) return false;
  Info_.Width = samples;
  LeaveSegment();
  return true;
}

bool TMarkerWalk::AppSegment() {
  if (!ReadLength()) return false;
  uint8_t id[6];
  if (!S_.Read(id, 6)) return false;
  if (std::memcmp(id, "JFIF", 5) == 0) {  // with its terminating zero
    Info_.JFIF = true;
    S_.Seek(S_.Position() - 1);
    uint8_t b;
    if (!S_.ReadByte(b)) return false;
    Info_.VersionMajor = b;
    if (!S_.ReadByte(b)) return false;
    Info_.VersionMinor = b;
    S_.Seek(S_.Position() + 5);  // density units and densities
    if (!S_.ReadByte(b)) return false;
    Info_.ThumbWidth = b;
    if (!S_.ReadByte(b)) return false;
    Info_.ThumbHeight = b;
  }
  LeaveSegment();
  return true;
}

bool TMarkerWalk::ExifSegment() {
  if (!ReadLength()) return false;
  uint8_t id[6];
  if (!S_.Read(id, 6)) return false;
  if (std::memcmp(id, "Exif\0\0", 6) == 0) Info_.Exif = true;
  LeaveSegment();
  return true;
}

bool TMarkerWalk::CommentSegment() {
  if (!ReadLength()) return false;
  std::string text(Length_ - 2u, '\0');
  if (!S_.Read(reinterpret_cast<uint8_t*>(text.data()), text.size())) return false;
  Info_.Comment = std::move(text);
  LeaveSegment();
  return true;
}

bool TMarkerWalk::QuantizationSegment() {
  if (!ReadLength()) return false;
  // The table count is guessed from the length alone (65 bytes per 8-bit table).
  const int64_t body = int64_t(Length_) - 3;
  TableCount_ += body <= 64 ? 1 : DivideRoundHalfEven(body, 64);
  // Each table follows its own Pq/Tq byte; Pq 0 is 8-bit, 1 is 16-bit, others end the sums.
  bool summing = true;
  while (summing && S_.Position() < End_ && End_ - S_.Position() > 63) {
    uint8_t pqTq;
    if (!S_.ReadByte(pqTq)) return false;
    uint8_t values[128];
    switch (pqTq >> 4) {
      case 0:
        if (!S_.Read(values, 64)) return false;
        for (int i = 0; i < 64; ++i) TableSum_ += values[i];
        break;
      case 1:
        if (!S_.Read(values, 128)) return false;
        for (int i = 0; i < 128; i += 2) TableSum_ += values[i] << 8 | values[i + 1];
        break;
      default:
        summing = false;
        break;
    }
  }
  Info_.Quality = EstimateQuality(TableCount_, TableSum_);
  if (TableCount_ == 1) Info_.IJGQuality = ExactIJGQuality(TableSum_);
  LeaveSegment();
  return true;
}

void SetResultFromWalk(TZmJpegInfo& info) {
  if (info.SoiCount == 0)
    info.Result = jrNotJpeg;
  else if (info.SoiCount != info.EoiCount)
    info.Result = jrDamaged;
  else
    info.Result = info.AddBinarySize != 0 ? jrAppendedData : jrNoError;
}

// Windows of this size keep the copy from the page cache and the search for 0xFF inside the
// processor's cache; much larger ones only cost more cache misses.
constexpr size_t FileBufferSize = 256 * 1024;

uint8_t* ThreadBuffer() {
  thread_local std::unique_ptr<uint8_t[]> buffer(new uint8_t[FileBufferSize]);
  return buffer.get();
}

class TFileCloser {
 public:
  explicit TFileCloser(int fd) : Fd_(fd) {}
  ~TFileCloser() { close(Fd_); }
  TFileCloser(const TFileCloser&) = delete;
  TFileCloser& operator=(const TFileCloser&) = delete;

 private:
  int Fd_;
};

}  // namespace

constexpr std::array<int32_t, 101> QualitySums = MakeQualitySums();

int EstimateQuality(int64_t tableCount, int64_t sum) {
  if (tableCount <= 0) return 1;
  const int64_t mean = DivideRoundHalfEven(std::max<int64_t>(sum, 0), tableCount);
  for (int q = 100; q >= 1; --q)
    if (QualitySums[size_t(q)] >= mean) return q;
  return 1;
}

int ExactIJGQuality(int64_t sum) {
  for (int q = 100; q >= 1; --q)
    if (QualitySums[size_t(q)] == sum) return q;
  return -1;
}

bool AnalyzeJpegStream(TZmJpegStream& stream, TZmJpegInfo& info) {
  return TMarkerWalk(stream, info).Run();
}

void AnalyzeJpegBytes(const uint8_t* data, size_t size, TZmJpegInfo& info) {
  info.Result = jrAnalysisFailed;
  if (!data || size == 0) {
    info.Result = jrEmptyFile;
    return;
  }
  TZmJpegMemoryStream stream(data, size);
  if (AnalyzeJpegStream(stream, info)) SetResultFromWalk(info);
}

void AnalyzeJpegFile(const std::string& fileName, TZmJpegInfo& info) {
  info.Result = jrAnalysisFailed;
  // O_NONBLOCK so that opening a FIFO does not wait for a writer; regular files ignore it.
  const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    info.Result = (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) ? jrFileNotFound : jrCannotOpen;
    return;
  }
  TFileCloser closer(fd);
  struct stat st;
  if (fstat(fd, &st) != 0) {
    info.Result = jrCannotOpen;
    return;
  }
  if (S_ISDIR(st.st_mode)) {  // a folder is not an existing file
    info.Result = jrFileNotFound;
    return;
  }
  if (!S_ISREG(st.st_mode)) {  // devices, FIFOs: nothing a check can read to an end
    info.Result = jrCannotOpen;
    return;
  }
  if (st.st_size == 0) {
    info.Result = jrEmptyFile;
    return;
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  TZmJpegFileStream stream(fd, uint64_t(st.st_size), ThreadBuffer(), FileBufferSize);
  if (AnalyzeJpegStream(stream, info)) SetResultFromWalk(info);
}
