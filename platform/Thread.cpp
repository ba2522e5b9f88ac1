#include "platform/Thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <deque>

namespace {

// One queue of synchronized calls for the process. A call is a function and a flag the worker
// waits on; the user-interface thread runs the function and raises the flag.
struct TSyncCall {
  const std::function<void()>* Fn = nullptr;
  bool Done = false;
  bool Async = false;  // queued without waiting (the deletion of a self-freeing worker)
  std::function<void()> Owned;
};

struct TSyncQueue {
  std::mutex Mutex;
  std::condition_variable Arrived;   // a call was queued, or a worker finished
  std::condition_variable Finished;  // a call was run
  std::deque<TSyncCall*> Calls;
  std::function<void()> Wakeup;
};

// Never destroyed: a self-freeing worker may still queue its deletion while the process exits.
TSyncQueue& Queue() {
  static TSyncQueue* q = new TSyncQueue;
  return *q;
}

std::thread::id& MainThreadId() {
  static std::thread::id id = std::this_thread::get_id();
  return id;
}
// Make sure the id is taken during static initialisation, on the thread that starts the program.
[[maybe_unused]] const bool MainThreadIdTaken = (MainThreadId(), true);

void Enqueue(TSyncCall* call) {
  std::function<void()> wakeup;
  {
    std::lock_guard lock(Queue().Mutex);
    Queue().Calls.push_back(call);
    wakeup = Queue().Wakeup;
  }
  Queue().Arrived.notify_all();
  if (wakeup) wakeup();
}

void NotifyArrived() {
  { std::lock_guard lock(Queue().Mutex); }
  Queue().Arrived.notify_all();
}

}  // namespace

// Priorities below normal map to nice values of the calling kernel thread; raising one would need
// privileges, so the higher ones run at normal priority. Failures (no right to raise a thread back
// to normal) leave the thread as it was.
void SetCallerThreadPriority(TThreadPriority p) {
  sched_param param{};
  if (p == TThreadPriority::tpIdle) {
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
    return;
  }
  int policy = SCHED_OTHER;
  if (pthread_getschedparam(pthread_self(), &policy, &param) == 0 && policy == SCHED_IDLE) {
    param = sched_param{};
    pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
  }
  int nice = 0;
  if (p == TThreadPriority::tpLowest) nice = 10;
  if (p == TThreadPriority::tpLower) nice = 5;
  setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), nice);
}

bool IsMainThread() { return std::this_thread::get_id() == MainThreadId(); }
void SetMainThread() { MainThreadId() = std::this_thread::get_id(); }

void SetSynchronizeWakeup(std::function<void()> wakeup) {
  std::lock_guard lock(Queue().Mutex);
  Queue().Wakeup = std::move(wakeup);
}

bool CheckSynchronize(int timeoutMs) {
  TSyncQueue& q = Queue();
  std::unique_lock lock(q.Mutex);
  if (q.Calls.empty() && timeoutMs > 0)
    q.Arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !q.Calls.empty(); });
  bool ran = false;
  while (!q.Calls.empty()) {
    TSyncCall* call = q.Calls.front();
    q.Calls.pop_front();
    lock.unlock();
    ran = true;
    if (call->Async) {
      call->Owned();
      delete call;
      lock.lock();
      continue;
    }
    (*call->Fn)();
    lock.lock();
    // The call lives on the worker's stack; once Done is set the worker may return and free it.
    // Wake it now, not after the round: a later call of this round may wait for that worker.
    call->Done = true;
    q.Finished.notify_all();
  }
  return ran;
}

TThread::TThread() = default;

TThread::~TThread() {
  if (Started_ && !Joined_) {
    Terminate();
    if (!Finished()) WaitFor();
    if (Thread_.joinable()) Thread_.join();
  }
}

void TThread::Start() {
  if (Started_) return;
  Started_ = true;
  Thread_ = std::thread([this] { Run(); });
}

void TThread::Run() {
  // A new thread already runs at normal priority.
  if (Priority < TThreadPriority::tpNormal) SetCallerThreadPriority(Priority);
  try {
    Execute();
  } catch (...) {
    // A worker's failure ends it like a normal return; nothing escapes the thread.
  }
  // The end step always passes through the user-interface thread, even without an end event, so
  // that the FreeOnTerminate read below is ordered after every write the owner made to it.
  Synchronize([this] {
    if (OnTerminate) OnTerminate(this);
  });
  if (FreeOnTerminate) {
    auto* call = new TSyncCall;
    call->Async = true;
    call->Owned = [this] {
      if (Thread_.joinable()) Thread_.join();
      Joined_ = true;
      delete this;
    };
    Finished_.store(true, std::memory_order_release);
    Enqueue(call);  // the object may be gone once this returns
    return;
  }
  Finished_.store(true, std::memory_order_release);
  NotifyArrived();
}

void TThread::Synchronize(const std::function<void()>& fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  TSyncCall call;
  call.Fn = &fn;
  Enqueue(&call);
  std::unique_lock lock(Queue().Mutex);
  Queue().Finished.wait(lock, [&] { return call.Done; });
}

void TThread::WaitFor() {
  if (!Started_) return;
  if (IsMainThread()) {
    TSyncQueue& q = Queue();
    while (!Finished()) {
      CheckSynchronize();
      std::unique_lock lock(q.Mutex);
      q.Arrived.wait_for(lock, std::chrono::milliseconds(50), [&] { return !q.Calls.empty() || Finished(); });
    }
  }
  if (Thread_.joinable()) Thread_.join();
  Joined_ = true;
}
