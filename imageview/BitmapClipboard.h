// Puts a picture on the clipboard at its own pixel size.
#pragma once

#include "bitmap/Bitmap32.h"

void CopyBitmapToClipboard(const TBitmap32& bitmap);
