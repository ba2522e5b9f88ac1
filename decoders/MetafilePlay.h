// What the WMF and EMF record readers share: their headers, the object table and error texts.
// Internal to the reader (MetafileReader.h is the interface).
#pragma once

#include <set>
#include <string>
#include <variant>
#include <vector>

#include "decoders/MetafileReader.h"

using TMfObject = std::variant<std::monostate, TMfPen, TMfBrush, TMfFont, TMfRegion, TMfPalette>;

// The objects created by records, by index. Slots are made on demand, never more than `limit`.
class TMfObjectTable {
 public:
  explicit TMfObjectTable(size_t limit) : Limit_(limit) {}
  // Puts the object in the lowest free slot (how WMF numbers its objects); false when all
  // `limit` slots are taken.
  bool AddLowest(TMfObject object);
  // Puts the object at `index` (EMF names it), replacing any object there; false beyond the limit.
  bool Put(size_t index, TMfObject object);
  // The object at `index`, or nullptr for an empty or unknown slot.
  const TMfObject* Get(size_t index) const;
  void Delete(size_t index);

 private:
  size_t Limit_;
  std::vector<TMfObject> Slots_;
  std::set<size_t> Free_;  // empty slots below Slots_.size(), so that AddLowest never scans
};

// Hands a selected pen, brush, font or palette to the sink; a region becomes the clip region.
void SelectMfObject(TMetafileSink& sink, const TMfObject& object);

struct TWmfLayout {
  bool Placeable = false;
  TMfRect Box;       // placeable: the bounding box, normalised so that Left <= Right, Top <= Bottom
  uint16_t Inch = 0;  // placeable: logical units per inch
  uint16_t Objects = 0;     // NumberOfObjects of the header
  size_t FirstRecord = 0;   // offset of the first record after the headers
};
// The placeable and standard headers.
bool ReadWmfLayout(std::span<const uint8_t> data, TWmfLayout& layout, TDecodeError& error);

struct TEmfHeader {
  TMfRect Bounds, Frame;  // inclusive; Bounds in device pixels, Frame in 0.01 mm
  int32_t DevicePixelsX = 0, DevicePixelsY = 0;  // the reference device, in pixels
  double DeviceMmX = 0, DeviceMmY = 0;           // and in millimetres (micrometres when given)
  uint16_t Handles = 0;
  uint32_t Size = 0;  // of the header record: the first drawing record follows it
};
bool ReadEmfHeader(std::span<const uint8_t> data, TEmfHeader& header, TDecodeError& error);

bool PlayWmf(std::span<const uint8_t> data, TMetafileSink& sink, TDecodeError& error);
bool PlayEmf(std::span<const uint8_t> data, TMetafileSink& sink, TDecodeError& error);

inline bool MfFail(TDecodeError& error, TDecodeErrorKind kind, const char* format, const std::string& why) {
  error = {kind, std::string(format) + ": " + why};
  return false;
}
