// ICC profiles made with Little CMS for the colour tests, and Little CMS's own answers for them.
#pragma once

#include <lcms2.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "bitmap/Bitmap32.h"

namespace icc {

using TBytes = std::vector<uint8_t>;

inline TBytes Save(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  TBytes bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

// Adobe RGB (1998): D65, its primaries, gamma 563/256.
inline TBytes AdobeRgb() {
  const cmsCIExyY white = {0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  const TBytes bytes = Save(cmsCreateRGBProfile(&white, &primaries, curves));
  cmsFreeToneCurve(gamma);
  return bytes;
}

inline TBytes Srgb() {
  return Save(cmsCreate_sRGBProfile());
}

// Grey with a plain gamma curve and a D50 white.
inline TBytes Grey(double gamma) {
  cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
  const TBytes bytes = Save(cmsCreateGrayProfile(cmsD50_xyY(), curve));
  cmsFreeToneCurve(curve);
  return bytes;
}

// A CMYK profile of a made-up press: the ink is taken away from white in Lab, linearly.
inline TBytes Cmyk() {
  cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
  cmsSetProfileVersion(p, 2.1);
  cmsSetDeviceClass(p, cmsSigOutputClass);
  cmsSetColorSpace(p, cmsSigCmykData);
  cmsSetPCS(p, cmsSigLabData);
  cmsPipeline* lut = cmsPipelineAlloc(nullptr, 4, 3);
  cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 2, 4, 3, nullptr);
  cmsStageSampleCLut16bit(
      clut,
      [](const cmsUInt16Number in[], cmsUInt16Number out[], void*) -> cmsInt32Number {
        const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
        cmsCIELab lab = {100 * (1 - k) * (1 - 0.3 * (c + m + y) / 3), 60 * (m - c) / 2, 60 * (y - m) / 2};
        cmsFloat2LabEncoded(out, &lab);
        return 1;
      },
      nullptr, 0);
  cmsPipelineInsertStage(lut, cmsAT_END, clut);
  cmsWriteTag(p, cmsSigAToB0Tag, lut);
  cmsPipelineFree(lut);
  return Save(p);
}

// Little CMS's 8-bit answer for `count` pixels in `format` under `profile`.
inline std::vector<TColor32> Convert(const TBytes& profile, cmsUInt32Number format, const uint8_t* pixels,
                                     size_t count) {
  cmsHPROFILE in = cmsOpenProfileFromMem(profile.data(), cmsUInt32Number(profile.size()));
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  const cmsUInt32Number out = std::endian::native == std::endian::little ? TYPE_BGRA_8 : TYPE_ARGB_8;
  cmsHTRANSFORM t = cmsCreateTransform(in, format, srgb, out, INTENT_PERCEPTUAL, 0);
  std::vector<TColor32> result(count, Color32(255, 0, 0, 0));
  if (t) cmsDoTransform(t, pixels, result.data(), cmsUInt32Number(count));
  if (t) cmsDeleteTransform(t);
  cmsCloseProfile(in);
  cmsCloseProfile(srgb);
  return result;
}

// For RGB pixels as they are in a bitmap.
inline std::vector<TColor32> ConvertPixels(const TBytes& profile, const TColor32* pixels, size_t count) {
  const cmsUInt32Number format = std::endian::native == std::endian::little ? TYPE_BGRA_8 : TYPE_ARGB_8;
  return Convert(profile, format, reinterpret_cast<const uint8_t*>(pixels), count);
}

}  // namespace icc
