// The texts of the JPEG check: result codes and frame types, as the file list shows them.
#pragma once

// The text of a result code 0-7 (TZmJpegInfo::Result); "" for any other value, such as -1 for a
// file that has not been analysed.
const char* JpegResultText(int result);

// The text of a frame type (TZmJpegInfo::SofType, the n of marker SOFn); "" for -1 (no frame
// header seen) and for any value outside 0-15.
const char* JpegSofTypeText(int sofType);
