// Processes that end, or free the library, without Quorin_Release: no hang, no crash, recordings
// that can be read, and a camera that a killed process held is free for the others.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/acquisition/acquisition_support.h"
#include "tests/recording/recording_support.h"

namespace {

// Starts hardening_child.exe with args; its process handle, or null.
HANDLE StartChild(const std::string& args) {
    char exe[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string path(exe, n);
    path = path.substr(0, path.find_last_of("\\/") + 1) + "hardening_child.exe";
    std::string line = "\"" + path + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

// The child's exit code, or -1 when it did not end within ms (it is then killed).
long FinishChild(HANDLE process, DWORD ms) {
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process, ms) != WAIT_OBJECT_0)
        TerminateProcess(process, static_cast<UINT>(-1));
    else
        GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return static_cast<long>(code);
}

class ProcessEnd : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        // This process keeps an idle handle, and with it the shared table, while the child runs.
        ASSERT_TRUE(cam_.SetUp(&why)) << why;
        ASSERT_EQ(Quorin_SetPreviewWindow(cam_.handle, nullptr, 0, 0, 0, 0), 1);
    }
    void TearDown() override { cam_.TearDown(); }

    acqtest::CameraFixture cam_;
    rectest::ScratchFolder folder_;
};

TEST_F(ProcessEnd, FreeingTheLibraryOrExitingWithoutReleaseNeitherHangsNorCrashes) {
    struct Row {
        const char* mode;
        bool recording;
        bool finished;  // the file has its index: written to the end
    };
    const Row rows[] = {{"free-live", false, false}, {"free-record", true, true}, {"exit-record", true, false}};
    for (const Row& row : rows) {
        const std::string path = folder_.File(std::string(row.mode) + ".avi");
        HANDLE child = StartChild(std::string(row.mode) + " \"" + path + "\"");
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(FinishChild(child, 60000), 0) << row.mode << ": the child hung, crashed or failed";
        if (!row.recording) continue;
        const rectest::Probe probe = rectest::ProbeAvi(path);
        EXPECT_TRUE(probe.read) << row.mode << ": " << probe.text;
        EXPECT_GT(probe.frames, 0) << row.mode << ": " << probe.text;
        if (row.finished) EXPECT_TRUE(rectest::WaitUntilFinished(path, 1000)) << row.mode << ": not finished";
        // Every frame the reader finds decodes whole.
        EXPECT_EQ(static_cast<int64_t>(rectest::DecodeAvi(path, 1360, 1024).size()), probe.frames) << row.mode;
    }
}

TEST_F(ProcessEnd, ACameraHeldByAKilledProcessIsFreeForTheOthers) {
    const std::string eventName = "quorin_hardening_streaming_" + std::to_string(GetCurrentProcessId());
    HANDLE streaming = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    HANDLE child = StartChild("stream " + eventName);
    ASSERT_NE(child, nullptr);
    const bool started = WaitForSingleObject(streaming, 60000) == WAIT_OBJECT_0;
    CloseHandle(streaming);
    TerminateProcess(child, 9);
    WaitForSingleObject(child, 10000);
    CloseHandle(child);
    ASSERT_TRUE(started) << "the child did not start streaming";

    const int h = cam_.handle;
    EXPECT_EQ(Quorin_CallBackPreview(h, cam_.window.Handle(), nullptr, 0, 1), 1);
    size_t frames = 0;
    for (const acqtest::FrameNotice& f : acqtest::CollectFrames(cam_.window.Handle(), 4000, 2)) frames += f.hasInfo;
    EXPECT_EQ(frames, 2u);
    EXPECT_EQ(Quorin_StopPreview(h), 1);
    EXPECT_EQ(acqtest::DrainHistory(h), std::vector<int>{});
}

}  // namespace
