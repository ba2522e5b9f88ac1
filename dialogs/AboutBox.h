// TZmAboutBox: the program's about box. Its icon, "<name>  Version <version>", the copyright
// line, and a read-only text with the comment lines and the libraries in use with their versions.
// OK (or Esc) closes it. User-interface thread only.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QPlainTextEdit;

struct TZmAboutInfo {
  QString ApplicationName;
  QString ApplicationVer;
  QString CopyrightInfo;
  QStringList Comment;
};

// "Qt 6.4.2", "libpng 1.6.39", ...: the libraries the program uses, with the version that runs
// where the library can tell it, else the one it was built with.
QStringList LibraryVersions();

class TZmAboutBox : public QDialog {
  Q_OBJECT
 public:
  TZmAboutBox(const TZmAboutInfo& info, QWidget* parent);

  // Shows a new box window-modal on `parent`, without an event loop of its own; it frees itself
  // when closed.
  static TZmAboutBox* Open(const TZmAboutInfo& info, QWidget* parent);

 private:
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Copyright;
  QPlainTextEdit* Memo1;
};
