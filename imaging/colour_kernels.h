// Every colour, conversion and scaling kernel in one include.
#pragma once

#include "imaging/convert_kernels.h"
#include "imaging/demosaic_kernels.h"
#include "imaging/scale_kernels.h"
