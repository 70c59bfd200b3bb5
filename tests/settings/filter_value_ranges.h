// The filter value ids and their documented ranges, written out once for the tests that check
// them through the settings model (natively) and through the exports (under Wine). The values are
// the public header's table of filter value ids, not read from the product's own table.
#pragma once

#include <cstdint>

struct FilterValueRange {
    int id;
    int32_t min;
    int32_t max;
    bool stored;  // kept as set; false for the values that go to the camera (gain, exposure)
};

const FilterValueRange kFilterValueRanges[] = {
    {1, -255, 255, true},   {2, -127, 127, true},   {3, -360, 360, true},   {4, -255, 255, true},
    {5, 0, 30, true},       {7, 0, 400, true},      {8, 0, 400, true},      {9, 0, 400, true},
    {11, 0, 200, true},     {12, 0, 3, true},       {13, 0, 1023, false},   {18, 8, 1074, false},
    {19, 0, 2, true},       {20, 0, 255, true},     {21, 0, 255, true},     {22, 0, 255, true},
    {23, 0, 255, true},     {24, -255, 255, true},  {25, -255, 255, true},  {26, -255, 255, true},
    {27, -255, 255, true},  {28, 0, 1, true},
};
