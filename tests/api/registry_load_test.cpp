// The handle registry under load: several threads opening, using and releasing handles at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"

namespace {

struct Worker {
    int rounds;
    std::atomic<int>* failures;
    HANDLE thread = nullptr;
};

DWORD WINAPI Churn(void* arg) {
    Worker* w = static_cast<Worker*>(arg);
    std::vector<int> mine;
    for (int round = 0; round < w->rounds; ++round) {
        const int h = Quorin_Initialize(nullptr);
        if (h == 0) {
            ++*w->failures;
            continue;
        }
        mine.push_back(h);
        // Each handle carries its own stored value, so a lookup that found another camera shows.
        const int mode = 8 << (round % 4);  // 8, 16, 32, 64
        if (Quorin_SetColorMode(h, mode) != 1) ++*w->failures;
        for (int k : mine)
            if (Quorin_GetWaitTime(k) != 10) ++*w->failures;
        const int expected = mode == 16 ? 10 : mode == 64 ? 58 : mode;
        if (Quorin_GetColorMode(h) != expected) ++*w->failures;
        if (mine.size() > 3 || round % 5 == 0) {
            const int gone = mine.front();
            mine.erase(mine.begin());
            if (Quorin_Release(gone) != 1) ++*w->failures;
            if (Quorin_GetColorMode(gone) != -1) ++*w->failures;  // never found after release
        }
    }
    for (int h : mine)
        if (Quorin_Release(h) != 1) ++*w->failures;
    return 0;
}

}  // namespace

TEST(ApiRegistryLoad, ThreadsOpenLookUpAndReleaseConcurrently) {
    std::atomic<int> failures{0};
    std::vector<Worker> workers(6, Worker{1500, &failures});
    for (Worker& w : workers) {
        w.thread = CreateThread(nullptr, 0, Churn, &w, 0, nullptr);
        ASSERT_NE(w.thread, nullptr);
    }
    for (Worker& w : workers) {
        EXPECT_EQ(WaitForSingleObject(w.thread, 120000), WAIT_OBJECT_0);
        CloseHandle(w.thread);
    }
    EXPECT_EQ(failures.load(), 0);
}
