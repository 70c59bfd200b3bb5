// The camera model driven through command blocks, as the SDK drives the real camera.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "driver/model/m52_camera_model.h"
#include "tests/driver/command_blocks.h"

using namespace m52test;

namespace {

class CameraModelTest : public ::testing::Test {
protected:
    void SetUp() override { m52_model_power_on(model.get(), 0); }
    M52CommandResult Send(const Block &b, unsigned *effects = nullptr) { return m52_model_command(model.get(), b.data(), effects); }
    // Reads an answer as the SDK does: the first read is thrown away, the second carries it.
    uint8_t Response()
    {
        Block first{}, out{};
        EXPECT_TRUE(m52_model_response(model.get(), first.data()));
        EXPECT_TRUE(m52_model_response(model.get(), out.data()));
        return out[0];
    }
    std::unique_ptr<M52CameraModel> model{new M52CameraModel()};
};

TEST_F(CameraModelTest, RegisterWritesStoreTheMaskedValueForEachDataWidth)
{
    EXPECT_EQ(M52_COMMAND_DONE, Send(Register(5, 0x7F)));       // 6-bit: only 0x3F goes on the wire
    EXPECT_EQ(0x3Fu, model->registers[5]);
    EXPECT_EQ(M52_COMMAND_DONE, Send(Register(191, 1)));
    EXPECT_EQ(1u, model->registers[191]);
    EXPECT_EQ(M52_COMMAND_DONE, Send(Register(300, 0xBEEF)));
    EXPECT_EQ(0xBEEFu, model->registers[300]);
    EXPECT_EQ(M52_COMMAND_DONE, Send(Register(384, 0x35001)));
    EXPECT_EQ(0x35001u, model->registers[384]);
    EXPECT_EQ(M52_COMMAND_DONE, Send(Register(1023, 0x3FFFFF)));
    EXPECT_EQ(0x3FFFFFu, model->registers[1023]);
    EXPECT_EQ(0u, model->refused_commands);
}

TEST_F(CameraModelTest, RegisterWritesWithAWrongBitCountAreRefusedAndCounted)
{
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(RegisterWrite(5, 1, 26, 0x3F)));    // 6-bit register sent as 16-bit
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(RegisterWrite(300, 1, 16, 0xFFFF)));
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(RegisterWrite(400, 1, 26, 0x3FFFFF)));
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(RegisterWrite(200, 1, 16, 0x3F)));  // 192-255 do not exist
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(RegisterWrite(5, 0xFF, 16, 0xFF))); // data wider than 16 bits
    EXPECT_EQ(5u, model->register_errors);
    EXPECT_EQ(5u, model->refused_commands);
    EXPECT_EQ(0u, model->registers[5]);
    EXPECT_EQ(0u, model->registers[300]);
    EXPECT_EQ(0u, model->registers[400]);
}

TEST_F(CameraModelTest, BytesACommandDoesNotDefineMustBeZero)
{
    Block b = Register(5, 1);
    b[6] = 1;
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(b));
    Block prepare = MakeBlock(1);
    prepare[63] = 0xFF;
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(prepare));
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(MakeBlock(3)));   // no such command
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(WordMode(2)));
    EXPECT_EQ(4u, model->refused_commands);
    EXPECT_EQ(1u, model->command_counts[M52_CMDSLOT_OTHER]);
    EXPECT_EQ(0u, model->register_errors);
}

TEST_F(CameraModelTest, PortsReadBackAndTheTransferSizeIsVisibleThroughPortsZeroToThree)
{
    EXPECT_EQ(M52_COMMAND_DONE, Send(PortWrite(7, 0xA5)));
    EXPECT_EQ(M52_COMMAND_DONE, Send(PortRead(7)));
    EXPECT_EQ(0xA5, Response());
    EXPECT_EQ(M52_COMMAND_DONE, Send(TransferSize(1360 * 1024)));
    const uint8_t expected[4] = {0x00, 0x40, 0x15, 0x00};
    for (uint8_t p = 0; p < 4; ++p) {
        EXPECT_EQ(M52_COMMAND_DONE, Send(PortRead(p)));
        EXPECT_EQ(expected[p], Response()) << "port " << int(p);
    }
    // Writing the ports byte by byte sets the transfer size as well.
    Send(PortWrite(0, 0x00)); Send(PortWrite(1, 0x50)); Send(PortWrite(2, 0x05)); Send(PortWrite(3, 0x00));
    EXPECT_EQ(1360u * 256u, model->transfer_size);
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(PortWrite(16, 1)));
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(PortRead(16)));
}

TEST_F(CameraModelTest, AnAnswerIsReadTwiceAndThenGone)
{
    Block out{};
    EXPECT_FALSE(m52_model_response(model.get(), out.data()));
    Send(PortWrite(7, 9));
    Send(PortRead(7));
    Send(Register(5, 1)); // no answer of its own: the port's answer still waits
    Block first{}, second{};
    ASSERT_TRUE(m52_model_response(model.get(), first.data()));
    ASSERT_TRUE(m52_model_response(model.get(), second.data()));
    EXPECT_EQ(9, second[0]);
    for (size_t i = 0; i < first.size(); ++i) EXPECT_NE(first[i], second[i]) << "the first read passes for the answer at byte " << i;
    out.fill(0xCD);
    EXPECT_FALSE(m52_model_response(model.get(), out.data()));
    EXPECT_EQ(0xCD, out[0]);
    // A new command's answer replaces one that was only half read.
    Send(PortRead(7));
    ASSERT_TRUE(m52_model_response(model.get(), first.data()));
    Send(PortWrite(7, 4));
    Send(PortRead(7));
    EXPECT_EQ(4, Response());
}

TEST_F(CameraModelTest, SerialMemoryBytesCanBeSetOrMadeUnreadable)
{
    m52_model_set_srom(model.get(), 0x1803, 0x77, 1);
    Send(SromRead(0x1803));
    EXPECT_EQ(0x77, Response());
    m52_model_set_srom(model.get(), 0x1803, 0x12, 0);
    EXPECT_EQ(M52_COMMAND_DONE, Send(SromRead(0x1803)));
    Block out{};
    EXPECT_TRUE(m52_model_response(model.get(), out.data()));   // the first read is taken
    EXPECT_FALSE(m52_model_response(model.get(), out.data()));  // the answer never comes
    Send(SromRead(0x1804)); // neighbours stay readable
    EXPECT_EQ(m52_model_unit_byte(0, 4), Response());
    m52_model_replug(model.get());
    Send(SromRead(0x1803));
    EXPECT_TRUE(m52_model_response(model.get(), out.data()));
    EXPECT_FALSE(m52_model_response(model.get(), out.data())) << "a re-plug keeps the serial memory";
    m52_model_factory_srom(model.get(), 0);
    Send(SromRead(0x1803));
    EXPECT_EQ(m52_model_unit_byte(0, 3), Response());
}

TEST_F(CameraModelTest, SerialMemoryHoldsTagUnitBytesAndConfigurationAndKeepsWrites)
{
    const char tag[] = "RORU52";
    for (unsigned i = 0; i < 6; ++i) {
        Send(SromRead(static_cast<uint16_t>(0x1810 + i)));
        EXPECT_EQ(static_cast<uint8_t>(tag[i]), Response());
    }
    for (unsigned i = 0; i < 9; ++i) {
        Send(SromRead(static_cast<uint16_t>(0x1800 + i)));
        EXPECT_LT(Response(), 64);
    }
    Send(SromRead(0x1EB0));
    EXPECT_EQ(1, Response());
    EXPECT_EQ(M52_COMMAND_DONE, Send(SromWrite(0x18FF, 0x42)));
    Send(SromRead(0x18FF));
    EXPECT_EQ(0x42, Response());
    m52_model_replug(model.get()); // a power cycle keeps the serial memory
    Send(SromRead(0x18FF));
    EXPECT_EQ(0x42, Response());
    Block bad = SromRead(0x1800);
    bad[1] = 0x50;
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(bad));
}

TEST_F(CameraModelTest, UnitsCarryDifferentPerUnitBytes)
{
    std::unique_ptr<M52CameraModel> other(new M52CameraModel());
    m52_model_power_on(other.get(), 1);
    EXPECT_NE(0, std::memcmp(&model->srom[0x1800], &other->srom[0x1800], 9));
    EXPECT_EQ(0, std::memcmp(&model->srom[0x1810], &other->srom[0x1810], 6));
}

TEST_F(CameraModelTest, SensorResetClearsRegisters)
{
    Send(Register(6, 20));
    unsigned effects = 0;
    Send(PortWrite(6, 0x11), &effects);
    EXPECT_TRUE(effects & M52_EFFECT_SENSOR_RESET);
    Send(PortWrite(6, 0));
    EXPECT_EQ(0u, model->registers[6]);
    EXPECT_EQ(1u, model->sensor_resets);
}

TEST_F(CameraModelTest, TriggerPortArmsAndFires)
{
    unsigned effects = 0;
    Send(PortWrite(11, 1), &effects);
    EXPECT_EQ(unsigned(M52_EFFECT_TRIGGER_ARMED), effects);
    EXPECT_TRUE(m52_model_trigger_mode(model.get()));
    Send(PortWrite(11, 0x83), &effects);
    EXPECT_EQ(unsigned(M52_EFFECT_TRIGGER_FIRED), effects); // already armed: a pulse only
    EXPECT_EQ(3, model->ports[11]);                          // bit 7 does not stay
    Send(MakeBlock(2), &effects);
    EXPECT_EQ(unsigned(M52_EFFECT_FRAME_REQUESTED), effects);
}

TEST_F(CameraModelTest, FrameSizeFollowsTransferSizeAndPixelWidth)
{
    EXPECT_EQ(0u, m52_model_frame_bytes(model.get())); // nothing set yet: no frame can be read
    Send(TransferSize(1360 * 1024));
    EXPECT_EQ(1360u * 1024u, m52_model_frame_bytes(model.get()));
    EXPECT_EQ(1024u, m52_model_readout_lines(model.get()));
    Send(WordMode(1));
    EXPECT_EQ(1360u * 1024u, m52_model_frame_bytes(model.get())); // the word-mode command alone changes nothing
    Send(PortWrite(14, 1));
    EXPECT_EQ(2u * 1360u * 1024u, m52_model_frame_bytes(model.get()));
    Send(TransferSize(2048)); // a window of 1025 bytes rounds up to 2048
    EXPECT_EQ(4096u, m52_model_frame_bytes(model.get()));
    EXPECT_EQ(2u, m52_model_readout_lines(model.get()));
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(TransferSize(1360 * 1024 + 1)));
    EXPECT_EQ(M52_COMMAND_REFUSED, Send(TransferSize(0)));
}

TEST_F(CameraModelTest, ShutterDecodesBothRangesAsTheSdkWritesThem)
{
    Send(Register(158, 64 & 0x3F)); Send(Register(159, 64 >> 6)); Send(Register(161, 0)); Send(Register(162, 1));
    EXPECT_EQ(64u, m52_model_shutter(model.get()));
    EXPECT_EQ(1010u, m52_model_exposure_lines(model.get()));
    // Switch to the long range, then 1070 = 1067 + 3.
    const unsigned regs[] = {154, 157, 158, 159, 160, 161, 162, 163};
    const unsigned vals[] = {1, 0, 7, 0, 1, 7, 0, 1};
    for (int i = 0; i < 8; ++i) Send(Register(regs[i], vals[i]));
    Send(Register(155, 3));
    EXPECT_EQ(1070u, m52_model_shutter(model.get()));
    EXPECT_EQ(4u, m52_model_exposure_lines(model.get()));
    Send(Register(155, 7));
    EXPECT_EQ(0u, m52_model_exposure_lines(model.get()));
    // Back to the normal range: 154 = 0, then 1068 in 158/159.
    Send(Register(154, 0)); Send(Register(155, 7)); Send(Register(157, 1)); Send(Register(160, 1)); Send(Register(163, 0));
    Send(Register(158, 1068 & 0x3F)); Send(Register(159, 1068 >> 6));
    EXPECT_EQ(1068u, m52_model_shutter(model.get()));
    EXPECT_EQ(6u, m52_model_exposure_lines(model.get()));
}

TEST_F(CameraModelTest, GainCombinesRegistersSixAndSeven)
{
    Send(Register(6, 1023 & 0x3F));
    Send(Register(7, (1023 >> 6) & 0x0F));
    EXPECT_EQ(1023u, m52_model_gain(model.get()));
    Send(Register(6, 512 & 0x3F));
    Send(Register(7, 512 >> 6));
    EXPECT_EQ(512u, m52_model_gain(model.get()));
}

TEST_F(CameraModelTest, FramePeriodIsTheLongestOfReadoutExposureAndTransfer)
{
    Send(TransferSize(1360 * 1024));
    Send(Register(158, 1074 & 0x3F)); Send(Register(159, 1074 >> 6)); // no exposure
    // 1024 lines x 1790 clocks at 24 MHz.
    EXPECT_EQ(1024ull * 1790 * 1000000 / 24000000, m52_model_frame_period_us(model.get()));
    Send(PortWrite(15, 1)); // half clock
    EXPECT_EQ(1024ull * 1790 * 1000000 / 12000000, m52_model_frame_period_us(model.get()));
    Send(PortWrite(15, 0));
    Send(TransferSize(1360 * 16)); // 16 lines: exposure of 1074 - 64 lines dominates
    Send(Register(158, 0)); Send(Register(159, 1));
    EXPECT_EQ((1010ull * 1790 + 200) * 1000000 / 24000000, m52_model_frame_period_us(model.get()));
    Send(Register(158, 1074 & 0x3F)); Send(Register(159, 1074 >> 6));
    Send(TransferSize(1360 * 1024));
    Send(PortWrite(14, 1)); // 16-bit: 2.7 MB at 40 MB/s still fits within the line readout
    EXPECT_GE(m52_model_frame_period_us(model.get()), 2ull * 1360 * 1024 / 40);
    EXPECT_EQ(1024ull * 1790 * 1000000 / 24000000, m52_model_frame_period_us(model.get()));
}

}  // namespace
