// The handle registry under load: several threads opening, using and releasing handles at once,
// and a handle released while other threads are still calling with it.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/settings/registry_test_keys.h"

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

// One thread calling exports on a handle until the handle has been gone for a while. A call that
// starts after the release returned must fail; one that overlaps it either fails or gives its true
// result; nothing else is right.
struct Hammer {
    int handle;
    int devices;  // what Quorin_EnumDevice gives while the handle is open
    int waitTime;
    int brightness;
    std::atomic<bool>* released;
    std::atomic<int>* answered;
    std::atomic<int>* wrong;
    HANDLE thread = nullptr;
};

DWORD WINAPI HammerExports(void* arg) {
    Hammer* m = static_cast<Hammer*>(arg);
    std::vector<char> names(256 * 32);
    int ok = 0;
    struct Call {
        std::function<int()> run;
        int expected, failure;
    };
    const Call calls[] = {
        {[&] { return Quorin_EnumDevice(m->handle, names.data()); }, m->devices, 0},
        {[&] { return Quorin_GetWaitTime(m->handle); }, m->waitTime, -1},
        {[&] { return Quorin_GetBrightness(m->handle, &ok); }, m->brightness, 0},
        {[&] { return Quorin_SetBrightness(m->handle, m->brightness); }, 1, 0},
    };
    for (int failuresAfterRelease = 0; failuresAfterRelease < 50;) {
        for (const Call& c : calls) {
            const bool after = m->released->load();
            const int got = c.run();
            if (got == c.expected && !after) {
                ++*m->answered;
            } else if (got == c.failure) {
                if (after) ++failuresAfterRelease;
            } else {
                ++*m->wrong;
            }
        }
    }
    return 0;
}

}  // namespace

TEST(ApiRegistryLoad, ReleaseWhileOtherThreadsCallWithTheSameHandle) {
    ProductTreeAside settings;
    const int kThreads = 3;
    for (int round = 0; round < 4; ++round) {
        const int h = Quorin_Initialize(nullptr);
        ASSERT_NE(h, 0);
        std::vector<char> names(256 * 32);
        const int devices = Quorin_EnumDevice(h, names.data());
        ASSERT_GE(devices, 1) << "the simulated camera is not attached";
        const int brightness = 40 + round;
        ASSERT_EQ(Quorin_SetWaitTime(h, 4321), 1);
        ASSERT_EQ(Quorin_SetBrightness(h, brightness), 1);

        std::atomic<bool> released{false};
        std::atomic<int> answered{0}, wrong{0};
        std::vector<Hammer> hammers(kThreads, Hammer{h, devices, 4321, brightness, &released, &answered, &wrong});
        for (Hammer& m : hammers) {
            m.thread = CreateThread(nullptr, 0, HammerExports, &m, 0, nullptr);
            ASSERT_NE(m.thread, nullptr);
        }
        // Release in the middle of the traffic, once every thread is well under way.
        for (int waited = 0; answered.load() < 8 * kThreads && waited < 60000; ++waited) Sleep(1);
        EXPECT_EQ(Quorin_Release(h), 1) << "round " << round;
        released = true;
        EXPECT_EQ(Quorin_Release(h), 0) << "the handle is gone at once";
        EXPECT_EQ(Quorin_GetWaitTime(h), -1);
        for (Hammer& m : hammers) {
            EXPECT_EQ(WaitForSingleObject(m.thread, 120000), WAIT_OBJECT_0);
            CloseHandle(m.thread);
        }
        EXPECT_EQ(wrong.load(), 0) << "round " << round;
        // The camera was destroyed after its last call, and stored its values as it went.
        EXPECT_EQ(ReadValues(CameraPath(0) + "\\Filter")["Brightness"], brightness) << "round " << round;
    }
}

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
