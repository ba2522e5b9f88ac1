// The decoders of the image decoding library, one per format. Each is a pure function of the
// file's bytes (no file access, no globals) that returns a bitmap or a typed error; see
// DecodeResult.h. The format table (imageview/ZmGraphicExTypes) maps extensions to them.
#pragma once

#include "decoders/DecodeResult.h"

TDecodeResult DecodeJpeg(std::span<const uint8_t> data);  // JpegLoader.cpp, libjpeg-turbo
// At the smallest scale N/8 (N = 1-8) at which the upright picture still covers the hint's box.
TDecodeResult DecodeJpeg(std::span<const uint8_t> data, const TDecodeHint& hint);
TDecodeResult DecodePng(std::span<const uint8_t> data);   // PngLoader.cpp, libpng
TDecodeResult DecodeTiff(std::span<const uint8_t> data);  // TiffLoader.cpp, libtiff (also .fax)
TDecodeResult DecodeEps(std::span<const uint8_t> data);   // TiffLoader.cpp, the TIFF preview of an EPS file
TDecodeResult DecodeBmp(std::span<const uint8_t> data);   // BmpLoader.cpp (bmp, dib, rle)
TDecodeResult DecodeIco(std::span<const uint8_t> data);   // IcoLoader.cpp
TDecodeResult DecodePnm(std::span<const uint8_t> data);   // PnmLoader.cpp (pbm, pgm, ppm)
TDecodeResult DecodeTga(std::span<const uint8_t> data);   // TgaLoader.cpp
TDecodeResult DecodePcx(std::span<const uint8_t> data);   // PcxLoader.cpp
TDecodeResult DecodeSgi(std::span<const uint8_t> data);   // SgiLoader.cpp
TDecodeResult DecodePsd(std::span<const uint8_t> data);   // PsdLoader.cpp (psd, pdd)
TDecodeResult DecodeRla(std::span<const uint8_t> data);   // RlaLoader.cpp (rla, rpf)
TDecodeResult DecodePcd(std::span<const uint8_t> data);   // PcdLoader.cpp
TDecodeResult DecodeAutodesk(std::span<const uint8_t> data);  // AutodeskLoader.cpp (pic, cel)
TDecodeResult DecodePsp(std::span<const uint8_t> data);   // PspLoader.cpp
// CutLoader.cpp: `palette` is the picture's palette file (.pal), empty when there is none; without
// it the picture is shown in grey.
TDecodeResult DecodeCut(std::span<const uint8_t> data, std::span<const uint8_t> palette);
TDecodeResult DecodeCut(std::span<const uint8_t> data);
// MetafileFrame.cpp (wmf, emf): hands the file to the renderer the program installed (see
// SetMetafileRenderer in MetafileReader.h).
TDecodeResult DecodeMetafile(std::span<const uint8_t> data);

// A look at a file's first bytes, made before the rest of the file is read (`head` is the whole
// file when the file is that short). False, with the error its decoder would give, only for a
// file that its decoder refuses from these bytes and the file's size alone. Each decoder makes
// the same check first.
using TProbeFn = bool (*)(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbeJpeg(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbePng(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbeTiff(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);  // also raw fax
bool ProbeEps(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbeIco(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbeBmp(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbePnm(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbeTga(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);  // no magic
bool ProbePcx(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbeSgi(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbePsd(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbeRla(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbePcd(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbeAutodesk(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbePsp(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
bool ProbeCut(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);  // no magic
bool ProbeMetafile(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
