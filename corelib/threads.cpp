#include "threads.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "mem.h"

struct sys_mutex {
    std::recursive_mutex m;
};

namespace {
struct thread_slot {
    std::thread thread;
    bool finished = false;
};
std::mutex threads_lock;
std::map<thread_id, std::shared_ptr<thread_slot>> threads;
thread_id next_thread_id = 1;
} // namespace

thread_id thread_create(thread_function function, void *argument)
{
    auto slot = std::make_shared<thread_slot>();
    std::lock_guard<std::mutex> guard(threads_lock);
    thread_id id = next_thread_id;
    try {
        slot->thread = std::thread([function, argument, slot] {
            function(argument);
            std::lock_guard<std::mutex> g(threads_lock);
            slot->finished = true;
        });
    } catch (...) {
        return -1;
    }
    next_thread_id++;
    threads[id] = slot;
    return id;
}

bool thread_wait(thread_id id, int mode)
{
    std::shared_ptr<thread_slot> slot;
    {
        std::lock_guard<std::mutex> guard(threads_lock);
        auto it = threads.find(id);
        if (id < 1 || it == threads.end()) return true;
        slot = it->second;
        if (mode == THREAD_NOWAIT && !slot->finished) return false;
        threads.erase(it);
    }
    if (slot->thread.joinable()) slot->thread.join();
    return true;
}

void thread_sleep(double seconds)
{
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

sys_mutex *mutex_create() { return new (std::nothrow) sys_mutex; }

void mutex_destroy(sys_mutex *mutex) { delete mutex; }

void mutex_lock(sys_mutex *mutex)
{
    if (mutex) mutex->m.lock();
}

void mutex_unlock(sys_mutex *mutex)
{
    if (mutex) mutex->m.unlock();
}
