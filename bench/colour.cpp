// What an embedded colour profile costs a JPEG decode: the same file decoded without a profile
// and with an Adobe RGB profile put in front of it, at full size and fitted to a 1920x1080 screen,
// alternately, medians of wall-clock and CPU time; and the conversion of the decoded picture
// alone, with each kernel the processor can run.
//   build/bin/kv_bench_colour [FILE.jpg [RUNS]]   default /tmp/kvbench/images/big.jpg, the 24-megapixel
//   JPEG that ../shared/bench/gen_images.sh makes
#include <lcms2.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/Median.h"
#include "decoders/ColourProfile.h"
#include "decoders/Decoders.h"

namespace {

std::vector<uint8_t> AdobeRgbProfile() {
  const cmsCIExyY white = {0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::vector<uint8_t> bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  cmsFreeToneCurve(gamma);
  return bytes;
}

// The file with the profile in one APP2 chunk right after its start marker.
std::vector<uint8_t> WithProfile(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& profile) {
  const size_t length = 2 + 14 + profile.size();
  std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE2, uint8_t(length >> 8), uint8_t(length)};
  const char id[] = "ICC_PROFILE\0\1\1";  // chunk 1 of 1
  out.insert(out.end(), id, id + sizeof id - 1);
  out.insert(out.end(), profile.begin(), profile.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

double CpuMs(clockid_t clock) {
  timespec t;
  clock_gettime(clock, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct TTimes {
  std::vector<double> Wall, Cpu;
};

void Time(const std::vector<uint8_t>& file, const TDecodeHint& hint, TTimes& times) {
  const auto start = std::chrono::steady_clock::now();
  const double cpu = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
  const TDecodeResult r = DecodeJpeg(file, hint);
  times.Cpu.push_back(CpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu);
  times.Wall.push_back(
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  if (!r.Ok()) std::fprintf(stderr, "decode failed: %s\n", r.Error().Message.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "/tmp/kvbench/images/big.jpg";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> plain((std::istreambuf_iterator<char>(in)), {});
  if (plain.size() < 4) {
    std::fprintf(stderr, "kv_bench_colour: cannot read %s (../shared/bench/gen_images.sh makes it)\n",
                 path.c_str());
    return 1;
  }
  const std::vector<uint8_t> profile = AdobeRgbProfile(), tagged = WithProfile(plain, profile);
  const TColourTransformPtr transform = ColourTransformFor(profile, TColourModel::cmRgb);
  std::printf("%s, %d runs, medians in ms\n", path.c_str(), runs);
  for (const auto& [name, hint] :
       {std::pair{"full size", TDecodeHint{}}, std::pair{"fit 1920x1080", TDecodeHint{1920, 1080}}}) {
    TTimes without, with;
    TDecodeResult picture = DecodeJpeg(plain, hint);  // warms up the cache of transforms too
    Time(tagged, hint, with);
    without = with = {};
    for (int i = 0; i < runs; ++i) Time(plain, hint, without), Time(tagged, hint, with);
    const double w0 = Median(without.Wall), w1 = Median(with.Wall), c0 = Median(without.Cpu),
                 c1 = Median(with.Cpu);
    std::printf(
        "%-14s %dx%d: decode %.1f wall %.1f CPU; with the profile %.1f wall (+%.1f%%) %.1f CPU (+%.1f%%)\n",
        name, picture.Bitmap().Width(), picture.Bitmap().Height(), w0, c0, w1, 100 * (w1 - w0) / w0, c1,
        100 * (c1 - c0) / c0);
    // The conversion alone, over the decoded picture (no longer in the cache, unlike in the decoder).
    const TColourKernel best = ColourKernel();
    for (const auto& [kernel, label] :
         {std::pair{TColourKernel::ckPortable, "portable"}, std::pair{TColourKernel::ckAvx2, "AVX2"},
          std::pair{TColourKernel::ckAvx512, "AVX-512"},
          std::pair{TColourKernel::ckAvx512Vbmi, "AVX-512 VBMI"}}) {
      if (!UseColourKernel(kernel)) continue;
      std::vector<double> alone;
      for (int i = 0; i < runs; ++i) {
        TBitmap32 copy = picture.Bitmap();
        const double cpu = CpuMs(CLOCK_THREAD_CPUTIME_ID);
        ConvertBitmap(transform.get(), copy, false);
        alone.push_back(CpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu);
      }
      std::printf("  conversion alone, %-12s %6.1f CPU = %5.1f%% of the decode's CPU%s\n", label,
                  Median(alone), 100 * Median(alone) / c0, kernel == best ? "  (used)" : "");
    }
    UseColourKernel(best);
  }
  return 0;
}
