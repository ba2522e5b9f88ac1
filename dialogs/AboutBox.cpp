#include "dialogs/AboutBox.h"

#include <png.h>
#include <tiffio.h>
#include <unicode/uversion.h>
#include <zlib.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <cstdio>

#include <jpeglib.h>  // after <cstdio>: it uses FILE without including it
#ifdef KV_HAVE_LCMS2
#include <lcms2.h>
#endif

QStringList LibraryVersions() {
  QStringList lines;
  lines << QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion()));
  // libjpeg-turbo has no call that reports its version; this is the one of its headers.
  const int jpeg = LIBJPEG_TURBO_VERSION_NUMBER;  // 2001005 is 2.1.5
  lines << QStringLiteral("libjpeg-turbo %1.%2.%3").arg(jpeg / 1000000).arg(jpeg / 1000 % 1000).arg(jpeg % 1000);
  lines << QStringLiteral("libpng %1").arg(QString::fromLatin1(png_get_libpng_ver(nullptr)));
  // "LIBTIFF, Version 4.5.0\nCopyright ...": the number after "Version ".
  QString tiff = QString::fromLatin1(TIFFGetVersion()).section(QLatin1Char('\n'), 0, 0);
  tiff = tiff.mid(tiff.indexOf(QLatin1String("Version ")) + 8).trimmed();
  lines << QStringLiteral("libtiff %1").arg(tiff);
  lines << QStringLiteral("zlib %1").arg(QString::fromLatin1(zlibVersion()));
  UVersionInfo icu;
  u_getVersion(icu);
  char icuText[U_MAX_VERSION_STRING_LENGTH];
  u_versionToString(icu, icuText);
  lines << QStringLiteral("ICU %1").arg(QString::fromLatin1(icuText));
#ifdef KV_HAVE_LCMS2
  const int lcms = cmsGetEncodedCMMversion();  // 2140 is 2.14
  lines << QStringLiteral("Little CMS %1.%2").arg(lcms / 1000).arg(lcms % 1000 / 10);
#endif
  return lines;
}

TZmAboutBox::TZmAboutBox(const TZmAboutInfo& info, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ZmAboutBox"));
  setWindowTitle(QStringLiteral("%1 のバージョン情報").arg(info.ApplicationName));
  setFixedSize(480, 280);

  ProgramIcon = new QLabel(this);
  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  // The program's own icon once the desktop has one for it; until then a picture's.
  QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) icon = QIcon::fromTheme(QStringLiteral("image-x-generic"), style()->standardIcon(QStyle::SP_FileIcon));
  ProgramIcon->setPixmap(icon.pixmap(32, 32));
  ProgramIcon->setFixedSize(32, 32);
  ProgramIcon->setScaledContents(true);

  ProductName = new QLabel(QStringLiteral("%1  Version %2").arg(info.ApplicationName, info.ApplicationVer), this);
  ProductName->setObjectName(QStringLiteral("ProductName"));
  QFont bold = ProductName->font();
  bold.setBold(true);
  ProductName->setFont(bold);
  Copyright = new QLabel(info.CopyrightInfo, this);
  Copyright->setObjectName(QStringLiteral("Copyright"));

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QStringList memo = info.Comment;
  memo << QString() << QStringLiteral("使用しているライブラリ:");
  for (const QString& library : LibraryVersions()) memo << QStringLiteral("  ") + library;
  Memo1->setPlainText(memo.join(QLatin1Char('\n')));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* names = new QVBoxLayout;
  names->addWidget(ProductName);
  names->addWidget(Copyright);
  auto* head = new QHBoxLayout;
  head->addWidget(ProgramIcon, 0, Qt::AlignTop);
  head->addSpacing(12);
  head->addLayout(names, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(head);
  layout->addWidget(Memo1, 1);
  layout->addWidget(buttons);
}

TZmAboutBox* TZmAboutBox::Open(const TZmAboutInfo& info, QWidget* parent) {
  auto* box = new TZmAboutBox(info, parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
  return box;
}
