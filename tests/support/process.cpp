#include "tests/support/process.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/scratch.h"

namespace qtest {

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A name unique in this process and across the programs running side by side.
std::string UniqueBase(const char* what) { return UniqueTmpName(what); }

}  // namespace

std::string ChildResult::Describe() const {
    char state[160];
    if (!started)
        std::snprintf(state, sizeof state, "could not be started (error %lu)", startError);
    else if (timedOut)
        std::snprintf(state, sizeof state, "was still running at its time limit and was terminated");
    else
        std::snprintf(state, sizeof state, "ended with exit code %lu (0x%lX)", exitCode, exitCode);
    std::string text = "child `" + command + "` " + state;
    if (!output.empty()) text += "; it printed:\n" + output;
    return text;
}

ChildProcess::~ChildProcess() {
    if (info_.hProcess) Wait(0);
}

bool ChildProcess::Start(const std::string& commandLine, const ChildOptions& options) {
    if (info_.hProcess) Wait(0);
    result_ = ChildResult();
    result_.command = commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    HANDLE out = INVALID_HANDLE_VALUE;
    if (options.captureOutput) {
        outputFile_ = UniqueBase("child") + ".out";
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        out = CreateFileA(outputFile_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                          CREATE_ALWAYS, 0, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = si.hStdError = out;
            si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        }
    }
    std::string line = commandLine;
    // Under a loaded Wine a process start now and then fails once; the child's answer is the test.
    for (int attempt = 0; attempt < 3 && !result_.started; ++attempt) {
        result_.started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, out != INVALID_HANDLE_VALUE, 0,
                                         const_cast<char*>(options.environment), nullptr, &si, &info_) != 0;
        if (!result_.started) {
            result_.startError = GetLastError();
            Sleep(200);
        }
    }
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    return result_.started;
}

bool ChildProcess::Running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

ChildResult ChildProcess::Wait(DWORD ms) {
    if (!info_.hProcess) return result_;
    if (WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0) {
        result_.timedOut = true;
        TerminateProcess(info_.hProcess, kTerminatedExitCode);
        WaitForSingleObject(info_.hProcess, 10000);
    }
    DWORD code = kTerminatedExitCode;
    GetExitCodeProcess(info_.hProcess, &code);
    result_.exitCode = code;
    Close();
    if (!outputFile_.empty()) {
        result_.output = ReadText(outputFile_);
        DeleteFileA(outputFile_.c_str());
        outputFile_.clear();
    }
    return result_;
}

void ChildProcess::Close() {
    if (info_.hThread) CloseHandle(info_.hThread);
    if (info_.hProcess) CloseHandle(info_.hProcess);
    info_ = PROCESS_INFORMATION();
}

ChildResult RunChild(const std::string& commandLine, DWORD timeoutMs, const ChildOptions& options) {
    ChildProcess child;
    if (!child.Start(commandLine, options)) return child.Wait(0);
    return child.Wait(timeoutMs);
}

std::string ProgramFolder() {
    char exe[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string path(exe, n);
    return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string ProgramPath(const std::string& exeName) { return ProgramFolder() + exeName; }

std::string QuotedSelf() {
    char exe[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    return "\"" + std::string(exe, n) + "\"";
}

ChildResult RunM52Sim(const std::string& args, DWORD timeoutMs) {
    const std::string tool = ProgramPath("m52sim.exe");
    if (GetFileAttributesA(tool.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ChildResult missing;
        missing.command = tool + " " + args;
        missing.startError = ERROR_FILE_NOT_FOUND;
        return missing;
    }
    return RunChild("\"" + tool + "\" " + args, timeoutMs, ChildOptions{true});
}

std::string ShellQuote(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

namespace {

// Starts a shell script of Debian's /bin/sh; false when it cannot be started.
bool StartShell(const std::string& scriptWindowsPath) {
    std::string line = "Z:\\bin\\sh " + UnixPath(scriptWindowsPath);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    // A Unix program has no process handle worth waiting on: files are the signals.
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
    return true;
}

}  // namespace

int RunUnix(const std::string& command, std::string* output, DWORD timeoutMs) {
    const std::string base = UniqueBase("tool");
    const std::string script = base + ".sh", out = base + ".out", done = base + ".done", pid = base + ".pid",
                      killer = base + ".kill.sh";
    {
        // The command runs in a session of its own, so a time-out can end all of it.
        std::ofstream s(script, std::ios::binary);
        s << "setsid /bin/sh -c " << ShellQuote(command) << " >" << ShellQuote(UnixPath(out)) << " 2>&1 &\n"
          << "echo $! >" << ShellQuote(UnixPath(pid)) << "\n"
          << "wait $!\n"
          << "echo $? >" << ShellQuote(UnixPath(done) + ".tmp") << "\n"
          << "mv " << ShellQuote(UnixPath(done) + ".tmp") << " " << ShellQuote(UnixPath(done)) << "\n";
    }
    int code = -1;
    std::string why;
    if (StartShell(script)) {
        const DWORD start = GetTickCount();
        while (GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < timeoutMs)
            Sleep(20);
        if (GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES) {
            code = std::atoi(ReadText(done).c_str());
        } else {
            why = "(the command did not finish within " + std::to_string(timeoutMs) + " ms and was killed)\n";
            std::ofstream k(killer, std::ios::binary);
            k << "/bin/kill -KILL -- -$(cat " << ShellQuote(UnixPath(pid)) << ") 2>/dev/null\n";
            k.close();
            StartShell(killer);
            Sleep(500);
        }
    } else {
        why = "(/bin/sh could not be started, error " + std::to_string(GetLastError()) + ")\n";
    }
    if (output) *output = why + ReadText(out);
    for (const std::string& f : {script, out, done, pid, killer}) DeleteFileA(f.c_str());
    return code;
}

}  // namespace qtest
