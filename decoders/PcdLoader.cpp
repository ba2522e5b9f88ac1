// Kodak Photo CD image packs (.pcd): the Base picture, 768x512.
//
// The Base picture is stored uncompressed at sector 96 as PhotoYCC with 4:2:0 chroma; the
// larger resolutions (Huffman coded) and the smaller previews are not read. The picture is
// turned upright as the image pack's orientation says.
#include <algorithm>
#include <cstring>
#include <string>

#include "decoders/Decoders.h"
#include "decoders/Orientation.h"

namespace {

constexpr size_t SignatureOffset = 2048;
constexpr char Signature[] = "PCD_IPI";
constexpr size_t SignatureSize = sizeof Signature - 1;
constexpr size_t OrientationOffset = 0xE02;
constexpr size_t BaseOffset = 0x30000;
constexpr int Width = 768, Height = 512;
// Two rows of luma, then one row of each chroma component at half width, for every row pair.
constexpr size_t RowPairBytes = Width * 3;
constexpr size_t BaseEnd = BaseOffset + RowPairBytes * (Height / 2);

bool Refuse(TDecodeError& error, TDecodeErrorKind kind, const std::string& why) {
  error = {kind, "Invalid Photo CD image: " + why};
  return false;
}

// Checks the signature and that the first row pair of the Base picture is in the file.
bool CheckPack(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  if (head.size() < SignatureOffset + SignatureSize)
    return Refuse(error, TDecodeErrorKind::deTruncated, "file shorter than its header");
  if (std::memcmp(head.data() + SignatureOffset, Signature, SignatureSize) != 0)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "no PCD_IPI signature");
  if (fileSize < BaseOffset + RowPairBytes)
    return Refuse(error, TDecodeErrorKind::deTruncated, "the Base picture is not in the file");
  return true;
}

uint8_t Clip(double v) {
  return v <= 0 ? 0 : v >= 255 ? 255 : uint8_t(v + 0.5);
}

// Kodak's PhotoYCC to RGB. PhotoYCC keeps headroom for highlights (up to about 346); that is
// clipped, which keeps mid-tones at their intended brightness.
TColor32 YccToColor32(uint8_t y, uint8_t c1, uint8_t c2) {
  const double luma = 1.3584 * y;
  const double chroma1 = 2.2179 * (c1 - 156.0);
  const double chroma2 = 1.8215 * (c2 - 137.0);
  return Color32(255, Clip(luma + chroma2), Clip(luma - 0.194 * chroma1 - 0.509 * chroma2),
                 Clip(luma + chroma1));
}

// The pack's orientation code (0 as stored, 1 turned a quarter counter-clockwise, 2 half a
// turn, 3 a quarter clockwise) as the matching Exif orientation.
constexpr int ExifOrientation[4] = {1, 8, 3, 6};

}  // namespace

bool ProbePcd(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  return CheckPack(head, fileSize, error);
}

TDecodeResult DecodePcd(std::span<const uint8_t> data) {
  TDecodeError error;
  if (!CheckPack(data, data.size(), error)) return error;
  const int orientation = ExifOrientation[data[OrientationOffset] & 3];
  const bool turned = SwapsAxes(orientation);
  TBitmap32 bitmap;
  if (!AllocateBitmap(bitmap, turned ? Height : Width, turned ? Width : Height, error)) return error;

  const size_t pairs = std::min<size_t>(Height / 2, (data.size() - BaseOffset) / RowPairBytes);
  for (size_t pair = 0; pair < pairs; ++pair) {
    const uint8_t* luma = data.data() + BaseOffset + pair * RowPairBytes;
    const uint8_t* chroma1 = luma + 2 * Width;
    const uint8_t* chroma2 = chroma1 + Width / 2;
    for (int row = 0; row < 2; ++row) {
      const int y = int(2 * pair) + row;
      for (int x = 0; x < Width; ++x) {
        const auto [ux, uy] = Oriented(orientation, uint32_t(x), uint32_t(y), Width, Height);
        bitmap.Pixel(int(ux), int(uy)) = YccToColor32(luma[row * Width + x], chroma1[x / 2], chroma2[x / 2]);
      }
    }
  }
  TDecodeResult result(std::move(bitmap));
  result.SetPartial(data.size() < BaseEnd);
  return result;
}
