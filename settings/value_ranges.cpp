#include "settings/value_ranges.h"

namespace quorin {

bool StoredFilterValueRange(int id, ValueRange* range) {
    switch (id) {
    case 1: case 4: *range = {-255, 255}; return true;    // brightness, saturation
    case 2: *range = {-127, 127}; return true;            // contrast
    case 3: *range = {-360, 360}; return true;            // hue
    case 5: *range = {0, 30}; return true;                // sharpness
    case 7: case 8: case 9: *range = {0, 400}; return true;  // Bayer gains
    case 11: *range = {0, 200}; return true;              // gamma
    case 12: *range = {0, 3}; return true;                // Bayer mode
    case 19: *range = {0, 2}; return true;                // gray mode
    case 20: case 21: case 22: case 23: *range = {0, 255}; return true;    // gray gains
    case 24: case 25: case 26: case 27: *range = {-255, 255}; return true;  // gray offsets
    case 28: *range = {0, 1}; return true;                // one automatic gray-gain pass
    default: return false;
    }
}

}  // namespace quorin
