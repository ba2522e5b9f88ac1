// The application's own options and their factory defaults.
#pragma once

#include <cstdint>
#include <memory>

// Mode codes shared by the options and the commands that set them.
enum : uint8_t { smManual = 0, smAuto = 1 };                          // ShowMode
enum : uint8_t { rmAll = 0, rmFolders = 1, rmFiles = 2 };             // RefreshMode
enum : uint8_t { ivNone = 0, ivScaleNormal = 1, ivAutoScaleLong = 2 };  // ImgViewMode

class TKirvaneCustomOptions {
 public:
  TKirvaneCustomOptions() = default;
  virtual ~TKirvaneCustomOptions() = default;

  uint8_t ShowMode = smManual;        // what the Run button starts
  uint8_t RefreshMode = rmAll;        // what the Refresh button refreshes
  uint8_t ImgViewMode = ivAutoScaleLong;  // the main window's preview mode
};

// Factory defaults; nothing changes them after construction.
class TKirvaneDefaults : public TKirvaneCustomOptions {
 public:
  bool Loop = false;
  int32_t ViewInterval = 3;  // seconds
  bool BarVisible = true;
  bool DoNow = false;
  bool FolderBarVisible = true;
};

// The live options. Reading and writing them with the rest of the settings is the main window's
// settings conductor (it needs the windows' command states as well).
class TKirvaneOptions : public TKirvaneCustomOptions {
 public:
  TKirvaneOptions() : Defaults(std::make_unique<TKirvaneDefaults>()) {}
  std::unique_ptr<TKirvaneDefaults> Defaults;
};
