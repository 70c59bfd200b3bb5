// The camera format and size list against the registry of the Wine prefix.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "settings/camera_format_store.h"
#include "tests/settings/registry_test_keys.h"

using namespace quorin;

namespace {

const SizeEntry kMarkerGeometry = {11, 12, 13, 14, 15, 16, 17};
const CameraFormat kConstructorFormat = {0, 0, 10, 0};

bool SameEntry(const SizeEntry& a, const SizeEntry& b) {
    return a.hTotal == b.hTotal && a.vTotal == b.vTotal && a.width == b.width && a.height == b.height &&
           a.hStart == b.hStart && a.vStart == b.vStart && a.bufferCount == b.bufferCount;
}

void WriteSize(const std::string& path, const SizeEntry& e) {
    WriteDword(path, "TH", e.hTotal);
    WriteDword(path, "TV", e.vTotal);
    WriteDword(path, "EH", e.width);
    WriteDword(path, "EV", e.height);
    WriteDword(path, "EHS", e.hStart);
    WriteDword(path, "EVS", e.vStart);
    WriteDword(path, "Buf", e.bufferCount);
}

}  // namespace

TEST(CameraFormatFirstRun, CreatesExactlyTheDefaultTreeAndLoadsItsFormat) {
    ProductTreeAside aside;
    SizeEntry geometry = kMarkerGeometry;
    EXPECT_EQ(0, LoadCaptureGeometry(kTestCamera, &geometry));
    EXPECT_TRUE(SameEntry(kMarkerGeometry, geometry));  // the camera keeps its own until reloaded

    EXPECT_EQ((std::vector<std::string>{"Camera_97"}), SubkeyNames(ProductPath()));
    EXPECT_TRUE(ReadValues(ProductPath()).empty());
    const std::string camera = CameraPath(kTestCamera);
    EXPECT_EQ((std::map<std::string, int64_t>{
                  {"Size", 0}, {"Color", 2}, {"SubSample", 0}, {"WaitTime", 1}, {"Clock", 2}}),
              ReadValues(camera));
    EXPECT_EQ((std::vector<std::string>{"Size_00"}), SubkeyNames(camera));
    EXPECT_EQ((std::map<std::string, int64_t>{
                  {"TH", 1360}, {"TV", 1024}, {"EH", 1360}, {"EV", 1024}, {"EHS", 0}, {"EVS", 0}, {"Buf", 4}}),
              ReadValues(camera + "\\Size_00"));
    EXPECT_TRUE(SubkeyNames(camera + "\\Size_00").empty());

    CameraFormat format = kConstructorFormat;
    EXPECT_EQ(1, LoadCameraFormatValues(kTestCamera, &format));
    EXPECT_EQ(2, format.colourType);
    EXPECT_EQ(0, format.subSample);
    EXPECT_EQ(1, format.waitTime);
    EXPECT_EQ(2, format.clockMode);

    // The next open reads the entry the first run wrote.
    EXPECT_EQ(1, LoadCaptureGeometry(kTestCamera, &geometry));
    EXPECT_TRUE(SameEntry(kFullSensorSize, geometry));
}

TEST(CameraFormatFirstRun, SizeTableNeedsTheProductKey) {
    ProductTreeAside aside;
    std::vector<SizeEntry> table = {kMarkerGeometry};
    EXPECT_FALSE(ReadSizeTable(kTestCamera, &table));
    EXPECT_TRUE(table.empty());
    EXPECT_FALSE(KeyExists(ProductPath()));
}

TEST(CameraFormatFirstRun, TheProductTreeIsPutBackAfterwards) {
    // Other tests and the camera keep their keys across a first-run test.
    TestCameraKey other(kOtherTestCamera);
    WriteDword(other.Path() + "\\Gain", "Global", 444);
    {
        ProductTreeAside aside;
        EXPECT_FALSE(KeyExists(other.Path()));
    }
    EXPECT_EQ(444, ReadValues(other.Path() + "\\Gain")["Global"]);
}

TEST(CameraFormat, MissingCameraKeyChangesAndCreatesNothing) {
    TestCameraKey key(kTestCamera);
    TestCameraKey other(kOtherTestCamera);
    WriteDword(other.Path(), "Color", 3);  // the product key exists
    SizeEntry geometry = kMarkerGeometry;
    EXPECT_EQ(0, LoadCaptureGeometry(kTestCamera, &geometry));
    EXPECT_TRUE(SameEntry(kMarkerGeometry, geometry));
    CameraFormat format = kConstructorFormat;
    EXPECT_EQ(0, LoadCameraFormatValues(kTestCamera, &format));
    EXPECT_EQ(10, format.waitTime);
    EXPECT_EQ(0, format.colourType);
    EXPECT_FALSE(KeyExists(key.Path()));
}

TEST(CameraFormat, GeometryComesFromTheSelectedEntry) {
    TestCameraKey key(kTestCamera);
    WriteSize(key.Path() + "\\Size_00", kFullSensorSize);
    WriteSize(key.Path() + "\\Size_01", {800, 600, 640, 480, 16, 8, 2});
    WriteDword(key.Path(), "Size", 1);
    SizeEntry geometry = kMarkerGeometry;
    EXPECT_EQ(1, LoadCaptureGeometry(kTestCamera, &geometry));
    EXPECT_TRUE(SameEntry(SizeEntry{800, 600, 640, 480, 16, 8, 2}, geometry));

    // A missing or malformed value leaves its field.
    DeleteValue(key.Path() + "\\Size_01", "Buf");
    WriteRaw(key.Path() + "\\Size_01", "EHS", REG_SZ, "32", 3);
    geometry = kMarkerGeometry;
    EXPECT_EQ(1, LoadCaptureGeometry(kTestCamera, &geometry));
    EXPECT_TRUE(SameEntry(SizeEntry{800, 600, 640, 480, 15, 8, 17}, geometry));
}

TEST(CameraFormat, SelectionWithoutItsEntryLoadsNothing) {
    TestCameraKey key(kTestCamera);
    WriteSize(key.Path() + "\\Size_00", kFullSensorSize);
    SizeEntry geometry = kMarkerGeometry;
    EXPECT_EQ(0, LoadCaptureGeometry(kTestCamera, &geometry));  // no "Size"
    WriteDword(key.Path(), "Size", 5);
    EXPECT_EQ(0, LoadCaptureGeometry(kTestCamera, &geometry));
    WriteDword(key.Path(), "Size", -1);
    EXPECT_EQ(0, LoadCaptureGeometry(kTestCamera, &geometry));
    WriteRaw(key.Path(), "Size", REG_BINARY, "\0\0\0\0", 4);  // 0, but not a REG_DWORD
    EXPECT_EQ(0, LoadCaptureGeometry(kTestCamera, &geometry));
    EXPECT_TRUE(SameEntry(kMarkerGeometry, geometry));
}

TEST(CameraFormat, FormatValuesAreValidatedWhereABadOneWouldHang) {
    TestCameraKey key(kTestCamera);
    WriteDword(key.Path(), "Color", 9);       // loads as it is: preparation refuses it later
    WriteDword(key.Path(), "SubSample", 2);   // likewise
    WriteDword(key.Path(), "WaitTime", -5);
    WriteDword(key.Path(), "Clock", 3);
    CameraFormat format = kConstructorFormat;
    EXPECT_EQ(1, LoadCameraFormatValues(kTestCamera, &format));
    EXPECT_EQ(9, format.colourType);
    EXPECT_EQ(2, format.subSample);
    EXPECT_EQ(10, format.waitTime);
    EXPECT_EQ(0, format.clockMode);

    WriteDword(key.Path(), "Clock", -1);
    WriteDword(key.Path(), "WaitTime", 0);
    EXPECT_EQ(1, LoadCameraFormatValues(kTestCamera, &format));
    EXPECT_EQ(0, format.clockMode);
    EXPECT_EQ(0, format.waitTime);
    WriteDword(key.Path(), "Clock", 1);
    EXPECT_EQ(1, LoadCameraFormatValues(kTestCamera, &format));
    EXPECT_EQ(1, format.clockMode);
}

TEST(CameraFormat, ValuesOfTheWrongTypeOrSizeCountAsMissing) {
    TestCameraKey key(kTestCamera);
    const int64_t wide = 3;
    WriteRaw(key.Path(), "Color", REG_SZ, "3", 2);
    WriteRaw(key.Path(), "SubSample", REG_QWORD, &wide, sizeof(wide));
    WriteRaw(key.Path(), "WaitTime", REG_BINARY, "\x05\0\0\0", 4);
    WriteRaw(key.Path(), "Clock", REG_DWORD, "\x01\0", 2);  // a short DWORD
    CameraFormat format = {4, 5, 6, 2};
    EXPECT_EQ(1, LoadCameraFormatValues(kTestCamera, &format));
    EXPECT_EQ(4, format.colourType);
    EXPECT_EQ(5, format.subSample);
    EXPECT_EQ(6, format.waitTime);
    EXPECT_EQ(2, format.clockMode);
}

TEST(SizeTable, ReadsTheCameraEntriesUpToTheFirstGap) {
    TestCameraKey key(kTestCamera);
    WriteSize(key.Path() + "\\Size_00", kFullSensorSize);
    WriteSize(key.Path() + "\\Size_01", {1360, 1024, 640, 480, 0, 0, 4});
    WriteSize(key.Path() + "\\Size_02", {1360, 1024, 640, 480, 100, 100, 4});
    WriteSize(key.Path() + "\\Size_04", {1360, 1024, 320, 240, 0, 0, 4});
    WriteDword(key.Path() + "\\Size_02", "Buf", 8);
    DeleteValue(key.Path() + "\\Size_01", "EHS");
    std::vector<SizeEntry> table;
    ASSERT_TRUE(ReadSizeTable(kTestCamera, &table));
    ASSERT_EQ(3u, table.size());
    EXPECT_TRUE(SameEntry(kFullSensorSize, table[0]));
    EXPECT_EQ(0, table[1].hStart);  // a missing value reads as 0
    EXPECT_EQ(8, table[2].bufferCount);
    const SizeEntry* vga = FindSizeEntry(table, 640, 480);
    ASSERT_NE(nullptr, vga);
    EXPECT_EQ(&table[1], vga);  // the first match wins
    EXPECT_EQ(nullptr, FindSizeEntry(table, 320, 240));  // behind the gap
    EXPECT_EQ(nullptr, FindSizeEntry(table, 480, 640));
}

TEST(SizeTable, FallsBackToTheProductKeyOnlyWhenTheCameraHasNoEntries) {
    TestCameraKey key(kTestCamera);
    TestCameraKey other(kOtherTestCamera);
    // The library never writes sizes under the product key; this test puts one there and takes it
    // away again, also after a run that stopped half way.
    const std::string productSize = ProductPath() + "\\Size_00";
    DeleteTree(productSize);
    WriteSize(productSize, {1360, 1024, 256, 256, 0, 0, 4});
    WriteSize(key.Path() + "\\Size_00", kFullSensorSize);
    WriteDword(CameraPath(kOtherTestCamera), "Color", 2);  // a camera key without entries

    std::vector<SizeEntry> table;
    EXPECT_TRUE(ReadSizeTable(kTestCamera, &table));
    ASSERT_EQ(1u, table.size());
    EXPECT_EQ(1360, table[0].width);
    EXPECT_TRUE(ReadSizeTable(kOtherTestCamera, &table));
    ASSERT_EQ(1u, table.size());
    EXPECT_EQ(256, table[0].width);
    EXPECT_TRUE(ReadSizeTable(96, &table));  // no camera key at all
    ASSERT_EQ(1u, table.size());
    EXPECT_EQ(256, table[0].width);
    DeleteTree(productSize);

    EXPECT_TRUE(ReadSizeTable(kOtherTestCamera, &table));
    EXPECT_TRUE(table.empty());
}

TEST(CameraFormatRecordStore, SavedRecordBecomesTheCamerasFormat) {
    TestCameraKey key(kTestCamera);
    CameraFormatRecord record;
    record.sizes = {kFullSensorSize, {1360, 1024, 640, 480, 32, 16, 4}};
    record.sizeIndex = 1;
    record.format = {3, 0, 25, 1};
    EXPECT_EQ(1, SaveCameraFormatRecord(kTestCamera, record));
    EXPECT_EQ((std::vector<std::string>{"Size_00", "Size_01"}), SubkeyNames(key.Path()));

    // What the camera reloads after the dialog's OK.
    SizeEntry geometry = kMarkerGeometry;
    EXPECT_EQ(1, LoadCaptureGeometry(kTestCamera, &geometry));
    EXPECT_TRUE(SameEntry(record.sizes[1], geometry));
    CameraFormat format = kConstructorFormat;
    EXPECT_EQ(1, LoadCameraFormatValues(kTestCamera, &format));
    EXPECT_EQ(3, format.colourType);
    EXPECT_EQ(25, format.waitTime);
    EXPECT_EQ(1, format.clockMode);

    CameraFormatRecord loaded;
    loaded.sizes = {kMarkerGeometry, kMarkerGeometry, kMarkerGeometry};
    loaded.sizeIndex = -1;
    loaded.format = kConstructorFormat;
    EXPECT_EQ(1, LoadCameraFormatRecord(kTestCamera, &loaded));
    ASSERT_EQ(2u, loaded.sizes.size());
    EXPECT_TRUE(SameEntry(record.sizes[1], loaded.sizes[1]));
    EXPECT_EQ(1, loaded.sizeIndex);
    EXPECT_EQ(3, loaded.format.colourType);
}

TEST(CameraFormatRecordStore, LoadKeepsDefaultsForWhatIsMissing) {
    TestCameraKey key(kTestCamera);
    CameraFormatRecord record;
    record.sizes = {kMarkerGeometry};
    record.sizeIndex = 0;
    record.format = {2, 0, 1, 2};
    EXPECT_EQ(0, LoadCameraFormatRecord(kTestCamera, &record));  // no camera key
    EXPECT_EQ(1u, record.sizes.size());
    EXPECT_TRUE(SameEntry(kMarkerGeometry, record.sizes[0]));

    WriteDword(key.Path() + "\\Size_00", "EH", 512);
    WriteDword(key.Path(), "WaitTime", 40);
    EXPECT_EQ(1, LoadCameraFormatRecord(kTestCamera, &record));
    ASSERT_EQ(1u, record.sizes.size());
    EXPECT_EQ(512, record.sizes[0].width);
    EXPECT_EQ(1024, record.sizes[0].height);  // a missing value keeps the full sensor
    EXPECT_EQ(40, record.format.waitTime);
    EXPECT_EQ(2, record.format.colourType);
    EXPECT_EQ(2, record.format.clockMode);
}
