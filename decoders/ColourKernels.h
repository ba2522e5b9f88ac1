// The vector code of the RGB colour conversion (ColourProfile.cpp): linear light from a table per
// channel, a matrix to linear sRGB, and the sRGB curve, 8 or 16 pixels at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bitmap/Bitmap32.h"
#include "decoders/ColourProfile.h"

// Linear-light sRGB of a pixel: Base + Matrix x (Linear[0][red], Linear[1][green], Linear[2][blue]).
struct TRgbKernelTables {
  alignas(64) float Linear[3][256];
  float Matrix[3][3];
  float Base[3];
  // The same curves as 16-bit fractions of their last value, in a table of low and one of high
  // bytes, for byte permutes instead of gathers; Matrix16 takes the scale back. Only when every
  // curve rises from 0 or more to its end (Rising16).
  alignas(64) uint8_t Low[3][256];
  alignas(64) uint8_t High[3][256];
  float Matrix16[3][3];
  bool Rising16;
  bool SameCurves;  // the three 16-bit tables are one
};

// Fills the 16-bit tables from Linear and Matrix.
void FillRising16(TRgbKernelTables& tables);

// Whether the processor can run `kernel` (ckPortable: always).
bool KernelAvailable(TColourKernel kernel);

// Converts the first pixels of `pixels` with a vector kernel, as many as fill its vectors, and
// returns how many it did; the caller converts the rest. 0 for ckPortable.
size_t ConvertWithKernel(TColourKernel kernel, const TRgbKernelTables& tables, TColor32* pixels,
                         size_t count);
