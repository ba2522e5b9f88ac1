// kv_bench_jpegwalk: runs the JPEG check's analysis over files, for bench/jpegcheck.
//   kv_bench_jpegwalk [-v] FILE... | @LIST
// A "@LIST" argument names a file with one path per line. Prints how many files got each
// result code (and, with -v, one line per file); exits 1 when any file has an error code.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "jpeg/ZmJpegInfo.h"
#include "jpeg/ZmJpegInfoConsts.h"

int main(int argc, char** argv) {
  bool verbose = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-v") == 0) {
      verbose = true;
    } else if (argv[i][0] == '@') {
      std::ifstream list(argv[i] + 1);
      if (!list) {
        std::fprintf(stderr, "kv_bench_jpegwalk: cannot read %s\n", argv[i] + 1);
        return 2;
      }
      for (std::string line; std::getline(list, line);)
        if (!line.empty()) files.push_back(line);
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: kv_bench_jpegwalk [-v] FILE... | @LIST\n");
    return 2;
  }
  long counts[jrNotJpeg + 1] = {};
  long readErrors = 0;
  for (const std::string& f : files) {
    TZmJpegInfo info;
    try {
      AnalyzeJpegFile(f, info);
    } catch (const std::system_error& e) {
      ++readErrors;
      std::fprintf(stderr, "%s: %s\n", f.c_str(), e.what());
      continue;
    }
    if (info.Result >= jrNoError && info.Result <= jrNotJpeg) ++counts[info.Result];
    if (verbose) std::printf("%d\t%s\t%s\n", int(info.Result), JpegResultText(info.Result), f.c_str());
  }
  std::printf("%zu files:", files.size());
  for (int code = jrNoError; code <= jrNotJpeg; ++code)
    if (counts[code] != 0) std::printf(" %ld with code %d", counts[code], code);
  if (readErrors != 0) std::printf(" %ld unreadable", readErrors);
  std::printf("\n");
  long errors = readErrors;
  for (int code = jrNoError; code <= jrNotJpeg; ++code)
    if (IsJpegError(code)) errors += counts[code];
  return errors != 0 ? 1 : 0;
}
