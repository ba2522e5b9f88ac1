// The plain image view: where the image and the background land on screen, the re-layout
// rule, scroll bars tied to the offsets, clamped scrolling, scaled pixels reused on scroll,
// update brackets, the mouse and wheel reports, and hostile values.
#include <QApplication>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QWheelEvent>
#include <QtTest>
#include <cmath>
#include <limits>
#include <memory>

#include "bitmap/Resample.h"
#include "imageview/ImgView32.h"
#include "tests/support/UiWait.h"

namespace {

constexpr TColor32 Background = Color32(255, 10, 20, 30);

// Every pixel different: red = x, green = y (both mod 256), blue 200.
TBitmap32 Pattern(int w, int h) {
  TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.Pixel(x, y) = Color32(255, uint8_t(x), uint8_t(y), 200);
  return b;
}

QRgb Rgb(TColor32 c) {
  return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

QImage Grab(QWidget& w) {
  return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

std::unique_ptr<TImgView32> MakeView(int w, int h, Qt::ScrollBarPolicy policy = Qt::ScrollBarAlwaysOff) {
  auto view = std::make_unique<TImgView32>();
  view->SetScrollBarPolicy(policy);
  view->SetColor(QColor(RedOf(Background), GreenOf(Background), BlueOf(Background)));
  view->resize(w, h);
  return view;
}

// What the view should show: the background with the bitmap drawn over it by the resampler.
TBitmap32 Expected(const TImgView32& view, TStretchFilter filter) {
  TBitmap32 out(view.ViewportWidth(), view.ViewportHeight());
  out.Clear(Background);
  DrawScaled(view.Bitmap(), view.Scale(), view.OffsetHorz(), view.OffsetVert(), filter, out,
             {0, 0, out.Width(), out.Height()}, dmBlend);
  return out;
}

int CountMismatches(const QImage& shot, const TBitmap32& expected) {
  int bad = 0;
  for (int y = 0; y < expected.Height(); ++y)
    for (int x = 0; x < expected.Width(); ++x)
      if (shot.pixel(x, y) != Rgb(expected.Pixel(x, y))) ++bad;
  return bad;
}

// Counts paint events reaching a widget.
struct TPaintCounter : QObject {
  int Paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++Paints;
    return false;
  }
};

}  // namespace

class ImgView32Test : public QObject {
  Q_OBJECT

 private slots:
  void ImageAndBackgroundLandWhereTheGeometrySays_data() {
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("offH");
    QTest::addColumn<double>("offV");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("actual size") << 1.0 << 10.0 << 20.0 << QRect(10, 20, 40, 30);
    // Halves go to the even pixel.
    QTest::newRow("half offsets") << 1.0 << 10.5 << 21.5 << QRect(10, 22, 40, 30);
    QTest::newRow("enlarged") << 2.5 << 3.0 << 4.0 << QRect(3, 4, 100, 75);
    QTest::newRow("reduced") << 0.5 << 0.0 << 0.0 << QRect(0, 0, 20, 15);
    QTest::newRow("partly outside") << 1.0 << -15.0 << 180.0 << QRect(-15, 180, 40, 30);
  }
  void ImageAndBackgroundLandWhereTheGeometrySays() {
    QFETCH(double, scale);
    QFETCH(double, offH);
    QFETCH(double, offV);
    QFETCH(QRect, rect);
    auto view = MakeView(200, 200);
    view->SetStretchFilter(sfNearest);
    view->SetBitmap(Pattern(40, 30));
    view->SetScale(scale);
    view->SetOffsetHorz(offH);
    view->SetOffsetVert(offV);
    QCOMPARE(view->BitmapRect(), rect);
    QCOMPARE(view->BitmapRectWidth(), rect.width());
    const QImage shot = Grab(*view);
    QCOMPARE(CountMismatches(shot, Expected(*view, sfNearest)), 0);
    // Corners of the image rectangle hold the bitmap's corners; just outside is background.
    if (rect.left() >= 0 && scale >= 1) {
      QCOMPARE(shot.pixel(rect.topLeft()), Rgb(view->Bitmap().Pixel(0, 0)));
      if (rect.left() > 0) QCOMPARE(shot.pixel(rect.left() - 1, rect.top()), Rgb(Background));
    }
    QCOMPARE(shot.pixel(rect.right() + 1, std::max(rect.top(), 0)), Rgb(Background));
    QCOMPARE(shot.pixel(199, 0), Rgb(Background));
  }

  void TransparentPixelsShowTheBackground() {
    auto view = MakeView(50, 50);
    TBitmap32 b(10, 10);
    b.Clear(0);                                            // fully transparent
    b.Pixel(5, 5) = PremultipliedColor32(128, 255, 0, 0);  // half-covered red
    view->SetBitmap(std::move(b));
    view->SetOffsetHorz(0);
    view->SetOffsetVert(0);
    const QImage shot = Grab(*view);
    QCOMPARE(shot.pixel(0, 0), Rgb(Background));
    const QColor mixed = shot.pixelColor(5, 5);
    QVERIFY(qAbs(mixed.red() - (255 + 10) / 2) <= 2);
    QVERIFY(qAbs(mixed.green() - 20 / 2) <= 2);
  }

  void SharedBitmapIsShownUncopiedAndDrawingDetachesIt() {
    auto view = MakeView(50, 40);
    const auto shared = std::make_shared<const TBitmap32>(Pattern(50, 40));
    view->SetBitmap(shared);
    QCOMPARE(view->Bitmap().Bits(), shared->Bits());
    QCOMPARE(Grab(*view).pixel(7, 3), Rgb(shared->Pixel(7, 3)));

    TBitmap32& mine = view->MutableBitmap();
    QVERIFY(mine.Bits() != shared->Bits());
    mine.Pixel(7, 3) = Color32(255, 255, 0, 0);
    view->BitmapChanged();
    QCOMPARE(shared->Pixel(7, 3), Color32(255, 7, 3, 200));
    QCOMPARE(Grab(*view).pixel(7, 3), qRgb(255, 0, 0));
    QCOMPARE(&view->MutableBitmap(), &mine);  // copied once

    // A bitmap handed over by value is the view's own: drawing into it copies nothing.
    view->SetBitmap(Pattern(5, 5));
    const void* own = view->Bitmap().Bits();
    QCOMPARE(view->MutableBitmap().Bits(), own);
  }

  void ANewPictureStartsCentredOrAtTheTopLeft_data() {
    QTest::addColumn<bool>("centered");
    QTest::addColumn<int>("imgW");
    QTest::addColumn<int>("imgH");
    QTest::addColumn<double>("offH");
    QTest::addColumn<double>("offV");
    QTest::newRow("small, centred") << true << 100 << 61 << 150.0 << 69.5;
    QTest::newRow("large, centred") << true << 500 << 300 << -50.0 << -50.0;
    QTest::newRow("small, top left") << false << 100 << 61 << 0.0 << 0.0;
    QTest::newRow("large, top left") << false << 500 << 300 << 0.0 << 0.0;
  }
  // With bars as needed the viewport shrinks for a large picture; it starts laid out in that.
  void ANewPictureStartsCentredOrAtTheTopLeft_WithScrollBars() {
    auto view = MakeView(400, 200, Qt::ScrollBarAsNeeded);
    view->SetCentered(false);
    view->SetBitmap(Pattern(500, 300));
    QVERIFY(view->ViewportWidth() < 400);
    QCOMPARE(view->OffsetHorz(), 0.0f);
    QCOMPARE(view->OffsetVert(), 0.0f);
    view->SetCentered(true);
    view->SetBitmap(Pattern(500, 300));
    QCOMPARE(view->OffsetHorz(), float((view->ViewportWidth() - 500) / 2.0));
    QCOMPARE(view->OffsetVert(), float((view->ViewportHeight() - 300) / 2.0));
  }
  void ANewPictureStartsCentredOrAtTheTopLeft() {
    QFETCH(bool, centered);
    QFETCH(int, imgW);
    QFETCH(int, imgH);
    QFETCH(double, offH);
    QFETCH(double, offV);
    auto view = MakeView(400, 200);
    view->SetCentered(centered);
    view->SetBitmap(Pattern(imgW, imgH));
    QCOMPARE(view->OffsetHorz(), float(offH));
    QCOMPARE(view->OffsetVert(), float(offV));
  }

  void ResizingRelaysOutTheImage() {
    auto view = MakeView(400, 300);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get(), kUiWaitMs));
    view->SetBitmap(Pattern(100, 80));
    view->SetOffsetHorz(0);
    view->SetOffsetVert(0);
    view->resize(500, 400);
    // The smaller image is centred again on both axes.
    QCOMPARE(view->OffsetHorz(), 200.0f);
    QCOMPARE(view->OffsetVert(), 160.0f);
    // A larger image keeps the point under the centre, clamped so it still covers the viewport.
    view->SetBitmap(Pattern(1000, 800));
    view->SetOffsetHorz(-300);  // x 550 under the centre (250)
    view->SetOffsetVert(0);
    view->resize(300, 400);
    QCOMPARE(view->OffsetHorz(), -400.0f);  // 150 - 550
    QCOMPARE(view->OffsetVert(), 0.0f);     // clamped: the top stays at the top
  }

  void ScrollBarsAppearAsNeededAndFollowTheOffsets() {
    auto view = MakeView(300, 200, Qt::ScrollBarAsNeeded);
    const int extent = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view.get());
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get(), kUiWaitMs));
    QScrollBar* h = view->HorzScrollBar();
    QScrollBar* v = view->VertScrollBar();

    view->SetBitmap(Pattern(100, 100));
    QVERIFY(!h->isVisible() && !v->isVisible());
    QCOMPARE(view->ViewportRect(), QRect(0, 0, 300, 200));
    QCOMPARE(view->ScrollBarSize(), 0);

    // Wider only: a horizontal bar, which takes height from the viewport.
    view->SetBitmap(Pattern(600, 100));
    QVERIFY(h->isVisible() && !v->isVisible());
    QCOMPARE(view->ViewportRect(), QRect(0, 0, 300, 200 - extent));
    // Wider, and taller than what the horizontal bar leaves: both bars.
    view->SetBitmap(Pattern(600, 200 - extent / 2));
    QVERIFY(h->isVisible() && v->isVisible());
    QCOMPARE(view->ScrollBarSize(), extent);
    QCOMPARE(h->maximum(), 600 - (300 - extent));

    view->SetOffsetHorz(-40);
    QCOMPARE(h->value(), 40);
    h->setValue(100);
    QCOMPARE(view->OffsetHorz(), -100.0f);
    view->ScrollBy(30, 0);
    QCOMPARE(h->value(), 70);
    // Offsets beyond the scrollable range show as its ends.
    view->SetOffsetHorz(50);
    QCOMPARE(h->value(), 0);
    QCOMPARE(view->OffsetHorz(), 50.0f);

    view->SetScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->SetBitmap(Pattern(10, 10));
    QVERIFY(h->isVisible() && v->isVisible());
    QVERIFY(!h->isEnabled());
    QCOMPARE(view->ScrollBarSize(), extent);
    QCOMPARE(view->ViewportRect(), QRect(0, 0, 300 - extent, 200 - extent));
  }

  void ScrollByMovesOnlyWhereTheImageIsLarger_data() {
    QTest::addColumn<int>("imgW");
    QTest::addColumn<double>("startH");
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("endH");
    QTest::newRow("narrower image stays") << 100 << 50.0 << 50.0 << 50.0;
    QTest::newRow("positive moves right") << 500 << -100.0 << 30.0 << -70.0;
    QTest::newRow("clamped at the left edge") << 500 << -20.0 << 50.0 << 0.0;
    QTest::newRow("clamped at the right edge") << 500 << -290.0 << -50.0 << -300.0;
    QTest::newRow("fractions kept") << 500 << -100.0 << 0.25 << -99.75;
    QTest::newRow("not a number") << 500 << -100.0 << std::nan("") << -100.0;
  }
  void ScrollByMovesOnlyWhereTheImageIsLarger() {
    QFETCH(int, imgW);
    QFETCH(double, startH);
    QFETCH(double, dx);
    QFETCH(double, endH);
    auto view = MakeView(200, 100);
    view->SetBitmap(Pattern(imgW, 50));
    view->SetOffsetHorz(startH);
    const float vert = view->OffsetVert();
    view->ScrollBy(dx, 7);  // the image is lower than the viewport: no vertical move
    QCOMPARE(view->OffsetHorz(), float(endH));
    QCOMPARE(view->OffsetVert(), vert);
  }

  void ScrollingReusesScaledPixels() {
    auto view = MakeView(320, 240);
    view->SetStretchFilter(sfLanczos);
    view->SetBitmap(Pattern(1500, 1100));
    view->SetScale(0.8);
    (void)Grab(*view);
    QVERIFY(view->LastResampledPixels() >= 320 * 240);  // the first paint resamples the view

    view->ScrollBy(-3, -2);
    QImage shot = Grab(*view);
    QVERIFY2(view->LastResampledPixels() < 320 * 240 / 10,
             qPrintable(QString::number(view->LastResampledPixels())));
    QCOMPARE(CountMismatches(shot, Expected(*view, sfLanczos)), 0);

    // Far beyond the kept margin: only new strips, still less than a whole view's worth.
    view->ScrollBy(-250, 0);
    shot = Grab(*view);
    QVERIFY(view->LastResampledPixels() > 0);
    QCOMPARE(CountMismatches(shot, Expected(*view, sfLanczos)), 0);

    // New pixels in place are seen only after BitmapChanged.
    view->MutableBitmap().Clear(Color32(255, 1, 2, 3));
    view->BitmapChanged();
    shot = Grab(*view);
    QCOMPARE(shot.pixel(100, 100), qRgb(1, 2, 3));
  }

  void UpdateBracketsRepaintOnce() {
    auto view = MakeView(300, 200);
    view->SetBitmap(Pattern(800, 600));
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get(), kUiWaitMs));
    QApplication::processEvents();
    TPaintCounter counter;
    view->installEventFilter(&counter);
    view->BeginUpdate();
    view->BeginUpdate();
    view->SetScale(1.5);
    view->ScrollBy(-10, -10);
    view->SetOffsetHorz(-30);
    view->SetStretchFilter(sfSpline);
    view->EndUpdate();
    QApplication::processEvents();
    QCOMPARE(counter.Paints, 0);  // the inner EndUpdate does not repaint
    view->EndUpdate();
    view->EndUpdate();  // unbalanced: ignored
    QCOMPARE(view->UpdateCount(), 0);
    QTRY_COMPARE(counter.Paints, 1);
    QApplication::processEvents();
    QCOMPARE(counter.Paints, 1);
  }

  void MouseAndWheelAreReportedNotActedOn() {
    QWidget parent;
    auto* view = new TImgView32(&parent);
    view->resize(200, 150);
    view->SetBitmap(Pattern(800, 600));
    parent.resize(200, 150);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent, kUiWaitMs));
    const float h0 = view->OffsetHorz(), v0 = view->OffsetVert();

    QSignalSpy downs(view, &TImgView32::MouseDown);
    QSignalSpy moves(view, &TImgView32::MouseMove);
    QSignalSpy ups(view, &TImgView32::MouseUp);
    QSignalSpy doubles(view, &TImgView32::DblClick);
    QTest::mousePress(view, Qt::LeftButton, Qt::ControlModifier, QPoint(50, 40));
    QTest::mouseMove(view, QPoint(120, 90));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(120, 90));
    QCOMPARE(downs.count(), 1);
    QCOMPARE(downs[0][0].value<Qt::MouseButton>(), Qt::LeftButton);
    QCOMPARE(downs[0][1].value<Qt::KeyboardModifiers>(), Qt::KeyboardModifiers(Qt::ControlModifier));
    QCOMPARE(downs[0][2].toPoint(), QPoint(50, 40));
    QVERIFY(moves.count() >= 1);
    QCOMPARE(moves.last()[2].toPoint(), QPoint(120, 90));
    QCOMPARE(ups.count(), 1);
    // A drag does not scroll: that is the owner's business.
    QCOMPARE(view->OffsetHorz(), h0);
    QCOMPARE(view->OffsetVert(), v0);
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(doubles.count(), 1);

    QSignalSpy wheels(view, &TImgView32::MouseWheel);
    QSignalSpy wheelUps(view, &TImgView32::MouseWheelUp);
    QSignalSpy wheelDowns(view, &TImgView32::MouseWheelDown);
    for (int delta : {120, -240}) {
      QWheelEvent wheel(QPointF(30, 30), view->mapToGlobal(QPointF(30, 30)), {}, QPoint(0, delta),
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(view, &wheel);
      // Left unaccepted, so that a real turn goes on to the window as well.
      QVERIFY(!wheel.isAccepted());
    }
    QCOMPARE(wheels.count(), 2);
    QCOMPARE(wheels[1][0].toInt(), -240);
    QCOMPARE(wheelUps.count(), 1);
    QCOMPARE(wheelDowns.count(), 1);
    QCOMPARE(view->OffsetVert(), v0);

    QMenu menu;
    menu.addAction(QStringLiteral("x"));
    view->SetPopupMenu(&menu);
    QSignalSpy popups(view, &TImgView32::ContextPopup);
    QContextMenuEvent context(QContextMenuEvent::Mouse, QPoint(5, 6), view->mapToGlobal(QPoint(5, 6)));
    QApplication::sendEvent(view, &context);
    QCOMPARE(popups.count(), 1);
    QCOMPARE(popups[0][0].toPoint(), QPoint(5, 6));
    QTRY_VERIFY(menu.isVisible());
    menu.hide();
  }

  void HintSplitsIntoToolTipAndStatusTip() {
    TImgView32 view;
    view.SetHint(QStringLiteral("|/pics/a.png <640x480>"));
    QCOMPARE(view.toolTip(), QString());
    QCOMPARE(view.statusTip(), QStringLiteral("/pics/a.png <640x480>"));
    QCOMPARE(view.Hint(), QStringLiteral("|/pics/a.png <640x480>"));
    view.SetHint(QString());
    QCOMPARE(view.statusTip(), QString());
  }

  void HostileValuesAreHarmless() {
    auto view = MakeView(120, 90, Qt::ScrollBarAsNeeded);
    view->SetBitmap(Pattern(30, 20));
    view->SetScale(std::nan(""));
    QCOMPARE(view->Scale(), float(MinDrawScale));
    view->SetScale(-5);
    QCOMPARE(view->Scale(), float(MinDrawScale));
    view->SetScale(1e300);
    QCOMPARE(view->Scale(), float(MaxDrawScale));
    (void)Grab(*view);  // a 1966080 x 1310720 image rectangle: only the visible part is drawn
    QCOMPARE(view->BitmapRectWidth(), int64_t(30) * 65536);
    view->SetOffsetHorz(std::numeric_limits<double>::infinity());
    view->SetOffsetVert(1e300);
    QVERIFY(std::isfinite(view->OffsetHorz()) && std::isfinite(view->OffsetVert()));
    view->SetOffsetHorz(-3e38);
    (void)Grab(*view);
    view->SetStretchFilter(TStretchFilter(9));
    QCOMPARE(view->StretchFilter(), sfLinear);

    view->ClearBitmap();
    QVERIFY(view->Bitmap().Empty());
    QCOMPARE(view->BitmapRect(), QRect());
    QCOMPARE(Grab(*view).pixel(60, 45), Rgb(Background));
    view->ScrollBy(10, 10);
    view->resize(0, 0);
    QCOMPARE(view->ViewportWidth(), 0);
    view->SetBitmap(Pattern(5, 5));
    (void)view->grab();
  }
};

QTEST_MAIN(ImgView32Test)
#include "ImgView32_test.moc"
