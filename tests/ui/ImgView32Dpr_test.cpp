// The plain image view on a dense screen: the picture is resampled at the device pixel ratio
// (not pixel-doubled), and the scaled-pixel cache stays exact at whole and fractional ratios.
//
// The screen's ratio is QT_SCALE_FACTOR, read when the application starts: 2 unless the
// environment sets another (run with QT_SCALE_FACTOR=1.25 to paint at a fractional ratio).
#include <QApplication>
#include <QtTest>
#include <memory>

#include "bitmap/Resample.h"
#include "imageview/ImgView32.h"
#include "tests/support/UiWait.h"

namespace {

constexpr TColor32 Background = Color32(255, 10, 20, 30);

// Fine detail that a pixel-doubled copy loses: red = 7x, green = 5y (mod 256), blue x ^ y.
TBitmap32 Detail(int w, int h) {
  TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.Pixel(x, y) = Color32(255, uint8_t(7 * x), uint8_t(5 * y), uint8_t(x ^ y));
  return b;
}

std::unique_ptr<TImgView32> MakeView(int w, int h) {
  auto view = std::make_unique<TImgView32>();
  view->SetScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view->SetColor(QColor(RedOf(Background), GreenOf(Background), BlueOf(Background)));
  view->SetStretchFilter(sfLanczos);
  view->resize(w, h);
  view->SetBitmap(Detail(700, 500));
  view->SetScale(0.37);
  view->SetOffsetHorz(-13.3);
  view->SetOffsetVert(-7.6);
  return view;
}

// The background with the bitmap resampled straight into w x h device pixels.
TBitmap32 Direct(const TImgView32& view, double ratio, int w, int h) {
  TBitmap32 out(w, h);
  out.Clear(Background);
  DrawScaled(view.Bitmap(), view.Scale() * ratio, view.OffsetHorz() * ratio, view.OffsetVert() * ratio,
             view.StretchFilter(), out, {0, 0, w, h}, dmBlend);
  return out;
}

// Pixels of `image` (its whole size) that differ from `expected`.
int Mismatches(const QImage& image, const TBitmap32& expected) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  int bad = 0;
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x) {
      const TColor32 e = expected.Pixel(x, y);
      if (rgb.pixel(x, y) != qRgb(RedOf(e), GreenOf(e), BlueOf(e))) ++bad;
    }
  return bad;
}

}  // namespace

class ImgView32DprTest : public QObject {
  Q_OBJECT

 private slots:
  void PaintedPixelsAreADirectResampleAtTheRatio() {
    auto view = MakeView(121, 93);
    const qreal ratio = view->devicePixelRatioF();
    QVERIFY2(ratio != 1, "the test needs a screen ratio other than 1");
    // Scrolls within the kept margin, beyond it, and back, by fractions of a logical pixel.
    const QPointF scrolls[] = {{0, 0}, {-3.5, -2.25}, {-170.4, 0}, {0, -121.7}, {95.2, 60.1}};
    for (const QPointF& d : scrolls) {
      view->ScrollBy(d.x(), d.y());
      const QImage shot = view->grab().toImage();
      QCOMPARE(shot.devicePixelRatio(), ratio);
      QCOMPARE(Mismatches(shot, Direct(*view, ratio, shot.width(), shot.height())), 0);
    }
    // A small scroll resamples only thin strips.
    view->ScrollBy(-2, -1);
    (void)view->grab();
    QVERIFY2(view->LastResampledPixels() < 121 * 93, qPrintable(QString::number(view->LastResampledPixels())));
  }

  void RenderingInPiecesMatchesAtAnyRatio_data() {
    QTest::addColumn<double>("ratio");
    for (double r : {1.0, 1.25, 1.5, 2.0, 2.75}) QTest::newRow(qPrintable(QString::number(r))) << r;
  }
  // Exposed rectangles end between device pixels at a fractional ratio: pieces painted apart,
  // after scrolls served by the cache, must leave no seam or gap.
  void RenderingInPiecesMatchesAtAnyRatio() {
    QFETCH(double, ratio);
    auto view = MakeView(101, 77);
    (void)view->RenderViewport(view->ViewportRect(), ratio);
    for (const QPointF& d : {QPointF(-1.3, -0.7), QPointF(-37.1, 3.9), QPointF(-150.6, -140.2)}) {
      view->ScrollBy(d.x(), d.y());
      (void)view->RenderViewport(QRect(0, 0, 33, 77), ratio);
      (void)view->RenderViewport(QRect(33, 0, 68, 41), ratio);
      const QImage image = view->RenderViewport(QRect(33, 41, 68, 36), ratio);
      QCOMPARE(image.devicePixelRatio(), ratio);
      QCOMPARE(image.size(), QSize(int(std::ceil(101 * ratio)), int(std::ceil(77 * ratio))));
      QCOMPARE(Mismatches(image, Direct(*view, ratio, image.width(), image.height())), 0);
    }
  }
};

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR")) qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  ImgView32DprTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ImgView32Dpr_test.moc"
