// The slideshow window's keys, clicks, drags, wheel and continuous scrolling. What each input
// means is in SlideShowRules; this file maps Qt's events onto it and carries the commands out.
#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>

#include "app/Actions.h"
#include "imageview/ZmImgView32.h"
#include "slideshow/FormImage.h"

namespace {

TSlideKey SlideKeyOf(const QKeyEvent& e) {
  const int key = e.key();
  if (e.modifiers() & Qt::KeypadModifier) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return TSlideKey(int(TSlideKey::Pad0) + (key - Qt::Key_0));
    switch (key) {
      case Qt::Key_Asterisk: return TSlideKey::PadMultiply;
      case Qt::Key_Plus: return TSlideKey::PadPlus;
      case Qt::Key_Minus: return TSlideKey::PadMinus;
      case Qt::Key_Period:
      case Qt::Key_Comma: return TSlideKey::PadDecimal;
      default: break;  // the keypad's Enter and, without Num Lock, its arrows are the ordinary keys
    }
  }
  switch (key) {
    case Qt::Key_Backspace: return TSlideKey::Backspace;
    case Qt::Key_Return:
    case Qt::Key_Enter: return TSlideKey::Enter;
    case Qt::Key_Escape: return TSlideKey::Escape;
    case Qt::Key_Space: return TSlideKey::Space;
    case Qt::Key_PageUp: return TSlideKey::PageUp;
    case Qt::Key_PageDown: return TSlideKey::PageDown;
    case Qt::Key_Home: return TSlideKey::Home;
    case Qt::Key_End: return TSlideKey::End;
    case Qt::Key_Left: return TSlideKey::Left;
    case Qt::Key_Right: return TSlideKey::Right;
    case Qt::Key_Up: return TSlideKey::Up;
    case Qt::Key_Down: return TSlideKey::Down;
    case Qt::Key_Delete: return TSlideKey::Delete;
    case Qt::Key_1: return TSlideKey::Digit1;
    case Qt::Key_2: return TSlideKey::Digit2;
    case Qt::Key_3: return TSlideKey::Digit3;
    case Qt::Key_A: return TSlideKey::A;
    case Qt::Key_C: return TSlideKey::C;
    case Qt::Key_L: return TSlideKey::L;
    case Qt::Key_N: return TSlideKey::N;
    case Qt::Key_R: return TSlideKey::R;
    case Qt::Key_S: return TSlideKey::S;
    case Qt::Key_T: return TSlideKey::T;
    case Qt::Key_F4: return TSlideKey::F4;
    case Qt::Key_Back: return TSlideKey::BrowserBack;
    case Qt::Key_Forward: return TSlideKey::BrowserForward;
    default: return TSlideKey::Other;
  }
}

TSlideModifiers SlideModifiersOf(Qt::KeyboardModifiers m) {
  return {bool(m & Qt::ShiftModifier), bool(m & Qt::ControlModifier), bool(m & Qt::AltModifier)};
}

}  // namespace

void TFormImage::keyPressEvent(QKeyEvent* e) {
  // Keys belong to a bar control that has the focus.
  if (focusWidget() && focusWidget() != this) {
    QMainWindow::keyPressEvent(e);
    return;
  }
  const TSlideKeyAction action = SlideKeyAction(SlideKeyOf(*e), SlideModifiersOf(e->modifiers()),
                                                Host_.SlideShowMode() == 1);
  e->accept();
  // While a picture loads only the way out is taken.
  if (Loading() && action.Command != TSlideCommand::Exit) return;
  if (action.StopSpeeds) {
    ImgView32_->SetSpeedHorz(0);
    ImgView32_->SetSpeedVert(0);
  }
  if (action.Command == TSlideCommand::Scroll) {
    if (action.Horz) ImgView32_->SetSpeedHorz(*action.Horz * ImgView32_->HorzStep());
    if (action.Vert) ImgView32_->SetSpeedVert(*action.Vert * ImgView32_->VertStep());
  } else if (action.Command == TSlideCommand::SetImgPlace) {
    ImgView32_->SetImgPlace(TZmImgPlace(action.Place - 1));
  } else {
    Execute(action.Command);
  }
}

void TFormImage::Execute(TSlideCommand command) {
  ActionListUpdate();  // commands run with their rules current, as from a menu
  auto stopSpeeds = [this] {
    ImgView32_->SetSpeedHorz(0);
    ImgView32_->SetSpeedVert(0);
  };
  switch (command) {
    case TSlideCommand::None:
    case TSlideCommand::Scroll:
    case TSlideCommand::SetImgPlace: break;
    case TSlideCommand::AutoStop: ExecuteAction(ShowModeAutoStopAct); break;
    case TSlideCommand::BackImage: ExecuteAction(BackImageShowAct); break;
    case TSlideCommand::ForwardImage: ExecuteAction(ForwardImageShowAct); break;
    case TSlideCommand::BackFolder: ExecuteAction(BackFolderImageShowAct); break;
    case TSlideCommand::ForwardFolder: ExecuteAction(ForwardFolderImageShowAct); break;
    case TSlideCommand::PageUp: ExecuteAction(PageUpImageShowAct); break;
    case TSlideCommand::PageDown: ExecuteAction(PageDownImageShowAct); break;
    case TSlideCommand::Home: ExecuteAction(HomeImageShowAct); break;
    case TSlideCommand::End: ExecuteAction(EndImageShowAct); break;
    case TSlideCommand::Exit: ExecuteAction(SlideShowExitAct); break;
    case TSlideCommand::ToggleFullScreen:
      ImgView32_->SetFormFullScreen(!ImgView32_->FormFullScreen());
      ImgView32_->SetImgSizeAdjustment(ImgView32_->ImgSizeAdjustment());
      break;
    case TSlideCommand::ToggleTitleBar:
      ImgView32_->SetFormTitleBarVisible(!ImgView32_->FormTitleBarVisible());
      ImgView32_->SetImgSizeAdjustment(ImgView32_->ImgSizeAdjustment());
      break;
    case TSlideCommand::OpenShell: ExecuteAction(OpenShellOneAct); break;
    case TSlideCommand::BarVisible: ExecuteAction(BarVisibleAct); break;
    case TSlideCommand::SwitchMode: SetMode(Host_.SlideShowMode() == 1 ? 0 : 1); break;
    case TSlideCommand::MoveImgPlaceLeft: ImgView32_->MoveImgPlaceLeft(); break;
    case TSlideCommand::MoveImgPlaceRight: ImgView32_->MoveImgPlaceRight(); break;
    case TSlideCommand::MoveImgPlaceUp: ImgView32_->MoveImgPlaceUp(); break;
    case TSlideCommand::MoveImgPlaceDown: ImgView32_->MoveImgPlaceDown(); break;
    case TSlideCommand::DeleteFile: ExecuteAction(DeleteFileOneAct); break;
    case TSlideCommand::ScaleNormal: ExecuteAction(ScaleNormalAct); break;
    case TSlideCommand::ScaleUp: ExecuteAction(ScaleUpAct); break;
    case TSlideCommand::ScaleDown: ExecuteAction(ScaleDownAct); break;
    case TSlideCommand::NextSizeAdjustment: CycleSizeAdjustment(1); break;
    case TSlideCommand::PrevSizeAdjustment: CycleSizeAdjustment(-1); break;
    case TSlideCommand::NextStretchFilter: CycleStretchFilter(1); break;
    case TSlideCommand::PrevStretchFilter: CycleStretchFilter(-1); break;
    case TSlideCommand::ImageCopy: ExecuteAction(ImageCopyAct); break;
    case TSlideCommand::ImageNameCopy: ExecuteAction(ImageNameCopyAct); break;
    case TSlideCommand::ToggleCursor: ImgView32_->SetCursorMode(!ImgView32_->CursorMode()); break;
    case TSlideCommand::ToggleLoop: LoopAct->setChecked(!LoopAct->isChecked()); break;
    case TSlideCommand::ToggleReverse:
      stopSpeeds();
      ImgView32_->SetReverseMove(!ImgView32_->ReverseMove());
      break;
  }
}

void TFormImage::CycleSizeAdjustment(int step) {
  // A value outside the four modes (a hand-edited file) starts the cycle afresh.
  const int now = std::clamp(int(ImgView32_->ImgSizeAdjustment()), 0, 3);
  ImgView32_->SetImgSizeAdjustment(TZmImgSizeAdjustment((now + step + 4) % 4));
}

void TFormImage::CycleStretchFilter(int step) {
  const int now = std::clamp(int(ImgView32_->StretchFilter()), 0, 4);
  ImgView32_->SetStretchFilter(TStretchFilter((now + step + 5) % 5));
}

bool TFormImage::ImageWider() const { return ImgView32_->BitmapRectWidth() > ImgView32_->ViewportWidth(); }
bool TFormImage::ImageTaller() const { return ImgView32_->BitmapRectHeight() > ImgView32_->ViewportHeight(); }

void TFormImage::ViewMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint pos) {
  if (button == Qt::MiddleButton) {
    ExecuteAction(SlideShowExitAct);
    return;
  }
  if (Loading() || (button != Qt::LeftButton && button != Qt::RightButton)) return;
  MouseButtonDown_ = true;
  (button == Qt::LeftButton ? LeftDragging_ : RightDragging_) = true;
  DownCursorPos_ = LastCursorPos_ = ImgView32_->mapToGlobal(pos);
  ImgView32_->SetSpeedHorz(0);
  ImgView32_->SetSpeedVert(0);
  DownFormPos_ = QWidget::pos();  // the frame's left and top, as move() takes them
}

void TFormImage::ViewMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos) {
  if (!MouseButtonDown_ || (button != Qt::LeftButton && button != Qt::RightButton)) return;
  MouseButtonDown_ = false;
  const bool left = button == Qt::LeftButton;
  (left ? LeftDragging_ : RightDragging_) = false;
  const QPoint travel = ImgView32_->mapToGlobal(pos) - DownCursorPos_;
  Execute(SlideReleaseCommand(left, modifiers & Qt::ControlModifier, Host_.SlideShowMode() == 1, travel.x(),
                              travel.y()));
}

void TFormImage::ViewMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers, QPoint pos) {
  SetActiveControlNone();
  // Bars on demand: shown while the pointer is at the very top, hidden when it comes back down.
  if (!BarVisibleAct->isChecked()) {
    if (pos.y() < 5) {
      BarVisibleAct->setChecked(true);
      BarVisibleActExecute();
      BarVisibleAct->setChecked(false);
    } else if (menuBar()->isVisible()) {
      BarVisibleActExecute();
    }
  }
  const QPoint cursor = ImgView32_->mapToGlobal(pos);
  if (LeftDragging_) {
    if (buttons & Qt::LeftButton) {
      const TSlideScroll step = SlideDragScroll(LastCursorPos_.x(), LastCursorPos_.y(), cursor.x(), cursor.y(),
                                                ImageWider(), ImageTaller(), ImgView32_->ReverseMove());
      if (step.Dx != 0 || step.Dy != 0) ImgView32_->ScrollBy(step.Dx, step.Dy);
      LastCursorPos_ = cursor;
    } else {
      LeftDragging_ = false;
    }
  }
  if (RightDragging_ && !ImgView32_->FormFullScreen() && !isMaximized() && !isFullScreen()) {
    if (buttons & Qt::RightButton) move(cursor - DownCursorPos_ + DownFormPos_);
    else RightDragging_ = false;
  }
}

void TFormImage::ViewMouseWheel(int delta, Qt::KeyboardModifiers modifiers, QPoint) {
  if (Loading()) return;
  const TSlideWheelAction action =
      SlideWheelAction(delta, SlideModifiersOf(modifiers), ImgView32_->ImgSizeAdjustment() == saAutoScaleLong,
                       ImageWider(), ImageTaller(), ImgView32_->ReverseMove(), ImgView32_->HorzWheelStep(),
                       ImgView32_->VertWheelStep());
  if (action.Command != TSlideCommand::Scroll) {
    Execute(action.Command);
    return;
  }
  if (action.StopHorz) ImgView32_->SetSpeedHorz(0);
  if (action.StopVert) ImgView32_->SetSpeedVert(0);
  ImgView32_->ScrollBy(action.Scroll.Dx, action.Scroll.Dy);
}

void TFormImage::ScrollTick(uint32_t lagMs) {
  const double h = ImgView32_->SpeedHorz(), v = ImgView32_->SpeedVert();
  if (h == 0 && v == 0) return;
  // The speeds are per interval; a late tick moves as far as the time that really passed.
  const double interval = std::max<uint32_t>(1, ThreadTimer1->Interval());
  ImgView32_->ScrollBy(lagMs * h / interval, lagMs * v / interval);
}
