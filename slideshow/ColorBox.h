// TZmColorBox: a drop-down of colours with their swatches and readable names: the sixteen
// standard colours, four extended ones, the system colours, and a last entry that opens the
// colour chooser. A colour set from outside that is not in the list is shown as a custom entry.
#pragma once

#include <QComboBox>

#include "catalogue/ZmUtils.h"

class TZmColorBox : public QComboBox {
  Q_OBJECT

 public:
  explicit TZmColorBox(QWidget* parent = nullptr);

  TColor Color() const;
  // Selects `color` without raising ColorChosen.
  void SetColor(TColor color);

 signals:
  // The user chose a colour from the list or the chooser.
  void ColorChosen(TColor color);

 private:
  void Activated(int index);
  int IndexOfColor(TColor color) const;
  void AddColor(TColor color, const QString& name, int at = -1);

  int CustomIndex_ = -1;  // the entry of a colour from outside the list, -1 when there is none
};
