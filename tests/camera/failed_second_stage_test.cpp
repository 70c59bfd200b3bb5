// A camera whose second stage failed after its device object was made: its groups were never
// loaded, so releasing it must leave the stored ones as they are.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "camera/quorin_camera.h"
#include "tests/settings/registry_test_keys.h"

namespace {

// Runs out of memory at the third image object, after the device object exists.
class CameraWithoutThirdImage : public CQuorin {
protected:
    CDibImage* MakeImage() override { return ++made_ == 3 ? nullptr : CQuorin::MakeImage(); }

private:
    int made_ = 0;
};

}  // namespace

TEST(FailedSecondStage, ReleaseLeavesTheStoredGroupsAlone) {
    ProductTreeAside aside;
    const std::string camera = CameraPath(0);
    WriteDword(camera + "\\Gain", "Global", 300);
    WriteDword(camera + "\\Gain", "Exposure", 100);
    WriteDword(camera + "\\Filter", "Brightness", -20);
    WriteDword(camera + "\\Filter", "Gamma", 150);
    WriteDword(camera + "\\Gray", "GainR1", 77);
    const std::map<std::string, int64_t> gain = ReadValues(camera + "\\Gain");
    const std::map<std::string, int64_t> filter = ReadValues(camera + "\\Filter");
    const std::map<std::string, int64_t> gray = ReadValues(camera + "\\Gray");
    {
        CameraWithoutThirdImage failing;
        EXPECT_EQ(failing.Initialize(nullptr), 0);
        EXPECT_EQ(failing.PopError(), 5);
        EXPECT_EQ(failing.PopError(), 0);
        // Selecting a device cannot save the unloaded groups either.
        failing.SetDeviceNumber(31);
    }
    EXPECT_EQ(ReadValues(camera + "\\Gain"), gain);
    EXPECT_EQ(ReadValues(camera + "\\Filter"), filter);
    EXPECT_EQ(ReadValues(camera + "\\Gray"), gray);
    EXPECT_EQ(SubkeyNames(ProductPath()), std::vector<std::string>{"Camera_00"}) << "no other camera key made";
}
