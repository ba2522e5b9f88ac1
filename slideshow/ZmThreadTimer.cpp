#include "slideshow/ZmThreadTimer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

// The worker keeps its own copy of the settings, under its mutex; the timer pushes every change.
class TZmThreadTimerThread : public TThread {
 public:
  explicit TZmThreadTimerThread(TZmThreadTimer* timer) : Timer(timer) {}
  ~TZmThreadTimerThread() override {
    Stop();
    WaitFor();
  }

  void SetEnabled(bool enabled) { Change([&] { Enabled_ = enabled; }); }
  void SetInterval(uint32_t ms) { Change([&] { Interval_ = ms; }); }
  void SetPriority(TThreadPriority priority) { Change([&] { Wanted_ = priority; }); }
  void Stop() { Change([&] { Terminate(); }); }

  // User-interface thread only: null once the timer is being destroyed.
  TZmThreadTimer* Timer;

 protected:
  void Execute() override {
    TThreadPriority applied = Priority;
    std::unique_lock lock(Mutex_);
    while (!Terminated()) {
      if (!Enabled_) {
        Changed_.wait(lock, [&] { return Enabled_ || Terminated(); });
        continue;
      }
      if (Wanted_ != applied) SetCallerThreadPriority(applied = Wanted_);
      // A pause abandons the sleep, so that enabling again always waits a whole Interval.
      const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(Interval_);
      if (Changed_.wait_until(lock, due, [&] { return !Enabled_ || Terminated(); })) continue;
      lock.unlock();
      // Waiting for the tick to be handled is what keeps ticks from piling up.
      Synchronize([this] {
        if (Timer) Timer->Tick();
      });
      lock.lock();
    }
  }

 private:
  template <class F>
  void Change(F f) {
    {
      std::lock_guard lock(Mutex_);
      f();
    }
    Changed_.notify_all();
  }

  std::mutex Mutex_;
  std::condition_variable Changed_;
  bool Enabled_ = true;
  uint32_t Interval_ = 1000;
  TThreadPriority Wanted_ = TThreadPriority::tpNormal;
};

uint32_t SystemTickCount() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TZmThreadTimer::TZmThreadTimer(TTickSource tickSource)
    : Worker_(std::make_unique<TZmThreadTimerThread>(this)), TickSource_(std::move(tickSource)) {
  LastTickCount_ = TickSource_();
  Worker_->Start();
}

TZmThreadTimer::~TZmThreadTimer() {
  Worker_->Timer = nullptr;  // whatever the worker has queued no longer reaches this timer
  Worker_->Stop();
  if (DestroyedInTick_) {
    // The worker waits for the very tick we are in: it cannot be waited for here. It ends once
    // the tick returns and then frees itself.
    *DestroyedInTick_ = true;
    Worker_.release()->FreeOnTerminate = true;
  }
}

void TZmThreadTimer::SetEnabled(bool enabled) {
  if (enabled == Enabled_) return;
  Enabled_ = enabled;
  if (enabled) LastTickCount_ = TickSource_() - Interval_;
  Worker_->SetEnabled(enabled);
}

void TZmThreadTimer::SetInterval(uint32_t ms) {
  if (ms == Interval_) return;
  Interval_ = ms;
  Worker_->SetInterval(ms);
}

void TZmThreadTimer::SetPriority(TThreadPriority priority) {
  Priority_ = priority;
  Worker_->SetPriority(priority);
}

void TZmThreadTimer::DoTimer() {
  if (!OnTimer) return;
  const std::function<void(TZmThreadTimer&)> handler = OnTimer;  // it may replace itself
  handler(*this);
}

void TZmThreadTimer::Tick() {
  // Disabled after the worker woke up: the tick is dropped, not delivered late.
  if (!Enabled_) return;
  const uint32_t now = TickSource_();
  LagTickCount_ = now - LastTickCount_;  // modulo 2^32: right across the counter's wrap
  LastTickCount_ = now;
  bool destroyed = false;
  DestroyedInTick_ = &destroyed;
  DoTimer();
  if (destroyed) return;
  DestroyedInTick_ = nullptr;
}
