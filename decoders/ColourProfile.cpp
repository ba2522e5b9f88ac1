// Colour conversion of decoded pixels to sRGB with Little CMS 2.
//
// Little CMS's own 8-bit transforms take several times a JPEG's decode time on a big photo, so the
// common case, an RGB profile made of tone curves and a matrix (Adobe RGB, Display P3, ProPhoto,
// most camera profiles), runs through tables instead: the profile's colours are linear-light sRGB
// sums of one contribution per channel. Portably, three lookups of the three contributions packed
// in a word, two additions and a lookup through the sRGB curve give each pixel; with AVX2 or
// AVX-512 a table per channel, a matrix and a polynomial curve do (ColourKernels.cpp). The tables
// are filled with Little CMS's own floating-point answers and checked against its 8-bit answers
// on a grid before they are trusted; any other profile (colour lookup tables, grey, CMYK) is
// converted by Little CMS itself.
#include "decoders/ColourProfile.h"

#include <lcms2.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <functional>
#include <list>
#include <mutex>
#include <string_view>
#include <vector>

#include "decoders/ColourKernels.h"

namespace {

// Pixels as Little CMS sees our 0xAARRGGBB words in memory.
constexpr cmsUInt32Number PixelFormat =
    std::endian::native == std::endian::little ? TYPE_BGRA_8 : TYPE_ARGB_8;
constexpr cmsUInt32Number Intent = INTENT_PERCEPTUAL;
// The largest profile looked at: 255 JPEG chunks hold about 16 MB; real ones stay far below.
constexpr size_t MaxProfileBytes = size_t(16) << 20;
constexpr size_t CacheCapacity = 16;

// Linear light in the tables: 1.0 is 1 << LinearBits. Each channel's contribution is kept within
// [-2, 4] and biased into a 21-bit field, so that three fields add up in one 64-bit word without
// carrying into each other.
constexpr int LinearBits = 15;
constexpr int EncodeBits = 14;  // the sRGB curve is looked up at this resolution
constexpr int FieldBits = 21;
constexpr int64_t FieldBias = int64_t(1) << 18;
constexpr uint64_t FieldMask = (uint64_t(1) << FieldBits) - 1;

// Little CMS's state for this program: its error messages go nowhere.
struct TLcms {
  cmsContext Context;
  uint8_t Encode[(1 << EncodeBits) + 1];  // linear light to the sRGB curve, as Little CMS rounds it

  TLcms() : Context(cmsCreateContext(nullptr, nullptr)), Encode{} {
    cmsSetLogErrorHandlerTHR(Context, [](cmsContext, cmsUInt32Number, const char*) {});
    cmsHPROFILE linear = LinearSrgb(), srgb = cmsCreate_sRGBProfileTHR(Context);
    cmsHTRANSFORM t = linear && srgb ? cmsCreateTransformTHR(Context, linear, TYPE_RGB_FLT, srgb, TYPE_RGB_8,
                                                             Intent, cmsFLAGS_NOCACHE)
                                     : nullptr;
    if (t) {
      std::vector<float> in(3 * std::size(Encode));
      for (size_t i = 0; i < in.size(); ++i) in[i] = float(i / 3) / (1 << EncodeBits);
      std::vector<uint8_t> out(in.size());
      cmsDoTransform(t, in.data(), out.data(), cmsUInt32Number(std::size(Encode)));
      for (size_t i = 0; i < std::size(Encode); ++i) Encode[i] = out[3 * i];
      cmsDeleteTransform(t);
    }
    if (linear) cmsCloseProfile(linear);
    if (srgb) cmsCloseProfile(srgb);
  }
  ~TLcms() { cmsDeleteContext(Context); }

  // sRGB's primaries and white with straight lines for curves: the space the tables add up in.
  cmsHPROFILE LinearSrgb() const {
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* line = cmsBuildGamma(Context, 1.0);
    if (!line) return nullptr;
    cmsToneCurve* curves[3] = {line, line, line};
    cmsHPROFILE profile = cmsCreateRGBProfileTHR(Context, &white, &primaries, curves);
    cmsFreeToneCurve(line);
    return profile;
  }
};

const TLcms& Lcms() {
  static const TLcms lcms;
  return lcms;
}

std::atomic<TColourKernel>& Kernel() {
  static std::atomic<TColourKernel> kernel = [] {
    for (TColourKernel k : {TColourKernel::ckAvx512Vbmi, TColourKernel::ckAvx512, TColourKernel::ckAvx2})
      if (KernelAvailable(k)) return k;
    return TColourKernel::ckPortable;
  }();
  return kernel;
}

// Owns a Little CMS transform; cmsFLAGS_NOCACHE makes it safe to use from several threads at once.
struct TLcmsHandle {
  cmsHTRANSFORM H = nullptr;
  explicit TLcmsHandle(cmsHTRANSFORM h) : H(h) {}
  ~TLcmsHandle() {
    if (H) cmsDeleteTransform(H);
  }
  TLcmsHandle(const TLcmsHandle&) = delete;
  TLcmsHandle& operator=(const TLcmsHandle&) = delete;
};

// sRGB already: nothing to do. Kept in the cache so that the profile is not examined again.
class TIdentityTransform final : public TColourTransform {
 public:
  explicit TIdentityTransform(TColourModel model) : TColourTransform(model) {}
  void Convert(TColor32*, size_t) const override {}
};

bool WithinOneLevel(TColor32 a, TColor32 b) {
  auto near = [](int x, int y) { return std::abs(x - y) <= 1; };
  return near(RedOf(a), RedOf(b)) && near(GreenOf(a), GreenOf(b)) && near(BlueOf(a), BlueOf(b));
}

bool AllWithinOneLevel(const std::vector<TColor32>& a, const std::vector<TColor32>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), WithinOneLevel);
}

// Any profile, converted by Little CMS.
class TLcmsTransform final : public TColourTransform {
 public:
  TLcmsTransform(TColourModel model, cmsHTRANSFORM h) : TColourTransform(model), Lcms_(h) {}
  void Convert(TColor32* pixels, size_t count) const override {
    cmsDoTransform(Lcms_.H, pixels, pixels, cmsUInt32Number(count));
  }
  void ConvertCmyk(const uint8_t* ink, TColor32* out, size_t count) const override {
    std::fill(out, out + count, Color32(255, 0, 0, 0));  // Little CMS leaves the alpha byte alone
    cmsDoTransform(Lcms_.H, ink, out, cmsUInt32Number(count));
  }

 private:
  TLcmsHandle Lcms_;
};

// Grey: one table of the 256 answers.
class TGreyTransform final : public TColourTransform {
 public:
  explicit TGreyTransform(const TColor32 (&colours)[256]) : TColourTransform(TColourModel::cmGrey) {
    std::copy(std::begin(colours), std::end(colours), Colours_);
  }
  void Convert(TColor32* pixels, size_t count) const override {
    for (size_t i = 0; i < count; ++i) pixels[i] = (pixels[i] & 0xFF000000u) | Colours_[BlueOf(pixels[i])];
  }

 private:
  TColor32 Colours_[256];  // alpha 0
};

// RGB made of curves and a matrix: per channel and value, the linear sRGB it adds, three fields
// in one word.
class TTableTransform final : public TColourTransform {
 public:
  TTableTransform() : TColourTransform(TColourModel::cmRgb), Encode_(Lcms().Encode) {}

  // From Little CMS's linear answers: black, then every value of red, of green and of blue alone.
  void Fill(const float* black, const float* ramps) {
    FillKernelTables(black, ramps);
    for (int c = 0; c < 3; ++c) {
      for (int v = 0; v < 256; ++v) {
        const float* lin = ramps + 3 * (256 * c + v);
        uint64_t word = 0;
        for (int k = 0; k < 3; ++k) {
          double part = double(lin[k]) - black[k] + (c == 0 ? black[k] : 0);  // black counted once
          part = std::clamp(part, -2.0, 4.0) * (1 << LinearBits);
          word |= uint64_t(int64_t(std::lround(part)) + FieldBias) << (FieldBits * (2 - k));
        }
        Sums_[c][v] = word;
      }
    }
  }

  // Whether the tables give Little CMS's `expected` answers for `probe`, within a level. When the
  // vector kernels do not, only the portable code is used.
  bool Agree(const std::vector<TColor32>& probe, const std::vector<TColor32>& expected) {
    std::vector<TColor32> mine = probe;
    ConvertWith(TColourKernel::ckPortable, mine.data(), mine.size());
    if (!AllWithinOneLevel(mine, expected)) return false;
    for (TColourKernel k : {TColourKernel::ckAvx2, TColourKernel::ckAvx512, TColourKernel::ckAvx512Vbmi}) {
      if (!Separable_ || !KernelAvailable(k)) continue;
      mine = probe;
      ConvertWith(k, mine.data(), mine.size());
      if (AllWithinOneLevel(mine, expected)) continue;
      if (k == TColourKernel::ckAvx512Vbmi)
        Kernel_.Rising16 = false;  // the others may still do
      else
        Separable_ = false;
    }
    return true;
  }

  void Convert(TColor32* pixels, size_t count) const override {
    ConvertWith(Separable_ ? Kernel().load(std::memory_order_relaxed) : TColourKernel::ckPortable, pixels,
                count);
  }

 private:
  void ConvertWith(TColourKernel kernel, TColor32* pixels, size_t count) const {
    const size_t done = ConvertWithKernel(kernel, Kernel_, pixels, count);
    pixels += done, count -= done;
    for (size_t i = 0; i < count; ++i) {
      const TColor32 c = pixels[i];
      const uint64_t sum = Sums_[0][RedOf(c)] + Sums_[1][GreenOf(c)] + Sums_[2][BlueOf(c)];
      pixels[i] = (c & 0xFF000000u) | uint32_t(Channel(sum >> (2 * FieldBits))) << 16 |
                  uint32_t(Channel(sum >> FieldBits)) << 8 | Channel(sum);
    }
  }

  uint8_t Channel(uint64_t field) const {
    int64_t v = int64_t(field & FieldMask) - 3 * FieldBias;
    v = std::clamp<int64_t>(v, 0, int64_t(1) << LinearBits);
    return Encode_[(v + (1 << (LinearBits - EncodeBits - 1))) >> (LinearBits - EncodeBits)];
  }

  // The kernels' form of the same colours: each channel's contributions are one curve times a
  // column of a matrix, as they are for a profile of curves and a matrix; checked to a millionth.
  void FillKernelTables(const float* black, const float* ramps) {
    Separable_ = true;
    for (int c = 0; c < 3; ++c) {
      auto part = [&](int k, int v) { return double(ramps[3 * (256 * c + v) + k]) - black[k]; };
      double norm = 0;
      for (int v = 0; v < 256; ++v) norm += part(c, v) * part(c, v);
      Separable_ = Separable_ && norm > 1e-6;
      for (int k = 0; k < 3; ++k) {
        double dot = 0;
        for (int v = 0; v < 256; ++v) dot += part(k, v) * part(c, v);
        const double factor = norm > 0 ? dot / norm : 0;
        for (int v = 0; v < 256; ++v)
          Separable_ = Separable_ && std::abs(part(k, v) - factor * part(c, v)) < 1e-6;
        Kernel_.Matrix[k][c] = float(factor);
      }
      for (int v = 0; v < 256; ++v) Kernel_.Linear[c][v] = float(part(c, v));
      Kernel_.Base[c] = black[c];
    }
    FillRising16(Kernel_);
  }

  uint64_t Sums_[3][256] = {};
  const uint8_t* Encode_;
  TRgbKernelTables Kernel_ = {};
  bool Separable_ = false;
};

// Test colours: a grid through the RGB cube, and every grey.
std::vector<TColor32> ProbeColours() {
  std::vector<TColor32> probe;
  constexpr int steps[] = {0, 32, 64, 96, 128, 160, 192, 224, 255};
  for (int r : steps)
    for (int g : steps)
      for (int b : steps) probe.push_back(Color32(255, uint8_t(r), uint8_t(g), uint8_t(b)));
  for (int v = 0; v < 256; ++v) probe.push_back(Color32(255, uint8_t(v), uint8_t(v), uint8_t(v)));
  return probe;
}

// The tables for an RGB profile, when they reproduce Little CMS's `expected` answers for `probe`.
TColourTransformPtr TablesFor(cmsHPROFILE profile, const std::vector<TColor32>& probe,
                              const std::vector<TColor32>& expected) {
  const TLcms& lcms = Lcms();
  cmsHPROFILE linear = lcms.LinearSrgb();
  if (!linear) return nullptr;
  TLcmsHandle toLinear(cmsCreateTransformTHR(lcms.Context, profile, TYPE_RGB_FLT, linear, TYPE_RGB_FLT,
                                             Intent, cmsFLAGS_NOCACHE));
  cmsCloseProfile(linear);
  if (!toLinear.H) return nullptr;
  std::vector<float> in(3 * (1 + 3 * 256), 0.0f), out(in.size());
  for (int c = 0; c < 3; ++c)
    for (int v = 0; v < 256; ++v) in[3 * (1 + 256 * c + v) + c] = v / 255.0f;
  cmsDoTransform(toLinear.H, in.data(), out.data(), cmsUInt32Number(in.size() / 3));
  auto tables = std::make_shared<TTableTransform>();
  tables->Fill(out.data(), out.data() + 3);
  if (!tables->Agree(probe, expected)) return nullptr;
  return tables;
}

TColourTransformPtr BuildRgb(cmsHPROFILE profile, cmsHPROFILE srgb) {
  cmsHTRANSFORM h = cmsCreateTransformTHR(Lcms().Context, profile, PixelFormat, srgb, PixelFormat, Intent,
                                          cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA);
  if (!h) return nullptr;
  auto exact = std::make_shared<TLcmsTransform>(TColourModel::cmRgb, h);
  const std::vector<TColor32> probe = ProbeColours();
  std::vector<TColor32> expected = probe;
  exact->Convert(expected.data(), expected.size());
  if (AllWithinOneLevel(probe, expected)) return std::make_shared<TIdentityTransform>(TColourModel::cmRgb);
  if (TColourTransformPtr tables = TablesFor(profile, probe, expected)) return tables;
  return exact;
}

TColourTransformPtr BuildGrey(cmsHPROFILE profile, cmsHPROFILE srgb) {
  TLcmsHandle t(cmsCreateTransformTHR(Lcms().Context, profile, TYPE_GRAY_8, srgb, PixelFormat, Intent,
                                      cmsFLAGS_NOCACHE));
  if (!t.H) return nullptr;
  uint8_t grey[256];
  TColor32 colours[256] = {};
  bool identity = true;
  for (int v = 0; v < 256; ++v) grey[v] = uint8_t(v);
  cmsDoTransform(t.H, grey, colours, 256);
  for (int v = 0; v < 256; ++v)
    identity = identity && WithinOneLevel(colours[v], Color32(0, grey[v], grey[v], grey[v]));
  if (identity) return std::make_shared<TIdentityTransform>(TColourModel::cmGrey);
  return std::make_shared<TGreyTransform>(colours);
}

TColourTransformPtr BuildCmyk(cmsHPROFILE profile, cmsHPROFILE srgb) {
  cmsHTRANSFORM h = cmsCreateTransformTHR(Lcms().Context, profile, TYPE_CMYK_8, srgb, PixelFormat, Intent,
                                          cmsFLAGS_NOCACHE);
  if (!h) return nullptr;
  return std::make_shared<TLcmsTransform>(TColourModel::cmCmyk, h);
}

// Null for a profile Little CMS cannot read or that does not describe colours of a device.
TColourTransformPtr Build(std::span<const uint8_t> bytes) {
  const TLcms& lcms = Lcms();
  cmsHPROFILE profile = cmsOpenProfileFromMemTHR(lcms.Context, bytes.data(), cmsUInt32Number(bytes.size()));
  if (!profile) return nullptr;
  cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(lcms.Context);
  TColourTransformPtr t;
  const cmsProfileClassSignature kind = cmsGetDeviceClass(profile);
  const bool device = kind == cmsSigInputClass || kind == cmsSigDisplayClass || kind == cmsSigOutputClass ||
                      kind == cmsSigColorSpaceClass;
  if (srgb && device) {
    switch (cmsGetColorSpace(profile)) {
      case cmsSigRgbData:
        t = BuildRgb(profile, srgb);
        break;
      case cmsSigGrayData:
        t = BuildGrey(profile, srgb);
        break;
      case cmsSigCmykData:
        t = BuildCmyk(profile, srgb);
        break;
      default:
        break;
    }
  }
  if (srgb) cmsCloseProfile(srgb);
  cmsCloseProfile(profile);
  return t;
}

// Two independent hashes and the size: profiles that differ never meet in practice.
struct TProfileKey {
  size_t Size;
  size_t Hash;
  uint64_t Fnv;
  bool operator==(const TProfileKey&) const = default;
};

TProfileKey KeyOf(std::span<const uint8_t> bytes) {
  uint64_t fnv = 0xcbf29ce484222325u;
  for (const uint8_t b : bytes) fnv = (fnv ^ b) * 0x100000001b3u;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return {bytes.size(), std::hash<std::string_view>{}(text), fnv};
}

// The transforms of the latest profiles, most recently used first; null for a damaged profile.
class TTransformCache {
 public:
  TTransformCache() { Lcms(); }  // made first, so that Little CMS's context outlives the transforms

  TColourTransformPtr Find(std::span<const uint8_t> bytes) {
    const TProfileKey key = KeyOf(bytes);
    {
      std::lock_guard lock(Mutex_);
      if (auto it = Lookup(key); it != Entries_.end()) return it->second;
    }
    // Made outside the lock: another thread may make the same one meanwhile, and the first kept wins.
    TColourTransformPtr made = Build(bytes);
    std::lock_guard lock(Mutex_);
    if (auto it = Lookup(key); it != Entries_.end()) return it->second;
    Entries_.emplace_front(key, made);
    if (Entries_.size() > CacheCapacity) Entries_.pop_back();
    return made;
  }

 private:
  using TEntries = std::list<std::pair<TProfileKey, TColourTransformPtr>>;
  TEntries::iterator Lookup(const TProfileKey& key) {
    auto it = std::find_if(Entries_.begin(), Entries_.end(), [&](const auto& e) { return e.first == key; });
    if (it != Entries_.end()) Entries_.splice(Entries_.begin(), Entries_, it);
    return it;
  }

  std::mutex Mutex_;
  TEntries Entries_;
};

}  // namespace

void TColourTransform::ConvertCmyk(const uint8_t*, TColor32*, size_t) const {}

TColourKernel ColourKernel() {
  return Kernel().load();
}

bool UseColourKernel(TColourKernel kernel) {
  if (!KernelAvailable(kernel)) return false;
  Kernel() = kernel;
  return true;
}

TColourTransformPtr ColourTransformFor(std::span<const uint8_t> profile, TColourModel model) {
  if (profile.empty() || profile.size() > MaxProfileBytes) return nullptr;
  static TTransformCache cache;
  TColourTransformPtr t = cache.Find(profile);
  if (!t || t->Model() != model || dynamic_cast<const TIdentityTransform*>(t.get())) return nullptr;
  return t;
}

void ConvertBitmap(const TColourTransform* transform, TBitmap32& bitmap, bool premultiplied) {
  if (!transform) return;
  std::vector<TColor32> straight;
  for (int y = 0; y < bitmap.Height(); ++y) {
    TColor32* row = bitmap.ScanLine(y);
    const size_t width = size_t(bitmap.Width());
    const bool opaque = std::all_of(row, row + width, [](TColor32 c) { return AlphaOf(c) == 255; });
    if (!premultiplied || opaque) {
      transform->Convert(row, width);
      continue;
    }
    straight.resize(width);
    for (size_t x = 0; x < width; ++x) {
      uint8_t a, r, g, b;
      UnpremultiplyColor32(row[x], a, r, g, b);
      straight[x] = Color32(a, r, g, b);
    }
    transform->Convert(straight.data(), width);
    for (size_t x = 0; x < width; ++x) {
      const TColor32 c = straight[x];
      if (AlphaOf(c) != 0) row[x] = PremultipliedColor32(AlphaOf(c), RedOf(c), GreenOf(c), BlueOf(c));
    }
  }
}
