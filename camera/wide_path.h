// Conversion of the W exports' UTF-16 strings to the thread's ANSI code page.
#pragma once

#include <cstddef>

// The code page that CP_THREAD_ACP stands for on the calling thread (65001 when the process runs
// with UTF-8 as its ANSI code page), or CP_THREAD_ACP itself when it cannot be told.
unsigned ThreadAnsiCodePage();

// Converts text into out in the given code page (at most outSize - 1 bytes plus the terminator).
// Fails for a null text, a result that does not fit, or any character the code page has no exact
// form for: best-fit mapping could turn such a character into a path separator or a wildcard, so
// it is never accepted.
bool WideToAnsi(unsigned codePage, const wchar_t* text, char* out, size_t outSize);

// The same in the calling thread's ANSI code page.
bool WideToAnsi(const wchar_t* text, char* out, size_t outSize);

// The W exports take paths of at most 1023 ANSI bytes.
const size_t kAnsiPathBytes = 1024;
