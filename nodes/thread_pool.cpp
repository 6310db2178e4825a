// SPDX-License-Identifier: GPL-2.0-or-later
// Helper threads kept waiting between jobs. The pool is made on first use
// and never destroyed: its threads wait on its lock until the process ends,
// so no destructor may run under them.
#include "nodes/thread_pool.h"

#include <condition_variable>
#include <system_error>
#include <thread>

#include "nodes/brief_lock.h"

static const int32_t MostHelpers = 7;

// Its lock is taken at once, without the brief spin: the threads meet on it
// only at the start and the end of a job, where they wake from sleep anyway.
struct HelperPool {
  Mutex lock;
  std::condition_variable wake;
  std::condition_variable done;
  int32_t started GUARDED_BY(lock) = 0;
  // The current job. It stays open to helpers until the calling thread has
  // finished its own share: a helper that wakes later has nothing left to
  // do and does not take it.
  void (*job)(void*) GUARDED_BY(lock) = nullptr;
  void* data GUARDED_BY(lock) = nullptr;
  bool open GUARDED_BY(lock) = false;
  int32_t wanted GUARDED_BY(lock) = 0;
  int32_t taken GUARDED_BY(lock) = 0;
  int32_t running GUARDED_BY(lock) = 0;
  int64_t round GUARDED_BY(lock) = 0;
};

static HelperPool* pool = nullptr;

static void ServeJobs() {
  int64_t seen = 0;
  Hold hold(pool->lock, AtOnce);
  for (;;) {
    while (pool->round == seen) hold.Wait(pool->wake);
    seen = pool->round;
    if (!pool->open || pool->taken >= pool->wanted) continue;
    pool->taken++;
    pool->running++;
    void (*job)(void*) = pool->job;
    void* data = pool->data;
    hold.Unlock();
    job(data);
    hold.Lock();
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
    Hold hold(pool->lock, AtOnce);
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
  Hold hold(pool->lock, AtOnce);
  pool->open = false;
  while (pool->running != 0) hold.Wait(pool->done);
}

int32_t CountCores() {
  static const int32_t cores = static_cast<int32_t>(std::thread::hardware_concurrency());
  return cores;
}
