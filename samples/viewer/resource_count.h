// The viewer's self-check for its test (--report): how many kernel handles and GDI objects the
// process holds, so that the counts before the camera is opened and after it is released can be
// compared.
#pragma once

#include <windows.h>

struct ResourceCount {
    long handles;  // kernel handles (events, threads, files, sections, registry keys)
    long gdi;      // GDI objects; -1 when the platform offers no way to count them
    long windows;  // top-level windows of this thread and the children of `main`
    // Under Wine: the GDI objects counted, by their kind in the GDI table (0 elsewhere).
    long gdiKinds[0x80];
};

ResourceCount CountResources(HWND main);
