#include "slideshow/ZmThreadTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Serves the worker's ticks on this (the user-interface) thread until `done` holds.
template <class F>
bool ServeUntil(F done) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    CheckSynchronize(10);
  }
  return true;
}

// Serves whatever arrives for a while; a timer that should be silent must stay so meanwhile.
void ServeForAWhile() {
  for (int i = 0; i < 10; ++i) CheckSynchronize(10);
}

// A timer that starts paused with a short interval, as the slideshow window sets it up.
std::unique_ptr<TZmThreadTimer> PausedTimer(uint32_t interval, TTickSource source = SystemTickCount) {
  auto timer = std::make_unique<TZmThreadTimer>(std::move(source));
  timer->SetEnabled(false);
  timer->SetInterval(interval);
  return timer;
}

TEST(ZmThreadTimer, TicksOnTheCallingThreadOnlyWhileEnabled) {
  auto timer = PausedTimer(2);
  timer->SetPriority(TThreadPriority::tpIdle);
  int ticks = 0;
  bool allOnMain = true;
  std::vector<uint32_t> lags;
  timer->OnTimer = [&](TZmThreadTimer& t) {
    ++ticks;
    allOnMain = allOnMain && IsMainThread();
    lags.push_back(t.LagTickCount());
    if (ticks == 2) {
      // Changes from inside the handler: the next sleep is longer, and a pause and resume
      // within one tick leave the timer running.
      t.SetInterval(5);
      t.SetEnabled(false);
      t.SetEnabled(true);
    }
    if (ticks == 4) t.SetEnabled(false);
  };
  ServeForAWhile();
  EXPECT_EQ(ticks, 0);

  timer->SetEnabled(true);
  ASSERT_TRUE(ServeUntil([&] { return ticks == 4; }));
  ServeForAWhile();
  EXPECT_EQ(ticks, 4);  // disabled from inside its fourth tick
  EXPECT_TRUE(allOnMain);
  ASSERT_EQ(lags.size(), 4u);
  EXPECT_GE(lags[0], 2u);
  EXPECT_GE(lags[3], 5u);

  // Enabling again resumes, the first lag counting at least one interval.
  timer->SetEnabled(true);
  ASSERT_TRUE(ServeUntil([&] { return ticks == 5; }));
  EXPECT_GE(lags[4], 5u);
}

TEST(ZmThreadTimer, LagIsTakenModulo32Bits) {
  // A counter just short of its wrap, moved on by 7 ms at each tick.
  uint32_t clock = 0xFFFFFFF5u;
  auto timer = PausedTimer(1, [&] { return clock; });
  std::vector<uint32_t> lags;
  timer->OnTimer = [&](TZmThreadTimer& t) {
    lags.push_back(t.LagTickCount());
    clock += 7;
    t.SetEnabled(true);  // already enabled: must not restart the lag measurement
    if (lags.size() == 4) t.SetEnabled(false);
  };
  timer->SetEnabled(true);  // the previous tick counts as one interval ago
  ASSERT_TRUE(ServeUntil([&] { return lags.size() == 4; }));
  EXPECT_EQ(lags, (std::vector<uint32_t>{1, 7, 7, 7}));
}

TEST(ZmThreadTimer, LateTicksAreNotCaughtUp) {
  auto timer = PausedTimer(5);
  std::vector<uint32_t> lags;
  timer->OnTimer = [&](TZmThreadTimer& t) {
    lags.push_back(t.LagTickCount());
    if (lags.size() == 1) std::this_thread::sleep_for(100ms);  // a slow handler
  };
  timer->SetEnabled(true);
  bool busy = false;
  ASSERT_TRUE(ServeUntil([&] {
    if (lags.size() == 2 && !busy) {
      busy = true;
      std::this_thread::sleep_for(100ms);  // the user-interface thread busy elsewhere
    }
    return lags.size() == 8;
  }));
  // The lag reports the time really spent, and no tick follows early to make up for it.
  EXPECT_GE(lags[1], 105u);
  EXPECT_GE(lags[2], 100u);
  for (uint32_t lag : lags) EXPECT_GE(lag, 5u);
}

TEST(ZmThreadTimer, NoTickOnceDestructionHasBegun) {
  int ticks = 0;
  {
    auto timer = PausedTimer(1);
    timer->OnTimer = [&](TZmThreadTimer&) { ++ticks; };
    timer->SetEnabled(true);
    ASSERT_TRUE(ServeUntil([&] { return ticks == 1; }));
    // Not served for a while, so that the next tick is queued when the timer goes.
    std::this_thread::sleep_for(20ms);
    const int before = ticks;
    timer.reset();
    EXPECT_EQ(ticks, before);
  }
  {
    auto paused = PausedTimer(1);
    paused->OnTimer = [&](TZmThreadTimer&) { ++ticks; };
  }
  // Destroyed from inside its own handler: the worker ends by itself after the tick.
  auto timer = PausedTimer(1);
  timer->OnTimer = [&](TZmThreadTimer&) {
    ++ticks;
    timer.reset();
  };
  const int before = ticks;
  timer->SetEnabled(true);
  ASSERT_TRUE(ServeUntil([&] { return !timer; }));
  while (CheckSynchronize(300)) {
  }
  EXPECT_EQ(ticks, before + 1);
}

}  // namespace
