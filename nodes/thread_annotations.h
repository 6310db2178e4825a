// SPDX-License-Identifier: GPL-2.0-or-later
// Attributes for clang's thread-safety analysis (-Wthread-safety), which
// checks at compile time that every field guarded by a lock is touched with
// that lock held. scripts/lint compiles the node builder with the analysis
// on; other compilers see nothing.
#pragma once

#if defined(__clang__)
#define THREAD_ANNOTATION(x) __attribute__((x))
#else
#define THREAD_ANNOTATION(x)
#endif

// A type that is a lock.
#define CAPABILITY(name) THREAD_ANNOTATION(capability(name))
// A type whose objects hold a lock for their lifetime, or until released.
#define SCOPED_CAPABILITY THREAD_ANNOTATION(scoped_lockable)
// A field read and written only with the lock held.
#define GUARDED_BY(lock) THREAD_ANNOTATION(guarded_by(lock))
// A pointer whose target is read and written only with the lock held.
#define PT_GUARDED_BY(lock) THREAD_ANNOTATION(pt_guarded_by(lock))
// A function called with the lock held, which it holds again on return.
#define REQUIRES(...) THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// A function that takes the lock, or releases it.
#define ACQUIRE(...) THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// A function that must not be called with the lock held (it takes it).
#define EXCLUDES(...) THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
