// The tabs of a frame have one fixed width, by default narrower than some captions (the Japanese
// ones in particular).
#pragma once

#include <windows.h>

// Widens the tabs of tab to its longest caption in the tab control's font, which the frame draws
// them in, centred; narrower captions leave the width as it is.
void FitTabsToCaptions(HWND tab);
