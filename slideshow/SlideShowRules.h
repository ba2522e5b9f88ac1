// The slideshow window's rules without the window: where each navigation command goes, what
// each key, click and wheel turn does, and how far a drag scrolls. The window (FormImage) maps
// Qt's events onto these types and carries out the commands.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

// ---- Navigation ----

enum class TSlideNav : uint8_t {
  Forward, Back,                  // one image; wrap around at the ends only with loop
  PageDown, PageUp,               // ten images, stopping at the ends; never wrap
  Home, End,                      // first and last image
  ForwardFolder, BackFolder,      // the nearest entry of another folder; never wrap
};

// The folder (Path) of entry i, 0 <= i < count. Folders are compared byte for byte.
using TSlideFolderOf = std::function<std::string_view(int index)>;

// The new NowIndex after `nav` from `now` in a list of `count` entries, or nullopt when the
// command does nothing (the shown image is not even reloaded). A returned index is to be shown
// even when it equals `now`, and may lie outside the list (End on an empty list gives -1): the
// window then shows nothing. On an empty list Forward and Back do nothing, loop or not; folder
// navigation from a `now` outside the list does nothing, and folderOf is only ever called with
// an index inside the list.
std::optional<int> SlideNavTarget(TSlideNav nav, int now, int count, bool loop, const TSlideFolderOf& folderOf);

// ---- Keys ----

// The keys the window handles; every other key is Other and does nothing.
enum class TSlideKey : uint8_t {
  Other,
  Backspace, Enter, Escape, Space, PageUp, PageDown, Home, End,
  Left, Right, Up, Down, Delete,
  Digit1, Digit2, Digit3,  // the main keyboard's digits
  A, C, L, N, R, S, T, F4,
  Pad0, Pad1, Pad2, Pad3, Pad4, Pad5, Pad6, Pad7, Pad8, Pad9,
  PadMultiply, PadPlus, PadMinus, PadDecimal,
  BrowserBack, BrowserForward,
};

struct TSlideModifiers {
  bool Shift = false;
  bool Ctrl = false;
  bool Alt = false;
};

enum class TSlideCommand : uint8_t {
  None,
  AutoStop,                 // ShowModeAutoStopAct
  BackImage, ForwardImage, BackFolder, ForwardFolder, PageUp, PageDown, Home, End,
  Exit,                     // SlideShowExitAct
  ToggleFullScreen,         // FormFullScreen := not, then re-apply ImgSizeAdjustment
  ToggleTitleBar,           // FormTitleBarVisible := not, then re-apply ImgSizeAdjustment
  OpenShell,                // OpenShellOneAct
  BarVisible,               // BarVisibleAct
  SwitchMode,               // ShowMode 0 <-> 1, the automatic timer following it
  MoveImgPlaceLeft, MoveImgPlaceRight, MoveImgPlaceUp, MoveImgPlaceDown,
  SetImgPlace,              // ImgPlace := TSlideKeyAction::Place
  Scroll,                   // set the speeds named in TSlideKeyAction
  DeleteFile,               // DeleteFileOneAct
  ScaleNormal, ScaleUp, ScaleDown,
  NextSizeAdjustment, PrevSizeAdjustment,  // cyclic
  NextStretchFilter, PrevStretchFilter,    // cyclic
  ImageCopy, ImageNameCopy,
  ToggleCursor, ToggleLoop, ToggleReverse,  // ToggleReverse also stops both speeds
};

// A continuous-scroll speed set by a key, in steps of the view's HorzStep or VertStep: +1 moves
// the image right or down, -1 left or up, 0 stops; nullopt keeps the axis' speed.
using TSlideSpeed = std::optional<int8_t>;

struct TSlideKeyAction {
  TSlideCommand Command = TSlideCommand::None;
  bool StopSpeeds = false;  // Ctrl was held: both speeds stop before the command
  int Place = 0;            // SetImgPlace: the keypad digit 1..9 (1 bottom-left .. 9 top-right)
  TSlideSpeed Horz, Vert;   // Scroll
};

// What `key` does with `mods` held; `autoMode` is ShowMode 1, where the navigation keys stop the
// automatic mode instead (Backspace, Enter, Page Up/Down, Home, End, Delete, keypad ".", browser
// back and forward). Alt+Enter still toggles full screen there.
TSlideKeyAction SlideKeyAction(TSlideKey key, TSlideModifiers mods, bool autoMode);

// ---- Mouse ----

// Largest travel, in pixels on each axis, of a press and release that still count as a click.
constexpr int ClickTolerance = 10;
bool IsSlideClick(int dx, int dy);

// What releasing the left (or right) button does after a press on the image: with automatic mode
// the mode stops; a click goes forward (back), to the next (previous) folder with Ctrl; a drag
// goes nowhere.
TSlideCommand SlideReleaseCommand(bool leftButton, bool ctrl, bool autoMode, int dx, int dy);

struct TSlideScroll {
  double Dx = 0, Dy = 0;
};

// A left-drag step from `last` to `now` (screen pixels): the image scrolls by three times the
// pointer's travel against it, on the axes where it is larger than the viewport (wider, taller),
// the other way round with `reverse`.
TSlideScroll SlideDragScroll(int lastX, int lastY, int nowX, int nowY, bool wider, bool taller, bool reverse);

// ---- Wheel ----

struct TSlideWheelAction {
  // ForwardImage, BackImage, ScaleDown, ScaleUp or Scroll; None when the image fits both ways.
  TSlideCommand Command = TSlideCommand::None;
  TSlideScroll Scroll;                          // Scroll: the distance for ScrollBy
  bool StopHorz = false, StopVert = false;      // Scroll: the speed of the scrolled axis stops
};

// `delta` in eighths of a degree (120 per notch), positive when turned away from the user.
// `scaleLong`: the size adjustment is saAutoScaleLong (the whole image is seen). `wider`/`taller`:
// the image is larger than the viewport on that axis. Steps are the view's wheel steps per notch.
TSlideWheelAction SlideWheelAction(int delta, TSlideModifiers mods, bool scaleLong, bool wider, bool taller,
                                   bool reverse, double horzWheelStep, double vertWheelStep);
