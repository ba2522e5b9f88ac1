#include "imageview/BitmapClipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>

void CopyBitmapToClipboard(const TBitmap32& bitmap) {
  if (bitmap.Empty()) return;
  const QImage image(reinterpret_cast<const uchar*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(),
                     qsizetype(bitmap.Stride()), QImage::Format_ARGB32_Premultiplied);
  QApplication::clipboard()->setImage(image.copy());
}
