// TZmImgView32: the slideshow's image view. A TImgView32 with placements on a keypad layout,
// size adjustment after each load, zoom about the viewport centre within 1/64..256, clamped
// scrolling with two continuous-scroll speeds for the owner's timer, the background colour with
// a contrasting text colour, the cursor's visibility, the owner window's full-screen and
// title-bar state, loading with an in-view error panel, and one INI section for all of it.
//
// Owner window. OwnerForm is the view's top-level window (none while the view has no parent).
// Full screen is Qt's full-screen window state plus Qt::FramelessWindowHint: a frameless window
// that is merely maximized would leave the desktop's panels in view. Leaving full screen gives
// a maximized window, as the full-screen window was one (a normal one with saAutoWindowSize), with
// a frame exactly when FormTitleBarVisible is on. The maximize button follows the size mode when
// full screen is left: saAutoWindowSize removes it (the window's size follows the image), other
// modes restore it. saAutoWindowSize fits the window's frame to the image inside the available
// geometry of the window's screen.
//
// Scroll bars are always on (Qt::ScrollBarAlwaysOn), so ScrollBarSize is their constant
// thickness: an owner that makes the view that much larger than its panel keeps them out of
// sight, and the viewport is then exactly the panel.
//
// User-interface thread only.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "catalogue/ZmUtils.h"
#include "imageview/ImgView32.h"
#include "imageview/ZmImageLoader.h"

class TMemIniFile;

// The nine persistent settings of the view; the values a new record holds are the class
// defaults. The view reads a missing or unreadable INI key from its Defaults record.
class TZmImgView32Defaults {
 public:
  TZmImgView32Defaults() = default;
  TZmImgView32Defaults(const TZmImgView32Defaults&) = default;
  TZmImgView32Defaults& operator=(const TZmImgView32Defaults&) = default;
  virtual ~TZmImgView32Defaults() = default;

  virtual void Assign(const TZmImgView32Defaults& other) { *this = other; }
  bool operator==(const TZmImgView32Defaults&) const = default;

  bool CursorMode = true;
  TColor BGColor = 0;
  bool FormFullScreen = true;
  bool FormTitleBarVisible = true;
  TZmImgPlace ImgPlace = ipCenter;
  TZmImgSizeAdjustment ImgSizeAdjustment = saNone;
  bool ReverseMove = false;
  float Scale = 1.0f;
  TStretchFilter StretchFilter = sfLinear;
};

// The nine keys of a view's INI section, read (a missing or unreadable key takes the value in
// `defaults`; a StretchFilter outside the five filters too) and written in one order.
TZmImgView32Defaults ReadImgViewSettings(const TMemIniFile& ini, const std::string& section,
                                         const TZmImgView32Defaults& defaults);
void WriteImgViewSettings(TMemIniFile& ini, const std::string& section, const TZmImgView32Defaults& values);
// What the slideshow window sets on its view before its settings are read: no cursor, black,
// full screen without a title bar, centred at actual size, smoothed.
TZmImgView32Defaults SlideShowViewSettings();

class TZmImgView32 : public TImgView32 {
  Q_OBJECT

 public:
  static constexpr const char* DefaultIniSectionName = "SlideShowLayout";

  // Takes CursorMode, BGColor, FormFullScreen, FormTitleBarVisible, ImgPlace, ImgSizeAdjustment
  // and ReverseMove from the class defaults without touching any window (the owner may not
  // exist yet), Scale and StretchFilter through their setters, and paints in BGColor.
  explicit TZmImgView32(QWidget* parent = nullptr);

  // Continuous-scroll speeds in pixels per timer interval, positive moving the image right or
  // down; the owner's timer turns them into ScrollBy calls. Loads and zooms reset them to 0.
  double SpeedHorz() const { return SpeedHorz_; }
  double SpeedVert() const { return SpeedVert_; }
  void SetSpeedHorz(double speed) { SpeedHorz_ = speed; }
  void SetSpeedVert(double speed) { SpeedVert_ = speed; }

  // On: the arrow cursor over the image; off: no cursor.
  bool CursorMode() const { return CursorMode_; }
  void SetCursorMode(bool on);

  const TZmImgView32Defaults& Defaults() const { return Defaults_; }
  void SetDefaults(const TZmImgView32Defaults& defaults) { Defaults_.Assign(defaults); }

  // The colour around the image and of the error panel; its text is ContrastColor(BGColor).
  // Plain or system colours (ZmUtils.h).
  TColor BGColor() const { return BGColor_; }
  void SetBGColor(TColor color);

  bool FormFullScreen() const { return FormFullScreen_; }
  void SetFormFullScreen(bool on);
  bool FormTitleBarVisible() const { return FormTitleBarVisible_; }
  // Changes the frame at once unless full screen; there it takes effect when full screen ends.
  void SetFormTitleBarVisible(bool visible);

  // Each set applies the placement or the adjustment at once, even to the same value.
  TZmImgPlace ImgPlace() const { return ImgPlace_; }
  void SetImgPlace(TZmImgPlace place);
  TZmImgSizeAdjustment ImgSizeAdjustment() const { return ImgSizeAdjustment_; }
  void SetImgSizeAdjustment(TZmImgSizeAdjustment mode);

  // A flag for the owner's drag, wheel and key scrolling; the view itself does nothing with it.
  bool ReverseMove() const { return ReverseMove_; }
  void SetReverseMove(bool on) { ReverseMove_ = on; }

  const std::string& IniSectionName() const { return IniSectionName_; }
  void SetIniSectionName(std::string name) { IniSectionName_ = std::move(name); }

  // The message of the last failed load; empty after a successful one.
  const QString& LoadErrorText() const { return LoadErrorText_; }

  QWidget* OwnerForm() const;

  // Applies all nine settings through their setters, in the order of the INI keys.
  void ApplySettings(const TZmImgView32Defaults& values);
  TZmImgView32Defaults Settings() const;

  // Shows a picture file: the speeds stop, the picture is decoded through the single load path,
  // sized (ImgSizeAdjustment) and placed (ImgPlace), with one repaint. When it cannot be shown,
  // for whatever reason, the view shows instead a panel of half the viewport's size, filled with
  // BGColor and carrying LoadErrorText ("<path> は表示できません。") at its top-left corner in
  // the owner window's font and the contrasting colour, at offsets (0, 0). Never throws.
  void LoadFromFile(const std::string& path);
  // Shows a picture the loader delivered, as LoadFromFile does after decoding: speeds stop, the
  // picture is sized and placed with one repaint, or the error panel shows for `path`.
  // The view shares the loader's bitmap rather than copying it.
  void ShowLoaded(const std::string& path, const TZmLoadedImage& image);
  // Empties the bitmap (0 x 0).
  void ClearImage();
  // Stops the speeds and zooms to s (clamped to 1/64..256) keeping the image point under the
  // viewport centre there, offsets rounded to whole pixels, with one repaint.
  void ZoomTo(double s);
  // One row or column on the keypad layout; the placement is applied even at an edge.
  void MoveImgPlaceUp();
  void MoveImgPlaceDown();
  void MoveImgPlaceLeft();
  void MoveImgPlaceRight();

  // Key speeds max(1, viewport / 200) and wheel distances max(1, viewport / 6), real divisions.
  double HorzStep() const;
  double VertStep() const;
  double HorzWheelStep() const;
  double VertWheelStep() const;

  // Reads the nine keys from section IniSectionName (missing ones take the Defaults values) and
  // applies them through the setters. SaveToIni writes the same keys in the same order.
  void LoadFromIni(const TMemIniFile& ini);
  void SaveToIni(TMemIniFile& ini) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ApplyPlacement();
  void ApplySizeAdjustment();
  void AutoWindowSize();
  void ShowErrorPanel(const std::string& path);

  double SpeedHorz_ = 0, SpeedVert_ = 0;
  bool CursorMode_ = true;
  TZmImgView32Defaults Defaults_;
  TColor BGColor_ = 0;
  bool FormFullScreen_ = true, FormTitleBarVisible_ = true;
  QString LoadErrorText_;
  TZmImgPlace ImgPlace_ = ipCenter;
  TZmImgSizeAdjustment ImgSizeAdjustment_ = saNone;
  // The scale the last automatic fit left, so that a resize fits again only a picture nobody
  // has zoomed since.
  std::optional<float> FittedScale_;
  std::string IniSectionName_ = DefaultIniSectionName;
  bool ReverseMove_ = false;
};
