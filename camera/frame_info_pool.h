// The frame information blocks whose addresses go out with frame notices. Each camera takes a
// rotation of kFrameInfoRotation blocks and gives every notice the next one, so a block is
// rewritten only after that many newer notices and a frame window that falls a little behind still
// reads each frame's own fields. A posted notice can be handled after the camera that posted it was
// released, so blocks are never freed while the library is loaded: a released camera hands its
// rotation back and the next camera reuses it.
#pragma once

#include "VazadoZir_O52RO_VIZ.h"

const int kFrameInfoRotation = 16;

// kFrameInfoRotation zeroed blocks in one array, each with its size field set to 32; null only
// when memory runs out.
QuorinFrameInfo* TakeFrameInfoBlocks();
// Returns a rotation for reuse (null is ignored). Its contents stay readable.
void ReturnFrameInfoBlocks(QuorinFrameInfo* blocks);
