// The records of a configuration file: pairs of little-endian signed 32-bit integers, one pair
// per whole 8-byte record; a trailing partial record is ignored. Portable, so the reader is also
// fuzzed natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

std::vector<std::pair<int32_t, int32_t>> ParseConfigRecords(const uint8_t* data, size_t size);
