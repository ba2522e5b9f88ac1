// Embedded colour profiles: pixels a decoder has read in the colour space of an ICC profile,
// converted to sRGB with Little CMS.
//
// The decoders find the profile bytes in their own format and hand them over with the pixels. A
// missing, damaged or unusable profile (another colour model than the pixels, a device link) gives
// no transform, and the pixels stay as they are. Transforms are made once per profile and kept,
// keyed by a hash of its bytes, for every decoder thread to share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "bitmap/Bitmap32.h"

enum class TColourModel { cmGrey, cmRgb, cmCmyk };

class TColourTransform {
 public:
  virtual ~TColourTransform() = default;
  TColourModel Model() const { return Model_; }
  // Straight (not premultiplied) pixels to sRGB in place, alpha kept. Grey pixels have R = G = B.
  virtual void Convert(TColor32* pixels, size_t count) const = 0;
  // CMYK transforms only: ink amounts (4 bytes a pixel, 255 = full ink) to opaque sRGB pixels.
  virtual void ConvertCmyk(const uint8_t* ink, TColor32* out, size_t count) const;

 protected:
  explicit TColourTransform(TColourModel model) : Model_(model) {}

 private:
  TColourModel Model_;
};

using TColourTransformPtr = std::shared_ptr<const TColourTransform>;

// The transform from the profile's colour space to sRGB for pixels of `model`; null when there is
// none to apply, also for a profile whose colours are sRGB's already (no channel would move by
// more than a level). Thread-safe; equal profile bytes give the same transform.
TColourTransformPtr ColourTransformFor(std::span<const uint8_t> profile, TColourModel model);

// The instructions RGB profiles of curves and a matrix are converted with: the best the processor
// has, unless a test or a benchmark picks another (process-wide, before converting).
enum class TColourKernel { ckPortable, ckAvx2, ckAvx512, ckAvx512Vbmi };
TColourKernel ColourKernel();
// False, and nothing changes, when the processor lacks the kernel's instructions.
bool UseColourKernel(TColourKernel kernel);

// A whole bitmap of straight or premultiplied pixels to sRGB; nothing happens without a transform.
void ConvertBitmap(const TColourTransform* transform, TBitmap32& bitmap, bool premultiplied);
