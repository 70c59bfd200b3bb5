// Child processes for the Wine-side tests: every wait has a limit, a child still running at the
// limit is terminated (never left behind), and the result says what state the child was in.
//
//   qtest::ChildResult r = qtest::RunChild(qtest::ProgramPath("m52sim.exe") + " status", 30000);
//   EXPECT_TRUE(r.Succeeded()) << r.Describe();
//
//   qtest::ChildProcess child;                      // started now, waited for later
//   ASSERT_TRUE(child.Start("\"" + qtest::ProgramPath("viewer.exe") + "\" --camera 0")) << child.Describe();
//   ...
//   const qtest::ChildResult end = child.Wait(20000); // terminates it on time-out
//
// Unix tools (ffprobe, ffmpeg, python3) run through RunUnix, which waits the same way.
#pragma once

#include <windows.h>

#include <string>

namespace qtest {

// How a child ended.
struct ChildResult {
    bool started = false;     // CreateProcess succeeded (after up to three attempts)
    DWORD startError = 0;     // GetLastError of the last failed start
    bool timedOut = false;    // still running at the limit: it was terminated
    DWORD exitCode = 0;       // the child's exit code (kTerminatedExitCode after a time-out)
    std::string output;       // what it printed, when asked for (stdout and stderr together)
    std::string command;
    // Started, ended by itself within the limit, exit code 0.
    bool Succeeded() const { return started && !timedOut && exitCode == 0; }
    // One line for a failure message: the command and its state.
    std::string Describe() const;
};

// Exit code given to a child terminated at its time limit.
const DWORD kTerminatedExitCode = 0xC0DE0001;

struct ChildOptions {
    bool captureOutput = false;   // collect stdout and stderr into ChildResult::output
    const char* environment = nullptr;  // a full environment block, or null to inherit
};

// A child process that is always ended: Wait() terminates it at its limit, the destructor
// terminates it when nobody waited.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the command line; under a loaded Wine a start now and then fails once, so it is
    // tried up to three times.
    bool Start(const std::string& commandLine, const ChildOptions& options = {});
    bool Running() const;
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    // Waits up to ms; terminates the child when it is still running then.
    ChildResult Wait(DWORD ms);
    // The state so far, for failure messages.
    std::string Describe() const { return result_.Describe(); }

private:
    void Close();
    PROCESS_INFORMATION info_ = {};
    ChildResult result_;
    std::string outputFile_;
};

// Starts commandLine and waits up to timeoutMs for it (terminated at the limit).
ChildResult RunChild(const std::string& commandLine, DWORD timeoutMs, const ChildOptions& options = {});

// The folder of the running test program (with a trailing backslash), and a program in it.
std::string ProgramFolder();
std::string ProgramPath(const std::string& exeName);
// The running test program itself, quoted for a command line.
std::string QuotedSelf();

// Runs m52sim.exe from the test's folder; the result's Describe() says why it failed.
ChildResult RunM52Sim(const std::string& args, DWORD timeoutMs = 30000);

// Runs a shell command line of Debian's tools through /bin/sh; returns its exit code, or -1
// (with the reason in *output) when it did not finish in time, and then it is killed with all it
// started. Unix programs started from Wine have no process handle to wait on, so the command
// leaves its exit code (and its process group) in files.
int RunUnix(const std::string& command, std::string* output, DWORD timeoutMs = 120000);
// Quotes text for the shell.
std::string ShellQuote(const std::string& text);

}  // namespace qtest
