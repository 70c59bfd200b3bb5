// Loads and saves how a camera's recordings store their frames, in its "Record" key: "Format" (0
// uncompressed, 1 Motion-JPEG) and "Quality" (1..100).
#pragma once

#include <cstdint>

namespace quorin {

struct StoredRecordFormat {
    int32_t format;
    int32_t quality;
};

constexpr StoredRecordFormat kDefaultRecordFormat = {0, 90};

class CRecordFormatStore {
public:
    explicit CRecordFormatStore(StoredRecordFormat& record) : record_(record) {}

    // Without the key the record takes the defaults and 0 is returned. A value that is missing or
    // out of range keeps the record's value (a quality stored for another format stays usable).
    int Load(int cameraIndex);
    // Creates the keys as needed and writes both values. 1, or 0 on a registry failure.
    int Save(int cameraIndex) const;

private:
    StoredRecordFormat& record_;
};

}  // namespace quorin
