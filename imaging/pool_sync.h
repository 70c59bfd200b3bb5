// The strip pool's lock and wake-ups, a thin layer over the platform's own. On Windows they are a
// slim reader/writer lock and condition variables, which wait and wake in user space; the
// std::mutex and std::condition_variable of mingw's posix threads go through kernel objects on
// every contended lock and every wake-up, which costs a frame several round trips to the kernel
// (and to Wine's server) per call of the pool. Elsewhere they are the standard library's.
//
// Each object is one pointer: on Windows the lock or condition variable itself (all-zero is
// its initial state), elsewhere the standard object it owns.
#pragma once

#include <mutex>

class PoolMutex {
public:
    PoolMutex();
    ~PoolMutex();
    // Lower-case names, so std::lock_guard and std::unique_lock can hold it.
    void lock();
    void unlock();

    PoolMutex(const PoolMutex&) = delete;
    PoolMutex& operator=(const PoolMutex&) = delete;

private:
    friend class PoolCondition;
    void* slot_ = nullptr;
};

class PoolCondition {
public:
    PoolCondition();
    ~PoolCondition();
    // Waits until done() holds; hold owns the lock, which is let go while waiting.
    template <class Predicate>
    void Wait(std::unique_lock<PoolMutex>& hold, Predicate done) {
        while (!done()) WaitOnce(*hold.mutex());
    }
    void NotifyAll();

    PoolCondition(const PoolCondition&) = delete;
    PoolCondition& operator=(const PoolCondition&) = delete;

private:
    void WaitOnce(PoolMutex& held);  // may also return without a notice
    void* slot_ = nullptr;
};
