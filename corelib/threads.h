#pragma once
// Threads and mutexes with the semantics of the classic window library's
// thread interface: thread identifiers count upwards from 1 (the main thread
// is 0), waiting on an unknown identifier reports finished, mutexes are
// recursive within one thread and every mutex call ignores a null handle.

#include <cstdint>

typedef int thread_id;
typedef void (*thread_function)(void *argument);
struct sys_mutex;

enum {
    THREAD_WAIT = 0,
    THREAD_NOWAIT = 1,
};

// Starts function(argument) on a new thread; its identifier, or -1.
thread_id thread_create(thread_function function, void *argument);
// THREAD_WAIT blocks until the thread has returned; THREAD_NOWAIT only tests.
// True when the thread has finished (also for unknown identifiers or ids below 1).
bool thread_wait(thread_id id, int mode);
// Sleeps the calling thread.
void thread_sleep(double seconds);

sys_mutex *mutex_create();
void mutex_destroy(sys_mutex *mutex);
void mutex_lock(sys_mutex *mutex);
void mutex_unlock(sys_mutex *mutex);
