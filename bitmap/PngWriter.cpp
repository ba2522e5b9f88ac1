#include "bitmap/PngWriter.h"

#include <png.h>

#include <new>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace {
struct TPngWriteState {
  std::string Error;
  std::string Bytes;  // the encoded file
};

void OnPngError(png_structp png, png_const_charp message) {
  static_cast<TPngWriteState*>(png_get_error_ptr(png))->Error = message;
  png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}

void OnPngWrite(png_structp png, png_bytep data, size_t length) {
  auto* state = static_cast<TPngWriteState*>(png_get_io_ptr(png));
  bool grown = true;
  try {
    state->Bytes.append(reinterpret_cast<const char*>(data), length);
  } catch (const std::bad_alloc&) {
    grown = false;
  }
  if (!grown) png_error(png, "out of memory");  // outside the handler: it does not return
}
void OnPngFlush(png_structp) {}
}  // namespace

bool WritePng(const TBitmap32& bitmap, const std::string& path, std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error) *error = path + ": " + what;
    return false;
  };
  if (bitmap.Empty()) return fail("empty bitmap");

  TPngWriteState state;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  // Everything that must survive a longjmp is declared before setjmp.
  std::vector<uint8_t> row(size_t(bitmap.Width()) * 4);
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    return fail("out of memory");
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return fail(state.Error);
  }
  png_set_write_fn(png, &state, OnPngWrite, OnPngFlush);
  png_set_compression_level(png, 3);
  png_set_IHDR(png, info, png_uint_32(bitmap.Width()), png_uint_32(bitmap.Height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < bitmap.Height(); ++y) {
    const TColor32* src = bitmap.ScanLine(y);
    uint8_t* dst = row.data();
    for (int x = 0; x < bitmap.Width(); ++x, dst += 4) UnpremultiplyColor32(src[x], dst[3], dst[0], dst[1], dst[2]);
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return WriteFileAtomic(path, state.Bytes, error);
}
