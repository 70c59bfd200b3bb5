// What a long-running process holds, measured so that it also works under Wine, where
// GetGuiResources and GetProcessHandleCount read 0:
//   handles  GetProcessHandleCount, else the handle values that GetHandleInformation accepts
//   GDI      GetGuiResources, else the live entries of this process's GDI handle table
//   USER     GetGuiResources, else the windows of this process (top-level, child, message-only)
//   private  committed private memory (VirtualQuery) and the system's PrivateUsage figure
#pragma once

#include <windows.h>

#include <cstdint>

struct ProcessResources {
    long handles = -1;          // -1: not measurable
    long gdiObjects = -1;
    long userObjects = -1;
    uint64_t committedPrivate = 0;  // bytes, VirtualQuery MEM_COMMIT + MEM_PRIVATE
    uint64_t privateUsage = 0;      // bytes, GetProcessMemoryInfo
};

// Takes one sample of this process.
ProcessResources SampleProcessResources();

// How each figure is measured here ("GetGuiResources", "GDI handle table", ...).
struct ResourceMeasures {
    const char* handles;
    const char* gdi;
    const char* user;
};
ResourceMeasures DescribeResourceMeasures();
