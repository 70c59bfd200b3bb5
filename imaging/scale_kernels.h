// Nearest-neighbour resampling for the preview canvas. Source rows are read bottom-up (destination
// row i samples source memory row srcRect->bottom - 1 - sy), turning the pipeline's top-down
// memory order into the canvas's GDI order.
#pragma once

#include "imaging/pixel_runner.h"

int ScaleNearest8(SCALE_KERNEL_ARGS);   // 8 bpp to 8 bpp
int ScaleNearest24(SCALE_KERNEL_ARGS);  // 24 bpp to 24 bpp
