#include "slideshow/ColorBox.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

namespace {
struct TNamedColor {
  TColor Color;
  const char* Name;
};

constexpr TColor SystemColor(int index) { return TColor(0xFF000000u | uint32_t(index)); }

// clang-format off
const TNamedColor NamedColors[] = {
  {RGB(0, 0, 0), "Black"}, {RGB(128, 0, 0), "Maroon"}, {RGB(0, 128, 0), "Green"}, {RGB(128, 128, 0), "Olive"},
  {RGB(0, 0, 128), "Navy"}, {RGB(128, 0, 128), "Purple"}, {RGB(0, 128, 128), "Teal"}, {RGB(128, 128, 128), "Gray"},
  {RGB(192, 192, 192), "Silver"}, {RGB(255, 0, 0), "Red"}, {RGB(0, 255, 0), "Lime"}, {RGB(255, 255, 0), "Yellow"},
  {RGB(0, 0, 255), "Blue"}, {RGB(255, 0, 255), "Fuchsia"}, {RGB(0, 255, 255), "Aqua"}, {RGB(255, 255, 255), "White"},
  {RGB(192, 220, 192), "Money Green"}, {RGB(166, 202, 240), "Sky Blue"}, {RGB(255, 251, 240), "Cream"},
  {RGB(160, 160, 164), "Medium Gray"},
  {SystemColor(0), "Scroll Bar"}, {SystemColor(1), "Background"}, {SystemColor(2), "Active Caption"},
  {SystemColor(3), "Inactive Caption"}, {SystemColor(4), "Menu"}, {SystemColor(5), "Window"},
  {SystemColor(6), "Window Frame"}, {SystemColor(7), "Menu Text"}, {SystemColor(8), "Window Text"},
  {SystemColor(9), "Caption Text"}, {SystemColor(10), "Active Border"}, {SystemColor(11), "Inactive Border"},
  {SystemColor(12), "Application Workspace"}, {SystemColor(13), "Highlight"}, {SystemColor(14), "Highlight Text"},
  {SystemColor(15), "Button Face"}, {SystemColor(16), "Button Shadow"}, {SystemColor(17), "Gray Text"},
  {SystemColor(18), "Button Text"}, {SystemColor(19), "Inactive Caption Text"}, {SystemColor(20), "Button Highlight"},
  {SystemColor(21), "3D Dark Shadow"}, {SystemColor(22), "3D Light"}, {SystemColor(23), "Info Text"},
  {SystemColor(24), "Info Background"}, {SystemColor(26), "Hot Light"},
  {SystemColor(27), "Gradient Active Caption"}, {SystemColor(28), "Gradient Inactive Caption"},
  {SystemColor(29), "Menu Highlight"}, {SystemColor(30), "Menu Bar"},
};
// clang-format on

QColor ToQColor(TColor c) {
  const uint32_t rgb = uint32_t(ColorToRGB(c));
  return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

TColor FromQColor(const QColor& c) { return RGB(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())); }

QIcon Swatch(TColor color) {
  QPixmap pixmap(16, 12);
  pixmap.fill(ToQColor(color));
  QPainter(&pixmap).drawRect(0, 0, 15, 11);
  return QIcon(pixmap);
}

QString HexName(TColor color) { return QStringLiteral("$%1").arg(uint32_t(color), 8, 16, QLatin1Char('0')).toUpper(); }
}  // namespace

TZmColorBox::TZmColorBox(QWidget* parent) : QComboBox(parent) {
  for (const TNamedColor& c : NamedColors) AddColor(c.Color, QString::fromLatin1(c.Name));
  addItem(QStringLiteral("カスタム..."));  // no colour: opens the chooser
  setMaxVisibleItems(16);
  connect(this, &QComboBox::activated, this, &TZmColorBox::Activated);
}

void TZmColorBox::AddColor(TColor color, const QString& name, int at) {
  if (at < 0) addItem(Swatch(color), name, QVariant::fromValue<qint32>(color));
  else insertItem(at, Swatch(color), name, QVariant::fromValue<qint32>(color));
}

int TZmColorBox::IndexOfColor(TColor color) const {
  for (int i = 0; i < count(); ++i) {
    const QVariant v = itemData(i);
    if (v.isValid() && v.value<qint32>() == color) return i;
  }
  return -1;
}

TColor TZmColorBox::Color() const {
  const QVariant v = currentData();
  return v.isValid() ? v.value<qint32>() : 0;
}

void TZmColorBox::SetColor(TColor color) {
  const QSignalBlocker block(this);
  int index = IndexOfColor(color);
  if (index < 0) {
    if (CustomIndex_ >= 0) removeItem(CustomIndex_);
    CustomIndex_ = 0;
    AddColor(color, HexName(color), CustomIndex_);
    index = CustomIndex_;
  }
  if (currentIndex() != index) setCurrentIndex(index);
}

void TZmColorBox::Activated(int index) {
  const QVariant v = itemData(index);
  if (v.isValid()) {
    emit ColorChosen(v.value<qint32>());
    return;
  }
  const TColor before = Color();
  const QColor chosen = QColorDialog::getColor(ToQColor(before), this);
  if (!chosen.isValid()) {
    SetColor(before);
    return;
  }
  SetColor(FromQColor(chosen));
  emit ColorChosen(FromQColor(chosen));
}
