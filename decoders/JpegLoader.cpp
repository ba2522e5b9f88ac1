// JPEG decoder on top of libjpeg-turbo's classic API (ITU-T T.81; JFIF; Adobe APP14 for the
// colour transform of four-component files).
//
// Baseline, extended, progressive and arithmetic-coded files, greyscale, YCbCr/RGB and
// CMYK/YCCK. libjpeg reports fatal errors through error_exit, which must not return: ours
// long-jumps back into the decoder, which turns the error into a failure. Warnings (corrupt or
// missing entropy data) do not stop the decoder; when the data ends early the picture is returned
// with Partial() set, as far as the file had it. The Exif orientation is applied as the rows come,
// and a hint lets the IDCT produce the picture at a reduced scale (N/8). An embedded ICC profile
// converts the rows to sRGB as they come (before they are turned), at whatever scale.
//
// libjpeg runs inside setjmp frames, so no C++ object with a destructor lives in those frames:
// the bitmap and the row table are created outside and passed in.

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "decoders/ColourProfile.h"
#include "decoders/Decoders.h"
#include "decoders/JpegIccProfile.h"
#include "decoders/Orientation.h"

namespace {

// Whole-decode memory budget: the bitmap plus libjpeg's own buffers (the coefficient store of a
// progressive or multi-scan image is the big one, 2 bytes per sample). Above it the file is
// refused as too large instead of letting a tiny hostile header claim gigabytes.
constexpr uint64_t MemoryBudget = uint64_t(1536) << 20;
// libjpeg never gets less than this, even next to a huge bitmap (baseline needs little).
constexpr uint64_t MinLibraryMemory = uint64_t(64) << 20;

// Every scan of a progressive file walks the blocks of its components again, so a small file
// made of thousands of scan headers can keep the decoder busy for minutes. Real encoders write
// about ten scans; these limits leave room for odd but honest scripts.
constexpr int MaxScans = 1000;
constexpr uint64_t MaxFullPasses = 64;          // block visits, in passes over the whole image
constexpr uint64_t MinBlockVisits = 1u << 24;   // small images may have many cheap scans

// Writers put the orientation in the first directory, right after the TIFF header; keeping no more
// of an APP1 segment than this bounds what a file of many such segments costs.
constexpr unsigned MaxExifBytes = 4096;

struct TJpegErrorMgr {
  jpeg_error_mgr Pub;  // first, so libjpeg's pointer is also ours
  std::jmp_buf Jump;
  bool SawEof = false;          // libjpeg ran out of data and padded it
  const char* Limit = nullptr;  // set when one of our own limits stopped the decoder
};

struct TJpegProgress {
  jpeg_progress_mgr Pub;  // first, as above
  int LastScan = 0;
  int Scans = 0;
  uint64_t BlockVisits = 0;
  uint64_t MaxVisits = 0;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TJpegErrorMgr*>(cinfo->err);
  std::longjmp(err->Jump, 1);
}

// Warnings (level -1) let decoding go on; only running out of data matters to the result.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<TJpegErrorMgr*>(cinfo->err)->SawEof = true;
}

void OutputMessage(j_common_ptr) {}  // never print

// Counts scans and the blocks they cover while libjpeg absorbs input (it calls this once per
// row of MCUs), and stops the decoder when a file asks for far more work than any image needs.
void ProgressMonitor(j_common_ptr common) {
  if (!common->is_decompressor) return;
  auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
  auto* progress = reinterpret_cast<TJpegProgress*>(cinfo->progress);
  if (cinfo->input_scan_number == progress->LastScan) return;
  progress->LastScan = cinfo->input_scan_number;
  ++progress->Scans;
  for (int i = 0; i < cinfo->comps_in_scan && i < MAX_COMPS_IN_SCAN; ++i) {
    const jpeg_component_info* comp = cinfo->cur_comp_info[i];
    if (comp) progress->BlockVisits += uint64_t(comp->width_in_blocks) * comp->height_in_blocks;
  }
  auto* err = reinterpret_cast<TJpegErrorMgr*>(cinfo->err);
  if (progress->Scans > MaxScans) err->Limit = "too many scans";
  else if (progress->BlockVisits > progress->MaxVisits) err->Limit = "scans cover the image too many times";
  if (err->Limit) std::longjmp(err->Jump, 1);
}

// libjpeg's state for one decode; jpeg_destroy_decompress frees everything libjpeg allocated.
struct TJpegSession {
  jpeg_decompress_struct Info{};
  TJpegErrorMgr Err;
  TJpegProgress Progress;
  bool Created = false;
  bool Adobe = false;       // APP14 "Adobe" seen: CMYK samples are stored inverted
  bool Cmyk = false;        // four-component output that we convert ourselves
  int Orientation = 1;      // Exif orientation, 1-8
  const TColourTransform* Colour = nullptr;  // from the embedded profile

  // libjpeg writes the rows straight into the bitmap.
  bool Direct() const { return !Cmyk && Orientation == 1; }

  TJpegSession() = default;
  TJpegSession(const TJpegSession&) = delete;
  TJpegSession& operator=(const TJpegSession&) = delete;
  ~TJpegSession() {
    if (Created) jpeg_destroy_decompress(&Info);
  }
};

TDecodeErrorKind KindOf(const TJpegSession& s) {
  if (s.Err.Limit) return TDecodeErrorKind::deTooLarge;
  switch (s.Err.Pub.msg_code) {
    case JERR_OUT_OF_MEMORY:
      return TDecodeErrorKind::deOutOfMemory;
    case JERR_NO_BACKING_STORE:  // the coefficient store exceeds the memory budget
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
      return TDecodeErrorKind::deTooLarge;
    case JERR_NOT_COMPILED:
    case JERR_NOTIMPL:
    case JERR_ARITH_NOTIMPL:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_SOF_UNSUPPORTED:
    case JERR_BAD_PRECISION:  // 12-bit and lossless files need another build of the library
      return TDecodeErrorKind::deUnsupported;
    default:
      return s.Err.SawEof ? TDecodeErrorKind::deTruncated : TDecodeErrorKind::deCorrupt;
  }
}

TDecodeResult Failure(TJpegSession& s) {
  char text[JMSG_LENGTH_MAX] = "";
  if (s.Err.Limit) {
    std::snprintf(text, sizeof text, "%s", s.Err.Limit);
  } else {
    s.Err.Pub.format_message(reinterpret_cast<j_common_ptr>(&s.Info), text);
  }
  return TDecodeResult::Fail(KindOf(s), std::string("JPEG: ") + text);
}

// The orientation tag (0x0112) of the first directory of the first Exif segment; 1 when there is
// none or it cannot be read.
int ExifOrientation(const jpeg_decompress_struct& info) {
  for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
    if (m->marker != JPEG_APP0 + 1 || m->data_length < 14 || std::memcmp(m->data, "Exif\0\0", 6) != 0) continue;
    const uint8_t* tiff = m->data + 6;
    const uint64_t size = m->data_length - 6;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
    auto u16 = [&](uint64_t at) { return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1]; };
    auto u32 = [&](uint64_t at) { return uint64_t(u16(little ? at + 2 : at)) << 16 | uint64_t(u16(little ? at : at + 2)); };
    const uint64_t directory = u32(4);
    if (u16(2) != 42 || directory + 2 > size) return 1;
    const int entries = u16(directory);
    for (uint64_t i = 0, at = directory + 2; i < uint64_t(entries) && at + 12 <= size; ++i, at += 12) {
      if (u16(at) != 0x0112) continue;
      const int value = u16(at + 8);
      return u16(at + 2) == 3 && value >= 1 && value <= 8 ? value : 1;  // one SHORT
    }
    return 1;
  }
  return 1;
}

TColourModel ColourModel(J_COLOR_SPACE space) {
  if (space == JCS_GRAYSCALE) return TColourModel::cmGrey;
  if (space == JCS_CMYK || space == JCS_YCCK) return TColourModel::cmCmyk;
  return TColourModel::cmRgb;
}

// The smallest scale N/8 at which the upright picture still covers the box of `hint`.
void ChooseScale(TJpegSession& s, const TDecodeHint& hint) {
  for (unsigned n = 1; n < 8; ++n) {
    s.Info.scale_num = n;
    s.Info.scale_denom = 8;
    jpeg_calc_output_dimensions(&s.Info);
    int64_t width = s.Info.output_width, height = s.Info.output_height;
    if (SwapsAxes(s.Orientation)) std::swap(width, height);
    if (hint.Covers(width, height)) return;
  }
  s.Info.scale_num = s.Info.scale_denom = 1;
  jpeg_calc_output_dimensions(&s.Info);
}

// Creates the decompressor, reads the header and sets the output size for `hint`. Returns false
// on a libjpeg error.
bool ReadHeader(TJpegSession& s, std::span<const uint8_t> data, const TDecodeHint& hint) {
  s.Info.err = jpeg_std_error(&s.Err.Pub);
  s.Err.Pub.error_exit = ErrorExit;
  s.Err.Pub.emit_message = EmitMessage;
  s.Err.Pub.output_message = OutputMessage;
  if (setjmp(s.Err.Jump)) return false;
  jpeg_create_decompress(&s.Info);
  s.Created = true;
  s.Progress.Pub.progress_monitor = ProgressMonitor;
  s.Info.progress = &s.Progress.Pub;
  jpeg_mem_src(&s.Info, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_save_markers(&s.Info, JPEG_APP0 + 1, MaxExifBytes);
  if (jpeg_read_header(&s.Info, TRUE) != JPEG_HEADER_OK) ERREXIT(&s.Info, JERR_NO_IMAGE);
  s.Orientation = ExifOrientation(s.Info);

  s.Adobe = s.Info.saw_Adobe_marker;
  s.Cmyk = s.Info.jpeg_color_space == JCS_CMYK || s.Info.jpeg_color_space == JCS_YCCK;
  // libjpeg-turbo writes 0xFF into the fourth byte, so BGRA bytes are opaque 0xAARRGGBB words.
  if (s.Cmyk) s.Info.out_color_space = JCS_CMYK;
  else s.Info.out_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;
  if (hint.Full()) jpeg_calc_output_dimensions(&s.Info);
  else ChooseScale(s, hint);
  return true;
}

// Four CMYK samples to an opaque pixel. Adobe's writers store the samples inverted (255 means
// no ink), which makes each channel simply ink-free-part x black-free-part.
inline TColor32 CmykPixel(const JSAMPLE* p, bool inverted) {
  unsigned c = p[0], m = p[1], y = p[2], k = p[3];
  if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
  auto mul = [k](unsigned v) {
    const unsigned t = v * k + 128;
    return uint8_t((t + (t >> 8)) >> 8);
  };
  return Color32(255, mul(c), mul(m), mul(y));
}

// Starts the decompressor: checks the tables and, for a progressive or multi-scan file, reads
// every scan. Returns false on a libjpeg error.
bool StartDecompress(TJpegSession& s) {
  if (setjmp(s.Err.Jump)) return false;
  jpeg_start_decompress(&s.Info);
  return true;
}

// One row as libjpeg gave it (BGRA or CMYK samples) to sRGB pixels, through the embedded profile.
void ConvertRow(const TJpegSession& s, JSAMPLE* in, TColor32* out, JDIMENSION width) {
  if (!s.Cmyk) {
    std::memcpy(out, in, size_t(width) * 4);
    s.Colour->Convert(out, width);
    return;
  }
  if (s.Adobe)
    for (JDIMENSION i = 0; i < width * 4; ++i) in[i] = JSAMPLE(255 - in[i]);  // to ink amounts
  s.Colour->ConvertCmyk(in, out, width);
}

// Decodes every row into the bitmap, which has the upright size. With a profile, rows written in
// place are converted there while they are still in the cache; others are converted through
// `converted` (a row of the stored width) before they are turned. Returns false on a libjpeg error.
bool DecodeRows(TJpegSession& s, TBitmap32& bitmap, JSAMPROW* rows, TColor32* converted) {
  if (setjmp(s.Err.Jump)) return false;
  const JDIMENSION width = s.Info.output_width, height = s.Info.output_height;
  const bool swapped = SwapsAxes(s.Orientation);
  if (JDIMENSION(bitmap.Width()) != (swapped ? height : width) || JDIMENSION(bitmap.Height()) != (swapped ? width : height))
    ERREXIT(&s.Info, JERR_BAD_STATE);
  if (s.Info.output_components != 4) ERREXIT(&s.Info, JERR_BAD_STATE);
  // A single-scan file is decoded as it is read. Once its entropy-coded data has run out (the
  // file ends, or a marker other than a restart marker comes), libjpeg makes every further row
  // from padding, so decoding stops two rows of MCUs later (the rows the last data reached) and
  // the rest stays transparent. A progressive file has read all it has by now and gives its
  // whole picture, coarser where data is missing. Without this a tiny file claiming 2^28
  // pixels would cost seconds of decoding nothing.
  const bool sequential = !jpeg_has_multiple_scans(&s.Info);
  const JDIMENSION margin = JDIMENSION(2 * DCTSIZE * std::max(s.Info.max_v_samp_factor, 1));
  JDIMENSION stopAt = s.Info.output_height;
  auto dataEnded = [&s] {
    const int marker = s.Info.unread_marker;
    return s.Err.SawEof || (marker != 0 && (marker < JPEG_RST0 || marker > JPEG_RST0 + 7));
  };
  const bool direct = s.Direct();
  JSAMPARRAY buffer =
      direct ? nullptr
             : (*s.Info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&s.Info), JPOOL_IMAGE, width * 4, 1);
  while (s.Info.output_scanline < stopAt) {
    if (sequential && stopAt == s.Info.output_height && dataEnded())
      stopAt = std::min(stopAt, s.Info.output_scanline + margin);
    const JDIMENSION row = s.Info.output_scanline;
    if (direct) {
      // libjpeg writes straight into the bitmap: one pointer per row, as many rows per call as
      // it likes (several for upsampled chroma).
      if (jpeg_read_scanlines(&s.Info, rows + row, stopAt - row) == 0) break;
      for (JDIMENSION y = row; s.Colour && y < s.Info.output_scanline; ++y)
        s.Colour->Convert(bitmap.ScanLine(int(y)), width);
      continue;
    }
    if (jpeg_read_scanlines(&s.Info, buffer, 1) != 1) break;
    const JSAMPLE* in = buffer[0];
    if (s.Colour) ConvertRow(s, buffer[0], converted, width);
    for (JDIMENSION x = 0; x < width; ++x, in += 4) {
      TColor32 pixel;
      if (s.Colour)
        pixel = converted[x];
      else if (s.Cmyk)
        pixel = CmykPixel(in, s.Adobe);
      else std::memcpy(&pixel, in, sizeof pixel);  // already in the bitmap's byte order
      const auto [dx, dy] = Oriented(s.Orientation, x, row, width, height);
      bitmap.ScanLine(int(dy))[dx] = pixel;
    }
  }
  return true;
}

}  // namespace

bool ProbeJpeg(std::span<const uint8_t> head, uint64_t, TDecodeError& error) {
  if (head.size() >= 4 && head[0] == 0xFF && head[1] == 0xD8) return true;
  error = {head.size() < 4 ? TDecodeErrorKind::deTruncated : TDecodeErrorKind::deCorrupt,
           "JPEG: no start-of-image marker"};
  return false;
}

TDecodeResult DecodeJpeg(std::span<const uint8_t> data) { return DecodeJpeg(data, TDecodeHint{}); }

TDecodeResult DecodeJpeg(std::span<const uint8_t> data, const TDecodeHint& hint) {
  TDecodeError error;
  if (!ProbeJpeg(data, data.size(), error)) return error;
  TJpegSession s;
  if (!ReadHeader(s, data, hint)) return Failure(s);

  // Every limit is checked at full size, so that a reduced decode refuses exactly what a full one
  // does.
  const int64_t width = s.Info.image_width, height = s.Info.image_height;
  if (!TBitmap32::IsAcceptableSize(width, height))
    return TDecodeResult::Fail(TDecodeErrorKind::deTooLarge, "JPEG: image of " + std::to_string(width) + "x" +
                                                                 std::to_string(height) + " exceeds 2^28 pixels");
  const uint64_t bitmapBytes = uint64_t(width) * uint64_t(height) * 4;
  // Progressive and multi-scan files keep every coefficient until the last scan; refuse them
  // before anything is allocated when those and the bitmap cannot fit together.
  const bool buffered = s.Info.progressive_mode || s.Info.comps_in_scan < s.Info.num_components;
  uint64_t coefficientBytes = 0;
  for (int i = 0; buffered && i < s.Info.num_components; ++i) {
    const jpeg_component_info& c = s.Info.comp_info[i];
    const uint64_t h = std::max(c.h_samp_factor, 1), v = std::max(c.v_samp_factor, 1);
    coefficientBytes += (c.width_in_blocks + h - 1) / h * h * ((c.height_in_blocks + v - 1) / v * v) * DCTSIZE2 * 2;
  }
  if (bitmapBytes + coefficientBytes > MemoryBudget)
    return TDecodeResult::Fail(TDecodeErrorKind::deTooLarge, "JPEG: image and coefficient buffers exceed the memory budget");
  const uint64_t libraryMemory = std::max(MinLibraryMemory, MemoryBudget > bitmapBytes ? MemoryBudget - bitmapBytes : 0);
  s.Info.mem->max_memory_to_use = long(std::min<uint64_t>(libraryMemory, uint64_t(LONG_MAX)));

  uint64_t blocks = 0;
  for (int i = 0; i < s.Info.num_components; ++i)
    blocks += uint64_t(s.Info.comp_info[i].width_in_blocks) * s.Info.comp_info[i].height_in_blocks;
  s.Progress.MaxVisits = std::max(MinBlockVisits, blocks * MaxFullPasses);

  // Huffman coding spends at least one bit on every block of every component (its DC code, in
  // the first scan that carries it); an arithmetic coder adapts to a flat picture until a block
  // costs almost nothing. The header has been read: the rest of the file is all the scan data.
  // The bitmap comes before the decompressor starts, which for a progressive file allocates the
  // coefficients and reads every scan.
  TBitmap32 bitmap;
  const uint64_t minimumScanBytes = s.Info.arith_code ? 0 : (blocks + 7) / 8;
  const bool swapped = SwapsAxes(s.Orientation);
  if (!CheckPictureData(width, height, s.Info.src->bytes_in_buffer, minimumScanBytes, error) ||
      !AllocateBitmap(bitmap, swapped ? s.Info.output_height : s.Info.output_width,
                      swapped ? s.Info.output_width : s.Info.output_height, error)) {
    error.Message = "JPEG: " + error.Message;
    return error;
  }
  if (!StartDecompress(s)) return Failure(s);
  std::vector<JSAMPROW> rows(size_t(bitmap.Height()));
  for (int y = 0; y < bitmap.Height(); ++y) rows[size_t(y)] = reinterpret_cast<JSAMPROW>(bitmap.ScanLine(y));
  const TColourTransformPtr colour =
      ColourTransformFor(JpegIccProfile(data), ColourModel(s.Info.jpeg_color_space));
  s.Colour = colour.get();
  std::vector<TColor32> converted(s.Colour && !s.Direct() ? s.Info.output_width : 0);
  if (!DecodeRows(s, bitmap, rows.data(), converted.data())) return Failure(s);

  TDecodeResult result(std::move(bitmap));
  result.SetPartial(s.Err.SawEof || s.Info.output_scanline < s.Info.output_height);
  result.SetFullSize(int(swapped ? height : width), int(swapped ? width : height));
  return result;
}
