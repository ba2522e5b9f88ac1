#include "slideshow/SlideShowRules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

// ---- Navigation ----

namespace {

// The nearest entry from `now` in direction `step` (+1 or -1) whose folder differs from that of
// `now`; `now` itself when there is none. `now` lies inside the list.
int OtherFolderFrom(int now, int step, int count, const TSlideFolderOf& folderOf) {
  const std::string_view folder = folderOf(now);
  for (int i = now + step; i >= 0 && i < count; i += step)
    if (folderOf(i) != folder) return i;
  return now;
}

}  // namespace

std::optional<int> SlideNavTarget(TSlideNav nav, int now, int count, bool loop, const TSlideFolderOf& folderOf) {
  count = std::max(count, 0);
  const int last = count - 1;
  // Wide arithmetic: a stale `now` near the ends of int must not overflow by ten.
  const int64_t wide = now;
  switch (nav) {
    case TSlideNav::Forward:
      // With nothing to show there is nothing to wrap to, loop or not.
      if (count == 0) return std::nullopt;
      if (now < last) return now + 1;
      return loop ? std::optional<int>(0) : std::nullopt;
    case TSlideNav::Back:
      if (count == 0) return std::nullopt;
      if (now > 0) return now - 1;
      return loop ? std::optional<int>(last) : std::nullopt;
    case TSlideNav::PageDown:
      return int(std::min<int64_t>(wide + 10, last));
    case TSlideNav::PageUp:
      return int(std::max<int64_t>(wide - 10, 0));
    case TSlideNav::Home:
      return 0;
    case TSlideNav::End:
      return last;
    case TSlideNav::ForwardFolder:
      // Without a shown entry there is no folder to leave.
      if (now < 0 || now >= last) return std::nullopt;
      return OtherFolderFrom(now, +1, count, folderOf);
    case TSlideNav::BackFolder:
      if (now <= 0 || now >= count) return std::nullopt;
      return OtherFolderFrom(now, -1, count, folderOf);
  }
  return std::nullopt;
}

// ---- Keys ----

namespace {

using K = TSlideKey;
using C = TSlideCommand;

// When a row applies. A key's rows are tried in order and the first that holds wins, which is how
// Ctrl beats Alt on the arrows and Alt beats Ctrl on Enter.
enum class TWhen : uint8_t { Any, Ctrl, NoCtrl, Alt, Shift };

struct TKeyRow {
  TSlideKey Key;
  TWhen When;
  TSlideKeyAction Action;
};

constexpr TSlideKeyAction Do(TSlideCommand command) { return {command}; }
constexpr TSlideKeyAction PlaceAt(int digit) { return {C::SetImgPlace, false, digit}; }
constexpr TSlideSpeed Keep = std::nullopt;
constexpr TSlideKeyAction Speeds(TSlideSpeed horz, TSlideSpeed vert) { return {C::Scroll, false, 0, horz, vert}; }

constexpr TKeyRow KeyTable[] = {
    {K::Backspace, TWhen::NoCtrl, Do(C::BackImage)},
    {K::PadDecimal, TWhen::NoCtrl, Do(C::BackImage)},
    {K::BrowserBack, TWhen::NoCtrl, Do(C::BackImage)},
    {K::BrowserForward, TWhen::NoCtrl, Do(C::ForwardImage)},
    {K::Enter, TWhen::Alt, Do(C::ToggleFullScreen)},
    {K::Enter, TWhen::Ctrl, Do(C::OpenShell)},
    {K::Enter, TWhen::Any, Do(C::ForwardImage)},
    {K::Escape, TWhen::Any, Do(C::Exit)},
    {K::Pad0, TWhen::Any, Do(C::Exit)},
    {K::Space, TWhen::Ctrl, Do(C::BarVisible)},
    {K::Space, TWhen::Any, Do(C::SwitchMode)},
    {K::PageUp, TWhen::Ctrl, Do(C::BackFolder)},
    {K::PageUp, TWhen::Any, Do(C::PageUp)},
    {K::PageDown, TWhen::Ctrl, Do(C::ForwardFolder)},
    {K::PageDown, TWhen::Any, Do(C::PageDown)},
    {K::Home, TWhen::Any, Do(C::Home)},
    {K::End, TWhen::Any, Do(C::End)},
    {K::Left, TWhen::Ctrl, Do(C::MoveImgPlaceLeft)},
    {K::Left, TWhen::Alt, Do(C::BackImage)},
    {K::Left, TWhen::Any, Speeds(+1, Keep)},
    {K::Right, TWhen::Ctrl, Do(C::MoveImgPlaceRight)},
    {K::Right, TWhen::Alt, Do(C::ForwardImage)},
    {K::Right, TWhen::Any, Speeds(-1, Keep)},
    {K::Up, TWhen::Ctrl, Do(C::MoveImgPlaceUp)},
    {K::Up, TWhen::Any, Speeds(Keep, +1)},
    {K::Down, TWhen::Ctrl, Do(C::MoveImgPlaceDown)},
    {K::Down, TWhen::Any, Speeds(Keep, -1)},
    {K::Delete, TWhen::Any, Do(C::DeleteFile)},
    {K::Digit1, TWhen::Any, Do(C::ScaleNormal)},
    {K::PadMultiply, TWhen::Any, Do(C::ScaleNormal)},
    {K::Digit2, TWhen::Any, Do(C::ScaleUp)},
    {K::PadPlus, TWhen::Any, Do(C::ScaleUp)},
    {K::Digit3, TWhen::Any, Do(C::ScaleDown)},
    {K::PadMinus, TWhen::Any, Do(C::ScaleDown)},
    {K::A, TWhen::Shift, Do(C::PrevSizeAdjustment)},
    {K::A, TWhen::Any, Do(C::NextSizeAdjustment)},
    {K::C, TWhen::Ctrl, Do(C::ImageCopy)},
    {K::C, TWhen::Any, Do(C::ToggleCursor)},
    {K::L, TWhen::Any, Do(C::ToggleLoop)},
    {K::N, TWhen::Ctrl, Do(C::ImageNameCopy)},
    {K::R, TWhen::Any, Do(C::ToggleReverse)},
    {K::S, TWhen::Shift, Do(C::PrevStretchFilter)},
    {K::S, TWhen::Any, Do(C::NextStretchFilter)},
    {K::T, TWhen::Any, Do(C::ToggleTitleBar)},
    {K::F4, TWhen::Any, Do(C::ToggleFullScreen)},
    // Ctrl with a keypad digit places the image where the digit sits on the keypad.
    {K::Pad1, TWhen::Ctrl, PlaceAt(1)},
    {K::Pad2, TWhen::Ctrl, PlaceAt(2)},
    {K::Pad3, TWhen::Ctrl, PlaceAt(3)},
    {K::Pad4, TWhen::Ctrl, PlaceAt(4)},
    {K::Pad5, TWhen::Ctrl, PlaceAt(5)},
    {K::Pad6, TWhen::Ctrl, PlaceAt(6)},
    {K::Pad7, TWhen::Ctrl, PlaceAt(7)},
    {K::Pad8, TWhen::Ctrl, PlaceAt(8)},
    {K::Pad9, TWhen::Ctrl, PlaceAt(9)},
    // Without Ctrl the digit scrolls toward its direction: the image moves the other way.
    {K::Pad7, TWhen::Any, Speeds(+1, +1)},
    {K::Pad8, TWhen::Any, Speeds(Keep, +1)},
    {K::Pad9, TWhen::Any, Speeds(-1, +1)},
    {K::Pad4, TWhen::Any, Speeds(+1, Keep)},
    {K::Pad5, TWhen::Any, Speeds(0, 0)},
    {K::Pad6, TWhen::Any, Speeds(-1, Keep)},
    {K::Pad1, TWhen::Any, Speeds(+1, -1)},
    {K::Pad2, TWhen::Any, Speeds(Keep, -1)},
    {K::Pad3, TWhen::Any, Speeds(-1, -1)},
};

// The keys that, in the automatic mode, stop it instead of doing their own work.
constexpr TSlideKey AutoStopKeys[] = {
    K::Backspace, K::Enter,  K::PageUp,      K::PageDown,    K::End,
    K::Home,      K::Delete, K::PadDecimal, K::BrowserBack, K::BrowserForward,
};

bool Holds(TWhen when, TSlideModifiers mods) {
  switch (when) {
    case TWhen::Any: return true;
    case TWhen::Ctrl: return mods.Ctrl;
    case TWhen::NoCtrl: return !mods.Ctrl;
    case TWhen::Alt: return mods.Alt;
    case TWhen::Shift: return mods.Shift;
  }
  return false;
}

}  // namespace

TSlideKeyAction SlideKeyAction(TSlideKey key, TSlideModifiers mods, bool autoMode) {
  TSlideKeyAction action;
  // Alt+Enter toggles full screen even in the automatic mode: it changes the window, not the image.
  const bool stopsAuto = std::ranges::find(AutoStopKeys, key) != std::end(AutoStopKeys) &&
                         !(key == K::Enter && mods.Alt);
  if (autoMode && stopsAuto) {
    action.Command = C::AutoStop;
  } else {
    const auto row = std::ranges::find_if(KeyTable, [&](const TKeyRow& r) { return r.Key == key && Holds(r.When, mods); });
    if (row != std::end(KeyTable)) action = row->Action;
  }
  action.StopSpeeds = mods.Ctrl;
  return action;
}

// ---- Mouse ----

bool IsSlideClick(int dx, int dy) {
  // Compared without abs(), which overflows for the most negative int.
  return dx >= -ClickTolerance && dx <= ClickTolerance && dy >= -ClickTolerance && dy <= ClickTolerance;
}

TSlideCommand SlideReleaseCommand(bool leftButton, bool ctrl, bool autoMode, int dx, int dy) {
  if (autoMode) return C::AutoStop;
  if (!IsSlideClick(dx, dy)) return C::None;
  if (leftButton) return ctrl ? C::ForwardFolder : C::ForwardImage;
  return ctrl ? C::BackFolder : C::BackImage;
}

TSlideScroll SlideDragScroll(int lastX, int lastY, int nowX, int nowY, bool wider, bool taller, bool reverse) {
  // Three times the travel: a short drag crosses a large picture. In doubles, so no travel overflows.
  const double sign = reverse ? -1.0 : 1.0;
  TSlideScroll scroll;
  if (wider) scroll.Dx = sign * 3.0 * (double(lastX) - double(nowX));
  if (taller) scroll.Dy = sign * 3.0 * (double(lastY) - double(nowY));
  return scroll;
}

// ---- Wheel ----

TSlideWheelAction SlideWheelAction(int delta, TSlideModifiers mods, bool scaleLong, bool wider, bool taller,
                                   bool reverse, double horzWheelStep, double vertWheelStep) {
  const bool away = delta > 0;
  TSlideWheelAction action;
  const TSlideCommand navigate = away ? C::ForwardImage : C::BackImage;
  if (mods.Shift) {
    action.Command = navigate;
  } else if (mods.Ctrl) {
    action.Command = away ? C::ScaleDown : C::ScaleUp;
  } else if (scaleLong) {
    action.Command = navigate;  // the whole picture is in view: nothing to scroll
  } else if (taller || wider) {
    // One axis per turn, the vertical first; a fine-grained wheel turns by part of a notch.
    const double notches = std::fabs(double(delta)) / 120.0;
    const double sign = (away ? 1.0 : -1.0) * (reverse ? -1.0 : 1.0);
    action.Command = C::Scroll;
    if (taller) {
      action.StopVert = true;
      action.Scroll.Dy = sign * vertWheelStep * notches;
    } else {
      action.StopHorz = true;
      action.Scroll.Dx = sign * horzWheelStep * notches;
    }
  }
  return action;
}
