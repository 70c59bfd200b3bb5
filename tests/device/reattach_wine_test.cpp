// A camera unplugged and plugged in again is a new device: a handle the
// device object kept open from before fails once and is opened afresh.
#include <gtest/gtest.h>

#include "tests/device/device_fixture.h"

using namespace simtest;
using namespace quorin;

class Reattach : public DeviceTest {};

TEST_F(Reattach, SnapshotHandleFromBeforeTheUnplugFailsOnceThenReopens) {
    ASSERT_EQ(0, device_->SnapFrame());
    ASSERT_EQ(1u, sim_.Status(0).open_handles);  // the snapshot handle stays open
    ASSERT_TRUE(sim_.Detach(0));
    ASSERT_TRUE(sim_.Attach(0));
    ASSERT_TRUE(sim_.Pace(0, M52SIM_PACE_FAST));
    // The camera powered up afresh: give it its transfer size again.
    ASSERT_EQ(0, device_->SetCaptureWindow(0, 0, 1360, 1024, 0));
    const M52SimStatus before = sim_.Status(0);
    // The old handle's device is gone: the read says so (as for an unplug during the read).
    EXPECT_EQ(DEV_NO_HANDLE, device_->SnapFrame());
    EXPECT_EQ(before.frames_delivered, sim_.Status(0).frames_delivered);
    EXPECT_EQ(0, device_->SnapFrame());
    EXPECT_EQ(before.frames_delivered + 1, sim_.Status(0).frames_delivered);
    device_->CloseSnapHandle();
    EXPECT_EQ(0u, sim_.Status(0).open_handles);
}
