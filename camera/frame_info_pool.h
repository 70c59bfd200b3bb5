// The frame information blocks whose addresses go out with frame notices. A posted notice can be
// handled after the camera that posted it was released, so a block is never freed while the
// library is loaded: a released camera hands its block back and the next camera reuses it.
#pragma once

#include "VazadoZir_O52RO_VIZ.h"

// A zeroed block with its size field set to 32; null only when memory runs out.
QuorinFrameInfo* TakeFrameInfoBlock();
// Returns a block for reuse (null is ignored). Its contents stay readable.
void ReturnFrameInfoBlock(QuorinFrameInfo* block);
