// SPDX-License-Identifier: GPL-2.0-or-later
// Helper threads kept waiting between jobs. The pool is made on first use
// and never destroyed: its threads wait on its lock until the process ends,
// so no destructor may run under them.
#include "nodes/thread_pool.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

static const int32_t MostHelpers = 7;

struct HelperPool {
  std::mutex lock;
  std::condition_variable wake;
  std::condition_variable done;
  int32_t started = 0;
  // The current job. It stays open to helpers until the calling thread has
  // finished its own share: a helper that wakes later has nothing left to
  // do and does not take it.
  void (*job)(void*) = nullptr;
  void* data = nullptr;
  bool open = false;
  int32_t wanted = 0;
  int32_t taken = 0;
  int32_t running = 0;
  int64_t round = 0;
};

static HelperPool* pool = nullptr;

static void ServeJobs() {
  int64_t seen = 0;
  std::unique_lock<std::mutex> hold(pool->lock);
  for (;;) {
    pool->wake.wait(hold, [&] { return pool->round != seen; });
    seen = pool->round;
    if (!pool->open || pool->taken >= pool->wanted) continue;
    pool->taken++;
    pool->running++;
    void (*job)(void*) = pool->job;
    void* data = pool->data;
    hold.unlock();
    job(data);
    hold.lock();
    if (--pool->running == 0) pool->done.notify_one();
  }
}

void RunWithHelpers(void (*job)(void*), void* data, int32_t helpers) {
  if (helpers > MostHelpers) helpers = MostHelpers;
  if (helpers <= 0) {
    job(data);
    return;
  }
  if (pool == nullptr) pool = new HelperPool;
  {
    std::lock_guard<std::mutex> hold(pool->lock);
    while (pool->started < helpers) {
      try {
        std::thread(ServeJobs).detach();
      } catch (const std::system_error&) {
        break;
      }
      pool->started++;
    }
    pool->job = job;
    pool->data = data;
    pool->open = true;
    pool->wanted = helpers;
    pool->taken = 0;
    pool->running = 0;
    pool->round++;
  }
  pool->wake.notify_all();
  job(data);
  std::unique_lock<std::mutex> hold(pool->lock);
  pool->open = false;
  pool->done.wait(hold, [] { return pool->running == 0; });
}

int32_t CountCores() {
  static const int32_t cores = static_cast<int32_t>(std::thread::hardware_concurrency());
  return cores;
}
