// Commands the camera answers on the response pipe: the device object reads
// each answer twice and uses the second read, and reports a failed answer.
#include <gtest/gtest.h>

#include "tests/device/device_fixture.h"

using namespace simtest;

using Blocks = std::vector<std::string>;

class AnsweredCommands : public DeviceTest {};

TEST_F(AnsweredCommands, EachAnswerIsReadTwiceAndTheSecondReadIsUsed) {
    // The first read of an answer never carries it, so a wrong value here means
    // the first read was used; a missing or extra read shows in the log.
    const uint32_t wrongCodesBefore = sim_.Status(0).wrong_code_requests;
    ASSERT_EQ(1, device_->WritePort(7, 0x5A));
    ASSERT_TRUE(sim_.Srom(0, 0x1828, 0x00));
    ASSERT_TRUE(sim_.Srom(0, 0x18FF, 0xC4));
    TakeLog();
    uint8_t port = 0, zero = 0xEE, high = 0;
    ASSERT_EQ(1, device_->ReadPort(7, &port));
    ASSERT_EQ(1, device_->ReadSromID(40, &zero));
    ASSERT_EQ(1, device_->ReadSromID(255, &high));
    EXPECT_EQ(0x5A, port);
    EXPECT_EQ(0x00, zero);
    EXPECT_EQ(0xC4, high);
    EXPECT_TRUE(SameSequence({ReadPortOf(7), ResponseRead(), ResponseRead(), SromRead(0x1828), ResponseRead(),
                              ResponseRead(), SromRead(0x18FF), ResponseRead(), ResponseRead()},
                             TakeLogWithResponses()));
    EXPECT_EQ(wrongCodesBefore, sim_.Status(0).wrong_code_requests);
}

TEST_F(AnsweredCommands, AFailedSecondReadFailsTheOperation) {
    // The serial memory does not answer for 0x1805: its first read still
    // succeeds, the second fails, and only the second decides.
    ASSERT_TRUE(sim_.Srom(0, 0x1805, 0x21, false));
    TakeLog();
    uint8_t value = 0xA7;
    EXPECT_EQ(0, device_->ReadSromID(5, &value));
    EXPECT_EQ(0xA7, value) << "a failed read leaves the caller's byte alone";
    EXPECT_TRUE(SameSequence({SromRead(0x1805), ResponseRead(), ResponseRead() + " (refused)"},
                             TakeLogWithResponses()));
    // The answer is gone once read: the next command's answer is its own.
    ASSERT_TRUE(sim_.Srom(0, 0x1805, 0x21));
    EXPECT_EQ(1, device_->ReadSromID(5, &value));
    EXPECT_EQ(0x21, value);
}

TEST_F(AnsweredCommands, HalfClockReportsPortValueThreeAsTwo) {
    const struct {
        uint8_t port;
        int reported;
    } kCases[] = {{0, 0}, {1, 1}, {3, 2}, {2, 2}, {5, 5}, {0xFF, 0xFF}};
    for (const auto& c : kCases) {
        ASSERT_EQ(1, device_->WritePort(15, c.port));
        int clock = -1;
        ASSERT_EQ(1, device_->GetHalfClock(&clock)) << "port " << int(c.port);
        EXPECT_EQ(c.reported, clock) << "port " << int(c.port);
    }
    ASSERT_EQ(1, device_->WritePort(15, 0));
    ASSERT_TRUE(sim_.Detach(0));
    int clock = -1;
    EXPECT_EQ(0, device_->GetHalfClock(&clock));
    EXPECT_EQ(-1, clock);
}
