// The library's one pool of threads for cutting a frame's processing into horizontal strips. It is
// shared by every camera: each call hands its strips to the pool, runs strips itself while any of
// its own are waiting, and returns when all of them are done. The pool is sized to the processor's
// cores, capped by the environment variable QUORIN_PIPELINE_THREADS as it was when the library was
// loaded (1 runs every strip on the calling thread, with no pool thread at all).
//
// Its threads start with the first call that has work for them and end, by flag and wake-up, when
// the last user lets go (the frame pipelines hold it for their lifetime), so they never outlive the
// cameras that used them.
#pragma once

class StripPool {
public:
    typedef void (*Task)(void* context, int index);

    // The library's pool.
    static StripPool& Shared();

    // Threads that work on one call's strips, the caller included: 1 or more.
    int Threads() const { return threads_; }

    // A user holds the pool's threads; the last Release ends them and waits for them.
    void Acquire();
    void Release();

    // task(context, i) for every i in [0, count), on the pool's threads and the caller's; returns
    // when all have returned. Tasks of one call must not wait for each other.
    void Run(int count, Task task, void* context);

    // First row of strip index when rows are cut into count strips of near-equal height: strip i
    // holds rows [StripBegin(rows, i, count), StripBegin(rows, i + 1, count)).
    static int StripBegin(int rows, int index, int count);

    // The cap QUORIN_PIPELINE_THREADS gives (0 when unset or not a positive number).
    static int EnvironmentCap();

    StripPool(const StripPool&) = delete;
    StripPool& operator=(const StripPool&) = delete;

private:
    explicit StripPool(int threads);
    ~StripPool();
    struct State;
    State* state_;
    int threads_;
};
