// Writes a TBitmap32 as an 8-bit RGBA PNG file (colours un-premultiplied).
#pragma once

#include <string>

#include "bitmap/Bitmap32.h"

bool WritePng(const TBitmap32& bitmap, const std::string& path, std::string* error = nullptr);
