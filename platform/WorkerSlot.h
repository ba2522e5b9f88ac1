// TWorkerSlot: owns the workers of one restartable job (a folder scan, a JPEG check, an image
// load): at most one runs at a time, ended ones are joined and freed, and none outlives the slot.
//
// A worker's end event is the job's one final step on the user-interface thread: the owner hands
// its result over there, so that once the job reports itself idle every end handler has run.
//
// Owners raise the events a running worker waits for (progress, results) through Raise, so the
// slot knows when Stop and Start cannot wait for the worker: the worker is blocked in that very
// call. Then Stop only asks the worker to stop, and Start is deferred until the end event.
//
// User-interface thread only. Never destroy the slot from inside one of its workers' events.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/Thread.h"

class TWorkerSlot {
 public:
  TWorkerSlot() = default;
  // Stops a running worker (its end event runs meanwhile) and joins every worker.
  ~TWorkerSlot();
  TWorkerSlot(const TWorkerSlot&) = delete;
  TWorkerSlot& operator=(const TWorkerSlot&) = delete;

  // Starts `worker` as the running one; there must be none (Stop first). `ended` runs as its end
  // event on the user-interface thread, after the slot has forgotten it, so it may start the next.
  void Start(std::unique_ptr<TThread> worker, std::function<void(TThread&)> ended);
  // Inside an event the running worker waits for, a new job cannot wait for the running one: this
  // asks it to stop, keeps `start` and runs it right after the running worker's end event, and
  // returns true. Elsewhere it returns false and the caller starts at once.
  bool DeferStart(std::function<void()> start);
  // Ends the running worker: asks it to stop and waits until its end event has run. Inside an
  // event it waits for, only asks (and drops a deferred start). Frees ended workers.
  void Stop();
  // Runs an event that the running worker waits for.
  void Raise(const std::function<void()>& event);

  TThread* Running() const { return Running_; }
  bool InWorkerCall() const { return InWorkerCall_ > 0; }

 private:
  struct TEnded {
    std::unique_ptr<TThread> Worker;
    bool InEndEvent = true;  // the worker waits for its end event to return: never wait for it then
  };
  void WorkerEnded(TThread& worker, const std::function<void(TThread&)>& ended);
  void FreeEnded();

  TThread* Running_ = nullptr;
  std::unique_ptr<TThread> RunningOwned_;
  std::vector<TEnded> Ended_;
  int InWorkerCall_ = 0;
  std::function<void()> DeferredStart_;
};
