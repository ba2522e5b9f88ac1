#include "imageview/ZmImgView32.h"

#include <QImage>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

#include "imageview/ZmGraphicExTypes.h"
#include "options/IniFile.h"

namespace {
// The title-bar hints of a window; Qt fills in defaults for all of them unless
// Qt::CustomizeWindowHint says the set is explicit.
constexpr Qt::WindowFlags FrameHints =
    Qt::CustomizeWindowHint | Qt::FramelessWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint;

bool HasMaximizeButton(Qt::WindowFlags flags) {
  return !(flags & Qt::CustomizeWindowHint) || (flags & Qt::WindowMaximizeButtonHint);
}

Qt::WindowFlags OwnerFlags(Qt::WindowFlags current, bool frameless, bool maximizeButton) {
  Qt::WindowFlags flags = current & ~FrameHints;
  if (frameless) flags |= Qt::FramelessWindowHint;
  if (maximizeButton) return flags;  // the platform's full set of buttons
  // Qt drops the frameless hint of an explicit set that has any button, so a frameless window
  // gets none (it has no title bar to put them in anyway).
  flags |= Qt::CustomizeWindowHint;
  if (!frameless)
    flags |= Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
             Qt::WindowCloseButtonHint;
  return flags;
}

// Changes the owner window's frame only when it differs: new window flags re-create the native
// window, which hides it (and flickers) even when nothing changes.
void ApplyOwnerWindow(QWidget* form, bool frameless, bool maximizeButton, Qt::WindowStates state) {
  const bool visible = form->isVisible();
  const Qt::WindowFlags current = form->windowFlags();
  const bool reflag =
      bool(current & Qt::FramelessWindowHint) != frameless || HasMaximizeButton(current) != maximizeButton;
  if (reflag) form->setWindowFlags(OwnerFlags(current, frameless, maximizeButton));
  if (state != form->windowState()) form->setWindowState(state);
  if (reflag && visible) form->show();
}

QColor ToQColor(TColor color) {
  const TColor32 c = OpaqueColor32(color);
  return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}
}  // namespace

TZmImgView32::TZmImgView32(QWidget* parent) : TImgView32(parent) {
  SetScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  CursorMode_ = Defaults_.CursorMode;
  BGColor_ = Defaults_.BGColor;
  FormFullScreen_ = Defaults_.FormFullScreen;
  FormTitleBarVisible_ = Defaults_.FormTitleBarVisible;
  ImgPlace_ = Defaults_.ImgPlace;
  ImgSizeAdjustment_ = Defaults_.ImgSizeAdjustment;
  ReverseMove_ = Defaults_.ReverseMove;
  SetScale(Defaults_.Scale);
  SetStretchFilter(Defaults_.StretchFilter);
  // The painted colour follows BGColor from the start, so the error panel never stands out.
  SetColor(ToQColor(BGColor_));
}

void TZmImgView32::SetCursorMode(bool on) {
  CursorMode_ = on;
  setCursor(on ? Qt::ArrowCursor : Qt::BlankCursor);
}

void TZmImgView32::SetBGColor(TColor color) {
  BGColor_ = color;
  SetColor(ToQColor(color));
}

QWidget* TZmImgView32::OwnerForm() const {
  return parentWidget() ? window() : nullptr;
}

void TZmImgView32::SetFormFullScreen(bool on) {
  FormFullScreen_ = on;
  QWidget* form = OwnerForm();
  if (!form) return;
  const Qt::WindowFlags flags = form->windowFlags();
  Qt::WindowStates state = form->windowState();
  if (on) {
    state = (state & ~(Qt::WindowMaximized | Qt::WindowMinimized)) | Qt::WindowFullScreen;
    ApplyOwnerWindow(form, true, HasMaximizeButton(flags), state);
    return;
  }
  // The full-screen window counts as maximized; it stays so unless the window follows the image.
  if (state & Qt::WindowFullScreen) state = (state & ~Qt::WindowFullScreen) | Qt::WindowMaximized;
  const bool autoSize = ImgSizeAdjustment_ == saAutoWindowSize;
  if (autoSize) state &= ~(Qt::WindowMaximized | Qt::WindowMinimized);
  ApplyOwnerWindow(form, !FormTitleBarVisible_, !autoSize, state);
}

void TZmImgView32::SetFormTitleBarVisible(bool visible) {
  FormTitleBarVisible_ = visible;
  QWidget* form = OwnerForm();
  if (!form || FormFullScreen_) return;
  ApplyOwnerWindow(form, !visible, HasMaximizeButton(form->windowFlags()), form->windowState());
}

void TZmImgView32::SetImgPlace(TZmImgPlace place) {
  ImgPlace_ = place;
  ApplyPlacement();
}

void TZmImgView32::SetImgSizeAdjustment(TZmImgSizeAdjustment mode) {
  ImgSizeAdjustment_ = mode;
  ApplySizeAdjustment();
}

void TZmImgView32::ApplySettings(const TZmImgView32Defaults& values) {
  SetCursorMode(values.CursorMode);
  SetBGColor(values.BGColor);
  SetFormFullScreen(values.FormFullScreen);
  SetFormTitleBarVisible(values.FormTitleBarVisible);
  SetImgPlace(values.ImgPlace);
  SetImgSizeAdjustment(values.ImgSizeAdjustment);
  SetReverseMove(values.ReverseMove);
  SetScale(values.Scale);
  SetStretchFilter(values.StretchFilter);
}

void TZmImgView32::ApplyPlacement() {
  Geometry().ApplyPlacement(ImgPlace_);
  GeometryChanged();
}

void TZmImgView32::ApplySizeAdjustment() {
  FittedScale_.reset();
  switch (ImgSizeAdjustment_) {
    case saAutoScaleLong:
    case saAutoScaleShort:
      if (Geometry().ApplyAutoScale(ImgSizeAdjustment_)) GeometryChanged();
      FittedScale_ = Scale();
      break;
    case saAutoWindowSize:
      AutoWindowSize();
      break;
    default:  // saNone and values from settings outside the four modes
      break;
  }
}

void TZmImgView32::resizeEvent(QResizeEvent* event) {
  TImgView32::resizeEvent(event);
  // A window's size often settles only after its first picture is shown (the window manager
  // maximizes or places it): a fitted picture is fitted again, unless it has been zoomed since.
  if (FittedScale_ && *FittedScale_ == Scale() && LoadErrorText_.isEmpty()) {
    BeginUpdate();
    ApplySizeAdjustment();
    ApplyPlacement();
    EndUpdate();
  }
}

void TZmImgView32::AutoWindowSize() {
  QWidget* form = OwnerForm();
  if (!form || !form->screen()) return;
  const QRect work = form->screen()->availableGeometry();
  const QRect frame = form->frameGeometry();
  TAutoWindowInput in;
  in.FullScreen = FormFullScreen_ || form->isFullScreen();
  in.Maximized = form->isMaximized();
  in.WorkArea = {work.left(), work.top(), work.left() + work.width(), work.top() + work.height()};
  in.Window = {frame.x(), frame.y(), frame.width(), frame.height()};
  in.ViewportWidth = ViewportWidth();
  in.ViewportHeight = ViewportHeight();
  in.ImageWidth = BitmapRectWidth();
  in.ImageHeight = BitmapRectHeight();
  const std::optional<TWindowBounds> bounds = AutoWindowBounds(in);
  if (!bounds) return;
  // move() places the frame; resize() sizes the client area inside it.
  const QSize frameExtra = frame.size() - form->geometry().size();
  if (QPoint(bounds->Left, bounds->Top) != frame.topLeft()) form->move(bounds->Left, bounds->Top);
  form->resize(std::max(1, bounds->Width - frameExtra.width()),
               std::max(1, bounds->Height - frameExtra.height()));
}

void TZmImgView32::LoadFromFile(const std::string& path) {
  TZmLoadedImage image;
  try {
    TDecodeResult picture = LoadPicture(path);
    image.Partial = picture.Partial();
    if (picture.Ok())
      image.Bitmap = std::make_shared<const TBitmap32>(picture.TakeBitmap());
    else
      image.Error = picture.Error();
  } catch (const std::exception&) {
    // No bitmap: the error panel says the file cannot be shown.
  }
  ShowLoaded(path, image);
}

void TZmImgView32::ShowLoaded(const std::string& path, const TZmLoadedImage& image) {
  SpeedHorz_ = SpeedVert_ = 0;
  LoadErrorText_.clear();
  BeginUpdate();
  bool shown = false;
  try {
    if (image.Ok()) {
      SetBitmap(image.Bitmap);
      ApplySizeAdjustment();
      ApplyPlacement();
      shown = true;
    }
  } catch (const std::exception&) {
    // Whatever went wrong, the panel below says the file cannot be shown.
  }
  if (!shown) ShowErrorPanel(path);
  EndUpdate();
}

void TZmImgView32::ShowErrorPanel(const std::string& path) {
  ClearImage();
  LoadErrorText_ = QStringLiteral("%1 は表示できません。").arg(QString::fromStdString(path));
  const TErrorPanel p = ErrorPanelGeometry(ViewportWidth(), ViewportHeight(), BGColor_);
  TBitmap32 panel;
  try {
    panel.SetSize(p.Width, p.Height);
  } catch (const std::exception&) {
    panel = TBitmap32();  // a viewport too large for its panel shows just the background
  }
  panel.Clear(OpaqueColor32(p.BrushColor));
  if (!panel.Empty()) {
    QImage canvas(reinterpret_cast<uchar*>(panel.Bits()), panel.Width(), panel.Height(),
                  qsizetype(panel.Stride()), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    const QWidget* form = OwnerForm();
    painter.setFont(form ? form->font() : font());
    painter.setPen(ToQColor(p.FontColor));
    // No background box behind the text; a file name with line breaks stays on one line.
    painter.drawText(canvas.rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, LoadErrorText_);
  }
  SetBitmap(std::move(panel));
  TImgViewGeometry& g = Geometry();
  g.OffsetHorz = float(p.Offsets.Horz);
  g.OffsetVert = float(p.Offsets.Vert);
  GeometryChanged();
}

void TZmImgView32::ClearImage() {
  ClearBitmap();
}

void TZmImgView32::ZoomTo(double s) {
  SpeedHorz_ = SpeedVert_ = 0;
  BeginUpdate();
  Geometry().ZoomTo(s);
  GeometryChanged();
  EndUpdate();
}

void TZmImgView32::MoveImgPlaceUp() {
  SetImgPlace(StepImgPlace(ImgPlace_, TPlaceStep::Up));
}
void TZmImgView32::MoveImgPlaceDown() {
  SetImgPlace(StepImgPlace(ImgPlace_, TPlaceStep::Down));
}
void TZmImgView32::MoveImgPlaceLeft() {
  SetImgPlace(StepImgPlace(ImgPlace_, TPlaceStep::Left));
}
void TZmImgView32::MoveImgPlaceRight() {
  SetImgPlace(StepImgPlace(ImgPlace_, TPlaceStep::Right));
}

double TZmImgView32::HorzStep() const {
  return ::HorzStep(ViewportWidth());
}
double TZmImgView32::VertStep() const {
  return ::VertStep(ViewportHeight());
}
double TZmImgView32::HorzWheelStep() const {
  return ::HorzWheelStep(ViewportWidth());
}
double TZmImgView32::VertWheelStep() const {
  return ::VertWheelStep(ViewportHeight());
}

void TZmImgView32::LoadFromIni(const TMemIniFile& ini) {
  ApplySettings(ReadImgViewSettings(ini, IniSectionName_, Defaults_));
}

void TZmImgView32::SaveToIni(TMemIniFile& ini) const { WriteImgViewSettings(ini, IniSectionName_, Settings()); }

TZmImgView32Defaults TZmImgView32::Settings() const {
  TZmImgView32Defaults v;
  v.CursorMode = CursorMode_;
  v.BGColor = BGColor_;
  v.FormFullScreen = FormFullScreen_;
  v.FormTitleBarVisible = FormTitleBarVisible_;
  v.ImgPlace = ImgPlace_;
  v.ImgSizeAdjustment = ImgSizeAdjustment_;
  v.ReverseMove = ReverseMove_;
  v.Scale = Scale();
  v.StretchFilter = StretchFilter();
  return v;
}

TZmImgView32Defaults ReadImgViewSettings(const TMemIniFile& ini, const std::string& s, const TZmImgView32Defaults& d) {
  TZmImgView32Defaults v;
  v.CursorMode = ini.ReadBool(s, "CursorMode", d.CursorMode);
  v.BGColor = ini.ReadInteger(s, "BGColor", d.BGColor);
  v.FormFullScreen = ini.ReadBool(s, "FormFullScreen", d.FormFullScreen);
  v.FormTitleBarVisible = ini.ReadBool(s, "FormTitleBarVisible", d.FormTitleBarVisible);
  // Both enumerations are 8-bit in the file's sense; other values place at (0, 0) or adjust nothing.
  v.ImgPlace = TZmImgPlace(uint8_t(ini.ReadInteger(s, "ImgPlace", d.ImgPlace)));
  v.ImgSizeAdjustment =
      TZmImgSizeAdjustment(uint8_t(ini.ReadInteger(s, "ImgSizeAdjustment", d.ImgSizeAdjustment)));
  v.ReverseMove = ini.ReadBool(s, "ReverseMove", d.ReverseMove);
  // Clamped before narrowing: a double beyond the float range has no float value.
  v.Scale = float(ClampDrawScale(ini.ReadFloat(s, "Scale", d.Scale)));
  v.StretchFilter = StretchFilterFromInt(ini.ReadInteger(s, "StretchFilter", d.StretchFilter), d.StretchFilter);
  return v;
}

void WriteImgViewSettings(TMemIniFile& ini, const std::string& s, const TZmImgView32Defaults& v) {
  ini.WriteBool(s, "CursorMode", v.CursorMode);
  ini.WriteInteger(s, "BGColor", v.BGColor);
  ini.WriteBool(s, "FormFullScreen", v.FormFullScreen);
  ini.WriteBool(s, "FormTitleBarVisible", v.FormTitleBarVisible);
  ini.WriteInteger(s, "ImgPlace", v.ImgPlace);
  ini.WriteInteger(s, "ImgSizeAdjustment", v.ImgSizeAdjustment);
  ini.WriteBool(s, "ReverseMove", v.ReverseMove);
  ini.WriteFloat(s, "Scale", double(v.Scale));
  ini.WriteInteger(s, "StretchFilter", v.StretchFilter);
}

TZmImgView32Defaults SlideShowViewSettings() {
  TZmImgView32Defaults v;
  v.CursorMode = false;
  v.BGColor = 0;
  v.FormFullScreen = true;
  v.FormTitleBarVisible = false;
  v.ImgPlace = ipCenter;
  v.ImgSizeAdjustment = saNone;
  v.ReverseMove = false;
  v.Scale = 1.0f;
  v.StretchFilter = sfLinear;
  return v;
}
