// TIFF decoder on top of libtiff (TIFF 6.0 specification, Adobe 1992), plus the TIFF preview of a
// DOS EPS file (Adobe EPSF 3.0, section 5.2) and, for files that are not TIFF, raw G3 fax.
//
// The first page only. libtiff's RGBA reader does the sample conversion for every photometric
// interpretation, bit depth, compression (CCITT G3/G4 included), strip and tile layout it knows;
// this unit adds what it lacks: reading from memory, limits on memory, silent diagnostics, all
// eight orientations (libtiff's reader only flips, it never transposes), premultiplied alpha, and
// the embedded ICC profile (tag 34675) for RGB, YCbCr, palette and min-is-black grey pages. CMYK
// pages keep libtiff's plain conversion: its reader has made RGB of them before a profile could
// be applied.
#include "decoders/TiffLoader.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "decoders/ByteReader.h"
#include "decoders/ColourProfile.h"
#include "decoders/Decoders.h"
#include "decoders/Orientation.h"

namespace {

// The bitmap and the buffers of one decode together stay under this; a larger image is refused
// as too large. libtiff's own allocations are capped one by one (a decoded strip is the big one).
constexpr uint64_t MemoryBudget = uint64_t(1536) << 20;
constexpr tmsize_t MaxLibraryAllocation = tmsize_t(512) << 20;
// Rows handed to libtiff per call when the image must be transposed.
constexpr uint32_t MinBandRows = 64;

constexpr size_t EpsHeaderSize = 30;
constexpr uint32_t EpsMagic = 0xC6D3D0C5;  // "EPSF" with the high bits set, little-endian

// libtiff prints through process-wide handlers whenever a message has no file to go to; ours
// are per file, so the global ones are switched off once.
void SilenceGlobalHandlers() {
  static const bool silenced = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)silenced;
}

// libtiff's raster word is A, B, G, R from high to low byte; ours is A, R, G, B. A file with
// associated alpha may store colour above its alpha, which no premultiplied pixel can hold;
// such colour is clamped.
inline TColor32 FromAbgr(uint32_t v) {
  const TColor32 c = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
  const uint8_t a = AlphaOf(c);
  if (a == 255) return c;
  return Color32(a, std::min(RedOf(c), a), std::min(GreenOf(c), a), std::min(BlueOf(c), a));
}

// libtiff's RGBA reader leaves unassociated grey + alpha unpremultiplied at 8 bits and drops the
// alpha of 16-bit grey entirely; this put routine replaces its own for contiguous grey + alpha.
// It writes libtiff's raster words (A, B, G, R), premultiplied, like every other routine.
template <typename Sample>
void PutGreyAlpha(TIFFRGBAImage* img, uint32_t* cp, uint32_t, uint32_t, uint32_t w, uint32_t h, int32_t fromskew,
                  int32_t toskew, unsigned char* pp) {
  constexpr unsigned maxValue = (1u << (8 * sizeof(Sample))) - 1;
  const size_t step = img->samplesperpixel;
  const bool minIsWhite = img->photometric == PHOTOMETRIC_MINISWHITE;
  const bool associated = img->alpha == EXTRASAMPLE_ASSOCALPHA;
  auto to8 = [](unsigned v) { return uint8_t(maxValue == 255 ? v : (v * 255 + maxValue / 2) / maxValue); };
  for (uint32_t row = 0; row < h; ++row) {
    for (uint32_t x = 0; x < w; ++x, pp += step * sizeof(Sample)) {
      Sample grey, alpha;  // libtiff has already swapped the bytes to native order
      std::memcpy(&grey, pp, sizeof grey);
      std::memcpy(&alpha, pp + sizeof(Sample), sizeof alpha);
      const uint8_t a = to8(alpha);
      uint8_t g = to8(minIsWhite ? maxValue - grey : grey);
      if (associated) g = std::min(g, a);
      else g = RedOf(PremultipliedColor32(a, g, 0, 0));
      *cp++ = uint32_t(a) << 24 | uint32_t(g) << 16 | uint32_t(g) << 8 | g;
    }
    cp += toskew;
    pp += ptrdiff_t(fromskew) * ptrdiff_t(step * sizeof(Sample));
  }
}

// Ends libtiff's RGBA reader on every path out.
struct TRgbaReader {
  TIFFRGBAImage Image{};
  bool Begun = false;
  TRgbaReader() = default;
  TRgbaReader(const TRgbaReader&) = delete;
  TRgbaReader& operator=(const TRgbaReader&) = delete;
  ~TRgbaReader() {
    if (Begun) TIFFRGBAImageEnd(&Image);
  }
};

TDecodeError TiffFailure(TDecodeErrorKind kind, const std::string& what, const TTiffMemoryFile& file) {
  std::string message = "TIFF: " + what;
  if (!file.LastError().empty()) message += " (" + file.LastError() + ")";
  return {kind, message};
}

// The DOS EPS binary header: where the TIFF preview lies. False when it names none, or one
// beyond the end of the file.
bool ReadEpsHeader(std::span<const uint8_t> head, uint64_t fileSize, uint64_t& offset, uint64_t& length,
                   TDecodeError& error) {
  TByteReader header(head);
  if (header.U32LE() != EpsMagic || head.size() < EpsHeaderSize) {
    error = {TDecodeErrorKind::deUnsupported, "EPS: no binary header, so no TIFF preview (PostScript is not rendered)"};
    return false;
  }
  header.Seek(20);
  offset = header.U32LE(), length = header.U32LE();
  if (offset == 0 || length == 0) {
    error = {TDecodeErrorKind::deUnsupported, "EPS: the file has no TIFF preview"};
    return false;
  }
  if (offset + length > fileSize) {
    error = {TDecodeErrorKind::deTruncated, "EPS: the TIFF preview lies beyond the end of the file"};
    return false;
  }
  return true;
}

}  // namespace

// ---- TTiffMemoryFile ----------------------------------------------------------------------------

TTiffMemoryFile::~TTiffMemoryFile() {
  if (Tiff_) TIFFClose(Tiff_);
}

bool TTiffMemoryFile::Open(std::span<const uint8_t> data) {
  SilenceGlobalHandlers();
  Data_ = data;
  Pos_ = 0;
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return false;
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, MaxLibraryAllocation);
  TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, this);
  TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, this);
  // "r" lets libtiff "map" the file, which here is the span itself: strips are read in place.
  Tiff_ = TIFFClientOpenExt("memory", "r", this, Read, Write, Seek, Close, Size, Map, Unmap, options);
  TIFFOpenOptionsFree(options);
  return Tiff_ != nullptr;
}

tmsize_t TTiffMemoryFile::Read(thandle_t h, void* buffer, tmsize_t size) {
  auto* self = static_cast<TTiffMemoryFile*>(h);
  if (size <= 0 || self->Pos_ >= self->Data_.size()) return 0;
  const uint64_t n = std::min<uint64_t>(uint64_t(size), self->Data_.size() - self->Pos_);
  std::memcpy(buffer, self->Data_.data() + self->Pos_, size_t(n));
  self->Pos_ += n;
  return tmsize_t(n);
}

toff_t TTiffMemoryFile::Seek(thandle_t h, toff_t offset, int whence) {
  auto* self = static_cast<TTiffMemoryFile*>(h);
  uint64_t base = 0;
  if (whence == SEEK_CUR) base = self->Pos_;
  else if (whence == SEEK_END) base = self->Data_.size();
  else if (whence != SEEK_SET) return toff_t(-1);
  // Offsets are unsigned: a position outside the data is kept, and reads there return nothing.
  const uint64_t target = base + uint64_t(offset);
  self->Pos_ = target;
  return target;
}

toff_t TTiffMemoryFile::Size(thandle_t h) { return static_cast<TTiffMemoryFile*>(h)->Data_.size(); }

int TTiffMemoryFile::Map(thandle_t h, void** base, toff_t* size) {
  auto* self = static_cast<TTiffMemoryFile*>(h);
  if (self->Data_.empty()) return 0;
  // libtiff only reads through a mapping (files are mapped read-only), so the cast is safe.
  *base = const_cast<uint8_t*>(self->Data_.data());
  *size = self->Data_.size();
  return 1;
}

int TTiffMemoryFile::OnError(TIFF*, void* self, const char* module, const char* format, va_list args) {
  auto* file = static_cast<TTiffMemoryFile*>(self);
  ++file->Errors_;
  char text[256];
  std::vsnprintf(text, sizeof text, format, args);
  file->LastError_ = module && *module ? std::string(module) + ": " + text : std::string(text);
  return 1;  // handled: libtiff does not call the global handler
}

int TTiffMemoryFile::OnWarning(TIFF*, void* self, const char*, const char*, va_list) {
  ++static_cast<TTiffMemoryFile*>(self)->Warnings_;
  return 1;
}

bool IsTiffSignature(std::span<const uint8_t> data) {
  if (data.size() < 8) return false;
  const bool little = data[0] == 'I' && data[1] == 'I' && data[3] == 0 && (data[2] == 42 || data[2] == 43);
  const bool big = data[0] == 'M' && data[1] == 'M' && data[2] == 0 && (data[3] == 42 || data[3] == 43);
  return little || big;
}

// ---- The first page ----------------------------------------------------------------------------

namespace {

// What the first directory says about the page, read before any pixel is decoded.
struct TTiffPage {
  uint32_t Width = 0, Height = 0;  // as stored, before orientation
  uint16_t Orientation = ORIENTATION_TOPLEFT;
  bool Transposed = false;          // orientations 5-8 swap the axes
  uint32_t BandRows = 0;            // rows per call when transposing
  uint64_t StoredBytes = 0;         // strip or tile data inside the file
  uint64_t MinimumStoredBytes = 0;  // the fewest stored bytes that can hold the page
};

// The fewest stored bytes that can hold `raw` bytes of samples, `width` x `height` pixels, under
// a compression scheme; 0 for schemes without such a bound (adaptive coders, and old-style
// JPEG, whose data need not be in the strips).
uint64_t MinimumStoredBytes(uint16_t compression, uint64_t raw, uint32_t width, uint32_t height) {
  switch (compression) {
    case COMPRESSION_NONE:
      return raw;
    case COMPRESSION_PACKBITS:  // a 2-byte run gives at most 128 bytes
      return raw / 64;
    case COMPRESSION_LZW:  // a code takes 9 bits or more; no string is longer than the code table
      return raw * 9 / (8 * 8192);
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:  // 258 bytes from a match coded in 2 bits
      return raw / 1032;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:  // a line like the one above it still takes a bit
      return (uint64_t(height) + 7) / 8;
    case COMPRESSION_JPEG:  // Huffman coding: a bit per 8x8 block of the first component at least
      return ((uint64_t(width) + 7) / 8 * ((uint64_t(height) + 7) / 8) + 7) / 8;
    default:
      return 0;
  }
}

// The strip or tile bytes that lie inside the file, counted until there are `enough`.
uint64_t StoredBytes(TIFF* tif, uint64_t fileSize, uint64_t enough) {
  const uint32_t count = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
  uint64_t sum = 0;
  for (uint32_t i = 0; i < count && sum < enough; ++i) {
    const uint64_t offset = TIFFGetStrileOffset(tif, i), bytes = TIFFGetStrileByteCount(tif, i);
    if (offset < fileSize) sum += std::min(bytes, fileSize - offset);
  }
  return sum;
}

bool ReadPageHeader(const TTiffMemoryFile& file, uint64_t fileSize, TTiffPage& page, TDecodeError& error) {
  TIFF* tif = file.Tiff();
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.Width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.Height)) {
    error = TiffFailure(TDecodeErrorKind::deCorrupt, "no image size", file);
    return false;
  }
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &page.Orientation);
  if (page.Orientation < ORIENTATION_TOPLEFT || page.Orientation > ORIENTATION_LEFTBOT)
    page.Orientation = ORIENTATION_TOPLEFT;
  page.Transposed = SwapsAxes(page.Orientation);

  char message[1024] = "";
  if (!TIFFRGBAImageOK(tif, message)) {
    error = TiffFailure(TDecodeErrorKind::deUnsupported, message, file);
    return false;
  }

  // Whole strips or tile rows per band, so libtiff decodes each once.
  const uint32_t width = page.Width, height = page.Height;
  if (page.Transposed) {
    uint32_t unit = 0;
    if (TIFFIsTiled(tif)) TIFFGetField(tif, TIFFTAG_TILELENGTH, &unit);
    else TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &unit);
    unit = std::clamp<uint32_t>(unit, 1, std::max<uint32_t>(height, 1));
    page.BandRows = uint32_t(std::min<uint64_t>(height, uint64_t(unit) * ((MinBandRows + unit - 1) / unit)));
  }
  const uint64_t pixels = uint64_t(width) * height;
  if (pixels <= TBitmap32::MaxPixels && (pixels + uint64_t(width) * page.BandRows) * 4 > MemoryBudget) {
    error = TiffFailure(TDecodeErrorKind::deTooLarge, "rotated page too large to decode", file);
    return false;
  }

  uint16_t compression = COMPRESSION_NONE, planar = PLANARCONFIG_CONTIG, samples = 1;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  const uint64_t raw = TIFFScanlineSize64(tif) * height * (planar == PLANARCONFIG_SEPARATE ? samples : 1);
  page.MinimumStoredBytes = MinimumStoredBytes(compression, raw, width, height);
  page.StoredBytes = StoredBytes(tif, fileSize, page.MinimumStoredBytes);
  return true;
}

// Starts libtiff's RGBA reader, with our own put routine where its own gets alpha wrong.
bool BeginReader(const TTiffMemoryFile& file, TRgbaReader& reader, TDecodeError& error) {
  char message[1024] = "";
  if (!TIFFRGBAImageBegin(&reader.Image, file.Tiff(), /*stoponerr=*/0, message)) {
    error = TiffFailure(TDecodeErrorKind::deUnsupported, message, file);
    return false;
  }
  reader.Begun = true;
  TIFFRGBAImage& img = reader.Image;
  const bool grey = img.photometric == PHOTOMETRIC_MINISBLACK || img.photometric == PHOTOMETRIC_MINISWHITE;
  if (grey && img.isContig && img.alpha != 0 && img.samplesperpixel >= 2) {
    if (img.bitspersample == 8) img.put.contig = PutGreyAlpha<uint8_t>;
    else if (img.bitspersample == 16) img.put.contig = PutGreyAlpha<uint16_t>;
  }
  return true;
}

// libtiff's fax decoders return an error code for lines they only warn about (a missing EOL,
// a short line), so the reader goes on after a failed strip and the decision is made on the
// errors libtiff reported while reading the pixels: warnings keep the page, errors fail it.
bool ReadRows(const TTiffMemoryFile& file, TIFFRGBAImage& img, uint32_t* raster, uint32_t width, uint32_t rows,
              int errorsBefore, TDecodeError& error) {
  if (TIFFRGBAImageGet(&img, raster, width, rows) && file.Errors() == errorsBefore) return true;
  error = TiffFailure(TDecodeErrorKind::deCorrupt, "cannot read the image data", file);
  return false;
}

// Orientations 1-4: libtiff flips rows and columns itself, straight into the bitmap.
bool ReadUpright(const TTiffMemoryFile& file, TIFFRGBAImage& img, const TTiffPage& page, TBitmap32& bitmap,
                 TDecodeError& error) {
  const int errorsBefore = file.Errors();
  img.req_orientation = ORIENTATION_TOPLEFT;
  auto* raster = reinterpret_cast<uint32_t*>(bitmap.Bits());
  if (!ReadRows(file, img, raster, page.Width, page.Height, errorsBefore, error)) return false;
  for (size_t i = 0, n = size_t(page.Width) * page.Height; i < n; ++i) raster[i] = FromAbgr(raster[i]);
  return true;
}

// Orientations 5-8: the rows as stored, band by band, each pixel placed where it belongs.
bool ReadTransposed(const TTiffMemoryFile& file, TIFFRGBAImage& img, const TTiffPage& page, TBitmap32& bitmap,
                    TDecodeError& error) {
  const int errorsBefore = file.Errors();
  const uint32_t width = page.Width, height = page.Height;
  img.orientation = ORIENTATION_TOPLEFT;
  img.req_orientation = ORIENTATION_TOPLEFT;
  std::vector<uint32_t> band(size_t(width) * page.BandRows);
  for (uint32_t y0 = 0; y0 < height; y0 += page.BandRows) {
    const uint32_t rows = std::min(page.BandRows, height - y0);
    img.row_offset = int(y0);
    img.col_offset = 0;
    if (!ReadRows(file, img, band.data(), width, rows, errorsBefore, error)) return false;
    for (uint32_t y = 0; y < rows; ++y) {
      const uint32_t* src = band.data() + size_t(y) * width;
      for (uint32_t x = 0; x < width; ++x) {
        const auto [dx, dy] = Oriented(page.Orientation, x, y0 + y, width, height);
        bitmap.Pixel(int(dx), int(dy)) = FromAbgr(src[x]);
      }
    }
  }
  return true;
}

// The transform of the page's ICC profile for the colours libtiff's reader made, or null.
TColourTransformPtr EmbeddedColour(TIFF* tif) {
  uint32_t length = 0;
  const uint8_t* profile = nullptr;
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  if (!TIFFGetField(tif, TIFFTAG_ICCPROFILE, &length, &profile) || !profile ||
      !TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
    return nullptr;
  switch (photometric) {
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_YCBCR:
    case PHOTOMETRIC_PALETTE:
      return ColourTransformFor({profile, length}, TColourModel::cmRgb);
    case PHOTOMETRIC_MINISBLACK:
      return ColourTransformFor({profile, length}, TColourModel::cmGrey);
    default:
      return nullptr;
  }
}

}  // namespace

TDecodeResult DecodeTiffPage(std::span<const uint8_t> data) {
  TTiffMemoryFile file;
  if (!IsTiffSignature(data))
    return TDecodeResult::Fail(data.size() < 8 ? TDecodeErrorKind::deTruncated : TDecodeErrorKind::deCorrupt,
                               "TIFF: no TIFF header");
  if (!file.Open(data)) return TiffFailure(TDecodeErrorKind::deCorrupt, "cannot read the first directory", file);
  TTiffPage page;
  TDecodeError error;
  if (!ReadPageHeader(file, data.size(), page, error)) return error;

  TBitmap32 bitmap;
  const uint32_t shownWidth = page.Transposed ? page.Height : page.Width;
  const uint32_t shownHeight = page.Transposed ? page.Width : page.Height;
  if (!AllocateBitmapForData(bitmap, shownWidth, shownHeight, page.StoredBytes, page.MinimumStoredBytes, error)) {
    error.Message = "TIFF: " + error.Message;
    return error;
  }
  TRgbaReader reader;
  if (!BeginReader(file, reader, error)) return error;
  const bool read = page.Transposed ? ReadTransposed(file, reader.Image, page, bitmap, error)
                                    : ReadUpright(file, reader.Image, page, bitmap, error);
  if (!read) return error;
  ConvertBitmap(EmbeddedColour(file.Tiff()).get(), bitmap, /*premultiplied=*/true);
  return TDecodeResult(std::move(bitmap));
}

// ---- Entry points ------------------------------------------------------------------------------

bool ProbeTiff(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  return IsTiffSignature(head) || ProbeRawFax(head, fileSize, error);
}

TDecodeResult DecodeTiff(std::span<const uint8_t> data) {
  if (IsTiffSignature(data)) return DecodeTiffPage(data);
  // ".fax" shares this decoder; a fax modem's file is a bare G3 stream without a TIFF header.
  return DecodeRawFax(data);
}

bool ProbeEps(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  uint64_t offset = 0, length = 0;
  return ReadEpsHeader(head, fileSize, offset, length, error);
}

TDecodeResult DecodeEps(std::span<const uint8_t> data) {
  uint64_t offset = 0, length = 0;
  TDecodeError error;
  if (!ReadEpsHeader(data, data.size(), offset, length, error)) return error;
  const auto preview = data.subspan(size_t(offset), size_t(length));
  if (length < 8 || !IsTiffSignature(preview))
    return TDecodeResult::Fail(TDecodeErrorKind::deCorrupt, "EPS: the preview section is not a TIFF");
  // The preview is a complete TIFF whose offsets count from the start of its section.
  return DecodeTiffPage(preview);
}
