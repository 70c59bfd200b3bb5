#include "imaging/strip_pool.h"

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "imaging/pool_sync.h"

namespace {

const int kMostThreads = 64;

int ReadCap() {
    const char* text = std::getenv("QUORIN_PIPELINE_THREADS");
    if (text == nullptr || *text == '\0') return 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value <= 0) return 0;
    return value > kMostThreads ? kMostThreads : int(value);
}

// Read while the library is being loaded, before any camera exists.
const int g_environmentCap = ReadCap();

int PoolSize() {
    int cores = int(std::thread::hardware_concurrency());
    if (cores < 1) cores = 1;
    if (cores > kMostThreads) cores = kMostThreads;
    if (g_environmentCap > 0 && g_environmentCap < cores) cores = g_environmentCap;
    return cores;
}

// The strips of one Run call still to be finished.
struct Batch {
    StripPool::Task task;
    void* context;
    int left;  // tasks not yet returned
    PoolCondition done;
};

struct Item {
    Batch* batch;
    int index;
};

}  // namespace

struct StripPool::State {
    PoolMutex lock;
    PoolCondition wake;
    std::deque<Item> queue;
    std::vector<std::thread> threads;
    int users = 0;
    bool stop = false;

    void Finish(Batch* batch) {
        std::lock_guard<PoolMutex> hold(lock);
        if (--batch->left == 0) batch->done.NotifyAll();
    }

    void Work() {
        for (;;) {
            Item item;
            {
                std::unique_lock<PoolMutex> hold(lock);
                wake.Wait(hold, [this] { return stop || !queue.empty(); });
                if (queue.empty()) return;  // stopping, and nothing left
                item = queue.front();
                queue.pop_front();
            }
            item.batch->task(item.batch->context, item.index);
            Finish(item.batch);
        }
    }
};

StripPool& StripPool::Shared() {
    // Never destroyed: the threads are ended by the last user, not at unload.
    static StripPool* pool = new StripPool(PoolSize());
    return *pool;
}

StripPool::StripPool(int threads) : state_(new State), threads_(threads) {}

StripPool::~StripPool() { delete state_; }

int StripPool::EnvironmentCap() { return g_environmentCap; }

int StripPool::StripBegin(int rows, int index, int count) { return int(int64_t(rows) * index / count); }

void StripPool::Acquire() {
    std::lock_guard<PoolMutex> hold(state_->lock);
    ++state_->users;
}

void StripPool::Release() {
    std::vector<std::thread> ending;
    {
        std::lock_guard<PoolMutex> hold(state_->lock);
        if (--state_->users > 0) return;
        state_->users = 0;
        if (state_->threads.empty()) return;
        state_->stop = true;
        ending.swap(state_->threads);
    }
    state_->wake.NotifyAll();
    for (std::thread& t : ending) t.join();
    std::lock_guard<PoolMutex> hold(state_->lock);
    state_->stop = false;
}

void StripPool::Run(int count, Task task, void* context) {
    if (count <= 0) return;
    if (count == 1 || threads_ <= 1) {
        for (int i = 0; i < count; ++i) task(context, i);
        return;
    }
    Batch batch;
    batch.task = task;
    batch.context = context;
    batch.left = count - 1;
    State& s = *state_;
    {
        std::lock_guard<PoolMutex> hold(s.lock);
        // Threads start with the first call that has strips for them; a thread that cannot be
        // made leaves its share to the others and the caller.
        while (int(s.threads.size()) < threads_ - 1 && !s.stop) {
            try {
                s.threads.emplace_back([&s] { s.Work(); });
            } catch (...) {
                break;
            }
        }
        for (int i = 1; i < count; ++i) s.queue.push_back(Item{&batch, i});
    }
    s.wake.NotifyAll();
    task(context, 0);
    // Strips of this call nobody has taken yet run here.
    for (;;) {
        Item item = {nullptr, 0};
        {
            std::lock_guard<PoolMutex> hold(s.lock);
            for (auto it = s.queue.begin(); it != s.queue.end(); ++it)
                if (it->batch == &batch) {
                    item = *it;
                    s.queue.erase(it);
                    break;
                }
        }
        if (item.batch == nullptr) break;
        task(context, item.index);
        s.Finish(&batch);
    }
    std::unique_lock<PoolMutex> hold(s.lock);
    batch.done.Wait(hold, [&batch] { return batch.left == 0; });
}
