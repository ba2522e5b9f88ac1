// The result codes of the JPEG check and the texts the file list shows for them and for the frame
// types.
#pragma once

#include <cstdint>

// The verdict of one file (TZmJpegInfo::Result). A code above jrAppendedData is an error for the
// check and for the window's error selection.
enum TZmJpegResult : int32_t {
  jrNotAnalyzed = -1,    // no analysis has reached the file yet
  jrNoError = 0,         // sound
  jrAppendedData = 1,    // sound, with data after the end of the image
  jrDamaged = 2,         // start- and end-of-image markers do not pair up
  jrAnalysisFailed = 3,  // the data ended where bytes had to be read, or was malformed there
  jrFileNotFound = 4,    // the file does not exist (or is a folder)
  jrCannotOpen = 5,      // the file cannot be opened (or is not a regular file)
  jrEmptyFile = 6,       // the file holds no bytes
  jrNotJpeg = 7,         // no start-of-image signature at offset 0 or 128
};

constexpr bool IsJpegError(int32_t result) {
  return result > jrAppendedData;
}

// The text of a result code (TZmJpegInfo::Result); "" for any other value, such as
// jrNotAnalyzed.
const char* JpegResultText(int result);

// The text of a frame type (TZmJpegInfo::SofType, the n of marker SOFn); "" for -1 (no frame
// header seen) and for any value outside 0-15.
const char* JpegSofTypeText(int sofType);
