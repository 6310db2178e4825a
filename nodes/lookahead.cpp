// SPDX-License-Identifier: GPL-2.0-or-later
// Choices made ahead of the tree recursion on a helper thread: the lists
// to foresee, the verdicts, and the hand-over between the two threads.
#include "nodes/lookahead.h"

#include <immintrin.h>

#include <atomic>
#include <cassert>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <new>
#include <system_error>
#include <thread>

#include "nodes/brief_lock.h"
#include "nodes/choose.h"
#include "nodes/partition.h"
#include "nodes/score.h"
#include "nodes/scratch.h"
#include "nodes/thread_pool.h"

// Lists shorter than Tuning.foreseenListMinimum are left to the
// recursion: their choice takes less time than handing them over. A list
// shorter than Tuning.wakingListMinimum is offered to a sleeping helper
// without waking it: waking a thread costs the recursion about as much as
// the choice on such a list (up to a tenth of a millisecond measured on a
// virtual machine), and the recursion often reaches the list before the
// helper is up. The helper takes it if it wakes for a longer one first.

// An offered list stays the recursion's: the helper reads it to make its
// choice and its division copy, and a verdict lets the recursion divide it
// in place at once. So the helper lets go of the list before it publishes
// the verdict, and the two are states apart: Reading, then Foreseeing.
enum OutlookState : uint8_t {
  Open,        // nobody has taken the list on
  Claimed,     // the recursion makes the verdict itself
  Reading,     // the helper is at work on a list the recursion offered, and reads it
  Foreseeing,  // the helper is at work on a list it holds or no longer reads
  Known,       // the helper's verdict is there
  OutlookStates
};

namespace {

// Who may move an outlook from one state to another. The helper's side is
// whichever thread serves the tasks: the helper thread, or the recursion
// itself while it serves them inline.
enum Mover : uint8_t { Nobody, Recursion, Helper };

// Every move of the hand-over, each made under the lock: Moves[from][to].
// The recursion waits while the helper is at work (Reading, Foreseeing),
// and takes the list on again from Open or Known, so a list it offered
// must pass from Reading to Foreseeing before either. Claimed and Known
// are final. Move() asserts each move against the table.
// clang-format off
const Mover Moves[OutlookStates][OutlookStates] = {
    // to:           Open    Claimed    Reading Foreseeing Known
    /* Open       */ {Nobody, Recursion, Helper, Helper,    Nobody},  // taken on
    /* Claimed    */ {Nobody, Nobody,    Nobody, Nobody,    Nobody},
    /* Reading    */ {Nobody, Nobody,    Nobody, Helper,    Nobody},  // let go
    /* Foreseeing */ {Helper, Nobody,    Nobody, Nobody,    Helper},  // given up, or known
    /* Known      */ {Nobody, Nobody,    Nobody, Nobody,    Nobody},
};
// clang-format on

// Set while the calling thread serves tasks, which makes it the helper's
// side for Move().
thread_local bool servingTasks = false;

const int32_t BlockOutlooks = 1000;
// How long the waiting recursion sleeps before it looks again for a choice
// to join.
const std::chrono::microseconds JoinRetry(50);
// How long it first waits awake, in pause instructions.
const int32_t WaitSpins = 2000;

struct OutlookBlock;

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
  Mutex lock;
  std::condition_variable work;     // a task for the helper
  std::condition_variable verdict;  // a verdict the recursion waits for, or the helper idle or ended
  bool threaded GUARDED_BY(lock);   // the helper thread serves this tree
  bool open GUARDED_BY(lock);       // a tree is being built
  bool helperBusy GUARDED_BY(lock);
  bool helperSleeps GUARDED_BY(lock);  // waits on `work`: an offer of a long list wakes it
  bool recursionWaits GUARDED_BY(lock);
  // The tree is done and no other has begun: the helper thread ends. A
  // thread asleep when the process exits delays the exit until its core
  // wakes, which cost up to a fifth of a millisecond a run here.
  bool helperRetires GUARDED_BY(lock);
  std::atomic<int64_t> offers{0};       // lists offered so far
  std::atomic<int64_t> verdicts{0};     // verdicts published or given up
  TaskStack foreseen GUARDED_BY(lock);  // the helper's own lists, a front child on top
  TaskStack offered GUARDED_BY(lock);   // lists waiting on the recursion's stack
  OutlookBlock* blocks GUARDED_BY(lock);
};

// Made on first use and never destroyed: a helper may still wait on it
// when the process ends.
Lookahead* lookahead = nullptr;
bool helperStarted GUARDED_BY(lookahead->lock) = false;  // a helper thread runs

}  // namespace

// Written and read under the lookahead's lock, by both threads.
struct Outlook {
  OutlookState state GUARDED_BY(lookahead->lock);
  bool needsPartition GUARDED_BY(lookahead->lock);
  int32_t partition GUARDED_BY(lookahead->lock);
  // The children's outlooks, once the list is divided.
  Outlook* front GUARDED_BY(lookahead->lock);
  Outlook* back GUARDED_BY(lookahead->lock);
};

namespace {

// Outlooks live in blocks until the tree is finished.
struct OutlookBlock {
  OutlookBlock* next;
  int32_t used;
  Outlook outlooks[BlockOutlooks];
};

void Move(Outlook* outlook, OutlookState to) REQUIRES(lookahead->lock) {
  assert(Moves[outlook->state][to] == (servingTasks ? Helper : Recursion) && "a move the hand-over forbids");
  outlook->state = to;
}

bool HelperAtWork(const Outlook* outlook) REQUIRES(lookahead->lock) {
  return outlook->state == Reading || outlook->state == Foreseeing;
}

// Null when memory runs out, and that list is then not foreseen.
Outlook* NewOutlook() REQUIRES(lookahead->lock) {
  OutlookBlock* block = lookahead->blocks;
  if (block == nullptr || block->used == BlockOutlooks) {
    OutlookBlock* fresh =
        static_cast<OutlookBlock*>(AllocFallible(FallibleOutlook, sizeof(OutlookBlock), false));
    if (fresh == nullptr) return nullptr;
    fresh->next = block;
    fresh->used = 0;
    lookahead->blocks = block = fresh;
  }
  Outlook* outlook = &block->outlooks[block->used++];
  *outlook = Outlook{Open, false, 0, nullptr, nullptr};
  return outlook;
}

void DropTask(Task* task) {
  if (task->foreseenCopy) ReleaseForeseenList(&task->list);
}

void PushTask(TaskStack* stack, Task task) REQUIRES(lookahead->lock) {
  if (task.outlook == nullptr || task.list.count < Tuning.foreseenListMinimum) {
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

void DropTasks(TaskStack* stack) REQUIRES(lookahead->lock) {
  for (int32_t i = stack->first; i < stack->count; i++) DropTask(&stack->entries[i]);
  stack->first = stack->count = 0;
}

bool HasTask() REQUIRES(lookahead->lock) {
  return lookahead->open &&
         (lookahead->foreseen.count > 0 || lookahead->offered.first < lookahead->offered.count);
}

// The next list nobody has taken on. The helper's own come first, the most
// recent on top: the recursion reaches them after all that it offered. Of
// the offered, the oldest is the one it reaches last.
bool TakeTask(Task* task) REQUIRES(lookahead->lock) {
  if (!lookahead->open) return false;
  while (lookahead->foreseen.count > 0) {
    *task = lookahead->foreseen.entries[--lookahead->foreseen.count];
    if (task->outlook->state == Open) return true;
    DropTask(task);
  }
  while (lookahead->offered.first < lookahead->offered.count) {
    *task = lookahead->offered.entries[lookahead->offered.first++];
    if (task->outlook->state == Open) return true;
  }
  lookahead->offered.first = lookahead->offered.count = 0;
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

// The verdict goes to the outlook, whose children get outlooks of their
// own.
void PublishVerdict(Outlook* outlook, const Foresight& sight) REQUIRES(lookahead->lock) {
  outlook->needsPartition = sight.needsPartition;
  outlook->partition = sight.partition;
  if (sight.needsPartition) {
    outlook->back = NewOutlook();
    outlook->front = NewOutlook();
  }
  Move(outlook, Known);
  lookahead->verdicts.fetch_add(1, std::memory_order_release);
  if (lookahead->recursionWaits) lookahead->verdict.notify_all();
}

// The foreseen children become tasks, the front child on top, and the task
// is done.
void SettleTask(Task* task, Foresight* sight) REQUIRES(lookahead->lock) {
  Outlook* outlook = task->outlook;
  if (!sight->made) {
    Move(outlook, Open);
    lookahead->verdicts.fetch_add(1, std::memory_order_release);
    if (lookahead->recursionWaits) lookahead->verdict.notify_all();
  } else if (outlook->state == Foreseeing) {
    PublishVerdict(outlook, *sight);
  }
  if (sight->divided) {
    if (lookahead->open) {
      PushTask(&lookahead->foreseen, Task{sight->back, outlook->back, true});
      PushTask(&lookahead->foreseen, Task{sight->front, outlook->front, true});
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
// Called with the lock held; it is released while a list is foreseen.
void ServeTasks() REQUIRES(lookahead->lock) {
  bool served = servingTasks;
  servingTasks = true;
  Task task;
  while (TakeTask(&task)) {
    Move(task.outlook, task.foreseenCopy ? Foreseeing : Reading);
    lookahead->lock.Unlock();
    Foresight sight = DecideList(task.list);
    if (sight.made && task.foreseenCopy) {
      Hold hold(lookahead->lock);
      PublishVerdict(task.outlook, sight);
    }
    if (sight.made && sight.needsPartition) {
      sight.divided = ForeseeDivision(task.list, sight.partition, &sight.front, &sight.back);
    }
    lookahead->lock.LockBriefly();
    // Done with the recursion's list: it may be divided from here on.
    if (!task.foreseenCopy) Move(task.outlook, Foreseeing);
    SettleTask(&task, &sight);
  }
  servingTasks = served;
}

// How long the helper waits awake after its last list before it sleeps.
const std::chrono::microseconds IdleSpin(200);

// Waits a while for an offer without sleeping, since waking a sleeping
// thread costs the offering recursion more than a short choice, and
// meanwhile scores chunks of the recursion's long choices. Called with the
// lock held, it releases it while it waits.
void WaitForOffer() REQUIRES(lookahead->lock) {
  int64_t seen = lookahead->offers.load(std::memory_order_acquire);
  lookahead->lock.Unlock();
  ChoiceJoinerStandsBy.store(true, std::memory_order_release);
  std::chrono::steady_clock::time_point end = std::chrono::steady_clock::now() + IdleSpin;
  for (int32_t i = 0; lookahead->offers.load(std::memory_order_acquire) == seen; i++) {
    if (JoinRecursionChoice()) {
      end = std::chrono::steady_clock::now() + IdleSpin;
      continue;
    }
    _mm_pause();
    if ((i & 63) == 63 && std::chrono::steady_clock::now() > end) break;
  }
  ChoiceJoinerStandsBy.store(false, std::memory_order_release);
  lookahead->lock.LockBriefly();
}

void ServeLookahead() {
  Hold hold(lookahead->lock);
  for (;;) {
    lookahead->helperSleeps = true;
    while (!HasTask() && !lookahead->helperRetires) hold.Wait(lookahead->work);
    lookahead->helperSleeps = false;
    if (lookahead->helperRetires) break;
    lookahead->helperBusy = true;
    CoresBusyElsewhere.store(1, std::memory_order_relaxed);
    ServeTasks();
    lookahead->helperBusy = false;
    lookahead->verdict.notify_all();
    // Waiting awake, it keeps its core.
    if (lookahead->open && Tuning.spinWaits) WaitForOffer();
    CoresBusyElsewhere.store(0, std::memory_order_relaxed);
  }
  lookahead->helperRetires = false;
  helperStarted = false;
  lookahead->verdict.notify_all();
}

bool StartHelper() REQUIRES(lookahead->lock) {
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
  if (Tuning.lookahead == LookaheadOff) return nullptr;
  if (lookahead == nullptr) lookahead = new (std::nothrow) Lookahead();
  if (lookahead == nullptr) return nullptr;
  EndLookahead();
  bool threaded = Tuning.lookahead == LookaheadAuto;
  if (threaded) {
    if (root.count < 2 * Tuning.foreseenListMinimum || CountCores() < 2) return nullptr;
    Hold hold(lookahead->lock);
    if (!StartHelper()) return nullptr;
    // A helper that has not yet ended after the last tree serves this one.
    lookahead->helperRetires = false;
  }
  Hold hold(lookahead->lock);
  lookahead->open = true;
  lookahead->threaded = threaded;
  Outlook* outlook = NewOutlook();
  if (outlook != nullptr) Move(outlook, Claimed);
  return outlook;
}

void EndLookahead() {
  if (lookahead == nullptr) return;
  Hold hold(lookahead->lock);
  if (!lookahead->open) return;
  lookahead->open = false;
  DropTasks(&lookahead->foreseen);
  DropTasks(&lookahead->offered);
  while (lookahead->helperBusy) hold.Wait(lookahead->verdict);
  if (helperStarted) {
    lookahead->helperRetires = true;
    if (lookahead->helperSleeps) lookahead->work.notify_one();
  }
  while (lookahead->blocks != nullptr) {
    OutlookBlock* next = lookahead->blocks->next;
    std::free(lookahead->blocks);
    lookahead->blocks = next;
  }
}

void AwaitHelperEnd() {
  if (lookahead == nullptr) return;
  EndLookahead();
  Hold hold(lookahead->lock);
  while (helperStarted) hold.Wait(lookahead->verdict);
}

bool TakeVerdict(Outlook* outlook, bool* needsPartition, int32_t* partition, ChildOutlooks* children) {
  if (outlook == nullptr) return false;
  Hold hold(lookahead->lock);
  // Waiting, the recursion scores chunks of the choice the helper is
  // making, which is this list's.
  while (HelperAtWork(outlook)) {
    int64_t verdicts = lookahead->verdicts.load(std::memory_order_acquire);
    int64_t choices = ChoicesAheadOpened.load(std::memory_order_acquire);
    hold.Unlock();
    bool helped = JoinChoiceAhead();
    // With nothing to score, a verdict or a choice opened to joining is
    // waited for awake for a while: a sleeping thread wakes late.
    for (int32_t i = 0; !helped && i < (Tuning.spinWaits ? WaitSpins : 0); i++) {
      if (lookahead->verdicts.load(std::memory_order_acquire) != verdicts ||
          ChoicesAheadOpened.load(std::memory_order_acquire) != choices) {
        break;
      }
      _mm_pause();
    }
    hold.Lock();
    if (helped || !HelperAtWork(outlook)) continue;
    lookahead->recursionWaits = true;
    hold.WaitFor(lookahead->verdict, JoinRetry);
  }
  lookahead->recursionWaits = false;
  if (outlook->state == Known) {
    *needsPartition = outlook->needsPartition;
    *partition = outlook->partition;
    *children = ChildOutlooks{outlook->front, outlook->back};
    return true;
  }
  Move(outlook, Claimed);
  return false;
}

ChildOutlooks RecordDivision(Outlook* outlook, int32_t partition) {
  if (outlook == nullptr) return ChildOutlooks{nullptr, nullptr};
  Hold hold(lookahead->lock);
  assert(outlook->state == Claimed && "the recursion records only the divisions it chose");
  outlook->needsPartition = true;
  outlook->partition = partition;
  outlook->back = NewOutlook();
  outlook->front = NewOutlook();
  return ChildOutlooks{outlook->front, outlook->back};
}

void OfferList(Outlook* outlook, SegList list) {
  if (outlook == nullptr || list.count < Tuning.foreseenListMinimum) return;
  Hold hold(lookahead->lock);
  // A list the helper has foreseen, or is foreseeing, needs no offer.
  if (outlook->state != Open) return;
  if (Tuning.lookahead == LookaheadInline) {
    PushTask(&lookahead->offered, Task{list, outlook, false});
    ServeTasks();
    return;
  }
  if (!lookahead->threaded) return;
  PushTask(&lookahead->offered, Task{list, outlook, false});
  lookahead->offers.fetch_add(1, std::memory_order_release);
  bool wake = lookahead->helperSleeps && list.count >= Tuning.wakingListMinimum;
  hold.Unlock();
  if (wake) lookahead->work.notify_one();
}
