// Placeholder: the analysis result of one JPEG file.
#pragma once

class TZmJpegInfo {
 public:
  virtual ~TZmJpegInfo() = default;
};
