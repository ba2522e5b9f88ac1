// Driver of bench/slideshow (the slideshow window's part): the window, offscreen at 1920 x 1080,
// over copies of one large JPEG. Prints in milliseconds (medians):
//   decode_ms            LoadPicture of the file, the reference
//   forward_prefetched   from the key event to the next picture painted, it being prefetched
//   forward_cold         the same with nothing cached
//   tick_ms              one continuous-scroll tick with its repaint, at actual size
//   kv_bench_slideshow FILE.jpg [RUNS]
// KV_BENCH_SPLIT=1 also prints each step's parts: the decodes on the worker, shown, painted.
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/Median.h"
#include "dialogs/FileCommands.h"
#include "imageview/ZmGraphicExTypes.h"
#include "imageview/ZmImgView32.h"
#include "platform/SynchronizePump.h"
#include "slideshow/FormImage.h"

namespace {
class THost : public IFormImageHost {
 public:
  std::string Folder;
  std::vector<std::string> Paths;
  int Now = -1;
  uint8_t Mode = 0;
  int SlideCount() const override { return int(Paths.size()); }
  std::string_view SlideFolder(int) const override { return Folder; }
  std::string SlidePath(int i) const override { return Paths[size_t(i)]; }
  int SlideNowIndex() const override { return Now; }
  void SetSlideNowIndex(int i) override { Now = i; }
  uint8_t SlideShowMode() const override { return Mode; }
  void SetSlideShowMode(uint8_t m) override { Mode = m; }
  void SlideShown(int) override {}
  void SlideShowEnded(int) override {}
  TFileCommands& FileCommands() override { return Commands; }
  std::string SendPath;
  TFileCommands Commands{nullptr, SendPath};
};

double Ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }
}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc < 2) {
    std::fprintf(stderr, "usage: kv_bench_slideshow FILE.jpg [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  QApplication app(argc, argv);
  TSynchronizePump pump;
  QTemporaryDir dir;
  THost host;
  host.Folder = dir.path().toStdString() + "/";
  for (int i = 0; i < 2 * runs + 2; ++i) {
    host.Paths.push_back(host.Folder + "p" + std::to_string(i) + ".jpg");
    std::filesystem::copy_file(argv[1], host.Paths.back());
  }

  std::vector<double> decode;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer t;
    t.start();
    if (!LoadPicture(host.Paths[0]).Ok()) {
      std::fprintf(stderr, "kv_bench_slideshow: %s cannot be decoded\n", argv[1]);
      return 1;
    }
    decode.push_back(Ms(t));
  }

  TFormImage form(host);
  TZmImgView32& view = *form.ImgView32();
  view.SetFormFullScreen(false);
  form.SetBarVisible(false);
  form.Action("BarVisibleAct")->trigger();  // checks it again: the bars shown, as at the first start
  view.SetImgSizeAdjustment(saAutoScaleLong);
  view.SetStretchFilter(sfLinear);
  form.setWindowState(Qt::WindowNoState);
  form.setGeometry(0, 0, 1920, 1080);
  auto settle = [&] {
    QCoreApplication::processEvents();  // what the last step queued (its prefetch) starts
    while (form.Loading() || form.Loader().Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  };
  if (getenv("KV_BENCH_SPLIT"))
    form.Loader().Decoder = [](const std::string& path, const TDecodeHint& hint) {
      QElapsedTimer t;
      t.start();
      TDecodeResult r = LoadPicture(path, hint);
      std::printf("  worker decode %.1f\n", Ms(t));
      return r;
    };
  form.Start(0, 0);
  settle();

  // Forward with the next picture prefetched (the window prefetches it once one is shown): from the
  // key event until the view has painted the new picture, as the event loop paints it.
  struct TPaints : QObject {
    int Count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++Count;
      return false;
    }
  } paints;
  view.installEventFilter(&paints);
  auto forward = [&] {
    QElapsedTimer t;
    t.start();
    const int before = paints.Count;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&form, &press);
    while (form.Loading()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double shown = Ms(t);
    while (paints.Count == before) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (getenv("KV_BENCH_SPLIT")) std::printf("  shown %.1f painted %.1f\n", shown, Ms(t));
    return Ms(t);
  };
  std::vector<double> prefetched, cold;
  for (int i = 0; i < runs; ++i) {
    settle();
    prefetched.push_back(forward());
  }
  for (int i = 0; i < runs; ++i) {
    settle();
    form.Loader().ClearCache();
    cold.push_back(forward());
  }

  // Continuous scrolling at actual size, both axes.
  settle();
  view.SetImgSizeAdjustment(saNone);
  view.ZoomTo(1.0);
  view.repaint();
  std::vector<double> ticks;
  for (int i = 0; i < 50 * runs; ++i) {
    view.SetSpeedHorz(-view.HorzStep());
    view.SetSpeedVert(-view.VertStep());
    QElapsedTimer t;
    t.start();
    form.ScrollTick(10);
    view.repaint();
    ticks.push_back(Ms(t));
  }
  std::printf("view %dx%d picture %dx%d\n", view.ViewportWidth(), view.ViewportHeight(), view.Bitmap().Width(),
              view.Bitmap().Height());
  std::printf("decode_ms %.1f\nforward_prefetched_ms %.1f\nforward_cold_ms %.1f\ntick_ms %.2f\n", Median(decode),
              Median(prefetched), Median(cold), Median(ticks));
  return 0;
}
