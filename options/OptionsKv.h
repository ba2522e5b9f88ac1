// The application's own options, their factory defaults, and the conductor that reads and
// writes every setting of the program in one INI image, in a fixed order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TMemIniFile;
class TZmThreadFileInfoList;
class TZmGraphicExItemList;

// Mode codes shared by the options and the commands that set them.
enum : uint8_t { smManual = 0, smAuto = 1 };                            // ShowMode
enum : uint8_t { rmAll = 0, rmFolders = 1, rmFiles = 2 };               // RefreshMode
enum : uint8_t { ivNone = 0, ivScaleNormal = 1, ivAutoScaleLong = 2 };  // ImgViewMode

class TKirvaneCustomOptions {
 public:
  TKirvaneCustomOptions() = default;
  virtual ~TKirvaneCustomOptions() = default;

  uint8_t ShowMode = smManual;            // what the Run button starts
  uint8_t RefreshMode = rmAll;            // what the Refresh button refreshes
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

// What the conductor needs of the windows: settings that live in command states, and the
// sections that components read and write themselves. The main window implements it.
class IKirvaneOptionsHost {
 public:
  virtual ~IKirvaneOptionsHost() = default;

  virtual bool Loop() const = 0;               // slideshow window's LoopAct
  virtual void SetLoop(bool v) = 0;
  virtual int32_t ViewInterval() const = 0;    // automatic slideshow timer, milliseconds
  virtual void SetViewInterval(int32_t ms) = 0;
  virtual bool BarVisible() const = 0;         // slideshow window's BarVisibleAct
  virtual void SetBarVisible(bool v) = 0;
  virtual bool DoNow() const = 0;              // DoNowAct
  virtual void SetDoNow(bool v) = 0;
  virtual bool FolderBarVisible() const = 0;   // FolderBarVisibleAct
  virtual void SetFolderBarVisible(bool v) = 0;

  virtual TZmThreadFileInfoList& FileList() = 0;  // the catalogue component's list
  virtual TZmGraphicExItemList& Formats() = 0;
  // The main file list's column layout ("DesignColumn"): reading, and widths stored + writing.
  virtual void LoadColumns(const TMemIniFile& ini) = 0;
  virtual void SaveColumns(TMemIniFile& ini) = 0;
  // The slideshow view's nine keys in "SlideShow".
  virtual void LoadImageView(const TMemIniFile& ini) = 0;
  virtual void SaveImageView(TMemIniFile& ini) = 0;

  // Apply: the sub-folder and hidden-file checks follow the catalogue's options, the folder tree
  // and its splitter follow FolderBarVisible, and the preview mode command for `imgViewMode`
  // (0-2) runs; other values run nothing.
  virtual void ApplyOptions(uint8_t imgViewMode) = 0;
  // The file list takes its sort column and direction from the catalogue and rebuilds its columns.
  virtual void ApplySortColumn() = 0;
};

class TKirvaneOptions : public TKirvaneCustomOptions {
 public:
  TKirvaneOptions() : Defaults(std::make_unique<TKirvaneDefaults>()) {}

  // Reads "SlideShow", "Option", then the catalogue, columns, image view and format sections,
  // hands the enabled formats' extensions to the catalogue, applies, and sets the sort column.
  void Load(const TMemIniFile& ini, IKirvaneOptionsHost& host);
  // Empties the image and writes every section again from the live state, in the order
  // "SlideShow", "Option", "DesignColumn", "OptionFileInfos", "GraphicTypes"; then writes the
  // file. False (with a reason) when the file could not be written.
  bool Save(TMemIniFile& ini, IKirvaneOptionsHost& host, std::string* error = nullptr);
  void Apply(IKirvaneOptionsHost& host) { host.ApplyOptions(ImgViewMode); }

  std::unique_ptr<TKirvaneDefaults> Defaults;
  // The folder last chosen as the target of a copy or move, always with a trailing "/".
  std::string CommonSendPath = "/";
};
