// The camera format of a device number in the registry: the selected size entry with its geometry,
// the colour mode, sub-sampling, wait time and clock, and the size list that the capture-window
// lookup searches.
#pragma once

#include <cstdint>
#include <vector>

#include "settings/size_entry.h"

namespace quorin {

struct CameraFormat {
    int32_t colourType;  // "Color", 0 to 5
    int32_t subSample;   // "SubSample"
    int32_t waitTime;    // "WaitTime", milliseconds
    int32_t clockMode;   // "Clock": 0 normal, 1 half, 2 the third mode
};

// First-run values of a new camera key.
constexpr CameraFormat kFirstRunFormat = {2, 0, 1, 2};

// Loads the selected size entry ("Size" names a "Size_%02d") into *geometry; a missing value leaves
// its field. Returns 1 when the entry was read. Without the product key, creates the camera key with
// the first-run format and Size_00 as the full sensor, and returns 0 leaving *geometry alone; with
// the product key but no camera key, changes nothing and returns 0.
int LoadCaptureGeometry(int cameraIndex, SizeEntry* geometry);

// Loads "Color", "SubSample", "WaitTime" and "Clock" into *format; a missing value leaves its field,
// so does a negative wait time or a clock outside 0 to 2. Colour and sub-sampling load as they are:
// the camera refuses bad ones when it prepares an acquisition. 0 without the product or camera key.
int LoadCameraFormatValues(int cameraIndex, CameraFormat* format);

// The size list of the capture-window lookup: Size_00, Size_01, ... up to the first missing entry,
// under the camera key, or under the product key when the camera key holds none. Missing values
// read as 0. False when neither key can be opened.
bool ReadSizeTable(int cameraIndex, std::vector<SizeEntry>* table);

// What the camera dialog edits: the whole size list, the selected entry and the format values.
struct CameraFormatRecord {
    std::vector<SizeEntry> sizes;  // at most 100
    int32_t sizeIndex;
    CameraFormat format;
};

// The dialog's load: Size_00, Size_01, ... up to the first missing entry replace the list (a missing
// value in an entry keeps the full-sensor value), then "Size", "Color", "SubSample", "WaitTime" and
// "Clock" as they are stored (a missing one keeps the record's value). Without the product or camera
// key the record is left alone and 0 is returned.
int LoadCameraFormatRecord(int cameraIndex, CameraFormatRecord* record);

// The dialog's save: creates the keys as needed, writes one Size_%02d per entry (stopping at the
// first that cannot be created) and the five values. 1, or 0 on a registry failure.
int SaveCameraFormatRecord(int cameraIndex, const CameraFormatRecord& record);

}  // namespace quorin
