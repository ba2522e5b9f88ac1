// kirvane-cli decode FILE [-o OUT.png]
//
// Loads FILE through LoadPicture, the load path of the slideshow and the preview, and prints
// "WIDTHxHEIGHT" on stdout. With -o the bitmap is written as an 8-bit RGBA PNG (colours
// un-premultiplied). A file that ends early is still shown, with a note on stderr. A file that
// cannot be shown gets the view's own message on stderr and exit status 1; bad arguments exit
// with 2.
#include <cstdio>
#include <cstring>
#include <string>

#include "bitmap/PngWriter.h"
#include "imageview/ZmGraphicExTypes.h"
#include "tools/CliCommands.h"

namespace {
int Usage(const char* problem) {
  std::fprintf(stderr, "kirvane-cli decode: %s\nusage: kirvane-cli decode FILE [-o OUT.png]\n", problem);
  return 2;
}
}  // namespace

int RunDecode(int argc, char** argv) {
  std::string file, out;
  bool haveFile = false, haveOut = false;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "-o") == 0) {
      if (haveOut) return Usage("-o given twice");
      if (i + 1 >= argc) return Usage("-o needs a file name");
      out = argv[++i];
      haveOut = true;
      if (out.empty()) return Usage("-o needs a file name");
    } else if (std::strcmp(arg, "--") == 0) {
      // Everything after "--" is a file name, so names beginning with "-" can be given.
      for (++i; i < argc; ++i) {
        if (haveFile) return Usage("only one FILE");
        file = argv[i];
        haveFile = true;
      }
    } else if (arg[0] == '-' && arg[1] != '\0') {
      return Usage((std::string("unknown option ") + arg).c_str());
    } else {
      if (haveFile) return Usage("only one FILE");
      file = arg;
      haveFile = true;
    }
  }
  if (!haveFile || file.empty()) return Usage("FILE missing");

  TDecodeResult result = LoadPicture(file);
  if (!result) {
    std::fprintf(stderr, "%s は表示できません。\n", file.c_str());
    return 1;
  }
  const TBitmap32& bitmap = result.Bitmap();
  if (result.Partial()) std::fprintf(stderr, "kirvane-cli decode: %s ends early; decoded as far as it goes\n", file.c_str());
  if (haveOut) {
    std::string error;
    if (!WritePng(bitmap, out, &error)) {
      std::fprintf(stderr, "kirvane-cli decode: cannot write %s\n", error.c_str());
      return 1;
    }
  }
  std::printf("%dx%d\n", bitmap.Width(), bitmap.Height());
  return 0;
}
