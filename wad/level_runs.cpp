// SPDX-License-Identifier: GPL-2.0-or-later
// Laying out the levels of an editor's WAD in the standard order.
#include "wad/level_runs.h"

#include <cassert>
#include <cstring>

#include "console/services.h"
#include "wad/wadfile.h"

bool LevelRunsArranged = false;

namespace {

const char* const OtherRunNames[] = {"BEHAVIOR", "SCRIPTS", "DIALOGUE"};

// Slots a level cannot be built without; the other five are rebuilt.
bool IsRequiredSlot(int slot) { return slot <= 3 || slot == 7; }

struct EntryName {
  char text[9];
};

EntryName NameOf(int32_t index) {
  EntryName name;
  CopyLumpName(name.text, &Directory[index]);
  return name;
}

int SlotOf(const char* name) {
  for (int slot = 0; slot < LevelLumpCount; slot++)
    if (std::strcmp(name, LevelLumpNames[slot]) == 0) return slot;
  return -1;
}

// The run after `marker` is [marker + 1, end): level lump names, none twice
// (so at most one of each name of IsLevelRunName).
int32_t EndOfRun(int32_t marker) {
  constexpr int MaxRun = LevelLumpCount + sizeof OtherRunNames / sizeof OtherRunNames[0];
  EntryName seen[MaxRun];
  int seenCount = 0;
  int32_t i = marker + 1;
  for (; i < InputHeader.LumpCount; i++) {
    EntryName name = NameOf(i);
    if (!IsLevelRunName(name.text)) break;
    for (int k = 0; k < seenCount; k++)
      if (std::strcmp(seen[k].text, name.text) == 0) return i;
    seen[seenCount++] = name;
  }
  return i;
}

bool RunHoldsSlot(int32_t marker, int32_t end, int slot) {
  for (int32_t i = marker + 1; i < end; i++)
    if (SlotOf(NameOf(i).text) == slot) return true;
  return false;
}

LumpEntry AbsentEntry(const char* name) {
  LumpEntry entry;
  entry.FilePos = AbsentLumpPosition;
  entry.Size = 0;
  std::memset(entry.Name, 0, sizeof entry.Name);
  std::memcpy(entry.Name, name, std::strlen(name));
  return entry;
}

// The arranged directory as it is filled.
struct Arranged {
  LumpEntry* entries;
  int32_t count;
  int32_t room;
  void Add(const LumpEntry& entry) {
    assert(count < room);
    entries[count++] = entry;
  }
};

// Appends the level at `marker`, whose run ends before `end`, laid out.
void ArrangeLevel(int32_t marker, int32_t end, Arranged* arranged) {
  arranged->Add(Directory[marker]);
  for (int slot = 0; slot < LevelLumpCount; slot++) {
    LumpEntry entry = AbsentEntry(LevelLumpNames[slot]);
    for (int32_t i = marker + 1; i < end; i++)
      if (SlotOf(NameOf(i).text) == slot) entry = Directory[i];
    arranged->Add(entry);
  }
  // BEHAVIOR comes first, where Hexen engines look for it (entry 11 of
  // the level), then the rest in the order they came.
  for (int pass = 0; pass < 2; pass++) {
    for (int32_t i = marker + 1; i < end; i++) {
      EntryName name = NameOf(i);
      bool behavior = std::strcmp(name.text, BehaviorLumpName) == 0;
      if (SlotOf(name.text) < 0 && behavior == (pass == 0)) arranged->Add(Directory[i]);
    }
  }
}

}  // namespace

bool IsLevelRunName(const char* name) {
  if (SlotOf(name) >= 0) return true;
  for (const char* other : OtherRunNames)
    if (std::strcmp(name, other) == 0) return true;
  return false;
}

void ArrangeLevelRuns(const char* path) {
  // A level of n entries (n >= 2: the marker and THINGS) gains at most 9
  // absent ones, so the arranged directory fits in `room`; the limit is
  // checked after.
  int32_t count = InputHeader.LumpCount;
  int32_t room = count + (count / 2) * 9;
  Arranged arranged{static_cast<LumpEntry*>(AllocArrayOrDie(room, sizeof(LumpEntry))), 0, room};
  for (int32_t i = 0; i < count;) {
    bool marker = !IsLevelRunName(NameOf(i).text);
    int32_t end = marker ? EndOfRun(i) : i + 1;
    if (marker && RunHoldsSlot(i, end, 0)) {
      ArrangeLevel(i, end, &arranged);
      i = end;
    } else {
      arranged.Add(Directory[i]);
      i++;
    }
  }
  if (arranged.count > MaxLumpCount) {
    FreeBlock(arranged.entries);
    FatalError("File %s has too many entries", path);
  }
  FreeBlock(Directory);
  Directory = arranged.entries;
  InputHeader.LumpCount = arranged.count;
  LevelRunsArranged = true;
}

void CheckArrangedLevel() {
  if (!LevelRunsArranged) return;
  EntryName level = NameOf(LevelMarkerIndex);
  for (int slot = 0; slot < LevelLumpCount; slot++) {
    int32_t index = LevelMarkerIndex + 1 + slot;
    if (IsRequiredSlot(slot) && Directory[index].FilePos == AbsentLumpPosition)
      FatalError("Level %s has no %s lump", level.text, LevelLumpNames[slot]);
  }
}

bool RunHoldsBehavior(int32_t marker) {
  for (int32_t i = marker + 1; i < InputHeader.LumpCount; i++) {
    EntryName name = NameOf(i);
    if (!IsLevelRunName(name.text)) return false;
    if (std::strcmp(name.text, BehaviorLumpName) == 0) return true;
  }
  return false;
}

void ResetLevelRuns() { LevelRunsArranged = false; }
