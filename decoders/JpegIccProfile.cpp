// ICC.1 (ICC specification), annex B.4: a profile too big for one JPEG segment is cut into chunks
// of at most 65519 bytes, each behind "ICC_PROFILE\0", its sequence number and the chunk count.
#include "decoders/JpegIccProfile.h"

#include <array>
#include <cstring>

namespace {

constexpr uint8_t App2 = 0xE2;
constexpr char Signature[] = "ICC_PROFILE";  // with its terminating zero: 12 bytes
constexpr size_t ChunkHeader = sizeof Signature + 2;

// Markers without a length: TEM, RST0-7, SOI; 0x00 is no marker at all.
bool Standalone(uint8_t marker) {
  return marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

}  // namespace

std::vector<uint8_t> JpegIccProfile(std::span<const uint8_t> jpeg) {
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return {};
  std::array<std::span<const uint8_t>, 256> chunks;
  std::array<bool, 256> seen{};
  unsigned count = 0;
  size_t pos = 2;
  while (pos + 4 <= jpeg.size()) {
    // Bytes between segments are skipped as libjpeg skips them; 0xFF before a marker is fill.
    if (jpeg[pos] != 0xFF || jpeg[pos + 1] == 0xFF) {
      ++pos;
      continue;
    }
    const uint8_t marker = jpeg[pos + 1];
    if (marker == 0xDA || marker == 0xD9) break;  // the scan or the end: no profile after it
    if (Standalone(marker)) {
      pos += 2;
      continue;
    }
    const size_t length = size_t(jpeg[pos + 2]) << 8 | jpeg[pos + 3];
    const size_t start = pos + 4, end = pos + 2 + length;
    if (length < 2 || end > jpeg.size()) break;
    if (marker == App2 && length - 2 >= ChunkHeader &&
        std::memcmp(&jpeg[start], Signature, sizeof Signature) == 0) {
      const unsigned number = jpeg[start + sizeof Signature], total = jpeg[start + sizeof Signature + 1];
      if (total == 0 || (count != 0 && total != count) || number == 0 || number > total || seen[number])
        return {};
      count = total;
      seen[number] = true;
      chunks[number] = jpeg.subspan(start + ChunkHeader, end - start - ChunkHeader);
    }
    pos = end;
  }
  size_t size = 0;
  for (unsigned i = 1; i <= count; ++i) {
    if (!seen[i]) return {};
    size += chunks[i].size();
  }
  std::vector<uint8_t> profile;
  profile.reserve(size);
  for (unsigned i = 1; i <= count; ++i) profile.insert(profile.end(), chunks[i].begin(), chunks[i].end());
  return profile;
}
