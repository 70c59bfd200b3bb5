// The handle registry under load: several threads opening, using and releasing handles at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"

namespace {

const int kChurnEvery = 400;

struct Worker {
    int id;
    int rounds;
    std::atomic<int>* failures;
    HANDLE thread = nullptr;
};

DWORD WINAPI Churn(void* arg) {
    Worker* w = static_cast<Worker*>(arg);
    // Opening a camera runs the sensor start-up, so handles are opened and released every few
    // hundred rounds while every round looks all of this thread's handles up.
    struct Open {
        int handle;
        int waitTime;
    };
    std::vector<Open> mine;
    for (int round = 0; round < w->rounds; ++round) {
        if (round % kChurnEvery == 0) {
            if (mine.size() >= 2) {
                const int gone = mine.front().handle;
                mine.erase(mine.begin());
                if (Quorin_Release(gone) != 1) ++*w->failures;
                if (Quorin_GetColorMode(gone) != -1) ++*w->failures;  // never found after release
            }
            const int h = Quorin_Initialize(nullptr);
            if (h == 0) {
                ++*w->failures;
                continue;
            }
            // Each handle carries its own stored value, so a lookup that found another camera shows.
            const int waitTime = 1000 + w->id * 100 + round / kChurnEvery;
            if (Quorin_SetWaitTime(h, waitTime) != 1) ++*w->failures;
            mine.push_back({h, waitTime});
        }
        if (mine.empty()) continue;
        for (const Open& o : mine)
            if (Quorin_GetWaitTime(o.handle) != o.waitTime) ++*w->failures;
        const int mode = 8 << (round % 4);  // 8, 16, 32, 64
        const int h = mine.back().handle;
        if (Quorin_SetColorMode(h, mode) != 1) ++*w->failures;
        const int expected = mode == 16 ? 10 : mode == 64 ? 58 : mode;
        if (Quorin_GetColorMode(h) != expected) ++*w->failures;
    }
    for (const Open& o : mine)
        if (Quorin_Release(o.handle) != 1) ++*w->failures;
    return 0;
}

}  // namespace

TEST(ApiRegistryLoad, ThreadsOpenLookUpAndReleaseConcurrently) {
    std::atomic<int> failures{0};
    std::vector<Worker> workers;
    for (int id = 0; id < 4; ++id) workers.push_back(Worker{id, 3000, &failures});
    for (Worker& w : workers) {
        w.thread = CreateThread(nullptr, 0, Churn, &w, 0, nullptr);
        ASSERT_NE(w.thread, nullptr);
    }
    for (Worker& w : workers) {
        EXPECT_EQ(WaitForSingleObject(w.thread, 300000), WAIT_OBJECT_0);
        CloseHandle(w.thread);
    }
    EXPECT_EQ(failures.load(), 0);
}
