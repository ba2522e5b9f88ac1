// Driver of the preview part of bench/slideshow: the main window, offscreen, with the preview pane
// fitting its picture, while the focused row's large JPEG loads. A 1 ms timer runs on the
// user-interface thread throughout; its largest gap is the longest stall a user would feel. The
// time from the key release that asks for the picture to the picture shown is set against the
// picture's full decode through the same load path, measured in the same run. Prints medians in
// milliseconds, and the worst stall of all runs.
//   kv_bench_preview FOLDER [RUNS]     (FOLDER holds the one picture)
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/Median.h"
#include "app/MainWin.h"
#include "columns/ZmListView.h"
#include "imageview/ImgView32.h"
#include "imageview/ZmGraphicExTypes.h"
#include "platform/SynchronizePump.h"

namespace {
// Runs the event loop until `done`, and returns the largest gap between the ticks of a 1 ms timer
// meanwhile (the first tick counts from the call).
double LargestGapUntil(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  double last = 0, largest = 0;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  tick.setInterval(1);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const double now = clock.nsecsElapsed() / 1e6;
    largest = std::max(largest, now - last);
    last = now;
  });
  tick.start();
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
  return std::max(largest, clock.nsecsElapsed() / 1e6 - last);
}
}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc < 2) {
    std::fprintf(stderr, "usage: kv_bench_preview FOLDER [RUNS]\n");
    return 2;
  }
  std::string folder = argv[1];
  if (folder.back() != '/') folder += '/';
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  QTemporaryDir config;
  qputenv("KIRVANE_CONFIG_DIR", config.path().toUtf8());
  QApplication app(argc, argv);
  TSynchronizePump pump;
  TFormKirvane form(folder);
  form.resize(1000, 700);
  form.show();
  form.FirstActivate();
  form.MoveFolder(folder);
  while (form.FileInfos().List().Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  TZmListView& list = *form.FileListView();
  if (list.ItemsCount() != 1) {
    std::fprintf(stderr, "kv_bench_preview: %s must hold exactly one picture\n", folder.c_str());
    return 1;
  }
  const std::string path = form.FileInfos().List().Items(0)->FullFileName();
  list.SetFocusedRow(0);
  form.Action("IVAutoScaleLongAct")->trigger();
  TImgView32& view = *form.Preview();
  TZmImageLoader& loader = form.PreviewLoader();
  QCoreApplication::processEvents();

  std::vector<double> decode, shown, stalls;
  int width = 0, height = 0;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer t;
    t.start();
    TDecodeResult full = LoadPicture(path);
    decode.push_back(t.nsecsElapsed() / 1e6);
    if (!full.Ok()) {
      std::fprintf(stderr, "kv_bench_preview: %s: %s\n", path.c_str(), full.Error().Message.c_str());
      return 1;
    }
    width = full.Bitmap().Width(), height = full.Bitmap().Height();
  }
  for (int i = 0; i < runs; ++i) {
    TFormKirvane::ExecuteAction(form.Action("ImgCloseAct"));
    loader.ClearCache();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    double appeared = 0;
    bool asked = false;
    // The key comes from the event loop, as a user's does; then a few more ticks, so that
    // painting the picture counts too.
    QTimer::singleShot(5, [&] {
      t.start();
      asked = true;
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier), release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
      QCoreApplication::sendEvent(&list, &press);
      QCoreApplication::sendEvent(&list, &release);
    });
    stalls.push_back(LargestGapUntil([&] {
      if (asked && !appeared && !view.Bitmap().Empty()) appeared = t.nsecsElapsed() / 1e6;
      return appeared && t.nsecsElapsed() / 1e6 > appeared + 30;
    }));
    shown.push_back(appeared);
  }
  std::printf("picture %dx%d, shown at %dx%d in a %dx%d pane\n", width, height, view.Bitmap().Width(),
              view.Bitmap().Height(), view.width(), view.height());
  std::printf("full_decode_ms %.1f\npreview_shown_ms %.1f\nlongest_stall_ms %.1f (median %.1f)\n", Median(decode),
              Median(shown), *std::max_element(stalls.begin(), stalls.end()), Median(stalls));
  return 0;
}
