// SPDX-License-Identifier: GPL-2.0-or-later
// Choices made ahead of the tree recursion on a helper thread: the lists
// to foresee, the verdicts, and the hand-over between the two threads.
#include "nodes/lookahead.h"

#include <immintrin.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "nodes/brief_lock.h"
#include "nodes/partition.h"
#include "nodes/score.h"
#include "nodes/scratch.h"
#include "nodes/thread_pool.h"

LookaheadModes LookaheadMode = LookaheadAuto;

// Shorter lists are left to the recursion: their choice takes less time
// than handing them over.
static const int32_t ForeseenListMinimum = 16;
// A shorter list is offered to a sleeping helper without waking it: waking
// a thread costs the recursion about as much as the choice on such a list
// (up to a tenth of a millisecond measured on a virtual machine), and the
// recursion often reaches the list before the helper is up. The helper
// takes it if it wakes for a longer one first.
static const int32_t WakingListMinimum = 256;

enum OutlookState : uint8_t {
  Open,        // nobody has taken the list on
  Claimed,     // the recursion makes the verdict itself
  Foreseeing,  // the helper is at work on it
  Known,       // the helper's verdict is there
};

struct Outlook {
  OutlookState state;
  bool needsPartition;
  int32_t partition;
  Outlook* front;  // the children's outlooks, once the list is divided
  Outlook* back;
};

namespace {

const int32_t BlockOutlooks = 1000;
// How long the waiting recursion sleeps before it looks again for a choice
// to join.
const std::chrono::microseconds JoinRetry(50);
// How long it first waits awake, in pause instructions.
const int32_t WaitSpins = 2000;

// Outlooks live in blocks until the tree is finished.
struct OutlookBlock {
  OutlookBlock* next;
  int32_t used;
  Outlook outlooks[BlockOutlooks];
};

// A list to foresee: one the recursion offered, which stays the
// recursion's, or a foreseen copy, which the helper frees.
struct Task {
  SegList list;
  Outlook* outlook;
  bool foreseenCopy;
};

// Grown with the C library, as nothing on the helper's side may end the
// run: a task that finds no room is dropped, and its list is then not
// foreseen.
struct TaskStack {
  Task* entries;
  int32_t first;  // offers are taken from the bottom, the oldest first
  int32_t count;
  int32_t capacity;
};

struct Lookahead {
  std::mutex lock;
  std::condition_variable work;     // a task for the helper
  std::condition_variable verdict;  // a verdict the recursion waits for, or the helper idle
  bool threaded;                    // the helper thread serves this tree
  bool open;                        // a tree is being built
  bool helperBusy;
  bool helperSleeps;  // waits on `work`: an offer of a long list wakes it
  bool recursionWaits;
  // The tree is done and no other has begun: the helper thread ends. A
  // thread asleep when the process exits delays the exit until its core
  // wakes, which cost up to a fifth of a millisecond a run here.
  bool helperRetires;
  std::atomic<int64_t> offers{0};    // lists offered so far
  std::atomic<int64_t> verdicts{0};  // verdicts published or given up
  TaskStack foreseen;                // the helper's own lists, a front child on top
  TaskStack offered;                 // lists waiting on the recursion's stack
  OutlookBlock* blocks;
};

// Made on first use and never destroyed: a helper may still wait on it
// when the process ends.
Lookahead* state = nullptr;
bool helperStarted = false;  // under the lock: a helper thread runs

// Under the lock; null when memory runs out, and that list is then not
// foreseen.
Outlook* NewOutlook() {
  OutlookBlock* block = state->blocks;
  if (block == nullptr || block->used == BlockOutlooks) {
    OutlookBlock* fresh =
        static_cast<OutlookBlock*>(AllocFallible(FallibleOutlook, sizeof(OutlookBlock), false));
    if (fresh == nullptr) return nullptr;
    fresh->next = block;
    fresh->used = 0;
    state->blocks = block = fresh;
  }
  Outlook* outlook = &block->outlooks[block->used++];
  *outlook = Outlook{Open, false, 0, nullptr, nullptr};
  return outlook;
}

void DropTask(Task* task) {
  if (task->foreseenCopy) ReleaseForeseenList(&task->list);
}

void PushTask(TaskStack* stack, Task task) {
  if (task.outlook == nullptr || task.list.count < ForeseenListMinimum) {
    DropTask(&task);
    return;
  }
  if (stack->count == stack->capacity) {
    int32_t capacity = stack->capacity * 2 + 16;
    void* entries = std::realloc(stack->entries, static_cast<size_t>(capacity) * sizeof(Task));
    if (entries == nullptr) {
      DropTask(&task);
      return;
    }
    stack->entries = static_cast<Task*>(entries);
    stack->capacity = capacity;
  }
  stack->entries[stack->count++] = task;
}

void DropTasks(TaskStack* stack) {
  for (int32_t i = stack->first; i < stack->count; i++) DropTask(&stack->entries[i]);
  stack->first = stack->count = 0;
}

bool HasTask() {
  return state->open && (state->foreseen.count > 0 || state->offered.first < state->offered.count);
}

// Under the lock: the next list nobody has taken on. The helper's own come
// first, the most recent on top: the recursion reaches them after all that
// it offered. Of the offered, the oldest is the one it reaches last.
bool TakeTask(Task* task) {
  if (!state->open) return false;
  while (state->foreseen.count > 0) {
    *task = state->foreseen.entries[--state->foreseen.count];
    if (task->outlook->state == Open) return true;
    DropTask(task);
  }
  while (state->offered.first < state->offered.count) {
    *task = state->offered.entries[state->offered.first++];
    if (task->outlook->state == Open) return true;
  }
  state->offered.first = state->offered.count = 0;
  return false;
}

struct Foresight {
  bool made;  // false when memory ran out
  bool needsPartition;
  int32_t partition;
  bool divided;
  SegList front, back;
};

// What the recursion would decide for the list.
Foresight DecideList(SegList list) {
  Foresight sight = {false, NeedsPartition(list), 0, false, {nullptr, 0}, {nullptr, 0}};
  if (sight.needsPartition) {
    sight.partition = ChoosePartitionAhead(list);
    if (sight.partition == ChoiceOutOfMemory) return sight;
  }
  sight.made = true;
  return sight;
}

// Under the lock: the verdict goes to the outlook, whose children get
// outlooks of their own.
void PublishVerdict(Outlook* outlook, const Foresight& sight) {
  outlook->needsPartition = sight.needsPartition;
  outlook->partition = sight.partition;
  if (sight.needsPartition) {
    outlook->back = NewOutlook();
    outlook->front = NewOutlook();
  }
  outlook->state = Known;
  state->verdicts.fetch_add(1, std::memory_order_release);
  if (state->recursionWaits) state->verdict.notify_all();
}

// Under the lock: the foreseen children become tasks, the front child on
// top, and the task is done.
void SettleTask(Task* task, Foresight* sight) {
  Outlook* outlook = task->outlook;
  if (!sight->made) {
    outlook->state = Open;
    state->verdicts.fetch_add(1, std::memory_order_release);
    if (state->recursionWaits) state->verdict.notify_all();
  } else if (outlook->state == Foreseeing) {
    PublishVerdict(outlook, *sight);
  }
  if (sight->divided) {
    if (state->open) {
      PushTask(&state->foreseen, Task{sight->back, outlook->back, true});
      PushTask(&state->foreseen, Task{sight->front, outlook->front, true});
    } else {
      ReleaseForeseenList(&sight->back);
      ReleaseForeseenList(&sight->front);
    }
  }
  DropTask(task);
}

// Foresees lists until none is left. A foreseen copy is the helper's own,
// so its verdict goes out before its division; a list the recursion
// offered is read until it is divided, and the verdict waits for that.
void ServeTasks(std::unique_lock<std::mutex>* hold) {
  Task task;
  while (TakeTask(&task)) {
    task.outlook->state = Foreseeing;
    hold->unlock();
    Foresight sight = DecideList(task.list);
    if (sight.made && task.foreseenCopy) {
      LockBriefly(hold);
      PublishVerdict(task.outlook, sight);
      hold->unlock();
    }
    if (sight.made && sight.needsPartition) {
      sight.divided = ForeseeDivision(task.list, sight.partition, &sight.front, &sight.back);
    }
    LockBriefly(hold);
    SettleTask(&task, &sight);
  }
}

// How long the helper waits awake after its last list before it sleeps.
const std::chrono::microseconds IdleSpin(200);

// Waits a while for an offer without sleeping, since waking a sleeping
// thread costs the offering recursion more than a short choice, and
// meanwhile scores chunks of the recursion's long choices.
void WaitForOffer(std::unique_lock<std::mutex>* hold) {
  int64_t seen = state->offers.load(std::memory_order_acquire);
  hold->unlock();
  ChoiceJoinerStandsBy.store(true, std::memory_order_release);
  std::chrono::steady_clock::time_point end = std::chrono::steady_clock::now() + IdleSpin;
  for (int32_t i = 0; state->offers.load(std::memory_order_acquire) == seen; i++) {
    if (JoinRecursionChoice()) {
      end = std::chrono::steady_clock::now() + IdleSpin;
      continue;
    }
    _mm_pause();
    if ((i & 63) == 63 && std::chrono::steady_clock::now() > end) break;
  }
  ChoiceJoinerStandsBy.store(false, std::memory_order_release);
  LockBriefly(hold);
}

void ServeLookahead() {
  std::unique_lock<std::mutex> hold = HoldBriefly(state->lock);
  for (;;) {
    state->helperSleeps = true;
    state->work.wait(hold, [] { return HasTask() || state->helperRetires; });
    state->helperSleeps = false;
    if (state->helperRetires) break;
    state->helperBusy = true;
    CoresBusyElsewhere.store(1, std::memory_order_relaxed);
    ServeTasks(&hold);
    state->helperBusy = false;
    state->verdict.notify_all();
    // Waiting awake, it keeps its core.
    if (state->open) WaitForOffer(&hold);
    CoresBusyElsewhere.store(0, std::memory_order_relaxed);
  }
  state->helperRetires = false;
  helperStarted = false;
}

bool StartHelper() {
  if (!helperStarted) {
    try {
      std::thread(ServeLookahead).detach();
      helperStarted = true;
    } catch (const std::system_error&) {
    }
  }
  return helperStarted;
}

}  // namespace

Outlook* BeginLookahead(SegList root) {
  if (LookaheadMode == LookaheadOff) return nullptr;
  if (state == nullptr) state = new (std::nothrow) Lookahead();
  if (state == nullptr) return nullptr;
  EndLookahead();
  bool threaded = LookaheadMode == LookaheadAuto;
  if (threaded) {
    if (root.count < 2 * ForeseenListMinimum || CountCores() < 2) return nullptr;
    std::unique_lock<std::mutex> hold = HoldBriefly(state->lock);
    if (!StartHelper()) return nullptr;
    // A helper that has not yet ended after the last tree serves this one.
    state->helperRetires = false;
  }
  std::unique_lock<std::mutex> hold = HoldBriefly(state->lock);
  state->open = true;
  state->threaded = threaded;
  Outlook* outlook = NewOutlook();
  if (outlook != nullptr) outlook->state = Claimed;
  return outlook;
}

void EndLookahead() {
  if (state == nullptr) return;
  std::unique_lock<std::mutex> hold = HoldBriefly(state->lock);
  if (!state->open) return;
  state->open = false;
  DropTasks(&state->foreseen);
  DropTasks(&state->offered);
  state->verdict.wait(hold, [] { return !state->helperBusy; });
  if (helperStarted) {
    state->helperRetires = true;
    if (state->helperSleeps) state->work.notify_one();
  }
  while (state->blocks != nullptr) {
    OutlookBlock* next = state->blocks->next;
    std::free(state->blocks);
    state->blocks = next;
  }
}

bool TakeVerdict(Outlook* outlook, bool* needsPartition, int32_t* partition) {
  if (outlook == nullptr) return false;
  std::unique_lock<std::mutex> hold = HoldBriefly(state->lock);
  // Waiting, the recursion scores chunks of the choice the helper is
  // making, which is this list's.
  while (outlook->state == Foreseeing) {
    int64_t verdicts = state->verdicts.load(std::memory_order_acquire);
    int64_t choices = ChoicesAheadOpened.load(std::memory_order_acquire);
    hold.unlock();
    bool helped = JoinChoiceAhead();
    // With nothing to score, a verdict or a choice opened to joining is
    // waited for awake for a while: a sleeping thread wakes late.
    for (int32_t i = 0; !helped && i < WaitSpins; i++) {
      if (state->verdicts.load(std::memory_order_acquire) != verdicts ||
          ChoicesAheadOpened.load(std::memory_order_acquire) != choices) {
        break;
      }
      _mm_pause();
    }
    LockBriefly(&hold);
    if (helped || outlook->state != Foreseeing) continue;
    state->recursionWaits = true;
    state->verdict.wait_for(hold, JoinRetry);
  }
  state->recursionWaits = false;
  if (outlook->state == Known) {
    *needsPartition = outlook->needsPartition;
    *partition = outlook->partition;
    return true;
  }
  outlook->state = Claimed;
  return false;
}

void RecordDivision(Outlook* outlook, int32_t partition) {
  if (outlook == nullptr) return;
  std::unique_lock<std::mutex> hold = HoldBriefly(state->lock);
  outlook->needsPartition = true;
  outlook->partition = partition;
  outlook->back = NewOutlook();
  outlook->front = NewOutlook();
}

Outlook* FrontOutlook(const Outlook* outlook) { return outlook != nullptr ? outlook->front : nullptr; }

Outlook* BackOutlook(const Outlook* outlook) { return outlook != nullptr ? outlook->back : nullptr; }

void OfferList(Outlook* outlook, SegList list) {
  if (outlook == nullptr || list.count < ForeseenListMinimum) return;
  std::unique_lock<std::mutex> hold = HoldBriefly(state->lock);
  // A list the helper has foreseen, or is foreseeing, needs no offer.
  if (outlook->state != Open) return;
  if (LookaheadMode == LookaheadInline) {
    PushTask(&state->offered, Task{list, outlook, false});
    ServeTasks(&hold);
    return;
  }
  if (!state->threaded) return;
  PushTask(&state->offered, Task{list, outlook, false});
  state->offers.fetch_add(1, std::memory_order_release);
  bool wake = state->helperSleeps && list.count >= WakingListMinimum;
  hold.unlock();
  if (wake) state->work.notify_one();
}
