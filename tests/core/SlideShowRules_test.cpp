// The slideshow's rules without a window: where navigation goes, what each key, click and wheel
// turn does, and how far a drag scrolls.
#include "slideshow/SlideShowRules.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

namespace {

using C = TSlideCommand;
using K = TSlideKey;
using N = TSlideNav;

constexpr TSlideModifiers NoMods{}, Shift{true}, Ctrl{false, true}, Alt{false, false, true}, CtrlAlt{false, true, true},
    ShiftCtrl{true, true};

TEST(SlideShowRules, Navigation) {
  struct TCase {
    N Nav;
    int Now;
    std::string Folders;  // one letter per entry: its folder
    bool Loop;
    std::optional<int> Target;
  };
  const std::string five(5, 'A'), many(25, 'A'), runs = "AABBBC";
  const TCase cases[] = {
      {N::Forward, 2, five, false, 3},
      {N::Forward, 4, five, false, std::nullopt},  // the last image is not even reloaded
      {N::Forward, 4, five, true, 0},
      {N::Forward, -1, five, false, 0},  // how a slideshow starts on its first image
      {N::Back, 3, five, false, 2},
      {N::Back, 0, five, false, std::nullopt},
      {N::Back, 0, five, true, 4},
      {N::PageDown, 20, many, false, 24},
      {N::PageDown, 24, many, true, 24},  // shown again, never wrapped
      {N::PageUp, 7, many, true, 0},
      {N::PageUp, 20, many, false, 10},
      {N::Home, 13, many, false, 0},
      {N::End, 13, many, false, 24},
      {N::BackFolder, 5, runs, false, 4},  // the last image of the folder before
      {N::BackFolder, 4, runs, false, 1},
      {N::BackFolder, 1, runs, false, 1},  // no earlier folder: shown again
      {N::BackFolder, 0, runs, true, std::nullopt},
      {N::ForwardFolder, 0, runs, false, 2},
      {N::ForwardFolder, 2, runs, false, 5},
      {N::ForwardFolder, 5, runs, true, std::nullopt},
      {N::ForwardFolder, 3, "AABBB", false, 3},
      {N::ForwardFolder, 0, "ABA", false, 1},
      {N::ForwardFolder, 1, "ABA", false, 2},
      {N::BackFolder, 1, "aA", false, 0},  // folders differ by case
      // An empty list: nothing to show, and only End and Page Down leave the index at -1.
      {N::Forward, -1, "", true, std::nullopt},
      {N::Back, -1, "", true, std::nullopt},
      {N::Home, -1, "", false, 0},
      {N::End, -1, "", false, -1},
      {N::PageDown, -1, "", false, -1},
      {N::ForwardFolder, -1, "", false, std::nullopt},
      {N::BackFolder, 0, "", false, std::nullopt},
      // An index outside the list never reaches the folders, nor overflows.
      {N::ForwardFolder, -1, runs, false, std::nullopt},
      {N::BackFolder, 6, runs, false, std::nullopt},
      {N::BackFolder, INT_MAX, runs, false, std::nullopt},
      {N::PageDown, INT_MAX, runs, false, 5},
      {N::PageUp, INT_MIN, runs, false, 0},
      {N::Forward, INT_MAX, runs, false, std::nullopt},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "nav " << int(c.Nav) << " from " << c.Now << " in \"" << c.Folders
                                    << "\" loop " << c.Loop);
    const int count = int(c.Folders.size());
    const auto folderOf = [&](int i) -> std::string_view {
      if (i < 0 || i >= count) {
        ADD_FAILURE() << "folder of entry " << i << " asked";
        return {};
      }
      return std::string_view(c.Folders).substr(size_t(i), 1);
    };
    EXPECT_EQ(SlideNavTarget(c.Nav, c.Now, count, c.Loop, folderOf), c.Target);
  }
}

void ExpectAction(const TSlideKeyAction& got, const TSlideKeyAction& want) {
  EXPECT_EQ(int(got.Command), int(want.Command));
  EXPECT_EQ(got.StopSpeeds, want.StopSpeeds);
  EXPECT_EQ(got.Place, want.Place);
  EXPECT_EQ(got.Horz, want.Horz);
  EXPECT_EQ(got.Vert, want.Vert);
}

TEST(SlideShowRules, KeyTable) {
  struct TCase {
    K Key;
    TSlideModifiers Mods;
    bool Auto;
    TSlideKeyAction Want;
  };
  constexpr TSlideSpeed Keep = std::nullopt;
  const TCase cases[] = {
      {K::Backspace, NoMods, false, {C::BackImage}},
      {K::Backspace, Ctrl, false, {C::None, true}},
      {K::PadDecimal, Shift, false, {C::BackImage}},
      {K::BrowserBack, NoMods, false, {C::BackImage}},
      {K::BrowserForward, NoMods, false, {C::ForwardImage}},
      {K::BrowserForward, Ctrl, false, {C::None, true}},
      {K::Enter, CtrlAlt, false, {C::ToggleFullScreen, true}},
      {K::Enter, Ctrl, false, {C::OpenShell, true}},
      {K::Enter, Shift, false, {C::ForwardImage}},
      {K::Escape, Ctrl, false, {C::Exit, true}},
      {K::Pad0, NoMods, false, {C::Exit}},
      {K::Space, Ctrl, false, {C::BarVisible, true}},
      {K::Space, NoMods, false, {C::SwitchMode}},
      {K::PageUp, Ctrl, false, {C::BackFolder, true}},
      {K::PageUp, NoMods, false, {C::PageUp}},
      {K::PageDown, Ctrl, false, {C::ForwardFolder, true}},
      {K::PageDown, Alt, false, {C::PageDown}},
      {K::Home, Ctrl, false, {C::Home, true}},
      {K::End, NoMods, false, {C::End}},
      {K::Left, CtrlAlt, false, {C::MoveImgPlaceLeft, true}},
      {K::Left, Alt, false, {C::BackImage}},
      {K::Left, Shift, false, {C::Scroll, false, 0, +1, Keep}},
      {K::Right, CtrlAlt, false, {C::MoveImgPlaceRight, true}},
      {K::Right, Alt, false, {C::ForwardImage}},
      {K::Right, NoMods, false, {C::Scroll, false, 0, -1, Keep}},
      {K::Up, Ctrl, false, {C::MoveImgPlaceUp, true}},
      {K::Up, Alt, false, {C::Scroll, false, 0, Keep, +1}},
      {K::Down, Ctrl, false, {C::MoveImgPlaceDown, true}},
      {K::Down, NoMods, false, {C::Scroll, false, 0, Keep, -1}},
      {K::Delete, Shift, false, {C::DeleteFile}},
      {K::Digit1, NoMods, false, {C::ScaleNormal}},
      {K::PadMultiply, NoMods, false, {C::ScaleNormal}},
      {K::Digit2, NoMods, false, {C::ScaleUp}},
      {K::PadPlus, NoMods, false, {C::ScaleUp}},
      {K::Digit3, NoMods, false, {C::ScaleDown}},
      {K::PadMinus, NoMods, false, {C::ScaleDown}},
      {K::A, Shift, false, {C::PrevSizeAdjustment}},
      {K::A, NoMods, false, {C::NextSizeAdjustment}},
      {K::C, ShiftCtrl, false, {C::ImageCopy, true}},
      {K::C, Shift, false, {C::ToggleCursor}},
      {K::L, NoMods, false, {C::ToggleLoop}},
      {K::N, Ctrl, false, {C::ImageNameCopy, true}},
      {K::N, NoMods, false, {C::None}},
      {K::R, NoMods, false, {C::ToggleReverse}},
      {K::S, Shift, false, {C::PrevStretchFilter}},
      {K::S, NoMods, false, {C::NextStretchFilter}},
      {K::T, NoMods, false, {C::ToggleTitleBar}},
      {K::F4, NoMods, false, {C::ToggleFullScreen}},
      {K::Other, Ctrl, false, {C::None, true}},  // any key with Ctrl stops the scrolling
      {K::Other, NoMods, false, {C::None}},
      // Ctrl with a keypad digit places the image; without, the digit sets the speeds.
      {K::Pad1, Ctrl, false, {C::SetImgPlace, true, 1}},
      {K::Pad5, Ctrl, false, {C::SetImgPlace, true, 5}},
      {K::Pad9, Ctrl, false, {C::SetImgPlace, true, 9}},
      {K::Pad7, NoMods, false, {C::Scroll, false, 0, +1, +1}},
      {K::Pad8, NoMods, false, {C::Scroll, false, 0, Keep, +1}},
      {K::Pad9, NoMods, false, {C::Scroll, false, 0, -1, +1}},
      {K::Pad4, NoMods, false, {C::Scroll, false, 0, +1, Keep}},
      {K::Pad5, NoMods, false, {C::Scroll, false, 0, 0, 0}},
      {K::Pad6, NoMods, false, {C::Scroll, false, 0, -1, Keep}},
      {K::Pad1, NoMods, false, {C::Scroll, false, 0, +1, -1}},
      {K::Pad2, NoMods, false, {C::Scroll, false, 0, Keep, -1}},
      {K::Pad3, NoMods, false, {C::Scroll, false, 0, -1, -1}},
      // The automatic mode: the navigation keys stop it instead, whatever is held.
      {K::Backspace, NoMods, true, {C::AutoStop}},
      {K::Enter, NoMods, true, {C::AutoStop}},
      {K::Enter, Ctrl, true, {C::AutoStop, true}},
      {K::Enter, Alt, true, {C::ToggleFullScreen}},  // not navigation: still toggles full screen
      {K::PageUp, Ctrl, true, {C::AutoStop, true}},
      {K::PageDown, NoMods, true, {C::AutoStop}},
      {K::Home, NoMods, true, {C::AutoStop}},
      {K::End, NoMods, true, {C::AutoStop}},
      {K::Delete, Shift, true, {C::AutoStop}},
      {K::PadDecimal, NoMods, true, {C::AutoStop}},
      {K::BrowserBack, NoMods, true, {C::AutoStop}},
      {K::BrowserForward, NoMods, true, {C::AutoStop}},
      {K::Right, Alt, true, {C::ForwardImage}},
      {K::Space, NoMods, true, {C::SwitchMode}},
      {K::Escape, NoMods, true, {C::Exit}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << int(c.Key) << " shift " << c.Mods.Shift << " ctrl " << c.Mods.Ctrl
                                    << " alt " << c.Mods.Alt << " auto " << c.Auto);
    ExpectAction(SlideKeyAction(c.Key, c.Mods, c.Auto), c.Want);
  }
}

TEST(SlideShowRules, ReleaseClicksWithinTenPixels) {
  struct TCase {
    bool Left, Ctrl, Auto;
    int Dx, Dy;
    C Want;
  };
  const TCase cases[] = {
      {true, false, false, 10, -10, C::ForwardImage},
      {true, true, false, -8, 0, C::ForwardFolder},
      {false, false, false, 0, 10, C::BackImage},
      {false, true, false, 3, 3, C::BackFolder},
      {true, false, false, 11, 0, C::None},  // a drag navigates nowhere
      {false, false, false, 0, -11, C::None},
      {true, false, false, INT_MIN, 0, C::None},
      {true, false, true, 0, 0, C::AutoStop},  // the automatic mode stops, without advancing
      {false, true, true, 50, 0, C::AutoStop},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "left " << c.Left << " ctrl " << c.Ctrl << " auto " << c.Auto << " travel "
                                    << c.Dx << "," << c.Dy);
    EXPECT_EQ(SlideReleaseCommand(c.Left, c.Ctrl, c.Auto, c.Dx, c.Dy), c.Want);
    if (!c.Auto) {
      EXPECT_EQ(IsSlideClick(c.Dx, c.Dy), c.Want != C::None);
    }
  }
}

TEST(SlideShowRules, DragScrollsThreeTimesTheTravelOnLargerAxes) {
  struct TCase {
    bool Wider, Taller, Reverse;
    double Dx, Dy;
  };
  // The pointer moves 10 right and 4 up.
  const TCase cases[] = {
      {true, true, false, -30, 12},
      {true, true, true, 30, -12},  // with reverse the image follows the pointer
      {true, false, false, -30, 0},
      {false, true, true, 0, -12},
      {false, false, false, 0, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "wider " << c.Wider << " taller " << c.Taller << " reverse " << c.Reverse);
    const TSlideScroll s = SlideDragScroll(100, 100, 110, 96, c.Wider, c.Taller, c.Reverse);
    EXPECT_DOUBLE_EQ(s.Dx, c.Dx);
    EXPECT_DOUBLE_EQ(s.Dy, c.Dy);
  }
}

TEST(SlideShowRules, Wheel) {
  struct TCase {
    int Delta;
    TSlideModifiers Mods;
    bool ScaleLong, Wider, Taller, Reverse;
    C Want;
    double Dx = 0, Dy = 0;
    bool StopHorz = false, StopVert = false;
  };
  // Wheel steps: 30 pixels across, 40 down, per notch.
  const TCase cases[] = {
      {120, Shift, false, true, true, false, C::ForwardImage},
      {-120, ShiftCtrl, true, false, false, false, C::BackImage},
      {0, Shift, false, false, false, false, C::BackImage},  // no turn counts as toward the user
      {120, Ctrl, true, true, true, false, C::ScaleDown},
      {-120, Ctrl, false, false, false, false, C::ScaleUp},
      {120, NoMods, true, true, true, false, C::ForwardImage},  // the whole image is in view
      {-240, Alt, true, false, false, false, C::BackImage},
      {120, NoMods, false, true, true, false, C::Scroll, 0, 40, false, true},  // vertical first
      {-240, NoMods, false, false, true, false, C::Scroll, 0, -80, false, true},
      {60, NoMods, false, true, false, false, C::Scroll, 15, 0, true, false},  // half a notch
      {120, NoMods, false, true, false, true, C::Scroll, -30, 0, true, false},
      {-120, NoMods, false, false, true, true, C::Scroll, 0, 40, false, true},
      {120, NoMods, false, false, false, false, C::None},  // fits both ways: nothing to scroll
      {INT_MIN, NoMods, false, false, true, false, C::Scroll, 0, -40.0 * 2147483648.0 / 120, false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "delta " << c.Delta << " shift " << c.Mods.Shift << " ctrl " << c.Mods.Ctrl
                                    << " long " << c.ScaleLong << " wider " << c.Wider << " taller " << c.Taller
                                    << " reverse " << c.Reverse);
    const TSlideWheelAction a =
        SlideWheelAction(c.Delta, c.Mods, c.ScaleLong, c.Wider, c.Taller, c.Reverse, 30.0, 40.0);
    EXPECT_EQ(a.Command, c.Want);
    EXPECT_DOUBLE_EQ(a.Scroll.Dx, c.Dx);
    EXPECT_DOUBLE_EQ(a.Scroll.Dy, c.Dy);
    EXPECT_EQ(a.StopHorz, c.StopHorz);
    EXPECT_EQ(a.StopVert, c.StopVert);
  }
}

}  // namespace
