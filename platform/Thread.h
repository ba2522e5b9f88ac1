// TThread: the worker thread facility every worker of the program uses.
//
// A worker overrides Execute and checks Terminated() regularly. Results reach the user-interface
// thread through Synchronize(fn): the worker queues fn and blocks until the user-interface thread
// has run it inside CheckSynchronize(). Stopping a worker from the user-interface thread with
// Terminate() + WaitFor() keeps serving those calls while it waits, so the two never block each
// other. The end event OnTerminate runs on the user-interface thread after Execute has returned.
//
// Thread rules: construct, Start, Terminate, WaitFor, set FreeOnTerminate/OnTerminate and destroy
// on the user-interface thread; Execute and Synchronize on the worker. A worker with
// FreeOnTerminate is deleted on the user-interface thread after its end event. An owner may take
// it over (FreeOnTerminate := false) any time before its end event has run, never after: the
// owner learns of the end event through OnTerminate and must forget the worker there.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread {
 public:
  // The worker starts running only at Start() (Delphi's "create suspended").
  TThread();
  // Terminates and waits for a worker that is still running. By then the derived part is gone,
  // so a worker whose Execute uses its own members must stop in its own destructor (or its owner
  // must stop it before deleting it); this is only the last safety net.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Start();
  // Asks the worker to stop; Execute sees it through Terminated().
  void Terminate() { Terminated_.store(true, std::memory_order_relaxed); }
  // Waits until Execute has returned and the end event has run. On the user-interface thread the
  // queued synchronized calls keep running meanwhile.
  void WaitFor();
  bool Finished() const { return Finished_.load(std::memory_order_acquire); }
  bool Started() const { return Started_; }

  TThreadPriority Priority = TThreadPriority::tpNormal;  // applied by Start
  bool FreeOnTerminate = false;
  std::function<void(TThread*)> OnTerminate;

 protected:
  virtual void Execute() = 0;
  bool Terminated() const { return Terminated_.load(std::memory_order_relaxed); }
  // Runs fn on the user-interface thread and waits for it (runs it at once when called there).
  void Synchronize(const std::function<void()>& fn);

 private:
  void Run();

  std::thread Thread_;
  std::atomic<bool> Terminated_{false};
  std::atomic<bool> Finished_{false};  // Execute returned and the end event has run
  bool Started_ = false;
  bool Joined_ = false;
};

// Runs the queued synchronized calls on the user-interface thread; with a timeout, first waits up
// to that many milliseconds for one to arrive. Returns true when at least one call ran.
bool CheckSynchronize(int timeoutMs = 0);
// Called (from any thread) whenever a synchronized call is queued, so that the user interface can
// wake its event loop; the Qt layer installs a posted-event wake-up here.
void SetSynchronizeWakeup(std::function<void()> wakeup);
// Sets the scheduling priority of the calling thread.
void SetCallerThreadPriority(TThreadPriority p);
// The user-interface thread is the one that started the program, unless set otherwise.
bool IsMainThread();
void SetMainThread();
