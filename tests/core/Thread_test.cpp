#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <utility>

namespace {

using namespace std::chrono_literals;

// A worker that hands `Steps` values to the user-interface thread, one synchronized call each.
class TCounter : public TThread {
 public:
  explicit TCounter(int steps, std::atomic<int>* destroyed = nullptr) : Steps(steps), Destroyed(destroyed) {}
  ~TCounter() override {
    // Execute uses this object's members: stop before they go.
    Terminate();
    WaitFor();
    if (Destroyed) ++*Destroyed;
  }
  int Steps;
  std::atomic<int>* Destroyed;
  std::vector<int> Seen;          // written on the user-interface thread only
  std::vector<bool> OnMainThread;  // where each call ran

 protected:
  void Execute() override {
    for (int i = 0; i < Steps && !Terminated(); ++i) {
      Synchronize([&] {
        Seen.push_back(i);
        OnMainThread.push_back(IsMainThread());
      });
    }
  }
};

TEST(Thread, SynchronizedCallsRunOnTheMainThreadInOrder) {
  TCounter worker(20);
  int ended = 0;
  bool endedOnMain = false;
  worker.OnTerminate = [&](TThread*) {
    ++ended;
    endedOnMain = IsMainThread();
  };
  worker.Start();
  while (!worker.Finished()) CheckSynchronize(10);
  worker.WaitFor();
  ASSERT_EQ(worker.Seen.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(worker.Seen[size_t(i)], i);
  for (bool b : worker.OnMainThread) EXPECT_TRUE(b);
  EXPECT_EQ(ended, 1);
  EXPECT_TRUE(endedOnMain);
}

TEST(Thread, WaitForKeepsServingSynchronizedCalls) {
  // Without serving the queue while waiting, this would deadlock: the worker blocks in
  // Synchronize and the main thread blocks in WaitFor.
  TCounter worker(1000);
  worker.Start();
  worker.Terminate();
  worker.WaitFor();
  EXPECT_LT(worker.Seen.size(), 1000u);
  EXPECT_TRUE(worker.Finished());
}

// A worker that makes one synchronized call.
class TCaller : public TThread {
 public:
  explicit TCaller(std::function<void()> fn) : Fn(std::move(fn)) {}
  ~TCaller() override { WaitFor(); }
  std::function<void()> Fn;

 protected:
  void Execute() override { Synchronize(Fn); }
};

TEST(Thread, ACallMayWaitForAWorkerWhoseEndRanEarlierInTheSameRound) {
  // The second call waits for the first worker, whose end step has run but which must also be
  // told so before the round of calls is over, or it never returns.
  std::atomic<int> queued{0};
  SetSynchronizeWakeup([&] { ++queued; });
  TCounter first(0);
  TCaller second([&] { first.WaitFor(); });
  first.Start();
  while (queued < 1) std::this_thread::yield();
  second.Start();
  while (queued < 2) std::this_thread::yield();
  CheckSynchronize();
  SetSynchronizeWakeup(nullptr);
  second.WaitFor();
  EXPECT_TRUE(first.Finished());
}

TEST(Thread, SelfFreeingWorkerIsDeletedAfterItsEndEvent) {
  std::atomic<int> destroyed{0};
  auto* worker = new TCounter(3, &destroyed);
  worker->FreeOnTerminate = true;
  bool ended = false;
  worker->OnTerminate = [&](TThread*) {
    ended = true;
    EXPECT_EQ(destroyed.load(), 0);  // still alive during its end event
  };
  worker->Start();
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (destroyed == 0 && std::chrono::steady_clock::now() < deadline) CheckSynchronize(10);
  EXPECT_TRUE(ended);
  EXPECT_EQ(destroyed.load(), 1);
}

class TThrower : public TThread {
 protected:
  void Execute() override { throw std::runtime_error("worker failed"); }
};

TEST(Thread, AFailingWorkerEndsNormally) {
  TThrower worker;
  bool ended = false;
  worker.OnTerminate = [&](TThread*) { ended = true; };
  worker.Start();
  worker.WaitFor();
  EXPECT_TRUE(ended);
}

TEST(Thread, DestroyingARunningWorkerStopsIt) {
  auto worker = std::make_unique<TCounter>(1000000);
  worker->Start();
  CheckSynchronize(5);
  worker.reset();  // terminates and waits, serving its calls
  SUCCEED();
}

}  // namespace
