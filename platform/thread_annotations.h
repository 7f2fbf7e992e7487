// Clang's thread-safety attributes, empty under other compilers. A build
// with clang and -Wthread-safety checks that every field named as guarded is
// touched only with its lock or flag held.
#pragma once

#if defined(__clang__)
#define TOLMEK_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define TOLMEK_THREAD_ANNOTATION(x)
#endif

// A type whose objects are locks (or flags used as locks).
#define TOLMEK_CAPABILITY(name) TOLMEK_THREAD_ANNOTATION(capability(name))
// An object that holds a lock for its scope.
#define TOLMEK_SCOPED_CAPABILITY TOLMEK_THREAD_ANNOTATION(scoped_lockable)
// The field may be read or written only while the lock is held.
#define TOLMEK_GUARDED_BY(lock) TOLMEK_THREAD_ANNOTATION(guarded_by(lock))
// The function must be called with the lock held.
#define TOLMEK_REQUIRES(...) TOLMEK_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// The function takes the lock and returns with it held.
#define TOLMEK_ACQUIRE(...) TOLMEK_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
// The function takes the lock when it returns the given value.
#define TOLMEK_TRY_ACQUIRE(...) TOLMEK_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
// The function gives the lock back.
#define TOLMEK_RELEASE(...) TOLMEK_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// The function's body is not checked: it takes or gives a lock on some paths
// only (a recursive lock, a handle-based API), which the analysis cannot follow.
#define TOLMEK_NO_THREAD_SAFETY_ANALYSIS TOLMEK_THREAD_ANNOTATION(no_thread_safety_analysis)
