// Picture classes and the decoder registry: which decoder reads a file with a given extension.
//
// A picture class is described by a TGraphicClass record (name, parent class, decoder). The
// registry lists (extension, class) pairs in registration order; look-ups search from the
// newest registration to the oldest. Both are fixed at compile time and never change.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "decoders/Decoders.h"

// A decoder that also takes the bytes of a second file beside the picture (empty when there is none).
using TCompanionDecodeFn = TDecodeResult (*)(std::span<const uint8_t> data,
                                             std::span<const uint8_t> companion);

struct TGraphicClass {
  std::string_view ClassName;    // "TBitmap", "TTIFFGraphic", ...
  const TGraphicClass* Parent;   // the class it derives from, or nullptr
  TDecodeFn Decode;              // nullptr while the format has no decoder: loading fails
  TProbeFn Probe = nullptr;      // the decoder's check of a file's first bytes, if it has one
  THintedDecodeFn DecodeHinted = nullptr;  // used instead of Decode for a hint that allows less
  // For a picture that keeps part of itself in a second file (a CUT its palette): that file's
  // extension, found with FindCompanionFile, and the decoder used instead of Decode.
  std::string_view CompanionExtension = {};
  TCompanionDecodeFn DecodeWithCompanion = nullptr;

  bool InheritsFrom(const TGraphicClass& other) const {
    for (const TGraphicClass* c = this; c; c = c->Parent)
      if (c == &other) return true;
    return false;
  }
};

// The picture classes, under their names of record.
namespace GraphicClasses {
extern const TGraphicClass TAutodeskGraphic;
extern const TGraphicClass TBitmap;
extern const TGraphicClass TCUTGraphic;
extern const TGraphicClass TIcon;
extern const TGraphicClass TJPEGImage;
extern const TGraphicClass TMetafile;
extern const TGraphicClass TPCDGraphic;
extern const TGraphicClass TPCXGraphic;
extern const TGraphicClass TPNGGraphic;
extern const TGraphicClass TPPMGraphic;
extern const TGraphicClass TPSDGraphic;
extern const TGraphicClass TPSPGraphic;
extern const TGraphicClass TRLAGraphic;
extern const TGraphicClass TSGIGraphic;
extern const TGraphicClass TTargaGraphic;
extern const TGraphicClass TTIFFGraphic;
extern const TGraphicClass TEPSGraphic;  // derives from TTIFFGraphic
}  // namespace GraphicClasses

struct TGraphicRegistration {
  std::string_view Extension;  // lower case, without the dot
  const TGraphicClass* Class;
};

// Every registration, oldest first.
std::span<const TGraphicRegistration> DecoderRegistry();

// The class registered for an extension (without the dot), ignoring case, newest registration
// first; nullptr when none.
const TGraphicClass* FindGraphicClass(std::string_view extension);

// The extension LoadPicture looks up: the text after the last "." of the file name, without the
// dot; empty when the name has none.
std::string PictureExtension(std::string_view fileName);

// Files above this size are not read as pictures (no format here needs more for 2^28 pixels).
constexpr uint64_t MaxPictureFileSize = uint64_t(2) << 30;
// Nor companion files above this one (a palette file needs 2 KB).
constexpr uint64_t MaxCompanionFileSize = uint64_t(1) << 20;

// The single load path from a file to a 32-bit bitmap: the decoder registered for the file's
// extension reads the whole file, once the class's probe has accepted its first bytes (a file
// that is not of the format is refused without reading the rest). An unregistered extension, a
// file that cannot be read and any decoder error are failures; no half-built picture is ever
// returned. A hint may make the bitmap smaller than the picture (see TDecodeResult::FullWidth);
// it never changes which files load. A companion file that is missing or cannot be read is left
// out, as the decoder allows.
TDecodeResult LoadPicture(const std::string& fileName, const TDecodeHint& hint = {});
