// Runs a command line of a Debian tool and collects what it prints (native tests only).
#pragma once

#include <string>

struct ToolResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

ToolResult RunTool(const std::string& commandLine);

// Quotes a path for the shell.
std::string ShellQuote(const std::string& text);

// Folder of these test sources, for the helper scripts beside them.
std::string TestSourceDir();
