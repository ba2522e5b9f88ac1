// TZmThreadJpegChecker: checks every file of a file list for JPEG damage on a worker thread
// (TZmJpegCheckThread) and stores each file's analysis in its record (TZmFileInfo::JpegInfo).
// Nothing is decoded, repaired or written.
//
// Thread rules: every member is used on the user-interface thread. The worker only reads the
// records' folder and name; it hands the results over in synchronized steps, where they are
// stored in the records and ErrorCount, Progress and Running change. So the user-interface thread
// may read the records and their results at any time, even while a check runs.
//
// The records of the list must stay alive until the check has ended (OnTerminate has run or Stop
// has returned): stop the check before the list is scanned again. Sorting or filtering the list
// meanwhile is harmless: the check works through the records in the order it found them at Start.
//
// The events run on the user-interface thread. OnProgress comes after the first file, then at
// most once per ProgressInterval, and after the last file; each one covers every result stored
// since the one before. Start and Stop may be called from inside any event. Never destroy the
// checker from inside one of its events.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Thread.h"
#include "platform/WorkerSlot.h"

class TZmFileInfos;
class TZmJpegCheckThread;
class TZmJpegInfo;

class TZmThreadJpegChecker {
 public:
  TZmThreadJpegChecker();
  // Stops a running check without raising its events, and waits until its worker has gone.
  ~TZmThreadJpegChecker();
  TZmThreadJpegChecker(const TZmThreadJpegChecker&) = delete;
  TZmThreadJpegChecker& operator=(const TZmThreadJpegChecker&) = delete;

  // Stops a running check, then checks the visible list of FileInfos (none without FileInfos)
  // on a worker at the list's priority. Returns at once; the check ends with one OnTerminate.
  // Called from inside OnProgress or OnStartExecute, the new check begins as soon as the running
  // one has ended.
  void Start();
  // Ends a running check after the file being analysed: the results so far are stored and
  // OnTerminate has run when Stop returns. Does nothing when no check runs. Called from inside
  // OnProgress or OnStartExecute it cannot wait for the worker (which waits for that handler): it
  // only asks the worker to stop, and the end follows as soon as the handler has returned.
  void Stop();

  bool Running() const { return Running_; }
  // Files of the current or last check whose result code is above 1; -1 before the first check.
  int32_t ErrorCount() const { return ErrorCount_; }
  // Share of the records whose results are stored, 0 at the start and 1 after the last file.
  float Progress() const { return Progress_; }

  TZmFileInfos* FileInfos = nullptr;  // the list to check; not owned
  std::function<void()> OnStartExecute;  // the worker has begun
  std::function<void()> OnProgress;      // results were stored (see above)
  std::function<void()> OnTerminate;     // the check has ended; Running is false
  // Minimum time between two progress steps. Each step waits for the user-interface thread, so
  // one per file would cost more than the analysis of a small file; zero gives one per file.
  std::chrono::milliseconds ProgressInterval{50};
  // The analysis of one file, AnalyzeJpegFile unless replaced (tests). Read by Start. An exception
  // it throws (a read failure after the file was opened) makes the file's result code 3.
  std::function<void(const std::string& fileName, TZmJpegInfo& info)> Analyzer;

 private:
  void Deliver(TZmJpegCheckThread& worker, bool raiseProgress);
  void WorkerEnded(TZmJpegCheckThread& worker);

  int32_t ErrorCount_ = -1;
  bool Running_ = false;
  float Progress_ = 0;
  TWorkerSlot Workers_;

  friend class TZmJpegCheckThread;
};
