#include "platform/WorkerSlot.h"

#include <algorithm>
#include <utility>

TWorkerSlot::~TWorkerSlot() {
  DeferredStart_ = nullptr;
  Stop();
  for (TEnded& e : Ended_) e.Worker->WaitFor();
}

void TWorkerSlot::Start(std::unique_ptr<TThread> worker, std::function<void(TThread&)> ended) {
  FreeEnded();
  TThread* w = worker.get();
  w->OnTerminate = [this, ended = std::move(ended)](TThread* t) { WorkerEnded(*t, ended); };
  RunningOwned_ = std::move(worker);
  Running_ = w;
  w->Start();
}

bool TWorkerSlot::DeferStart(std::function<void()> start) {
  if (!InWorkerCall_ || !Running_) return false;
  Running_->Terminate();
  DeferredStart_ = std::move(start);
  return true;
}

void TWorkerSlot::Stop() {
  if (TThread* worker = Running_) {
    worker->Terminate();
    if (InWorkerCall_) {
      // The worker waits for the call we are in; waiting for it here would never end.
      DeferredStart_ = nullptr;
      return;
    }
    worker->WaitFor();  // serves its remaining calls and its end event meanwhile
  }
  FreeEnded();
}

void TWorkerSlot::Raise(const std::function<void()>& event) {
  if (!event) return;
  // A copy, so that a handler may replace the event it runs from.
  const std::function<void()> handler = event;
  ++InWorkerCall_;
  try {
    handler();
  } catch (...) {
    --InWorkerCall_;
    throw;
  }
  --InWorkerCall_;
}

void TWorkerSlot::WorkerEnded(TThread& worker, const std::function<void(TThread&)>& ended) {
  // Forget the worker first: a handler that starts the next job must not meet it.
  if (Running_ == &worker) {
    Running_ = nullptr;
    Ended_.push_back({std::move(RunningOwned_), true});
  }
  const std::function<void()> deferred = std::exchange(DeferredStart_, nullptr);
  const std::function<void(TThread&)> handler = ended;  // the owner may replace it meanwhile
  if (handler) handler(worker);
  if (deferred) deferred();
  // Handlers may have added ended workers meanwhile: find this one again by address.
  for (TEnded& e : Ended_)
    if (e.Worker.get() == &worker) e.InEndEvent = false;
}

void TWorkerSlot::FreeEnded() {
  for (size_t i = 0; i < Ended_.size();) {
    if (Ended_[i].InEndEvent) {
      ++i;
      continue;
    }
    std::unique_ptr<TThread> worker = std::move(Ended_[i].Worker);
    Ended_.erase(Ended_.begin() + std::ptrdiff_t(i));
    worker->WaitFor();  // it has only to return from its thread
  }
}
