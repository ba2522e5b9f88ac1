// The ICC profile a JPEG file carries in its APP2 "ICC_PROFILE" segments.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The chunks of the profile, put together in the order of their sequence numbers (1 to the count
// each chunk repeats). Empty when there is none, or when the chunks contradict each other: counts
// that differ, a number out of range, twice or missing. Only the segments before the first scan
// are looked at, where the profile must be.
std::vector<uint8_t> JpegIccProfile(std::span<const uint8_t> jpeg);
