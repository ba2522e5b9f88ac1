// Writes a TBitmap32 as an 8-bit RGBA PNG file (colours un-premultiplied).
#pragma once

#include <string>

#include "bitmap/Bitmap32.h"

// The file is encoded in memory and then replaces `path` atomically (WriteFileAtomic), so that a
// failed write (a full disk) leaves an earlier file as it was and no half-written one behind.
bool WritePng(const TBitmap32& bitmap, const std::string& path, std::string* error = nullptr);
