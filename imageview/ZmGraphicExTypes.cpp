#include "imageview/ZmGraphicExTypes.h"

#include "catalogue/ZmUtils.h"
#include "platform/FileSystem.h"

namespace GraphicClasses {
const TGraphicClass TAutodeskGraphic{"TAutodeskGraphic", nullptr, DecodeAutodesk, ProbeAutodesk};
const TGraphicClass TBitmap{"TBitmap", nullptr, DecodeBmp, ProbeBmp};
const TGraphicClass TCUTGraphic{"TCUTGraphic", nullptr, DecodeCut, ProbeCut, nullptr, "pal", DecodeCut};
const TGraphicClass TIcon{"TIcon", nullptr, DecodeIco, ProbeIco};
const TGraphicClass TJPEGImage{"TJPEGImage", nullptr, DecodeJpeg, ProbeJpeg, DecodeJpeg};
const TGraphicClass TMetafile{"TMetafile", nullptr, DecodeMetafile, ProbeMetafile};
const TGraphicClass TPCDGraphic{"TPCDGraphic", nullptr, DecodePcd, ProbePcd};
const TGraphicClass TPCXGraphic{"TPCXGraphic", nullptr, DecodePcx, ProbePcx};
const TGraphicClass TPNGGraphic{"TPNGGraphic", nullptr, DecodePng, ProbePng};
const TGraphicClass TPPMGraphic{"TPPMGraphic", nullptr, DecodePnm, ProbePnm};
const TGraphicClass TPSDGraphic{"TPSDGraphic", nullptr, DecodePsd, ProbePsd};
const TGraphicClass TPSPGraphic{"TPSPGraphic", nullptr, DecodePsp, ProbePsp};
const TGraphicClass TRLAGraphic{"TRLAGraphic", nullptr, DecodeRla, ProbeRla};
const TGraphicClass TSGIGraphic{"TSGIGraphic", nullptr, DecodeSgi, ProbeSgi};
const TGraphicClass TTargaGraphic{"TTargaGraphic", nullptr, DecodeTga, ProbeTga};
const TGraphicClass TTIFFGraphic{"TTIFFGraphic", nullptr, DecodeTiff, ProbeTiff};
const TGraphicClass TEPSGraphic{"TEPSGraphic", &TTIFFGraphic, DecodeEps, ProbeEps};
}  // namespace GraphicClasses

namespace {
using namespace GraphicClasses;

// The platform's own classes register first, then the image decoding library. Repeated
// extensions always name the class they named before.
constexpr TGraphicRegistration Registry[] = {
    {"wmf", &TMetafile},        {"emf", &TMetafile},     {"ico", &TIcon},          {"bmp", &TBitmap},
    {"jpeg", &TJPEGImage},      {"jpg", &TJPEGImage},    {"bmp", &TBitmap},        {"ico", &TIcon},
    {"wmf", &TMetafile},        {"emf", &TMetafile},     {"jfif", &TJPEGImage},    {"jpg", &TJPEGImage},
    {"jpe", &TJPEGImage},       {"jpeg", &TJPEGImage},   {"rle", &TBitmap},        {"dib", &TBitmap},
    {"win", &TTargaGraphic},    {"vst", &TTargaGraphic}, {"vda", &TTargaGraphic},  {"tga", &TTargaGraphic},
    {"icb", &TTargaGraphic},    {"tiff", &TTIFFGraphic}, {"tif", &TTIFFGraphic},   {"fax", &TTIFFGraphic},
    {"eps", &TEPSGraphic},      {"pcx", &TPCXGraphic},   {"pcc", &TPCXGraphic},    {"scr", &TPCXGraphic},
    {"rpf", &TRLAGraphic},      {"rla", &TRLAGraphic},   {"sgi", &TSGIGraphic},    {"rgba", &TSGIGraphic},
    {"rgb", &TSGIGraphic},      {"bw", &TSGIGraphic},    {"psd", &TPSDGraphic},    {"pdd", &TPSDGraphic},
    {"ppm", &TPPMGraphic},      {"pgm", &TPPMGraphic},   {"pbm", &TPPMGraphic},    {"cel", &TAutodeskGraphic},
    {"pic", &TAutodeskGraphic}, {"pcd", &TPCDGraphic},   {"cut", &TCUTGraphic},    {"psp", &TPSPGraphic},
    {"png", &TPNGGraphic},
};
}  // namespace

std::span<const TGraphicRegistration> DecoderRegistry() { return Registry; }

const TGraphicClass* FindGraphicClass(std::string_view extension) {
  auto regs = DecoderRegistry();
  for (auto it = regs.rbegin(); it != regs.rend(); ++it)
    if (SameTextAscii(it->Extension, extension)) return it->Class;
  return nullptr;
}

std::string PictureExtension(std::string_view fileName) {
  const size_t slash = fileName.rfind('/');
  if (slash != std::string_view::npos) fileName.remove_prefix(slash + 1);
  const size_t dot = fileName.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(fileName.substr(dot + 1));
}

TDecodeResult LoadPicture(const std::string& fileName, const TDecodeHint& hint) {
  const std::string ext = PictureExtension(fileName);
  const TGraphicClass* cls = FindGraphicClass(ext);
  if (!cls)
    return TDecodeResult::Fail(TDecodeErrorKind::deUnknownFormat, "no decoder for extension '" + ext + "'");
  if (!cls->Decode)
    return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported,
                               std::string(cls->ClassName) + " has no decoder yet");
  std::vector<uint8_t> bytes;
  std::string error;
  TDecodeError refusal;
  bool refused = false;
  auto probe = [&](std::span<const uint8_t> head, uint64_t fileSize) {
    refused = cls->Probe && !cls->Probe(head, fileSize, refusal);
    return !refused;
  };
  if (!ReadFileBytes(fileName, MaxPictureFileSize, bytes, error, probe))
    return refused ? TDecodeResult(refusal) : TDecodeResult::Fail(TDecodeErrorKind::deReadError, error);
  try {
    if (!hint.Full() && cls->DecodeHinted) return cls->DecodeHinted(bytes, hint);
    if (cls->DecodeWithCompanion) {
      std::vector<uint8_t> companion;
      const std::string path = FindCompanionFile(fileName, cls->CompanionExtension);
      if (path.empty() || !ReadFileBytes(path, MaxCompanionFileSize, companion, error)) companion.clear();
      return cls->DecodeWithCompanion(bytes, companion);
    }
    return cls->Decode(bytes);
  } catch (const std::bad_alloc&) {
    return TDecodeResult::Fail(TDecodeErrorKind::deOutOfMemory, "out of memory while decoding");
  } catch (const std::exception& e) {
    return TDecodeResult::Fail(TDecodeErrorKind::deCorrupt, e.what());
  }
}
