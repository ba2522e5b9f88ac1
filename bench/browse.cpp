// Driver of bench/browse: the main window, offscreen, listing one folder. Prints, in
// milliseconds, the time from MoveFolder to rows shown (median of the runs), the time of a
// re-sort by a column click, and the memory the listing added.
//   kv_bench_browse FOLDER [RUNS]
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/Median.h"
#include "app/MainWin.h"
#include "columns/ZmListView.h"
#include "platform/SynchronizePump.h"

namespace {
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc < 2) {
    std::fprintf(stderr, "usage: kv_bench_browse FOLDER [RUNS]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  QTemporaryDir config, empty;
  qputenv("KIRVANE_CONFIG_DIR", config.path().toUtf8());
  QApplication app(argc, argv);
  TSynchronizePump pump;
  TFormKirvane form(empty.path().toStdString());
  form.resize(1000, 700);
  form.show();
  form.FirstActivate();
  auto wait = [&] {
    while (form.FileInfos().List().Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QCoreApplication::processEvents();
  };
  wait();
  const long baseKb = ResidentKb();

  std::vector<double> listing;
  for (int i = 0; i < runs; ++i) {
    form.MoveFolder(empty.path().toStdString());
    wait();
    QElapsedTimer t;
    t.start();
    form.MoveFolder(folder);
    wait();
    listing.push_back(t.nsecsElapsed() / 1e6);
  }
  const long listedKb = ResidentKb();
  TZmListView& list = *form.FileListView();
  int sizeColumn = 0;
  for (int c = 0; c < list.ColumnCount(); ++c)
    if (list.ColumnTag(c) == 5) sizeColumn = c;
  // Median time of re-sorts by alternating columns.
  const auto resort = [&] {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
      QElapsedTimer t;
      t.start();
      emit list.ColumnClick(i % 2 ? 0 : sizeColumn);
      QCoreApplication::processEvents();
      times.push_back(t.nsecsElapsed() / 1e6);
    }
    return Median(times);
  };
  const double sorting = resort();
  // The same with every row selected: the selection is remembered and restored by path.
  list.SelectAll();
  const double sortingAll = resort();
  std::printf("rows %d\nlisting_ms %.1f\nresort_ms %.1f\nresort_all_selected_ms %.1f (%d selected)\nmemory_mb %.1f\n",
              list.ItemsCount(), Median(listing), sorting, sortingAll, list.SelectedCount(),
              (listedKb - baseKb) / 1024.0);
  return 0;
}
