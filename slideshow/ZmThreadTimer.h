// TZmThreadTimer: a timer whose ticks come from a worker thread and are delivered on the
// user-interface thread, each with the milliseconds that really passed since the previous one
// (LagTickCount), so that a handler can scale its work to the elapsed time.
//
// The worker sleeps Interval, then hands one tick to the user-interface thread and waits until it
// has been handled. A late tick therefore never causes a burst of catching-up ticks: the real
// period is Interval plus the time the user-interface thread needs to reach the tick. While
// disabled the worker waits on a condition variable; enabling it starts a fresh sleep.
//
// User-interface thread only. A tick reaches the timer only while it is enabled and alive: a tick
// whose handler has begun completes, but none starts after Enabled := false or once destruction
// has begun. The timer may be destroyed from inside its own OnTimer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Thread.h"

class TZmThreadTimerThread;

// A millisecond counter that wraps at 2^32; differences are taken modulo 2^32.
using TTickSource = std::function<uint32_t()>;
// Milliseconds of the system's monotonic clock, truncated to 32 bits.
uint32_t SystemTickCount();

class TZmThreadTimer {
 public:
  // Starts enabled, with an Interval of 1000 ms at normal priority.
  explicit TZmThreadTimer(TTickSource tickSource = SystemTickCount);
  virtual ~TZmThreadTimer();
  TZmThreadTimer(const TZmThreadTimer&) = delete;
  TZmThreadTimer& operator=(const TZmThreadTimer&) = delete;

  bool Enabled() const { return Enabled_; }
  // Enabling restarts the lag measurement as if the previous tick was one Interval ago.
  void SetEnabled(bool enabled);
  // Milliseconds between ticks. A sleep in progress keeps its length; the next one uses this.
  uint32_t Interval() const { return Interval_; }
  void SetInterval(uint32_t ms);
  // Applied by the worker before its next sleep.
  TThreadPriority Priority() const { return Priority_; }
  void SetPriority(TThreadPriority priority);
  // Milliseconds between the previous tick and this one; set just before OnTimer.
  uint32_t LagTickCount() const { return LagTickCount_; }

  std::function<void(TZmThreadTimer&)> OnTimer;

 protected:
  virtual void DoTimer();

 private:
  void Tick();

  std::unique_ptr<TZmThreadTimerThread> Worker_;
  TTickSource TickSource_;
  bool Enabled_ = true;
  uint32_t Interval_ = 1000;
  TThreadPriority Priority_ = TThreadPriority::tpNormal;
  uint32_t LagTickCount_ = 0;
  uint32_t LastTickCount_ = 0;
  bool* DestroyedInTick_ = nullptr;  // set while OnTimer runs, so a destructor there can say so

  friend class TZmThreadTimerThread;
};
