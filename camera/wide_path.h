// Conversion of the W exports' UTF-16 strings to the thread's ANSI code page.
#pragma once

#include <cstddef>

// Converts text into out (at most outSize - 1 bytes plus the terminator). Fails for a null text, a
// result that does not fit, or any character the code page has no exact form for: best-fit mapping
// could turn such a character into a path separator or a wildcard, so it is never accepted.
bool WideToAnsi(const wchar_t* text, char* out, size_t outSize);

// The W exports take paths of at most 1023 ANSI bytes.
const size_t kAnsiPathBytes = 1024;
