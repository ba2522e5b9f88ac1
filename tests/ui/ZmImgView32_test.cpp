// The slideshow's image view through the widget: placements, automatic scales, zoom, clamped
// scrolling and steps in a 1000 x 700 viewport, loading with the in-view error panel, the INI
// section, and the owner window's full-screen, title-bar and automatic-size behaviour.
#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

#include "bitmap/PngWriter.h"
#include "imageview/ZmImgView32.h"
#include "options/IniFile.h"
#include "tests/support/UiWait.h"

namespace {

TBitmap32 Solid(int w, int h, TColor32 c) {
  TBitmap32 b(w, h);
  b.Clear(c);
  return b;
}

// Red = x, green = y (mod 256), blue 99: each pixel tells where it came from.
TBitmap32 Pattern(int w, int h) {
  TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.Pixel(x, y) = Color32(255, uint8_t(x), uint8_t(y), 99);
  return b;
}

// A slideshow-like owner: a top-level window whose view is as large as its client area, the
// viewport being that less the always-present scroll bars.
struct TWindow {
  std::unique_ptr<QWidget> Form = std::make_unique<QWidget>();
  TZmImgView32* View = nullptr;

  // Viewport vpW x vpH.
  explicit TWindow(int vpW = 1000, int vpH = 700) {
    auto* layout = new QVBoxLayout(Form.get());
    layout->setContentsMargins(0, 0, 0, 0);
    View = new TZmImgView32;
    layout->addWidget(View);
    Form->resize(vpW + View->ScrollBarSize(), vpH + View->ScrollBarSize());
    layout->activate();
  }
};

struct TPaintCounter : QObject {
  int Paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++Paints;
    return false;
  }
};

QString ColorName(TColor32 c) {
  return QColor(RedOf(c), GreenOf(c), BlueOf(c)).name();
}

}  // namespace

class ZmImgView32Test : public QObject {
  Q_OBJECT

  QTemporaryDir Dir_;

  std::string WriteImage(const QString& name, const TBitmap32& b) {
    const std::string path = Dir_.filePath(name).toStdString();
    if (!WritePng(b, path)) qFatal("cannot write %s", path.c_str());
    return path;
  }

 private slots:
  void ClassDefaultsAndConstruction() {
    QWidget form;
    form.resize(300, 200);
    const Qt::WindowFlags flags = form.windowFlags();
    auto* view = new TZmImgView32(&form);
    const TZmImgView32Defaults d;
    QCOMPARE(view->Defaults(), d);
    QCOMPARE(view->IniSectionName(), std::string("SlideShowLayout"));
    QVERIFY(view->CursorMode() && view->FormFullScreen() && view->FormTitleBarVisible() &&
            !view->ReverseMove());
    QCOMPARE(view->ImgPlace(), ipCenter);
    QCOMPARE(view->ImgSizeAdjustment(), saNone);
    QCOMPARE(view->Scale(), 1.0f);
    QCOMPARE(view->StretchFilter(), sfLinear);
    QCOMPARE(view->SpeedHorz(), 0.0);
    // FormFullScreen is on by default, but constructing changes no window.
    QCOMPARE(form.windowFlags(), flags);
    QVERIFY(!form.isFullScreen());
    QCOMPARE(view->OwnerForm(), &form);
    QCOMPARE(view->Color(), QColor(Qt::black));

    TZmImgView32 alone;
    QCOMPARE(alone.OwnerForm(), nullptr);
    alone.SetFormFullScreen(false);  // no owner: only stored
    alone.SetImgSizeAdjustment(saAutoWindowSize);
    QVERIFY(!alone.FormFullScreen());
  }

  void Placements_data() {
    QTest::addColumn<QSize>("image");
    QTest::addColumn<int>("place");
    QTest::addColumn<double>("offH");
    QTest::addColumn<double>("offV");
    QTest::newRow("small centre") << QSize(400, 300) << int(ipCenter) << 300.0 << 200.0;
    QTest::newRow("small bottom right") << QSize(400, 300) << int(ipBottomRight) << 600.0 << 400.0;
    QTest::newRow("small top left") << QSize(400, 300) << int(ipTopLeft) << 0.0 << 0.0;
    QTest::newRow("small top") << QSize(400, 300) << int(ipTop) << 300.0 << 0.0;
    QTest::newRow("odd difference") << QSize(699, 399) << int(ipCenter) << 150.5 << 150.5;
    QTest::newRow("large centre") << QSize(2000, 1500) << int(ipCenter) << -500.0 << -400.0;
    QTest::newRow("large bottom left") << QSize(2000, 1500) << int(ipBottomLeft) << 0.0 << -800.0;
    QTest::newRow("large right") << QSize(2000, 1500) << int(ipRight) << -1000.0 << -400.0;
    QTest::newRow("out of range") << QSize(400, 300) << 9 << 0.0 << 0.0;
  }
  void Placements() {
    QFETCH(QSize, image);
    QFETCH(int, place);
    QFETCH(double, offH);
    QFETCH(double, offV);
    TWindow w;
    QCOMPARE(w.View->ViewportWidth(), 1000);
    QCOMPARE(w.View->ViewportHeight(), 700);
    w.View->SetBitmap(Solid(image.width(), image.height(), Color32(255, 1, 2, 3)));
    w.View->SetImgPlace(TZmImgPlace(place));
    QCOMPARE(w.View->OffsetHorz(), float(offH));
    QCOMPARE(w.View->OffsetVert(), float(offV));
  }

  void AutomaticScales_data() {
    QTest::addColumn<QSize>("image");
    QTest::addColumn<int>("mode");
    QTest::addColumn<float>("scale");
    QTest::newRow("fit by height") << QSize(4000, 3000) << int(saAutoScaleLong) << float(700.0 / 3000);
    QTest::newRow("cover by width") << QSize(4000, 3000) << int(saAutoScaleShort) << 0.25f;
    QTest::newRow("equal ratios, long") << QSize(2000, 1400) << int(saAutoScaleLong) << 0.5f;
    QTest::newRow("equal ratios, short") << QSize(2000, 1400) << int(saAutoScaleShort) << 0.5f;
    QTest::newRow("small image enlarged") << QSize(100, 50) << int(saAutoScaleLong) << 10.0f;
    QTest::newRow("none keeps the scale") << QSize(4000, 3000) << int(saNone) << 1.5f;
    QTest::newRow("unknown mode") << QSize(4000, 3000) << 7 << 1.5f;
  }
  void AutomaticScales() {
    QFETCH(QSize, image);
    QFETCH(int, mode);
    QFETCH(float, scale);
    TWindow w;
    w.View->SetScale(1.5);
    w.View->SetBitmap(TBitmap32(image.width(), image.height()));
    w.View->SetImgSizeAdjustment(TZmImgSizeAdjustment(mode));
    QCOMPARE(w.View->Scale(), scale);
  }

  // The window may get its size only after the first picture is shown: a fitted picture follows
  // the window's size until it is zoomed.
  void AFittedPictureFollowsTheWindowUntilZoomed() {
    TWindow w;
    TZmImgView32& v = *w.View;
    const int bar = v.ScrollBarSize();
    v.SetImgSizeAdjustment(saAutoScaleLong);
    v.LoadFromFile(WriteImage("fit.png", Solid(200, 100, Color32(255, 0, 255, 0))));
    QCOMPARE(v.Scale(), 5.0f);
    w.Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.Form.get(), kUiWaitMs));
    w.Form->resize(400 + bar, 700 + bar);
    QTRY_COMPARE(v.ViewportWidth(), 400);
    QCOMPARE(v.Scale(), 2.0f);
    QCOMPARE(v.BitmapRect(), QRect(0, 250, 400, 200));
    v.ZoomTo(3);
    w.Form->resize(1000 + bar, 700 + bar);
    QTRY_COMPARE(v.ViewportWidth(), 1000);
    QCOMPARE(v.Scale(), 3.0f);
  }

  void LoadingSizesAndPlacesWithOneRepaint() {
    TWindow w;
    w.Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.Form.get(), kUiWaitMs));
    TZmImgView32& v = *w.View;
    v.SetBGColor(RGB(0, 0, 255));
    v.SetImgSizeAdjustment(saAutoScaleLong);
    v.SetImgPlace(ipTopLeft);
    v.SetSpeedHorz(3);
    v.SetSpeedVert(-2);
    const std::string path = WriteImage("wide.png", Solid(200, 100, Color32(255, 0, 255, 0)));
    QApplication::processEvents();
    TPaintCounter counter;
    v.installEventFilter(&counter);
    v.LoadFromFile(path);
    QTRY_COMPARE(counter.Paints, 1);
    QApplication::processEvents();
    QCOMPARE(counter.Paints, 1);
    QVERIFY(v.LoadErrorText().isEmpty());
    QCOMPARE(v.SpeedHorz(), 0.0);
    QCOMPARE(v.SpeedVert(), 0.0);
    QCOMPARE(v.Bitmap().Width(), 200);
    QCOMPARE(v.Scale(), 5.0f);  // min(1000 / 200, 700 / 100)
    QCOMPARE(v.BitmapRect(), QRect(0, 0, 1000, 500));
    const QImage shot = v.grab().toImage();
    QCOMPARE(shot.pixelColor(3, 3), QColor(0, 255, 0));
    QCOMPARE(shot.pixelColor(999, 499), QColor(0, 255, 0));
    QCOMPARE(shot.pixelColor(500, 500), QColor(0, 0, 255));
  }

  void ShowLoadedSharesThePictureOrShowsThePanel() {
    TWindow w;
    TZmImgView32& v = *w.View;
    v.SetImgPlace(ipBottomRight);
    TZmLoadedImage image;
    image.Bitmap = std::make_shared<const TBitmap32>(Solid(40, 30, Color32(255, 9, 9, 9)));
    v.SetSpeedHorz(2);
    v.ShowLoaded("shown.png", image);
    QCOMPARE(v.Bitmap().Bits(), image.Bitmap->Bits());
    QCOMPARE(v.OffsetHorz(), 960.0f);
    QCOMPARE(v.SpeedHorz(), 0.0);

    image.Bitmap.reset();
    image.Error = {TDecodeErrorKind::deCorrupt, "bad"};
    v.ShowLoaded("写真.jpg", image);
    QCOMPARE(v.LoadErrorText(), QStringLiteral("写真.jpg は表示できません。"));
    QCOMPARE(v.Bitmap().Width(), 500);
    QCOMPARE(v.OffsetHorz(), 0.0f);
  }

  void ZoomClampsAndKeepsTheCentrePixel() {
    TWindow w;
    TZmImgView32& v = *w.View;
    v.SetStretchFilter(sfNearest);
    v.SetBitmap(Pattern(400, 300));
    v.SetOffsetHorz(400);  // image pixel (100, 50) under the viewport centre (500, 350)
    v.SetOffsetVert(300);
    v.SetSpeedHorz(1);
    w.Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.Form.get(), kUiWaitMs));
    QApplication::processEvents();
    TPaintCounter counter;
    v.installEventFilter(&counter);
    v.ZoomTo(2);
    QTRY_COMPARE(counter.Paints, 1);
    QApplication::processEvents();
    QCOMPARE(counter.Paints, 1);
    QCOMPARE(v.SpeedHorz(), 0.0);
    QCOMPARE(v.Scale(), 2.0f);
    QCOMPARE(v.OffsetHorz(), 300.0f);
    QCOMPARE(v.OffsetVert(), 250.0f);
    const QImage shot = v.grab().toImage();
    QCOMPARE(ColorName(shot.pixel(500, 350)), ColorName(Color32(255, 100, 50, 99)));
    v.ZoomTo(1000);
    QCOMPARE(v.Scale(), 256.0f);
    v.ZoomTo(0.001);
    QCOMPARE(v.Scale(), 0.015625f);
    v.ZoomTo(std::nan(""));
    QCOMPARE(v.Scale(), 1.0f);
    v.ClearImage();
    v.ZoomTo(4);  // an empty image zooms about its middle
    QCOMPARE(v.Scale(), 4.0f);
  }

  void ScrollingIsClampedAndStepsFollowTheViewport() {
    TWindow w;
    TZmImgView32& v = *w.View;
    v.SetBitmap(TBitmap32(400, 300));
    v.SetImgPlace(ipCenter);
    v.ScrollBy(50, 0);
    QCOMPARE(v.OffsetHorz(), 300.0f);  // narrower than the viewport: still
    v.SetBitmap(TBitmap32(2000, 300));
    v.SetOffsetHorz(-20);
    v.ScrollBy(50, 0);
    QCOMPARE(v.OffsetHorz(), 0.0f);  // moved by 20 only
    v.ScrollBy(-5000, 0);
    QCOMPARE(v.OffsetHorz(), -1000.0f);

    QCOMPARE(v.HorzStep(), 5.0);
    QCOMPARE(v.VertStep(), 3.5);
    QCOMPARE(v.HorzWheelStep(), 1000.0 / 6);
    QCOMPARE(v.VertWheelStep(), 700.0 / 6);
    TWindow wide(1100, 100);
    QCOMPARE(wide.View->HorzStep(), 5.5);
    QCOMPARE(wide.View->VertStep(), 1.0);
    QCOMPARE(wide.View->VertWheelStep(), 100.0 / 6);
  }

  void PlacementStepsAndTheLibraryRelayout() {
    TWindow w;
    TZmImgView32& v = *w.View;
    v.SetBitmap(TBitmap32(2000, 1500));
    v.SetImgPlace(ipBottomRight);
    v.MoveImgPlaceUp();
    QCOMPARE(v.ImgPlace(), ipRight);
    QCOMPARE(v.OffsetVert(), -400.0f);
    v.MoveImgPlaceUp();
    v.ScrollBy(100, 100);
    v.MoveImgPlaceUp();  // at the top edge: the same place, applied again
    QCOMPARE(v.ImgPlace(), ipTopRight);
    QCOMPARE(v.OffsetHorz(), -1000.0f);
    QCOMPARE(v.OffsetVert(), 0.0f);
    v.MoveImgPlaceLeft();
    v.MoveImgPlaceLeft();
    v.MoveImgPlaceDown();
    QCOMPARE(v.ImgPlace(), ipLeft);
    v.MoveImgPlaceRight();
    QCOMPARE(v.ImgPlace(), ipCenter);

    // A small image at the top left is centred when the view's size changes, and placed again
    // by the next placement command.
    w.Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.Form.get(), kUiWaitMs));
    v.SetBitmap(TBitmap32(400, 300));
    v.SetImgPlace(ipTopLeft);
    w.Form->resize(w.Form->width() - 100, w.Form->height() - 50);
    QTRY_COMPARE(v.ViewportWidth(), 900);
    QCOMPARE(v.OffsetHorz(), 250.0f);
    QCOMPARE(v.OffsetVert(), 175.0f);
    v.SetImgPlace(ipTopLeft);
    QCOMPARE(v.OffsetHorz(), 0.0f);
  }

  void ErrorPanel_data() {
    QTest::addColumn<int>("bg");
    QTest::addColumn<QColor>("text");
    QTest::newRow("black") << int(RGB(0, 0, 0)) << QColor(128, 128, 128);
    QTest::newRow("white") << int(RGB(255, 255, 255)) << QColor(127, 127, 127);
    QTest::newRow("colour") << int(RGB(10, 200, 60)) << QColor(138, 72, 188);
  }
  void ErrorPanel() {
    QFETCH(int, bg);
    QFETCH(QColor, text);
    TWindow w;
    TZmImgView32& v = *w.View;
    v.SetBGColor(bg);
    v.SetImgPlace(ipBottomRight);
    v.SetSpeedVert(4);
    const std::string missing = Dir_.filePath(QStringLiteral("写真.unknownext")).toStdString();
    v.LoadFromFile(missing);
    QCOMPARE(v.LoadErrorText(), QString::fromStdString(missing) + QStringLiteral(" は表示できません。"));
    QCOMPARE(v.SpeedVert(), 0.0);
    QCOMPARE(v.Bitmap().Width(), 500);
    QCOMPARE(v.Bitmap().Height(), 350);
    QCOMPARE(v.OffsetHorz(), 0.0f);
    QCOMPARE(v.OffsetVert(), 0.0f);

    // Background everywhere but the text; the text's own pixels in the contrasting colour, in
    // the first line only; anti-aliased edges lie between the two colours.
    const TColor32 back = OpaqueColor32(bg);
    const QColor backColor(RedOf(back), GreenOf(back), BlueOf(back));
    // Glyphs of a fallback (CJK) font may stand taller than the window font's own line.
    const int lineHeight = 2 * QFontMetrics(w.Form->font()).height();
    int textPixels = 0, belowLine = 0, outOfRange = 0;
    auto between = [](int c, int a, int b) { return c >= std::min(a, b) && c <= std::max(a, b); };
    for (int y = 0; y < 350; ++y)
      for (int x = 0; x < 500; ++x) {
        const TColor32 p = v.Bitmap().Pixel(x, y);
        if (p == back) continue;
        if (y >= lineHeight) ++belowLine;
        if (QColor(RedOf(p), GreenOf(p), BlueOf(p)) == text) ++textPixels;
        if (!between(RedOf(p), backColor.red(), text.red()) ||
            !between(GreenOf(p), backColor.green(), text.green()) ||
            !between(BlueOf(p), backColor.blue(), text.blue()))
          ++outOfRange;
      }
    QVERIFY(textPixels > 20);
    QCOMPARE(belowLine, 0);
    QCOMPARE(outOfRange, 0);
    QCOMPARE(v.grab().toImage().pixelColor(499, 349), backColor);

    // Other failures show the same panel; a good picture clears the text.
    const std::string corrupt = Dir_.filePath(QStringLiteral("corrupt.png")).toStdString();
    QFile f(QString::fromStdString(corrupt));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("\x89PNG\r\n\x1a\n garbage");
    f.close();
    for (const std::string& bad : {corrupt, Dir_.filePath(QStringLiteral("absent.png")).toStdString()}) {
      v.LoadFromFile(bad);
      QVERIFY(v.LoadErrorText().startsWith(QString::fromStdString(bad)));
      QCOMPARE(v.Bitmap().Width(), 500);
    }
    v.LoadFromFile(WriteImage(QStringLiteral("good.png"), Solid(40, 30, Color32(255, 9, 9, 9))));
    QVERIFY(v.LoadErrorText().isEmpty());
    QCOMPARE(v.OffsetHorz(), 960.0f);  // placed bottom right again
  }

  void IniSection() {
    TZmImgView32 v;
    TMemIniFile ini;
    v.SaveToIni(ini);
    QCOMPARE(QString::fromStdString(ini.Text()),
             QStringLiteral("[SlideShowLayout]\r\nCursorMode=1\r\nBGColor=0\r\nFormFullScreen=1\r\n"
                            "FormTitleBarVisible=1\r\nImgPlace=4\r\nImgSizeAdjustment=0\r\nReverseMove=0\r\n"
                            "Scale=1\r\nStretchFilter=1\r\n\r\n"));

    v.SetIniSectionName("SlideShow");
    v.SetCursorMode(false);
    v.SetBGColor(clBtnFace);
    v.SetFormFullScreen(false);
    v.SetFormTitleBarVisible(false);
    v.SetImgPlace(ipTopRight);
    v.SetImgSizeAdjustment(saAutoScaleShort);
    v.SetReverseMove(true);
    v.SetScale(0.3);
    v.SetStretchFilter(sfLanczos);
    ini.Clear();
    ini.WriteInteger("SlideShow", "Loop", 1);  // keys of others in the same section stay first
    v.SaveToIni(ini);
    QCOMPARE(
        QString::fromStdString(ini.Text()),
        QStringLiteral("[SlideShow]\r\nLoop=1\r\nCursorMode=0\r\nBGColor=-16777201\r\nFormFullScreen=0\r\n"
                       "FormTitleBarVisible=0\r\nImgPlace=8\r\nImgSizeAdjustment=3\r\nReverseMove=1\r\n"
                       "Scale=0.300000011920929\r\nStretchFilter=3\r\n\r\n"));

    TZmImgView32 back;
    back.SetIniSectionName("SlideShow");
    back.LoadFromIni(ini);
    QVERIFY(!back.CursorMode() && !back.FormFullScreen() && !back.FormTitleBarVisible() &&
            back.ReverseMove());
    QCOMPARE(back.BGColor(), clBtnFace);
    QCOMPARE(back.ImgPlace(), ipTopRight);
    QCOMPARE(back.ImgSizeAdjustment(), saAutoScaleShort);
    QCOMPARE(back.Scale(), 0.3f);
    QCOMPARE(back.StretchFilter(), sfLanczos);
    QCOMPARE(back.cursor().shape(), Qt::BlankCursor);
    QCOMPARE(back.HorzScrollBar()->cursor().shape(), Qt::ArrowCursor);
  }

  void IniMissingOrUnreadableKeysTakeTheDefaults() {
    TZmImgView32Defaults d;
    d.CursorMode = false;
    d.BGColor = RGB(1, 2, 3);
    d.FormFullScreen = false;
    d.ImgPlace = ipBottom;
    d.Scale = 2.0f;
    d.StretchFilter = sfNearest;
    TZmImgView32 v;
    v.SetDefaults(d);
    TMemIniFile ini;
    ini.SetText(
        "[SlideShowLayout]\r\nBGColor=red\r\nScale=abc\r\nStretchFilter=7\r\nImgPlace=12\r\n"
        "ReverseMove=5\r\n");
    v.LoadFromIni(ini);
    QVERIFY(!v.CursorMode());
    QCOMPARE(v.BGColor(), RGB(1, 2, 3));
    QCOMPARE(v.Scale(), 2.0f);
    QCOMPARE(v.StretchFilter(), sfNearest);
    QCOMPARE(int(v.ImgPlace()), 12);  // not validated; places at (0, 0)
    QVERIFY(v.ReverseMove());         // any non-zero number is true
    ini.SetText("[SlideShowLayout]\r\nScale=0\r\nImgSizeAdjustment=-1\r\n");
    v.LoadFromIni(ini);
    QCOMPARE(v.Scale(), float(MinDrawScale));
    QCOMPARE(int(v.ImgSizeAdjustment()), 255);
    ini.SetText("[SlideShowLayout]\r\nScale=1e300\r\n");
    v.LoadFromIni(ini);
    QCOMPARE(v.Scale(), float(MaxDrawScale));
  }

  void FullScreenAndTitleBar() {
    TWindow w(300, 200);
    QWidget& form = *w.Form;
    TZmImgView32& v = *w.View;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form, kUiWaitMs));
    v.SetFormFullScreen(true);
    QVERIFY(form.isFullScreen());
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(form.isVisible());

    const Qt::WindowFlags flags = form.windowFlags();
    v.SetFormTitleBarVisible(false);
    QCOMPARE(form.windowFlags(), flags);
    QVERIFY(form.isFullScreen());

    v.SetFormFullScreen(false);
    QVERIFY(!form.isFullScreen());
    QVERIFY(form.isMaximized());  // the full-screen window was a maximized one
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(form.isVisible());
    v.SetFormTitleBarVisible(true);
    QVERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));

    // Leaving full screen with the window following the image: normal, no maximize button.
    v.SetFormFullScreen(true);
    v.SetImgSizeAdjustment(saAutoWindowSize);
    v.SetFormFullScreen(false);
    QVERIFY(!form.isMaximized() && !form.isFullScreen());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));
    v.SetFormTitleBarVisible(false);
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    v.SetImgSizeAdjustment(saNone);
    v.SetFormFullScreen(false);
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    v.SetFormTitleBarVisible(true);
    QVERIFY(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  }

  void AutoWindowSize() {
    TWindow w(300, 200);
    QWidget& form = *w.Form;
    TZmImgView32& v = *w.View;
    v.SetFormFullScreen(false);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form, kUiWaitMs));
    const QRect work = form.screen()->availableGeometry();
    form.move(work.left() + 20, work.top() + 20);
    QTRY_COMPARE(form.frameGeometry().topLeft(), work.topLeft() + QPoint(20, 20));

    // The viewport becomes the image.
    const std::string small = WriteImage(QStringLiteral("small.png"), Solid(150, 120, Color32(255, 5, 5, 5)));
    v.SetImgSizeAdjustment(saAutoWindowSize);
    v.LoadFromFile(small);
    QTRY_COMPARE(v.ViewportWidth(), 150);
    QTRY_COMPARE(v.ViewportHeight(), 120);

    // 100 pixels from the work area's right edge a wide image gets at most 100 pixels.
    form.move(work.right() + 1 - 100, work.top() + 20);
    QTRY_COMPARE(form.frameGeometry().left(), work.right() + 1 - 100);
    v.LoadFromFile(WriteImage(QStringLiteral("wide.png"), Solid(1500, 60, Color32(255, 5, 5, 5))));
    QTRY_VERIFY(form.frameGeometry().width() <= 100);
    QVERIFY(form.frameGeometry().right() <= work.right());

    // Full screen or maximized: nothing.
    form.move(work.left() + 20, work.top() + 20);
    form.resize(300, 200);
    QTRY_COMPARE(form.size(), QSize(300, 200));
    v.SetFormFullScreen(true);
    QTRY_COMPARE(form.frameGeometry(), form.screen()->geometry());
    QRect before = form.geometry();
    v.LoadFromFile(small);
    QApplication::processEvents();
    QCOMPARE(form.geometry(), before);
    v.SetImgSizeAdjustment(saNone);
    v.SetFormFullScreen(false);
    QVERIFY(form.isMaximized());
    QTRY_COMPARE(form.frameGeometry(), work);
    before = form.geometry();
    v.SetImgSizeAdjustment(saAutoWindowSize);
    QApplication::processEvents();
    QCOMPARE(form.geometry(), before);
  }
};

QTEST_MAIN(ZmImgView32Test)
#include "ZmImgView32_test.moc"
