// SPDX-License-Identifier: GPL-2.0-or-later
// Fatal errors, memory and timing services. No routine of the program
// returns an error: whatever cannot go on calls FatalError, which reports
// the message and ends the process with exit code 10.
#pragma once

#include <cstddef>
#include <cstdint>

[[noreturn]] void FatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// While set, every fatal message starts with this text and ": " (the level
// a whole-file run is building); null clears it.
void SetFatalContext(const char* context);

// Waits for one key without echo; returns at once when standard input is
// not a terminal.
void WaitForKey();

// Never return null. A request for 0 bytes counts as a failure.
void* AllocOrDie(int32_t size);
void* ReallocOrDie(void* block, int32_t size);
// Room for `count` entries of `entrySize` bytes. The size is worked out
// wide, so that a count from a huge lump is refused rather than wrapped.
void* AllocArrayOrDie(int32_t count, int32_t entrySize);
void* ReallocArrayOrDie(void* block, int32_t count, int32_t entrySize);
void FreeBlock(void* block);
// Called with every block the services hand out and every block given back
// (a resize gives back the old block and hands out the new one); null turns
// a hook off. The fuzz targets record the blocks a run leaves behind.
void SetAllocationHooks(void (*taken)(void* block), void (*given)(void* block));
// The failure hook, for tests: the nth block asked of AllocOrDie or
// ReallocOrDie from now on (1 for the next) is refused as the system would
// refuse it, and the run ends; 0 turns it off. The count of blocks asked for
// since the last call, for the tests to know what to walk over.
void FailNthAllocation(int64_t nth);
int64_t CountAllocations();

// Free memory as the copy buffer sees it, capped at 129000 bytes.
int32_t AvailableMemory();

// One timer, in hundredths of a second from a monotonic clock.
void TimerStart();
int32_t TimerStop();
// The clock the timer reads, in nanoseconds from any fixed origin; null
// brings back the monotonic clock (tests set their own).
void SetTimerClock(int64_t (*readNanoseconds)());

// Ends the process with the exit code. The program's exit lives in
// console/exit.cpp; the fuzz targets link their own.
[[noreturn]] void EndProcess(int code);

// SIGINT, SIGTERM and SIGHUP end the run cleanly: the cleanup runs, the
// terminal gets its mode and colours back, a log ends with an error line,
// and the process ends by the signal. The cleanup runs inside the signal
// handler, so it may only use calls that are safe there (unlink).
void InstallInterruptHandlers();
void SetInterruptCleanup(void (*cleanup)());

// Run before the process ends through FatalError (for instance to remove an
// unfinished output file). One hook; the last one set wins.
void SetFatalCleanup(void (*cleanup)());
