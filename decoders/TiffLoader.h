// Shared by the TIFF units (TiffLoader.cpp, FaxLoader.cpp): libtiff over bytes in memory.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <span>
#include <string>

#include "decoders/DecodeResult.h"

// A TIFF held in memory, opened read-only through libtiff's client interface (never a temporary
// file). libtiff's errors and warnings are counted and the latest error kept; nothing is printed.
// The bytes must outlive the object; the object must not move once opened.
class TTiffMemoryFile {
 public:
  TTiffMemoryFile() = default;
  ~TTiffMemoryFile();
  TTiffMemoryFile(const TTiffMemoryFile&) = delete;
  TTiffMemoryFile& operator=(const TTiffMemoryFile&) = delete;

  // Opens the bytes and reads the first directory. False when libtiff refuses them.
  bool Open(std::span<const uint8_t> data);
  TIFF* Tiff() const { return Tiff_; }
  int Errors() const { return Errors_; }
  int Warnings() const { return Warnings_; }
  // The latest error libtiff reported, "" when none.
  const std::string& LastError() const { return LastError_; }

 private:
  static tmsize_t Read(thandle_t h, void* buffer, tmsize_t size);
  static tmsize_t Write(thandle_t, void*, tmsize_t) { return 0; }
  static toff_t Seek(thandle_t h, toff_t offset, int whence);
  static int Close(thandle_t) { return 0; }
  static toff_t Size(thandle_t h);
  static int Map(thandle_t h, void** base, toff_t* size);
  static void Unmap(thandle_t, void*, toff_t) {}
  static int OnError(TIFF*, void* self, const char* module, const char* format, va_list args);
  static int OnWarning(TIFF*, void* self, const char* module, const char* format, va_list args);

  std::span<const uint8_t> Data_;
  uint64_t Pos_ = 0;
  TIFF* Tiff_ = nullptr;
  int Errors_ = 0;
  int Warnings_ = 0;
  std::string LastError_;
};

// True when the bytes begin with a classic or BigTIFF header ("II*\0", "MM\0*", "II+\0", "MM\0+").
bool IsTiffSignature(std::span<const uint8_t> data);

// The first page of the TIFF in `data`, orientation applied, as a premultiplied bitmap.
TDecodeResult DecodeTiffPage(std::span<const uint8_t> data);

// A raw CCITT Group 3 fax stream (what fax modems store, no TIFF header); FaxLoader.cpp.
TDecodeResult DecodeRawFax(std::span<const uint8_t> data);
// What DecodeRawFax refuses from a file's first bytes and its size (see TProbeFn).
bool ProbeRawFax(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error);
